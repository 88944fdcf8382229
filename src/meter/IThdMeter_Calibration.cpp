// Calibration files: found once, in the meter's documents folder, when the plug-in object is
// built; the divisors are derived from the table at every Start (IThdMeter_Control.cpp).
#include "IThdMeter.h"

#include "CalibrationParser.h"
#include "IUserNotice.h"
#include "Util_CStr.h"
#include "Util_Platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
const char* const kPatterns[] = {"*.frd", "*.cal", "*.txt"};
constexpr const char* kOpenFailure = "Error_005 Can't open calibration file.";
}  // namespace

bool IThdMeter::FindCalibrationFile(const char* folder, char* name, int nameSize, char* path, int pathSize)
{
  for (const char* pattern : kPatterns)
    if (Util_FindFirstFile(folder, pattern, name, nameSize > 0 ? (size_t)nameSize : 0, path,
                           pathSize > 0 ? (size_t)pathSize : 0))
      return true;
  return false;
}

int IThdMeter::ReadCalibrationFile(const char* path, double* frequencies, double* levels, int maxPoints)
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

void IThdMeter::LoadCalibration()
{
  mCalibrationLoaded = 0;
  if (!FindCalibrationFile(mDocumentsFolder, mCalibrationName, (int)sizeof mCalibrationName, mCalibrationPath,
                           (int)sizeof mCalibrationPath))
    return;
  mCalibrationCount = 0;
  const int count = ReadCalibrationFile(mCalibrationPath, mCalibrationFrequency, mCalibrationLevel, kMaxCalibrationPoints);
  if (count < 0)
  {
    // Nothing to read: calibration stays off for this instance.
    ShowUserNotice(kOpenFailure, "Info", kNoticeInfo);
    return;
  }
  mCalibrationCount = count;
  mCalibrationLoaded = count >= 2 ? 1 : 0;
}

bool IThdMeter::UseCalibrationFile(const char* path)
{
  mCalibrationLoaded = 0;
  mCalibrationCount = 0;
  mCalibrationName[0] = 0;
  mCalibrationPath[0] = 0;
  if (!path) return true;
  const int count = ReadCalibrationFile(path, mCalibrationFrequency, mCalibrationLevel, kMaxCalibrationPoints);
  if (count < 0) return false;
  Util_StrCopy(mCalibrationName, Util_FileNameOf(path));
  Util_StrCopy(mCalibrationPath, path);
  mCalibrationCount = count;
  mCalibrationLoaded = count >= 2 ? 1 : 0;
  return true;
}
