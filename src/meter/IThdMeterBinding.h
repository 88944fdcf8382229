// The one place that selects the host binding the meter derives from in this build.
#pragma once

#if defined(VX_BINDING_VST3)
#include "IFxVST3.h"
using IThdMeterBinding = IFxVST3;
#elif defined(VX_BINDING_VST2)
#include "IFxVST.h"
using IThdMeterBinding = IFxVST;
#else
#include "IFxTestBinding.h"
using IThdMeterBinding = IFxTestBinding;
#endif
