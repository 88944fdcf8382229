// The window hosts' shared test plug-in and recording control.

#include "WindowTestProbe.h"

#include "IGraphics.h"
#include "IParam.h"

WindowTestPlug::WindowTestPlug(const char* name, int uniqueId)
  : IFxTestBinding(IFxInstanceInfo{}, kNumTestParams, "1-1", 1, name, "", "test", 0x10000, uniqueId, 0x54657374, 0,
                   false, false, false)
{
  GetParam(kTestParamGain)->InitDouble("Gain", 0.0, -60.0, 12.0, 0.1, "dB");
  GetParam(kTestParamCount)->InitInt("Count", 0, 0, 10);
  IParam* mode = GetParam(kTestParamMode);
  mode->InitEnum("Mode", 0, 3);
  mode->SetDisplayText(0, "Sine");
  mode->SetDisplayText(1, "Square");
  mode->SetDisplayText(2, "Saw");
  GetParam(kTestParamOn)->InitBool("On", false);
}

ProbeControl::ProbeControl(IFxBase* plug, IRECT rect, IColor color, int paramIdx)
  : IControl(plug, rect, paramIdx), mColor(color)
{
}

bool ProbeControl::Draw(IGraphics* graphics)
{
  ++mDraws;
  // Only the part being redrawn, as image controls do: the rest of the back buffer stays as the
  // screen shows it.
  IRECT r = mRECT.Intersect(graphics->GetDrawRECT());
  return r.Empty() || graphics->FillIRect(&mColor, &r);
}

void ProbeControl::OnMouseDown(int x, int y, IMouseMod* mod)
{
  ++mDowns;
  mLastX = x;
  mLastY = y;
  if (mod) mLastMod = mLastDownMod = *mod;
}

void ProbeControl::OnMouseUp(int x, int y, IMouseMod* mod)
{
  ++mUps;
  mLastX = x;
  mLastY = y;
  if (mod) mLastMod = *mod;
}

void ProbeControl::OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod)
{
  ++mDrags;
  mLastX = x;
  mLastY = y;
  mLastDX = dX;
  mLastDY = dY;
  if (mod) mLastMod = *mod;
}

void ProbeControl::OnMouseDblClick(int x, int y, IMouseMod* mod)
{
  ++mDblClicks;
  mLastX = x;
  mLastY = y;
  if (mod) mLastMod = *mod;
}

void ProbeControl::OnMouseWheel(int x, int y, IMouseMod* mod, int d)
{
  ++mWheels;
  mLastX = x;
  mLastY = y;
  mLastWheel = d;
  if (mod) mLastMod = *mod;
}

bool ProbeControl::OnKeyDown(int x, int y, int key)
{
  ++mKeys;
  mLastX = x;
  mLastY = y;
  mLastKey = key;
  return mAcceptKeys;
}

void ProbeControl::TextFromTextEntry(const char* text)
{
  ++mTextEntries;
  mLastText.Set(text ? text : "");
}

void ProbeControl::SetValueFromUserInput(double value)
{
  ++mUserInputs;
  mLastUserInput = value;
  IControl::SetValueFromUserInput(value);
}
