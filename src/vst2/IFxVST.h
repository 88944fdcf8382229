// The VST 2 binding: fills the AEffect record a host talks to, answers the dispatcher,
// forwards audio through the base's buffer frame, and implements the base's host operations
// through the host callback. The plug-in class derives from it.
//
// Every entry point (dispatcher, parameters, processing) holds the plug-in mutex for its
// whole run, except where it calls the host (the host is never called with the mutex held)
// and effEditIdle, which runs the editor's tick on the host's user-interface thread. The
// editor's platform part lives behind IEditorLink, so the same binding serves any window host
// (an NSView on macOS, an X11 window on Linux).
#pragma once

#include "IFxBase.h"
#include "VstAbi.h"

// What the entry point hands the plug-in's constructor.
struct IFxInstanceInfo
{
  audioMasterCallback mVSTHostCallback = nullptr;
};

class IFxVST : public IFxBase
{
public:
  IFxVST(const IFxInstanceInfo& info, int nParams, const char* channelIOStr, int nPresets,
         const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
         int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst);
  ~IFxVST() override;

  // ---- base operations carried out through the host callback -----------------------------
  void BeginInformHostOfParamChange(int idx) override;
  void InformHostOfParamChange(int idx, double normalizedValue) override;
  void EndInformHostOfParamChange(int idx) override;
  void InformHostOfProgramChange() override;
  bool IsRenderingOffline() override;
  int GetSamplePos() override;
  double GetTempo() override;
  void GetTimeSig(int* numerator, int* denominator) override;
  void GetTime(ITimeInfo* timeInfo) override;
  EHost GetHost() override;
  void ResizeGraphics(int w, int h) override;
  void HostSpecificInit() override;
  void AttachGraphics(IEditorLink* graphics) override;
  void SetLatency(int samples) override;
  bool SendMidiMsg(IMidiMsg* msg) override;
  bool SendSysEx(ISysEx* msg) override;

  AEffect* GetAEffect() { return &mAEffect; }

  // Whether this platform has a window host that puts the editor into the host's window
  // (macOS: the Cocoa view; Windows: the Win32 child window; Linux: the X11 child window).
  // Without one the editor is the headless one, which would "open" without showing anything,
  // so effEditOpen answers 0 without asking it.
  virtual bool HasEditorWindowHost() const { return PlatformHasEditorWindowHost(); }
  static bool PlatformHasEditorWindowHost();

  // Chunks larger than this are refused: the plug-in's own are a few hundred bytes, and a
  // host's size is never trusted for an unbounded copy or allocation.
  static constexpr int kMaxChunkBytes = 1 << 20;
  // Block sizes a host may announce; larger announcements are ignored.
  static constexpr int kMaxBlockSize = 1 << 20;
  // Sample rates a host may set; others (not a number, zero, negative, absurd) are ignored.
  static constexpr float kMaxSampleRate = 10.0e6f;

  // The entry points, as the AEffect record publishes them.
  static VstIntPtr VSTCALLBACK VSTDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 idx, VstIntPtr value,
                                             void* ptr, float opt);
  static void VSTCALLBACK VSTProcess(AEffect* effect, float** inputs, float** outputs, VstInt32 nFrames);
  static void VSTCALLBACK VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 nFrames);
  static void VSTCALLBACK VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                                    VstInt32 nFrames);
  static float VSTCALLBACK VSTGetParameter(AEffect* effect, VstInt32 idx);
  static void VSTCALLBACK VSTSetParameter(AEffect* effect, VstInt32 idx, float value);

protected:
  VstIntPtr HostCallback(VstInt32 opcode, VstInt32 idx = 0, VstIntPtr value = 0, void* ptr = nullptr,
                         float opt = 0.0f);

private:
  // One dispatcher call, under the mutex (effClose is handled by VSTDispatcher itself).
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 idx, VstIntPtr value, void* ptr, float opt);
  VstIntPtr GetChunk(bool program, void** data);
  VstIntPtr SetChunk(bool program, VstIntPtr size, const void* data);
  VstIntPtr String2Parameter(int idx, const char* text);
  VstIntPtr GetPinProperties(bool input, int idx, VstPinProperties* props);
  VstIntPtr CanDo(const char* text);
  VstIntPtr VendorSpecific(VstInt32 idx, VstIntPtr value, void* ptr, float opt);
  void ProcessEvents(const VstEvents* events);
  void SetSpeakerArrangement(const VstSpeakerArrangement* in, const VstSpeakerArrangement* out);
  // Asks the host for its time info with these flags; null when it has none.
  const VstTimeInfo* HostTimeInfo(VstInt32 flags);

  // Processing: host arrays with null entries (or none at all) are completed with the
  // binding's silent inputs and discard outputs, so the plug-in always sees real buffers.
  template <class SampleType> bool PrepareHostArrays(SampleType** inputs, SampleType** outputs, int nFrames,
                                                     SampleType*** ins, SampleType*** outs);
  void ProcessFloat(float** inputs, float** outputs, int nFrames, bool accumulate);
  template <class SampleType> void SilenceUnattachedOutputs(SampleType** outs, int nFrames);
  // effEditOpen / effEditClose, called without the plug-in mutex.
  VstIntPtr EditWindow(bool open, void* parent);
  void ProcessDouble(double** inputs, double** outputs, int nFrames);

  audioMasterCallback mHostCallback = nullptr;
  bool mHostSpecificInitDone = false;
  ByteChunk mState;      // the last program chunk handed to the host
  ByteChunk mBankState;  // the last bank chunk handed to the host
  AEffect mAEffect{};
  ERect mEditRect{};
  VstSpeakerArrangement mInputSpkrArr{};
  VstSpeakerArrangement mOutputSpkrArr{};

  // Stand-ins for null host buffers, and the completed pointer arrays (sized once).
  Util_TypedBuf<float> mSilenceF, mDiscardF;
  Util_TypedBuf<double> mSilenceD, mDiscardD;
  Util_TypedBuf<float*> mInPtrsF, mOutPtrsF;
  Util_TypedBuf<double*> mInPtrsD, mOutPtrsD;
};

// Made by the plug-in module: creates its plug-in object for a new instance. The entry point
// (VSTPluginMain) calls it under the module-wide creation lock.
IFxVST* VSTCreatePlugin(const IFxInstanceInfo& info);
