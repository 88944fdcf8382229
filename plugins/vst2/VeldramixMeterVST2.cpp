// The VST 2 module's plug-in: one THD meter per instance.
#include "IThdMeter.h"

IFxVST* VSTCreatePlugin(const IFxInstanceInfo& info)
{
  return new IThdMeter(info);
}
