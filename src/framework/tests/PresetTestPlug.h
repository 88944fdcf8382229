// A small plug-in for the preset and preset-file tests: one parameter of each kind whose
// rounding matters (double, bool, int, enum), a configurable preset count, and counters
// for the hooks that a restore must reach.
#pragma once

#include "IFxTestBinding.h"
#include "Util_ByteOrder.h"

#include <vector>

class PresetTestPlug : public IFxTestBinding
{
public:
  static constexpr int kNParams = 4;

  explicit PresetTestPlug(int nPresets = 3, bool doesChunks = true, int uniqueID = Util_FourCC("Pres"),
                          int nParams = kNParams)
    : IFxTestBinding(IFxInstanceInfo{}, nParams, "2-2", nPresets, "Preset Plug", "", "example.com",
                     0x0002050D, uniqueID, Util_FourCC("Exmp"), 0, false, doesChunks, false)
  {
    GetParam(0)->InitDouble("Gain", 0.0, -12.0, 12.0, 0.1, "dB");
    GetParam(1)->InitBool("Mute", false);
    GetParam(2)->InitInt("Mode", 1, 0, 4);
    GetParam(3)->InitEnum("Shape", 0, 3);
    for (int i = kNParams; i < nParams; ++i) GetParam(i)->InitDouble("Extra", 0.0, 0.0, 1.0, 0.01);
  }

  void OnParamChange(int idx) override
  {
    IFxBase::OnParamChange(idx);
    mChanged.push_back(idx);
  }
  void PresetsChangedByHost() override { ++mPresetsChanged; }

  void SetValues(double gain, double mute, double mode, double shape)
  {
    GetParam(0)->Set(gain);
    GetParam(1)->Set(mute);
    GetParam(2)->Set(mode);
    GetParam(3)->Set(shape);
  }
  std::vector<double> Values() const
  {
    std::vector<double> v;
    for (int i = 0; i < NParams(); ++i) v.push_back(GetParam(i)->Value());
    return v;
  }
  bool AllInRange() const
  {
    for (int i = 0; i < NParams(); ++i)
    {
      const IParam* p = GetParam(i);
      if (!(p->Value() >= p->GetMin() && p->Value() <= p->GetMax())) return false;
    }
    return true;
  }

  std::vector<int> mChanged;
  int mPresetsChanged = 0;
};

inline std::vector<double> ChunkDoubles(const ByteChunk& chunk, int startPos = 0)
{
  std::vector<double> v;
  double d;
  for (int pos = chunk.ReadValue(&d, startPos); pos >= 0; pos = chunk.ReadValue(&d, pos)) v.push_back(d);
  return v;
}
