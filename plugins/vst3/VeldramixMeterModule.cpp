// The plug-in module: the factory describing the meter's one class, the create function and
// the entry points hosts look up by name.
#include "IThdMeter.h"
#include "ModuleUnload.h"
#include "Vst3Support.h"

#include <mutex>

using namespace vst3;

#if defined(_WIN32)
#define VX_MODULE_EXPORT extern "C" __declspec(dllexport)
#else
#define VX_MODULE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {
// Made first, destroyed last (ModuleUnload.h).
ModuleStateRelease s_moduleStateRelease;

// Serialises instance creation and the factory's birth and death.
std::mutex& ModuleLock()
{
  static std::mutex lock;
  return lock;
}

PluginFactory* gFactory = nullptr;
void* gModuleHandle = nullptr;
int gEntryCount = 0;

// In Windows byte order 0D E7 AE F2 DE 00 4E 4F, then the manufacturer code and the unique
// id, so that bytes 7 to 16 read "NOVeldTHDM". Declared as words, the id has the same text
// form on every platform, which is what hosts store in their projects.
const Uid kMeterClassID = MakeUid(0xF2AEE70D, 0x00DE4F4E, 0x56656C64, 0x5448444D);

FUnknown* CreateMeter(void*)
{
  std::lock_guard<std::mutex> hold(ModuleLock());
  IThdMeter* meter = new IThdMeter(IFxInstanceInfo{});
  return static_cast<IAudioProcessor*>(meter);
}

void ForgetFactory()
{
  std::lock_guard<std::mutex> hold(ModuleLock());
  gFactory = nullptr;
}

PluginFactory* MakeFactory()
{
  PFactoryInfo info{};
  CopyField(info.vendor, sizeof info.vendor, "veldramix.com");
  CopyField(info.url, sizeof info.url, "https://veldramix.com");
  CopyField(info.email, sizeof info.email, "info@veldramix.com");
  info.flags = kFactoryFlagUnicode;
  PluginFactory* factory = new PluginFactory(info);

  PClassInfo2 meter{};
  std::memcpy(meter.cid, kMeterClassID.mBytes, 16);
  meter.cardinality = kManyInstances;
  CopyField(meter.category, sizeof meter.category, "Audio Module Class");
  CopyField(meter.name, sizeof meter.name, "Veldramix THD Meter");
  meter.classFlags = 2;
  CopyField(meter.subCategories, sizeof meter.subCategories, "Fx");
  CopyField(meter.version, sizeof meter.version, "1.0.6");
  CopyField(meter.sdkVersion, sizeof meter.sdkVersion, "VST 3.6.10");
  factory->AddClass(meter, CreateMeter);
  factory->mOnLastRelease = ForgetFactory;
  return factory;
}
}  // namespace

VX_MODULE_EXPORT IPluginFactory* VX_VST3_API GetPluginFactory()
{
  std::lock_guard<std::mutex> hold(ModuleLock());
  if (!gFactory) gFactory = MakeFactory();
  else gFactory->addRef();
  return gFactory;
}

// Hosts may call the entry and exit more than once; they are counted.
namespace {
bool EnterModule(void* moduleHandle)
{
  std::lock_guard<std::mutex> hold(ModuleLock());
  if (gEntryCount++ == 0) gModuleHandle = moduleHandle;
  return true;
}

bool LeaveModule()
{
  std::lock_guard<std::mutex> hold(ModuleLock());
  if (gEntryCount > 0 && --gEntryCount == 0) gModuleHandle = nullptr;
  return true;
}
}  // namespace

#if defined(_WIN32)
VX_MODULE_EXPORT bool InitDll()
{
  return EnterModule(nullptr);
}

VX_MODULE_EXPORT bool ExitDll()
{
  return LeaveModule();
}
#else
VX_MODULE_EXPORT bool ModuleEntry(void* sharedLibraryHandle)
{
  return EnterModule(sharedLibraryHandle);
}

VX_MODULE_EXPORT bool ModuleExit()
{
  return LeaveModule();
}
#endif
