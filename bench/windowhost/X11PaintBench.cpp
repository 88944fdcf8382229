// The meter's editor in the X11 window host, in a window under an X server (Xvfb). Every
// figure that copies includes a round trip that waits until the server has carried the copy out:
//
//   Baseline_PutImage   one xcb_put_image of the whole 251 x 310 bitmap (plain request)
//   IdleTick            the timer's usual case: events read, nothing dirty, nothing drawn or sent
//   FullPaint/shm       every control dirty: the drawing pass and the copy through shared memory
//   FullPaint/plain     the same with plain requests
//   CopyOnly/shm        the whole bitmap copied to the window without a drawing pass
#include <benchmark/benchmark.h>

#include "IThdMeter.h"
#include "IThdMeterGraphics.h"
#include "Raster_Bitmap.h"
#include "X11Connection.h"

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace
{
constexpr int kW = 251, kH = 310;

// The host's side: a connection and a top-level parent window.
struct Parent
{
  xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
  xcb_window_t window = 0;
  Parent()
  {
    if (!conn || xcb_connection_has_error(conn)) return;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
    window = xcb_generate_id(conn);
    const uint32_t values[] = {1};
    xcb_create_window(conn, screen->root_depth, window, screen->root, 0, 0, kW, kH, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(conn, window);
    free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
  }
  ~Parent()
  {
    if (conn) xcb_disconnect(conn);
  }
};

// Waits until the server has carried out what the module's connection sent.
void Sync()
{
  xcb_connection_t* c = X11Connection::Current()->Get();
  free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

struct Editor
{
  Parent parent;
  std::unique_ptr<IThdMeter> meter;
  IGraphicsX11* gui = nullptr;
  explicit Editor(bool shm)
  {
    IGraphicsX11::AllowSharedMemory(shm);
    meter.reset(new IThdMeter(IFxInstanceInfo{}));
    gui = static_cast<IGraphicsX11*>(IGraphics::FromPlug(meter.get()));
    if (!parent.window || !gui->OpenWindow((void*)(uintptr_t)parent.window)) return;
    for (int i = 0; i < 4; ++i) gui->Tick();
    Sync();
  }
  ~Editor() { IGraphicsX11::AllowSharedMemory(true); }
  bool Ok() const { return gui && gui->WindowIsOpen(); }
};

void BM_Baseline_PutImage(benchmark::State& state)
{
  Editor e(false);
  if (!e.Ok()) return state.SkipWithError("no X server");
  xcb_connection_t* c = X11Connection::Current()->Get();
  const xcb_gcontext_t gc = xcb_generate_id(c);
  xcb_create_gc(c, gc, e.gui->GetWindowID(), 0, nullptr);
  // The bitmap's rows packed as the server takes them (32 bits per pixel), once.
  Raster_IBitmap* back = e.gui->GetDrawBitmap();
  std::vector<uint32_t> packed((size_t)kW * kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) packed[(size_t)y * kW + x] = back->getBits()[(size_t)y * back->getRowSpan() + x];
  for (auto _ : state)
  {
    xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, e.gui->GetWindowID(), gc, kW, kH, 0, 0, 0, 24,
                  (uint32_t)(packed.size() * 4), (const uint8_t*)packed.data());
    Sync();
  }
  xcb_free_gc(c, gc);
}
BENCHMARK(BM_Baseline_PutImage);

void BM_IdleTick(benchmark::State& state)
{
  Editor e(true);
  if (!e.Ok()) return state.SkipWithError("no X server");
  for (auto _ : state) e.gui->Tick();
}
BENCHMARK(BM_IdleTick);

void FullPaint(benchmark::State& state, bool shm)
{
  Editor e(shm);
  if (!e.Ok()) return state.SkipWithError("no X server");
  if (e.gui->UsesSharedMemory() != shm) return state.SkipWithError("the server offers no shared memory");
  for (auto _ : state)
  {
    e.gui->SetAllControlsDirty();
    e.gui->Tick();
    Sync();
  }
}
void BM_FullPaint_shm(benchmark::State& state) { FullPaint(state, true); }
void BM_FullPaint_plain(benchmark::State& state) { FullPaint(state, false); }
BENCHMARK(BM_FullPaint_shm);
BENCHMARK(BM_FullPaint_plain);

void BM_CopyOnly_shm(benchmark::State& state)
{
  Editor e(true);
  if (!e.Ok()) return state.SkipWithError("no X server");
  IRECT all(0, 0, kW, kH);
  for (auto _ : state)
  {
    e.gui->DrawScreen(&all);
    xcb_flush(X11Connection::Current()->Get());
    Sync();
  }
}
BENCHMARK(BM_CopyOnly_shm);
}  // namespace

BENCHMARK_MAIN();
