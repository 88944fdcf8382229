// String tests: set, append and format, bounded reads of unterminated text, bounded copies.

#include "Util_CStr.h"
#include "Util_String.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

// Two pages, the second one inaccessible: text placed at the end of the first page has no
// terminator, and any read past it faults at once (no sanitizer needed to see an over-read).
class GuardedText
{
public:
  explicit GuardedText(const char* chars)
  {
#ifdef _WIN32
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    mPage = info.dwPageSize;
    mBase = (char*)VirtualAlloc(nullptr, 2 * mPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    DWORD old = 0;
    if (mBase) VirtualProtect(mBase + mPage, mPage, PAGE_NOACCESS, &old);
#else
    mPage = (size_t)sysconf(_SC_PAGESIZE);
    void* p = mmap(nullptr, 2 * mPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    mBase = p == MAP_FAILED ? nullptr : (char*)p;
    if (mBase) mprotect(mBase + mPage, mPage, PROT_NONE);
#endif
    mLen = std::strlen(chars);
    if (mBase) std::memcpy(mBase + mPage - mLen, chars, mLen);
  }
  ~GuardedText()
  {
#ifdef _WIN32
    if (mBase) VirtualFree(mBase, 0, MEM_RELEASE);
#else
    if (mBase) munmap(mBase, 2 * mPage);
#endif
  }
  bool Ok() const { return mBase != nullptr; }
  const char* Text() const { return mBase + mPage - mLen; }

private:
  char* mBase = nullptr;
  size_t mPage = 0;
  size_t mLen = 0;
};

}  // namespace

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

TEST(String, BoundedSetAndAppendReadNoFurtherThanTheBound)
{
  // A length-bounded source need not be terminated: a chunk's string field is not.
  GuardedText unterminated("user preset");
  ASSERT_TRUE(unterminated.Ok());
  Util_String s;
  s.Set(unterminated.Text(), 11);
  EXPECT_STREQ(s.Get(), "user preset");
  s.Set(unterminated.Text(), 4);
  EXPECT_STREQ(s.Get(), "user");
  s.Append(unterminated.Text() + 4, 7);
  EXPECT_STREQ(s.Get(), "user preset");
  s.Append(unterminated.Text(), 0);
  EXPECT_STREQ(s.Get(), "user preset");
  // An earlier terminator still ends the text within the bound.
  s.Set("ab\0cd", 5);
  EXPECT_STREQ(s.Get(), "ab");
  s.Set(s.Get() + 1, 8);  // from its own storage
  EXPECT_STREQ(s.Get(), "b");
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
