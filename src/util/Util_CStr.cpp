// Bounded C-string copies, appends and whole-or-nothing formatting.
#include "Util_CStr.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

char* Util_StrCopy(char* dst, const char* src, size_t dstSize)
{
  if (!dst || dstSize == 0) return dst;
  if (!src) src = "";
  size_t n = 0;
  while (n + 1 < dstSize && src[n]) ++n;
  std::memmove(dst, src, n);
  dst[n] = 0;
  return dst;
}

char* Util_StrAppend(char* dst, const char* src, size_t dstSize)
{
  if (!dst || dstSize == 0) return dst;
  const size_t used = strnlen(dst, dstSize);
  if (used >= dstSize) { dst[dstSize - 1] = 0; return dst; }
  Util_StrCopy(dst + used, src, dstSize - used);
  return dst;
}

bool Util_StrFormatWhole(char* dst, size_t dstSize, const char* format, ...)
{
  if (!dst || dstSize == 0) return false;
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(dst, dstSize, format, args);
  va_end(args);
  if (n < 0 || (size_t)n >= dstSize)
  {
    dst[0] = 0;
    return false;
  }
  return true;
}
