// Calibration files: found once, in the meter's documents folder, when the plug-in object is
// built; the divisors are derived from the table at every Start (IThdMeter_Control.cpp).
#include "IThdMeter.h"

#include "CalibrationParser.h"
#include "IUserNotice.h"
#include "Util_CStr.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <glob.h>
#endif

namespace {
const char* const kPatterns[] = {"*.frd", "*.cal", "*.txt"};
constexpr const char* kOpenFailure = "Error_005 Can't open calibration file.";

#ifndef _WIN32
// The folder is taken literally: glob characters in it ("[", "*", "?") are escaped.
void AppendEscaped(char* dst, size_t dstSize, const char* src)
{
  size_t len = std::strlen(dst);
  for (; *src && len + 2 < dstSize; ++src)
  {
    if (*src == '\\' || *src == '*' || *src == '?' || *src == '[') dst[len++] = '\\';
    dst[len++] = *src;
  }
  dst[len] = 0;
}
#endif
}  // namespace

bool IThdMeter::FindCalibrationFile(const char* folder, char* name, int nameSize, char* path, int pathSize)
{
  if (name && nameSize > 0) name[0] = 0;
  if (path && pathSize > 0) path[0] = 0;
  if (!folder || !*folder || !name || nameSize < 1 || !path || pathSize < 1) return false;
  const size_t folderLen = std::strlen(folder);
#ifdef _WIN32
  const bool hasSep = folder[folderLen - 1] == '\\' || folder[folderLen - 1] == '/';
  for (const char* pattern : kPatterns)
  {
    char search[1100];
    std::snprintf(search, sizeof search, "%s%s%s", folder, hasSep ? "" : "\\", pattern);
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(search, &found);
    if (h == INVALID_HANDLE_VALUE) continue;
    FindClose(h);
    Util_StrCopy(name, found.cFileName, (size_t)nameSize);
    std::snprintf(path, (size_t)pathSize, "%s%s%s", folder, hasSep ? "" : "\\", found.cFileName);
    return true;
  }
#else
  const bool hasSep = folder[folderLen - 1] == '/';
  for (const char* pattern : kPatterns)
  {
    char search[2200] = {};
    AppendEscaped(search, sizeof search, folder);
    Util_StrAppend(search, hasSep ? "" : "/", sizeof search);
    Util_StrAppend(search, pattern, sizeof search);
    glob_t g;
    std::memset(&g, 0, sizeof g);
    const int rc = glob(search, 0, nullptr, &g);  // matches come sorted by name
    if (rc == 0 && g.gl_pathc > 0)
    {
      const char* match = g.gl_pathv[0];
      const char* slash = std::strrchr(match, '/');
      Util_StrCopy(name, slash ? slash + 1 : match, (size_t)nameSize);
      Util_StrCopy(path, match, (size_t)pathSize);
      globfree(&g);
      return true;
    }
    globfree(&g);
  }
#endif
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
  const char* slash = std::strrchr(path, '/');
#ifdef _WIN32
  if (const char* back = std::strrchr(path, '\\'); back && (!slash || back > slash)) slash = back;
#endif
  Util_StrCopy(mCalibrationName, slash ? slash + 1 : path);
  Util_StrCopy(mCalibrationPath, path);
  mCalibrationCount = count;
  mCalibrationLoaded = count >= 2 ? 1 : 0;
  return true;
}
