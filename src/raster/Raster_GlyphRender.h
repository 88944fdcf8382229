// Raster_GlyphRender.h - the loops that composite coverage masks, one template per combine
// class (internal to the font code and the free glyph functions).
//
// A span is the clipped part of a mask and the matching destination pixels: the destination
// row step may be negative (flipped bitmaps), the mask row step is the mask's width.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "Raster_Combine.h"
#include "Raster_CombineOps.h"

struct Raster_GlyphSpan
{
  uint32_t* dest;         // first destination pixel of the clipped area
  ptrdiff_t destStep;     // pixels from one destination row to the next
  const uint8_t* mask;    // first mask byte of the clipped area
  ptrdiff_t maskStep;     // bytes from one mask row to the next
  int width, height;      // clipped size
};

#ifdef __SSE2__
// One pixel of the copy formula in 16-bit lanes (B, G, R, A against B, G, R, 255: the alpha
// rule 255 - f * (255 - da) / 256 is the colour rule with a colour of 255). The division of
// the signed (d - c) * f truncates toward zero, i.e. it is |d - c| * f >> 8 with d - c's
// sign; |d - c| * f stays below 65536, so 16-bit lanes hold it exactly.
inline uint32_t Raster_GlyphMixSSE2(uint32_t dest, __m128i cvec, int f)
{
  const __m128i dv = _mm_unpacklo_epi8(_mm_cvtsi32_si128((int)dest), _mm_setzero_si128());
  const __m128i diff = _mm_sub_epi16(_mm_max_epi16(dv, cvec), _mm_min_epi16(dv, cvec));
  const __m128i delta = _mm_srli_epi16(_mm_mullo_epi16(diff, _mm_set1_epi16((short)f)), 8);
  const __m128i below = _mm_cmpgt_epi16(cvec, dv);  // lanes where d < c: subtract
  const __m128i res = _mm_add_epi16(cvec, _mm_sub_epi16(_mm_xor_si128(delta, below), below));
  return (uint32_t)_mm_cvtsi128_si32(_mm_packus_epi16(res, res));
}

// The same for four pixels with coverages k0..k3 (quad, k0 in the low byte); pixels of
// coverage 0 keep their value, coverage 255 gives the colour (f = 0) without a special case.
inline void Raster_GlyphMix4SSE2(uint32_t* dest, __m128i cvec, uint32_t quad)
{
  const __m128i zero = _mm_setzero_si128();
  const __m128i c2 = _mm_unpacklo_epi64(cvec, cvec);  // the colour for two pixels
  __m128i k = _mm_cvtsi32_si128((int)quad);
  k = _mm_unpacklo_epi8(k, k);
  k = _mm_unpacklo_epi16(k, k);  // each coverage byte four times: one per channel
  const __m128i untouched = _mm_cmpeq_epi8(k, zero);
  const __m128i f = _mm_sub_epi8(_mm_set1_epi8((char)0xFF), k);
  const __m128i d = _mm_loadu_si128((const __m128i*)dest);
  __m128i out[2];
  for (int half = 0; half < 2; ++half)
  {
    const __m128i dv = half ? _mm_unpackhi_epi8(d, zero) : _mm_unpacklo_epi8(d, zero);
    const __m128i fv = half ? _mm_unpackhi_epi8(f, zero) : _mm_unpacklo_epi8(f, zero);
    const __m128i diff = _mm_sub_epi16(_mm_max_epi16(dv, c2), _mm_min_epi16(dv, c2));
    const __m128i delta = _mm_srli_epi16(_mm_mullo_epi16(diff, fv), 8);
    const __m128i below = _mm_cmpgt_epi16(c2, dv);
    out[half] = _mm_add_epi16(c2, _mm_sub_epi16(_mm_xor_si128(delta, below), below));
  }
  const __m128i mixed = _mm_packus_epi16(out[0], out[1]);
  _mm_storeu_si128((__m128i*)dest, _mm_or_si128(_mm_and_si128(untouched, d), _mm_andnot_si128(untouched, mixed)));
}
#endif

namespace GlyphRenderer {

// Anti-aliased coverage. In copy mode the text colour is mixed in by the coverage k with a
// keep factor f (255 - k at full weight, else 256 - w * k / 256): each colour channel becomes
// colour + (dest - colour) * f / 256 and the alpha 255 - f * (255 - dest alpha) / 256, so full
// coverage gives an opaque pixel of exactly the text colour. The other classes combine
// (R, G, B, 255) with a per-pixel weight of k + 1 at full weight, else min(256, w * k / 256).
template <class COMB>
struct Normal
{
  static void Render(const Raster_GlyphSpan& s, uint32_t color, int w)
  {
    if constexpr (std::is_same_v<COMB, Raster_CombinePixelsCopyNoClamp>)
    {
      if (w == 256)
      {
        RenderOpaqueCopy(s, color);
        return;
      }
    }
    const int r = Raster_PixelR(color), g = Raster_PixelG(color), b = Raster_PixelB(color);
    for (int y = 0; y < s.height; ++y)
    {
      uint8_t* d = (uint8_t*)(s.dest + y * s.destStep);
      const uint8_t* m = s.mask + y * s.maskStep;
      for (int x = 0; x < s.width; ++x, d += 4)
      {
        const int k = m[x];
        if (!k) continue;
        if constexpr (std::is_same_v<COMB, Raster_CombinePixelsCopyNoClamp>)
        {
          const int wk = w * k;
          const int f = w == 256 ? 255 - k : (wk >= 65536 ? 0 : 256 - wk / 256);
          d[0] = (uint8_t)(b + (d[0] - b) * f / 256);
          d[1] = (uint8_t)(g + (d[1] - g) * f / 256);
          d[2] = (uint8_t)(r + (d[2] - r) * f / 256);
          d[3] = (uint8_t)(255 - (f * (255 - d[3])) / 256);
        }
        else
        {
          COMB::doPix(d, r, g, b, 255, w == 256 ? k + 1 : std::min(256, w * k / 256));
        }
      }
    }
  }

  // Copy at full weight, the editor's case: the same formula with f = 255 - k. Empty mask
  // runs (most of a glyph cell) are skipped four bytes at a time; other runs of four mix in
  // one go with SSE2; single pixels store the opaque colour for full coverage (what the
  // formula gives for f = 0). The tests hold it to the formula over masks of every width up
  // to 19.
  static void RenderOpaqueCopy(const Raster_GlyphSpan& s, uint32_t color)
  {
    const int r = Raster_PixelR(color), g = Raster_PixelG(color), b = Raster_PixelB(color);
    const uint32_t solid = 0xFF000000u | (color & 0xFFFFFFu);
#ifdef __SSE2__
    const __m128i cvec = _mm_unpacklo_epi8(_mm_cvtsi32_si128((int)solid), _mm_setzero_si128());
    (void)r;
    (void)g;
    (void)b;
#endif
    for (int y = 0; y < s.height; ++y)
    {
      uint32_t* row = s.dest + y * s.destStep;
      const uint8_t* m = s.mask + y * s.maskStep;
      int x = 0;
      while (x < s.width)
      {
        if (x + 4 <= s.width)
        {
          uint32_t quad;
          std::memcpy(&quad, m + x, 4);
          if (!quad)
          {
            x += 4;
            continue;
          }
#ifdef __SSE2__
          Raster_GlyphMix4SSE2(row + x, cvec, quad);
          x += 4;
          continue;
#endif
        }
        const int k = m[x];
        if (k == 255)
          row[x] = solid;
        else if (k)
        {
#ifdef __SSE2__
          row[x] = Raster_GlyphMixSSE2(row[x], cvec, 255 - k);
#else
          uint8_t* d = (uint8_t*)(row + x);
          const int f = 255 - k;
          d[0] = (uint8_t)(b + (d[0] - b) * f / 256);
          d[1] = (uint8_t)(g + (d[1] - g) * f / 256);
          d[2] = (uint8_t)(r + (d[2] - r) * f / 256);
          d[3] = (uint8_t)(255 - (f * (255 - d[3])) / 256);
#endif
        }
        ++x;
      }
    }
  }
};

// Monochrome coverage: every covered pixel takes the colour at weight w; copy at full weight
// simply stores the colour.
template <class COMB>
struct Mono
{
  static void Render(const Raster_GlyphSpan& s, uint32_t color, int w)
  {
    const int r = Raster_PixelR(color), g = Raster_PixelG(color), b = Raster_PixelB(color);
    const bool store = w >= 256 && std::is_same_v<COMB, Raster_CombinePixelsCopyNoClamp>;
    for (int y = 0; y < s.height; ++y)
    {
      uint32_t* d = s.dest + y * s.destStep;
      const uint8_t* m = s.mask + y * s.maskStep;
      for (int x = 0; x < s.width; ++x)
      {
        if (!m[x]) continue;
        if (store)
          d[x] = color;
        else
          COMB::doPix((uint8_t*)(d + x), r, g, b, 255, w);
      }
    }
  }
};

// Shadow and outline masks: 255 is the glyph (text colour), anything else non-zero the effect
// (effect colour).
template <class COMB>
struct Effect
{
  static void Render(const Raster_GlyphSpan& s, uint32_t color, uint32_t effect, int w)
  {
    const bool store = w >= 256 && std::is_same_v<COMB, Raster_CombinePixelsCopyNoClamp>;
    for (int y = 0; y < s.height; ++y)
    {
      uint32_t* d = s.dest + y * s.destStep;
      const uint8_t* m = s.mask + y * s.maskStep;
      for (int x = 0; x < s.width; ++x)
      {
        if (!m[x]) continue;
        const uint32_t c = m[x] == 255 ? color : effect;
        if (store)
          d[x] = c;
        else
          COMB::doPix((uint8_t*)(d + x), Raster_PixelR(c), Raster_PixelG(c), Raster_PixelB(c), 255, w);
      }
    }
  }

};

}  // namespace GlyphRenderer

namespace GlyphDrawImpl {

// 8-bit masks for the free functions: per-pixel weight k + 1 at full weight, else
// min(256, w * k / 256), with every combine class (copy included) doing the mixing.
template <class COMB>
void DrawGlyph(const Raster_GlyphSpan& s, uint32_t color, int w)
{
  const int r = Raster_PixelR(color), g = Raster_PixelG(color), b = Raster_PixelB(color);
  for (int y = 0; y < s.height; ++y)
  {
    uint8_t* d = (uint8_t*)(s.dest + y * s.destStep);
    const uint8_t* m = s.mask + y * s.maskStep;
    for (int x = 0; x < s.width; ++x, d += 4)
      if (const int k = m[x]) COMB::doPix(d, r, g, b, 255, w == 256 ? k + 1 : std::min(256, w * k / 256));
  }
}

// 1-bit masks: the span's mask points at the row's first byte and firstBit is the bit index
// (0 = most significant bit of that byte) of the first clipped column.
template <class COMB>
void DrawGlyphMono(const Raster_GlyphSpan& s, int firstBit, uint32_t color, int w)
{
  const int r = Raster_PixelR(color), g = Raster_PixelG(color), b = Raster_PixelB(color);
  for (int y = 0; y < s.height; ++y)
  {
    uint8_t* d = (uint8_t*)(s.dest + y * s.destStep);
    const uint8_t* m = s.mask + y * s.maskStep;
    for (int x = 0; x < s.width; ++x, d += 4)
    {
      const int bit = firstBit + x;
      if (m[bit >> 3] & (0x80 >> (bit & 7))) COMB::doPix(d, r, g, b, 255, w);
    }
  }
}

}  // namespace GlyphDrawImpl

// Calls F::template Run<COMB>() for the combine class of a mode's low byte (0 copy, 1 add,
// 2 colour dodge, 3 multiply, 4 overlay, 5 HSV adjust); other values draw nothing.
template <class F>
inline void Raster_DispatchGlyphCombine(int mode, F&& f)
{
  Raster_DispatchCombine<kRasterCombine_Plain>(mode & kRasterOp_Mask, f);
}
