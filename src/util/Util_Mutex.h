// Recursive mutex: a critical section on Windows, a recursive pthread mutex elsewhere.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

class Util_Mutex
{
public:
  Util_Mutex();
  ~Util_Mutex();
  Util_Mutex(const Util_Mutex&) = delete;
  Util_Mutex& operator=(const Util_Mutex&) = delete;

  void Enter();
  void Leave();

private:
#ifdef _WIN32
  CRITICAL_SECTION mCs;
#else
  pthread_mutex_t mMutex;
#endif
};

class Util_MutexLock
{
public:
  explicit Util_MutexLock(Util_Mutex* mutex) : mMutex(mutex) { if (mMutex) mMutex->Enter(); }
  explicit Util_MutexLock(Util_Mutex& mutex) : Util_MutexLock(&mutex) {}
  ~Util_MutexLock() { if (mMutex) mMutex->Leave(); }
  Util_MutexLock(const Util_MutexLock&) = delete;
  Util_MutexLock& operator=(const Util_MutexLock&) = delete;

private:
  Util_Mutex* mMutex;
};
