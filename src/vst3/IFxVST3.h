// The VST 3 binding of the plug-in base: one object that is the host's component, audio
// processor and edit controller, publishing the base's parameters, presets and buses and
// running the base's buffer frame from the host's process call.
#pragma once

#include "IFxBase.h"
#include "Vst3Effect.h"

class IFxVST3View;

// Nothing is needed from the factory at creation: the host identifies itself in initialize.
struct IFxInstanceInfo
{
};

// Parameter ids besides the plug-in's own (which are their indices).
constexpr vst3::ParamID kBypassParamID = 0x62706173;  // "bpas"
constexpr vst3::ParamID kPresetParamID = 0x70727374;  // "prst"

// One plug-in parameter as the host sees it; conversions go to the wrapped IParam.
class IFxParameter : public vst3::Parameter
{
public:
  IFxParameter(IParam* param, int paramIdx, vst3::UnitID unitID);

  void ToString(vst3::ParamValue normalized, vst3::String128 text) const override;
  bool FromString(const vst3::char16* text, vst3::ParamValue& normalized) const override;
  vst3::ParamValue ToPlain(vst3::ParamValue normalized) const override;
  vst3::ParamValue ToNormalized(vst3::ParamValue plain) const override;

private:
  IParam* mParam;
};

class IFxVST3 : public IFxBase, public vst3::SingleComponentEffect
{
public:
  IFxVST3(const IFxInstanceInfo& instanceInfo, int nParams, const char* channelIOStr, int nPresets,
          const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
          int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst);
  ~IFxVST3() override;

  // ---- component and processor -----------------------------------------------------------------
  vst3::tresult VX_VST3_API initialize(vst3::FUnknown* context) override;
  vst3::tresult VX_VST3_API setBusArrangements(vst3::SpeakerArrangement* inputs, vst3::int32 numIns,
                                               vst3::SpeakerArrangement* outputs, vst3::int32 numOuts) override;
  vst3::tresult VX_VST3_API canProcessSampleSize(vst3::int32 size) override;
  vst3::uint32 VX_VST3_API getLatencySamples() override { return (vst3::uint32)GetLatency(); }
  vst3::uint32 VX_VST3_API getTailSamples() override { return (vst3::uint32)GetTailSize(); }
  vst3::tresult VX_VST3_API setupProcessing(vst3::ProcessSetup& setup) override;
  vst3::tresult VX_VST3_API setActive(vst3::TBool state) override;
  vst3::tresult VX_VST3_API process(vst3::ProcessData& data) override;
  vst3::tresult SetProcessorState(vst3::IBStream* state) override;
  vst3::tresult GetProcessorState(vst3::IBStream* state) override;

  // ---- controller ----------------------------------------------------------------------------
  vst3::tresult SetControllerState(vst3::IBStream* state) override;
  vst3::tresult GetControllerState(vst3::IBStream* state) override;
  vst3::ParamValue VX_VST3_API getParamNormalized(vst3::ParamID id) override;
  vst3::tresult VX_VST3_API setParamNormalized(vst3::ParamID id, vst3::ParamValue value) override;
  vst3::ParamValue VX_VST3_API plainParamToNormalized(vst3::ParamID id, vst3::ParamValue plain) override;
  vst3::tresult VX_VST3_API getParamStringByValue(vst3::ParamID id, vst3::ParamValue valueNormalized,
                                                  vst3::String128 string) override;
  vst3::IPlugView* VX_VST3_API createView(vst3::FIDString name) override;

  // ---- units and the preset list ----------------------------------------------------------------
  vst3::int32 VX_VST3_API getUnitCount() override { return mParamGroups.GetSize() + 1; }
  vst3::tresult VX_VST3_API getUnitInfo(vst3::int32 unitIndex, vst3::UnitInfo& info) override;
  vst3::int32 VX_VST3_API getProgramListCount() override;
  vst3::tresult VX_VST3_API getProgramListInfo(vst3::int32 listIndex, vst3::ProgramListInfo& info) override;
  vst3::tresult VX_VST3_API getProgramName(vst3::ProgramListID listId, vst3::int32 programIndex,
                                           vst3::String128 name) override;

  // ---- base operations the host provides ---------------------------------------------------------
  void BeginInformHostOfParamChange(int idx) override;
  void InformHostOfParamChange(int idx, double normalizedValue) override;
  void EndInformHostOfParamChange(int idx) override;
  void InformHostOfProgramChange() override {}
  bool IsRenderingOffline() override { return GetProcessSetup().processMode == vst3::kOffline; }
  int GetSamplePos() override;
  double GetTempo() override;
  void GetTimeSig(int* numerator, int* denominator) override;
  void GetTime(ITimeInfo* timeInfo) override;
  void ResizeGraphics(int w, int h) override;
  void SetLatency(int samples) override;
  bool SendMidiMsg(IMidiMsg*) override { return false; }
  void PopupHostContextMenuForParam(int paramIdx, int x, int y) override;

  // ---- the views (IFxVST3View) -------------------------------------------------------------------
  void ForgetOpenViews();
  int NOpenViews() const { return mOpenViews.GetSize(); }

private:
  void AddAudioBus(vst3::BusList* list, const char* name, int nChannels);
  vst3::tresult ReadState(vst3::IBStream* state, bool withBypass);
  vst3::tresult WriteState(vst3::IBStream* state);
  template <class SampleType> void AttachHostBuffers(vst3::ProcessData& data, SampleType** (*pick)(vst3::AudioBusBuffers&));

  bool mPublished = false;  // buses and parameters, added by the first initialize
  // The bypass parameter as the controller shows it: what the host set on the controller,
  // the last bypass change a block carried, or the controller state. The processor's own
  // flag (IsBypassed) follows the blocks and the controller state only.
  bool mControllerBypassed = false;
  vst3::ProcessContext mProcessContext{};
  Util_PtrList<IFxVST3View> mOpenViews;
  Util_PtrList<Util_String> mParamGroups;
};
