// Byte-order helpers. Stored formats fix their byte order; these read and write it
// independently of the machine's own.
#pragma once

#include <cstdint>
#include <cstring>

inline uint32_t Util_ReadBE32(const void* p)
{
  const unsigned char* b = (const unsigned char*)p;
  return (uint32_t)b[0] << 24 | (uint32_t)b[1] << 16 | (uint32_t)b[2] << 8 | (uint32_t)b[3];
}

inline void Util_WriteBE32(void* p, uint32_t v)
{
  unsigned char* b = (unsigned char*)p;
  b[0] = (unsigned char)(v >> 24);
  b[1] = (unsigned char)(v >> 16);
  b[2] = (unsigned char)(v >> 8);
  b[3] = (unsigned char)v;
}

inline uint32_t Util_ReadLE32(const void* p)
{
  const unsigned char* b = (const unsigned char*)p;
  return (uint32_t)b[3] << 24 | (uint32_t)b[2] << 16 | (uint32_t)b[1] << 8 | (uint32_t)b[0];
}

inline void Util_WriteLE32(void* p, uint32_t v)
{
  unsigned char* b = (unsigned char*)p;
  b[0] = (unsigned char)v;
  b[1] = (unsigned char)(v >> 8);
  b[2] = (unsigned char)(v >> 16);
  b[3] = (unsigned char)(v >> 24);
}

inline float Util_ReadBEFloat(const void* p)
{
  const uint32_t v = Util_ReadBE32(p);
  float f;
  std::memcpy(&f, &v, sizeof f);
  return f;
}

inline void Util_WriteBEFloat(void* p, float f)
{
  uint32_t v;
  std::memcpy(&v, &f, sizeof v);
  Util_WriteBE32(p, v);
}

inline uint32_t Util_Swap32(uint32_t v)
{
  return (v >> 24) | ((v >> 8) & 0xff00u) | ((v << 8) & 0xff0000u) | (v << 24);
}

// Four-character code packed with the first character in the high byte ('THDM').
constexpr int32_t Util_FourCC(const char (&s)[5])
{
  return (int32_t)((uint32_t)(unsigned char)s[0] << 24 | (uint32_t)(unsigned char)s[1] << 16 |
                   (uint32_t)(unsigned char)s[2] << 8 | (uint32_t)(unsigned char)s[3]);
}
