// Text drawing and measuring through the cached fonts.
#include "EditorTestSupport.h"

#include "Raster_Bitmap.h"
#include "Raster_Combine.h"
#include "Raster_Fill.h"

#include <gtest/gtest.h>

namespace
{
struct TextFixture : EditorFixture
{
  TextFixture() : EditorFixture(120, 60)
  {
    gui->AttachPanelBackground(&COLOR_WHITE);
    AttachAndOpen();
    Settle();
  }
  // Darkest red channel inside the rectangle, and the number of non-white pixels.
  void Ink(const IRECT& r, int* darkest, int* count)
  {
    *darkest = 255;
    *count = 0;
    for (int y = r.T; y < r.B; ++y)
      for (int x = r.L; x < r.R; ++x)
      {
        const uint32_t p = BackPixel(gui, x, y);
        if (p == 0xFFFFFFFFu) continue;
        ++*count;
        if (Raster_PixelR(p) < *darkest) *darkest = Raster_PixelR(p);
      }
  }
};

struct MeasureCase
{
  const char* name;
  int align;
  IRECT start;
};

TEST(Text, MeasureAdjustsTheRectangleByAlignment)
{
  TextFixture f;
  IText style(12, &COLOR_BLACK, "DejaVu Sans", IText::kStyleNormal, IText::kAlignNear);
  IRECT natural(10, 20, 10, 20);
  ASSERT_TRUE(f.gui->MeasureIText(&style, "Hello, world", &natural));
  const int w = natural.W(), h = natural.H();
  ASSERT_GT(w, 20);
  ASSERT_GT(h, 8);
  EXPECT_EQ(natural, IRECT(10, 20, 10 + w, 20 + h));

  const MeasureCase cases[] = {
    {"right", IText::kAlignFar, IRECT(10, 20, 110, 20)},
    {"centre", IText::kAlignCenter, IRECT(10, 20, 110, 20)},
  };
  for (const MeasureCase& c : cases)
  {
    style.mAlign = c.align;
    IRECT r = c.start;
    ASSERT_TRUE(f.gui->MeasureIText(&style, "Hello, world", &r));
    if (c.align == IText::kAlignFar)
      EXPECT_EQ(r, IRECT(110 - w, 20, 110, 20 + h)) << c.name;
    else
      EXPECT_EQ(r, IRECT(60 - w / 2, 20, 60 - w / 2 + w, 20 + h)) << c.name;
  }

  // Line breaks start new lines: two lines measure about twice as tall.
  style.mAlign = IText::kAlignNear;
  IRECT two(0, 0, 0, 0);
  ASSERT_TRUE(f.gui->MeasureIText(&style, "Hello,\nworld", &two));
  EXPECT_GE(two.H(), 2 * h - 2);
  EXPECT_LT(two.W(), w);
}

TEST(Text, EmptyOrNullStringsDrawNothingAndSucceed)
{
  TextFixture f;
  IText style;
  IRECT r(0, 0, 120, 60);
  EXPECT_TRUE(f.gui->DrawIText(&style, "", &r));
  EXPECT_TRUE(f.gui->DrawIText(&style, nullptr, &r));
  int darkest, count;
  f.Ink(r, &darkest, &count);
  EXPECT_EQ(count, 0);
}

TEST(Text, ColourAlphaSetsTheStrength)
{
  const IColor opaque(255, 0, 0, 0), half(128, 0, 0, 0);
  int darkOpaque = 0, countOpaque = 0, darkHalf = 0, countHalf = 0;
  for (int pass = 0; pass < 2; ++pass)
  {
    TextFixture f;
    IText style(20, pass ? &half : &opaque, "DejaVu Sans", IText::kStyleBold, IText::kAlignNear);
    IRECT r(5, 5, 115, 55);
    ASSERT_TRUE(f.gui->DrawIText(&style, "HHH", &r));
    f.Ink(IRECT(0, 0, 120, 60), pass ? &darkHalf : &darkOpaque, pass ? &countHalf : &countOpaque);
  }
  ASSERT_GT(countOpaque, 50);
  EXPECT_LE(darkOpaque, 5);                  // opaque strokes are black
  EXPECT_NEAR(darkHalf, 127, 8);             // half strength over white
  EXPECT_NEAR(countHalf, countOpaque, countOpaque / 5);
}

TEST(Text, TinySizesStillDrawAndAMissingStyleFails)
{
  TextFixture f;
  IText style;
  style.mSize = 0;  // still a font: the text layer's minimum height applies
  IRECT r(0, 0, 120, 60);
  EXPECT_TRUE(f.gui->DrawIText(&style, "x", &r));
  EXPECT_FALSE(f.gui->DrawIText(nullptr, "x", &r));
}
}  // namespace
