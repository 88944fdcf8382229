// The VST 2 module's plug-in: one THD meter per instance.
#include "IThdMeter.h"
#include "ModuleUnload.h"

namespace {
// Made first, destroyed last (ModuleUnload.h).
ModuleStateRelease s_moduleStateRelease;
}  // namespace

IFxVST* VSTCreatePlugin(const IFxInstanceInfo& info)
{
  return new IThdMeter(info);
}
