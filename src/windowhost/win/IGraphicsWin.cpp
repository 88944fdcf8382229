// The editor window: its class, lifecycle, timer, painting, mouse, wheel, keys and tooltips.
#include "IGraphicsWin.h"

#include "IControl.h"
#include "Raster_Bitmap.h"

#include <commctrl.h>
#include <windowsx.h>

#include <atomic>

namespace
{
// Open editor windows of the module; the window class is registered while this is above 0.
// Windows are opened and closed on the host's user-interface thread, but a host may run one
// such thread per plug-in window, so the count is atomic.
std::atomic<int> gNOpenWindows{0};
// The timer frequency of the module, copied from the editor's frame rate when a window opens.
std::atomic<int> gFPS{25};
// The last editor window died under its host's parent, while the class could not be unregistered
// (a window of it was still being destroyed): the next close or destruction of an editor does it.
std::atomic<bool> gUnregisterWhenGone{false};

IGraphicsWin* FromWindow(HWND hWnd)
{
  return (IGraphicsWin*)GetWindowLongPtrA(hWnd, GWLP_USERDATA);
}

// The module holding this code, for instances created without one.
HINSTANCE ThisModule()
{
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     (LPCSTR)&ThisModule, &module);
  return module;
}
}  // namespace

IGraphicsWin::IGraphicsWin(IFxBase* plug, int w, int h, int refreshFPS, HINSTANCE instance)
  : IGraphics(plug, w, h, refreshFPS), mHInstance(instance ? instance : ThisModule())
{
}

IGraphicsWin::~IGraphicsWin()
{
  CloseWindow();
  delete[] mCustomColorStorage;
}

int IGraphicsWin::NOpenWindows()
{
  return gNOpenWindows.load();
}

int IGraphicsWin::TimerPeriodMs(int fps)
{
  return fps > 0 ? (int)(1000 / fps) : 40;
}

// ---- lifecycle ----------------------------------------------------------------------------------

void* IGraphicsWin::OpenWindow(void* parentWnd)
{
  HWND parent = (HWND)parentWnd;
  mParentWnd = parent;
  int x = 0, y = 0, w = Width(), h = Height();
  if (mDelegate)
  {
    // Reopening keeps the window where it was, relative to the parent.
    RECT r;
    if (GetWindowRect(mDelegate, &r))
    {
      POINT topLeft = {r.left, r.top};
      if (parent) ScreenToClient(parent, &topLeft);
      x = topLeft.x;
      y = topLeft.y;
      w = r.right - r.left;
      h = r.bottom - r.top;
    }
    CloseWindow();
    mParentWnd = parent;
  }
  if (!GetDrawBitmap()) PrepDraw();

  if (gNOpenWindows.fetch_add(1) == 0)
  {
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = mHInstance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);
  }
  gFPS.store(FPS());

  mDelegate = CreateWindowExA(0, kWindowClass, kWindowTitle, WS_CHILD | WS_VISIBLE, x, y, w, h, parent, nullptr,
                              mHInstance, this);
  if (!mDelegate)
  {
    if (gNOpenWindows.fetch_sub(1) == 1) UnregisterClassA(kWindowClass, mHInstance);
    return nullptr;
  }
  // A new window shows everything: the first timer tick draws the whole editor.
  SetAllControlsDirty();
  if (TooltipsEnabled()) SetupTooltips();
  return mDelegate;
}

void* IGraphicsWin::OpenWindow(void* parentWnd, void*, short, short)
{
  return OpenWindow(parentWnd);
}

void IGraphicsWin::CloseWindow()
{
  if (mTooltipWnd)
  {
    DestroyWindow(mTooltipWnd);
    mTooltipWnd = nullptr;
  }
  mShowingTooltip = false;
  mTooltipIdx = -1;
  if (mDelegate)
  {
    // The entry is a child of the editor window and dies with it; its font and the bookkeeping
    // go here.
    DestroyTextEntry();
    ShowMouseCursor();
    HWND wnd = mDelegate;
    mDelegate = nullptr;
    DestroyWindow(wnd);
    ReleaseMouseCapture();
    if (gNOpenWindows.fetch_sub(1) == 1) UnregisterClassA(kWindowClass, mHInstance);
  }
  else if (gNOpenWindows.load() == 0 && gUnregisterWhenGone.exchange(false))
  {
    UnregisterClassA(kWindowClass, mHInstance);
  }
  mMainWnd = nullptr;
}

void IGraphicsWin::OnWindowDestroyed()
{
  // Owned and child windows die with the editor window; what refers to them goes.
  if (mTooltipWnd && IsWindow(mTooltipWnd)) DestroyWindow(mTooltipWnd);
  mTooltipWnd = nullptr;
  mShowingTooltip = false;
  mTooltipIdx = -1;
  DestroyTextEntry();
  ShowMouseCursor();
  mDelegate = nullptr;
  mSwallowButtonUp = false;
  ReleaseMouseCapture();
  EndGesture();
  mMainWnd = nullptr;
  // The class cannot be unregistered while this window is still being destroyed.
  if (gNOpenWindows.fetch_sub(1) == 1) gUnregisterWhenGone.store(true);
}

// ---- painting -----------------------------------------------------------------------------------

bool IGraphicsWin::DrawScreen(IRECT* rect)
{
  if (!mDelegate) return false;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(mDelegate, &ps);
  Raster_IBitmap* back = GetDrawBitmap();
  if (dc && back && back->getDC() && rect)
  {
    // The editor window does not clip its children: keep the copy off an open text entry.
    if (mParamEditWnd)
    {
      RECT er;
      GetWindowRect(mParamEditWnd, &er);
      MapWindowPoints(nullptr, mDelegate, (POINT*)&er, 2);
      ExcludeClipRect(dc, er.left, er.top, er.right, er.bottom);
    }
    BitBlt(dc, rect->L, rect->T, rect->W(), rect->H(), back->getDC(), rect->L, rect->T, SRCCOPY);
  }
  EndPaint(mDelegate, &ps);
  mScreenPainted = true;
  return true;
}

// ---- window procedure ---------------------------------------------------------------------------

IMouseMod IGraphicsWin::GetMouseMod(WPARAM wParam) const
{
  return IMouseMod((wParam & MK_LBUTTON) != 0, (wParam & MK_RBUTTON) != 0, (wParam & MK_SHIFT) != 0,
                   (wParam & MK_CONTROL) != 0, GetKeyState(VK_MENU) < 0);
}

int IGraphicsWin::GetTopmostHit(int x, int y) const
{
  return GetHitControl(x, y, false);
}

int IGraphicsWin::TranslateVirtualKey(WPARAM vk)
{
  if (vk == VK_SPACE) return 0;
  if (vk == VK_UP) return 1;
  if (vk == VK_DOWN) return 2;
  if (vk == VK_LEFT) return 3;
  if (vk == VK_RIGHT) return 4;
  if (vk >= '0' && vk <= '9') return 5 + (int)(vk - '0');
  if (vk >= 'A' && vk <= 'Z') return 15 + (int)(vk - 'A');
  if (vk >= 97 && vk <= 122) return 15 + (int)(vk - 97);
  return -1;
}

void IGraphicsWin::PassToRoot(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
  HWND root = GetAncestor(hWnd, GA_ROOT);
  if (root && root != hWnd) SendMessageA(root, msg, wParam, lParam);
}

LRESULT CALLBACK IGraphicsWin::WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
  if (msg == WM_CREATE)
  {
    const CREATESTRUCTA* cs = (const CREATESTRUCTA*)lParam;
    IGraphicsWin* self = (IGraphicsWin*)cs->lpCreateParams;
    SetWindowLongPtrA(hWnd, GWLP_USERDATA, (LONG_PTR)self);
    // Known before CreateWindowEx returns: the messages it sends on the way belong to the editor.
    if (self) self->mDelegate = hWnd;
    SetTimer(hWnd, kTimerID, (UINT)TimerPeriodMs(gFPS.load()), nullptr);
    SetFocus(hWnd);
    return 0;
  }

  IGraphicsWin* self = FromWindow(hWnd);
  if (!self || hWnd != self->mDelegate) return DefWindowProcA(hWnd, msg, wParam, lParam);

  if (msg == WM_DESTROY)
  {
    // Not through CloseWindow (which forgets the window first): the host destroyed a parent.
    self->OnWindowDestroyed();
    return 0;
  }

  if (self->mParamEditWnd && self->mParamEditMsg == kEditing)
  {
    switch (msg)
    {
      case WM_LBUTTONDOWN:
      case WM_RBUTTONDOWN:
        self->mParamEditMsg = kCancel;
        self->mSwallowButtonUp = true;
        return 0;
      case WM_PAINT:
      case WM_CTLCOLOREDIT:
        // Painting goes on around the entry (the default procedure would validate the region
        // without drawing it), and the entry keeps its colours while being edited.
        break;
      default:
        return DefWindowProcA(hWnd, msg, wParam, lParam);
    }
  }

  switch (msg)
  {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      return 0;

    case WM_PAINT:
    {
      RECT r;
      self->mScreenPainted = false;
      if (GetUpdateRect(hWnd, &r, FALSE))
      {
        IRECT ir(r.left, r.top, r.right, r.bottom);
        self->Draw(&ir);
      }
      // Nothing to draw (no controls, no bitmap): the update region must still be validated, or
      // WM_PAINT would come back at once for ever.
      if (!self->mScreenPainted) ValidateRect(hWnd, nullptr);
      return 0;
    }

    case WM_CLOSE:
      self->CloseWindow();
      return 0;

    case WM_TIMER:
      if (wParam == kTimerID) return self->OnTimer(hWnd);
      return 0;

    case WM_KEYDOWN:
      return self->OnKeyDownMsg(hWnd, msg, wParam, lParam);

    case WM_KEYUP:
      self->PassToRoot(hWnd, msg, wParam, lParam);
      return DefWindowProcA(hWnd, msg, wParam, lParam);

    case WM_MOUSEMOVE:
      self->OnMouseMoveMsg(hWnd, wParam, lParam);
      return 0;

    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    {
      self->HideTooltip();
      if (self->mParamEditWnd)
      {
        self->mParamEditMsg = kCommit;  // a click elsewhere commits
        self->mSwallowButtonUp = true;
        return 0;
      }
      self->mSwallowButtonUp = false;
      SetFocus(hWnd);
      SetCapture(hWnd);
      IMouseMod mod = self->GetMouseMod(wParam);
      self->OnMouseDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), &mod);
      return 0;
    }

    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    {
      ReleaseCapture();
      if (self->mSwallowButtonUp)
      {
        // The release of a press that went to the text entry: no control saw that press.
        self->mSwallowButtonUp = false;
        return 0;
      }
      IMouseMod mod = self->GetMouseMod(wParam);
      self->OnMouseUp(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), &mod);
      return 0;
    }

    case WM_LBUTTONDBLCLK:
    {
      IMouseMod mod = self->GetMouseMod(wParam);
      if (self->OnMouseDblClick(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), &mod)) SetCapture(hWnd);
      return 0;
    }

    case WM_MOUSEWHEEL:
    {
      if (self->mParamEditWnd)
      {
        self->mParamEditMsg = kCancel;
        return 0;
      }
      RECT r;
      GetWindowRect(hWnd, &r);
      const int x = GET_X_LPARAM(lParam) - r.left, y = GET_Y_LPARAM(lParam) - r.top;
      IMouseMod mod = self->GetMouseMod(GET_KEYSTATE_WPARAM(wParam));
      self->OnMouseWheel(x, y, &mod, GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA);
      return 0;
    }

    case WM_MOUSEHOVER:
      self->ShowTooltip();
      return 0;

    case WM_MOUSELEAVE:
      self->HideTooltip();
      self->OnMouseOut();
      return 0;

    case WM_CTLCOLOREDIT:
    {
      if (!self->mEdControl) return 0;
      const IText* text = self->mEdControl->GetText();
      HDC dc = (HDC)wParam;
      SetBkColor(dc, RGB(text->mTextEntryBGColor.R, text->mTextEntryBGColor.G, text->mTextEntryBGColor.B));
      SetTextColor(dc, RGB(text->mTextEntryFGColor.R, text->mTextEntryFGColor.G, text->mTextEntryFGColor.B));
      SetBkMode(dc, OPAQUE);
      // The brush paints the part of the entry without text in the same colour.
      SetDCBrushColor(dc, RGB(text->mTextEntryBGColor.R, text->mTextEntryBGColor.G, text->mTextEntryBGColor.B));
      return (LRESULT)GetStockObject(DC_BRUSH);
    }

    case WM_NCDESTROY:
      SetWindowLongPtrA(hWnd, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcA(hWnd, msg, wParam, lParam);
}

LRESULT IGraphicsWin::OnTimer(HWND hWnd)
{
  if (mParamEditWnd && mParamEditMsg != kNone)
  {
    switch (mParamEditMsg)
    {
      case kUpdate:
        mParamEditMsg = kNone;
        return 0;
      case kCommit:
      case kCancel:
        CommitOrCancelTextEntry();
        return 0;
      default:
        break;  // still editing: keep drawing around the entry
    }
  }

  IRECT dirty;
  if (IsDirty(&dirty))
  {
    RECT r = {dirty.L, dirty.T, dirty.R, dirty.B};
    InvalidateRect(hWnd, &r, FALSE);
    if (mParamEditWnd && mEdControl)
    {
      // The entry lies over its control: leave that part of the window alone.
      const IRECT* er = mEdControl->GetRECT();
      RECT edit = {er->L, er->T, er->R, er->B};
      ValidateRect(hWnd, &edit);
      UpdateWindow(hWnd);
      mParamEditMsg = kUpdate;
    }
    else
    {
      UpdateWindow(hWnd);
    }
  }
  return 0;
}

LRESULT IGraphicsWin::OnKeyDownMsg(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
  const int key = TranslateVirtualKey(wParam);
  if (key < 0)
  {
    PassToRoot(hWnd, msg, wParam, lParam);
    return DefWindowProcA(hWnd, msg, wParam, lParam);
  }
  POINT p;
  GetCursorPos(&p);
  ScreenToClient(hWnd, &p);
  // The control holding capture, else the one under the pointer, else the key catcher.
  if (!OnKeyDown((int)p.x, (int)p.y, key))
  {
    PassToRoot(hWnd, msg, wParam, lParam);
    return DefWindowProcA(hWnd, msg, wParam, lParam);
  }
  return 0;
}

void IGraphicsWin::OnMouseMoveMsg(HWND hWnd, WPARAM wParam, LPARAM lParam)
{
  const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  IMouseMod mod = GetMouseMod(wParam);
  if (wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON))
  {
    if (GetCapture() == hWnd && !mParamEditWnd) OnMouseDrag(x, y, &mod);  // only the captured control drags
    return;
  }
  if (!OnMouseOver(x, y, &mod)) return;
  TRACKMOUSEEVENT tme = {};
  tme.cbSize = sizeof tme;
  tme.dwFlags = TME_LEAVE;
  tme.hwndTrack = hWnd;
  tme.dwHoverTime = HOVER_DEFAULT;
  if (TooltipsEnabled() && mTooltipWnd && GetMouseOver() != mTooltipIdx)
  {
    mTooltipIdx = GetMouseOver();
    if (mTooltipIdx >= 0) tme.dwFlags |= TME_HOVER;
    HideTooltip();
  }
  TrackMouseEvent(&tme);
}

// ---- tooltips -----------------------------------------------------------------------------------

namespace
{
// The tool record comctl32 accepts without a version 6 manifest.
TOOLINFOA EditorTool(HWND editor, char* text)
{
  TOOLINFOA ti = {};
  ti.cbSize = TTTOOLINFOA_V2_SIZE;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = editor;
  ti.uId = (UINT_PTR)editor;
  ti.lpszText = text;
  return ti;
}
}  // namespace

void IGraphicsWin::SetupTooltips()
{
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES};
  bool ok = InitCommonControlsEx(&icc) != FALSE;
  if (ok)
  {
    mTooltipWnd = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, mDelegate, nullptr, mHInstance, nullptr);
    ok = mTooltipWnd != nullptr;
  }
  if (ok) ok = SetWindowPos(mTooltipWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE) != FALSE;
  if (ok)
  {
    char empty[1] = "";
    TOOLINFOA ti = EditorTool(mDelegate, empty);
    ok = SendMessageA(mTooltipWnd, TTM_ADDTOOLA, 0, (LPARAM)&ti) != FALSE;
  }
  if (!ok)
  {
    if (mTooltipWnd) DestroyWindow(mTooltipWnd);
    mTooltipWnd = nullptr;
    EnableTooltips(false);
  }
}

void IGraphicsWin::ShowTooltip()
{
  if (!mTooltipWnd) return;
  IControl* c = GetControl(mTooltipIdx);
  Util_String text(c ? c->GetTooltip() : "");
  TOOLINFOA ti = EditorTool(mDelegate, (char*)text.Get());
  SendMessageA(mTooltipWnd, TTM_UPDATETIPTEXTA, 0, (LPARAM)&ti);
  mShowingTooltip = true;
}

void IGraphicsWin::HideTooltip()
{
  if (!mTooltipWnd || !mShowingTooltip) return;
  TOOLINFOA ti = EditorTool(mDelegate, nullptr);
  SendMessageA(mTooltipWnd, TTM_UPDATETIPTEXTA, 0, (LPARAM)&ti);
  mShowingTooltip = false;
}

void IGraphicsWin::UpdateTooltips()
{
  if (mShowingTooltip) ShowTooltip();
}

// ---- cursor ---------------------------------------------------------------------------------------

void IGraphicsWin::HideMouseCursor()
{
  if (mCursorHidden) return;
  if (GetCursorPos(&mHiddenMousePoint))
  {
    mHiddenMousePointX = mHiddenMousePoint.x;
    mHiddenMousePointY = mHiddenMousePoint.y;
  }
  ShowCursor(FALSE);
  mCursorHidden = true;
}

void IGraphicsWin::ShowMouseCursor()
{
  if (!mCursorHidden) return;
  SetCursorPos(mHiddenMousePoint.x, mHiddenMousePoint.y);
  ShowCursor(TRUE);
  mCursorHidden = false;
}
