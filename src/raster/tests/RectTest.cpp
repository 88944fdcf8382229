// Rectangle outlines: the corners are included, so an outline spans width + 1 columns.
#include <gtest/gtest.h>

#include <climits>

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

// Corners beyond the int range: the edges are limited instead of wrapping round (a wrapped
// x + width once sent the top edge leftwards from x). Runs under UBSan in the sanitizer build.
TEST(Rect, ExtremeArgumentsClipOrDrawNothing)
{
  struct Case
  {
    int x, y, width, height;
    int firstInkColumn;  // of row y (when y is inside), or -1 for nothing drawn
  } cases[] = {
      {5, 2, INT_MAX, 3, 5},           // right edge beyond the range: top edge runs to the border
      {INT_MIN, 2, INT_MAX, 3, -1},    // right edge at -1: nothing inside
      {INT_MIN, 2, -1, 3, -1},
      {INT_MAX, 2, INT_MAX, 3, -1},
      {INT_MAX - 1, INT_MAX - 1, 5, 5, -1},
      {INT_MIN, INT_MIN, INT_MIN, INT_MIN, -1},
      {3, 2, INT_MIN, 3, 0},           // width wraps to the left: edge from 3 leftwards
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(::testing::Message() << c.x << "," << c.y << " " << c.width << "x" << c.height);
    for (bool bordered : {false, true})
    {
      Raster_MemBitmap bm(12, 8, 4);
      Raster_Clear(&bm, 0);
      if (bordered)
        Raster_BorderedRect(&bm, c.x, c.y, c.width, c.height, 0xFF00FF00, 0xFFFF0000, 1.0f, 0);
      else
        Raster_DrawRect(&bm, c.x, c.y, c.width, c.height, 0xFFFF0000, 1.0f, 0);
      int first = -1, inked = 0;
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x)
          if (Px(bm, x, y))
          {
            ++inked;
            if (y == c.y && first < 0) first = x;
          }
      EXPECT_EQ(first, c.firstInkColumn);
      if (c.firstInkColumn < 0)
      {
        EXPECT_EQ(inked, 0);
      }
    }
  }
}
