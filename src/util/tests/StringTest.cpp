#include "Util_CStr.h"
#include "Util_String.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(String, SetAppendAndFormat)
{
  Util_String s;
  EXPECT_STREQ(s.Get(), "");
  s.Set("hello world", 5);
  EXPECT_STREQ(s.Get(), "hello");
  s.Append(", there");
  EXPECT_STREQ(s.Get(), "hello, there");
  s.SetFormatted(64, "%d-%s", 42, "x");
  EXPECT_STREQ(s.Get(), "42-x");
  s.AppendFormatted(3, "%s", "abcdef");
  EXPECT_STREQ(s.Get(), "42-xabc");
  s.Append(s.Get());  // from its own storage
  EXPECT_STREQ(s.Get(), "42-xabc42-xabc");
  s.Set(s.Get() + 3);
  EXPECT_STREQ(s.Get(), "xabc42-xabc");
}

TEST(String, LongTextGrowsPastGranularity)
{
  std::string big(5000, 'q');
  Util_String s(big.c_str());
  EXPECT_EQ(s.GetLength(), 5000);
  s.SetLen(3);
  EXPECT_STREQ(s.Get(), "qqq");
}

TEST(CStr, BoundedCopyAndAppend)
{
  struct Case { const char* src; size_t size; const char* expect; };
  const Case cases[] = {
    {"abc", 8, "abc"}, {"abcdefgh", 4, "abc"}, {"", 4, ""}, {nullptr, 4, ""}, {"x", 1, ""},
  };
  for (const Case& c : cases)
  {
    char buf[16];
    std::memset(buf, '#', sizeof buf);
    Util_StrCopy(buf, c.src, c.size);
    EXPECT_STREQ(buf, c.expect);
    EXPECT_EQ(buf[c.size], '#') << "wrote past the bound";
  }
  char dst[8] = "abc";
  Util_StrAppend(dst, "defghijk");
  EXPECT_STREQ(dst, "abcdefg");
}

// A path cut short names another file: the whole text or nothing.
TEST(CStr, FormatWholeOrNothing)
{
  char buf[8];
  EXPECT_TRUE(Util_StrFormatWhole(buf, sizeof buf, "%s/%s", "ab", "cd"));
  EXPECT_STREQ(buf, "ab/cd");
  EXPECT_TRUE(Util_StrFormatWhole(buf, sizeof buf, "%s", "1234567"));
  EXPECT_STREQ(buf, "1234567");
  EXPECT_FALSE(Util_StrFormatWhole(buf, sizeof buf, "%s", "12345678"));
  EXPECT_STREQ(buf, "");
  EXPECT_FALSE(Util_StrFormatWhole(buf, 0, "%s", ""));
}
