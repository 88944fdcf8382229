// Prints the plug-in's identity, its parameters with their display texts and its channel
// configurations, as a host would discover them.
#include "IThdMeter.h"

#include <cstdio>

int main()
{
  IThdMeter meter{IFxInstanceInfo{}};

  char version[32];
  meter.GetEffectVersionStr(version, sizeof version);
  const int id = meter.GetUniqueID(), mfr = meter.GetMfrID();
  std::printf("Effect:        %s\n", meter.GetEffectName());
  std::printf("Manufacturer:  %s\n", meter.GetMfrName());
  std::printf("Version:       %s (%d)\n", version, meter.GetEffectVersion(true));
  std::printf("Unique id:     %c%c%c%c\n", id >> 24 & 0xff, id >> 16 & 0xff, id >> 8 & 0xff, id & 0xff);
  std::printf("Mfr id:        %c%c%c%c\n", mfr >> 24 & 0xff, mfr >> 16 & 0xff, mfr >> 8 & 0xff, mfr & 0xff);
  std::printf("Latency:       %d samples\n", meter.GetLatency());
  std::printf("State chunks:  %s\n", meter.DoesStateChunks() ? "yes" : "no");

  std::printf("Channel configurations:");
  for (int i = 0; i < meter.NChannelIO(); ++i)
    std::printf(" %d in/%d out", meter.GetChannelIO(i)->mIn, meter.GetChannelIO(i)->mOut);
  std::printf("\n\nParameters (%d):\n", meter.NParams());
  for (int i = 0; i < meter.NParams(); ++i)
  {
    const IParam* p = meter.GetParam(i);
    char shown[64];
    p->GetDisplayForHost(shown, sizeof shown);
    std::printf("  %d  %-20s = %-8s %s  [%g..%g step %g]\n", i, p->GetNameForHost(), shown,
                p->GetLabelForHost(), p->GetMin(), p->GetMax(), p->GetStep());
  }
  std::printf("\nVolume label:  %s\n", meter.GetVolumeLabel());
  std::printf("Presets:       %d (\"%s\")\n", meter.NPresets(), meter.GetPresetName(0));
  return 0;
}
