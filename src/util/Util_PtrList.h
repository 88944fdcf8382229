// Ordered list of pointers. The list never owns implicitly: Delete and Empty
// destroy items only when the caller asks.
#pragma once

#include "Util_HeapBuf.h"

template <class T>
class Util_PtrList
{
public:
  Util_PtrList() : mBuf(4096) {}
  ~Util_PtrList() = default;

  Util_PtrList(const Util_PtrList&) = delete;
  Util_PtrList& operator=(const Util_PtrList&) = delete;

  T** GetList() const { return (T**)mBuf.Get(); }
  int GetSize() const { return mBuf.GetSize() / (int)sizeof(T*); }

  // Item idx, or null outside the list.
  T* Get(int idx) const { return (idx >= 0 && idx < GetSize()) ? GetList()[idx] : nullptr; }
  T* GetLast() const { return Get(GetSize() - 1); }

  // Returns the item, or null when the list could not grow.
  T* Add(T* item)
  {
    T** slot = (T**)mBuf.Append(&item, (int)sizeof(T*));
    return slot ? item : nullptr;
  }

  T* Insert(int idx, T* item)
  {
    const int n = GetSize();
    if (idx < 0) idx = 0;
    if (idx > n) idx = n;
    if (!mBuf.Resize((n + 1) * (int)sizeof(T*), false)) return nullptr;
    T** list = GetList();
    for (int i = n; i > idx; --i) list[i] = list[i - 1];
    list[idx] = item;
    return item;
  }

  int Find(const T* item) const
  {
    const int n = GetSize();
    for (int i = 0; i < n; ++i)
      if (GetList()[i] == item) return i;
    return -1;
  }

  void Delete(int idx, bool wantDelete = false)
  {
    const int n = GetSize();
    if (idx < 0 || idx >= n) return;
    T** list = GetList();
    T* item = list[idx];
    for (int i = idx; i < n - 1; ++i) list[i] = list[i + 1];
    mBuf.Resize((n - 1) * (int)sizeof(T*), false);
    if (wantDelete) delete item;
  }

  void Empty(bool wantDelete = false)
  {
    if (wantDelete)
    {
      // Delete from the back so that an item's destructor may still look at earlier items.
      for (int i = GetSize() - 1; i >= 0; --i)
      {
        T* item = GetList()[i];
        mBuf.Resize(i * (int)sizeof(T*), false);
        delete item;
      }
    }
    mBuf.Resize(0);
  }

private:
  Util_HeapBuf mBuf;
};
