// Parameter state and the preset list.
#include "IFxBase.h"

#include "Util_CStr.h"

#include <cmath>

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
