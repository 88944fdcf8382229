// The SSE2 coverage mix against the scalar rule, over every channel value, colour and coverage.
#include "GdiEmu_Blend.h"

#include <gtest/gtest.h>

#ifdef __SSE2__
TEST(GdiEmuBlend, SSE2MixEqualsScalarMixEverywhere)
{
  long mismatches = 0;
  // Each lane of the two pixels runs through all 256 x 256 (colour, destination) pairs.
  for (unsigned c = 0; c < 256; ++c)
    for (unsigned d = 0; d < 256; ++d)
    {
      const uint32_t color = 0xFF000000u | (c << 16) | ((255 - c) << 8) | (c ^ 0x5A);
      const uint32_t dst = (d << 24) | (d << 16) | (((d * 7) & 0xFF) << 8) | (255 - d);
      const __m128i lanes = _mm_unpacklo_epi8(_mm_cvtsi32_si128((int)color), _mm_setzero_si128());
      for (unsigned k = 1; k < 255; ++k)
        if (GdiEmu_Mix(dst, color, k) != GdiEmu_MixSSE2(dst, lanes, k) && ++mismatches < 5)
          ADD_FAILURE() << "colour " << c << " dest " << d << " coverage " << k;
    }
  EXPECT_EQ(mismatches, 0);
}
#endif

TEST(GdiEmuBlend, ScalarMixEnds)
{
  EXPECT_EQ(GdiEmu_Mix(0x00102030, 0xFFFFFFFF, 255), 0xFFFFFFFFu);  // full coverage: the colour
  EXPECT_EQ(GdiEmu_Mix(0x00000000, 0xFFFFFFFF, 1), 0x01010101u);  // 1/255 of the way, alpha too
  EXPECT_EQ(GdiEmu_Mix(0xFF000000, 0xFFFFFFFF, 128), 0xFF808080u);
}
