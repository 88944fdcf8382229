// IGraphics: the hit search and the dispatch of mouse and key input to the controls.
#include "IGraphics.h"

#include "IControl.h"
#include "IFxBase.h"

bool IGraphics::IsHitEligible(IControl* control, bool mo) const
{
  if (control->IsHidden()) return false;
  if (control->IsGrayed() && !(mo && control->GetMOWhenGrayed())) return false;
  return true;
}

// Last to first: the most recently attached control lies on top.
int IGraphics::GetHitControl(int x, int y, bool mo) const
{
  for (int i = mControls.GetSize() - 1; i >= 0; --i)
  {
    IControl* c = mControls.Get(i);
    if (IsHitEligible(c, mo) && c->IsHit(x, y)) return i;
  }
  return -1;
}

int IGraphics::GetMouseControlIdx(int x, int y, bool mo)
{
  if (mMouseCapture >= 0) return mMouseCapture;
  return GetHitControl(x, y, mo);
}

void IGraphics::ReleaseMouseCapture()
{
  mMouseCapture = -1;
  mMouseX = mMouseY = -1;
}

void IGraphics::OnMouseDown(int x, int y, IMouseMod* mod)
{
  ReleaseMouseCapture();
  const int idx = GetHitControl(x, y, false);
  IControl* c = mControls.Get(idx);
  if (!c) return;
  mMouseCapture = idx;
  mMouseX = x;
  mMouseY = y;
  const int paramIdx = c->ParamIdx();
  if (paramIdx >= 0 && mPlug) mPlug->BeginInformHostOfParamChange(paramIdx);
  c->OnMouseDown(x, y, mod);
}

void IGraphics::OnMouseUp(int x, int y, IMouseMod* mod)
{
  const int idx = mMouseCapture >= 0 ? mMouseCapture : GetHitControl(x, y, false);
  ReleaseMouseCapture();
  IControl* c = mControls.Get(idx);
  if (!c) return;
  c->OnMouseUp(x, y, mod);
  const int paramIdx = c->ParamIdx();
  if (paramIdx >= 0 && mPlug) mPlug->EndInformHostOfParamChange(paramIdx);
}

void IGraphics::OnMouseDrag(int x, int y, IMouseMod* mod)
{
  IControl* c = mControls.Get(mMouseCapture);
  if (!c || (x == mMouseX && y == mMouseY)) return;
  const int dX = x - mMouseX, dY = y - mMouseY;
  mMouseX = x;
  mMouseY = y;
  c->OnMouseDrag(x, y, dX, dY, mod);
}

bool IGraphics::OnMouseDblClick(int x, int y, IMouseMod* mod)
{
  ReleaseMouseCapture();
  const int idx = GetHitControl(x, y, false);
  IControl* c = mControls.Get(idx);
  if (!c) return false;
  if (!c->MouseDblAsSingleClick())
  {
    c->OnMouseDblClick(x, y, mod);
    return false;
  }
  mMouseCapture = idx;
  mMouseX = x;
  mMouseY = y;
  c->OnMouseDown(x, y, mod);
  return true;
}

void IGraphics::OnMouseWheel(int x, int y, IMouseMod* mod, int d)
{
  const int idx = mMouseCapture >= 0 ? mMouseCapture : GetHitControl(x, y, false);
  IControl* c = mControls.Get(idx);
  if (c) c->OnMouseWheel(x, y, mod, d);
}

bool IGraphics::OnMouseOver(int x, int y, IMouseMod* mod)
{
  if (!mHandleMouseOver) return false;
  const int idx = mMouseCapture >= 0 ? mMouseCapture : GetHitControl(x, y, true);
  IControl* c = mControls.Get(idx);
  mMouseX = x;
  mMouseY = y;
  if (c) c->OnMouseOver(x, y, mod);
  if (mMouseOver >= 0 && mMouseOver != idx)
  {
    if (IControl* previous = mControls.Get(mMouseOver)) previous->OnMouseOut();
  }
  mMouseOver = c ? idx : -1;
  return c != nullptr;
}

void IGraphics::OnMouseOut()
{
  const int n = mControls.GetSize();
  for (int i = 0; i < n; ++i) mControls.Get(i)->OnMouseOut();
  mMouseOver = -1;
}

bool IGraphics::OnKeyDown(int x, int y, int key)
{
  const int idx = mMouseCapture >= 0 ? mMouseCapture : GetHitControl(x, y, false);
  if (idx >= 1)
  {
    if (IControl* c = mControls.Get(idx)) return c->OnKeyDown(x, y, key);
  }
  return mKeyCatcher ? mKeyCatcher->OnKeyDown(x, y, key) : false;
}

int IGraphics::GetParamIdxForPTAutomation(int x, int y)
{
  const int idx = mMouseCapture >= 0 ? mMouseCapture : GetHitControl(x, y, false);
  IControl* c = mControls.Get(idx);
  mLastClickedParam = (idx >= 1 && c) ? c->ParamIdx() : -1;
  return mLastClickedParam;
}

int IGraphics::GetLastClickedParamForPTAutomation()
{
  const int last = mLastClickedParam;
  mLastClickedParam = -1;
  return last;
}
