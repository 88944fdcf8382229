// The platform services' common part: which addresses may reach an opener at all, and the
// replaceable opener through which every address goes.
#include "Util_Platform.h"

#include <atomic>
#include <cstring>

namespace {
std::atomic<UtilOpenAddressFunc> sOpenAddressFunc{nullptr};
}  // namespace

const char* Util_FileNameOf(const char* path)
{
  if (!path) return "";
  const char* slash = std::strrchr(path, '/');
  const char* separator = std::strrchr(path, kUtilPathSeparator);
  if (separator && (!slash || separator > slash)) slash = separator;
  return slash ? slash + 1 : path;
}

bool Util_IsOpenableAddress(const char* address)
{
  return address && address[0] && address[0] != '-';
}

UtilOpenAddressFunc Util_SetOpenAddressFunc(UtilOpenAddressFunc func)
{
  return sOpenAddressFunc.exchange(func, std::memory_order_acq_rel);
}

EUtilOpenResult Util_OpenAddress(const char* address, void* ownerWindow)
{
  if (!Util_IsOpenableAddress(address)) return EUtilOpenResult::kFailed;
  const UtilOpenAddressFunc func = sOpenAddressFunc.load(std::memory_order_acquire);
  return func ? func(address, ownerWindow) : Util_SystemOpenAddress(address, ownerWindow);
}
