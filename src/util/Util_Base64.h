// Base64 with the standard alphabet and '=' padding.
#pragma once

// Encoded length (without terminator) of len bytes.
inline int Util_Base64EncodedLen(int len) { return len <= 0 ? 0 : ((len + 2) / 3) * 4; }

// Writes the NUL-terminated encoding of src[0..len) to dst. Returns the text length, or -1
// (and writes an empty string when dstSize > 0) when dst cannot hold text and terminator.
int Util_Base64Encode(const void* src, int len, char* dst, int dstSize);

// Decodes text until its end, the first '=' or the first character outside the alphabet.
// Writes at most dstSize bytes and returns the number written; a trailing group of a single
// character carries no whole byte and is dropped.
int Util_Base64Decode(const char* src, void* dst, int dstSize);
