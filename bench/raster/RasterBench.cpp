// Raster blits and fills against pixman on the editor's size (251 x 310) and 1024 x 1024.
// Each case runs ours and pixman's on the same pixels; ratios.py turns the JSON output into
// ours / pixman ratios (lower is better).
//
//   raster_bench --benchmark_format=json | python3 bench/raster/ratios.py
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "Raster_Blit.h"
#include "Raster_Fill.h"

namespace
{
// An anti-aliased disc of random colours: opaque inside, transparent outside, a soft edge -
// the mix of alphas the editor's images have.
void FillDisc(Raster_IBitmap& bm, unsigned seed)
{
  std::mt19937 rng(seed);
  int w = bm.getWidth(), h = bm.getHeight();
  double cx = w * 0.5, cy = h * 0.5, r = (w < h ? w : h) * 0.45;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
    {
      double d = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy));
      double cover = r + 2.0 - d;
      int a = cover <= 0 ? 0 : (cover >= 4 ? 255 : (int)(cover * 63.75));
      uint32_t c = rng() & 0x00FFFFFFu;
      bm.getBits()[(size_t)y * bm.getRowSpan() + x] = (uint32_t)a << 24 | c;
    }
}

void FillNoise(Raster_IBitmap& bm, unsigned seed)
{
  std::mt19937 rng(seed);
  for (int y = 0; y < bm.getHeight(); ++y)
    for (int x = 0; x < bm.getWidth(); ++x) bm.getBits()[(size_t)y * bm.getRowSpan() + x] = rng() | 0xFF000000u;
}

pixman_image_t* Wrap(Raster_IBitmap& bm)
{
  return pixman_image_create_bits(PIXMAN_a8r8g8b8, bm.getWidth(), bm.getHeight(), bm.getBits(), bm.getRowSpan() * 4);
}

// pixman works on premultiplied pixels; give it the premultiplied version of our source so
// both sides do equivalent work.
void Premultiply(Raster_IBitmap& bm)
{
  for (int y = 0; y < bm.getHeight(); ++y)
    for (int x = 0; x < bm.getWidth(); ++x)
    {
      uint32_t& p = bm.getBits()[(size_t)y * bm.getRowSpan() + x];
      uint32_t a = p >> 24;
      uint32_t r = ((p >> 16) & 0xFF) * a / 255, g = ((p >> 8) & 0xFF) * a / 255, b = (p & 0xFF) * a / 255;
      p = a << 24 | r << 16 | g << 8 | b;
    }
}

struct Images
{
  Raster_MemBitmap dest, src;
  Images(int w, int h, bool disc) : dest(w, h, 4), src(w, h, 4)
  {
    FillNoise(dest, 1);
    if (disc)
      FillDisc(src, 2);
    else
      FillNoise(src, 2);
  }
};

void SetCounters(benchmark::State& state, int w, int h)
{
  state.SetItemsProcessed(state.iterations() * (int64_t)w * h);
  state.counters["px"] = (double)w * h;
}

// --- opaque copy ------------------------------------------------------------------------------
void BM_CopyBlit_Ours(benchmark::State& state)
{
  int w = (int)state.range(0), h = (int)state.range(1);
  Images im(w, h, false);
  for (auto _ : state)
  {
    Raster_Blit(&im.dest, &im.src, 0, 0, nullptr, 1.0f, 0);
    benchmark::ClobberMemory();
  }
  SetCounters(state, w, h);
}

void BM_CopyBlit_Pixman(benchmark::State& state)
{
  int w = (int)state.range(0), h = (int)state.range(1);
  Images im(w, h, false);
  pixman_image_t *d = Wrap(im.dest), *s = Wrap(im.src);
  for (auto _ : state)
  {
    pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, w, h);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(d);
  pixman_image_unref(s);
  SetCounters(state, w, h);
}

// --- copy with source alpha -----------------------------------------------------------------
void BM_SourceAlphaBlit_Ours(benchmark::State& state)
{
  int w = (int)state.range(0), h = (int)state.range(1);
  Images im(w, h, true);
  for (auto _ : state)
  {
    Raster_Blit(&im.dest, &im.src, 0, 0, nullptr, 1.0f, 0x10000);
    benchmark::ClobberMemory();
  }
  SetCounters(state, w, h);
}

void BM_SourceAlphaBlit_Pixman(benchmark::State& state)
{
  int w = (int)state.range(0), h = (int)state.range(1);
  Images im(w, h, true);
  Premultiply(im.src);
  pixman_image_t *d = Wrap(im.dest), *s = Wrap(im.src);
  for (auto _ : state)
  {
    pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, 0, 0, w, h);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(d);
  pixman_image_unref(s);
  SetCounters(state, w, h);
}

// --- solid fill -------------------------------------------------------------------------------
void BM_SolidFill_Ours(benchmark::State& state)
{
  int w = (int)state.range(0), h = (int)state.range(1);
  Images im(w, h, false);
  for (auto _ : state)
  {
    Raster_FillRect(&im.dest, 0, 0, w, h, 0xFF00B8C2, 1.0f, 0);
    benchmark::ClobberMemory();
  }
  SetCounters(state, w, h);
}

void BM_SolidFill_Pixman(benchmark::State& state)
{
  int w = (int)state.range(0), h = (int)state.range(1);
  Images im(w, h, false);
  pixman_image_t* d = Wrap(im.dest);
  pixman_color_t c = {0x0000, 0xB8B8, 0xC2C2, 0xFFFF};
  pixman_image_t* s = pixman_image_create_solid_fill(&c);
  for (auto _ : state)
  {
    pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, w, h);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(d);
  pixman_image_unref(s);
  SetCounters(state, w, h);
}

// --- half-weight fill -------------------------------------------------------------------------
void BM_HalfFill_Ours(benchmark::State& state)
{
  int w = (int)state.range(0), h = (int)state.range(1);
  Images im(w, h, false);
  for (auto _ : state)
  {
    Raster_FillRect(&im.dest, 0, 0, w, h, 0xFF00B8C2, 0.5f, 0);
    benchmark::ClobberMemory();
  }
  SetCounters(state, w, h);
}

void BM_HalfFill_Pixman(benchmark::State& state)
{
  int w = (int)state.range(0), h = (int)state.range(1);
  Images im(w, h, false);
  pixman_image_t* d = Wrap(im.dest);
  pixman_color_t c = {0x0000, 0x5C5C, 0x6161, 0x8080};  // 50 % of 0x00B8C2, premultiplied
  pixman_image_t* s = pixman_image_create_solid_fill(&c);
  for (auto _ : state)
  {
    pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, 0, 0, w, h);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(d);
  pixman_image_unref(s);
  SetCounters(state, w, h);
}

// --- bilinear 2x up-scale -------------------------------------------------------------------
void BM_Bilinear2x_Ours(benchmark::State& state)
{
  int w = (int)state.range(0), h = (int)state.range(1);
  Raster_MemBitmap dest(w, h, 4), src((w + 1) / 2, (h + 1) / 2, 4);
  FillNoise(src, 3);
  for (auto _ : state)
  {
    Raster_ScaledBlit(&dest, &src, 0, 0, w, h, 0.0f, 0.0f, w * 0.5f, h * 0.5f, 1.0f, 0x100);
    benchmark::ClobberMemory();
  }
  SetCounters(state, w, h);
}

void BM_Bilinear2x_Pixman(benchmark::State& state)
{
  int w = (int)state.range(0), h = (int)state.range(1);
  Raster_MemBitmap dest(w, h, 4), src((w + 1) / 2, (h + 1) / 2, 4);
  FillNoise(src, 3);
  pixman_image_t *d = Wrap(dest), *s = Wrap(src);
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
  pixman_image_set_transform(s, &t);
  pixman_image_set_filter(s, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  pixman_image_set_repeat(s, PIXMAN_REPEAT_PAD);
  for (auto _ : state)
  {
    pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, w, h);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(d);
  pixman_image_unref(s);
  SetCounters(state, w, h);
}

#define RASTER_SIZES Args({251, 310})->Args({1024, 1024})
BENCHMARK(BM_CopyBlit_Ours)->RASTER_SIZES;
BENCHMARK(BM_CopyBlit_Pixman)->RASTER_SIZES;
BENCHMARK(BM_SourceAlphaBlit_Ours)->RASTER_SIZES;
BENCHMARK(BM_SourceAlphaBlit_Pixman)->RASTER_SIZES;
BENCHMARK(BM_SolidFill_Ours)->RASTER_SIZES;
BENCHMARK(BM_SolidFill_Pixman)->RASTER_SIZES;
BENCHMARK(BM_HalfFill_Ours)->RASTER_SIZES;
BENCHMARK(BM_HalfFill_Pixman)->RASTER_SIZES;
BENCHMARK(BM_Bilinear2x_Ours)->RASTER_SIZES;
BENCHMARK(BM_Bilinear2x_Pixman)->RASTER_SIZES;
}  // namespace

BENCHMARK_MAIN();
