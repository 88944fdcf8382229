// The stock controls: images, radio-button groups, faders and texts that the meter uses, and
// the switches, knobs, captions and the rest offered to other editors.
#pragma once

#include "IControl.h"
#include "Util_TypedBuf.h"

// Fills its rectangle with one colour.
class IPanelControl : public IControl
{
public:
  IPanelControl(IFxBase* plug, IRECT rect, const IColor* color);
  bool Draw(IGraphics* graphics) override;

protected:
  IColor mColor;
};

// One frame of a multi-frame image, chosen by the value.
class IBitmapControl : public IControl
{
public:
  // Over (x, y, x + frame width, y + frame height).
  IBitmapControl(IFxBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                 IChannelBlend blend = IChannelBlend(IChannelBlend::kBlendNone));
  // Without a parameter.
  IBitmapControl(IFxBase* plug, int x, int y, IBitmap* bitmap, IChannelBlend blend = IChannelBlend(IChannelBlend::kBlendNone));
  bool Draw(IGraphics* graphics) override;
  IBitmap* GetBitmap() { return &mBitmap; }

protected:
  IBitmap mBitmap;
};

// Each click adds 1 / (N - 1) and wraps to 0 above 1.
class ISwitchControl : public IBitmapControl
{
public:
  ISwitchControl(IFxBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                 IChannelBlend blend = IChannelBlend(IChannelBlend::kBlendNone));
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
};

// A switch whose click prompts for the value.
class ISwitchPopUpControl : public ISwitchControl
{
public:
  ISwitchPopUpControl(IFxBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                      IChannelBlend blend = IChannelBlend(IChannelBlend::kBlendNone));
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
};

// N frames laid out as in the image are also N click areas: the control covers the whole
// image, and the chosen frame draws in its own area.
class ISwitchFramesControl : public ISwitchControl
{
public:
  ISwitchFramesControl(IFxBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, bool imagesAreHorizontal = false,
                       IChannelBlend blend = IChannelBlend(IChannelBlend::kBlendNone));
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override;

protected:
  Util_TypedBuf<IRECT> mRECTs;
};

// An undrawn area; each press toggles 0 and 1.
class IInvisibleSwitchControl : public IControl
{
public:
  IInvisibleSwitchControl(IFxBase* plug, IRECT rect, int paramIdx);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics*) override { return true; }
};

// A parameter with n choices as a row or column of identical two-frame buttons.
class IRadioButtonsControl : public IControl
{
public:
  IRadioButtonsControl(IFxBase* plug, IRECT rect, int paramIdx, int nButtons, IBitmap* bitmap,
                       EDirection direction = kVertical, bool reverse = false);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override;
  int NButtons() const { return mRECTs.GetSize(); }
  const IRECT* GetButtonRECT(int idx) const { return mRECTs.GetAt(idx); }

protected:
  Util_TypedBuf<IRECT> mRECTs;
  IBitmap mBitmap;
};

// A switch that returns to 0 on release.
class IContactControl : public ISwitchControl
{
public:
  IContactControl(IFxBase* plug, int x, int y, int paramIdx, IBitmap* bitmap);
  void OnMouseUp(int x, int y, IMouseMod* mod) override;
};

// A handle image sliding along a track.
class IFaderControl : public IControl
{
public:
  IFaderControl(IFxBase* plug, int x, int y, int len, int paramIdx, IBitmap* bitmap, EDirection direction = kVertical,
                bool onlyHandle = false);
  int GetLength() const { return mLen; }
  int GetHandleHeadroom() const { return mHandleHeadroom; }
  // The handle's rectangle at value (negative: the current value).
  IRECT GetHandleRECT(double value = -1.0) const;
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
  void OnMouseWheel(int x, int y, IMouseMod* mod, int d) override;
  bool Draw(IGraphics* graphics) override;
  bool IsHit(int x, int y) override;
  virtual void SnapToMouse(int x, int y);

protected:
  int mLen, mHandleHeadroom;
  IBitmap mBitmap;
  EDirection mDirection;
  bool mOnlyHandle;
};

// Drag and wheel change the value; drawing is left to the subclasses.
class IKnobControl : public IControl
{
public:
  IKnobControl(IFxBase* plug, IRECT rect, int paramIdx, EDirection direction = kVertical, double gearing = 4.0);
  void SetGearing(double gearing) { mGearing = gearing; }
  void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
  void OnMouseWheel(int x, int y, IMouseMod* mod, int d) override;
  bool Draw(IGraphics*) override { return true; }

protected:
  EDirection mDirection;
  double mGearing;
};

// A line between two radii at an angle between a minimum and a maximum (radians, 0 up).
class IKnobLineControl : public IKnobControl
{
public:
  IKnobLineControl(IFxBase* plug, IRECT rect, int paramIdx, const IColor* color, double innerRadius = 0.0,
                   double outerRadius = 0.0, double minAngle = -0.75 * 3.14159265358979, double maxAngle = 0.75 * 3.14159265358979,
                   EDirection direction = kVertical, double gearing = 4.0);
  bool Draw(IGraphics* graphics) override;

protected:
  IColor mColor;
  float mMinAngle, mMaxAngle, mInnerRadius, mOuterRadius;
};

// The image rotated by the value's angle.
class IKnobRotaterControl : public IKnobControl
{
public:
  IKnobRotaterControl(IFxBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, double minAngle = -0.75 * 3.14159265358979,
                      double maxAngle = 0.75 * 3.14159265358979, int yOffsetZeroDeg = 0, EDirection direction = kVertical,
                      double gearing = 4.0);
  bool Draw(IGraphics* graphics) override;

protected:
  IBitmap mBitmap;
  double mMinAngle, mMaxAngle;
  int mYOffset;
};

// One frame of a multi-frame image chosen by the value.
class IKnobMultiControl : public IKnobControl
{
public:
  IKnobMultiControl(IFxBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, EDirection direction = kVertical,
                    double gearing = 4.0);
  bool Draw(IGraphics* graphics) override;

protected:
  IBitmap mBitmap;
};

// A base image, a mask rotated by the value, and a top image.
class IKnobRotatingMaskControl : public IKnobControl
{
public:
  IKnobRotatingMaskControl(IFxBase* plug, int x, int y, int paramIdx, IBitmap* base, IBitmap* mask, IBitmap* top,
                           double minAngle = -0.75 * 3.14159265358979, double maxAngle = 0.75 * 3.14159265358979,
                           EDirection direction = kVertical, double gearing = 4.0);
  bool Draw(IGraphics* graphics) override;

protected:
  IBitmap mBase, mMask, mTop;
  double mMinAngle, mMaxAngle;
};

// Shows its image only while the value is 0.5 or more; it is hit only then, in the target area.
class IBitmapOverlayControl : public ISwitchControl
{
public:
  IBitmapOverlayControl(IFxBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, IRECT targetArea);
  IBitmapOverlayControl(IFxBase* plug, int x, int y, IBitmap* bitmap, IRECT targetArea);
  bool Draw(IGraphics* graphics) override;

protected:
  IRECT mTargetArea;
};

// A static text.
class ITextControl : public IControl
{
public:
  ITextControl(IFxBase* plug, IRECT rect, IText* text, const char* str = "");
  // Dirties (without push) and stores the text when it differs.
  void SetTextFromPlug(const char* str) override;
  const char* GetTextFromControl() const override { return mStr.Get(); }
  void ClearTextFromPlug() { SetTextFromPlug(""); }
  bool Draw(IGraphics* graphics) override;

protected:
  Util_String mStr;
};

// The bound parameter's display value, optionally with its label; clicks prompt.
class ICaptionControl : public ITextControl
{
public:
  ICaptionControl(IFxBase* plug, IRECT rect, int paramIdx, IText* text, bool showParamLabel = true);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override;

protected:
  bool mShowParamLabel;
};

// Opens a web address on click, trying the second one when the first fails.
class IURLControl : public IControl
{
public:
  IURLControl(IFxBase* plug, IRECT rect, const char* url, const char* backupURL = nullptr, const char* errMsgOnFailure = nullptr);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics*) override { return true; }

protected:
  Util_String mURL, mBackupURL, mErrMsg;
};

// Prompts for a file on click; draws its image while the prompt is open.
class IFileSelectorControl : public IControl
{
public:
  enum EFileSelectorState { kFSNone, kFSSelecting, kFSDone };

  IFileSelectorControl(IFxBase* plug, IRECT rect, int paramIdx, IBitmap* bitmap, EFileAction action,
                       const char* dir = "", const char* extensions = "");
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override;
  void GetLastSelectedFileForPlug(Util_String* str) const { str->Set(mFile.Get()); }
  void SetLastSelectedFileFromPlug(const char* file);
  bool IsDirty() override;
  EFileSelectorState GetState() const { return mState; }

protected:
  IBitmap mBitmap;
  Util_String mDir, mFile, mExtensions;
  EFileAction mFileAction;
  EFileSelectorState mState = kFSNone;
};

// Text drawn with a bitmap font: an image of the printable characters 32..127 as frames in one
// row (side by side) or one column.
class IBitmapTextControl : public ITextControl
{
public:
  IBitmapTextControl(IFxBase* plug, IRECT rect, IBitmap* bitmap, const char* str = "", IText* text = nullptr,
                     int charWidth = 6, int charHeight = 12, int charOffset = 0, bool multiLine = false, bool vCenter = true);
  bool Draw(IGraphics* graphics) override;

protected:
  IBitmap mTextBitmap;
  int mCharWidth, mCharHeight, mCharOffset;
  bool mMultiLine, mVCenter;
};
