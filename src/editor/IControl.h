// The base of everything an editor shows: a rectangle with a normalised value, optionally bound
// to one plug-in parameter, drawn by the editor's drawing pass and fed by its input dispatch.
// User actions push values to the plug-in (SetDirty(true)); host and plug-in changes are pulled
// in (SetValueFromPlug) and never pushed back.
#pragma once

#include "IGraphicsStructs.h"
#include "Util_String.h"
#include "Util_PtrList.h"

#include <atomic>

class IFxBase;
class IGraphics;
class IParam;

class IControl
{
public:
  // A further parameter the control follows, with its last normalised value.
  struct AuxParam
  {
    IShared<double> mValue = 0.0;
    int mParamIdx = -1;

    AuxParam() = default;
    explicit AuxParam(int idx) : mParamIdx(idx) {}
  };

  IControl(IFxBase* plug, IRECT rect, int paramIdx = -1, IChannelBlend blend = IChannelBlend(IChannelBlend::kBlendNone));
  virtual ~IControl();
  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  // ---- hooks, in slot order ---------------------------------------------------------
  virtual void OnMouseDown(int x, int y, IMouseMod* mod);
  virtual void OnMouseUp(int x, int y, IMouseMod* mod);
  virtual void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod);
  virtual void OnMouseDblClick(int x, int y, IMouseMod* mod);
  virtual void OnMouseWheel(int x, int y, IMouseMod* mod, int d);
  virtual bool OnKeyDown(int x, int y, int key);
  virtual void OnMouseOver(int x, int y, IMouseMod* mod);
  virtual void OnMouseOut();
  virtual bool Draw(IGraphics* graphics) = 0;
  // Host or plug-in to control: stores the value (the first one also becomes the default)
  // and dirties without pushing. Safe from a host thread.
  virtual void SetValueFromPlug(double value);
  // Prompt or text entry to control: stores and pushes when the value changed.
  virtual void SetValueFromUserInput(double value);
  // Confirmed text of a text entry opened without a parameter.
  virtual void TextFromTextEntry(const char* text);
  virtual void Hide(bool hide);
  virtual void GrayOut(bool gray);
  virtual bool IsHit(int x, int y);
  // Clamps the value and marks the control dirty; with push set and a bound parameter also
  // sets the parameter through the plug-in (which informs the host) and updates the value
  // and name display controls.
  virtual void SetDirty(bool pushParamToPlug = true);
  virtual void SetClean();
  virtual bool IsDirty();
  virtual void OnGUIIdle();
  virtual void SetAuxParamValueFromPlug(int auxParamIdx, double value);

  // ---- prompting ------------------------------------------------------------------------
  // Nothing without a parameter or while prompting is disabled. Prompts over the control's
  // rectangle for parameters with display texts, else over a 40 x 16 box at its centre.
  void PromptUserInput();
  void PromptUserInput(IRECT* textRect);
  void DisablePrompt(bool disable) { mDisablePrompt = disable; }

  // ---- auxiliary parameters ---------------------------------------------------------------
  void AddAuxParam(int paramIdx);
  int AuxParamIdx(int paramIdx) const;
  AuxParam* GetAuxParam(int idx);
  int NAuxParams() const { return mAuxParams.GetSize(); }
  void SetAllAuxParamsFromGUI();

  // ---- fields ------------------------------------------------------------------------------
  int ParamIdx() const { return mParamIdx; }
  IParam* GetParam() const;
  IFxBase* GetPlug() const { return mPlug; }
  IGraphics* GetGUI() const;
  IRECT* GetRECT() { return &mRECT; }
  IRECT* GetTargetRECT() { return &mTargetRECT; }
  void SetTargetArea(IRECT rect) { mTargetRECT = rect; }
  double GetValue() const { return mValue; }
  void SetValue(double value) { mValue = value; }
  // The value, replaced by `replacement` in the same step: for controls that carry messages
  // posted from another thread (a posted value is taken once, or stays for the next pass).
  double TakeValue(double replacement) { return mValue.Exchange(replacement); }
  double GetDefaultValue() const { return mDefaultValue; }
  IText* GetText() { return &mText; }
  void SetTextStyle(const IText& text) { mText = text; }
  int GetTextEntryLength() const { return mTextEntryLength; }
  void SetTextEntryLength(int len) { mTextEntryLength = len; }
  IChannelBlend* GetBlend() { return &mBlend; }
  bool IsHidden() const { return mHide; }
  bool IsGrayed() const { return mGrayed; }
  bool GetMOWhenGrayed() const { return mMOWhenGreyed; }
  void SetMOWhenGrayed(bool allow) { mMOWhenGreyed = allow; }
  bool MouseDblAsSingleClick() const { return mDblAsSingleClick; }
  void SetDblAsSingleClick(bool single) { mDblAsSingleClick = single; }
  void Clamp(double lo, double hi) { mClampLo = lo; mClampHi = hi; }
  // value limited to the clamp range: below low gives low, otherwise the smaller of value and
  // high (so NaN becomes high).
  double Clamped(double value) const;
  double GetClampLo() const { return mClampLo; }
  double GetClampHi() const { return mClampHi; }
  void SetValDisplayControl(IControl* control) { mValDisplayControl = control; }
  void SetNameDisplayControl(IControl* control) { mNameDisplayControl = control; }
  void SetTooltip(const char* tooltip) { mTooltip.Set(tooltip ? tooltip : ""); }
  const char* GetTooltip() const { return mTooltip.Get(); }
  // Keeps the control dirty for one more drawing pass.
  void Redraw() { mDrawFlags.fetch_or(kFlagRedraw, std::memory_order_acq_rel); }
  // Dirty now and for one more pass.
  void MarkForRedraw() { mDrawFlags.fetch_or(kFlagDirty | kFlagRedraw, std::memory_order_acq_rel); }
  // Where the control's last drawing went (the editor records it during each drawing pass),
  // and the part of it drawn by operations that ignore the pass's region (text, lines, curves).
  // A control may draw beyond its rectangle: a multi-line text runs on below it.
  IRECT GetDrawnRECT() const { return mDrawnRECT; }
  IRECT GetSpillRECT() const { return mSpillRECT; }
  void SetDrawnArea(const IRECT& drawn, const IRECT& spill) { mDrawnRECT = drawn; mSpillRECT = spill; }
  // The rectangle and everything the last drawing touched: what a repaint must redraw the
  // control for, and what its next drawing must first clear.
  IRECT GetPaintRECT() const { return mRECT.Union(mDrawnRECT); }
  // Sets the text of a text control (ITextControl and its relatives); does nothing otherwise.
  virtual void SetTextFromPlug(const char*) {}
  // The control's text, for controls that have one; empty otherwise.
  virtual const char* GetTextFromControl() const { return ""; }

protected:
  int mTextEntryLength = 7;
  IText mText;
  IFxBase* mPlug = nullptr;
  IRECT mRECT, mTargetRECT;
  IRECT mDrawnRECT, mSpillRECT;
  int mParamIdx = -1;
  Util_PtrList<AuxParam> mAuxParams;
  IShared<double> mValue = 0.0;
  IShared<double> mDefaultValue = -1.0;
  IShared<double> mClampLo = 0.0;
  IShared<double> mClampHi = 1.0;
  // The dirty and redraw flags in one word. A host thread marks the control in one atomic step
  // and the drawing pass cleans it in one, so a value posted while a pass ends is never lost
  // between reading one flag and writing the other.
  enum { kFlagDirty = 1, kFlagRedraw = 2 };
  std::atomic<unsigned> mDrawFlags{kFlagDirty};
  IShared<bool> mHide = false;
  IShared<bool> mGrayed = false;
  bool mDisablePrompt = true;
  bool mDblAsSingleClick = false;
  bool mMOWhenGreyed = false;
  IChannelBlend mBlend;
  IControl* mValDisplayControl = nullptr;
  IControl* mNameDisplayControl = nullptr;
  Util_String mTooltip;
};
