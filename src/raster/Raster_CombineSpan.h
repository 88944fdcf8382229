// Raster_CombineSpan.h - whole-row kernels behind the common blits and fills.
//
// Each kernel has a scalar reference (the per-pixel combine class in a loop, kept as the
// definition of the result) and, on x86-64, an SSE2 version that must give the same pixels to
// the bit; tests compare the two on large random inputs. The unsuffixed name picks the fastest
// version available at compile time (SSE2 is the x86-64 baseline, so no run-time check).
#pragma once

#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#define RASTER_HAVE_SSE2 1
#else
#define RASTER_HAVE_SSE2 0
#endif

// Which whole-word class a solid fill uses (weights 256, 128, 64, 192).
enum ERasterFillFast
{
  kRasterFill_Clobber = 0,
  kRasterFill_HalfMix = 1,
  kRasterFill_QuarterMix = 2,
  kRasterFill_ThreeQuarterMix = 3
};

// Copy with source alpha at full weight (Raster_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp).
void Raster_SpanCopySourceAlpha_Scalar(uint32_t* dest, const uint32_t* src, int n);
// Copy at weight w = 1..255 (Raster_CombinePixelsCopyNoClamp).
void Raster_SpanCopyWeighted_Scalar(uint32_t* dest, const uint32_t* src, int n, int w);
// Copy with source alpha at weight w = 1..255 (Raster_CombinePixelsCopySourceAlphaNoClamp).
void Raster_SpanCopySourceAlphaWeighted_Scalar(uint32_t* dest, const uint32_t* src, int n, int w);
// Blit at weight exactly 0.5 (Raster_CombinePixelsHalfMixFAST).
void Raster_SpanHalfMix_Scalar(uint32_t* dest, const uint32_t* src, int n);
// Solid fill with one of the whole-word classes; colour is the unscaled fill colour.
void Raster_SpanFillFast_Scalar(uint32_t* dest, int n, uint32_t colour, ERasterFillFast kind);
// Bilinear interpolation by the full 16-bit fractions fx, fy (0..65535) of the sample position.
// Per channel, first down each column, keeping six fraction bits (at most 16320):
//   v = (c0 (65536 - fy) + c1 fy) >> 10 = (c0 * 65536 + (c1 - c0) fy) >> 10
// then across the two columns:
//   out = (vL (65536 - fx) + vR fx) >> 22 = (vL * 65536 + (vR - vL) fx) >> 22.
// Against the real-valued interpolation the result is exact or one level low. Every sum stays
// below 2^31 and the differences fit 16 bits twice over, which lets the SSE2 rows form the same
// integers with one 16-bit multiply-add per channel pair (see there).
inline int Raster_BilinearColumn(int c0, int c1, int fy) { return (c0 * 65536 + (c1 - c0) * fy) >> 10; }
inline int Raster_BilinearAcross(int vL, int vR, int fx) { return (vL * 65536 + (vR - vL) * fx) >> 22; }
inline uint32_t Raster_BilinearPixel(uint32_t p00, uint32_t p01, uint32_t p10, uint32_t p11, int fx, int fy)
{
  uint32_t out = 0;
  for (int sh = 0; sh < 32; sh += 8)
  {
    const int vL = Raster_BilinearColumn((int)((p00 >> sh) & 0xFF), (int)((p10 >> sh) & 0xFF), fy);
    const int vR = Raster_BilinearColumn((int)((p01 >> sh) & 0xFF), (int)((p11 >> sh) & 0xFF), fy);
    out |= (uint32_t)Raster_BilinearAcross(vL, vR, fx) << sh;
  }
  return out;
}

// One row of a bilinear resample. row0/row1 are the two source rows (row1 may equal row0),
// srcWidth their usable width, fx the 16.16 source x of each destination pixel (x >= 0,
// x >> 16 < srcWidth, rising or falling monotonically along the row), fy the row's 16.16
// position (its low 16 bits count). Each pixel is Raster_BilinearPixel of the 2 x 2 block at
// (x >> 16, row); the right neighbour at the last column is the column itself.
void Raster_SpanBilinear_Scalar(uint32_t* dest, const uint32_t* row0, const uint32_t* row1, int srcWidth, const int32_t* fx,
                                int n, int fy);

#if RASTER_HAVE_SSE2
void Raster_SpanCopySourceAlpha_SSE2(uint32_t* dest, const uint32_t* src, int n);
void Raster_SpanCopyWeighted_SSE2(uint32_t* dest, const uint32_t* src, int n, int w);
void Raster_SpanCopySourceAlphaWeighted_SSE2(uint32_t* dest, const uint32_t* src, int n, int w);
void Raster_SpanHalfMix_SSE2(uint32_t* dest, const uint32_t* src, int n);
void Raster_SpanFillFast_SSE2(uint32_t* dest, int n, uint32_t colour, ERasterFillFast kind);
void Raster_SpanBilinear_SSE2(uint32_t* dest, const uint32_t* row0, const uint32_t* row1, int srcWidth, const int32_t* fx, int n,
                              int fy);
#define RASTER_SPAN(name) name##_SSE2
#else
#define RASTER_SPAN(name) name##_Scalar
#endif

inline void Raster_SpanCopySourceAlpha(uint32_t* dest, const uint32_t* src, int n) { RASTER_SPAN(Raster_SpanCopySourceAlpha)(dest, src, n); }
inline void Raster_SpanCopyWeighted(uint32_t* dest, const uint32_t* src, int n, int w)
{
  RASTER_SPAN(Raster_SpanCopyWeighted)(dest, src, n, w);
}
inline void Raster_SpanCopySourceAlphaWeighted(uint32_t* dest, const uint32_t* src, int n, int w)
{
  RASTER_SPAN(Raster_SpanCopySourceAlphaWeighted)(dest, src, n, w);
}
inline void Raster_SpanHalfMix(uint32_t* dest, const uint32_t* src, int n) { RASTER_SPAN(Raster_SpanHalfMix)(dest, src, n); }
inline void Raster_SpanFillFast(uint32_t* dest, int n, uint32_t colour, ERasterFillFast kind)
{
  RASTER_SPAN(Raster_SpanFillFast)(dest, n, colour, kind);
}
inline void Raster_SpanBilinear(uint32_t* dest, const uint32_t* row0, const uint32_t* row1, int srcWidth, const int32_t* fx, int n, int fy)
{
  RASTER_SPAN(Raster_SpanBilinear)(dest, row0, row1, srcWidth, fx, n, fy);
}
#undef RASTER_SPAN
