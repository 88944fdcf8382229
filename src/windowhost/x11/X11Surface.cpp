// Copies of 32-bit bitmaps to X windows, through shared memory or plain requests, with the
// conversion to the screen's pixel format where it is not the editor's own.
#include "X11Surface.h"

#include "X11Connection.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>
#include <cstring>

namespace
{
// The channel value (0..255) placed under a visual's colour mask.
uint32_t ToMask(uint32_t value, uint32_t mask)
{
  if (!mask) return 0;
  int shift = 0, bits = 0;
  while (!((mask >> shift) & 1)) ++shift;
  while (shift + bits < 32 && ((mask >> (shift + bits)) & 1)) ++bits;
  const uint32_t scaled = bits >= 8 ? value << (bits - 8) : value >> (8 - bits);
  return (scaled << shift) & mask;
}
}  // namespace

bool X11Surface::Create(X11Connection* conn, xcb_window_t window, int w, int h, bool allowShm)
{
  Destroy();
  if (!conn || !window || w <= 0 || h <= 0 || w > 32767 || h > 32767) return false;
  const X11Connection::PixelFormat& f = conn->Format();
  if (f.bitsPerPixel != 16 && f.bitsPerPixel != 24 && f.bitsPerPixel != 32) return false;
  mConn = conn;
  mWindow = window;
  mW = w;
  mH = h;
  mBytesPerPixel = f.bitsPerPixel / 8;
  mStageRowBytes = (w * mBytesPerPixel + 3) & ~3;  // rows pad to 32 bits

  xcb_connection_t* c = conn->Get();
  mGC = xcb_generate_id(c);
  const uint32_t noExposures = 0;
  xcb_create_gc(c, mGC, window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
  if (allowShm && conn->HasShm()) CreateShm();
  return true;
}

bool X11Surface::CreateShm()
{
  const size_t size = (size_t)mStageRowBytes * (size_t)mH;
  const int id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
  if (id < 0) return false;
  void* addr = shmat(id, nullptr, 0);
  if (addr == (void*)-1)
  {
    shmctl(id, IPC_RMID, nullptr);
    return false;
  }
  xcb_connection_t* c = mConn->Get();
  const xcb_shm_seg_t seg = xcb_generate_id(c);
  // The server only reads the segment. A remote server, or one in another IPC namespace,
  // refuses the attachment: then the plain path serves.
  xcb_generic_error_t* error = xcb_request_check(c, xcb_shm_attach_checked(c, seg, (uint32_t)id, 1));
  // Marked for removal at once: the segment goes when both sides have detached, even if the
  // host dies without closing the editor.
  shmctl(id, IPC_RMID, nullptr);
  if (error)
  {
    free(error);
    shmdt(addr);
    return false;
  }
  mShmSeg = seg;
  mShmAddr = (uint8_t*)addr;
  return true;
}

void X11Surface::Destroy()
{
  if (mConn && !mConn->Failed())
  {
    xcb_connection_t* c = mConn->Get();
    if (mShmSeg) xcb_shm_detach(c, mShmSeg);
    if (mGC) xcb_free_gc(c, mGC);
    xcb_flush(c);
  }
  if (mShmAddr) shmdt(mShmAddr);
  mShmAddr = nullptr;
  mShmSeg = 0;
  mGC = 0;
  mConn = nullptr;
  mWindow = 0;
  mPacked.Resize(0, true);
}

void X11Surface::ConvertRow(uint8_t* dst, const uint32_t* src, int n) const
{
  const X11Connection::PixelFormat& f = mConn->Format();
  if (f.nativeArgb)
  {
    std::memcpy(dst, src, sizeof(uint32_t) * (size_t)n);
    return;
  }
  for (int i = 0; i < n; ++i)
  {
    const uint32_t p = src[i];
    const uint32_t v = ToMask((p >> 16) & 0xFF, f.redMask) | ToMask((p >> 8) & 0xFF, f.greenMask) | ToMask(p & 0xFF, f.blueMask);
    uint8_t* o = dst + (size_t)i * mBytesPerPixel;
    for (int b = 0; b < mBytesPerPixel; ++b)
    {
      const int shift = f.lsbFirst ? 8 * b : 8 * (mBytesPerPixel - 1 - b);
      o[b] = (uint8_t)(v >> shift);
    }
  }
}

void X11Surface::Put(const uint32_t* pixels, int rowSpan, int x, int y, int w, int h)
{
  if (!mGC || !pixels || mConn->Failed()) return;
  if (x < 0)
  {
    w += x;
    x = 0;
  }
  if (y < 0)
  {
    h += y;
    y = 0;
  }
  if (x + w > mW) w = mW - x;
  if (y + h > mH) h = mH - y;
  if (w <= 0 || h <= 0) return;
  xcb_connection_t* c = mConn->Get();
  const uint8_t depth = mConn->Format().depth;

  if (mShmSeg)
  {
    for (int row = y; row < y + h; ++row)
      ConvertRow(mShmAddr + (size_t)row * mStageRowBytes + (size_t)x * mBytesPerPixel, pixels + (size_t)row * rowSpan + x, w);
    xcb_shm_put_image(c, mWindow, mGC, (uint16_t)mW, (uint16_t)mH, (uint16_t)x, (uint16_t)y, (uint16_t)w, (uint16_t)h,
                      (int16_t)x, (int16_t)y, depth, XCB_IMAGE_FORMAT_Z_PIXMAP, 0, mShmSeg, 0);
    return;
  }

  // Plain requests: the rectangle's rows packed, in bands that fit the largest request.
  const int rowBytes = (w * mBytesPerPixel + 3) & ~3;
  const uint32_t headerBytes = 32;
  int bandRows = mConn->MaxRequestBytes() > headerBytes + (uint32_t)rowBytes
                   ? (int)((mConn->MaxRequestBytes() - headerBytes) / (uint32_t)rowBytes)
                   : 1;
  if (bandRows > h) bandRows = h;
  uint8_t* packed = (uint8_t*)mPacked.Resize(rowBytes * bandRows, false);
  if (!packed) return;
  for (int top = y; top < y + h; top += bandRows)
  {
    const int rows = top + bandRows <= y + h ? bandRows : y + h - top;
    for (int r = 0; r < rows; ++r) ConvertRow(packed + (size_t)r * rowBytes, pixels + (size_t)(top + r) * rowSpan + x, w);
    xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, mWindow, mGC, (uint16_t)w, (uint16_t)rows, (int16_t)x, (int16_t)top, 0,
                  depth, (uint32_t)rowBytes * (uint32_t)rows, packed);
  }
}
