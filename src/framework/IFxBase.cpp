// The host-independent plug-in base: identity, channel configurations, the buffer frame that
// connects a host's buffers to the plug-in, parameter flow between host and editor, presets
// and the plug-in state.

#include "IFxBase.h"

#include "IHostId.h"
#include "Util_CStr.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {
// Parses "1-1 2-2": items separated by single spaces, each "%d-%d"; unreadable numbers stay 0.
void ParseChannelIO(const char* str, Util_PtrList<ChannelIO>* list, int* maxIn, int* maxOut)
{
  *maxIn = *maxOut = 0;
  const char* p = str;
  while (p && *p)
  {
    ChannelIO* io = new ChannelIO;
    std::sscanf(p, "%d-%d", &io->mIn, &io->mOut);
    if (io->mIn > *maxIn) *maxIn = io->mIn;
    if (io->mOut > *maxOut) *maxOut = io->mOut;
    list->Add(io);
    p = std::strchr(p, ' ');
    if (p) ++p;
  }
}
}  // namespace

IFxBase::IFxBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
                 const char* productName, const char* mfrName, int vendorVersion, int uniqueID,
                 int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst,
                 EAPI plugAPI)
  : mUniqueID(uniqueID), mMfrID(mfrID), mVersion(vendorVersion), mAPI(plugAPI),
    mStateChunks(plugDoesChunks), mIsInst(plugIsInst), mDoesMIDI(plugDoesMidi), mLatency(latency)
{
  TRACE_FX("%s:%s", effectName, channelIOStr);
  for (int i = 0; i < nParams; ++i) mParams.Add(new IParam);
  for (int i = 0; i < nPresets; ++i) mPresets.Add(new IPreset);

  Util_StrCopy(mEffectName, effectName);
  Util_StrCopy(mProductName, productName);
  Util_StrCopy(mMfrName, mfrName);

  int nIn = 0, nOut = 0;
  ParseChannelIO(channelIOStr, &mChannelIO, &nIn, &nOut);

  // The data arrays are sized once here and never again: channel records point into them.
  mInData.Resize(nIn);
  mOutData.Resize(nOut);
  for (int i = 0; i < nIn; ++i)
  {
    InChannel* ch = new InChannel;
    ch->mSrc = mInData.Get() + i;
    *ch->mSrc = nullptr;
    mInChannels.Add(ch);
  }
  for (int i = 0; i < nOut; ++i)
  {
    OutChannel* ch = new OutChannel;
    ch->mDest = mOutData.Get() + i;
    *ch->mDest = nullptr;
    mOutChannels.Add(ch);
  }
}

IFxBase::~IFxBase()
{
  TRACE_FX("");
  delete mGraphics;
  mParams.Empty(true);
  mPresets.Empty(true);
  mInChannels.Empty(true);
  mOutChannels.Empty(true);
  mChannelIO.Empty(true);
  mInputBusLabels.Empty(true);
  mOutputBusLabels.Empty(true);
  delete mDelay;
}

void IFxBase::Reset()
{
  Util_MutexLock lock(mMutex);
}

void IFxBase::OnParamChange(int)
{
  Util_MutexLock lock(mMutex);
}

void IFxBase::OnActivate(bool)
{
  Util_MutexLock lock(mMutex);
}

void IFxBase::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames)
{
  const int nIn = NInChannels(), nOut = NOutChannels();
  for (int i = 0; i < nOut; ++i)
  {
    if (!outputs[i]) continue;
    if (i < nIn && inputs[i]) std::memmove(outputs[i], inputs[i], sizeof(double) * (size_t)nFrames);
    else std::memset(outputs[i], 0, sizeof(double) * (size_t)nFrames);
  }
}

void IFxBase::ProcessMidiMsg(IMidiMsg* msg)
{
  SendMidiMsg(msg);
}

bool IFxBase::MidiNoteName(int, char* noteName)
{
  if (noteName) *noteName = 0;
  return false;
}

bool IFxBase::CompareState(const unsigned char* incomingState, int startPos)
{
  if (!incomingState || startPos < 0) return false;
  const double* data = (const double*)incomingState + startPos;
  const int n = NParams();
  for (int i = 0; i < n; ++i)
  {
    double stored;
    std::memcpy(&stored, data + i, sizeof stored);
    const double diff = std::fabs((double)(float)GetParam(i)->Value() - stored);
    if (!(diff < 0.00001)) return false;
  }
  return true;
}

void IFxBase::SetParameterFromGUI(int idx, double normalizedValue)
{
  TRACE_FX("%d:%f", idx, normalizedValue);
  {
    Util_MutexLock lock(mMutex);
    IParam* param = GetParam(idx);
    if (!param) return;
    param->SetNormalized(normalizedValue);
    OnParamChange(idx);
  }
  // The host hears of it after the mutex is released: a host that takes a lock of its own
  // here, and holds that lock around its audio calls, would otherwise deadlock with them.
  InformHostOfParamChange(idx, normalizedValue);
}

bool IFxBase::SetParameterFromHost(int idx, double value, bool normalized)
{
  if (!std::isfinite(value)) return false;
  Util_MutexLock lock(mMutex);
  IParam* param = GetParam(idx);
  if (!param) return false;
  if (normalized)
  {
    value = value < 0.0 ? 0.0 : value > 1.0 ? 1.0 : value;
    param->SetNormalized(value);
  }
  else
  {
    value = param->Clamp(value);
    param->Set(value);
  }
  if (mGraphics) mGraphics->SetParameterFromPlug(idx, value, normalized);
  OnParamChange(idx);
  return true;
}

bool IFxBase::SetParameterFromHostText(int idx, const char* text)
{
  Util_MutexLock lock(mMutex);
  const IParam* param = GetParam(idx);
  double value = 0.0;
  if (!param || !param->ParseDisplayText(text, &value)) return false;
  return SetParameterFromHost(idx, value, false);
}

void IFxBase::AttachGraphics(IEditorLink* graphics)
{
  if (!graphics) return;
  Util_MutexLock lock(mMutex);
  const int n = NParams();
  for (int i = 0; i < n; ++i) graphics->SetParameterFromPlug(i, GetParam(i)->GetNormalized(), true);
  graphics->PrepDraw();
  if (mGraphics && mGraphics != graphics) delete mGraphics;
  mGraphics = graphics;
}

void IFxBase::RedrawParamControls()
{
  if (!mGraphics) return;
  const int n = NParams();
  for (int i = 0; i < n; ++i) mGraphics->SetParameterFromPlug(i, GetParam(i)->Value(), false);
}

void IFxBase::OnParamReset()
{
  const int n = NParams();
  for (int i = 0; i < n; ++i) OnParamChange(i);
}

void IFxBase::DirtyParameters()
{
  // The values are taken under the mutex, the host is told after it (see SetParameterFromGUI).
  Util_TypedBuf<double> values;
  const int n = NParams();
  if (!values.Resize(n) && n > 0) return;
  {
    Util_MutexLock lock(mMutex);
    for (int i = 0; i < n; ++i) values.Get()[i] = GetParam(i)->GetNormalized();
  }
  for (int i = 0; i < n; ++i) InformHostOfParamChange(i, values.Get()[i]);
}

void IFxBase::CreateDelayLine()
{
  if (mDelay) return;
  mDelay = new LatencyDelayLine(NInChannels(), NOutChannels());
  mDelay->SetLength(mLatency);
}

void IFxBase::SetLatency(int samples)
{
  mLatency = samples;
  if (mDelay) mDelay->SetLength(samples);
}

// ---- versions, labels, MIDI ----------------------------------------------------------------

int IFxBase::GetEffectVersion(bool decimal) const
{
  return decimal ? GetDecimalVersion(mVersion) : mVersion;
}

void IFxBase::GetEffectVersionStr(char* str, int size) const
{
  GetVersionStr(mVersion, str, size);
}

int IFxBase::GetHostVersion(bool decimal)
{
  GetHost();
  return decimal ? GetDecimalVersion(mHostVersion) : mHostVersion;
}

void IFxBase::GetHostVersionStr(char* str, int size)
{
  GetHost();
  GetVersionStr(mHostVersion, str, size);
}

const char* IFxBase::GetAPIString() const
{
  switch (mAPI)
  {
    case kAPIVST2: return "VST2";
    case kAPIVST3: return "VST3";
    case kAPIAU: return "AU";
    case kAPIRTAS: return "RTAS";
    case kAPIAAX: return "AAX";
    case kAPIStandalone: return "Standalone";
  }
  return "";
}

double IFxBase::GetSamplesPerBeat()
{
  const double tempo = GetTempo();
  return tempo > 0.0 ? mSampleRate * 60.0 / tempo : 0.0;
}

void IFxBase::SetInputLabel(int idx, const char* label)
{
  if (InChannel* ch = mInChannels.Get(idx)) ch->mLabel.Set(label);
}

void IFxBase::SetOutputLabel(int idx, const char* label)
{
  if (OutChannel* ch = mOutChannels.Get(idx)) ch->mLabel.Set(label);
}

const char* IFxBase::GetInputLabel(int idx) const
{
  const InChannel* ch = mInChannels.Get(idx);
  return ch ? ch->mLabel.Get() : "";
}

const char* IFxBase::GetOutputLabel(int idx) const
{
  const OutChannel* ch = mOutChannels.Get(idx);
  return ch ? ch->mLabel.Get() : "";
}

namespace {
void SetBusLabel(Util_PtrList<Util_String>* list, int idx, const char* label)
{
  if (idx < 0 || idx > 1) return;
  // Fill gaps so that "position idx" exists; a gap reads as the empty label.
  while (list->GetSize() < idx) list->Add(new Util_String(""));
  if (list->Get(idx)) list->Delete(idx, true);
  list->Insert(idx, new Util_String(label));
}
}  // namespace

void IFxBase::SetInputBusLabel(int idx, const char* label) { SetBusLabel(&mInputBusLabels, idx, label); }
void IFxBase::SetOutputBusLabel(int idx, const char* label) { SetBusLabel(&mOutputBusLabels, idx, label); }

const char* IFxBase::GetInputBusLabel(int idx) const
{
  const Util_String* s = mInputBusLabels.Get(idx);
  return s ? s->Get() : "";
}

const char* IFxBase::GetOutputBusLabel(int idx) const
{
  const Util_String* s = mOutputBusLabels.Get(idx);
  return s ? s->Get() : "";
}

void IFxBase::SetHost(const char* host, int version)
{
  mHost = LookUpHost(host);
  mHostVersion = version;
  TRACE_FX("host: %s, version %d", host ? host : "", version);
}

bool IFxBase::SendMidiMsgs(IMidiMsg* msgs, int n)
{
  bool ok = true;
  for (int i = 0; i < n; ++i) ok &= SendMidiMsg(&msgs[i]);
  return ok;
}
