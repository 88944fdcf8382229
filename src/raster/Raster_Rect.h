// Raster_Rect.h - rectangle outlines.
#pragma once

#include "Raster_Bitmap.h"
#include "Raster_Combine.h"

// Outline through the four corners (x, y), (x + width, y), (x + width, y + height),
// (x, y + height): four one-pixel lines with both end points included, so an outline of width
// 10 covers 11 columns.
void Raster_DrawRect(Raster_IBitmap* bm, int x, int y, int width, int height, uint32_t colour, float weight, int mode);

// Fill of (x + 1, y + 1, width - 1, height - 1), then the outline of (x, y, width, height) in
// the border colour, both with the same weight and mode.
void Raster_BorderedRect(Raster_IBitmap* bm, int x, int y, int width, int height, uint32_t fillColour, uint32_t borderColour,
                         float weight, int mode);
