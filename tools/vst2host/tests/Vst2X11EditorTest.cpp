// The Linux VST 2 module's editor in the mini host's X11 mode under Xvfb: VeldramixMeter.so
// loaded with dlopen, audio on a thread of its own through a loop-back cable, the editor opened
// with effEditOpen in a real top-level window and driven by effEditIdle from the host's loop,
// input through the X server (XTest), and the window compared with the editor's pictures.
#include "Vst2X11Host.h"
#include "X11Golden.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace
{
constexpr int kStartX = 60, kStartY = 180;
constexpr int kAboutX = 160, kAboutY = 290;
constexpr int kOKX = 120, kOKY = 190;
constexpr int kFrequencyX = 140, kFrequencyY = 82;
constexpr int kFaderX = 133, kFaderY = 156;  // the volume handle at -10 dB
constexpr long kSecond = 48000;
constexpr uint32_t kKeysymReturn = 0xff0d, kKeysymEscape = 0xff1b;

std::string MeterGolden(const char* name)
{
  return X11SourcePath(std::string("src/meter/tests/golden/") + name + ".png");
}

std::string X11Golden(const char* name)
{
  return X11SourcePath(std::string("tools/x11host/golden/") + name + ".png");
}

class Vst2X11EditorTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    std::string error;
    ASSERT_TRUE(mHost.Start(VX_VST2_MODULE, &error)) << error;
    ASSERT_EQ(mHost.OpenEditor(&error), 1) << error;
    mHost.Pump(200);
  }
  void TearDown() override { mHost.Stop(); }

  void ExpectPicture(const std::string& golden)
  {
    Raster_MemBitmap shot;
    ASSERT_TRUE(X11GrabWindow(mHost.Display(), mHost.Editor(), &shot));
    EXPECT_EQ(X11CompareWithGolden(&shot, golden, false), "") << golden;
  }

  // Clicks as a user makes them: the same spot again only after the double-click interval.
  void Click(int x, int y)
  {
    const auto now = std::chrono::steady_clock::now();
    if (std::abs(x - mLastX) <= 5 && std::abs(y - mLastY) <= 5 && now - mLastClick < std::chrono::milliseconds(450))
      mHost.Pump(450);
    mHost.Display().Click(mHost.Editor(), x, y);
    mLastClick = std::chrono::steady_clock::now();
    mLastX = x;
    mLastY = y;
    mHost.Pump(150);
  }

  Vst2X11Host mHost;
  std::chrono::steady_clock::time_point mLastClick;
  int mLastX = -100, mLastY = -100;
};
}  // namespace

TEST_F(Vst2X11EditorTest, TheEditorOpensInTheHostsWindowAtItsSizeAndShowsTheMeter)
{
  EXPECT_TRUE(mHost.Host().Effect()->flags & effFlagsHasEditor);
  int x = -1, y = -1, w = 0, h = 0;
  ASSERT_TRUE(mHost.Display().Geometry(mHost.Editor(), &x, &y, &w, &h));
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(w, 251);
  EXPECT_EQ(h, 310);
  ExpectPicture(MeterGolden("editor_idle"));
}

TEST_F(Vst2X11EditorTest, StartShowsProgressThenResultsAndCancelSilencesAnotherRun)
{
  Click(kStartX, kStartY);
  ASSERT_TRUE(mHost.Process(kSecond + 1024));
  EXPECT_GT(mHost.Audio().LastOutputPeak(), 0.3f);
  ExpectPicture(X11Golden("progress"));
  ASSERT_TRUE(mHost.Process(12 * kSecond + 2048));
  ExpectPicture(X11Golden("results"));
  ASSERT_TRUE(mHost.Process(2048));
  EXPECT_EQ(mHost.Audio().LastOutputPeak(), 0.0f);

  // Another window over results lines 3 to 5 (below the text control's own rectangle), then
  // gone: the strip is drawn again with its lines.
  const xcb_window_t cover = mHost.Display().Cover(mHost.Editor(), 0, 232, 251, 32, 0xFF00FF);
  mHost.Pump(100);
  mHost.Display().Uncover(cover);
  mHost.Pump(150);
  ExpectPicture(X11Golden("results"));

  Click(kStartX + 10, kStartY);
  ASSERT_TRUE(mHost.Process(kSecond));
  EXPECT_GT(mHost.Audio().LastOutputPeak(), 0.3f);
  Click(kStartX + 20, kStartY);  // Cancel over Start
  ASSERT_TRUE(mHost.Process(2048));
  EXPECT_EQ(mHost.Audio().LastOutputPeak(), 0.0f);
}

TEST_F(Vst2X11EditorTest, TheFrequencyEntryTakesReturnAndEscapeAndTheAboutBoxCloses)
{
  X11TestDisplay& d = mHost.Display();
  Click(kFrequencyX, kFrequencyY);
  d.Type("5");
  d.Key(kKeysymEscape);
  mHost.Pump(150);
  ExpectPicture(MeterGolden("editor_idle"));
  Click(kFrequencyX, kFrequencyY);
  d.Type("1000");
  d.Key(kKeysymReturn);
  mHost.Pump(200);
  ExpectPicture(X11Golden("frequency1000"));
  Click(kAboutX, kAboutY);
  Click(kOKX, kOKY);
  ExpectPicture(X11Golden("frequency1000"));
}

TEST_F(Vst2X11EditorTest, AFaderDragAndAWheelNotchChangeTheLabelAndTheTone)
{
  X11TestDisplay& d = mHost.Display();
  Click(kStartX, kStartY);
  ASSERT_TRUE(mHost.Process(kSecond / 4));
  const float atMinus10 = mHost.Audio().LastOutputPeak();
  EXPECT_NEAR(atMinus10, std::pow(10.0, -10.0 / 20.0), 0.01);

  // The handle pressed, dragged 30 pixels right (beyond the window's edge on the way) and let go.
  d.MoveTo(mHost.Editor(), kFaderX, kFaderY);
  d.ButtonDown(1);
  mHost.Pump(50);
  d.MoveTo(mHost.Editor(), kFaderX + 15, kFaderY + 40);
  mHost.Pump(50);
  d.MoveTo(mHost.Editor(), kFaderX + 30, kFaderY + 200);
  mHost.Pump(50);
  d.ButtonUp(1);
  mHost.Pump(100);
  ASSERT_TRUE(mHost.Process(kSecond / 4));
  const float dragged = mHost.Audio().LastOutputPeak();
  EXPECT_GT(dragged, atMinus10 * 1.5f) << "louder after the drag";
  ExpectPicture(X11Golden("fader_dragged"));

  // One notch down: a little softer, and the label shows it.
  Raster_MemBitmap before, after;
  ASSERT_TRUE(X11GrabWindow(d, mHost.Editor(), &before));
  d.Wheel(mHost.Editor(), kFaderX + 30, kFaderY, false);
  mHost.Pump(150);
  ASSERT_TRUE(mHost.Process(kSecond / 4));
  EXPECT_LT(mHost.Audio().LastOutputPeak(), dragged);
  EXPECT_GT(mHost.Audio().LastOutputPeak(), dragged * 0.9f);
  ASSERT_TRUE(X11GrabWindow(d, mHost.Editor(), &after));
  EXPECT_GT(X11CountDifferentPixels(&before, &after), 10) << "the label shows the new volume";
}

TEST(Vst2X11Editor, AWindowIdThatIsNoWindowOpensNothing)
{
  Vst2X11Host host;
  std::string error;
  ASSERT_TRUE(host.Start(VX_VST2_MODULE, &error)) << error;
  int clients = 0;
  long resources = 0;
  host.Display().ServerTotals(&clients, &resources);
  const xcb_window_t notAWindow = host.Display().Root() + 0x123457;
  EXPECT_EQ(host.Host().Dispatch(effEditOpen, 0, 0, (void*)(uintptr_t)notAWindow), 0);
  EXPECT_EQ(host.Host().Dispatch(effEditIdle), 0);
  int clientsAfter = 0;
  long resourcesAfter = 0;
  host.Display().ServerTotalsSettled(clients, resources, &clientsAfter, &resourcesAfter);
  EXPECT_EQ(clientsAfter, clients) << "no connection stays open for a failed open";
  EXPECT_EQ(resourcesAfter, resources);
  host.Stop();
}

TEST(Vst2X11Editor, AHundredOpenCloseCyclesLeaveNothingBehindAndTheModuleUnloads)
{
  Vst2X11Host host;
  std::string error;
  ASSERT_TRUE(host.Start(VX_VST2_MODULE, &error)) << error;
  int clients0 = 0;
  long resources0 = 0;
  host.Display().ServerTotals(&clients0, &resources0);
  const int descriptors0 = CountOpenDescriptors();
  for (int i = 0; i < 100; ++i)
  {
    ASSERT_EQ(host.OpenEditor(&error), 1) << error << " at cycle " << i;
    host.Pump(i % 20 == 0 ? 80 : 0);
    if (i % 25 == 0) host.Display().Click(host.Editor(), kAboutX, kAboutY);
    host.CloseEditor();
  }
  int clients1 = 0;
  long resources1 = 0;
  host.Display().ServerTotalsSettled(clients0, resources0, &clients1, &resources1);
  EXPECT_EQ(clients1, clients0);
  EXPECT_EQ(resources1, resources0);
  EXPECT_EQ(CountOpenDescriptors(), descriptors0);
  host.Stop();
  EXPECT_EQ(dlopen(VX_VST2_MODULE, RTLD_NOW | RTLD_NOLOAD), nullptr) << "the module is unloaded";
}
