// The meter's editor in a host-like setting, through the VST 2 binding and the Cocoa view host
// in a real AppKit (GNUstep under Xvfb): a host window hands its view to effEditOpen, the
// view's timer draws the editor, constructed mouse clicks and key presses drive it while audio
// runs, and the pixels that reach the screen (read back with cacheDisplayInRect:) are compared
// with the headless host's golden pictures of the same states and with the back buffer.
#include "IControl.h"
#include "IGraphicsMac.h"
#include "IThdMeter.h"
#include "MacTestPixels.h"
#include "MacTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace
{
// Editor points a user clicks (editor pixels), as the headless editor tests use them.
constexpr int kFrequency[2] = {140, 82};
constexpr int kStart[2] = {125, 182};  // Cancel lies on the same rectangle
constexpr int kAbout[2] = {166, 289}, kOK[2] = {125, 190};

VstIntPtr VSTCALLBACK HostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
{
  if (opcode == audioMasterVersion) return 2400;
  if (opcode == audioMasterGetProductString && ptr)
  {
    strcpy((char*)ptr, "Mac view test host");
    return 1;
  }
  return 0;
}

// A private HOME per test: the meter makes its documents folder there and finds no
// calibration file of the user's.
class MacPrivateHome : public ::testing::Test
{
protected:
  void SetUp() override
  {
    char tmpl[] = "/tmp/vx_mac_home_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    mHome = tmpl;
    const char* old = getenv("HOME");
    mOldHome = old ? old : "";
    setenv("HOME", mHome.c_str(), 1);
  }
  void TearDown() override
  {
    setenv("HOME", mOldHome.c_str(), 1);
    std::error_code ec;
    std::filesystem::remove_all(mHome, ec);
  }
  std::string mHome, mOldHome;
};

// A host: the plug-in through its AEffect record, a window whose content view it hands to the
// editor, and audio blocks looped back from the tone output through a device to the inputs.
class MacHostTest : public MacPrivateHome
{
protected:
  void SetUp() override
  {
    MacPrivateHome::SetUp();
    IFxInstanceInfo info;
    info.mVSTHostCallback = &HostCallback;
    mMeter = new IThdMeter(info);
    mEffect = mMeter->GetAEffect();
    Dispatch(effOpen);
    Dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
  }
  void TearDown() override
  {
    StopAudio();
    if (mView) Dispatch(effEditClose);
    Dispatch(effMainsChanged, 0, 0);
    Dispatch(effClose);  // deletes the plug-in
    if (mWindow) MacCloseWindow(mWindow);
    MacPump(0.05);
    MacPrivateHome::TearDown();
  }

  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 idx = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f)
  {
    return mEffect->dispatcher(mEffect, opcode, idx, value, ptr, opt);
  }

  void Prepare(int block)
  {
    mBlock = block;
    for (auto* v : {&mIn0, &mIn1, &mOut0, &mOut1, &mReturn}) v->assign((size_t)block, 0.0);
    Dispatch(effSetBlockSize, 0, block);
    Dispatch(effMainsChanged, 0, 1);
  }

  // effEditOpen with the host window's view, as a host does after asking for the size.
  void OpenEditor()
  {
    ERect* rect = nullptr;
    ASSERT_EQ(1, Dispatch(effEditGetRect, 0, 0, &rect));
    ASSERT_TRUE(rect != nullptr);
    ASSERT_EQ(251, rect->right - rect->left);
    ASSERT_EQ(310, rect->bottom - rect->top);
    mWindow = MacMakeHostWindow(rect->right, rect->bottom);
    NSView* hostView = [mWindow contentView];
    ASSERT_EQ(1, Dispatch(effEditOpen, 0, 0, hostView));
    ASSERT_EQ(1u, [[hostView subviews] count]);
    mView = (NSView*)[[hostView subviews] objectAtIndex:0];
    mGui = IGraphics::FromPlug(mMeter);
    ASSERT_TRUE(mGui != nullptr);
    EXPECT_STREQ("Cocoa GUI", mGui->GetGUIAPI());
    MacPump(0.2);  // the first ticks draw the whole editor
  }

  // One audio block: the last block's tone comes back through the device on both inputs.
  void Block()
  {
    for (int i = 0; i < mBlock; ++i) mIn0[(size_t)i] = mIn1[(size_t)i] = mReturn[(size_t)i];
    double* ins[2] = {mIn0.data(), mIn1.data()};
    double* outs[2] = {mOut0.data(), mOut1.data()};
    mEffect->processDoubleReplacing(mEffect, ins, outs, mBlock);
    const bool right = mMeter->GetOutputChannel() != 0.0;
    mReturn = right ? mOut1 : mOut0;
    for (double& x : mReturn) x = 0.5 * std::tanh(2.0 * x);
  }

  void StartAudio()
  {
    mRunAudio = true;
    mAudio = std::thread([this] {
      while (mRunAudio.load())
      {
        Block();
        ++mBlocksDone;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    });
  }
  void StopAudio()
  {
    mRunAudio = false;
    if (mAudio.joinable()) mAudio.join();
  }

  std::string ResultsText() const
  {
    IControl* c = mMeter->GetResultsTextControl();
    return c ? c->GetTextFromControl() : "";
  }

  // After a full redraw the screen shows exactly the editor's back buffer. (Between full
  // redraws text drawn past a dirty region is in the back buffer but clipped on screen, in
  // every window host alike.)
  void ExpectScreenShowsBackBuffer(const char* when)
  {
    mGui->SetAllControlsDirty();
    MacPump(0.1);
    int w = 0, h = 0, bw = 0, bh = 0;
    std::vector<unsigned int> screen = MacReadBack(mView, &w, &h);
    std::vector<unsigned int> back = MacBackBuffer(mGui, &bw, &bh);
    ASSERT_EQ(251, w) << when;
    ASSERT_EQ(310, h) << when;
    ASSERT_EQ(w, bw) << when;
    ASSERT_EQ(h, bh) << when;
    int fx, fy;
    EXPECT_EQ(0, MacCountDifferences(screen, back, w, &fx, &fy)) << when << ": first at " << fx << "," << fy;
  }

  // The screen shows the headless host's picture of the same state (both hosts draw text
  // through the same text layer here, so the match is exact).
  void ExpectScreenMatchesGolden(const char* name)
  {
    int w = 0, h = 0, gw = 0, gh = 0;
    std::vector<unsigned int> screen = MacReadBack(mView, &w, &h);
    std::vector<unsigned int> golden = MacLoadPNGPixels(std::string(VX_GOLDEN_DIR) + "/" + name, &gw, &gh);
    ASSERT_EQ(251, gw) << "missing golden picture " << name;
    ASSERT_EQ(gw, w);
    ASSERT_EQ(gh, h);
    int fx, fy;
    EXPECT_EQ(0, MacCountDifferences(screen, golden, w, &fx, &fy)) << name << ": first at " << fx << "," << fy;
  }

  IThdMeter* mMeter = nullptr;
  AEffect* mEffect = nullptr;
  IGraphics* mGui = nullptr;
  NSWindow* mWindow = nil;
  NSView* mView = nil;
  int mBlock = 0;
  std::vector<double> mIn0, mIn1, mOut0, mOut1, mReturn;
  std::atomic<bool> mRunAudio{false};
  std::atomic<int> mBlocksDone{0};
  std::thread mAudio;
};

TEST_F(MacHostTest, ScreenMatchesTheHeadlessPicturesOfEachState)
{
  Prepare(24000);  // two blocks a second
  OpenEditor();
  ExpectScreenMatchesGolden("editor_idle.png");

  // Typing the frequency into the text field, then Start.
  MacClickEditor(mView, kFrequency[0], kFrequency[1]);
  MacPump(0.05);
  NSTextField* field = [(IGraphicsCocoa*)mView textField];
  ASSERT_TRUE(field != nil) << "no text field for the frequency";
  [[mWindow firstResponder] selectAll:nil];
  MacType(mWindow, "1000", true);
  MacPump(0.05);
  EXPECT_TRUE([(IGraphicsCocoa*)mView textField] == nil);
  EXPECT_EQ(1000.0, mMeter->GetFrequency());

  MacClickEditor(mView, kStart[0], kStart[1]);
  for (int i = 0; i < 8; ++i)
  {
    Block();
    MacPump(0.06);
  }
  ExpectScreenMatchesGolden("editor_running.png");

  for (int i = 0; i < 40 && !(ResultsText().rfind("THD=", 0) == 0 && !mMeter->IsMeasuring()); ++i)
  {
    Block();
    MacPump(0.06);
  }
  MacPump(0.1);
  ASSERT_EQ(0u, ResultsText().rfind("THD=", 0)) << ResultsText();
  ExpectScreenMatchesGolden("editor_finished.png");

  MacClickEditor(mView, kAbout[0], kAbout[1]);
  MacPump(0.1);
  ExpectScreenMatchesGolden("editor_about.png");
}

TEST_F(MacHostTest, MeasuresWhileAThreadProcessesAudioThenCancelsAndShowsTheAboutBox)
{
  Prepare(4800);
  OpenEditor();
  StartAudio();

  // Start by a constructed mouse click; progress texts arrive through the timer's drawing.
  MacClickEditor(mView, kStart[0], kStart[1]);
  std::vector<std::string> texts;
  NSDate* limit = [NSDate dateWithTimeIntervalSinceNow:60.0];
  while ([limit timeIntervalSinceNow] > 0)
  {
    MacPump(0.05);
    const std::string text = ResultsText();
    if (texts.empty() || texts.back() != text) texts.push_back(text);
    if (text.rfind("THD=", 0) == 0 && !mMeter->IsMeasuring()) break;
  }
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(0u, texts.back().rfind("THD=", 0)) << texts.back();
  int progress = 0;
  for (const std::string& t : texts) progress += t.rfind("Time left:", 0) == 0;
  EXPECT_GE(progress, 2) << "progress texts seen: " << texts.size();
  MacPump(0.1);
  ExpectScreenShowsBackBuffer("results");

  // Start again, then Cancel (the same button) while audio keeps running.
  MacClickEditor(mView, kStart[0], kStart[1]);
  for (int i = 0; i < 100 && !mMeter->IsMeasuring(); ++i) MacPump(0.02);
  ASSERT_TRUE(mMeter->IsMeasuring());
  MacPump(0.3);
  MacClickEditor(mView, kStart[0], kStart[1]);
  for (int i = 0; i < 100 && mMeter->IsMeasuring(); ++i) MacPump(0.02);
  EXPECT_FALSE(mMeter->IsMeasuring());
  MacPump(0.2);
  ExpectScreenShowsBackBuffer("cancelled");

  // The about box opens over the editor and OK closes it.
  int w = 0, h = 0;
  const std::vector<unsigned int> before = MacReadBack(mView, &w, &h);
  MacClickEditor(mView, kAbout[0], kAbout[1]);
  MacPump(0.15);
  const std::vector<unsigned int> about = MacReadBack(mView, &w, &h);
  int fx, fy;
  EXPECT_GT(MacCountDifferences(before, about, w, &fx, &fy), 1000) << "no about box";
  ExpectScreenShowsBackBuffer("about box");
  MacClickEditor(mView, kOK[0], kOK[1]);
  MacPump(0.15);
  ExpectScreenShowsBackBuffer("about box closed");
  StopAudio();
  EXPECT_GT(mBlocksDone.load(), 100);
}

TEST_F(MacHostTest, EditorOpensAndClosesManyTimes)
{
  Prepare(4800);
  OpenEditor();
  NSView* hostView = [mWindow contentView];
  MacPump(0.05);
  // Counted from the first reopening on: what was autoreleased outside any inner pool before
  // (the first view among it) lives until the program's own pool goes.
  int before = 0;
  for (int i = 0; i < 101; ++i)
  {
    // Hosts call the dispatcher from their event loop, inside its autorelease pool.
    NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
    ASSERT_EQ(1, Dispatch(effEditClose));
    EXPECT_EQ(0u, [[hostView subviews] count]);
    EXPECT_EQ(0, Dispatch(effEditIdle));
    ASSERT_EQ(1, Dispatch(effEditOpen, 0, 0, hostView));
    EXPECT_EQ(1u, [[hostView subviews] count]);
    [pool release];
    if (i == 0) before = GSDebugAllocationCount([IGraphicsCocoa class]);
  }
  mView = (NSView*)[[hostView subviews] objectAtIndex:0];
  MacPump(0.2);
  ExpectScreenShowsBackBuffer("after reopening");
  EXPECT_EQ(before, GSDebugAllocationCount([IGraphicsCocoa class]));
}
}  // namespace
