// A small editor in a real top-level window for the Win32 window host's tests: a plug-in with
// four parameter kinds, controls that record what reaches them, a message pump and a screen grab.
#pragma once

#include "IControl.h"
#include "IFxTestBinding.h"
#include "IGraphicsWin.h"
#include "Util_String.h"

#include <gtest/gtest.h>

#include <functional>

enum
{
  kTestParamGain = 0,  // double -60 .. 12 dB
  kTestParamCount,     // int 0 .. 10
  kTestParamMode,      // enum "Sine", "Square", "Saw"
  kTestParamOn,        // bool
  kNumTestParams
};

class WinTestPlug : public IFxTestBinding
{
public:
  WinTestPlug();
};

// Records every event and draws itself in one colour.
class ProbeControl : public IControl
{
public:
  ProbeControl(IFxBase* plug, IRECT rect, IColor color, int paramIdx = -1);
  bool Draw(IGraphics* graphics) override;
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseUp(int x, int y, IMouseMod* mod) override;
  void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
  void OnMouseWheel(int x, int y, IMouseMod* mod, int d) override;
  bool OnKeyDown(int x, int y, int key) override;
  void TextFromTextEntry(const char* text) override;
  void SetValueFromUserInput(double value) override;

  IColor mColor;
  int mDraws = 0, mDowns = 0, mUps = 0, mDrags = 0, mDblClicks = 0, mWheels = 0, mKeys = 0;
  int mLastX = -1, mLastY = -1, mLastDX = 0, mLastDY = 0, mLastWheel = 0, mLastKey = -1;
  IMouseMod mLastMod;
  bool mAcceptKeys = true;
  int mTextEntries = 0, mUserInputs = 0;
  Util_String mLastText;
  double mLastUserInput = -1.0;
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
