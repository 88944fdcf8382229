// Threads around the editor: a host thread posting values while the user-interface thread
// ticks and draws (no post lost, none taken twice, every control ending where the host left
// it), and two editors sharing cached images and fonts drawing on two threads. Built and run
// under ThreadSanitizer as well, which also reports any unsynchronised access on the way.
#include "EditorTestSupport.h"

#include "IGraphicsCaches.h"
#include "Raster_Fill.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

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
    radio = new IRadioButtonsControl(plug, IRECT(118, 94, 134, 144), kParamEnum, 3, &button);
    gui->AttachControl(radio);
    fader = new IFaderControl(plug, 10, 200, 120, kParamDouble, &handle, kHorizontal);
    gui->AttachControl(fader);
    IText style(12, &COLOR_BLACK, "DejaVu Sans", IText::kStyleNormal, IText::kAlignNear);
    text = new ITextControl(plug, IRECT(10, 230, 240, 300), &style, "THD 0.01 %");
    gui->AttachControl(text);
    messageIdx = gui->AttachControl(new ProbeControl(plug, IRECT(0, 0, 1, 1), "dummy", nullptr));
    AttachAndOpen();
    Settle();
  }
  std::vector<uint32_t> Screen()
  {
    std::vector<uint32_t> px;
    for (int y = 0; y < 310; ++y)
      for (int x = 0; x < 251; ++x) px.push_back(Raster_GetPixel(gui->GetScreen(), x, y));
    return px;
  }
  IRadioButtonsControl* radio;
  IFaderControl* fader;
  ITextControl* text;
  int messageIdx;
};

// Waits (spinning, the other thread is busy) until done() or a generous limit.
template <class F>
bool WaitFor(F done)
{
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done())
  {
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::yield();
  }
  return true;
}

// Keeps a drawing pass running on every tick, so that passes end (and clean every control)
// all the time while the host thread posts.
class AlwaysDirty : public IControl
{
public:
  AlwaysDirty(IFxBase* plug, IRECT rect) : IControl(plug, rect) {}
  bool Draw(IGraphics*) override
  {
    Redraw();
    passes.fetch_add(1, std::memory_order_release);
    return true;
  }
  std::atomic<int> passes{0};
};

// Records the value it drew last.
class ValueShown : public IControl
{
public:
  ValueShown(IFxBase* plug, IRECT rect) : IControl(plug, rect) {}
  bool Draw(IGraphics*) override
  {
    shown.store(GetValue(), std::memory_order_release);
    return true;
  }
  std::atomic<double> shown{-1.0};
};

// Carries messages as the meter's dummy control does: each pass takes the posted value and
// leaves 0 in its place.
class MessageTaker : public IControl
{
public:
  MessageTaker(IFxBase* plug, IRECT rect) : IControl(plug, rect) {}
  bool Draw(IGraphics*) override
  {
    const double v = TakeValue(0.0);
    if (v != 0.0)
    {
      taken.push_back(v);
      nTaken.fetch_add(1, std::memory_order_release);
    }
    return true;
  }
  std::vector<double> taken;  // the user-interface thread's own
  std::atomic<int> nTaken{0};
};

// Runs the user-interface thread's ticks until stopped.
struct UIThread
{
  explicit UIThread(IGraphicsHeadless* gui)
      : thread([this, gui] {
          while (!stop.load(std::memory_order_acquire)) gui->Tick();
        })
  {
  }
  ~UIThread()
  {
    stop.store(true, std::memory_order_release);
    thread.join();
  }
  std::atomic<bool> stop{false};
  std::thread thread;
};

constexpr int kPosts = 5000;

// A host value posted while a pass cleans the control must be drawn: cleaning reads the redraw
// flag and writes the dirty flag, and a post landing between the two was dropped.
TEST(EditorThreads, AValuePostedWhileAPassEndsIsDrawn)
{
  EditorFixture f(40, 40);
  ValueShown* control = new ValueShown(f.plug, IRECT(0, 0, 10, 10));
  f.gui->AttachControl(control);
  f.gui->AttachControl(new AlwaysDirty(f.plug, IRECT(30, 30, 31, 31)));
  f.AttachAndOpen();
  control->SetValueFromPlug(0.0);  // the first value is the default
  int lost = 0;
  {
    UIThread ui(f.gui);
    for (int i = 1; i <= kPosts && !lost; ++i)
    {
      const double v = (double)i / (kPosts + 1);
      control->SetValueFromPlug(v);
      if (!WaitFor([&] { return control->shown.load(std::memory_order_acquire) == v; })) lost = i;
    }
  }
  EXPECT_EQ(lost, 0) << "post " << lost << " was never drawn";
}

// A message taken by the pass must not come back: the host thread stored the value, then read it
// again to clamp it and wrote it back, restoring a message the pass had taken meanwhile.
TEST(EditorThreads, EachPostedMessageIsTakenExactlyOnce)
{
  EditorFixture f(40, 40);
  MessageTaker* control = new MessageTaker(f.plug, IRECT(0, 0, 10, 10));
  f.gui->AttachControl(control);
  AlwaysDirty* pacer = new AlwaysDirty(f.plug, IRECT(5, 5, 6, 6));  // draws the taker on every pass
  f.gui->AttachControl(pacer);
  f.AttachAndOpen();
  control->SetValueFromPlug(0.0);
  std::vector<double> posted;
  int stuck = 0;
  {
    UIThread ui(f.gui);
    for (int i = 1; i <= kPosts && !stuck; ++i)
    {
      const double v = 0.5 + (double)i / (4.0 * kPosts);
      posted.push_back(v);
      control->SetValueFromPlug(v);
      if (!WaitFor([&] { return control->nTaken.load(std::memory_order_acquire) >= i; })) stuck = i;
    }
    // A message restored after its taking would be taken again by one of the next passes.
    const int passes = pacer->passes.load(std::memory_order_acquire);
    WaitFor([&] { return pacer->passes.load(std::memory_order_acquire) > passes + 20; });
  }
  EXPECT_EQ(stuck, 0) << "post " << stuck << " was never taken";
  EXPECT_EQ(control->taken, posted);
}

TEST(EditorThreads, HostThreadSetsValuesWhileTheUIThreadDraws)
{
  RegisterTestImages();
  MeterLike m;
  std::atomic<bool> stop{false};
  std::atomic<int> last{-1};
  std::thread host([&] {
    int i = 0;
    while (!stop.load(std::memory_order_acquire))
    {
      m.gui->SetParameterFromPlug(kParamDouble, (i % 100) / 100.0, true);
      m.gui->SetParameterFromPlug(kParamEnum, (double)(i % 3), false);
      m.gui->SetControlFromPlug(m.messageIdx, (i & 1) ? 0.55555555 : 0.55555556);
      last.store(i, std::memory_order_release);
      ++i;
    }
  });
  for (int tick = 0; tick < 300; ++tick)
  {
    m.gui->Tick();
    if (tick % 10 == 0) m.text->SetTextFromPlug(tick % 20 ? "THD 0.02 %" : "THD 0.01 %");
  }
  // The host thread may start late: it posts for a while during the ticks in any case.
  while (last.load(std::memory_order_acquire) < 200)
  {
    m.gui->Tick();
    std::this_thread::yield();
  }
  stop.store(true, std::memory_order_release);
  host.join();
  m.Settle();

  // Every control ends on the host's last values, and the screen shows them exactly as an editor
  // that was given them at rest.
  const int i = last.load();
  EXPECT_EQ(m.fader->GetValue(), (i % 100) / 100.0);
  EXPECT_EQ(m.radio->GetValue(), (double)(i % 3) / 2.0);
  EXPECT_FALSE(m.gui->IsDirty(nullptr));
  MeterLike still;
  still.gui->SetParameterFromPlug(kParamDouble, (i % 100) / 100.0, true);
  still.gui->SetParameterFromPlug(kParamEnum, (double)(i % 3), false);
  still.text->SetTextFromPlug("THD 0.02 %");
  still.Settle();
  EXPECT_TRUE(m.Screen() == still.Screen());
}

TEST(EditorThreads, TwoEditorsShareImagesAndFontsOnTwoThreads)
{
  RegisterTestImages();
  MeterLike a, b;
  const char* const kTexts[] = {"THD 0.5 %", "H2 0.001\nH3 0.0002"};
  auto run = [&](MeterLike* m, int first) {
    for (int i = 0; i < 200; ++i)
    {
      m->text->SetTextFromPlug(kTexts[(i + first) & 1]);
      m->gui->SetAllControlsDirty();
      m->gui->Tick();
      IRECT r(0, 0, 0, 0);
      m->gui->MeasureIText(m->text->GetText(), "measure me", &r);
    }
  };
  std::thread ta(run, &a, 0), tb(run, &b, 1);
  ta.join();
  tb.join();
  EXPECT_EQ(a.text->GetText()->mCached, b.text->GetText()->mCached);  // one shared font

  // Each drew its own text in its own colour throughout: the last pictures equal ones drawn
  // by one editor alone.
  MeterLike alone;
  alone.text->SetTextFromPlug(kTexts[1]);
  alone.Settle();
  EXPECT_TRUE(a.Screen() == alone.Screen());
  alone.text->SetTextFromPlug(kTexts[0]);
  alone.Settle();
  EXPECT_TRUE(b.Screen() == alone.Screen());
}
}  // namespace
