// The one place that selects the editor object (window host) the meter builds in this build.
// Builds without a platform window host get the headless one: command-line tools, tests and
// Linux, where the editor draws into memory and is driven by its caller.
#pragma once

#if defined(VX_GRAPHICS_WIN)
#include "IGraphicsWin.h"
using IThdMeterGraphics = IGraphicsWin;
#elif defined(VX_GRAPHICS_MAC)
#include "IGraphicsMac.h"
using IThdMeterGraphics = IGraphicsMac;
#else
#include "IGraphicsHeadless.h"
using IThdMeterGraphics = IGraphicsHeadless;
#define VX_GRAPHICS_HEADLESS 1
#endif
