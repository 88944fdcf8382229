// The module's entry points. A host calls VSTPluginMain (older ones main) once per instance;
// each call creates one plug-in object and returns its AEffect record.
#include "IFxVST.h"

#include "Util_Mutex.h"

#if defined(_WIN32)
#define VST_EXPORT extern "C" __declspec(dllexport)
#else
#define VST_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {
// Serialises the creation of plug-in objects across the whole module.
Util_Mutex& CreationLock()
{
  static Util_Mutex lock;
  return lock;
}
}  // namespace

VST_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback)
{
  Util_MutexLock lock(CreationLock());
  IFxInstanceInfo info;
  info.mVSTHostCallback = hostCallback;
  IFxVST* plug = VSTCreatePlugin(info);
  if (!plug) return nullptr;
  plug->EnsureDefaultPreset();
  AEffect* effect = plug->GetAEffect();
  if (effect->numPrograms < 1) effect->numPrograms = 1;
  return effect;
}

// "main" cannot be declared with this signature in C++, so it is defined under another name
// and given the symbol name main (with the platform's C prefix).
#if defined(__APPLE__)
#define VST_MAIN_SYMBOL "_main"
#else
#define VST_MAIN_SYMBOL "main"
#endif
VST_EXPORT AEffect* VSTCALLBACK VSTLegacyMain(audioMasterCallback hostCallback) __asm__(VST_MAIN_SYMBOL);
AEffect* VSTCALLBACK VSTLegacyMain(audioMasterCallback hostCallback)
{
  return VSTPluginMain(hostCallback);
}
