// A small editor in a real top-level window for the Win32 window host's tests: a plug-in with
// four parameter kinds, controls that record what reaches them, a message pump and a screen grab.
#pragma once

#include "IControl.h"
#include "IGraphicsWin.h"
#include "Util_String.h"
#include "WindowTestProbe.h"

#include <gtest/gtest.h>

#include <functional>

// The hosts' shared test plug-in, under this host's name.
class WinTestPlug : public WindowTestPlug
{
public:
  WinTestPlug();
};

class WinEditorTest : public ::testing::Test
{
protected:
  static constexpr int kW = 251, kH = 310;

  void SetUp() override;
  void TearDown() override;

  // Runs the thread's message loop for the given time.
  static void Pump(int ms);
  // Runs it until the condition holds or the time is up; returns the condition.
  static bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 3000);
  // Opens the editor in the parent window and lets the first timer tick draw it.
  HWND Open();
  // The editor window's pixels as the screen shows them (a BitBlt of its device context),
  // as 0x00RRGGBB words, row by row.
  bool GrabWindow(HWND wnd, int w, int h, unsigned int* pixels);
  // The back buffer's pixel (x, y) without alpha.
  unsigned int BackPixel(int x, int y);

  HWND mParent = nullptr;
  WinTestPlug* mPlug = nullptr;
  IGraphicsWin* mGUI = nullptr;
  ProbeControl* mBackground = nullptr;
  ProbeControl* mProbe = nullptr;   // (20, 20) - (120, 60)
  ProbeControl* mEntry = nullptr;   // (20, 100) - (120, 120), bound to nothing

  // What reached the parent window: its last key message.
  static UINT sParentKeyMsg;
  static WPARAM sParentKeyCode;
  // Message boxes: the last one shown and the answer given.
  static int sMessageBoxes;
  static Util_String sLastBoxText, sLastBoxCaption;
  static void* sLastBoxOwner;
  static int sLastBoxType;
  static int sBoxAnswer;
};
