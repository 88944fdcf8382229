// The meter's editor: building the plug-in with its editor (images decoded, controls built),
// cold and with the module's caches warm, and the drawing passes one progress message costs.
// Baselines in the same run: decoding the panel image, and one opaque copy of a whole
// editor-sized bitmap.
#include <benchmark/benchmark.h>

#include "IControl.h"
#include "IGraphicsCaches.h"
#include "IGraphicsHeadless.h"
#include "IThdMeter.h"
#include "Raster.h"
#include "ThdMeterImages.h"

#include <cstdlib>
#include <memory>
#include <string>

namespace {
// The meter creates its documents folder under HOME; keep that out of the user's.
void PrivateHome()
{
  static const bool done = [] {
    char tmpl[] = "/tmp/vx_bench_home_XXXXXX";
    if (mkdtemp(tmpl)) setenv("HOME", tmpl, 1);
    return true;
  }();
  (void)done;
}

void BM_Baseline_DecodePanelImage(benchmark::State& state)
{
  int count = 0;
  const ThdMeterImage* images = ThdMeter_Images(&count);
  for (auto _ : state)
  {
    std::unique_ptr<Raster_IBitmap> bm(Raster_LoadPNGFromMemory(images[0].data, images[0].size));
    benchmark::DoNotOptimize(bm.get());
  }
}
BENCHMARK(BM_Baseline_DecodePanelImage)->Unit(benchmark::kMicrosecond);

void BM_Baseline_CopyEditorBitmap(benchmark::State& state)
{
  Raster_MemBitmap src(251, 310), dst(251, 310);
  Raster_Clear(&src, 0xFF303030);
  for (auto _ : state)
  {
    Raster_Blit(&dst, &src, 0, 0, 0, 0, 251, 310, 1.0f, 0);
    benchmark::DoNotOptimize(dst.getBits());
  }
}
BENCHMARK(BM_Baseline_CopyEditorBitmap)->Unit(benchmark::kMicrosecond);

// The first instance of a module: nothing decoded, no font cached yet.
void BM_ConstructFirstInstance(benchmark::State& state)
{
  PrivateHome();
  for (auto _ : state)
  {
    state.PauseTiming();
    s_bitmapCache.Clear();
    s_fontCache.Clear();
    GdiEmu_FlushGlyphCaches();
    state.ResumeTiming();
    auto meter = std::make_unique<IThdMeter>(IFxInstanceInfo{});
    benchmark::DoNotOptimize(meter.get());
    state.PauseTiming();
    meter.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ConstructFirstInstance)->Unit(benchmark::kMicrosecond);

// Every further instance: images and fonts come from the module's caches.
void BM_ConstructFurtherInstance(benchmark::State& state)
{
  PrivateHome();
  IThdMeter first{IFxInstanceInfo{}};
  for (auto _ : state)
  {
    auto meter = std::make_unique<IThdMeter>(IFxInstanceInfo{});
    benchmark::DoNotOptimize(meter.get());
    state.PauseTiming();
    meter.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ConstructFurtherInstance)->Unit(benchmark::kMicrosecond);

// One progress message as the editor shows it: the pass that hands it to MyIdle (the dummy
// control's corner) and the pass that redraws the editor with the new text.
void BM_ProgressTick(benchmark::State& state)
{
  PrivateHome();
  IThdMeter meter{IFxInstanceInfo{}};
  meter.HostPrepare(48000, 512);
  auto* gui = static_cast<IGraphicsHeadless*>(IGraphics::FromPlug(&meter));
  gui->OpenWindow(gui);
  gui->Tick();
  meter.from_GUI(kParamStart);
  gui->Tick();
  gui->Tick();
  for (auto _ : state)
  {
    gui->SetControlFromPlug(meter.GetDummyControlIdx(), kMessageProgress);
    gui->Tick();
    gui->Tick();
  }
  gui->CloseWindow();
}
BENCHMARK(BM_ProgressTick)->Unit(benchmark::kMicrosecond);
}  // namespace
