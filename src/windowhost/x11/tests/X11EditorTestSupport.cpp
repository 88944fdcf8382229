// The X11 window host's test editor: its plug-in and recording controls, the parent window on
// the test's own connection, XTest input, pixel read-back and the run loop.

#include "X11EditorTestSupport.h"

#include "IParam.h"
#include "Raster_Bitmap.h"
#include "Raster_Blit.h"
#include "Raster_PNGWrite.h"
#include "X11Connection.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

X11TestPlug::X11TestPlug() : WindowTestPlug("X11 Test", 0x58313154) {}

// ---- fixture ---------------------------------------------------------------------------------------

void X11EditorTest::SetUp()
{
  std::string error;
  ASSERT_TRUE(mDisplay.Open(&error)) << error;
  mParent = mDisplay.CreateFrame(20, 20, kW, kH);
  mPlug = new X11TestPlug;
  mGUI = new IGraphicsX11(mPlug, kW, kH);
  mBackground = new ProbeControl(mPlug, IRECT(0, 0, kW, kH), IColor(255, 40, 40, 48));
  mGUI->AttachControl(mBackground);
  mProbe = new ProbeControl(mPlug, IRECT(20, 20, 120, 60), IColor(255, 200, 60, 60));
  mGUI->AttachControl(mProbe);
  mEntry = new ProbeControl(mPlug, IRECT(20, 100, 120, 120), IColor(255, 230, 230, 230));
  mEntry->SetTextEntryLength(7);
  mGUI->AttachControl(mEntry);
  mPlug->AttachGraphics(mGUI);
}

void X11EditorTest::TearDown()
{
  JoinModal();
  delete mPlug;  // and its editor, which closes its window
  mPlug = nullptr;
  mGUI = nullptr;
  mDisplay.DestroyWindow(mParent);
  EXPECT_FALSE(X11Connection::IsOpen()) << "the module's connection goes with its last window";
  EXPECT_EQ(IGraphicsX11::NOpenWindows(), 0);
  mDisplay.Close();
}

void X11EditorTest::Open()
{
  ASSERT_NE(mGUI->OpenWindow((void*)(uintptr_t)mParent), nullptr);
  Pump(120);
}

void X11EditorTest::Pump(int ms)
{
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
  Clock::time_point tick = Clock::now();
  for (;;)
  {
    const Clock::time_point now = Clock::now();
    if (now >= tick)
    {
      mGUI->OnHostTimer();
      tick = now + std::chrono::milliseconds(mGUI->TimerPeriodMs());
    }
    if (Clock::now() >= end) return;
    const Clock::time_point wake = tick < end ? tick : end;
    pollfd p = {mGUI->HostEventFD(), POLLIN, 0};
    const int timeout = (int)std::chrono::duration_cast<std::chrono::milliseconds>(wake - Clock::now()).count();
    if (p.fd >= 0 && poll(&p, 1, timeout > 0 ? timeout : 0) > 0)
      mGUI->OnHostEvents();
    else if (p.fd < 0 && timeout > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(timeout));
  }
}

bool X11EditorTest::PumpUntil(const std::function<bool()>& condition, int timeoutMs)
{
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition())
  {
    if (std::chrono::steady_clock::now() >= end) return false;
    Pump(10);
  }
  return true;
}

long X11EditorTest::WindowDiffersFromBitmap()
{
  const long n = CountDifferences();
  if (n && std::getenv("VX_X11_DEBUG"))
  {
    std::vector<uint32_t> pixels;
    int w = 0, h = 0;
    mDisplay.Grab(mGUI->GetWindowID(), &pixels, &w, &h);
    Raster_MemBitmap shot(w, h, 4);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) shot.getBits()[(size_t)y * shot.getRowSpan() + x] = pixels[(size_t)y * w + x];
    Raster_WritePNG(&shot, "window.debug.png");
    Raster_WritePNG(mGUI->GetDrawBitmap(), "bitmap.debug.png");
  }
  return n;
}

long X11EditorTest::CountDifferences()
{
  std::vector<uint32_t> pixels;
  int w = 0, h = 0;
  if (!mDisplay.Grab(mGUI->GetWindowID(), &pixels, &w, &h)) return -1;
  Raster_IBitmap* back = mGUI->GetDrawBitmap();
  Raster_MemBitmap scaled(w, h, 4);
  Raster_IBitmap* expected = back;
  if (w != back->getWidth() || h != back->getHeight())
  {
    Raster_ScaledBlit(&scaled, back, 0, 0, w, h, 0.0f, 0.0f, (float)back->getWidth(), (float)back->getHeight(), 1.0f,
                      kRasterMode_Bilinear);
    expected = &scaled;
  }
  long n = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if ((pixels[(size_t)y * w + x] & 0xFFFFFF) != (expected->getBits()[(size_t)y * expected->getRowSpan() + x] & 0xFFFFFF))
        ++n;
  return n;
}

void X11EditorTest::Click(int x, int y, int button)
{
  const auto now = std::chrono::steady_clock::now();
  if (std::abs(x - mLastClickX) <= 5 && std::abs(y - mLastClickY) <= 5 && now - mLastClick < std::chrono::milliseconds(450))
    Pump(450);
  mDisplay.Click(mGUI->GetWindowID(), x, y, button);
  mLastClick = std::chrono::steady_clock::now();
  mLastClickX = x;
  mLastClickY = y;
  Pump(60);
}

void X11EditorTest::WhileModal(const std::function<void(X11TestDisplay& tester, xcb_window_t shown)>& fn)
{
  JoinModal();
  const std::vector<xcb_window_t> before = mDisplay.MappedTopLevels();
  mModal = std::thread([before, fn] {
    // The tester's own connection: the display's is the main thread's.
    X11TestDisplay tester;
    std::string error;
    if (!tester.Open(&error)) return;
    xcb_window_t shown = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!shown && std::chrono::steady_clock::now() < end)
    {
      for (xcb_window_t w : tester.MappedTopLevels())
        if (std::find(before.begin(), before.end(), w) == before.end()) shown = w;
      if (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Ready for input: a menu holds the keyboard, a message box has the focus.
    while (shown && std::chrono::steady_clock::now() < end && !tester.KeyboardGrabbedElsewhere() &&
           tester.InputFocus() != shown)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (shown) fn(tester, shown);
  });
}

void X11EditorTest::JoinModal()
{
  if (mModal.joinable()) mModal.join();
}
