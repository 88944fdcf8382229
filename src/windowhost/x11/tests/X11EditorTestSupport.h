// A small editor in a real window for the X11 window host's tests: a plug-in with four
// parameter kinds, controls that record what reaches them, the host's own connection for a
// parent window, real input (XTest) and the window's pixels, and a loop that runs the editor as
// a host's run loop does (its descriptor when readable, its timer every 40 ms).
#pragma once

#include "IControl.h"
#include "IGraphicsX11.h"
#include "Util_String.h"
#include "WindowTestProbe.h"
#include "X11TestDisplay.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

// The hosts' shared test plug-in, under this host's name.
class X11TestPlug : public WindowTestPlug
{
public:
  X11TestPlug();
};

class X11EditorTest : public ::testing::Test
{
protected:
  static constexpr int kW = 251, kH = 310;

  void SetUp() override;
  void TearDown() override;

  // Opens the editor in the parent window and lets the first ticks draw it.
  void Open();
  // Runs the editor as a host's loop does for ms.
  void Pump(int ms);
  // Runs it until the condition holds (true) or the time is up (false).
  bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 3000);
  // Whether the window shows the editor's bitmap, pixel for pixel; with a scale, the bitmap
  // scaled by the raster library's filtered scaling.
  long WindowDiffersFromBitmap();
  // A click as a user makes it (a second one on the same spot after the double-click interval).
  void Click(int x, int y, int button = 1);
  // Runs fn on a thread of its own while the editor's thread is inside a modal call (a menu, a
  // message box), once a new top-level window has appeared; joins it afterwards.
  void WhileModal(const std::function<void(X11TestDisplay& tester, xcb_window_t shown)>& fn);
  void JoinModal();

  X11TestDisplay mDisplay;
  xcb_window_t mParent = 0;
  X11TestPlug* mPlug = nullptr;
  IGraphicsX11* mGUI = nullptr;
  ProbeControl* mBackground = nullptr;
  ProbeControl* mProbe = nullptr;  // (20, 20) - (120, 60)
  ProbeControl* mEntry = nullptr;  // (20, 100) - (120, 120), bound to nothing

private:
  long CountDifferences();
  std::thread mModal;
  int mLastClickX = -100, mLastClickY = -100;
  std::chrono::steady_clock::time_point mLastClick;
};
