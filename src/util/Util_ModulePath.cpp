// The binary that holds an address (dladdr), and the bundle around a binary's path.
#include "Util_ModulePath.h"

#include <cstring>

#ifndef _WIN32
#include <dlfcn.h>
#endif

bool Util_GetModuleFile(const void* address, Util_String* path)
{
  if (!path) return false;
  path->Set("");
#ifndef _WIN32
  Dl_info info;
  if (address && dladdr(address, &info) && info.dli_fname && *info.dli_fname)
  {
    path->Set(info.dli_fname);
    return true;
  }
#else
  (void)address;
#endif
  return false;
}

bool Util_GetBundleOfBinary(const char* binaryPath, Util_String* bundle)
{
  if (!bundle) return false;
  bundle->Set("");
  if (!binaryPath) return false;
  // Strip the binary's name and its folder; what remains must end in "/Contents".
  size_t len = strlen(binaryPath);
  for (int up = 0; up < 2; ++up)
  {
    while (len > 0 && binaryPath[len - 1] != '/') --len;
    if (len == 0) return false;
    --len;  // the slash
  }
  static const char kContents[] = "/Contents";
  const size_t n = sizeof(kContents) - 1;
  if (len < n || strncmp(binaryPath + len - n, kContents, n) != 0) return false;
  bundle->Set(binaryPath, (int)(len - n));
  return bundle->GetLength() > 0;
}
