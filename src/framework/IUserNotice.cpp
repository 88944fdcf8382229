#include "IUserNotice.h"

#include <atomic>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
void PlatformNotice(const char* text, const char* caption, ENoticeKind kind)
{
#ifdef _WIN32
  MessageBoxA(nullptr, text, caption, MB_OK | (kind == kNoticeError ? MB_ICONERROR : MB_ICONINFORMATION));
#else
  (void)kind;
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
#endif
}

std::atomic<IUserNoticeFunc> gNoticeFunc{&PlatformNotice};
}  // namespace

void ShowUserNotice(const char* text, const char* caption, ENoticeKind kind)
{
  gNoticeFunc.load(std::memory_order_acquire)(text ? text : "", caption ? caption : "", kind);
}

IUserNoticeFunc SetUserNoticeFunc(IUserNoticeFunc func)
{
  return gNoticeFunc.exchange(func ? func : &PlatformNotice, std::memory_order_acq_rel);
}
