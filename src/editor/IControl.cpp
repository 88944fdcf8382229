// IControl: the value flow, dirty tracking and prompting shared by every control.
#include "IControl.h"

#include "IFxBase.h"
#include "IGraphics.h"
#include "IParam.h"

#include <cmath>
#include <cstring>

IControl::IControl(IFxBase* plug, IRECT rect, int paramIdx, IChannelBlend blend)
    : mText(DEFAULT_TEXT_SIZE, &DEFAULT_TEXT_COLOR, DEFAULT_FONT), mPlug(plug), mRECT(rect), mTargetRECT(rect),
      mParamIdx(paramIdx), mBlend(blend)
{
}

IControl::~IControl()
{
  mAuxParams.Empty(true);
}

IParam* IControl::GetParam() const
{
  return (mPlug && mParamIdx >= 0) ? mPlug->GetParam(mParamIdx) : nullptr;
}

IGraphics* IControl::GetGUI() const
{
  return IGraphics::FromPlug(mPlug);
}

void IControl::OnMouseDown(int, int, IMouseMod* mod)
{
  if (mod && mod->R) PromptUserInput();
}

void IControl::OnMouseUp(int, int, IMouseMod*) {}
void IControl::OnMouseDrag(int, int, int, int, IMouseMod*) {}

void IControl::OnMouseDblClick(int, int, IMouseMod*)
{
  if (mDefaultValue >= 0.0)
  {
    mValue = mDefaultValue.Get();
    SetDirty(true);
  }
}

void IControl::OnMouseWheel(int, int, IMouseMod*, int) {}
bool IControl::OnKeyDown(int, int, int) { return false; }
void IControl::OnMouseOver(int, int, IMouseMod*) {}
void IControl::OnMouseOut() {}
void IControl::TextFromTextEntry(const char*) {}
void IControl::OnGUIIdle() {}

void IControl::SetValueFromPlug(double value)
{
  // The first value pulled is the default; it needs no drawing of its own (the editor's first
  // pass draws everything).
  if (mDefaultValue < 0.0)
  {
    mValue = value;
    mDefaultValue = value;
    return;
  }
  // NaN compares unequal to everything, so it always takes this path. This may run on a host
  // thread while the drawing pass takes the value (a message control resets it): the value is
  // stored once, already clamped, and never read back and written again; then dirty and redraw
  // are set together.
  if (!(mValue == value))
  {
    mValue = Clamped(value);
    MarkForRedraw();
  }
}

void IControl::SetValueFromUserInput(double value)
{
  if (!(mValue == value))
  {
    mValue = value;
    SetDirty(true);
    Redraw();
  }
}

void IControl::Hide(bool hide)
{
  mHide = hide;
  Redraw();
  SetDirty(false);
}

void IControl::GrayOut(bool gray)
{
  mGrayed = gray;
  mBlend.mWeight = gray ? 0.25f : 1.0f;
  SetDirty(false);
}

bool IControl::IsHit(int x, int y)
{
  return mTargetRECT.Contains(x, y);
}

namespace
{
// "<display value> <label>" or "<name> <label>"-style texts for the display controls.
void UpdateDisplayControl(IControl* display, const char* text)
{
  if (!display || !strcmp(display->GetTextFromControl(), text)) return;
  display->SetDirty(false);
  display->SetTextFromPlug(text);
}
}  // namespace

double IControl::Clamped(double value) const
{
  const double lo = mClampLo, hi = mClampHi;
  return value < lo ? lo : (value < hi ? value : hi);
}

void IControl::SetDirty(bool pushParamToPlug)
{
  // Clamped in place only while nobody stored another value meanwhile: a value a host thread
  // posts is not overwritten by the clamp of the one it replaced.
  double v = mValue;
  while (true)
  {
    const double clamped = Clamped(v);
    if (clamped == v || mValue.CompareExchange(v, clamped)) break;
  }
  mDrawFlags.fetch_or(kFlagDirty, std::memory_order_acq_rel);
  if (!pushParamToPlug || !mPlug || mParamIdx < 0) return;

  mPlug->SetParameterFromGUI(mParamIdx, mValue);
  IParam* param = mPlug->GetParam(mParamIdx);
  if (!param) return;
  if (mValDisplayControl)
  {
    char display[IParam::kTextLen * 2 + 2] = {};
    param->GetDisplayForHost(display, IParam::kTextLen);
    Util_String text(display);
    text.Append(" ");
    text.Append(param->GetLabelForHost());
    UpdateDisplayControl(mValDisplayControl, text.Get());
  }
  if (mNameDisplayControl)
  {
    Util_String text(param->GetNameForHost());
    text.Append(" ");
    text.Append(param->GetLabelForHost());
    UpdateDisplayControl(mNameDisplayControl, text.Get());
  }
}

void IControl::SetClean()
{
  // Dirty becomes redraw and redraw is cleared, in one step: flags a host thread sets meanwhile
  // either come before it (and keep the control dirty) or after it.
  unsigned flags = mDrawFlags.load(std::memory_order_acquire);
  while (!mDrawFlags.compare_exchange_weak(flags, (flags & kFlagRedraw) ? (unsigned)kFlagDirty : 0u, std::memory_order_acq_rel))
  {
  }
}

bool IControl::IsDirty()
{
  return (mDrawFlags.load(std::memory_order_acquire) & kFlagDirty) != 0;
}

void IControl::PromptUserInput()
{
  IParam* param = GetParam();
  if (!param || mDisablePrompt) return;
  IGraphics* gui = GetGUI();
  if (!gui) return;
  if (param->GetNDisplayTexts())
  {
    IRECT rect = mRECT;
    gui->PromptUserInput(this, param, &rect);
  }
  else
  {
    const int cX = (int)mRECT.MW(), cY = (int)mRECT.MH();
    IRECT rect(cX - 20, cY - 8, cX + 20, cY + 8);
    gui->PromptUserInput(this, param, &rect);
  }
  Redraw();
}

void IControl::PromptUserInput(IRECT* textRect)
{
  IParam* param = GetParam();
  if (!param || mDisablePrompt || !textRect) return;
  IGraphics* gui = GetGUI();
  if (!gui) return;
  gui->PromptUserInput(this, param, textRect);
  Redraw();
}

void IControl::AddAuxParam(int paramIdx)
{
  mAuxParams.Add(new AuxParam(paramIdx));
}

int IControl::AuxParamIdx(int paramIdx) const
{
  const int n = mAuxParams.GetSize();
  for (int i = 0; i < n; ++i)
    if (mAuxParams.Get(i)->mParamIdx == paramIdx) return i;
  return -1;
}

IControl::AuxParam* IControl::GetAuxParam(int idx)
{
  return mAuxParams.Get(idx);
}

void IControl::SetAuxParamValueFromPlug(int auxParamIdx, double value)
{
  AuxParam* aux = mAuxParams.Get(auxParamIdx);
  if (!aux || aux->mValue == value) return;
  aux->mValue = value;
  // From a host thread: mark only (clamping the control's own value here would write it back).
  MarkForRedraw();
}

void IControl::SetAllAuxParamsFromGUI()
{
  if (!mPlug) return;
  const int n = mAuxParams.GetSize();
  for (int i = 0; i < n; ++i)
  {
    AuxParam* aux = mAuxParams.Get(i);
    mPlug->SetParameterFromGUI(aux->mParamIdx, aux->mValue);
  }
}
