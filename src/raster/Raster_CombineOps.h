// Raster_CombineOps.h - the combine operations of the mode word in one table: for each
// operation its name and the classes that implement it, and the one dispatcher that turns an
// operation number into a class.
//
// Every drawing loop that is instantiated per combine class gets its class from
// Raster_DispatchCombine; the only choices a caller makes itself are the whole-word shortcuts
// of plain copy (overwrite at full weight, half mixes), which differ from loop to loop.
// Code outside the library that maps its own blend settings onto mode words builds them with
// Raster_MakeMode and checks operation numbers with Raster_IsCombineOp, so that no other list of
// operations exists.
#pragma once

#include <type_traits>

#include "Raster_Combine.h"

// Which of an operation's classes a loop wants.
enum ERasterCombineFamily
{
  kRasterCombine_Plain = 0,       // no clamping where the formula cannot leave 0..255 anyway
  kRasterCombine_Clamp = 1,       // clamping variants, for components that may leave 0..255
  kRasterCombine_SourceAlpha = 2  // weight scaled by each source pixel's alpha
};

// The traits of one operation. Op is the mode word's low byte.
template <int Op>
struct Raster_CombineOp;

template <>
struct Raster_CombineOp<kRasterOp_Copy>
{
  static constexpr const char* kName = "copy";
  using Plain = Raster_CombinePixelsCopyNoClamp;
  using Clamp = Raster_CombinePixelsCopyClamp;
  using SourceAlpha = Raster_CombinePixelsCopySourceAlphaNoClamp;
};

template <>
struct Raster_CombineOp<kRasterOp_Add>
{
  static constexpr const char* kName = "add";
  using Plain = Raster_CombinePixelsAdd;
  using Clamp = Raster_CombinePixelsAdd;
  using SourceAlpha = Raster_CombinePixelsAddSourceAlpha;
};

template <>
struct Raster_CombineOp<kRasterOp_ColorDodge>
{
  static constexpr const char* kName = "colour dodge";
  using Plain = Raster_CombinePixelsColorDodge;
  using Clamp = Raster_CombinePixelsColorDodge;
  using SourceAlpha = Raster_CombinePixelsColorDodgeSourceAlpha;
};

template <>
struct Raster_CombineOp<kRasterOp_Multiply>
{
  static constexpr const char* kName = "multiply";
  using Plain = Raster_CombinePixelsMulNoClamp;
  using Clamp = Raster_CombinePixelsMulClamp;
  using SourceAlpha = Raster_CombinePixelsMulSourceAlphaNoClamp;
};

template <>
struct Raster_CombineOp<kRasterOp_Overlay>
{
  static constexpr const char* kName = "overlay";
  using Plain = Raster_CombinePixelsOverlay;
  using Clamp = Raster_CombinePixelsOverlay;
  using SourceAlpha = Raster_CombinePixelsOverlaySourceAlpha;
};

template <>
struct Raster_CombineOp<kRasterOp_HSVAdjust>
{
  static constexpr const char* kName = "HSV adjust";
  using Plain = Raster_CombinePixelsHSVAdjust;
  using Clamp = Raster_CombinePixelsHSVAdjust;
  using SourceAlpha = Raster_CombinePixelsHSVAdjustSourceAlpha;
};

// Number of operations: 0 .. kRasterOp_Count - 1 draw, every other low byte draws nothing.
constexpr int kRasterOp_Count = kRasterOp_HSVAdjust + 1;

template <int Op, ERasterCombineFamily Family>
using Raster_CombineClass = std::conditional_t<Family == kRasterCombine_Plain, typename Raster_CombineOp<Op>::Plain,
                                               std::conditional_t<Family == kRasterCombine_Clamp, typename Raster_CombineOp<Op>::Clamp,
                                                                  typename Raster_CombineOp<Op>::SourceAlpha>>;

inline constexpr bool Raster_IsCombineOp(int op) { return op >= 0 && op < kRasterOp_Count; }

// The mode word of an operation, with or without the use-source-alpha bit.
inline constexpr int Raster_MakeMode(int op, bool sourceAlpha) { return op | (sourceAlpha ? kRasterMode_SourceAlpha : 0); }

// Name of an operation for messages and test output; "none" for values that draw nothing.
const char* Raster_CombineOpName(int op);

namespace RasterCombineDetail
{
template <ERasterCombineFamily Family, int Op, class Fn>
inline bool DispatchFrom(int op, Fn& fn)
{
  if constexpr (Op == kRasterOp_Count)
  {
    (void)op;
    (void)fn;
    return false;
  }
  else
  {
    if (op == Op)
    {
      fn.template operator()<Raster_CombineClass<Op, Family>>();
      return true;
    }
    return DispatchFrom<Family, Op + 1>(op, fn);
  }
}
}  // namespace RasterCombineDetail

// Calls fn.template operator()<Class>() once with the class of operation op in the family, and
// returns true; returns false without calling fn when op draws nothing. With a generic lambda:
//   Raster_DispatchCombine<kRasterCombine_Plain>(op, [&]<class C>() { loop<C>(...); });
template <ERasterCombineFamily Family, class Fn>
inline bool Raster_DispatchCombine(int op, Fn&& fn)
{
  return RasterCombineDetail::DispatchFrom<Family, 0>(op, fn);
}

// The same with the family chosen at run time by the mode word's use-source-alpha bit (plain
// otherwise), dispatching on the mode's low byte.
template <class Fn>
inline bool Raster_DispatchCombineMode(int mode, Fn&& fn)
{
  const int op = mode & kRasterOp_Mask;
  if (mode & kRasterMode_SourceAlpha) return Raster_DispatchCombine<kRasterCombine_SourceAlpha>(op, fn);
  return Raster_DispatchCombine<kRasterCombine_Plain>(op, fn);
}
