// The meter's own controls: each hands its user's action to the meter (from_GUI with its tag),
// and IDummyControl hands the engine's messages to MyIdle in the editor's drawing pass.
#include "IThdMeterControls.h"

#include "IGraphics.h"
#include "IThdMeter.h"

#include <cstring>

namespace {
// The frame an image control shows for a value: 1 for single images, else the nearest of N.
int FrameForValue(const IBitmap& bitmap, double value)
{
  if (bitmap.N < 2) return 1;
  const double pos = value * (bitmap.N - 1) + 0.5;
  if (!(pos >= 0.0)) return 1;  // negative or NaN
  const int frame = (int)pos + 1;
  return frame > bitmap.N ? bitmap.N : frame;
}
}  // namespace

// ---- IMyRadioButton ----------------------------------------------------------------------------

IMyRadioButton::IMyRadioButton(IThdMeter* meter, int x, int y, int paramIdx, IBitmap* bitmap, int tag,
                               IChannelBlend blend)
  : IBitmapControl(meter, x, y, paramIdx, bitmap, blend), mMeter(meter), mTag(tag)
{
}

void IMyRadioButton::OnMouseDown(int, int, IMouseMod*)
{
  const double step = mBitmap.N < 2 ? 1.0 : 1.0 / (mBitmap.N - 1);
  double value = mValue + step;
  if (value > 1.001) value = 0.0;
  mValue = value;
  SetDirty(true);
  mMeter->from_GUI(mTag);
}

void IMyRadioButton::OnMouseDblClick(int x, int y, IMouseMod* mod)
{
  OnMouseDown(x, y, mod);  // a double click is one more click
}

// ---- AlgDisplayN -------------------------------------------------------------------------------

AlgDisplayN::AlgDisplayN(IThdMeter* meter, IRECT rect, IText* text, const char* str)
  : IControl(meter, rect, -1, IChannelBlend(IChannelBlend::kBlendNone)), mMeter(meter)
{
  DisablePrompt(true);
  if (text) SetTextStyle(*text);
  SetTextEntryLength(kMaxShown);
  mStr.Set(str ? str : "");
}

void AlgDisplayN::OnMouseDown(int, int, IMouseMod*)
{
  if (IGraphics* gui = GetGUI()) gui->CreateTextEntry(this, &mText, &mRECT, mStr.Get(), nullptr);
}

bool AlgDisplayN::Draw(IGraphics* graphics)
{
  if (!mStr.Get()[0]) return true;
  return graphics->DrawIText(&mText, mStr.Get(), &mRECT);
}

void AlgDisplayN::TextFromTextEntry(const char* text)
{
  if (!text) text = "";
  // A platform entry may deliver more than the entry length; show its first characters and
  // hand the meter no more than its buffer holds (SetFrequencyEntry cuts to 7).
  const size_t shown = strnlen(text, kMaxShown);
  mStr.Set(text, (int)shown);
  mMeter->SetFrequencyEntry(text);
  mMeter->from_GUI(kTagFrequencyEntry);
  mMeter->ApplyPendingEditorTexts();
  SetDirty(false);
}

void AlgDisplayN::SetTextFromPlug(const char* str)
{
  if (!str) str = "";
  if (std::strcmp(str, mStr.Get()) == 0) return;
  mStr.Set(str);
  SetDirty(false);
}

// ---- IMyFaderControl ---------------------------------------------------------------------------

IMyFaderControl::IMyFaderControl(IThdMeter* meter, int x, int y, int len, int paramIdx, IBitmap* bitmap,
                                 EDirection direction, int tag)
  : IFaderControl(meter, x, y, len, paramIdx, bitmap, direction, false), mMeter(meter), mTag(tag), mDir(direction),
    mX(x), mY(y), mLength(len)
{
}

void IMyFaderControl::SnapToMouse(int x, int y)
{
  const int h = mDir == kHorizontal ? mBitmap.W : mBitmap.H;
  const int span = mLength - h;
  if (span <= 0) return;  // a handle as long as the travel has nowhere to go
  if (mDir == kHorizontal)
    mValue = (double)(x - mRECT.L - h / 2) / span;
  else
    mValue = 1.0 - (double)(y - mRECT.T - h / 2) / span;
  SetDirty(true);  // clamps to 0..1
  mMeter->from_GUI(mTag);
  mMeter->ApplyPendingEditorTexts();
  Redraw();
}

void IMyFaderControl::OnMouseDblClick(int, int, IMouseMod*)
{
  if (mDefaultValue >= 0.0)
  {
    mValue = (double)mDefaultValue;
    SetDirty(true);
  }
  mMeter->from_GUI(mTag);
  mMeter->ApplyPendingEditorTexts();
}

void IMyFaderControl::OnMouseWheel(int, int, IMouseMod* mod, int d)
{
  const double step = mod && (mod->C || mod->S) ? 0.001 : 0.01;
  mValue = mValue + d * step;
  SetDirty(true);
  mMeter->from_GUI(mTag);
  mMeter->ApplyPendingEditorTexts();
}

bool IMyFaderControl::Draw(IGraphics* graphics)
{
  // The bar spans the whole travel, the handle the travel less its size: the bar ends under
  // the handle.
  const double value = mValue;
  IRECT bar = mDir == kHorizontal ? IRECT(mX, mY + 5, mX + (int)(mLength * value), mY + 7)
                                  : IRECT(mX + 5, mY + (int)((1.0 - value) * mLength), mX + 7, mY + mLength);
  if (bar.R > bar.L && bar.B > bar.T) graphics->FillIRect(&kBarColor, &bar);
  IRECT handle = GetHandleRECT(value);
  return graphics->DrawBitmap(&mBitmap, &handle, 1, &mBlend);
}

// ---- IMyBitmapControl ----------------------------------------------------------------------------

IMyBitmapControl::IMyBitmapControl(IThdMeter* meter, int x, int y, int paramIdx, IBitmap* bitmap, int tag)
  : IControl(meter, IRECT(x, y, x + (bitmap ? bitmap->FrameWidth() : 0), y + (bitmap ? bitmap->FrameHeight() : 0)),
             paramIdx, IChannelBlend(IChannelBlend::kBlendNone)),
    mMeter(meter), mTag(tag)
{
  if (bitmap) mBitmap = *bitmap;
}

void IMyBitmapControl::OnMouseDown(int, int, IMouseMod*)
{
  mMeter->from_GUI(mTag);
}

bool IMyBitmapControl::Draw(IGraphics* graphics)
{
  return graphics->DrawBitmap(&mBitmap, &mRECT, FrameForValue(mBitmap, mValue), &mBlend);
}

// ---- IMyButton ---------------------------------------------------------------------------------

IMyButton::IMyButton(IThdMeter* meter, IRECT rect, int paramIdx, int tag)
  : IControl(meter, rect, paramIdx, IChannelBlend(IChannelBlend::kBlendClobber)), mMeter(meter), mTag(tag)
{
  DisablePrompt(true);
}

void IMyButton::OnMouseDown(int, int, IMouseMod*)
{
  mMeter->from_GUI(mTag);
  mValue = mValue < 0.5 ? 1.0 : 0.0;
  SetDirty(true);
}

// ---- IDummyControl -----------------------------------------------------------------------------

IDummyControl::IDummyControl(IThdMeter* meter, IRECT rect)
  : IControl(meter, rect, -1, IChannelBlend(IChannelBlend::kBlendNone)), mMeter(meter)
{
}

bool IDummyControl::Draw(IGraphics*)
{
  if (const double message = TakeMessage(); message != 0.0) mMeter->MyIdle(message);
  mMeter->ApplyPendingEditorTexts();
  return true;
}

double IDummyControl::TakeMessage()
{
  // Only a message is taken, and in one step (read, 0 left in its place), so a message the
  // audio thread posts meanwhile is either the one taken here or stays for the next pass. When
  // it posts between the look and the take, the newer message is taken, as a later message
  // always replaces an unread one. Any other value is left as it stands.
  if (!IsEngineMessage(GetValue())) return 0.0;
  const double taken = TakeValue(0.0);
  return IsEngineMessage(taken) ? taken : 0.0;
}

bool IDummyControl::IsDirty()
{
  // A message posted while the pass that drew this control was ending finds it cleaned, but
  // still waits here.
  return IControl::IsDirty() || IsEngineMessage(GetValue()) || mMeter->HasEditorWork();
}
