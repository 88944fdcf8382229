// IGraphics: construction, the control list, the value flow between controls and parameters,
// and the drawing pass.
#include "IGraphics.h"

#include "IControls.h"
#include "IFxBase.h"
#include "IParam.h"
#include "Raster_Bitmap.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

IGraphics::IGraphics(IFxBase* plug, int w, int h, int refreshFPS)
    : mPlug(plug), mWidth(w < 0 ? 0 : w), mHeight(h < 0 ? 0 : h), mFPS(refreshFPS > 0 ? refreshFPS : 25)
{
}

IGraphics::~IGraphics()
{
  delete mKeyCatcher;
  for (int i = mControls.GetSize() - 1; i >= 0; --i) delete mControls.Get(i);
  mControls.Empty(false);
  delete mDrawBitmap;
  delete mTmpBitmap;
}

IGraphics* IGraphics::FromPlug(IFxBase* plug)
{
  return plug ? dynamic_cast<IGraphics*>(plug->GetGUI()) : nullptr;
}

void IGraphics::PrepDraw()
{
  if (!mDrawBitmap) mDrawBitmap = new Raster_SysBitmap(mWidth, mHeight);
  if (!mTmpBitmap) mTmpBitmap = new Raster_MemBitmap(0, 0, 4);
}

unsigned int* IGraphics::GetBits()
{
  return mDrawBitmap ? mDrawBitmap->getBits() : nullptr;
}

Raster_IBitmap* IGraphics::GetDrawBitmap()
{
  return mDrawBitmap;
}

void IGraphics::Resize(int w, int h)
{
  mWidth = w < 0 ? 0 : w;
  mHeight = h < 0 ? 0 : h;
  ReleaseMouseCapture();
  EndGesture();
  mMouseOver = -1;
  for (int i = mControls.GetSize() - 1; i >= 0; --i) delete mControls.Get(i);
  mControls.Empty(false);
  delete mDrawBitmap;
  delete mTmpBitmap;
  mDrawBitmap = nullptr;
  mTmpBitmap = nullptr;
  PrepDraw();
  if (mPlug) mPlug->ResizeGraphics(w, h);
}

// ---- control list ----------------------------------------------------------------------------

int IGraphics::AttachControl(IControl* control)
{
  if (!control) return -1;
  mControls.Add(control);
  return mControls.GetSize() - 1;
}

void IGraphics::AttachBackground(int id, const char* name)
{
  IBitmap bitmap = LoadIBitmap(id, name, 1);
  IControl* background = new IBitmapControl(mPlug, 0, 0, -1, &bitmap, IChannelBlend(IChannelBlend::kBlendClobber));
  mControls.Insert(0, background);
  // Indices held for the capture and the hover control moved up with the list.
  if (mMouseCapture >= 0) ++mMouseCapture;
  if (mMouseOver >= 0) ++mMouseOver;
}

void IGraphics::AttachPanelBackground(const IColor* color)
{
  IControl* panel = new IPanelControl(mPlug, IRECT(0, 0, mWidth, mHeight), color);
  mControls.Insert(0, panel);
  if (mMouseCapture >= 0) ++mMouseCapture;
  if (mMouseOver >= 0) ++mMouseOver;
}

void IGraphics::AttachKeyCatcher(IControl* control)
{
  if (mKeyCatcher == control) return;
  delete mKeyCatcher;
  mKeyCatcher = control;
}

void IGraphics::HideControl(int paramIdx, bool hide)
{
  const int n = mControls.GetSize();
  for (int i = 0; i < n; ++i)
  {
    IControl* c = mControls.Get(i);
    if (c->ParamIdx() == paramIdx) c->Hide(hide);
  }
}

void IGraphics::GrayOutControl(int paramIdx, bool gray)
{
  const int n = mControls.GetSize();
  for (int i = 0; i < n; ++i)
  {
    IControl* c = mControls.Get(i);
    if (c->ParamIdx() == paramIdx) c->GrayOut(gray);
  }
}

void IGraphics::ClampControl(int paramIdx, double lo, double hi, bool normalized)
{
  if (!normalized)
  {
    IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
    if (!param) return;
    lo = param->GetNormalized(lo);
    hi = param->GetNormalized(hi);
  }
  const int n = mControls.GetSize();
  for (int i = 0; i < n; ++i)
  {
    IControl* c = mControls.Get(i);
    if (c->ParamIdx() == paramIdx) c->Clamp(lo, hi);
  }
}

void IGraphics::SetAllControlsDirty()
{
  const int n = mControls.GetSize();
  for (int i = 0; i < n; ++i) mControls.Get(i)->SetDirty(false);
}

void IGraphics::SetStrictDrawing(bool strict)
{
  mStrict = strict;
  SetAllControlsDirty();
}

void IGraphics::AssignParamNameToolTips()
{
  const int n = mControls.GetSize();
  for (int i = 0; i < n; ++i)
  {
    IControl* c = mControls.Get(i);
    IParam* param = (mPlug && c->ParamIdx() >= 0) ? mPlug->GetParam(c->ParamIdx()) : nullptr;
    if (param) c->SetTooltip(param->GetNameForHost());
  }
}

// ---- value flow ------------------------------------------------------------------------------

void IGraphics::SetParameterFromPlug(int paramIdx, double value, bool normalized)
{
  if (!normalized)
  {
    IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
    if (!param) return;
    value = param->GetNormalized(value);
  }
  const int n = mControls.GetSize();
  for (int i = 0; i < n; ++i)
  {
    IControl* c = mControls.Get(i);
    if (c->ParamIdx() == paramIdx) c->SetValueFromPlug(value);
    // Few controls have auxiliary parameters; the count is inline, the search is not. Hosts
    // call this from the audio thread for every automated parameter.
    if (c->NAuxParams() == 0) continue;
    const int auxIdx = c->AuxParamIdx(paramIdx);
    if (auxIdx >= 0) c->SetAuxParamValueFromPlug(auxIdx, value);
  }
}

void IGraphics::SetControlFromPlug(int controlIdx, double normalizedValue)
{
  IControl* c = mControls.Get(controlIdx);
  if (c) c->SetValueFromPlug(normalizedValue);
}

void IGraphics::SetParameterFromGUI(int paramIdx, double normalizedValue)
{
  const int n = mControls.GetSize();
  for (int i = 0; i < n; ++i)
  {
    IControl* c = mControls.Get(i);
    if (c->ParamIdx() == paramIdx) c->SetValueFromUserInput(normalizedValue);
  }
}

void IGraphics::PromptUserInput(IControl* control, IParam* param, IRECT* textRect)
{
  if (!control || !param || !textRect) return;
  char current[IParam::kTextLen * 2] = {};
  param->GetDisplayForHost(current, (int)sizeof current);
  const int nTexts = param->GetNDisplayTexts();
  const IParam::EParamType type = param->Type();
  if (type == IParam::kTypeEnum || (type == IParam::kTypeBool && nTexts > 0))
  {
    IPopupMenu menu;
    for (int i = 0; i < nTexts; ++i)
    {
      const char* text = param->GetDisplayTextAtIdx(i);
      menu.AddItem(text ? text : "");
      if (text && !strcmp(text, current)) menu.CheckItem(i, true);
    }
    if (CreateIPopupMenu(&menu, textRect))
    {
      int value = 0;
      const int chosen = menu.GetChosenItemIdx();
      // The chosen text stands for its own value, which need not equal its index.
      if (chosen >= 0 && chosen < nTexts && param->GetDisplayTextAtIdx(chosen, &value))
        control->SetValueFromUserInput(param->GetNormalized((double)value));
    }
    return;
  }
  CreateTextEntry(control, control->GetText(), textRect, current, param);
}

void IGraphics::SetFromStringAfterPrompt(IControl* control, IParam* param, const char* text)
{
  if (!control || !param || !text) return;
  double value = 0.0;
  // A text that names no choice, or no finite number, changes nothing.
  if (!param->ParseDisplayText(text, &value)) return;
  control->SetValueFromUserInput(param->GetNormalized(value));
}

// ---- drawing pass ------------------------------------------------------------------------------

bool IGraphics::IsDirty(IRECT* region)
{
  bool dirty = false;
  const int n = mControls.GetSize();
  for (int i = 0; i < n; ++i)
  {
    IControl* c = mControls.Get(i);
    if (!c->IsDirty()) continue;
    dirty = true;
    // Where it drew last time as well: its next drawing must clear all of that.
    if (region) *region = region->Union(c->GetPaintRECT());
  }
  return dirty;
}

namespace
{
// The pass's overlap rule: right and bottom edges of the region count as touching.
bool Overlaps(const IRECT& region, const IRECT& rect)
{
  return region.R >= rect.L && region.L < rect.R && region.B >= rect.T && region.T < rect.B;
}
}  // namespace

void IGraphics::NoteDrawn(const IRECT& rect, bool spill)
{
  if (!mTrackDrawing) return;
  const IRECT r = rect.Intersect(IRECT(0, 0, mWidth, mHeight));
  if (r.Empty()) return;
  mTrackDrawn = mTrackDrawn.Union(r);
  if (spill) mTrackSpill = mTrackSpill.Union(r);
}

void IGraphics::NoteDrawnBox(float l, float t, float r, float b, float pad)
{
  if (!mTrackDrawing) return;
  if (l > r) std::swap(l, r);
  if (t > b) std::swap(t, b);
  NoteDrawn(IRECT((int)std::floor(l - pad), (int)std::floor(t - pad), (int)std::ceil(r + pad) + 1,
                  (int)std::ceil(b + pad) + 1), true);
}

void IGraphics::DrawControl(IControl* control)
{
  const IRECT before = control->GetPaintRECT();
  mTrackDrawing = true;
  mTrackDrawn = IRECT();
  mTrackSpill = IRECT();
  control->Draw(this);
  mTrackDrawing = false;
  control->SetDrawnArea(mTrackDrawn, mTrackSpill);
  // It drew where the dirty region and the screen copy did not reach (a text that grew by a
  // line): one more pass, whose region covers the new area, clears it and shows it.
  if (!before.Contains(control->GetPaintRECT())) control->MarkForRedraw();
}

IRECT IGraphics::GrowOverSpill(IRECT region) const
{
  const int n = mControls.GetSize();
  // Each round either adds a control's spill or ends; spills only widen the region.
  for (int round = 0; round <= n; ++round)
  {
    bool grown = false;
    for (int i = 0; i < n; ++i)
    {
      IControl* c = mControls.Get(i);
      const IRECT spill = c->GetSpillRECT();
      if (c->IsHidden() || region.Contains(spill)) continue;
      const IRECT area = c->GetPaintRECT();
      if (area.Empty() || !Overlaps(region, area)) continue;
      region = region.Union(spill);
      grown = true;
    }
    if (!grown) break;
  }
  return region;
}

// Controls meet the region with everything they drew last time, not only their rectangles: a
// repaint of a strip below a multi-line text's rectangle (another window uncovering part of the
// editor) must draw that text again, not just the background over it.
bool IGraphics::Draw(IRECT* region)
{
  const int n = mControls.GetSize();
  if (!n || !region || !mDrawBitmap) return false;

  IRECT drawn = *region;
  if (mStrict)
  {
    drawn = region->Empty() ? *region : GrowOverSpill(*region);
    mDrawRECT = drawn;
    for (int i = 0; i < n; ++i)
    {
      IControl* c = mControls.Get(i);
      const IRECT r = c->GetPaintRECT();
      if (!c->IsHidden() && !drawn.Empty() && !r.Empty() && Overlaps(drawn, r)) DrawControl(c);
    }
    for (int i = 0; i < n; ++i) mControls.Get(i)->SetClean();
  }
  else
  {
    IControl* background = mControls.Get(0);
    if (background->IsDirty())
    {
      mDrawRECT = GrowOverSpill(background->GetPaintRECT());
      drawn = drawn.Union(mDrawRECT);
      for (int i = 0; i < n; ++i)
      {
        IControl* c = mControls.Get(i);
        if (c->IsHidden()) continue;
        DrawControl(c);
        c->SetClean();
      }
    }
    else
    {
      for (int i = 1; i < n; ++i)
      {
        IControl* dirty = mControls.Get(i);
        if (!dirty->IsDirty()) continue;
        mDrawRECT = GrowOverSpill(dirty->GetPaintRECT());
        drawn = drawn.Union(mDrawRECT);
        for (int j = 0; j < n; ++j)
        {
          IControl* c = mControls.Get(j);
          if (c->IsHidden()) continue;
          const IRECT r = c->GetPaintRECT();
          if (j == i || (!mDrawRECT.Empty() && !r.Empty() && Overlaps(r, mDrawRECT))) DrawControl(c);
        }
        dirty->SetClean();
      }
    }
  }
  // The screen gets everything redrawn, which may reach beyond the region asked for.
  return DrawScreen(&drawn);
}

void IGraphics::OnGUIIdle()
{
  const int n = mControls.GetSize();
  for (int i = 0; i < n; ++i) mControls.Get(i)->OnGUIIdle();
}

// ---- platform defaults -----------------------------------------------------------------------------

bool IGraphics::MeasureIText(IText* text, const char* str, IRECT* destRect)
{
  return DrawIText(text, str, destRect, true);
}

void* IGraphics::OpenWindow(void*, void*, short, short)
{
  return nullptr;
}
