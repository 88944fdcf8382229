// An in-process binding for tests and command-line tools: it implements the host side of
// the plug-in base and records what the base asks of the host, so that a test can see it.
#pragma once

#include "IFxBase.h"

#include <atomic>

struct IFxInstanceInfo
{
  const char* mHostName = "Standalone";  // classified with LookUpHost on first GetHost
  int mHostVersion = 0x00010000;
  // The documents folder a plug-in keeps its files in, instead of the user's own (null: the
  // platform's). Tests and tools use a folder of their own, so that nothing the user has
  // there changes a result and nothing of theirs is left there.
  const char* mDocumentsFolder = nullptr;
};

class IFxTestBinding : public IFxBase
{
public:
  struct ParamChange
  {
    int mIdx;
    double mNormalized;
  };

  IFxTestBinding(const IFxInstanceInfo& info, int nParams, const char* channelIOStr, int nPresets,
                 const char* effectName, const char* productName, const char* mfrName,
                 int vendorVersion, int uniqueID, int mfrID, int latency, bool plugDoesMidi,
                 bool plugDoesChunks, bool plugIsInst);

  void BeginInformHostOfParamChange(int idx) override;
  void InformHostOfParamChange(int idx, double normalizedValue) override;
  void EndInformHostOfParamChange(int idx) override;
  void InformHostOfProgramChange() override { ++mProgramChanges; }
  int GetSamplePos() override { return (int)mTimeInfo.mSamplePos; }
  double GetTempo() override { return mTimeInfo.mTempo; }
  void GetTimeSig(int* numerator, int* denominator) override;
  void GetTime(ITimeInfo* timeInfo) override { if (timeInfo) *timeInfo = mTimeInfo; }
  void ResizeGraphics(int w, int h) override { mResizeW = w; mResizeH = h; }
  bool SendMidiMsg(IMidiMsg* msg) override;
  EHost GetHost() override;

  // The documents folder the instance was given, or null for the platform's.
  const char* DocumentsFolderOverride() const { return mInfo.mDocumentsFolder; }

  // Host side: what a host does around one block, under the plug-in mutex as a binding does.
  void HostPrepare(double sampleRate, int blockSize);
  void HostProcess(float** inputs, float** outputs, int nFrames);
  void HostProcess(double** inputs, double** outputs, int nFrames);
  void HostSetBypassDelay() { CreateDelayLine(); }

  // What the base asked of the host.
  Util_TypedBuf<ParamChange> mInformed;
  int mBeginEdits = 0;
  int mEndEdits = 0;
  int mProgramChanges = 0;
  int mMidiSent = 0;
  int mResizeW = 0, mResizeH = 0;
  ITimeInfo mTimeInfo;

private:
  IFxInstanceInfo mInfo;
};
