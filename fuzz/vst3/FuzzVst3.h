// What the VST 3 fuzz targets share: the meter over the VST 3 binding in a private HOME, and
// the checks every input must pass.
#pragma once

#include "FuzzCommon.h"

#include "IThdMeter.h"
#include "Vst3HostSide.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

// A new meter, initialised as a host does; the caller releases it.
inline IThdMeter* NewMeter(vst3::FUnknown* host)
{
  IThdMeter* meter = new IThdMeter(IFxInstanceInfo{});
  static_cast<vst3::IComponent*>(meter)->initialize(host);
  return meter;
}

// Every plug-in parameter reads back normalised and finite; the state has its fixed size and
// a frequency inside the audible band.
inline void CheckMeter(IThdMeter* meter)
{
  vst3::IEditController* controller = meter;
  for (int i = 0; i < kNumParams; ++i)
  {
    const double v = controller->getParamNormalized((vst3::ParamID)i);
    FUZZ_CHECK(v >= 0.0 && v <= 1.0);
  }
  vst3host::MemoryStream component, state;
  FUZZ_CHECK(static_cast<vst3::IComponent*>(meter)->getState(&component) == vst3::kResultOk);
  FUZZ_CHECK(controller->getState(&state) == vst3::kResultOk);
  FUZZ_CHECK(component.mBytes.size() == 88 && state.mBytes.size() == 92);
  double frequency = 0.0;
  std::memcpy(&frequency, component.mBytes.data(), 8);
  FUZZ_CHECK(frequency >= 20.0 && frequency <= 20000.0);
}
