// The platform-independent editor: an ordered list of controls over a fixed-size back buffer,
// the dirty-region drawing pass, input dispatch to the controls, the value flow between
// controls and parameters, image and font caching and the drawing helpers the controls use.
// A platform subclass (Win32, Cocoa, headless) owns the window, runs the timer and implements
// the platform operations at the end of the class.
#pragma once

#include "IEditorLink.h"
#include "IGraphicsStructs.h"
#include "IPopupMenu.h"
#include "Util_PtrList.h"
#include "Util_String.h"

class IControl;
class IFxBase;
class IParam;
class Raster_IBitmap;
class Raster_MemBitmap;
class Raster_SysBitmap;
class Raster_CachedFont;

// Message box types and results (the Win32 values).
enum
{
  kMB_OK = 0,
  kMB_OKCANCEL = 1,
  kMB_YESNOCANCEL = 3,
  kMB_YESNO = 4,
  kMB_ICONERROR = 0x10,
  kMB_ICONINFORMATION = 0x40,
  kIDOK = 1,
  kIDCANCEL = 2,
  kIDYES = 6,
  kIDNO = 7
};

class IGraphics : public IEditorLink
{
public:
  // A refresh rate of 0 or less becomes 25 frames per second. No bitmap is created here.
  IGraphics(IFxBase* plug, int w, int h, int refreshFPS = 0);
  ~IGraphics() override;
  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  // The editor attached to a plug-in, or null.
  static IGraphics* FromPlug(IFxBase* plug);

  // ---- size and buffers -----------------------------------------------------------------
  // Creates the window-sized back buffer and the scratch bitmap.
  void PrepDraw() override;
  int Width() const override { return mWidth; }
  int Height() const override { return mHeight; }
  int FPS() const { return mFPS; }
  IFxBase* GetPlug() const { return mPlug; }
  // Pixel (0, 0) of the back buffer, null before PrepDraw.
  unsigned int* GetBits();
  Raster_IBitmap* GetDrawBitmap();
  IRECT GetDrawRECT() const { return mDrawRECT; }

  // ---- control list ----------------------------------------------------------------------
  // Appends; the editor owns the control. Returns its index.
  int AttachControl(IControl* control);
  // Loads the image and inserts an opaque IBitmapControl of one frame at index 0.
  void AttachBackground(int id, const char* name);
  void AttachPanelBackground(const IColor* color);
  // The editor owns the key catcher.
  void AttachKeyCatcher(IControl* control);
  IControl* GetControl(int idx) const { return mControls.Get(idx); }
  int GetNControls() const { return mControls.GetSize(); }
  IControl* GetKeyCatcher() const { return mKeyCatcher; }
  void HideControl(int paramIdx, bool hide);
  void GrayOutControl(int paramIdx, bool gray);
  void ClampControl(int paramIdx, double lo, double hi, bool normalized);
  void SetAllControlsDirty();
  void SetStrictDrawing(bool strict);
  bool GetStrictDrawing() const { return mStrict; }
  void AssignParamNameToolTips();
  void HandleMouseOver(bool canHandle) { mHandleMouseOver = canHandle; }
  bool CanHandleMouseOver() const { return mHandleMouseOver; }
  void EnableTooltips(bool enable) { mShowTooltips = enable; }
  bool TooltipsEnabled() const { return mShowTooltips; }

  // ---- value flow ------------------------------------------------------------------------
  // Host or plug-in to controls; safe from host threads (stores values and dirty flags only).
  void SetParameterFromPlug(int paramIdx, double value, bool normalized) override;
  void SetControlFromPlug(int controlIdx, double normalizedValue) override;
  void SetParameterFromGUI(int paramIdx, double normalizedValue);
  // Popup menu for enumerations and booleans with display texts, text entry otherwise.
  void PromptUserInput(IControl* control, IParam* param, IRECT* textRect);
  // A confirmed text entry for a parameter.
  void SetFromStringAfterPrompt(IControl* control, IParam* param, const char* text);

  // ---- drawing pass ----------------------------------------------------------------------
  // Whether any control is dirty; region becomes the union of their rectangles.
  bool IsDirty(IRECT* region);
  bool Draw(IRECT* region);
  void OnGUIIdle();

  // ---- drawing helpers (onto the back buffer; bitmap draws also clipped to the drawing region) ----
  bool DrawBitmap(IBitmap* bitmap, IRECT* dest, int srcX, int srcY, const IChannelBlend* blend = nullptr);
  // frame is 1-based.
  bool DrawBitmap(IBitmap* bitmap, IRECT* dest, int frame = 1, const IChannelBlend* blend = nullptr);
  bool DrawRotatedBitmap(IBitmap* bitmap, int destCtrX, int destCtrY, double angle, int yOffsetZeroDeg = 0,
                         const IChannelBlend* blend = nullptr);
  bool DrawRotatedMask(IBitmap* base, IBitmap* mask, IBitmap* top, int x, int y, double angle,
                       const IChannelBlend* blend = nullptr);
  bool DrawPoint(const IColor* color, float x, float y, const IChannelBlend* blend = nullptr, bool antiAlias = false);
  bool ForcePixel(const IColor* color, int x, int y);
  IColor GetPoint(int x, int y);
  bool DrawLine(const IColor* color, float x1, float y1, float x2, float y2, const IChannelBlend* blend = nullptr,
                bool antiAlias = false);
  // Angles in radians, 0 up, clockwise.
  bool DrawArc(const IColor* color, float cx, float cy, float r, float minAngle, float maxAngle,
               const IChannelBlend* blend = nullptr, bool antiAlias = false);
  bool DrawCircle(const IColor* color, float cx, float cy, float r, const IChannelBlend* blend = nullptr, bool antiAlias = false);
  bool DrawRadialLine(const IColor* color, float cx, float cy, float angle, float rMin, float rMax,
                      const IChannelBlend* blend = nullptr, bool antiAlias = false);
  bool DrawRect(const IColor* color, IRECT* rect);
  bool DrawVerticalLine(const IColor* color, int xi, int yLo, int yHi);
  bool DrawHorizontalLine(const IColor* color, int yi, int xLo, int xHi);
  // The line at a fraction 0..1 across (vertical) or down (horizontal) the rectangle.
  bool DrawVerticalLine(const IColor* color, IRECT* rect, float x);
  bool DrawHorizontalLine(const IColor* color, IRECT* rect, float y);
  bool FillIRect(const IColor* color, IRECT* rect, const IChannelBlend* blend = nullptr);
  bool RoundRect(const IColor* color, IRECT* rect, const IChannelBlend* blend, int cornerRadius, bool aa);
  bool FillRoundRect(const IColor* color, IRECT* rect, const IChannelBlend* blend, int cornerRadius, bool aa);
  bool FillCircle(const IColor* color, int cx, int cy, float r, const IChannelBlend* blend = nullptr, bool antiAlias = false);
  bool FillTriangle(const IColor* color, int x1, int y1, int x2, int y2, int x3, int y3, const IChannelBlend* blend = nullptr);
  bool FillIConvexPolygon(const IColor* color, int* x, int* y, int npoints, const IChannelBlend* blend = nullptr);
  // Draws (or with measure set, measures into rect) a UTF-8 string; line breaks start new lines.
  bool DrawIText(IText* text, const char* str, IRECT* rect, bool measure = false);
  // Bitmap font text (IBitmapTextControl): characters 32..127 as frames of the image.
  bool DrawBitmapedText(IBitmap* bitmap, IRECT* rect, IText* text, const char* str, bool vCenter = true,
                        bool multiline = false, int charWidth = 6, int charHeight = 12, int charOffset = 0);

  // The raster mode word and weight for a blend (none: copy with source alpha at weight 1).
  static int BlendToMode(const IChannelBlend* blend);
  static float BlendWeight(const IChannelBlend* blend);

  // ---- images and fonts (module-wide caches) ------------------------------------------------
  IBitmap LoadIBitmap(int id, const char* name, int nStates = 1, bool framesAreHorizontal = false);
  // Adds an image the caller made to the cache (id -1); the cache then owns it.
  void RetainBitmap(IBitmap* bitmap);
  // Removes the image from the cache and destroys it; an image not in the cache is left alone.
  void ReleaseBitmap(IBitmap* bitmap);
  IBitmap ScaleBitmap(IBitmap* src, int w, int h);
  IBitmap CropBitmap(IBitmap* src, IRECT* rect);
  // The cached font for the style (created on first use), or null when the platform refuses it.
  Raster_CachedFont* CacheFont(IText* text);

  // ---- input -------------------------------------------------------------------------------
  void OnMouseDown(int x, int y, IMouseMod* mod);
  void OnMouseUp(int x, int y, IMouseMod* mod);
  void OnMouseDrag(int x, int y, IMouseMod* mod);
  // True when the double click was delivered as a press (the control wants single clicks).
  bool OnMouseDblClick(int x, int y, IMouseMod* mod);
  void OnMouseWheel(int x, int y, IMouseMod* mod, int d);
  bool OnMouseOver(int x, int y, IMouseMod* mod);
  void OnMouseOut();
  bool OnKeyDown(int x, int y, int key);
  int GetMouseControlIdx(int x, int y, bool mo = false);
  void ReleaseMouseCapture();
  int GetMouseCapture() const { return mMouseCapture; }
  int GetMouseOver() const { return mMouseOver; }
  // The parameter whose host gesture a press began and its release has not ended yet; -1 none.
  int GetGestureParam() const { return mGestureParam; }
  int GetParamIdxForPTAutomation(int x, int y);
  int GetLastClickedParamForPTAutomation();

  // ---- platform operations, in slot order ----------------------------------------------------
  virtual bool DrawScreen(IRECT* rect) = 0;
  virtual bool MeasureIText(IText* text, const char* str, IRECT* destRect);
  virtual void ForceEndUserEdit() = 0;
  virtual void Resize(int w, int h);
  virtual bool WindowIsOpen() { return GetWindow() != nullptr; }
  virtual const char* GetGUIAPI() { return ""; }
  virtual int ShowMessageBox(const char* text, const char* caption, int type) = 0;
  // Shows the menu modally; returns the menu with its chosen item set, or null when cancelled.
  virtual IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* areaRect) = 0;
  // Opens a text entry; on confirmation the platform calls SetFromStringAfterPrompt (with a
  // parameter) or the control's TextFromTextEntry (without).
  virtual void CreateTextEntry(IControl* control, IText* text, IRECT* textRect, const char* str = "",
                               IParam* param = nullptr) = 0;
  virtual void HostPath(Util_String* path) = 0;
  virtual void PluginPath(Util_String* path) = 0;
  virtual void DesktopPath(Util_String* path) = 0;
  virtual void AppSupportPath(Util_String* path, bool isSystem = false) = 0;
  virtual void SandboxSafeAppSupportPath(Util_String* path) = 0;
  virtual void PromptForFile(Util_String* fileName, EFileAction action = kFileOpen, Util_String* dir = nullptr,
                             const char* extensions = "") = 0;
  virtual bool PromptForColor(IColor* color, const char* prompt = "") = 0;
  virtual bool OpenURL(const char* url, const char* msgWindowTitle = nullptr, const char* confirmMsg = nullptr,
                       const char* errMsgOnFailure = nullptr) = 0;
  void* OpenWindow(void* parentWnd) override = 0;
  virtual void* OpenWindow(void* parentWnd, void* parentControl, short leftOffset = 0, short topOffset = 0);
  virtual void AttachSubWindow(void*) {}
  virtual void RemoveSubWindow() {}
  void CloseWindow() override = 0;
  virtual void* GetWindow() = 0;
  virtual bool GetTextFromClipboard(Util_String* str) = 0;
  virtual void HideMouseCursor() {}
  virtual void ShowMouseCursor() {}
  virtual void UpdateTooltips() = 0;
  // A new bitmap for the image id (name helps platforms that load by file), or null.
  virtual Raster_IBitmap* OSLoadBitmap(int id, const char* name) = 0;

protected:
  int GetHitControl(int x, int y, bool mo) const;
  // Draws one control and records where its drawing went (IControl::GetDrawnRECT).
  void DrawControl(IControl* control);
  // The region grown over everything that the controls it meets draw regardless of the
  // drawing region (their text, lines and curves), so that what lies beneath is redrawn first.
  IRECT GrowOverSpill(IRECT region) const;
  // Called by the drawing helpers: rect (before the region's clipping) received drawing;
  // spill tells that the operation ignores the drawing region.
  void NoteDrawn(const IRECT& rect, bool spill);
  // NoteDrawn for a shape's bounding box of floats, widened by pad pixels for anti-aliasing.
  void NoteDrawnBox(float l, float t, float r, float b, float pad);
  bool IsHitEligible(IControl* control, bool mo) const;
  // Tells the host that a gesture on the control's parameter begins (ending one still open).
  void BeginGesture(IControl* control);
  // Ends the open gesture, if any: the host hears an end only after its begin.
  void EndGesture();

  Util_PtrList<IControl> mControls;
  IFxBase* mPlug = nullptr;
  IRECT mDrawRECT;
  bool mCursorHidden = false;
  int mHiddenMousePointX = -1, mHiddenMousePointY = -1;
  Raster_SysBitmap* mDrawBitmap = nullptr;
  Raster_MemBitmap* mTmpBitmap = nullptr;
  int mWidth = 0, mHeight = 0, mFPS = 25;
  int mMouseCapture = -1, mMouseOver = -1;
  int mMouseX = 0, mMouseY = 0;
  int mLastClickedParam = -1;
  int mGestureParam = -1;
  bool mHandleMouseOver = false;
  bool mStrict = true;
  bool mShowTooltips = false;
  IControl* mKeyCatcher = nullptr;
  // While a control draws in a pass: where its drawing went so far.
  bool mTrackDrawing = false;
  IRECT mTrackDrawn, mTrackSpill;
};
