// The one place that selects the editor object (window host) the meter builds in this build.
// Builds without a platform window host get the headless one: command-line tools and tests,
// where the editor draws into memory and is driven by its caller. The Linux plug-in modules
// show it in their hosts' X11 windows.
#pragma once

#if defined(VX_GRAPHICS_WIN)
#include "IGraphicsWin.h"
using IThdMeterGraphics = IGraphicsWin;
#elif defined(VX_GRAPHICS_X11)
#include "IGraphicsX11.h"
using IThdMeterGraphics = IGraphicsX11;
#elif defined(VX_GRAPHICS_MAC)
#include "IGraphicsMac.h"
using IThdMeterGraphics = IGraphicsMac;
#else
#include "IGraphicsHeadless.h"
using IThdMeterGraphics = IGraphicsHeadless;
#define VX_GRAPHICS_HEADLESS 1
#endif
