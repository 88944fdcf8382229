// The Win32 VST 3 mini host: the module loaded with LoadLibrary, audio on a thread of its own
// with a loop-back cable, and the editor view in a real top-level window.

#include "Vst3WinHost.h"

#include <cstring>

namespace vst3host {

std::string WindowsPath(const std::string& path)
{
  std::string p = path;
  for (char& c : p)
    if (c == '/') c = '\\';
  if (!path.empty() && path[0] == '/') p = "Z:" + p;
  return p;
}

namespace
{
// One entry of the GDI handle table mapped into every process (24 bytes on x64: kernel object,
// owner process and count, unique value and type, user pointer).
struct GdiHandleEntry
{
  unsigned long long object;
  unsigned short processId;
  unsigned short count;
  unsigned short unique;
  unsigned char type;
  unsigned char flags;
  unsigned long long user;
};
static_assert(sizeof(GdiHandleEntry) == 24, "GDI handle table entry");
}  // namespace

DWORD CountGdiObjects()
{
  const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (reported) return reported;
  using GetPebFunc = const char*(WINAPI*)();
  GetPebFunc getPeb = (GetPebFunc)(void*)GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetCurrentPeb");
  const char* peb = getPeb ? getPeb() : nullptr;
  // PEB::GdiSharedHandleTable on x64.
  const GdiHandleEntry* table = peb ? *(const GdiHandleEntry* const*)(peb + 0xF8) : nullptr;
  if (!table) return 0;
  DWORD n = 0;
  for (int i = 0; i < 0x10000; ++i)
    if (table[i].type != 0 && table[i].object != 0) ++n;
  return n;
}

WinHost::WinHost() = default;

WinHost::~WinHost()
{
  Stop();
}

bool WinHost::Start(const std::string& bundle, std::string* error)
{
  mWatching = true;
  mWatcher = std::thread([this] { WatchMessageBoxes(); });
  return mRun.Start(WindowsPath(bundle), error);
}

bool WinHost::Stop()
{
  mRun.StopAudio();
  CloseView();
  const bool unloaded = mRun.Unload();
  if (mWatcher.joinable())
  {
    mWatching = false;
    mWatcher.join();
  }
  return unloaded;
}

// ---- view ------------------------------------------------------------------------------------------

namespace
{
const char kFrameClass[] = "Vst3WinHostFrame";

LRESULT CALLBACK FrameProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
  return DefWindowProcA(hWnd, msg, wParam, lParam);
}
}  // namespace

bool WinHost::OpenView(std::string* error)
{
  if (mView) return true;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = FrameProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kFrameClass;
  RegisterClassA(&wc);

  mView = mRun.Controller()->createView("editor");
  if (!mView)
  {
    if (error) *error = "createView returned null";
    return false;
  }
  if (mView->isPlatformTypeSupported("HWND") != kResultOk)
  {
    if (error) *error = "HWND not supported";
    return false;
  }
  ViewRect size{};
  mView->getSize(&size);
  RECT r = {0, 0, size.right - size.left, size.bottom - size.top};
  AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
  mFrame = CreateWindowExA(0, kFrameClass, "Veldramix THD Meter", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60,
                           r.right - r.left, r.bottom - r.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!mFrame)
  {
    if (error) *error = "no frame window";
    return false;
  }
  mView->setFrame(&mPlugFrame);
  if (mView->attached(mFrame, "HWND") != kResultOk)
  {
    if (error) *error = "attached failed";
    return false;
  }
  mView->onSize(&size);
  mEditor = FindWindowExA(mFrame, nullptr, "FxEditorWndClass", nullptr);
  if (!mEditor && error) *error = "no editor window inside the frame";
  return mEditor != nullptr;
}

void WinHost::CloseView()
{
  if (mView)
  {
    mView->removed();
    mView->setFrame(nullptr);
    mView->release();
    mView = nullptr;
  }
  mEditor = nullptr;
  if (mFrame) DestroyWindow(mFrame);
  mFrame = nullptr;
  Pump(5);
}

void WinHost::Click(int x, int y)
{
  PostMessageA(mEditor, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageA(mEditor, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void WinHost::Pump(int ms)
{
  const DWORD end = GetTickCount() + (DWORD)ms;
  do
  {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(1);
  } while ((int)(end - GetTickCount()) > 0);
}

bool WinHost::Grab(std::vector<unsigned int>* pixels, int* w, int* h)
{
  if (!mEditor) return false;
  RECT r;
  GetClientRect(mEditor, &r);
  *w = r.right;
  *h = r.bottom;
  HDC windowDC = GetDC(mEditor);
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = *w;
  bmi.bmiHeader.biHeight = -*h;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC memDC = CreateCompatibleDC(windowDC);
  HBITMAP dib = CreateDIBSection(windowDC, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = windowDC && memDC && dib && bits;
  if (ok)
  {
    HGDIOBJ old = SelectObject(memDC, dib);
    ok = BitBlt(memDC, 0, 0, *w, *h, windowDC, 0, 0, SRCCOPY) != FALSE;
    GdiFlush();
    pixels->resize((size_t)*w * *h);
    for (size_t i = 0; ok && i < pixels->size(); ++i) (*pixels)[i] = ((const unsigned int*)bits)[i] | 0xFF000000u;
    SelectObject(memDC, old);
  }
  if (dib) DeleteObject(dib);
  if (memDC) DeleteDC(memDC);
  if (windowDC) ReleaseDC(mEditor, windowDC);
  return ok;
}

// ---- message boxes ------------------------------------------------------------------------------------

namespace
{
struct BoxSearch
{
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindBox(HWND hWnd, LPARAM lParam)
{
  BoxSearch* s = (BoxSearch*)lParam;
  DWORD pid = 0;
  GetWindowThreadProcessId(hWnd, &pid);
  char cls[16] = {};
  GetClassNameA(hWnd, cls, sizeof cls);
  if (pid == s->pid && !strcmp(cls, "#32770") && IsWindowVisible(hWnd))
  {
    s->found = hWnd;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

void WinHost::WatchMessageBoxes()
{
  // A message box from inside the module would wait for a user who is not there: read it
  // and press its default button, as a tester would.
  while (mWatching)
  {
    BoxSearch s = {GetCurrentProcessId(), nullptr};
    EnumWindows(FindBox, (LPARAM)&s);
    if (s.found)
    {
      char caption[128] = {}, text[512] = {};
      GetWindowTextA(s.found, caption, sizeof caption);
      GetDlgItemTextA(s.found, 0xFFFF, text, sizeof text);
      {
        std::lock_guard<std::mutex> hold(mBoxLock);
        mBoxes.push_back(std::string(caption) + ": " + text);
      }
      PostMessageA(s.found, WM_COMMAND, IDOK, 0);
      PostMessageA(s.found, WM_CLOSE, 0, 0);
      Sleep(100);
    }
    Sleep(20);
  }
}

std::vector<std::string> WinHost::ClosedMessageBoxes()
{
  std::lock_guard<std::mutex> hold(mBoxLock);
  return mBoxes;
}

}  // namespace vst3host
