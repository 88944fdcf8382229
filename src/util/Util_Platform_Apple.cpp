// The platform service that macOS does its own way: addresses go to /usr/bin/open, started
// through posix_spawn with the address as its one argument (never through a shell). Its
// folders and file search are the POSIX ones (Util_Platform_Posix.cpp).
#include "Util_PlatformPosix.h"

EUtilOpenResult Util_SystemOpenAddress(const char* address, void*)
{
  return Util_SpawnOpener("/usr/bin/open", address);
}
