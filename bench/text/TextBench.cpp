// The meter's six-line results text in its style (Verdana 13 bold, light grey) drawn into
// an editor-sized 251 x 310 system bitmap at the results control's rectangle, the way the
// editor draws it (no clipping). Baseline of the same run: clearing the whole bitmap.
//
//   Native        opaque text through the platform's text output (the editor's normal case)
//   Glyph         the glyph cache, warm (translucent text; Windows under Wine)
//   GlyphCold     the first draw after the glyph cache was emptied (SetFromHFont again);
//                 the platform's own caches stay warm
//   GlyphColdAll  the same with the platform's glyph caches emptied too (Linux only): the
//                 cost of the very first draw of a process
#include <benchmark/benchmark.h>

#include <memory>

#include "Raster.h"

namespace {

const char kResults[] =
    "THD=0.00123457 %\nHarmonic1=0.50118723\nHarmonic2=0.00001234\nHarmonic3=0.00000321\n"
    "Harmonic4=0.00000102\nHarmonic5=0.00000047";
constexpr uint32_t kColor = 0xFFEBEBEB;
constexpr uint32_t kBackground = 0xFF2B3036;

HFONT ResultsFont()
{
#ifdef _WIN32
  return CreateFontA(13, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0, "Verdana");
#else
  return CreateFont(13, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0, "Verdana");
#endif
}

struct Setup
{
  Raster_SysBitmap bitmap{251, 310};
  Raster_CachedFont font;
  HFONT platformFont = ResultsFont();
  Setup()
  {
    Raster_FillRect(&bitmap, 0, 0, 251, 310, kBackground, 1.0f, 0);
    font.SetFromHFont(platformFont, 0x600);
    font.SetTextColor(kColor);
  }
  ~Setup()
  {
    font.SetFromHFont(nullptr, 0);
    DeleteObject(platformFont);
  }
  int Draw(UINT format)
  {
    RECT r = {48, 196, 278, 228};
    return font.DrawText(&bitmap, kResults, -1, &r, DT_NOCLIP | format);
  }
};

void BM_Baseline_ClearBitmap(benchmark::State& state)
{
  Setup s;
  for (auto _ : state)
  {
    Raster_FillRect(&s.bitmap, 0, 0, 251, 310, kBackground, 1.0f, 0);
    benchmark::DoNotOptimize(s.bitmap.getBits());
  }
}
BENCHMARK(BM_Baseline_ClearBitmap);

void BM_ResultsText_Native(benchmark::State& state)
{
  Setup s;
  if (!s.font.TakesNativePath(0)) state.SkipWithError("native path not available here (Wine)");
  s.Draw(0);  // warm-up
  for (auto _ : state) benchmark::DoNotOptimize(s.Draw(0));
}
BENCHMARK(BM_ResultsText_Native);

void BM_ResultsText_Glyph(benchmark::State& state)
{
  Setup s;
  s.Draw(kRasterText_UseTextAlpha);  // warm-up: every glyph rendered once
  for (auto _ : state) benchmark::DoNotOptimize(s.Draw(kRasterText_UseTextAlpha));
}
BENCHMARK(BM_ResultsText_Glyph);

void BM_ResultsText_GlyphCold(benchmark::State& state)
{
  Setup s;
  for (auto _ : state)
  {
    s.font.SetFromHFont(s.platformFont, 0x400);  // same font, empty glyph cache
    benchmark::DoNotOptimize(s.Draw(kRasterText_UseTextAlpha));
  }
}
BENCHMARK(BM_ResultsText_GlyphCold);

#ifndef _WIN32
void BM_ResultsText_GlyphColdAll(benchmark::State& state)
{
  Setup s;
  for (auto _ : state)
  {
    GdiEmu_FlushGlyphCaches();
    s.font.SetFromHFont(s.platformFont, 0x400);
    benchmark::DoNotOptimize(s.Draw(kRasterText_UseTextAlpha));
  }
}
BENCHMARK(BM_ResultsText_GlyphColdAll);

void BM_ResultsText_NativeColdAll(benchmark::State& state)
{
  Setup s;
  for (auto _ : state)
  {
    GdiEmu_FlushGlyphCaches();
    benchmark::DoNotOptimize(s.Draw(0));
  }
}
BENCHMARK(BM_ResultsText_NativeColdAll);
#endif

}  // namespace

BENCHMARK_MAIN();
