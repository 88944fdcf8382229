// The recursive mutex on each platform: a critical section on Windows, a pthread mutex elsewhere.

#include "Util_Mutex.h"

#ifdef _WIN32
Util_Mutex::Util_Mutex() { InitializeCriticalSection(&mCs); }
Util_Mutex::~Util_Mutex() { DeleteCriticalSection(&mCs); }
void Util_Mutex::Enter() { EnterCriticalSection(&mCs); }
void Util_Mutex::Leave() { LeaveCriticalSection(&mCs); }
#else
Util_Mutex::Util_Mutex()
{
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&mMutex, &attr);
  pthread_mutexattr_destroy(&attr);
}
Util_Mutex::~Util_Mutex() { pthread_mutex_destroy(&mMutex); }
void Util_Mutex::Enter() { pthread_mutex_lock(&mMutex); }
void Util_Mutex::Leave() { pthread_mutex_unlock(&mMutex); }
#endif
