// Quadratic and cubic Bezier curves, and the areas between a cubic curve and a base line.
//
// A curve becomes a polyline of n segments at evenly spaced parameters, n proportional to the
// length of the control polygon divided by the tolerance. Outlines draw the segments as float
// lines with every joint drawn once; fills take the polyline column by column (or row by row for
// the X form) and fill between the curve and the base line.
#include "Raster_Vector.h"
#include "Raster_VectorCommon.h"

#include <cmath>
#include <utility>
#include <vector>

namespace
{
// Enough for a curve across a large bitmap at sub-pixel tolerance; bounds the work for absurd
// control points or tolerances.
const int kMaxSegments = 4096;

struct Pt
{
  double x, y;
};

int SegmentCount(const Pt* p, int n, float tolerance)
{
  double len = 0.0;
  for (int i = 1; i < n; ++i) len += std::hypot(p[i].x - p[i - 1].x, p[i].y - p[i - 1].y);
  // A tolerance of zero, below zero or NaN would ask for unbounded work: take one pixel.
  const double tol = (tolerance > 0.01f) ? (double)tolerance : 1.0;
  const double segs = std::ceil(len / tol);
  if (!(segs >= 1.0)) return 1;
  return segs > kMaxSegments ? kMaxSegments : (int)segs;
}

Pt Eval(const Pt* p, int order, double t)
{
  const double u = 1.0 - t;
  if (order == 3)
    return {u * u * p[0].x + 2 * u * t * p[1].x + t * t * p[2].x, u * u * p[0].y + 2 * u * t * p[1].y + t * t * p[2].y};
  const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
  return {a * p[0].x + b * p[1].x + c * p[2].x + d * p[3].x, a * p[0].y + b * p[1].y + c * p[2].y + d * p[3].y};
}

bool Finite(const Pt* p, int n)
{
  for (int i = 0; i < n; ++i)
    if (!std::isfinite(p[i].x) || !std::isfinite(p[i].y)) return false;
  return true;
}

// Clamp a polyline point into the range the walkers take.
Pt Sane(Pt q) { return {Raster_SaneCoord((float)q.x), Raster_SaneCoord((float)q.y)}; }

void DrawCurve(Raster_IBitmap* bmp, const Pt* ctrl, int order, uint32_t color, float weight, int mode, bool aa, float tolerance)
{
  if (!Finite(ctrl, order)) return;
  Raster_Pen pen;
  if (!Raster_PenInit(pen, bmp, color, weight, mode, kRasterPen_ColourAlpha)) return;
  const int n = SegmentCount(ctrl, order, tolerance);
  Raster_WithPlotter(pen, false, [&](const auto& plot) {
    Pt prev = Sane(ctrl[0]);
    for (int i = 1; i <= n; ++i)
    {
      const Pt cur = Sane(i == n ? ctrl[order - 1] : Eval(ctrl, order, (double)i / n));
      Raster_WalkFLine(plot, (float)prev.x, (float)prev.y, (float)cur.x, (float)cur.y, aa, i > 1);
      prev = cur;
    }
  });
}

// Fills, for every column whose centre the polyline passes over, the rows between the curve and
// the base line (the union when the curve passes a column more than once). With `transpose` the
// roles of x and y are swapped (rows and a vertical base line).
void FillCurve(Raster_IBitmap* bmp, const Pt* ctrlIn, double base, bool transpose, uint32_t color, float weight, int mode,
               float tolerance)
{
  if (!Finite(ctrlIn, 4) || !std::isfinite(base)) return;
  Raster_Pen pen;
  if (!Raster_PenInit(pen, bmp, color, weight, mode, kRasterPen_WeightAlpha)) return;
  Pt ctrl[4];
  for (int i = 0; i < 4; ++i) ctrl[i] = transpose ? Pt{ctrlIn[i].y, ctrlIn[i].x} : ctrlIn[i];
  base = Raster_SaneCoord((float)base);
  const int columns = transpose ? pen.height : pen.width;
  const int rows = transpose ? pen.width : pen.height;

  const int n = SegmentCount(ctrl, 4, tolerance);
  std::vector<Pt> pts((size_t)n + 1);
  for (int i = 0; i <= n; ++i) pts[i] = Sane(i == n ? ctrl[3] : Eval(ctrl, 4, (double)i / n));

  std::vector<double> lo((size_t)columns, HUGE_VAL), hi((size_t)columns, -HUGE_VAL);
  for (int i = 0; i < n; ++i)
  {
    Pt a = pts[i], b = pts[i + 1];
    if (a.x > b.x) std::swap(a, b);
    int64_t c0 = (int64_t)std::ceil(a.x), c1 = (int64_t)std::floor(b.x);
    if (c0 < 0) c0 = 0;
    if (c1 > columns - 1) c1 = columns - 1;
    for (int64_t c = c0; c <= c1; ++c)
    {
      const double y = (b.x == a.x) ? a.y : a.y + (b.y - a.y) * (((double)c - a.x) / (b.x - a.x));
      const double y0 = y < base ? y : base, y1 = y < base ? base : y;
      if (b.x == a.x)  // vertical segment: both ends count
      {
        const double e0 = a.y < b.y ? a.y : b.y, e1 = a.y < b.y ? b.y : a.y;
        lo[c] = std::fmin(lo[c], std::fmin(e0, base));
        hi[c] = std::fmax(hi[c], std::fmax(e1, base));
      }
      lo[c] = std::fmin(lo[c], y0);
      hi[c] = std::fmax(hi[c], y1);
    }
  }

  Raster_WithPlotter(pen, true, [&](const auto& plot) {
    for (int c = 0; c < columns; ++c)
    {
      if (!(lo[c] <= hi[c])) continue;
      int64_t r0 = (int64_t)std::floor(lo[c] + 0.5), r1 = (int64_t)std::floor(hi[c] + 0.5);
      if (r0 < 0) r0 = 0;
      if (r1 > rows - 1) r1 = rows - 1;
      if (transpose)
      {
        if (r0 <= r1) plot.span((int)r0, (int)r1, c);
      }
      else
        for (int64_t r = r0; r <= r1; ++r) plot.main(c, (int)r);
    }
  });
}
}  // namespace

void Raster_DrawQBezier(Raster_IBitmap* bmp, float x1, float y1, float x2, float y2, float x3, float y3, uint32_t color,
                        float weight, int mode, bool aa, float tolerance)
{
  const Pt p[3] = {{x1, y1}, {x2, y2}, {x3, y3}};
  DrawCurve(bmp, p, 3, color, weight, mode, aa, tolerance);
}

void Raster_DrawCBezier(Raster_IBitmap* bmp, float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                        uint32_t color, float weight, int mode, bool aa, float tolerance)
{
  const Pt p[4] = {{x1, y1}, {x2, y2}, {x3, y3}, {x4, y4}};
  DrawCurve(bmp, p, 4, color, weight, mode, aa, tolerance);
}

void Raster_FillCBezier(Raster_IBitmap* bmp, float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                        float baseY, uint32_t color, float weight, int mode, float tolerance)
{
  const Pt p[4] = {{x1, y1}, {x2, y2}, {x3, y3}, {x4, y4}};
  FillCurve(bmp, p, baseY, false, color, weight, mode, tolerance);
}

void Raster_FillCBezierX(Raster_IBitmap* bmp, float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                         float baseX, uint32_t color, float weight, int mode, float tolerance)
{
  const Pt p[4] = {{x1, y1}, {x2, y2}, {x3, y3}, {x4, y4}};
  FillCurve(bmp, p, baseX, true, color, weight, mode, tolerance);
}
