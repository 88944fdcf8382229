// The in-process test binding: the host side of the plug-in base, recording each request
// under a lock of its own.

#include "IFxTestBinding.h"

#include <mutex>

namespace {
// The host side's own lock. The plug-in calls its host from several threads (the editor's,
// the host's) and, like a real host, this one serialises what it records itself: the plug-in
// mutex is not held when the host is called.
std::mutex& HostRecordLock()
{
  static std::mutex lock;
  return lock;
}
}  // namespace

IFxTestBinding::IFxTestBinding(const IFxInstanceInfo& info, int nParams, const char* channelIOStr,
                               int nPresets, const char* effectName, const char* productName,
                               const char* mfrName, int vendorVersion, int uniqueID, int mfrID,
                               int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst)
  : IFxBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion,
            uniqueID, mfrID, latency, plugDoesMidi, plugDoesChunks, plugIsInst, kAPIStandalone),
    mInfo(info)
{
}

void IFxTestBinding::BeginInformHostOfParamChange(int)
{
  std::lock_guard<std::mutex> lock(HostRecordLock());
  ++mBeginEdits;
}

void IFxTestBinding::InformHostOfParamChange(int idx, double normalizedValue)
{
  std::lock_guard<std::mutex> lock(HostRecordLock());
  mInformed.Add(ParamChange{idx, normalizedValue});
}

void IFxTestBinding::EndInformHostOfParamChange(int)
{
  std::lock_guard<std::mutex> lock(HostRecordLock());
  ++mEndEdits;
}

void IFxTestBinding::GetTimeSig(int* numerator, int* denominator)
{
  if (numerator) *numerator = mTimeInfo.mNumerator;
  if (denominator) *denominator = mTimeInfo.mDenominator;
}

bool IFxTestBinding::SendMidiMsg(IMidiMsg*)
{
  std::lock_guard<std::mutex> lock(HostRecordLock());
  ++mMidiSent;
  return true;
}

EHost IFxTestBinding::GetHost()
{
  // Identified lazily, the first time anyone asks, as the real bindings do.
  if (mHost == kHostUninit)
  {
    SetHost(mInfo.mHostName, mInfo.mHostVersion);
    OnHostIdentified();
  }
  return mHost;
}

void IFxTestBinding::HostPrepare(double sampleRate, int blockSize)
{
  Util_MutexLock lock(mMutex);
  SetInputChannelConnections(0, NInChannels(), true);
  SetOutputChannelConnections(0, NOutChannels(), true);
  SetSampleRate(sampleRate);
  SetBlockSize(blockSize);
  Reset();
}

void IFxTestBinding::HostProcess(float** inputs, float** outputs, int nFrames)
{
  Util_MutexLock lock(mMutex);
  AttachInputBuffers(0, NInChannels(), inputs, nFrames);
  AttachOutputBuffers(0, NOutChannels(), outputs);
  ProcessBlock(0.0f, nFrames);
}

void IFxTestBinding::HostProcess(double** inputs, double** outputs, int nFrames)
{
  Util_MutexLock lock(mMutex);
  AttachInputBuffers(0, NInChannels(), inputs, nFrames);
  AttachOutputBuffers(0, NOutChannels(), outputs);
  ProcessBlock(0.0, nFrames);
}
