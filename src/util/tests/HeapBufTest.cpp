// Growable buffer tests: growth by granularity, shrinking, contents kept, failed allocations.

#include "Util_HeapBuf.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

TEST(HeapBuf, GrowthRulesByGranularity)
{
  struct Case { int granularity; int newSize; int expectAlloc; };
  const Case cases[] = {
    {128, 10, 138},        // granularity beats half the size
    {128, 1000, 1500},     // half the size beats granularity
    {4096, 10, 8192},      // 10 + 4096 rounds up to two whole pages
    {4096, 20000, 32768},  // 20000 + 10000 rounds up to eight pages
  };
  for (const Case& c : cases)
  {
    Util_HeapBuf buf(c.granularity);
    ASSERT_NE(buf.Resize(c.newSize), nullptr);
    EXPECT_EQ(buf.GetSize(), c.newSize);
    EXPECT_EQ(buf.GetAllocated(), c.expectAlloc) << c.granularity << "/" << c.newSize;
  }
}

TEST(HeapBuf, ShrinksOnlyWhenAskedAndBelowHalf)
{
  Util_HeapBuf buf(128);
  buf.Resize(1000);
  const int alloc = buf.GetAllocated();
  buf.Resize(800);
  EXPECT_EQ(buf.GetAllocated(), alloc) << "800 is not below half of 1500";
  buf.Resize(100, false);
  EXPECT_EQ(buf.GetAllocated(), alloc) << "no shrink unless asked";
  buf.Resize(100, true);
  EXPECT_EQ(buf.GetAllocated(), 100);
  EXPECT_EQ(buf.GetSize(), 100);
}

TEST(HeapBuf, KeepsContentsAcrossGrowth)
{
  Util_HeapBuf buf(16);
  for (int i = 0; i < 1000; ++i)
  {
    const unsigned char b = (unsigned char)i;
    ASSERT_NE(buf.Append(&b, 1), nullptr);
  }
  const unsigned char* p = (const unsigned char*)buf.Get();
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(p[i], (unsigned char)i);
}

TEST(HeapBuf, FailedAllocationKeepsOldBlockAndReportsNoData)
{
  Util_HeapBuf buf(128);
  ASSERT_NE(buf.Resize(64), nullptr);
  std::memset(buf.Get(), 0x5a, 64);
  void* before = buf.Get();
  Util_HeapBuf::sRealloc = [](void*, size_t) -> void* { return nullptr; };
  void* grown = buf.Resize(4096);
  Util_HeapBuf::sRealloc = &std::realloc;
  EXPECT_EQ(grown, nullptr);
  EXPECT_EQ(buf.Get(), before);
  EXPECT_EQ(buf.GetSize(), 64);
  EXPECT_EQ(((unsigned char*)buf.Get())[63], 0x5a);
}

TEST(HeapBuf, EmptyBufferReportsNoData)
{
  Util_HeapBuf buf;
  EXPECT_EQ(buf.Get(), nullptr);
  buf.Resize(10);
  buf.Resize(0);
  EXPECT_EQ(buf.Get(), nullptr);
  EXPECT_EQ(buf.Append(nullptr, 0), nullptr);
}
