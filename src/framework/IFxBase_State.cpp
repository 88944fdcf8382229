// Parameter state and the preset list.
#include "IFxBase.h"

#include "Util_CStr.h"

#include <cmath>
#include <cstdio>
#include <cstring>

bool IFxBase::SerializeParams(ByteChunk* chunk)
{
  TRACE_FX("");
  Util_MutexLock lock(mMutex);
  const int n = NParams();
  for (int i = 0; i < n; ++i)
  {
    const double v = GetParam(i)->Value();
    chunk->AppendValue(&v);
  }
  return n == 0 || chunk->Size() > 0;
}

int IFxBase::UnserializeParams(ByteChunk* chunk, int startPos)
{
  TRACE_FX("%d", startPos);
  Util_MutexLock lock(mMutex);
  const int n = NParams();
  int pos = startPos;
  for (int i = 0; i < n && pos >= 0; ++i)
  {
    IParam* param = GetParam(i);
    double v = 0.0;
    pos = chunk->ReadValue(&v, pos);
    if (pos < 0) v = 0.0;
    // A stored value that is not a number keeps the current one rather than corrupting it.
    if (std::isfinite(v)) param->Set(v);
  }
  OnParamReset();
  return pos;
}

const char* IFxBase::GetPresetName(int idx) const
{
  const IPreset* preset = mPresets.Get(idx);
  return preset ? preset->mName : "";
}

IPreset* IFxBase::GetNextUninitializedPreset()
{
  const int n = mPresets.GetSize();
  for (int i = 0; i < n; ++i)
    if (!mPresets.Get(i)->mInitialized) return mPresets.Get(i);
  return nullptr;
}

void IFxBase::MakeDefaultPreset(const char* name, int nPresets)
{
  for (int i = 0; i < nPresets; ++i)
  {
    IPreset* preset = GetNextUninitializedPreset();
    if (!preset) return;
    preset->mInitialized = true;
    Util_StrCopy(preset->mName, name && *name ? name : "Empty");
    preset->mChunk.Clear();
    SerializeState(&preset->mChunk);
  }
}

void IFxBase::EnsureDefaultPreset()
{
  MakeDefaultPreset("Empty", NPresets());
}

// ---- building presets ------------------------------------------------------------------

namespace {
// Fills a value that a preset list leaves unnamed: no parameter stores exactly this, so an
// entry still holding it after the named pairs are applied takes the current value.
constexpr double kUnsetMarker = 9.999e-8;

bool TakesIntArg(const IParam* param)
{
  const IParam::EParamType type = param->Type();
  return type == IParam::kTypeBool || type == IParam::kTypeInt || type == IParam::kTypeEnum;
}

double ReadArg(const IParam* param, va_list* args)
{
  // Variadic arguments arrive promoted: int for the whole-number types, double otherwise.
  if (TakesIntArg(param)) return (double)va_arg(*args, int);
  return va_arg(*args, double);
}

IPreset* TakePreset(IPreset* preset, const char* name)
{
  if (!preset) return nullptr;
  preset->mInitialized = true;
  Util_StrCopy(preset->mName, name ? name : "");
  // A slot may still hold the bytes of a preset that a bank marked uninitialised.
  preset->mChunk.Clear();
  return preset;
}
}  // namespace

void IFxBase::MakePreset(const char* name, ...)
{
  Util_MutexLock lock(mMutex);
  IPreset* preset = TakePreset(GetNextUninitializedPreset(), name);
  if (!preset) return;
  va_list args;
  va_start(args, name);
  const int n = NParams();
  for (int i = 0; i < n; ++i)
  {
    const double v = ReadArg(GetParam(i), &args);
    preset->mChunk.AppendValue(&v);
  }
  va_end(args);
}

void IFxBase::MakePresetFromNamedParams(const char* name, int nNamed, ...)
{
  Util_MutexLock lock(mMutex);
  IPreset* preset = TakePreset(GetNextUninitializedPreset(), name);
  if (!preset) return;
  const int n = NParams();
  Util_TypedBuf<double> values;
  double* v = values.Resize(n);
  if (n > 0 && !v) return;
  for (int i = 0; i < n; ++i) v[i] = kUnsetMarker;

  va_list args;
  va_start(args, nNamed);
  for (int k = 0; k < nNamed; ++k)
  {
    const int idx = va_arg(args, int);
    // The value's type follows from the parameter; an unknown index leaves the type of
    // every later argument unknown too, so the list ends there.
    if (idx < 0 || idx >= n) break;
    v[idx] = ReadArg(GetParam(idx), &args);
  }
  va_end(args);

  for (int i = 0; i < n; ++i)
  {
    const double value = v[i] == kUnsetMarker ? GetParam(i)->Value() : v[i];
    preset->mChunk.AppendValue(&value);
  }
}

void IFxBase::MakePresetFromChunk(const char* name, const ByteChunk* presetChunk)
{
  Util_MutexLock lock(mMutex);
  IPreset* preset = TakePreset(GetNextUninitializedPreset(), name);
  if (preset) preset->mChunk.AppendChunk(presetChunk);
}

void IFxBase::PruneUninitializedPresets()
{
  Util_MutexLock lock(mMutex);
  const IPreset* current = mPresets.Get(mCurrentPresetIdx);
  for (int i = mPresets.GetSize() - 1; i >= 0; --i)
    if (!mPresets.Get(i)->mInitialized) mPresets.Delete(i, true);
  // Keep the current index on the same preset; when that one is gone, start over at 0.
  mCurrentPresetIdx = 0;
  for (int i = 0; i < mPresets.GetSize(); ++i)
    if (mPresets.Get(i) == current) mCurrentPresetIdx = i;
}

// ---- restoring and modifying -------------------------------------------------------------

bool IFxBase::RestorePreset(int idx)
{
  TRACE_FX("%d", idx);
  Util_MutexLock lock(mMutex);
  IPreset* preset = mPresets.Get(idx);
  if (!preset) return false;

  if (!preset->mInitialized)
  {
    // An empty slot becomes a new user preset holding the current state.
    int nUser = 0;
    for (int i = 0; i < mPresets.GetSize(); ++i)
      if (std::strstr(mPresets.Get(i)->mName, "user preset")) ++nUser;
    preset->mInitialized = true;
    std::snprintf(preset->mName, sizeof preset->mName, "%s %d", "user preset", nUser + 1);
    preset->mChunk.Clear();
    if (!SerializeState(&preset->mChunk)) return false;
  }
  else if (UnserializeState(&preset->mChunk, 0) < 1)
  {
    return false;
  }

  mCurrentPresetIdx = idx;
  PresetsChangedByHost();
  RedrawParamControls();
  return true;
}

bool IFxBase::RestorePreset(const char* name)
{
  if (!name || !*name) return false;
  Util_MutexLock lock(mMutex);
  for (int i = 0; i < mPresets.GetSize(); ++i)
    if (!std::strcmp(mPresets.Get(i)->mName, name)) return RestorePreset(i);
  return false;
}

void IFxBase::ModifyCurrentPreset(const char* name)
{
  Util_MutexLock lock(mMutex);
  IPreset* preset = mPresets.Get(mCurrentPresetIdx);
  if (!preset) return;
  // The slot holds a state from now on; left uninitialised, the next restore would
  // overwrite it as a new user preset and lose the name.
  preset->mInitialized = true;
  preset->mChunk.Clear();
  SerializeState(&preset->mChunk);
  if (name && *name) Util_StrCopy(preset->mName, name);
}

// ---- bank state --------------------------------------------------------------------------

bool IFxBase::SerializePresets(ByteChunk* chunk)
{
  TRACE_FX("");
  Util_MutexLock lock(mMutex);
  bool ok = true;
  for (int i = 0; i < mPresets.GetSize(); ++i)
  {
    const IPreset* preset = mPresets.Get(i);
    ok &= chunk->AppendString(preset->mName) > 0;
    ok &= chunk->AppendBool(preset->mInitialized) > 0;
    if (preset->mInitialized && preset->mChunk.Size() > 0) ok &= chunk->AppendChunk(&preset->mChunk) > 0;
  }
  return ok;
}

int IFxBase::UnserializePresets(ByteChunk* chunk, int startPos)
{
  TRACE_FX("%d", startPos);
  Util_MutexLock lock(mMutex);
  int pos = startPos;
  for (int i = 0; i < mPresets.GetSize() && pos >= 0; ++i)
  {
    IPreset* preset = mPresets.Get(i);
    Util_String name;
    pos = chunk->ReadString(&name, pos);
    if (pos < 0) break;
    // Names beyond the slot's 255 characters are cut.
    Util_StrCopy(preset->mName, name.Get());
    pos = chunk->ReadBool(&preset->mInitialized, pos);
    if (pos < 0 || !preset->mInitialized) continue;
    // Preset chunks carry no length: the plug-in's state reader decides where each ends.
    pos = UnserializeState(chunk, pos);
    if (pos > 0)
    {
      preset->mChunk.Clear();
      SerializeState(&preset->mChunk);
    }
  }
  RestorePreset(mCurrentPresetIdx);
  return pos;
}
