// Raster_BlitFilter.cpp - whole-area filters: 2 x 2 halving and the 5-point blur.
#include <cstring>

#include "Raster_Blit.h"
#include "Raster_BlitCommon.h"

void Raster_HalveBlitAA(Raster_IBitmap* dest, Raster_IBitmap* src)
{
  if (!Raster_Usable(dest) || !Raster_Usable(src)) return;
  int w = src->getWidth() / 2, h = src->getHeight() / 2;
  if (w > dest->getWidth()) w = dest->getWidth();
  if (h > dest->getHeight()) h = dest->getHeight();
  if (w <= 0 || h <= 0) return;
  uint32_t* dbits = dest->getBits();
  uint32_t* sbits = src->getBits();
  const uint32_t m = 0x3F3F3F3Fu;
  for (int y = 0; y < h; ++y)
  {
    uint32_t* d = Raster_Row(dest, dbits, y);
    const uint32_t* s0 = Raster_Row(src, sbits, 2 * y);
    const uint32_t* s1 = Raster_Row(src, sbits, 2 * y + 1);
    for (int x = 0; x < w; ++x)
      d[x] = ((s0[2 * x] >> 2) & m) + ((s0[2 * x + 1] >> 2) & m) + ((s1[2 * x] >> 2) & m) + ((s1[2 * x + 1] >> 2) & m);
  }
}

namespace
{
inline uint32_t half(uint32_t p) { return (p >> 1) & 0x7F7F7F7Fu; }
inline uint32_t quarter(uint32_t p) { return (p >> 2) & 0x3F3F3F3Fu; }
inline uint32_t eighth(uint32_t p) { return (p >> 3) & 0x1F1F1F1Fu; }

// One output row. up/down are null on the first/last row. Along each axis two neighbours count
// 1/8 each, a single neighbour 1/4; the centre always 1/2 (no sum can carry out of a byte).
void blurRow(uint32_t* out, const uint32_t* up, const uint32_t* mid, const uint32_t* down, int w)
{
  for (int x = 0; x < w; ++x)
  {
    uint32_t v = half(mid[x]);
    if (up && down)
      v += eighth(up[x]) + eighth(down[x]);
    else
      v += quarter(up ? up[x] : down[x]);
    if (x > 0 && x < w - 1)
      v += eighth(mid[x - 1]) + eighth(mid[x + 1]);
    else
      v += quarter(x > 0 ? mid[x - 1] : mid[x + 1]);
    out[x] = v;
  }
}
}  // namespace

void Raster_Blur(Raster_IBitmap* dest, Raster_IBitmap* src, int x, int y, int srcX, int srcY, int width, int height)
{
  if (!Raster_Usable(dest) || !Raster_Usable(src)) return;
  long long dx = x, dy = y, sx = srcX, sy = srcY, w = width, h = height;
  if (sx < 0) dx -= sx, w += sx, sx = 0;
  if (sy < 0) dy -= sy, h += sy, sy = 0;
  if (dx < 0) sx -= dx, w += dx, dx = 0;
  if (dy < 0) sy -= dy, h += dy, dy = 0;
  if (w > src->getWidth() - sx) w = src->getWidth() - sx;
  if (h > src->getHeight() - sy) h = src->getHeight() - sy;
  if (w > dest->getWidth() - dx) w = dest->getWidth() - dx;
  if (h > dest->getHeight() - dy) h = dest->getHeight() - dy;
  if (w < 2 || h < 2) return;
  int n = (int)w, rows = (int)h;
  uint32_t* dbits = dest->getBits();
  uint32_t* sbits = src->getBits();

  auto srow = [&](int j) { return (const uint32_t*)Raster_Row(src, sbits, (int)sy + j) + sx; };
  auto drow = [&](int j) { return Raster_Row(dest, dbits, (int)dy + j) + dx; };

  // Copies of the previous and current source rows, so that writing row j in place does not
  // disturb the rows still to be read. Row j + 1 is read directly: it is not written yet.
  Raster_Scratch<uint32_t, 2048> buf(2 * n);
  uint32_t* prev = buf.data();
  uint32_t* cur = prev ? prev + n : nullptr;
  if (cur) std::memcpy(cur, srow(0), sizeof(uint32_t) * (size_t)n);

  // The output row goes through a small buffer too: blurRow reads mid[x + 1] after writing
  // out[x], which would alias when blurring in place without a row buffer.
  Raster_Scratch<uint32_t, 1024> outBuf(n);
  for (int j = 0; j < rows; ++j)
  {
    const uint32_t* up = j > 0 ? (prev ? prev : srow(j - 1)) : nullptr;
    const uint32_t* mid = cur ? cur : srow(j);
    const uint32_t* down = j + 1 < rows ? srow(j + 1) : nullptr;
    uint32_t* out = outBuf.data() ? outBuf.data() : drow(j);
    blurRow(out, up, mid, down, n);
    if (cur)
    {
      uint32_t* t = prev;
      prev = cur;
      cur = t;
      if (j + 1 < rows) std::memcpy(cur, srow(j + 1), sizeof(uint32_t) * (size_t)n);
    }
    if (out != drow(j)) std::memcpy(drow(j), out, sizeof(uint32_t) * (size_t)n);
  }
}
