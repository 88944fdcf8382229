// What the window hosts' tests in real windows share: a plug-in with four parameter kinds and a
// control that records every event reaching it and draws itself in one colour. Each host's
// fixture (a Win32 top-level window, an X11 parent on the test's own connection) builds its
// editor from these.
#pragma once

#include "IControl.h"
#include "IFxTestBinding.h"
#include "Util_String.h"

enum
{
  kTestParamGain = 0,  // double -60 .. 12 dB
  kTestParamCount,     // int 0 .. 10
  kTestParamMode,      // enum "Sine", "Square", "Saw"
  kTestParamOn,        // bool
  kNumTestParams
};

class WindowTestPlug : public IFxTestBinding
{
public:
  // name and uniqueId tell the hosts' test plug-ins apart.
  WindowTestPlug(const char* name, int uniqueId);
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
  IMouseMod mLastMod, mLastDownMod;
  bool mAcceptKeys = true;
  int mTextEntries = 0, mUserInputs = 0;
  Util_String mLastText;
  double mLastUserInput = -1.0;
};
