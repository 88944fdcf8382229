// The plug-ins the VST 2 fuzz targets drive through the binding's entry points: the meter
// (the plug-in hosts load) and the binding's test plug-in (MIDI on, an attached editor, so
// the event and editor paths are reached too). Both are created the way the module's entry
// point creates them.
#pragma once

#include "FuzzCommon.h"

#include "IThdMeter.h"
#include "Vst2Host.h"
#include "Vst2TestPlug.h"

#include <cstdio>
#include <cstdlib>

#ifndef _WIN32
#include <unistd.h>
#endif

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

