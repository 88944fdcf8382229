// The plug-ins the VST 2 fuzz targets drive through the binding's entry points: the meter
// (the plug-in hosts load) and the binding's test plug-in (MIDI on, an attached editor, so
// the event and editor paths are reached too). Both are created the way the module's entry
// point creates them.
#pragma once

#include "IThdMeter.h"
#include "Vst2Host.h"
#include "Vst2TestPlug.h"

#include <cstdio>
#include <cstdlib>

#ifndef _WIN32
#include <unistd.h>
#endif

#define FUZZ_CHECK(cond)                                                              \
  do                                                                                  \
  {                                                                                   \
    if (!(cond))                                                                      \
    {                                                                                 \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)

inline AEffect* VSTCALLBACK FuzzMeterEntry(audioMasterCallback host)
{
  IFxInstanceInfo info;
  info.mVSTHostCallback = host;
  IFxVST* plug = new IThdMeter(info);
  plug->EnsureDefaultPreset();
  AEffect* effect = plug->GetAEffect();
  if (effect->numPrograms < 1) effect->numPrograms = 1;
  return effect;
}

inline AEffect* VSTCALLBACK FuzzTestPlugEntry(audioMasterCallback host)
{
  Vst2TestOptions().mMidi = true;
  Vst2TestOptions().mEditor = true;
  Vst2TestOptions().mWindowHost = true;  // so that the open and close paths are reached
  return Vst2TestEntry(host);
}

// The meter looks for its documents folder under HOME; keep the fuzzer out of the user's.
inline void UsePrivateHome()
{
#ifndef _WIN32
  static char home[] = "/tmp/vx_fuzz_home_XXXXXX";
  if (mkdtemp(home)) setenv("HOME", home, 1);
#endif
}
