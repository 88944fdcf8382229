// Base64 tests: known vectors, every byte value, foreign characters and short buffers.

#include "Util_Base64.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(Base64, KnownVectors)
{
  struct Case { const char* plain; const char* encoded; };
  const Case cases[] = {
    {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
  };
  for (const Case& c : cases)
  {
    char out[32];
    const int n = Util_Base64Encode(c.plain, (int)std::strlen(c.plain), out, sizeof out);
    EXPECT_EQ(n, (int)std::strlen(c.encoded));
    EXPECT_STREQ(out, c.encoded);
    char back[32] = {};
    EXPECT_EQ(Util_Base64Decode(c.encoded, back, sizeof back), (int)std::strlen(c.plain));
    EXPECT_STREQ(back, c.plain);
  }
}

TEST(Base64, AllByteValuesRoundTrip)
{
  unsigned char data[256];
  for (int i = 0; i < 256; ++i) data[i] = (unsigned char)i;
  char text[400];
  ASSERT_EQ(Util_Base64Encode(data, 256, text, sizeof text), 344);
  unsigned char back[256] = {};
  ASSERT_EQ(Util_Base64Decode(text, back, sizeof back), 256);
  EXPECT_EQ(std::memcmp(data, back, 256), 0);
}

TEST(Base64, DecoderStopsAtForeignCharacterAndAtBufferEnd)
{
  char out[16] = {};
  EXPECT_EQ(Util_Base64Decode("Zm9v\"YmFy", out, sizeof out), 3);
  EXPECT_STREQ(out, "foo");
  char small[2] = {};
  EXPECT_EQ(Util_Base64Decode("Zm9vYmFy", small, sizeof small), 2);
}

TEST(Base64, EncoderRefusesShortBuffer)
{
  char out[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(Util_Base64Encode("foo", 3, out, 4), -1) << "4 characters need a 5th for the terminator";
  EXPECT_STREQ(out, "");
}
