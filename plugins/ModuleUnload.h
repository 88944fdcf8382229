// What a plug-in module gives back when the host unloads it. Hosts load and unload modules
// many times in one process (scanning, removing and adding instances): anything a module keeps
// for its life must go with it, or the host grows with every load.
#pragma once

#include "Raster_Font.h"

#if defined(VX_STATIC_CXX_RUNTIME)
// The C++ runtime linked into the module keeps an emergency buffer for exceptions (about
// 72 KB) that no destructor frees; this is the runtime's own call for that. Only the module's
// own copy of the runtime may be asked: a shared one belongs to the host.
namespace __gnu_cxx {
void __freeres();
}
#endif

// Made when the host loads the module, before any of the module's caches, so it is destroyed
// after all of them when the host unloads it: then the text layer's faces, fonts, lookup and
// locks go too, and the runtime's buffer, instead of staying behind in the host process.
struct ModuleStateRelease
{
  ~ModuleStateRelease()
  {
    Raster_ReleaseModuleState();
#if defined(VX_STATIC_CXX_RUNTIME)
    __gnu_cxx::__freeres();
#endif
  }
};
