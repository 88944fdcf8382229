// The VST 3 binding: buses, parameters and units published from the plug-in base, the
// process call run through the base's buffer frame, and the state read and written as the
// base's chunk.

#include "IFxVST3.h"

#include "IFxVST3View.h"
#include "IHostId.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace vst3;

namespace {
// Channels the process call can attach per bus side; more are left unconnected.
constexpr int kMaxHostChannels = 32;

SpeakerArrangement ArrangementForChannels(int n)
{
  switch (n)
  {
    case 1: return kSpeakerMono;
    case 2: return kSpeakerStereo;
    case 3: return 0x103;
    case 4: return 0x33;
    case 5: return 0x37;
    case 6: return 0x3F;
    default: return 0;
  }
}

template <class T> T** HostBuffers(AudioBusBuffers& bus);
template <> float** HostBuffers<float>(AudioBusBuffers& bus) { return bus.channelBuffers32; }
template <> double** HostBuffers<double>(AudioBusBuffers& bus) { return bus.channelBuffers64; }

// Reads up to size bytes; a stream that delivers in pieces is read until it stops.
int ReadFully(IBStream* stream, void* buffer, int size)
{
  int total = 0;
  while (total < size)
  {
    int32 got = 0;
    if (stream->read((char*)buffer + total, size - total, &got) != kResultOk || got <= 0) break;
    total += got > size - total ? size - total : got;
  }
  return total;
}

bool WriteFully(IBStream* stream, const void* buffer, int size)
{
  int total = 0;
  while (total < size)
  {
    int32 put = 0;
    if (stream->write((char*)buffer + total, size - total, &put) != kResultOk || put <= 0) return false;
    total += put;
  }
  return true;
}
}  // namespace

// ---- IFxParameter -----------------------------------------------------------------------------

IFxParameter::IFxParameter(IParam* param, int paramIdx, UnitID unitID) : mParam(param)
{
  mInfo.id = (ParamID)paramIdx;
  Widen(param->GetNameForHost(), mInfo.title, 128);
  Widen(param->GetLabelForHost(), mInfo.units, 128);
  const double range = param->GetMax() - param->GetMin();
  mInfo.stepCount = param->Type() == IParam::kTypeDouble ? 0 : (int32)range;
  const double shape = param->GetShape();
  const double defaultNormalized = range > 0.0 ? std::pow((param->GetDefault() - param->GetMin()) / range, 1.0 / shape) : 0.0;
  mInfo.defaultNormalizedValue = std::isfinite(defaultNormalized) ? defaultNormalized : 0.0;
  mValue = mInfo.defaultNormalizedValue;
  mPrecision = param->GetPrecision();
  mInfo.flags = param->GetCanAutomate() ? kCanAutomate : kNoFlags;
  mInfo.unitId = unitID;
}

void IFxParameter::ToString(ParamValue normalized, String128 text) const
{
  char buf[128];
  mParam->GetDisplayForHost(normalized, true, buf, sizeof buf, true);
  Widen(buf, text, 128);
}

bool IFxParameter::FromString(const char16* text, ParamValue& normalized) const
{
  char buf[128];
  Narrow(text, buf, sizeof buf, 128);
  double v = 0.0;
  if (!mParam->ParseDisplayText(buf, &v)) return false;
  normalized = mParam->GetNormalized(v);
  return true;
}

ParamValue IFxParameter::ToPlain(ParamValue normalized) const
{
  return mParam->GetNonNormalized(normalized);
}

ParamValue IFxParameter::ToNormalized(ParamValue plain) const
{
  return mParam->GetNormalized(plain);
}

// ---- construction -----------------------------------------------------------------------------

IFxVST3::IFxVST3(const IFxInstanceInfo&, int nParams, const char* channelIOStr, int nPresets,
                 const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
                 int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst)
  : IFxBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion, uniqueID,
            mfrID, latency, plugDoesMidi, plugDoesChunks, plugIsInst, kAPIVST3)
{
  SetInputChannelConnections(0, NInChannels(), true);
  SetOutputChannelConnections(0, NOutChannels(), true);
  if (NInChannels() > 0) CreateDelayLine();

  SetInputBusLabel(0, "Main Input");
  if (IsInstrument())
  {
    char label[32];
    for (int i = 0; i < NOutChannels() / 2; ++i)
    {
      std::snprintf(label, sizeof label, "Output %i", i + 1);
      SetOutputBusLabel(i, label);
    }
  }
  else
  {
    SetOutputBusLabel(0, "Output");
  }
}

IFxVST3::~IFxVST3()
{
  mParamGroups.Empty(true);
}

void IFxVST3::AddAudioBus(BusList* list, const char* name, int nChannels)
{
  list->Add(name, kAudio, kMain, kBusDefaultActive, ArrangementForChannels(nChannels), 0);
}

tresult IFxVST3::initialize(FUnknown* context)
{
  // A second call while initialised keeps the first context and reports false; after
  // terminate the object takes a new context, but its buses and parameters are published once.
  const bool again = GetHostContext() != nullptr;
  if (!again) SingleComponentEffect::initialize(context);

  // The host may name itself through its application interface.
  if (context)
  {
    IHostApplication* app = nullptr;
    if (context->queryInterface(IHostApplication::iid.Data(), (void**)&app) == kResultOk && app)
    {
      String128 wide = {};
      char name[129] = {};
      if (app->getName(wide) == kResultOk) Narrow(wide, name, sizeof name, 128);
      app->release();
      Util_MutexLock lock(mMutex);
      SetHost(name, 0);
    }
  }

  if (!mPublished)
  {
    mPublished = true;
    const int nIn = NInChannels(), nOut = NOutChannels();
    if (nIn >= 1 && nIn <= 6) AddAudioBus(&mAudioInputs, GetInputBusLabel(0), nIn);
    if (IsInstrument())
      for (int i = 0; i < nOut / 2; ++i) AddAudioBus(&mAudioOutputs, GetOutputBusLabel(i), 2);
    else
      AddAudioBus(&mAudioOutputs, GetOutputBusLabel(0), nOut);
    if (DoesMIDI()) mEventInputs.Add("MIDI Input", kEvent, kMain, kBusDefaultActive, 0, 1);

    if (NPresets() > 0)
      mParameters.Add(new Parameter("Preset", kPresetParamID, "", 0.0, NPresets(), kIsProgramChange, kRootUnitId));
    if (!IsInstrument())
    {
      StringListParameter* bypass = new StringListParameter("Bypass", kBypassParamID,
                                                            kCanAutomate | kIsList | kIsBypass, kRootUnitId);
      bypass->AppendString("off");
      bypass->AppendString("on");
      mParameters.Add(bypass);
    }

    for (int i = 0; i < NParams(); ++i)
    {
      IParam* param = GetParam(i);
      const char* group = param->GetParamGroupForHost();
      UnitID unit = kRootUnitId;
      if (group && *group)
      {
        int pos = -1;
        for (int g = 0; g < mParamGroups.GetSize() && pos < 0; ++g)
          if (std::strcmp(mParamGroups.Get(g)->Get(), group) == 0) pos = g;
        if (pos < 0)
        {
          mParamGroups.Add(new Util_String(group));
          pos = mParamGroups.GetSize() - 1;
        }
        unit = pos + 1;
      }
      mParameters.Add(new IFxParameter(param, i, unit));
    }
  }

  OnHostIdentified();
  RestorePreset(0);
  return again ? kResultFalse : kResultOk;
}

// ---- buses and set-up -----------------------------------------------------------------------------

tresult IFxVST3::setBusArrangements(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                                    int32 numOuts)
{
  Util_MutexLock lock(mMutex);
  SetInputChannelConnections(0, NInChannels(), false);
  SetOutputChannelConnections(0, NOutChannels(), false);

  const int nIn = numIns > 0 && inputs ? CountSpeakers(inputs[0]) : 0;
  const int nOut = numOuts > 0 && outputs ? CountSpeakers(outputs[0]) : 0;
  if (!LegalIO(nIn, nOut)) return kResultFalse;

  const Bus* firstIn = mAudioInputs.At(0);
  if (!firstIn || firstIn->ChannelCount() != nIn)
  {
    mAudioInputs.Clear();
    AddAudioBus(&mAudioInputs, "Input", nIn);
  }
  const Bus* firstOut = mAudioOutputs.At(0);
  if (!firstOut || firstOut->ChannelCount() != nOut)
  {
    mAudioOutputs.Clear();
    AddAudioBus(&mAudioOutputs, "Output", nOut);
  }
  return numIns == 1 ? kResultOk : kResultFalse;
}

tresult IFxVST3::canProcessSampleSize(int32 size)
{
  return size == kSample32 || size == kSample64 ? kResultOk : kResultFalse;
}

tresult IFxVST3::setupProcessing(ProcessSetup& setup)
{
  if (setup.symbolicSampleSize != kSample32 && setup.symbolicSampleSize != kSample64) return kResultFalse;
  Util_MutexLock lock(mMutex);
  SetSampleRate(setup.sampleRate);
  // Bypass is the host's setting and outlives a new set-up (a changed block size or rate).
  SetBlockSize(setup.maxSamplesPerBlock);
  Reset();
  mProcessSetup = setup;
  return kResultOk;
}

tresult IFxVST3::setActive(TBool state)
{
  OnActivate(state != 0);
  return kResultOk;
}

// ---- processing -----------------------------------------------------------------------------------

template <class T>
void IFxVST3::AttachHostBuffers(ProcessData& data, T** (*)(AudioBusBuffers&))
{
  // The base takes connected channels' buffers in order, so a host's null channel pointers
  // are left out and their channels read and write the scratch buffers instead.
  T* compact[kMaxHostChannels];
  const int nIn = NInChannels(), nOut = NOutChannels();

  const Bus* firstIn = mAudioInputs.At(0);
  T** hostIn = data.numInputs > 0 && data.inputs ? HostBuffers<T>(data.inputs[0]) : nullptr;
  const int busIn = firstIn ? firstIn->ChannelCount() : 0;
  const int hostInCount = hostIn ? data.inputs[0].numChannels : 0;
  int n = 0;
  for (int i = 0; i < nIn; ++i)
  {
    T* p = i < busIn && i < hostInCount && i < kMaxHostChannels ? hostIn[i] : nullptr;
    SetInputChannelConnections(i, 1, p != nullptr);
    if (p) compact[n++] = p;
  }
  AttachInputBuffers(0, nIn, compact, data.numSamples);

  int ch = 0;
  n = 0;
  for (int b = 0; b < mAudioOutputs.GetCount() && ch < nOut; ++b)
  {
    const Bus* bus = mAudioOutputs.At(b);
    T** host = b < data.numOutputs && data.outputs ? HostBuffers<T>(data.outputs[b]) : nullptr;
    const int hostCount = host ? data.outputs[b].numChannels : 0;
    const int count = bus->ChannelCount();
    for (int c = 0; c < count && ch < nOut; ++c, ++ch)
    {
      T* p = bus->mActive && c < hostCount && n < kMaxHostChannels ? host[c] : nullptr;
      SetOutputChannelConnections(ch, 1, p != nullptr);
      if (p) compact[n++] = p;
    }
  }
  if (ch < nOut) SetOutputChannelConnections(ch, nOut - ch, false);
  AttachOutputBuffers(0, nOut, compact);
}

tresult IFxVST3::process(ProcessData& data)
{
  Util_MutexLock lock(mMutex);
  if (data.processContext) mProcessContext = *data.processContext;

  // Parameter changes apply once per block, at its start: the last point of each queue.
  if (IParameterChanges* changes = data.inputParameterChanges)
  {
    const int32 nQueues = changes->getParameterCount();
    for (int32 q = 0; q < nQueues; ++q)
    {
      IParamValueQueue* queue = changes->getParameterData(q);
      if (!queue) continue;
      const int32 nPoints = queue->getPointCount();
      int32 offset = 0;
      ParamValue value = 0.0;
      if (nPoints <= 0 || queue->getPoint(nPoints - 1, offset, value) != kResultOk) continue;
      const ParamID id = queue->getParameterId();
      if (id < (ParamID)NParams())
      {
        SetParameterFromHost((int)id, value, true);
        continue;
      }
      if (!std::isfinite(value)) continue;
      value = value < 0.0 ? 0.0 : value > 1.0 ? 1.0 : value;
      if (id == kBypassParamID)
      {
        SetBypassed(value > 0.5);
        mControllerBypassed = value > 0.5;
      }
      else if (id == kPresetParamID)
      {
        // The top of the range (1.0) means the last preset, not one past it.
        const int n = NPresets();
        int idx = (int)(value * n);
        if (idx >= n) idx = n - 1;
        if (idx >= 0) RestorePreset(idx);
      }
    }
  }

  if (DoesMIDI() && data.inputEvents)
  {
    const int32 nEvents = data.inputEvents->getEventCount();
    for (int32 i = 0; i < nEvents; ++i)
    {
      Event e;
      if (data.inputEvents->getEvent(i, e) != kResultOk) continue;
      IMidiMsg msg;
      msg.mOffset = e.sampleOffset;
      if (e.type == kNoteOnEvent)
      {
        msg.mStatus = (uint8_t)(0x90 | (e.noteOn.channel & 0x0F));
        msg.mData1 = (uint8_t)(e.noteOn.pitch & 0x7F);
        const float v = e.noteOn.velocity;
        msg.mData2 = (uint8_t)(v > 0.0f ? (v < 1.0f ? (int)(v * 127.0f) : 127) : 0);
      }
      else if (e.type == kNoteOffEvent)
      {
        msg.mStatus = (uint8_t)(0x80 | (e.noteOff.channel & 0x0F));
        msg.mData1 = (uint8_t)(e.noteOff.pitch & 0x7F);
      }
      else
      {
        continue;
      }
      ProcessMidiMsg(&msg);
    }
  }

  // A call without samples only carries parameter changes.
  if (data.numSamples <= 0) return kResultOk;

  if (data.symbolicSampleSize == kSample64)
  {
    AttachHostBuffers<double>(data, &HostBuffers<double>);
    ProcessBlock(0.0, data.numSamples);
  }
  else if (data.symbolicSampleSize == kSample32)
  {
    AttachHostBuffers<float>(data, &HostBuffers<float>);
    ProcessBlock(0.0f, data.numSamples);
  }
  else
  {
    return kInvalidArgument;
  }
  return kResultOk;
}

// ---- state --------------------------------------------------------------------------------------

tresult IFxVST3::WriteState(IBStream* state)
{
  if (!state) return kInvalidArgument;
  ByteChunk chunk;
  if (!SerializeState(&chunk)) return kResultFalse;
  return WriteFully(state, chunk.GetBytes(), chunk.Size()) ? kResultOk : kResultFalse;
}

tresult IFxVST3::ReadState(IBStream* state, bool withBypass)
{
  if (!state) return kInvalidArgument;
  // The current state's size tells how much to read. The stream is read whole before
  // anything changes: as long as the state (or longer: the rest is not ours), it replaces
  // it; shorter, ending between two values, it means what such a short chunk means to
  // UnserializeState (the values it holds); ending inside a value, it is refused and the
  // state stays as it was.
  ByteChunk current;
  SerializeState(&current);
  const int n = current.Size();
  if (n <= 0) return kResultFalse;
  const int want = n + (withBypass ? 4 : 0);
  ByteChunk incoming;
  if (incoming.Resize(want) != want) return kResultFalse;
  const int got = ReadFully(state, incoming.GetBytes(), want);
  if (got > n && got < want) return kResultFalse;  // the bypass flag is cut
  int32 bypassed = 0;
  const bool hasBypass = withBypass && got == want;
  if (hasBypass) std::memcpy(&bypassed, incoming.GetBytes() + n, sizeof bypassed);
  incoming.Resize(got < n ? got : n);

  UnserializeState(&incoming, 0);
  if (incoming.ReadEndedInsideValue())
  {
    UnserializeState(&current, 0);
    return kResultFalse;
  }
  RedrawParamControls();
  if (!withBypass) return kResultOk;
  if (!hasBypass) return kResultFalse;
  SetBypassed(bypassed != 0);
  mControllerBypassed = bypassed != 0;
  return kResultOk;
}

tresult IFxVST3::GetProcessorState(IBStream* state)
{
  Util_MutexLock lock(mMutex);
  return WriteState(state);
}

tresult IFxVST3::SetProcessorState(IBStream* state)
{
  Util_MutexLock lock(mMutex);
  return ReadState(state, false);
}

tresult IFxVST3::GetControllerState(IBStream* state)
{
  Util_MutexLock lock(mMutex);
  const tresult r = WriteState(state);
  if (r != kResultOk) return r;
  const int32 bypassed = mControllerBypassed ? 1 : 0;
  return WriteFully(state, &bypassed, sizeof bypassed) ? kResultOk : kResultFalse;
}

tresult IFxVST3::SetControllerState(IBStream* state)
{
  Util_MutexLock lock(mMutex);
  return ReadState(state, true);
}

// ---- controller -------------------------------------------------------------------------------------

// The controller's value calls take the plug-in mutex: the audio thread writes the same
// parameters and the bypass flag while it holds it.
ParamValue IFxVST3::getParamNormalized(ParamID id)
{
  Util_MutexLock lock(mMutex);
  if (id == kBypassParamID) return mControllerBypassed ? 1.0 : 0.0;
  if (id < (ParamID)NParams()) return GetParam((int)id)->GetNormalized();
  return 0.0;
}

tresult IFxVST3::setParamNormalized(ParamID id, ParamValue value)
{
  if (!std::isfinite(value)) return kResultFalse;
  if (id == kBypassParamID && !IsInstrument())
  {
    Util_MutexLock lock(mMutex);
    mControllerBypassed = value > 0.5;
    return kResultOk;
  }
  if (id >= (ParamID)NParams()) return kResultFalse;
  Util_MutexLock lock(mMutex);
  GetParam((int)id)->SetNormalized(value < 0.0 ? 0.0 : value > 1.0 ? 1.0 : value);
  return kResultOk;
}

ParamValue IFxVST3::plainParamToNormalized(ParamID id, ParamValue plain)
{
  if (id < (ParamID)NParams()) return GetParam((int)id)->GetNormalized(plain);
  return SingleComponentEffect::plainParamToNormalized(id, plain);
}

tresult IFxVST3::getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string)
{
  if (id >= (ParamID)NParams() || !string) return kResultFalse;
  char buf[128];
  GetParam((int)id)->GetDisplayForHost(valueNormalized, true, buf, sizeof buf, true);
  Widen(buf, string, 128);
  return kResultOk;
}

IPlugView* IFxVST3::createView(FIDString name)
{
  if (!name || std::strcmp(name, "editor") != 0) return nullptr;
  IFxVST3View* view = new IFxVST3View(this);
  mOpenViews.Add(view);
  return view;
}

// ---- units and presets ----------------------------------------------------------------------------

tresult IFxVST3::getUnitInfo(int32 unitIndex, UnitInfo& info)
{
  if (unitIndex == 0) return SingleComponentEffect::getUnitInfo(0, info);
  const Util_String* group = mParamGroups.Get(unitIndex - 1);
  if (!group) return kResultFalse;
  info.id = unitIndex;
  info.parentUnitId = kRootUnitId;
  Widen(group->Get(), info.name, 128);
  info.programListId = kNoProgramListId;
  return kResultOk;
}

int32 IFxVST3::getProgramListCount()
{
  // The preset list is described below; a count of 0 would hide it from hosts that ask for
  // the count first.
  return NPresets() > 0 ? 1 : 0;
}

tresult IFxVST3::getProgramListInfo(int32 listIndex, ProgramListInfo& info)
{
  if (listIndex != 0) return kResultFalse;
  info.id = (ProgramListID)kPresetParamID;
  Widen("Factory Presets", info.name, 128);
  info.programCount = NPresets();
  return kResultOk;
}

tresult IFxVST3::getProgramName(ProgramListID listId, int32 programIndex, String128 name)
{
  if (!name) return kResultFalse;
  if (listId == (ProgramListID)kPresetParamID && programIndex >= 0 && programIndex < NPresets())
  {
    Widen(GetPresetName(programIndex), name, 128);
    return kResultOk;
  }
  name[0] = 0;
  return kResultFalse;
}

// ---- what the base asks of the host -----------------------------------------------------------------

void IFxVST3::BeginInformHostOfParamChange(int idx) { BeginEdit((ParamID)idx); }
void IFxVST3::InformHostOfParamChange(int idx, double normalizedValue) { PerformEdit((ParamID)idx, normalizedValue); }
void IFxVST3::EndInformHostOfParamChange(int idx) { EndEdit((ParamID)idx); }

int IFxVST3::GetSamplePos()
{
  return (int)mProcessContext.projectTimeSamples;
}

double IFxVST3::GetTempo()
{
  return mProcessContext.tempo;
}

void IFxVST3::GetTimeSig(int* numerator, int* denominator)
{
  if (numerator) *numerator = mProcessContext.timeSigNumerator;
  if (denominator) *denominator = mProcessContext.timeSigDenominator;
}

void IFxVST3::GetTime(ITimeInfo* timeInfo)
{
  if (!timeInfo) return;
  const ProcessContext& c = mProcessContext;
  timeInfo->mTempo = c.tempo;
  timeInfo->mSamplePos = (double)c.projectTimeSamples;
  timeInfo->mPPQPos = c.projectTimeMusic;
  timeInfo->mLastBar = c.barPositionMusic;
  timeInfo->mCycleStart = c.cycleStartMusic;
  timeInfo->mCycleEnd = c.cycleEndMusic;
  timeInfo->mNumerator = c.timeSigNumerator;
  timeInfo->mDenominator = c.timeSigDenominator;
  timeInfo->mTransportIsRunning = (c.state & kContextPlaying) != 0;
  timeInfo->mTransportLoopEnabled = (c.state & kContextCycleActive) != 0;
}

void IFxVST3::ResizeGraphics(int w, int h)
{
  IFxVST3View* view = mOpenViews.Get(0);
  if (!mGraphics || !view) return;
  view->SetExpectingResize(true);
  if (IPlugFrame* frame = view->GetFrame())
  {
    ViewRect rect{0, 0, w, h};
    frame->resizeView(view, &rect);
  }
}

void IFxVST3::SetLatency(int samples)
{
  IFxBase::SetLatency(samples);
  if (IComponentHandler* handler = GetComponentHandler()) handler->restartComponent(kLatencyChanged);
}

void IFxVST3::PopupHostContextMenuForParam(int paramIdx, int x, int y)
{
  IComponentHandler* handler = GetComponentHandler();
  IFxVST3View* view = mOpenViews.Get(0);
  if (!handler || !view) return;
  IComponentHandler3* handler3 = nullptr;
  if (handler->queryInterface(IComponentHandler3::iid.Data(), (void**)&handler3) != kResultOk || !handler3) return;
  const ParamID id = (ParamID)paramIdx;
  if (IContextMenu* menu = handler3->createContextMenu(view, &id))
  {
    menu->popup(x, y);
    menu->release();
  }
  handler3->release();
}

void IFxVST3::ForgetOpenViews()
{
  mOpenViews.Empty(false);
}
