// The one UTF-8 policy of every text path, as a table: well-formed sequences of two, three and
// four bytes, and every way a sequence can be malformed (each such byte stands for itself).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "Util_Utf8.h"

TEST(Utf8, DecodingPolicy)
{
  struct Case
  {
    const char* bytes;
    int avail;
    uint32_t code;
    int used;
    bool multiByte;  // Util_HasMultiByteUtf8 of the first `avail` bytes
  } cases[] = {
      {"A", 1, 'A', 1, false},
      {"\xC3\xA9", 2, 0xE9, 2, true},
      {"\xDF\xBF", 2, 0x7FF, 2, true},
      {"\xC3\x41", 2, 0xC3, 1, false},  // missing continuation: the lead byte stands for itself
      {"\xC3\xA9", 1, 0xC3, 1, false},  // cut short by the length
      {"\xC3", 4, 0xC3, 1, false},      // cut short by the NUL of the literal
      {"\xC0\x80", 2, 0xC0, 1, false},  // 0xC0, 0xC1 start only overlong forms: not leads
      {"\xC1\xBF", 2, 0xC1, 1, false},
      {"\xE2\x82\xAC", 3, 0x20AC, 3, true},
      {"\xEF\xBF\xBF", 3, 0xFFFF, 3, true},
      {"\xE2\x82", 2, 0xE2, 1, false},
      {"\xE2\x82\x41", 3, 0xE2, 1, false},
      {"\xF0\x9F\x98\x80", 4, 0x1F600, 4, true},  // four bytes: the full code point
      {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF, 4, true},
      {"\xF0\x9F\x98", 3, 0xF0, 1, false},
      {"\xF0\x9F\x98\x41", 4, 0xF0, 1, false},
      {"\xF5\x80\x80\x80", 4, 0xF5, 1, false},    // beyond the code space
      {"\xFF", 1, 0xFF, 1, false},
      {"\x80", 1, 0x80, 1, false},                // a lone continuation byte
      {"\xBF\xBF", 2, 0xBF, 1, false},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(testing::Message() << "bytes of case with code " << std::hex << c.code);
    uint32_t code = 0xDEADBEEF;
    EXPECT_EQ(Util_DecodeUtf8(c.bytes, c.avail, &code), c.used);
    EXPECT_EQ(code, c.code);
    // A counted text must not claim bytes beyond the literal.
    const int len = std::min(c.avail, (int)std::strlen(c.bytes));
    EXPECT_EQ(Util_HasMultiByteUtf8(c.bytes, len), c.multiByte);
    if (c.used > 1)
    {
      // Well-formed characters encode back to the same bytes.
      char out[4];
      ASSERT_EQ(Util_EncodeUtf8(code, out), c.used);
      EXPECT_EQ(std::memcmp(out, c.bytes, (size_t)c.used), 0);
    }
  }
  // A multi-byte sequence later in the text counts; NUL-terminated form stops at the NUL.
  EXPECT_TRUE(Util_HasMultiByteUtf8("abc\xC3\xA9", -1));
  EXPECT_FALSE(Util_HasMultiByteUtf8("abc\0\xC3\xA9", -1));
  EXPECT_FALSE(Util_HasMultiByteUtf8("abc\xC3\xA9", 4));
  // 16-bit users show characters beyond U+FFFF as a space.
  EXPECT_EQ(Util_Utf8Bmp(0x1F600), ' ');
  EXPECT_EQ(Util_Utf8Bmp(0xFFFF), 0xFFFF);
  char out[4];
  EXPECT_EQ(Util_EncodeUtf8(0x110000, out), 1);
  EXPECT_EQ(out[0], '?');
}
