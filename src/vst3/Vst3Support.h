// The small helpers a VST 3 plug-in needs around the binary interface: UTF-16 strings,
// reference counting, parameters and their container, bus lists, and the class factory.
#pragma once

#include "Vst3Abi.h"
#include "Util_PtrList.h"

#include <atomic>

// <windows.h> (which the Windows editor and the mutex bring along) renames RegisterClass to
// RegisterClassA; the factory's method keeps its own name in every translation unit.
#ifdef RegisterClass
#undef RegisterClass
#endif

namespace vst3 {

// ---- UTF-16 strings -------------------------------------------------------------------------

// Widens 8-bit text (each byte one code unit) into dst, which holds dstSize units, always
// terminated; returns the units written without the terminator.
int Widen(const char* src, char16* dst, int dstSize);
// Narrows UTF-16 into dst (dstSize bytes, always terminated): units above 0xFF become '?'.
// Reads src only up to its terminator or srcMax units.
int Narrow(const char16* src, char* dst, int dstSize, int srcMax = 0x7FFFFFFF);
// Bounded copy of 8-bit text into a fixed field, always terminated.
void CopyField(char* dst, int dstSize, const char* src);

// ---- reference counting -----------------------------------------------------------------------

// Count starts at 1 (the creator's reference); Release returns the count left and the owner
// deletes the object when it reaches 0.
class RefCount
{
public:
  uint32 AddRef() { return mCount.fetch_add(1, std::memory_order_relaxed) + 1; }
  uint32 Release() { return mCount.fetch_sub(1, std::memory_order_acq_rel) - 1; }
  uint32 Get() const { return mCount.load(std::memory_order_acquire); }

private:
  std::atomic<uint32> mCount{1};
};

// Fills *obj with ptr after adding a reference when iid names interface I.
template <class I, class T>
bool QueryAs(const TUID iid, void** obj, T* self)
{
  if (!I::iid.Equals(iid)) return false;
  *obj = static_cast<I*>(self);
  static_cast<I*>(self)->addRef();
  return true;
}

// ---- parameters ---------------------------------------------------------------------------------

// One published parameter: its info record and its current normalised value. Conversions are
// virtual so that a binding can route them to its own parameter model.
class Parameter
{
public:
  Parameter() { std::memset(&mInfo, 0, sizeof mInfo); }
  Parameter(const char* title, ParamID id, const char* units, ParamValue defaultNormalized, int32 stepCount,
            int32 flags, UnitID unitId);
  virtual ~Parameter() = default;

  const ParameterInfo& GetInfo() const { return mInfo; }
  ParameterInfo& Info() { return mInfo; }
  ParamValue GetNormalized() const { return mValue; }
  virtual void SetNormalized(ParamValue value);
  int32 GetPrecision() const { return mPrecision; }
  void SetPrecision(int32 precision) { mPrecision = precision; }

  virtual void ToString(ParamValue normalized, String128 text) const;
  virtual bool FromString(const char16* text, ParamValue& normalized) const;
  virtual ParamValue ToPlain(ParamValue normalized) const;
  virtual ParamValue ToNormalized(ParamValue plain) const;

protected:
  ParameterInfo mInfo;
  ParamValue mValue = 0.0;
  int32 mPrecision = 4;
};

// A parameter with a list of named steps ("off", "on"): step count = entries - 1.
class StringListParameter : public Parameter
{
public:
  StringListParameter(const char* title, ParamID id, int32 flags, UnitID unitId);
  ~StringListParameter() override;

  void AppendString(const char* text);
  void ToString(ParamValue normalized, String128 text) const override;
  bool FromString(const char16* text, ParamValue& normalized) const override;
  ParamValue ToPlain(ParamValue normalized) const override;
  ParamValue ToNormalized(ParamValue plain) const override;

private:
  Util_PtrList<char> mStrings;
};

// Owns the published parameters, in publication order.
class ParameterContainer
{
public:
  ~ParameterContainer() { mParams.Empty(true); }
  Parameter* Add(Parameter* param) { return mParams.Add(param); }
  int32 GetCount() const { return mParams.GetSize(); }
  Parameter* At(int32 index) const { return mParams.Get(index); }
  Parameter* Find(ParamID id) const;

private:
  Util_PtrList<Parameter> mParams;
};

// ---- buses ------------------------------------------------------------------------------------

struct Bus
{
  char mName[128] = {};
  MediaType mMediaType = kAudio;
  BusType mBusType = kMain;
  uint32 mFlags = 0;
  bool mActive = false;
  SpeakerArrangement mArrangement = 0;  // audio buses
  int32 mChannelCount = 0;              // event buses

  int32 ChannelCount() const;
};

class BusList
{
public:
  ~BusList() { Clear(); }
  Bus* Add(const char* name, MediaType mediaType, BusType busType, uint32 flags, SpeakerArrangement arr,
           int32 channelCount);
  void Clear() { mBuses.Empty(true); }
  int32 GetCount() const { return mBuses.GetSize(); }
  Bus* At(int32 index) const { return mBuses.Get(index); }

private:
  Util_PtrList<Bus> mBuses;
};

int32 CountSpeakers(SpeakerArrangement arr);

// ---- the class factory --------------------------------------------------------------------------

using CreateFunction = FUnknown* (*)(void* context);

struct ClassEntry
{
  PClassInfo2 mInfo;
  CreateFunction mCreate;
};

// The module's factory: a fixed list of classes, each with the function that creates it.
class PluginFactory : public IPluginFactory3
{
public:
  explicit PluginFactory(const PFactoryInfo& info);
  virtual ~PluginFactory();

  bool AddClass(const PClassInfo2& info, CreateFunction create);

  tresult VX_VST3_API queryInterface(const TUID iid, void** obj) override;
  uint32 VX_VST3_API addRef() override { return mRefs.AddRef(); }
  uint32 VX_VST3_API release() override;
  tresult VX_VST3_API getFactoryInfo(PFactoryInfo* info) override;
  int32 VX_VST3_API countClasses() override { return mClasses.GetSize(); }
  tresult VX_VST3_API getClassInfo(int32 index, PClassInfo* info) override;
  tresult VX_VST3_API createInstance(FIDString cid, FIDString iid, void** obj) override;
  tresult VX_VST3_API getClassInfo2(int32 index, PClassInfo2* info) override;
  tresult VX_VST3_API getClassInfoUnicode(int32 index, PClassInfoW* info) override;
  tresult VX_VST3_API setHostContext(FUnknown* context) override;

  // Called when the last reference goes, before the factory deletes itself.
  void (*mOnLastRelease)() = nullptr;

private:
  RefCount mRefs;
  PFactoryInfo mInfo;
  Util_PtrList<ClassEntry> mClasses;
  FUnknown* mHostContext = nullptr;
};

}  // namespace vst3
