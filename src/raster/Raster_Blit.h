// Raster_Blit.h - copying bitmaps into bitmaps: plain, scaled, rotated, affine and mesh-warped
// blits, and the whole-bitmap filters (halving, blur).
//
// Every operation clips to both bitmaps, honours isFlipped() of each, and draws nothing for a
// null bitmap, null bits, an empty clipped area or a zero weight. weight is 0..1 and mode the
// mode word of Raster_Combine.h.
#pragma once

#include "Raster_Bitmap.h"
#include "Raster_Combine.h"

// Combine-copy srcRect of src (null: the whole source; left/top inclusive, right/bottom
// exclusive) to (x, y) of dest.
void Raster_Blit(Raster_IBitmap* dest, Raster_IBitmap* src, int x, int y, const RECT* srcRect, float weight, int mode);
// The same with the rectangle (srcX, srcY, srcX + width, srcY + height).
void Raster_Blit(Raster_IBitmap* dest, Raster_IBitmap* src, int x, int y, int srcX, int srcY, int width, int height,
                 float weight, int mode);

// Resample the source rectangle (floats) to the destination rectangle. Negative destination
// sizes mirror. Nearest sampling, or bilinear with kRasterMode_Bilinear (a filter-down kernel
// for reductions by 1.7 or more in both directions).
void Raster_ScaledBlit(Raster_IBitmap* dest, Raster_IBitmap* src, int x, int y, int width, int height, float srcX, float srcY,
                       float srcWidth, float srcHeight, float weight, int mode);

// Fill the destination rectangle with the source rectangle rotated by angle (radians, clockwise
// on screen) about its centre moved by (centerOffsetX, centerOffsetY), scaled by source size /
// destination size. clipToSrcRect limits sampling to the source rectangle, otherwise the whole
// source bitmap may be sampled.
void Raster_RotatedBlit(Raster_IBitmap* dest, Raster_IBitmap* src, int x, int y, int width, int height, float srcX, float srcY,
                        float srcWidth, float srcHeight, double angle, bool clipToSrcRect, float weight, int mode,
                        float centerOffsetX = 0.0f, float centerOffsetY = 0.0f);

// Walk destRect; the source position of its first pixel is (srcStartX, srcStartY) and moves by
// (dxCol, dyCol) per column and (dxRow, dyRow) per row (16.16 fixed point inside). Samples
// outside srcRect (clip true) or outside the source bitmap (clip false) are skipped.
void Raster_DeltaBlit(Raster_IBitmap* dest, Raster_IBitmap* src, const RECT* destRect, const RECT* srcRect, double srcStartX,
                      double srcStartY, double dxCol, double dyCol, double dxRow, double dyRow, bool clip, float weight, int mode);
// The same with a weight factor that starts at alphaStart and moves by alphaDCol / alphaDRow;
// each pixel is drawn at weight x the factor (clamped to 0..1).
void Raster_DeltaBlitAlpha(Raster_IBitmap* dest, Raster_IBitmap* src, const RECT* destRect, const RECT* srcRect,
                           double srcStartX, double srcStartY, double dxCol, double dyCol, double dxRow, double dyRow,
                           double alphaStart, double alphaDCol, double alphaDRow, bool clip, float weight, int mode);

// Mesh warp: grid holds gridWidth x gridHeight source positions (x, y pairs), row by row, at
// evenly spaced points from destRect's top-left to its bottom-right corner (pixel centres are
// sampled, so the identity grid maps pixel (i, j) to (i + 0.5, j + 0.5)); positions between
// grid points are interpolated bilinearly. Both grid sizes must be at least 2.
void Raster_TransformBlit(Raster_IBitmap* dest, Raster_IBitmap* src, const RECT* destRect, const float* grid, int gridWidth,
                          int gridHeight, float weight, int mode);
void Raster_TransformBlit2(Raster_IBitmap* dest, Raster_IBitmap* src, const RECT* destRect, const double* grid, int gridWidth,
                           int gridHeight, float weight, int mode);
// grid holds (x, y, weight factor) triples.
void Raster_TransformBlit2Alpha(Raster_IBitmap* dest, Raster_IBitmap* src, const RECT* destRect, const double* grid,
                                int gridWidth, int gridHeight, float weight, int mode);

// Resize dest to the size of src and copy it (weight 1, mode 0).
void Raster_Copy(Raster_IBitmap* dest, Raster_IBitmap* src);

// 2 x 2 box down-sampling into the top-left min(dest size, src size / 2) of dest.
void Raster_HalveBlitAA(Raster_IBitmap* dest, Raster_IBitmap* src);

// One pass of a 5-point blur (1/2 centre, 1/8 per direct neighbour; edge pixels reweighted).
// dest and src may be the same bitmap at the same position.
void Raster_Blur(Raster_IBitmap* dest, Raster_IBitmap* src, int x, int y, int srcX, int srcY, int width, int height);
