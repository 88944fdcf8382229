// The Windows host's platform services: message boxes owned by the host's main window, web
// addresses, file and colour dialogs, folders, the clipboard, resizing and images from the
// module's PNG resources.
#include "IGraphicsWin.h"

#include "IFxBase.h"
#include "IUserNotice.h"
#include "Raster_PNG.h"
#include "Util_Platform.h"
#include "Util_TypedBuf.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

// ---- message boxes --------------------------------------------------------------------------------

namespace
{
struct MainWindowSearch
{
  DWORD pid;
  const char* className;
  HWND found;
};

BOOL CALLBACK FindMainWindowProc(HWND hWnd, LPARAM lParam)
{
  MainWindowSearch* s = (MainWindowSearch*)lParam;
  DWORD pid = 0;
  GetWindowThreadProcessId(hWnd, &pid);
  if (pid != s->pid) return TRUE;
  char name[129] = {};
  GetClassNameA(hWnd, name, 128);
  if (strcmp(name, s->className) != 0) return TRUE;
  s->found = hWnd;
  return FALSE;
}
}  // namespace

HWND IGraphicsWin::FindMainWindow()
{
  if (mMainWnd && IsWindow(mMainWnd)) return mMainWnd;
  mMainWnd = nullptr;
  if (mParentWnd && IsWindow(mParentWnd))
  {
    HWND top = mParentWnd;
    while (HWND up = GetParent(top)) top = up;
    mMainWnd = top;
    GetClassNameA(top, mMainWndClassName, 128);
  }
  else if (mMainWndClassName[0])
  {
    mPID = GetCurrentProcessId();
    MainWindowSearch s = {mPID, mMainWndClassName, nullptr};
    EnumWindows(FindMainWindowProc, (LPARAM)&s);
    mMainWnd = s.found;
  }
  return mMainWnd;
}

int IGraphicsWin::ShowMessageBox(const char* text, const char* caption, int type)
{
  return ShowUserMessageBox(FindMainWindow(), text, caption, type);
}

// ---- web addresses --------------------------------------------------------------------------------

namespace
{
// wininet is loaded only when asked for: the module then imports nothing beyond the base system.
bool ConnectedToInternet()
{
  using ConnectedStateFunc = BOOL(WINAPI*)(LPDWORD, DWORD);
  HMODULE wininet = LoadLibraryA("wininet.dll");
  if (!wininet) return false;
  ConnectedStateFunc connected = (ConnectedStateFunc)(void*)GetProcAddress(wininet, "InternetGetConnectedState");
  DWORD flags = 0;
  const bool ok = connected && connected(&flags, 0);
  FreeLibrary(wininet);
  return ok;
}
}  // namespace

bool IGraphicsWin::OpenURL(const char* url, const char* msgWindowTitle, const char* confirmMsg, const char* errMsgOnFailure)
{
  if (!url || !*url) return false;
  if (confirmMsg && *confirmMsg && ShowMessageBox(confirmMsg, msgWindowTitle ? msgWindowTitle : "", MB_YESNO) != IDYES)
    return false;
  if (ConnectedToInternet() && Util_OpenAddress(url, mDelegate) == EUtilOpenResult::kOpened) return true;
  if (errMsgOnFailure && *errMsgOnFailure) ShowMessageBox(errMsgOnFailure, msgWindowTitle ? msgWindowTitle : "", MB_OK);
  return false;
}

// ---- folders ----------------------------------------------------------------------------------------

namespace
{
// The folder of a module file, up to and including the last backslash; empty without one.
void FolderOfModule(HMODULE module, Util_String* path)
{
  char buf[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(module, buf, MAX_PATH);
  buf[n < MAX_PATH ? n : MAX_PATH] = 0;
  char* last = strrchr(buf, '\\');
  if (last)
    last[1] = 0;
  else
    buf[0] = 0;
  path->Set(buf);
}
}  // namespace

void IGraphicsWin::HostPath(Util_String* path)
{
  if (path) FolderOfModule(nullptr, path);
}

void IGraphicsWin::PluginPath(Util_String* path)
{
  if (path) FolderOfModule(mHInstance, path);
}

void IGraphicsWin::DesktopPath(Util_String* path)
{
  if (!path) return;
  char buf[MAX_PATH + 1] = {};
  if (!SHGetSpecialFolderPathA(nullptr, buf, CSIDL_DESKTOP, FALSE)) buf[0] = 0;
  path->Set(buf);
}

void IGraphicsWin::AppSupportPath(Util_String* path, bool isSystem)
{
  if (!path) return;
  char buf[MAX_PATH + 1] = {};
  if (SHGetFolderPathA(nullptr, isSystem ? CSIDL_COMMON_APPDATA : CSIDL_LOCAL_APPDATA, nullptr, 0, buf) != S_OK)
    buf[0] = 0;
  path->Set(buf);
}

void IGraphicsWin::SandboxSafeAppSupportPath(Util_String* path)
{
  AppSupportPath(path, false);
}

// ---- dialogs ------------------------------------------------------------------------------------------

void IGraphicsWin::PromptForFile(Util_String* fileName, EFileAction action, Util_String* dir, const char* extensions)
{
  if (!fileName) return;
  if (!mDelegate)
  {
    fileName->Set("");
    return;
  }
  char fnCStr[256] = {};
  snprintf(fnCStr, sizeof fnCStr, "%s", fileName->Get());
  Util_String startDir;
  if (dir && dir->GetLength())
  {
    startDir.Set(dir->Get());
  }
  else
  {
    DesktopPath(&startDir);
    if (dir) dir->Set(startDir.Get());
  }

  // "a b" becomes the pattern "*.a;*.b", offered as one filter (description and pattern alike).
  char pattern[256] = {};
  char defExt[16] = {};
  const char* ext = extensions ? extensions : "";
  bool fits = true;
  int len = 0;
  bool first = true;
  while (*ext && fits)
  {
    while (*ext == ' ') ++ext;
    const char* end = ext;
    while (*end && *end != ' ') ++end;
    const int n = (int)(end - ext);
    if (n > 0)
    {
      if (first && n >= (int)sizeof defExt) fits = false;
      if (first && fits) snprintf(defExt, sizeof defExt, "%.*s", n, ext);
      const int need = (first ? 0 : 1) + 2 + n;
      if (len + need >= (int)sizeof pattern)
        fits = false;
      else
        len += snprintf(pattern + len, sizeof pattern - (size_t)len, "%s*.%.*s", first ? "" : ";", n, ext);
      first = false;
    }
    ext = end;
  }
  char filter[520] = {};
  if (fits && len > 0)
  {
    memcpy(filter, pattern, (size_t)len);
    memcpy(filter + len + 1, pattern, (size_t)len);  // description NUL pattern NUL NUL
  }

  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = mDelegate;
  ofn.lpstrFilter = fits && len > 0 ? filter : nullptr;
  ofn.lpstrFile = fnCStr;
  ofn.nMaxFile = sizeof fnCStr - 1;
  ofn.lpstrInitialDir = startDir.Get();
  ofn.lpstrDefExt = fits && defExt[0] ? defExt : nullptr;
  BOOL ok;
  if (action == kFileSave)
  {
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    ok = GetSaveFileNameA(&ofn);
  }
  else
  {
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    ok = GetOpenFileNameA(&ofn);
  }
  if (!ok)
  {
    fileName->Set("");
    return;
  }
  if (dir)
  {
    char drive[_MAX_DRIVE] = {}, folder[_MAX_DIR] = {};
    _splitpath(fnCStr, drive, folder, nullptr, nullptr);
    dir->SetFormatted(_MAX_DRIVE + _MAX_DIR, "%s%s", drive, folder);
  }
  fileName->Set(fnCStr);
}

UINT_PTR CALLBACK IGraphicsWin::ColorHookProc(HWND hDlg, UINT msg, WPARAM, LPARAM lParam)
{
  if (msg == WM_INITDIALOG)
  {
    const CHOOSECOLORA* cc = (const CHOOSECOLORA*)lParam;
    if (cc && cc->lCustData) SetWindowTextA(hDlg, (const char*)cc->lCustData);
  }
  return 0;
}

bool IGraphicsWin::PromptForColor(IColor* color, const char* prompt)
{
  if (!mDelegate || !color) return false;
  if (!mCustomColorStorage)
  {
    mCustomColorStorage = new COLORREF[16];
    for (int i = 0; i < 16; ++i) mCustomColorStorage[i] = RGB(255, 255, 255);
  }
  CHOOSECOLORA cc = {};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = mDelegate;
  cc.rgbResult = RGB(color->R, color->G, color->B);
  cc.lpCustColors = mCustomColorStorage;
  cc.lCustData = (LPARAM)(prompt ? prompt : "");
  cc.lpfnHook = ColorHookProc;
  cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK | CC_SOLIDCOLOR | CC_ANYCOLOR;
  if (!ChooseColorA(&cc)) return false;
  color->R = GetRValue(cc.rgbResult);
  color->G = GetGValue(cc.rgbResult);
  color->B = GetBValue(cc.rgbResult);
  return true;
}

// ---- clipboard ------------------------------------------------------------------------------------------

bool IGraphicsWin::GetTextFromClipboard(Util_String* str)
{
  if (!str) return false;
  str->Set("");
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(mDelegate)) return false;
  bool ok = false;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT))
  {
    const wchar_t* wide = (const wchar_t*)GlobalLock(data);
    if (wide)
    {
      // The block's size bounds the text, whether or not whoever put it there terminated it.
      const SIZE_T maxChars = GlobalSize(data) / sizeof(wchar_t);
      int n = 0;
      while ((SIZE_T)n < maxChars && n < 0x3FFFFFFF && wide[n]) ++n;
      const int bytes = n ? WideCharToMultiByte(CP_UTF8, 0, wide, n, nullptr, 0, nullptr, nullptr) : 0;
      if (n == 0)
      {
        ok = true;
      }
      else if (bytes > 0)
      {
        Util_TypedBuf<char> utf8;
        if (utf8.Resize(bytes + 1) &&
            WideCharToMultiByte(CP_UTF8, 0, wide, n, utf8.Get(), bytes, nullptr, nullptr) == bytes)
        {
          utf8.Get()[bytes] = 0;
          str->Set(utf8.Get());
          ok = true;
        }
      }
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return ok;
}

// ---- size ---------------------------------------------------------------------------------------------------

void IGraphicsWin::Resize(int w, int h)
{
  if (w == Width() && h == Height()) return;
  const int dw = w - Width(), dh = h - Height();
  IGraphics::Resize(w, h);
  if (mDelegate)
  {
    auto grow = [dw, dh](HWND wnd) {
      RECT r;
      GetWindowRect(wnd, &r);
      SetWindowPos(wnd, nullptr, 0, 0, r.right - r.left + dw, r.bottom - r.top + dh,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    };
    grow(mDelegate);
    // Hosts that embed the view in windows of their own expect those to follow, except the
    // two that size their frames themselves.
    const int host = GetPlug() ? (int)GetPlug()->GetHost() : 0;
    HWND wnd = mDelegate;
    for (int level = 0; level < 2 && host != 1 && host != 3; ++level)
    {
      const LONG style = GetWindowLongA(wnd, GWL_STYLE), exStyle = GetWindowLongA(wnd, GWL_EXSTYLE);
      if (!(style & WS_CHILD) || (exStyle & WS_EX_MDICHILD)) break;
      HWND parent = GetParent(wnd);
      if (!parent) break;
      grow(parent);
      wnd = parent;
    }
    InvalidateRect(mDelegate, nullptr, FALSE);
  }
}

// ---- images ---------------------------------------------------------------------------------------------------

Raster_IBitmap* IGraphicsWin::OSLoadBitmap(int id, const char* name)
{
  // Only names of PNG images are looked up.
  const char* dot = name ? strrchr(name, '.') : nullptr;
  if (!dot || _stricmp(dot + 1, "png") != 0) return nullptr;
  return Raster_LoadPNGFromResource(mHInstance, MAKEINTRESOURCEA(id & 0xFFFF));
}
