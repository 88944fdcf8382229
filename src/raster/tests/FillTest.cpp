// Fills, single pixels, masks and the per-pixel rectangle operations.
#include <gtest/gtest.h>

#include <random>

#include "Raster_Fill.h"
#include "RasterTestUtil.h"

TEST(FillRect, WholeWordWeightsAndTheCopyFormulaBetween)
{
  struct Case
  {
    float weight;
    int mode;
    uint32_t dest, colour, expect;
  } cases[] = {
      {1.0f, 0, 0x12345678, 0x80FF8040, 0x80FF8040},   // plain colour, its own alpha
      {0.5f, 0, 0xFF010203, 0x01030507, 0x7F010304},   // (c >> 1 & 7F..) + (d >> 1 & 7F..)
      {0.25f, 0, 0xFFFFFFFF, 0x00000000, 0xBEBEBEBE},  // quarter of the colour, three of the dest
      {0.75f, 0, 0xFFFFFFFF, 0x00000000, 0x3F3F3F3F},
      {0.3f, 0, 0xFF000000, 0x80FF8040, 0xC94C2613},   // w = 76: alpha moves toward 76, not 0x80
      {0.3f, 1, 0x10101010, 0x80FF8040, 0x265B3623},   // add with (R, G, B, w) at w = 76
      {1.0f, 0x10000, 0x12345678, 0xFF00B8C2, 0xFF00B8C2},  // the fader's bar
      {1.0f, 0x10000, 0x12345678, 0x0000B8C2, 0x12345678},  // alpha 0 with source alpha: nothing
      {1.0f, 0x10000, 0xFF010203, 0x80030507, 0xBF010304},  // alpha 0x80: weight 128, half mix
      {0.0f, 0, 0x12345678, 0xFFFFFFFF, 0x12345678},
      {1.0f, 6, 0x12345678, 0xFFFFFFFF, 0x12345678},  // unknown operation
  };
  for (const Case& c : cases)
  {
    Raster_MemBitmap bm(3, 2, 4);
    Raster_Clear(&bm, c.dest);
    Raster_FillRect(&bm, 1, 1, 5, 5, c.colour, c.weight, c.mode);
    EXPECT_EQ(Px(bm, 1, 1), c.expect) << std::hex << "colour " << c.colour << " weight " << c.weight << " mode " << c.mode;
    EXPECT_EQ(Px(bm, 2, 1), c.expect);
    EXPECT_EQ(Px(bm, 0, 1), c.dest);  // clipping: only (1..2, 1)
    EXPECT_EQ(Px(bm, 1, 0), c.dest);
  }
}

TEST(FillRect, EveryOperationUsesItsClassWithTheWeightAsAlpha)
{
  std::mt19937 rng(7);
  for (int op = 0; op <= 5; ++op)
    for (float weight : {0.9f, 0.4f, 0.1f})
    {
      Raster_MemBitmap bm(17, 3, 4);
      FillRandom(bm, rng);
      Raster_MemBitmap before(17, 3, 1);
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 17; ++x) Px(before, x, y) = Px(bm, x, y);
      uint32_t colour = rng();
      Raster_FillRect(&bm, -2, 0, 30, 3, colour, weight, op);
      int w = Raster_WeightToInt(weight);
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 17; ++x)
        {
          uint32_t want = Px(before, x, y);
          Raster_CombinePixels2(&want, Raster_PixelR(colour), Raster_PixelG(colour), Raster_PixelB(colour), w, w, op);
          ASSERT_EQ(Px(bm, x, y), want) << "op " << op << " weight " << weight;
        }
    }
}

TEST(FillRect, HonoursFlippedBitmapsAndNullInput)
{
  FlippedMemBitmap bm(4, 4);
  Raster_Clear(&bm, 0);
  Raster_FillRect(&bm, 0, 0, 4, 1, 0xFFFFFFFF, 1.0f, 0);
  EXPECT_EQ(Px(bm, 0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(bm.getBits()[0], 0u);                   // row 0 in memory is the bottom row
  EXPECT_EQ(bm.getBits()[3 * 4], 0xFFFFFFFFu);
  Raster_FillRect(nullptr, 0, 0, 4, 4, 0xFFFFFFFF, 1.0f, 0);
  Raster_MemBitmap empty;
  Raster_FillRect(&empty, 0, 0, 4, 4, 0xFFFFFFFF, 1.0f, 0);
}

TEST(Pixels, PutAndGet)
{
  FlippedMemBitmap bm(3, 3);
  Raster_Clear(&bm, 0xFF000000);
  Raster_PutPixel(&bm, 1, 0, 0xFF204060, 1.0f, 0);
  Raster_PutPixel(&bm, 2, 2, 0x01030507, 0.5f, 0);
  Raster_PutPixel(&bm, -1, 0, 0xFFFFFFFF, 1.0f, 0);
  Raster_PutPixel(&bm, 3, 0, 0xFFFFFFFF, 1.0f, 0);
  EXPECT_EQ(Raster_GetPixel(&bm, 1, 0), 0xFF204060u);
  EXPECT_EQ(Px(bm, 1, 0), 0xFF204060u);
  EXPECT_EQ(Raster_GetPixel(&bm, 2, 2), 0x7F010203u);
  EXPECT_EQ(Raster_GetPixel(&bm, 0, 0), 0xFF000000u);
  for (auto xy : {std::pair{-1, 0}, std::pair{0, -1}, std::pair{3, 0}, std::pair{0, 3}})
    EXPECT_EQ(Raster_GetPixel(&bm, xy.first, xy.second), 0u);
  EXPECT_EQ(Raster_GetPixel(nullptr, 0, 0), 0u);
}

TEST(Masks, ClearRectClearAndColourKey)
{
  Raster_MemBitmap bm(4, 2, 4);
  Raster_Clear(&bm, 0x80FF00FF);
  EXPECT_EQ(Px(bm, 3, 1), 0x80FF00FFu);
  Raster_ClearRect(&bm, 2, -1, 5, 2, 0x00FFFFFF, 0x11000000);
  EXPECT_EQ(Px(bm, 2, 0), 0x11FF00FFu);
  EXPECT_EQ(Px(bm, 3, 0), 0x11FF00FFu);
  EXPECT_EQ(Px(bm, 1, 0), 0x80FF00FFu);
  EXPECT_EQ(Px(bm, 2, 1), 0x80FF00FFu);
  Px(bm, 0, 1) = 0x00123456;
  Raster_SetAlphaFromColorMask(&bm, 0x77FF00FF);
  EXPECT_EQ(Px(bm, 0, 0), 0x00FF00FFu);
  EXPECT_EQ(Px(bm, 2, 0), 0x00FF00FFu);
  EXPECT_EQ(Px(bm, 0, 1), 0xFF123456u);
}

TEST(Masks, MultiplyAddAndProcess)
{
  Raster_MemBitmap bm(2, 1, 1);
  Px(bm, 0, 0) = 0x80402010;
  Px(bm, 1, 0) = 0xFFFFFFFF;
  // R x 2, G x 0.5, B x 1 + 10, A x 1 - 300 (negative: 0).
  Raster_MultiplyAddRect(&bm, 0, 0, 2, 1, 2.0f, 0.5f, 1.0f, 1.0f, 0.0f, 0.0f, 10.0f, -300.0f);
  EXPECT_EQ(Px(bm, 0, 0), 0x0080101Au);
  EXPECT_EQ(Px(bm, 1, 0), 0x00FF7FFFu);

  int count = 0;
  Raster_ProcessRect(
      &bm, -5, 0, 6, 9, [](uint32_t* p, void* ctx) { *p = 7, ++*(int*)ctx; }, &count);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(Px(bm, 0, 0), 7u);
  EXPECT_EQ(Px(bm, 1, 0), 0x00FF7FFFu);
}

TEST(GradRect, RampsAndOverwrite)
{
  Raster_MemBitmap bm(5, 2, 4);
  Raster_Clear(&bm, 0x00000000);
  // Red from 0 rising by 0.25 per column, full constant alpha: overwritten, alpha 255.
  Raster_GradRect(&bm, 0, 0, 5, 2, 0.0f, 1.0f, 0.0f, 1.0f, 0.25f, 0, 0, 0, 0, -0.5f, 0, 0, 0);
  EXPECT_EQ(Px(bm, 0, 0), 0xFF00FF00u);
  EXPECT_EQ(Px(bm, 2, 0), 0xFF7FFF00u);  // 0.5 x 255 = 127.5: integer part
  EXPECT_EQ(Px(bm, 4, 0), 0xFFFFFF00u);  // 255 exactly, clamped beyond
  EXPECT_EQ(Px(bm, 0, 1), 0xFF007F00u);  // green down by half a scale per row
  // A start left of the bitmap advances the running values.
  Raster_GradRect(&bm, -2, 0, 7, 1, 0.0f, 0.0f, 0.0f, 1.0f, 0.25f, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(Px(bm, 0, 0), 0xFF7F0000u);
  // Half alpha: the copy formula with weight 128.
  Raster_Clear(&bm, 0xFF000000);
  Raster_GradRect(&bm, 0, 0, 1, 1, 1.0f, 1.0f, 1.0f, 0.5f, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(Px(bm, 0, 0), 0xBF808080u);  // 255 - 127.5 truncated toward zero; alpha 128 + 63
  Raster_GradRect(&bm, 0, 0, 1, 1, __builtin_nanf(""), 1.0f, 1.0f, 0.5f, 0, 0, 0, 0, 0, 0, 0, 0, 0);  // no crash, no UB
}

TEST(SimpleFill, FillsTheConnectedRegionOnly)
{
  // 0 = background, W = wall splitting the bitmap.
  const char* rows[] = {"..W..", "..W..", "..W..", "WWW..", "....."};
  Raster_MemBitmap bm(5, 5, 1);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) Px(bm, x, y) = rows[y][x] == 'W' ? 0xFF000000 : 0xFFFFFFFF;
  Raster_SimpleFill(&bm, 0, 0, 0x00AA0000, 0xFFFFFFFF, 0xFF00FFFF);
  EXPECT_EQ(Px(bm, 1, 2), 0xFFAAFFFFu);
  EXPECT_EQ(Px(bm, 0, 4), 0xFFFFFFFFu);  // beyond the wall
  EXPECT_EQ(Px(bm, 4, 0), 0xFFFFFFFFu);
  EXPECT_EQ(Px(bm, 2, 0), 0xFF000000u);

  // New colour still matching the seed under the mask: must terminate, whole bitmap filled.
  Raster_SimpleFill(&bm, 4, 4, 0x00000001, 0x00000000, 0xFFFFFFFF);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(Px(bm, x, y) & 1, 1u);
}

TEST(BitmapCmp, BoundingRectangleOfDifferences)
{
  Raster_MemBitmap a(6, 4, 4), b(6, 4, 1);
  Raster_Clear(&a, 0x11111111);
  Raster_Clear(&b, 0x11111111);
  RECT r;
  EXPECT_FALSE(Raster_BitmapCmp(&a, &b, &r));
  EXPECT_EQ(r.right, 0);
  Px(b, 1, 2) = 0x11111110;
  Px(b, 4, 1) = 0x01111111;
  EXPECT_TRUE(Raster_BitmapCmp(&a, &b, &r));
  EXPECT_EQ(r.left, 1);
  EXPECT_EQ(r.top, 1);
  EXPECT_EQ(r.right, 5);
  EXPECT_EQ(r.bottom, 3);
  EXPECT_TRUE(Raster_BitmapCmpEx(&a, &b, 0x0000000F, &r));  // only the blue nibble
  EXPECT_EQ(r.left, 1);
  EXPECT_EQ(r.right, 2);
  EXPECT_FALSE(Raster_BitmapCmpEx(&a, &b, 0x00FFFFF0, &r));
  Raster_MemBitmap c(5, 4, 4);
  EXPECT_TRUE(Raster_BitmapCmp(&a, &c, &r));
  EXPECT_EQ(r.right, 6);
}
