// Editors come and go with their plug-ins; the module's caches stay as they were.
#include "EditorTestSupport.h"

#include "IGraphicsCaches.h"

#include <gtest/gtest.h>

namespace
{
void BuildAndDraw()
{
  EditorFixture f(251, 310);
  IGraphicsHeadless* gui = f.gui;
  gui->AttachBackground(kImgBackground, "background.png");
  IBitmap button = gui->LoadIBitmap(kImgButton, "button.png", 2);
  IBitmap handle = gui->LoadIBitmap(kImgHandle, "handle.png");
  for (int i = 0; i < 6; ++i) gui->AttachControl(new IBitmapControl(f.plug, 10 + 20 * i, 10, kParamBool, &button));
  gui->AttachControl(new IRadioButtonsControl(f.plug, IRECT(118, 94, 134, 144), kParamEnum, 3, &button));
  gui->AttachControl(new IFaderControl(f.plug, 10, 200, 120, kParamDouble, &handle, kHorizontal));
  IText style(12, &COLOR_BLACK, "DejaVu Sans", IText::kStyleNormal, IText::kAlignNear);
  gui->AttachControl(new ITextControl(f.plug, IRECT(10, 230, 240, 300), &style, "THD 0.01 %\nH2 1e-4"));
  f.AttachAndOpen();
  f.Settle();
  gui->Click(15, 15);
  f.Settle();
}

TEST(Leaks, ThousandEditorsLeaveTheCachesAsTheyWere)
{
  RegisterTestImages();
  BuildAndDraw();  // the first editor fills the caches
  const int images = s_bitmapCache.GetSize(), fonts = s_fontCache.GetSize();
  for (int i = 0; i < 1000; ++i) BuildAndDraw();
  EXPECT_EQ(s_bitmapCache.GetSize(), images);
  EXPECT_EQ(s_fontCache.GetSize(), fonts);
}
}  // namespace
