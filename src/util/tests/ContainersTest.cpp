// Container tests: the owning pointer list and the typed buffer, in and out of range.

#include "Util_PtrList.h"
#include "Util_TypedBuf.h"

#include <gtest/gtest.h>

namespace {
struct Counted
{
  explicit Counted(int* counter) : mCounter(counter) {}
  ~Counted() { ++*mCounter; }
  int* mCounter;
};
}  // namespace

TEST(TypedBuf, AddInsertDeleteAndBoundedAccess)
{
  Util_TypedBuf<int> buf;
  for (int i = 0; i < 5; ++i) buf.Add(i * 10);
  buf.Insert(2, 99);
  buf.Delete(0);
  ASSERT_EQ(buf.GetSize(), 5);
  const int expect[] = {10, 99, 20, 30, 40};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(*buf.GetAt(i), expect[i]);
  EXPECT_EQ(buf.GetAt(5), nullptr);
  EXPECT_EQ(buf.GetAt(-1), nullptr);
  EXPECT_EQ(buf.Find(30), 3);
  EXPECT_EQ(buf.Find(7), -1);
  buf.Delete(17);  // out of range: no effect
  EXPECT_EQ(buf.GetSize(), 5);
}

TEST(PtrList, OutOfRangeYieldsNullAndDeletesOnRequest)
{
  int destroyed = 0;
  Util_PtrList<Counted> list;
  for (int i = 0; i < 4; ++i) list.Add(new Counted(&destroyed));
  EXPECT_EQ(list.Get(4), nullptr);
  EXPECT_EQ(list.Get(-1), nullptr);

  Counted* keep = list.Get(1);
  list.Delete(1, false);
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(list.GetSize(), 3);
  delete keep;
  EXPECT_EQ(destroyed, 1);

  list.Delete(0, true);
  EXPECT_EQ(destroyed, 2);
  list.Empty(true);
  EXPECT_EQ(destroyed, 4);
  EXPECT_EQ(list.GetSize(), 0);
}

TEST(PtrList, InsertKeepsOrder)
{
  int a = 1, b = 2, c = 3;
  Util_PtrList<int> list;
  list.Add(&a);
  list.Add(&c);
  list.Insert(1, &b);
  list.Insert(-5, &c);   // clamps to the front
  list.Insert(100, &a);  // clamps to the back
  const int* expect[] = {&c, &a, &b, &c, &a};
  ASSERT_EQ(list.GetSize(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(list.Get(i), expect[i]);
  EXPECT_EQ(list.Find(&b), 2);
}
