// The stock controls: frame choice, layouts, fader geometry, switches, gray-out drawing, blends.
#include "EditorTestSupport.h"

#include "Raster_Combine.h"

#include <gtest/gtest.h>

namespace
{
struct FrameCase
{
  int n;
  double value;
  int frame;  // 1-based
};

TEST(Controls, BitmapControlChoosesTheFrameByValue)
{
  const FrameCase cases[] = {
    {4, 0.0, 1}, {4, 0.16, 1}, {4, 0.17, 2}, {4, 0.5, 3}, {4, 1.0, 4}, {4, -1.0, 1}, {4, 7.0, 4}, {1, 0.9, 1},
  };
  for (const FrameCase& c : cases)
  {
    EditorFixture f(20, 200);
    IBitmap four = f.gui->LoadIBitmap(kImgFour, "four.png", c.n);
    IBitmapControl* bc = new IBitmapControl(f.plug, 0, 0, -1, &four, IChannelBlend(IChannelBlend::kBlendClobber));
    f.gui->AttachControl(bc);
    f.AttachAndOpen();
    bc->SetValue(c.value);
    bc->SetDirty(false);
    f.Settle();
    EXPECT_EQ(BackPixel(f.gui, 5, 5), FrameColor(c.frame - 1)) << c.n << " frames, value " << c.value;
  }
}

struct OffsetCase
{
  int image, n, frame;
  int x, y;        // where to look in the destination
  uint32_t colour;
};

// Frame 3 of four stacked frames of total height 100 starts at y = 50; frames 0 and 1 and
// one-frame images start at the top.
TEST(Controls, DrawBitmapFrameOffsets)
{
  const OffsetCase cases[] = {
    {kImgFour, 4, 3, 2, 2, FrameColor(2)},       {kImgFour, 4, 0, 2, 2, FrameColor(0)},
    {kImgFour, 4, 1, 2, 2, FrameColor(0)},       {kImgFour, 1, 3, 2, 2, FrameColor(0)},
    {kImgFour, 4, 4, 2, 24, FrameColor(3)},      {kImgFourAcross, 4, 2, 2, 2, FrameColor(1)},
    {kImgFourAcross, 4, 4, 24, 2, FrameColor(3)},
  };
  for (const OffsetCase& c : cases)
  {
    EditorFixture f(30, 30);
    f.gui->AttachPanelBackground(&COLOR_BLACK);
    f.AttachAndOpen();
    f.Settle();
    IBitmap bm = f.gui->LoadIBitmap(c.image, "frames.png", c.n, c.image == kImgFourAcross);
    IRECT all(0, 0, 30, 30);
    IRECT dest(0, 0, bm.FrameWidth(), bm.FrameHeight());
    IRECT region = all;
    f.gui->Draw(&region);  // leaves the drawing region at the whole editor
    EXPECT_TRUE(f.gui->DrawBitmap(&bm, &dest, c.frame, nullptr));
    EXPECT_EQ(BackPixel(f.gui, c.x, c.y), c.colour) << "image " << c.image << " frame " << c.frame;
  }
}

TEST(Controls, RadioButtonLayouts)
{
  EditorFixture f;
  IBitmap button = f.gui->LoadIBitmap(kImgButton, "button.png", 2);
  // The meter's column: three 16 x 16 buttons in (118, 94, 134, 144).
  IRadioButtonsControl column(f.plug, IRECT(118, 94, 134, 144), kParamEnum, 3, &button);
  ASSERT_EQ(column.NButtons(), 3);
  const int tops[] = {94, 111, 128};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(*column.GetButtonRECT(i), IRECT(118, tops[i], 134, tops[i] + 16));
  IRadioButtonsControl row(f.plug, IRECT(0, 0, 100, 16), kParamEnum, 3, &button, kHorizontal);
  const int lefts[] = {0, 42, 84};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(*row.GetButtonRECT(i), IRECT(lefts[i], 0, lefts[i] + 16, 16));
  IRadioButtonsControl reversed(f.plug, IRECT(118, 94, 134, 144), kParamEnum, 3, &button, kVertical, true);
  EXPECT_EQ(reversed.GetButtonRECT(0)->T, 128);
  EXPECT_EQ(reversed.GetButtonRECT(2)->T, 94);
}

TEST(Controls, RadioButtonsClickAndDraw)
{
  EditorFixture f(40, 60);
  IBitmap button = f.gui->LoadIBitmap(kImgButton, "button.png", 2);
  IRadioButtonsControl* radio = new IRadioButtonsControl(f.plug, IRECT(0, 0, 16, 50), kParamEnum, 3, &button);
  f.gui->AttachControl(radio);
  f.AttachAndOpen();
  f.Settle();
  f.gui->Click(5, 40);  // third button (top 34)
  EXPECT_DOUBLE_EQ(f.plug->GetParam(kParamEnum)->Value(), 2.0);
  f.Settle();
  EXPECT_EQ(BackPixel(f.gui, 5, 40), FrameColor(1));
  EXPECT_EQ(BackPixel(f.gui, 5, 5), FrameColor(0));

  // Between two buttons: the unchanged value is still pushed.
  const int before = f.plug->mInformed.GetSize();
  f.gui->Click(5, 16);
  EXPECT_EQ(f.plug->mInformed.GetSize(), before + 1);
  EXPECT_DOUBLE_EQ(f.plug->mInformed.Get()[before].mNormalized, 1.0);
}

struct FaderCase
{
  EDirection dir;
  double value;
  IRECT handle;
};

TEST(Controls, FaderHandleGeometryAndSnap)
{
  EditorFixture f;
  IBitmap handle = f.gui->LoadIBitmap(kImgHandle, "handle.png");  // 20 x 10
  IFaderControl horizontal(f.plug, 10, 5, 60, kParamDouble, &handle, kHorizontal);
  IFaderControl vertical(f.plug, 10, 5, 60, kParamDouble, &handle, kVertical);
  EXPECT_EQ(*horizontal.GetRECT(), IRECT(10, 5, 70, 15));
  EXPECT_EQ(*vertical.GetRECT(), IRECT(10, 5, 30, 65));
  const FaderCase cases[] = {
    {kHorizontal, 0.0, IRECT(10, 5, 30, 15)}, {kHorizontal, 0.5, IRECT(30, 5, 50, 15)}, {kHorizontal, 1.0, IRECT(50, 5, 70, 15)},
    {kVertical, 0.0, IRECT(10, 55, 30, 65)},  {kVertical, 0.5, IRECT(10, 30, 30, 40)},  {kVertical, 1.0, IRECT(10, 5, 30, 15)},
  };
  for (const FaderCase& c : cases)
  {
    const IFaderControl& fader = c.dir == kHorizontal ? horizontal : vertical;
    EXPECT_EQ(fader.GetHandleRECT(c.value), c.handle) << c.dir << " " << c.value;
  }
  vertical.SnapToMouse(0, 5 + 5 + 25);  // half way down the 50-pixel travel
  EXPECT_DOUBLE_EQ(vertical.GetValue(), 0.5);

  // Only-handle faders are hit on the handle alone.
  IFaderControl onlyHandle(f.plug, 10, 5, 60, kParamDouble, &handle, kHorizontal, true);
  EXPECT_TRUE(onlyHandle.IsHit(15, 8));
  EXPECT_FALSE(onlyHandle.IsHit(60, 8));
  EXPECT_TRUE(horizontal.IsHit(60, 8));

  // A handle as long as the track has no travel: the value stays, nothing divides by zero.
  IFaderControl full(f.plug, 0, 0, 20, kParamDouble, &handle, kHorizontal);
  full.SetValue(0.3);
  full.SnapToMouse(15, 5);
  EXPECT_DOUBLE_EQ(full.GetValue(), 0.3);
}

TEST(Controls, FaderWheelSteps)
{
  EditorFixture f;
  IBitmap handle = f.gui->LoadIBitmap(kImgHandle, "handle.png");
  IFaderControl fader(f.plug, 0, 0, 60, kParamDouble, &handle, kHorizontal);
  fader.SetValue(0.5);
  IMouseMod none, ctrl(false, false, false, true);
  fader.OnMouseWheel(0, 0, &none, 2);
  EXPECT_NEAR(fader.GetValue(), 0.52, 1e-12);
  fader.OnMouseWheel(0, 0, &ctrl, -3);
  EXPECT_NEAR(fader.GetValue(), 0.517, 1e-12);
}

TEST(Controls, SwitchesWrapAndContactsReturn)
{
  EditorFixture f;
  IBitmap four = f.gui->LoadIBitmap(kImgFour, "four.png", 4);
  ISwitchControl sw(f.plug, 0, 0, kParamEnum, &four);
  IMouseMod mod(true);
  const double expected[] = {1.0 / 3, 2.0 / 3, 1.0, 0.0};
  for (double e : expected)
  {
    sw.OnMouseDown(0, 0, &mod);
    EXPECT_NEAR(sw.GetValue(), e, 1e-12);
  }
  ISwitchFramesControl frames(f.plug, 0, 0, kParamEnum, &four);
  frames.OnMouseDown(5, 60, &mod);  // third area of four stacked
  EXPECT_NEAR(frames.GetValue(), 2.0 / 3, 1e-12);
  IContactControl contact(f.plug, 0, 0, kParamBool, &four);
  contact.OnMouseDown(0, 0, &mod);
  EXPECT_GT(contact.GetValue(), 0.0);
  contact.OnMouseUp(0, 0, &mod);
  EXPECT_EQ(contact.GetValue(), 0.0);
  IInvisibleSwitchControl invisible(f.plug, IRECT(0, 0, 5, 5), kParamBool);
  invisible.OnMouseDown(0, 0, &mod);
  EXPECT_EQ(invisible.GetValue(), 1.0);
  invisible.OnMouseDown(0, 0, &mod);
  EXPECT_EQ(invisible.GetValue(), 0.0);
}

// A grayed control still draws, at a quarter of its weight.
TEST(Controls, GrayedControlDrawsAtQuarterWeight)
{
  EditorFixture f(20, 20);
  f.gui->AttachPanelBackground(&COLOR_BLACK);
  IPanelControl* panel = new IPanelControl(f.plug, IRECT(0, 0, 10, 10), &COLOR_WHITE);
  f.gui->AttachControl(panel);
  f.AttachAndOpen();
  f.gui->GrayOutControl(-1, true);  // every control without a parameter
  f.Settle();
  const uint32_t p = BackPixel(f.gui, 5, 5);
  EXPECT_NEAR(Raster_PixelR(p), 64, 2);  // white at weight 64 / 256 over black
  EXPECT_EQ(f.gui->GetMouseControlIdx(5, 5), -1);
}

TEST(Controls, EmptyTextDrawsNothing)
{
  EditorFixture f(40, 20);
  f.gui->AttachPanelBackground(&COLOR_WHITE);
  IText style;
  ITextControl* text = new ITextControl(f.plug, IRECT(0, 0, 40, 20), &style, "");
  f.gui->AttachControl(text);
  f.AttachAndOpen();
  f.Settle();
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(BackPixel(f.gui, x, y), 0xFFFFFFFFu);
  text->SetTextFromPlug("Hi");
  EXPECT_TRUE(text->IsDirty());
  f.Settle();
  int ink = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) ink += BackPixel(f.gui, x, y) != 0xFFFFFFFFu;
  EXPECT_GT(ink, 5);
}

TEST(Controls, BlendToModeMapping)
{
  struct Case
  {
    int method;
    int mode;
  } cases[] = {
    {0, 0x10000}, {1, 0}, {2, 0x10001}, {3, 0x10002}, {4, 0x10000}, {-1, 0x10000},
  };
  for (const Case& c : cases)
  {
    IChannelBlend blend(c.method, 0.5f);
    EXPECT_EQ(IGraphics::BlendToMode(&blend), c.mode) << c.method;
    EXPECT_FLOAT_EQ(IGraphics::BlendWeight(&blend), 0.5f);
  }
  EXPECT_EQ(IGraphics::BlendToMode(nullptr), 0x10000);
  EXPECT_FLOAT_EQ(IGraphics::BlendWeight(nullptr), 1.0f);
  EXPECT_EQ(IColor(1, 2, 3, 4).ToPixel(), 0x01020304u);
}
}  // namespace
