// Area fills: trapezoids, convex polygons (also sampled for smooth small shapes) and triangles.
//
// Each row is filled once between its left and right edge. Edges advance in 16.16 fixed point
// from their upper vertex (x = x_top + row x step, the step truncated), and the row's ends are
// rounded to the nearest pixel. Fills pass (R, G, B, w) to the combine class like
// Raster_FillRect and use the whole-word classes for copy at w = 64, 128, 192 and 256.
#include "Raster_Fill.h"
#include "Raster_Vector.h"
#include "Raster_VectorCommon.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace
{
// x of the edge (xa, ya)-(xb, yb) at row y, for ya < yb and ya <= y <= yb, in 16.16.
inline int64_t EdgeX(int64_t xa, int64_t ya, int64_t xb, int64_t yb, int64_t y)
{
  const int64_t step = ((xb - xa) * 65536) / (yb - ya);
  return xa * 65536 + step * (y - ya);
}

inline int64_t RoundFixed(int64_t v) { return (v + 0x8000) >> 16; }

template <class P>
inline void ClippedSpan(const P& plot, int64_t x0, int64_t x1, int64_t y)
{
  if (x0 > x1)
  {
    const int64_t t = x0;
    x0 = x1;
    x1 = t;
  }
  if (y < 0 || y >= plot.pen.height || x1 < 0 || x0 >= plot.pen.width) return;
  plot.span((int)(x0 < 0 ? 0 : x0), (int)(x1 >= plot.pen.width ? plot.pen.width - 1 : x1), (int)y);
}
}  // namespace

void Raster_FillTrapezoid(Raster_IBitmap* bmp, int x1a, int x1b, int y1, int x2a, int x2b, int y2, uint32_t color,
                          float weight, int mode)
{
  Raster_Pen pen;
  if (!Raster_PenInit(pen, bmp, color, weight, mode, kRasterPen_WeightAlpha)) return;
  int64_t ta = x1a, tb = x1b, ty = y1, ba = x2a, bb = x2b, by = y2;
  if (ty > by)
  {
    int64_t t = ta;
    ta = ba;
    ba = t;
    t = tb;
    tb = bb;
    bb = t;
    t = ty;
    ty = by;
    by = t;
  }
  int64_t yLo = ty < 0 ? 0 : ty, yHi = by > pen.height - 1 ? pen.height - 1 : by;
  Raster_WithPlotter(pen, true, [&](const auto& plot) {
    if (ty == by)
    {
      int64_t lo = ta, hi = ta;
      for (int64_t v : {tb, ba, bb})
      {
        lo = v < lo ? v : lo;
        hi = v > hi ? v : hi;
      }
      ClippedSpan(plot, lo, hi, ty);
      return;
    }
    for (int64_t y = yLo; y <= yHi; ++y)
      ClippedSpan(plot, RoundFixed(EdgeX(ta, ty, ba, by, y)), RoundFixed(EdgeX(tb, ty, bb, by, y)), y);
  });
}

void Raster_FillConvexPolygon(Raster_IBitmap* bmp, const int* x, const int* y, int npoints, uint32_t color, float weight,
                              int mode)
{
  if (!x || !y || npoints < 1) return;
  Raster_Pen pen;
  if (!Raster_PenInit(pen, bmp, color, weight, mode, kRasterPen_WeightAlpha)) return;
  int64_t top = y[0], bottom = y[0];
  for (int i = 1; i < npoints; ++i)
  {
    top = y[i] < top ? y[i] : top;
    bottom = y[i] > bottom ? y[i] : bottom;
  }
  if (top < 0) top = 0;
  if (bottom > pen.height - 1) bottom = pen.height - 1;

  // Row by row, the left and right ends are the outermost crossings of the polygon's edges;
  // for a convex polygon these are exactly its left and right chains. A horizontal edge
  // contributes both of its ends.
  Raster_WithPlotter(pen, true, [&](const auto& plot) {
    for (int64_t row = top; row <= bottom; ++row)
    {
      int64_t lo = INT64_MAX, hi = INT64_MIN;
      for (int i = 0; i < npoints; ++i)
      {
        const int j = i + 1 < npoints ? i + 1 : 0;
        int64_t xa = x[i], ya = y[i], xb = x[j], yb = y[j];
        if (ya > yb)
        {
          int64_t t = xa;
          xa = xb;
          xb = t;
          t = ya;
          ya = yb;
          yb = t;
        }
        if (row < ya || row > yb) continue;
        int64_t e0, e1;
        if (ya == yb)
        {
          e0 = xa < xb ? xa : xb;
          e1 = xa < xb ? xb : xa;
        }
        else
          e0 = e1 = RoundFixed(EdgeX(xa, ya, xb, yb, row));
        lo = e0 < lo ? e0 : lo;
        hi = e1 > hi ? e1 : hi;
      }
      if (lo <= hi) ClippedSpan(plot, lo, hi, row);
    }
  });
}

void Raster_FillTriangle(Raster_IBitmap* bmp, int x1, int y1, int x2, int y2, int x3, int y3, uint32_t color, float weight,
                         int mode)
{
  const int xs[3] = {x1, x2, x3};
  const int ys[3] = {y1, y2, y3};
  Raster_FillConvexPolygon(bmp, xs, ys, 3, color, weight, mode);
}

void Raster_FillConvexPolygonAA(Raster_IBitmap* bmp, const double* x, const double* y, int npoints, uint32_t color)
{
  if (!bmp || !x || !y || npoints < 3 || bmp->getWidth() <= 0 || bmp->getHeight() <= 0) return;
  double area = 0.0, x0 = x[0], x1 = x[0], y0 = y[0], y1 = y[0];
  for (int i = 0; i < npoints; ++i)
  {
    if (!std::isfinite(x[i]) || !std::isfinite(y[i])) return;
    const int j = (i + 1) % npoints;
    area += x[i] * y[j] - x[j] * y[i];
    x0 = std::min(x0, x[i]);
    x1 = std::max(x1, x[i]);
    y0 = std::min(y0, y[i]);
    y1 = std::max(y1, y[i]);
  }
  // Inside is to the same side of every edge; the signed area tells which side that is.
  const double turn = area < 0.0 ? -1.0 : 1.0;
  const int top = (int)std::max(0.0, std::floor(y0)), bottom = (int)std::min(bmp->getHeight() - 1.0, std::ceil(y1));
  const int left = (int)std::max(0.0, std::floor(x0)), right = (int)std::min(bmp->getWidth() - 1.0, std::ceil(x1));
  for (int py = top; py <= bottom; ++py)
    for (int px = left; px <= right; ++px)
    {
      int inside = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx)
        {
          const double qx = px - 0.5 + (sx + 0.5) / 4.0, qy = py - 0.5 + (sy + 0.5) / 4.0;
          bool in = true;
          for (int i = 0; i < npoints && in; ++i)
          {
            const int j = (i + 1) % npoints;
            in = turn * ((x[j] - x[i]) * (qy - y[i]) - (y[j] - y[i]) * (qx - x[i])) >= 0.0;
          }
          inside += in;
        }
      if (!inside) continue;
      const uint32_t under = Raster_GetPixel(bmp, px, py);
      uint32_t mixed = 0xFF000000;
      for (int shift = 0; shift < 24; shift += 8)
      {
        const int d = (int)((under >> shift) & 0xFF), c = (int)((color >> shift) & 0xFF);
        mixed |= (uint32_t)((d * (16 - inside) + c * inside + 8) / 16) << shift;
      }
      Raster_PutPixel(bmp, px, py, mixed, 1.0f, 0);
    }
}
