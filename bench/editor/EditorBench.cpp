// A 251 x 310 editor shaped like the meter's: a background image, twelve bitmap controls and
// three multi-line texts, ticked by the headless window host (each drawing pass ends with the
// copy to the screen image, as a window host's paint does). Baseline of the same run: one
// plain opaque blit of a 251 x 310 image.
//
//   FullPass         every control dirty: the first paint of a window
//   IdleTick         nothing dirty: the timer's usual case
//   OneTextChanged   one text control changed (the meter's once-a-second progress text)
#include <benchmark/benchmark.h>

#include "IControls.h"
#include "IFxTestBinding.h"
#include "IGraphicsHeadless.h"
#include "Raster.h"

namespace
{
constexpr int kW = 251, kH = 310;

Raster_IBitmap* MakeImage(int w, int h, uint32_t seed)
{
  Raster_MemBitmap* bm = new Raster_MemBitmap(w, h, 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
    {
      // Opaque art with some translucent edge pixels, like anti-aliased button artwork.
      const int a = (x == 0 || y == 0 || x == w - 1 || y == h - 1) ? 128 : 255;
      Raster_PutPixel(bm, x, y, Raster_MakePixel(a, (x * 7 + seed) & 0xFF, (y * 3 + seed) & 0xFF, (x + y) & 0xFF), 1.0f, 0);
    }
  return bm;
}

// Images made in memory instead of read from files.
class BenchHost : public IGraphicsHeadless
{
public:
  using IGraphicsHeadless::IGraphicsHeadless;
  Raster_IBitmap* OSLoadBitmap(int id, const char*) override
  {
    switch (id)
    {
      case 1: return MakeImage(kW, kH, 1);
      case 2: return MakeImage(32, 64, 2);   // two stacked 32 x 32 frames
      case 3: return MakeImage(60, 20, 3);
      default: return nullptr;
    }
  }
};

class BenchPlug : public IFxTestBinding
{
public:
  BenchPlug()
      : IFxTestBinding(IFxInstanceInfo{}, 12, "1-1 2-2", 1, "Bench", "", "example.com", 0x00010000, 0x42656E63, 0x45786D70, 0,
                       false, true, false)
  {
    for (int i = 0; i < 12; ++i) GetParam(i)->InitBool("Switch", i & 1);
  }
};

struct Editor
{
  BenchPlug plug;
  BenchHost* gui = new BenchHost(&plug, kW, kH);
  ITextControl* progress = nullptr;

  Editor()
  {
    gui->AttachBackground(1, "background.png");
    IBitmap button = gui->LoadIBitmap(2, "button.png", 2);
    IBitmap wide = gui->LoadIBitmap(3, "wide.png");
    for (int i = 0; i < 8; ++i) gui->AttachControl(new IBitmapControl(&plug, 10 + (i % 4) * 50, 10 + (i / 4) * 40, i, &button));
    for (int i = 0; i < 4; ++i) gui->AttachControl(new IBitmapControl(&plug, 10 + i * 60, 100, 8 + i, &wide));
    IColor grey(255, 235, 235, 235);
    IText results(13, &grey, "DejaVu Sans", IText::kStyleBold, IText::kAlignNear);
    IText small(11, &grey, "DejaVu Sans", IText::kStyleNormal, IText::kAlignCenter);
    gui->AttachControl(new ITextControl(&plug, IRECT(20, 190, 240, 280), &results,
                                        "THD=0.00123457 %\nHarmonic1=0.50118723\nHarmonic2=0.00001234\n"
                                        "Harmonic3=0.00000321\nHarmonic4=0.00000102\nHarmonic5=0.00000047"));
    gui->AttachControl(progress = new ITextControl(&plug, IRECT(20, 130, 240, 160), &small, "Time left: 12 s\nLevel: -6.02 dB"));
    gui->AttachControl(new ITextControl(&plug, IRECT(20, 285, 240, 310), &small, "Veldramix THD Meter\nv1.0.6"));
    plug.AttachGraphics(gui);
    gui->OpenWindow(nullptr);
    while (gui->Tick())
    {
    }
  }
};

void BM_Baseline_OpaqueBlit(benchmark::State& state)
{
  Raster_SysBitmap dest(kW, kH);
  Raster_IBitmap* src = MakeImage(kW, kH, 5);
  for (auto _ : state)
  {
    Raster_Blit(&dest, src, 0, 0, 0, 0, kW, kH, 1.0f, 0);
    benchmark::DoNotOptimize(dest.getBits());
  }
  delete src;
}
BENCHMARK(BM_Baseline_OpaqueBlit);

void BM_FullPass(benchmark::State& state)
{
  Editor e;
  for (auto _ : state)
  {
    e.gui->SetAllControlsDirty();
    benchmark::DoNotOptimize(e.gui->Tick());
  }
}
BENCHMARK(BM_FullPass);

void BM_IdleTick(benchmark::State& state)
{
  Editor e;
  for (auto _ : state) benchmark::DoNotOptimize(e.gui->Tick());
}
BENCHMARK(BM_IdleTick);

void BM_OneTextChanged(benchmark::State& state)
{
  Editor e;
  int i = 0;
  for (auto _ : state)
  {
    e.progress->SetTextFromPlug((++i & 1) ? "Time left: 11 s\nLevel: -6.03 dB" : "Time left: 10 s\nLevel: -6.01 dB");
    benchmark::DoNotOptimize(e.gui->Tick());
  }
}
BENCHMARK(BM_OneTextChanged);
}  // namespace

BENCHMARK_MAIN();
