// Message boxes and notices: the platform's own dialog by default (a MessageBox on Windows,
// stderr elsewhere), or whatever function a test or tool has put in its place.

#include "IUserNotice.h"

#include <atomic>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
std::atomic<IMessageBoxFunc> gPlatformBoxFunc{nullptr};

int PlatformMessageBox(void* owner, const char* text, const char* caption, int type)
{
#ifdef _WIN32
  return MessageBoxA((HWND)owner, text, caption, (UINT)type);
#else
  if (IMessageBoxFunc windowHostBox = gPlatformBoxFunc.load(std::memory_order_acquire))
  {
    const int answer = windowHostBox(owner, text, caption, type);
    if (answer != 0) return answer;
  }
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
  return 1;  // IDOK
#endif
}

std::atomic<IMessageBoxFunc> gMessageBoxFunc{&PlatformMessageBox};

void PlatformNotice(const char* text, const char* caption, ENoticeKind kind)
{
  // MB_OK with the error (0x10) or information (0x40) icon.
  ShowUserMessageBox(nullptr, text, caption, kind == kNoticeError ? 0x10 : 0x40);
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

int ShowUserMessageBox(void* owner, const char* text, const char* caption, int type)
{
  return gMessageBoxFunc.load(std::memory_order_acquire)(owner, text ? text : "", caption ? caption : "", type);
}

IMessageBoxFunc SetUserMessageBoxFunc(IMessageBoxFunc func)
{
  return gMessageBoxFunc.exchange(func ? func : &PlatformMessageBox, std::memory_order_acq_rel);
}

void SetPlatformMessageBoxFunc(IMessageBoxFunc func)
{
  gPlatformBoxFunc.store(func, std::memory_order_release);
}
