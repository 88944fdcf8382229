// Raster_Blit.cpp - rectangle blits, channel copy, Raster_Copy and the mode resolution used by
// every blit.
#include "Raster_Blit.h"

#include <cstring>

#include "Raster_BlitCommon.h"
#include "Raster_CombineOps.h"
#include "Raster_CombineSpan.h"

namespace
{
void rowCopy(uint32_t* dest, const uint32_t* src, int n, int) { std::memmove(dest, src, sizeof(uint32_t) * (size_t)n); }
void rowCopySourceAlpha(uint32_t* dest, const uint32_t* src, int n, int) { Raster_SpanCopySourceAlpha(dest, src, n); }
void rowCopyWeighted(uint32_t* dest, const uint32_t* src, int n, int w) { Raster_SpanCopyWeighted(dest, src, n, w); }
void rowCopySourceAlphaWeighted(uint32_t* dest, const uint32_t* src, int n, int w)
{
  Raster_SpanCopySourceAlphaWeighted(dest, src, n, w);
}
void pixelCopy(uint32_t* dest, uint32_t src, int) { *dest = src; }
}  // namespace

Raster_PixelFunc Raster_SelectPixelFunc(int mode, int w)
{
  const bool sourceAlpha = (mode & kRasterMode_SourceAlpha) != 0;
  if ((mode & kRasterOp_Mask) == kRasterOp_Copy && w >= 256)
    return sourceAlpha ? Raster_PixelOf<Raster_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp> : pixelCopy;
  Raster_PixelFunc fn = nullptr;
  Raster_DispatchCombineMode(mode, [&]<class C>() { fn = Raster_PixelOf<C>; });
  return fn;
}

Raster_RowFunc Raster_SelectRowFunc(int mode, int w)
{
  // Copy has vectorised rows of its own; every other operation loops over its class.
  if ((mode & kRasterOp_Mask) == kRasterOp_Copy)
  {
    if (mode & kRasterMode_SourceAlpha) return w >= 256 ? rowCopySourceAlpha : rowCopySourceAlphaWeighted;
    return w >= 256 ? rowCopy : rowCopyWeighted;
  }
  Raster_RowFunc fn = nullptr;
  Raster_DispatchCombineMode(mode, [&]<class C>() { fn = Raster_RowOf<C>; });
  return fn;
}

void Raster_Blit(Raster_IBitmap* dest, Raster_IBitmap* src, int x, int y, const RECT* srcRect, float weight, int mode)
{
  if (!dest || !src || weight == 0.0f) return;

  int srcW = src->getWidth(), srcH = src->getHeight();
  long long l = 0, t = 0, r = srcW, b = srcH;  // 64-bit: callers may pass extreme rectangles
  long long dx = x, dy = y;
  if (srcRect)
  {
    l = srcRect->left, t = srcRect->top, r = srcRect->right, b = srcRect->bottom;
    if (l < 0) dx -= l, l = 0;
    if (t < 0) dy -= t, t = 0;
    if (r > srcW) r = srcW;
    if (b > srcH) b = srcH;
  }
  if (dx < 0) l -= dx, dx = 0;
  if (dy < 0) t -= dy, dy = 0;
  long long w = r - l, h = b - t;
  if (w > dest->getWidth() - dx) w = dest->getWidth() - dx;
  if (h > dest->getHeight() - dy) h = dest->getHeight() - dy;
  if (w <= 0 || h <= 0) return;
  uint32_t* dbits = dest->getBits();
  uint32_t* sbits = src->getBits();
  if (!dbits || !sbits) return;

  uint32_t* drow = Raster_Row(dest, dbits, (int)dy) + dx;
  const uint32_t* srow = Raster_Row(src, sbits, (int)t) + l;
  intptr_t dstep = Raster_RowStep(dest), sstep = Raster_RowStep(src);
  int n = (int)w, rows = (int)h;

  // Channel copy: one byte per pixel from byte (mode & 3) to byte ((mode >> 2) & 3).
  if ((mode & kRasterMode_ChannelCopy) == kRasterMode_ChannelCopy)
  {
    int from = mode & 3, to = (mode >> 2) & 3;
    for (int j = 0; j < rows; ++j, drow += dstep, srow += sstep)
    {
      uint8_t* d = (uint8_t*)drow + to;
      const uint8_t* s = (const uint8_t*)srow + from;
      for (int i = 0; i < n; ++i) d[4 * i] = s[4 * i];
    }
    return;
  }

  Raster_RowFunc fn;
  int iw;
  if ((mode & (kRasterMode_SourceAlpha | kRasterOp_Mask)) == 0 && (weight == 1.0f || weight == 0.5f))
  {
    fn = weight == 1.0f ? rowCopy : [](uint32_t* d, const uint32_t* s, int count, int) { Raster_SpanHalfMix(d, s, count); };
    iw = 256;
  }
  else
  {
    iw = Raster_WeightToInt(weight);
    if (iw == 0) return;
    fn = Raster_SelectRowFunc(mode, iw);
    if (!fn) return;
  }
  for (int j = 0; j < rows; ++j, drow += dstep, srow += sstep) fn(drow, srow, n, iw);
}

void Raster_Blit(Raster_IBitmap* dest, Raster_IBitmap* src, int x, int y, int srcX, int srcY, int width, int height,
                 float weight, int mode)
{
  // Far edges computed wide and limited, so that a huge width cannot wrap to a negative edge.
  auto edge = [](long long v) { return (LONG)(v > 0x7FFFFFFF ? 0x7FFFFFFF : (v < -0x7FFFFFFF ? -0x7FFFFFFF : v)); };
  RECT r;
  r.left = srcX;
  r.top = srcY;
  r.right = edge((long long)srcX + width);
  r.bottom = edge((long long)srcY + height);
  Raster_Blit(dest, src, x, y, &r, weight, mode);
}

void Raster_Copy(Raster_IBitmap* dest, Raster_IBitmap* src)
{
  if (!dest || !src || dest == src) return;
  dest->resize(src->getWidth(), src->getHeight());
  Raster_Blit(dest, src, 0, 0, nullptr, 1.0f, 0);
}
