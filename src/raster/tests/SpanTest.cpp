// The SSE2 row kernels against their scalar references: identical pixels on large random
// inputs, every length from 0 to 67 at every misalignment, and nothing written past the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <random>
#include <vector>

#include "Raster_CombineSpan.h"
#include "RasterTestUtil.h"

#if RASTER_HAVE_SSE2
namespace
{
const uint32_t kCanary = 0xC0FFEE11u;
}

TEST(SpanSSE2, CopySourceAlphaMatchesScalar)
{
  std::mt19937 rng(1);
  for (int round = 0; round < 200; ++round)
  {
    int n = (int)(rng() % 300);
    int offset = (int)(rng() % 4);
    std::vector<uint32_t> src(n + 4), a(n + 8, kCanary), b(n + 8, kCanary);
    for (auto& p : src) p = RandomPixel(rng);
    for (int i = 0; i < n; ++i) a[offset + i] = b[offset + i] = RandomPixel(rng);
    Raster_SpanCopySourceAlpha_Scalar(a.data() + offset, src.data() + (round & 3), n);
    Raster_SpanCopySourceAlpha_SSE2(b.data() + offset, src.data() + (round & 3), n);
    ASSERT_EQ(a, b) << "round " << round << " n " << n;
  }
}

TEST(SpanSSE2, CopySourceAlphaExhaustiveChannelPairs)
{
  // Every (d, s) byte pair for a spread of alphas: the signed-truncation trick must hold
  // everywhere, not only on typical data.
  std::vector<uint32_t> src, a, b;
  for (int alpha : {1, 2, 77, 127, 128, 129, 200, 254})
    for (int d = 0; d < 256; ++d)
      for (int s = 0; s < 256; ++s)
      {
        src.push_back((uint32_t)alpha << 24 | (uint32_t)s << 16 | (uint32_t)(255 - s) << 8 | (uint32_t)(s ^ 0x55));
        a.push_back((uint32_t)(d ^ 0xAA) << 24 | (uint32_t)d << 16 | (uint32_t)(255 - d) << 8 | (uint32_t)(d ^ 0x33));
      }
  b = a;
  Raster_SpanCopySourceAlpha_Scalar(a.data(), src.data(), (int)a.size());
  Raster_SpanCopySourceAlpha_SSE2(b.data(), src.data(), (int)b.size());
  ASSERT_EQ(a, b);
}

TEST(SpanSSE2, HalfMixAndFillsMatchScalar)
{
  std::mt19937 rng(2);
  for (int n = 0; n < 68; ++n)
    for (int offset = 0; offset < 4; ++offset)
    {
      std::vector<uint32_t> src(n + 1), base(n + 8, kCanary);
      for (auto& p : src) p = rng();
      for (int i = 0; i < n; ++i) base[offset + i] = rng();
      std::vector<uint32_t> a = base, b = base;
      Raster_SpanHalfMix_Scalar(a.data() + offset, src.data(), n);
      Raster_SpanHalfMix_SSE2(b.data() + offset, src.data(), n);
      ASSERT_EQ(a, b) << "half mix n " << n;
      for (ERasterFillFast kind : {kRasterFill_Clobber, kRasterFill_HalfMix, kRasterFill_QuarterMix, kRasterFill_ThreeQuarterMix})
      {
        uint32_t colour = rng();
        a = base, b = base;
        Raster_SpanFillFast_Scalar(a.data() + offset, n, colour, kind);
        Raster_SpanFillFast_SSE2(b.data() + offset, n, colour, kind);
        ASSERT_EQ(a, b) << "fill kind " << kind << " n " << n << " offset " << offset;
        EXPECT_EQ(b[offset + n], kCanary);
      }
    }
}

TEST(SpanSSE2, BilinearMatchesScalar)
{
  std::mt19937 rng(3);
  for (int round = 0; round < 300; ++round)
  {
    int srcW = 1 + (int)(rng() % 40);
    int n = (int)(rng() % 70);
    std::vector<uint32_t> row0(srcW), row1(srcW), a(n + 1, kCanary), b(n + 1, kCanary);
    // Every fifth round takes the extremes: channels 0 or 255, fractions 0, 1, 0x8000 or 0xFFFF.
    const bool extremes = round % 5 == 4;
    auto pixel = [&]() { return extremes ? (rng() & 1 ? 0xFFFFFFFFu : 0u) ^ (rng() & 0xFF00FF00u) : (uint32_t)rng(); };
    for (auto& p : row0) p = pixel();
    for (auto& p : row1) p = pixel();
    std::vector<int32_t> fx(n);
    const int32_t kFractions[4] = {0, 1, 0x8000, 0xFFFF};
    for (auto& f : fx)
      f = extremes ? (int32_t)((rng() % (uint32_t)srcW) << 16) | kFractions[rng() % 4] : (int32_t)(rng() % ((uint32_t)srcW << 16));
    std::sort(fx.begin(), fx.end());
    if (round & 2) std::reverse(fx.begin(), fx.end());  // mirrored rows run backwards
    if (n > 0) fx[round & 2 ? 0 : n - 1] = ((srcW - 1) << 16) | 0xFFFF;  // the clamped right edge
    int fy = extremes ? kFractions[round / 5 % 4] : (int)(rng() & 0xFFFF);
    Raster_SpanBilinear_Scalar(a.data(), row0.data(), round & 1 ? row0.data() : row1.data(), srcW, fx.data(), n, fy);
    Raster_SpanBilinear_SSE2(b.data(), row0.data(), round & 1 ? row0.data() : row1.data(), srcW, fx.data(), n, fy);
    ASSERT_EQ(a, b) << "round " << round;
  }
}
#endif

TEST(Span, BilinearKeepsConstantsAndInterpolates)
{
  uint32_t row0[2] = {0x00000000, 0xFFFFFFFF};
  int32_t fx[3] = {0, 0x8000, 0x10000};
  uint32_t out[3];
  Raster_SpanBilinear(out, row0, row0, 2, fx, 3, 0);
  EXPECT_EQ(out[0], 0x00000000u);
  EXPECT_EQ(out[1], 0x7F7F7F7Fu);  // (32640 * 32768) >> 23 = 127
  EXPECT_EQ(out[2], 0xFFFFFFFFu);  // last column: its own right neighbour

  uint32_t c[2] = {0x80402010, 0x80402010};
  int32_t fx2[2] = {0x1234, 0xFFFF};
  Raster_SpanBilinear(out, c, c, 2, fx2, 2, 0x7777);
  EXPECT_EQ(out[0], 0x80402010u);
  EXPECT_EQ(out[1], 0x80402010u);
}

// The whole 16-bit fractions weigh the neighbours: against the real-valued interpolation
// floor(sum of p * (1 - u or u) * (1 - v or v)) the result is exact or one level lower (the
// column pass keeps seven fraction bits), never further off. Seven-bit weights were off by up
// to four levels.
TEST(Span, BilinearFollowsTheFullFractions)
{
  std::mt19937 rng(21);
  int exact = 0, total = 0;
  for (int k = 0; k < 4000; ++k)
  {
    const uint32_t row0[2] = {(uint32_t)rng(), (uint32_t)rng()}, row1[2] = {(uint32_t)rng(), (uint32_t)rng()};
    const int32_t fx[1] = {(int32_t)(rng() & 0xFFFF)};
    const int fy = (int)(rng() & 0xFFFF);
    uint32_t out;
    Raster_SpanBilinear(&out, row0, row1, 2, fx, 1, fy);
    const double u = fx[0] / 65536.0, v = fy / 65536.0;
    for (int sh = 0; sh < 32; sh += 8)
    {
      auto c = [&](uint32_t p) { return (double)((p >> sh) & 0xFF); };
      const double real = (c(row0[0]) * (1 - u) + c(row0[1]) * u) * (1 - v) + (c(row1[0]) * (1 - u) + c(row1[1]) * u) * v;
      const int want = (int)std::floor(real + 1e-9), got = (int)((out >> sh) & 0xFF);
      ASSERT_TRUE(got == want || got == want - 1) << "got " << got << " real " << real;
      exact += got == want;
      ++total;
    }
  }
  EXPECT_GT(exact, total * 95 / 100);
}

// Upscaling a two-pixel ramp from 0 to 255 by 256 steps through every level the real-valued
// interpolation reaches (255 of them: floor(255 k / 256) for k = 0..255), not 128.
TEST(Span, BilinearRampKeepsEveryLevel)
{
  const uint32_t row[2] = {0xFF000000u, 0xFFFFFFFFu};
  int32_t fx[256];
  for (int k = 0; k < 256; ++k) fx[k] = k << 8;
  uint32_t out[256];
  Raster_SpanBilinear(out, row, row, 2, fx, 256, 0);
  std::set<int> levels;
  for (int k = 0; k < 256; ++k)
  {
    EXPECT_EQ((int)(out[k] & 0xFF), 255 * k / 256) << k;
    levels.insert((int)(out[k] & 0xFF));
  }
  EXPECT_EQ(levels.size(), 255u);
}

#if RASTER_HAVE_SSE2
TEST(SpanSSE2, WeightedCopiesMatchScalarAtEveryWeight)
{
  std::mt19937 rng(11);
  std::vector<uint32_t> src(1031), base(1031);
  for (auto& p : src) p = RandomPixel(rng);
  for (auto& p : base) p = RandomPixel(rng);
  for (int w = 1; w < 256; ++w)
  {
    std::vector<uint32_t> a = base, b = base;
    Raster_SpanCopyWeighted_Scalar(a.data(), src.data(), (int)a.size(), w);
    Raster_SpanCopyWeighted_SSE2(b.data(), src.data(), (int)b.size(), w);
    ASSERT_EQ(a, b) << "copy w " << w;
    a = base, b = base;
    Raster_SpanCopySourceAlphaWeighted_Scalar(a.data(), src.data(), (int)a.size(), w);
    Raster_SpanCopySourceAlphaWeighted_SSE2(b.data(), src.data(), (int)b.size(), w);
    ASSERT_EQ(a, b) << "source alpha w " << w;
  }
}
#endif
