// Decibel conversions of the measurement tool, with silence and invalid ratios kept apart.

#include "ThdLevels.h"

#include "ThdFormat.h"

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

std::string ThdDbText(const char* fmt, double db)
{
  if (ThdBelowFloor(db)) return ThdFormat("< %.0f", kThdFloorDb);
  return ThdFormat(fmt, db);
}

std::string ThdLoudestText(double dbfs)
{
  if (ThdBelowFloor(dbfs)) return ThdFormat("stay below %.0f dBFS", kThdFloorDb);
  return ThdFormat("reach %.1f dBFS", dbfs);
}
