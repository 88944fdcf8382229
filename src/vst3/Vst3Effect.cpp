// The single-object component and edit controller: default behaviour for the processor, the
// controller, units and the connection point, which the binding refines.

#include "Vst3Effect.h"

namespace vst3 {

SingleComponentEffect::SingleComponentEffect() = default;

SingleComponentEffect::~SingleComponentEffect()
{
  // A host that never terminated still gets its references back.
  terminate();
}

tresult SingleComponentEffect::queryInterface(const TUID iid, void** obj)
{
  if (!obj) return kInvalidArgument;
  if (QueryAs<IComponent>(iid, obj, this) || QueryAs<IAudioProcessor>(iid, obj, this) ||
      QueryAs<IEditController>(iid, obj, this) || QueryAs<IEditController2>(iid, obj, this) ||
      QueryAs<IUnitInfo>(iid, obj, this) || QueryAs<IConnectionPoint>(iid, obj, this))
    return kResultOk;
  // The shared bases answer through the component's side.
  if (IPluginBase::iid.Equals(iid) || FUnknown::iid.Equals(iid))
  {
    *obj = static_cast<IPluginBase*>(static_cast<IComponent*>(this));
    addRef();
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

uint32 SingleComponentEffect::release()
{
  const uint32 left = mRefs.Release();
  if (left == 0) delete this;
  return left;
}

tresult SingleComponentEffect::initialize(FUnknown* context)
{
  if (mHostContext) return kResultFalse;
  mHostContext = context;
  if (mHostContext) mHostContext->addRef();
  return kResultOk;
}

tresult SingleComponentEffect::terminate()
{
  // Hosts may destroy their handler right after terminate and release the plug-in later
  // (or never release it before their own teardown), so nothing of theirs is kept past it.
  if (mComponentHandler)
  {
    mComponentHandler->release();
    mComponentHandler = nullptr;
  }
  if (mPeer)
  {
    mPeer->release();
    mPeer = nullptr;
  }
  if (mHostContext)
  {
    mHostContext->release();
    mHostContext = nullptr;
  }
  return kResultOk;
}

BusList* SingleComponentEffect::GetBusList(MediaType type, BusDirection dir)
{
  if (type == kAudio) return dir == kInput ? &mAudioInputs : dir == kOutput ? &mAudioOutputs : nullptr;
  if (type == kEvent) return dir == kInput ? &mEventInputs : dir == kOutput ? &mEventOutputs : nullptr;
  return nullptr;
}

int32 SingleComponentEffect::getBusCount(MediaType type, BusDirection dir)
{
  const BusList* list = GetBusList(type, dir);
  return list ? list->GetCount() : 0;
}

tresult SingleComponentEffect::getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& info)
{
  BusList* list = GetBusList(type, dir);
  const Bus* bus = list ? list->At(index) : nullptr;
  if (!bus) return kInvalidArgument;
  std::memset(&info, 0, sizeof info);
  info.mediaType = type;
  info.direction = dir;
  info.channelCount = bus->ChannelCount();
  Widen(bus->mName, info.name, 128);
  info.busType = bus->mBusType;
  info.flags = bus->mFlags;
  return kResultOk;
}

tresult SingleComponentEffect::activateBus(MediaType type, BusDirection dir, int32 index, TBool state)
{
  BusList* list = GetBusList(type, dir);
  Bus* bus = list ? list->At(index) : nullptr;
  if (!bus) return kInvalidArgument;
  bus->mActive = state != 0;
  return kResultOk;
}

tresult SingleComponentEffect::getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr)
{
  BusList* list = GetBusList(kAudio, dir);
  const Bus* bus = list ? list->At(index) : nullptr;
  if (!bus) return kResultFalse;
  arr = bus->mArrangement;
  return kResultOk;
}

tresult SingleComponentEffect::setupProcessing(ProcessSetup& setup)
{
  if (canProcessSampleSize(setup.symbolicSampleSize) != kResultOk) return kResultFalse;
  mProcessSetup = setup;
  return kResultOk;
}

tresult SingleComponentEffect::getParameterInfo(int32 paramIndex, ParameterInfo& info)
{
  const Parameter* param = mParameters.At(paramIndex);
  if (!param) return kInvalidArgument;
  info = param->GetInfo();
  return kResultOk;
}

tresult SingleComponentEffect::getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string)
{
  const Parameter* param = mParameters.Find(id);
  if (!param || !string) return kResultFalse;
  param->ToString(valueNormalized, string);
  return kResultOk;
}

tresult SingleComponentEffect::getParamValueByString(ParamID id, char16* string, ParamValue& valueNormalized)
{
  const Parameter* param = mParameters.Find(id);
  if (!param || !string) return kResultFalse;
  return param->FromString(string, valueNormalized) ? kResultOk : kResultFalse;
}

ParamValue SingleComponentEffect::normalizedParamToPlain(ParamID id, ParamValue valueNormalized)
{
  const Parameter* param = mParameters.Find(id);
  return param ? param->ToPlain(valueNormalized) : valueNormalized;
}

ParamValue SingleComponentEffect::plainParamToNormalized(ParamID id, ParamValue plainValue)
{
  const Parameter* param = mParameters.Find(id);
  return param ? param->ToNormalized(plainValue) : plainValue;
}

ParamValue SingleComponentEffect::getParamNormalized(ParamID id)
{
  const Parameter* param = mParameters.Find(id);
  return param ? param->GetNormalized() : 0.0;
}

tresult SingleComponentEffect::setParamNormalized(ParamID id, ParamValue value)
{
  Parameter* param = mParameters.Find(id);
  if (!param) return kResultFalse;
  param->SetNormalized(value);
  return kResultOk;
}

tresult SingleComponentEffect::setComponentHandler(IComponentHandler* handler)
{
  if (handler == mComponentHandler) return kResultTrue;
  if (handler) handler->addRef();
  if (mComponentHandler) mComponentHandler->release();
  mComponentHandler = handler;
  return kResultTrue;
}

tresult SingleComponentEffect::getUnitInfo(int32 unitIndex, UnitInfo& info)
{
  if (unitIndex != 0) return kResultFalse;
  info.id = kRootUnitId;
  info.parentUnitId = kNoParentUnitId;
  Widen("Root Unit", info.name, 128);
  info.programListId = kNoProgramListId;
  return kResultOk;
}

tresult SingleComponentEffect::connect(IConnectionPoint* other)
{
  if (!other) return kInvalidArgument;
  if (mPeer) return kResultFalse;
  mPeer = other;
  mPeer->addRef();
  return kResultOk;
}

tresult SingleComponentEffect::disconnect(IConnectionPoint* other)
{
  if (!mPeer || other != mPeer) return kResultFalse;
  mPeer->release();
  mPeer = nullptr;
  return kResultOk;
}

tresult SingleComponentEffect::BeginEdit(ParamID id)
{
  return mComponentHandler ? mComponentHandler->beginEdit(id) : kResultFalse;
}

tresult SingleComponentEffect::PerformEdit(ParamID id, ParamValue value)
{
  return mComponentHandler ? mComponentHandler->performEdit(id, value) : kResultFalse;
}

tresult SingleComponentEffect::EndEdit(ParamID id)
{
  return mComponentHandler ? mComponentHandler->endEdit(id) : kResultFalse;
}

}  // namespace vst3
