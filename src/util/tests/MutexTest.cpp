// Mutex test: recursive on one thread, exclusive between threads.

#include "Util_Mutex.h"

#include <gtest/gtest.h>

#include <thread>

TEST(Mutex, IsRecursiveAndExcludesOtherThreads)
{
  Util_Mutex m;
  long counter = 0;
  auto work = [&] {
    for (int i = 0; i < 20000; ++i)
    {
      Util_MutexLock outer(m);
      Util_MutexLock inner(m);  // a second entry on the same thread must not deadlock
      ++counter;
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 40000);
}
