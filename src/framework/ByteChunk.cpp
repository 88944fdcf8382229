// Byte chunk reads and writes: every read is bounded by the data and answers -1 past its end.

#include "ByteChunk.h"

int ByteChunk::PutBytes(const void* data, int len)
{
  if (len <= 0) return Size();
  void* dst = mBytes.Append(data, len);
  return dst ? Size() : 0;
}

int ByteChunk::GetBytes(void* out, int len, int startPos) const
{
  if (startPos < 0 || len < 0) return -1;
  if ((long long)startPos + len > Size())
  {
    if (startPos < Size()) mReadEndedInsideValue = true;
    return -1;
  }
  if (len) std::memcpy(out, GetBytes() + startPos, (size_t)len);
  return startPos + len;
}

int ByteChunk::AppendBool(bool value)
{
  const unsigned char b = value ? 1 : 0;
  return PutBytes(&b, 1);
}

int ByteChunk::ReadBool(bool* value, int startPos) const
{
  unsigned char b = 0;
  const int pos = GetBytes(&b, 1, startPos);
  if (pos >= 0) *value = b != 0;
  return pos;
}

int ByteChunk::AppendString(const char* text)
{
  if (!text) text = "";
  const size_t len = std::strlen(text);
  const int n = len > 0x3fffffff ? 0x3fffffff : (int)len;
  PutBytes(&n, 4);
  return PutBytes(text, n);
}

int ByteChunk::ReadString(Util_String* text, int startPos) const
{
  int len = 0;
  const int pos = ReadValue(&len, startPos);
  if (pos < 0) return -1;
  if (len <= 0)
  {
    // A non-positive length reads as the empty string; a negative one cannot be skipped.
    if (len < 0) return -1;
    text->Set("");
    return pos;
  }
  if ((long long)pos + len > Size())
  {
    mReadEndedInsideValue = true;  // the length was there, the characters are not
    return -1;
  }
  const char* chars = (const char*)GetBytes() + pos;
  text->Set(chars, (int)strnlen(chars, (size_t)len));
  return pos + len;
}

int ByteChunk::AppendChunk(const ByteChunk* other)
{
  if (!other || other->Size() == 0) return Size();
  if (other == this)
  {
    ByteChunk copy;
    copy.AppendChunk(other);
    return AppendChunk(&copy);
  }
  return PutBytes(other->GetBytes(), other->Size());
}

int ByteChunk::Resize(int newSize)
{
  const int old = Size();
  if (!mBytes.Resize(newSize, false) && newSize > 0) return old;
  if (newSize > old) std::memset(GetBytes() + old, 0, (size_t)(newSize - old));
  return Size();
}

bool ByteChunk::IsEqual(const ByteChunk* other) const
{
  if (!other || other->Size() != Size()) return false;
  return Size() == 0 || std::memcmp(GetBytes(), other->GetBytes(), (size_t)Size()) == 0;
}

void ByteChunk::InitChunkWithFxVer(ByteChunk* chunk)
{
  chunk->Clear();
  const int magic = kMagic;
  const int version = kFrameworkVersion;
  chunk->AppendValue(&magic);
  chunk->AppendValue(&version);
}

int ByteChunk::GetFxVerFromChunk(const ByteChunk* chunk, int* pos)
{
  if (!chunk || !pos || *pos < 0) return 0;
  int magic = 0;
  const int afterMagic = chunk->ReadValue(&magic, *pos);
  if (afterMagic < 0 || magic != kMagic) return 0;
  int version = 0;
  const int afterVersion = chunk->ReadValue(&version, afterMagic);
  if (afterVersion < 0)
  {
    *pos = -1;
    return 0;
  }
  *pos = afterVersion;
  return version;
}
