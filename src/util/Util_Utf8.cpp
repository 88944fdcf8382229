// UTF-8 decoding and encoding under the one policy described in the header.
#include "Util_Utf8.h"

int Util_DecodeUtf8(const char* str, int avail, uint32_t* code)
{
  const unsigned char* s = (const unsigned char*)str;
  const uint32_t c = s[0];
  auto cont = [&](int i) { return i < avail && (s[i] & 0xC0) == 0x80; };
  if (c >= 0xC2 && c <= 0xDF && cont(1))
  {
    *code = ((c & 0x1F) << 6) | (s[1] & 0x3Fu);
    return 2;
  }
  if (c >= 0xE0 && c <= 0xEF && cont(1) && cont(2))
  {
    *code = ((c & 0x0F) << 12) | ((s[1] & 0x3Fu) << 6) | (s[2] & 0x3Fu);
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4 && cont(1) && cont(2) && cont(3))
  {
    *code = ((c & 0x07) << 18) | ((s[1] & 0x3Fu) << 12) | ((s[2] & 0x3Fu) << 6) | (s[3] & 0x3Fu);
    return 4;
  }
  *code = c;
  return 1;
}

bool Util_HasMultiByteUtf8(const char* s, int len)
{
  for (int i = 0; len < 0 ? s[i] != 0 : i < len;)
  {
    const int avail = len < 0 ? 4 : (len - i < 4 ? len - i : 4);
    uint32_t code;
    const int n = Util_DecodeUtf8(s + i, avail, &code);
    if (n > 1) return true;
    i += n;
  }
  return false;
}

int Util_EncodeUtf8(uint32_t code, char* out)
{
  if (code < 0x80)
  {
    out[0] = (char)code;
    return 1;
  }
  if (code < 0x800)
  {
    out[0] = (char)(0xC0 | (code >> 6));
    out[1] = (char)(0x80 | (code & 0x3F));
    return 2;
  }
  if (code < 0x10000)
  {
    out[0] = (char)(0xE0 | (code >> 12));
    out[1] = (char)(0x80 | ((code >> 6) & 0x3F));
    out[2] = (char)(0x80 | (code & 0x3F));
    return 3;
  }
  if (code < 0x110000)
  {
    out[0] = (char)(0xF0 | (code >> 18));
    out[1] = (char)(0x80 | ((code >> 12) & 0x3F));
    out[2] = (char)(0x80 | ((code >> 6) & 0x3F));
    out[3] = (char)(0x80 | (code & 0x3F));
    return 4;
  }
  out[0] = '?';
  return 1;
}
