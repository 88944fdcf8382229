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

// Hosts pair the begin and end of a gesture (VST 3 beginEdit/endEdit): a release whose press
// went elsewhere (it committed a text entry, or was a double click delivered as such) ends
// nothing, and a press whose release never came is ended before the next one begins.
void IGraphics::BeginGesture(IControl* control)
{
  EndGesture();
  const int paramIdx = control->ParamIdx();
  if (paramIdx < 0 || !mPlug) return;
  mGestureParam = paramIdx;
  mPlug->BeginInformHostOfParamChange(paramIdx);
}

void IGraphics::EndGesture()
{
  const int paramIdx = mGestureParam;
  mGestureParam = -1;
  if (paramIdx >= 0 && mPlug) mPlug->EndInformHostOfParamChange(paramIdx);
}

void IGraphics::OnMouseDown(int x, int y, IMouseMod* mod)
{
  ReleaseMouseCapture();
  const int idx = GetHitControl(x, y, false);
  IControl* c = mControls.Get(idx);
  if (!c)
  {
    EndGesture();
    return;
  }
  mMouseCapture = idx;
  mMouseX = x;
  mMouseY = y;
  BeginGesture(c);
  c->OnMouseDown(x, y, mod);
}

void IGraphics::OnMouseUp(int x, int y, IMouseMod* mod)
{
  const int idx = mMouseCapture >= 0 ? mMouseCapture : GetHitControl(x, y, false);
  ReleaseMouseCapture();
  IControl* c = mControls.Get(idx);
  if (c) c->OnMouseUp(x, y, mod);
  EndGesture();
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
  if (!c || !c->MouseDblAsSingleClick())
  {
    EndGesture();
    if (c) c->OnMouseDblClick(x, y, mod);
    return false;
  }
  mMouseCapture = idx;
  mMouseX = x;
  mMouseY = y;
  // Delivered as a press, so it begins a gesture like one; its release ends it.
  BeginGesture(c);
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
