// Raster_VectorCommon.h - internals shared by the vector primitives: the resolved pen, the
// per-combine-class pixel plotters and the dispatch that picks one per call.
//
// A primitive resolves its colour, weight and mode once into a Raster_Pen, then hands a body
// (a generic lambda) to Raster_WithPlotter, which calls it with the plotter instantiated for the
// pen's combine class. Inner loops thus never test the mode.
#pragma once

#include <cmath>
#include <cstdint>

#include "Raster_Bitmap.h"
#include "Raster_Combine.h"
#include "Raster_CombineOps.h"
#include "Raster_CombineSpan.h"

struct Raster_Pen
{
  uint32_t* bits = nullptr;
  int width = 0;
  int height = 0;
  intptr_t span = 0;
  bool flipped = false;
  uint32_t color = 0;
  int r = 0, g = 0, b = 0, a = 0;  // source components handed to the combine class
  int w = 0;                       // integer weight 1..256
  int op = 0;                      // combine operation 0..5
  uint32_t pre = 0;                // prescaled colour of a whole-word class
  // Plain copy (no source alpha) at a float weight of exactly 1.0, 0.5, 0.25 or 0.75: the only
  // case in which straight lines may mix whole words. An integer weight of 128 also comes from
  // 0.501, where the word mix would round differently from the half-mix formula.
  bool wordWeight = false;

  bool inside(int x, int y) const { return (unsigned)x < (unsigned)width && (unsigned)y < (unsigned)height; }
  // Logical row y: flipped bitmaps keep their rows bottom-up, so drawing stays upright.
  uint32_t* at(int x, int y) const { return bits + (intptr_t)(flipped ? height - 1 - y : y) * span + x; }
};

// Outline primitives blend the colour's own channels; area fills pass (R, G, B, w) as
// Raster_FillRect does.
enum E_RasterPenSource
{
  kRasterPen_ColourAlpha = 0,
  kRasterPen_WeightAlpha = 1
};

// False when nothing is to be drawn (null bitmap or bits, unknown operation, weight 0).
bool Raster_PenInit(Raster_Pen& pen, Raster_IBitmap* bmp, uint32_t color, float weight, int mode,
                     E_RasterPenSource source);

// A plotter writes the pen's colour at the pen's weight (main) or at a smaller partial weight
// (part, for anti-aliasing and coverage masks). Both clip per pixel.
template <class C>
struct Raster_LineClass
{
  static inline void put(uint32_t* p, const Raster_Pen& pen, int w) { C::doPix((uint8_t*)p, pen.r, pen.g, pen.b, pen.a, w); }
};

// Whole-word classes: the pen carries the colour prescaled once. Spans go through the fill
// kernel of the same class (vectorised where available, identical pixels).
template <class F, ERasterFillFast Kind>
struct Raster_LineClassSimple
{
  static inline void put(uint32_t* p, const Raster_Pen& pen, int) { F::doPix(p, pen.pre); }
  static inline void run(uint32_t* p, int n, const Raster_Pen& pen) { Raster_SpanFillFast(p, n, pen.color, Kind); }
};

template <class Main, class Part>
struct Raster_Plotter
{
  const Raster_Pen& pen;
  inline void main(int x, int y) const
  {
    if (pen.inside(x, y)) Main::put(pen.at(x, y), pen, pen.w);
  }
  inline void part(int x, int y, int w) const
  {
    if (w > 0 && pen.inside(x, y)) Part::put(pen.at(x, y), pen, w);
  }
  // Pixels x0..x1 (inclusive) of row y at the main weight, clipped.
  inline void span(int x0, int x1, int y) const
  {
    if ((unsigned)y >= (unsigned)pen.height) return;
    if (x0 < 0) x0 = 0;
    if (x1 >= pen.width) x1 = pen.width - 1;
    if (x0 > x1) return;
    uint32_t* p = pen.at(x0, y);
    if constexpr (requires { Main::run(p, 1, pen); })
      Main::run(p, x1 - x0 + 1, pen);
    else
      for (int x = x0; x <= x1; ++x, ++p) Main::put(p, pen, pen.w);
  }
};

// Calls body(plotter) with the plotter of the pen's operation. With wholeWord set, copy at
// w = 256, 128, 64 and 192 writes whole words (the horizontal, vertical and diagonal line loops
// and the span fills); otherwise copy at 256 overwrites, copy at 128 is the half mix and other
// weights use the copy formula. Partial weights always use the operation's own class (copy:
// the copy formula).
template <class Body>
void Raster_WithPlotter(Raster_Pen& pen, bool wholeWord, Body&& body)
{
  if (pen.op != kRasterOp_Copy)
  {
    Raster_DispatchCombine<kRasterCombine_Plain>(pen.op, [&]<class C>() {
      Raster_Plotter<Raster_LineClass<C>, Raster_LineClass<C>> p{pen};
      body(p);
    });
    return;
  }
  // Copy: the whole-word and overwrite shortcuts.
  if (wholeWord)
  {
    switch (pen.w)
    {
      case 256:
      {
        pen.pre = Raster_CombinePixelsClobberFAST::prescale(pen.color);
        Raster_Plotter<Raster_LineClassSimple<Raster_CombinePixelsClobberFAST, kRasterFill_Clobber>, Raster_LineClass<Raster_CombinePixelsCopyNoClamp>> p{pen};
        body(p);
        return;
      }
      case 128:
      {
        pen.pre = Raster_CombinePixelsHalfMix2FAST::prescale(pen.color);
        Raster_Plotter<Raster_LineClassSimple<Raster_CombinePixelsHalfMix2FAST, kRasterFill_HalfMix>, Raster_LineClass<Raster_CombinePixelsCopyNoClamp>> p{pen};
        body(p);
        return;
      }
      case 64:
      {
        pen.pre = Raster_CombinePixelsQuarterMix2FAST::prescale(pen.color);
        Raster_Plotter<Raster_LineClassSimple<Raster_CombinePixelsQuarterMix2FAST, kRasterFill_QuarterMix>, Raster_LineClass<Raster_CombinePixelsCopyNoClamp>> p{pen};
        body(p);
        return;
      }
      case 192:
      {
        pen.pre = Raster_CombinePixelsThreeQuarterMix2FAST::prescale(pen.color);
        Raster_Plotter<Raster_LineClassSimple<Raster_CombinePixelsThreeQuarterMix2FAST, kRasterFill_ThreeQuarterMix>, Raster_LineClass<Raster_CombinePixelsCopyNoClamp>> p{pen};
        body(p);
        return;
      }
      default: break;
    }
  }
  if (pen.w == 256)
  {
    Raster_Plotter<Raster_LineClass<Raster_CombinePixelsClobberNoClamp>, Raster_LineClass<Raster_CombinePixelsCopyNoClamp>> p{pen};
    body(p);
  }
  else if (pen.w == 128)
  {
    Raster_Plotter<Raster_LineClass<Raster_CombinePixelsHalfMixNoClamp>, Raster_LineClass<Raster_CombinePixelsCopyNoClamp>> p{pen};
    body(p);
  }
  else
  {
    Raster_Plotter<Raster_LineClass<Raster_CombinePixelsCopyNoClamp>, Raster_LineClass<Raster_CombinePixelsCopyNoClamp>> p{pen};
    body(p);
  }
}

// Float coordinate -> a finite value that integer conversions can take (NaN becomes a value far
// outside any bitmap, so it draws nothing instead of converting undefinedly).
inline float Raster_SaneCoord(float v)
{
  const float kLimit = 16777216.0f;  // 2^24: far outside any bitmap, still exact in 16.16 int64
  if (!(v == v)) return -kLimit;
  return v < -kLimit ? -kLimit : (v > kLimit ? kLimit : v);
}

// Nearest integer of a sane coordinate (halves away from zero).
inline int Raster_RoundCoord(float v) { return (int)std::lround(Raster_SaneCoord(v)); }

// Line walkers shared by lines, dashes and curves. Coordinates are logical pixels.
// Integer line, both end points included, drawn from both ends towards the middle so that the
// pixels are point-symmetric about the centre and independent of the end points' order.
template <class P>
void Raster_WalkLine(const P& plot, int x1, int y1, int x2, int y2, bool aa, int width, int height);

// Float line at 16.16 precision; with skipFirst the pixel of (x1, y1) is left out (joints of
// connected segments are drawn once).
template <class P>
void Raster_WalkFLine(const P& plot, float x1, float y1, float x2, float y2, bool aa, bool skipFirst);

#include "Raster_VectorWalk.h"
