// The stock controls other plug-ins use and the meter does not: knobs (dragged, wheeled, drawn as
// a line, a frame, a rotated image or a rotated mask), the overlay, the caption, the file
// selector and the bitmap-font text, each on its main path.
#include "EditorTestSupport.h"

#include "IParam.h"
#include "Raster_Bitmap.h"
#include "Raster_Fill.h"

#include <gtest/gtest.h>

#include <cmath>
#include <mutex>

namespace
{
constexpr uint32_t kClear = 0xFF000000u;

enum
{
  kImgMaskBase = 20,   // 20 x 20, FrameColor(3)
  kImgMaskHalves = 21, // 20 x 20, left half white, right half black
  kImgMaskClear = 22,  // 20 x 20, fully transparent
  kImgFont = 23,       // 96 frames of 6 x 12 side by side, frame i in colour FontColor(i)
};

uint32_t FontColor(int i)
{
  return Raster_MakePixel(255, 2 * i, 255 - 2 * i, 40);
}

void RegisterMoreImages()
{
  static std::once_flag once;
  std::call_once(once, [] {
    auto reg = [](int id, Raster_MemBitmap* bm) {
      std::vector<unsigned char> png = EncodePNG(bm);
      IGraphicsHeadless::RegisterImageData(id, png.data(), png.size());
      delete bm;
    };
    Raster_MemBitmap* base = new Raster_MemBitmap(20, 20, 4);
    Raster_FillRect(base, 0, 0, 20, 20, FrameColor(3), 1.0f, 0);
    reg(kImgMaskBase, base);
    Raster_MemBitmap* halves = new Raster_MemBitmap(20, 20, 4);
    Raster_FillRect(halves, 0, 0, 10, 20, 0xFFFFFFFFu, 1.0f, 0);
    Raster_FillRect(halves, 10, 0, 10, 20, 0xFF000000u, 1.0f, 0);
    reg(kImgMaskHalves, halves);
    Raster_MemBitmap* clear = new Raster_MemBitmap(20, 20, 4);
    Raster_FillRect(clear, 0, 0, 20, 20, 0x00000000u, 1.0f, 0);
    reg(kImgMaskClear, clear);
    Raster_MemBitmap* font = new Raster_MemBitmap(96 * 6, 12, 4);
    for (int i = 0; i < 96; ++i) Raster_FillRect(font, i * 6, 0, 6, 12, FontColor(i), 1.0f, 0);
    reg(kImgFont, font);
  });
}

// An opened 100 x 100 editor on a black panel.
struct Stock : EditorFixture
{
  Stock()
  {
    RegisterTestImages();
    RegisterMoreImages();
    gui->AttachPanelBackground(&COLOR_BLACK);
  }
  template <class C>
  C* Add(C* control)
  {
    gui->AttachControl(control);
    return control;
  }
  void Open()
  {
    AttachAndOpen();
    Settle();
  }
  uint32_t At(int x, int y) { return BackPixel(gui, x, y); }
};

TEST(StockControls, KnobsFollowDragsAndTheWheelByTheirGearing)
{
  Stock s;
  const IColor white = COLOR_WHITE;
  IKnobLineControl* vertical = s.Add(new IKnobLineControl(s.plug, IRECT(0, 0, 40, 40), kParamDouble, &white));
  IKnobLineControl* across =
      s.Add(new IKnobLineControl(s.plug, IRECT(50, 0, 90, 40), kParamInt, &white, 0.0, 0.0, -2.0, 2.0, kHorizontal, 2.0));
  s.Open();
  IParam* level = s.plug->GetParam(kParamDouble);
  const double start = vertical->GetValue();

  // Up by 16 of 40 pixels at gearing 4: a tenth of the range, pushed to the parameter.
  s.gui->MouseDown(20, 20);
  s.gui->MouseDrag(20, 4);
  EXPECT_NEAR(vertical->GetValue(), start + 0.1, 1e-12);
  EXPECT_NEAR(level->GetNormalized(), vertical->GetValue(), 1e-12);
  // With shift ten times finer.
  s.gui->MouseDrag(20, -12, IMouseMod(true, false, true));
  EXPECT_NEAR(vertical->GetValue(), start + 0.11, 1e-12);
  s.gui->MouseUp(20, -12);
  s.gui->MouseWheel(20, 20, -3);
  EXPECT_NEAR(vertical->GetValue(), start + 0.08, 1e-12);
  s.gui->MouseWheel(20, 20, 2, IMouseMod(false, false, false, true));
  EXPECT_NEAR(vertical->GetValue(), start + 0.082, 1e-12);

  // Horizontal knobs follow dX at their own gearing, and stay within 0..1.
  s.gui->MouseDown(70, 20);
  s.gui->MouseDrag(78, 20);
  EXPECT_NEAR(across->GetValue(), 0.5 + 8.0 / 40.0 / 2.0, 1e-12);
  s.gui->MouseDrag(500, 20);
  EXPECT_EQ(across->GetValue(), 1.0);
  s.gui->MouseUp(500, 20);
}

TEST(StockControls, ALineKnobPointsAtItsValuesAngle)
{
  const IColor white = COLOR_WHITE;
  // From straight left (value 0) to straight right (value 1) through the top.
  struct Case
  {
    double value;
    int onX, onY, offX, offY;
  } const kCases[] = {{0.0, 6, 20, 34, 20}, {0.5, 20, 6, 20, 34}, {1.0, 34, 20, 6, 20}};
  for (const Case& c : kCases)
  {
    SCOPED_TRACE(c.value);
    Stock s;
    IKnobLineControl* knob =
        s.Add(new IKnobLineControl(s.plug, IRECT(0, 0, 40, 40), -1, &white, 0.0, 18.0, -M_PI / 2, M_PI / 2));
    knob->SetValue(c.value);
    s.Open();
    EXPECT_NE(s.At(c.onX, c.onY), kClear);
    EXPECT_EQ(s.At(c.offX, c.offY), kClear);
  }
}

TEST(StockControls, AMultiFrameKnobShowsTheFrameOfItsValue)
{
  Stock s;
  IBitmap four = s.gui->LoadIBitmap(kImgFour, "four.png", 4);
  IKnobMultiControl* knob = s.Add(new IKnobMultiControl(s.plug, 10, 10, kParamDouble, &four));
  EXPECT_EQ(*knob->GetRECT(), IRECT(10, 10, 20, 35));
  s.Open();
  for (int k = 0; k < 4; ++k)
  {
    knob->SetValueFromPlug(k / 3.0 + 0.1);  // rounds to frame k + 1
    s.Settle();
    EXPECT_EQ(s.At(15, 20), FrameColor(k)) << k;
  }
}

TEST(StockControls, ARotaterKnobTurnsItsImage)
{
  // The 20 x 10 handle turned a quarter stands 20 high.
  for (double value : {0.5, 1.0})
  {
    SCOPED_TRACE(value);
    Stock s;
    IBitmap handle = s.gui->LoadIBitmap(kImgHandle, "handle.png");
    IKnobRotaterControl* knob = s.Add(new IKnobRotaterControl(s.plug, 40, 45, -1, &handle, -M_PI / 2, M_PI / 2));
    knob->SetValue(value);
    s.Open();
    EXPECT_EQ(s.At(50, 50), FrameColor(2));
    EXPECT_EQ(s.At(50, 43) == FrameColor(2), value == 1.0) << "above the centre";
    EXPECT_EQ(s.At(43, 50) == FrameColor(2), value == 0.5) << "left of the centre";
  }
}

TEST(StockControls, ARotatingMaskKnobMultipliesItsBaseByTheTurnedMask)
{
  // The mask's white half keeps the base, its black half darkens it; a half turn (value 0)
  // swaps them.
  for (double value : {0.0, 1.0})
  {
    SCOPED_TRACE(value);
    Stock s;
    IBitmap base = s.gui->LoadIBitmap(kImgMaskBase, "base.png");
    IBitmap mask = s.gui->LoadIBitmap(kImgMaskHalves, "mask.png");
    IBitmap top = s.gui->LoadIBitmap(kImgMaskClear, "top.png");
    IKnobRotatingMaskControl* knob =
        s.Add(new IKnobRotatingMaskControl(s.plug, 30, 30, -1, &base, &mask, &top, -M_PI, 0.0));
    knob->SetValue(value);
    s.Open();
    const uint32_t left = s.At(33, 40), right = s.At(46, 40);
    // Multiplying by white keeps each channel within a level of rounding.
    const IColor kept = IColor::FromPixel(value == 1.0 ? left : right), want = IColor::FromPixel(FrameColor(3));
    EXPECT_NEAR(kept.R, want.R, 2);
    EXPECT_NEAR(kept.G, want.G, 2);
    EXPECT_NEAR(kept.B, want.B, 2);
    EXPECT_EQ(value == 1.0 ? right : left, 0xFF000000u);
  }
}

TEST(StockControls, AnOverlayShowsOnlyWhenOnAndIsHitOnlyInItsTargetWhileOff)
{
  Stock s;
  IBitmap button = s.gui->LoadIBitmap(kImgButton, "button.png", 2);
  IBitmapOverlayControl* overlay =
      s.Add(new IBitmapOverlayControl(s.plug, 40, 40, kParamBool, &button, IRECT(0, 90, 10, 100)));
  s.Open();
  EXPECT_EQ(s.At(45, 45), kClear);
  EXPECT_EQ(s.gui->GetMouseControlIdx(45, 45), 0) << "off: the image is not there to hit";
  s.gui->Click(5, 95);  // the target area switches it on
  EXPECT_EQ(overlay->GetValue(), 1.0);
  EXPECT_EQ(s.plug->GetParam(kParamBool)->Bool(), true);
  s.Settle();
  EXPECT_EQ(s.At(45, 45), FrameColor(1));
  EXPECT_EQ(s.gui->GetMouseControlIdx(45, 45), 1);
  EXPECT_EQ(s.gui->GetMouseControlIdx(5, 95), 0);
  s.gui->Click(45, 45);  // a click on the shown image switches it off
  s.Settle();
  EXPECT_EQ(overlay->GetValue(), 0.0);
  EXPECT_EQ(s.At(45, 45), kClear);
}

TEST(StockControls, ACaptionShowsItsParameterAndPromptsOnAClick)
{
  Stock s;
  IText style(12, &COLOR_WHITE, "DejaVu Sans");
  ICaptionControl* caption = s.Add(new ICaptionControl(s.plug, IRECT(10, 10, 90, 30), kParamDouble, &style));
  s.Open();
  IParam* level = s.plug->GetParam(kParamDouble);
  char display[IParam::kTextLen] = {};
  level->GetDisplayForHost(display, (int)sizeof display);
  EXPECT_EQ(std::string(caption->GetTextFromControl()), std::string(display) + " " + level->GetLabelForHost());
  int lit = 0;
  for (int y = 10; y < 30; ++y)
    for (int x = 10; x < 90; ++x) lit += s.At(x, y) != kClear;
  EXPECT_GT(lit, 10) << "the text is drawn";

  s.gui->Click(50, 20);
  ASSERT_TRUE(s.gui->HasPendingTextEntry());
  EXPECT_EQ(s.gui->GetPendingTextEntry()->param, level);
  EXPECT_EQ(s.gui->GetPendingTextEntry()->rect, IRECT(10, 10, 90, 30));
  s.gui->CompleteTextEntry("5");
  s.Settle();
  EXPECT_NEAR(level->Value(), -5.0, 1e-9);  // the display shows the level negated
  level->GetDisplayForHost(display, (int)sizeof display);
  EXPECT_EQ(std::string(caption->GetTextFromControl()), std::string(display) + " dB");
}

TEST(StockControls, AFileSelectorPromptsAndKeepsTheChosenFile)
{
  Stock s;
  IBitmap button = s.gui->LoadIBitmap(kImgButton, "button.png", 2);
  IFileSelectorControl* selector =
      s.Add(new IFileSelectorControl(s.plug, IRECT(10, 10, 26, 26), -1, &button, kFileOpen, "/tmp", "wav aif"));
  s.Open();
  s.gui->SetNextFileChoice("/tmp/take.wav");
  s.gui->Click(15, 15);
  Util_String file;
  selector->GetLastSelectedFileForPlug(&file);
  EXPECT_STREQ(file.Get(), "/tmp/take.wav");
  EXPECT_EQ(selector->GetState(), IFileSelectorControl::kFSDone);
  s.Settle();  // the passes after the prompt clear its image
  EXPECT_EQ(selector->GetState(), IFileSelectorControl::kFSNone);
  EXPECT_EQ(s.At(15, 15), kClear);
  selector->SetLastSelectedFileFromPlug("/tmp/other.wav");
  selector->GetLastSelectedFileForPlug(&file);
  EXPECT_STREQ(file.Get(), "/tmp/other.wav");
}

TEST(StockControls, BitmapTextDrawsOneFramePerCharacter)
{
  Stock s;
  IBitmap font = s.gui->LoadIBitmap(kImgFont, "font.png", 96, true);
  IText left(12, &COLOR_WHITE, nullptr, IText::kStyleNormal, IText::kAlignNear);
  s.Add(new IBitmapTextControl(s.plug, IRECT(10, 10, 90, 22), &font, "A~\x01", &left));
  s.Open();
  EXPECT_EQ(s.At(12, 15), FontColor('A' - 32));
  EXPECT_EQ(s.At(18, 15), FontColor('~' - 32));
  EXPECT_EQ(s.At(24, 15), FontColor('?' - 32)) << "unprintable bytes draw as '?'";
  EXPECT_EQ(s.At(31, 15), kClear);
}
}  // namespace
