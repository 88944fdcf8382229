// Raster_CircleMasks.h - built-in coverage masks of the small circles (internal).
#pragma once

#include <cstdint>

struct Raster_CircleMask
{
  float radius;
  int half;  // K: each mask is (2K + 1) x (2K + 1) coverage bytes, the centre at (K, K)
  const uint8_t* outline;
  const uint8_t* outlineAA;
  const uint8_t* fill;
  const uint8_t* fillAA;
};

// The mask set of radius exactly 1.5, 2, 2.5, 3, 3.5 or 4; null for every other radius.
const Raster_CircleMask* Raster_FindCircleMask(float r);
