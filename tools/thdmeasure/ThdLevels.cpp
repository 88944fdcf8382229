#include "ThdLevels.h"

#include <cmath>
#include <limits>

double ThdDb(double ratio)
{
  if (!(ratio >= 0.0)) return std::numeric_limits<double>::quiet_NaN();
  return 20.0 * std::log10(ratio);
}

double ThdRmsToDbfs(double rms)
{
  return rms > 0.0 ? ThdDb(rms * std::sqrt(2.0)) : kThdNothingDbfs;
}
