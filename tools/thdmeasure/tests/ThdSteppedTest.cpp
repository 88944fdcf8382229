// Sweeps through real hardware, with the hardware played by the test: the stepped tone file
// is passed through a processed chain (a device, gain, latency, leading silence, noise, and a
// round trip through 44.1 kHz), and the recording's analysis must read every step as the
// simulated loop does. Damaged recordings lose exactly the steps that are damaged, each with
// its reason.
#include "ThdSteppedTone.h"
#include "ThdTestFolder.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {
constexpr int kRate = 48000;
// Harmonics are compared from 10 dB above the chain's noise (-110 dBFS) on.
constexpr double kCompareDbfs = -100.0;

std::vector<float> ReadChannel(const std::string& path, int channel, int* rate = nullptr)
{
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f) return {};
  std::vector<float> frames((size_t)info.frames * (size_t)info.channels);
  const sf_count_t got = sf_readf_float(f, frames.data(), info.frames);
  sf_close(f);
  if (rate) *rate = info.samplerate;
  std::vector<float> x((size_t)got);
  for (size_t i = 0; i < x.size(); ++i) x[i] = frames[i * (size_t)info.channels + (size_t)std::min(channel, info.channels - 1)];
  return x;
}

bool WriteMono(const std::string& path, const std::vector<float>& x, int rate)
{
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f) return false;
  const bool ok = sf_writef_float(f, x.data(), (sf_count_t)x.size()) == (sf_count_t)x.size();
  return sf_close(f) == 0 && ok;
}

// libsoxr's very-high-quality resampler, as a converter pair or a recorder on its own clock.
// Fed in blocks as a stream is: handed a whole minute at once, the resampler's buffer grows
// by reallocation, which under AddressSanitizer copies it every time.
std::vector<float> Resample(const std::vector<float>& x, double from, double to)
{
  soxr_error_t err = nullptr;
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
  const soxr_quality_spec_t q = soxr_quality_spec(SOXR_VHQ, 0);
  soxr_t resampler = soxr_create(from, to, 1, &err, &io, &q, nullptr);
  if (!resampler || err) return {};
  std::vector<float> y;
  y.reserve((size_t)std::ceil((double)x.size() * to / from) + 16);
  std::vector<float> out(8192);
  for (size_t at = 0;;)
  {
    const size_t n = std::min<size_t>(4096, x.size() - at);
    size_t used = 0, made = 0;
    // At the end, a null input asks for what the resampler still holds.
    err = soxr_process(resampler, n ? x.data() + at : nullptr, n, &used, out.data(), out.size(), &made);
    if (err) break;
    at += used;
    y.insert(y.end(), out.begin(), out.begin() + (long)made);
    if (n == 0 && made == 0) break;
  }
  soxr_delete(resampler);
  return err ? std::vector<float>() : y;
}

// What stands between the tone file and the recording.
struct Chain
{
  ThdDeviceSettings mDevice;   // the device under test, its gain and its noise
  long long mLatency = 1234;   // frames of the chain
  double mLeadSeconds = 0.7;   // the recorder started this much before the player
  bool mRoundTrip = true;      // through 44.1 kHz and back
  double mRecorderPpm = 0.0;   // the recorder's clock against the player's
};

Chain TestChain(EThdDeviceModel model)
{
  Chain c;
  c.mDevice.mModel = model;
  c.mDevice.mPoly[0] = 0.02;
  c.mDevice.mPoly[1] = 0.01;
  c.mDevice.mPoly[2] = 0.01;
  c.mDevice.mPoly[3] = 0.02;
  c.mDevice.mDrive = 2.0;
  c.mDevice.mGainDb = -3.0;
  c.mDevice.mNoise = true;
  c.mDevice.mNoiseDbfs = -110.0;
  return c;
}

// Plays the tone file's left channel through the chain, sample by sample; the recorder's
// leading silence and the latency carry the chain's noise as well.
std::vector<float> Play(const std::string& tonePath, const Chain& chain)
{
  const std::vector<float> tone = ReadChannel(tonePath, 0);
  ThdDevice device(chain.mDevice);
  const long long pre = std::llround(chain.mLeadSeconds * kRate) + chain.mLatency;
  std::vector<float> y((size_t)pre + tone.size());
  for (size_t i = 0; i < y.size(); ++i)
    y[i] = (float)device.Process(i < (size_t)pre ? 0.0 : (double)tone[i - (size_t)pre]);
  if (chain.mRoundTrip) y = Resample(Resample(y, kRate, 44100), 44100, kRate);
  if (chain.mRecorderPpm != 0.0) y = Resample(y, kRate, kRate * (1.0 + chain.mRecorderPpm * 1e-6));
  return y;
}

double Db(double v) { return 20.0 * std::log10(v); }

class ThdSteppedTest : public ThdTestFolder
{
protected:
  ThdOptions Options() const
  {
    ThdOptions o;
    o.mNoCalibration = true;
    o.mDocumentsFolder = mFolder;
    o.mDenoising = 12;
    o.mRate = kRate;
    o.mJobs = 2;
    return o;
  }

  // Writes the stepped tone of the steps; the written points in `written`.
  std::string Write(const std::vector<ThdSweepStep>& steps, ThdSweepResult* written)
  {
    ThdOptions o = Options();
    o.mMode = EThdMode::kWriteTone;
    o.mToneFile = mFolder + "/stepped" + std::to_string(mFiles++) + ".wav";
    std::string error;
    EXPECT_EQ(ThdWriteSteppedTone(o, steps, *written, &error), 0) << error;
    return o.mToneFile;
  }

  // Writes a recording to a file of its own; empty when it cannot.
  std::string Record(const std::vector<float>& recording)
  {
    const std::string path = mFolder + "/take" + std::to_string(mFiles++) + ".wav";
    return WriteMono(path, recording, kRate) ? path : std::string();
  }

  // Analyses a recording; tweak changes the options first.
  int Analyse(const std::vector<float>& recording, const std::vector<ThdSweepStep>& steps, ThdSweepResult* result,
              std::string* error, std::function<void(ThdOptions&)> tweak = {})
  {
    ThdOptions o = Options();
    o.mMode = EThdMode::kAnalyse;
    o.mCapture = Record(recording);
    if (o.mCapture.empty())
    {
      *error = "cannot write the recording";
      return -1;
    }
    if (tweak) tweak(o);
    return ThdAnalyseSteppedCapture(o, steps, *result, nullptr, error);
  }

  // The simulated loop's reading of one step through the same device and gain.
  ThdResult Simulate(const ThdSweepStep& step, const ThdDeviceSettings& device)
  {
    ThdOptions o = Options();
    o.mFreqText = std::to_string(step.mHz);
    o.mVolumeDb = step.mVolumeDb;
    o.mDevice = device;
    ThdResult r;
    std::string error;
    EXPECT_EQ(ThdRunMeasurement(o, r, nullptr, &error), 0) << error;
    return r;
  }

  // Every point reads as the simulated loop within 0.1 dB: the harmonics that stand well
  // above the noise and within the round trip's passband, and the THD.
  void ExpectLikeSimulation(const ThdSweepResult& got, const ThdDeviceSettings& device)
  {
    std::vector<ThdResult> sims;
    for (const ThdSweepPoint& p : got.mPoints) sims.push_back(Simulate(p.mStep, device));
    ExpectLike(got, sims);
  }

  void ExpectLike(const ThdSweepResult& got, const std::vector<ThdResult>& sims)
  {
    ASSERT_EQ(got.mPoints.size(), sims.size());
    for (size_t i = 0; i < sims.size(); ++i)
    {
      const ThdSweepPoint& p = got.mPoints[i];
      const ThdResult& sim = sims[i];
      const std::string name = std::to_string(p.mStep.mHz) + " Hz " + std::to_string(p.mStep.mVolumeDb) + " dB";
      ASSERT_EQ(p.mStatus, 0) << name << ": " << p.mError
                              << (p.mResult.mCapture.mFailed.empty() ? "" : p.mResult.mCapture.mFailed[0].mMessage);
      ASSERT_TRUE(p.mResult.mMeasured) << name;
      ASSERT_EQ(sim.mFrequency, p.mResult.mFrequency) << name;
      ASSERT_EQ(sim.mAmplitude, p.mResult.mAmplitude) << name;
      int compared = 0;
      for (int k = 0; k < IThdMeter::kHarmonics; ++k)
      {
        const ThdHarmonic& h = p.mResult.mHarmonics[k];
        const ThdHarmonic& s = sim.mHarmonics[k];
        ASSERT_EQ(h.mMeasured, s.mMeasured) << name << " H" << k + 1;
        if (!s.mMeasured || Db(s.mLevel) < kCompareDbfs || s.mHz > 19000) continue;
        EXPECT_NEAR(Db(h.mLevel), Db(s.mLevel), 0.1) << name << " H" << k + 1;
        ++compared;
      }
      EXPECT_GE(compared, 2) << name;
      ASSERT_EQ(p.mResult.mThdValid, sim.mThdValid) << name;
      if (sim.mThdValid) { EXPECT_NEAR(Db(p.mResult.mThdPercent), Db(sim.mThdPercent), 0.1) << name; }
    }
  }

  int mFiles = 0;
};

std::vector<ThdSweepStep> FrequencySteps()
{
  std::vector<ThdSweepStep> steps;
  for (int hz : {50, 140, 400, 1000, 2000, 3600}) steps.push_back({hz, -6.0});
  return steps;
}

std::vector<ThdSweepStep> LevelSteps()
{
  std::vector<ThdSweepStep> steps;
  for (double db : {-20.0, -15.0, -10.0, -5.0, 0.0}) steps.push_back({1000, db});
  return steps;
}

// Where a step's tone starts in the recording of a chain without clock offset.
long long ExpectedStart(const ThdSweepPoint& written, const Chain& chain)
{
  return written.mStepStart + std::llround(chain.mLeadSeconds * kRate) + chain.mLatency;
}
}  // namespace

// The file: lead-in, then every step's whole run, each exactly the tone a single --write-tone
// of the step writes, with the gaps between them silent.
TEST_F(ThdSteppedTest, WrittenSequenceIsTheMetersOwnToneStepByStep)
{
  const std::vector<ThdSweepStep> steps = {{1000, -10.0}, {250, -20.0}, {4000, 0.0}};
  ThdSweepResult written;
  const std::string path = Write(steps, &written);
  ASSERT_EQ(written.mPoints.size(), steps.size());
  const long long run = 13LL * kRate, gap = std::llround(kThdSteppedGapSeconds * kRate);
  const long long lead = std::llround(kThdSteppedLeadSeconds * kRate);
  int rate = 0;
  const std::vector<float> left = ReadChannel(path, 0, &rate), right = ReadChannel(path, 1);
  EXPECT_EQ(rate, kRate);
  ASSERT_EQ((long long)left.size(), lead + 3 * run + 2 * gap + lead);
  for (size_t i = 0; i < steps.size(); ++i)
  {
    const ThdSweepPoint& p = written.mPoints[i];
    EXPECT_EQ(p.mStatus, 0);
    EXPECT_EQ(p.mStepStart, lead + (long long)i * (run + gap)) << i;
    EXPECT_EQ(p.mResult.mToneFrames, run) << i;

    ThdOptions o = Options();
    o.mMode = EThdMode::kWriteTone;
    o.mToneFile = mFolder + "/single.wav";
    o.mFreqText = std::to_string(steps[i].mHz);
    o.mVolumeDb = steps[i].mVolumeDb;
    ThdResult single;
    std::string error;
    ASSERT_EQ(ThdRunMeasurement(o, single, nullptr, &error), 0) << error;
    const std::vector<float> one = ReadChannel(o.mToneFile, 0), oneRight = ReadChannel(o.mToneFile, 1);
    ASSERT_EQ((long long)one.size(), run);
    EXPECT_TRUE(std::equal(one.begin(), one.end(), left.begin() + p.mStepStart)) << i;
    EXPECT_TRUE(std::equal(oneRight.begin(), oneRight.end(), right.begin() + p.mStepStart)) << i;
    // The gap after the step (or the tail after the last) is silent.
    const auto after = left.begin() + p.mStepStart + run;
    const long long quiet = i + 1 < steps.size() ? gap : lead;
    EXPECT_TRUE(std::all_of(after, after + quiet, [](float v) { return v == 0.0f; })) << i;
  }
  EXPECT_TRUE(std::all_of(left.begin(), left.begin() + lead, [](float v) { return v == 0.0f; }));
}

// Files that cannot be written or read: status 1 with the file named.
TEST_F(ThdSteppedTest, UnusableFilesAreRefused)
{
  const std::vector<ThdSweepStep> steps = {{1000, -10.0}};
  ThdOptions o = Options();
  o.mToneFile = mFolder + "/no/such/folder/steps.wav";
  ThdSweepResult result;
  std::string error;
  EXPECT_EQ(ThdWriteSteppedTone(o, steps, result, &error), 1);
  EXPECT_NE(error.find("cannot write '" + o.mToneFile + "'"), std::string::npos) << error;
  o.mCapture = mFolder + "/missing.wav";
  error.clear();
  EXPECT_EQ(ThdAnalyseSteppedCapture(o, steps, result, nullptr, &error), 1);
  EXPECT_NE(error.find("cannot read '" + o.mCapture + "'"), std::string::npos) << error;
}

// THE test of the hardware path, as thdmeasure runs it: --sweep-freq with --write-tone, the
// file through a polynomial device with gain, latency, leading silence and noise, recorded
// through a 44.1 kHz round trip, and --sweep-freq with --analyse reads every point as the
// simulated sweep of the same device does; every step is found where the chain put it.
TEST_F(ThdSteppedTest, FrequencySweepThroughAProcessedChainReadsAsSimulated)
{
  const Chain chain = TestChain(EThdDeviceModel::kPolynomial);
  ThdOptions o = Options();
  o.mVolumeDb = -6.0;
  o.mSweep.mKind = EThdSweep::kFrequency;
  o.mSweep.mFrom = 50;
  o.mSweep.mTo = 3600;
  o.mSweep.mPoints = 6;
  std::string error;

  ThdOptions simulate = o;
  simulate.mDevice = chain.mDevice;
  ThdSweepResult simulated;
  ASSERT_EQ(ThdRunSweep(simulate, simulated, nullptr, &error), 0) << error;
  ASSERT_EQ(simulated.mPoints.size(), 6u);

  ThdOptions write = o;
  write.mMode = EThdMode::kWriteTone;
  write.mToneFile = mFolder + "/steps.wav";
  ThdSweepResult written;
  ASSERT_EQ(ThdRunSweep(write, written, nullptr, &error), 0) << error;
  ASSERT_EQ(written.mPoints.size(), 6u);

  std::vector<ThdSweepStep> steps;
  for (const ThdSweepPoint& p : simulated.mPoints) steps.push_back(p.mStep);
  ThdOptions analyse = o;
  analyse.mMode = EThdMode::kAnalyse;
  analyse.mCapture = Record(Play(write.mToneFile, chain));
  ThdSweepResult got;
  ASSERT_EQ(ThdRunSweep(analyse, got, nullptr, &error), 0) << error;
  ASSERT_EQ(got.mPoints.size(), 6u);
  EXPECT_EQ(got.mJobs, 2);
  std::vector<ThdResult> sims;
  for (size_t i = 0; i < steps.size(); ++i)
  {
    EXPECT_EQ(got.mPoints[i].mStep.mHz, written.mPoints[i].mStep.mHz);
    // Found within a period of the fundamental (the onset of a sine is its first sample above
    // a tenth of the peak).
    EXPECT_NEAR((double)got.mPoints[i].mStepStart, (double)ExpectedStart(written.mPoints[i], chain),
                (double)kRate / steps[i].mHz + 4) << i;
    EXPECT_TRUE(got.mPoints[i].mResult.mCapture.mFailed.empty()) << i;
    sims.push_back(simulated.mPoints[i].mResult);
  }
  ExpectLike(got, sims);
}

// A level sweep over 20 dB of the soft clipper through the same chain.
TEST_F(ThdSteppedTest, LevelSweepThroughAProcessedChainReadsAsSimulated)
{
  const std::vector<ThdSweepStep> steps = LevelSteps();
  ThdSweepResult written;
  const Chain chain = TestChain(EThdDeviceModel::kSoftClip);
  ThdSweepResult got;
  std::string error;
  ASSERT_EQ(Analyse(Play(Write(steps, &written), chain), steps, &got, &error), 0) << error;
  ExpectLikeSimulation(got, chain.mDevice);
  for (size_t i = 1; i < got.mPoints.size(); ++i)
    EXPECT_GT(got.mPoints[i].mResult.mThdPercent, got.mPoints[i - 1].mResult.mThdPercent) << i;
}

// Damaged recordings: each damage costs the steps it touches, with their reasons, and no
// other step.
TEST_F(ThdSteppedTest, DamagedRecordingsLoseOnlyTheDamagedSteps)
{
  const std::vector<ThdSweepStep> steps = LevelSteps();
  ThdSweepResult written;
  const std::string tone = Write(steps, &written);
  Chain chain = TestChain(EThdDeviceModel::kPolynomial);
  const std::vector<float> clean = Play(tone, chain);
  const long long run = 13LL * kRate;

  // The third step recorded too hot: its clipping check fails, and only its.
  {
    std::vector<float> hot = clean;
    const long long from = ExpectedStart(written.mPoints[2], chain);
    for (long long i = from; i < from + run; ++i) hot[(size_t)i] = std::clamp(8.0f * hot[(size_t)i], -1.0f, 1.0f);
    ThdSweepResult got;
    std::string error;
    EXPECT_EQ(Analyse(hot, steps, &got, &error), 3) << error;
    for (size_t i = 0; i < steps.size(); ++i)
    {
      const ThdSweepPoint& p = got.mPoints[i];
      if (i != 2)
      {
        EXPECT_EQ(p.mStatus, 0) << i << ": " << p.mError;
        continue;
      }
      EXPECT_EQ(p.mStatus, 3);
      EXPECT_FALSE(p.mResult.mMeasured);
      ASSERT_EQ(p.mResult.mCapture.mFailed.size(), 1u) << p.mResult.mCapture.mFailed[0].mMessage;
      EXPECT_EQ(p.mResult.mCapture.mFailed[0].mId, "clipping");
    }
    // --force measures it and keeps the verdict.
    ThdSweepResult forced;
    EXPECT_EQ(Analyse(hot, steps, &forced, &error, [](ThdOptions& o) { o.mForce = true; }), 0) << error;
    EXPECT_EQ(forced.mPoints[2].mStatus, 3);
    EXPECT_TRUE(forced.mPoints[2].mResult.mMeasured);
    EXPECT_TRUE(forced.mPoints[2].mResult.mChecksFailed);
    EXPECT_EQ(forced.mPoints[1].mStatus, 0);
    EXPECT_FALSE(forced.mPoints[1].mResult.mChecksFailed);
  }

  // Cut short in the middle of the fourth step: it is too short, the fifth is not there.
  {
    std::vector<float> cut(clean.begin(), clean.begin() + ExpectedStart(written.mPoints[3], chain) + run / 2);
    ThdSweepResult got;
    std::string error;
    EXPECT_EQ(Analyse(cut, steps, &got, &error), 3) << error;
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(got.mPoints[i].mStatus, 0) << i << ": " << got.mPoints[i].mError;
    EXPECT_EQ(got.mPoints[3].mStatus, 3);
    ASSERT_EQ(got.mPoints[3].mResult.mCapture.mFailed.size(), 1u);
    EXPECT_EQ(got.mPoints[3].mResult.mCapture.mFailed[0].mId, "too-short");
    // Told in the recording's own time.
    char from[32];
    std::snprintf(from, sizeof from, "from %.3f s on", got.mPoints[3].mStepStart / (double)kRate);
    EXPECT_NE(got.mPoints[3].mResult.mCapture.mFailed[0].mMessage.find(from), std::string::npos)
      << got.mPoints[3].mResult.mCapture.mFailed[0].mMessage;
    EXPECT_NEAR((double)got.mPoints[3].mStepStart, (double)ExpectedStart(written.mPoints[3], chain), kRate / 1000 + 4.0);
    EXPECT_EQ(got.mPoints[4].mStatus, 1);
    EXPECT_FALSE(got.mPoints[4].mResult.mMeasured);
    EXPECT_EQ(got.mPoints[4].mStepStart, -1);
    EXPECT_NE(got.mPoints[4].mError.find("step 5 (1000 Hz, 0.0 dB) not found: the recording ends at"), std::string::npos)
      << got.mPoints[4].mError;
  }

  // A step missing in the middle (the chain muted, its noise left): that step is not found,
  // the later ones are.
  {
    std::vector<float> muted = clean;
    const long long from = ExpectedStart(written.mPoints[1], chain);
    std::mt19937 rng(3);
    std::normal_distribution<float> noise(0.0f, (float)(std::pow(10.0, -110.0 / 20.0) / std::sqrt(2.0)));
    for (long long i = from; i < from + run; ++i) muted[(size_t)i] = noise(rng);
    ThdSweepResult got;
    std::string error;
    EXPECT_EQ(Analyse(muted, steps, &got, &error), 3) << error;
    for (size_t i = 0; i < steps.size(); ++i)
      EXPECT_EQ(got.mPoints[i].mStatus, i == 1 ? 1 : 0) << i << ": " << got.mPoints[i].mError;
    EXPECT_NE(got.mPoints[1].mError.find("no tone starts between"), std::string::npos) << got.mPoints[1].mError;
  }

  // A noisy chain (-80 dBFS) recorded after a stretch of digital silence: the zeros are no
  // noise floor, and every step is found where the chain put it.
  {
    Chain noisy = chain;
    noisy.mDevice.mNoiseDbfs = -80.0;
    std::vector<float> padded = Play(tone, noisy);
    std::fill(padded.begin(), padded.begin() + kRate / 2, 0.0f);
    ThdSweepResult got;
    std::string error;
    EXPECT_EQ(Analyse(padded, steps, &got, &error), 0) << error;
    for (size_t i = 0; i < steps.size(); ++i)
    {
      EXPECT_EQ(got.mPoints[i].mStatus, 0) << i << ": " << got.mPoints[i].mError;
      EXPECT_NEAR((double)got.mPoints[i].mStepStart, (double)ExpectedStart(written.mPoints[i], noisy), 4.0 + kRate / 1000) << i;
    }
  }

  // No tone at all: silence, or the chain's noise only.
  {
    ThdSweepResult got;
    std::string error;
    EXPECT_EQ(Analyse(std::vector<float>(clean.size(), 0.0f), steps, &got, &error), 1);
    EXPECT_NE(error.find("no step of the sweep found: the recording is silent"), std::string::npos) << error;
    std::mt19937 rng(5);
    std::normal_distribution<float> noise(0.0f, 0.01f);
    std::vector<float> hiss(clean.size());
    for (float& v : hiss) v = noise(rng);
    error.clear();
    EXPECT_EQ(Analyse(hiss, steps, &got, &error), 1);
    EXPECT_NE(error.find("no step of the sweep found: no tone of the sequence stands clear"), std::string::npos) << error;
  }
}

// A recorder 50 ppm off the player's clock: the offset builds up over the sequence, yet every
// step is found where it lies; left alone (--no-drift-correct) each step's clock check fails
// where the offset costs H1, and with drift correction (the default) every point reads as
// simulated.
TEST_F(ThdSteppedTest, RecorderClockOffIsFollowedStepByStep)
{
  const std::vector<ThdSweepStep> steps = FrequencySteps();
  ThdSweepResult written;
  const std::string tone = Write(steps, &written);
  Chain chain = TestChain(EThdDeviceModel::kPolynomial);
  chain.mRecorderPpm = 50.0;
  const std::vector<float> recording = Play(tone, chain);

  ThdSweepResult plain;
  std::string error;
  EXPECT_EQ(Analyse(recording, steps, &plain, &error, [](ThdOptions& o) { o.mNoDriftCorrect = true; }), 3) << error;
  for (size_t i = 0; i < steps.size(); ++i)
  {
    const ThdSweepPoint& p = plain.mPoints[i];
    const double expected = (double)ExpectedStart(written.mPoints[i], chain) * (1.0 + 50e-6);
    EXPECT_NEAR((double)p.mStepStart, expected, (double)kRate / steps[i].mHz + 4) << i;
    ASSERT_TRUE(p.mResult.mCapture.mClockKnown) << i;
    EXPECT_NEAR(p.mResult.mCapture.mPpm, -50.0, 1.0) << i;
    const bool costs = ThdDriftLossDb(steps[i].mHz, 50.0, 12) < -0.1;
    EXPECT_EQ(p.mStatus, costs ? 3 : 0) << i;
    for (const ThdCheck& c : p.mResult.mCapture.mFailed) EXPECT_EQ(c.mId, "clock-drift") << i;
  }

  ThdSweepResult corrected;
  ASSERT_EQ(Analyse(recording, steps, &corrected, &error), 0) << error;
  ExpectLikeSimulation(corrected, chain.mDevice);
}

// A recording of another sequence must not read as this sweep's: a level sweep's figures would
// carry the wrong levels. More steps than the sweep has, or steps longer than its own, refuse
// the analysis (status 3, nothing measured) unless forced, which measures and keeps the warning.
TEST_F(ThdSteppedTest, RecordingOfAnotherSequenceIsRefused)
{
  const std::vector<ThdSweepStep> steps = LevelSteps();
  ThdSweepResult written;
  const std::vector<float> recording = Play(Write(steps, &written), TestChain(EThdDeviceModel::kPolynomial));
  const std::vector<ThdSweepStep> fewer(steps.begin(), steps.begin() + 3);
  {
    ThdSweepResult got;
    std::string error;
    EXPECT_EQ(Analyse(recording, fewer, &got, &error), 3);
    EXPECT_NE(error.find("another step follows the last of this sweep's 3"), std::string::npos) << error;
    EXPECT_TRUE(got.mPoints.empty());
  }
  {
    ThdSweepResult got;
    std::string error;
    EXPECT_EQ(Analyse(recording, fewer, &got, &error, [](ThdOptions& o) { o.mForce = true; }), 0) << error;
    ASSERT_EQ(got.mPoints.size(), 3u);
    ASSERT_EQ(got.mWarnings.size(), 1u);
    EXPECT_NE(got.mWarnings[0].find("another step follows"), std::string::npos) << got.mWarnings[0];
  }

  // One tone of 20 s where this sweep's steps last 13 s (a sequence of longer steps), in a
  // recorder's noise.
  std::mt19937 random(7);
  std::normal_distribution<float> noise(0.0f, 1e-5f);
  std::vector<float> longTone((size_t)(21 * kRate));
  for (size_t i = 0; i < longTone.size(); ++i)
  {
    longTone[i] = noise(random);
    if (i >= (size_t)kRate / 2 && i < (size_t)(20.5 * kRate))
      longTone[i] += 0.3f * (float)std::sin(2.0 * 3.14159265358979323846 * 1000.0 * (double)i / kRate);
  }
  ThdSweepResult got;
  std::string error;
  EXPECT_EQ(Analyse(longTone, {{1000, -10.0}}, &got, &error), 3);
  EXPECT_NE(error.find("runs on past"), std::string::npos) << error;
}
