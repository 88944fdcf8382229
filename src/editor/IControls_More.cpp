// The stock controls the meter does not use: knobs, overlays, captions, web links, file
// selectors and bitmap-font texts.
#include "IControls.h"

#include "IFxBase.h"
#include "IGraphics.h"
#include "IParam.h"

#include <cmath>
#include <cstring>

// ---- knobs ---------------------------------------------------------------------------------------

IKnobControl::IKnobControl(IFxBase* plug, IRECT rect, int paramIdx, EDirection direction, double gearing)
    : IControl(plug, rect, paramIdx), mDirection(direction), mGearing(gearing)
{
}

void IKnobControl::OnMouseDrag(int, int, int dX, int dY, IMouseMod* mod)
{
  double gearing = mGearing;
  if (mod && (mod->C || mod->S)) gearing *= 10.0;
  const double size = mDirection == kVertical ? (double)mRECT.H() : (double)mRECT.W();
  if (size <= 0.0 || gearing == 0.0) return;
  if (mDirection == kVertical)
    mValue += (double)-dY / size / gearing;
  else
    mValue += (double)dX / size / gearing;
  SetDirty(true);
}

void IKnobControl::OnMouseWheel(int, int, IMouseMod* mod, int d)
{
  const double step = (mod && (mod->C || mod->S)) ? 0.001 : 0.01;
  mValue += (double)d * step;
  SetDirty(true);
}

IKnobLineControl::IKnobLineControl(IFxBase* plug, IRECT rect, int paramIdx, const IColor* color, double innerRadius,
                                   double outerRadius, double minAngle, double maxAngle, EDirection direction, double gearing)
    : IKnobControl(plug, rect, paramIdx, direction, gearing), mColor(color ? *color : COLOR_BLACK),
      mMinAngle((float)minAngle), mMaxAngle((float)maxAngle), mInnerRadius((float)innerRadius),
      mOuterRadius((float)outerRadius)
{
  if (mOuterRadius == 0.0f) mOuterRadius = 0.5f * (float)rect.W();
}

bool IKnobLineControl::Draw(IGraphics* graphics)
{
  const double v = mMinAngle + mValue * (mMaxAngle - mMinAngle);
  return graphics->DrawRadialLine(&mColor, mRECT.MW(), mRECT.MH(), (float)v, mInnerRadius, mOuterRadius, &mBlend, true);
}

IKnobRotaterControl::IKnobRotaterControl(IFxBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, double minAngle,
                                         double maxAngle, int yOffsetZeroDeg, EDirection direction, double gearing)
    : IKnobControl(plug, IRECT(x, y, x + (bitmap ? bitmap->W : 0), y + (bitmap ? bitmap->H : 0)), paramIdx, direction,
                   gearing),
      mBitmap(bitmap ? *bitmap : IBitmap()), mMinAngle(minAngle), mMaxAngle(maxAngle), mYOffset(yOffsetZeroDeg)
{
}

bool IKnobRotaterControl::Draw(IGraphics* graphics)
{
  const double angle = (mMinAngle + mValue * (mMaxAngle - mMinAngle)) * 180.0 / M_PI;
  return graphics->DrawRotatedBitmap(&mBitmap, (int)mRECT.MW(), (int)mRECT.MH(), angle, mYOffset, &mBlend);
}

IKnobMultiControl::IKnobMultiControl(IFxBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, EDirection direction,
                                     double gearing)
    : IKnobControl(plug,
                   IRECT(x, y, x + (bitmap ? bitmap->FrameWidth() : 0), y + (bitmap ? bitmap->FrameHeight() : 0)),
                   paramIdx, direction, gearing),
      mBitmap(bitmap ? *bitmap : IBitmap())
{
}

bool IKnobMultiControl::Draw(IGraphics* graphics)
{
  const int n = mBitmap.N;
  int k = (int)(0.5 + mValue * (double)(n - 1));
  if (k < 0) k = 0;
  if (k > n - 1) k = n - 1;
  return graphics->DrawBitmap(&mBitmap, &mRECT, k + 1, &mBlend);
}

IKnobRotatingMaskControl::IKnobRotatingMaskControl(IFxBase* plug, int x, int y, int paramIdx, IBitmap* base, IBitmap* mask,
                                                   IBitmap* top, double minAngle, double maxAngle, EDirection direction,
                                                   double gearing)
    : IKnobControl(plug, IRECT(x, y, x + (base ? base->W : 0), y + (base ? base->H : 0)), paramIdx, direction, gearing),
      mBase(base ? *base : IBitmap()), mMask(mask ? *mask : IBitmap()), mTop(top ? *top : IBitmap()), mMinAngle(minAngle),
      mMaxAngle(maxAngle)
{
}

bool IKnobRotatingMaskControl::Draw(IGraphics* graphics)
{
  const double angle = (mMinAngle + mValue * (mMaxAngle - mMinAngle)) * 180.0 / M_PI;
  return graphics->DrawRotatedMask(&mBase, &mMask, &mTop, mRECT.L, mRECT.T, angle, &mBlend);
}

// ---- IBitmapOverlayControl -------------------------------------------------------------------------

IBitmapOverlayControl::IBitmapOverlayControl(IFxBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, IRECT targetArea)
    : ISwitchControl(plug, x, y, paramIdx, bitmap), mTargetArea(targetArea)
{
}

IBitmapOverlayControl::IBitmapOverlayControl(IFxBase* plug, int x, int y, IBitmap* bitmap, IRECT targetArea)
    : IBitmapOverlayControl(plug, x, y, -1, bitmap, targetArea)
{
}

bool IBitmapOverlayControl::Draw(IGraphics* graphics)
{
  // Shown: clicks anywhere on the image; hidden: only the target area answers.
  if (mValue < 0.5)
  {
    mTargetRECT = mTargetArea;
    return true;
  }
  mTargetRECT = mRECT;
  return IBitmapControl::Draw(graphics);
}

// ---- ICaptionControl -----------------------------------------------------------------------------------

ICaptionControl::ICaptionControl(IFxBase* plug, IRECT rect, int paramIdx, IText* text, bool showParamLabel)
    : ITextControl(plug, rect, text), mShowParamLabel(showParamLabel)
{
  mParamIdx = paramIdx;
  mDisablePrompt = false;
}

void ICaptionControl::OnMouseDown(int, int, IMouseMod* mod)
{
  if (mod && (mod->L || mod->R)) PromptUserInput(&mRECT);
}

void ICaptionControl::OnMouseDblClick(int, int, IMouseMod*)
{
  PromptUserInput(&mRECT);
}

bool ICaptionControl::Draw(IGraphics* graphics)
{
  IParam* param = GetParam();
  if (param)
  {
    char display[IParam::kTextLen] = {};
    param->GetDisplayForHost(display, (int)sizeof display);
    Util_String text(display);
    if (mShowParamLabel)
    {
      text.Append(" ");
      text.Append(param->GetLabelForHost());
    }
    mStr.Set(text.Get());
  }
  return ITextControl::Draw(graphics);
}

// ---- IURLControl --------------------------------------------------------------------------------------

IURLControl::IURLControl(IFxBase* plug, IRECT rect, const char* url, const char* backupURL, const char* errMsgOnFailure)
    : IControl(plug, rect), mURL(url ? url : ""), mBackupURL(backupURL ? backupURL : ""),
      mErrMsg(errMsgOnFailure ? errMsgOnFailure : "")
{
}

void IURLControl::OnMouseDown(int, int, IMouseMod*)
{
  IGraphics* gui = GetGUI();
  if (!gui) return;
  const char* errMsg = mErrMsg.GetLength() ? mErrMsg.Get() : nullptr;
  bool opened = false;
  if (mURL.GetLength()) opened = gui->OpenURL(mURL.Get(), nullptr, nullptr, mBackupURL.GetLength() ? nullptr : errMsg);
  if (!opened && mBackupURL.GetLength()) gui->OpenURL(mBackupURL.Get(), nullptr, nullptr, errMsg);
  SetDirty(false);
}

// ---- IFileSelectorControl ------------------------------------------------------------------------------

IFileSelectorControl::IFileSelectorControl(IFxBase* plug, IRECT rect, int paramIdx, IBitmap* bitmap, EFileAction action,
                                           const char* dir, const char* extensions)
    : IControl(plug, rect, paramIdx), mBitmap(bitmap ? *bitmap : IBitmap()), mDir(dir ? dir : ""),
      mExtensions(extensions ? extensions : ""), mFileAction(action)
{
}

void IFileSelectorControl::OnMouseDown(int, int, IMouseMod*)
{
  IGraphics* gui = GetGUI();
  if (!gui) return;
  // The prompt is modal: the image shows while it is open, and the pass after it clears it.
  mState = kFSSelecting;
  SetDirty(false);
  gui->PromptForFile(&mFile, mFileAction, &mDir, mExtensions.Get());
  mValue = mValue + 1.0;
  if (mValue > 1.0) mValue = 0.0;
  mState = kFSDone;
  SetDirty(true);
}

bool IFileSelectorControl::Draw(IGraphics* graphics)
{
  if (mState == kFSSelecting) return graphics->DrawBitmap(&mBitmap, &mRECT, 0, 0, &mBlend);
  return true;
}

void IFileSelectorControl::SetLastSelectedFileFromPlug(const char* file)
{
  mFile.Set(file ? file : "");
}

bool IFileSelectorControl::IsDirty()
{
  if (IControl::IsDirty()) return true;
  if (mState == kFSDone)
  {
    mState = kFSNone;
    return true;
  }
  return false;
}

// ---- IBitmapTextControl ----------------------------------------------------------------------------------

IBitmapTextControl::IBitmapTextControl(IFxBase* plug, IRECT rect, IBitmap* bitmap, const char* str, IText* text,
                                       int charWidth, int charHeight, int charOffset, bool multiLine, bool vCenter)
    : ITextControl(plug, rect, text, str), mTextBitmap(bitmap ? *bitmap : IBitmap()), mCharWidth(charWidth),
      mCharHeight(charHeight), mCharOffset(charOffset), mMultiLine(multiLine), mVCenter(vCenter)
{
}

bool IBitmapTextControl::Draw(IGraphics* graphics)
{
  if (!mStr.GetLength()) return true;
  IRECT r = mRECT;
  return graphics->DrawBitmapedText(&mTextBitmap, &r, &mText, mStr.Get(), mVCenter, mMultiLine, mCharWidth, mCharHeight,
                                    mCharOffset);
}
