// A small plug-in over the VST 2 binding for the binding's own tests: three parameters of
// different kinds, two presets, optional MIDI and an optional attached editor that records
// what the binding asks of it. Created through an entry function, as a module's would be.
#pragma once

#include "IFxVST.h"

#include <functional>
#include <string>
#include <vector>

class Vst2TestEditor : public IEditorLink
{
public:
  struct FromPlug
  {
    int mIdx;
    double mValue;
    bool mNormalized;
  };

  void SetParameterFromPlug(int paramIdx, double value, bool normalized) override
  {
    mFromPlug.push_back(FromPlug{paramIdx, value, normalized});
  }
  void SetControlFromPlug(int, double) override {}
  void PrepDraw() override { ++mPrepDraws; }
  int Width() const override { return 251; }
  int Height() const override { return 310; }
  // Like a window host: a window inside any parent given, none without one.
  void* OpenWindow(void* parent) override
  {
    ++mOpens;
    if (mOnOpen) mOnOpen();
    return parent;
  }
  void CloseWindow() override { ++mCloses; }

  std::vector<FromPlug> mFromPlug;
  int mPrepDraws = 0, mOpens = 0, mCloses = 0;
  std::function<void()> mOnOpen;  // what a window host might do while opening (ask the host)
};

class Vst2TestPlug : public IFxVST
{
public:
  enum { kSwitch, kGain, kNegated, kNumParams };

  struct Options
  {
    bool mMidi = false;
    bool mEditor = false;
    // Whether a window host exists; tests pretend one (as on macOS) to run open and close.
    bool mWindowHost = IFxVST::PlatformHasEditorWindowHost();
    // Processing like the meter's: each frame writes output 0 (a constant tone) before it
    // reads input 0, which it copies to output 1. In place, a binding that hands the host's
    // buffers straight through would make it read its own tone.
    bool mWriteBeforeRead = false;
  };

  Vst2TestPlug(const IFxInstanceInfo& info, const Options& options)
    : IFxVST(info, kNumParams, "1-1 2-2", 2, "Binding Test Plug-in Name", "Test Product", "example.org",
             0x00010203, VstFourCC('T', 'e', 's', 't'), VstFourCC('E', 'x', 'm', 'p'), 0, options.mMidi, true,
             false),
      mWindowHost(options.mWindowHost), mWriteBeforeRead(options.mWriteBeforeRead)
  {
    GetParam(kSwitch)->InitBool("Switch", false);
    GetParam(kGain)->InitDouble("Gain Control", 0.0, -60.0, 12.0, 0.1, "decibels");
    GetParam(kNegated)->InitDouble("Negated", 0.0, 0.0, 10.0, 0.01);
    GetParam(kNegated)->NegateDisplay();
    MakeDefaultPreset("first", 1);
    if (options.mEditor)
    {
      mEditor = new Vst2TestEditor;
      AttachGraphics(mEditor);
    }
  }

  void OnParamChange(int idx) override
  {
    IFxBase::OnParamChange(idx);
    mParamChanges.push_back(idx);
  }
  bool HasEditorWindowHost() const override { return mWindowHost; }
  void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override
  {
    if (!mWriteBeforeRead) return IFxVST::ProcessDoubleReplacing(inputs, outputs, nFrames);
    for (int s = 0; s < nFrames; ++s)
    {
      outputs[0][s] = kTone;
      outputs[1][s] = inputs[0][s];
    }
  }
  static constexpr double kTone = 0.125;
  void OnGUIOpen() override { ++mGUIOpens; }
  void OnGUIClose() override { ++mGUICloses; }
  void ProcessSysEx(ISysEx* msg) override { mSysEx.emplace_back(msg->mData, msg->mData + msg->mSize); }

  bool mWindowHost;
  bool mWriteBeforeRead;
  Vst2TestEditor* mEditor = nullptr;  // owned by the base once attached
  std::vector<int> mParamChanges;
  std::vector<std::vector<uint8_t>> mSysEx;
  int mGUIOpens = 0, mGUICloses = 0;
};

// The options the next Vst2TestEntry call creates its plug-in with.
inline Vst2TestPlug::Options& Vst2TestOptions()
{
  static Vst2TestPlug::Options options;
  return options;
}

// Does what the module entry point does, for the test plug-in.
inline AEffect* VSTCALLBACK Vst2TestEntry(audioMasterCallback host)
{
  IFxInstanceInfo info;
  info.mVSTHostCallback = host;
  Vst2TestPlug* plug = new Vst2TestPlug(info, Vst2TestOptions());
  plug->EnsureDefaultPreset();
  AEffect* effect = plug->GetAEffect();
  if (effect->numPrograms < 1) effect->numPrograms = 1;
  return effect;
}

inline Vst2TestPlug* TestPlugOf(AEffect* effect)
{
  return (Vst2TestPlug*)effect->object;
}
