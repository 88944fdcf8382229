// The host side of the VST 3 interface: module loading and the host objects a plug-in talks to
// (application, component handler, streams, parameter queues, plug frame).

#include "Vst3HostSide.h"

#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace vst3host {

std::string Narrow(const char16* text, size_t max)
{
  std::string s;
  for (size_t i = 0; text && i < max && text[i]; ++i) s += text[i] < 0x80 ? (char)text[i] : '?';
  return s;
}

std::string UidText(const char* cid)
{
  // The platform-independent text form: the four words in hexadecimal.
  const unsigned char* b = (const unsigned char*)cid;
  unsigned char w[16];
  std::memcpy(w, b, 16);
#if defined(_WIN32)
  const unsigned char swapped[8] = {b[3], b[2], b[1], b[0], b[5], b[4], b[7], b[6]};
  std::memcpy(w, swapped, 8);
#endif
  std::string s;
  char hex[3];
  for (unsigned char c : w)
  {
    std::snprintf(hex, sizeof hex, "%02X", c);
    s += hex;
  }
  return s;
}

tresult HostApplication::getName(String128 name)
{
  size_t i = 0;
  for (; i < 127 && i < mName.size(); ++i) name[i] = (char16)(unsigned char)mName[i];
  name[i] = 0;
  return kResultOk;
}

tresult MemoryStream::read(void* buffer, int32 numBytes, int32* numBytesRead)
{
  if (numBytes < 0 || (!buffer && numBytes > 0)) return kInvalidArgument;
  const size_t left = mPos < mBytes.size() ? mBytes.size() - mPos : 0;
  const size_t n = (size_t)numBytes < left ? (size_t)numBytes : left;
  if (n) std::memcpy(buffer, mBytes.data() + mPos, n);
  mPos += n;
  if (numBytesRead) *numBytesRead = (int32)n;
  return kResultOk;
}

tresult MemoryStream::write(void* buffer, int32 numBytes, int32* numBytesWritten)
{
  if (numBytes < 0 || (!buffer && numBytes > 0)) return kInvalidArgument;
  if (mBytes.size() < mPos + (size_t)numBytes) mBytes.resize(mPos + (size_t)numBytes);
  if (numBytes) std::memcpy(mBytes.data() + mPos, buffer, (size_t)numBytes);
  mPos += (size_t)numBytes;
  if (numBytesWritten) *numBytesWritten = numBytes;
  return kResultOk;
}

tresult MemoryStream::seek(int64 pos, int32 mode, int64* result)
{
  int64 base = mode == kIBSeekSet ? 0 : mode == kIBSeekCur ? (int64)mPos : (int64)mBytes.size();
  if (base + pos < 0) return kInvalidArgument;
  mPos = (size_t)(base + pos);
  if (result) *result = (int64)mPos;
  return kResultOk;
}

tresult MemoryStream::tell(int64* pos)
{
  if (!pos) return kInvalidArgument;
  *pos = (int64)mPos;
  return kResultOk;
}

tresult ParamQueue::getPoint(int32 index, int32& offset, ParamValue& value)
{
  if (index < 0 || index >= (int32)mPoints.size()) return kInvalidArgument;
  offset = mPoints[(size_t)index].first;
  value = mPoints[(size_t)index].second;
  return kResultOk;
}

tresult ParamQueue::addPoint(int32 offset, ParamValue value, int32& index)
{
  mPoints.emplace_back(offset, value);
  index = (int32)mPoints.size() - 1;
  return kResultOk;
}

IParamValueQueue* ParamChanges::getParameterData(int32 index)
{
  return index >= 0 && (size_t)index < mUsed ? &mQueues[(size_t)index] : nullptr;
}

IParamValueQueue* ParamChanges::addParameterData(const ParamID& id, int32& index)
{
  for (size_t i = 0; i < mUsed; ++i)
    if (mQueues[i].mId == id)
    {
      index = (int32)i;
      return &mQueues[i];
    }
  if (mUsed == mQueues.size()) mQueues.emplace_back();
  ParamQueue& q = mQueues[mUsed];
  q.mId = id;
  q.mPoints.clear();
  index = (int32)mUsed++;
  return &q;
}

void ParamChanges::Add(ParamID id, ParamValue value, int32 offset)
{
  int32 index = 0, point = 0;
  addParameterData(id, index)->addPoint(offset, value, point);
}

tresult PlugFrame::resizeView(IPlugView* view, ViewRect* newSize)
{
  ++mResizes;
  return view ? view->onSize(newSize) : kInvalidArgument;
}

std::string Module::BinaryPath(const std::string& bundle)
{
  if (bundle.size() < 5 || bundle.compare(bundle.size() - 5, 5, ".vst3") != 0) return bundle;
  const size_t slash = bundle.find_last_of("/\\");
  const std::string name = bundle.substr(slash == std::string::npos ? 0 : slash + 1);
#if defined(_WIN32)
  // A bundle folder holds the module under Contents\x86_64-win; a plain .vst3 file is the module.
  const DWORD attributes = GetFileAttributesA(bundle.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return bundle;
  return bundle + "\\Contents\\x86_64-win\\" + name;
#else
  return bundle + "/Contents/x86_64-linux/" + name.substr(0, name.size() - 5) + ".so";
#endif
}

#if defined(_WIN32)
// Windows modules: InitDll after loading, ExitDll before unloading.
using InitDllProc = bool (*)();

bool Module::Load(const std::string& path, std::string* error)
{
  Unload();
  const std::string binary = BinaryPath(path);
  HMODULE module = LoadLibraryA(binary.c_str());
  if (!module)
  {
    if (error) *error = "LoadLibrary failed for " + binary + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  mHandle = module;
  auto init = (InitDllProc)(void*)GetProcAddress(module, "InitDll");
  mExit = (ModuleExitProc)(void*)GetProcAddress(module, "ExitDll");
  auto getFactory = (GetFactoryProc)(void*)GetProcAddress(module, "GetPluginFactory");
  if (!getFactory)
  {
    if (error) *error = "missing entry point GetPluginFactory";
    mExit = nullptr;
    Unload();
    return false;
  }
  if (init && !init())
  {
    if (error) *error = "InitDll refused";
    mExit = nullptr;
    Unload();
    return false;
  }
  mFactory = getFactory();
  if (!mFactory)
  {
    if (error) *error = "GetPluginFactory returned null";
    Unload();
    return false;
  }
  return true;
}

bool Module::Unload()
{
  bool ok = true;
  if (mFactory) mFactory->release();
  mFactory = nullptr;
  if (mExit) ok = mExit();
  mExit = nullptr;
  if (mHandle) ok = FreeLibrary((HMODULE)mHandle) != FALSE && ok;
  mHandle = nullptr;
  return ok;
}
#else
bool Module::Load(const std::string& path, std::string* error)
{
  Unload();
  const std::string binary = BinaryPath(path);
  mHandle = dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!mHandle)
  {
    if (error) *error = dlerror();
    return false;
  }
  auto entry = (ModuleEntryProc)dlsym(mHandle, "ModuleEntry");
  mExit = (ModuleExitProc)dlsym(mHandle, "ModuleExit");
  auto getFactory = (GetFactoryProc)dlsym(mHandle, "GetPluginFactory");
  if (!entry || !mExit || !getFactory)
  {
    if (error) *error = "missing entry point (ModuleEntry, ModuleExit or GetPluginFactory)";
    mExit = nullptr;
    Unload();
    return false;
  }
  if (!entry(mHandle))
  {
    if (error) *error = "ModuleEntry refused";
    mExit = nullptr;
    Unload();
    return false;
  }
  mFactory = getFactory();
  if (!mFactory)
  {
    if (error) *error = "GetPluginFactory returned null";
    Unload();
    return false;
  }
  return true;
}

bool Module::Unload()
{
  bool ok = true;
  if (mFactory) mFactory->release();
  mFactory = nullptr;
  if (mExit) ok = mExit();
  mExit = nullptr;
  if (mHandle) ok = dlclose(mHandle) == 0 && ok;
  mHandle = nullptr;
  return ok;
}
#endif

bool Instance::Create(IPluginFactory* factory, int classIndex)
{
  PClassInfo info{};
  if (!factory || factory->getClassInfo(classIndex, &info) != kResultOk) return false;
  if (factory->createInstance(info.cid, IComponent::iid.Data(), (void**)&mComponent) != kResultOk || !mComponent)
    return false;
  mComponent->queryInterface(IAudioProcessor::iid.Data(), (void**)&mProcessor);
  mComponent->queryInterface(IEditController::iid.Data(), (void**)&mController);
  return mProcessor && mController;
}

void Instance::Release()
{
  if (mController) mController->release();
  if (mProcessor) mProcessor->release();
  if (mComponent) mComponent->release();
  mController = nullptr;
  mProcessor = nullptr;
  mComponent = nullptr;
}

void Block::SetUp32(float** ins, int nIns, float** outs, int nOuts, int nFrames)
{
  mIn = AudioBusBuffers{};
  mOut = AudioBusBuffers{};
  mIn.numChannels = nIns;
  mIn.channelBuffers32 = ins;
  mOut.numChannels = nOuts;
  mOut.channelBuffers32 = outs;
  mData = ProcessData{};
  mData.symbolicSampleSize = kSample32;
  mData.numSamples = nFrames;
  mData.numInputs = ins ? 1 : 0;
  mData.numOutputs = 1;
  mData.inputs = ins ? &mIn : nullptr;
  mData.outputs = &mOut;
  mData.inputParameterChanges = &mChanges;
  mData.processContext = &mContext;
}

void Block::SetUp64(double** ins, int nIns, double** outs, int nOuts, int nFrames)
{
  SetUp32(nullptr, 0, nullptr, 0, nFrames);
  mData.symbolicSampleSize = kSample64;
  mIn.numChannels = nIns;
  mIn.channelBuffers64 = ins;
  mOut.numChannels = nOuts;
  mOut.channelBuffers64 = outs;
  mData.numInputs = ins ? 1 : 0;
  mData.inputs = ins ? &mIn : nullptr;
}

std::string Describe(IPluginFactory* factory, IHostApplication* host)
{
  std::string r;
  char line[512];
  PFactoryInfo fi{};
  factory->getFactoryInfo(&fi);
  std::snprintf(line, sizeof line, "Factory: vendor \"%s\", url \"%s\", e-mail \"%s\", flags %d\n", fi.vendor, fi.url,
                fi.email, fi.flags);
  r += line;
  IPluginFactory2* f2 = nullptr;
  factory->queryInterface(IPluginFactory2::iid.Data(), (void**)&f2);
  const int n = factory->countClasses();
  for (int c = 0; c < n; ++c)
  {
    PClassInfo2 ci{};
    if (f2) f2->getClassInfo2(c, &ci);
    else factory->getClassInfo(c, (PClassInfo*)&ci);
    std::snprintf(line, sizeof line,
                  "Class %d: \"%s\" CID %s\n  category \"%s\", sub-categories \"%s\", version \"%s\", SDK \"%s\", "
                  "flags %u, cardinality 0x%X\n",
                  c, ci.name, UidText(ci.cid).c_str(), ci.category, ci.subCategories, ci.version, ci.sdkVersion,
                  ci.classFlags, (unsigned)ci.cardinality);
    r += line;
    if (std::strcmp(ci.category, "Audio Module Class") != 0) continue;

    Instance inst;
    if (!inst.Create(factory, c))
    {
      r += "  cannot create an instance with component, processor and controller\n";
      inst.Release();
      continue;
    }
    inst.mComponent->initialize(host);
    for (int dir = 0; dir < 2; ++dir)
      for (int type = 0; type < 2; ++type)
        for (int b = 0; b < inst.mComponent->getBusCount(type, dir); ++b)
        {
          BusInfo bi{};
          inst.mComponent->getBusInfo(type, dir, b, bi);
          std::snprintf(line, sizeof line, "  %s %s bus %d: \"%s\", %d channels, flags %u\n", dir ? "output" : "input",
                        type ? "event" : "audio", b, Narrow(bi.name).c_str(), bi.channelCount, bi.flags);
          r += line;
        }
    const int np = inst.mController->getParameterCount();
    std::snprintf(line, sizeof line, "  %d parameters\n", np);
    r += line;
    for (int p = 0; p < np; ++p)
    {
      ParameterInfo pi{};
      inst.mController->getParameterInfo(p, pi);
      String128 text = {};
      inst.mController->getParamStringByValue(pi.id, inst.mController->getParamNormalized(pi.id), text);
      std::snprintf(line, sizeof line, "    id 0x%X \"%s\" = \"%s\" (default %.4f, steps %d, flags 0x%X, unit %d)\n",
                    pi.id, Narrow(pi.title).c_str(), Narrow(text).c_str(), pi.defaultNormalizedValue, pi.stepCount,
                    pi.flags, pi.unitId);
      r += line;
    }
    IUnitInfo* units = nullptr;
    if (inst.mComponent->queryInterface(IUnitInfo::iid.Data(), (void**)&units) == kResultOk && units)
    {
      for (int u = 0; u < units->getUnitCount(); ++u)
      {
        UnitInfo ui{};
        units->getUnitInfo(u, ui);
        std::snprintf(line, sizeof line, "  unit %d: \"%s\"\n", ui.id, Narrow(ui.name).c_str());
        r += line;
      }
      for (int l = 0; l < units->getProgramListCount(); ++l)
      {
        ProgramListInfo li{};
        units->getProgramListInfo(l, li);
        std::snprintf(line, sizeof line, "  program list 0x%X \"%s\": %d programs\n", (unsigned)li.id,
                      Narrow(li.name).c_str(), li.programCount);
        r += line;
      }
      units->release();
    }
    MemoryStream component, controller;
    inst.mComponent->getState(&component);
    inst.mController->getState(&controller);
    std::snprintf(line, sizeof line, "  state: component %zu bytes, controller %zu bytes\n", component.mBytes.size(),
                  controller.mBytes.size());
    r += line;

    ProcessSetup setup{kRealtime, kSample32, 512, 48000.0};
    SpeakerArrangement stereo = kSpeakerStereo;
    const bool arranged = inst.mProcessor->setBusArrangements(&stereo, 1, &stereo, 1) == kResultOk;
    const bool setUp = inst.mProcessor->setupProcessing(setup) == kResultOk;
    inst.mComponent->setActive(1);
    std::vector<float> buf(4 * 512, 0.0f);
    float* ins[] = {&buf[0], &buf[512]};
    float* outs[] = {&buf[1024], &buf[1536]};
    Block block;
    block.SetUp32(ins, 2, outs, 2, 512);
    const tresult processed = inst.mProcessor->process(block.mData);
    inst.mComponent->setActive(0);
    std::snprintf(line, sizeof line, "  stereo arrangement %s, 32-bit set-up %s, one 512-sample block %s\n",
                  arranged ? "accepted" : "refused", setUp ? "accepted" : "refused",
                  processed == kResultOk ? "processed" : "failed");
    r += line;

    IPlugView* view = inst.mController->createView("editor");
    if (view)
    {
      ViewRect rect{};
      const bool sized = view->getSize(&rect) == kResultOk;
      std::snprintf(line, sizeof line, "  editor view: %s; platform types HWND %s, X11EmbedWindowID %s\n",
                    sized ? (std::to_string(rect.right - rect.left) + " x " + std::to_string(rect.bottom - rect.top)).c_str()
                          : "no size (no editor attached)",
                    view->isPlatformTypeSupported("HWND") == kResultOk ? "yes" : "no",
                    view->isPlatformTypeSupported("X11EmbedWindowID") == kResultOk ? "yes" : "no");
      r += line;
      view->release();
    }
    else
    {
      r += "  editor view: none\n";
    }
    inst.mComponent->terminate();
    inst.Release();
  }
  if (f2) f2->release();
  return r;
}

}  // namespace vst3host
