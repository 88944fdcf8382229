// Harmonic phases through the whole tool: memoryless devices whose phases follow from their
// formulas, measured with latency in the loop, at several frequencies and with both buffer
// kinds, and in recordings whose tone starts anywhere; phases that are not there (no
// harmonic, noise) are not reported; the text and JSON reports show what was measured.
//
// The reference: the phase of harmonic k is that of its sine at the fundamental's positive
// zero crossing. For x = a sin t the powers expand to
//   x^2 = a^2 (1 - cos 2t) / 2
//   x^3 = a^3 (3 sin t - sin 3t) / 4
//   x^4 = a^4 (3 - 4 cos 2t + cos 4t) / 8
//   x^5 = a^5 (10 sin t - 5 sin 3t + sin 5t) / 16
// so y = x + c2 x^2 + c3 x^3 + c4 x^4 + c5 x^5 carries
//   H2 = -(c2 a^2 + c4 a^4) / 2 cos 2t   -90 deg when c2 a^2 + c4 a^4 > 0, else +90
//   H3 = -(c3 a^3 / 4 + 5 c5 a^5 / 16) sin 3t   180 deg when that sum is > 0, else 0
//   H4 = c4 a^4 / 8 cos 4t               +90 deg when c4 > 0, else -90
//   H5 = c5 a^5 / 16 sin 5t              0 deg when c5 > 0, else 180
// with the fundamental a + 3 c3 a^3 / 4 + 10 c5 a^5 / 16 > 0 for every device here. Odd terms
// land at 0 or 180 deg, even terms (cosines) at +-90 deg.
#include "ThdOptions.h"
#include "ThdReport.h"
#include "ThdRun.h"
#include "ThdTestFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {
using ThdPhaseTest = ThdTestFolder;

constexpr double kNone = NAN;  // no phase to report: the device makes no such harmonic

double AngleApart(double a, double b) { return std::fabs(std::remainder(a - b, 360.0)); }

// How the loop is run: frequency, rate, block, extra latency, buffers.
struct LoopCase
{
  const char* freq;
  double rate;
  int block;
  int latency;
  bool doubleBuffers;
};
constexpr LoopCase kLoops[] = {
  {"1000", 48000, 512, 0, false},
  {"1000", 48000, 64, 4801, true},
  {"3000", 44100, 333, 137, false},
  {"997", 96000, 1000, 1, true},
};

std::string LoopName(const LoopCase& l)
{
  char buf[128];
  std::snprintf(buf, sizeof buf, "%s Hz at %g Hz, block %d, latency %d, %s buffers", l.freq, l.rate, l.block, l.latency,
                l.doubleBuffers ? "64-bit" : "float");
  return buf;
}

ThdOptions Options(const std::string& folder, const LoopCase& l, double volumeDb)
{
  ThdOptions o;
  o.mFreqText = l.freq;
  o.mRate = l.rate;
  o.mBlock = l.block;
  o.mLatency = l.latency;
  o.mDoubleBuffers = l.doubleBuffers;
  o.mVolumeDb = volumeDb;
  o.mNoCalibration = true;
  o.mDocumentsFolder = folder;
  return o;
}

std::string TextReport(const ThdResult& r)
{
  char* text = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  ThdPrintTextReport(r, 0, out);
  std::fclose(out);
  std::string report(text, size);
  std::free(text);
  return report;
}

// Checks each harmonic's phase against the expected one (kNone: not valid), within tol degrees.
void ExpectPhases(const ThdResult& r, const double expected[5], double tol)
{
  for (int k = 1; k <= 5; ++k)
  {
    const ThdHarmonic& h = r.mHarmonics[k - 1];
    if (std::isnan(expected[k - 1]))
    {
      EXPECT_FALSE(h.mPhaseValid) << "H" << k << " at " << h.mPhaseDeg << " deg, level " << h.mLevel;
      continue;
    }
    ASSERT_TRUE(h.mPhaseValid) << "H" << k << ", level " << h.mLevel;
    EXPECT_TRUE(h.mPhaseDeg > -180.0 && h.mPhaseDeg <= 180.0) << h.mPhaseDeg;
    EXPECT_LT(AngleApart(h.mPhaseDeg, expected[k - 1]), tol) << "H" << k << " at " << h.mPhaseDeg << " deg";
  }
}
}  // namespace

// Every device term, positive and negative, through every loop: the phases derived above.
TEST_F(ThdPhaseTest, PolynomialPhasesMatchTheirDerivation)
{
  const struct { const char* name; double volumeDb; double c[4]; double phase[5]; } devices[] = {
    // a^2 = 0.251 at -6 dB: c2 a^2 outweighs c4 a^4 and c3 a^3 / 4 outweighs 5 c5 a^5 / 16.
    {"all positive", -6.0, {0.05, 0.02, 0.01, 0.005}, {0, -90, 180, 90, 0}},
    {"all negative", -6.0, {-0.05, -0.02, -0.01, -0.005}, {0, 90, 0, -90, 180}},
    {"mixed signs", -6.0, {0.05, -0.03, -0.02, 0.01}, {0, -90, 0, -90, 0}},
    {"square only", 0.0, {0.1, 0, 0, 0}, {0, -90, kNone, kNone, kNone}},
    // x^4 alone also puts -c4 a^4 / 2 cos 2t into H2: +90 deg for c4 < 0, H4 at -90.
    {"fourth power only", 0.0, {0, 0, -0.05, 0}, {0, 90, kNone, -90, kNone}},
    {"cube only", -10.0, {0, 0.1, 0, 0}, {0, kNone, 180, kNone, kNone}},
    {"fifth power only", 0.0, {0, 0, 0, -0.04}, {0, kNone, 0, kNone, 180}},
  };
  for (const LoopCase& l : kLoops)
    for (const auto& d : devices)
    {
      SCOPED_TRACE(std::string(d.name) + ", " + LoopName(l));
      ThdOptions o = Options(mFolder, l, d.volumeDb);
      o.mDevice.mModel = EThdDeviceModel::kPolynomial;
      for (int i = 0; i < 4; ++i) o.mDevice.mPoly[i] = d.c[i];
      ThdResult r;
      std::string error;
      ASSERT_EQ(ThdRunMeasurement(o, r, nullptr, &error), 0) << error;
      ExpectPhases(r, d.phase, l.doubleBuffers ? 1e-6 : 0.05);
    }
}

// H3 gathers c3 a^3 / 4 and 5 c5 a^5 / 16: with c3 = 0.01 and c5 = -0.02 the cube wins at
// -10 dB (7.9e-5 against 2.0e-5: H3 at 180 deg) and the fifth power at 0 dB (0.0025 against
// 0.00625: H3 at 0 deg); H5 stays at 180 deg, and the device makes no even harmonics.
TEST_F(ThdPhaseTest, MixedTermsTakeTheSignOfTheirSum)
{
  const struct { double volumeDb; double phase[5]; } cases[] = {
    {-10.0, {0, kNone, 180, kNone, 180}},
    {0.0, {0, kNone, 0, kNone, 180}},
  };
  for (const LoopCase& l : kLoops)
    for (const auto& c : cases)
    {
      SCOPED_TRACE(std::to_string(c.volumeDb) + " dB, " + LoopName(l));
      ThdOptions o = Options(mFolder, l, c.volumeDb);
      o.mDevice.mModel = EThdDeviceModel::kPolynomial;
      o.mDevice.mPoly[1] = 0.01;
      o.mDevice.mPoly[3] = -0.02;
      ThdResult r;
      std::string error;
      ASSERT_EQ(ThdRunMeasurement(o, r, nullptr, &error), 0) << error;
      ExpectPhases(r, c.phase, l.doubleBuffers ? 1e-6 : 0.05);
    }
}

// A loop-back makes no harmonics: only the fundamental has a phase. The soft clipper is odd
// and symmetric about the peak (y(pi - t) = y(t)), so only sines of odd harmonics: H3 and H5
// at 0 or 180 deg, their signs from a fine DFT of tanh(d a sin t) / d, and no even phases.
TEST_F(ThdPhaseTest, LoopBackAndSoftClipper)
{
  const double drive = 2.0, a = std::pow(10.0, -10.0 / 20.0);
  double clipper[5] = {0, kNone, 0, kNone, 0};
  for (int k : {3, 5})
  {
    const int N = 1 << 14;
    double c = 0.0, s = 0.0;
    for (int i = 0; i < N; ++i)
    {
      const double t = 6.283185307179586 * i / N;
      const double y = std::tanh(drive * a * std::sin(t)) / drive;
      c += y * std::cos(k * t);
      s += y * std::sin(k * t);
    }
    ASSERT_LT(std::fabs(c), 1e-9 * std::fabs(s));
    clipper[k - 1] = s > 0.0 ? 0.0 : 180.0;
  }
  const double loopBack[5] = {0, kNone, kNone, kNone, kNone};
  for (const LoopCase& l : kLoops)
  {
    SCOPED_TRACE(LoopName(l));
    for (bool clip : {false, true})
    {
      ThdOptions o = Options(mFolder, l, -10.0);
      if (clip)
      {
        o.mDevice.mModel = EThdDeviceModel::kSoftClip;
        o.mDevice.mDrive = drive;
      }
      ThdResult r;
      std::string error;
      ASSERT_EQ(ThdRunMeasurement(o, r, nullptr, &error), 0) << error;
      ExpectPhases(r, clip ? clipper : loopBack, l.doubleBuffers ? 1e-6 : 0.05);
    }
  }
}

// Noise hides a phase once the harmonic no longer stands well above what noise adds to its
// sums: with -66 dBFS of noise over 12 s (about 7e-7 per quadrature) H2 to H4 of the
// positive device (-44 to -82 dBFS) keep their derived phases within a few degrees, H5 at
// -100 dBFS (1e-5, about 4 degrees of wander) is not told. Ten times the averaging lowers the
// floor by 10 dB, and H5 counts too.
TEST_F(ThdPhaseTest, NoiseHidesWeakHarmonics)
{
  const struct { int denoising; double phase[5]; } cases[] = {
    {12, {0, -90, 180, 90, kNone}},
    {120, {0, -90, 180, 90, 0}},
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.denoising);
    ThdOptions o = Options(mFolder, kLoops[0], -6.0);
    o.mDenoising = c.denoising;
    o.mDevice.mModel = EThdDeviceModel::kPolynomial;
    const double coeffs[4] = {0.05, 0.02, 0.01, 0.005};
    for (int i = 0; i < 4; ++i) o.mDevice.mPoly[i] = coeffs[i];
    o.mDevice.mNoise = true;
    o.mDevice.mNoiseDbfs = -66.0;
    ThdResult r;
    std::string error;
    ASSERT_EQ(ThdRunMeasurement(o, r, nullptr, &error), 0) << error;
    ExpectPhases(r, c.phase, 5.0);
  }
}

// Noise that is not white is judged where it lies: a recording of y = x + 0.05 x^2 + 0.02 x^3
// at -6 dB (H2 at -44 dBFS, H3 at -64) with a whine a few Hz above H3, narrow-band noise of
// -43 dBFS centred on 3006 Hz and some 8 Hz wide. Spread over the whole band that noise would
// leave H3 about a degree of wander; on H3's own bins it leaves tenths of a radian and a noise
// level within 10 dB of H3's. So H3's phase is not told and H3 sits at the noise floor, while
// H2, a thousand Hz away, keeps its phase and stands clear.
TEST_F(ThdPhaseTest, NoiseNearOneHarmonicHidesOnlyThatOne)
{
  const int R = 48000;
  const double a = std::pow(10.0, -6.0 / 20.0), w = 2.0 * 3.141592653589793 * 1000.0 / R;
  const long long lead = R / 2, n = 14LL * R, total = lead + n + R / 2;
  // White Gaussian noise through a band-pass biquad (peak gain 1) at 3006 Hz, Q 375, scaled to
  // an RMS of 0.007.
  std::vector<double> whine((size_t)total);
  {
    std::mt19937_64 random(7);
    std::normal_distribution<double> gauss;
    const double w0 = 2.0 * 3.141592653589793 * 3006.0 / R, alpha = std::sin(w0) / (2.0 * 375.0);
    const double b0 = alpha / (1.0 + alpha), a1 = -2.0 * std::cos(w0) / (1.0 + alpha), a2 = (1.0 - alpha) / (1.0 + alpha);
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0, power = 0.0;
    for (double& v : whine)
    {
      const double x = gauss(random);
      v = b0 * (x - x2) - a1 * y1 - a2 * y2;
      x2 = x1, x1 = x, y2 = y1, y1 = v;
      power += v * v;
    }
    const double scale = 0.007 / std::sqrt(power / (double)total);
    for (double& v : whine) v *= scale;
  }
  std::vector<float> y((size_t)total);
  for (long long i = 0; i < total; ++i)
  {
    const double x = i >= lead && i < lead + n ? a * std::sin(w * (double)(i - lead)) : 0.0;
    y[(size_t)i] = (float)(x + 0.05 * x * x + 0.02 * x * x * x + whine[(size_t)i]);
  }
  const std::string path = mFolder + "/whine.wav";
  SF_INFO info{};
  info.samplerate = R;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(sf_writef_float(f, y.data(), (sf_count_t)y.size()), (sf_count_t)y.size());
  ASSERT_EQ(sf_close(f), 0);

  ThdOptions o;
  o.mMode = EThdMode::kAnalyse;
  o.mCapture = path;
  o.mFreqText = "1000";
  o.mNoCalibration = true;
  o.mDocumentsFolder = mFolder;
  ThdResult r;
  std::string error;
  ASSERT_EQ(ThdRunMeasurement(o, r, nullptr, &error), 0) << error;
  const double expected[5] = {0, -90, kNone, kNone, kNone};
  ExpectPhases(r, expected, 1.0);
  EXPECT_FALSE(r.mHarmonics[1].AtNoiseFloor()) << r.mHarmonics[1].NoiseLevel();
  EXPECT_TRUE(r.mHarmonics[2].AtNoiseFloor()) << r.mHarmonics[2].mLevel << " against " << r.mHarmonics[2].NoiseLevel();
  // The report's H3 line ends in "-".
  const std::string text = TextReport(r);
  const size_t h3 = text.find("  H3   3000 Hz");
  ASSERT_NE(h3, std::string::npos) << text;
  EXPECT_EQ(text.substr(h3, text.find('\n', h3) - h3).substr(25), " dBFS       -") << text;
}

// The reports: a phase column on each harmonic line of the text (the lines' beginnings as
// before), "phase_deg" in JSON, null and "-" where there is none.
TEST_F(ThdPhaseTest, ReportsShowThePhases)
{
  ThdOptions o = Options(mFolder, kLoops[0], -10.0);
  o.mDevice.mModel = EThdDeviceModel::kSoftClip;
  o.mDevice.mDrive = 2.0;
  ThdResult r;
  std::string error;
  ASSERT_EQ(ThdRunMeasurement(o, r, nullptr, &error), 0) << error;
  const std::string text = TextReport(r);
  EXPECT_NE(text.find("THD=3.0339"), std::string::npos) << text;
  EXPECT_NE(text.find("\nHarmonic1=0.2882999"), std::string::npos) << text;
  const char* phases[5] = {"   0.0\xc2\xb0", "     -", "   0.0\xc2\xb0", "     -", "   0.0\xc2\xb0"};
  for (int k = 1; k <= 5; ++k)
  {
    const ThdHarmonic& h = r.mHarmonics[k - 1];
    char line[128];
    // H2 and H4 of the symmetric clipper are rounding residue: below the floor.
    const double dbfs = 20.0 * std::log10(h.mLevel);
    char level[16];
    std::snprintf(level, sizeof level, dbfs < -200.0 ? "< -200" : "%.3f", dbfs);
    std::snprintf(line, sizeof line, "  H%d %6lld Hz  %9s dBFS  %s\n", k, h.mHz, level, phases[k - 1]);
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  }
  EXPECT_NE(text.find("  H3   3000 Hz    -41.169 dBFS     0.0\xc2\xb0\n"), std::string::npos) << text;

  const auto json = nlohmann::json::parse(ThdJsonReport(r, 0));
  for (int k = 1; k <= 5; ++k)
  {
    const ThdHarmonic& h = r.mHarmonics[k - 1];
    const auto& p = json["harmonics"][k - 1]["phase_deg"];
    if (h.mPhaseValid)
    {
      ASSERT_TRUE(p.is_number()) << k;
      EXPECT_EQ(p.get<double>(), h.mPhaseDeg);
    }
    else
    {
      EXPECT_TRUE(p.is_null()) << k;
    }
  }
  EXPECT_EQ(json["harmonics"][0]["phase_deg"].get<double>(), 0.0);
  EXPECT_TRUE(json["harmonics"][1]["phase_deg"].is_null());
}

// A harmonic that is not measured (above 20 kHz or half the rate) has no phase, and
// neither has any harmonic when no fundamental comes back.
TEST_F(ThdPhaseTest, NothingMeasuredNoPhase)
{
  ThdOptions o = Options(mFolder, kLoops[0], -6.0);
  o.mFreqText = "5000";  // H5 at 25 kHz
  o.mDevice.mModel = EThdDeviceModel::kPolynomial;
  o.mDevice.mPoly[3] = 0.1;
  ThdResult r;
  std::string error;
  ASSERT_EQ(ThdRunMeasurement(o, r, nullptr, &error), 0) << error;
  EXPECT_FALSE(r.mHarmonics[4].mMeasured);
  EXPECT_FALSE(r.mHarmonics[4].mPhaseValid);
  EXPECT_TRUE(r.mHarmonics[2].mPhaseValid);  // 5 c5 a^5 / 16 sin 3t with c5 > 0: -sin 3t
  EXPECT_LT(AngleApart(r.mHarmonics[2].mPhaseDeg, 180.0), 0.01);
  EXPECT_NE(TextReport(r).find("  H5  25000 Hz   not measured (above 20000 Hz)\n"), std::string::npos);

  ThdOptions silent = Options(mFolder, kLoops[0], -6.0);
  silent.mDevice.mGainDb = -1000.0;  // nothing comes back
  ThdResult s;
  ASSERT_EQ(ThdRunMeasurement(silent, s, nullptr, &error), 0) << error;
  for (const ThdHarmonic& h : s.mHarmonics) EXPECT_FALSE(h.mPhaseValid) << h.mK;
}

// A calibration corrects levels, not phases: the chain's response at each harmonic divides its
// level by a real factor. Which phases are told is judged on the levels as they came back, so
// a calibration that lifts H5 by 40 dB does not make its phase trustworthy under the noise.
TEST_F(ThdPhaseTest, CalibrationLeavesPhasesAlone)
{
  const std::string file = mFolder + "/response.txt";
  {
    std::ofstream out(file);
    out << "20 0\n1000 0\n2000 3\n3000 -6\n4000 0\n5000 -40\n20000 0\n";
  }
  ThdResult plain, calibrated;
  for (ThdResult* r : {&plain, &calibrated})
  {
    ThdOptions o = Options(mFolder, kLoops[0], -6.0);
    o.mDevice.mModel = EThdDeviceModel::kPolynomial;
    const double coeffs[4] = {0.05, 0.02, 0.01, 0.005};
    for (int i = 0; i < 4; ++i) o.mDevice.mPoly[i] = coeffs[i];
    o.mDevice.mNoise = true;
    o.mDevice.mNoiseDbfs = -66.0;
    if (r == &calibrated)
    {
      o.mNoCalibration = false;
      o.mCalibration = file;
    }
    std::string error;
    ASSERT_EQ(ThdRunMeasurement(o, *r, nullptr, &error), 0) << error;
  }
  ASSERT_FALSE(calibrated.mCalibrationName.empty());
  EXPECT_GT(calibrated.mHarmonics[4].mLevel, 10.0 * plain.mHarmonics[4].mLevel);
  for (int k = 1; k <= 5; ++k)
  {
    const ThdHarmonic &p = plain.mHarmonics[k - 1], &c = calibrated.mHarmonics[k - 1];
    EXPECT_EQ(c.mPhaseValid, p.mPhaseValid) << "H" << k;
    if (p.mPhaseValid) { EXPECT_EQ(c.mPhaseDeg, p.mPhaseDeg) << "H" << k; }
  }
  EXPECT_FALSE(calibrated.mHarmonics[4].mPhaseValid);
}

// A recording: the tone starts wherever the recorder caught it, at any phase, after any
// silence; the phases are the device's all the same. Here y = x + 0.05 x^2 + 0.02 x^3 of a
// tone at -6 dB (H2 at -90 deg, H3 at 180) starting at several phases and offsets.
TEST_F(ThdPhaseTest, RecordingsReadTheSamePhasesWhereverTheToneStarts)
{
  const int R = 48000;
  const double a = std::pow(10.0, -6.0 / 20.0), w = 2.0 * 3.141592653589793 * 1000.0 / R;
  const double expected[5] = {0, -90, 180, kNone, kNone};
  const struct { double leadSeconds; double startPhase; } cases[] = {{0.5, 0.0}, {0.37, 1.234}, {1.0001, -2.9}};
  int count = 0;
  for (const auto& c : cases)
  {
    SCOPED_TRACE(testing::Message() << "lead " << c.leadSeconds << " s, phase " << c.startPhase);
    const long long lead = (long long)std::llround(c.leadSeconds * R), n = 14LL * R;
    std::vector<float> y((size_t)(lead + n + R / 2), 0.0f);
    for (long long i = 0; i < n; ++i)
    {
      const double x = a * std::sin(w * (double)i + c.startPhase);
      y[(size_t)(lead + i)] = (float)(x + 0.05 * x * x + 0.02 * x * x * x);
    }
    const std::string path = mFolder + "/take" + std::to_string(count++) + ".wav";
    SF_INFO info{};
    info.samplerate = R;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(sf_writef_float(f, y.data(), (sf_count_t)y.size()), (sf_count_t)y.size());
    ASSERT_EQ(sf_close(f), 0);

    ThdOptions o;
    o.mMode = EThdMode::kAnalyse;
    o.mCapture = path;
    o.mFreqText = "1000";
    o.mNoCalibration = true;
    o.mDocumentsFolder = mFolder;
    ThdResult r;
    std::string error;
    ASSERT_EQ(ThdRunMeasurement(o, r, nullptr, &error), 0) << error;
    ExpectPhases(r, expected, 0.05);
  }
}
