// The Linux VST 3 module in the mini host's X11 mode under Xvfb: the built bundle loaded with
// dlopen, audio on a thread of its own through a loop-back cable, the view attached to a real
// top-level window with the host's run loop, and input through the X server (XTest). The
// window's pixels are compared with the editor's Linux pictures (the headless host draws the
// same bitmap) and with pictures of the X11 tests (VX_UPDATE_GOLDENS=1 records those anew).
#include "Raster_Blit.h"
#include "Raster_PNG.h"
#include "Vst3X11Host.h"
#include "X11Golden.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>

using namespace vst3host;

namespace
{
// Control positions of the meter's editor.
constexpr int kStartX = 60, kStartY = 180;  // Start, and Cancel over it while measuring
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

std::string BinaryOf(const char* bundle)
{
  return Module::BinaryPath(bundle);
}

class Vst3X11ViewTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    std::string error;
    ASSERT_TRUE(mHost.Start(VX_VST3_BUNDLE, &error)) << error;
    ASSERT_TRUE(mHost.OpenView(&error)) << error;
    mHost.Pump(200);
  }
  void TearDown() override { EXPECT_TRUE(mHost.Stop()) << "the module unloads cleanly"; }

  std::unique_ptr<Raster_MemBitmap> Grab()
  {
    std::unique_ptr<Raster_MemBitmap> shot(new Raster_MemBitmap);
    EXPECT_TRUE(X11GrabWindow(mHost.Display(), mHost.Editor(), shot.get()));
    return shot;
  }

  // The window against one of the editor's Linux pictures: the same drawing, pixel for pixel.
  void ExpectEditorPicture(const char* name)
  {
    std::unique_ptr<Raster_MemBitmap> shot = Grab();
    EXPECT_EQ(X11CompareWithGolden(shot.get(), MeterGolden(name), false), "") << name;
    std::unique_ptr<Raster_IBitmap> golden(Raster_LoadPNG(MeterGolden(name).c_str()));
    ASSERT_TRUE(golden);
    EXPECT_EQ(X11CountDifferentPixels(shot.get(), golden.get()), 0) << name << ": the window is the editor's bitmap";
  }

  // The window against a picture of the X11 tests (recorded by the test that shows it first).
  void ExpectX11Picture(const char* name, bool recordable = true)
  {
    std::unique_ptr<Raster_MemBitmap> shot = Grab();
    EXPECT_EQ(X11CompareWithGolden(shot.get(), X11Golden(name), recordable), "") << name;
  }

  // A click as a user makes it: a second click on the same spot comes after the double-click
  // interval (the editor would take the two as a double click, as Windows does).
  void Click(int x, int y)
  {
    const auto now = std::chrono::steady_clock::now();
    if (std::abs(x - mLastX) <= 5 && std::abs(y - mLastY) <= 5 && now - mLastClick < std::chrono::milliseconds(450))
      mHost.Pump((int)std::chrono::duration_cast<std::chrono::milliseconds>(mLastClick + std::chrono::milliseconds(450) - now).count());
    mHost.Display().Click(mHost.Editor(), x, y);
    mLastClick = std::chrono::steady_clock::now();
    mLastX = x;
    mLastY = y;
    mHost.Pump(150);
  }

  X11Host mHost;
  std::chrono::steady_clock::time_point mLastClick;
  int mLastX = -100, mLastY = -100;
};

// The results area of a grab, to see whether it changed.
std::vector<uint32_t> ResultsArea(Raster_MemBitmap* shot)
{
  std::vector<uint32_t> out;
  for (int y = 196; y < 272; ++y)
    for (int x = 48; x < 240; ++x) out.push_back(shot->getBits()[(size_t)y * shot->getRowSpan() + x]);
  return out;
}
}  // namespace

TEST_F(Vst3X11ViewTest, TheViewAttachesAtTheEditorsSizeInsideTheHostsWindowAndShowsTheMeter)
{
  ViewRect size{};
  ASSERT_EQ(mHost.View()->getSize(&size), kResultOk);
  EXPECT_EQ(size.right - size.left, 251);
  EXPECT_EQ(size.bottom - size.top, 310);
  int x = -1, y = -1, w = 0, h = 0;
  ASSERT_TRUE(mHost.Display().Geometry(mHost.Editor(), &x, &y, &w, &h));
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(w, 251);
  EXPECT_EQ(h, 310);
  EXPECT_TRUE(mHost.Display().IsViewable(mHost.Editor()));
  for (const char* type : {"HWND", "x11embedwindowid", "NSView", ""})
    EXPECT_EQ(mHost.View()->isPlatformTypeSupported(type), kResultFalse) << type;
  // One timer at the editor's frame rate and one handler for the editor's connection.
  EXPECT_EQ(mHost.PlugFrame().mLoop.NTimers(), 1);
  EXPECT_EQ(mHost.PlugFrame().mLoop.NEventHandlers(), 1);
  EXPECT_EQ(mHost.PlugFrame().mLoop.LastTimerInterval(), 40u);
  ExpectEditorPicture("editor_idle");
}

TEST_F(Vst3X11ViewTest, StartByAClickShowsProgressEverySecondThenTheResultsAndHidesCancel)
{
  ASSERT_TRUE(mHost.Process(2048));
  EXPECT_EQ(mHost.Audio().LastOutputPeak(), 0.0f) << "silent while idle";
  Click(kStartX, kStartY);
  // The settling second and a little more: the first progress text.
  ASSERT_TRUE(mHost.Process(kSecond + 1024));
  EXPECT_GT(mHost.Audio().LastOutputPeak(), 0.3f) << "the tone is on";
  ExpectX11Picture("progress");
  std::vector<uint32_t> previous = ResultsArea(Grab().get());
  for (int second = 2; second <= 4; ++second)
  {
    ASSERT_TRUE(mHost.Process(kSecond));
    std::vector<uint32_t> now = ResultsArea(Grab().get());
    EXPECT_NE(now, previous) << "the progress text changes after second " << second;
    previous = now;
  }
  // The rest of the 13 seconds: the results, and Start in place of Cancel.
  ASSERT_TRUE(mHost.Process(9 * kSecond + 2048));
  ExpectX11Picture("results");
  ASSERT_TRUE(mHost.Process(2048));
  EXPECT_EQ(mHost.Audio().LastOutputPeak(), 0.0f) << "silent again after the run";
}

TEST_F(Vst3X11ViewTest, CancelDuringARunSilencesTheTone)
{
  Click(kStartX, kStartY);
  ASSERT_TRUE(mHost.Process(2 * kSecond + 100));
  EXPECT_GT(mHost.Audio().LastOutputPeak(), 0.3f);
  Click(kStartX, kStartY);  // Cancel lies over Start
  ASSERT_TRUE(mHost.Process(2048));
  EXPECT_EQ(mHost.Audio().LastOutputPeak(), 0.0f);
  // Blank results, Start back: the editor looks as it did at first.
  ExpectEditorPicture("editor_idle");
}

TEST_F(Vst3X11ViewTest, AFrequencyTypedIntoTheEntryCommitsWithReturnAndIsDroppedWithEscape)
{
  X11TestDisplay& d = mHost.Display();
  Click(kFrequencyX, kFrequencyY);
  ExpectX11Picture("entry_open");  // the whole text selected
  d.Type("5");
  mHost.Pump(100);
  ExpectX11Picture("entry_typed");
  d.Key(kKeysymEscape);
  mHost.Pump(150);
  ExpectEditorPicture("editor_idle");

  Click(kFrequencyX, kFrequencyY);
  d.Type("1000");
  mHost.Pump(50);
  d.Key(kKeysymReturn);
  mHost.Pump(200);
  ExpectX11Picture("frequency1000");

  // The next run plays 1000 Hz.
  Click(kStartX, kStartY);
  ASSERT_TRUE(mHost.Process(1024));
  mHost.Audio().ResetCrossings();
  ASSERT_TRUE(mHost.Process(kSecond / 2));
  const double hz = (double)mHost.Audio().Crossings() * 48000.0 / (double)mHost.Audio().CrossingFrames();
  EXPECT_NEAR(hz, 1000.0, 4.0);
}

TEST_F(Vst3X11ViewTest, AFaderDragAndAWheelNotchChangeTheLabelAndTheTone)
{
  X11TestDisplay& d = mHost.Display();
  Click(kStartX, kStartY);
  ASSERT_TRUE(mHost.Process(kSecond / 4));
  const float atMinus10 = mHost.Audio().LastOutputPeak();
  EXPECT_NEAR(atMinus10, std::pow(10.0, -10.0 / 20.0), 0.01);

  // Press on the handle, drag it 30 pixels right (the pointer held by the fader all the way,
  // also beyond the window's edge), release.
  d.MoveTo(mHost.Editor(), kFaderX, kFaderY);
  d.ButtonDown(1);
  mHost.Pump(50);
  d.MoveTo(mHost.Editor(), kFaderX + 15, kFaderY + 40);
  mHost.Pump(50);
  d.MoveTo(mHost.Editor(), kFaderX + 30, kFaderY + 200);  // below the editor window
  mHost.Pump(50);
  d.ButtonUp(1);
  mHost.Pump(100);
  ASSERT_TRUE(mHost.Process(kSecond / 4));
  const float dragged = mHost.Audio().LastOutputPeak();
  EXPECT_GT(dragged, atMinus10 * 1.5f) << "louder after the drag";
  ExpectX11Picture("fader_dragged");

  // One notch down: one hundredth of the travel, a softer tone and another label.
  std::unique_ptr<Raster_MemBitmap> before = Grab();
  d.Wheel(mHost.Editor(), kFaderX + 30, kFaderY, false);
  mHost.Pump(150);
  ASSERT_TRUE(mHost.Process(kSecond / 4));
  EXPECT_LT(mHost.Audio().LastOutputPeak(), dragged);
  EXPECT_GT(mHost.Audio().LastOutputPeak(), dragged * 0.9f);
  std::unique_ptr<Raster_MemBitmap> after = Grab();
  EXPECT_GT(X11CountDifferentPixels(before.get(), after.get()), 10) << "the label shows the new volume";
}

TEST_F(Vst3X11ViewTest, TheAboutBoxOpensAndOKClosesIt)
{
  Click(kAboutX, kAboutY);
  ExpectX11Picture("about");
  Click(kOKX, kOKY);
  ExpectEditorPicture("editor_idle");
}

TEST_F(Vst3X11ViewTest, AnExposedStripUnderTheResultsTextIsDrawnAgainWithItsLines)
{
  Click(kStartX, kStartY);
  ASSERT_TRUE(mHost.Process(13 * kSecond + 2048));
  ExpectX11Picture("results", false);
  // Another window over results lines 3 to 5 (below the text control's own rectangle), then
  // gone: the server asks the editor to draw that strip again.
  X11TestDisplay& d = mHost.Display();
  const xcb_window_t cover = d.Cover(mHost.Editor(), 0, 232, 251, 32, 0xFF00FF);
  mHost.Pump(100);
  d.Uncover(cover);
  mHost.Pump(150);
  ExpectX11Picture("results", false);
}

TEST_F(Vst3X11ViewTest, AFrameChangedWhileShownTakesTheHandlersFromTheOldLoopToTheNewOne)
{
  X11PlugFrame& first = mHost.PlugFrame();
  X11PlugFrame second;
  second.mDisplay = &mHost.Display();
  second.mWindow = first.mWindow;
  ASSERT_EQ(mHost.View()->setFrame(&second), kResultOk);
  EXPECT_EQ(first.mLoop.NTimers() + first.mLoop.NEventHandlers(), 0) << "nothing left with the old loop";
  EXPECT_EQ(first.mLoop.Refs(), 1) << "the old loop let go of";
  EXPECT_EQ(second.mLoop.NTimers(), 1);
  EXPECT_EQ(second.mLoop.NEventHandlers(), 1);
  // The new loop drives the editor.
  mHost.Display().Click(mHost.Editor(), kAboutX, kAboutY);
  second.mLoop.Run(150);
  ExpectX11Picture("about", false);

  // A host that takes the frame away and gives one back while the editor is shown.
  ASSERT_EQ(mHost.View()->setFrame(nullptr), kResultOk);
  EXPECT_EQ(second.mLoop.NTimers() + second.mLoop.NEventHandlers(), 0);
  EXPECT_EQ(second.mLoop.Refs(), 1);
  ASSERT_EQ(mHost.View()->setFrame(&first), kResultOk);
  EXPECT_EQ(first.mLoop.NTimers(), 1) << "the editor is driven again";
  EXPECT_EQ(first.mLoop.NEventHandlers(), 1);
  Click(kOKX, kOKY);
  ExpectEditorPicture("editor_idle");
}

TEST(Vst3X11View, AHostWithoutARunLoopGetsNoEditor)
{
  X11Host host;
  std::string error;
  ASSERT_TRUE(host.Start(VX_VST3_BUNDLE, &error)) << error;
  host.PlugFrame().mOfferRunLoop = false;
  EXPECT_FALSE(host.OpenView(&error));
  EXPECT_EQ(error, "attached refused");
  EXPECT_TRUE(host.Display().Children(host.Frame()).empty());
  host.CloseView();
  EXPECT_TRUE(host.Stop());
}

// The whole window drawn again (another window covered it all): what it shows is then the
// editor's bitmap as it stands, whatever was drawn where before.
void RedrawAll(X11Host& host)
{
  int w = 0, h = 0;
  host.Display().Geometry(host.Editor(), nullptr, nullptr, &w, &h);
  const xcb_window_t cover = host.Display().Cover(host.Editor(), 0, 0, w, h, 0x00FF00);
  host.Pump(50);
  host.Display().Uncover(cover);
  host.Pump(100);
}

TEST(Vst3X11View, AtAContentScaleTheEditorIsShownScaledAndClicksAreMappedBack)
{
  // Two instances side by side, one at the host's scale 2: the same steps in both.
  X11Host plain, scaled;
  std::string error;
  ASSERT_TRUE(plain.Start(VX_VST3_BUNDLE, &error)) << error;
  ASSERT_TRUE(scaled.Start(VX_VST3_BUNDLE, &error)) << error;
  ASSERT_TRUE(plain.OpenView(&error, 1.0f, 10, 10)) << error;
  ASSERT_TRUE(scaled.OpenView(&error, 2.0f, 280, 10)) << error;
  plain.Pump(100);
  scaled.Pump(100);
  ViewRect size{};
  ASSERT_EQ(scaled.View()->getSize(&size), kResultOk);
  EXPECT_EQ(size.right, 502);
  EXPECT_EQ(size.bottom, 620);
  int w = 0, h = 0;
  ASSERT_TRUE(scaled.Display().Geometry(scaled.Editor(), nullptr, nullptr, &w, &h));
  EXPECT_EQ(w, 502);
  EXPECT_EQ(h, 620);

  // The window is the editor's bitmap scaled by the raster library's filtered scaling, to the
  // bit; a click at window coordinates reaches the control at editor coordinates.
  auto expectScaledOfPlain = [&](const char* step) {
    RedrawAll(plain);
    RedrawAll(scaled);
    Raster_MemBitmap one, two, expected(502, 620, 4);
    ASSERT_TRUE(X11GrabWindow(plain.Display(), plain.Editor(), &one));
    ASSERT_TRUE(X11GrabWindow(scaled.Display(), scaled.Editor(), &two));
    Raster_ScaledBlit(&expected, &one, 0, 0, 502, 620, 0.0f, 0.0f, 251.0f, 310.0f, 1.0f, kRasterMode_Bilinear);
    EXPECT_EQ(X11CountDifferentPixels(&two, &expected), 0) << step;
  };
  expectScaledOfPlain("idle");
  plain.Display().Click(plain.Editor(), kAboutX, kAboutY);
  scaled.Display().Click(scaled.Editor(), 2 * kAboutX + 1, 2 * kAboutY + 1);
  plain.Pump(150);
  scaled.Pump(150);
  expectScaledOfPlain("about");
  Raster_MemBitmap about;
  ASSERT_TRUE(X11GrabWindow(plain.Display(), plain.Editor(), &about));
  EXPECT_EQ(X11CompareWithGolden(&about, X11Golden("about"), false), "");

  // A scale asked for while the view is shown: the host is told the new size.
  IPlugViewContentScaleSupport* scale = nullptr;
  ASSERT_EQ(scaled.View()->queryInterface(IPlugViewContentScaleSupport::iid.Data(), (void**)&scale), kResultOk);
  const int resizes = scaled.PlugFrame().mResizes;
  EXPECT_EQ(scale->setContentScaleFactor(1.5f), kResultOk);
  EXPECT_EQ(scaled.PlugFrame().mResizes, resizes + 1);
  EXPECT_NE(scale->setContentScaleFactor(0.0f), kResultOk) << "no window of no size";
  scale->release();
  scaled.Pump(100);
  ASSERT_TRUE(scaled.Display().Geometry(scaled.Editor(), nullptr, nullptr, &w, &h));
  EXPECT_EQ(w, 377);
  EXPECT_EQ(h, 465);
  EXPECT_TRUE(plain.Stop());
  EXPECT_TRUE(scaled.Stop());
}

TEST(Vst3X11View, AHostThatDestroysItsWindowBeforeRemovingTheViewLeavesNothingBehind)
{
  X11Host host;
  std::string error;
  ASSERT_TRUE(host.Start(VX_VST3_BUNDLE, &error)) << error;
  int clients = 0;
  long resources = 0;
  host.Display().ServerTotals(&clients, &resources);
  ASSERT_TRUE(host.OpenView(&error)) << error;
  host.Pump(100);
  host.Display().DestroyWindow(host.Frame());  // the editor's window goes with it
  host.Pump(100);
  host.PlugFrame().mWindow = 0;
  host.CloseView();  // removed() now
  EXPECT_EQ(host.PlugFrame().mLoop.NTimers(), 0);
  EXPECT_EQ(host.PlugFrame().mLoop.NEventHandlers(), 0);
  int clientsAfter = 0;
  long resourcesAfter = 0;
  host.Display().ServerTotalsSettled(clients, resources, &clientsAfter, &resourcesAfter);
  EXPECT_EQ(clientsAfter, clients) << "the editor's connection is closed";
  EXPECT_EQ(resourcesAfter, resources);
  EXPECT_TRUE(host.Stop());
}

TEST(Vst3X11View, AHundredOpenCloseCyclesLeaveNoServerResourcesOrDescriptorsAndTheModuleUnloads)
{
  // Instance A keeps its editor open, so the module's connection lives through all cycles of
  // instance B: whatever B's editor left behind would stay counted against that connection.
  X11Host a, b;
  std::string error;
  ASSERT_TRUE(a.Start(VX_VST3_BUNDLE, &error)) << error;
  ASSERT_TRUE(b.Start(VX_VST3_BUNDLE, &error)) << error;
  int clients0 = 0;
  long resources0 = 0;
  a.Display().ServerTotals(&clients0, &resources0);
  const int descriptors0 = CountOpenDescriptors();

  ASSERT_TRUE(a.OpenView(&error, 1.0f, 10, 10)) << error;
  a.Pump(100);
  ASSERT_TRUE(b.OpenView(&error, 1.0f, 300, 10)) << error;
  b.Pump(100);
  b.CloseView();
  a.Pump(50);
  const long plugInResources = a.Display().ClientResources(a.Editor());
  ASSERT_GT(plugInResources, 0);
  int clients1 = 0;
  long resources1 = 0;
  a.Display().ServerTotals(&clients1, &resources1);
  const int descriptors1 = CountOpenDescriptors();

  for (int i = 0; i < 100; ++i)
  {
    ASSERT_TRUE(b.OpenView(&error, 1.0f, 300, 10)) << error << " at cycle " << i;
    b.Pump(i % 20 == 0 ? 80 : 5);
    if (i % 25 == 0) b.Display().Click(b.Editor(), kAboutX, kAboutY);
    b.CloseView();
    ASSERT_EQ(b.PlugFrame().mLoop.NTimers() + b.PlugFrame().mLoop.NEventHandlers(), 0) << "cycle " << i;
  }
  a.Pump(50);
  EXPECT_EQ(a.Display().ClientResources(a.Editor()), plugInResources);
  int clients2 = 0;
  long resources2 = 0;
  a.Display().ServerTotalsSettled(clients1, resources1, &clients2, &resources2);
  EXPECT_EQ(clients2, clients1);
  EXPECT_EQ(resources2, resources1);
  EXPECT_EQ(CountOpenDescriptors(), descriptors1);
  EXPECT_EQ(b.PlugFrame().mLoop.NRegistrations(), 2 * 101) << "a timer and a descriptor handler per attach";
  EXPECT_EQ(b.PlugFrame().mLoop.Refs(), 1) << "every reference on the run loop given back";

  // The last editor closed: the module's connection goes.
  a.CloseView();
  a.Pump(20);
  int clients3 = 0;
  long resources3 = 0;
  a.Display().ServerTotalsSettled(clients0, resources0, &clients3, &resources3);
  EXPECT_EQ(clients3, clients0);
  EXPECT_EQ(resources3, resources0);
  EXPECT_EQ(CountOpenDescriptors(), descriptors0);

  const std::string binary = BinaryOf(VX_VST3_BUNDLE);
  EXPECT_TRUE(a.Stop());
  EXPECT_TRUE(b.Stop());
  EXPECT_EQ(dlopen(binary.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr) << "the module is unloaded";
}
