// Threads around the editor: a host thread pushing parameter and control values while the
// user-interface thread ticks and draws, and two editors sharing cached images and fonts
// drawing on two threads. Run under ThreadSanitizer.
#include "EditorTestSupport.h"

#include "IGraphicsCaches.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
struct MeterLike : EditorFixture
{
  MeterLike() : EditorFixture(251, 310)
  {
    gui->AttachBackground(kImgBackground, "background.png");
    IBitmap button = gui->LoadIBitmap(kImgButton, "button.png", 2);
    IBitmap handle = gui->LoadIBitmap(kImgHandle, "handle.png");
    gui->AttachControl(new IBitmapControl(plug, 10, 10, kParamBool, &button));
    gui->AttachControl(new IRadioButtonsControl(plug, IRECT(118, 94, 134, 144), kParamEnum, 3, &button));
    gui->AttachControl(new IFaderControl(plug, 10, 200, 120, kParamDouble, &handle, kHorizontal));
    IText style(12, &COLOR_BLACK, "DejaVu Sans", IText::kStyleNormal, IText::kAlignNear);
    text = new ITextControl(plug, IRECT(10, 230, 240, 300), &style, "THD 0.01 %");
    gui->AttachControl(text);
    messageIdx = gui->AttachControl(new ProbeControl(plug, IRECT(0, 0, 1, 1), "dummy", nullptr));
    AttachAndOpen();
  }
  ITextControl* text;
  int messageIdx;
};

TEST(EditorThreads, HostThreadSetsValuesWhileTheUIThreadDraws)
{
  RegisterTestImages();
  MeterLike m;
  std::atomic<bool> stop{false};
  std::thread host([&] {
    int i = 0;
    while (!stop.load(std::memory_order_acquire))
    {
      const double v = (i % 100) / 100.0;
      m.gui->SetParameterFromPlug(kParamDouble, v, true);
      m.gui->SetParameterFromPlug(kParamEnum, (double)(i % 3), false);
      m.gui->SetControlFromPlug(m.messageIdx, (i & 1) ? 0.55555555 : 0.55555556);
      ++i;
    }
  });
  for (int tick = 0; tick < 300; ++tick)
  {
    m.gui->Tick();
    if (tick % 10 == 0) m.text->SetTextFromPlug(tick % 20 ? "THD 0.02 %" : "THD 0.01 %");
  }
  stop.store(true, std::memory_order_release);
  host.join();
  m.gui->Tick();
}

TEST(EditorThreads, TwoEditorsShareImagesAndFontsOnTwoThreads)
{
  RegisterTestImages();
  MeterLike a, b;
  auto run = [](MeterLike* m) {
    for (int i = 0; i < 200; ++i)
    {
      m->text->SetTextFromPlug(i & 1 ? "H2 0.001\nH3 0.0002" : "THD 0.5 %");
      m->gui->SetAllControlsDirty();
      m->gui->Tick();
      IRECT r(0, 0, 0, 0);
      m->gui->MeasureIText(m->text->GetText(), "measure me", &r);
    }
  };
  std::thread ta(run, &a), tb(run, &b);
  ta.join();
  tb.join();
  EXPECT_EQ(a.text->GetText()->mCached, b.text->GetText()->mCached);  // one shared font
}
}  // namespace
