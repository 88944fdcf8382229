// Growable NUL-terminated 8-bit string (heap granularity 128). Get() never returns null.
#pragma once

#include "Util_HeapBuf.h"

#include <cstdarg>

class Util_String
{
public:
  Util_String(const char* text = "");
  Util_String(const Util_String& other);
  Util_String& operator=(const Util_String& other);

  const char* Get() const;
  int GetLength() const;

  // maxLen < 0 copies the whole text; otherwise at most maxLen bytes.
  void Set(const char* text, int maxLen = -1);
  void Append(const char* text, int maxLen = -1);
  void SetFormatted(int maxLen, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
  void AppendFormatted(int maxLen, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
  void SetLen(int len);  // truncates or pads with NULs

private:
  void AppendV(int maxLen, const char* fmt, va_list args);
  Util_HeapBuf mBuf;
};
