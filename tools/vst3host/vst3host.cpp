// vst3host: loads a VST 3 bundle the way hosts do and prints what it offers; with --x11 it
// shows the editor in a window of its own under the X server, as a Linux host does.
//   vst3host <path/Name.vst3 | path/Name.so> [--host-name NAME]
//   vst3host --x11 <bundle> [--seconds N] [--scale F] [--click X,Y]... [--screenshot FILE.png]
#include "Vst3HostSide.h"

#if defined(VX_VST3HOST_X11)
#include "Raster_Bitmap.h"
#include "Raster_PNGWrite.h"
#include "Vst3X11Host.h"
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace {
void Usage()
{
  std::fprintf(stderr,
               "usage: vst3host <bundle.vst3 | module.so> [--host-name NAME]\n"
#if defined(VX_VST3HOST_X11)
               "       vst3host --x11 <bundle.vst3 | module.so> [--seconds N] [--scale F] [--click X,Y]...\n"
               "                [--screenshot FILE.png]\n"
               "  --x11: the editor in a window under $DISPLAY, audio looped back on a thread of its own,\n"
               "  for N seconds (default 10); each --click is a left click at editor coordinates, half a\n"
               "  second apart after the first second; the window is written to FILE.png at the end.\n"
#endif
  );
}

#if defined(VX_VST3HOST_X11)
int RunX11(const char* path, double seconds, float scale, const std::vector<std::pair<int, int>>& clicks,
           const char* screenshot)
{
  vst3host::X11Host host;
  std::string error;
  if (!host.Start(path, &error) || !host.OpenView(&error, scale))
  {
    std::fprintf(stderr, "vst3host: %s\n", error.c_str());
    return 1;
  }
  std::printf("editor window 0x%x in frame 0x%x\n", host.Editor(), host.Frame());
  // Real time: 10 ms of audio for every 10 ms of the user-interface loop.
  const int steps = (int)(seconds * 100.0);
  size_t nextClick = 0;
  for (int step = 0; step < steps; ++step)
  {
    host.Audio().ProcessAsync(480);
    host.Pump(10);
    if (nextClick < clicks.size() && step >= 100 + 50 * (int)nextClick)
    {
      host.Display().Click(host.Editor(), (int)(clicks[nextClick].first * scale), (int)(clicks[nextClick].second * scale));
      ++nextClick;
    }
  }
  int status = 0;
  if (screenshot)
  {
    std::vector<uint32_t> pixels;
    int w = 0, h = 0;
    Raster_MemBitmap shot;
    if (host.Display().Grab(host.Frame(), &pixels, &w, &h) && shot.resize(w, h))
    {
      for (int y = 0; y < h; ++y)
        std::memcpy(shot.getBits() + (size_t)y * shot.getRowSpan(), pixels.data() + (size_t)y * w, sizeof(uint32_t) * w);
      Raster_PNGWriteOptions rgb;
      rgb.mAlpha = false;
      if (!Raster_WritePNG(&shot, screenshot, rgb)) status = 1;
    }
    else
    {
      status = 1;
    }
    if (status) std::fprintf(stderr, "vst3host: cannot write %s\n", screenshot);
  }
  if (!host.Stop())
  {
    std::fprintf(stderr, "vst3host: the module did not unload cleanly\n");
    status = 1;
  }
  return status;
}
#endif
}  // namespace

int main(int argc, char** argv)
{
  const char* path = nullptr;
  const char* hostName = "vst3host";
  bool x11 = false;
  double seconds = 10.0;
  float scale = 1.0f;
  const char* screenshot = nullptr;
  std::vector<std::pair<int, int>> clicks;
  for (int i = 1; i < argc; ++i)
  {
    int x = 0, y = 0;
    if (std::strcmp(argv[i], "--host-name") == 0 && i + 1 < argc) hostName = argv[++i];
    else if (std::strcmp(argv[i], "--x11") == 0) x11 = true;
    else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) seconds = std::atof(argv[++i]);
    else if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc) scale = (float)std::atof(argv[++i]);
    else if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) screenshot = argv[++i];
    else if (std::strcmp(argv[i], "--click") == 0 && i + 1 < argc && std::sscanf(argv[i + 1], "%d,%d", &x, &y) == 2)
    {
      clicks.push_back({x, y});
      ++i;
    }
    else if (std::strcmp(argv[i], "--help") == 0 || argv[i][0] == '-') path = nullptr, i = argc;
    else path = argv[i];
  }
  if (!path || !(seconds >= 0.0 && seconds < 86400.0) || !(scale >= 0.25f && scale <= 8.0f))
  {
    Usage();
    return 2;
  }
  if (x11)
  {
#if defined(VX_VST3HOST_X11)
    return RunX11(path, seconds, scale, clicks, screenshot);
#else
    (void)screenshot;
    std::fprintf(stderr, "vst3host: built without the X11 mode\n");
    return 2;
#endif
  }
  vst3host::Module module;
  std::string error;
  if (!module.Load(path, &error))
  {
    std::fprintf(stderr, "vst3host: cannot load %s: %s\n", path, error.c_str());
    return 1;
  }
  vst3host::HostApplication host(hostName);
  std::printf("Module: %s\n%s", vst3host::Module::BinaryPath(path).c_str(),
              vst3host::Describe(module.Factory(), &host).c_str());
  if (!module.Unload())
  {
    std::fprintf(stderr, "vst3host: the module did not unload cleanly\n");
    return 1;
  }
  return 0;
}
