// The plug-ins the framework fuzz targets feed: a generic one with one parameter of each
// kind (so that step rounding and clamping of every type are reached) and the meter, whose
// state reader is the one hosts actually call. Plus the checks every input must pass.
#pragma once

#include "FuzzCommon.h"

#include "IFxTestBinding.h"
#include "IThdMeter.h"
#include "Util_ByteOrder.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

class FuzzPlug : public IFxTestBinding
{
public:
  static constexpr int kNPresets = 3;

  explicit FuzzPlug(bool doesChunks)
    : IFxTestBinding(IFxInstanceInfo{}, 5, "2-2", kNPresets, "Fuzz", "", "example.com", 0x00010000,
                     Util_FourCC("Fuzz"), Util_FourCC("Exmp"), 0, false, doesChunks, false)
  {
    GetParam(0)->InitDouble("Gain", 0.0, -12.0, 12.0, 0.1, "dB");
    GetParam(1)->InitBool("Mute", false);
    GetParam(2)->InitInt("Mode", 3, 3, 7);
    GetParam(3)->InitEnum("Shape", 0, 3);
    GetParam(4)->InitDouble("Offset", 0.3, 0.3, 2.3, 1.0);  // a step that does not start at 0
    MakePreset("first", 1.5, 1, 4, 2, 1.3);
  }
};

// The meter keeps its files in a documents folder; the fuzzer gives it a private one, so
// that it stays out of the user's own.
inline IFxInstanceInfo FuzzMeterInfo()
{
  static char folder[] = "/tmp/vx_fuzz_documents_XXXXXX";
  static const bool made = mkdtemp(folder) != nullptr;
  IFxInstanceInfo info;
  info.mDocumentsFolder = made ? folder : nullptr;
  return info;
}

class FuzzMeter : public IThdMeter
{
public:
  FuzzMeter() : IThdMeter(FuzzMeterInfo()) {}
  double Volume() const { return mVolume; }
};

inline void CheckParamsInRange(const IFxBase& plug)
{
  for (int i = 0; i < plug.NParams(); ++i)
  {
    const IParam* p = plug.GetParam(i);
    FUZZ_CHECK(std::isfinite(p->Value()));
    FUZZ_CHECK(p->Value() >= p->GetMin() && p->Value() <= p->GetMax());
  }
  for (int i = 0; i < plug.NPresets(); ++i)
    FUZZ_CHECK(strnlen(plug.GetPreset(i)->mName, sizeof plug.GetPreset(i)->mName) < sizeof plug.GetPreset(i)->mName);
}

inline void CheckMeterInRange(const FuzzMeter& meter)
{
  CheckParamsInRange(meter);
  const double f = meter.GetFrequency();
  FUZZ_CHECK(f >= 20.0 && f <= 20000.0);
  const double mirrors[] = {meter.GetOutputChannel(), meter.GetInputChannel(), meter.GetDenoising(), meter.Volume()};
  for (double m : mirrors) FUZZ_CHECK(m >= 0.0 && m <= 1.0);
  FUZZ_CHECK(meter.GetAmplitude() > 0.0 && meter.GetAmplitude() <= 1.0);
  FUZZ_CHECK(std::strlen(meter.GetVolumeLabel()) < 56);
}

inline std::vector<double> ParamValues(const IFxBase& plug)
{
  std::vector<double> v;
  for (int i = 0; i < plug.NParams(); ++i) v.push_back(plug.GetParam(i)->Value());
  return v;
}

// One meter for a whole fuzzing run (its construction searches the file system), brought
// back to the same state and preset before every input.
class SharedFuzzMeter
{
public:
  void Init()
  {
    mMeter = new FuzzMeter;
    mMeter->SerializeState(&mBaseline);
  }

  FuzzMeter* Fresh()
  {
    mMeter->UnserializeState(&mBaseline, 0);
    IPreset* preset = mMeter->GetPreset(0);
    preset->mChunk.Clear();
    preset->mChunk.AppendChunk(&mBaseline);
    preset->mInitialized = true;
    return mMeter;
  }

private:
  FuzzMeter* mMeter = nullptr;  // lives until the process ends
  ByteChunk mBaseline;
};
