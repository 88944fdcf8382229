// The Windows module in a Win32 host under Wine: the view in a real window, driven with posted
// messages while a host thread processes the looped-back tone; snapshots of the window compared
// with pictures recorded under Wine (VX_UPDATE_GOLDENS=1 records them anew).
#include "Vst3WinHost.h"

#include "Raster_Bitmap.h"
#include "Raster_PNG.h"
#include "Raster_PNGWrite.h"
#include "Raster_SnapshotCompare.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

using namespace vst3host;

namespace
{
// Control positions of the meter's editor.
constexpr int kStartX = 60, kStartY = 180;  // Start, and Cancel over it while measuring
constexpr int kAboutX = 160, kAboutY = 290;
constexpr int kOKX = 120, kOKY = 190;
constexpr int kFrequencyX = 140, kFrequencyY = 82;
constexpr long kSecond = 48000;

std::string SourceDir()
{
  const char* dir = std::getenv("VX_SOURCE_DIR");
  return WindowsPath(dir ? dir : ".");
}

std::string GoldenPath(const char* name)
{
  return SourceDir() + "\\tools\\vst3host\\tests\\golden\\win\\" + name + ".png";
}

// The window's pictures are opaque: RGB files.
bool WritePNG(const std::string& path, Raster_IBitmap* bitmap)
{
  Raster_PNGWriteOptions rgb;
  rgb.mAlpha = false;
  return Raster_WritePNG(bitmap, path.c_str(), rgb);
}

class Vst3WinViewTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    std::string error;
    ASSERT_TRUE(mHost.Start(VX_VST3_BUNDLE, &error)) << error;
    ASSERT_TRUE(mHost.OpenView(&error)) << error;
    WinHost::Pump(300);
  }
  void TearDown() override { EXPECT_TRUE(mHost.Stop()) << "the module unloads cleanly"; }

  // Processes frames on the host's audio thread while the user-interface thread keeps running.
  void Process(long frames)
  {
    mHost.ProcessAsync(frames);
    const DWORD end = GetTickCount() + 60000;
    while (!mHost.AudioDone() && (int)(end - GetTickCount()) > 0) WinHost::Pump(5);
    ASSERT_TRUE(mHost.AudioDone());
    WinHost::Pump(200);  // the next timer ticks show what the engine posted
  }

  // Compares the window with the golden picture (or records it).
  void ExpectSnapshot(const char* name)
  {
    std::vector<unsigned int> pixels;
    int w = 0, h = 0;
    ASSERT_TRUE(mHost.Grab(&pixels, &w, &h));
    Raster_MemBitmap actual(w, h, 4);
    for (int y = 0; y < h; ++y)
      std::memcpy(actual.getBits() + (size_t)y * actual.getRowSpan(), pixels.data() + (size_t)y * w, sizeof(unsigned int) * w);
    const std::string golden = GoldenPath(name);
    if (Raster_UpdateGoldensRequested())
    {
      EXPECT_TRUE(WritePNG(golden, &actual)) << golden;
      return;
    }
    std::unique_ptr<Raster_IBitmap> expected(Raster_LoadPNG(golden.c_str()));
    ASSERT_TRUE(expected) << "no golden " << golden << " (record with VX_UPDATE_GOLDENS=1)";
    const Raster_SnapshotReport report = Raster_CompareSnapshot(&actual, expected.get());
    EXPECT_TRUE(report.match) << name << ": " << report.reason;
    if (!report.match) WritePNG(name + std::string(".actual.png"), &actual);
  }

  WinHost mHost;
};
}  // namespace

TEST_F(Vst3WinViewTest, TheViewAttachesAtTheEditorsSizeAndShowsTheMeter)
{
  ViewRect size{};
  ASSERT_EQ(mHost.View()->getSize(&size), kResultOk);
  EXPECT_EQ(size.right - size.left, 251);
  EXPECT_EQ(size.bottom - size.top, 310);
  EXPECT_EQ(GetParent(mHost.Editor()), mHost.Frame());
  RECT r;
  GetClientRect(mHost.Editor(), &r);
  EXPECT_EQ(r.right, 251);
  EXPECT_EQ(r.bottom, 310);
  EXPECT_NE(mHost.View()->isPlatformTypeSupported("hwnd"), kResultOk);
  ExpectSnapshot("initial");
  EXPECT_TRUE(mHost.ClosedMessageBoxes().empty());
}

TEST_F(Vst3WinViewTest, StartShowsProgressWhileTheHostProcessesThenResultsAndCancelHides)
{
  Process(2048);
  EXPECT_EQ(mHost.LastOutputPeak(), 0.0f) << "silent while idle";
  mHost.Click(kStartX, kStartY);
  WinHost::Pump(200);
  // The settling second and a little more: the first progress text.
  Process(kSecond + 1024);
  EXPECT_GT(mHost.LastOutputPeak(), 0.3f) << "the tone is on";
  ExpectSnapshot("progress");
  // The rest of the 13 seconds: the results, and Start in place of Cancel.
  Process(12 * kSecond + 2048);
  ExpectSnapshot("results");
  Process(2048);
  EXPECT_EQ(mHost.LastOutputPeak(), 0.0f) << "silent again after the run";
}

TEST_F(Vst3WinViewTest, CancelDuringARunStopsIt)
{
  mHost.Click(kStartX, kStartY);
  WinHost::Pump(200);
  Process(2 * kSecond + 100);
  EXPECT_GT(mHost.LastOutputPeak(), 0.3f);
  mHost.Click(kStartX, kStartY);  // Cancel lies over Start
  WinHost::Pump(200);
  Process(2048);
  EXPECT_EQ(mHost.LastOutputPeak(), 0.0f);
  // Blank results, Start back: the editor looks as it did at first.
  ExpectSnapshot("initial");
}

TEST_F(Vst3WinViewTest, AFrequencyTypedIntoTheEntryChangesTheDisplayAndTheTone)
{
  mHost.Click(kFrequencyX, kFrequencyY);
  WinHost::Pump(100);
  HWND entry = FindWindowExA(mHost.Editor(), nullptr, "Edit", nullptr);
  ASSERT_NE(entry, nullptr);
  // Escape leaves everything as it was.
  PostMessageA(entry, WM_CHAR, '5', 1);
  PostMessageA(entry, WM_KEYDOWN, VK_ESCAPE, 1);
  WinHost::Pump(200);
  EXPECT_EQ(FindWindowExA(mHost.Editor(), nullptr, "Edit", nullptr), nullptr);
  ExpectSnapshot("initial");

  mHost.Click(kFrequencyX, kFrequencyY);
  WinHost::Pump(100);
  entry = FindWindowExA(mHost.Editor(), nullptr, "Edit", nullptr);
  ASSERT_NE(entry, nullptr);
  for (const char* c = "1000"; *c; ++c) PostMessageA(entry, WM_CHAR, (WPARAM)*c, 1);
  WinHost::Pump(50);
  char typed[16] = {};
  GetWindowTextA(entry, typed, sizeof typed);
  EXPECT_STREQ(typed, "1000");
  PostMessageA(entry, WM_KEYDOWN, VK_RETURN, 1);
  WinHost::Pump(250);
  EXPECT_EQ(FindWindowExA(mHost.Editor(), nullptr, "Edit", nullptr), nullptr);
  ExpectSnapshot("frequency1000");

  // The next run plays 1000 Hz.
  mHost.Click(kStartX, kStartY);
  WinHost::Pump(200);
  Process(1024);
  mHost.ResetCrossings();
  Process(kSecond / 2);
  const double hz = (double)mHost.Crossings() * 48000.0 / (double)mHost.CrossingFrames();
  EXPECT_NEAR(hz, 1000.0, 4.0);
}

namespace
{
// Every endEdit the host hears has its beginEdit (and every begin its end), per parameter, in
// the order the component handler received them.
::testing::AssertionResult EditsPaired(const std::vector<ComponentHandler::Edit>& edits, int* begins)
{
  std::map<ParamID, int> open;
  for (const ComponentHandler::Edit& e : edits)
  {
    if (e.kind == 'b')
    {
      if (open[e.id]++ != 0) return ::testing::AssertionFailure() << "a second beginEdit of " << e.id;
      ++*begins;
    }
    if (e.kind == 'e' && open[e.id]-- != 1)
      return ::testing::AssertionFailure() << "endEdit of " << e.id << " without its beginEdit";
  }
  for (const auto& [id, n] : open)
    if (n != 0) return ::testing::AssertionFailure() << "beginEdit of " << id << " never ended";
  return ::testing::AssertionSuccess();
}
}  // namespace

// Double clicks (press, release, double click, release) on the meter's parameter controls, and
// a click on one that only commits the open frequency entry.
TEST_F(Vst3WinViewTest, EveryEndEditHasItsBeginEdit)
{
  struct Spot { const char* name; int x, y; };
  const Spot spots[] = {{"Output", 140, 42}, {"Input", 140, 62}, {"Denoising", 126, 119}, {"Volume", 135, 156}};
  for (const Spot& s : spots)
  {
    const LPARAM at = MAKELPARAM(s.x, s.y);
    PostMessageA(mHost.Editor(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(mHost.Editor(), WM_LBUTTONUP, 0, at);
    PostMessageA(mHost.Editor(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageA(mHost.Editor(), WM_LBUTTONUP, 0, at);
    WinHost::Pump(150);
    int begins = 0;
    EXPECT_TRUE(EditsPaired(mHost.Handler().mEdits, &begins)) << "after the double click on " << s.name;
  }
  int begins = 0;
  EXPECT_TRUE(EditsPaired(mHost.Handler().mEdits, &begins));
  EXPECT_GE(begins, 4) << "each control's press began an edit";

  // The click on the Input control that commits the entry begins and ends nothing; the next
  // click on it begins and ends one edit of Input (parameter 1).
  const size_t before = mHost.Handler().mEdits.size();
  mHost.Click(kFrequencyX, kFrequencyY);
  WinHost::Pump(100);
  HWND entry = FindWindowExA(mHost.Editor(), nullptr, "Edit", nullptr);
  ASSERT_NE(entry, nullptr);
  for (const char* c = "440"; *c; ++c) PostMessageA(entry, WM_CHAR, (WPARAM)*c, 1);
  WinHost::Pump(50);
  mHost.Click(140, 62);
  WinHost::Pump(200);
  EXPECT_EQ(FindWindowExA(mHost.Editor(), nullptr, "Edit", nullptr), nullptr) << "the click committed the entry";
  const std::vector<ComponentHandler::Edit>& edits = mHost.Handler().mEdits;
  for (size_t i = before; i < edits.size(); ++i)
    EXPECT_EQ(edits[i].kind, 'p') << "the committing click: " << edits[i].kind << " of " << edits[i].id;
  const size_t committed = edits.size();
  mHost.Click(140, 62);
  WinHost::Pump(200);
  begins = 0;
  EXPECT_TRUE(EditsPaired(edits, &begins)) << "after the click that committed the entry, and the next one";
  ASSERT_GE(edits.size(), committed + 2);
  EXPECT_EQ(edits[committed].kind, 'b');
  EXPECT_EQ(edits[committed].id, 1u);
  EXPECT_EQ(edits.back().kind, 'e');
  EXPECT_EQ(edits.back().id, 1u);
}

TEST_F(Vst3WinViewTest, TheAboutBoxOpensAndCloses)
{
  mHost.Click(kAboutX, kAboutY);
  WinHost::Pump(250);
  ExpectSnapshot("about");
  mHost.Click(kOKX, kOKY);
  WinHost::Pump(250);
  ExpectSnapshot("initial");
}

TEST(Vst3WinModule, ViewsOpenAndCloseAHundredTimesWithoutLeakingAndTheModuleUnloads)
{
  WinHost host;
  std::string error;
  ASSERT_TRUE(host.Start(VX_VST3_BUNDLE, &error)) << error;
  ASSERT_TRUE(host.OpenView(&error)) << error;
  WinHost::Pump(100);
  host.CloseView();
  const DWORD before = CountGdiObjects();
  ASSERT_GT(before, 0u);
  for (int i = 0; i < 100; ++i)
  {
    ASSERT_TRUE(host.OpenView(&error)) << error << " at cycle " << i;
    WinHost::Pump(i % 20 == 0 ? 60 : 2);
    host.CloseView();
  }
  EXPECT_EQ(CountGdiObjects(), before);
  HMODULE module = GetModuleHandleA("VeldramixMeter.vst3");
  EXPECT_NE(module, nullptr);
  EXPECT_TRUE(host.Stop());
  EXPECT_EQ(GetModuleHandleA("VeldramixMeter.vst3"), nullptr) << "the module is unloaded";
  // Its window class went with the last window.
  WNDCLASSA wc = {};
  EXPECT_FALSE(GetClassInfoA(module, "FxEditorWndClass", &wc));
}
