// IFxVST: construction and the base's host operations, carried out through the host callback.
#include "IFxVST.h"

#include "IHostId.h"

#include <cmath>
#include <cstring>

namespace {
VstInt32 SpeakerArrangementType(int nChannels)
{
  if (nChannels <= 0) return kSpeakerArrEmpty;
  if (nChannels == 1) return kSpeakerArrMono;
  if (nChannels == 2) return kSpeakerArrStereo;
  return kSpeakerArrUserDefined;
}

void SetArrangement(VstSpeakerArrangement* arr, int nChannels)
{
  arr->type = SpeakerArrangementType(nChannels);
  arr->numChannels = nChannels;
}
}  // namespace

IFxVST::IFxVST(const IFxInstanceInfo& info, int nParams, const char* channelIOStr, int nPresets,
               const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
               int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst)
  : IFxBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion, uniqueID, mfrID,
            latency, plugDoesMidi, plugDoesChunks, plugIsInst, kAPIVST2),
    mHostCallback(info.mVSTHostCallback)
{
  TRACE_FX("");
  mAEffect.magic = kEffectMagic;
  mAEffect.dispatcher = VSTDispatcher;
  mAEffect.process = VSTProcess;
  mAEffect.setParameter = VSTSetParameter;
  mAEffect.getParameter = VSTGetParameter;
  mAEffect.processReplacing = VSTProcessReplacing;
  mAEffect.processDoubleReplacing = VSTProcessDoubleReplacing;
  mAEffect.numPrograms = nPresets;
  mAEffect.numParams = nParams;
  mAEffect.numInputs = NInChannels();
  mAEffect.numOutputs = NOutChannels();
  mAEffect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  if (plugDoesChunks) mAEffect.flags |= effFlagsProgramChunks;
  if (LegalIO(1, -1)) mAEffect.flags |= effFlagsCanMono;
  if (plugIsInst) mAEffect.flags |= effFlagsIsSynth;
  mAEffect.initialDelay = latency;
  mAEffect.object = this;
  mAEffect.uniqueID = uniqueID;
  mAEffect.version = GetEffectVersion(true);
  mAEffect.ioRatio = 1.0f;

  SetArrangement(&mInputSpkrArr, NInChannels());
  SetArrangement(&mOutputSpkrArr, NOutChannels());

  // The pointer arrays handed to the buffer frame, one slot per channel, sized once here so
  // that processing never allocates for them.
  mInPtrsF.Resize(NInChannels());
  mOutPtrsF.Resize(NOutChannels());
  mInPtrsD.Resize(NInChannels());
  mOutPtrsD.Resize(NOutChannels());

  SetInputChannelConnections(0, NInChannels(), true);
  SetOutputChannelConnections(0, NOutChannels(), true);
  SetBlockSize(1024);
}

IFxVST::~IFxVST() = default;

VstIntPtr IFxVST::HostCallback(VstInt32 opcode, VstInt32 idx, VstIntPtr value, void* ptr, float opt)
{
  return mHostCallback ? mHostCallback(&mAEffect, opcode, idx, value, ptr, opt) : 0;
}

// ---- parameter and program notices ------------------------------------------------------------

void IFxVST::BeginInformHostOfParamChange(int idx)
{
  HostCallback(audioMasterBeginEdit, idx);
}

void IFxVST::InformHostOfParamChange(int idx, double normalizedValue)
{
  HostCallback(audioMasterAutomate, idx, 0, nullptr, (float)normalizedValue);
}

void IFxVST::EndInformHostOfParamChange(int idx)
{
  HostCallback(audioMasterEndEdit, idx);
}

void IFxVST::InformHostOfProgramChange()
{
  HostCallback(audioMasterUpdateDisplay);
}

bool IFxVST::IsRenderingOffline()
{
  return HostCallback(audioMasterGetCurrentProcessLevel) == kVstProcessLevelOffline;
}

// ---- time info ------------------------------------------------------------------------------

const VstTimeInfo* IFxVST::HostTimeInfo(VstInt32 flags)
{
  return (const VstTimeInfo*)HostCallback(audioMasterGetTime, 0, flags);
}

int IFxVST::GetSamplePos()
{
  const VstTimeInfo* t = HostTimeInfo(0);
  // Rounded; a position that is negative, not a number or beyond int reads as 0.
  if (!t || !(t->samplePos >= 0.0) || t->samplePos >= 2147483647.0) return 0;
  return (int)std::floor(t->samplePos + 0.5);
}

double IFxVST::GetTempo()
{
  const VstTimeInfo* t = HostTimeInfo(kVstTempoValid);
  if (t && (t->flags & kVstTempoValid) && t->tempo >= 0.0 && std::isfinite(t->tempo)) return t->tempo;
  return 0.0;
}

void IFxVST::GetTimeSig(int* numerator, int* denominator)
{
  int num = 0, den = 0;
  const VstTimeInfo* t = HostTimeInfo(kVstTimeSigValid);
  if (t && (t->flags & kVstTimeSigValid) && t->timeSigNumerator >= 0 && t->timeSigDenominator >= 0)
  {
    num = t->timeSigNumerator;
    den = t->timeSigDenominator;
  }
  if (numerator) *numerator = num;
  if (denominator) *denominator = den;
}

void IFxVST::GetTime(ITimeInfo* timeInfo)
{
  if (!timeInfo) return;
  constexpr VstInt32 kWanted = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid;
  const VstTimeInfo* t = HostTimeInfo(kWanted);
  if (!t || !(t->flags & kWanted)) return;

  timeInfo->mSamplePos = t->samplePos;
  if ((t->flags & kVstPpqPosValid) && t->ppqPos >= 0.0) timeInfo->mPPQPos = t->ppqPos;
  if ((t->flags & kVstTempoValid) && t->tempo > 0.0) timeInfo->mTempo = t->tempo;
  if ((t->flags & kVstBarsValid) && t->barStartPos >= 0.0) timeInfo->mLastBar = t->barStartPos;
  if ((t->flags & kVstCyclePosValid) && t->cycleStartPos >= 0.0 && t->cycleEndPos >= 0.0)
  {
    timeInfo->mCycleStart = t->cycleStartPos;
    timeInfo->mCycleEnd = t->cycleEndPos;
  }
  if ((t->flags & kVstTimeSigValid) && t->timeSigNumerator > 0 && t->timeSigDenominator > 0)
  {
    timeInfo->mNumerator = t->timeSigNumerator;
    timeInfo->mDenominator = t->timeSigDenominator;
  }
  timeInfo->mTransportIsRunning = (t->flags & kVstTransportPlaying) != 0;
  timeInfo->mTransportLoopEnabled = (t->flags & kVstTransportCycleActive) != 0;
}

// ---- host identity ---------------------------------------------------------------------------

EHost IFxVST::GetHost()
{
  if (mHost == kHostUninit)
  {
    // The buffer is larger than any product string a host may write, and terminated by us
    // whatever the host wrote.
    char product[256] = {};
    HostCallback(audioMasterGetProductString, 0, 0, product);
    product[sizeof product - 1] = 0;
    int version = 0;
    if (product[0])
    {
      const VstIntPtr decimal = HostCallback(audioMasterGetVendorVersion);
      if (decimal > 0 && decimal < 0x7fffffff)
      {
        const int d = (int)decimal;
        version = ((d / 10000) << 16) | (((d % 10000) / 100) << 8) | (d % 100);
      }
    }
    SetHost(product, version);
  }
  return mHost;
}

void IFxVST::HostSpecificInit()
{
  if (mHostSpecificInitDone) return;
  mHostSpecificInitDone = true;
  const EHost host = GetHost();
  if (host == kHostForte || host == kHostAudition || host == kHostOrion || host == kHostSAWStudio)
    LimitToStereoIO();
  mInputSpkrArr.numChannels = mAEffect.numInputs = NInChannels();
  mOutputSpkrArr.numChannels = mAEffect.numOutputs = NOutChannels();
  OnHostIdentified();
}

// ---- editor ----------------------------------------------------------------------------------

bool IFxVST::PlatformHasEditorWindowHost()
{
#if defined(__APPLE__) || defined(_WIN32) || defined(VX_COCOA_WINDOW_HOST) || defined(VX_X11_WINDOW_HOST)
  return true;
#else
  return false;
#endif
}

void IFxVST::AttachGraphics(IEditorLink* graphics)
{
  IFxBase::AttachGraphics(graphics);
  if (!GetGUI()) return;
  mAEffect.flags |= effFlagsHasEditor;
  mEditRect.top = mEditRect.left = 0;
  mEditRect.bottom = (VstInt16)GetGUI()->Height();
  mEditRect.right = (VstInt16)GetGUI()->Width();
}

void IFxVST::ResizeGraphics(int w, int h)
{
  if (!GetGUI()) return;
  mEditRect.top = mEditRect.left = 0;
  mEditRect.bottom = (VstInt16)h;
  mEditRect.right = (VstInt16)w;
  OnWindowResize();
}

void IFxVST::SetLatency(int samples)
{
  mAEffect.initialDelay = samples;
  IFxBase::SetLatency(samples);
}

// ---- MIDI out ---------------------------------------------------------------------------------

bool IFxVST::SendMidiMsg(IMidiMsg* msg)
{
  if (!msg) return false;
  VstMidiEvent ev{};
  ev.type = kVstMidiType;
  ev.byteSize = sizeof(VstMidiEvent);
  ev.deltaFrames = msg->mOffset;
  ev.midiData[0] = (char)msg->mStatus;
  ev.midiData[1] = (char)msg->mData1;
  ev.midiData[2] = (char)msg->mData2;
  VstEvents events{};
  events.numEvents = 1;
  events.events[0] = (VstEvent*)&ev;
  return HostCallback(audioMasterProcessEvents, 0, 0, &events) == 1;
}

bool IFxVST::SendSysEx(ISysEx* msg)
{
  if (!msg) return false;
  VstMidiSysexEvent ev{};
  ev.type = kVstSysExType;
  ev.byteSize = sizeof(VstMidiSysexEvent);
  ev.deltaFrames = msg->mOffset;
  ev.dumpBytes = msg->mSize;
  ev.sysexDump = (char*)msg->mData;
  VstEvents events{};
  events.numEvents = 1;
  events.events[0] = (VstEvent*)&ev;
  return HostCallback(audioMasterProcessEvents, 0, 0, &events) == 1;
}
