// The stock controls the meter's editor is built from: panels, images, switches, radio-button
// groups, faders and texts.
#include "IControls.h"

#include "IFxBase.h"
#include "IGraphics.h"
#include "IParam.h"

#include <cstring>

// ---- IPanelControl ----------------------------------------------------------------------------

IPanelControl::IPanelControl(IFxBase* plug, IRECT rect, const IColor* color)
    : IControl(plug, rect, -1, IChannelBlend(IChannelBlend::kBlendNone)), mColor(color ? *color : COLOR_BLACK)
{
}

bool IPanelControl::Draw(IGraphics* graphics)
{
  return graphics->FillIRect(&mColor, &mRECT, &mBlend);
}

// ---- IBitmapControl ----------------------------------------------------------------------------

namespace
{
IRECT FrameRECT(int x, int y, const IBitmap* bitmap)
{
  return bitmap ? IRECT(x, y, x + bitmap->FrameWidth(), y + bitmap->FrameHeight()) : IRECT(x, y, x, y);
}
}  // namespace

IBitmapControl::IBitmapControl(IFxBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, IChannelBlend blend)
    : IControl(plug, FrameRECT(x, y, bitmap), paramIdx, blend), mBitmap(bitmap ? *bitmap : IBitmap())
{
}

IBitmapControl::IBitmapControl(IFxBase* plug, int x, int y, IBitmap* bitmap, IChannelBlend blend)
    : IBitmapControl(plug, x, y, -1, bitmap, blend)
{
}

bool IBitmapControl::Draw(IGraphics* graphics)
{
  int frame = 1;
  const int n = mBitmap.N;
  if (n >= 2)
  {
    const int k = (int)((double)(n - 1) * mValue + 0.5);
    frame = k < 0 ? 1 : (k < n ? k + 1 : n);
  }
  return graphics->DrawBitmap(&mBitmap, &mRECT, frame, &mBlend);
}

// ---- switches ----------------------------------------------------------------------------------

ISwitchControl::ISwitchControl(IFxBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, IChannelBlend blend)
    : IBitmapControl(plug, x, y, paramIdx, bitmap, blend)
{
}

void ISwitchControl::OnMouseDblClick(int x, int y, IMouseMod* mod)
{
  OnMouseDown(x, y, mod);
}

void ISwitchControl::OnMouseDown(int, int, IMouseMod*)
{
  if (mBitmap.N > 1)
    mValue += 1.0 / (double)(mBitmap.N - 1);
  else
    mValue += 1.0;
  if (mValue > 1.001) mValue = 0.0;
  SetDirty(true);
}

ISwitchPopUpControl::ISwitchPopUpControl(IFxBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, IChannelBlend blend)
    : ISwitchControl(plug, x, y, paramIdx, bitmap, blend)
{
  mDisablePrompt = false;
}

void ISwitchPopUpControl::OnMouseDown(int, int, IMouseMod*)
{
  PromptUserInput(&mRECT);
  SetDirty(true);
}

ISwitchFramesControl::ISwitchFramesControl(IFxBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, bool imagesAreHorizontal,
                                           IChannelBlend blend)
    : ISwitchControl(plug, x, y, paramIdx, bitmap, blend)
{
  mBitmap.mFramesAreHorizontal = imagesAreHorizontal;
  mRECT = mTargetRECT = IRECT(x, y, x + mBitmap.W, y + mBitmap.H);
  const int n = mBitmap.N;
  const int w = mRECT.W(), h = mRECT.H();
  for (int i = 0; i < n; ++i)
  {
    if (imagesAreHorizontal)
      mRECTs.Add(IRECT(x + i * w / n, y, x + (i + 1) * w / n, y + h));
    else
      mRECTs.Add(IRECT(x, y + i * h / n, x + w, y + (i + 1) * h / n));
  }
}

void ISwitchFramesControl::OnMouseDown(int x, int y, IMouseMod*)
{
  const int n = mRECTs.GetSize();
  for (int i = 0; i < n; ++i)
  {
    if (mRECTs.GetAt(i)->Contains(x, y))
    {
      mValue = n > 1 ? (double)i / (double)(n - 1) : 0.0;
      break;
    }
  }
  SetDirty(true);
}

bool ISwitchFramesControl::Draw(IGraphics* graphics)
{
  const int n = mRECTs.GetSize();
  if (!n) return true;
  int k = (int)((double)(n - 1) * mValue + 0.5);
  k = k < 0 ? 0 : (k > n - 1 ? n - 1 : k);
  IRECT area = *mRECTs.GetAt(k);
  // The frame's own place in the image is its area's place in the control.
  return graphics->DrawBitmap(&mBitmap, &area, area.L - mRECT.L, area.T - mRECT.T, &mBlend);
}

IInvisibleSwitchControl::IInvisibleSwitchControl(IFxBase* plug, IRECT rect, int paramIdx)
    : IControl(plug, rect, paramIdx, IChannelBlend(IChannelBlend::kBlendClobber))
{
}

void IInvisibleSwitchControl::OnMouseDown(int, int, IMouseMod*)
{
  mValue = mValue < 0.5 ? 1.0 : 0.0;
  SetDirty(true);
}

IContactControl::IContactControl(IFxBase* plug, int x, int y, int paramIdx, IBitmap* bitmap)
    : ISwitchControl(plug, x, y, paramIdx, bitmap)
{
}

void IContactControl::OnMouseUp(int, int, IMouseMod*)
{
  mValue = 0.0;
  SetDirty(true);
}

// ---- IRadioButtonsControl ------------------------------------------------------------------------

IRadioButtonsControl::IRadioButtonsControl(IFxBase* plug, IRECT rect, int paramIdx, int nButtons, IBitmap* bitmap,
                                           EDirection direction, bool reverse)
    : IControl(plug, rect, paramIdx, IChannelBlend(IChannelBlend::kBlendNone)), mBitmap(bitmap ? *bitmap : IBitmap())
{
  if (nButtons < 1) nButtons = 1;
  const int g = mBitmap.N > 0 ? mBitmap.H / mBitmap.N : 0;
  const int w = mBitmap.W;
  for (int k = 0; k < nButtons; ++k)
  {
    // Reversed groups put the first choice at the far end.
    const int i = reverse ? nButtons - 1 - k : k;
    if (direction == kHorizontal)
    {
      const int s = nButtons > 1 ? (rect.W() - nButtons * w) / (nButtons - 1) : 0;
      const int left = rect.L + i * (s + w);
      mRECTs.Add(IRECT(left, rect.T, left + w, rect.T + g));
    }
    else
    {
      const double s = nButtons > 1 ? (double)(rect.H() - nButtons * g) / (double)(nButtons - 1) : 0.0;
      const int top = rect.T + i * (g + (int)s);
      mRECTs.Add(IRECT(rect.L, top, rect.L + w, top + g));
    }
  }
}

void IRadioButtonsControl::OnMouseDown(int x, int y, IMouseMod* mod)
{
  if (mod && mod->R)
  {
    PromptUserInput();
    return;
  }
  const int n = mRECTs.GetSize();
  for (int i = 0; i < n; ++i)
  {
    if (mRECTs.GetAt(i)->Contains(x, y))
    {
      mValue = n > 1 ? (double)i / (double)(n - 1) : 0.0;
      break;
    }
  }
  SetDirty(true);
}

bool IRadioButtonsControl::Draw(IGraphics* graphics)
{
  const int n = mRECTs.GetSize();
  int active = (int)((double)(n - 1) * mValue + 0.5);
  if (active < 0) active = 0;
  if (active > n - 1) active = n - 1;
  for (int i = 0; i < n; ++i)
  {
    IRECT r = *mRECTs.GetAt(i);
    graphics->DrawBitmap(&mBitmap, &r, i == active ? 2 : 1, &mBlend);
  }
  return true;
}

// ---- IFaderControl --------------------------------------------------------------------------------

IFaderControl::IFaderControl(IFxBase* plug, int x, int y, int len, int paramIdx, IBitmap* bitmap, EDirection direction,
                             bool onlyHandle)
    : IControl(plug, IRECT(), paramIdx), mLen(len), mHandleHeadroom(0), mBitmap(bitmap ? *bitmap : IBitmap()),
      mDirection(direction), mOnlyHandle(onlyHandle)
{
  if (direction == kHorizontal)
  {
    mHandleHeadroom = mBitmap.W;
    mRECT = mTargetRECT = IRECT(x, y, x + len, y + mBitmap.H);
  }
  else
  {
    mHandleHeadroom = mBitmap.H;
    mRECT = mTargetRECT = IRECT(x, y, x + mBitmap.W, y + len);
  }
}

IRECT IFaderControl::GetHandleRECT(double value) const
{
  if (value < 0.0) value = mValue;
  IRECT r(mRECT.L, mRECT.T, mRECT.L + mBitmap.W, mRECT.T + mBitmap.H);
  if (mDirection == kHorizontal)
  {
    const int offs = (int)(value * (double)(mLen - mHandleHeadroom));
    r.L += offs;
    r.R += offs;
  }
  else
  {
    const int offs = (int)((double)(mLen - mHandleHeadroom) * (1.0 - value));
    r.T += offs;
    r.B += offs;
  }
  return r;
}

void IFaderControl::OnMouseDown(int x, int y, IMouseMod* mod)
{
  if (mod && mod->R)
  {
    PromptUserInput();
    return;
  }
  SnapToMouse(x, y);
}

void IFaderControl::OnMouseDrag(int x, int y, int, int, IMouseMod*)
{
  SnapToMouse(x, y);
}

void IFaderControl::SnapToMouse(int x, int y)
{
  const int travel = mLen - mHandleHeadroom;
  // A fader whose handle fills the track has nowhere to move: its value stays.
  if (travel != 0)
  {
    if (mDirection == kHorizontal)
      mValue = (double)(x - mRECT.L - mHandleHeadroom / 2) / (double)travel;
    else
      mValue = 1.0 - (double)(y - mRECT.T - mHandleHeadroom / 2) / (double)travel;
  }
  SetDirty(true);
}

void IFaderControl::OnMouseWheel(int, int, IMouseMod* mod, int d)
{
  const double step = (mod && (mod->C || mod->S)) ? 0.001 : 0.01;
  mValue += (double)d * step;
  SetDirty(true);
}

bool IFaderControl::Draw(IGraphics* graphics)
{
  IRECT r = GetHandleRECT();
  return graphics->DrawBitmap(&mBitmap, &r, 1, &mBlend);
}

bool IFaderControl::IsHit(int x, int y)
{
  if (mOnlyHandle) return GetHandleRECT().Contains(x, y);
  return mTargetRECT.Contains(x, y);
}

// ---- ITextControl ----------------------------------------------------------------------------------

ITextControl::ITextControl(IFxBase* plug, IRECT rect, IText* text, const char* str)
    : IControl(plug, rect, -1, IChannelBlend(IChannelBlend::kBlendNone)), mStr(str ? str : "")
{
  if (text) mText = *text;
}

void ITextControl::SetTextFromPlug(const char* str)
{
  if (!str) str = "";
  if (!strcmp(mStr.Get(), str)) return;
  SetDirty(false);
  mStr.Set(str);
}

bool ITextControl::Draw(IGraphics* graphics)
{
  if (!mStr.GetLength()) return true;
  IRECT r = mRECT;
  return graphics->DrawIText(&mText, mStr.Get(), &r);
}
