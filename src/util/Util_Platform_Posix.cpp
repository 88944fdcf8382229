// The platform services on Linux and the other POSIX systems (macOS takes these too, all but
// the opener, which Util_Platform_Apple.cpp gives it): the documents folder below $HOME,
// folders private to their owner, the first match of a glob pattern, and addresses handed to
// xdg-open through posix_spawn.
#include "Util_PlatformPosix.h"

#include "Util_CStr.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

#include <fcntl.h>
#include <glob.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
// The folder is taken literally in a glob pattern: its glob characters are escaped.
bool AppendEscaped(char* dst, size_t size, const char* src)
{
  size_t len = std::strlen(dst);
  for (; *src; ++src)
  {
    const bool special = *src == '\\' || *src == '*' || *src == '?' || *src == '[';
    if (len + (special ? 2 : 1) >= size) return false;
    if (special) dst[len++] = '\\';
    dst[len++] = *src;
  }
  dst[len] = 0;
  return true;
}

// Openers still running when Util_SpawnOpener stopped waiting for them; reaped by later calls
// so that none stays a zombie for longer than the next address.
std::mutex sPendingLock;
pid_t sPending[16] = {};

void ReapPending()
{
  std::lock_guard<std::mutex> lock(sPendingLock);
  for (pid_t& pid : sPending)
  {
    if (pid <= 0) continue;
    int status = 0;
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno == ECHILD)) pid = 0;
  }
}

void KeepPending(pid_t child)
{
  std::lock_guard<std::mutex> lock(sPendingLock);
  for (pid_t& pid : sPending)
    if (pid <= 0)
    {
      pid = child;
      return;
    }
  // More than 16 openers still running: this one is left to the system.
}

constexpr int kOpenerWaitMs = 2000;
constexpr int kOpenerPollMs = 5;
}  // namespace

EUtilFolderResult Util_DocumentsFolder(char* path, size_t size)
{
  if (!path || size == 0) return EUtilFolderResult::kNone;
  path[0] = 0;
  const char* home = std::getenv("HOME");
  char buffer[4096];
  if (!home || !*home)
  {
    // No HOME (a host started by a service manager): the account's home directory.
    passwd entry;
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found) home = found->pw_dir;
  }
  if (!home || !*home) return EUtilFolderResult::kNone;
  return Util_StrFormatWhole(path, size, "%s/Documents", home) ? EUtilFolderResult::kFound : EUtilFolderResult::kNone;
}

bool Util_SubFolderPath(char* out, size_t size, const char* parent, const char* name)
{
  if (out && size > 0) out[0] = 0;
  return parent && name && Util_StrFormatWhole(out, size, "%s/%s", parent, name);
}

bool Util_MakeFolder(const char* path)
{
  if (!path || !*path) return false;
  if (mkdir(path, 0700) == 0) return true;
  struct stat st;
  return errno == EEXIST && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool Util_FindFirstFile(const char* folder, const char* pattern, char* name, size_t nameSize, char* path,
                        size_t pathSize)
{
  if (name && nameSize > 0) name[0] = 0;
  if (path && pathSize > 0) path[0] = 0;
  if (!folder || !*folder || !pattern || !*pattern || !name || nameSize == 0 || !path || pathSize == 0) return false;

  char search[4200] = {};
  const bool hasSeparator = folder[std::strlen(folder) - 1] == '/';
  if (!AppendEscaped(search, sizeof search, folder)) return false;
  if (!hasSeparator) Util_StrAppend(search, "/", sizeof search);
  if (std::strlen(search) + std::strlen(pattern) >= sizeof search) return false;
  Util_StrAppend(search, pattern, sizeof search);

  glob_t g;
  std::memset(&g, 0, sizeof g);
  bool found = false;
  if (glob(search, 0, nullptr, &g) == 0 && g.gl_pathc > 0)  // matches come sorted by name
  {
    const char* match = g.gl_pathv[0];
    found = Util_StrFormatWhole(name, nameSize, "%s", Util_FileNameOf(match)) &&
            Util_StrFormatWhole(path, pathSize, "%s", match);
    if (!found)
    {
      name[0] = 0;
      path[0] = 0;
    }
  }
  globfree(&g);
  return found;
}

EUtilOpenResult Util_SpawnOpener(const char* program, const char* address)
{
  if (!program || !Util_IsOpenableAddress(address)) return EUtilOpenResult::kFailed;
  ReapPending();

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return EUtilOpenResult::kFailed;
  // The browser must not hold the host's descriptors (its audio device, its display
  // connection, its terminal): standard input from /dev/null, nothing beyond the three.
  bool ready = posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  ready = ready && posix_spawn_file_actions_addclosefrom_np(&actions, 3) == 0;
#endif
  posix_spawnattr_t attributes;
  const bool haveAttributes = posix_spawnattr_init(&attributes) == 0;
#ifdef POSIX_SPAWN_CLOEXEC_DEFAULT
  if (haveAttributes) ready = ready && posix_spawnattr_setflags(&attributes, POSIX_SPAWN_CLOEXEC_DEFAULT) == 0;
#endif
  pid_t pid = 0;
  char* argv[] = {const_cast<char*>(program), const_cast<char*>(address), nullptr};
  const bool started = ready && haveAttributes &&
                       posix_spawnp(&pid, program, &actions, &attributes, argv, environ) == 0;
  if (haveAttributes) posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (!started) return EUtilOpenResult::kFailed;

  timespec now = {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const long long deadline = (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000 + kOpenerWaitMs;
  const timespec poll = {0, kOpenerPollMs * 1000000L};
  for (;;)
  {
    int status = 0;
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid)
    {
      if (!WIFEXITED(status)) return EUtilOpenResult::kFailed;
      const int code = WEXITSTATUS(status);
      return code == 0 ? EUtilOpenResult::kOpened : code == 2 ? EUtilOpenResult::kNotFound : EUtilOpenResult::kFailed;
    }
    // Reaped by the host's own child handling: it ran; what it answered is not known.
    if (r < 0 && errno != EINTR) return EUtilOpenResult::kOpened;
    clock_gettime(CLOCK_MONOTONIC, &now);
    if ((long long)now.tv_sec * 1000 + now.tv_nsec / 1000000 >= deadline) break;
    nanosleep(&poll, nullptr);
  }
  KeepPending(pid);
  return EUtilOpenResult::kOpened;
}

#ifndef __APPLE__
EUtilOpenResult Util_SystemOpenAddress(const char* address, void*)
{
  return Util_SpawnOpener("xdg-open", address);
}
#endif
