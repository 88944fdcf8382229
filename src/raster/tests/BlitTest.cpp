// Blits: clipping, flipped bitmaps, channel copy, the fast paths against the combine formulas,
// scaled, rotated, delta and mesh blits, halving and blur.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>

#include "Raster_Blit.h"
#include "Raster_Fill.h"
#include "RasterTestUtil.h"

namespace
{
const double kPi = 3.14159265358979323846;

// Every pixel of dest compared with a reference computed per pixel through
// Raster_CombinePixels, the one-pixel definition of each mode.
void ExpectBlitMatchesCombine(int mode, float weight, bool flipDest, bool flipSrc)
{
  std::mt19937 rng(mode * 31 + (int)(weight * 1000) + flipDest * 7 + flipSrc * 3);
  const int W = 37, H = 11;
  Raster_MemBitmap plainSrc(W, H, 1), plainDest(W + 5, H + 3, 4);
  FlippedMemBitmap flippedSrc(W, H), flippedDest(W + 5, H + 3);
  Raster_IBitmap& src = flipSrc ? (Raster_IBitmap&)flippedSrc : plainSrc;
  Raster_IBitmap& dest = flipDest ? (Raster_IBitmap&)flippedDest : plainDest;
  FillRandom(src, rng);
  FillRandom(dest, rng);
  Raster_MemBitmap before(dest.getWidth(), dest.getHeight(), 1);
  for (int y = 0; y < dest.getHeight(); ++y)
    for (int x = 0; x < dest.getWidth(); ++x) Px(before, x, y) = Px(dest, x, y);

  Raster_Blit(&dest, &src, 3, 2, nullptr, weight, mode);
  for (int y = 0; y < dest.getHeight(); ++y)
    for (int x = 0; x < dest.getWidth(); ++x)
    {
      uint32_t want = Px(before, x, y);
      if (x >= 3 && y >= 2 && x - 3 < W && y - 2 < H) want = Raster_CombinePixels(want, Px(src, x - 3, y - 2), weight, mode);
      ASSERT_EQ(Px(dest, x, y), want) << std::hex << "mode " << mode << std::dec << " weight " << weight << " at " << x << ","
                                      << y;
    }
}
}  // namespace

TEST(Blit, EveryModeMatchesTheCombineFormulas)
{
  const int modes[] = {0x0, 0x1, 0x2, 0x3, 0x4, 0x5, 0x10000, 0x10001, 0x10002, 0x10003, 0x10004, 0x10005};
  const float weights[] = {1.0f, 0.75f, 0.3f, 0.01f};
  for (int mode : modes)
    for (float w : weights) ExpectBlitMatchesCombine(mode, w, false, false);
  // Flipped source and destination walk their rows backwards.
  ExpectBlitMatchesCombine(0x10000, 1.0f, true, false);
  ExpectBlitMatchesCombine(0x10000, 1.0f, false, true);
  ExpectBlitMatchesCombine(0x1, 0.5f, true, true);
  ExpectBlitMatchesCombine(0x0, 1.0f, true, true);
}

TEST(Blit, HalfWeightCopyAveragesWithTruncationAlphaIncluded)
{
  Raster_MemBitmap dest(2, 1, 1), src(2, 1, 1);
  Px(dest, 0, 0) = 0xFF010203;
  Px(src, 0, 0) = 0x01030507;
  Px(dest, 1, 0) = 0x00FFFFFF;
  Px(src, 1, 0) = 0xFF000001;
  Raster_Blit(&dest, &src, 0, 0, nullptr, 0.5f, 0);
  EXPECT_EQ(Px(dest, 0, 0), 0x7F010304u);  // (d >> 1) + (s >> 1) per channel, not (d + s) >> 1
  EXPECT_EQ(Px(dest, 1, 0), 0x7F7F7F7Fu);
}

TEST(Blit, NegativeSourceRectangleShiftsTheDrawnArea)
{
  Raster_MemBitmap dest(8, 1, 1), src(4, 1, 1);
  Raster_Clear(&dest, 0);
  for (int x = 0; x < 4; ++x) Px(src, x, 0) = 0xFF000000u | (uint32_t)(x + 1);
  RECT r = {-2, 0, 3, 1};
  Raster_Blit(&dest, &src, 1, 0, &r, 1.0f, 0);
  const uint32_t want[8] = {0, 0, 0, 0xFF000001, 0xFF000002, 0xFF000003, 0, 0};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(Px(dest, x, 0), want[x]) << x;
}

TEST(Blit, ClipsAgainstDestinationAndSource)
{
  Raster_MemBitmap dest(4, 4, 1), src(4, 4, 1);
  Raster_Clear(&dest, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) Px(src, x, y) = (uint32_t)(y * 16 + x);
  Raster_Blit(&dest, &src, -1, -2, nullptr, 1.0f, 0);  // cuts one column and two rows of the source
  EXPECT_EQ(Px(dest, 0, 0), 0x21u);
  EXPECT_EQ(Px(dest, 2, 1), 0x33u);
  EXPECT_EQ(Px(dest, 3, 0), 0u);
  EXPECT_EQ(Px(dest, 0, 2), 0u);
  Raster_Blit(&dest, &src, 3, 3, 1, 1, 100, 100, 1.0f, 0);  // huge size: limited to both bitmaps
  EXPECT_EQ(Px(dest, 3, 3), 0x11u);
  Raster_Blit(&dest, &src, 4, 0, nullptr, 1.0f, 0);  // entirely outside: nothing
  Raster_Blit(&dest, nullptr, 0, 0, nullptr, 1.0f, 0);
  Raster_Blit(nullptr, &src, 0, 0, nullptr, 1.0f, 0);
  Raster_MemBitmap empty;
  Raster_Blit(&dest, &empty, 0, 0, nullptr, 1.0f, 0);
  Raster_Blit(&empty, &src, 0, 0, nullptr, 1.0f, 0);
  EXPECT_EQ(Px(dest, 0, 0), 0x21u);
}

TEST(Blit, ChannelCopyMovesOneByte)
{
  Raster_MemBitmap dest(3, 1, 1), src(3, 1, 1);
  const uint32_t s[3] = {0x11223344, 0xAABBCCDD, 0x00FF0000};
  for (int x = 0; x < 3; ++x)
  {
    Px(src, x, 0) = s[x];
    Px(dest, x, 0) = 0x55667788;
  }
  Raster_Blit(&dest, &src, 0, 0, nullptr, 0.3f, 0xF6);  // byte 2 (red) -> byte 1 (green)
  EXPECT_EQ(Px(dest, 0, 0), 0x55662288u);
  EXPECT_EQ(Px(dest, 1, 0), 0x5566BB88u);
  EXPECT_EQ(Px(dest, 2, 0), 0x5566FF88u);
}

TEST(Blit, ZeroWeightAndUnknownModesDrawNothing)
{
  Raster_MemBitmap dest(2, 2, 1), src(2, 2, 1);
  Raster_Clear(&dest, 0x12345678);
  Raster_Clear(&src, 0xFFFFFFFF);
  Raster_Blit(&dest, &src, 0, 0, nullptr, 0.0f, 0);
  Raster_Blit(&dest, &src, 0, 0, nullptr, 0.001f, 0);  // integer weight 0
  Raster_Blit(&dest, &src, 0, 0, nullptr, 1.0f, 0x7);
  Raster_Blit(&dest, &src, 0, 0, nullptr, 1.0f, 0x10009);
  EXPECT_EQ(Px(dest, 1, 1), 0x12345678u);
}

TEST(Blit, CopyResizesAndCopies)
{
  Raster_MemBitmap dest(1, 1, 4), src(5, 3, 1);
  std::mt19937 rng(9);
  FillRandom(src, rng);
  Raster_Copy(&dest, &src);
  ASSERT_EQ(dest.getWidth(), 5);
  ASSERT_EQ(dest.getHeight(), 3);
  EXPECT_FALSE(Raster_BitmapCmp(&dest, &src, nullptr));
}

TEST(ScaledBlit, EqualSizeAtIntegerOriginIsABlit)
{
  std::mt19937 rng(4);
  Raster_MemBitmap src(20, 15, 1), a(24, 18, 4), b(24, 18, 4);
  FillRandom(src, rng);
  FillRandom(a, rng);
  for (int mode : {0x0, 0x10000, 0x1, 0x100, 0x10100})
    for (float w : {1.0f, 0.5f, 0.6f})
    {
      Raster_Copy(&b, &a);
      Raster_Blit(&a, &src, 2, 1, 3, 2, 12, 9, w, mode);
      Raster_ScaledBlit(&b, &src, 2, 1, 12, 9, 3.0f, 2.0f, 12.0f, 9.0f, w, mode);
      ASSERT_FALSE(Raster_BitmapCmp(&a, &b, nullptr)) << "mode " << mode << " weight " << w;
    }
}

TEST(ScaledBlit, NearestDoublesAndMirrors)
{
  Raster_MemBitmap src(2, 2, 1), dest(4, 4, 1);
  const uint32_t p[4] = {0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004};
  Px(src, 0, 0) = p[0], Px(src, 1, 0) = p[1], Px(src, 0, 1) = p[2], Px(src, 1, 1) = p[3];
  Raster_ScaledBlit(&dest, &src, 0, 0, 4, 4, 0, 0, 2, 2, 1.0f, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Px(dest, x, y), p[(y / 2) * 2 + x / 2]) << x << "," << y;

  // A negative width mirrors horizontally: the destination rectangle is (0..3) again.
  Raster_Clear(&dest, 0);
  Raster_ScaledBlit(&dest, &src, 4, 0, -4, 4, 0, 0, 2, 2, 1.0f, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Px(dest, x, y), p[(y / 2) * 2 + 1 - x / 2]) << x << "," << y;

  // Same size, mirrored: exactly the reversed rows.
  Raster_MemBitmap row(5, 1, 1), out(5, 1, 1);
  for (int x = 0; x < 5; ++x) Px(row, x, 0) = (uint32_t)x;
  Raster_ScaledBlit(&out, &row, 5, 0, -5, 1, 0, 0, 5, 1, 1.0f, 0);
  for (int x = 0; x < 5; ++x) EXPECT_EQ(Px(out, x, 0), (uint32_t)(4 - x));
}

TEST(ScaledBlit, SamplesStayInsideTheSource)
{
  // Source rectangle reaching past the bitmap, destination partly off-screen: ASan checks
  // the reads; pixels mapping outside the source are left alone.
  Raster_MemBitmap src(3, 3, 1), dest(10, 10, 1);
  Raster_Clear(&src, 0xFFFFFFFF);
  Raster_Clear(&dest, 0);
  Raster_ScaledBlit(&dest, &src, -3, -3, 13, 13, -1.0f, -1.0f, 6.0f, 6.0f, 1.0f, 0);
  EXPECT_EQ(Px(dest, 0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(Px(dest, 9, 9), 0u);  // source x = 5.4 lies beyond the bitmap
  Raster_ScaledBlit(&dest, &src, -3, -3, 13, 13, -1.0f, -1.0f, 6.0f, 6.0f, 1.0f, 0x100);
  // Extreme arguments from callers' arithmetic: no overflow, no undefined conversion.
  Raster_ScaledBlit(&dest, &src, -2000000000, 0, 2100000000, 5, 0.0f, 0.0f, 3e38f, 3.0f, 1.0f, 0);
  Raster_ScaledBlit(&dest, &src, 0, 0, 10, 10, -3e38f, 0.0f, 3.0f, 3.0f, 1.0f, 0x100);
  Raster_ScaledBlit(&dest, &src, 0, 0, 10, 10, __builtin_nanf(""), 0.0f, 3.0f, 3.0f, 1.0f, 0);
  Raster_ScaledBlit(&dest, &src, -2147483647, -2147483647, 2147483647, 2147483647, 0.0f, 0.0f, 3.0f, 3.0f, 1.0f, 0x100);
  Raster_RotatedBlit(&dest, &src, 0, 0, 10, 10, 0.0f, 0.0f, 3e38f, 3.0f, 1.0, false, 1.0f, 0);
  Raster_RotatedBlit(&dest, &src, -2147483647, 0, 2147483647, 10, 0.0f, 0.0f, 3.0f, 3.0f, 1e300, false, 1.0f, 0);
  Raster_RotatedBlit(&dest, &src, -2147483647, -2147483647, 2147483647, 2147483647, 0.0f, 0.0f, 3e38f, 3e38f, 0.3, false, 1.0f, 0);
  Raster_ScaledBlit(&dest, &src, 0, 0, 10, 10, 0.0f, 0.0f, 3.0f, 3.0f, 0.7f, 0x10101);
}

TEST(ScaledBlit, BilinearAndFilterDownKeepConstantImages)
{
  Raster_MemBitmap src(40, 40, 4), up(100, 100, 4), down(10, 10, 4);
  Raster_Clear(&src, 0x80C04020);
  Raster_ScaledBlit(&up, &src, 0, 0, 100, 100, 0, 0, 40, 40, 1.0f, 0x100);
  Raster_ScaledBlit(&down, &src, 0, 0, 10, 10, 0, 0, 40, 40, 1.0f, 0x100);  // 4x: 5 x 5 kernel
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
    {
      EXPECT_EQ(Px(up, x * 10, y * 10), 0x80C04020u);
      EXPECT_EQ(Px(down, x, y), 0x80C04020u);
    }
}

TEST(ScaledBlit, FilterDownAveragesNeighbours)
{
  // A 2x reduction of alternating black and white columns lands on grey, where nearest
  // sampling would pick one of the two.
  Raster_MemBitmap src(8, 8, 1), down(4, 4, 1), nearest(4, 4, 1);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) Px(src, x, y) = x & 1 ? 0xFFFFFFFF : 0xFF000000;
  Raster_ScaledBlit(&down, &src, 0, 0, 4, 4, 0, 0, 8, 8, 1.0f, 0x100);
  Raster_ScaledBlit(&nearest, &src, 0, 0, 4, 4, 0, 0, 8, 8, 1.0f, 0);
  EXPECT_EQ(Px(nearest, 1, 1), 0xFF000000u);
  uint32_t g = Px(down, 1, 1);
  EXPECT_EQ(g >> 24, 0xFFu);
  EXPECT_GT(g & 0xFF, 0x40u);
  EXPECT_LT(g & 0xFF, 0xC0u);
}

TEST(RotatedBlit, ZeroAndRightAngles)
{
  const int N = 6;
  Raster_MemBitmap src(N, N, 1), dest(N, N, 1);
  for (int y = 0; y < N; ++y)
    for (int x = 0; x < N; ++x) Px(src, x, y) = (uint32_t)(y * N + x + 1);
  Raster_RotatedBlit(&dest, &src, 0, 0, N, N, 0, 0, N, N, 0.0, true, 1.0f, 0);
  EXPECT_FALSE(Raster_BitmapCmp(&dest, &src, nullptr));

  Raster_RotatedBlit(&dest, &src, 0, 0, N, N, 0, 0, N, N, kPi / 2, true, 1.0f, 0);
  for (int y = 0; y < N; ++y)
    for (int x = 0; x < N; ++x) ASSERT_EQ(Px(dest, x, y), Px(src, N - 1 - y, x)) << x << "," << y;

  Raster_RotatedBlit(&dest, &src, 0, 0, N, N, 0, 0, N, N, kPi, true, 1.0f, 0);
  for (int y = 0; y < N; ++y)
    for (int x = 0; x < N; ++x) ASSERT_EQ(Px(dest, x, y), Px(src, N - 1 - x, N - 1 - y)) << x << "," << y;
}

TEST(RotatedBlit, ClipFlagLimitsSamplingToTheSourceRectangle)
{
  Raster_MemBitmap src(8, 8, 1), dest(4, 4, 1);
  Raster_Clear(&src, 0xFF0000FF);
  Raster_FillRect(&src, 2, 2, 4, 4, 0xFFFF0000, 1.0f, 0);
  // 45 degrees of the inner square: the corners of the destination fall outside it.
  Raster_Clear(&dest, 0);
  Raster_RotatedBlit(&dest, &src, 0, 0, 4, 4, 2, 2, 4, 4, kPi / 4, true, 1.0f, 0);
  EXPECT_EQ(Px(dest, 0, 0), 0u);
  EXPECT_EQ(Px(dest, 2, 2), 0xFFFF0000u);
  Raster_RotatedBlit(&dest, &src, 0, 0, 4, 4, 2, 2, 4, 4, kPi / 4, false, 1.0f, 0);
  EXPECT_EQ(Px(dest, 0, 0), 0xFF0000FFu);  // without the flag the surrounding pixels show
}

TEST(DeltaBlit, AlphaRampAndTransformIdentity)
{
  std::mt19937 rng(5);
  Raster_MemBitmap src(9, 7, 1), dest(9, 7, 1), ref(9, 7, 1);
  FillRandom(src, rng);
  Raster_Clear(&dest, 0);
  RECT dr = {0, 0, 9, 7}, sr = {0, 0, 9, 7};
  // Weight factor 0 in column 0 and 1 from column 4 on.
  Raster_DeltaBlitAlpha(&dest, &src, &dr, &sr, 0.5, 0.5, 1, 0, 0, 1, 0.0, 0.25, 0.0, true, 1.0f, 0);
  for (int y = 0; y < 7; ++y)
  {
    EXPECT_EQ(Px(dest, 0, y), 0u);
    EXPECT_EQ(Px(dest, 2, y), Raster_CombinePixels(0, Px(src, 2, y), 0.5f, 0));
    EXPECT_EQ(Px(dest, 5, y), Px(src, 5, y));
  }

  const double grid[] = {0, 0, 9, 0, 0, 7, 9, 7};
  Raster_Clear(&dest, 0);
  Raster_TransformBlit2(&dest, &src, &dr, grid, 2, 2, 1.0f, 0);
  EXPECT_FALSE(Raster_BitmapCmp(&dest, &src, nullptr));
  const float gridF[] = {9, 0, 0, 0, 9, 7, 0, 7};  // mirrored horizontally
  Raster_TransformBlit(&dest, &src, &dr, gridF, 2, 2, 1.0f, 0);
  for (int x = 0; x < 9; ++x) EXPECT_EQ(Px(dest, x, 3), Px(src, 8 - x, 3));
  const double gridA[] = {0, 0, 1, 9, 0, 1, 0, 7, 1, 9, 7, 1};
  Raster_Clear(&dest, 0);
  Raster_TransformBlit2Alpha(&dest, &src, &dr, gridA, 2, 2, 1.0f, 0);
  EXPECT_FALSE(Raster_BitmapCmp(&dest, &src, nullptr));
}

// Destination edges at the ends of the int range with the largest deltas: the start position
// sums two products near 2^62 and must neither overflow (UBSan in the sanitizer build) nor
// draw. A rectangle starting far left still draws its visible part at the right place.
TEST(DeltaBlit, ExtremeEdgesAndDeltasDrawNothingOrClip)
{
  std::mt19937 rng(11);
  Raster_MemBitmap src(9, 7, 1), dest(9, 7, 1);
  FillRandom(src, rng);
  struct Case
  {
    RECT dr;
    double dxc, dyc, dxr, dyr;
  } cases[] = {
      {{INT_MIN, INT_MIN, 9, 7}, 32768, 0, 32768, 0},
      {{INT_MIN, INT_MIN, 9, 7}, -32768, -32768, -32768, -32768},
      {{INT_MIN, INT_MIN, 9, 7}, 1e12, 1e12, 1e12, 1e12},
      {{INT_MIN, 0, INT_MAX, 7}, 32768, 32768, 0, 0},
      {{0, INT_MIN, 9, INT_MAX}, 0, 0, -32768, 32768},
  };
  for (const Case& c : cases)
    for (int mode : {0, 0x100})
    {
      Raster_Clear(&dest, 0);
      RECT sr = {0, 0, 9, 7};
      Raster_DeltaBlit(&dest, &src, &c.dr, &sr, 0.0, 0.0, c.dxc, c.dyc, c.dxr, c.dyr, false, 1.0f, mode);
      for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) ASSERT_EQ(Px(dest, x, y), 0u) << x << "," << y << " case " << (&c - cases) << " mode " << mode;
    }
  // Unit steps from a start far to the left: column x samples source column x.
  RECT dr = {-1000000, 0, 9, 7}, sr = {0, 0, 9, 7};
  Raster_Clear(&dest, 0);
  Raster_DeltaBlit(&dest, &src, &dr, &sr, -1000000.0, 0.0, 1, 0, 0, 1, true, 1.0f, 0);
  EXPECT_FALSE(Raster_BitmapCmp(&dest, &src, nullptr));
}

TEST(Filters, HalveBlitAA)
{
  Raster_MemBitmap src(5, 4, 1), dest(3, 3, 1);
  Raster_Clear(&dest, 0x01010101);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) Px(src, x, y) = (x + y) & 1 ? 0xFFFFFFFF : 0x00000000;
  Px(src, 2, 2) = 0x80402010, Px(src, 3, 2) = 0x80402010, Px(src, 2, 3) = 0x80402010, Px(src, 3, 3) = 0x80402010;
  Raster_HalveBlitAA(&dest, &src);
  EXPECT_EQ(Px(dest, 0, 0), 0x7E7E7E7Eu);  // 2 x (0xFF >> 2) per channel
  EXPECT_EQ(Px(dest, 1, 1), 0x80402010u);
  EXPECT_EQ(Px(dest, 2, 0), 0x01010101u);  // outside min(3, 5 / 2) columns: untouched
  EXPECT_EQ(Px(dest, 0, 2), 0x01010101u);
}

TEST(Filters, BlurWeightsAndInPlace)
{
  Raster_MemBitmap src(5, 5, 1), dest(5, 5, 1);
  Raster_Clear(&src, 0);
  Px(src, 2, 2) = 0x80808080;
  Px(src, 0, 0) = 0x80808080;
  Raster_Blur(&dest, &src, 0, 0, 0, 0, 5, 5);
  EXPECT_EQ(Px(dest, 2, 2), 0x40404040u);  // centre 1/2
  EXPECT_EQ(Px(dest, 1, 2), 0x10101010u);  // neighbour 1/8
  EXPECT_EQ(Px(dest, 2, 1), 0x10101010u);
  EXPECT_EQ(Px(dest, 1, 1), 0u);
  EXPECT_EQ(Px(dest, 0, 0), 0x40404040u);  // corner: centre 1/2
  EXPECT_EQ(Px(dest, 1, 0), 0x10101010u);  // top row, horizontal neighbour 1/8
  EXPECT_EQ(Px(dest, 0, 1), 0x10101010u);

  Raster_MemBitmap row(3, 2, 1);
  Px(row, 0, 0) = 0x80808080, Px(row, 1, 0) = 0, Px(row, 2, 0) = 0;
  Px(row, 0, 1) = 0, Px(row, 1, 1) = 0, Px(row, 2, 1) = 0;
  Raster_Blur(&row, &row, 0, 0, 0, 0, 3, 2);  // in place
  EXPECT_EQ(Px(row, 0, 0), 0x40404040u);
  EXPECT_EQ(Px(row, 1, 0), 0x10101010u);  // end-row pixel: horizontal neighbours 1/8
  EXPECT_EQ(Px(row, 0, 1), 0x20202020u);  // single vertical neighbour 1/4

  std::mt19937 rng(6);
  Raster_MemBitmap big(1500, 3, 1), copy(1500, 3, 1), out(1500, 3, 1);
  FillRandom(big, rng);
  Raster_Copy(&copy, &big);
  Raster_Blur(&out, &big, 0, 0, 0, 0, 1500, 3);
  Raster_Blur(&copy, &copy, 0, 0, 0, 0, 1500, 3);  // heap row buffer, in place
  EXPECT_FALSE(Raster_BitmapCmp(&out, &copy, nullptr));
  Raster_Blur(&out, &big, 0, 0, 0, 0, 1, 5);  // below 2 x 2: nothing
}

TEST(ScaledBlit, FlippedBitmapsGiveTheSameLogicalPicture)
{
  std::mt19937 rng(8);
  Raster_MemBitmap src(13, 9, 1), dest(30, 20, 1);
  FlippedMemBitmap fsrc(13, 9), fdest(30, 20);
  FillRandom(src, rng);
  FillRandom(dest, rng);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 13; ++x) Px(fsrc, x, y) = Px(src, x, y);
  for (int mode : {0x0, 0x100, 0x10000, 0x10101})
    for (float w : {1.0f, 0.5f, 0.8f})
    {
      for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) Px(fdest, x, y) = Px(dest, x, y);
      Raster_ScaledBlit(&dest, &src, 1, 2, 27, 17, 0.5f, 0.25f, 12.0f, 8.5f, w, mode);
      Raster_ScaledBlit(&fdest, &fsrc, 1, 2, 27, 17, 0.5f, 0.25f, 12.0f, 8.5f, w, mode);
      for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) ASSERT_EQ(Px(fdest, x, y), Px(dest, x, y)) << "mode " << mode << " w " << w;
    }
}

TEST(ScaledBlit, NearestAtHalfWeightAndOtherWeightsCombineTheSampledPixel)
{
  std::mt19937 rng(10);
  Raster_MemBitmap src(3, 3, 1), dest(6, 6, 1), before(6, 6, 1);
  FillRandom(src, rng);
  for (int mode : {0x0, 0x1, 0x10000, 0x10003})
    for (float w : {0.5f, 0.7f})
    {
      FillRandom(dest, rng);
      Raster_Copy(&before, &dest);
      Raster_ScaledBlit(&dest, &src, 0, 0, 6, 6, 0, 0, 3, 3, w, mode);
      for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
        {
          uint32_t d = Px(before, x, y), s = Px(src, x / 2, y / 2);
          // Opaque copy at exactly 0.5 is the whole-word half mix, which truncates each half.
          uint32_t want = mode == 0 && w == 0.5f ? ((s >> 1) & 0x7F7F7F7F) + ((d >> 1) & 0x7F7F7F7F)
                                                 : Raster_CombinePixels(d, s, w, mode);
          ASSERT_EQ(Px(dest, x, y), want) << "mode " << mode << " w " << w << " at " << x << "," << y;
        }
    }
}
