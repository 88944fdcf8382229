// Rectangle outlines: the corners are included, so an outline spans width + 1 columns.
#include <gtest/gtest.h>

#include "Raster_Fill.h"
#include "Raster_Rect.h"
#include "RasterTestUtil.h"

TEST(Rect, BorderedRectCoversWidthPlusOneColumns)
{
  Raster_MemBitmap bm(16, 8, 4);
  Raster_Clear(&bm, 0);
  Raster_BorderedRect(&bm, 2, 1, 10, 5, 0xFF00FF00, 0xFFFF0000, 1.0f, 0);
  for (int x = 0; x < 16; ++x)
  {
    uint32_t top = Px(bm, x, 1), mid = Px(bm, x, 3), bottom = Px(bm, x, 6);
    bool inside = x >= 2 && x <= 12;  // x to x + 10: 11 columns
    EXPECT_EQ(top, inside ? 0xFFFF0000u : 0u) << x;
    EXPECT_EQ(bottom, inside ? 0xFFFF0000u : 0u) << x;
    EXPECT_EQ(mid, (x == 2 || x == 12) ? 0xFFFF0000u : (inside ? 0xFF00FF00u : 0u)) << x;
  }
  EXPECT_EQ(Px(bm, 5, 0), 0u);
  EXPECT_EQ(Px(bm, 5, 7), 0u);
}
