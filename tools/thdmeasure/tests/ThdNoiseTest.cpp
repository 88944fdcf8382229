// THD+N: the band is a brick wall from 20 Hz to 20 kHz and the fundamental is measured as it
// is, so that the figure reads the same at every frequency of the band and nothing past its
// edge counts. Checked against a direct computation (the fundamental fitted over the whole
// window and removed, the rest transformed in one piece and its bins in the band summed) and
// through whole runs of the tool.
#include "ThdNoiseAnalyser.h"
#include "ThdRun.h"
#include "ThdTestFolder.h"

#include <fftw3.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr int kRate = 48000;

double Db(double v) { return 20.0 * std::log10(v); }

// THD+N of x computed directly: a least-squares fit of offset, cosine and sine at hz over the
// whole of x, removed; the rest transformed in one piece (bins 1 / seconds Hz apart) and its
// energy from 20 Hz to 20 kHz, both edges included, over the fitted fundamental's.
double DirectThdPlusNoise(const std::vector<double>& x, double hz)
{
  const size_t n = x.size();
  // Normal equations of the three-term fit, solved by Cramer's rule.
  double a[3][3] = {}, b[3] = {};
  for (size_t i = 0; i < n; ++i)
  {
    const double w = 2.0 * kPi * hz * (double)i / kRate;
    const double f[3] = {1.0, std::cos(w), std::sin(w)};
    for (int r = 0; r < 3; ++r)
    {
      b[r] += f[r] * x[i];
      for (int k = 0; k < 3; ++k) a[r][k] += f[r] * f[k];
    }
  }
  auto det = [](double m[3][3]) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  };
  const double d = det(a);
  double beta[3];
  for (int c = 0; c < 3; ++c)
  {
    double m[3][3];
    for (int r = 0; r < 3; ++r)
      for (int k = 0; k < 3; ++k) m[r][k] = k == c ? b[r] : a[r][k];
    beta[c] = det(m) / d;
  }
  std::vector<double> rest(n);
  for (size_t i = 0; i < n; ++i)
  {
    const double w = 2.0 * kPi * hz * (double)i / kRate;
    rest[i] = x[i] - beta[0] - beta[1] * std::cos(w) - beta[2] * std::sin(w);
  }
  std::vector<fftw_complex> bins(n / 2 + 1);
  fftw_plan plan = fftw_plan_dft_r2c_1d((int)n, rest.data(), bins.data(), FFTW_ESTIMATE);
  fftw_execute(plan);
  fftw_destroy_plan(plan);
  const double perBin = (double)kRate / (double)n;
  double band = 0.0;
  for (size_t k = 1; k <= n / 2; ++k)
  {
    const double f = (double)k * perBin;
    if (f < 20.0 - 1e-9 || f > 20000.0 + 1e-9) continue;
    band += (2 * k == n ? 1.0 : 2.0) * (bins[k][0] * bins[k][0] + bins[k][1] * bins[k][1]);
  }
  const double residualRms = std::sqrt(band / (double)n / (double)n);
  const double fundamentalRms = std::hypot(beta[1], beta[2]) / std::sqrt(2.0);
  return residualRms / fundamentalRms;
}

// A tone of amplitude a at hz from phase 0, a second harmonic of h2 where it lies below half
// the rate, and white noise of RMS sigma; 13 seconds, as a 12-second run sees them.
std::vector<double> Signal(double hz, double a, double h2, double sigma, unsigned seed)
{
  std::mt19937 rng(seed);
  std::normal_distribution<double> gauss(0.0, sigma);
  std::vector<double> x(13 * (size_t)kRate);
  for (size_t i = 0; i < x.size(); ++i)
  {
    const double w = 2.0 * kPi * hz * (double)i / kRate;
    x[i] = a * std::sin(w) + (2.0 * hz < 0.5 * kRate ? h2 * std::sin(2.0 * w + 0.4) : 0.0) + gauss(rng);
  }
  return x;
}
}  // namespace

// The analyser over the run's averaging window against the direct computation over the same
// window, at the band's ends and in its middle, within 0.05 dB.
TEST(ThdNoiseTest, MatchesADirectComputation)
{
  for (const double hz : {20.0, 1000.0, 19900.0, 20000.0})
  {
    const std::vector<double> x = Signal(hz, 0.3, 3e-4, 1e-4, 5);
    ThdNoiseAnalyser analyser(kRate, hz, kRate, 13LL * kRate);
    analyser.Add(x.data(), 7777);
    analyser.Add(x.data() + 7777, (int)x.size() - 7777);
    const ThdNoiseResult got = analyser.Finish();
    ASSERT_TRUE(got.valid) << hz;
    const std::vector<double> window(x.begin() + kRate, x.end());
    EXPECT_NEAR(Db(got.Ratio()), Db(DirectThdPlusNoise(window, hz)), 0.05) << hz << " Hz";
    EXPECT_NEAR(got.fundamentalRms, 0.3 / std::sqrt(2.0), 1e-5) << hz << " Hz: the fundamental is measured unfiltered";
  }
}

// A clean loop-back with noise reads the same THD+N at every frequency of the band, its ends
// included: white noise of RMS sigma has sigma^2 (19981 / 24000) in 20 Hz - 20 kHz at 48 kHz.
TEST_F(ThdTestFolder, ThdPlusNoiseIsFlatAcrossTheBand)
{
  const double amplitude = std::pow(10.0, -10.0 / 20.0), sigma = std::pow(10.0, -80.0 / 20.0) / std::sqrt(2.0);
  const double expect = Db(sigma * std::sqrt(19981.0 / 24000.0) / (amplitude / std::sqrt(2.0)));
  for (const char* freq : {"20", "25", "1000", "19500", "19999"})
  {
    ThdOptions o;
    o.mFreqText = freq;
    o.mNoCalibration = true;
    o.mDocumentsFolder = mFolder;
    o.mDevice.mNoise = true;
    o.mDevice.mNoiseDbfs = -80.0;
    ThdResult r;
    std::string error;
    ASSERT_EQ(ThdRunMeasurement(o, r, nullptr, &error), 0) << error;
    ASSERT_TRUE(r.mThdN.valid);
    EXPECT_NEAR(Db(r.mThdN.Ratio()), expect, 0.05) << freq << " Hz";
  }
}

// A second harmonic just past 20 kHz is not measured, and THD+N does not count it either: a
// 10024 Hz tone through a square term reads the noise alone.
TEST_F(ThdTestFolder, HarmonicPastTheBandCountsNothing)
{
  ThdOptions o;
  o.mFreqText = "10024";
  o.mNoCalibration = true;
  o.mDocumentsFolder = mFolder;
  o.mDevice.mModel = EThdDeviceModel::kPolynomial;
  o.mDevice.mPoly[0] = 0.1;  // H2 at 20048 Hz, 30 dB below the tone
  o.mDevice.mNoise = true;
  o.mDevice.mNoiseDbfs = -100.0;
  ThdResult r;
  std::string error;
  ASSERT_EQ(ThdRunMeasurement(o, r, nullptr, &error), 0) << error;
  EXPECT_FALSE(r.mHarmonics[1].mMeasured);
  const double amplitude = r.mAmplitude, sigma = std::pow(10.0, -100.0 / 20.0) / std::sqrt(2.0);
  const double noiseOnly = Db(sigma * std::sqrt(19981.0 / 24000.0) / (amplitude / std::sqrt(2.0)));
  EXPECT_NEAR(Db(r.mThdN.Ratio()), noiseOnly, 0.1);
}
