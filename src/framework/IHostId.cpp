// Host identification: a table of known product names, display names and packed versions.

#include "IHostId.h"

#include "Util_CStr.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {
struct HostKey
{
  const char* mKey;
  EHost mHost;
};

// The order decides overlapping names: a name holding both "cubase" and "live" is
// Cubase, and "live" catches any name the keys before it left unclaimed. Keep it.
const HostKey kHostKeys[] = {
  {"cubase", kHostCubase},
  {"reaper", kHostReaper},
  {"nuendo", kHostNuendo},
  {"cakewalk", kHostSonar},
  {"samplitude", kHostSamplitude},
  {"fruity", kHostFL},
  {"live", kHostAbletonLive},
  {"melodyne", kHostMelodyneStudio},
  {"vstmanlib", kHostVSTScanner},
  {"aulab", kHostAULab},
  {"garageband", kHostGarageBand},
  {"forte", kHostForte},
  {"chainer", kHostChainer},
  {"audition", kHostAudition},
  {"orion", kHostOrion},
  {"sawstudio", kHostSAWStudio},
  {"logic", kHostLogic},
  {"digital", kHostDigitalPerformer},
  {"audiomulch", kHostAudioMulch},
  {"presonus", kHostStudioOne},
  {"vst3plugintesthost", kHostVST3TestHost},
  {"protools", kHostProTools},
  {"ardour", kHostArdour},
  {"openmpt", kHostOpenMPT},
  {"renoise", kHostRenoise},
  {"standalone", kHostStandalone},
};

// Display names by EHost value, from kHostUnknown (0) on; null means "Unknown".
const char* const kHostNames[] = {
  nullptr,              // 0 unknown
  "Reaper",             // 1
  "ProTools",           // 2
  "Cubase",             // 3
  "Nuendo",             // 4
  "Sonar",              // 5
  "Vegas",              // 6
  "FLStudio",           // 7
  "Samplitude",         // 8
  "Live",               // 9
  nullptr,              // 10
  nullptr,              // 11
  nullptr,              // 12
  "VSTScanner",         // 13
  "AULab",              // 14
  "Forte",              // 15
  "Chainer",            // 16
  "Audition",           // 17
  "Orion",              // 18
  nullptr,              // 19
  "SAWStudio",          // 20
  "Logic",              // 21
  "GarageBand",         // 22
  "DigitalPerformer",   // 23
  "Standalone",         // 24
  "AudioMulch",         // 25
  "StudioOne",          // 26
  "VST3PluginTestHost", // 27
  "Ardour",             // 28
  "Renoise",            // 29
  "OpenMPT",            // 30
};
static_assert(sizeof kHostNames / sizeof kHostNames[0] == kHostOpenMPT + 1);
}  // namespace

EHost LookUpHost(const char* hostName)
{
  char lower[256];
  int n = 0;
  if (hostName)
    for (; n < (int)sizeof lower - 1 && hostName[n]; ++n)
      lower[n] = (char)std::tolower((unsigned char)hostName[n]);
  lower[n] = 0;

  for (const HostKey& key : kHostKeys)
    if (std::strstr(lower, key.mKey)) return key.mHost;
  return kHostUnknown;
}

void GetHostNameStr(EHost host, char* name, int size)
{
  if (!name || size <= 0) return;
  const int idx = (int)host;
  const char* text = idx >= 0 && idx <= (int)kHostOpenMPT ? kHostNames[idx] : nullptr;
  Util_StrCopy(name, text ? text : "Unknown", (size_t)size);
}

void GetVersionParts(int version, int* major, int* minor, int* patch)
{
  if (major) *major = (int)((unsigned)version >> 16);
  if (minor) *minor = (version >> 8) & 0xff;
  if (patch) *patch = version & 0xff;
}

int GetDecimalVersion(int version)
{
  int major, minor, patch;
  GetVersionParts(version, &major, &minor, &patch);
  return major * 10000 + minor * 100 + patch;
}

void GetVersionStr(int version, char* str, int size)
{
  if (!str || size <= 0) return;
  int major, minor, patch;
  GetVersionParts(version, &major, &minor, &patch);
  std::snprintf(str, (size_t)size, "v%d.%d.%d", major, minor, patch);
}
