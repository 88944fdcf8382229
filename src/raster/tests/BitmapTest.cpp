// Memory and system bitmaps: geometry, alignment, growth and the keep-on-shrink rule.
#include <gtest/gtest.h>

#include <cstdint>

#include "Raster_Bitmap.h"

TEST(MemBitmap, RowSpanFollowsLowestBitOfAlignmentCappedAt16)
{
  struct Case
  {
    int align, width, rowSpan;
  } cases[] = {
      {0, 5, 5}, {1, 5, 5}, {2, 5, 6}, {4, 5, 8}, {4, 8, 8}, {6, 5, 6},  // 6: lowest set bit is 2
      {16, 17, 32}, {32, 17, 32}, {24, 17, 32},                            // above 16 counts as 16
  };
  for (const Case& c : cases)
  {
    Raster_MemBitmap bm(c.width, 3, c.align);
    EXPECT_EQ(bm.getRowSpan(), c.rowSpan) << "align " << c.align << " width " << c.width;
    EXPECT_EQ(bm.getWidth(), c.width);
    EXPECT_EQ(bm.getHeight(), 3);
  }
}

TEST(MemBitmap, BitsAre64ByteAlignedAndWritable)
{
  for (int w = 1; w < 40; w += 7)
  {
    Raster_MemBitmap bm(w, 5, 4);
    uint32_t* bits = bm.getBits();
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ((uintptr_t)bits % 64, 0u);
    EXPECT_EQ(bm.getAllocatedSize(), bm.getRowSpan() * 5 * 4);
    for (int i = 0; i < bm.getRowSpan() * 5; ++i) bits[i] = 0xDEADBEEF;  // ASan checks the extent
  }
}

TEST(MemBitmap, ResizeGrowsWithHeadroomKeepsOnShrinkFreesAtZero)
{
  Raster_MemBitmap bm(0, 0, 4);
  EXPECT_EQ(bm.getBits(), nullptr);
  EXPECT_FALSE(bm.resize(0, 0));

  EXPECT_TRUE(bm.resize(8, 8));
  EXPECT_EQ(bm.getAllocatedSize(), 8 * 8 * 4);  // first allocation is exact
  EXPECT_FALSE(bm.resize(8, 8));

  EXPECT_TRUE(bm.resize(16, 8));
  EXPECT_EQ(bm.getAllocatedSize(), 16 * 8 * 4 * 5 / 4);  // growth adds 25 %

  EXPECT_TRUE(bm.resize(4, 4));
  EXPECT_EQ(bm.getAllocatedSize(), 16 * 8 * 4 * 5 / 4);  // shrinking keeps the buffer
  EXPECT_NE(bm.getBits(), nullptr);

  EXPECT_TRUE(bm.resize(0, 0));
  EXPECT_EQ(bm.getBits(), nullptr);
  EXPECT_EQ(bm.getAllocatedSize(), 0);
}

TEST(MemBitmap, NegativeOrHugeSizesLeaveAnEmptyBitmap)
{
  Raster_MemBitmap bm(4, 4, 4);
  EXPECT_TRUE(bm.resize(-3, 4));
  EXPECT_EQ(bm.getWidth(), 0);
  EXPECT_EQ(bm.getBits(), nullptr);

  // 65536 x 65536 pixels would overflow the 32-bit byte count: refuse instead of wrapping.
  EXPECT_TRUE(bm.resize(65536, 65536));
  EXPECT_EQ(bm.getWidth(), 0);
  EXPECT_EQ(bm.getHeight(), 0);
  EXPECT_EQ(bm.getBits(), nullptr);
}

TEST(MemBitmap, BaseHooks)
{
  Raster_MemBitmap bm(2, 2);
  EXPECT_FALSE(bm.isFlipped());
  EXPECT_EQ(bm.getDC(), nullptr);
  EXPECT_EQ(bm.Extended(1, nullptr), 0);
}

TEST(SysBitmap, RowSpanIsWidthRoundedToFourAndContextExists)
{
  Raster_SysBitmap bm(5, 3);
  EXPECT_EQ(bm.getWidth(), 5);
  EXPECT_EQ(bm.getHeight(), 3);
  EXPECT_EQ(bm.getRowSpan(), 8);
  ASSERT_NE(bm.getBits(), nullptr);
  EXPECT_NE(bm.getDC(), nullptr);
  for (int i = 0; i < 8 * 3; ++i) bm.getBits()[i] = 0x12345678;
}

TEST(SysBitmap, ResizeKeepsLargerAllocationAndRejectsEmpty)
{
  Raster_SysBitmap bm(16, 16);
  uint32_t* bits = bm.getBits();
  ASSERT_NE(bits, nullptr);
  EXPECT_FALSE(bm.resize(16, 16));
  EXPECT_TRUE(bm.resize(10, 12));  // fits in what is there: same pixels, same span
  EXPECT_EQ(bm.getBits(), bits);
  EXPECT_EQ(bm.getRowSpan(), 16);
  EXPECT_EQ(bm.getWidth(), 10);

  EXPECT_TRUE(bm.resize(33, 2));  // wider: reallocated
  EXPECT_EQ(bm.getRowSpan(), 36);
  ASSERT_NE(bm.getBits(), nullptr);
  EXPECT_NE(bm.getDC(), nullptr);
  bm.getBits()[36 * 2 - 1] = 1;

  EXPECT_FALSE(bm.resize(0, 7));
  EXPECT_EQ(bm.getBits(), nullptr);
  EXPECT_EQ(bm.getWidth(), 0);
}

TEST(SysBitmap, EmptyConstructionHasNoPixels)
{
  Raster_SysBitmap bm;
  EXPECT_EQ(bm.getBits(), nullptr);
  EXPECT_EQ(bm.getWidth(), 0);
  EXPECT_TRUE(bm.resize(3, 3));
  EXPECT_NE(bm.getBits(), nullptr);
}
