// vst2host: loads a VST 2 module as a host does and prints what the host sees: the record,
// the parameters, the programs, one processed block and the size of the state chunks. With
// --x11 it shows the editor in a window of its own under the X server, as a Linux host does.
//
//   vst2host <module.so> [--entry main]
//   vst2host --x11 <module.so> [--seconds N] [--click X,Y]... [--screenshot FILE.png]
#include "Vst2Host.h"

#if defined(VX_VST2HOST_X11)
#include "Raster_Bitmap.h"
#include "Raster_PNGWrite.h"
#include "Vst2X11Host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace {
// The editor in a window for `seconds`, audio looped back in real time; clicks at editor
// coordinates half a second apart after the first second; the window written to screenshot.
int RunX11(int argc, char** argv)
{
  const char* path = nullptr;
  const char* screenshot = nullptr;
  double seconds = 10.0;
  std::vector<std::pair<int, int>> clicks;
  for (int i = 2; i < argc; ++i)
  {
    int x = 0, y = 0;
    if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) seconds = std::atof(argv[++i]);
    else if (!std::strcmp(argv[i], "--screenshot") && i + 1 < argc) screenshot = argv[++i];
    else if (!std::strcmp(argv[i], "--click") && i + 1 < argc && std::sscanf(argv[i + 1], "%d,%d", &x, &y) == 2)
    {
      clicks.push_back({x, y});
      ++i;
    }
    else if (argv[i][0] != '-') path = argv[i];
    else path = nullptr, i = argc;
  }
  if (!path || !(seconds >= 0.0 && seconds < 86400.0))
  {
    std::fprintf(stderr, "usage: vst2host --x11 <module.so> [--seconds N] [--click X,Y]... [--screenshot FILE.png]\n");
    return 2;
  }
  Vst2X11Host host;
  std::string error;
  if (!host.Start(path, &error) || host.OpenEditor(&error) != 1)
  {
    std::fprintf(stderr, "vst2host: %s\n", error.c_str());
    return 1;
  }
  std::printf("editor window 0x%x in frame 0x%x\n", host.Editor(), host.Frame());
  const int steps = (int)(seconds * 100.0);
  size_t nextClick = 0;
  for (int step = 0; step < steps; ++step)
  {
    host.Audio().ProcessAsync(480);
    host.Pump(10);
    if (nextClick < clicks.size() && step >= 100 + 50 * (int)nextClick)
    {
      host.Display().Click(host.Editor(), clicks[nextClick].first, clicks[nextClick].second);
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
    if (status) std::fprintf(stderr, "vst2host: cannot write %s\n", screenshot);
  }
  host.Stop();
  return status;
}
}  // namespace
#endif

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
  if (argc < 2 || !std::strcmp(argv[1], "--help"))
  {
    std::printf("usage: vst2host <module.so> [--entry VSTPluginMain|main]\n");
#if defined(VX_VST2HOST_X11)
    std::printf("       vst2host --x11 <module.so> [--seconds N] [--click X,Y]... [--screenshot FILE.png]\n");
#endif
    return argc < 2 ? 2 : 0;
  }
#if defined(VX_VST2HOST_X11)
  if (!std::strcmp(argv[1], "--x11")) return RunX11(argc, argv);
#endif
  const char* entryName = argc >= 4 && !std::strcmp(argv[2], "--entry") ? argv[3] : "VSTPluginMain";
  Vst2Module module;
  if (!module.Load(argv[1]))
  {
    std::fprintf(stderr, "vst2host: cannot load %s: %s\n", argv[1], module.Error().c_str());
    return 1;
  }
  Vst2Host host;
  if (!host.Create(module.Entry(entryName)))
  {
    std::fprintf(stderr, "vst2host: %s gave no effect\n", entryName);
    return 1;
  }
  host.Start(48000.0, 512);
  const AEffect* e = host.Effect();
  const int id = e->uniqueID;
  std::printf("effect: %s\nvendor: %s\nproduct: %s\n", host.GetString(effGetEffectName).c_str(),
              host.GetString(effGetVendorString).c_str(), host.GetString(effGetProductString).c_str());
  std::printf("unique id: %c%c%c%c, version %d, vst %d\n", (id >> 24) & 0xff, (id >> 16) & 0xff, (id >> 8) & 0xff,
              id & 0xff, e->version, (int)host.Dispatch(effGetVstVersion));
  std::printf("inputs %d, outputs %d, programs %d, parameters %d, flags 0x%x\n", e->numInputs, e->numOutputs,
              e->numPrograms, e->numParams, e->flags);
  for (int i = 0; i < e->numParams; ++i)
    std::printf("  param %d: %-8s = %-8s %-8s (%.4f)\n", i, host.GetString(effGetParamName, i).c_str(),
                host.GetString(effGetParamDisplay, i).c_str(), host.GetString(effGetParamLabel, i).c_str(),
                host.GetParameter(i));
  for (int i = 0; i < e->numPrograms; ++i)
    std::printf("  program %d: %s\n", i, host.GetString(effGetProgramNameIndexed, i).c_str());
  ERect* rect = nullptr;
  if (host.Dispatch(effEditGetRect, 0, 0, &rect) && rect)
    std::printf("editor: %d x %d\n", rect->right - rect->left, rect->bottom - rect->top);
  else
    std::printf("editor: none\n");

  std::vector<float> in(512), out0(512), out1(512);
  for (int i = 0; i < 512; ++i) in[i] = (float)std::sin(i * 0.05);
  float* ins[2] = {in.data(), in.data()};
  float* outs[2] = {out0.data(), out1.data()};
  host.ProcessReplacing(ins, outs, 512);
  double peak = 0.0;
  for (int i = 0; i < 512; ++i) peak = std::fmax(peak, std::fabs((double)out0[i]) + std::fabs((double)out1[i]));
  std::printf("one block of 512: output peak %.6f\n", peak);
  std::printf("program chunk: %zu bytes, bank chunk: %zu bytes\n", host.GetChunk(true).size(),
              host.GetChunk(false).size());
  host.Close();
  return 0;
}
