// The editor's drawing helpers that the meter does not use (points, lines, arcs, circles,
// outlines, rounded rectangles, triangles, polygons, pixel access): each one draws its shape
// onto the back buffer, where a point on the shape changes and one beside it does not.
#include "EditorTestSupport.h"

#include "Raster_Fill.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace
{
constexpr uint32_t kClear = 0xFF000000u;
const IColor kInk(255, 250, 200, 20);

struct HelperCase
{
  const char* name;
  std::function<bool(IGraphics*)> draw;
  int onX, onY;    // a pixel the shape covers
  int offX, offY;  // a pixel beside it
  bool exact;      // the covered pixel is the ink itself (no anti-aliasing, full weight)
};

TEST(DrawHelpers, EachShapeLandsWhereItIsAsked)
{
  IRECT box(40, 40, 60, 60), tri(10, 10, 30, 30);
  const HelperCase kCases[] = {
    {"point", [](IGraphics* g) { return g->DrawPoint(&kInk, 5.0f, 5.0f); }, 5, 5, 6, 5, true},
    {"anti-aliased point", [](IGraphics* g) { return g->DrawPoint(&kInk, 5.0f, 5.0f, nullptr, true); }, 5, 5, 9, 9, false},
    {"forced pixel", [](IGraphics* g) { return g->ForcePixel(&kInk, 7, 8); }, 7, 8, 8, 8, true},
    {"line", [](IGraphics* g) { return g->DrawLine(&kInk, 10, 10, 30, 10); }, 20, 10, 20, 12, true},
    {"anti-aliased diagonal", [](IGraphics* g) { return g->DrawLine(&kInk, 10, 10, 30, 30, nullptr, true); }, 20, 20, 20, 26, false},
    {"vertical line", [](IGraphics* g) { return g->DrawVerticalLine(&kInk, 70, 10, 30); }, 70, 20, 71, 20, true},
    {"horizontal line", [](IGraphics* g) { return g->DrawHorizontalLine(&kInk, 70, 10, 30); }, 20, 70, 20, 71, true},
    {"vertical line across a rectangle", [&](IGraphics* g) { return g->DrawVerticalLine(&kInk, &box, 0.5f); }, 50, 50, 45, 50, true},
    {"horizontal line up a rectangle", [&](IGraphics* g) { return g->DrawHorizontalLine(&kInk, &box, 0.25f); }, 50, 55, 50, 50, true},
    {"rectangle outline", [&](IGraphics* g) { return g->DrawRect(&kInk, &box); }, 59, 50, 50, 50, true},
    {"filled rectangle", [&](IGraphics* g) { return g->FillIRect(&kInk, &box); }, 50, 50, 60, 50, true},
    {"circle", [](IGraphics* g) { return g->DrawCircle(&kInk, 50, 50, 10); }, 60, 50, 50, 50, false},
    {"filled circle", [](IGraphics* g) { return g->FillCircle(&kInk, 50, 50, 10); }, 50, 50, 50, 62, true},
    // Angles from straight up, clockwise: the right quarter of a circle.
    {"arc", [](IGraphics* g) { return g->DrawArc(&kInk, 50, 50, 10, 0.0f, (float)M_PI / 2); }, 57, 43, 43, 57, false},
    {"radial line", [](IGraphics* g) { return g->DrawRadialLine(&kInk, 50, 50, (float)M_PI / 2, 2, 10); }, 56, 50, 44, 50, false},
    {"rounded outline", [&](IGraphics* g) { return g->RoundRect(&kInk, &box, nullptr, 6, false); }, 50, 40, 40, 40, false},
    {"rounded fill", [&](IGraphics* g) { return g->FillRoundRect(&kInk, &box, nullptr, 6, false); }, 50, 50, 40, 40, true},
    {"triangle", [&](IGraphics* g) { return g->FillTriangle(&kInk, tri.L, tri.T, tri.R, tri.T, tri.L, tri.B); }, 13, 13, 27, 27, true},
    {"convex polygon",
     [](IGraphics* g) {
       int x[] = {50, 70, 50, 30}, y[] = {30, 50, 70, 50};
       return g->FillIConvexPolygon(&kInk, x, y, 4);
     },
     50, 50, 33, 33, true},
  };
  RegisterTestImages();
  for (const HelperCase& c : kCases)
  {
    SCOPED_TRACE(c.name);
    EditorFixture f;
    f.gui->AttachPanelBackground(&COLOR_BLACK);
    f.AttachAndOpen();
    f.Settle();
    ASSERT_EQ(BackPixel(f.gui, c.onX, c.onY), kClear);
    EXPECT_TRUE(c.draw(f.gui));
    if (c.exact)
      EXPECT_EQ(BackPixel(f.gui, c.onX, c.onY), kInk.ToPixel());
    else
      EXPECT_NE(BackPixel(f.gui, c.onX, c.onY), kClear);
    EXPECT_EQ(BackPixel(f.gui, c.offX, c.offY), kClear);
  }
}

TEST(DrawHelpers, PixelsReadBackAsColoursAndOutsideNothingIsWritten)
{
  EditorFixture f;
  f.gui->AttachPanelBackground(&COLOR_BLACK);
  f.AttachAndOpen();
  f.Settle();
  const IColor half(128, 10, 20, 30);
  EXPECT_TRUE(f.gui->ForcePixel(&half, 3, 4));
  EXPECT_EQ(f.gui->GetPoint(3, 4), half);  // written as it is, alpha included
  EXPECT_FALSE(f.gui->ForcePixel(&half, 100, 4));
  EXPECT_FALSE(f.gui->ForcePixel(&half, -1, 4));
  EXPECT_FALSE(f.gui->DrawLine(nullptr, 0, 0, 5, 5));
  // Half weight blends the ink over the black beneath.
  const IChannelBlend halfWeight(IChannelBlend::kBlendNone, 0.5f);
  EXPECT_TRUE(f.gui->DrawPoint(&COLOR_WHITE, 9.0f, 9.0f, &halfWeight));
  const IColor blended = f.gui->GetPoint(9, 9);
  EXPECT_NEAR(blended.R, 128, 2);
  EXPECT_NEAR(blended.G, 128, 2);
}
}  // namespace
