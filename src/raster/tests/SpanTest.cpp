// The SSE2 row kernels against their scalar references: identical pixels on large random
// inputs, every length from 0 to 67 at every misalignment, and nothing written past the end.
#include <gtest/gtest.h>

#include <algorithm>
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
    for (auto& p : row0) p = rng();
    for (auto& p : row1) p = rng();
    std::vector<int32_t> fx(n);
    for (auto& f : fx) f = (int32_t)(rng() % ((uint32_t)srcW << 16));
    std::sort(fx.begin(), fx.end());
    if (round & 2) std::reverse(fx.begin(), fx.end());  // mirrored rows run backwards
    if (n > 0) fx[round & 2 ? 0 : n - 1] = ((srcW - 1) << 16) | 0xFFFF;  // the clamped right edge
    int fy = (int)(rng() & 0xFFFF);
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
  EXPECT_EQ(out[1], 0x7F7F7F7Fu);  // (255 * 64 * 128) >> 14 = 127
  EXPECT_EQ(out[2], 0xFFFFFFFFu);  // last column: its own right neighbour

  uint32_t c[2] = {0x80402010, 0x80402010};
  int32_t fx2[2] = {0x1234, 0xFFFF};
  Raster_SpanBilinear(out, c, c, 2, fx2, 2, 0x7777);
  EXPECT_EQ(out[0], 0x80402010u);
  EXPECT_EQ(out[1], 0x80402010u);
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
