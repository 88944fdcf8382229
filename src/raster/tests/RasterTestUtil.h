// Helpers shared by the raster tests: seeded random bitmaps and a bottom-up bitmap.
#pragma once

#include <cstdint>
#include <random>

#include "Raster_Bitmap.h"

// Memory bitmap that stores its rows bottom-up, to check that operations honour isFlipped().
class FlippedMemBitmap : public Raster_MemBitmap
{
public:
  FlippedMemBitmap(int w, int h) : Raster_MemBitmap(w, h, 1) {}
  bool isFlipped() override { return true; }
};

// Random pixels with alphas biased toward 0 and 255, where the fast paths branch.
inline uint32_t RandomPixel(std::mt19937& rng)
{
  uint32_t p = rng();
  switch (rng() % 4)
  {
    case 0: return p | 0xFF000000u;
    case 1: return p & 0x00FFFFFFu;
    default: return p;
  }
}

inline void FillRandom(Raster_IBitmap& bm, std::mt19937& rng)
{
  for (int y = 0; y < bm.getHeight(); ++y)
  {
    uint32_t* row = bm.getBits() + (intptr_t)(bm.isFlipped() ? bm.getHeight() - 1 - y : y) * bm.getRowSpan();
    for (int x = 0; x < bm.getWidth(); ++x) row[x] = RandomPixel(rng);
  }
}

// Logical pixel access independent of the code under test.
inline uint32_t& Px(Raster_IBitmap& bm, int x, int y)
{
  return bm.getBits()[(intptr_t)(bm.isFlipped() ? bm.getHeight() - 1 - y : y) * bm.getRowSpan() + x];
}
