// A component and its edit controller in one object: the audio processor, the controller,
// units and the connection point, with the default behaviour a plug-in refines. It keeps the
// host context, the published parameters, the bus lists, the component handler and the
// process set-up.
//
// The component's and the controller's state calls share one signature, so one override
// would serve both; the two side classes below give each interface its own state hooks.
#pragma once

#include "Vst3Support.h"

namespace vst3 {

class ComponentSide : public IComponent
{
public:
  tresult VX_VST3_API setState(IBStream* state) final { return SetProcessorState(state); }
  tresult VX_VST3_API getState(IBStream* state) final { return GetProcessorState(state); }
  virtual tresult SetProcessorState(IBStream* state) = 0;
  virtual tresult GetProcessorState(IBStream* state) = 0;
};

class ControllerSide : public IEditController
{
public:
  tresult VX_VST3_API setState(IBStream* state) final { return SetControllerState(state); }
  tresult VX_VST3_API getState(IBStream* state) final { return GetControllerState(state); }
  virtual tresult SetControllerState(IBStream* state) = 0;
  virtual tresult GetControllerState(IBStream* state) = 0;
};

class SingleComponentEffect : public ComponentSide,
                              public IAudioProcessor,
                              public ControllerSide,
                              public IEditController2,
                              public IUnitInfo,
                              public IConnectionPoint
{
public:
  SingleComponentEffect();
  virtual ~SingleComponentEffect();

  SingleComponentEffect(const SingleComponentEffect&) = delete;
  SingleComponentEffect& operator=(const SingleComponentEffect&) = delete;

  // ---- FUnknown ---------------------------------------------------------------------------
  tresult VX_VST3_API queryInterface(const TUID iid, void** obj) override;
  uint32 VX_VST3_API addRef() override { return mRefs.AddRef(); }
  uint32 VX_VST3_API release() override;

  // ---- IPluginBase --------------------------------------------------------------------------
  tresult VX_VST3_API initialize(FUnknown* context) override;
  tresult VX_VST3_API terminate() override;

  // ---- IComponent -------------------------------------------------------------------------
  tresult VX_VST3_API getControllerClassId(TUID) override { return kNotImplemented; }
  tresult VX_VST3_API setIoMode(IoMode) override { return kNotImplemented; }
  int32 VX_VST3_API getBusCount(MediaType type, BusDirection dir) override;
  tresult VX_VST3_API getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) override;
  tresult VX_VST3_API getRoutingInfo(RoutingInfo&, RoutingInfo&) override { return kNotImplemented; }
  tresult VX_VST3_API activateBus(MediaType type, BusDirection dir, int32 index, TBool state) override;
  tresult VX_VST3_API setActive(TBool) override { return kResultOk; }
  tresult SetProcessorState(IBStream*) override { return kNotImplemented; }
  tresult GetProcessorState(IBStream*) override { return kNotImplemented; }

  // ---- IAudioProcessor ------------------------------------------------------------------------
  tresult VX_VST3_API setBusArrangements(SpeakerArrangement*, int32, SpeakerArrangement*, int32) override
  {
    return kResultFalse;
  }
  tresult VX_VST3_API getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) override;
  tresult VX_VST3_API canProcessSampleSize(int32 size) override { return size == kSample32 ? kResultOk : kResultFalse; }
  uint32 VX_VST3_API getLatencySamples() override { return 0; }
  tresult VX_VST3_API setupProcessing(ProcessSetup& setup) override;
  tresult VX_VST3_API setProcessing(TBool) override { return kNotImplemented; }
  tresult VX_VST3_API process(ProcessData&) override { return kResultOk; }
  uint32 VX_VST3_API getTailSamples() override { return 0; }

  // ---- IEditController ----------------------------------------------------------------------
  tresult VX_VST3_API setComponentState(IBStream*) override { return kNotImplemented; }
  tresult SetControllerState(IBStream*) override { return kNotImplemented; }
  tresult GetControllerState(IBStream*) override { return kNotImplemented; }
  int32 VX_VST3_API getParameterCount() override { return mParameters.GetCount(); }
  tresult VX_VST3_API getParameterInfo(int32 paramIndex, ParameterInfo& info) override;
  tresult VX_VST3_API getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) override;
  tresult VX_VST3_API getParamValueByString(ParamID id, char16* string, ParamValue& valueNormalized) override;
  ParamValue VX_VST3_API normalizedParamToPlain(ParamID id, ParamValue valueNormalized) override;
  ParamValue VX_VST3_API plainParamToNormalized(ParamID id, ParamValue plainValue) override;
  ParamValue VX_VST3_API getParamNormalized(ParamID id) override;
  tresult VX_VST3_API setParamNormalized(ParamID id, ParamValue value) override;
  tresult VX_VST3_API setComponentHandler(IComponentHandler* handler) override;
  IPlugView* VX_VST3_API createView(FIDString) override { return nullptr; }

  // ---- IEditController2 -----------------------------------------------------------------------
  tresult VX_VST3_API setKnobMode(int32) override { return kResultFalse; }
  tresult VX_VST3_API openHelp(TBool) override { return kResultFalse; }
  tresult VX_VST3_API openAboutBox(TBool) override { return kResultFalse; }

  // ---- IUnitInfo: one root unit, no program lists ------------------------------------------------
  int32 VX_VST3_API getUnitCount() override { return 1; }
  tresult VX_VST3_API getUnitInfo(int32 unitIndex, UnitInfo& info) override;
  int32 VX_VST3_API getProgramListCount() override { return 0; }
  tresult VX_VST3_API getProgramListInfo(int32, ProgramListInfo&) override { return kResultFalse; }
  tresult VX_VST3_API getProgramName(ProgramListID, int32, String128) override { return kResultFalse; }
  tresult VX_VST3_API getProgramInfo(ProgramListID, int32, const char8*, String128) override { return kNotImplemented; }
  tresult VX_VST3_API hasProgramPitchNames(ProgramListID, int32) override { return kNotImplemented; }
  tresult VX_VST3_API getProgramPitchName(ProgramListID, int32, int16, String128) override { return kNotImplemented; }
  UnitID VX_VST3_API getSelectedUnit() override { return kRootUnitId; }
  tresult VX_VST3_API selectUnit(UnitID) override { return kNotImplemented; }
  tresult VX_VST3_API getUnitByBus(MediaType, BusDirection, int32, int32, UnitID&) override { return kNotImplemented; }
  tresult VX_VST3_API setUnitProgramData(int32, int32, IBStream*) override { return kNotImplemented; }

  // ---- IConnectionPoint -----------------------------------------------------------------------
  tresult VX_VST3_API connect(IConnectionPoint* other) override;
  tresult VX_VST3_API disconnect(IConnectionPoint* other) override;
  tresult VX_VST3_API notify(IMessage* message) override { return message ? kResultFalse : kInvalidArgument; }

  // ---- for the plug-in ------------------------------------------------------------------------
  FUnknown* GetHostContext() const { return mHostContext; }
  IComponentHandler* GetComponentHandler() const { return mComponentHandler; }
  const ProcessSetup& GetProcessSetup() const { return mProcessSetup; }
  tresult BeginEdit(ParamID id);
  tresult PerformEdit(ParamID id, ParamValue value);
  tresult EndEdit(ParamID id);

protected:
  BusList* GetBusList(MediaType type, BusDirection dir);

  RefCount mRefs;
  FUnknown* mHostContext = nullptr;
  IComponentHandler* mComponentHandler = nullptr;
  IConnectionPoint* mPeer = nullptr;
  ProcessSetup mProcessSetup{kRealtime, kSample32, 1024, 44100.0};
  ParameterContainer mParameters;
  BusList mAudioInputs, mAudioOutputs, mEventInputs, mEventOutputs;
};

}  // namespace vst3
