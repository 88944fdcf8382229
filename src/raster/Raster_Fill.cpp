// Raster_Fill.cpp - solid fills, single pixels, masks and per-pixel rectangle operations.
#include "Raster_Fill.h"

#include "Raster_BlitCommon.h"
#include "Raster_CombineOps.h"
#include "Raster_CombineSpan.h"

namespace
{
// The clipped rectangle; false when nothing of it lies inside the bitmap.
struct Area
{
  int x, y, w, h;
};

bool clipArea(Raster_IBitmap* bm, int x, int y, int width, int height, Area& a)
{
  if (!Raster_Usable(bm)) return false;
  long long l = x, t = y, r = (long long)x + width, b = (long long)y + height;
  if (l < 0) l = 0;
  if (t < 0) t = 0;
  if (r > bm->getWidth()) r = bm->getWidth();
  if (b > bm->getHeight()) b = bm->getHeight();
  if (l >= r || t >= b) return false;
  a = {(int)l, (int)t, (int)(r - l), (int)(b - t)};
  return true;
}

template <class C>
void fillClass(Raster_IBitmap* bm, const Area& a, uint32_t colour, int w)
{
  int r = Raster_PixelR(colour), g = Raster_PixelG(colour), b = Raster_PixelB(colour);
  uint32_t* row = Raster_Row(bm, bm->getBits(), a.y) + a.x;
  intptr_t step = Raster_RowStep(bm);
  for (int j = 0; j < a.h; ++j, row += step)
  {
    uint8_t* p = (uint8_t*)row;
    for (int i = 0; i < a.w; ++i, p += 4) C::doPix(p, r, g, b, w, w);  // alpha component is the weight itself
  }
}

// Weight after the source-alpha rule; 0 means nothing to draw.
int fillWeight(uint32_t colour, float weight, int mode)
{
  if (mode & kRasterMode_SourceAlpha) weight *= (float)(Raster_PixelA(colour) / 255.0);
  return Raster_WeightToInt(weight);
}

void fillArea(Raster_IBitmap* bm, const Area& a, uint32_t colour, int w, int mode)
{
  int op = mode & kRasterOp_Mask;
  if (op == kRasterOp_Copy && (w == 64 || w == 128 || w == 192 || w == 256))
  {
    ERasterFillFast kind = w == 256   ? kRasterFill_Clobber
                           : w == 128 ? kRasterFill_HalfMix
                           : w == 64  ? kRasterFill_QuarterMix
                                      : kRasterFill_ThreeQuarterMix;
    uint32_t* row = Raster_Row(bm, bm->getBits(), a.y) + a.x;
    intptr_t step = Raster_RowStep(bm);
    if (step == a.w && kind == kRasterFill_Clobber)
    {
      // Rows without padding between them: one long span.
      Raster_SpanFillFast(row, a.w * a.h, colour, kind);
      return;
    }
    for (int j = 0; j < a.h; ++j, row += step) Raster_SpanFillFast(row, a.w, colour, kind);
    return;
  }
  Raster_DispatchCombine<kRasterCombine_Plain>(op, [&]<class C>() { fillClass<C>(bm, a, colour, w); });
}
}  // namespace

void Raster_FillRect(Raster_IBitmap* bm, int x, int y, int width, int height, uint32_t colour, float weight, int mode)
{
  if (!bm) return;
  int w = fillWeight(colour, weight, mode);
  Area a;
  if (w == 0 || !clipArea(bm, x, y, width, height, a)) return;
  fillArea(bm, a, colour, w, mode);
}

void Raster_PutPixel(Raster_IBitmap* bm, int x, int y, uint32_t colour, float weight, int mode)
{
  if (!Raster_Usable(bm) || x < 0 || y < 0 || x >= bm->getWidth() || y >= bm->getHeight()) return;
  int w = fillWeight(colour, weight, mode);
  if (w == 0) return;
  fillArea(bm, Area{x, y, 1, 1}, colour, w, mode);
}

uint32_t Raster_GetPixel(Raster_IBitmap* bm, int x, int y)
{
  if (!Raster_Usable(bm) || x < 0 || y < 0 || x >= bm->getWidth() || y >= bm->getHeight()) return 0;
  return Raster_Row(bm, bm->getBits(), y)[x];
}

void Raster_ClearRect(Raster_IBitmap* bm, int x, int y, int width, int height, uint32_t andMask, uint32_t orBits)
{
  Area a;
  if (!clipArea(bm, x, y, width, height, a)) return;
  uint32_t* bits = bm->getBits();
  for (int j = 0; j < a.h; ++j)
  {
    uint32_t* p = Raster_Row(bm, bits, a.y + j) + a.x;
    for (int i = 0; i < a.w; ++i) p[i] = (p[i] & andMask) | orBits;
  }
}

void Raster_Clear(Raster_IBitmap* bm, uint32_t colour)
{
  Area a;
  if (!clipArea(bm, 0, 0, bm ? bm->getWidth() : 0, bm ? bm->getHeight() : 0, a)) return;
  uint32_t* row = Raster_Row(bm, bm->getBits(), 0);
  intptr_t step = Raster_RowStep(bm);
  for (int j = 0; j < a.h; ++j, row += step) Raster_SpanFillFast(row, a.w, colour, kRasterFill_Clobber);
}

void Raster_ProcessRect(Raster_IBitmap* bm, int x, int y, int width, int height, void (*callback)(uint32_t* pixel, void* context),
                        void* context)
{
  Area a;
  if (!callback || !clipArea(bm, x, y, width, height, a)) return;
  uint32_t* bits = bm->getBits();
  for (int j = 0; j < a.h; ++j)
  {
    uint32_t* p = Raster_Row(bm, bits, a.y + j) + a.x;
    for (int i = 0; i < a.w; ++i) callback(&p[i], context);
  }
}

namespace
{
// Float to a 16.16-style integer with saturation (NaN becomes 0): gradient inputs come from
// callers' arithmetic and must not reach an undefined conversion.
int toInt(double v)
{
  if (!(v == v)) return 0;
  if (v > 2147483647.0) return 2147483647;
  if (v < -2147483647.0) return -2147483647;
  return (int)v;
}

template <class C>
void gradRows(Raster_IBitmap* bm, const Area& a, long long v0[4], const long long dx[4], const long long dy[4], bool clobber)
{
  uint32_t* bits = bm->getBits();
  for (int j = 0; j < a.h; ++j)
  {
    uint8_t* p = (uint8_t*)(Raster_Row(bm, bits, a.y + j) + a.x);
    long long v[4] = {v0[0], v0[1], v0[2], v0[3]};
    for (int i = 0; i < a.w; ++i, p += 4)
    {
      int r = Raster_Clamp255((int)(v[0] >> 16)), g = Raster_Clamp255((int)(v[1] >> 16)), b = Raster_Clamp255((int)(v[2] >> 16));
      long long al = v[3] >> 16;
      int w = al < 0 ? 0 : (al > 256 ? 256 : (int)al);
      if (clobber)
        C::doPix(p, r, g, b, 255, 256);
      else if (w > 0)
        C::doPix(p, r, g, b, w > 255 ? 255 : w, w);
      for (int k = 0; k < 4; ++k) v[k] += dx[k];
    }
    for (int k = 0; k < 4; ++k) v0[k] += dy[k];
  }
}
}  // namespace

void Raster_GradRect(Raster_IBitmap* bm, int x, int y, int width, int height, float r, float g, float b, float a, float drdx,
                     float dgdx, float dbdx, float dadx, float drdy, float dgdy, float dbdy, float dady, int mode)
{
  Area ar;
  if (!clipArea(bm, x, y, width, height, ar)) return;
  // 16.16 fixed point: colours on a 0..255 scale, alpha on 0..256 (it is the weight).
  const double scale[4] = {255.0 * 65536.0, 255.0 * 65536.0, 255.0 * 65536.0, 256.0 * 65536.0};
  const float start[4] = {r, g, b, a}, ddx[4] = {drdx, dgdx, dbdx, dadx}, ddy[4] = {drdy, dgdy, dbdy, dady};
  long long v0[4], dx[4], dy[4];
  for (int k = 0; k < 4; ++k)
  {
    v0[k] = toInt(start[k] * scale[k]);
    dx[k] = toInt(ddx[k] * scale[k]);
    dy[k] = toInt(ddy[k] * scale[k]);
    // Columns and rows cut off at the left or top still advance the running values.
    v0[k] += dx[k] * (ar.x - (long long)x) + dy[k] * (ar.y - (long long)y);
  }
  int op = mode & kRasterOp_Mask;
  // Overwrite when the alpha stays at full strength everywhere.
  bool fullAlpha = dx[3] == 0 && dy[3] == 0 && (v0[3] >> 16) >= 256;
  if (op == kRasterOp_Copy && fullAlpha)
    gradRows<Raster_CombinePixelsClobberClamp>(bm, ar, v0, dx, dy, true);
  else
    Raster_DispatchCombine<kRasterCombine_Clamp>(op, [&]<class C>() { gradRows<C>(bm, ar, v0, dx, dy, false); });
}

void Raster_MultiplyAddRect(Raster_IBitmap* bm, int x, int y, int width, int height, float scaleR, float scaleG, float scaleB,
                            float scaleA, float addR, float addG, float addB, float addA)
{
  Area a;
  if (!clipArea(bm, x, y, width, height, a)) return;
  // Byte order in memory: B, G, R, A. Factors are limited so that no product overflows.
  auto fac = [](float v) { return toInt(v < -65536.0f ? -65536.0 * 256 : (v > 65536.0f ? 65536.0 * 256 : v * 256.0)); };
  const int sc[4] = {fac(scaleB), fac(scaleG), fac(scaleR), fac(scaleA)};
  const int ad[4] = {fac(addB), fac(addG), fac(addR), fac(addA)};
  uint32_t* bits = bm->getBits();
  for (int j = 0; j < a.h; ++j)
  {
    uint8_t* p = (uint8_t*)(Raster_Row(bm, bits, a.y + j) + a.x);
    for (int i = 0; i < a.w * 4; i += 4)
      for (int k = 0; k < 4; ++k)
      {
        long long v = ((long long)p[i + k] * sc[k] + ad[k]) >> 8;
        p[i + k] = (uint8_t)(v < 0 ? 0 : (v > 255 ? 255 : v));
      }
  }
}

void Raster_SetAlphaFromColorMask(Raster_IBitmap* bm, uint32_t keyColour)
{
  Area a;
  if (!clipArea(bm, 0, 0, bm ? bm->getWidth() : 0, bm ? bm->getHeight() : 0, a)) return;
  uint32_t key = keyColour & 0x00FFFFFFu;
  uint32_t* bits = bm->getBits();
  for (int j = 0; j < a.h; ++j)
  {
    uint32_t* p = Raster_Row(bm, bits, j);
    for (int i = 0; i < a.w; ++i)
    {
      uint32_t c = p[i] & 0x00FFFFFFu;
      p[i] = c == key ? c : (c | 0xFF000000u);
    }
  }
}
