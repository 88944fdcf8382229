// The VST 2 module's plug-in: one THD meter per instance.
#include "IThdMeter.h"
#include "Raster_Font.h"

namespace {
// Made when the host loads the module, before any of the module's caches, so it is destroyed
// after all of them when the host unloads it: then the text layer's faces and locks go too,
// instead of staying behind in the host process on every load.
struct ModuleStateRelease
{
  ~ModuleStateRelease() { Raster_ReleaseModuleState(); }
} s_moduleStateRelease;
}  // namespace

IFxVST* VSTCreatePlugin(const IFxInstanceInfo& info)
{
  return new IThdMeter(info);
}
