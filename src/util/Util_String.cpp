// The growable string: set, append and format, each bounded by the length it is given.

#include "Util_String.h"

#include <cstdio>
#include <cstring>

namespace {

// Length of text, reading no further than maxLen bytes when maxLen >= 0: a bounded source
// (a string field inside a chunk) need not be terminated.
size_t BoundedLength(const char* text, int maxLen)
{
  return maxLen >= 0 ? strnlen(text, (size_t)maxLen) : std::strlen(text);
}

}  // namespace

Util_String::Util_String(const char* text) : mBuf(128)
{
  Set(text);
}

Util_String::Util_String(const Util_String& other) : mBuf(128)
{
  Set(other.Get());
}

Util_String& Util_String::operator=(const Util_String& other)
{
  if (this != &other) Set(other.Get());
  return *this;
}

const char* Util_String::Get() const
{
  const char* p = (const char*)mBuf.Get();
  return p ? p : "";
}

int Util_String::GetLength() const
{
  return (int)std::strlen(Get());
}

void Util_String::Set(const char* text, int maxLen)
{
  if (!text) text = "";
  if (text >= (const char*)mBuf.Get() && mBuf.Get() && text < (const char*)mBuf.Get() + mBuf.GetSize())
  {
    // Setting from our own storage: copy first.
    Util_String tmp;
    tmp.Set(text, maxLen);
    Set(tmp.Get());
    return;
  }
  size_t len = BoundedLength(text, maxLen);
  if (len > 0x7ffffff0u) len = 0x7ffffff0u;
  char* p = (char*)mBuf.Resize((int)len + 1, false);
  if (!p) return;
  std::memcpy(p, text, len);
  p[len] = 0;
}

void Util_String::Append(const char* text, int maxLen)
{
  if (!text || maxLen == 0 || !*text) return;
  Util_String tmp;  // tolerates appending from our own storage
  tmp.Set(text, maxLen);
  const size_t add = (size_t)tmp.GetLength();
  const int old = GetLength();
  if ((long long)old + (long long)add + 1 > 0x7ffffff0LL) return;
  char* p = (char*)mBuf.Resize(old + (int)add + 1, false);
  if (!p) return;
  std::memcpy(p + old, tmp.Get(), add);
  p[old + add] = 0;
}

void Util_String::AppendV(int maxLen, const char* fmt, va_list args)
{
  if (maxLen <= 0) return;
  const int old = GetLength();
  if ((long long)old + maxLen + 1 > 0x7ffffff0LL) return;
  char* p = (char*)mBuf.Resize(old + maxLen + 1, false);
  if (!p) return;
  std::vsnprintf(p + old, (size_t)maxLen + 1, fmt, args);
  mBuf.Resize(old + (int)std::strlen(p + old) + 1, false);
}

void Util_String::SetFormatted(int maxLen, const char* fmt, ...)
{
  Set("");
  va_list args;
  va_start(args, fmt);
  AppendV(maxLen, fmt, args);
  va_end(args);
}

void Util_String::AppendFormatted(int maxLen, const char* fmt, ...)
{
  va_list args;
  va_start(args, fmt);
  AppendV(maxLen, fmt, args);
  va_end(args);
}

void Util_String::SetLen(int len)
{
  if (len < 0) len = 0;
  const int old = GetLength();
  char* p = (char*)mBuf.Resize(len + 1, false);
  if (!p) return;
  if (len > old) std::memset(p + old, 0, (size_t)(len - old));
  p[len] = 0;
}
