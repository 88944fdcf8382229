// Raster_Rect.cpp - rectangle outlines, drawn as four aliased lines so that they match the
// line primitive pixel for pixel (corners included: each line covers both its end points).
#include "Raster_Rect.h"

#include "Raster_Fill.h"
#include "Raster_Vector.h"

void Raster_DrawRect(Raster_IBitmap* bm, int x, int y, int width, int height, uint32_t colour, float weight, int mode)
{
  if (!bm) return;
  int r = x + width, b = y + height;
  Raster_Line(bm, x, y, r, y, colour, weight, mode, false);
  Raster_Line(bm, r, y, r, b, colour, weight, mode, false);
  Raster_Line(bm, r, b, x, b, colour, weight, mode, false);
  Raster_Line(bm, x, b, x, y, colour, weight, mode, false);
}

void Raster_BorderedRect(Raster_IBitmap* bm, int x, int y, int width, int height, uint32_t fillColour, uint32_t borderColour,
                         float weight, int mode)
{
  if (!bm) return;
  Raster_FillRect(bm, x + 1, y + 1, width - 1, height - 1, fillColour, weight, mode);
  Raster_DrawRect(bm, x, y, width, height, borderColour, weight, mode);
}
