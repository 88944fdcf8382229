// The measurement tool's host loop and device models, through the real plug-in object.
#include "ThdLoopHost.h"
#include "ThdTestFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>


namespace {
using ThdLoopHostTest = ThdTestFolder;

struct RunResult
{
  bool done;
  long long frames;
  double h[6];
  double thd;
};

RunResult Measure(const IFxInstanceInfo& info, const ThdDeviceSettings& dev, const ThdLoopSettings& host, const char* freq, double volumeDb, int output = 0,
            int input = 0)
{
  IThdMeter meter{info};
  ThdDevice device(dev);
  ThdLoopHost loop(meter, &device, host);
  meter.SetParameterFromGUI(kParamOutput, output);
  meter.from_GUI(kParamOutput);
  meter.SetParameterFromGUI(kParamInput, input);
  meter.from_GUI(kParamInput);
  meter.SetParameterFromGUI(kParamVolume, 1.0 + volumeDb / 20.0);
  meter.from_GUI(kParamVolume);
  meter.SetFrequencyEntry(freq);
  meter.from_GUI(kTagFrequencyEntry);
  meter.from_GUI(kParamStart);
  RunResult r{};
  while (!r.done && loop.Frames() < 15 * (long long)host.mSampleRate) r.done = loop.ProcessBlock() == kMessageResults;
  r.frames = loop.Frames();
  for (int k = 1; k <= 5; ++k) r.h[k] = meter.GetHarmonicLevel(k);
  r.thd = meter.GetTHD();
  return r;
}

// Peak amplitude of harmonic k of y(a sin t), by a fine DFT over one period.
double HarmonicOf(double (*y)(double, double), double p, double a, int k)
{
  const int N = 1 << 14;
  double c = 0, s = 0;
  for (int i = 0; i < N; ++i)
  {
    const double t = 6.283185307179586 * i / N;
    const double v = y(a * std::sin(t), p);
    c += v * std::cos(k * t);
    s += v * std::sin(k * t);
  }
  return 2.0 * std::hypot(c, s) / N;
}
double SoftClip(double x, double drive) { return std::tanh(drive * x) / drive; }
}  // namespace

TEST_F(ThdLoopHostTest, LoopBackWithFloatAndDoubleBuffers)
{
  for (bool dbl : {false, true})
  {
    ThdLoopSettings host;
    host.mDoubleBuffers = dbl;
    host.mLatency = 1000;
    const RunResult r = Measure(Info(), ThdDeviceSettings{}, host, "1000", 0.0, 1, 0);  // right out, left in
    ASSERT_TRUE(r.done);
    EXPECT_NEAR(r.h[1], 1.0, dbl ? 1e-9 : 1e-7) << (dbl ? "double" : "float");
    for (int k = 2; k <= 5; ++k) EXPECT_LT(r.h[k], dbl ? 1e-11 : 1e-8) << k;
  }
}

TEST_F(ThdLoopHostTest, SoftClipperAndGain)
{
  ThdDeviceSettings dev;
  dev.mModel = EThdDeviceModel::kSoftClip;
  dev.mDrive = 2.0;
  dev.mGainDb = -6.0;
  ThdLoopSettings host;
  host.mDoubleBuffers = true;
  const RunResult r = Measure(Info(), dev, host, "1000", -10.0);
  ASSERT_TRUE(r.done);
  const double a = std::pow(10.0, -0.5), g = std::pow(10.0, -6.0 / 20);
  for (int k = 1; k <= 5; ++k) EXPECT_NEAR(r.h[k], g * HarmonicOf(SoftClip, 2.0, a, k), 1e-9) << k;
  EXPECT_LT(r.h[2], 1e-10) << "an odd curve makes no even harmonics";
  EXPECT_GT(r.thd, 1.0);
}

TEST_F(ThdLoopHostTest, NoiseIsSeededAndAveragesOut)
{
  ThdDeviceSettings dev;
  dev.mNoise = true;
  dev.mNoiseDbfs = -60.0;
  dev.mSeed = 42;
  ThdLoopSettings host;
  host.mBlockSize = 256;
  const RunResult a = Measure(Info(), dev, host, "440", -10.0), b = Measure(Info(), dev, host, "440", -10.0);
  ASSERT_TRUE(a.done);
  for (int k = 1; k <= 5; ++k) EXPECT_EQ(a.h[k], b.h[k]) << "same seed, same run";
  // Noise of RMS 1e-3 / sqrt(2) (-60 dBFS: a full-scale sine is 0 dBFS) over 12 s at 48 kHz:
  // about 2e-3 * sqrt(1 / N) per harmonic.
  EXPECT_NEAR(a.h[1], std::pow(10.0, -0.5), 5e-5);
  for (int k = 2; k <= 5; ++k) EXPECT_LT(a.h[k], 5e-5) << k;
  dev.mSeed = 43;
  const RunResult c = Measure(Info(), dev, host, "440", -10.0);
  EXPECT_NE(a.h[2], c.h[2]);
}

TEST_F(ThdLoopHostTest, RecordsBothOutputs)
{
  IThdMeter meter{Info()};
  ThdLoopSettings host;
  host.mSampleRate = 1000;
  host.mBlockSize = 100;
  ThdLoopHost loop(meter, nullptr, host);
  std::vector<float> record;
  loop.SetRecord(&record);
  meter.SetFrequencyEntry("250");
  meter.from_GUI(kTagFrequencyEntry);
  meter.from_GUI(kParamStart);
  loop.ProcessBlock();
  ASSERT_EQ(record.size(), 200u);
  // 250 Hz at 1000 Hz: 0, a, 0, -a, ... on the left, silence on the right.
  const float a = (float)std::pow(10.0, -0.5);
  EXPECT_EQ(record[0], 0.0f);
  EXPECT_NEAR(record[2], a, 1e-7);
  EXPECT_NEAR(record[6], -a, 1e-7);
  for (size_t i = 1; i < record.size(); i += 2) ASSERT_EQ(record[i], 0.0f);
}
