// The Win32 window host's test editor: a plug-in with four parameter kinds in a real top-level
// window, recording controls, a message pump and a screen grab.

#include "WinTestEditor.h"

#include "IControls.h"
#include "IGraphics.h"
#include "IParam.h"
#include "IUserNotice.h"
#include "Raster_Bitmap.h"

#include <windows.h>

UINT WinEditorTest::sParentKeyMsg = 0;
WPARAM WinEditorTest::sParentKeyCode = 0;
int WinEditorTest::sMessageBoxes = 0;
Util_String WinEditorTest::sLastBoxText, WinEditorTest::sLastBoxCaption;
void* WinEditorTest::sLastBoxOwner = nullptr;
int WinEditorTest::sLastBoxType = 0;
int WinEditorTest::sBoxAnswer = IDOK;

WinTestPlug::WinTestPlug() : WindowTestPlug("Win Test", 0x57696E54) {}

// ---- fixture -----------------------------------------------------------------------------------------

const char kParentClass[] = "WinEditorTestParent";

// Reaches the fixture's recorders (protected statics) from plain callbacks.
class WinEditorTestAccess : public WinEditorTest
{
public:
  static void RecordKey(UINT msg, WPARAM key)
  {
    sParentKeyMsg = msg;
    sParentKeyCode = key;
  }
  static int Box(void* owner, const char* text, const char* caption, int type)
  {
    ++sMessageBoxes;
    sLastBoxOwner = owner;
    sLastBoxText.Set(text ? text : "");
    sLastBoxCaption.Set(caption ? caption : "");
    sLastBoxType = type;
    return sBoxAnswer;
  }
  void TestBody() override {}
};

namespace
{
LRESULT CALLBACK KeyRecordingProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
  if (msg == WM_KEYDOWN || msg == WM_KEYUP) WinEditorTestAccess::RecordKey(msg, wParam);
  return DefWindowProcA(hWnd, msg, wParam, lParam);
}

int RecordBox(void* owner, const char* text, const char* caption, int type)
{
  return WinEditorTestAccess::Box(owner, text, caption, type);
}
}  // namespace

void WinEditorTest::SetUp()
{
  WNDCLASSA wc = {};
  wc.lpfnWndProc = KeyRecordingProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
  wc.lpszClassName = kParentClass;
  RegisterClassA(&wc);  // fails harmlessly when a former test registered it
  mParent = CreateWindowExA(0, kParentClass, "Win editor test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 400, 420,
                            nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(mParent, nullptr);
  sParentKeyMsg = 0;
  sParentKeyCode = 0;
  sMessageBoxes = 0;
  sBoxAnswer = IDOK;
  SetUserMessageBoxFunc(RecordBox);

  mPlug = new WinTestPlug;
  mGUI = new IGraphicsWin(mPlug, kW, kH, 25);
  mBackground = new ProbeControl(mPlug, IRECT(0, 0, kW, kH), IColor(255, 40, 60, 80));
  mGUI->AttachControl(mBackground);
  mProbe = new ProbeControl(mPlug, IRECT(20, 20, 120, 60), IColor(255, 200, 30, 30));
  mGUI->AttachControl(mProbe);
  mEntry = new ProbeControl(mPlug, IRECT(20, 100, 120, 120), IColor(255, 30, 200, 30));
  mGUI->AttachControl(mEntry);
  mPlug->AttachGraphics(mGUI);
  Pump(10);
}

void WinEditorTest::TearDown()
{
  if (mGUI) mGUI->CloseWindow();
  delete mPlug;  // deletes the editor
  mPlug = nullptr;
  mGUI = nullptr;
  if (mParent) DestroyWindow(mParent);
  mParent = nullptr;
  Pump(5);
  SetUserMessageBoxFunc(nullptr);
}

void WinEditorTest::Pump(int ms)
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

bool WinEditorTest::PumpUntil(const std::function<bool()>& condition, int timeoutMs)
{
  const DWORD end = GetTickCount() + (DWORD)timeoutMs;
  while (!condition())
  {
    if ((int)(end - GetTickCount()) <= 0) return false;
    Pump(5);
  }
  return true;
}

HWND WinEditorTest::Open()
{
  HWND wnd = (HWND)mGUI->OpenWindow(mParent);
  if (wnd) PumpUntil([this] { return mBackground->mDraws > 0; });
  return wnd;
}

bool WinEditorTest::GrabWindow(HWND wnd, int w, int h, unsigned int* pixels)
{
  HDC windowDC = GetDC(wnd);
  if (!windowDC) return false;
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = w;
  bmi.bmiHeader.biHeight = -h;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC memDC = CreateCompatibleDC(windowDC);
  HBITMAP dib = CreateDIBSection(windowDC, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = memDC && dib && bits;
  if (ok)
  {
    HGDIOBJ old = SelectObject(memDC, dib);
    ok = BitBlt(memDC, 0, 0, w, h, windowDC, 0, 0, SRCCOPY) != FALSE;
    GdiFlush();
    if (ok)
      for (int i = 0; i < w * h; ++i) pixels[i] = ((const unsigned int*)bits)[i] & 0xFFFFFF;
    SelectObject(memDC, old);
  }
  if (dib) DeleteObject(dib);
  if (memDC) DeleteDC(memDC);
  ReleaseDC(wnd, windowDC);
  return ok;
}

unsigned int WinEditorTest::BackPixel(int x, int y)
{
  Raster_IBitmap* back = mGUI->GetDrawBitmap();
  return back->getBits()[y * back->getRowSpan() + x] & 0xFFFFFF;
}
