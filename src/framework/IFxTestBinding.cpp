#include "IFxTestBinding.h"

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
  ++mBeginEdits;
}

void IFxTestBinding::InformHostOfParamChange(int idx, double normalizedValue)
{
  mInformed.Add(ParamChange{idx, normalizedValue});
}

void IFxTestBinding::EndInformHostOfParamChange(int)
{
  ++mEndEdits;
}

void IFxTestBinding::GetTimeSig(int* numerator, int* denominator)
{
  if (numerator) *numerator = mTimeInfo.mNumerator;
  if (denominator) *denominator = mTimeInfo.mDenominator;
}

bool IFxTestBinding::SendMidiMsg(IMidiMsg*)
{
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
