// How text coverage is mixed into pixels (internal to the layer; the tests compare the SSE2
// form with the scalar one over every input).
#pragma once

#include <cstdint>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// Coverage k mixes the text colour over the pixel: each colour channel moves k/255 of the
// way to the text colour and the pixel becomes as opaque as the ink covers it.
inline uint32_t GdiEmu_Mix(uint32_t dst, uint32_t color, unsigned k)
{
  if (k >= 255) return color;
  const unsigned inv = 255 - k;
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8)
  {
    const unsigned d = (dst >> shift) & 0xFF, s = (color >> shift) & 0xFF;
    out |= ((s * k + d * inv + 127) / 255) << shift;
  }
  const unsigned da = dst >> 24;
  out |= (da + ((255 - da) * k + 127) / 255) << 24;
  return out;
}

#ifdef __SSE2__
// Mix in 16-bit lanes: (c * k + d * (255 - k) + 127) / 255 per channel, with the alpha lane
// as a channel of colour 255 (which is the alpha rule above). The division rounds v / 255 to
// nearest as (v + 128 + ((v + 128) >> 8)) >> 8, exact for every v up to 65535 (and v / 255
// never ends in exactly one half, so that is the same as adding 127 and truncating).
inline uint32_t GdiEmu_MixSSE2(uint32_t dst, __m128i colorLanes, unsigned k)
{
  const __m128i zero = _mm_setzero_si128();
  const __m128i dv = _mm_unpacklo_epi8(_mm_cvtsi32_si128((int)dst), zero);
  const __m128i v = _mm_add_epi16(_mm_mullo_epi16(colorLanes, _mm_set1_epi16((short)k)),
                                  _mm_mullo_epi16(dv, _mm_set1_epi16((short)(255 - k))));
  const __m128i t = _mm_add_epi16(v, _mm_set1_epi16(128));
  const __m128i q = _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
  return (uint32_t)_mm_cvtsi128_si32(_mm_packus_epi16(q, q));
}
#endif
