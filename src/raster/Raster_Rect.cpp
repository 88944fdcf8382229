// Raster_Rect.cpp - rectangle outlines, drawn as four aliased lines so that they match the
// line primitive pixel for pixel (corners included: each line covers both its end points).
#include "Raster_Rect.h"

#include "Raster_Fill.h"
#include "Raster_Vector.h"

#include <climits>

namespace
{
// x + width at the ends of the int range: limited instead of overflowing. A limited corner lies
// billions of pixels outside any bitmap, so the visible part of each edge is unchanged.
int SaturatedSum(int a, long long b)
{
  const long long s = (long long)a + b;
  return s > INT_MAX ? INT_MAX : (s < INT_MIN ? INT_MIN : (int)s);
}
}  // namespace

void Raster_DrawRect(Raster_IBitmap* bm, int x, int y, int width, int height, uint32_t colour, float weight, int mode)
{
  if (!bm) return;
  const int r = SaturatedSum(x, width), b = SaturatedSum(y, height);
  Raster_Line(bm, x, y, r, y, colour, weight, mode, false);
  Raster_Line(bm, r, y, r, b, colour, weight, mode, false);
  Raster_Line(bm, r, b, x, b, colour, weight, mode, false);
  Raster_Line(bm, x, b, x, y, colour, weight, mode, false);
}

void Raster_BorderedRect(Raster_IBitmap* bm, int x, int y, int width, int height, uint32_t fillColour, uint32_t borderColour,
                         float weight, int mode)
{
  if (!bm) return;
  Raster_FillRect(bm, SaturatedSum(x, 1), SaturatedSum(y, 1), SaturatedSum(width, -1), SaturatedSum(height, -1), fillColour,
                  weight, mode);
  Raster_DrawRect(bm, x, y, width, height, borderColour, weight, mode);
}
