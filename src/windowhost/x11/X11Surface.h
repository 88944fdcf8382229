// The pixels of one window on the server: a graphics context and a staging image in the
// screen's own pixel format, the size of the window. Where the server shares memory with us
// the staging image lives in a shared segment and a copy costs one memcpy per row and one small
// request; otherwise the rectangle's rows are packed and sent with xcb_put_image. Editor
// windows, menus and message boxes all copy their bitmaps to the screen through one of these.
#pragma once

#include "Util_HeapBuf.h"

#include <xcb/xcb.h>
#include <xcb/shm.h>

#include <cstdint>

class X11Connection;

class X11Surface
{
public:
  X11Surface() = default;
  ~X11Surface() { Destroy(); }
  X11Surface(const X11Surface&) = delete;
  X11Surface& operator=(const X11Surface&) = delete;

  // For a window of the screen's root visual and depth, w x h pixels. allowShm false keeps the
  // plain path (benchmarks compare the two). False when the screen's format cannot be served.
  bool Create(X11Connection* conn, xcb_window_t window, int w, int h, bool allowShm = true);
  // Frees the graphics context and the shared segment (the server finishes every copy first:
  // requests are carried out in order).
  void Destroy();
  bool IsCreated() const { return mGC != 0; }
  bool UsesShm() const { return mShmSeg != 0; }

  // Copies the rectangle (x, y, w, h) of the 0xAARRGGBB pixels, whose window pixel (px, py)
  // lies at pixels[py * rowSpan + px], to the same place in the window. Clipped to the window.
  // Does not flush.
  void Put(const uint32_t* pixels, int rowSpan, int x, int y, int w, int h);

private:
  // Writes n pixels in the screen's format to dst.
  void ConvertRow(uint8_t* dst, const uint32_t* src, int n) const;
  bool CreateShm();

  X11Connection* mConn = nullptr;
  xcb_window_t mWindow = 0;
  xcb_gcontext_t mGC = 0;
  int mW = 0, mH = 0;
  int mBytesPerPixel = 4;
  int mStageRowBytes = 0;  // bytes per row of the window-sized staging image
  xcb_shm_seg_t mShmSeg = 0;
  uint8_t* mShmAddr = nullptr;
  Util_HeapBuf mPacked{4096};  // rows of one request on the plain path
};
