// The free glyph functions: 8-bit and 1-bit coverage masks composited at a position.
#include "Raster_Font.h"

#include <algorithm>

#include "Raster_BlitCommon.h"
#include "Raster_GlyphRender.h"

namespace {

// Clips the mask rectangle (x, y, w, h) to the bitmap and resolves the integer weight; false
// when nothing is to be drawn. On success (*sx, *sy) is the first mask cell drawn.
bool Prepare(Raster_IBitmap* dest, int x, int y, int glyphW, int glyphH, uint32_t color, float weight, int mode,
             Raster_GlyphSpan* span, int* sx, int* sy, int* w)
{
  if (!Raster_Usable(dest) || glyphW <= 0 || glyphH <= 0) return false;
  if (mode & kRasterMode_SourceAlpha) weight *= (float)(color >> 24) / 255.0f;
  *w = Raster_WeightToInt(weight);
  if (*w <= 0) return false;
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = std::min(x + glyphW, dest->getWidth()), y1 = std::min(y + glyphH, dest->getHeight());
  if (x0 >= x1 || y0 >= y1) return false;
  *sx = x0 - x;
  *sy = y0 - y;
  span->dest = Raster_Row(dest, dest->getBits(), y0) + x0;
  span->destStep = Raster_RowStep(dest);
  span->width = x1 - x0;
  span->height = y1 - y0;
  return true;
}

}  // namespace

void Raster_DrawGlyph(Raster_IBitmap* dest, int x, int y, uint32_t color, const uint8_t* alphas, int glyphW, int glyphH,
                      float weight, int mode)
{
  Raster_DrawGlyphEx(dest, x, y, color, alphas, glyphW, glyphW, glyphH, weight, mode);
}

void Raster_DrawGlyphEx(Raster_IBitmap* dest, int x, int y, uint32_t color, const uint8_t* alphas, int glyphW,
                        int glyphSpan, int glyphH, float weight, int mode)
{
  Raster_GlyphSpan span;
  int sx, sy, w;
  if (!alphas || !Prepare(dest, x, y, glyphW, glyphH, color, weight, mode, &span, &sx, &sy, &w)) return;
  span.mask = alphas + (ptrdiff_t)sy * glyphSpan + sx;
  span.maskStep = glyphSpan;
  Raster_DispatchGlyphCombine(mode, [&]<class C>() { GlyphDrawImpl::DrawGlyph<C>(span, color, w); });
}

void Raster_DrawMonoGlyph(Raster_IBitmap* dest, int x, int y, uint32_t color, const uint8_t* bits, int glyphW,
                          int glyphSpanBytes, int glyphH, float weight, int mode)
{
  Raster_GlyphSpan span;
  int sx, sy, w;
  if (!bits || !Prepare(dest, x, y, glyphW, glyphH, color, weight, mode, &span, &sx, &sy, &w)) return;
  span.mask = bits + (ptrdiff_t)sy * glyphSpanBytes;
  span.maskStep = glyphSpanBytes;
  Raster_DispatchGlyphCombine(mode, [&]<class C>() { GlyphDrawImpl::DrawGlyphMono<C>(span, sx, color, w); });
}
