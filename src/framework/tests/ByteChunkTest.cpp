// Byte chunk tests: -1 propagates through a run of reads, strings longer than the data are
// refused, the framework header and appended values.

#include "ByteChunk.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(ByteChunk, ReadsPropagateMinusOne)
{
  ByteChunk c;
  const int i = 7;
  const double d = 2.5;
  c.AppendValue(&i);
  c.AppendValue(&d);
  c.AppendBool(true);
  c.AppendString("abc");
  EXPECT_EQ(c.Size(), 4 + 8 + 1 + 4 + 3);

  int ri = 0;
  double rd = 0;
  bool rb = false;
  Util_String rs;
  int pos = c.ReadValue(&ri, 0);
  pos = c.ReadValue(&rd, pos);
  pos = c.ReadBool(&rb, pos);
  pos = c.ReadString(&rs, pos);
  EXPECT_EQ(pos, c.Size());
  EXPECT_EQ(ri, 7);
  EXPECT_EQ(rd, 2.5);
  EXPECT_TRUE(rb);
  EXPECT_STREQ(rs.Get(), "abc");

  double past = 9;
  EXPECT_EQ(c.ReadValue(&past, c.Size() - 4), -1);
  EXPECT_EQ(past, 9) << "a failed read leaves the value untouched";
  EXPECT_EQ(c.ReadValue(&past, -1), -1);
}

TEST(ByteChunk, ReadStringRejectsLengthsBeyondTheData)
{
  const struct { int len; int expectPos; const char* text; } cases[] = {
    {3, 7, "abc"}, {0, 4, ""}, {4, -1, nullptr}, {-5, -1, nullptr}, {0x7fffffff, -1, nullptr},
  };
  for (const auto& c : cases)
  {
    ByteChunk chunk;
    chunk.AppendValue(&c.len);
    chunk.PutBytes("abc", 3);
    Util_String s("keep");
    EXPECT_EQ(chunk.ReadString(&s, 0), c.expectPos) << c.len;
    EXPECT_STREQ(s.Get(), c.text ? c.text : "keep");
  }
}

TEST(ByteChunk, FrameworkHeader)
{
  ByteChunk c;
  ByteChunk::InitChunkWithFxVer(&c);
  ASSERT_EQ(c.Size(), 8);
  EXPECT_EQ(std::memcmp(c.GetBytes(), "tffp", 4), 0);
  int pos = 0;
  EXPECT_EQ(ByteChunk::GetFxVerFromChunk(&c, &pos), 0x00010000);
  EXPECT_EQ(pos, 8);

  ByteChunk plain;
  plain.AppendValue(1000.0);
  pos = 0;
  EXPECT_EQ(ByteChunk::GetFxVerFromChunk(&plain, &pos), 0);
  EXPECT_EQ(pos, 0) << "no header: the data is read from where it was";

  ByteChunk cut;
  cut.PutBytes("tffp", 4);
  cut.PutBytes("\0\0", 2);
  pos = 0;
  EXPECT_EQ(ByteChunk::GetFxVerFromChunk(&cut, &pos), 0);
  EXPECT_EQ(pos, -1);
}

TEST(ByteChunk, AppendValueThroughAnyPointerAppendsThePointee)
{
  double d = 2.5;
  double* p = &d;
  const double* cp = &d;
  ByteChunk c;
  c.AppendValue(p);
  c.AppendValue(cp);
  c.AppendValue(d);
  ASSERT_EQ(c.Size(), 24);
  for (int pos = 0; pos < 24; pos += 8)
  {
    double r = 0;
    EXPECT_EQ(c.ReadValue(&r, pos), pos + 8);
    EXPECT_EQ(r, 2.5) << pos;
  }
}
