// The editor's Win32 window host: one child window inside the window the host gives the plug-in
// view. A window timer asks the editor for dirty areas, WM_PAINT runs the drawing pass and copies
// the back buffer to the screen, and window messages become the editor's mouse and key calls.
// It also runs the one-line text entry (a subclassed EDIT child), popup menus, tooltips, file
// and colour dialogs and message boxes, and answers path and clipboard queries.
#pragma once

#include "IGraphics.h"

#include <windows.h>

class IGraphicsWin : public IGraphics
{
public:
  // Text entry states.
  enum EParamEditState { kNone = 0, kEditing, kUpdate, kCancel, kCommit };

  // The editor window's class, title, timer id and the text entry's control id.
  static constexpr const char* kWindowClass = "FxEditorWndClass";
  static constexpr const char* kWindowTitle = "FxEditor";
  static constexpr UINT_PTR kTimerID = 2;
  static constexpr int kTextEntryID = 99;

  // instance: the module whose resources hold the images; null takes the module this code is
  // linked into (the plug-in module, or a test program).
  IGraphicsWin(IFxBase* plug, int w, int h, int refreshFPS = 0, HINSTANCE instance = nullptr);
  ~IGraphicsWin() override;

  // ---- platform operations ---------------------------------------------------------------------
  bool DrawScreen(IRECT* rect) override;
  void ForceEndUserEdit() override;
  void Resize(int w, int h) override;
  bool WindowIsOpen() override { return mDelegate != nullptr; }
  const char* GetGUIAPI() override { return "Windows GDI"; }
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* areaRect) override;
  void CreateTextEntry(IControl* control, IText* text, IRECT* textRect, const char* str = "",
                       IParam* param = nullptr) override;
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
  void* GetWindow() override { return mDelegate; }
  bool GetTextFromClipboard(Util_String* str) override;
  void HideMouseCursor() override;
  void ShowMouseCursor() override;
  void UpdateTooltips() override;
  Raster_IBitmap* OSLoadBitmap(int id, const char* name) override;

  // ---- for the view and for tests ------------------------------------------------------------------
  HINSTANCE GetInstance() const { return mHInstance; }
  HWND GetParentWindow() const { return mParentWnd; }
  HWND GetTextEntryWindow() const { return mParamEditWnd; }
  int GetEditState() const { return mParamEditMsg; }
  HWND GetTooltipWindow() const { return mTooltipWnd; }
  bool IsTooltipShowing() const { return mShowingTooltip; }
  // Open editor windows of the whole module (the window class is registered while above 0).
  static int NOpenWindows();
  // The timer period for a frame rate: (int)(1000 / fps).
  static int TimerPeriodMs(int fps);
  // Win32 virtual key to the editor's key code, or -1 for keys the editor does not take.
  static int TranslateVirtualKey(WPARAM vk);

private:
  static LRESULT CALLBACK WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ParamEditProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static UINT_PTR CALLBACK ColorHookProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam);

  LRESULT OnTimer(HWND hWnd);
  LRESULT OnKeyDownMsg(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void OnMouseMoveMsg(HWND hWnd, WPARAM wParam, LPARAM lParam);
  void CommitOrCancelTextEntry();
  void DestroyTextEntry();
  // The editor window is being destroyed by someone else (a host destroying its parent window
  // before closing the editor): forget it as CloseWindow would.
  void OnWindowDestroyed();
  void SetupTooltips();
  void ShowTooltip();
  void HideTooltip();
  IMouseMod GetMouseMod(WPARAM wParam) const;
  int GetTopmostHit(int x, int y) const;
  HWND FindMainWindow();
  void PassToRoot(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

  HINSTANCE mHInstance = nullptr;
  HWND mDelegate = nullptr;   // the editor window
  HWND mParentWnd = nullptr;
  HWND mTooltipWnd = nullptr;
  bool mShowingTooltip = false;
  int mTooltipIdx = -1;
  HWND mParamEditWnd = nullptr;
  IControl* mEdControl = nullptr;
  IParam* mEdParam = nullptr;
  WNDPROC mDefEditProc = nullptr;
  int mParamEditMsg = kNone;
  HFONT mEditFont = nullptr;
  POINT mHiddenMousePoint = {0, 0};
  COLORREF* mCustomColorStorage = nullptr;
  HWND mMainWnd = nullptr;
  char mMainWndClassName[129] = {};
  DWORD mPID = 0;
  bool mScreenPainted = false;
  // A button press went to the text entry (it committed or cancelled it): its release belongs
  // to no press of the editor's.
  bool mSwallowButtonUp = false;
};
