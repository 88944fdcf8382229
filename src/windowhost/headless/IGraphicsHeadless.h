// The editor's window host without a window: for Linux tests, command-line tools and plug-in
// builds whose host shows no window. "Opening" only records state; the timer ticks when asked;
// input, text entries, popup menus and message boxes are driven or recorded by the caller; the
// screen is a bitmap that can be written as PNG.
#pragma once

#include "IGraphics.h"
#include "Util_PtrList.h"
#include "Util_String.h"
#include "Util_TypedBuf.h"

#include <cstddef>

class Raster_MemBitmap;

class IGraphicsHeadless : public IGraphics
{
public:
  // A message box or notice that would have been shown.
  struct MessageBoxRecord
  {
    Util_String text, caption;
    int type = 0;
  };

  // A text entry the editor opened and nobody has confirmed or cancelled yet.
  struct TextEntryRecord
  {
    IControl* control = nullptr;
    IParam* param = nullptr;
    IText text;
    IRECT rect;
    Util_String str;
  };

  // A popup menu as it was shown: item texts and checked flags.
  struct PopupRecord
  {
    Util_PtrList<Util_String> items;
    Util_TypedBuf<bool> checked;
    IRECT rect;
    int chosen = -1;
    ~PopupRecord() { items.Empty(true); }
  };

  IGraphicsHeadless(IFxBase* plug, int w, int h, int refreshFPS = 0);
  ~IGraphicsHeadless() override;

  // ---- window and timer ----------------------------------------------------------------------
  // One timer tick: when the window is open and a control is dirty, runs the drawing pass and
  // copies the drawn region to the screen image. Returns whether anything was drawn.
  bool Tick();
  // A platform paint of part of the window, as when another window uncovers it: draws that
  // area whether or not anything is dirty. Returns whether anything was drawn.
  bool Expose(IRECT rect);
  // The last screen image (all transparent black until the first tick that drew).
  Raster_IBitmap* GetScreen();
  // The region copied to the screen by the last drawing pass.
  IRECT GetLastScreenRECT() const { return mLastScreenRECT; }
  // Writes the screen image as an RGBA PNG (libpng). False when the file cannot be written.
  bool WriteScreenPNG(const char* path);
  int NScreenUpdates() const { return mNScreenUpdates; }

  // ---- input injection ------------------------------------------------------------------------
  void MouseDown(int x, int y, IMouseMod mod = IMouseMod(true));
  void MouseUp(int x, int y, IMouseMod mod = IMouseMod(true));
  void MouseDrag(int x, int y, IMouseMod mod = IMouseMod(true));
  bool MouseDblClick(int x, int y, IMouseMod mod = IMouseMod(true));
  // Press and release at one point.
  void Click(int x, int y, IMouseMod mod = IMouseMod(true));
  void MouseWheel(int x, int y, int delta, IMouseMod mod = IMouseMod());
  bool MouseMove(int x, int y, IMouseMod mod = IMouseMod());
  void MouseLeave() { OnMouseOut(); }
  // Key at the last mouse position; the modifiers are kept for GetLastKeyMod.
  bool KeyDown(int key, IMouseMod mod = IMouseMod());
  IMouseMod GetLastKeyMod() const { return mLastKeyMod; }

  // ---- text entries and popup menus --------------------------------------------------------------
  bool HasPendingTextEntry() const { return mTextEntry != nullptr; }
  const TextEntryRecord* GetPendingTextEntry() const { return mTextEntry; }
  // Confirms the pending entry with text (cut to the control's entry length); false when none.
  bool CompleteTextEntry(const char* text);
  bool CancelTextEntry();
  // The answer of the next popup menu: an item index, or -1 to cancel. Without a queued answer
  // a menu is cancelled.
  void SetNextPopupChoice(int itemIdx) { mNextPopupChoice = itemIdx; mHasPopupChoice = true; }
  // The last menu shown, or null.
  const PopupRecord* GetLastPopup() const { return mLastPopup; }
  int NPopupsShown() const { return mNPopups; }

  // ---- notices -----------------------------------------------------------------------------------
  int NMessageBoxes() const { return mMessageBoxes.GetSize(); }
  const MessageBoxRecord* GetMessageBox(int idx) const { return mMessageBoxes.Get(idx); }
  // The answer of every later message box (default kIDOK).
  void SetMessageBoxAnswer(int answer) { mMessageBoxAnswer = answer; }
  // Routes the framework's user notices of the whole module into a recorded list instead of
  // standard error (until RestoreNotices). Thread-safe.
  static void RecordNotices();
  static void RestoreNotices();
  static int NRecordedNotices();
  // The notice at idx as "caption: text"; false when out of range.
  static bool GetRecordedNotice(int idx, Util_String* out, int* kind = nullptr);
  static void ClearRecordedNotices();

  // ---- URLs ----------------------------------------------------------------------------------------
  // With launching off (the default) URLs are only recorded; with it on they also go to the
  // system's opener (Util_OpenAddress).
  void SetLaunchURLs(bool launch) { mLaunchURLs = launch; }
  int NOpenedURLs() const { return mURLs.GetSize(); }
  const char* GetOpenedURL(int idx) const;
  // The result OpenURL reports (default true), to exercise fallbacks.
  void SetOpenURLResult(bool ok) { mOpenURLResult = ok; }

  // ---- images ----------------------------------------------------------------------------------------
  // Images of the module by id from memory (PNG bytes, copied); they win over files. Module-wide.
  static void RegisterImageData(int id, const void* png, size_t len);
  static void UnregisterAllImageData();
  // Directory searched first for image files (then the module's folder and its resources/img).
  void SetImageDir(const char* dir) { mImageDir.Set(dir ? dir : ""); }
  // The answer of PromptForFile (empty: cancelled) and PromptForColor.
  void SetNextFileChoice(const char* path) { mNextFile.Set(path ? path : ""); }
  void SetNextColorChoice(const IColor* color) { if (color) { mNextColor = *color; mHasNextColor = true; } }
  bool IsCursorHidden() const { return mCursorHidden; }

  // ---- platform operations ----------------------------------------------------------------------------
  bool DrawScreen(IRECT* rect) override;
  void ForceEndUserEdit() override;
  const char* GetGUIAPI() override { return "headless"; }
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* areaRect) override;
  void CreateTextEntry(IControl* control, IText* text, IRECT* textRect, const char* str = "", IParam* param = nullptr) override;
  void HostPath(Util_String* path) override;
  void PluginPath(Util_String* path) override;
  void DesktopPath(Util_String* path) override;
  void AppSupportPath(Util_String* path, bool isSystem = false) override;
  void SandboxSafeAppSupportPath(Util_String* path) override;
  void PromptForFile(Util_String* fileName, EFileAction action = kFileOpen, Util_String* dir = nullptr,
                     const char* extensions = "") override;
  bool PromptForColor(IColor* color, const char* prompt = "") override;
  bool OpenURL(const char* url, const char* msgWindowTitle = nullptr, const char* confirmMsg = nullptr,
               const char* errMsgOnFailure = nullptr) override;
  void* OpenWindow(void* parentWnd) override;
  void* OpenWindow(void* parentWnd, void* parentControl, short leftOffset = 0, short topOffset = 0) override;
  void CloseWindow() override;
  void* GetWindow() override { return mOpen ? (void*)this : nullptr; }
  bool GetTextFromClipboard(Util_String* str) override;
  // What GetTextFromClipboard returns.
  void SetClipboardText(const char* text) { mClipboard.Set(text ? text : ""); }
  void HideMouseCursor() override;
  void ShowMouseCursor() override;
  void UpdateTooltips() override {}
  Raster_IBitmap* OSLoadBitmap(int id, const char* name) override;

private:
  bool mOpen = false;
  Raster_MemBitmap* mScreen = nullptr;
  IRECT mLastScreenRECT;
  int mNScreenUpdates = 0;
  IMouseMod mLastKeyMod;
  int mKeyX = 0, mKeyY = 0;  // where the pointer last moved; keys go there
  TextEntryRecord* mTextEntry = nullptr;
  PopupRecord* mLastPopup = nullptr;
  int mNPopups = 0;
  int mNextPopupChoice = -1;
  bool mHasPopupChoice = false;
  Util_PtrList<MessageBoxRecord> mMessageBoxes;
  int mMessageBoxAnswer = 1;
  Util_PtrList<Util_String> mURLs;
  bool mLaunchURLs = false;
  bool mOpenURLResult = true;
  Util_String mImageDir;
  Util_String mNextFile;
  IColor mNextColor;
  bool mHasNextColor = false;
  Util_String mClipboard;
};
