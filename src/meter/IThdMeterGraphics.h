// The one place that selects the editor object (window host) the meter builds in this build,
// and what the meter's editor needs to know of it: how the host finds the editor's images, and
// where the volume label ends for the platform's text metrics. Builds without a platform window
// host get the headless one: command-line tools and tests, where the editor draws into memory
// and is driven by its caller. The Linux plug-in modules show it in their hosts' X11 windows.
#pragma once

#if defined(VX_GRAPHICS_WIN)
#include "IGraphicsWin.h"
using IThdMeterGraphics = IGraphicsWin;
#elif defined(VX_GRAPHICS_X11)
#include "IGraphicsX11.h"
#include "ThdMeterImages.h"
using IThdMeterGraphics = IGraphicsX11;
#elif defined(VX_GRAPHICS_MAC)
#include "IGraphicsMac.h"
using IThdMeterGraphics = IGraphicsMac;
#else
#include "IGraphicsHeadless.h"
#include "ThdMeterImages.h"
#include <mutex>
using IThdMeterGraphics = IGraphicsHeadless;
#define VX_GRAPHICS_HEADLESS 1
#endif

// The volume label's right edge follows each platform's text metrics (the real GDI on Windows,
// whichever window host draws there).
#ifdef _WIN32
constexpr int kThdVolumeLabelRight = 238;
#else
constexpr int kThdVolumeLabelRight = 242;
#endif

// Lets a new editor object find the editor's images: the Windows host takes them from the
// module's resources by id; the Cocoa host from the bundle's resources, found by the bundle's
// identifier; the X11 host straight from the images compiled into the meter; the headless host
// from the same images, registered once for the whole module.
inline void ThdPrepareEditorImages(IThdMeterGraphics* gui)
{
#if defined(VX_GRAPHICS_MAC)
  gui->SetBundleID(VX_MAC_BUNDLE_ID);
#elif defined(VX_GRAPHICS_X11)
  (void)gui;
  IGraphicsX11::SetImageLookup([](int id, const unsigned char** png, size_t* size) {
    int count = 0;
    const ThdMeterImage* images = ThdMeter_Images(&count);
    for (int i = 0; i < count; ++i)
      if (images[i].id == id)
      {
        *png = images[i].data;
        *size = images[i].size;
        return true;
      }
    return false;
  });
#elif defined(VX_GRAPHICS_HEADLESS)
  (void)gui;
  static std::once_flag once;
  std::call_once(once, [] {
    int count = 0;
    const ThdMeterImage* images = ThdMeter_Images(&count);
    for (int i = 0; i < count; ++i) IGraphicsHeadless::RegisterImageData(images[i].id, images[i].data, images[i].size);
  });
#else
  (void)gui;
#endif
}
