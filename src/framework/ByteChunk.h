// Flat byte buffer carrying parameter values, presets and the plug-in state. Values are
// stored in the machine's own (little-endian) order. Reads take a position and return the
// next one, or -1 when the data runs out; -1 propagates, so a run of reads is checked once.
#pragma once

#include "Util_HeapBuf.h"
#include "Util_String.h"

#include <cstring>
#include <type_traits>

class ByteChunk
{
public:
  static constexpr int kMagic = 0x70666674;        // "tffp" in file order
  static constexpr int kFrameworkVersion = 0x00010000;

  ByteChunk() : mBytes(4096) {}

  template <class T>
  int AppendValue(const T* value)
  {
    static_assert(std::is_trivially_copyable_v<T>);
    return PutBytes(value, (int)sizeof(T));
  }
  // Pointers are kept out of this form: a non-const pointer would otherwise bind here
  // and append its own address instead of the value it points to.
  template <class T, class = std::enable_if_t<!std::is_pointer_v<T>>>
  int AppendValue(const T& value) { return AppendValue(&value); }

  template <class T>
  int ReadValue(T* value, int startPos) const
  {
    static_assert(std::is_trivially_copyable_v<T>);
    return GetBytes(value, (int)sizeof(T), startPos);
  }

  int AppendBool(bool value);
  int ReadBool(bool* value, int startPos) const;

  // A 32-bit length, then the characters without terminator.
  int AppendString(const char* text);
  int AppendString(const Util_String* text) { return AppendString(text ? text->Get() : ""); }
  int ReadString(Util_String* text, int startPos) const;

  // Appends the other chunk's bytes, no length.
  int AppendChunk(const ByteChunk* other);

  int PutBytes(const void* data, int len);
  int GetBytes(void* out, int len, int startPos) const;

  void Clear() { mBytes.Resize(0); }
  int Size() const { return mBytes.GetSize(); }
  int Resize(int newSize);
  unsigned char* GetBytes() { return (unsigned char*)mBytes.Get(); }
  const unsigned char* GetBytes() const { return (const unsigned char*)mBytes.Get(); }

  bool IsEqual(const ByteChunk* other) const;

  // Whether a read so far wanted a value that begins inside the data but runs past its end:
  // the data stops within a value rather than between two. A reader uses it to tell a chunk
  // cut short at a field boundary (an older, shorter layout) from one cut anywhere.
  bool ReadEndedInsideValue() const { return mReadEndedInsideValue; }

  // Framework header: the magic and the framework version ahead of the payload.
  static void InitChunkWithFxVer(ByteChunk* chunk);
  // Returns the version and advances *pos past the header, or 0 when there is none
  // (position unchanged, or -1 when the magic is there but the version is cut off).
  static int GetFxVerFromChunk(const ByteChunk* chunk, int* pos);

private:
  Util_HeapBuf mBytes;
  mutable bool mReadEndedInsideValue = false;
};
