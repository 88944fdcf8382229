// Circles, filled circles, arcs and rounded rectangles.
//
// Small circles (radius 1.5 to 4 in half steps) are stamped from built-in masks; every other
// radius goes through the circle drawer, which walks one octant with integer tests and mirrors
// it. Both work around the rounded centre, so a circle is symmetric in x and y.
#include "Raster_CircleMasks.h"
#include "Raster_Rect.h"
#include "Raster_Vector.h"
#include "Raster_VectorCommon.h"

#include <cmath>
#include <type_traits>

namespace
{
const double kPi = 3.14159265358979323846;

// The distinct offsets among (+-a, +-b) and (+-b, +-a), each passed to f once, so that a pixel
// on an axis or a diagonal is not blended twice.
template <class F>
inline void Sym8(int64_t a, int64_t b, const F& f)
{
  auto four = [&](int64_t p, int64_t q) {
    f(p, q);
    if (p) f(-p, q);
    if (q) f(p, -q);
    if (p && q) f(-p, -q);
  };
  four(a, b);
  if (a != b) four(b, a);
}

template <class P>
inline void PutAt(const P& plot, int64_t x, int64_t y, int w, bool full)
{
  if (x < 0 || y < 0 || x >= plot.pen.width || y >= plot.pen.height) return;
  if (full)
    plot.main((int)x, (int)y);
  else
    plot.part((int)x, (int)y, w);
}

// Coverage 0..255 of a mask cell -> weight; full coverage keeps the pen's own weight (and with
// it the whole-word classes).
template <class P>
void StampMask(const P& plot, int64_t cx, int64_t cy, const Raster_CircleMask& m, const uint8_t* cells)
{
  const int n = 2 * m.half + 1;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i)
    {
      const int v = cells[j * n + i];
      if (v) PutAt(plot, cx + i - m.half, cy + j - m.half, (v * plot.pen.w) >> 8, v == 255);
    }
}
}  // namespace

// The circle drawer: outline points or fill spans of the circle of radius r around the integer
// centre (cx, cy). Aliased outlines take, per step along the flat octant, the pixel nearest the
// ideal circle (midpoint test 4 dx^2 + (2 dy - 1)^2 > 4 r^2, in 1/256 units); aliased fills
// cover the pixel centres within r + 1/2. Anti-aliased outlines split each step between the two
// pixels around the ideal circle; anti-aliased fills shade a one-pixel fringe by distance.
// Every pixel is drawn once; the plotter clips to the bitmap.
struct Raster_CircleDrawer
{
  // The octant steps dx that can land inside the bitmap. Every point of step dx lies at +-dx
  // from the centre in x or in y, so only steps within the bitmap's range of column distances
  // or of row distances can show: at most two intervals (large circles crossing a small bitmap
  // stay cheap). Returns the number of intervals.
  template <class P>
  static int visibleSteps(const P& plot, int64_t cx, int64_t cy, int64_t lo[2], int64_t hi[2])
  {
    auto range = [](int64_t c, int64_t size, int64_t& closest, int64_t& farthest) {
      closest = c < 0 ? -c : (c > size - 1 ? c - (size - 1) : 0);
      const int64_t a = c < 0 ? -c : c, b = (size - 1 - c) < 0 ? c - (size - 1) : size - 1 - c;
      farthest = a > b ? a : b;
    };
    range(cx, plot.pen.width, lo[0], hi[0]);
    range(cy, plot.pen.height, lo[1], hi[1]);
    for (int i = 0; i < 2; ++i)
    {
      lo[i] = lo[i] > 0 ? lo[i] - 1 : 0;
      ++hi[i];
    }
    if (lo[1] < lo[0])
    {
      int64_t t = lo[0];
      lo[0] = lo[1];
      lo[1] = t;
      t = hi[0];
      hi[0] = hi[1];
      hi[1] = t;
    }
    if (lo[1] <= hi[0] + 1)
    {
      if (hi[1] > hi[0]) hi[0] = hi[1];
      return 1;
    }
    return 2;
  }

  template <class P>
  static void outline(const P& plot, int64_t cx, int64_t cy, double r, bool aa)
  {
    const int w = plot.pen.w;
    int64_t lo[2], hi[2];
    const int intervals = visibleSteps(plot, cx, cy, lo, hi);
    for (int k = 0; k < intervals; ++k)
    {
      if (!aa)
      {
        const int64_t r4 = std::llround(4.0 * r * r * 256.0);
        const double rest = r * r - (double)lo[k] * lo[k];
        int64_t dy = (int64_t)std::ceil(r) + 1;
        if (lo[k] > 0 && rest > 0.0) dy = (int64_t)std::ceil(std::sqrt(rest)) + 2;
        for (int64_t dx = lo[k]; dx <= hi[k]; ++dx)
        {
          while (dy > 0 && (4 * dx * dx + (2 * dy - 1) * (2 * dy - 1)) * 256 > r4) --dy;
          if (dx > dy) break;
          Sym8(dx, dy, [&](int64_t p, int64_t q) { PutAt(plot, cx + p, cy + q, w, true); });
        }
        continue;
      }
      for (int64_t dx = lo[k]; dx <= hi[k]; ++dx)
      {
        const double rest = r * r - (double)dx * dx;
        if (rest < 0.0) break;
        const double y = std::sqrt(rest);
        if ((double)dx > y) break;
        const int64_t nearPix = (int64_t)y;
        int f8 = (int)((y - (double)nearPix) * 256.0);
        if (f8 > 255) f8 = 255;
        const int wNear = ((255 - f8) * w) >> 8, wFar = (f8 * w) >> 8;
        Sym8(dx, nearPix, [&](int64_t p, int64_t q) { PutAt(plot, cx + p, cy + q, wNear, false); });
        if (wFar) Sym8(dx, nearPix + 1, [&](int64_t p, int64_t q) { PutAt(plot, cx + p, cy + q, wFar, false); });
      }
    }
  }

  template <class P>
  static void fill(const P& plot, int64_t cx, int64_t cy, double r, bool aa)
  {
    // Aliased: pixel centres within r + 1/2. Anti-aliased: full within r, then coverage
    // r + 1 - d falling to 0 at r + 1, the same in every direction.
    const double outer = aa ? r + 1.0 : r + 0.5;
    const int64_t K = (int64_t)std::floor(outer);
    // Only rows inside the bitmap are visited.
    int64_t yLo = -K, yHi = K;
    if (cy + yLo < 0) yLo = -cy;
    if (cy + yHi > plot.pen.height - 1) yHi = plot.pen.height - 1 - cy;
    const int64_t q256 = std::llround(outer * outer * 256.0);
    for (int64_t y = yLo; y <= yHi; ++y)
    {
      const int64_t row = cy + y;
      if (!aa)
      {
        const double rest = outer * outer - (double)y * y;
        int64_t hw = (int64_t)std::sqrt(rest > 0.0 ? rest : 0.0);
        while ((hw + 1) * (hw + 1) * 256 + y * y * 256 <= q256) ++hw;
        while (hw >= 0 && (hw * hw + y * y) * 256 > q256) --hw;
        if (hw >= 0) Span(plot, cx - hw, cx + hw, row);
        continue;
      }
      const double yy = (double)y * y;
      const int64_t kf = yy <= r * r ? (int64_t)std::sqrt(r * r - yy) : -1;  // |x| <= kf: full
      if (kf >= 0) Span(plot, cx - kf, cx + kf, row);
      const double restOut = outer * outer - yy;
      const int64_t ko = restOut > 0.0 ? (int64_t)std::sqrt(restOut) : -1;
      for (int64_t x = kf + 1; x <= ko; ++x)
      {
        int c8 = (int)((outer - std::sqrt((double)x * x + yy)) * 256.0);
        if (c8 <= 0) continue;
        if (c8 > 255) c8 = 255;
        const int wEdge = (c8 * plot.pen.w) >> 8;
        PutAt(plot, cx + x, row, wEdge, false);
        if (x != 0) PutAt(plot, cx - x, row, wEdge, false);
      }
    }
  }

  template <class P>
  static void Span(const P& plot, int64_t x0, int64_t x1, int64_t y)
  {
    if (x0 < 0) x0 = 0;
    if (x1 > plot.pen.width - 1) x1 = plot.pen.width - 1;
    if (x0 > x1) return;
    plot.span((int)x0, (int)x1, (int)y);
  }
};

namespace
{
// Shared set-up of the circle calls: false when nothing is to be drawn.
bool CircleSetup(Raster_Pen& pen, Raster_IBitmap* bmp, float& cx, float& cy, float r, uint32_t color, float weight,
                 int mode)
{
  if (!(r >= 0.0f)) return false;  // negative radius or NaN
  if (!Raster_PenInit(pen, bmp, color, weight, mode, kRasterPen_ColourAlpha)) return false;
  cx = Raster_SaneCoord(cx);
  cy = Raster_SaneCoord(cy);
  const double rr = r;
  // More than 2 pixels outside the bitmap: nothing of it can show.
  return !(cx + rr < -2.0 || cx - rr > pen.width + 1.0 || cy + rr < -2.0 || cy - rr > pen.height + 1.0);
}

double SaneRadius(float r)
{
  const double kMax = 16777216.0;
  return r > kMax ? kMax : (double)r;
}
}  // namespace

void Raster_Circle(Raster_IBitmap* bmp, float cx, float cy, float r, uint32_t color, float weight, int mode, bool aa)
{
  Raster_Pen pen;
  if (!CircleSetup(pen, bmp, cx, cy, r, color, weight, mode)) return;
  const int64_t icx = std::lround(cx), icy = std::lround(cy);
  const Raster_CircleMask* mask = Raster_FindCircleMask(r);
  Raster_WithPlotter(pen, false, [&](const auto& plot) {
    if (mask)
      StampMask(plot, icx, icy, *mask, aa ? mask->outlineAA : mask->outline);
    else
      Raster_CircleDrawer::outline(plot, icx, icy, SaneRadius(r), aa);
  });
}

void Raster_FillCircle(Raster_IBitmap* bmp, float cx, float cy, float r, uint32_t color, float weight, int mode, bool aa)
{
  Raster_Pen pen;
  if (!CircleSetup(pen, bmp, cx, cy, r, color, weight, mode)) return;
  const int64_t icx = std::lround(cx), icy = std::lround(cy);
  const Raster_CircleMask* mask = Raster_FindCircleMask(r);
  Raster_WithPlotter(pen, true, [&](const auto& plot) {
    if (mask)
      StampMask(plot, icx, icy, *mask, aa ? mask->fillAA : mask->fill);
    else
      Raster_CircleDrawer::fill(plot, icx, icy, SaneRadius(r), aa);
  });
}

namespace
{
struct ArcBox
{
  int64_t x0, y0, x1, y1;  // inclusive offsets from the centre
};

// Passes on only the pixels inside one of the pieces' boxes; each pixel of the circle arrives
// once, so pieces that share an edge do not blend it twice.
template <class P>
struct ArcFilter
{
  const P& inner;
  const Raster_Pen& pen;
  int64_t cx, cy;
  const ArcBox* boxes;
  int count;

  bool wanted(int x, int y) const
  {
    const int64_t dx = x - cx, dy = y - cy;
    for (int i = 0; i < count; ++i)
      if (dx >= boxes[i].x0 && dx <= boxes[i].x1 && dy >= boxes[i].y0 && dy <= boxes[i].y1) return true;
    return false;
  }
  void main(int x, int y) const
  {
    if (wanted(x, y)) inner.main(x, y);
  }
  void part(int x, int y, int w) const
  {
    if (wanted(x, y)) inner.part(x, y, w);
  }
};
}  // namespace

void Raster_Arc(Raster_IBitmap* bmp, float cx, float cy, float r, float startAngle, float endAngle, uint32_t color,
                float weight, int mode, bool aa)
{
  if (!std::isfinite(startAngle) || !std::isfinite(endAngle)) return;
  double a0 = startAngle, a1 = endAngle;
  if (a1 < a0)
  {
    const double t = a0;
    a0 = a1;
    a1 = t;
  }
  if (a1 - a0 >= 2.0 * kPi)
  {
    Raster_Circle(bmp, cx, cy, r, color, weight, mode, aa);
    return;
  }
  Raster_Pen pen;
  if (!CircleSetup(pen, bmp, cx, cy, r, color, weight, mode)) return;
  const double rr = SaneRadius(r);
  const int64_t icx = std::lround(cx), icy = std::lround(cy);

  // Cut the span at quarter turns; each piece keeps the part of the circle inside the box
  // spanned by its two end points. A box side on the circle's extreme grows by one pixel so
  // that the anti-aliased fringe outside the ideal circle stays.
  ArcBox boxes[6];
  int count = 0;
  const double quarter = kPi / 2.0;
  double a = a0;
  while (a < a1 && count < 6)
  {
    double next = (std::floor(a / quarter) + 1.0) * quarter;
    if (next <= a) next = a + quarter;  // a already on a boundary that rounding put below it
    if (next > a1) next = a1;
    const double px0 = rr * std::sin(a), py0 = -rr * std::cos(a);
    const double px1 = rr * std::sin(next), py1 = -rr * std::cos(next);
    ArcBox& b = boxes[count++];
    b.x0 = (int64_t)std::floor((px0 < px1 ? px0 : px1) + 0.5);
    b.x1 = (int64_t)std::floor((px0 < px1 ? px1 : px0) + 0.5);
    b.y0 = (int64_t)std::floor((py0 < py1 ? py0 : py1) + 0.5);
    b.y1 = (int64_t)std::floor((py0 < py1 ? py1 : py0) + 0.5);
    if (aa)
    {
      const double edge = rr - 0.5;
      if (-(double)b.x0 >= edge) --b.x0;
      if ((double)b.x1 >= edge) ++b.x1;
      if (-(double)b.y0 >= edge) --b.y0;
      if ((double)b.y1 >= edge) ++b.y1;
    }
    a = next;
  }
  Raster_WithPlotter(pen, false, [&](const auto& plot) {
    ArcFilter<std::decay_t<decltype(plot)>> filter{plot, pen, icx, icy, boxes, count};
    Raster_CircleDrawer::outline(filter, icx, icy, rr, aa);
  });
}

void Raster_RoundRect(Raster_IBitmap* bmp, float x, float y, float w, float h, float cornerRadius, uint32_t color,
                      float weight, int mode, bool aa)
{
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(w) || !std::isfinite(h) || !std::isfinite(cornerRadius))
    return;
  double m = cornerRadius;
  if (w / 2.0 < m) m = w / 2.0;
  if (h / 2.0 < m) m = h / 2.0;
  const float r = (float)std::floor(m);
  auto X = [](double v) { return Raster_RoundCoord((float)v); };
  if (r < 2.0f)
  {
    const int x0 = X(x), y0 = X(y);
    Raster_DrawRect(bmp, x0, y0, X((double)x + w) - x0, X((double)y + h) - y0, color, weight, mode);
    return;
  }
  Raster_Line(bmp, X(x + r), X(y), X((double)x + w - r), X(y), color, weight, mode, aa);
  Raster_Line(bmp, X(x + r - 1), X((double)y + h), X((double)x + w - r), X((double)y + h), color, weight, mode, aa);
  Raster_Line(bmp, X((double)x + w), X(y + r), X((double)x + w), X((double)y + h - r), color, weight, mode, aa);
  Raster_Line(bmp, X(x), X(y + r - 1), X(x), X((double)y + h - r), color, weight, mode, aa);
  const float q = (float)(kPi / 2.0);
  Raster_Arc(bmp, x + r, y + r, r, -q, 0.0f, color, weight, mode, aa);
  Raster_Arc(bmp, x + w - r, y + r, r, 0.0f, q, color, weight, mode, aa);
  Raster_Arc(bmp, x + w - r, y + h - r, r, q, 2.0f * q, color, weight, mode, aa);
  Raster_Arc(bmp, x + r, y + h - r, r, 2.0f * q, 3.0f * q, color, weight, mode, aa);
}
