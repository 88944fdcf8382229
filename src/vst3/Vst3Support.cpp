// VST 3 helpers: UTF-16 conversion, reference-counted base objects, the parameter container,
// bus lists and the class factory.

#include "Vst3Support.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vst3 {

int Widen(const char* src, char16* dst, int dstSize)
{
  if (!dst || dstSize <= 0) return 0;
  int n = 0;
  if (src)
    for (; n < dstSize - 1 && src[n]; ++n) dst[n] = (char16)(unsigned char)src[n];
  dst[n] = 0;
  return n;
}

int Narrow(const char16* src, char* dst, int dstSize, int srcMax)
{
  if (!dst || dstSize <= 0) return 0;
  int n = 0;
  if (src)
    for (; n < dstSize - 1 && n < srcMax && src[n]; ++n) dst[n] = src[n] <= 0xFF ? (char)src[n] : '?';
  dst[n] = 0;
  return n;
}

void CopyField(char* dst, int dstSize, const char* src)
{
  if (!dst || dstSize <= 0) return;
  int n = 0;
  if (src)
    for (; n < dstSize - 1 && src[n]; ++n) dst[n] = src[n];
  std::memset(dst + n, 0, (size_t)(dstSize - n));
}

// ---- parameters ---------------------------------------------------------------------------------

Parameter::Parameter(const char* title, ParamID id, const char* units, ParamValue defaultNormalized,
                     int32 stepCount, int32 flags, UnitID unitId)
{
  std::memset(&mInfo, 0, sizeof mInfo);
  mInfo.id = id;
  Widen(title, mInfo.title, 128);
  Widen(units, mInfo.units, 128);
  mInfo.stepCount = stepCount;
  mInfo.defaultNormalizedValue = defaultNormalized;
  mInfo.flags = flags;
  mInfo.unitId = unitId;
  mValue = defaultNormalized;
}

void Parameter::SetNormalized(ParamValue value)
{
  if (!(value >= 0.0)) value = 0.0;  // NaN too
  if (value > 1.0) value = 1.0;
  mValue = value;
}

void Parameter::ToString(ParamValue normalized, String128 text) const
{
  char buf[64];
  if (mInfo.stepCount == 1) std::snprintf(buf, sizeof buf, "%s", normalized > 0.5 ? "On" : "Off");
  else std::snprintf(buf, sizeof buf, "%.*f", (int)(mPrecision < 0 || mPrecision > 16 ? 4 : mPrecision), ToPlain(normalized));
  Widen(buf, text, 128);
}

bool Parameter::FromString(const char16* text, ParamValue& normalized) const
{
  char buf[128];
  Narrow(text, buf, sizeof buf, 128);
  char* end = nullptr;
  const double v = std::strtod(buf, &end);
  if (end == buf || !std::isfinite(v)) return false;
  normalized = ToNormalized(v);
  return true;
}

ParamValue Parameter::ToPlain(ParamValue normalized) const
{
  // A stepped parameter has stepCount + 1 values, each owning an equal share of 0..1.
  const int32 steps = mInfo.stepCount;
  if (steps <= 0) return normalized;
  if (!(normalized >= 0.0)) normalized = 0.0;
  const double v = std::floor(normalized * (steps + 1));
  return v > steps ? steps : v;
}

ParamValue Parameter::ToNormalized(ParamValue plain) const
{
  if (mInfo.stepCount > 0) return plain / mInfo.stepCount;
  return plain;
}

StringListParameter::StringListParameter(const char* title, ParamID id, int32 flags, UnitID unitId)
  : Parameter(title, id, "", 0.0, -1, flags, unitId)
{
}

StringListParameter::~StringListParameter()
{
  const int n = mStrings.GetSize();
  for (int i = 0; i < n; ++i) delete[] mStrings.Get(i);
  mStrings.Empty(false);
}

void StringListParameter::AppendString(const char* text)
{
  const size_t len = text ? std::strlen(text) : 0;
  char* copy = new char[len + 1];
  if (len) std::memcpy(copy, text, len);
  copy[len] = 0;
  if (!mStrings.Add(copy)) { delete[] copy; return; }
  mInfo.stepCount = mStrings.GetSize() - 1;
}

void StringListParameter::ToString(ParamValue normalized, String128 text) const
{
  const char* s = mStrings.Get((int)ToPlain(normalized));
  Widen(s ? s : "", text, 128);
}

bool StringListParameter::FromString(const char16* text, ParamValue& normalized) const
{
  char buf[128];
  Narrow(text, buf, sizeof buf, 128);
  const int n = mStrings.GetSize();
  for (int i = 0; i < n; ++i)
    if (std::strcmp(mStrings.Get(i), buf) == 0)
    {
      normalized = ToNormalized(i);
      return true;
    }
  return false;
}

ParamValue StringListParameter::ToPlain(ParamValue normalized) const
{
  const int steps = mInfo.stepCount;
  if (steps <= 0) return 0.0;
  if (!(normalized >= 0.0)) normalized = 0.0;
  const double v = std::floor(normalized * (steps + 1));
  return v > steps ? steps : v;
}

ParamValue StringListParameter::ToNormalized(ParamValue plain) const
{
  const int steps = mInfo.stepCount;
  if (steps <= 0) return 0.0;
  const double v = plain / steps;
  return v < 0.0 ? 0.0 : v > 1.0 ? 1.0 : v;
}

Parameter* ParameterContainer::Find(ParamID id) const
{
  const int n = mParams.GetSize();
  for (int i = 0; i < n; ++i)
    if (mParams.Get(i)->GetInfo().id == id) return mParams.Get(i);
  return nullptr;
}

// ---- buses ------------------------------------------------------------------------------------

int32 CountSpeakers(SpeakerArrangement arr)
{
  int32 n = 0;
  for (; arr; arr &= arr - 1) ++n;
  return n;
}

int32 Bus::ChannelCount() const
{
  return mMediaType == kAudio ? CountSpeakers(mArrangement) : mChannelCount;
}

Bus* BusList::Add(const char* name, MediaType mediaType, BusType busType, uint32 flags, SpeakerArrangement arr,
                  int32 channelCount)
{
  Bus* bus = new Bus;
  CopyField(bus->mName, sizeof bus->mName, name);
  bus->mMediaType = mediaType;
  bus->mBusType = busType;
  bus->mFlags = flags;
  bus->mActive = (flags & kBusDefaultActive) != 0;
  bus->mArrangement = arr;
  bus->mChannelCount = channelCount;
  if (!mBuses.Add(bus))
  {
    delete bus;
    return nullptr;
  }
  return bus;
}

// ---- the class factory --------------------------------------------------------------------------

PluginFactory::PluginFactory(const PFactoryInfo& info) : mInfo(info)
{
}

PluginFactory::~PluginFactory()
{
  mClasses.Empty(true);
  if (mHostContext) mHostContext->release();
}

bool PluginFactory::AddClass(const PClassInfo2& info, CreateFunction create)
{
  ClassEntry* entry = new ClassEntry{info, create};
  if (!mClasses.Add(entry))
  {
    delete entry;
    return false;
  }
  return true;
}

tresult PluginFactory::queryInterface(const TUID iid, void** obj)
{
  if (!obj) return kInvalidArgument;
  if (QueryAs<IPluginFactory3>(iid, obj, this) || QueryAs<IPluginFactory2>(iid, obj, this) ||
      QueryAs<IPluginFactory>(iid, obj, this))
    return kResultOk;
  if (FUnknown::iid.Equals(iid))
  {
    *obj = static_cast<FUnknown*>(this);
    addRef();
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

uint32 PluginFactory::release()
{
  const uint32 left = mRefs.Release();
  if (left == 0)
  {
    if (mOnLastRelease) mOnLastRelease();
    delete this;
  }
  return left;
}

tresult PluginFactory::getFactoryInfo(PFactoryInfo* info)
{
  if (!info) return kInvalidArgument;
  *info = mInfo;
  return kResultOk;
}

tresult PluginFactory::getClassInfo(int32 index, PClassInfo* info)
{
  const ClassEntry* entry = mClasses.Get(index);
  if (!entry || !info) return kInvalidArgument;
  std::memcpy(info->cid, entry->mInfo.cid, 16);
  info->cardinality = entry->mInfo.cardinality;
  std::memcpy(info->category, entry->mInfo.category, sizeof info->category);
  std::memcpy(info->name, entry->mInfo.name, sizeof info->name);
  return kResultOk;
}

tresult PluginFactory::getClassInfo2(int32 index, PClassInfo2* info)
{
  const ClassEntry* entry = mClasses.Get(index);
  if (!entry || !info) return kInvalidArgument;
  *info = entry->mInfo;
  return kResultOk;
}

tresult PluginFactory::getClassInfoUnicode(int32 index, PClassInfoW* info)
{
  const ClassEntry* entry = mClasses.Get(index);
  if (!entry || !info) return kInvalidArgument;
  std::memset(info, 0, sizeof *info);
  std::memcpy(info->cid, entry->mInfo.cid, 16);
  info->cardinality = entry->mInfo.cardinality;
  std::memcpy(info->category, entry->mInfo.category, sizeof info->category);
  Widen(entry->mInfo.name, info->name, 64);
  info->classFlags = entry->mInfo.classFlags;
  std::memcpy(info->subCategories, entry->mInfo.subCategories, sizeof info->subCategories);
  Widen(entry->mInfo.vendor, info->vendor, 64);
  Widen(entry->mInfo.version, info->version, 64);
  Widen(entry->mInfo.sdkVersion, info->sdkVersion, 64);
  return kResultOk;
}

tresult PluginFactory::setHostContext(FUnknown* context)
{
  if (context) context->addRef();
  if (mHostContext) mHostContext->release();
  mHostContext = context;
  return kResultOk;
}

tresult PluginFactory::createInstance(FIDString cid, FIDString iid, void** obj)
{
  if (!obj) return kInvalidArgument;
  *obj = nullptr;
  if (!cid || !iid) return kInvalidArgument;
  const int n = mClasses.GetSize();
  for (int i = 0; i < n; ++i)
  {
    const ClassEntry* entry = mClasses.Get(i);
    if (std::memcmp(entry->mInfo.cid, cid, 16) != 0) continue;
    FUnknown* instance = entry->mCreate ? entry->mCreate(nullptr) : nullptr;
    if (!instance) return kOutOfMemory;
    // The creator's reference goes once the caller holds its own through queryInterface.
    const tresult r = instance->queryInterface(iid, obj);
    instance->release();
    return r == kResultOk ? kResultOk : kNoInterface;
  }
  return kInvalidArgument;
}

}  // namespace vst3
