// Raster_VectorWalk.h - the integer and 16.16 line walkers behind lines, dashes and curves
// (included by Raster_VectorCommon.h; not a public header).
#pragma once

#include <cmath>
#include <cstdint>

// Maps (major, minor) back to (x, y) and clips; coordinates may lie far outside the bitmap.
template <class P>
inline void Raster_WalkPut(const P& plot, bool xMajor, int64_t m, int64_t n, int w, bool full)
{
  const int64_t x = xMajor ? m : n, y = xMajor ? n : m;
  if (x < 0 || y < 0 || x >= plot.pen.width || y >= plot.pen.height) return;
  if (full)
    plot.main((int)x, (int)y);
  else
    plot.part((int)x, (int)y, w);
}

template <class P>
void Raster_WalkLine(const P& plot, int x1, int y1, int x2, int y2, bool aa, int width, int height)
{
  const int64_t dx = (int64_t)x2 - x1, dy = (int64_t)y2 - y1;
  const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;

  // Horizontal, vertical and diagonal segments need no fractions.
  if (dy == 0 || dx == 0)
  {
    const bool horizontal = dy == 0;
    const int64_t fixed = horizontal ? y1 : x1;
    if (fixed < 0 || fixed >= (horizontal ? height : width)) return;
    int64_t lo = horizontal ? (x1 < x2 ? x1 : x2) : (y1 < y2 ? y1 : y2);
    int64_t hi = horizontal ? (x1 < x2 ? x2 : x1) : (y1 < y2 ? y2 : y1);
    if (lo < 0) lo = 0;
    const int64_t limit = (horizontal ? width : height) - 1;
    if (hi > limit) hi = limit;
    for (int64_t v = lo; v <= hi; ++v)
      horizontal ? plot.main((int)v, (int)fixed) : plot.main((int)fixed, (int)v);
    return;
  }
  if (adx == ady)
  {
    // Walk with x increasing; the y direction follows.
    const int64_t sx = x1 < x2 ? x1 : x2, sy = x1 < x2 ? y1 : y2;
    const int64_t stepY = ((x1 < x2) == (y1 < y2)) ? 1 : -1;
    int64_t i0 = 0, i1 = adx;
    if (sx < 0) i0 = -sx;
    if (sx + i1 > width - 1) i1 = width - 1 - sx;
    if (stepY > 0)
    {
      if (sy + i0 < 0) i0 = -sy;
      if (sy + i1 > height - 1) i1 = height - 1 - sy;
    }
    else
    {
      if (sy - i0 > height - 1) i0 = sy - (height - 1);
      if (sy - i1 < 0) i1 = sy;
    }
    for (int64_t i = i0; i <= i1; ++i) plot.main((int)(sx + i), (int)(sy + stepY * i));
    return;
  }

  // General slope: step along the major axis, minor position in 16.16. End A has the smaller
  // major coordinate; each end walks half-way, so the two halves mirror each other.
  const bool xMajor = adx > ady;
  int64_t ma = xMajor ? x1 : y1, na = xMajor ? y1 : x1, mb = xMajor ? x2 : y2, nb = xMajor ? y2 : x2;
  if (ma > mb)
  {
    int64_t t = ma;
    ma = mb;
    mb = t;
    t = na;
    na = nb;
    nb = t;
  }
  const int64_t len = mb - ma;
  const int64_t dmin = nb - na;
  const int64_t smin = dmin < 0 ? -1 : 1;
  const int64_t slope = ((dmin < 0 ? -dmin : dmin) << 16) / len;  // < 65536
  const int64_t count = len + 1;
  const int64_t countA = (count + 1) / 2, countB = count - countA;
  const int64_t limit = (xMajor ? width : height) - 1;
  const int w = plot.pen.w;

  for (int side = 0; side < 2; ++side)
  {
    const int64_t m0 = side ? mb : ma, n0 = side ? nb : na;
    const int64_t dm = side ? -1 : 1, dn = side ? -smin : smin;
    int64_t iLo = 0, iHi = (side ? countB : countA) - 1;
    // Keep the major coordinate m0 + dm * i inside 0..limit.
    if (dm > 0)
    {
      if (-m0 > iLo) iLo = -m0;
      if (limit - m0 < iHi) iHi = limit - m0;
    }
    else
    {
      if (m0 - limit > iLo) iLo = m0 - limit;
      if (m0 < iHi) iHi = m0;
    }
    for (int64_t i = iLo; i <= iHi; ++i)
    {
      const int64_t m = m0 + dm * i;
      if (i == 0)
      {
        Raster_WalkPut(plot, xMajor, m, n0, w, true);  // end points at the line's own weight
        continue;
      }
      if (!aa)
      {
        const int64_t off = (i * slope + 0x8000) >> 16;
        Raster_WalkPut(plot, xMajor, m, n0 + dn * off, w, true);
      }
      else
      {
        const int64_t pos = (n0 << 16) + dn * i * slope;
        const int64_t nearPix = pos >> 16;
        const int f8 = (int)((pos >> 8) & 0xFF);
        Raster_WalkPut(plot, xMajor, m, nearPix, ((255 - f8) * w) >> 8, false);
        Raster_WalkPut(plot, xMajor, m, nearPix + 1, (f8 * w) >> 8, false);
      }
    }
  }
}

template <class P>
void Raster_WalkFLine(const P& plot, float x1, float y1, float x2, float y2, bool aa, bool skipFirst)
{
  const int64_t X1 = std::llround((double)Raster_SaneCoord(x1) * 65536.0);
  const int64_t Y1 = std::llround((double)Raster_SaneCoord(y1) * 65536.0);
  const int64_t X2 = std::llround((double)Raster_SaneCoord(x2) * 65536.0);
  const int64_t Y2 = std::llround((double)Raster_SaneCoord(y2) * 65536.0);
  const int64_t adx = X2 > X1 ? X2 - X1 : X1 - X2, ady = Y2 > Y1 ? Y2 - Y1 : Y1 - Y2;
  const bool xMajor = adx >= ady;
  int64_t M1 = xMajor ? X1 : Y1, N1 = xMajor ? Y1 : X1, M2 = xMajor ? X2 : Y2, N2 = xMajor ? Y2 : X2;
  const int64_t skipM = (M1 + 0x8000) >> 16;
  const int w = plot.pen.w;
  if (M1 > M2)
  {
    int64_t t = M1;
    M1 = M2;
    M2 = t;
    t = N1;
    N1 = N2;
    N2 = t;
  }
  int64_t mLo = (M1 + 0x8000) >> 16, mHi = (M2 + 0x8000) >> 16;
  if (M1 == M2)
  {
    if (!skipFirst) Raster_WalkPut(plot, xMajor, mLo, (N1 + 0x8000) >> 16, w, true);
    return;
  }
  const int64_t slope = ((N2 - N1) * 65536) / (M2 - M1);  // |slope| <= 65536
  const int64_t limit = (xMajor ? plot.pen.width : plot.pen.height) - 1;
  if (mLo < 0) mLo = 0;
  if (mHi > limit) mHi = limit;
  for (int64_t m = mLo; m <= mHi; ++m)
  {
    if (skipFirst && m == skipM) continue;
    const int64_t n = N1 + (((m << 16) - M1) * slope >> 16);
    if (!aa)
      Raster_WalkPut(plot, xMajor, m, (n + 0x8000) >> 16, w, true);
    else
    {
      const int f8 = (int)((n >> 8) & 0xFF);
      Raster_WalkPut(plot, xMajor, m, n >> 16, ((255 - f8) * w) >> 8, false);
      Raster_WalkPut(plot, xMajor, m, (n >> 16) + 1, (f8 * w) >> 8, false);
    }
  }
}
