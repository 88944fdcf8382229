// Base64 encoding and decoding with bounded output buffers.

#include "Util_Base64.h"

namespace {
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int DecodeChar(unsigned char c)
{
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}
}  // namespace

int Util_Base64Encode(const void* src, int len, char* dst, int dstSize)
{
  if (!dst || dstSize <= 0) return -1;
  if (len < 0 || (len > 0 && !src)) { dst[0] = 0; return -1; }
  if (len > 0x5ffffff0) { dst[0] = 0; return -1; }
  const int need = Util_Base64EncodedLen(len);
  if (need + 1 > dstSize) { dst[0] = 0; return -1; }
  const unsigned char* in = (const unsigned char*)src;
  char* out = dst;
  int i = 0;
  for (; i + 3 <= len; i += 3)
  {
    const unsigned v = (unsigned)in[i] << 16 | (unsigned)in[i + 1] << 8 | in[i + 2];
    *out++ = kAlphabet[v >> 18];
    *out++ = kAlphabet[(v >> 12) & 63];
    *out++ = kAlphabet[(v >> 6) & 63];
    *out++ = kAlphabet[v & 63];
  }
  if (len - i == 1)
  {
    const unsigned v = (unsigned)in[i] << 16;
    *out++ = kAlphabet[v >> 18];
    *out++ = kAlphabet[(v >> 12) & 63];
    *out++ = '=';
    *out++ = '=';
  }
  else if (len - i == 2)
  {
    const unsigned v = (unsigned)in[i] << 16 | (unsigned)in[i + 1] << 8;
    *out++ = kAlphabet[v >> 18];
    *out++ = kAlphabet[(v >> 12) & 63];
    *out++ = kAlphabet[(v >> 6) & 63];
    *out++ = '=';
  }
  *out = 0;
  return need;
}

int Util_Base64Decode(const char* src, void* dst, int dstSize)
{
  if (!src || !dst || dstSize <= 0) return 0;
  unsigned char* out = (unsigned char*)dst;
  int written = 0;
  unsigned acc = 0;
  int bits = 0;
  for (const unsigned char* p = (const unsigned char*)src; *p; ++p)
  {
    const int v = DecodeChar(*p);
    if (v < 0) break;
    acc = (acc << 6) | (unsigned)v;
    bits += 6;
    if (bits >= 8)
    {
      bits -= 8;
      if (written >= dstSize) break;
      out[written++] = (unsigned char)(acc >> bits);
      acc &= (1u << bits) - 1u;
    }
  }
  return written;
}
