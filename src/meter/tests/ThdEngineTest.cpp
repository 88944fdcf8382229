// The test tone and the harmonic analysis: accuracy against analytic levels, the frequency
// limits, message timing, cancel, rate and frequency changes mid-run, and the two engine
// loops agreeing to the bit; and the engine driven alone.
#include "ThdTestHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>

namespace {
using ThdEngineTest = ThdTestFolder;

// Volume value for a level in dB (the fader's mapping is -20 * (1 - v)).
double VolumeFor(double dB) { return 1.0 + dB / 20.0; }

void SetUpRun(IThdMeter& meter, const char* freq, double volumeDb, double denoising = 0.0)
{
  TypeFrequency(meter, freq);
  PressControl(meter, kParamVolume, VolumeFor(volumeDb));
  meter.SetParameterFromGUI(kParamDenoising, denoising);
}

// Harmonic k of y = x + c2 x^2 + ... + c5 x^5 for x = a sin(t) as the phasor C_k at e^{ikt}:
// expand each power of sin into exponentials, sin^n = (2i)^-n sum_j C(n,j) (-1)^j e^{i(n-2j)t},
// and add the terms at e^{ikt}. The real harmonic is 2 |C_k| cos(k t + arg C_k).
std::complex<double> PolyPhasor(const double c[6], double a, int k)
{
  std::complex<double> sum = 0.0;
  for (int n = k; n <= 5; n += 2)
  {
    const int j = (n - k) / 2;
    double binom = 1.0;
    for (int m = 1; m <= j; ++m) binom = binom * (n - j + m) / m;
    const std::complex<double> scale = std::pow(std::complex<double>(0.0, 2.0), -n);
    sum += c[n] * std::pow(a, n) * scale * binom * (j % 2 ? -1.0 : 1.0);
  }
  return sum;
}

// Peak amplitude of that harmonic.
double PolyHarmonic(const double c[6], double a, int k) { return 2.0 * std::abs(PolyPhasor(c, a, k)); }

std::function<double(double)> Poly(const double c[6])
{
  return [c](double x) { return x + c[2] * x * x + c[3] * x * x * x + c[4] * x * x * x * x + c[5] * x * x * x * x * x; };
}
}  // namespace

TEST_F(ThdEngineTest, IdleOutputsAreSilentWhateverTheInputs)
{
  IThdMeter meter{Info()};
  ThdTestLoop loop(meter, 48000, 256);
  loop.mOther = 0.75;
  loop.mDevice = [](double) { return -0.5; };
  for (int b = 0; b < 4; ++b)
  {
    std::fill(loop.mOut0.begin(), loop.mOut0.end(), 9.0);
    std::fill(loop.mOut1.begin(), loop.mOut1.end(), 9.0);
    loop.Block();
    for (int i = 0; i < 256; ++i) ASSERT_TRUE(loop.mOut0[i] == 0.0 && loop.mOut1[i] == 0.0) << i;
  }
  EXPECT_EQ(meter.PeekEditorMessage(), 0.0);
  EXPECT_STREQ(meter.GetMessageText(), IThdMeter::kBlankResultsText);
}

// A loop-back at 0 dB reads the tone's amplitude back, every harmonic above it near 0.
TEST_F(ThdEngineTest, LoopBackReadsTheToneAmplitude)
{
  const struct { const char* freq; double rate; int block; double out, in; } cases[] = {
    {"300", 48000, 512, 0, 0},
    {"1000", 44100, 333, 1, 1},
    {"997", 96000, 64, 0, 1},  // left output wired to the right input
    {"20", 48000, 512, 1, 0},
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.freq);
    IThdMeter meter{Info()};
    ThdTestLoop loop(meter, c.rate, c.block);
    SetUpRun(meter, c.freq, 0.0);
    PressControl(meter, kParamOutput, c.out);
    PressControl(meter, kParamInput, c.in);
    loop.mWireRight = c.out != 0;
    meter.from_GUI(kParamStart);
    ASSERT_TRUE(loop.RunToResults(14 * (long long)c.rate));
    EXPECT_NEAR(meter.GetHarmonicLevel(1), 1.0, 1e-9);
    for (int k = 2; k <= 5; ++k) EXPECT_LT(meter.GetHarmonicLevel(k), 1e-11) << k;
    EXPECT_LT(meter.GetTHD(), 1e-9);
    EXPECT_EQ(meter.IsMeasuring(), 0);
    EXPECT_FALSE(meter.IsCancelButtonShown());
  }
}

// Each harmonic of a memoryless polynomial reads its analytic amplitude.
TEST_F(ThdEngineTest, PolynomialDeviceReadsAnalyticHarmonics)
{
  const struct { const char* freq; double volumeDb; double c[6]; } cases[] = {
    {"1000", -10.0, {0, 1, 0.05, 0.02, 0.01, 0.005}},
    {"300", 0.0, {0, 1, -0.1, 0.03, 0.0, -0.02}},
    {"4000", -20.0, {0, 1, 0.2, 0.1, 0.05, 0.02}},
    {"5000", -3.0, {0, 1, 0.02, 0.04, 0.06, 0.08}},  // 4 x 5000 = 20000: measured; 5th above
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.freq);
    IThdMeter meter{Info()};
    ThdTestLoop loop(meter, 48000, 512);
    loop.mDevice = Poly(c.c);
    SetUpRun(meter, c.freq, c.volumeDb);
    meter.from_GUI(kParamStart);
    ASSERT_TRUE(loop.RunToResults(14 * 48000));
    const double a = meter.GetAmplitude();
    const int f = std::atoi(c.freq);
    double sq = 0.0;
    for (int k = 1; k <= 5; ++k)
    {
      const double expected = k * f <= 20000 ? PolyHarmonic(c.c, a, k) : 0.0;
      if (k * f > 20000) { EXPECT_EQ(meter.GetHarmonicLevel(k), 0.0) << k; }
      EXPECT_NEAR(meter.GetHarmonicLevel(k), expected, 1e-7) << "harmonic " << k;
      if (k > 1) sq += expected * expected;
    }
    EXPECT_NEAR(meter.GetTHD(), 100.0 * std::sqrt(sq) / PolyHarmonic(c.c, a, 1), 1e-5);
  }
}

// 20000 Hz is the highest frequency the entry accepts; it plays and measures like any other.
TEST_F(ThdEngineTest, TwentyKilohertzPlaysAndMeasures)
{
  IThdMeter meter{Info()};
  ThdTestLoop loop(meter, 48000, 512);
  SetUpRun(meter, "20000", 0.0);
  meter.from_GUI(kParamStart);
  double peak = 0.0;
  while (loop.mFrames < 14 * 48000 && loop.Block() != kMessageResults)
    for (double v : loop.mOut0) peak = std::max(peak, std::fabs(v));
  EXPECT_GT(peak, 0.9);
  EXPECT_NEAR(meter.GetHarmonicLevel(1), 1.0, 1e-9);
  for (int k = 2; k <= 5; ++k) EXPECT_EQ(meter.GetHarmonicLevel(k), 0.0) << k;
  EXPECT_EQ(meter.GetTHD(), 0.0);
}

// Progress at n = 0, S, ..., K*S and the results at (K + 1) * S, taken frame by frame.
TEST_F(ThdEngineTest, MessagesComeAtSecondBoundaries)
{
  IThdMeter meter{Info()};
  const int S = 200;
  ThdTestLoop loop(meter, S, 1);
  SetUpRun(meter, "20", -10.0);
  meter.from_GUI(kParamStart);
  ASSERT_TRUE(loop.RunToResults(14 * S));
  ASSERT_EQ(loop.mMessages.size(), 14u);
  for (int k = 0; k <= 12; ++k)
  {
    EXPECT_EQ(loop.mMessages[k].mValue, kMessageProgress);
    EXPECT_EQ(loop.mMessages[k].mSampleCount, k * S + 1) << "posted by frame " << k * S;
  }
  EXPECT_EQ(loop.mMessages[13].mValue, kMessageResults);
  EXPECT_EQ(loop.mMessages[13].mSampleCount, 13 * S + 1);

  // Countdown from 12 s to 0 s; the first level is 0, the second from a single frame, then
  // the level over a whole second (the tone comes back one frame late, so about a).
  EXPECT_EQ(loop.mMessages[0].mText, "Time left: 0 min 12 sec\nHarmonic1: 0.00000000");
  EXPECT_EQ(loop.mMessages[1].mText.substr(0, 24), "Time left: 0 min 11 sec\n");
  EXPECT_NE(loop.mMessages[1].mText, "Time left: 0 min 11 sec\nHarmonic1: 0.31622777");
  EXPECT_EQ(loop.mMessages[2].mText, "Time left: 0 min 10 sec\nHarmonic1: 0.31622777");
  EXPECT_EQ(loop.mMessages[12].mText, "Time left: 0 min 0 sec\nHarmonic1: 0.31622777");
  EXPECT_EQ(loop.mMessages[13].mText.substr(0, 4), "THD=");
  EXPECT_EQ(meter.GetProgressLevel(), 0.0) << "the progress display zeroes the level it showed";

  // After completion the remaining frames are silent.
  loop.Block(1);
  EXPECT_EQ(loop.mOut0[0], 0.0);
}

TEST_F(ThdEngineTest, FirstProgressTextByDenoising)
{
  const struct { double denoising; const char* text; int progress; } cases[] = {
    {0.0, "Time left: 0 min 12 sec\nHarmonic1: 0.00000000", 13},
    {0.5, "Time left: 2 min 0 sec\nHarmonic1: 0.00000000", 121},
    {1.0, "Time left: 20 min 0 sec\nHarmonic1: 0.00000000", 1201},
  };
  for (const auto& c : cases)
  {
    IThdMeter meter{Info()};
    ThdTestLoop loop(meter, 100, 10);
    SetUpRun(meter, "20", -10.0, c.denoising);
    meter.from_GUI(kParamStart);
    loop.Block();
    EXPECT_EQ(meter.GetMessageText(), std::string(c.text));
    ASSERT_TRUE(loop.RunToResults(1202 * 100));
    EXPECT_EQ(loop.ProgressCount(), c.progress);
    EXPECT_EQ(meter.GetSampleCount(), c.progress * 100 + 1) << "the counter stops after frame (K+1)*S";
  }
}

TEST_F(ThdEngineTest, CancelDuringSettling)
{
  IThdMeter meter{Info()};
  ThdTestLoop loop(meter, 48000, 512);
  SetUpRun(meter, "1000", -10.0);
  meter.from_GUI(kParamStart);
  EXPECT_TRUE(meter.IsCancelButtonShown());
  loop.Block();
  loop.Block();
  meter.from_GUI(kParamCancel);
  EXPECT_EQ(meter.IsMeasuring(), 0);
  EXPECT_STREQ(meter.GetMessageText(), IThdMeter::kBlankResultsText);
  EXPECT_FALSE(meter.IsCancelButtonShown());
  for (int b = 0; b < 100; ++b) loop.Block();
  for (double v : loop.mOut0) EXPECT_EQ(v, 0.0);
  EXPECT_STREQ(meter.GetMessageText(), IThdMeter::kBlankResultsText);

  // An unread message of the cancelled run does not replace the template either.
  meter.from_GUI(kParamStart);
  double* ins[2] = {loop.mIn0.data(), loop.mIn1.data()};
  double* outs[2] = {loop.mOut0.data(), loop.mOut1.data()};
  meter.HostProcess(ins, outs, 512);
  EXPECT_EQ(meter.PeekEditorMessage(), kMessageProgress);
  meter.from_GUI(kParamCancel);
  EXPECT_EQ(meter.PumpEditorMessage(), 0.0);
  meter.MyIdle(kMessageProgress);  // a late one from the audio thread
  EXPECT_STREQ(meter.GetMessageText(), IThdMeter::kBlankResultsText);
}

// The second length and completion follow a new rate; the steps keep the old one.
TEST_F(ThdEngineTest, SampleRateChangeMidRun)
{
  {
    IThdMeter meter{Info()};
    ThdTestLoop loop(meter, 1000, 100);
    SetUpRun(meter, "20", -10.0);
    meter.from_GUI(kParamStart);
    while (loop.mFrames < 3000) loop.Block();
    meter.HostPrepare(500, 100);
    ASSERT_TRUE(loop.RunToResults(20000));
    EXPECT_EQ(loop.mFrames, 6600) << "completion at frame 13 * 500";
    EXPECT_EQ(loop.ProgressCount(), 3 + 7) << "boundaries 0..2000 at 1000 Hz, then 3000..6000 at 500 Hz";
  }
  {
    // Past the new completion point: the run goes on until cancelled.
    IThdMeter meter{Info()};
    ThdTestLoop loop(meter, 1000, 100);
    SetUpRun(meter, "20", -10.0);
    meter.from_GUI(kParamStart);
    while (loop.mFrames < 8000) loop.Block();
    meter.HostPrepare(500, 100);
    EXPECT_FALSE(loop.RunToResults(30000));
    EXPECT_EQ(meter.IsMeasuring(), 1);
    meter.from_GUI(kParamCancel);
    loop.Block();
    for (double v : loop.mOut0) EXPECT_EQ(v, 0.0);
  }
}

// A new frequency does not retune the running tone; only the enable values at the next
// boundary follow it: at 400 Hz and a 1000 Hz rate harmonics 2 to 5 lie at or above half the
// sample rate and stop summing from there on.
TEST_F(ThdEngineTest, FrequencyChangeMidRun)
{
  const double c[6] = {0, 1, 0.1, 0.05, 0.02, 0.01};
  IThdMeter plain{Info()}, changed{Info()};
  ThdTestLoop a(plain, 1000, 50), b(changed, 1000, 50);
  a.mDevice = b.mDevice = Poly(c);
  SetUpRun(plain, "50", -10.0);
  SetUpRun(changed, "50", -10.0);
  plain.from_GUI(kParamStart);
  changed.from_GUI(kParamStart);
  bool done = false;
  while (!done && a.mFrames < 20000)
  {
    if (a.mFrames == 1500) TypeFrequency(changed, "400");
    done = a.Block() == kMessageResults;
    b.Block();
    ASSERT_EQ(0, std::memcmp(a.mOut0.data(), b.mOut0.data(), sizeof(double) * 50)) << "frame " << a.mFrames;
  }
  ASSERT_TRUE(done);
  EXPECT_EQ(plain.GetHarmonicLevel(1), changed.GetHarmonicLevel(1));
  for (int k = 2; k <= 5; ++k)
    EXPECT_NEAR(changed.GetHarmonicLevel(k), plain.GetHarmonicLevel(k) / 12.0, 1e-9) << "one of 12 seconds, k=" << k;
  EXPECT_EQ(changed.GetFrequency(), 400.0);
}

TEST_F(ThdEngineTest, OutputInputAndVolumeApplyMidRun)
{
  IThdMeter meter{Info()};
  ThdTestLoop loop(meter, 1000, 100);
  SetUpRun(meter, "50", -20.0);
  meter.from_GUI(kParamStart);
  loop.Block();
  double peak0 = 0, peak1 = 0;
  for (int i = 0; i < 100; ++i) peak0 = std::max(peak0, std::fabs(loop.mOut0[i])), peak1 = std::max(peak1, std::fabs(loop.mOut1[i]));
  EXPECT_NEAR(peak0, 0.1, 1e-9);
  EXPECT_EQ(peak1, 0.0);
  PressControl(meter, kParamOutput, 1.0);
  PressControl(meter, kParamVolume, 1.0);
  loop.Block();
  peak0 = peak1 = 0;
  for (int i = 0; i < 100; ++i) peak0 = std::max(peak0, std::fabs(loop.mOut0[i])), peak1 = std::max(peak1, std::fabs(loop.mOut1[i]));
  EXPECT_EQ(peak0, 0.0);
  EXPECT_NEAR(peak1, 1.0, 1e-9);

  // The input too: the tone comes back on the left input only; switched to the right (silent)
  // after 6 of the 12 averaging seconds, the run sums the tone for half of them.
  IThdMeter other{Info()};
  ThdTestLoop wired(other, 1000, 100);
  wired.mWireInput = 0;
  SetUpRun(other, "50", -20.0);
  other.from_GUI(kParamStart);
  bool done = false;
  while (!done && wired.mFrames < 20000)
  {
    if (wired.mFrames == 7000) PressControl(other, kParamInput, 1.0);
    done = wired.Block() == kMessageResults;
  }
  ASSERT_TRUE(done);
  EXPECT_NEAR(other.GetHarmonicLevel(1), 0.1 * 6.0 / 12.0, 1e-9) << "the right input from frame 7000 on";
}

// Below 1 Hz there is no second to count: Start does nothing, and a run whose rate falls
// below 1 Hz waits silently without counting.
TEST_F(ThdEngineTest, SampleRateBelowOneHertz)
{
  for (double rate : {0.0, 0.5, -48000.0, std::nan("")})
  {
    IThdMeter meter{Info()};
    ThdTestLoop loop(meter, rate, 64);
    meter.from_GUI(kParamStart);
    EXPECT_EQ(meter.IsMeasuring(), 0) << rate;
    EXPECT_FALSE(meter.IsCancelButtonShown());
    loop.Block();
    for (double v : loop.mOut0) EXPECT_EQ(v, 0.0);
  }
  IThdMeter meter{Info()};
  ThdTestLoop loop(meter, 1000, 100);
  SetUpRun(meter, "20", 0.0);
  meter.from_GUI(kParamStart);
  loop.Block();
  const int counted = meter.GetSampleCount();
  meter.HostPrepare(0.25, 100);
  for (int b = 0; b < 10; ++b)
  {
    loop.Block();
    for (double v : loop.mOut0) ASSERT_EQ(v, 0.0);
  }
  EXPECT_EQ(meter.GetSampleCount(), counted);
  meter.HostPrepare(1000, 100);
  ASSERT_TRUE(loop.RunToResults(20000));
}

// The two-lane loop and the plain per-harmonic formulas give the same bits: outputs, every
// progress level and the results, across rates, frequencies and block sizes.
TEST_F(ThdEngineTest, VectorAndPlainPathsAreBitIdentical)
{
  const struct { const char* freq; double rate; int block; } cases[] = {
    {"300", 48000, 512}, {"997", 44100, 37}, {"5000", 48000, 1}, {"20000", 96000, 480}, {"4999", 22050, 1000},
  };
  const double c[6] = {0, 1, 0.03, -0.02, 0.01, 0.004};
  for (const auto& cs : cases)
  {
    SCOPED_TRACE(cs.freq);
    IThdMeter vec{Info()}, plain{Info()};
    vec.SetVectorPath(true);
    plain.SetVectorPath(false);
    ThdTestLoop a(vec, cs.rate, cs.block), b(plain, cs.rate, cs.block);
    std::mt19937 ra(7), rb(7);
    std::normal_distribution<double> na(0.0, 1e-3), nb(0.0, 1e-3);
    const auto poly = Poly(c);
    a.mDevice = [&](double x) { return poly(x) + na(ra); };
    b.mDevice = [&](double x) { return poly(x) + nb(rb); };
    SetUpRun(vec, cs.freq, -6.0);
    SetUpRun(plain, cs.freq, -6.0);
    vec.from_GUI(kParamStart);
    plain.from_GUI(kParamStart);
    bool done = false;
    while (!done && a.mFrames < 14 * (long long)cs.rate)
    {
      done = a.Block() == kMessageResults;
      b.Block();
      ASSERT_EQ(0, std::memcmp(a.mOut0.data(), b.mOut0.data(), sizeof(double) * (size_t)cs.block));
    }
    ASSERT_TRUE(done);
    ASSERT_EQ(a.mMessages.size(), b.mMessages.size());
    for (size_t m = 0; m < a.mMessages.size(); ++m) EXPECT_EQ(a.mMessages[m].mText, b.mMessages[m].mText);
    for (int k = 1; k <= 5; ++k)
    {
      const double x = vec.GetHarmonicLevel(k), y = plain.GetHarmonicLevel(k);
      EXPECT_EQ(0, std::memcmp(&x, &y, sizeof x)) << k << ": " << x << " vs " << y;
    }
    const double tx = vec.GetTHD(), ty = plain.GetTHD();
    EXPECT_EQ(0, std::memcmp(&tx, &ty, sizeof tx));
    for (int k = 1; k <= 5; ++k)
    {
      const double x = vec.GetHarmonicPhase(k), y = plain.GetHarmonicPhase(k);
      EXPECT_EQ(0, std::memcmp(&x, &y, sizeof x)) << "phase " << k << ": " << x << " vs " << y;
    }
  }
}

// A fundamental of 0 leaves THD 0/0: the results say there was no signal instead of printing
// whatever the C library makes of a NaN ("-nan" here, "-nan(ind)" on Windows).
TEST_F(ThdEngineTest, SilentReturnSaysThereIsNoSignal)
{
  IThdMeter meter{Info()};
  ThdTestLoop loop(meter, 100, 100);
  loop.mDevice = [](double) { return 0.0; };
  SetUpRun(meter, "20", -10.0);
  meter.from_GUI(kParamStart);
  ASSERT_TRUE(loop.RunToResults(2000));
  EXPECT_EQ(meter.GetHarmonicLevel(1), 0.0);
  EXPECT_FALSE(std::isfinite(meter.GetTHD()));
  EXPECT_STREQ(meter.GetMessageText(),
               "THD=no signal at input\nHarmonic1=0.00000000\nHarmonic2=0.00000000\nHarmonic3=0.00000000\n"
               "Harmonic4=0.00000000\nHarmonic5=0.00000000");
}

// A harmonic at or above half the sample rate is not measured, whatever the chain puts there
// (it would only correlate with aliased content); one below it and at most 20 kHz is.
TEST_F(ThdEngineTest, HarmonicsAtOrAboveHalfTheRateAreNotMeasured)
{
  const struct { double rate; const char* freq; bool measured[5]; } cases[] = {
    {32000, "10000", {true, false, false, false, false}},
    {48000, "6000", {true, true, true, false, false}},   // 24000 Hz is exactly half the rate
    {44100, "5000", {true, true, true, true, false}},    // 25000 Hz is above 20 kHz
    {8000, "4000", {false, false, false, false, false}},
    {8000, "1000", {true, true, true, false, false}},
  };
  const double c[6] = {0, 1, 0.1, 0.05, 0.02, 0.01};
  for (const auto& k : cases)
  {
    IThdMeter meter{Info()};
    ThdTestLoop loop(meter, k.rate, 512);
    loop.mDevice = Poly(c);
    SetUpRun(meter, k.freq, -6.0);
    meter.from_GUI(kParamStart);
    ASSERT_TRUE(loop.RunToResults(14 * (long long)k.rate)) << k.rate << " " << k.freq;
    for (int h = 1; h <= 5; ++h)
    {
      EXPECT_EQ(IThdMeter::IsHarmonicMeasured(h, meter.GetFrequency(), k.rate), k.measured[h - 1]) << k.freq << " H" << h;
      if (k.measured[h - 1])
        EXPECT_GT(meter.GetHarmonicLevel(h), 1e-4) << k.rate << " " << k.freq << " H" << h;
      else
        EXPECT_EQ(meter.GetHarmonicLevel(h), 0.0) << k.rate << " " << k.freq << " H" << h;
    }
  }
}

namespace {
// Distance of two angles in degrees, whichever way round the circle.
double AngleApart(double a, double b) { return std::fabs(std::remainder(a - b, 360.0)); }
}  // namespace

// The phases are referred to the fundamental's positive zero crossing, so neither the loop's
// delay nor the block size moves them. y = x + 0.05 x^2 + 0.02 x^3 - 0.01 x^4 - 0.005 x^5 of
// x = a sin t at -6 dB (a^2 = 0.25): the even terms give -(c2 a^2 + c4 a^4)/2 cos 2t (c2 wins:
// -cos 2t, -90 deg) and c4 a^4/8 cos 4t (c4 < 0: -cos 4t, -90 deg); the odd ones
// -(c3 a^3/4 + 5 c5 a^5/16) sin 3t (c3 wins: -sin 3t, 180 deg) and c5 a^5/16 sin 5t (180 deg).
// Inverting the chain turns the fundamental by 180 deg: seen from its zero crossing the even
// harmonics turn over and the odd ones stay.
TEST_F(ThdEngineTest, HarmonicPhaseIgnoresLoopDelayAndBlockSize)
{
  const double c[6] = {0, 1, 0.05, 0.02, -0.01, -0.005};
  const double upright[6] = {0, 0, -90, 180, -90, 180};
  const double inverted[6] = {0, 0, 90, 180, 90, 180};
  const struct { const char* freq; double rate; int block; int delay; double sign; } cases[] = {
    {"1000", 48000, 512, 0, 1},   {"1000", 48000, 37, 1, 1},     {"1000", 48000, 1, 113, 1},
    {"1000", 48000, 4096, 4801, 1}, {"997", 44100, 333, 0, 1},   {"997", 44100, 64, 12345, 1},
    {"1000", 48000, 512, 7, -1},  {"997", 44100, 100, 0, -1},
  };
  for (const auto& cs : cases)
  {
    SCOPED_TRACE(testing::Message() << cs.freq << " Hz, block " << cs.block << ", delay " << cs.delay << ", sign "
                                    << cs.sign);
    IThdMeter meter{Info()};
    ThdTestLoop loop(meter, cs.rate, cs.block);
    std::vector<double> line((size_t)cs.delay + 1, 0.0);
    size_t pos = 0;
    const auto poly = Poly(c);
    loop.mDevice = [&](double x) {
      line[pos] = cs.sign * poly(x);
      pos = (pos + 1) % line.size();
      return line[pos];
    };
    SetUpRun(meter, cs.freq, -6.0);
    meter.from_GUI(kParamStart);
    ASSERT_TRUE(loop.RunToResults(15 * (long long)cs.rate));
    const double* expected = cs.sign > 0 ? upright : inverted;
    for (int k = 1; k <= 5; ++k)
    {
      const double phase = meter.GetHarmonicPhase(k);
      EXPECT_TRUE(phase > -180.0 && phase <= 180.0) << phase;
      EXPECT_LT(AngleApart(phase, expected[k]), 1e-6) << "H" << k << " at " << phase;
    }
  }
}

// A chain with memory turns each harmonic by its own angle, off the quarter turns that
// memoryless devices give (0, 180, +-90 deg, which a correlation with the wrong sign of sine
// maps onto themselves: p becomes 180 (1 - k) - p). The device: the polynomial above, then a
// one-pole low-pass y[n] = y[n-1] + g (u[n] - y[n-1]), whose answer at e^{i k w} turns each
// harmonic and the fundamental by different angles. Expected: harmonic k of the polynomial as
// the phasor C_k (the real wave 2 |C_k| cos(k t + arg C_k), a sine at arg C_k + 90 deg), times
// the filter, referred to the fundamental's zero crossing. Both engine loops.
TEST_F(ThdEngineTest, HarmonicPhasesOfAChainWithMemory)
{
  const double c[6] = {0, 1, 0.05, 0.02, -0.01, -0.005};
  const double kDeg = 180.0 / 3.141592653589793;
  const struct { const char* freq; double rate; int block; double g; } cases[] = {
    {"1000", 48000, 512, 0.15}, {"2000", 44100, 37, 0.25}, {"3000", 96000, 1000, 0.2},
  };
  for (const auto& cs : cases)
    for (bool vector : {true, false})
    {
      SCOPED_TRACE(testing::Message() << cs.freq << " Hz at " << cs.rate << ", g " << cs.g << (vector ? ", vector" : ", plain"));
      const double a = std::pow(10.0, -6.0 / 20.0), w = 2.0 * 3.141592653589793 * std::atof(cs.freq) / cs.rate;
      auto sinePhase = [&](int k) {
        const std::complex<double> lowPass = cs.g / (1.0 - (1.0 - cs.g) * std::exp(std::complex<double>(0.0, -k * w)));
        return std::arg(PolyPhasor(c, a, k) * lowPass) * kDeg + 90.0;
      };
      IThdMeter meter{Info()};
      meter.SetVectorPath(vector);
      ThdTestLoop loop(meter, cs.rate, cs.block);
      const auto poly = Poly(c);
      double y = 0.0;
      loop.mDevice = [&](double x) { return y += cs.g * (poly(x) - y); };
      SetUpRun(meter, cs.freq, -6.0);
      meter.from_GUI(kParamStart);
      ASSERT_TRUE(loop.RunToResults(15 * (long long)cs.rate));
      for (int k = 2; k <= 5; ++k)
      {
        const double expected = std::remainder(sinePhase(k) - k * sinePhase(1), 360.0);
        // The case keeps its power: the wrong sign would read clearly elsewhere.
        ASSERT_GT(AngleApart(expected, 180.0 * (1 - k) - expected), 10.0) << "H" << k << " at " << expected;
        const double phase = meter.GetHarmonicPhase(k);
        EXPECT_LT(AngleApart(phase, expected), 1e-6) << "H" << k << " at " << phase << ", expected " << expected;
      }
    }
}

// ---- the engine alone: no plug-in, no binding, no editor ----------------------------------------

namespace {
// Records each message as the engine offers it; takes it (the slot stays empty) or leaves it
// to the slot.
struct MessageLog
{
  static bool Record(void* context, double value)
  {
    MessageLog* log = static_cast<MessageLog*>(context);
    log->mValues.push_back(value);
    log->mFrames.push_back(log->mEngine->GetSampleCount());
    log->mSlotWasEmpty.push_back(log->mEngine->UnreadMessage() == 0.0);
    return log->mTake;
  }
  const ThdEngine* mEngine = nullptr;
  bool mTake = false;
  std::vector<double> mValues;
  std::vector<int> mFrames;
  std::vector<bool> mSlotWasEmpty;
};
}  // namespace

// The engine measures on its own: a 20 Hz tone at a 100 Hz rate looped straight back, a
// progress message at every second boundary and the results after K + 1 seconds, the levels
// divided by the divisors it was started with. Start refuses a rate without whole seconds.
TEST(ThdEngineAlone, MeasuresAndReportsWithoutAPlugIn)
{
  MessageLog log;
  ThdEngine engine(&MessageLog::Record, &log);
  log.mEngine = &engine;
  const double divisors[ThdEngine::kHarmonics] = {2.0, 1.0, 1.0, 1.0, 1.0};

  engine.SetSampleRate(0.5);
  EXPECT_FALSE(engine.Start(20.0, 12.0, divisors));
  EXPECT_FALSE(engine.IsMeasuring());

  engine.SetSampleRate(100.0);
  engine.SetFrequency(20.0);
  engine.SetAmplitude(0.5);
  ASSERT_TRUE(engine.Start(20.0, 12.0, divisors));
  double in0[10] = {}, in1[10] = {}, out0[10] = {}, out1[10] = {};
  double* ins[2] = {in0, in1};
  double* outs[2] = {out0, out1};
  for (int block = 0; block < 140 && engine.IsMeasuring(); ++block)
  {
    engine.Process(ins, outs, 10);
    for (int i = 0; i < 10; ++i) in0[i] = out0[i];  // one block of delay
  }
  EXPECT_FALSE(engine.IsMeasuring());
  ASSERT_EQ(log.mValues.size(), 14u);
  for (size_t i = 0; i < log.mValues.size(); ++i)
  {
    EXPECT_EQ(log.mValues[i], i < 13 ? kMessageProgress : kMessageResults) << i;
    EXPECT_EQ(log.mFrames[i], (int)i * 100 + 1) << i;
    EXPECT_EQ(log.mSlotWasEmpty[i], i == 0) << i << ": the slot holds the message before";
  }
  EXPECT_NEAR(engine.GetHarmonicLevel(1), 0.25, 1e-12);
  for (int k = 2; k <= 5; ++k) EXPECT_LT(engine.GetHarmonicLevel(k), 1e-12) << k;
  EXPECT_EQ(engine.TakeMessage(), kMessageResults);
  EXPECT_EQ(engine.TakeMessage(), 0.0);

  // A Cancel drops the unread message of the run it ends.
  ASSERT_TRUE(engine.Start(20.0, 12.0, divisors));
  engine.Process(ins, outs, 10);
  EXPECT_EQ(engine.UnreadMessage(), kMessageProgress);
  engine.Cancel();
  EXPECT_FALSE(engine.IsMeasuring());
  EXPECT_EQ(engine.UnreadMessage(), 0.0);

  // A message the callback takes is not kept in the slot as well.
  log.mTake = true;
  ASSERT_TRUE(engine.Start(20.0, 12.0, divisors));
  engine.Process(ins, outs, 10);
  EXPECT_EQ(log.mValues.back(), kMessageProgress);
  EXPECT_EQ(engine.UnreadMessage(), 0.0);
}
