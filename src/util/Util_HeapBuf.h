// Growable byte buffer: the allocation grows ahead of the used size so that
// repeated appends stay cheap, and shrinks only when the caller asks for it.
#pragma once

#include <cstddef>

class Util_HeapBuf
{
public:
  explicit Util_HeapBuf(int granularity = 4096);
  ~Util_HeapBuf();

  Util_HeapBuf(const Util_HeapBuf&) = delete;
  Util_HeapBuf& operator=(const Util_HeapBuf&) = delete;

  void* Get() const { return mSize ? mData : nullptr; }
  int GetSize() const { return mSize; }
  int GetAllocated() const { return mAlloc; }
  int GetGranularity() const { return mGranularity; }
  void SetGranularity(int granularity) { mGranularity = granularity > 0 ? granularity : 1; }

  // Sets the used size. Growing past the allocation reallocates to the new size plus
  // max(new size / 2, granularity), rounded to whole 4096-byte pages when the granularity
  // is a page or more. Shrinking releases memory only with resizeDown and when the new
  // size is below half the allocation. Returns the data, or null when the size is 0 or
  // the allocation failed; a failed allocation leaves the old block and size as they were.
  void* Resize(int newSize, bool resizeDown = true);

  // Appends bytes; returns a pointer to the appended region or null on failure.
  void* Append(const void* data, int len);

  void CopyFrom(const Util_HeapBuf* other);

  // The reallocation every buffer goes through; tests replace it to make allocation fail.
  using ReallocFunc = void* (*)(void* block, size_t size);
  static ReallocFunc sRealloc;

private:
  void* mData = nullptr;
  int mAlloc = 0;
  int mSize = 0;
  int mGranularity;
};
