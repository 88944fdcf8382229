// The editor window: its class and place in the parent, the timer that repaints dirty controls,
// what reaches the screen, closing and reopening, and what 100 open/close cycles leave behind.
#include "WinTestEditor.h"

#include "IControls.h"
#include "Raster_Bitmap.h"

#include <vector>

TEST_F(WinEditorTest, OpensAChildWindowOfTheEditorsSizeInsideTheParent)
{
  EXPECT_FALSE(mGUI->WindowIsOpen());
  EXPECT_STREQ(mGUI->GetGUIAPI(), "Windows GDI");
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  EXPECT_EQ(mGUI->GetWindow(), (void*)wnd);
  EXPECT_TRUE(mGUI->WindowIsOpen());
  EXPECT_EQ(GetParent(wnd), mParent);
  EXPECT_EQ(IGraphicsWin::NOpenWindows(), 1);

  char name[64] = {};
  GetClassNameA(wnd, name, sizeof name);
  EXPECT_STREQ(name, "FxEditorWndClass");
  GetWindowTextA(wnd, name, sizeof name);
  EXPECT_STREQ(name, "FxEditor");
  const LONG style = GetWindowLongA(wnd, GWL_STYLE);
  EXPECT_TRUE(style & WS_CHILD);
  EXPECT_TRUE(style & WS_VISIBLE);
  WNDCLASSA wc = {};
  ASSERT_TRUE(GetClassInfoA(mGUI->GetInstance(), "FxEditorWndClass", &wc));
  EXPECT_EQ(wc.style, (UINT)CS_DBLCLKS);
  EXPECT_EQ(wc.hbrBackground, nullptr);

  RECT r;
  GetClientRect(wnd, &r);
  EXPECT_EQ(r.right - r.left, 251);
  EXPECT_EQ(r.bottom - r.top, 310);

  mGUI->CloseWindow();
  EXPECT_FALSE(IsWindow(wnd));
  EXPECT_EQ(mGUI->GetWindow(), nullptr);
  EXPECT_EQ(IGraphicsWin::NOpenWindows(), 0);
  // The last window unregisters the class.
  EXPECT_FALSE(GetClassInfoA(mGUI->GetInstance(), "FxEditorWndClass", &wc));
}

TEST(WinTimer, PeriodFollowsTheFrameRate)
{
  EXPECT_EQ(IGraphicsWin::TimerPeriodMs(25), 40);
  EXPECT_EQ(IGraphicsWin::TimerPeriodMs(30), 33);
  EXPECT_EQ(IGraphicsWin::TimerPeriodMs(60), 16);
}

TEST_F(WinEditorTest, TheTimerRepaintsOnlyDirtyControlsAndTheScreenShowsTheBackBuffer)
{
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  // The first tick drew everything.
  EXPECT_GE(mProbe->mDraws, 1);
  EXPECT_GE(mEntry->mDraws, 1);
  Pump(120);
  const int probeDraws = mProbe->mDraws, entryDraws = mEntry->mDraws;
  Pump(120);
  EXPECT_EQ(mProbe->mDraws, probeDraws) << "nothing dirty, nothing drawn";

  mProbe->mColor = IColor(255, 10, 220, 240);
  mProbe->SetDirty(false);
  ASSERT_TRUE(PumpUntil([&] { return mProbe->mDraws > probeDraws; }, 1000));
  EXPECT_EQ(mEntry->mDraws, entryDraws) << "a control outside the dirty area stays as it is";

  std::vector<unsigned int> screen(kW * kH);
  ASSERT_TRUE(PumpUntil([&] { return GrabWindow(wnd, kW, kH, screen.data()) && screen[30 * kW + 30] == 0x0ADCF0u; }))
      << std::hex << screen[30 * kW + 30];
  EXPECT_EQ(BackPixel(30, 30), 0x0ADCF0u);
  // The whole window shows the back buffer, pixel for pixel.
  int differing = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      if (screen[y * kW + x] != BackPixel(x, y) && differing++ < 5)
        ADD_FAILURE() << x << "," << y << std::hex << " screen " << screen[y * kW + x] << " back " << BackPixel(x, y);
  EXPECT_EQ(differing, 0);
}

TEST_F(WinEditorTest, APaintRequestFromTheSystemRedrawsTheInvalidArea)
{
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  Pump(100);
  const int draws = mProbe->mDraws;
  RECT r = {25, 25, 40, 40};
  InvalidateRect(wnd, &r, FALSE);
  ASSERT_TRUE(PumpUntil([&] { return mProbe->mDraws > draws; }, 1000));
  // The update region is valid again: no further paints keep coming.
  Pump(100);
  RECT left;
  EXPECT_FALSE(GetUpdateRect(wnd, &left, FALSE));
}

// Another window uncovering a strip below a multi-line text's rectangle: the paint draws the
// lines that cross the strip again, not only the background under them.
TEST_F(WinEditorTest, APaintOfAStripBelowATextsRectangleShowsTheTextThere)
{
  IText style(13, &COLOR_WHITE, "Verdana", IText::kStyleBold, IText::kAlignNear);
  mGUI->AttachControl(new ITextControl(mPlug, IRECT(20, 140, 230, 156), &style, "THD=3.03 %\nH1=0.288\nH2=0.000\nH3=0.008"));
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  Pump(150);
  std::vector<unsigned int> before(kW * kH), after(kW * kH);
  ASSERT_TRUE(GrabWindow(wnd, kW, kH, before.data()));
  const int kStripT = 175, kStripB = 195;  // lines 3 and 4, below the rectangle
  int textPixels = 0;
  for (int y = kStripT; y < kStripB; ++y)
    for (int x = 20; x < 230; ++x) textPixels += before[y * kW + x] != 0x283C50u;
  ASSERT_GT(textPixels, 20) << "the text runs through the strip";

  RECT strip = {0, kStripT, kW, kStripB};
  InvalidateRect(wnd, &strip, FALSE);
  UpdateWindow(wnd);
  Pump(100);
  ASSERT_TRUE(GrabWindow(wnd, kW, kH, after.data()));
  int differing = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      if (after[y * kW + x] != before[y * kW + x] && differing++ < 5)
        ADD_FAILURE() << x << "," << y << std::hex << " after " << after[y * kW + x] << " before " << before[y * kW + x];
  EXPECT_EQ(differing, 0);
}

// A host that destroys its window before telling the plug-in to close the editor: the editor
// knows its window is gone, closing it later does nothing, and it opens again in a new window.
TEST_F(WinEditorTest, AParentDestroyedFirstLeavesTheEditorClosed)
{
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  IText style(14, &COLOR_BLACK, "Arial");
  mGUI->CreateTextEntry(mEntry, &style, mEntry->GetRECT(), "12");
  ASSERT_NE(mGUI->GetTextEntryWindow(), nullptr);
  DestroyWindow(mParent);
  mParent = nullptr;
  EXPECT_FALSE(IsWindow(wnd));
  EXPECT_FALSE(mGUI->WindowIsOpen());
  EXPECT_EQ(mGUI->GetWindow(), nullptr);
  EXPECT_EQ(mGUI->GetTextEntryWindow(), nullptr);
  EXPECT_EQ(IGraphicsWin::NOpenWindows(), 0);
  // The host closes the editor afterwards, as it would have: nothing is left of the window, its
  // class included.
  mGUI->CloseWindow();
  EXPECT_EQ(IGraphicsWin::NOpenWindows(), 0);
  WNDCLASSA wc = {};
  EXPECT_FALSE(GetClassInfoA(mGUI->GetInstance(), "FxEditorWndClass", &wc));

  mParent = CreateWindowExA(0, "STATIC", "second host window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 400, 420,
                            nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(mParent, nullptr);
  const int draws = mProbe->mDraws;
  HWND again = (HWND)mGUI->OpenWindow(mParent);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(IGraphicsWin::NOpenWindows(), 1);
  EXPECT_TRUE(PumpUntil([&] { return mProbe->mDraws > draws; }, 1000));
}

TEST_F(WinEditorTest, ReopeningKeepsThePositionAndRedrawsEverything)
{
  HWND first = Open();
  ASSERT_NE(first, nullptr);
  SetWindowPos(first, nullptr, 13, 17, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  const int draws = mEntry->mDraws;
  HWND second = (HWND)mGUI->OpenWindow(mParent);
  ASSERT_NE(second, nullptr);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(IGraphicsWin::NOpenWindows(), 1);
  RECT r;
  GetWindowRect(second, &r);
  POINT p = {r.left, r.top};
  ScreenToClient(mParent, &p);
  EXPECT_EQ(p.x, 13);
  EXPECT_EQ(p.y, 17);
  EXPECT_TRUE(PumpUntil([&] { return mEntry->mDraws > draws; }, 1000));
}

TEST_F(WinEditorTest, WmCloseClosesTheEditorWindow)
{
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  PostMessageA(wnd, WM_CLOSE, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return !mGUI->WindowIsOpen(); }, 1000));
  EXPECT_FALSE(IsWindow(wnd));
}

TEST_F(WinEditorTest, WithoutAParentNoWindowOpensAndTheClassIsGone)
{
  // A child window needs a parent: creation fails and nothing stays registered.
  EXPECT_EQ(mGUI->OpenWindow(nullptr), nullptr);
  EXPECT_EQ(IGraphicsWin::NOpenWindows(), 0);
  WNDCLASSA wc = {};
  EXPECT_FALSE(GetClassInfoA(mGUI->GetInstance(), "FxEditorWndClass", &wc));
}

namespace
{
// One entry of the GDI handle table that Windows and Wine map into every process (24 bytes on
// x64: kernel object, owner process and count, unique value and type, user pointer).
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

// Live GDI objects of this process. GetGuiResources answers on Windows; Wine's is a stub that
// reports 0, so there the process's handle table (PEB offset 0xF8 on x64) is counted instead.
DWORD CountGdiObjects()
{
  const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (reported) return reported;
  using GetPebFunc = const char*(WINAPI*)();
  GetPebFunc getPeb = (GetPebFunc)(void*)GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetCurrentPeb");
  const char* peb = getPeb ? getPeb() : nullptr;
  const GdiHandleEntry* table = peb ? *(const GdiHandleEntry* const*)(peb + 0xF8) : nullptr;
  if (!table) return 0;
  DWORD n = 0;
  for (int i = 0; i < 0x10000; ++i)
    if (table[i].type != 0 && table[i].object != 0) ++n;
  return n;
}

int CountThreadWindows()
{
  int n = 0;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND, LPARAM count) -> BOOL {
        ++*(int*)count;
        return TRUE;
      },
      (LPARAM)&n);
  return n;
}
}  // namespace

TEST(WinGdiCount, TheCounterSeesObjectsComeAndGo)
{
  const DWORD before = CountGdiObjects();
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  HFONT font = CreateFontA(12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  EXPECT_EQ(CountGdiObjects(), before + 2);
  DeleteObject(brush);
  DeleteObject(font);
  EXPECT_EQ(CountGdiObjects(), before);
}

TEST_F(WinEditorTest, OpenCloseCyclesLeakNoGdiObjects)
{
  mGUI->EnableTooltips(true);
  // One cycle first: the system's own caches (fonts, classes) settle.
  ASSERT_NE(Open(), nullptr);
  mGUI->CreateTextEntry(mEntry, mEntry->GetText(), mEntry->GetRECT(), "12");
  mGUI->CloseWindow();
  Pump(20);
  const DWORD gdiBefore = CountGdiObjects();
  const int windowsBefore = CountThreadWindows();
  for (int i = 0; i < 100; ++i)
  {
    ASSERT_NE(mGUI->OpenWindow(mParent), nullptr);
    Pump(i % 10 == 0 ? 60 : 2);
    // A text entry's font goes with its window.
    if (i % 25 == 0) mGUI->CreateTextEntry(mEntry, mEntry->GetText(), mEntry->GetRECT(), "12");
    mGUI->CloseWindow();
  }
  Pump(20);
  EXPECT_EQ(CountGdiObjects(), gdiBefore);
  EXPECT_EQ(CountThreadWindows(), windowsBefore);
  EXPECT_EQ(IGraphicsWin::NOpenWindows(), 0);
  EXPECT_GT(mBackground->mDraws, 10);
}
