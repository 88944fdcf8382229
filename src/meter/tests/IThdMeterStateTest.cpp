// The meter's saved state: 88 bytes of frequency and parameter values, restored with the
// engine mirrors, the volume mapping and the editor texts brought in line.
#include "IThdMeter.h"
#include "ThdTestFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>


namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// Gives the tests the members a host cannot reach directly.
class StateMeter : public IThdMeter
{
public:
  explicit StateMeter(const IFxInstanceInfo& info) : IThdMeter(info) {}
  void SetFrequency(double f) { mEngine.SetFrequency(f); }
  void SetMirrors(double out, double in, double denoising, double volume)
  {
    mEngine.SetOutputChannel(out);
    mEngine.SetInputChannel(in);
    mDenoising = denoising;
    mVolume = volume;
  }
  double Volume() const { return mVolume; }
  std::vector<double> Mirrors() const
  {
    return {GetOutputChannel(), GetInputChannel(), GetDenoising(), Volume()};
  }
  std::vector<double> Params() const
  {
    std::vector<double> v;
    for (int i = 0; i < NParams(); ++i) v.push_back(GetParam(i)->Value());
    return v;
  }
};

using MeterState = ThdTestFolder;

void PutDoubles(ByteChunk* c, const std::vector<double>& values)
{
  for (double v : values) c->AppendValue(&v);
}

std::vector<double> ReadDoubles(const ByteChunk& c)
{
  std::vector<double> v;
  double d;
  for (int pos = c.ReadValue(&d, 0); pos >= 0; pos = c.ReadValue(&d, pos)) v.push_back(d);
  return v;
}

const std::vector<double> kSaved1000 = {1000, 0, 0, 0, 0.5, 0, 0, 0, 0, 0, 0};
}  // namespace

TEST_F(MeterState, FreshInstanceAt1000HzSavesEightyEightBytes)
{
  StateMeter meter{Info()};
  meter.SetFrequency(1000.0);
  ByteChunk chunk;
  ASSERT_TRUE(meter.SerializeState(&chunk));
  ASSERT_EQ(chunk.Size(), 88);
  EXPECT_EQ(ReadDoubles(chunk), kSaved1000);
  // Little-endian doubles, no header: 1000.0 is 0x408F400000000000.
  const unsigned char first[8] = {0, 0, 0, 0, 0, 0x40, 0x8f, 0x40};
  EXPECT_EQ(std::memcmp(chunk.GetBytes(), first, 8), 0);
  EXPECT_EQ(meter.GetPreset(0)->mChunk.Size(), 88) << "the default preset holds the same layout";
}

TEST_F(MeterState, RestoreBringsMirrorsLevelAndTextsInLine)
{
  ByteChunk chunk;
  PutDoubles(&chunk, kSaved1000);
  StateMeter meter{Info()};
  meter.SetFrequency(440.0);
  meter.SetMirrors(1, 1, 1, 0.9);
  for (int i = 0; i < 4; ++i) meter.GetParam(i)->Set(1.0);
  EXPECT_EQ(meter.UnserializeState(&chunk, 0), 88);
  EXPECT_EQ(meter.GetFrequency(), 1000.0);
  EXPECT_EQ(meter.Mirrors(), (std::vector<double>{0, 0, 0, 0.5}));
  EXPECT_DOUBLE_EQ(meter.GetAmplitude(), std::pow(10.0, -0.5));
  EXPECT_STREQ(meter.GetVolumeLabel(), "-10.0 dB");
  EXPECT_STREQ(meter.GetFrequencyText(), "1000");
  EXPECT_EQ(meter.Params(), std::vector<double>(kSaved1000.begin() + 1, kSaved1000.end()));
}

TEST_F(MeterState, ShortChunksTakeWhatIsThere)
{
  // A chunk cut after `bytes`: the frequency needs 8, each mirror the 8 bytes after the one
  // before. Mirrors not reached keep (1, 1, 1, 0.9); the level follows whichever volume
  // results. Start position -1 reads nothing at all. Denoising is copied again from its
  // parameter afterwards, so where the data breaks at its value (24 bytes) it becomes the
  // parameter's 0.0.
  ByteChunk full;
  PutDoubles(&full, {1000, 0, 0, 0.5, 0.25, 0, 0, 0, 0, 0, 0});
  const struct { int bytes; int start; int result; double freq; std::vector<double> mirrors; const char* label; } cases[] = {
    {88, 0, 88, 1000, {0, 0, 0.5, 0.25}, "-15.0 dB"},
    {40, 0, -1, 1000, {0, 0, 0.5, 0.25}, "-15.0 dB"},
    {32, 0, -1, 1000, {0, 0, 0.5, 0.9}, "-2.0 dB"},
    {24, 0, -1, 1000, {0, 0, 0, 0.9}, "-2.0 dB"},
    {16, 0, -1, 1000, {0, 1, 1, 0.9}, "-2.0 dB"},
    {8, 0, -1, 1000, {1, 1, 1, 0.9}, "-2.0 dB"},
    {4, 0, -1, 440, {1, 1, 1, 0.9}, "-2.0 dB"},
    {0, 0, -1, 440, {1, 1, 1, 0.9}, "-2.0 dB"},
    {88, -1, -1, 440, {1, 1, 1, 0.9}, "-2.0 dB"},
  };
  for (const auto& c : cases)
  {
    ByteChunk chunk;
    chunk.PutBytes(full.GetBytes(), c.bytes);
    StateMeter meter{Info()};
    meter.SetFrequency(440.0);
    meter.SetMirrors(1, 1, 1, 0.9);
    meter.GetParam(kParamDenoising)->Set(1.0);
    EXPECT_EQ(meter.UnserializeState(&chunk, c.start), c.result) << c.bytes;
    EXPECT_EQ(meter.GetFrequency(), c.freq) << c.bytes;
    EXPECT_EQ(meter.Mirrors(), c.mirrors) << c.bytes;
    EXPECT_STREQ(meter.GetVolumeLabel(), c.label) << c.bytes;
    EXPECT_DOUBLE_EQ(meter.GetAmplitude(), std::pow(10.0, -20.0 * (1.0 - c.mirrors[3]) / 20.0)) << c.bytes;
    EXPECT_STREQ(meter.GetFrequencyText(), c.freq == 1000 ? "1000" : "440") << "refreshed either way";
  }
}

TEST_F(MeterState, EightByteChunkLeavesTheParameterBlockToUnserializeParams)
{
  ByteChunk chunk;
  PutDoubles(&chunk, {2500});
  StateMeter meter{Info()};
  for (int i = 0; i < 4; ++i) meter.GetParam(i)->Set(1.0);
  EXPECT_EQ(meter.UnserializeState(&chunk, 0), -1);
  EXPECT_EQ(meter.GetFrequency(), 2500.0);
  // The parameter at which the data ran out takes 0.0; the ones after it keep their values.
  EXPECT_EQ(meter.Params(), (std::vector<double>{0, 1, 1, 1, 0, 0, 0, 0, 0, 0}));
}

TEST_F(MeterState, StoredValuesAreKeptInRange)
{
  // A chunk may carry anything: the frequency is pinned to 20..20000 Hz and the mirrors to
  // their parameters' 0..1; values that are no number keep what the meter has.
  const struct { double freq, out, vol; double expectFreq, expectOut, expectVol; const char* label; } cases[] = {
    {5, 7, 50, 20, 1, 1, "0.0 dB"},
    {1e9, -3, -2, 20000, 0, 0, "-20.0 dB"},
    {kNaN, kNaN, kNaN, 440, 1, 0.9, "-2.0 dB"},
    {kInf, kInf, -kInf, 440, 1, 0.9, "-2.0 dB"},
    {-kInf, 0.5, 0.75, 440, 0.5, 0.75, "-5.0 dB"},
    {20000.5, 0, 1, 20000, 0, 1, "0.0 dB"},
  };
  for (const auto& c : cases)
  {
    ByteChunk chunk;
    PutDoubles(&chunk, {c.freq, c.out, 0, 0, c.vol, 0, 0, 0, 0, 0, 0});
    StateMeter meter{Info()};
    meter.SetFrequency(440.0);
    meter.SetMirrors(1, 1, 1, 0.9);
    EXPECT_EQ(meter.UnserializeState(&chunk, 0), 88);
    EXPECT_EQ(meter.GetFrequency(), c.expectFreq) << c.freq;
    EXPECT_EQ(meter.GetOutputChannel(), c.expectOut) << c.out;
    EXPECT_EQ(meter.Volume(), c.expectVol) << c.vol;
    EXPECT_STREQ(meter.GetVolumeLabel(), c.label) << c.vol;
    EXPECT_LE(meter.GetAmplitude(), 1.0) << "never a tone above 0 dB";
    for (int i = 0; i < meter.NParams(); ++i)
    {
      const IParam* p = meter.GetParam(i);
      EXPECT_TRUE(p->Value() >= p->GetMin() && p->Value() <= p->GetMax()) << i;
    }
  }
}

TEST_F(MeterState, PresetsAndBanksUseTheSameLayout)
{
  StateMeter source{Info()};
  source.SetFrequency(1234.0);
  source.GetParam(kParamVolume)->Set(0.25);
  source.GetParam(kParamOutput)->Set(1.0);
  source.ModifyCurrentPreset("Loop A");
  ByteChunk bank;
  ASSERT_TRUE(source.SerializePresets(&bank));
  EXPECT_EQ(bank.Size(), 4 + 6 + 1 + 88) << "the state reader consumes exactly what was written";

  StateMeter dest{Info()};
  EXPECT_EQ(dest.UnserializePresets(&bank, 0), bank.Size());
  EXPECT_STREQ(dest.GetPresetName(0), "Loop A");
  EXPECT_EQ(dest.GetFrequency(), 1234.0);
  EXPECT_EQ(dest.GetParam(kParamVolume)->Value(), 0.25);
  EXPECT_EQ(dest.Volume(), 0.25);
  EXPECT_STREQ(dest.GetVolumeLabel(), "-15.0 dB");

  // The host's chunk: framework header, then the state, read through the header path.
  ByteChunk hostChunk;
  ByteChunk::InitChunkWithFxVer(&hostChunk);
  ASSERT_TRUE(source.SerializeState(&hostChunk));
  StateMeter third{Info()};
  int pos = 0;
  EXPECT_EQ(ByteChunk::GetFxVerFromChunk(&hostChunk, &pos), 0x00010000);
  EXPECT_EQ(third.UnserializeState(&hostChunk, pos), 96);
  EXPECT_EQ(third.GetFrequency(), 1234.0);
}

TEST_F(MeterState, ProgramFileRoundTrip)
{
  StateMeter source{Info()};
  source.SetFrequency(997.0);
  source.GetParam(kParamInput)->Set(1.0);
  ByteChunk file;
  ASSERT_TRUE(source.MakeProgramFXPData(&file));
  EXPECT_EQ(file.Size(), 60 + 8 + 88);
  StateMeter dest{Info()};
  ASSERT_TRUE(dest.LoadProgramFromFXPData(&file));
  EXPECT_EQ(dest.GetFrequency(), 997.0);
  EXPECT_EQ(dest.GetParam(kParamInput)->Value(), 1.0);
  EXPECT_EQ(dest.GetInputChannel(), 1.0);
  EXPECT_STREQ(dest.GetFrequencyText(), "997");
  dest.PresetsChangedByHost();  // no editor attached: nothing to mark
}
