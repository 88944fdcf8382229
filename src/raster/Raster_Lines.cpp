// Lines: integer, float, wide and dashed, plain or anti-aliased, and segment clipping.
#include "Raster_Vector.h"
#include "Raster_VectorCommon.h"

#include <algorithm>
#include <cmath>

bool Raster_PenInit(Raster_Pen& pen, Raster_IBitmap* bmp, uint32_t color, float weight, int mode, E_RasterPenSource source)
{
  if (!bmp) return false;
  uint32_t* bits = bmp->getBits();
  const int width = bmp->getWidth(), height = bmp->getHeight(), span = bmp->getRowSpan();
  if (!bits || width <= 0 || height <= 0 || span < width) return false;
  const int op = mode & kRasterOp_Mask;
  if (op > kRasterOp_HSVAdjust) return false;
  pen.wordWeight = (mode & (kRasterOp_Mask | kRasterMode_SourceAlpha)) == 0 &&
                   (weight == 1.0f || weight == 0.5f || weight == 0.25f || weight == 0.75f);
  if (mode & kRasterMode_SourceAlpha) weight *= (float)((color >> 24) / 255.0);  // as Raster_FillRect
  const int w = Raster_WeightToInt(weight);
  if (w == 0) return false;

  pen.bits = bits;
  pen.width = width;
  pen.height = height;
  pen.span = span;
  pen.flipped = bmp->isFlipped();
  pen.color = color;
  pen.r = Raster_PixelR(color);
  pen.g = Raster_PixelG(color);
  pen.b = Raster_PixelB(color);
  if (source == kRasterPen_ColourAlpha)
    pen.a = Raster_PixelA(color);
  else
    // Area fills pass the weight as alpha, like Raster_FillRect. HSV adjust stores that value
    // as the alpha byte, where 256 would wrap to 0: it gets 255.
    pen.a = (op == kRasterOp_HSVAdjust && w > 255) ? 255 : w;
  pen.w = w;
  pen.op = op;
  return true;
}

// Liang-Barsky: the parameter range [t0, t1] of the segment that stays inside the box.
static bool ClipParams(double x1, double y1, double x2, double y2, double xmin, double ymin, double xmax, double ymax,
                       double& t0, double& t1)
{
  if (!(xmin <= xmax) || !(ymin <= ymax)) return false;
  const double dx = x2 - x1, dy = y2 - y1;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x1 - xmin, xmax - x1, y1 - ymin, ymax - y1};
  t0 = 0.0;
  t1 = 1.0;
  for (int k = 0; k < 4; ++k)
  {
    if (p[k] == 0.0)
    {
      if (q[k] < 0.0) return false;  // parallel to this edge and outside it
      continue;
    }
    const double t = q[k] / p[k];
    if (p[k] < 0.0)
    {
      if (t > t0) t0 = t;
    }
    else if (t < t1)
      t1 = t;
    if (t0 > t1) return false;
  }
  return true;
}

static int ClampToRange(double v, int lo, int hi)
{
  const double r = std::floor(v + 0.5);
  return r < lo ? lo : (r > hi ? hi : (int)r);
}

bool Raster_ClipLine(int* x1, int* y1, int* x2, int* y2, int xmin, int ymin, int xmax, int ymax)
{
  if (!x1 || !y1 || !x2 || !y2) return false;
  double t0, t1;
  const double ax = *x1, ay = *y1, bx = *x2, by = *y2;
  if (!ClipParams(ax, ay, bx, by, xmin, ymin, xmax, ymax, t0, t1)) return false;
  // Untouched end points stay exact; moved ones round to the nearest pixel inside the box.
  if (t0 > 0.0)
  {
    *x1 = ClampToRange(ax + t0 * (bx - ax), xmin, xmax);
    *y1 = ClampToRange(ay + t0 * (by - ay), ymin, ymax);
  }
  if (t1 < 1.0)
  {
    *x2 = ClampToRange(ax + t1 * (bx - ax), xmin, xmax);
    *y2 = ClampToRange(ay + t1 * (by - ay), ymin, ymax);
  }
  return true;
}

bool Raster_ClipFLine(float* x1, float* y1, float* x2, float* y2, float xmin, float ymin, float xmax, float ymax)
{
  if (!x1 || !y1 || !x2 || !y2) return false;
  const double ax = *x1, ay = *y1, bx = *x2, by = *y2;
  if (!std::isfinite(ax) || !std::isfinite(ay) || !std::isfinite(bx) || !std::isfinite(by)) return false;
  double t0, t1;
  if (!ClipParams(ax, ay, bx, by, xmin, ymin, xmax, ymax, t0, t1)) return false;
  auto clampf = [](double v, double lo, double hi) { return (float)(v < lo ? lo : (v > hi ? hi : v)); };
  if (t0 > 0.0)
  {
    *x1 = clampf(ax + t0 * (bx - ax), xmin, xmax);
    *y1 = clampf(ay + t0 * (by - ay), ymin, ymax);
  }
  if (t1 < 1.0)
  {
    *x2 = clampf(ax + t1 * (bx - ax), xmin, xmax);
    *y2 = clampf(ay + t1 * (by - ay), ymin, ymax);
  }
  return true;
}

bool Raster_ClipDLine(double* x1, double* y1, double* x2, double* y2, double xmin, double ymin, double xmax, double ymax)
{
  if (!x1 || !y1 || !x2 || !y2) return false;
  const double ax = *x1, ay = *y1, bx = *x2, by = *y2;
  if (!std::isfinite(ax) || !std::isfinite(ay) || !std::isfinite(bx) || !std::isfinite(by)) return false;
  double t0, t1;
  if (!ClipParams(ax, ay, bx, by, xmin, ymin, xmax, ymax, t0, t1)) return false;
  if (t0 > 0.0)
  {
    *x1 = ax + t0 * (bx - ax);
    *y1 = ay + t0 * (by - ay);
  }
  if (t1 < 1.0)
  {
    *x2 = ax + t1 * (bx - ax);
    *y2 = ay + t1 * (by - ay);
  }
  return true;
}

void Raster_Line(Raster_IBitmap* bmp, int x1, int y1, int x2, int y2, uint32_t color, float weight, int mode, bool aa)
{
  Raster_Pen pen;
  if (!Raster_PenInit(pen, bmp, color, weight, mode, kRasterPen_ColourAlpha)) return;
  // Clipping only decides whether anything is left: the walk itself keeps the unclipped
  // slope and skips what lies outside, so a partly visible line shows exactly the pixels it
  // would have in a larger bitmap.
  // The box has a one-pixel margin: a pixel may lie up to half a pixel off the ideal line, so
  // a line passing just outside the bitmap can still put pixels on its edge.
  int cx1 = x1, cy1 = y1, cx2 = x2, cy2 = y2;
  if (!Raster_ClipLine(&cx1, &cy1, &cx2, &cy2, -1, -1, pen.width, pen.height)) return;
  const bool straight = x1 == x2 || y1 == y2 || (int64_t)x2 - x1 == (int64_t)y2 - y1 || (int64_t)x2 - x1 == (int64_t)y1 - y2;
  Raster_WithPlotter(pen, straight && pen.wordWeight, [&](const auto& plot) { Raster_WalkLine(plot, x1, y1, x2, y2, aa, pen.width, pen.height); });
}

void Raster_FLine(Raster_IBitmap* bmp, float x1, float y1, float x2, float y2, uint32_t color, float weight, int mode, bool aa)
{
  Raster_Pen pen;
  if (!Raster_PenInit(pen, bmp, color, weight, mode, kRasterPen_ColourAlpha)) return;
  // A one-pixel margin keeps the anti-aliased fringe and the rounding at the edges.
  float cx1 = x1, cy1 = y1, cx2 = x2, cy2 = y2;
  if (!Raster_ClipFLine(&cx1, &cy1, &cx2, &cy2, -1.0f, -1.0f, (float)pen.width, (float)pen.height)) return;
  Raster_WithPlotter(pen, false, [&](const auto& plot) { Raster_WalkFLine(plot, cx1, cy1, cx2, cy2, aa, false); });
}

void Raster_DashedLine(Raster_IBitmap* bmp, int x1, int y1, int x2, int y2, int pixelsOn, int pixelsOff, uint32_t color,
                       float weight, int mode, bool aa)
{
  if (pixelsOn <= 0) return;
  if (pixelsOff <= 0)
  {
    Raster_Line(bmp, x1, y1, x2, y2, color, weight, mode, aa);
    return;
  }
  Raster_Pen pen;
  if (!Raster_PenInit(pen, bmp, color, weight, mode, kRasterPen_ColourAlpha)) return;
  int cx1 = x1, cy1 = y1, cx2 = x2, cy2 = y2;
  if (!Raster_ClipLine(&cx1, &cy1, &cx2, &cy2, -1, -1, pen.width, pen.height)) return;

  // One walk from (x1, y1), so the pattern starts there; pixel i is drawn when
  // i mod (on + off) < on.
  const int64_t dx = (int64_t)x2 - x1, dy = (int64_t)y2 - y1;
  const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  const bool xMajor = adx >= ady;
  const int64_t len = xMajor ? adx : ady;
  const int64_t dm = (xMajor ? dx : dy) < 0 ? -1 : 1;
  const int64_t dmin = xMajor ? dy : dx;
  const int64_t dn = dmin < 0 ? -1 : 1;
  const int64_t slope = len ? ((dmin < 0 ? -dmin : dmin) << 16) / len : 0;
  const int64_t m0 = xMajor ? x1 : y1, n0 = xMajor ? y1 : x1;
  const int64_t period = (int64_t)pixelsOn + pixelsOff;
  const int64_t limit = (xMajor ? pen.width : pen.height) - 1;
  int64_t iLo = 0, iHi = len;
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
  const bool exact = slope == 0 || slope == 65536;
  Raster_WithPlotter(pen, exact && pen.wordWeight, [&](const auto& plot) {
    const int w = pen.w;
    for (int64_t i = iLo; i <= iHi; ++i)
    {
      if (i % period >= pixelsOn) continue;
      const int64_t m = m0 + dm * i;
      if (!aa || exact || i == 0 || i == len)
        Raster_WalkPut(plot, xMajor, m, n0 + dn * ((i * slope + 0x8000) >> 16), w, true);
      else
      {
        const int64_t pos = (n0 << 16) + dn * i * slope;
        const int f8 = (int)((pos >> 8) & 0xFF);
        Raster_WalkPut(plot, xMajor, m, pos >> 16, ((255 - f8) * w) >> 8, false);
        Raster_WalkPut(plot, xMajor, m, (pos >> 16) + 1, (f8 * w) >> 8, false);
      }
    }
  });
}

void Raster_WideLine(Raster_IBitmap* bmp, double x1, double y1, double x2, double y2, float width, uint32_t color,
                     float weight, int mode, bool aa)
{
  // Widths beyond any picture are drawn as wide as a few thousand pixels.
  if (!(width <= 4096.0f)) width = std::isnan(width) ? 0.0f : 4096.0f;
  const double dx = x2 - x1, dy = y2 - y1, len = std::hypot(dx, dy);
  const int strands = std::max(1, (int)std::lround(width / 0.8));
  // The unit normal; a single point gets vertical strands.
  const double nx = len > 0.0 ? -dy / len : 0.0, ny = len > 0.0 ? dx / len : 1.0;
  const double spacing = strands > 1 ? (width - 1.0) / (strands - 1) : 0.0;
  for (int i = 0; i < strands; ++i)
  {
    const double o = (i - (strands - 1) / 2.0) * spacing;
    const float ox = (float)(o * nx), oy = (float)(o * ny);
    Raster_FLine(bmp, (float)x1 + ox, (float)y1 + oy, (float)x2 + ox, (float)y2 + oy, color, weight, mode, aa);
  }
}

void Raster_DashedPolyline::Toggle()
{
  mOn = !mOn;
  mLeft = mOn ? mOnLength : mOffLength;
}

void Raster_DashedPolyline::Segment(Raster_IBitmap* bmp, double x1, double y1, double x2, double y2, float width,
                                    uint32_t color, float weight, int mode, bool aa)
{
  if (!(mOnLength > 0.0)) return;
  if (!(mOffLength > 0.0))
  {
    Raster_WideLine(bmp, x1, y1, x2, y2, width, color, weight, mode, aa);
    return;
  }
  const double len = std::hypot(x2 - x1, y2 - y1);
  if (!(len > 0.0) || !std::isfinite(len)) return;
  double done = 0.0;
  for (;;)
  {
    const double step = std::min(mLeft, len - done);
    if (mOn)
    {
      const double end = done + step;
      Raster_WideLine(bmp, x1 + (x2 - x1) * done / len, y1 + (y2 - y1) * done / len, x1 + (x2 - x1) * end / len,
                      y1 + (y2 - y1) * end / len, width, color, weight, mode, aa);
    }
    if (step >= len - done)
    {
      // The segment ends inside this dash or gap: the next one goes on with what is left.
      mLeft -= step;
      if (mLeft <= 1e-6) Toggle();
      return;
    }
    done += step;
    Toggle();
  }
}
