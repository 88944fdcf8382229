// The editor's X11 window host, for Linux hosts that embed plug-in editors as X11 child
// windows: one child window of the host's window, on the module's own xcb connection. The host
// drives it from its loop (the VST 3 run loop's timer and descriptor handlers, or VST 2's
// effEditIdle): each timer tick reads the window's events and draws the dirty controls, and
// the paint copies only those regions of the editor's bitmap to the window (shared memory
// where the server offers it). Exposed areas are drawn again completely. Mouse, wheel and keys
// become the editor's input calls with the pointer held by the control that took the press;
// the one-line text entry, popup menus and message boxes are drawn by the window host itself
// with the project's raster and text layers. Shown at the host's content scale when it asks.
#pragma once

#include "IGraphics.h"
#include "X11Connection.h"
#include "X11Surface.h"

#include <xcb/xcb.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <thread>

class Raster_MemBitmap;
class Raster_SysBitmap;

class IGraphicsX11 : public IGraphics, private X11EventTarget, private X11TimerClient
{
public:
  // Text entry states, as the Win32 window host has them: a commit or cancel asked for by a
  // key or a click is carried out by the next timer tick.
  enum EParamEditState { kNone = 0, kEditing, kUpdate, kCancel, kCommit };

  // The editor's images by id, from memory (the module carries them compiled in). Set once for
  // the module; the data must live as long as the module.
  using ImageLookup = bool (*)(int id, const unsigned char** png, size_t* size);
  static void SetImageLookup(ImageLookup lookup);

  IGraphicsX11(IFxBase* plug, int w, int h, int refreshFPS = 0);
  ~IGraphicsX11() override;

  // ---- platform operations -------------------------------------------------------------------
  bool DrawScreen(IRECT* rect) override;
  void ForceEndUserEdit() override;
  void Resize(int w, int h) override;
  bool WindowIsOpen() override { return mWindow != 0; }
  const char* GetGUIAPI() override { return "X11"; }
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* areaRect) override;
  void CreateTextEntry(IControl* control, IText* text, IRECT* textRect, const char* str = "",
                       IParam* param = nullptr) override;
  void HostPath(Util_String* path) override;
  void PluginPath(Util_String* path) override;
  void DesktopPath(Util_String* path) override;
  void AppSupportPath(Util_String* path, bool isSystem = false) override;
  void SandboxSafeAppSupportPath(Util_String* path) override;
  // No file or colour dialog of its own: the prompt is cancelled (the meter asks for neither).
  void PromptForFile(Util_String* fileName, EFileAction action = kFileOpen, Util_String* dir = nullptr,
                     const char* extensions = "") override;
  bool PromptForColor(IColor* color, const char* prompt = "") override;
  bool OpenURL(const char* url, const char* msgWindowTitle = nullptr, const char* confirmMsg = nullptr,
               const char* errMsgOnFailure = nullptr) override;
  // parentWnd: the host's X11 window id, cast to a pointer. Returns the editor window's id the
  // same way, or null when there is no server or the parent is not a window.
  void* OpenWindow(void* parentWnd) override;
  void* OpenWindow(void* parentWnd, void* parentControl, short leftOffset = 0, short topOffset = 0) override;
  void CloseWindow() override;
  void* GetWindow() override { return mWindow ? (void*)(uintptr_t)mWindow : nullptr; }
  bool GetTextFromClipboard(Util_String* str) override;
  void HideMouseCursor() override;
  void ShowMouseCursor() override;
  void UpdateTooltips() override {}
  Raster_IBitmap* OSLoadBitmap(int id, const char* name) override;

  // ---- driven by the host's loop -------------------------------------------------------------------
  int HostEventFD() override;
  void OnHostEvents() override;
  void OnHostTimer() override { Tick(); }
  int TimerPeriodMs() const override;
  bool SetContentScale(double scale) override;
  double GetContentScale() const override { return mScale; }

  // One timer tick: reads the window's events, finishes a committed or cancelled text entry,
  // draws the dirty controls and copies them to the window.
  void Tick();

  // ---- for tests and benchmarks -------------------------------------------------------------------
  uint32_t GetWindowID() const { return mWindow; }
  uint32_t GetParentID() const { return mParent; }
  // The window's size on the screen (the editor's size times the content scale).
  int WindowWidth() const { return mWinW; }
  int WindowHeight() const { return mWinH; }
  bool UsesSharedMemory() const { return mSurface.UsesShm(); }
  // Whether the server destroyed the window behind the editor's back (its parent went away).
  bool WindowLost() const { return mWindowLost; }
  bool HasTextEntry() const { return mEntry != nullptr; }
  const char* GetTextEntryText() const;
  int GetEditState() const { return mEditState; }
  // The thread that opened the window (the host's user-interface thread).
  std::thread::id UIThread() const { return mUIThread; }
  // Whether windows opened from now on copy through shared memory where the server offers it
  // (the default), or always with plain requests (tests and benchmarks compare the two).
  static void AllowSharedMemory(bool allow);
  // Editor windows of the module that are open.
  static int NOpenWindows();
  // Keys as the editor numbers them (space 0, arrows 1-4, digits 5-14, letters 15-40), or -1.
  static int TranslateKeysym(uint32_t keysym);

private:
  struct TextEntry;

  void OnX11Event(const xcb_generic_event_t* event) override;
  void OnModalTick() override { Tick(); }

  // Events (IGraphicsX11_Input.cpp).
  void OnExpose(const xcb_expose_event_t* e);
  void OnButtonPress(const xcb_button_press_event_t* e);
  void OnButtonRelease(const xcb_button_release_event_t* e);
  void OnMotion(const xcb_motion_notify_event_t* e);
  void OnKeyPress(const xcb_key_press_event_t* e);
  void PassKeyToHost(const xcb_key_press_event_t* e);
  IMouseMod ModifiersOf(uint16_t state) const;
  void ToEditor(int wx, int wy, int* x, int* y) const;
  void TakeFocus(xcb_timestamp_t time);

  // Text entry (IGraphicsX11_Entry.cpp).
  bool EntryContains(int x, int y) const;
  bool EntryHandlesKey(uint32_t keysym, uint16_t state);
  void EntryClick(int x, int y);
  void EntryInsert(const char* text);
  void DrawEntry();
  void RedrawEntryArea();
  void CommitOrCancelTextEntry();
  void DestroyTextEntry();
  bool EntryAccepts(char c) const;
  int EntryTextX(int index);

  // Platform services (IGraphicsX11_Platform.cpp).
  void NoteOpened(bool open);
  void OnSelectionNotify(const xcb_selection_notify_event_t* e);
  static bool ClipboardDone(void* self);

  // Painting.
  IRECT EditorToWindow(const IRECT& r) const;
  IRECT WindowToEditor(const IRECT& r) const;
  void PutEditorRect(const IRECT& editorRect);
  bool PrepareScaled();
  void DestroyWindowResources();

  X11Connection* mConn = nullptr;
  xcb_window_t mWindow = 0;
  xcb_window_t mParent = 0;
  bool mWindowLost = false;
  X11Surface mSurface;
  double mScale = 1.0;
  int mWinW = 0, mWinH = 0;
  Raster_MemBitmap* mScaled = nullptr;   // the window's pixels at a content scale other than 1
  Raster_MemBitmap* mCompose = nullptr;  // the editor's pixels with the text entry over them
  IRECT mExposed;                        // exposed area so far (window coordinates)
  bool mHasExposed = false;

  // Pointer and clicks.
  int mPointerX = 0, mPointerY = 0;  // editor coordinates of the last pointer event
  xcb_timestamp_t mLastPressTime = 0;
  int mLastPressX = -1000, mLastPressY = -1000;
  uint8_t mLastPressButton = 0;
  bool mLastPressWasDouble = false;
  uint8_t mButtonsDown = 0;  // bit per button 1-3 whose press reached the editor
  xcb_cursor_t mBlankCursor = 0;

  // Text entry.
  TextEntry* mEntry = nullptr;
  int mEditState = kNone;

  std::thread::id mUIThread;  // the thread that opened the window

  // A clipboard conversion in progress.
  bool mClipboardWaiting = false;
  std::chrono::steady_clock::time_point mClipboardDeadline;
  Util_String mClipboardText;
};
