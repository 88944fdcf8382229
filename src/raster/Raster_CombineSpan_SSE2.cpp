// Raster_CombineSpan_SSE2.cpp - SSE2 versions of the row kernels; bit-identical to the scalar
// references in Raster_CombineSpan.cpp.
#include "Raster_CombineSpan.h"

#if RASTER_HAVE_SSE2
#include <emmintrin.h>

#include <cstdlib>

#include "Raster_Combine.h"

// Colour: s + (d - s) * (255 - a) / 256 with the division truncated toward zero; alpha:
// min(255, d + a); a = 0 leaves the pixel alone. The signed product does not fit 16 bits, so the
// magnitude |d - s| * (255 - a) (at most 65025) is formed unsigned and the sign put back after
// the shift - which is exactly truncation toward zero. a = 255 needs no case of its own: the
// product is 0 and the alpha saturates.
static inline __m128i copySourceAlpha4(__m128i s, __m128i d)
{
  const __m128i zero = _mm_setzero_si128();
  const __m128i alphaMask = _mm_set1_epi32((int)0xFF000000);
  const __m128i c255 = _mm_set1_epi16(255);

  __m128i sAlpha = _mm_and_si128(s, alphaMask);
  __m128i transparent = _mm_cmpeq_epi32(sAlpha, zero);

  __m128i out[2];
  for (int half = 0; half < 2; ++half)
  {
    __m128i s16 = half ? _mm_unpackhi_epi8(s, zero) : _mm_unpacklo_epi8(s, zero);
    __m128i d16 = half ? _mm_unpackhi_epi8(d, zero) : _mm_unpacklo_epi8(d, zero);
    __m128i a16 = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s16, 0xFF), 0xFF);
    __m128i ia = _mm_sub_epi16(c255, a16);
    __m128i diff = _mm_sub_epi16(d16, s16);
    __m128i neg = _mm_srai_epi16(diff, 15);
    __m128i mag = _mm_sub_epi16(_mm_xor_si128(diff, neg), neg);
    __m128i q = _mm_srli_epi16(_mm_mullo_epi16(mag, ia), 8);
    q = _mm_sub_epi16(_mm_xor_si128(q, neg), neg);
    out[half] = _mm_add_epi16(s16, q);
  }
  __m128i colour = _mm_andnot_si128(alphaMask, _mm_packus_epi16(out[0], out[1]));
  __m128i alpha = _mm_and_si128(_mm_adds_epu8(d, sAlpha), alphaMask);
  __m128i res = _mm_or_si128(colour, alpha);
  return _mm_or_si128(_mm_and_si128(transparent, d), _mm_andnot_si128(transparent, res));
}

void Raster_SpanCopySourceAlpha_SSE2(uint32_t* dest, const uint32_t* src, int n)
{
  const __m128i alphaMask = _mm_set1_epi32((int)0xFF000000);
  const __m128i zero = _mm_setzero_si128();
  int i = 0;
  // Eight pixels at a time: one test settles a run of opaque or transparent source.
  for (; i + 8 <= n; i += 8)
  {
    __m128i s0 = _mm_loadu_si128((const __m128i*)(src + i));
    __m128i s1 = _mm_loadu_si128((const __m128i*)(src + i + 4));
    __m128i both = _mm_and_si128(_mm_and_si128(s0, s1), alphaMask);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(both, alphaMask)) == 0xFFFF)
    {
      _mm_storeu_si128((__m128i*)(dest + i), s0);
      _mm_storeu_si128((__m128i*)(dest + i + 4), s1);
      continue;
    }
    __m128i any = _mm_and_si128(_mm_or_si128(s0, s1), alphaMask);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(any, zero)) == 0xFFFF) continue;
    __m128i d0 = _mm_loadu_si128((const __m128i*)(dest + i));
    __m128i d1 = _mm_loadu_si128((const __m128i*)(dest + i + 4));
    _mm_storeu_si128((__m128i*)(dest + i), copySourceAlpha4(s0, d0));
    _mm_storeu_si128((__m128i*)(dest + i + 4), copySourceAlpha4(s1, d1));
  }
  for (; i + 4 <= n; i += 4)
  {
    __m128i s = _mm_loadu_si128((const __m128i*)(src + i));
    __m128i sa = _mm_and_si128(s, alphaMask);
    // Most image pixels are fully opaque or fully transparent: settle those blocks at once.
    int opaque = _mm_movemask_epi8(_mm_cmpeq_epi32(sa, alphaMask));
    if (opaque == 0xFFFF)
    {
      _mm_storeu_si128((__m128i*)(dest + i), s);
      continue;
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(sa, zero)) == 0xFFFF) continue;
    __m128i d = _mm_loadu_si128((const __m128i*)(dest + i));
    _mm_storeu_si128((__m128i*)(dest + i), copySourceAlpha4(s, d));
  }
  if (i < n) Raster_SpanCopySourceAlpha_Scalar(dest + i, src + i, n - i);
}

// s + (d - s) * k / 256 per 16-bit lane (bytes widened) with the division truncated toward
// zero, for 0 <= k <= 256: the magnitude |d - s| * k is at most 255 * 256 and fits unsigned
// 16 bits; the sign goes back on after the shift.
static inline __m128i lerpTrunc16(__m128i s16, __m128i d16, __m128i k)
{
  __m128i diff = _mm_sub_epi16(d16, s16);
  __m128i neg = _mm_srai_epi16(diff, 15);
  __m128i mag = _mm_sub_epi16(_mm_xor_si128(diff, neg), neg);
  __m128i q = _mm_srli_epi16(_mm_mullo_epi16(mag, k), 8);
  q = _mm_sub_epi16(_mm_xor_si128(q, neg), neg);
  return _mm_add_epi16(s16, q);
}

// All four channels: s + (d - s) * (256 - w) / 256, with 256 - w at most 255.
void Raster_SpanCopyWeighted_SSE2(uint32_t* dest, const uint32_t* src, int n, int w)
{
  const __m128i zero = _mm_setzero_si128();
  const __m128i k = _mm_set1_epi16((short)(256 - w));
  int i = 0;
  for (; i + 4 <= n; i += 4)
  {
    __m128i s = _mm_loadu_si128((const __m128i*)(src + i));
    __m128i d = _mm_loadu_si128((const __m128i*)(dest + i));
    __m128i lo = lerpTrunc16(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero), k);
    __m128i hi = lerpTrunc16(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero), k);
    _mm_storeu_si128((__m128i*)(dest + i), _mm_packus_epi16(lo, hi));
  }
  if (i < n) Raster_SpanCopyWeighted_Scalar(dest + i, src + i, n - i, w);
}

// v = w (a + 1) / 256 per pixel (w <= 255, so v <= 255 and w (a + 1) fits 16 bits); colour
// s + (d - s) (256 - v) / 256 (product at most 255 * 256); alpha min(255, d + v); a = 0
// leaves the pixel alone.
void Raster_SpanCopySourceAlphaWeighted_SSE2(uint32_t* dest, const uint32_t* src, int n, int w)
{
  const __m128i zero = _mm_setzero_si128();
  const __m128i alphaMask = _mm_set1_epi32((int)0xFF000000);
  const __m128i wv = _mm_set1_epi16((short)w);
  const __m128i one = _mm_set1_epi16(1);
  const __m128i c256 = _mm_set1_epi16(256);
  int i = 0;
  for (; i + 4 <= n; i += 4)
  {
    __m128i s = _mm_loadu_si128((const __m128i*)(src + i));
    __m128i sa = _mm_and_si128(s, alphaMask);
    __m128i transparent = _mm_cmpeq_epi32(sa, zero);
    if (_mm_movemask_epi8(transparent) == 0xFFFF) continue;
    __m128i d = _mm_loadu_si128((const __m128i*)(dest + i));
    __m128i out[2], vv[2];
    for (int half = 0; half < 2; ++half)
    {
      __m128i s16 = half ? _mm_unpackhi_epi8(s, zero) : _mm_unpacklo_epi8(s, zero);
      __m128i d16 = half ? _mm_unpackhi_epi8(d, zero) : _mm_unpacklo_epi8(d, zero);
      __m128i a16 = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s16, 0xFF), 0xFF);
      __m128i v = _mm_srli_epi16(_mm_mullo_epi16(wv, _mm_add_epi16(a16, one)), 8);
      vv[half] = v;
      out[half] = lerpTrunc16(s16, d16, _mm_sub_epi16(c256, v));
    }
    __m128i colour = _mm_andnot_si128(alphaMask, _mm_packus_epi16(out[0], out[1]));
    // v as a byte in the alpha position of each pixel, then a saturating add to d's alpha.
    __m128i vBytes = _mm_and_si128(_mm_packus_epi16(vv[0], vv[1]), alphaMask);
    __m128i alpha = _mm_and_si128(_mm_adds_epu8(d, vBytes), alphaMask);
    __m128i res = _mm_or_si128(colour, alpha);
    _mm_storeu_si128((__m128i*)(dest + i), _mm_or_si128(_mm_and_si128(transparent, d), _mm_andnot_si128(transparent, res)));
  }
  if (i < n) Raster_SpanCopySourceAlphaWeighted_Scalar(dest + i, src + i, n - i, w);
}

void Raster_SpanHalfMix_SSE2(uint32_t* dest, const uint32_t* src, int n)
{
  const __m128i m = _mm_set1_epi32(0x7F7F7F7F);
  int i = 0;
  for (; i + 4 <= n; i += 4)
  {
    __m128i s = _mm_loadu_si128((const __m128i*)(src + i));
    __m128i d = _mm_loadu_si128((const __m128i*)(dest + i));
    __m128i r = _mm_add_epi32(_mm_and_si128(_mm_srli_epi32(s, 1), m), _mm_and_si128(_mm_srli_epi32(d, 1), m));
    _mm_storeu_si128((__m128i*)(dest + i), r);
  }
  if (i < n) Raster_SpanHalfMix_Scalar(dest + i, src + i, n - i);
}

namespace
{
// Per-kind word formula on four pixels; pre is the prescaled colour as in the combine classes.
template <int Kind>
inline __m128i fast4(__m128i d, __m128i pre)
{
  const __m128i m1 = _mm_set1_epi32(0x7F7F7F7F);
  const __m128i m2 = _mm_set1_epi32(0x3F3F3F3F);
  if (Kind == kRasterFill_HalfMix) return _mm_add_epi32(pre, _mm_and_si128(_mm_srli_epi32(d, 1), m1));
  if (Kind == kRasterFill_QuarterMix)
    return _mm_add_epi32(_mm_add_epi32(pre, _mm_and_si128(_mm_srli_epi32(d, 2), m2)), _mm_and_si128(_mm_srli_epi32(d, 1), m1));
  return _mm_add_epi32(pre, _mm_and_si128(_mm_srli_epi32(d, 2), m2));  // three quarters
}

template <int Kind, class C>
void fillMix(uint32_t* dest, int n, uint32_t colour)
{
  uint32_t pre = C::prescale(colour);
  int i = 0;
  // Scalar head up to a 16-byte boundary so that the body uses aligned loads and stores.
  while (i < n && ((uintptr_t)(dest + i) & 15)) C::doPix(&dest[i++], pre);
  __m128i p = _mm_set1_epi32((int)pre);
  for (; i + 8 <= n; i += 8)
  {
    __m128i d0 = _mm_load_si128((const __m128i*)(dest + i));
    __m128i d1 = _mm_load_si128((const __m128i*)(dest + i + 4));
    _mm_store_si128((__m128i*)(dest + i), fast4<Kind>(d0, p));
    _mm_store_si128((__m128i*)(dest + i + 4), fast4<Kind>(d1, p));
  }
  for (; i < n; ++i) C::doPix(&dest[i], pre);
}
}  // namespace

void Raster_SpanFillFast_SSE2(uint32_t* dest, int n, uint32_t colour, ERasterFillFast kind)
{
  switch (kind)
  {
    case kRasterFill_Clobber:
    {
      int i = 0;
      while (i < n && ((uintptr_t)(dest + i) & 15)) dest[i++] = colour;
      __m128i c = _mm_set1_epi32((int)colour);
      for (; i + 16 <= n; i += 16)
      {
        _mm_store_si128((__m128i*)(dest + i), c);
        _mm_store_si128((__m128i*)(dest + i + 4), c);
        _mm_store_si128((__m128i*)(dest + i + 8), c);
        _mm_store_si128((__m128i*)(dest + i + 12), c);
      }
      for (; i + 4 <= n; i += 4) _mm_store_si128((__m128i*)(dest + i), c);
      for (; i < n; ++i) dest[i] = colour;
      break;
    }
    case kRasterFill_HalfMix: fillMix<kRasterFill_HalfMix, Raster_CombinePixelsHalfMix2FAST>(dest, n, colour); break;
    case kRasterFill_QuarterMix: fillMix<kRasterFill_QuarterMix, Raster_CombinePixelsQuarterMix2FAST>(dest, n, colour); break;
    case kRasterFill_ThreeQuarterMix:
      fillMix<kRasterFill_ThreeQuarterMix, Raster_CombinePixelsThreeQuarterMix2FAST>(dest, n, colour);
      break;
  }
}

// The bilinear arithmetic of Raster_BilinearPixel. Both passes have the form
// (a * 65536 + d * f) >> shift with f an unsigned 16-bit fraction and d a signed difference of at
// most 16320. f does not fit a signed 16-bit lane, but f - 32768 does, and
//   d * f = d * (f - 32768) + (2 d) * 16384,
// which is one _mm_madd_epi16 of the lane pair (d, 2 d) with the weight pair (f - 32768, 16384):
// exact, so the rows equal the scalar definition bit for bit.

// Weight pairs (f - 32768, 16384) for the four fractions in the 32-bit lanes of f.
static inline __m128i bilinearWeights(__m128i f)
{
  return _mm_or_si128(_mm_and_si128(_mm_sub_epi32(f, _mm_set1_epi32(32768)), _mm_set1_epi32(0xFFFF)),
                      _mm_set1_epi32(16384 << 16));
}

// Lane pairs (d, 2 d) of the 32-bit differences d (each within +-16383).
static inline __m128i differencePairs(__m128i d)
{
  return _mm_or_si128(_mm_and_si128(d, _mm_set1_epi32(0xFFFF)), _mm_slli_epi32(d, 17));
}

// Column pass of two adjacent source columns (x and x + 1 of both rows, 8 bytes each): per
// channel v = (c0 * 65536 + (c1 - c0) fy) >> 10, column x in *v0 and x + 1 in *v1.
static inline void bilinearColumns(__m128i top, __m128i bottom, __m128i wy, __m128i* v0, __m128i* v1)
{
  const __m128i zero = _mm_setzero_si128();
  __m128i t = _mm_unpacklo_epi8(top, zero);  // B0 G0 R0 A0 B1 G1 R1 A1
  __m128i d = _mm_sub_epi16(_mm_unpacklo_epi8(bottom, zero), t);
  __m128i d2 = _mm_add_epi16(d, d);
  __m128i lo = _mm_madd_epi16(_mm_unpacklo_epi16(d, d2), wy);
  __m128i hi = _mm_madd_epi16(_mm_unpackhi_epi16(d, d2), wy);
  *v0 = _mm_srai_epi32(_mm_add_epi32(_mm_unpacklo_epi16(zero, t), lo), 10);
  *v1 = _mm_srai_epi32(_mm_add_epi32(_mm_unpackhi_epi16(zero, t), hi), 10);
}

namespace
{
// What the row pass needs of one source column and its right neighbour.
struct BilinearColumn
{
  __m128i left;   // vL * 65536 per channel
  __m128i pairs;  // (vR - vL, 2 (vR - vL)) per channel
};
}  // namespace

void Raster_SpanBilinear_SSE2(uint32_t* dest, const uint32_t* row0, const uint32_t* row1, int srcWidth, const int32_t* fx, int n,
                              int fy)
{
  if (n <= 0) return;
  const __m128i wy = bilinearWeights(_mm_set1_epi32(fy & 0xFFFF));

  // The source columns this row reads (fx is monotonic: its ends bound it).
  int lo = fx[0] >> 16, hi = fx[n - 1] >> 16;
  if (lo > hi)
  {
    int t = lo;
    lo = hi;
    hi = t;
  }
  const int count = hi - lo + 1;

  // The column pass runs once per source column instead of once per destination pixel (an
  // up-scale reads each column several times). Stack buffers for up to 1024 columns, else the
  // heap; without it, the scalar row (the same arithmetic) serves.
  alignas(16) BilinearColumn localCols[1024];
  alignas(16) __m128i localV[1024 + 2];
  BilinearColumn* cols = localCols;
  __m128i* v = localV;
  void* heap = nullptr;
  if (count > 1024)
  {
    heap = std::malloc(sizeof(BilinearColumn) * (size_t)count + sizeof(__m128i) * (size_t)(count + 2) + 16);
    if (!heap)
    {
      Raster_SpanBilinear_Scalar(dest, row0, row1, srcWidth, fx, n, fy);
      return;
    }
    cols = (BilinearColumn*)(((uintptr_t)heap + 15) & ~(uintptr_t)15);
    v = (__m128i*)(cols + count);
  }

  // Columns lo .. hi + 1, two at a time; the right neighbour of the last column is itself.
  const int last = hi + 1 < srcWidth ? hi + 1 : hi;
  int k = 0;
  for (int x = lo; x <= last; x += 2, k += 2)
  {
    __m128i top, bottom;
    if (x + 1 <= last)
    {
      top = _mm_loadl_epi64((const __m128i*)(row0 + x));
      bottom = _mm_loadl_epi64((const __m128i*)(row1 + x));
    }
    else
    {
      top = _mm_cvtsi32_si128((int)row0[x]);
      bottom = _mm_cvtsi32_si128((int)row1[x]);
    }
    bilinearColumns(top, bottom, wy, &v[k], &v[k + 1]);
  }
  if (last == hi) v[count] = v[count - 1];
  for (k = 0; k < count; ++k)
  {
    cols[k].left = _mm_slli_epi32(v[k], 16);
    cols[k].pairs = differencePairs(_mm_sub_epi32(v[k + 1], v[k]));
  }

  // Row pass, four pixels at a time: the weights of all four are formed in one register.
  const BilinearColumn* base = cols - lo;
  const __m128i mask16 = _mm_set1_epi32(0xFFFF);
  auto across = [](const BilinearColumn& c, __m128i w) {
    return _mm_srai_epi32(_mm_add_epi32(c.left, _mm_madd_epi16(c.pairs, w)), 22);
  };
  int i = 0;
  for (; i + 4 <= n; i += 4)
  {
    const __m128i w = bilinearWeights(_mm_and_si128(_mm_loadu_si128((const __m128i*)(fx + i)), mask16));
    __m128i r0 = across(base[fx[i] >> 16], _mm_shuffle_epi32(w, 0x00));
    __m128i r1 = across(base[fx[i + 1] >> 16], _mm_shuffle_epi32(w, 0x55));
    __m128i r2 = across(base[fx[i + 2] >> 16], _mm_shuffle_epi32(w, 0xAA));
    __m128i r3 = across(base[fx[i + 3] >> 16], _mm_shuffle_epi32(w, 0xFF));
    __m128i p01 = _mm_packs_epi32(r0, r1);
    __m128i p23 = _mm_packs_epi32(r2, r3);
    _mm_storeu_si128((__m128i*)(dest + i), _mm_packus_epi16(p01, p23));
  }
  for (; i < n; ++i)
  {
    __m128i r = across(base[fx[i] >> 16], bilinearWeights(_mm_set1_epi32(fx[i] & 0xFFFF)));
    __m128i p = _mm_packs_epi32(r, r);
    dest[i] = (uint32_t)_mm_cvtsi128_si32(_mm_packus_epi16(p, p));
  }
  std::free(heap);
}
#endif
