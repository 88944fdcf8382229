// Bounded C-string helpers: every copy into a fixed buffer goes through these.
#pragma once

#include <cstddef>

// Copies at most dstSize - 1 bytes of src and always terminates (when dstSize > 0).
// Returns dst. A null src copies the empty string.
char* Util_StrCopy(char* dst, const char* src, size_t dstSize);

// Appends src to the text in dst without exceeding dstSize bytes in total.
char* Util_StrAppend(char* dst, const char* src, size_t dstSize);

// Formats into dst (printf rules) only when the whole text fits: true then; otherwise dst is
// left empty and the result is false. For paths and names, where a cut text names something else.
#if defined(__GNUC__) || defined(__clang__)
__attribute__((format(printf, 3, 4)))
#endif
bool Util_StrFormatWhole(char* dst, size_t dstSize, const char* format, ...);

template <size_t N>
inline char* Util_StrCopy(char (&dst)[N], const char* src) { return Util_StrCopy(dst, src, N); }
template <size_t N>
inline char* Util_StrAppend(char (&dst)[N], const char* src) { return Util_StrAppend(dst, src, N); }
