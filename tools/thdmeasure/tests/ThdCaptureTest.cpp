// thdmeasure on small generated captures: each check fires on its own fixture and not on a
// clean capture; the tone is found wherever it starts; the clock offset between player and
// recorder is measured and corrected; THD+N matches its analytic value; the reports say
// what was not measured; the command line refuses what does not apply.
#include "ThdOptions.h"
#include "ThdReport.h"
#include "ThdRun.h"
#include "ThdNoiseAnalyser.h"
#include "ThdTestFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sndfile.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {
constexpr double kPi = 3.14159265358979323846;

using ThdCaptureTest = ThdTestFolder;

// Writes a float WAV whose every channel carries x.
bool WriteWav(const std::string& path, const std::vector<float>& x, int rate, int channels = 2)
{
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f) return false;
  std::vector<float> frames(x.size() * (size_t)channels);
  for (size_t i = 0; i < x.size(); ++i)
    for (int c = 0; c < channels; ++c) frames[i * (size_t)channels + (size_t)c] = x[i];
  const bool ok = sf_writef_float(f, frames.data(), (sf_count_t)x.size()) == (sf_count_t)x.size();
  return sf_close(f) == 0 && ok;
}

// A tone as the meter plays it (sine from phase 0), `lead` seconds of silence before it and
// `tail` after; `ppm` moves its frequency as a recorder on its own clock would see it.
std::vector<float> Tone(int rate, double hz, double amplitude, double seconds, double lead = 0.0, double tail = 0.5,
                        double ppm = 0.0)
{
  const long long start = (long long)std::llround(lead * rate);
  const long long n = (long long)std::llround(seconds * rate / (1.0 + ppm * 1e-6));
  std::vector<float> x((size_t)(start + n + (long long)std::llround(tail * rate)), 0.0f);
  const double w = 2.0 * kPi * hz * (1.0 + ppm * 1e-6) / rate;
  for (long long i = 0; i < n; ++i) x[(size_t)(start + i)] = (float)(amplitude * std::sin(w * (double)i));
  return x;
}

struct RunOutcome
{
  int status = -1;
  ThdResult result;
  std::string error;
  double H1Db() const { return 20.0 * std::log10(result.mHarmonics[0].mLevel); }
  bool Failed(const std::string& id) const
  {
    for (const ThdCheck& c : result.mCapture.mFailed)
      if (c.mId == id) return true;
    return false;
  }
};

class Analyse
{
public:
  Analyse(const std::string& folder) : mFolder(folder) {}
  RunOutcome operator()(const std::vector<float>& x, int rate, const char* freq, std::function<void(ThdOptions&)> tweak = {})
  {
    const std::string path = mFolder + "/capture" + std::to_string(mCount++) + ".wav";
    RunOutcome r;
    if (!WriteWav(path, x, rate))
    {
      r.error = "cannot write " + path;
      return r;
    }
    ThdOptions o;
    o.mMode = EThdMode::kAnalyse;
    o.mCapture = path;
    o.mFreqText = freq;
    o.mNoCalibration = true;
    o.mDocumentsFolder = mFolder;
    if (tweak) tweak(o);
    r.status = ThdRunMeasurement(o, r.result, nullptr, &r.error);
    return r;
  }

private:
  std::string mFolder;
  int mCount = 0;
};
}  // namespace

// Each check on its fixture: the status, the check that fires (and no other), and the
// message's advice. The clean capture passes every check and measures.
TEST_F(ThdCaptureTest, EachCheckFiresOnItsFixtureOnly)
{
  constexpr int R = 16000;
  std::mt19937 rng(7);
  std::normal_distribution<double> gauss(0.0, 0.1);
  std::vector<float> noise(14 * R);
  for (float& v : noise) v = (float)gauss(rng);
  std::vector<float> clipped = Tone(R, 1000, 1.3, 13);
  for (float& v : clipped) v = std::max(-1.0f, std::min(1.0f, v));
  std::vector<float> damaged = Tone(R, 1000, 0.3, 13);
  damaged[5 * R + 17] = NAN;
  std::vector<float> stepped = Tone(R, 1000, 0.3, 13);
  for (size_t i = 7 * R; i < stepped.size(); ++i) stepped[i] *= 0.5f;

  const struct
  {
    const char* name;
    std::vector<float> capture;
    const char* freq;
    int denoising;
    const char* check;   // nullptr: none fails
    const char* advice;  // part of the message
  } cases[] = {
    {"clean", Tone(R, 1000, 0.3, 13), "1000", 12, nullptr, nullptr},
    {"wrong frequency", Tone(R, 1000, 0.3, 13), "300", 12, "frequency", "the capture's tone is at 1000.0 Hz; run with --freq 1000"},
    {"too short for the window", Tone(R, 1000, 0.3, 13), "1000", 120, "too-short", "120 s of averaging needs 121 s"},
    {"shorter than the run", Tone(R, 1000, 0.3, 9), "1000", 12, "too-short", "record the whole tone"},
    {"silence", std::vector<float>(14 * R, 0.0f), "1000", 12, "silence", "is silent"},
    {"noise only", noise, "1000", 12, "no-tone", "holds no steady tone"},
    {"clipped", clipped, "1000", 12, "clipping", "lower the playback or the recording level"},
    {"non-finite sample", damaged, "1000", 12, "non-finite", "1 samples are not finite"},
    {"level step", stepped, "1000", 12, "drifting-fundamental", "changes by 6.0 dB from second to second"},
  };
  Analyse analyse(mFolder);
  for (const auto& c : cases)
  {
    const RunOutcome r = analyse(c.capture, R, c.freq, [&](ThdOptions& o) { o.mDenoising = c.denoising; });
    ASSERT_TRUE(r.error.empty() || r.status == 3) << c.name << ": " << r.error;
    if (!c.check)
    {
      EXPECT_EQ(r.status, 0) << c.name;
      EXPECT_TRUE(r.result.mCapture.mFailed.empty()) << c.name << ": " << (r.result.mCapture.mFailed.empty() ? "" : r.result.mCapture.mFailed[0].mMessage);
      EXPECT_TRUE(r.result.mMeasured) << c.name;
      continue;
    }
    EXPECT_EQ(r.status, 3) << c.name;
    EXPECT_FALSE(r.result.mMeasured) << c.name;
    ASSERT_EQ(r.result.mCapture.mFailed.size(), 1u) << c.name << ": " << (r.result.mCapture.mFailed.empty() ? "" : r.result.mCapture.mFailed[0].mMessage);
    EXPECT_EQ(r.result.mCapture.mFailed[0].mId, c.check) << c.name;
    EXPECT_NE(r.result.mCapture.mFailed[0].mMessage.find(c.advice), std::string::npos)
      << c.name << ": " << r.result.mCapture.mFailed[0].mMessage;

    // --force measures anyway and keeps the verdict in the report.
    const RunOutcome forced = analyse(c.capture, R, c.freq, [&](ThdOptions& o) {
      o.mDenoising = c.denoising;
      o.mForce = true;
    });
    EXPECT_EQ(forced.status, 0) << c.name << ": " << forced.error;
    EXPECT_TRUE(forced.result.mMeasured) << c.name;
    EXPECT_TRUE(forced.Failed(c.check)) << c.name;
    const auto json = nlohmann::json::parse(ThdJsonReport(forced.result, forced.status));
    EXPECT_EQ(json["capture"]["failed_checks"][0]["check"], c.check) << c.name;
    EXPECT_TRUE(json["capture"]["forced"].get<bool>()) << c.name;
  }
}

// Leading silence (a recording started early, or seconds of latency) reads as the clean file;
// so does --start at the tone.
TEST_F(ThdCaptureTest, AlignmentFindsTheTone)
{
  constexpr int R = 16000;
  Analyse analyse(mFolder);
  const RunOutcome clean = analyse(Tone(R, 1000, 0.3, 13), R, "1000");
  ASSERT_EQ(clean.status, 0) << clean.error;
  EXPECT_NEAR(clean.H1Db(), 20.0 * std::log10(0.3), 0.01);
  for (double lead : {0.0, 1.2345, 5.0})
  {
    const RunOutcome r = analyse(Tone(R, 1000, 0.3, 13, lead), R, "1000");
    ASSERT_EQ(r.status, 0) << lead << ": " << r.error;
    EXPECT_NEAR(r.H1Db(), clean.H1Db(), 0.01) << lead;
    EXPECT_NEAR(r.result.mCapture.mTrack.start / (double)R, lead, 1e-3) << lead;
    EXPECT_NEAR(r.result.mCapture.mTrack.end / (double)R, lead + 13.0, 1e-3) << lead;
  }
  const RunOutcome given = analyse(Tone(R, 1000, 0.3, 13, 5.0), R, "1000", [](ThdOptions& o) { o.mStartSeconds = 5.0; });
  ASSERT_EQ(given.status, 0) << given.error;
  EXPECT_TRUE(given.result.mCapture.mStartGiven);
  EXPECT_NEAR(given.H1Db(), clean.H1Db(), 0.01);
  // Started where there is not enough tone left: refused as too short.
  const RunOutcome late = analyse(Tone(R, 1000, 0.3, 13, 5.0), R, "1000", [](ThdOptions& o) { o.mStartSeconds = 8.0; });
  EXPECT_EQ(late.status, 3);
  EXPECT_TRUE(late.Failed("too-short"));
}

// A recorder on its own clock: the offset is reported within 1 ppm; left alone
// (--no-drift-correct) it fails its check (H1 would read low); corrected, by default or with
// --drift-correct, it reads within 0.1 dB of a locked capture.
TEST_F(ThdCaptureTest, ClockDriftIsMeasuredAndCorrected)
{
  constexpr int R = 16000;
  Analyse analyse(mFolder);
  const RunOutcome locked = analyse(Tone(R, 1000, 0.3, 13, 0.5), R, "1000");
  ASSERT_EQ(locked.status, 0) << locked.error;
  EXPECT_NEAR(locked.result.mCapture.mPpm, 0.0, 1.0);
  for (double ppm : {20.0, 50.0, -50.0})
  {
    const std::vector<float> capture = Tone(R, 1000, 0.3, 13, 0.5, 0.5, ppm);
    const RunOutcome plain = analyse(capture, R, "1000", [](ThdOptions& o) { o.mNoDriftCorrect = true; });
    EXPECT_EQ(plain.status, 3) << ppm;
    EXPECT_TRUE(plain.Failed("clock-drift")) << ppm;
    EXPECT_NEAR(plain.result.mCapture.mPpm, ppm, 1.0) << ppm;

    const RunOutcome corrected = analyse(capture, R, "1000", [](ThdOptions& o) { o.mDriftCorrect = true; });
    ASSERT_EQ(corrected.status, 0) << ppm << ": " << corrected.error;
    const RunOutcome byDefault = analyse(capture, R, "1000");
    ASSERT_EQ(byDefault.status, 0) << ppm << ": " << byDefault.error;
    EXPECT_TRUE(byDefault.result.mCapture.mDriftCorrected) << ppm;
    EXPECT_NEAR(byDefault.H1Db(), corrected.H1Db(), 1e-9) << ppm;
    EXPECT_NEAR(corrected.result.mCapture.mPpm, ppm, 1.0) << ppm;
    EXPECT_NEAR(corrected.H1Db(), locked.H1Db(), 0.1) << ppm;
    ASSERT_FALSE(corrected.result.mWarnings.empty()) << ppm;
    EXPECT_NE(corrected.result.mWarnings[0].find("ppm"), std::string::npos);
  }
}

// THD+N of a tone with a known second harmonic and white noise, against the analytic value:
// sqrt(H2^2 / 2 + sigma^2 * band share) / (A / sqrt 2), band 20 Hz - 20 kHz at 48 kHz.
TEST_F(ThdCaptureTest, ThdPlusNoiseMatchesTheAnalyticValue)
{
  constexpr int R = 48000;
  const double A = 0.5;
  const struct { double h2, sigma; } cases[] = {{0.005, 0.0}, {0.0, 0.002}, {0.003, 0.004}, {0.0005, 0.0001}};
  for (const auto& c : cases)
  {
    std::mt19937 rng(11);
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::vector<double> x(13 * R);
    for (size_t i = 0; i < x.size(); ++i)
    {
      const double t = 2.0 * kPi * 1000.0 * (double)i / R;
      x[i] = A * std::sin(t) + c.h2 * std::sin(2.0 * t + 0.3) + c.sigma * gauss(rng);
    }
    ThdNoiseAnalyser analyser(R, 1000.0, R, 13LL * R);
    analyser.Add(x.data(), 5000);
    analyser.Add(x.data() + 5000, (int)x.size() - 5000);
    const ThdNoiseResult got = analyser.Finish();
    ASSERT_TRUE(got.valid);
    EXPECT_EQ(got.bandHighHz, 20000.0);
    const double expect = std::sqrt(c.h2 * c.h2 / 2.0 + c.sigma * c.sigma * (20000.0 - 20.0) / (R / 2.0)) / (A / std::sqrt(2.0));
    EXPECT_NEAR(20.0 * std::log10(got.Ratio()), 20.0 * std::log10(expect), 0.1) << c.h2 << " " << c.sigma;
    EXPECT_NEAR(got.fundamentalRms, A / std::sqrt(2.0), 1e-4);
  }
}

// The simulated loop reports THD+N too: a polynomial device with noise (--noise in dBFS, a
// full-scale sine being 0 dBFS) against the same analytic value.
TEST_F(ThdCaptureTest, SimulatedLoopThdPlusNoise)
{
  ThdOptions o;
  o.mFreqText = "1000";
  o.mVolumeDb = -6.0;
  o.mNoCalibration = true;
  o.mDocumentsFolder = mFolder;
  o.mDevice.mModel = EThdDeviceModel::kPolynomial;
  o.mDevice.mPoly[0] = 0.02;  // x + 0.02 x^2: H2 = 0.01 a^2
  o.mDevice.mNoise = true;
  o.mDevice.mNoiseDbfs = -70.0;
  ThdResult r;
  std::string error;
  ASSERT_EQ(ThdRunMeasurement(o, r, nullptr, &error), 0) << error;
  const double a = std::pow(10.0, -6.0 / 20.0), h2 = 0.01 * a * a;
  const double sigma = std::pow(10.0, -70.0 / 20.0) / std::sqrt(2.0);
  const double expect = std::sqrt(h2 * h2 / 2.0 + sigma * sigma * (20000.0 - 20.0) / 24000.0) / (a / std::sqrt(2.0));
  ASSERT_TRUE(r.mThdN.valid);
  EXPECT_NEAR(20.0 * std::log10(r.mThdN.Ratio()), 20.0 * std::log10(expect), 0.1);
  EXPECT_NEAR(r.mHarmonics[1].mLevel, h2, 1e-5);
}

// What is not measured says so: harmonics at or above half the rate or above 20 kHz are null
// in JSON and "not measured" in the text, the THD names its harmonics, and a fundamental
// below the noise gives no THD.
TEST_F(ThdCaptureTest, HonestFigures)
{
  const struct { double rate; const char* freq; double noiseDbfs; std::vector<int> includes; bool thd; } cases[] = {
    {32000, "10000", 0, {}, false},        // H2 at 20 kHz is above half of 32 kHz
    {48000, "6000", 0, {2, 3}, true},      // H4 at 24 kHz is half the rate
    {44100, "5000", 0, {2, 3, 4}, true},   // H5 at 25 kHz is above 20 kHz
    {48000, "1000", 0, {2, 3, 4, 5}, true},
    {48000, "1000", 10, {2, 3, 4, 5}, false},  // noise 10 dB above the tone
  };
  for (const auto& c : cases)
  {
    ThdOptions o;
    o.mFreqText = c.freq;
    o.mRate = c.rate;
    o.mNoCalibration = true;
    o.mDocumentsFolder = mFolder;
    o.mDevice.mModel = EThdDeviceModel::kSoftClip;
    o.mDevice.mDrive = 2.0;
    if (c.noiseDbfs != 0)
    {
      o.mDevice.mNoise = true;
      o.mDevice.mNoiseDbfs = c.noiseDbfs;
    }
    ThdResult r;
    std::string error;
    ASSERT_EQ(ThdRunMeasurement(o, r, nullptr, &error), 0) << error;
    EXPECT_EQ(r.mThdIncludes, c.includes) << c.freq;
    EXPECT_EQ(r.mThdValid, c.thd) << c.freq << " " << r.mThdWhyNot;
    const auto json = nlohmann::json::parse(ThdJsonReport(r, 0));
    for (int k = 1; k <= 5; ++k)
    {
      const auto& h = json["harmonics"][k - 1];
      EXPECT_EQ(h["measured"].get<bool>(), IThdMeter::IsHarmonicMeasured(k, r.mFrequency, c.rate)) << c.freq << " H" << k;
      if (!h["measured"].get<bool>())
      {
        EXPECT_TRUE(h["level"].is_null());
        EXPECT_TRUE(h["dbfs"].is_null());
      }
    }
    EXPECT_EQ(json["thd_percent"].is_null(), !c.thd) << c.freq;
    if (!c.thd) { EXPECT_FALSE(json["thd_not_measured"].get<std::string>().empty()); }
    char* text = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    ThdPrintTextReport(r, 0, out);
    std::fclose(out);
    const std::string report(text, size);
    std::free(text);
    if (c.thd)
      EXPECT_NE(report.find("THD (" + ThdThdHarmonicsText(c.includes) + "):"), std::string::npos) << report;
    else
      EXPECT_NE(report.find("THD: not measured ("), std::string::npos) << report;
    if (c.includes.size() < 4) { EXPECT_NE(report.find("not measured (a"), std::string::npos) << report; }
  }
  EXPECT_EQ(ThdThdHarmonicsText({2, 3}), "H2-H3");
  EXPECT_EQ(ThdThdHarmonicsText({2}), "H2 only");
}

// Refusals: one line, status 2. Options that do not apply to the mode, empty file names,
// contradictions, values out of range.
TEST(ThdOptionsTest, Refusals)
{
  const struct { std::vector<const char*> args; int exit; const char* says; } cases[] = {
    {{"--analyse", ""}, 2, "--analyse needs a file name"},
    {{"--write-tone", ""}, 2, "--write-tone needs a file name"},
    {{"--calibration", ""}, 2, "--calibration needs a file name"},
    {{"--analyse", "a.wav", "--noise", "-80"}, 2, "--noise applies to the simulated device, not to --analyse"},
    {{"--analyse", "a.wav", "--device", "poly"}, 2, "--device applies to the simulated device"},
    {{"--analyse", "a.wav", "--rate", "44100"}, 2, "--rate does not apply to --analyse"},
    {{"--write-tone", "t.wav", "--latency", "5"}, 2, "not to --write-tone"},
    {{"--coeffs", "0.1"}, 2, "--coeffs applies only to --device poly"},
    {{"--device", "poly", "--drive", "2"}, 2, "--drive applies only to --device softclip"},
    {{"--drift-correct"}, 2, "--drift-correct applies only to --analyse"},
    {{"--start", "1"}, 2, "--start applies only to --analyse"},
    {{"--force"}, 2, "--force applies only to --analyse"},
    {{"--no-drift-correct"}, 2, "--no-drift-correct applies only to --analyse"},
    {{"--analyse", "a.wav", "--drift-correct", "--no-drift-correct"}, 2, "not both"},
    {{"--freq", "1000", "--entry", "x"}, 2, "not both"},
    {{"--denoising", "13"}, 2, "12, 120 or 1200"},
    {{"--volume", "1"}, 2, "-20..0 dB"},
    {{"--bogus"}, 2, "bogus"},
    {{"--device", "poly", "--coeffs", "0.1,0.2"}, -1, nullptr},
    {{"--analyse", "a.wav", "--start", "2.5", "--drift-correct", "--force"}, -1, nullptr},
    {{"--help"}, 0, "--write-tone FILE"},
  };
  for (const auto& c : cases)
  {
    std::vector<char*> argv{const_cast<char*>("thdmeasure")};
    for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
    ThdOptions o;
    const ThdParsed p = ThdParseOptions((int)argv.size(), argv.data(), o);
    EXPECT_EQ(p.mExit, c.exit) << c.args[0] << " " << p.mText;
    if (c.says) { EXPECT_NE(p.mText.find(c.says), std::string::npos) << p.mText; }
    if (c.exit == 2) { EXPECT_EQ(p.mText.find('\n'), std::string::npos) << p.mText; }
  }
}

// A calibration file that gives fewer than two points is refused (status 2).
TEST_F(ThdCaptureTest, CalibrationNeedsTwoPoints)
{
  const std::string file = mFolder + "/one.txt";
  std::ofstream(file) << "1000 0.5\n";
  ThdOptions o;
  o.mCalibration = file;
  o.mDocumentsFolder = mFolder;
  ThdResult r;
  std::string error;
  EXPECT_EQ(ThdRunMeasurement(o, r, nullptr, &error), 2);
  EXPECT_NE(error.find("gives 1 point(s); a calibration needs at least two"), std::string::npos) << error;
}

// A recorder's DC offset: the tone is found where it starts and its clock read right, the
// figures are those of the same capture without the offset, and the offset is reported.
TEST_F(ThdCaptureTest, DcOffsetIsTakenOutOfFindingTheTone)
{
  constexpr int R = 16000;
  Analyse analyse(mFolder);
  for (const double lead : {0.3, 2.3})
  {
    // A tone with a third harmonic 60 dB down and noise 100 dB down.
    std::vector<float> clean = Tone(R, 1000, 0.3, 13, lead);
    std::mt19937 rng(3);
    std::normal_distribution<double> gauss(0.0, 3e-6);
    const size_t start = (size_t)std::llround(lead * R);
    for (size_t i = 0; i < clean.size(); ++i)
    {
      if (i >= start && i < start + 13 * (size_t)R) clean[i] += (float)(3e-4 * std::sin(6.0 * kPi * 1000.0 * (double)(i - start) / R));
      clean[i] += (float)gauss(rng);
    }
    std::vector<float> offset = clean;
    for (float& v : offset) v += 0.05f;
    const RunOutcome a = analyse(clean, R, "1000"), b = analyse(offset, R, "1000");
    ASSERT_EQ(a.status, 0) << a.error;
    ASSERT_EQ(b.status, 0) << lead << ": " << b.error << " "
                           << (b.result.mCapture.mFailed.empty() ? "" : b.result.mCapture.mFailed[0].mMessage);
    EXPECT_NEAR(b.result.mCapture.mTrack.start / (double)R, lead, 1e-3) << lead;
    EXPECT_NEAR(b.result.mCapture.mPpm, 0.0, 0.5) << lead;
    for (int k : {1, 3})
      EXPECT_NEAR(20.0 * std::log10(b.result.mHarmonics[k - 1].mLevel), 20.0 * std::log10(a.result.mHarmonics[k - 1].mLevel),
                  0.01) << lead << " H" << k;
    EXPECT_NEAR(20.0 * std::log10(b.result.mThdN.Ratio()), 20.0 * std::log10(a.result.mThdN.Ratio()), 0.05) << lead;
    EXPECT_NEAR(b.result.mThdN.dcOffset, 0.05, 1e-4) << lead;
    const auto json = nlohmann::json::parse(ThdJsonReport(b.result, b.status));
    EXPECT_NEAR(json["capture"]["dc_offset"].get<double>(), 0.05, 1e-4);
  }
}

// A clock offset below the warning threshold still bends the harmonics left alone: harmonic k's
// phase turns k times as fast as the fundamental's, and the fundamental leaks into the
// harmonics' sums. By default the capture is resampled, and every figure reads as on one clock:
// H3 within 0.01 dB, no phantom H5. --no-drift-correct leaves it alone and says what it costs.
TEST_F(ThdCaptureTest, SmallClockOffsetsAreCorrectedByDefault)
{
  constexpr int R = 48000;
  auto capture = [&](double ppm) {
    std::vector<float> x = Tone(R, 1000, 0.3, 13, 0.5, 0.5, ppm);
    const double w = 2.0 * kPi * 1000.0 * (1.0 + ppm * 1e-6) / R;
    const size_t start = R / 2, n = (size_t)std::llround(13.0 * R / (1.0 + ppm * 1e-6));
    for (size_t i = 0; i < n; ++i) x[start + i] += (float)(3e-4 * std::sin(3.0 * w * (double)i + 0.5));
    return x;
  };
  Analyse analyse(mFolder);
  const RunOutcome locked = analyse(capture(0.0), R, "1000");
  ASSERT_EQ(locked.status, 0) << locked.error;
  EXPECT_FALSE(locked.result.mCapture.mDriftCorrected);
  const double h3 = 20.0 * std::log10(locked.result.mHarmonics[2].mLevel);
  const RunOutcome drifting = analyse(capture(1.5), R, "1000");
  ASSERT_EQ(drifting.status, 0) << drifting.error;
  EXPECT_TRUE(drifting.result.mCapture.mDriftCorrected);
  EXPECT_NEAR(drifting.result.mCapture.mPpm, 1.5, 0.05);
  EXPECT_NEAR(drifting.H1Db(), locked.H1Db(), 0.01);
  EXPECT_NEAR(20.0 * std::log10(drifting.result.mHarmonics[2].mLevel), h3, 0.01);
  // H5 is the float samples' rounding in both, 140 dB and more below the tone.
  EXPECT_LT(20.0 * std::log10(drifting.result.mHarmonics[4].mLevel), drifting.H1Db() - 140.0);

  const RunOutcome alone = analyse(capture(1.5), R, "1000", [](ThdOptions& o) { o.mNoDriftCorrect = true; });
  ASSERT_EQ(alone.status, 0) << alone.error;
  EXPECT_FALSE(alone.result.mCapture.mDriftCorrected);
  bool said = false;
  for (const std::string& w : alone.result.mWarnings) said |= w.find("--no-drift-correct") != std::string::npos;
  EXPECT_TRUE(said);
  // Left alone, the leaked fundamental stands where H5 should be: its phase is not shown.
  EXPECT_GT(20.0 * std::log10(alone.result.mHarmonics[4].mLevel), alone.H1Db() - 140.0);
  EXPECT_FALSE(alone.result.mHarmonics[4].mPhaseValid);
}

// --volume lands on the fader's grid of 0.02 dB: a level between its steps is measured at the
// nearest one, and a note says so.
TEST(ThdOptionsTest, VolumeOnTheFadersGrid)
{
  const struct { const char* arg; double db; bool note; } cases[] = {
    {"-4", -4.0, false}, {"-3.99", -4.0, true}, {"-7.34", -7.34, false}, {"-0.005", 0.0, true}, {"-19.975", -19.98, true}};
  for (const auto& c : cases)
  {
    std::vector<char*> argv{const_cast<char*>("thdmeasure"), const_cast<char*>("--volume"), const_cast<char*>(c.arg)};
    ThdOptions o;
    const ThdParsed p = ThdParseOptions((int)argv.size(), argv.data(), o);
    ASSERT_EQ(p.mExit, -1) << c.arg << ": " << p.mText;
    EXPECT_NEAR(o.mVolumeDb, c.db, 1e-12) << c.arg;
    EXPECT_EQ(!p.mWarnings.empty(), c.note) << c.arg;
    if (c.note) { EXPECT_NE(p.mWarnings[0].find("between the fader's steps"), std::string::npos) << p.mWarnings[0]; }
  }
}

// Refusals that say what is wrong: a file with no audio at all, the tone on the other channel,
// a header whose sample rate is not the samples', and harmonics at a 16-bit file's rounding.
TEST_F(ThdCaptureTest, RefusalsSayWhatIsWrong)
{
  constexpr int R = 48000;
  // A recorder that stopped before it finished its file: a header and no samples.
  const std::string empty = mFolder + "/empty.wav";
  {
    SF_INFO info{};
    info.samplerate = R;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(empty.c_str(), SFM_WRITE, &info);
    ASSERT_TRUE(f);
    sf_close(f);
  }
  ThdOptions o;
  o.mMode = EThdMode::kAnalyse;
  o.mCapture = empty;
  o.mFreqText = "1000";
  o.mNoCalibration = true;
  o.mDocumentsFolder = mFolder;
  ThdResult r;
  std::string error;
  EXPECT_EQ(ThdRunMeasurement(o, r, nullptr, &error), 1);
  EXPECT_NE(error.find("no audio in the file"), std::string::npos) << error;

  // The tone on the right channel, the left one silent.
  const std::vector<float> tone = Tone(R, 1000, 0.3, 13, 0.5);
  std::vector<float> frames(2 * tone.size(), 0.0f);
  for (size_t i = 0; i < tone.size(); ++i) frames[2 * i + 1] = tone[i];
  const std::string right = mFolder + "/right.wav";
  {
    SF_INFO info{};
    info.samplerate = R;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(right.c_str(), SFM_WRITE, &info);
    ASSERT_TRUE(f);
    sf_writef_float(f, frames.data(), (sf_count_t)tone.size());
    sf_close(f);
  }
  o.mCapture = right;
  r = ThdResult{};
  EXPECT_EQ(ThdRunMeasurement(o, r, nullptr, &error), 3);
  ASSERT_FALSE(r.mCapture.mFailed.empty());
  EXPECT_NE(r.mCapture.mFailed[0].mMessage.find("the second channel carries a 1000.0 Hz tone: run with --input right"),
            std::string::npos) << r.mCapture.mFailed[0].mMessage;

  // 48 kHz samples in a file that says 44.1 kHz: the tone reads at 918.75 Hz.
  Analyse analyse(mFolder);
  const RunOutcome relabelled = analyse(Tone(R, 1000, 0.3, 13, 0.5), 44100, "1000");
  EXPECT_EQ(relabelled.status, 3);
  ASSERT_TRUE(relabelled.Failed("frequency"));
  EXPECT_NE(relabelled.result.mCapture.mFailed[0].mMessage.find("the sample rate looks wrong; the file says 44100 Hz but "
                                                                 "its samples seem to be at 48000 Hz"),
            std::string::npos) << relabelled.result.mCapture.mFailed[0].mMessage;

  // A quiet tone in 16 bits: its harmonics are the format's rounding, and the report says so;
  // a loud one with a real harmonic is the device's.
  for (const double level : {0.001, 0.3})
  {
    std::vector<float> x = Tone(R, 1000, level, 13, 0.5);
    if (level > 0.01)
      for (size_t i = R / 2; i < R / 2 + 13 * (size_t)R; ++i)
        x[i] += (float)(3e-4 * std::sin(6.0 * kPi * 1000.0 * (double)(i - R / 2) / R));
    const std::string path = mFolder + "/sixteen.wav";
    SF_INFO info{};
    info.samplerate = R;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_TRUE(f);
    sf_writef_float(f, x.data(), (sf_count_t)x.size());
    sf_close(f);
    o.mCapture = path;
    r = ThdResult{};
    ASSERT_EQ(ThdRunMeasurement(o, r, nullptr, &error), 0) << error;
    bool said = false;
    for (const std::string& w : r.mWarnings) said |= w.find("the THD is the file format's") != std::string::npos;
    EXPECT_EQ(said, level < 0.01) << level;
  }
}

// The command line: frequencies and rates outside what the meter and a converter take are
// refused like the other ranges, and an option never takes the next option as its value.
TEST(ThdOptionsTest, RangesAndMissingValues)
{
  const struct { std::vector<const char*> args; int exit; const char* says; } cases[] = {
    {{"--freq", "19"}, 2, "--freq wants a whole number of Hz from 20 to 20000"},
    {{"--freq", "20001"}, 2, "from 20 to 20000"},
    {{"--freq", "20000"}, -1, nullptr},
    {{"--rate", "4000"}, 2, "--rate wants a whole number of Hz from 8000 to 1536000"},
    {{"--analyse", "--quiet"}, 2, "--analyse needs a value before the next option, --quiet"},
    {{"--csv", "--json", "--sweep-freq", "20:20000:3"}, 2, "--csv needs a value"},
    {{"--volume", "-4", "--quiet"}, -1, nullptr},
    {{"--analyse", "a.wav", "--quiet", "--json"}, -1, nullptr},
  };
  for (const auto& c : cases)
  {
    std::vector<char*> argv{const_cast<char*>("thdmeasure")};
    for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
    ThdOptions o;
    const ThdParsed p = ThdParseOptions((int)argv.size(), argv.data(), o);
    EXPECT_EQ(p.mExit, c.exit) << c.args[0] << " " << c.args[1] << ": " << p.mText;
    if (c.says) { EXPECT_NE(p.mText.find(c.says), std::string::npos) << p.mText; }
    if (c.exit == -1) { EXPECT_TRUE(p.mWarnings.empty()) << p.mWarnings[0]; }
  }
}
