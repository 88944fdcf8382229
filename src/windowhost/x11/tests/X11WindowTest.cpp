// The X11 window host under Xvfb: the window and its pixels, exposure, the content scale, the
// pointer and the keys, a parent that goes away, and the folders.
#include "X11EditorTestSupport.h"

#include "IParam.h"
#include "Raster_Bitmap.h"
#include "X11Connection.h"

#include <xcb/xcb.h>

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{
constexpr uint32_t kKeysymF1 = 0xffbe, kKeysymUp = 0xff52;
}

TEST_F(X11EditorTest, TheWindowOpensInsideTheParentAtTheEditorsSizeAndShowsTheBitmap)
{
  EXPECT_EQ(mGUI->OpenWindow((void*)(uintptr_t)(mDisplay.Root() + 0x7654321)), nullptr) << "not a window";
  EXPECT_FALSE(X11Connection::IsOpen()) << "a failed open keeps no connection";
  Open();
  EXPECT_EQ(IGraphicsX11::NOpenWindows(), 1);
  const std::vector<xcb_window_t> children = mDisplay.Children(mParent);
  ASSERT_EQ(children.size(), 1u);
  EXPECT_EQ(children[0], mGUI->GetWindowID());
  int x = -1, y = -1, w = 0, h = 0;
  ASSERT_TRUE(mDisplay.Geometry(mGUI->GetWindowID(), &x, &y, &w, &h));
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(w, kW);
  EXPECT_EQ(h, kH);
  EXPECT_STREQ(mGUI->GetGUIAPI(), "X11");
  EXPECT_TRUE(mGUI->UsesSharedMemory()) << "Xvfb shares memory with its local clients";
  EXPECT_EQ(WindowDiffersFromBitmap(), 0);
  mGUI->CloseWindow();
  EXPECT_TRUE(mDisplay.Children(mParent).empty());
  EXPECT_FALSE(X11Connection::IsOpen());
}

TEST_F(X11EditorTest, OnlyTheDirtyRegionIsCopiedAndPlainRequestsGiveTheSamePixels)
{
  for (bool shm : {true, false})
  {
    IGraphicsX11::AllowSharedMemory(shm);
    Open();
    EXPECT_EQ(mGUI->UsesSharedMemory(), shm);
    const int probeDraws = mProbe->mDraws, backgroundDraws = mBackground->mDraws;
    mEntry->mColor = IColor(255, 10, 200, 90);
    mEntry->SetDirty(false);
    Pump(100);
    EXPECT_EQ(mProbe->mDraws, probeDraws) << "a control outside the dirty region is not drawn";
    EXPECT_GT(mBackground->mDraws, backgroundDraws);
    EXPECT_EQ(WindowDiffersFromBitmap(), 0) << (shm ? "shared memory" : "plain requests");
    mGUI->CloseWindow();
  }
  IGraphicsX11::AllowSharedMemory(true);
}

TEST_F(X11EditorTest, AnExposedAreaIsDrawnAgainTogetherWithWhatIsDirtyElsewhere)
{
  Open();
  const xcb_window_t cover = mDisplay.Cover(mGUI->GetWindowID(), 10, 10, 150, 70, 0xFF00FF);
  Pump(50);
  // Meanwhile a control elsewhere changes; the exposure's drawing pass must not lose it.
  mEntry->mColor = IColor(255, 0, 0, 255);
  mEntry->SetDirty(false);
  const int entryDraws = mEntry->mDraws;
  mDisplay.Uncover(cover);
  // The connection's events alone, no timer tick: the exposure's drawing pass draws both.
  for (int i = 0; i < 30; ++i)
  {
    pollfd p = {mGUI->HostEventFD(), POLLIN, 0};
    if (poll(&p, 1, 10) > 0) mGUI->OnHostEvents();
  }
  EXPECT_GT(mEntry->mDraws, entryDraws) << "the changed control is drawn with the exposed area";
  EXPECT_EQ(WindowDiffersFromBitmap(), 0);
  std::vector<uint32_t> pixels;
  int w = 0, h = 0;
  ASSERT_TRUE(mDisplay.Grab(mGUI->GetWindowID(), &pixels, &w, &h));
  EXPECT_EQ(pixels[(size_t)110 * w + 50], 0xFF0000FFu) << "and shown in its new colour";
}

TEST_F(X11EditorTest, AtAContentScaleTheWindowIsTheScaledBitmapAndInputIsMappedBack)
{
  EXPECT_FALSE(mGUI->SetContentScale(0.0));
  EXPECT_FALSE(mGUI->SetContentScale(100.0));
  ASSERT_TRUE(mGUI->SetContentScale(1.5));
  mDisplay.ResizeWindow(mParent, 377, 465);  // the host makes room for the scaled editor
  Open();
  int w = 0, h = 0;
  ASSERT_TRUE(mDisplay.Geometry(mGUI->GetWindowID(), nullptr, nullptr, &w, &h));
  EXPECT_EQ(w, 377);
  EXPECT_EQ(h, 465);
  EXPECT_EQ(WindowDiffersFromBitmap(), 0);
  Click(150, 60);  // (100, 40) of the editor
  EXPECT_EQ(mProbe->mDowns, 1);
  EXPECT_EQ(mProbe->mLastX, 100);
  EXPECT_EQ(mProbe->mLastY, 40);
  // A change and an exposure at the scale: still the scaled bitmap, to the bit.
  mProbe->mColor = IColor(255, 250, 250, 0);
  mProbe->SetDirty(false);
  const xcb_window_t cover = mDisplay.Cover(mGUI->GetWindowID(), 100, 100, 80, 80, 0xFF00FF);
  Pump(50);
  mDisplay.Uncover(cover);
  Pump(100);
  EXPECT_EQ(WindowDiffersFromBitmap(), 0);
  // Back to 1: the window shrinks and shows the bitmap as it is.
  ASSERT_TRUE(mGUI->SetContentScale(1.0));
  Pump(100);
  ASSERT_TRUE(mDisplay.Geometry(mGUI->GetWindowID(), nullptr, nullptr, &w, &h));
  EXPECT_EQ(w, kW);
  EXPECT_EQ(WindowDiffersFromBitmap(), 0);
}

TEST_F(X11EditorTest, APressCapturesTheControlUntilTheReleaseAlsoOutsideTheWindow)
{
  Open();
  mDisplay.MoveTo(mGUI->GetWindowID(), 50, 40);
  mDisplay.ButtonDown(1);
  Pump(50);
  EXPECT_EQ(mProbe->mDowns, 1);
  EXPECT_TRUE(mProbe->mLastDownMod.L);
  mDisplay.MoveTo(mGUI->GetWindowID(), 200, 200);  // over the background
  Pump(30);
  mDisplay.MoveTo(mGUI->GetWindowID(), 400, 330);  // outside the window
  Pump(30);
  EXPECT_EQ(mProbe->mDrags, 2);
  EXPECT_EQ(mProbe->mLastX, 400);
  EXPECT_EQ(mProbe->mLastY, 330);
  mDisplay.ButtonUp(1);
  Pump(50);
  EXPECT_EQ(mProbe->mUps, 1) << "the release reaches the control that took the press";
  EXPECT_FALSE(mProbe->mLastMod.L);
  EXPECT_EQ(mBackground->mDowns + mBackground->mUps + mBackground->mDrags, 0);
}

TEST_F(X11EditorTest, TwoQuickPressesCloseTogetherAreADoubleClickAndTheWheelTurnsInNotches)
{
  Open();
  mDisplay.Click(mGUI->GetWindowID(), 50, 40);
  mDisplay.Click(mGUI->GetWindowID(), 52, 41);
  Pump(60);
  EXPECT_EQ(mProbe->mDowns, 1);
  EXPECT_EQ(mProbe->mDblClicks, 1);
  // Far apart: two clicks.
  Pump(450);
  mDisplay.Click(mGUI->GetWindowID(), 30, 30);
  mDisplay.Click(mGUI->GetWindowID(), 90, 50);
  Pump(60);
  EXPECT_EQ(mProbe->mDowns, 3);
  EXPECT_EQ(mProbe->mDblClicks, 1);
  // A right click says so.
  Click(60, 45, 3);
  EXPECT_EQ(mProbe->mDowns, 4);
  EXPECT_TRUE(mProbe->mLastDownMod.R);
  EXPECT_FALSE(mProbe->mLastDownMod.L);
  EXPECT_FALSE(mProbe->mLastMod.R) << "the release no longer holds the button";
  // The wheel: one notch up, one down, no presses.
  mDisplay.Wheel(mGUI->GetWindowID(), 70, 30, true);
  mDisplay.Wheel(mGUI->GetWindowID(), 70, 30, false);
  mDisplay.Wheel(mGUI->GetWindowID(), 70, 30, false);
  Pump(60);
  EXPECT_EQ(mProbe->mWheels, 3);
  EXPECT_EQ(mProbe->mLastWheel, -1);
  EXPECT_EQ(mProbe->mDowns, 4);
}

TEST_F(X11EditorTest, KeysGoToTheControlUnderThePointerAndTheRestToTheHostsWindow)
{
  // The host's top-level window listens for keys.
  const uint32_t mask = XCB_EVENT_MASK_KEY_PRESS;
  xcb_change_window_attributes(mDisplay.Conn(), mParent, XCB_CW_EVENT_MASK, &mask);
  Open();
  Click(50, 40);  // the pointer over the probe, the keyboard to the editor
  mDisplay.Key('7');
  mDisplay.Key('a');
  mDisplay.Key(kKeysymUp);
  Pump(60);
  EXPECT_EQ(mProbe->mKeys, 3);
  EXPECT_EQ(mProbe->mLastKey, 1);
  // F1 means nothing to the editor; a key the control refuses neither: both go to the host.
  mDisplay.Key(kKeysymF1);
  mProbe->mAcceptKeys = false;
  mDisplay.Key('b');
  Pump(60);
  mDisplay.Sync();
  int passed = 0;
  while (xcb_generic_event_t* e = xcb_poll_for_event(mDisplay.Conn()))
  {
    if ((e->response_type & 0x7F) == XCB_KEY_PRESS && ((xcb_key_press_event_t*)e)->event == mParent) ++passed;
    free(e);
  }
  EXPECT_EQ(passed, 2);
}

TEST_F(X11EditorTest, AHostThatDestroysTheParentFirstLeavesAnEditorThatClosesCleanly)
{
  Open();
  mDisplay.DestroyWindow(mParent);
  mParent = 0;
  Pump(60);
  EXPECT_TRUE(mGUI->WindowLost());
  mProbe->SetDirty(false);
  Pump(60);  // draws nowhere, and no error
  mGUI->CloseWindow();
  EXPECT_FALSE(X11Connection::IsOpen());
}

TEST_F(X11EditorTest, FoldersFollowTheXdgRules)
{
  const char* home = std::getenv("HOME");
  const std::string saved = home ? home : "";
  char dir[] = "/tmp/vx-x11-home-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  setenv("HOME", dir, 1);
  unsetenv("XDG_DATA_HOME");
  unsetenv("XDG_CONFIG_HOME");
  Util_String path;
  mGUI->AppSupportPath(&path);
  EXPECT_EQ(std::string(path.Get()), std::string(dir) + "/.local/share");
  mGUI->AppSupportPath(&path, true);
  EXPECT_STREQ(path.Get(), "/usr/share");
  mGUI->DesktopPath(&path);
  EXPECT_EQ(std::string(path.Get()), std::string(dir) + "/Desktop");
  const std::string config = std::string(dir) + "/.config";
  mkdir(config.c_str(), 0700);
  FILE* f = fopen((config + "/user-dirs.dirs").c_str(), "w");
  ASSERT_TRUE(f);
  fputs("XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n", f);
  fclose(f);
  mGUI->DesktopPath(&path);
  EXPECT_EQ(std::string(path.Get()), std::string(dir) + "/Schreibtisch");
  setenv("XDG_DATA_HOME", "/srv/data", 1);
  mGUI->AppSupportPath(&path);
  EXPECT_STREQ(path.Get(), "/srv/data");
  unsetenv("XDG_DATA_HOME");
  if (home) setenv("HOME", saved.c_str(), 1);
  unlink((config + "/user-dirs.dirs").c_str());
  rmdir(config.c_str());
  rmdir(dir);
  mGUI->PluginPath(&path);
  EXPECT_EQ(path.Get()[0], '/');
}
