// The growable byte buffer's allocation rules: growth ahead of use, shrinking on request, and
// a failed allocation that keeps the old block.

#include "Util_HeapBuf.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {
constexpr long long kPage = 4096;
}

Util_HeapBuf::ReallocFunc Util_HeapBuf::sRealloc = &std::realloc;

Util_HeapBuf::Util_HeapBuf(int granularity)
  : mGranularity(granularity > 0 ? granularity : 1)
{
}

Util_HeapBuf::~Util_HeapBuf()
{
  std::free(mData);
}

void* Util_HeapBuf::Resize(int newSize, bool resizeDown)
{
  if (newSize < 0) newSize = 0;
  if (newSize > mAlloc)
  {
    long long want = (long long)newSize + (newSize / 2 > mGranularity ? newSize / 2 : mGranularity);
    if (mGranularity >= kPage) want = (want + kPage - 1) / kPage * kPage;
    if (want > INT_MAX) want = newSize;  // no head room past 2 GB; the exact size may still fit
    void* grown = sRealloc(mData, (size_t)want);
    if (!grown) return nullptr;
    mData = grown;
    mAlloc = (int)want;
  }
  else if (resizeDown && newSize < mAlloc / 2)
  {
    if (newSize == 0)
    {
      std::free(mData);
      mData = nullptr;
      mAlloc = 0;
    }
    else
    {
      // A failed shrink keeps the larger block, which still holds everything.
      void* shrunk = sRealloc(mData, (size_t)newSize);
      if (shrunk)
      {
        mData = shrunk;
        mAlloc = newSize;
      }
    }
  }
  mSize = newSize;
  return Get();
}

void* Util_HeapBuf::Append(const void* data, int len)
{
  if (len <= 0) return nullptr;
  const int old = mSize;
  if ((long long)old + len > INT_MAX) return nullptr;
  if (!Resize(old + len, false)) return nullptr;
  char* dst = (char*)mData + old;
  if (data) std::memcpy(dst, data, (size_t)len);
  return dst;
}

void Util_HeapBuf::CopyFrom(const Util_HeapBuf* other)
{
  if (!other || other == this) return;
  const int n = other->GetSize();
  if (Resize(n, false) || n == 0)
  {
    if (n) std::memcpy(mData, other->Get(), (size_t)n);
  }
}
