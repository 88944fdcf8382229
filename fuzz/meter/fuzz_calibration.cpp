// Calibration text parser: any bytes, any table size. The tables carry a guard slot past
// their end that must stay untouched, and the divisors derived from what was read must be
// computable for any frequency.
#include "CalibrationParser.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  // The first byte picks a small table now and then, so that full tables are reached; the
  // plug-in's own 10000 points otherwise.
  int maxPoints = 10000;
  if (size > 0 && data[0] < 16)
  {
    maxPoints = 1 + data[0];
    ++data;
    --size;
  }
  std::vector<char> text(data, data + size);
  std::vector<double> frequencies((size_t)maxPoints + 1, -12345.0), levels((size_t)maxPoints + 1, -12345.0);
  const int count = ParseCalibrationText(text.data(), text.size(), frequencies.data(), levels.data(), maxPoints);
  if (count < 0 || count > maxPoints) std::abort();
  if (frequencies[(size_t)maxPoints] != -12345.0 || levels[(size_t)maxPoints] != -12345.0) std::abort();
  // Every comma became a point, unless parsing stopped early at a full table.
  if (count < maxPoints && !text.empty() && std::memchr(text.data(), ',', text.size())) std::abort();
  if (count >= 1)
    for (double x : {0.0, 20.0, 1000.0, 19999.0, 20000.0, 100000.0, frequencies[0], frequencies[(size_t)count - 1]})
      (void)CalibrationDivisor(x, frequencies.data(), levels.data(), count);
  return 0;
}
