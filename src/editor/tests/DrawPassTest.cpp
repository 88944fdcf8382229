// The drawing pass: which controls draw, in which order, in strict and non-strict mode, and
// which stay dirty.
#include "EditorTestSupport.h"

#include "IGraphicsCaches.h"
#include "Raster_Bitmap.h"
#include "Raster_Fill.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace
{
// Background, A, B overlapping A, C touching A's right edge, D far away, H hidden over A.
struct Layout : EditorFixture
{
  Layout()
  {
    gui->AttachControl(new ProbeControl(plug, IRECT(0, 0, 100, 100), "bg", &log));
    gui->AttachControl(new ProbeControl(plug, IRECT(10, 10, 30, 30), "A", &log));
    gui->AttachControl(new ProbeControl(plug, IRECT(20, 20, 40, 40), "B", &log));
    gui->AttachControl(new ProbeControl(plug, IRECT(30, 10, 50, 30), "C", &log));
    gui->AttachControl(new ProbeControl(plug, IRECT(60, 60, 80, 80), "D", &log));
    gui->AttachControl(new ProbeControl(plug, IRECT(10, 10, 20, 20), "H", &log));
    gui->GetControl(5)->Hide(true);
    AttachAndOpen();
    Settle();
    log.clear();
  }
  std::vector<std::string> log;
};

const char* kNames[] = {"bg", "A", "B", "C", "D", "H"};

struct PassCase
{
  const char* name;
  bool strict;
  std::vector<int> dirty;              // controls marked dirty before the tick
  std::vector<std::string> drawn;      // draw log of the one pass
  std::set<int> dirtyAfter;            // controls still dirty after it
};

const PassCase kPassCases[] = {
  {"strict, background dirty: every shown control once, in list order", true, {0},
   {"bg:draw", "A:draw", "B:draw", "C:draw", "D:draw"}, {}},
  {"strict, one control: whatever meets its rectangle, right edge touching included", true, {1},
   {"bg:draw", "A:draw", "B:draw", "C:draw"}, {}},
  {"strict, two distant controls: one region over both", true, {1, 4},
   {"bg:draw", "A:draw", "B:draw", "C:draw", "D:draw"}, {}},
  {"strict, hidden control: widens the region, is not drawn", true, {5},
   {"bg:draw", "A:draw", "B:draw"}, {}},
  {"non-strict, one control: neighbours by the pass's own rule, C just outside", false, {1},
   {"bg:draw", "A:draw", "B:draw"}, {}},
  {"non-strict, two controls: one sub-pass each", false, {1, 4},
   {"bg:draw", "A:draw", "B:draw", "bg:draw", "D:draw"}, {}},
  {"non-strict, background dirty: all shown, hidden stays dirty", false, {0, 5},
   {"bg:draw", "A:draw", "B:draw", "C:draw", "D:draw"}, {5}},
  {"non-strict, hidden control: its neighbours draw, it is cleaned", false, {5},
   {"bg:draw", "A:draw"}, {}},
};

TEST(DrawPass, StrictAndNonStrictRegions)
{
  for (const PassCase& c : kPassCases)
  {
    SCOPED_TRACE(c.name);
    Layout l;
    if (!c.strict)
    {
      l.gui->SetStrictDrawing(false);
      // Leave everything clean again, hidden H included.
      for (int i = 0; i < 6; ++i) l.gui->GetControl(i)->SetClean();
      l.log.clear();
    }
    for (int i : c.dirty) l.gui->GetControl(i)->SetDirty(false);
    EXPECT_TRUE(l.gui->Tick());
    EXPECT_EQ(l.log, c.drawn);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(l.gui->GetControl(i)->IsDirty(), c.dirtyAfter.count(i) == 1) << kNames[i];
  }
}

TEST(DrawPass, DirtyRegionIsTheUnionOfDirtyRectangles)
{
  Layout l;
  IRECT region;
  EXPECT_FALSE(l.gui->IsDirty(&region));
  l.gui->GetControl(1)->SetDirty(false);
  l.gui->GetControl(4)->SetDirty(false);
  l.gui->GetControl(5)->SetDirty(false);  // hidden, still counts
  region = IRECT();
  EXPECT_TRUE(l.gui->IsDirty(&region));
  EXPECT_EQ(region, IRECT(10, 10, 80, 80));

  // A dirty control without a rectangle leaves the region as it is.
  EditorFixture f;
  f.gui->AttachControl(new ProbeControl(f.plug, IRECT(), "empty", nullptr));
  f.gui->AttachControl(new ProbeControl(f.plug, IRECT(5, 6, 7, 8), "small", nullptr));
  region = IRECT();
  EXPECT_TRUE(f.gui->IsDirty(&region));
  EXPECT_EQ(region, IRECT(5, 6, 7, 8));
}

TEST(DrawPass, RedrawFlagKeepsAControlDirtyForOneMorePass)
{
  Layout l;
  IControl* a = l.gui->GetControl(1);
  a->SetValueFromPlug(0.25);  // the first value pulled is only recorded as the default
  EXPECT_FALSE(a->IsDirty());
  a->SetValueFromPlug(0.5);
  ASSERT_TRUE(a->IsDirty());
  EXPECT_TRUE(l.gui->Tick());
  EXPECT_TRUE(a->IsDirty());  // redraw set by the value change
  EXPECT_TRUE(l.gui->Tick());
  EXPECT_FALSE(a->IsDirty());
  EXPECT_FALSE(l.gui->Tick());
}

TEST(DrawPass, NothingHappensWithoutControlsOrWhileClosed)
{
  EditorFixture f;
  f.AttachAndOpen();
  IRECT region(0, 0, 10, 10);
  EXPECT_FALSE(f.gui->Draw(&region));
  EXPECT_EQ(f.gui->NScreenUpdates(), 0);

  Layout l;
  l.gui->CloseWindow();
  l.gui->GetControl(1)->SetDirty(false);
  EXPECT_FALSE(l.gui->Tick());
  EXPECT_TRUE(l.log.empty());
}

// Bitmap draws are clipped to the region being drawn: in non-strict mode a dirty control
// redraws only its own part of the background.
TEST(DrawPass, BitmapDrawsAreClippedToTheDrawingRegion)
{
  EditorFixture f(251, 310);
  f.gui->AttachBackground(kImgBackground, "background.png");
  std::vector<std::string> log;
  ProbeControl* probe = new ProbeControl(f.plug, IRECT(100, 100, 120, 120), "P", &log);
  probe->mFill = IColor(128, 0, 0, 0);  // half-transparent, so the background under it shows
  f.gui->AttachControl(probe);
  f.gui->SetStrictDrawing(false);
  f.AttachAndOpen();
  f.Settle();

  // Paint over the whole back buffer, then redraw only P: the background comes back inside P's
  // rectangle alone.
  IRECT all(0, 0, 251, 310);
  const IColor white = COLOR_WHITE;
  f.gui->FillIRect(&white, &all);
  probe->SetDirty(false);
  EXPECT_TRUE(f.gui->Tick());
  EXPECT_EQ(BackPixel(f.gui, 99, 110), 0xFFFFFFFFu);
  EXPECT_EQ(BackPixel(f.gui, 120, 110), 0xFFFFFFFFu);
  EXPECT_NE(BackPixel(f.gui, 110, 110), 0xFFFFFFFFu);
  EXPECT_EQ(f.gui->GetLastScreenRECT(), IRECT(100, 100, 120, 120));
}

// A text of several lines runs on below its control's rectangle, as the meter's results do.
struct SpillingText : EditorFixture
{
  explicit SpillingText(const char* str) : EditorFixture(120, 100)
  {
    RegisterTestImages();
    gui->AttachBackground(kImgBackground, "background.png");
    IText style(12, &COLOR_WHITE, "DejaVu Sans", IText::kStyleBold, IText::kAlignNear);
    text = new ITextControl(plug, IRECT(8, 8, 112, 22), &style, str);
    gui->AttachControl(text);
    AttachAndOpen();
    Settle();
  }
  // Rows y0..y1 (exclusive) of the screen.
  std::vector<uint32_t> Screen(int y0 = 0, int y1 = 100)
  {
    std::vector<uint32_t> px;
    for (int y = y0; y < y1; ++y)
      for (int x = 0; x < 120; ++x) px.push_back(Raster_GetPixel(gui->GetScreen(), x, y));
    return px;
  }
  ITextControl* text;
};

const char* const kFourLines = "THD=3.03 %\nH1=0.288\nH2=0.000\nH3=0.008";

// Another window uncovering a strip below the text's rectangle: the strip is painted again with
// the lines that run through it, not with the background alone.
TEST(DrawPass, ARepaintBelowAControlsRectangleRedrawsWhatItDrewThere)
{
  SpillingText f(kFourLines);
  SpillingText blank("");
  const std::vector<uint32_t> before = f.Screen(40, 52);
  ASSERT_NE(before, blank.Screen(40, 52));  // lines 3 and 4 cross the strip
  for (IRECT strip : {IRECT(0, 40, 120, 52), IRECT(0, 48, 120, 49), IRECT(60, 30, 61, 70)})
  {
    SCOPED_TRACE(strip.T);
    ASSERT_TRUE(f.gui->Expose(strip));
    EXPECT_EQ(f.Screen(40, 52), before);
    EXPECT_EQ(f.Screen(), SpillingText(kFourLines).Screen());
  }
  // The back buffer around the strip holds the same picture: nothing was drawn twice.
  f.gui->Expose(IRECT(0, 0, 120, 100));
  EXPECT_EQ(f.Screen(), SpillingText(kFourLines).Screen());
}

// A text that gains lines shows them all; one that loses lines leaves none of them behind.
TEST(DrawPass, ATextGrowingOrShrinkingBeyondItsRectangleIsShownWhole)
{
  const char* const kOneLine = "THD=3.03 %";
  for (auto [from, to] : {std::pair{kOneLine, kFourLines}, std::pair{kFourLines, kOneLine}})
  {
    SCOPED_TRACE(to);
    SpillingText f(from);
    f.text->SetTextFromPlug(to);
    f.Settle();
    EXPECT_FALSE(f.gui->Tick());
    EXPECT_EQ(f.Screen(), SpillingText(to).Screen());
  }
}

// The background image is inserted at index 0, ahead of controls attached before it.
TEST(DrawPass, AttachBackgroundMovesEarlierControlsUp)
{
  EditorFixture f(251, 310);
  std::vector<std::string> log;
  const int idx = f.gui->AttachControl(new ProbeControl(f.plug, IRECT(1, 1, 5, 5), "P", &log));
  EXPECT_EQ(idx, 0);
  f.gui->AttachBackground(kImgBackground, "background.png");
  EXPECT_EQ(f.gui->GetNControls(), 2);
  EXPECT_EQ(*f.gui->GetControl(0)->GetRECT(), IRECT(0, 0, 251, 310));
  EXPECT_EQ(f.gui->GetControl(0)->GetBlend()->mMethod, IChannelBlend::kBlendClobber);
  EXPECT_EQ(f.gui->GetControl(0)->ParamIdx(), -1);
  EXPECT_EQ(f.gui->GetControl(1)->GetRECT()->L, 1);
}

TEST(DrawPass, RefreshRateDefaultsTo25)
{
  TestPlug plug;
  for (int fps : {0, -3})
  {
    IGraphicsHeadless gui(&plug, 10, 10, fps);
    EXPECT_EQ(gui.FPS(), 25);
  }
  IGraphicsHeadless gui(&plug, 10, 10, 60);
  EXPECT_EQ(gui.FPS(), 60);
}
}  // namespace

namespace
{
TEST(Editor, ResizeDropsTheControlsAndAsksThePlugIn)
{
  EditorFixture f;
  f.gui->AttachControl(new ProbeControl(f.plug, IRECT(0, 0, 10, 10), "P", nullptr, kParamInt));
  f.AttachAndOpen();
  f.gui->MouseDown(5, 5);
  f.gui->Resize(200, 150);
  EXPECT_EQ(f.gui->GetNControls(), 0);
  EXPECT_EQ(f.gui->GetMouseCapture(), -1);
  EXPECT_EQ(f.gui->GetDrawBitmap()->getWidth(), 200);
  EXPECT_EQ(f.plug->mResizeW, 200);
  EXPECT_EQ(f.plug->mResizeH, 150);
}

TEST(Editor, ParameterNameTooltips)
{
  EditorFixture f;
  IControl* bound = new ProbeControl(f.plug, IRECT(0, 0, 10, 10), "P", nullptr, kParamDouble);
  IControl* free = new ProbeControl(f.plug, IRECT(0, 0, 10, 10), "Q", nullptr);
  f.gui->AttachControl(bound);
  f.gui->AttachControl(free);
  f.gui->AssignParamNameToolTips();
  EXPECT_STREQ(bound->GetTooltip(), "Level");
  EXPECT_STREQ(free->GetTooltip(), "");
}
}  // namespace
