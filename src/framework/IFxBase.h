// Host-independent base of every plug-in object: identity, parameters, presets, channel
// configurations, the double-precision buffer frame, the plug-in mutex and the editor.
// Bindings derive from it and implement the abstract host operations; the plug-in derives
// from a binding and overrides the hooks.
#pragma once

#include "IEditorLink.h"
#include "IFxStructs.h"
#include "IParam.h"
#include "Util_Mutex.h"
#include "Util_PtrList.h"

#include <cstdarg>

// Trace points: the shipped modules discard them.
#define TRACE_FX(...) ((void)0)

class IFxBase
{
public:
  IFxBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
          const char* productName, const char* mfrName, int vendorVersion, int uniqueID,
          int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst,
          EAPI plugAPI);
  virtual ~IFxBase();

  IFxBase(const IFxBase&) = delete;
  IFxBase& operator=(const IFxBase&) = delete;

  // ---- hooks, in slot order -------------------------------------------------------
  virtual void Reset();
  virtual void OnParamChange(int paramIdx);
  virtual void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames);
  virtual void OnGUIOpen() {}
  virtual void OnGUIClose() {}
  virtual void OnIdle() {}
  virtual void OnActivate(bool active);
  virtual void ProcessMidiMsg(IMidiMsg* msg);
  virtual void ProcessSysEx(ISysEx*) {}
  virtual bool MidiNoteName(int noteNumber, char* noteName);
  virtual bool SerializeState(ByteChunk* chunk) { return SerializeParams(chunk); }
  virtual int UnserializeState(ByteChunk* chunk, int startPos) { return UnserializeParams(chunk, startPos); }
  virtual bool CompareState(const unsigned char* incomingState, int startPos);
  virtual void OnWindowResize() {}
  virtual bool HostRequestingAboutBox() { return false; }
  virtual void OnHostIdentified() {}
  virtual void PopupHostContextMenuForParam(int, int, int) {}
  virtual void SetParameterFromGUI(int idx, double normalizedValue);
  virtual void BeginInformHostOfParamChange(int idx) = 0;
  virtual void InformHostOfParamChange(int idx, double normalizedValue) = 0;
  virtual void EndInformHostOfParamChange(int idx) = 0;
  virtual void InformHostOfProgramChange() = 0;
  virtual bool IsRenderingOffline() { return false; }
  virtual int GetSamplePos() = 0;
  virtual double GetTempo() = 0;
  virtual void GetTimeSig(int* numerator, int* denominator) = 0;
  virtual void GetTime(ITimeInfo* timeInfo) = 0;
  virtual EHost GetHost() { return mHost; }
  virtual EAPI GetAPI() { return mAPI; }
  virtual void ResizeGraphics(int w, int h) = 0;
  virtual void HostSpecificInit() {}
  virtual void AttachGraphics(IEditorLink* graphics);
  virtual void SetLatency(int samples);
  virtual bool SendMidiMsg(IMidiMsg* msg) = 0;
  virtual bool SendSysEx(ISysEx*) { return false; }
  virtual void RedrawParamControls();
  virtual void DirtyPTCompareState() {}
  virtual void PresetsChangedByHost() {}
  virtual void SetBlockSize(int blockSize);

  // ---- identity -------------------------------------------------------------------
  const char* GetEffectName() const { return mEffectName; }
  const char* GetMfrName() const { return mMfrName; }
  const char* GetProductName() const { return mProductName; }
  int GetUniqueID() const { return mUniqueID; }
  int GetMfrID() const { return mMfrID; }
  int GetEffectVersion(bool decimal) const;  // packed, or major*10000 + minor*100 + patch
  void GetEffectVersionStr(char* str, int size) const;
  const char* GetAPIString() const;
  static const char* GetArchString() { return "x64"; }
  int GetHostVersion(bool decimal);
  void GetHostVersionStr(char* str, int size);
  bool DoesStateChunks() const { return mStateChunks; }
  bool IsInstrument() const { return mIsInst; }
  bool DoesMIDI() const { return mDoesMIDI; }
  bool IsBypassed() const { return mIsBypassed; }
  void SetBypassed(bool bypassed) { mIsBypassed = bypassed; }

  // ---- parameters -----------------------------------------------------------------
  int NParams() const { return mParams.GetSize(); }
  IParam* GetParam(int idx) const { return mParams.Get(idx); }
  void OnParamReset();
  void DirtyParameters();
  // The one way a host changes a parameter (automation, a host's text entry, a VST 3 queue):
  // the parameter takes the value (normalised 0..1, clamped, or real units clamped to the
  // bounds when normalized is false), the editor's controls follow, then OnParamChange.
  // An index out of range or a value that is not a finite number changes nothing (false).
  // Takes the plug-in mutex (callers may already hold it); never calls the host.
  bool SetParameterFromHost(int idx, double value, bool normalized);
  // Host text for parameter idx, read with the parameter's display-text parser.
  bool SetParameterFromHostText(int idx, const char* text);
  IEditorLink* GetGUI() const { return mGraphics; }
  Util_Mutex* GetMutex() { return &mMutex; }

  // ---- channels and buffers ---------------------------------------------------------
  int NInChannels() const { return mInChannels.GetSize(); }
  int NOutChannels() const { return mOutChannels.GetSize(); }
  int NChannelIO() const { return mChannelIO.GetSize(); }
  const ChannelIO* GetChannelIO(int idx) const { return mChannelIO.Get(idx); }
  bool LegalIO(int nIn, int nOut) const;
  void LimitToStereoIO();
  bool IsInChannelConnected(int chIdx) const;
  bool IsOutChannelConnected(int chIdx) const;
  void SetInputChannelConnections(int idx, int n, bool connected);
  void SetOutputChannelConnections(int idx, int n, bool connected);
  void AttachInputBuffers(int idx, int n, double** ppData, int nFrames);
  void AttachInputBuffers(int idx, int n, float** ppData, int nFrames);
  void AttachOutputBuffers(int idx, int n, double** ppData);
  void AttachOutputBuffers(int idx, int n, float** ppData);
  void ProcessBuffers(double sampleType, int nFrames);
  void ProcessBuffers(float sampleType, int nFrames);
  void ProcessBuffersAccumulating(float sampleType, int nFrames);
  void PassThroughBuffers(double sampleType, int nFrames);
  void PassThroughBuffers(float sampleType, int nFrames);
  // The one block entry of every binding, after the host's buffers are attached: past the
  // plug-in while bypassed, else through it; float outputs are then written to the host
  // (added to what it holds when accumulate is set).
  void ProcessBlock(double sampleType, int nFrames);
  void ProcessBlock(float sampleType, int nFrames, bool accumulate = false);
  void ZeroScratchBuffers();
  void SetSampleRate(double sampleRate) { mSampleRate = sampleRate; }
  double GetSampleRate() const { return mSampleRate; }
  int GetBlockSize() const { return mBlockSize; }
  int GetLatency() const { return mLatency; }
  int GetTailSize() const { return mTailSize; }
  double GetSamplesPerBeat();
  void SetInputLabel(int idx, const char* label);
  void SetOutputLabel(int idx, const char* label);
  void SetInputBusLabel(int idx, const char* label);
  void SetOutputBusLabel(int idx, const char* label);
  const char* GetInputLabel(int idx) const;
  const char* GetOutputLabel(int idx) const;
  const char* GetInputBusLabel(int idx) const;
  const char* GetOutputBusLabel(int idx) const;
  bool SendMidiMsgs(IMidiMsg* msgs, int n);

  // ---- state and presets --------------------------------------------------------------
  bool SerializeParams(ByteChunk* chunk);
  int UnserializeParams(ByteChunk* chunk, int startPos);
  int NPresets() const { return mPresets.GetSize(); }
  int GetCurrentPresetIdx() const { return mCurrentPresetIdx; }
  IPreset* GetPreset(int idx) const { return mPresets.Get(idx); }
  const char* GetPresetName(int idx) const;
  void MakeDefaultPreset(const char* name = nullptr, int nPresets = 1);
  void EnsureDefaultPreset();

  // ---- preset list, bank state, host identity, preset files and dumps ------------------
  // Presets take the first uninitialised slot; with none left they do nothing.
  // MakePreset: one value per parameter, int for bool/int/enum parameters, double for
  // double ones. MakePresetFromNamedParams: nNamed pairs (index as int, value as above);
  // parameters not named keep their current value.
  void MakePreset(const char* name, ...);
  void MakePresetFromNamedParams(const char* name, int nNamed, ...);
  void MakePresetFromChunk(const char* name, const ByteChunk* presetChunk);
  // Decodes base64 text into a zero-filled chunk of exactly size bytes.
  void MakePresetFromBlob(const char* name, const char* blob, int size);
  void PruneUninitializedPresets();
  bool RestorePreset(int idx);
  bool RestorePreset(const char* name);
  void ModifyCurrentPreset(const char* name = nullptr);
  bool SerializePresets(ByteChunk* chunk);
  int UnserializePresets(ByteChunk* chunk, int startPos);

  // A binding passes the host's product name and packed version; see LookUpHost.
  void SetHost(const char* host, int version);

  // VST 2 program (FXP) and bank (FXB) files. The ...Data forms build or read the file's
  // bytes in memory; the file forms wrap them. Loads refuse (false, nothing changed) a file
  // of another plug-in, a short or truncated file, or an unknown format.
  bool SaveProgramAsFXP(const Util_String& path);
  bool LoadProgramFromFXP(const Util_String& path);
  bool SaveBankAsFXB(const Util_String& path);
  bool LoadBankFromFXB(const Util_String& path);
  bool MakeProgramFXPData(ByteChunk* file);
  bool LoadProgramFromFXPData(const ByteChunk* file);
  bool MakeBankFXBData(ByteChunk* file);
  bool LoadBankFromFXBData(const ByteChunk* file);

  // Developer dumps: source statements that recreate the current preset or the bank.
  // Chunks whose base64 text does not fit kDumpTextSize are refused: false, no file written.
  static constexpr int kDumpTextSize = 2048;
  bool DumpPresetSrcCode(const char* path, const char* const* paramEnumNames);
  bool DumpPresetBlob(const char* path);
  bool DumpBankBlob(const char* path);

protected:
  // The binding creates the delay line when it may bypass with latency.
  void CreateDelayLine();
  IPreset* GetNextUninitializedPreset();

  Util_PtrList<ChannelIO> mChannelIO;
  Util_Mutex mMutex;
  char mEffectName[128] = {};
  char mProductName[128] = {};
  char mMfrName[128] = {};
  int mUniqueID = 0;
  int mMfrID = 0;
  int mVersion = 0;
  EAPI mAPI;
  EHost mHost = kHostUninit;
  int mHostVersion = 0;
  bool mStateChunks = false;
  bool mIsInst = false;
  bool mDoesMIDI = false;
  bool mIsBypassed = false;
  int mCurrentPresetIdx = 0;
  double mSampleRate = 44100.0;
  int mBlockSize = 0;
  int mLatency = 0;
  int mTailSize = 0;
  LatencyDelayLine* mDelay = nullptr;
  IEditorLink* mGraphics = nullptr;
  Util_PtrList<IParam> mParams;
  Util_PtrList<IPreset> mPresets;
  Util_TypedBuf<double*> mInData;
  Util_TypedBuf<double*> mOutData;
  Util_PtrList<InChannel> mInChannels;
  Util_PtrList<OutChannel> mOutChannels;
  Util_PtrList<Util_String> mInputBusLabels;
  Util_PtrList<Util_String> mOutputBusLabels;

private:
  template <class SampleType> void AttachInputBuffersT(int idx, int n, SampleType** ppData, int nFrames);
  template <class SampleType> void AttachOutputBuffersT(int idx, int n, SampleType** ppData);
  void ConvertOutputsToFloat(int nFrames, bool accumulate);
  void UnaliasInputs(int nFrames);
  void CopyOrZeroOutputs(int nFrames);
};
