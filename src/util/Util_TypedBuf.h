// Array of plain values on a Util_HeapBuf (granularity 4096).
#pragma once

#include "Util_HeapBuf.h"

#include <cstring>
#include <type_traits>

template <class T>
class Util_TypedBuf
{
  static_assert(std::is_trivially_copyable_v<T>, "Util_TypedBuf holds plain values only");

public:
  Util_TypedBuf() : mBuf(4096) {}

  T* Get() const { return (T*)mBuf.Get(); }
  int GetSize() const { return mBuf.GetSize() / (int)sizeof(T); }

  // Pointer to element idx, or null outside the used size.
  T* GetAt(int idx) const { return (idx >= 0 && idx < GetSize()) ? Get() + idx : nullptr; }

  // Sets the element count; returns the data or null (old contents kept on failure).
  T* Resize(int count, bool resizeDown = true)
  {
    if (count < 0) count = 0;
    if ((long long)count * (long long)sizeof(T) > 0x7fffffffLL) return nullptr;
    return (T*)mBuf.Resize(count * (int)sizeof(T), resizeDown);
  }

  T* Add(const T& value) { return (T*)mBuf.Append(&value, (int)sizeof(T)); }

  T* Insert(int idx, const T& value)
  {
    const int n = GetSize();
    if (idx < 0) idx = 0;
    if (idx > n) idx = n;
    if (!Resize(n + 1, false)) return nullptr;
    T* p = Get();
    std::memmove(p + idx + 1, p + idx, (size_t)(n - idx) * sizeof(T));
    p[idx] = value;
    return p + idx;
  }

  void Delete(int idx)
  {
    const int n = GetSize();
    if (idx < 0 || idx >= n) return;
    T* p = Get();
    std::memmove(p + idx, p + idx + 1, (size_t)(n - idx - 1) * sizeof(T));
    Resize(n - 1, false);
  }

  int Find(const T& value) const
  {
    const int n = GetSize();
    for (int i = 0; i < n; ++i)
      if (std::memcmp(Get() + i, &value, sizeof(T)) == 0) return i;
    return -1;
  }

private:
  Util_HeapBuf mBuf;
};
