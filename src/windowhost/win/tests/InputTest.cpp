// Mouse, wheel and key messages posted to the editor window, as a user's input arrives.
#include "WinTestEditor.h"

#include "IControls.h"

namespace
{
LPARAM At(int x, int y)
{
  return MAKELPARAM(x, y);
}
}  // namespace

TEST_F(WinEditorTest, APostedClickReachesTheControlUnderIt)
{
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  PostMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, At(30, 40));
  PostMessageA(wnd, WM_LBUTTONUP, MK_SHIFT, At(31, 41));
  ASSERT_TRUE(PumpUntil([&] { return mProbe->mUps == 1; }));
  EXPECT_EQ(mProbe->mDowns, 1);
  EXPECT_EQ(mProbe->mLastX, 31);
  EXPECT_EQ(mProbe->mLastY, 41);
  EXPECT_TRUE(mProbe->mLastMod.S);
  EXPECT_FALSE(mProbe->mLastMod.C);
  EXPECT_EQ(mEntry->mDowns, 0);
  EXPECT_EQ(mBackground->mDowns, 0);

  PostMessageA(wnd, WM_RBUTTONDOWN, MK_RBUTTON | MK_CONTROL, At(200, 200));
  PostMessageA(wnd, WM_RBUTTONUP, MK_CONTROL, At(200, 200));
  ASSERT_TRUE(PumpUntil([&] { return mBackground->mUps == 1; }));
  EXPECT_TRUE(mBackground->mLastMod.C);
}

TEST_F(WinEditorTest, ADragGoesToTheControlThatWasPressedWithTheDistanceMoved)
{
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  PostMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, At(30, 30));
  ASSERT_TRUE(PumpUntil([&] { return mProbe->mDowns == 1; }));
  // The press captured the mouse for the editor window; the drag leaves the control's area.
  EXPECT_EQ(GetCapture(), wnd);
  PostMessageA(wnd, WM_MOUSEMOVE, MK_LBUTTON, At(35, 130));
  ASSERT_TRUE(PumpUntil([&] { return mProbe->mDrags == 1; }));
  EXPECT_EQ(mProbe->mLastDX, 5);
  EXPECT_EQ(mProbe->mLastDY, 100);
  EXPECT_EQ(mEntry->mDrags, 0);
  // The same position again is no drag.
  PostMessageA(wnd, WM_MOUSEMOVE, MK_LBUTTON, At(35, 130));
  Pump(50);
  EXPECT_EQ(mProbe->mDrags, 1);
  PostMessageA(wnd, WM_LBUTTONUP, 0, At(35, 130));
  ASSERT_TRUE(PumpUntil([&] { return mProbe->mUps == 1; }));
  EXPECT_NE(GetCapture(), wnd);
}

TEST_F(WinEditorTest, ADoubleClickCountsAsAPressForControlsThatAskForIt)
{
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  PostMessageA(wnd, WM_LBUTTONDBLCLK, MK_LBUTTON, At(30, 30));
  ASSERT_TRUE(PumpUntil([&] { return mProbe->mDblClicks == 1; }));
  EXPECT_EQ(mProbe->mDowns, 0);

  mProbe->SetDblAsSingleClick(true);
  PostMessageA(wnd, WM_LBUTTONDBLCLK, MK_LBUTTON, At(30, 30));
  ASSERT_TRUE(PumpUntil([&] { return mProbe->mDowns == 1; }));
  EXPECT_EQ(mProbe->mDblClicks, 1);
  EXPECT_EQ(GetCapture(), wnd);
  ReleaseCapture();
}

// A double click arrives as press, release, double click, release: the host hears one end per
// begin, whether the control takes the double click as such or as a second press.
TEST_F(WinEditorTest, ADoubleClickEndsNoGestureItDidNotBegin)
{
  ProbeControl* gain = new ProbeControl(mPlug, IRECT(140, 20, 230, 60), IColor(255, 90, 90, 200), kTestParamGain);
  mGUI->AttachControl(gain);
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  for (bool asPress : {false, true})
  {
    SCOPED_TRACE(asPress ? "as a second press" : "as a double click");
    gain->SetDblAsSingleClick(asPress);
    mPlug->mBeginEdits = mPlug->mEndEdits = 0;
    const int ups = gain->mUps;
    PostMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, At(150, 30));
    PostMessageA(wnd, WM_LBUTTONUP, 0, At(150, 30));
    PostMessageA(wnd, WM_LBUTTONDBLCLK, MK_LBUTTON, At(150, 30));
    PostMessageA(wnd, WM_LBUTTONUP, 0, At(150, 30));
    ASSERT_TRUE(PumpUntil([&] { return gain->mUps == ups + 2; }));
    EXPECT_EQ(mPlug->mBeginEdits, asPress ? 2 : 1);
    EXPECT_EQ(mPlug->mEndEdits, mPlug->mBeginEdits);
  }
}

TEST_F(WinEditorTest, TheWheelArrivesInScreenCoordinatesAndReachesTheControlThere)
{
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  RECT r;
  GetWindowRect(wnd, &r);
  PostMessageA(wnd, WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, (WORD)(short)-240), At(r.left + 50, r.top + 110));
  ASSERT_TRUE(PumpUntil([&] { return mEntry->mWheels == 1; }));
  EXPECT_EQ(mEntry->mLastX, 50);
  EXPECT_EQ(mEntry->mLastY, 110);
  EXPECT_EQ(mEntry->mLastWheel, -2);
  EXPECT_TRUE(mEntry->mLastMod.S);
  EXPECT_EQ(mProbe->mWheels, 0);
}

TEST(WinKeys, VirtualKeysTranslateToTheEditorsKeyCodes)
{
  struct Case
  {
    WPARAM vk;
    int key;
  } cases[] = {{VK_SPACE, 0}, {VK_UP, 1}, {VK_DOWN, 2}, {VK_LEFT, 3}, {VK_RIGHT, 4}, {'0', 5}, {'9', 14},
               {'A', 15},     {'Z', 40},  {97, 15},     {122, 40},     {VK_F1, 30},   {VK_F12, -1},  {VK_RETURN, -1}, {VK_ESCAPE, -1}};
  for (const Case& c : cases) EXPECT_EQ(IGraphicsWin::TranslateVirtualKey(c.vk), c.key) << "vk " << c.vk;
}

TEST_F(WinEditorTest, KeysGoToTheControlUnderThePointerOrTheKeyCatcherElseToTheHostWindow)
{
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  POINT p = {40, 40};
  ClientToScreen(wnd, &p);
  SetCursorPos(p.x, p.y);
  Pump(20);
  POINT now;
  GetCursorPos(&now);
  if (now.x == p.x && now.y == p.y)
  {
    PostMessageA(wnd, WM_KEYDOWN, 'B', 0);
    ASSERT_TRUE(PumpUntil([&] { return mProbe->mKeys == 1; }));
    EXPECT_EQ(mProbe->mLastKey, 16);
    EXPECT_EQ(sParentKeyMsg, 0u) << "a taken key stays in the editor";

    // A key the control refuses goes on to the host's window.
    mProbe->mAcceptKeys = false;
    PostMessageA(wnd, WM_KEYDOWN, VK_SPACE, 0);
    ASSERT_TRUE(PumpUntil([&] { return sParentKeyMsg == WM_KEYDOWN; }));
    EXPECT_EQ(sParentKeyCode, (WPARAM)VK_SPACE);
    EXPECT_EQ(mProbe->mLastKey, 0);
  }

  // Over the background only, the key catcher takes the key.
  p = {200, 250};
  ClientToScreen(wnd, &p);
  SetCursorPos(p.x, p.y);
  ProbeControl* catcher = new ProbeControl(mPlug, IRECT(), IColor());
  mGUI->AttachKeyCatcher(catcher);
  sParentKeyMsg = 0;
  PostMessageA(wnd, WM_KEYDOWN, '3', 0);
  ASSERT_TRUE(PumpUntil([&] { return catcher->mKeys == 1; }));
  EXPECT_EQ(catcher->mLastKey, 8);
  EXPECT_EQ(mBackground->mKeys, 0);

  // A key the editor does not translate reaches the host's window.
  PostMessageA(wnd, WM_KEYDOWN, VK_F12, 0);
  ASSERT_TRUE(PumpUntil([&] { return sParentKeyMsg == WM_KEYDOWN; }));
  EXPECT_EQ(sParentKeyCode, (WPARAM)VK_F12);
  EXPECT_EQ(catcher->mKeys, 1);
  sParentKeyMsg = 0;
  PostMessageA(wnd, WM_KEYUP, 'A', 0);
  ASSERT_TRUE(PumpUntil([&] { return sParentKeyMsg == WM_KEYUP; }));
}

TEST_F(WinEditorTest, TooltipsFollowTheControlUnderThePointer)
{
  mGUI->EnableTooltips(true);
  mGUI->HandleMouseOver(true);
  mProbe->SetTooltip("Probe tip");
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  ASSERT_NE(mGUI->GetTooltipWindow(), nullptr);
  char cls[64] = {};
  GetClassNameA(mGUI->GetTooltipWindow(), cls, sizeof cls);
  EXPECT_STREQ(cls, "tooltips_class32");

  PostMessageA(wnd, WM_MOUSEMOVE, 0, At(30, 30));
  ASSERT_TRUE(PumpUntil([&] { return mGUI->GetMouseOver() == 1; }));
  SendMessageA(wnd, WM_MOUSEHOVER, 0, At(30, 30));
  EXPECT_TRUE(mGUI->IsTooltipShowing());
  // A press hides it.
  PostMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, At(30, 30));
  PostMessageA(wnd, WM_LBUTTONUP, 0, At(30, 30));
  ASSERT_TRUE(PumpUntil([&] { return mProbe->mUps == 1; }));
  EXPECT_FALSE(mGUI->IsTooltipShowing());
  // Leaving the window resets the mouse-over control.
  SendMessageA(wnd, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(mGUI->GetMouseOver(), -1);
  mGUI->CloseWindow();
  EXPECT_EQ(mGUI->GetTooltipWindow(), nullptr);
}
