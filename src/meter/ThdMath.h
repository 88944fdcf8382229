// Small conversions the meter needs on values that may come from anywhere (a host's sample
// rate, a restored state): an integer part that never converts a NaN or an out-of-range
// double to int.
#pragma once

#include <climits>

// The integer part of v (truncation), with NaN read as 0 and values beyond int clamped.
inline int ThdIntPart(double v)
{
  if (!(v == v)) return 0;
  if (v >= (double)INT_MAX) return INT_MAX;
  if (v <= (double)INT_MIN) return INT_MIN;
  return (int)v;
}
