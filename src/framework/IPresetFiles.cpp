// VST 2 program (FXP) and bank (FXB) files, presets from base64 text, and the developer
// dumps that write the current preset or the bank as source statements.
//
// File headers and parameter floats are big-endian; the state chunk inside an opaque file
// stays in the machine's own order, exactly as the plug-in wrote it.
#include "IFxBase.h"

#include "IHostId.h"
#include "Util_Base64.h"
#include "Util_ByteOrder.h"
#include "Util_CStr.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {
constexpr uint32_t kCcnK = (uint32_t)Util_FourCC("CcnK");
constexpr uint32_t kFPCh = (uint32_t)Util_FourCC("FPCh");  // program, opaque chunk
constexpr uint32_t kFxCk = (uint32_t)Util_FourCC("FxCk");  // program, parameter floats
constexpr uint32_t kFBCh = (uint32_t)Util_FourCC("FBCh");  // bank, opaque chunk
constexpr uint32_t kFxBk = (uint32_t)Util_FourCC("FxBk");  // bank, parameter programs

constexpr int kNameLen = 28;              // program name field, zero-filled
constexpr int kProgramNameOffset = 28;
constexpr int kProgramDataOffset = 56;    // parameter floats, or the chunk size
constexpr int kProgramChunkOffset = 60;
constexpr int kBankReservedLen = 124;
constexpr int kBankDataOffset = 156;      // programs, or the chunk size
constexpr int kBankChunkOffset = 160;

// Larger files are not presets of any plug-in; refusing them keeps a stray path from
// pulling a huge file into memory.
constexpr long kMaxPresetFileSize = 64L * 1024 * 1024;

void PutBE32(ByteChunk* out, uint32_t v)
{
  unsigned char b[4];
  Util_WriteBE32(b, v);
  out->PutBytes(b, 4);
}

void PutBEFloat(ByteChunk* out, float f)
{
  unsigned char b[4];
  Util_WriteBEFloat(b, f);
  out->PutBytes(b, 4);
}

// The name field holds at most 27 characters and always a terminator: longer names are
// cut so that every reader finds a terminated string.
void PutName(ByteChunk* out, const char* name)
{
  char field[kNameLen] = {};
  Util_StrCopy(field, name);
  out->PutBytes(field, kNameLen);
}

// Reads the 28-byte field; a writer that filled all 28 bytes left no terminator.
void GetName(const unsigned char* field, char (&name)[kNameLen + 1])
{
  std::memcpy(name, field, kNameLen);
  name[kNameLen] = 0;
}

uint32_t BE32At(const ByteChunk* file, int offset)
{
  return Util_ReadBE32(file->GetBytes() + offset);
}

// Sets a parameter from a stored normalised float so that the value stays within the
// parameter's bounds: a stored value outside 0..1 is pinned, one that is not a number
// keeps the current value, and the step rounding (which counts from zero, not from the
// lower bound) cannot push it below the minimum.
void SetNormalizedFromFile(IParam* param, float stored)
{
  if (!std::isfinite(stored)) return;
  const double n = stored < 0.0f ? 0.0 : stored > 1.0f ? 1.0 : (double)stored;
  param->SetNormalized(n);
  param->Set(param->Value());
}

bool ReadWholeFile(const Util_String& path, ByteChunk* out)
{
  out->Clear();
  if (!path.GetLength()) return false;
  FILE* f = std::fopen(path.Get(), "rb");
  if (!f) return false;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(f) : -1;
  ok = ok && size >= 0 && size <= kMaxPresetFileSize && std::fseek(f, 0, SEEK_SET) == 0;
  if (ok && size > 0)
  {
    ok = out->Resize((int)size) == (int)size &&
         std::fread(out->GetBytes(), 1, (size_t)size, f) == (size_t)size;
  }
  std::fclose(f);
  if (!ok) out->Clear();
  return ok;
}

bool WriteWholeFile(const Util_String& path, const ByteChunk* data)
{
  if (!path.GetLength()) return false;
  FILE* f = std::fopen(path.Get(), "wb");
  if (!f) return false;
  const size_t n = (size_t)data->Size();
  bool ok = n == 0 || std::fwrite(data->GetBytes(), 1, n, f) == n;
  ok = (std::fclose(f) == 0) && ok;
  return ok;
}

// Encodes a preset chunk for a dump; false when its text would not fit the dump buffer.
bool EncodeForDump(const ByteChunk* chunk, char (&text)[IFxBase::kDumpTextSize])
{
  return Util_Base64Encode(chunk->GetBytes(), chunk->Size(), text, (int)sizeof text) >= 0;
}

bool CloseDump(FILE* f, bool ok)
{
  ok = ok && !std::ferror(f);
  return (std::fclose(f) == 0) && ok;
}
}  // namespace

// ---- programs (FXP) ------------------------------------------------------------------------

bool IFxBase::MakeProgramFXPData(ByteChunk* file)
{
  Util_MutexLock lock(mMutex);
  file->Clear();
  const bool opaque = DoesStateChunks();
  ByteChunk state;
  if (opaque)
  {
    ByteChunk::InitChunkWithFxVer(&state);
    if (!SerializeState(&state)) return false;
  }
  const int n = NParams();
  PutBE32(file, kCcnK);
  PutBE32(file, opaque ? (uint32_t)(state.Size() + kProgramChunkOffset) : 0u);
  PutBE32(file, opaque ? kFPCh : kFxCk);
  PutBE32(file, 1);
  PutBE32(file, (uint32_t)mUniqueID);
  PutBE32(file, (uint32_t)GetDecimalVersion(mVersion));
  PutBE32(file, (uint32_t)n);
  PutName(file, GetPresetName(mCurrentPresetIdx));
  if (opaque)
  {
    PutBE32(file, (uint32_t)state.Size());
    file->AppendChunk(&state);
    return file->Size() == kProgramChunkOffset + state.Size();
  }
  for (int i = 0; i < n; ++i) PutBEFloat(file, (float)GetParam(i)->GetNormalized());
  return file->Size() == kProgramDataOffset + 4 * n;
}

bool IFxBase::LoadProgramFromFXPData(const ByteChunk* file)
{
  // Everything is checked before anything changes: a file of another plug-in, a short
  // header, or a chunk or float block cut off by the end of the file is refused as a whole.
  if (!file || file->Size() < kProgramDataOffset) return false;
  if (BE32At(file, 0) != kCcnK || BE32At(file, 12) != 1 || BE32At(file, 16) != (uint32_t)mUniqueID)
    return false;
  const uint32_t format = BE32At(file, 8);
  char name[kNameLen + 1];
  GetName(file->GetBytes() + kProgramNameOffset, name);

  Util_MutexLock lock(mMutex);
  const int n = NParams();
  if (format == kFPCh && DoesStateChunks())
  {
    if (file->Size() < kProgramChunkOffset) return false;
    const uint32_t chunkSize = BE32At(file, kProgramDataOffset);
    if (chunkSize > (uint32_t)(file->Size() - kProgramChunkOffset)) return false;
    ByteChunk state;
    state.PutBytes(file->GetBytes() + kProgramChunkOffset, (int)chunkSize);
    int pos = 0;
    ByteChunk::GetFxVerFromChunk(&state, &pos);
    if (pos < 0) return false;

    // State that ends early is only found while reading it: put the previous state back,
    // so that a failed load changes nothing.
    ByteChunk before;
    SerializeState(&before);
    if (UnserializeState(&state, pos) < 0)
    {
      UnserializeState(&before, 0);
      return false;
    }
  }
  else if (format == kFxCk)
  {
    if ((long long)file->Size() < kProgramDataOffset + 4LL * n) return false;
    for (int i = 0; i < n; ++i)
      SetNormalizedFromFile(GetParam(i), Util_ReadBEFloat(file->GetBytes() + kProgramDataOffset + 4 * i));
  }
  else
  {
    return false;
  }

  ModifyCurrentPreset(name);
  // Without a preset to restore, the plug-in still hears of the new values.
  if (!RestorePreset(mCurrentPresetIdx)) OnParamReset();
  InformHostOfProgramChange();
  return true;
}

bool IFxBase::SaveProgramAsFXP(const Util_String& path)
{
  if (!path.GetLength()) return false;
  ByteChunk file;
  return MakeProgramFXPData(&file) && WriteWholeFile(path, &file);
}

bool IFxBase::LoadProgramFromFXP(const Util_String& path)
{
  ByteChunk file;
  return ReadWholeFile(path, &file) && LoadProgramFromFXPData(&file);
}

// ---- banks (FXB) ---------------------------------------------------------------------------

bool IFxBase::MakeBankFXBData(ByteChunk* file)
{
  Util_MutexLock lock(mMutex);
  file->Clear();
  const bool opaque = DoesStateChunks();
  ByteChunk bank;
  if (opaque)
  {
    ByteChunk::InitChunkWithFxVer(&bank);
    if (!SerializePresets(&bank)) return false;
  }
  const int nPresets = NPresets(), n = NParams();
  const uint32_t version = (uint32_t)GetDecimalVersion(mVersion);
  PutBE32(file, kCcnK);
  PutBE32(file, opaque ? (uint32_t)(bank.Size() + kBankChunkOffset) : 0u);
  PutBE32(file, opaque ? kFBCh : kFxBk);
  PutBE32(file, 2);
  PutBE32(file, (uint32_t)mUniqueID);
  PutBE32(file, version);
  PutBE32(file, (uint32_t)nPresets);
  PutBE32(file, (uint32_t)mCurrentPresetIdx);
  const unsigned char reserved[kBankReservedLen] = {};
  file->PutBytes(reserved, kBankReservedLen);
  if (opaque)
  {
    PutBE32(file, (uint32_t)bank.Size());
    file->AppendChunk(&bank);
    return file->Size() == kBankChunkOffset + bank.Size();
  }
  for (int p = 0; p < nPresets; ++p)
  {
    const IPreset* preset = GetPreset(p);
    PutBE32(file, kCcnK);
    PutBE32(file, 0);
    PutBE32(file, kFxCk);
    PutBE32(file, 1);
    PutBE32(file, (uint32_t)mUniqueID);
    PutBE32(file, version);
    PutBE32(file, (uint32_t)n);
    PutName(file, preset->mName);
    for (int i = 0; i < n; ++i)
    {
      // The preset holds the parameters as doubles; a value missing or not a number
      // goes out as 0.0.
      double v = 0.0;
      if (preset->mChunk.ReadValue(&v, 8 * i) < 0 || !std::isfinite(v)) v = 0.0;
      PutBEFloat(file, (float)GetParam(i)->GetNormalized(v));
    }
  }
  return (long long)file->Size() == kBankDataOffset + (long long)nPresets * (kProgramDataOffset + 4LL * n);
}

bool IFxBase::LoadBankFromFXBData(const ByteChunk* file)
{
  if (!file || file->Size() < kBankDataOffset) return false;
  if (BE32At(file, 0) != kCcnK || BE32At(file, 16) != (uint32_t)mUniqueID) return false;
  const uint32_t format = BE32At(file, 8);

  Util_MutexLock lock(mMutex);
  if (format == kFBCh && DoesStateChunks())
  {
    if (file->Size() < kBankChunkOffset) return false;
    const uint32_t chunkSize = BE32At(file, kBankDataOffset);
    if (chunkSize > (uint32_t)(file->Size() - kBankChunkOffset)) return false;
    ByteChunk bank;
    bank.PutBytes(file->GetBytes() + kBankChunkOffset, (int)chunkSize);
    int pos = 0;
    ByteChunk::GetFxVerFromChunk(&bank, &pos);
    if (pos < 0) return false;

    // A bank that ends early is only found while reading it; put presets, current index
    // and state back as they were.
    ByteChunk presetsBefore, stateBefore;
    SerializePresets(&presetsBefore);
    SerializeState(&stateBefore);
    const int currentBefore = mCurrentPresetIdx;
    if (UnserializePresets(&bank, pos) < 0)
    {
      mCurrentPresetIdx = currentBefore;
      UnserializePresets(&presetsBefore, 0);
      UnserializeState(&stateBefore, 0);
      return false;
    }
    InformHostOfProgramChange();
    return true;
  }
  if (format != kFxBk) return false;

  const int n = NParams();
  const int programSize = kProgramDataOffset + 4 * n;
  const int32_t count = (int32_t)BE32At(file, 24);
  const int32_t current = (int32_t)BE32At(file, 28);
  if (count < 0) return false;
  // Programs beyond the plug-in's preset slots have nowhere to go and are ignored.
  const int nLoad = count < NPresets() ? count : NPresets();
  if ((long long)file->Size() < kBankDataOffset + (long long)nLoad * programSize) return false;
  for (int p = 0; p < nLoad; ++p)
  {
    const int at = kBankDataOffset + p * programSize;
    if (BE32At(file, at) != kCcnK || BE32At(file, at + 8) != kFxCk || BE32At(file, at + 12) != 1 ||
        BE32At(file, at + 24) != (uint32_t)n)
      return false;
  }

  const int currentBefore = mCurrentPresetIdx;
  for (int p = 0; p < nLoad; ++p)
  {
    const unsigned char* program = file->GetBytes() + kBankDataOffset + p * programSize;
    RestorePreset(p);
    // A preset whose own chunk cannot be read still receives this program.
    mCurrentPresetIdx = p;
    for (int i = 0; i < n; ++i)
      SetNormalizedFromFile(GetParam(i), Util_ReadBEFloat(program + kProgramDataOffset + 4 * i));
    char name[kNameLen + 1];
    GetName(program + kProgramNameOffset, name);
    ModifyCurrentPreset(name);
  }
  const int restore = current >= 0 && current < NPresets() ? current : currentBefore;
  if (!RestorePreset(restore)) OnParamReset();
  InformHostOfProgramChange();
  return true;
}

bool IFxBase::SaveBankAsFXB(const Util_String& path)
{
  if (!path.GetLength()) return false;
  ByteChunk file;
  return MakeBankFXBData(&file) && WriteWholeFile(path, &file);
}

bool IFxBase::LoadBankFromFXB(const Util_String& path)
{
  ByteChunk file;
  return ReadWholeFile(path, &file) && LoadBankFromFXBData(&file);
}

// ---- presets from base64 text and developer dumps -------------------------------------------

void IFxBase::MakePresetFromBlob(const char* name, const char* blob, int size)
{
  if (!blob || size < 0) return;
  ByteChunk chunk;
  if (chunk.Resize(size) != size) return;
  Util_Base64Decode(blob, chunk.GetBytes(), size);
  MakePresetFromChunk(name, &chunk);
}

bool IFxBase::DumpPresetSrcCode(const char* path, const char* const* paramEnumNames)
{
  if (!path || !*path || !paramEnumNames) return false;
  Util_MutexLock lock(mMutex);
  FILE* f = std::fopen(path, "w");
  if (!f) return false;
  const int n = NParams();
  bool ok = std::fprintf(f, "  MakePresetFromNamedParams(\"name\", %d", n) > 0;
  for (int i = 0; i < n; ++i)
  {
    const IParam* param = GetParam(i);
    const char* paramName = paramEnumNames[i] ? paramEnumNames[i] : "";
    char value[64];
    switch (param->Type())
    {
      case IParam::kTypeBool:
        Util_StrCopy(value, param->Value() >= 0.5 ? "true" : "false");
        break;
      case IParam::kTypeInt:
      case IParam::kTypeEnum:
        std::snprintf(value, sizeof value, "%d", param->Int());
        break;
      default:
        std::snprintf(value, sizeof value, "%.6f", param->Value());
        break;
    }
    ok = ok && std::fprintf(f, ",\n    %s, %s", paramName, value) > 0;
  }
  ok = ok && std::fprintf(f, ");\n") > 0;
  return CloseDump(f, ok);
}

bool IFxBase::DumpPresetBlob(const char* path)
{
  if (!path || !*path) return false;
  Util_MutexLock lock(mMutex);
  const IPreset* preset = GetPreset(mCurrentPresetIdx);
  char text[kDumpTextSize];
  if (!preset || !EncodeForDump(&preset->mChunk, text)) return false;
  FILE* f = std::fopen(path, "w");
  if (!f) return false;
  const bool ok = std::fprintf(f, "MakePresetFromBlob(\"name\", \"%s\", %i);\n", text, preset->mChunk.Size()) > 0;
  return CloseDump(f, ok);
}

bool IFxBase::DumpBankBlob(const char* path)
{
  if (!path || !*path) return false;
  Util_MutexLock lock(mMutex);
  char text[kDumpTextSize];
  // A bank with one preset too large for the dump is refused whole: a dump that silently
  // lacks a preset would recreate a different bank.
  for (int p = 0; p < NPresets(); ++p)
    if (!EncodeForDump(&GetPreset(p)->mChunk, text)) return false;
  FILE* f = std::fopen(path, "w");
  if (!f) return false;
  bool ok = true;
  for (int p = 0; p < NPresets(); ++p)
  {
    const IPreset* preset = GetPreset(p);
    EncodeForDump(&preset->mChunk, text);
    ok = ok && std::fprintf(f, "MakePresetFromBlob(\"%s\", \"%s\", %i);\n", preset->mName, text, preset->mChunk.Size()) > 0;
  }
  return CloseDump(f, ok);
}
