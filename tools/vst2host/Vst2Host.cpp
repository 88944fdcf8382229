// The mini VST 2 host: loading a module, creating instances and driving them through the
// dispatcher, with a host callback that answers and records each call.

#include "Vst2Host.h"

#include <cstdio>
#include <cstring>

#include <dlfcn.h>

// ---- module ----------------------------------------------------------------------------------

Vst2Module::~Vst2Module()
{
  if (mHandle) dlclose(mHandle);
}

bool Vst2Module::Load(const char* path)
{
  if (mHandle) dlclose(mHandle);
  mHandle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!mHandle)
  {
    const char* err = dlerror();
    mError = err ? err : "dlopen failed";
    return false;
  }
  return true;
}

VstPluginMainProc Vst2Module::Entry(const char* symbol) const
{
  return (VstPluginMainProc)Symbol(symbol);
}

void* Vst2Module::Symbol(const char* name) const
{
  return mHandle ? dlsym(mHandle, name) : nullptr;
}

// ---- host -------------------------------------------------------------------------------------

namespace {
// The host that is creating an instance: during the entry point the record's user field is
// not set yet, so a plug-in that calls back from its constructor is answered by this one.
thread_local Vst2Host* tCreatingHost = nullptr;
}  // namespace

Vst2Host::~Vst2Host()
{
  if (mEffect) Close();
}

bool Vst2Host::Create(VstPluginMainProc entry)
{
  if (!entry) return false;
  tCreatingHost = this;
  AEffect* effect = entry(Callback);
  tCreatingHost = nullptr;
  if (!effect || effect->magic != kEffectMagic) return false;
  effect->user = this;
  mEffect = effect;
  return true;
}

VstIntPtr Vst2Host::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
  if (!mEffect) return 0;
  const VstIntPtr result = mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
  if (opcode == effClose) mEffect = nullptr;
  return result;
}

void Vst2Host::Start(double sampleRate, int blockSize)
{
  Dispatch(effOpen);
  Dispatch(effSetSampleRate, 0, 0, nullptr, (float)sampleRate);
  Dispatch(effSetBlockSize, 0, blockSize);
  Dispatch(effMainsChanged, 0, 1);
}

void Vst2Host::Close()
{
  Dispatch(effMainsChanged, 0, 0);
  Dispatch(effClose);
}

std::string Vst2Host::GetString(VstInt32 opcode, VstInt32 index)
{
  // Larger than any published limit, so a plug-in that writes too much is caught by the
  // caller's own checks rather than by corrupting this frame.
  char buf[512] = {};
  Dispatch(opcode, index, 0, buf);
  buf[sizeof buf - 1] = 0;
  return buf;
}

std::vector<uint8_t> Vst2Host::GetChunk(bool program)
{
  void* data = nullptr;
  const VstIntPtr size = Dispatch(effGetChunk, program ? 1 : 0, 0, &data);
  if (size <= 0 || !data) return {};
  const uint8_t* bytes = (const uint8_t*)data;
  return std::vector<uint8_t>(bytes, bytes + size);
}

VstIntPtr Vst2Host::SetChunk(bool program, const std::vector<uint8_t>& bytes)
{
  return Dispatch(effSetChunk, program ? 1 : 0, (VstIntPtr)bytes.size(), (void*)bytes.data());
}

float Vst2Host::GetParameter(VstInt32 index)
{
  return mEffect ? mEffect->getParameter(mEffect, index) : 0.0f;
}

void Vst2Host::SetParameter(VstInt32 index, float value)
{
  if (mEffect) mEffect->setParameter(mEffect, index, value);
}

void Vst2Host::Process(float** inputs, float** outputs, VstInt32 nFrames)
{
  if (mEffect) mEffect->process(mEffect, inputs, outputs, nFrames);
}

void Vst2Host::ProcessReplacing(float** inputs, float** outputs, VstInt32 nFrames)
{
  if (mEffect) mEffect->processReplacing(mEffect, inputs, outputs, nFrames);
}

void Vst2Host::ProcessDoubleReplacing(double** inputs, double** outputs, VstInt32 nFrames)
{
  if (mEffect && mEffect->processDoubleReplacing) mEffect->processDoubleReplacing(mEffect, inputs, outputs, nFrames);
}

std::vector<Vst2Host::Call> Vst2Host::Calls() const
{
  std::lock_guard<std::mutex> lock(mCallsLock);
  return mCalls;
}

int Vst2Host::CountCalls(VstInt32 opcode) const
{
  std::lock_guard<std::mutex> lock(mCallsLock);
  int n = 0;
  for (const Call& c : mCalls) n += c.opcode == opcode;
  return n;
}

void Vst2Host::ClearCalls()
{
  std::lock_guard<std::mutex> lock(mCallsLock);
  mCalls.clear();
  mSentMidi.clear();
  mSentSysEx.clear();
}

VstIntPtr VSTCALLBACK Vst2Host::Callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                         void* ptr, float opt)
{
  Vst2Host* host = effect && effect->user ? (Vst2Host*)effect->user : tCreatingHost;
  if (!host)
    return opcode == audioMasterVersion ? kVstVersion : 0;
  return host->Answer(opcode, index, value, ptr, opt);
}

VstIntPtr Vst2Host::Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
  if (mOnCallback) mOnCallback(opcode);
  {
    std::lock_guard<std::mutex> lock(mCallsLock);
    mCalls.push_back(Call{opcode, index, value, opt});
  }
  switch (opcode)
  {
    case audioMasterVersion:
      return kVstVersion;
    case audioMasterGetTime:
      return mHasTime ? (VstIntPtr)&mTime : 0;
    case audioMasterGetProductString:
      if (ptr) std::snprintf((char*)ptr, kVstMaxProductStrLen + 1, "%s", mProductString.c_str());
      return ptr ? 1 : 0;
    case audioMasterGetVendorString:
      if (ptr) std::snprintf((char*)ptr, kVstMaxVendorStrLen + 1, "%s", "vst2host");
      return ptr ? 1 : 0;
    case audioMasterGetVendorVersion:
      return mVendorVersion;
    case audioMasterGetCurrentProcessLevel:
      return mProcessLevel;
    case audioMasterProcessEvents:
    {
      const VstEvents* events = (const VstEvents*)ptr;
      if (!events) return 0;
      std::lock_guard<std::mutex> lock(mCallsLock);
      for (int i = 0; i < events->numEvents; ++i)
      {
        const VstEvent* ev = events->events[i];
        if (ev && ev->type == kVstMidiType) mSentMidi.push_back(*(const VstMidiEvent*)ev);
        if (ev && ev->type == kVstSysExType)
        {
          const VstMidiSysexEvent* s = (const VstMidiSysexEvent*)ev;
          const uint8_t* d = (const uint8_t*)s->sysexDump;
          mSentSysEx.emplace_back(d, d + (s->dumpBytes > 0 && d ? s->dumpBytes : 0));
        }
      }
      return mEventsAnswer;
    }
    case audioMasterAutomate:
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
    case audioMasterUpdateDisplay:
    case audioMasterSizeWindow:
      return 1;
    default:
      return 0;
  }
}
