// Calibration files: the search in a folder, the reading into the table, and the divisors.
// The byte-wise text parser is CalibrationParser.cpp, kept apart for its fuzz target.
#include "ThdCalibration.h"

#include "Util_CStr.h"
#include "Util_Platform.h"

#include <cstdio>
#include <cstdlib>

namespace {
const char* const kPatterns[] = {"*.frd", "*.cal", "*.txt"};
}  // namespace

bool ThdCalibration::FindFile(const char* folder, char* name, int nameSize, char* path, int pathSize)
{
  for (const char* pattern : kPatterns)
    if (Util_FindFirstFile(folder, pattern, name, nameSize > 0 ? (size_t)nameSize : 0, path,
                           pathSize > 0 ? (size_t)pathSize : 0))
      return true;
  return false;
}

int ThdCalibration::ReadFile(const char* path, double* frequencies, double* levels, int maxPoints)
{
  FILE* file = path && *path ? std::fopen(path, "rb") : nullptr;
  if (!file) return -1;
  int count = 0;
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  std::rewind(file);
  if (size > 0)
  {
    // A size the heap cannot hold reads as an empty file: no calibration, silently.
    char* block = (char*)std::malloc((size_t)size);
    if (block)
    {
      const size_t got = std::fread(block, 1, (size_t)size, file);
      count = ParseCalibrationText(block, got, frequencies, levels, maxPoints);
      std::free(block);
    }
  }
  std::fclose(file);
  return count;
}

ThdCalibration::ELoadResult ThdCalibration::LoadFromFolder(const char* folder)
{
  mCalibrationLoaded = 0;
  if (!FindFile(folder, mCalibrationName, (int)sizeof mCalibrationName, mCalibrationPath, (int)sizeof mCalibrationPath))
    return ELoadResult::kNoFile;
  mCalibrationCount = 0;
  const int count = ReadFile(mCalibrationPath, mCalibrationFrequency, mCalibrationLevel, kMaxPoints);
  if (count < 0) return ELoadResult::kUnopenable;  // nothing to read: calibration stays off
  mCalibrationCount = count;
  mCalibrationLoaded = count >= 2 ? 1 : 0;
  return ELoadResult::kRead;
}

bool ThdCalibration::LoadFile(const char* path)
{
  mCalibrationLoaded = 0;
  mCalibrationCount = 0;
  mCalibrationName[0] = 0;
  mCalibrationPath[0] = 0;
  if (!path) return true;
  const int count = ReadFile(path, mCalibrationFrequency, mCalibrationLevel, kMaxPoints);
  if (count < 0) return false;
  Util_StrCopy(mCalibrationName, Util_FileNameOf(path));
  Util_StrCopy(mCalibrationPath, path);
  mCalibrationCount = count;
  mCalibrationLoaded = count >= 2 ? 1 : 0;
  return true;
}

double ThdCalibration::Divisor(double hz) const
{
  return mCalibrationLoaded ? CalibrationDivisor(hz, mCalibrationFrequency, mCalibrationLevel, mCalibrationCount) : 1.0;
}
