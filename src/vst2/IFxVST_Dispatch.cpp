// IFxVST: the dispatcher, parameter and audio entry points. Every argument comes from the
// host and is checked before use: indices against their ranges, sizes against their limits,
// pointers against null; strings the plug-in writes are cut to the published lengths.
#include "IFxVST.h"

#include "Util_CStr.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
IFxVST* PlugOf(AEffect* effect)
{
  return effect ? (IFxVST*)effect->object : nullptr;
}

// Copies src into a host buffer of the published size (maxLen characters and a terminator).
void CopyOut(void* ptr, const char* src, int maxLen)
{
  Util_StrCopy((char*)ptr, src ? src : "", (size_t)maxLen + 1);
}

// Copies a host string into dst, reading at most dstSize - 1 characters of it.
void CopyIn(char* dst, size_t dstSize, const void* src)
{
  const char* s = (const char*)src;
  size_t n = 0;
  while (n + 1 < dstSize && s[n]) ++n;
  std::memcpy(dst, s, n);
  dst[n] = 0;
}

bool InIntRange(VstIntPtr value, int lo, int hi)
{
  return value >= (VstIntPtr)lo && value <= (VstIntPtr)hi;
}
}  // namespace

// ---- dispatcher -----------------------------------------------------------------------------

VstIntPtr VSTCALLBACK IFxVST::VSTDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 idx, VstIntPtr value,
                                            void* ptr, float opt)
{
  IFxVST* plug = PlugOf(effect);
  if (!plug) return 0;
  if (opcode == effClose)
  {
    // The mutex belongs to the object: wait for any call in progress, then let go of it
    // before deleting its owner.
    plug->mMutex.Enter();
    plug->mMutex.Leave();
    delete plug;
    return 0;
  }
  // The host is never called with the plug-in mutex held: a host that takes a lock of its
  // own in its callback, and holds that lock around its audio calls, would deadlock with it.
  // So the host is identified before the mutex is taken at effOpen, and the editor's window
  // (which may ask the host things while it opens or closes) is handled without it.
  switch (opcode)
  {
    case effOpen:
      plug->GetHost();
      break;
    case effEditOpen:
    case effEditClose:
      return plug->EditWindow(opcode == effEditOpen, ptr);
    case effEditIdle:
      // Linux hosts drive the editor from their user-interface loop: the tick reads the
      // window's events and draws, which must not hold up the audio thread on the plug-in
      // mutex. The editor takes the mutex itself where it touches what the audio thread shares.
      if (IEditorLink* editor = plug->GetGUI()) editor->OnHostTimer();
      return 0;
    default:
      break;
  }
  Util_MutexLock lock(plug->mMutex);
  return plug->Dispatch(opcode, idx, value, ptr, opt);
}

VstIntPtr IFxVST::EditWindow(bool open, void* parent)
{
  IEditorLink* editor = GetGUI();
  if (!editor) return 0;
  if (open)
  {
    if (!HasEditorWindowHost() || !editor->OpenWindow(parent)) return 0;
    OnGUIOpen();
    return 1;
  }
  OnGUIClose();
  editor->CloseWindow();
  return 1;
}

VstIntPtr IFxVST::Dispatch(VstInt32 opcode, VstInt32 idx, VstIntPtr value, void* ptr, float opt)
{
  switch (opcode)
  {
    case effOpen:
      HostSpecificInit();
      OnParamReset();
      return 0;

    case effSetProgram:
      if (!DoesStateChunks()) ModifyCurrentPreset();
      if (InIntRange(value, 0, NPresets() - 1)) RestorePreset((int)value);
      return 0;

    case effGetProgram:
      return GetCurrentPresetIdx();

    case effSetProgramName:
      if (ptr)
      {
        char name[kVstMaxProgNameLen + 1];
        CopyIn(name, sizeof name, ptr);
        ModifyCurrentPreset(name);
        PresetsChangedByHost();
      }
      return 0;

    case effGetProgramName:
      if (ptr) CopyOut(ptr, GetPresetName(GetCurrentPresetIdx()), kVstMaxProgNameLen);
      return 0;

    case effGetParamLabel:
      if (ptr && GetParam(idx)) CopyOut(ptr, GetParam(idx)->GetLabelForHost(), kVstMaxParamStrLen);
      return 0;

    case effGetParamDisplay:
      if (ptr && GetParam(idx))
      {
        char text[IParam::kTextLen];
        GetParam(idx)->GetDisplayForHost(text, sizeof text);
        CopyOut(ptr, text, kVstMaxParamStrLen);
      }
      return 0;

    case effGetParamName:
      if (ptr && GetParam(idx)) CopyOut(ptr, GetParam(idx)->GetNameForHost(), kVstMaxParamStrLen);
      return 0;

    case effSetSampleRate:
      // A rate that is not a plausible positive number would reach the plug-in's time keeping.
      if (opt > 0.0f && opt <= kMaxSampleRate)
      {
        SetSampleRate(opt);
        Reset();
      }
      return 0;

    case effSetBlockSize:
      if (InIntRange(value, 0, kMaxBlockSize))
      {
        SetBlockSize((int)value);
        Reset();
      }
      return 0;

    case effMainsChanged:
      if (value)
      {
        OnActivate(true);
      }
      else
      {
        OnActivate(false);
        Reset();
      }
      return 0;

    case effEditGetRect:
      if (ptr && GetGUI())
      {
        *(ERect**)ptr = &mEditRect;
        return 1;
      }
      return 0;

    case effIdentify:
      return VstFourCC('N', 'v', 'E', 'f');

    case effGetChunk:
      return GetChunk(idx != 0, (void**)ptr);

    case effSetChunk:
      return SetChunk(idx != 0, value, ptr);

    case effProcessEvents:
      ProcessEvents((const VstEvents*)ptr);
      return 1;

    case effCanBeAutomated:
      return 1;

    case effString2Parameter:
    {
      if (!GetParam(idx)) return 0;
      if (!ptr) return 1;
      char text[256];
      CopyIn(text, sizeof text, ptr);
      return String2Parameter(idx, text);
    }

    case effGetProgramNameIndexed:
      if (!ptr) return 0;
      CopyOut(ptr, GetPresetName(idx), kVstMaxProgNameLen);
      return *(const char*)ptr ? 1 : 0;

    case effGetInputProperties:
      return GetPinProperties(true, idx, (VstPinProperties*)ptr);

    case effGetOutputProperties:
      return GetPinProperties(false, idx, (VstPinProperties*)ptr);

    case effGetPlugCategory:
      return IsInstrument() ? kPlugCategSynth : kPlugCategEffect;

    case effSetSpeakerArrangement:
      SetSpeakerArrangement((const VstSpeakerArrangement*)value, (const VstSpeakerArrangement*)ptr);
      return 1;

    case effGetEffectName:
      if (!ptr) return 0;
      CopyOut(ptr, GetEffectName(), kVstMaxEffectNameLen);
      return 1;

    case effGetVendorString:
      if (!ptr) return 0;
      CopyOut(ptr, GetMfrName(), kVstMaxVendorStrLen);
      return 1;

    case effGetProductString:
      if (!ptr) return 0;
      CopyOut(ptr, GetProductName(), kVstMaxProductStrLen);
      return 1;

    case effGetVendorVersion:
      return GetEffectVersion(true);

    case effVendorSpecific:
      return VendorSpecific(idx, value, ptr, opt);

    case effCanDo:
      return CanDo((const char*)ptr);

    case effGetTailSize:
      return GetTailSize();

    case effGetVstVersion:
      return kVstVersion;

    case effGetMidiKeyName:
    {
      if (!ptr) return 0;
      MidiKeyName* key = (MidiKeyName*)ptr;
      // The plug-in writes into a buffer of its own, so a long name cannot overrun the host's.
      char name[256] = {};
      const bool named = MidiNoteName(key->thisKeyNumber, name);
      name[sizeof name - 1] = 0;
      CopyOut(key->keyName, named ? name : "", kVstMaxNameLen - 1);
      return named ? 1 : 0;
    }

    case effGetSpeakerArrangement:
      if (value) *(VstSpeakerArrangement**)value = &mInputSpkrArr;
      if (ptr) *(VstSpeakerArrangement**)ptr = &mOutputSpkrArr;
      return 1;

    case effEditIdle:
    case effIdle:
    default:
      return 0;
  }
}

// ---- chunks ---------------------------------------------------------------------------------

VstIntPtr IFxVST::GetChunk(bool program, void** data)
{
  if (!data) return 0;
  ByteChunk* chunk = program ? &mState : &mBankState;
  ByteChunk::InitChunkWithFxVer(chunk);
  bool ok;
  if (program)
  {
    ok = SerializeState(chunk);
  }
  else
  {
    // The current preset takes the current state, so the bank carries what the user hears.
    ModifyCurrentPreset();
    ok = SerializePresets(chunk);
  }
  if (!ok || chunk->Size() <= 0) return 0;
  *data = chunk->GetBytes();
  return chunk->Size();
}

VstIntPtr IFxVST::SetChunk(bool program, VstIntPtr size, const void* data)
{
  if (size <= 0 || size > kMaxChunkBytes || !data) return 0;
  // Read from a copy of our own: the host may hand back the very buffer effGetChunk lent it.
  ByteChunk chunk;
  if (chunk.PutBytes(data, (int)size) != (int)size) return 0;

  // Keep what the plug-in has now: a chunk that does not read as one whole state (or one
  // bank) of this plug-in is refused, and the plug-in is put back as it was. Bytes after a
  // whole state or bank are left alone: a later version may append fields, a host may pad.
  ByteChunk savedState, savedBank;
  const int savedPreset = GetCurrentPresetIdx();
  SerializeState(&savedState);
  if (!program) SerializePresets(&savedBank);

  int pos = 0;
  const int version = ByteChunk::GetFxVerFromChunk(&chunk, &pos);
  const bool asState = program || version < ByteChunk::kFrameworkVersion;
  if (asState) pos = UnserializeState(&chunk, pos < 0 ? 0 : pos);
  else pos = UnserializePresets(&chunk, pos);

  if (pos < 0)
  {
    if (!asState)
    {
      mCurrentPresetIdx = savedPreset;
      UnserializePresets(&savedBank, 0);
    }
    UnserializeState(&savedState, 0);
    return 0;
  }
  if (asState) ModifyCurrentPreset();
  RedrawParamControls();
  return 1;
}

// ---- parameters as text --------------------------------------------------------------------------

VstIntPtr IFxVST::String2Parameter(int idx, const char* text)
{
  return SetParameterFromHostText(idx, text) ? 1 : 0;
}

VstIntPtr IFxVST::GetPinProperties(bool input, int idx, VstPinProperties* props)
{
  const int n = input ? NInChannels() : NOutChannels();
  if (!props || idx < 0 || idx >= n) return 0;
  std::memset(props, 0, sizeof *props);
  props->flags = kVstPinIsActive;
  if (idx % 2 == 0 && idx < n - 1) props->flags |= kVstPinIsStereo;
  const char* label = input ? GetInputLabel(idx) : GetOutputLabel(idx);
  if (label && *label)
    Util_StrCopy(props->label, label);
  else
    std::snprintf(props->label, sizeof props->label, input ? "Input %d" : "Output %d", idx + 1);
  return 1;
}

VstIntPtr IFxVST::CanDo(const char* text)
{
  if (!text) return 0;
  char query[64];
  CopyIn(query, sizeof query, text);
  if (!std::strcmp(query, "receiveVstTimeInfo")) return 1;
  if (DoesMIDI() && (!std::strcmp(query, "sendVstEvents") || !std::strcmp(query, "sendVstMidiEvent") ||
                     !std::strcmp(query, "receiveVstEvents") || !std::strcmp(query, "receiveVstMidiEvent")))
    return 1;
  return 0;
}

VstIntPtr IFxVST::VendorSpecific(VstInt32 idx, VstIntPtr value, void* ptr, float opt)
{
  constexpr VstIntPtr kAnswered = 0xBEEF;
  const bool validParam = InIntRange(value, 0, NParams() - 1);
  if (idx == 7 && ptr)
  {
    if (!validParam) return 0;
    char text[IParam::kTextLen];
    GetParam((int)value)->GetDisplayForHost(opt, true, text, sizeof text);
    CopyOut(ptr, text, kVstMaxParamStrLen);
    return kAnswered;
  }
  if (idx == 8) return validParam && GetParam((int)value)->Type() != IParam::kTypeDouble ? kAnswered : 0;
  return 0;
}

void IFxVST::ProcessEvents(const VstEvents* events)
{
  if (!events) return;
  for (int i = 0; i < events->numEvents; ++i)
  {
    const VstEvent* ev = events->events[i];
    if (!ev) continue;
    if (ev->type == kVstMidiType)
    {
      const VstMidiEvent* midi = (const VstMidiEvent*)ev;
      IMidiMsg msg;
      msg.mOffset = midi->deltaFrames;
      msg.mStatus = (uint8_t)midi->midiData[0];
      msg.mData1 = (uint8_t)midi->midiData[1];
      msg.mData2 = (uint8_t)midi->midiData[2];
      ProcessMidiMsg(&msg);
    }
    else if (ev->type == kVstSysExType)
    {
      const VstMidiSysexEvent* sysex = (const VstMidiSysexEvent*)ev;
      ISysEx msg;
      msg.mOffset = sysex->deltaFrames;
      msg.mSize = sysex->dumpBytes;
      msg.mData = (const uint8_t*)sysex->sysexDump;
      ProcessSysEx(&msg);
    }
  }
}

void IFxVST::SetSpeakerArrangement(const VstSpeakerArrangement* in, const VstSpeakerArrangement* out)
{
  if (in)
  {
    const int n = in->numChannels < 0 ? 0 : in->numChannels;
    SetInputChannelConnections(0, n, true);
    SetInputChannelConnections(n, NInChannels() - n, false);
  }
  if (out)
  {
    const int n = out->numChannels < 0 ? 0 : out->numChannels;
    SetOutputChannelConnections(0, n, true);
    SetOutputChannelConnections(n, NOutChannels() - n, false);
  }
}

// ---- parameter entry points --------------------------------------------------------------------

float VSTCALLBACK IFxVST::VSTGetParameter(AEffect* effect, VstInt32 idx)
{
  IFxVST* plug = PlugOf(effect);
  if (!plug) return 0.0f;
  Util_MutexLock lock(plug->mMutex);
  const IParam* param = plug->GetParam(idx);
  return param ? (float)param->GetNormalized() : 0.0f;
}

void VSTCALLBACK IFxVST::VSTSetParameter(AEffect* effect, VstInt32 idx, float value)
{
  IFxVST* plug = PlugOf(effect);
  if (!plug) return;
  Util_MutexLock lock(plug->mMutex);
  plug->SetParameterFromHost(idx, value, true);
}

// ---- audio entry points ----------------------------------------------------------------------------

namespace {
template <class SampleType>
SampleType* GrowZeroed(Util_TypedBuf<SampleType>* buf, int nFrames)
{
  // Allocates only when a host sends a longer block than any before.
  if (buf->GetSize() < nFrames && buf->Resize(nFrames))
    std::memset(buf->Get(), 0, sizeof(SampleType) * (size_t)nFrames);
  return buf->GetSize() >= nFrames ? buf->Get() : nullptr;
}

template <class SampleType>
void Completed(SampleType** host, int n, SampleType* standIn, SampleType** out)
{
  for (int i = 0; i < n; ++i)
  {
    SampleType* p = host ? host[i] : nullptr;
    out[i] = p ? p : standIn;
  }
}
}  // namespace

template <class SampleType>
bool IFxVST::PrepareHostArrays(SampleType** inputs, SampleType** outputs, int nFrames, SampleType*** ins,
                               SampleType*** outs)
{
  Util_TypedBuf<SampleType>* silence;
  Util_TypedBuf<SampleType>* discard;
  Util_TypedBuf<SampleType*>* inPtrs;
  Util_TypedBuf<SampleType*>* outPtrs;
  if constexpr (sizeof(SampleType) == sizeof(float))
  {
    silence = &mSilenceF, discard = &mDiscardF, inPtrs = &mInPtrsF, outPtrs = &mOutPtrsF;
  }
  else
  {
    silence = &mSilenceD, discard = &mDiscardD, inPtrs = &mInPtrsD, outPtrs = &mOutPtrsD;
  }
  SampleType* zeros = GrowZeroed(silence, nFrames);
  SampleType* sink = GrowZeroed(discard, nFrames);
  if (!zeros || !sink) return false;
  Completed(inputs, inPtrs->GetSize(), zeros, inPtrs->Get());
  Completed(outputs, outPtrs->GetSize(), sink, outPtrs->Get());
  *ins = inPtrs->Get();
  *outs = outPtrs->Get();
  return true;
}

void IFxVST::ProcessFloat(float** inputs, float** outputs, int nFrames, bool accumulate)
{
  float** ins;
  float** outs;
  if (nFrames <= 0 || !PrepareHostArrays(inputs, outputs, nFrames, &ins, &outs)) return;
  AttachInputBuffers(0, NInChannels(), ins, nFrames);
  AttachOutputBuffers(0, NOutChannels(), outs);
  ProcessBlock(0.0f, nFrames, accumulate);
  if (!accumulate) SilenceUnattachedOutputs(outs, nFrames);
}

void IFxVST::ProcessDouble(double** inputs, double** outputs, int nFrames)
{
  double** ins;
  double** outs;
  if (nFrames <= 0 || !PrepareHostArrays(inputs, outputs, nFrames, &ins, &outs)) return;
  // Unconnected channels read and write their scratch buffers, which hold one announced
  // block: a longer block grows them first (allocating only when the host broke its word).
  if (nFrames > GetBlockSize()) SetBlockSize(nFrames);
  AttachInputBuffers(0, NInChannels(), ins, nFrames);
  AttachOutputBuffers(0, NOutChannels(), outs);
  ProcessBlock(0.0, nFrames);
  SilenceUnattachedOutputs(outs, nFrames);
}

// The host passes numOutputs buffers, but only connected channels take one (in order): with
// fewer channels connected (a mono arrangement) the rest would keep whatever they held, and
// the host would play it. They get silence.
template <class SampleType>
void IFxVST::SilenceUnattachedOutputs(SampleType** outs, int nFrames)
{
  int attached = 0;
  for (int i = 0; i < NOutChannels(); ++i)
    if (IsOutChannelConnected(i)) ++attached;
  const int nHost = mAEffect.numOutputs < NOutChannels() ? mAEffect.numOutputs : NOutChannels();
  for (int i = attached; i < nHost; ++i) std::memset(outs[i], 0, sizeof(SampleType) * (size_t)nFrames);
}

void VSTCALLBACK IFxVST::VSTProcess(AEffect* effect, float** inputs, float** outputs, VstInt32 nFrames)
{
  IFxVST* plug = PlugOf(effect);
  if (!plug) return;
  // Asked before the mutex is taken: the host is never called holding it.
  if (plug->DoesMIDI()) plug->HostCallback(audioMasterWantMidi);
  Util_MutexLock lock(plug->mMutex);
  plug->ProcessFloat(inputs, outputs, nFrames, true);
}

void VSTCALLBACK IFxVST::VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 nFrames)
{
  IFxVST* plug = PlugOf(effect);
  if (!plug) return;
  // Asked before the mutex is taken: the host is never called holding it.
  if (plug->DoesMIDI()) plug->HostCallback(audioMasterWantMidi);
  Util_MutexLock lock(plug->mMutex);
  plug->ProcessFloat(inputs, outputs, nFrames, false);
}

void VSTCALLBACK IFxVST::VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                                   VstInt32 nFrames)
{
  IFxVST* plug = PlugOf(effect);
  if (!plug) return;
  // Asked before the mutex is taken: the host is never called holding it.
  if (plug->DoesMIDI()) plug->HostCallback(audioMasterWantMidi);
  Util_MutexLock lock(plug->mMutex);
  plug->ProcessDouble(inputs, outputs, nFrames);
}
