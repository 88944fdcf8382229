// printf into a std::string for the measurement tool's messages.

#include "ThdFormat.h"

#include <cstdarg>
#include <cstdio>

std::string ThdFormat(const char* fmt, ...)
{
  char buf[512];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  return buf;
}
