// Raster_Fill.h - solid and gradient fills, masks, per-pixel access and simple whole-bitmap
// operations. Same rules as the blits: clip to the bitmap, honour isFlipped(), draw nothing
// for a null bitmap, null bits, an empty area or a zero weight.
#pragma once

#include "Raster_Bitmap.h"
#include "Raster_Combine.h"

// Solid fill of (x, y, width, height) with colour (0xAARRGGBB). With kRasterMode_SourceAlpha
// the weight is first multiplied by the colour's alpha / 255. Copy at integer weights 64,
// 128, 192 and 256 mixes whole words; otherwise the operation's class gets (R, G, B, w) at
// weight w - the alpha channel moves toward the weight, not the colour's alpha.
void Raster_FillRect(Raster_IBitmap* bm, int x, int y, int width, int height, uint32_t colour, float weight, int mode);

// Every pixel of the clipped rectangle becomes (pixel & andMask) | orBits.
void Raster_ClearRect(Raster_IBitmap* bm, int x, int y, int width, int height, uint32_t andMask, uint32_t orBits);

// Every pixel of width x height becomes colour.
void Raster_Clear(Raster_IBitmap* bm, uint32_t colour);

// Linear gradient: start components r, g, b, a and per-column / per-row deltas on a 0..1 scale.
void Raster_GradRect(Raster_IBitmap* bm, int x, int y, int width, int height, float r, float g, float b, float a, float drdx,
                     float dgdx, float dbdx, float dadx, float drdy, float dgdy, float dbdy, float dady, int mode);

// Each channel becomes clamp((channel x scale + add) >> 8) with scale and add taken x 256.
void Raster_MultiplyAddRect(Raster_IBitmap* bm, int x, int y, int width, int height, float scaleR, float scaleG, float scaleB,
                            float scaleA, float addR, float addG, float addB, float addA);

// Calls callback(pixel, context) once for every pixel of the clipped rectangle, row by row.
void Raster_ProcessRect(Raster_IBitmap* bm, int x, int y, int width, int height, void (*callback)(uint32_t* pixel, void* context),
                        void* context);

// One pixel under the rules of Raster_FillRect; coordinates outside the bitmap draw nothing.
void Raster_PutPixel(Raster_IBitmap* bm, int x, int y, uint32_t colour, float weight, int mode);

// The pixel at (x, y), or 0 outside the bitmap.
uint32_t Raster_GetPixel(Raster_IBitmap* bm, int x, int y);

// Alpha 0 where the colour (alpha ignored) equals the key, 255 everywhere else.
void Raster_SetAlphaFromColorMask(Raster_IBitmap* bm, uint32_t keyColour);

// Flood fill (4-connected) from (x, y) over pixels equal to the seed under compareMask; each
// filled pixel becomes (pixel & keepMask) | newColour.
void Raster_SimpleFill(Raster_IBitmap* bm, int x, int y, uint32_t newColour, uint32_t compareMask, uint32_t keepMask);

// True when the bitmaps differ; diffRect (may be null) receives the bounding rectangle of the
// differing pixels (all zero when equal). Bitmaps of different sizes differ over the whole
// larger area. The Ex form compares only the bits of mask.
bool Raster_BitmapCmp(Raster_IBitmap* a, Raster_IBitmap* b, RECT* diffRect);
bool Raster_BitmapCmpEx(Raster_IBitmap* a, Raster_IBitmap* b, uint32_t mask, RECT* diffRect);
