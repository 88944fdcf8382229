// Raster_BlitDelta.cpp - affine and mesh-warped blits: Raster_DeltaBlit(Alpha) walks a
// destination rectangle with constant 16.16 source deltas; Raster_RotatedBlit sets those up
// from an angle; the transform blits interpolate source positions across a grid.
#include <cmath>

#include "Raster_Blit.h"
#include "Raster_BlitCommon.h"
#include "Raster_CombineSpan.h"

namespace
{
struct Bounds
{
  int l, t, r, b;  // sampling area in source pixels, right/bottom exclusive
};

// The sampling area: the source rectangle limited to the bitmap (clip), or the whole bitmap.
bool sourceBounds(Raster_IBitmap* src, const RECT* srcRect, bool clip, Bounds& out)
{
  out = {0, 0, src->getWidth(), src->getHeight()};
  if (clip && srcRect)
  {
    if (srcRect->left > out.l) out.l = srcRect->left;
    if (srcRect->top > out.t) out.t = srcRect->top;
    if (srcRect->right < out.r) out.r = srcRect->right;
    if (srcRect->bottom < out.b) out.b = srcRect->bottom;
  }
  return out.l < out.r && out.t < out.b;
}

// Sample at the 16.16 position (px, py): the nearest pixel, or a bilinear mix of the 2 x 2
// block at the integer position (neighbours beyond the bounds repeat the edge). False when the
// position lies outside the bounds.
inline bool sample(Raster_IBitmap* src, uint32_t* sbits, const Bounds& bd, long long px, long long py, bool bilinear,
                   uint32_t& out)
{
  long long ix = px >> 16, iy = py >> 16;
  if (ix < bd.l || ix >= bd.r || iy < bd.t || iy >= bd.b) return false;
  const uint32_t* row0 = Raster_Row(src, sbits, (int)iy);
  if (!bilinear)
  {
    out = row0[ix];
    return true;
  }
  int x1 = ix + 1 < bd.r ? (int)ix + 1 : (int)ix;
  const uint32_t* row1 = iy + 1 < bd.b ? Raster_Row(src, sbits, (int)iy + 1) : row0;
  out = Raster_BilinearPixel(row0[ix], row0[x1], row1[ix], row1[x1], (int)(px & 0xFFFF), (int)(py & 0xFFFF));
  return true;
}

inline long long toFixed(double v)
{
  // Positions far outside any bitmap are pinned rather than overflowing the conversion.
  if (!(v > -1e9)) v = -1e9;
  if (v > 1e9) v = 1e9;
  return (long long)std::floor(v * 65536.0);
}

// Deltas are limited to 32768 pixels per step so that a step times a destination count (below
// 2^31) stays inside 64 bits.
inline long long toFixedDelta(double v)
{
  if (!(v > -32768.0)) v = -32768.0;
  if (v > 32768.0) v = 32768.0;
  return (long long)std::floor(v * 65536.0);
}

struct DestArea
{
  int x0, y0, x1, y1;          // clipped destination, exclusive ends
  long long skipX, skipY;      // columns and rows cut from the rectangle's start (up to 2^31)
};

bool destArea(Raster_IBitmap* dest, const RECT* r, DestArea& a)
{
  long long l = r ? r->left : 0, t = r ? r->top : 0;
  long long rr = r ? r->right : dest->getWidth(), bb = r ? r->bottom : dest->getHeight();
  a.skipX = l < 0 ? -l : 0;
  a.skipY = t < 0 ? -t : 0;
  a.x0 = l < 0 ? 0 : (int)l;
  a.y0 = t < 0 ? 0 : (int)t;
  a.x1 = (int)(rr > dest->getWidth() ? dest->getWidth() : rr);
  a.y1 = (int)(bb > dest->getHeight() ? dest->getHeight() : bb);
  return a.x0 < a.x1 && a.y0 < a.y1;
}

// The 16.16 source position of the first drawn pixel. With edges near -2^31 and deltas of
// +-32768 pixels each product nears 2^62 and their sum leaves 64 bits, so the sum is formed in
// 128 bits and pinned to +-2^61: such a position lies far outside every source, and the walk over
// the clipped destination (fewer than 2^29 steps of at most 2^31) cannot overflow from there.
inline long long startPosition(long long start, long long perCol, long long perRow, const DestArea& a)
{
  const __int128 kLimit = (__int128)1 << 61;
  __int128 p = (__int128)start + (__int128)perCol * a.skipX + (__int128)perRow * a.skipY;
  if (p > kLimit) p = kLimit;
  if (p < -kLimit) p = -kLimit;
  return (long long)p;
}

// The per-pixel combine at a varying integer weight: copy-type classes differ at full weight.
struct WeightedPixel
{
  Raster_PixelFunc full, partial;
  explicit WeightedPixel(int mode) : full(Raster_SelectPixelFunc(mode, 256)), partial(Raster_SelectPixelFunc(mode, 255)) {}
  void operator()(uint32_t* d, uint32_t s, int w) const { (w >= 256 ? full : partial)(d, s, w); }
};

void deltaBlit(Raster_IBitmap* dest, Raster_IBitmap* src, const RECT* destRect, const RECT* srcRect, double sx, double sy,
               double dxc, double dyc, double dxr, double dyr, bool withAlpha, double a0, double adc, double adr, bool clip,
               float weight, int mode)
{
  if (!dest || !src || weight == 0.0f) return;
  int iw = Raster_WeightToInt(weight);
  if (iw == 0) return;
  DestArea da;
  Bounds bd;
  if (!destArea(dest, destRect, da) || !sourceBounds(src, srcRect, clip, bd)) return;
  uint32_t* dbits = dest->getBits();
  uint32_t* sbits = src->getBits();
  if (!dbits || !sbits) return;
  WeightedPixel pix(mode);
  if (!pix.full) return;
  bool bilinear = (mode & 0xFF00) == kRasterMode_Bilinear;

  long long fdxc = toFixedDelta(dxc), fdyc = toFixedDelta(dyc), fdxr = toFixedDelta(dxr), fdyr = toFixedDelta(dyr);
  long long rowX = startPosition(toFixed(sx), fdxc, fdxr, da);
  long long rowY = startPosition(toFixed(sy), fdyc, fdyr, da);
  double rowA = a0 + adc * da.skipX + adr * da.skipY;
  for (int y = da.y0; y < da.y1; ++y, rowX += fdxr, rowY += fdyr, rowA += adr)
  {
    uint32_t* drow = Raster_Row(dest, dbits, y);
    long long px = rowX, py = rowY;
    double pa = rowA;
    for (int x = da.x0; x < da.x1; ++x, px += fdxc, py += fdyc, pa += adc)
    {
      uint32_t s;
      if (!sample(src, sbits, bd, px, py, bilinear, s)) continue;
      int w = iw;
      if (withAlpha)
      {
        w = Raster_WeightToInt((float)(weight * pa));
        if (w == 0) continue;
      }
      pix(&drow[x], s, w);
    }
  }
}

template <class T>
void transformBlit(Raster_IBitmap* dest, Raster_IBitmap* src, const RECT* destRect, const T* grid, int gw, int gh, int stride,
                   float weight, int mode)
{
  if (!dest || !src || !grid || gw < 2 || gh < 2 || weight == 0.0f || !destRect) return;
  int iw = Raster_WeightToInt(weight);
  if (iw == 0) return;
  int W = destRect->right - destRect->left, H = destRect->bottom - destRect->top;
  if (W <= 0 || H <= 0) return;
  DestArea da;
  Bounds bd;
  if (!destArea(dest, destRect, da) || !sourceBounds(src, nullptr, false, bd)) return;
  uint32_t* dbits = dest->getBits();
  uint32_t* sbits = src->getBits();
  if (!dbits || !sbits) return;
  WeightedPixel pix(mode);
  if (!pix.full) return;
  bool bilinear = (mode & 0xFF00) == kRasterMode_Bilinear;

  for (int y = da.y0; y < da.y1; ++y)
  {
    uint32_t* drow = Raster_Row(dest, dbits, y);
    // Grid positions are sampled at pixel centres, like the rotated blit.
    double gv = (y - destRect->top + 0.5) * (gh - 1) / H;
    int cj = (int)gv;
    if (cj > gh - 2) cj = gh - 2;
    double fv = gv - cj;
    for (int x = da.x0; x < da.x1; ++x)
    {
      double gu = (x - destRect->left + 0.5) * (gw - 1) / W;
      int ci = (int)gu;
      if (ci > gw - 2) ci = gw - 2;
      double fu = gu - ci;
      const T* p00 = grid + ((size_t)cj * gw + ci) * stride;
      const T* p01 = p00 + stride;
      const T* p10 = p00 + (size_t)gw * stride;
      const T* p11 = p10 + stride;
      double v[3];
      for (int k = 0; k < stride; ++k)
        v[k] = (p00[k] * (1 - fu) + p01[k] * fu) * (1 - fv) + (p10[k] * (1 - fu) + p11[k] * fu) * fv;
      if (bilinear) v[0] -= 0.5, v[1] -= 0.5;
      uint32_t s;
      if (!sample(src, sbits, bd, toFixed(v[0]), toFixed(v[1]), bilinear, s)) continue;
      int w = iw;
      if (stride == 3)
      {
        w = Raster_WeightToInt((float)(weight * v[2]));
        if (w == 0) continue;
      }
      pix(&drow[x], s, w);
    }
  }
}
}  // namespace

void Raster_DeltaBlit(Raster_IBitmap* dest, Raster_IBitmap* src, const RECT* destRect, const RECT* srcRect, double srcStartX,
                      double srcStartY, double dxCol, double dyCol, double dxRow, double dyRow, bool clip, float weight, int mode)
{
  deltaBlit(dest, src, destRect, srcRect, srcStartX, srcStartY, dxCol, dyCol, dxRow, dyRow, false, 1.0, 0.0, 0.0, clip, weight,
            mode);
}

void Raster_DeltaBlitAlpha(Raster_IBitmap* dest, Raster_IBitmap* src, const RECT* destRect, const RECT* srcRect,
                           double srcStartX, double srcStartY, double dxCol, double dyCol, double dxRow, double dyRow,
                           double alphaStart, double alphaDCol, double alphaDRow, bool clip, float weight, int mode)
{
  deltaBlit(dest, src, destRect, srcRect, srcStartX, srcStartY, dxCol, dyCol, dxRow, dyRow, true, alphaStart, alphaDCol,
            alphaDRow, clip, weight, mode);
}

void Raster_RotatedBlit(Raster_IBitmap* dest, Raster_IBitmap* src, int x, int y, int width, int height, float srcX, float srcY,
                        float srcWidth, float srcHeight, double angle, bool clipToSrcRect, float weight, int mode,
                        float centerOffsetX, float centerOffsetY)
{
  if (!dest || !src || width == 0 || height == 0 || weight == 0.0f || !std::isfinite(angle)) return;
  if (!(std::isfinite(srcX) && std::isfinite(srcY) && std::isfinite(srcWidth) && std::isfinite(srcHeight))) return;
  if (!(std::isfinite(centerOffsetX) && std::isfinite(centerOffsetY))) return;
  // The scale keeps the sign of the destination size, so negative sizes mirror.
  double kx = (double)srcWidth / width, ky = (double)srcHeight / height;
  long long dx = x, dy = y, w = width, h = height;
  if (w < 0) dx += w, w = -w;
  if (h < 0) dy += h, h = -h;

  double c = std::cos(angle), s = std::sin(angle);
  double cx = srcX + srcWidth * 0.5 + centerOffsetX, cy = srcY + srcHeight * 0.5 + centerOffsetY;
  // Centre of the first destination pixel relative to the destination centre, in source units.
  double u = (0.5 - w * 0.5) * kx, v = (0.5 - h * 0.5) * ky;
  double startX = cx + u * c - v * s, startY = cy + u * s + v * c;
  // Bilinear samples are taken between pixel centres: shift by half a pixel.
  if ((mode & 0xFF00) == kRasterMode_Bilinear) startX -= 0.5, startY -= 0.5;

  RECT drect, srect;
  auto lim = [](long long v) { return (LONG)(v > 0x7FFFFFFF ? 0x7FFFFFFF : (v < -0x7FFFFFFF ? -0x7FFFFFFF : v)); };
  drect.left = lim(dx);
  drect.top = lim(dy);
  drect.right = lim(dx + w);
  drect.bottom = lim(dy + h);
  auto limD = [](double v) { return (LONG)(v >= 2147483647.0 ? 2147483647.0 : (v > -2147483647.0 ? v : -2147483647.0)); };
  srect.left = limD(std::floor(srcX));
  srect.top = limD(std::floor(srcY));
  srect.right = limD(std::ceil((double)srcX + srcWidth));
  srect.bottom = limD(std::ceil((double)srcY + srcHeight));
  Raster_DeltaBlit(dest, src, &drect, &srect, startX, startY, kx * c, kx * s, -ky * s, ky * c, clipToSrcRect, weight, mode);
}

void Raster_TransformBlit(Raster_IBitmap* dest, Raster_IBitmap* src, const RECT* destRect, const float* grid, int gridWidth,
                          int gridHeight, float weight, int mode)
{
  transformBlit(dest, src, destRect, grid, gridWidth, gridHeight, 2, weight, mode);
}

void Raster_TransformBlit2(Raster_IBitmap* dest, Raster_IBitmap* src, const RECT* destRect, const double* grid, int gridWidth,
                           int gridHeight, float weight, int mode)
{
  transformBlit(dest, src, destRect, grid, gridWidth, gridHeight, 2, weight, mode);
}

void Raster_TransformBlit2Alpha(Raster_IBitmap* dest, Raster_IBitmap* src, const RECT* destRect, const double* grid,
                                int gridWidth, int gridHeight, float weight, int mode)
{
  transformBlit(dest, src, destRect, grid, gridWidth, gridHeight, 3, weight, mode);
}
