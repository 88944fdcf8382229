// Preloaded (LD_PRELOAD) into Ardour by the host tests: when the process dies by a fatal signal,
// it first writes the stack of the thread that got it to standard error, one frame a line with
// the file of the module each frame is in, between two marker lines:
//
//   vx-crash-trace: signal 6
//   /usr/lib/ardour7/libardour.so(...)[0x...]
//   ...
//   vx-crash-trace: end
//
// so that a test can tell a crash inside the plug-in from one of Ardour's own, and only then
// dies by the same signal. Nothing else about the process changes.
#include <csignal>
#include <cstdio>
#include <cstring>

#include <execinfo.h>
#include <unistd.h>

namespace
{
constexpr int kFatal[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

void Write(const char* text)
{
  size_t left = std::strlen(text);
  while (left > 0)
  {
    const ssize_t n = write(STDERR_FILENO, text, left);
    if (n <= 0) return;
    text += n;
    left -= (size_t)n;
  }
}

// Only async-signal-tolerant calls: backtrace (its unwinder is loaded before any signal, see
// below) and backtrace_symbols_fd, which writes without allocating.
void OnFatalSignal(int sig)
{
  char head[48];
  const char* digits = "0123456789";
  std::strcpy(head, "vx-crash-trace: signal ");
  size_t at = std::strlen(head);
  if (sig >= 10) head[at++] = digits[(sig / 10) % 10];
  head[at++] = digits[sig % 10];
  head[at++] = '\n';
  head[at] = 0;
  Write(head);
  void* frames[128];
  const int n = backtrace(frames, 128);
  backtrace_symbols_fd(frames, n, STDERR_FILENO);
  Write("vx-crash-trace: end\n");
  // SA_RESETHAND restored the default action: the process now dies by the same signal.
  raise(sig);
}

__attribute__((constructor)) void InstallCrashTrace()
{
  void* warm[2];
  backtrace(warm, 2);  // loads the unwinder now, not inside a handler after a heap corruption
  struct sigaction action{};
  action.sa_handler = &OnFatalSignal;
  action.sa_flags = SA_RESETHAND | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  for (int sig : kFatal) sigaction(sig, &action, nullptr);
}
}  // namespace
