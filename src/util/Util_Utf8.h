// UTF-8 decoding and encoding for every text path (the glyph cache, the text layer, the native
// text output), so that all of them see the same characters in the same bytes.
//
// Decoding policy, one character at a time:
// - lead byte 0xC2..0xDF + one continuation byte (0x80..0xBF): two bytes, code
//   ((lead & 0x1F) << 6) | (c1 & 0x3F);
// - lead byte 0xE0..0xEF + two continuation bytes: three bytes, code from the payload bits
//   ((lead & 0x0F) << 12 | ...), without further checks of the code's range;
// - lead byte 0xF0..0xF4 + three continuation bytes: four bytes, the full code point from the
//   payload bits (0x10000 and above for well-formed text). Callers whose characters are 16
//   bits wide (the glyph cache) show these as a space, see Util_Utf8Bmp;
// - any other byte (a continuation byte, 0x80..0xC1, 0xF5..0xFF, a lead byte whose sequence is
//   cut short or interrupted) stands for itself: one byte, code = the byte's value (so 8-bit
//   text still draws as Latin-1).
// Decoding never reads beyond `avail` bytes, and a NUL byte is never a continuation byte, so
// NUL-terminated text may pass avail = 4.
#pragma once

#include <cstdint>

// Decodes the character at s (avail >= 1 readable bytes): stores its code and returns the
// number of bytes it took (1..4).
int Util_DecodeUtf8(const char* s, int avail, uint32_t* code);

// True when the bytes (len bytes, or up to a NUL when len < 0) hold at least one well-formed
// multi-byte sequence under the policy above.
bool Util_HasMultiByteUtf8(const char* s, int len);

// Encodes a code below 0x110000 as 1..4 bytes into out (room for 4); returns the byte count.
// Larger codes encode as '?'.
int Util_EncodeUtf8(uint32_t code, char* out);

// The 16-bit form of a code: codes above 0xFFFF (four-byte sequences) become a space.
inline int Util_Utf8Bmp(uint32_t code) { return code > 0xFFFF ? ' ' : (int)code; }
