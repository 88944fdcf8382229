// Measuring below the interface's own distortion: a loop-back reference of a simulated audio
// interface (a DAC curve before the device, an ADC curve after it) is taken away from a
// measurement through a device, as vectors, and what is left must read as the device alone,
// with an uncertainty that says how far it can be trusted -- in the simulated loop, and
// through recordings the tool wrote, passed through the chain, resampled on another clock and
// analysed. References made another way are refused, and the reports carry every figure.
//
// The levels: a tone at -10 dB (A^2 = 0.1) through y = x + c3 x^3 comes back with H3 at
// c3 A^2 / 4 of the fundamental, at 180 degrees for c3 > 0. A device whose cubic term acts on
// its input d frames late turns its H3 by -3 w d: at 1 kHz and 48 kHz, 22.5 degrees a frame.
#include "ThdReferenceRun.h"
#include "ThdReport.h"
#include "ThdRun.h"
#include "ThdSweepReport.h"
#include "ThdTestFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {
constexpr double kSquare = 0.1;  // A^2 of the tone at -10 dB

// The cubic coefficient whose H3 lies `db` below the fundamental of the tone at -10 dB.
double Cubic(double db) { return 4.0 * std::pow(10.0, db / 20.0) / kSquare; }
// The square coefficient whose H2 lies `db` below it: H2 = c2 A / 2.
double Square(double db) { return 2.0 * std::pow(10.0, db / 20.0) / std::sqrt(kSquare); }

double Db(double v) { return 20.0 * std::log10(v); }

// The interface: H3 at -100 dB, half from each converter (-106.02 dB each, in phase).
ThdDeviceSettings Interface()
{
  ThdDeviceSettings d;
  d.mModel = EThdDeviceModel::kChain;
  d.mDac[1] = Cubic(-106.0206);
  d.mAdc[1] = Cubic(-106.0206);
  return d;
}

// The interface around a device of this curve (C2..C5) and lag.
ThdDeviceSettings Chain(const double device[4], int lag = 0)
{
  ThdDeviceSettings d = Interface();
  for (int i = 0; i < 4; ++i) d.mPoly[i] = device[i];
  d.mLag = lag;
  return d;
}

// The device by itself.
ThdDeviceSettings Alone(const double device[4], int lag = 0)
{
  ThdDeviceSettings d;
  d.mModel = EThdDeviceModel::kPolynomial;
  for (int i = 0; i < 4; ++i) d.mPoly[i] = device[i];
  d.mLag = lag;
  return d;
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

std::vector<float> ReadChannel(const std::string& path, int channel)
{
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f) return {};
  std::vector<float> frames((size_t)info.frames * (size_t)info.channels);
  const sf_count_t got = sf_readf_float(f, frames.data(), info.frames);
  sf_close(f);
  std::vector<float> x((size_t)got);
  for (size_t i = 0; i < x.size(); ++i) x[i] = frames[i * (size_t)info.channels + (size_t)channel];
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

// libsoxr's very-high-quality resampler in blocks: a recorder on a clock of its own.
std::vector<float> Resample(const std::vector<float>& x, double from, double to)
{
  soxr_error_t err = nullptr;
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
  const soxr_quality_spec_t q = soxr_quality_spec(SOXR_VHQ, 0);
  soxr_t resampler = soxr_create(from, to, 1, &err, &io, &q, nullptr);
  if (!resampler || err) return {};
  std::vector<float> y, out(8192);
  for (size_t at = 0;;)
  {
    const size_t n = std::min<size_t>(4096, x.size() - at);
    size_t used = 0, made = 0;
    err = soxr_process(resampler, n ? x.data() + at : nullptr, n, &used, out.data(), out.size(), &made);
    if (err) break;
    at += used;
    y.insert(y.end(), out.begin(), out.begin() + (long)made);
    if (n == 0 && made == 0) break;
  }
  soxr_delete(resampler);
  return err ? std::vector<float>() : y;
}

class ThdReferenceTest : public ThdTestFolder
{
protected:
  ThdOptions Options(const ThdDeviceSettings& device) const
  {
    ThdOptions o;
    o.mFreqText = "1000";
    o.mVolumeDb = -10.0;
    o.mDoubleBuffers = true;
    o.mNoCalibration = true;
    o.mDocumentsFolder = mFolder;
    o.mDevice = device;
    o.mJobs = 2;
    return o;
  }

  std::string Path(const std::string& name) const { return mFolder + "/" + name; }

  // A single run, as the command line makes it.
  ThdResult Run(const ThdOptions& o)
  {
    ThdResult r;
    std::string error;
    EXPECT_EQ(ThdRunMeasurement(o, r, nullptr, &error), 0) << error;
    return r;
  }

  // Measures with o and writes the result as the reference `name`; returns its path.
  std::string SaveReference(ThdOptions o, const std::string& name)
  {
    o.mSaveReference = Path(name);
    const ThdResult r = Run(o);
    std::string error;
    EXPECT_TRUE(ThdSaveReference(o, {&r}, &error)) << error;
    return o.mSaveReference;
  }

  // Reads the references as the command line does, before the run; the status of that.
  int Load(ThdOptions& o, const std::vector<std::string>& references, std::string* error)
  {
    o.mReferences = references;
    auto set = std::make_shared<ThdReferenceSet>();
    const int status = ThdLoadReferences(o, set.get(), error);
    if (status == 0) o.mReferenceSet = set;
    return status;
  }

  // A run compensated by the references.
  ThdResult Compensated(ThdOptions o, const std::vector<std::string>& references)
  {
    std::string error;
    EXPECT_EQ(Load(o, references, &error), 0) << error;
    ThdResult r = Run(o);
    EXPECT_TRUE(r.mCompensation.mApplied);
    EXPECT_TRUE(r.mCompensation.mPossible) << r.mCompensation.mWhyNot;
    return r;
  }

  static const ThdCompensatedHarmonic& H(const ThdResult& r, int k) { return r.mCompensation.mHarmonics[k - 2]; }
};

// A device with H3 at -110 dB behind an interface with H3 at -100 dB, the two at 0 to 247.5
// degrees from each other: the measured H3 is anything from -103.3 to -97.6 dB, the
// compensated one the device's own within 0.5 dB (a scalar subtraction of levels would miss it
// by up to 10 dB). The device's gain (-0.3 dB here, the interface's DAC alone then) is taken
// out with the fundamental.
TEST_F(ThdReferenceTest, CompensatedHarmonicIsTheDeviceAlone)
{
  const std::string reference = SaveReference(Options(Interface()), "interface.json");
  const double device[4] = {0.0, Cubic(-110.0), 0.0, 0.0};
  for (int lag : {0, 3, 5, 8, 11})
  {
    SCOPED_TRACE("lag " + std::to_string(lag));
    const ThdResult alone = Run(Options(Alone(device, lag)));
    const ThdResult r = Compensated(Options(Chain(device, lag)), {reference});
    const ThdCompensatedHarmonic& h3 = H(r, 3);
    ASSERT_TRUE(h3.mIsFigure) << Db(h3.mCompensated) << " against " << Db(h3.mUncertainty);
    EXPECT_NEAR(Db(alone.mHarmonics[2].mLevel), -120.0, 0.01);
    EXPECT_NEAR(Db(h3.mCompensated), Db(alone.mHarmonics[2].mLevel), 0.5);
    EXPECT_LT(h3.mUncertainty, 0.01 * h3.mCompensated);
    EXPECT_GT(std::fabs(Db(h3.mMeasuredLevel) - Db(alone.mHarmonics[2].mLevel)), 6.5);
    EXPECT_NEAR(Db(h3.mReferenceLevel), -110.0, 0.01);
    EXPECT_NEAR(r.mCompensation.mGainDb, 0.0, 0.01);
    // The THD holds H3 alone, as the device's does.
    ASSERT_TRUE(r.mCompensation.mThdIsFigure);
    EXPECT_NEAR(Db(r.mCompensation.mThdCompensated), Db(alone.mThdPercent / 100.0), 0.5);
  }

  // An interface whose distortion is all before the device: its share of the fundamental
  // passes a device with gain unchanged.
  ThdDeviceSettings dacOnly = Interface();
  dacOnly.mAdc[1] = 0.0;
  dacOnly.mDac[1] = Cubic(-100.0);
  const std::string dacReference = SaveReference(Options(dacOnly), "dac.json");
  ThdDeviceSettings chain = dacOnly;
  chain.mPoly[1] = device[1];
  chain.mLag = 5;
  chain.mGainDb = -0.3;
  ThdDeviceSettings alone = Alone(device, 5);
  alone.mGainDb = -0.3;
  const ThdResult r = Compensated(Options(chain), {dacReference});
  EXPECT_NEAR(r.mCompensation.mGainDb, -0.3, 0.01);
  EXPECT_NEAR(Db(H(r, 3).mCompensated), Db(Run(Options(alone)).mHarmonics[2].mLevel), 0.5);
  EXPECT_TRUE(r.mWarnings.empty()) << r.mWarnings[0];
}

// A device without H3 (H2 only, or nothing at all): the compensated H3 is no figure but an
// upper bound at the uncertainty, never above it; the device's H2 reads as it is.
TEST_F(ThdReferenceTest, AbsentHarmonicIsAnUpperBound)
{
  const std::string reference = SaveReference(Options(Interface()), "interface.json");
  const double h2Only[4] = {Square(-100.0), 0.0, 0.0, 0.0}, wire[4] = {0.0, 0.0, 0.0, 0.0};
  for (const double* device : {h2Only, wire})
  {
    SCOPED_TRACE(device == wire ? "a wire" : "H2 only");
    const ThdResult r = Compensated(Options(Chain(device)), {reference});
    for (int k = 3; k <= 5; ++k)
    {
      const ThdCompensatedHarmonic& h = H(r, k);
      EXPECT_FALSE(h.mIsFigure) << "H" << k << " at " << Db(h.mCompensated);
      EXPECT_LE(h.mUpperBound, h.mUncertainty * (1.0 + 1e-12)) << "H" << k;
      EXPECT_LT(Db(h.mUncertainty), -150.0) << "H" << k;  // 64-bit buffers leave little to doubt
    }
    if (device == h2Only)
    {
      ASSERT_TRUE(H(r, 2).mIsFigure);
      EXPECT_NEAR(Db(H(r, 2).mCompensated), Db(Run(Options(Alone(device))).mHarmonics[1].mLevel), 0.5);
    }
    else
    {
      EXPECT_FALSE(H(r, 2).mIsFigure);
      EXPECT_FALSE(r.mCompensation.mThdIsFigure);
      EXPECT_LE(r.mCompensation.mThdUpperBound, r.mCompensation.mThdUncertainty * (1.0 + 1e-12));
    }
    const std::string text = TextReport(r);
    char bound[64];
    std::snprintf(bound, sizeof bound, "< %.2f dBFS", Db(H(r, 3).mUpperBound));
    EXPECT_NE(text.find(bound), std::string::npos) << text;
  }
}

// Noise: the uncertainty comes from both captures' noise near each harmonic, and a harmonic
// that noise alone makes is never a figure. White noise of RMS s leaves s sqrt(2 / (S K)) on
// each quadrature of a level averaged over K seconds of S frames; the residual tells it
// within a few per cent.
TEST_F(ThdReferenceTest, NoiseSetsTheUncertainty)
{
  ThdDeviceSettings noisy = Interface();
  noisy.mNoise = true;
  noisy.mNoiseDbfs = -110.0;
  ThdOptions o = Options(noisy);
  const ThdResult reference = Run(o);
  const double sigma = std::pow(10.0, -110.0 / 20.0) * std::sqrt(0.5);
  const double expected = sigma * std::sqrt(2.0 / (48000.0 * 12.0));
  for (int k = 1; k <= 5; ++k)
    EXPECT_NEAR(reference.mHarmonics[k - 1].mNoise / expected, 1.0, 0.1) << "H" << k;
  const std::string path = SaveReference(o, "noisy.json");

  const double wire[4] = {0.0, 0.0, 0.0, 0.0}, device[4] = {0.0, Cubic(-110.0), 0.0, 0.0};
  int figures = 0, atUncertainty = 0;
  for (int seed = 2; seed < 8; ++seed)
  {
    ThdDeviceSettings chain = Chain(wire);
    chain.mNoise = true;
    chain.mNoiseDbfs = -110.0;
    chain.mSeed = (uint64_t)seed;
    const ThdResult r = Compensated(Options(chain), {path});
    for (int k = 2; k <= 5; ++k)
    {
      figures += H(r, k).mIsFigure;
      // Three standard deviations of both captures' noise together.
      EXPECT_NEAR(H(r, k).mUncertainty / (3.0 * std::sqrt(2.0) * expected), 1.0, 0.15) << "H" << k << ", seed " << seed;
      // Noise stays within U 99% of the time: then the bound is U itself. Beyond U (1% of the
      // time: one of these 24 draws, H2 with seed 3, lands 0.1% past it) it is the magnitude
      // plus U, which covers the magnitude and stays below 3U.
      atUncertainty += H(r, k).mUpperBound == H(r, k).mUncertainty;
      EXPECT_GE(H(r, k).mUpperBound, H(r, k).mCompensated) << "H" << k << ", seed " << seed;
      EXPECT_LT(H(r, k).mUpperBound, 3.0 * H(r, k).mUncertainty) << "H" << k << ", seed " << seed;
    }
    chain.mPoly[1] = device[1];
    const ThdResult d = Compensated(Options(chain), {path});
    ASSERT_TRUE(H(d, 3).mIsFigure);
    EXPECT_NEAR(Db(H(d, 3).mCompensated), -120.0, 0.5) << "seed " << seed;
  }
  EXPECT_EQ(figures, 0);
  EXPECT_GE(atUncertainty, 22);
}

// Two captures of an interface that changed between them (its DAC's H3 by 10%) make the
// spread count: the uncertainty covers the difference that one capture's noise bound does not.
TEST_F(ThdReferenceTest, TwoReferencesGiveTheSpread)
{
  ThdDeviceSettings first = Interface(), second = Interface();
  second.mDac[1] *= 1.1;
  const std::string a = SaveReference(Options(first), "a.json"), b = SaveReference(Options(second), "b.json");
  const double device[4] = {0.0, Cubic(-110.0), 0.0, 0.0};
  ThdDeviceSettings chain = second;
  chain.mPoly[1] = device[1];
  chain.mLag = 5;
  const double alone = Db(Run(Options(Alone(device, 5))).mHarmonics[2].mLevel);

  const ThdResult one = Compensated(Options(chain), {a});
  const ThdResult two = Compensated(Options(chain), {a, b});
  EXPECT_EQ(one.mCompensation.mCaptures, 1);
  EXPECT_EQ(two.mCompensation.mCaptures, 2);
  // One stale capture: its noise bound is far smaller than what it misses by.
  const double missOne = std::fabs(H(one, 3).mCompensated - std::pow(10.0, alone / 20.0));
  EXPECT_GT(missOne, 10.0 * H(one, 3).mUncertainty);
  // Two: the spread makes the uncertainty cover the miss of their mean.
  const double missTwo = std::fabs(H(two, 3).mCompensated - std::pow(10.0, alone / 20.0));
  EXPECT_LT(missTwo, H(two, 3).mUncertainty);
  EXPECT_GT(H(two, 3).mUncertainty, 100.0 * H(one, 3).mUncertainty);
  EXPECT_NE(TextReport(one).find("1 capture of the interface: the noise bound only, not the interface's repeatability"),
            std::string::npos);
  EXPECT_NE(TextReport(two).find("2 captures of the interface: their spread counts"), std::string::npos);
}

// A reference made another way is refused before anything is measured, saying what differs;
// one that is no reference at all likewise, with status 1.
TEST_F(ThdReferenceTest, AnotherSetUpIsRefused)
{
  const std::string reference = SaveReference(Options(Interface()), "interface.json");
  const struct
  {
    const char* name;
    std::function<void(ThdOptions&)> change;
    const char* says;
  } cases[] = {
    {"frequency", [](ThdOptions& o) { o.mFreqText = "997"; }, "was measured at 1000 Hz and this run at 997 Hz"},
    {"rate", [](ThdOptions& o) { o.mRate = 44100; }, "was captured at 48000 Hz and this run at 44100 Hz"},
    {"level", [](ThdOptions& o) { o.mVolumeDb = -6.0; }, "was played at -10.00 dB and this run at -6.00 dB"},
    {"denoising", [](ThdOptions& o) { o.mDenoising = 120; }, "was averaged over 12 s and this run over 120 s"},
    {"sweep",
     [](ThdOptions& o) {
       o.mSweep.mKind = EThdSweep::kFrequency;
       o.mSweep.mFrom = 100;
       o.mSweep.mTo = 1000;
       o.mSweep.mPoints = 3;
     },
     "was made for a single run and this run is a frequency sweep of 100-1000 Hz in 3 points"},
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.name);
    ThdOptions o = Options(Interface());
    c.change(o);
    std::string error;
    EXPECT_EQ(Load(o, {reference}, &error), 2);
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
    EXPECT_NE(error.find(reference), std::string::npos) << error;
  }
  // A second reference of another set-up spoils the pair.
  ThdOptions other = Options(Interface());
  other.mFreqText = "997";
  const std::string at997 = SaveReference(other, "997.json");
  ThdOptions o = Options(Interface());
  std::string error;
  EXPECT_EQ(Load(o, {reference, at997}, &error), 2);
  EXPECT_NE(error.find("997.json"), std::string::npos) << error;
  EXPECT_EQ(Load(o, {Path("missing.json")}, &error), 1);
  EXPECT_NE(error.find("cannot open the reference file"), std::string::npos) << error;
}

// The file: what is written reads back the same, figure for figure; anything else is refused
// with a reason that names the file and what is wrong.
TEST_F(ThdReferenceTest, FileReadsBackAndRefusesOtherDocuments)
{
  ThdDeviceSettings noisy = Interface();
  noisy.mNoise = true;
  noisy.mNoiseDbfs = -120.0;
  const std::string path = SaveReference(Options(noisy), "interface.json");
  ThdReferenceFile file;
  std::string error;
  ASSERT_TRUE(ThdReadReferenceFile(path, &file, &error)) << error;
  EXPECT_EQ(ThdReferenceJson(file), [&] {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }());
  ASSERT_EQ(file.mPoints.size(), 1u);
  EXPECT_EQ(file.mPoints[0].mHz, 1000);
  EXPECT_EQ(file.mPlan.mSampleRate, 48000.0);
  EXPECT_EQ(file.mPlan.mDenoising, 12);
  EXPECT_GT(file.mPoints[0].mCapture.mHarmonics[1].mNoise, 0.0);

  const std::string good = ThdReferenceJson(file);
  auto edit = [&](const std::string& from, const std::string& to) {
    std::string s = good;
    const size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? s : s.replace(at, from.size(), to);
  };
  const struct
  {
    std::string text;
    const char* says;
  } bad[] = {
    {"", "not a JSON object"},
    {"[1, 2]", "not a JSON object"},
    {good.substr(0, good.size() / 2), "not a JSON object"},
    {edit("interface reference", "calibration"), "its \"format\" is not"},
    {edit("\"version\": 1", "\"version\": 2"), "format version 2; this thdmeasure reads version 1"},
    {edit("\"version\": 1", "\"version\": \"1\""), "gives no version"},
    {edit("\"sample_rate\": 48000.0", "\"sample_rate\": -1"), "\"sample_rate\""},
    {edit("\"denoising_seconds\": 12", "\"denoising_seconds\": 13"), "\"denoising_seconds\" of 12, 120 or 1200"},
    {edit("\"sweep\": null", "\"sweep\": {\"kind\": \"time\"}"), "neither null nor of kind"},
    {edit("\"frequency_hz\": 1000", "\"frequency_hz\": 1000.5"), "point 1 gives no whole \"frequency_hz\""},
    {edit("\"volume_db\": -10.0", "\"volume_db\": 3"), "point 1 gives no \"volume_db\""},
    {edit("\"harmonic\": 3", "\"harmonic\": 4"), "\"harmonics\" 2 to 5 in order"},
    {edit("\"phase_deg\": ", "\"phase_deg\": 1e9, \"x\": "), "H2, gives no \"phase_deg\" of -180..180"},
    {edit("\"measured\": true", "\"measured\": 1"), "H2, does not say whether it was \"measured\""},
    {edit("\"rounding\"", "\"round\""), "gives no \"rounding\""},
    {edit("\"level\": 0.3", "\"level\": -0.3"), "gives no \"fundamental\""},
  };
  for (const auto& b : bad)
  {
    ThdReferenceFile out;
    std::string why;
    EXPECT_FALSE(ThdParseReference(b.text, "x.json", &out, &why)) << b.text;
    EXPECT_NE(why.find(b.says), std::string::npos) << why;
    EXPECT_EQ(why.rfind("'x.json' ", 0), 0u) << why;
  }
}

// The reports: the text gives measured, reference and compensated levels, their uncertainty,
// the device gain assumed and that THD+N is not compensated; the JSON the same figures, a
// bound as null beside its upper bound.
TEST_F(ThdReferenceTest, ReportsCarryEveryFigure)
{
  const std::string reference = SaveReference(Options(Interface()), "interface.json");
  const double device[4] = {0.0, Cubic(-110.0), 0.0, 0.0};
  ThdDeviceSettings chain = Chain(device, 5);
  chain.mGainDb = 3.0;  // the interface's input sees the tone 3 dB louder than in the loop-back
  const ThdResult r = Compensated(Options(chain), {reference});
  EXPECT_NEAR(r.mCompensation.mGainDb, 3.0, 0.01);
  ASSERT_EQ(r.mWarnings.size(), 1u);
  EXPECT_NE(r.mWarnings[0].find("+3.00 dB from the reference's"), std::string::npos) << r.mWarnings[0];

  const std::string text = TextReport(r);
  for (const char* line : {"Compensated for the interface with ", "device gain assumed +3.00 dB",
                           "measured      reference   compensated", "THD+N is not compensated: noise does not subtract"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  // In 64-bit buffers H2, H4 and H5 of both captures lie at the arithmetic's residue: the block
  // prints them as below the rounding floor, never as a figure of -240 dBFS.
  const std::string block = text.substr(text.find("Compensated for the interface"));
  EXPECT_NE(block.find("  H4   4000 Hz     < -200 dBFS    < -200 dBFS "), std::string::npos) << block;
  for (size_t at = block.find("-2"); at != std::string::npos; at = block.find("-2", at + 1))
    EXPECT_FALSE(block.compare(at, 3, "-20") != 0 && std::isdigit((unsigned char)block[at + 2]) &&
                 std::isdigit((unsigned char)block[at + 3]) && block[at + 4] == '.')
      << block.substr(at, 10) << "\n" << block;

  const auto j = nlohmann::json::parse(ThdJsonReport(r, 0));
  const auto& c = j["compensation"];
  EXPECT_EQ(c["references"][0], reference);
  EXPECT_EQ(c["captures"], 1);
  EXPECT_EQ(c["repeatability_counted"], false);
  EXPECT_NEAR(c["device_gain_db"].get<double>(), 3.0, 0.01);
  EXPECT_EQ(c["thd_n_compensated"], false);
  for (int k = 2; k <= 5; ++k)
  {
    const auto& h = c["harmonics"][k - 2];
    const ThdCompensatedHarmonic& want = H(r, k);
    EXPECT_EQ(h["harmonic"], k);
    EXPECT_NEAR(h["measured_dbfs"].get<double>(), Db(want.mMeasuredLevel), 1e-9);
    EXPECT_NEAR(h["reference_dbfs"].get<double>(), Db(want.mReferenceLevel), 1e-9);
    EXPECT_NEAR(h["uncertainty_dbfs"].get<double>(), Db(want.mUncertainty), 1e-9);
    EXPECT_EQ(h["compensated_dbfs"].is_null(), !want.mIsFigure) << k;
    EXPECT_EQ(h["upper_bound_dbfs"].is_null(), want.mIsFigure) << k;
  }
  EXPECT_NEAR(c["harmonics"][1]["compensated_dbfs"].get<double>(), Db(H(r, 3).mCompensated), 1e-9);
  EXPECT_TRUE(c["harmonics"][0]["compensated_dbfs"].is_null());
  EXPECT_NEAR(c["thd"]["compensated"]["db"].get<double>(), Db(r.mCompensation.mThdCompensated), 1e-9);
  EXPECT_TRUE(c["thd"]["upper_bound"].is_null());
  for (const char* key : {"measured", "reference", "uncertainty"}) EXPECT_TRUE(c["thd"][key]["db"].is_number()) << key;
}

// The chain model: the DAC's curve acts on the tone as played, the ADC's on what the device's
// gain made of it; noise comes last.
TEST_F(ThdReferenceTest, ChainCurvesSitAroundTheDevice)
{
  const double c3 = Cubic(-100.0);
  const struct { const char* name; int curve; double gainDb; double h3Db; } cases[] = {
    {"DAC, unity gain", 0, 0.0, -100.0},
    {"DAC, -6 dB", 0, -6.0, -100.0},   // its share of the fundamental passes the gain
    {"ADC, unity gain", 1, 0.0, -100.0},
    {"ADC, -6 dB", 1, -6.0, -112.0},   // it sees the tone 6 dB lower: H3 by 2 dB per dB
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.name);
    ThdDeviceSettings d;
    d.mModel = EThdDeviceModel::kChain;
    (c.curve == 0 ? d.mDac : d.mAdc)[1] = c3;
    d.mGainDb = c.gainDb;
    const ThdResult r = Run(Options(d));
    EXPECT_NEAR(Db(r.mHarmonics[2].mLevel / r.mHarmonics[0].mLevel), c.h3Db, 0.01);
    EXPECT_NEAR(Db(r.mHarmonics[0].mLevel), -10.0 + c.gainDb, 0.01);
  }
}

// A sweep: a reference sweep with the same plan compensates point by point; the plot's data
// carry measured, reference and compensated THD, and the CSV every figure.
TEST_F(ThdReferenceTest, SweepsCompensatePointByPoint)
{
  ThdOptions sweep = Options(Interface());
  sweep.mSweep.mKind = EThdSweep::kFrequency;
  sweep.mSweep.mFrom = 100;
  sweep.mSweep.mTo = 8000;
  sweep.mSweep.mPoints = 4;
  ThdSweepResult loop;
  std::string error;
  ASSERT_EQ(ThdRunSweep(sweep, loop, nullptr, &error), 0) << error;
  ThdOptions save = sweep;
  save.mSaveReference = Path("sweep.json");
  std::vector<const ThdResult*> results;
  for (const ThdSweepPoint& p : loop.mPoints) results.push_back(&p.mResult);
  ASSERT_TRUE(ThdSaveReference(save, results, &error)) << error;

  const double device[4] = {0.0, Cubic(-110.0), 0.0, 0.0};
  ThdOptions measure = sweep;
  measure.mDevice = Chain(device, 5);
  ASSERT_EQ(Load(measure, {save.mSaveReference}, &error), 0) << error;
  ThdSweepResult got;
  ASSERT_EQ(ThdRunSweep(measure, got, nullptr, &error), 0) << error;
  ThdOptions aloneOptions = sweep;
  aloneOptions.mDevice = Alone(device, 5);
  ThdSweepResult alone;
  ASSERT_EQ(ThdRunSweep(aloneOptions, alone, nullptr, &error), 0) << error;
  ASSERT_EQ(got.mPoints.size(), 4u);
  for (size_t i = 0; i < got.mPoints.size(); ++i)
  {
    const ThdResult& r = got.mPoints[i].mResult;
    SCOPED_TRACE(std::to_string(got.mPoints[i].mStep.mHz) + " Hz");
    ASSERT_TRUE(r.mCompensation.mPossible) << r.mCompensation.mWhyNot;
    if (!r.mHarmonics[2].mMeasured) continue;  // 8 kHz: H3 above the band
    ASSERT_TRUE(H(r, 3).mIsFigure);
    EXPECT_NEAR(Db(H(r, 3).mCompensated), Db(alone.mPoints[i].mResult.mHarmonics[2].mLevel), 0.5);
  }

  const ThdPlotData plot = ThdSweepPlotData(got);
  ASSERT_EQ(plot.mSeries.size(), 5u);
  EXPECT_EQ(plot.mSeries[0].mName, "THD measured");
  EXPECT_EQ(plot.mSeries[2].mName, "THD of the interface");
  EXPECT_EQ(plot.mSeries[3].mName, "THD compensated");
  EXPECT_NEAR(plot.mSeries[3].mY[1], -110.0, 0.5);
  EXPECT_NEAR(plot.mSeries[2].mY[1], -100.0, 0.01);
  // At 8 kHz only H2 is measured, and the device makes none: the compensated THD is a bound.
  EXPECT_EQ(plot.mSeries[3].mMarks[3], EThdPlotMark::kUpperBound);
  EXPECT_EQ(plot.mSeries[3].mMarks[1], EThdPlotMark::kMeasured);

  // The CSV: the second point's row, cell by column name.
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(ThdSweepCsv(got));
  for (std::string line; std::getline(lines, line);)
  {
    rows.emplace_back();
    std::istringstream cells(line + ",");
    for (std::string cell; std::getline(cells, cell, ',');) rows.back().push_back(cell);
  }
  ASSERT_EQ(rows.size(), 5u);
  for (const char* column : {"device_gain_db", "ref_h3_dbfs", "comp_h3_dbfs", "comp_h3_bound_dbfs",
                             "comp_h3_uncertainty_dbfs", "ref_thd_db", "comp_thd_db", "comp_thd_bound_db",
                             "comp_thd_uncertainty_db"})
    EXPECT_NE(std::find(rows[0].begin(), rows[0].end(), column), rows[0].end()) << column;
  auto cell = [&](const std::string& name) {
    for (size_t i = 0; i < rows[0].size() && i < rows[2].size(); ++i)
      if (rows[0][i] == name) return rows[2][i];
    return std::string("?");
  };
  const ThdResult& second = got.mPoints[1].mResult;
  EXPECT_NEAR(std::stod(cell("comp_h3_dbfs")), Db(H(second, 3).mCompensated), 1e-9);
  EXPECT_NEAR(std::stod(cell("ref_h3_dbfs")), Db(H(second, 3).mReferenceLevel), 1e-9);
  EXPECT_NEAR(std::stod(cell("comp_h3_uncertainty_dbfs")), Db(H(second, 3).mUncertainty), 1e-9);
  EXPECT_EQ(cell("comp_h3_bound_dbfs"), "");
  EXPECT_NE(cell("comp_h2_bound_dbfs"), "");
  EXPECT_EQ(cell("comp_h2_dbfs"), "");
  EXPECT_NEAR(std::stod(cell("h3_dbfs")), Db(second.mHarmonics[2].mLevel), 1e-9);

  // Another plan is refused.
  ThdOptions other = measure;
  other.mSweep.mPoints = 5;
  other.mReferenceSet.reset();
  EXPECT_EQ(Load(other, {save.mSaveReference}, &error), 2);
  EXPECT_NE(error.find("in 4 points and this run is a frequency sweep of 100-8000 Hz in 5 points"), std::string::npos)
    << error;
}

// Through recordings: the tone the tool writes, played through the interface alone and
// through the interface and the device, each recorded by a recorder on a clock 30 ppm apart
// (libsoxr) after a round trip through 44.1 kHz, as 32-bit float WAV. The capture workflow
// corrects the clock before the compensation, and the compensated H3 reads as the device
// alone recorded the same way; a device without H3 reads as a bound at the uncertainty.
TEST_F(ThdReferenceTest, RecordingsThroughTheChain)
{
  ThdOptions write;
  write.mMode = EThdMode::kWriteTone;
  write.mToneFile = Path("tone.wav");
  write.mFreqText = "1000";
  write.mVolumeDb = -10.0;
  write.mNoCalibration = true;
  write.mDocumentsFolder = mFolder;
  {
    ThdResult r;
    std::string error;
    ASSERT_EQ(ThdRunMeasurement(write, r, nullptr, &error), 0) << error;
  }
  const std::vector<float> tone = ReadChannel(write.mToneFile, 0);
  ASSERT_FALSE(tone.empty());

  int takes = 0;
  auto record = [&](const ThdDeviceSettings& settings) {
    ThdDevice chain(settings);
    const size_t lead = 24000;
    std::vector<float> y(lead + tone.size() + 24000);
    for (size_t i = 0; i < y.size(); ++i)
      y[i] = (float)chain.Process(i >= lead && i - lead < tone.size() ? (double)tone[i - lead] : 0.0);
    y = Resample(Resample(y, 48000, 44100), 44100, 48000 * (1.0 + 30e-6));
    const std::string path = Path("take" + std::to_string(takes++) + ".wav");
    EXPECT_TRUE(WriteMono(path, y, 48000));
    ThdOptions o;
    o.mMode = EThdMode::kAnalyse;
    o.mCapture = path;
    o.mFreqText = "1000";
    o.mVolumeDb = -10.0;
    o.mNoCalibration = true;
    o.mDocumentsFolder = mFolder;
    return o;
  };

  ThdDeviceSettings interface = Interface();
  const ThdOptions loop = record(interface);
  const std::string reference = SaveReference(loop, "interface.json");
  {
    ThdReferenceFile file;
    std::string error;
    ASSERT_TRUE(ThdReadReferenceFile(reference, &file, &error)) << error;
    EXPECT_GT(file.mPoints[0].mCapture.mClockLeak, 0.0);
  }

  const double device[4] = {0.0, Cubic(-110.0), 0.0, 0.0}, h2Only[4] = {Square(-100.0), 0.0, 0.0, 0.0};
  const ThdResult alone = Run(record(Alone(device, 5)));
  const ThdResult r = Compensated(record(Chain(device, 5)), {reference});
  EXPECT_TRUE(r.mCapture.mDriftCorrected);
  EXPECT_NEAR(std::fabs(r.mCapture.mPpm), 30.0, 0.5);
  ASSERT_TRUE(H(r, 3).mIsFigure) << Db(H(r, 3).mCompensated) << " against " << Db(H(r, 3).mUncertainty);
  EXPECT_NEAR(Db(H(r, 3).mCompensated), Db(alone.mHarmonics[2].mLevel), 0.5);
  EXPECT_NEAR(Db(alone.mHarmonics[2].mLevel), -120.0, 0.1);

  const ThdResult none = Compensated(record(Chain(h2Only)), {reference});
  EXPECT_FALSE(H(none, 3).mIsFigure) << Db(H(none, 3).mCompensated);
  EXPECT_LE(H(none, 3).mUpperBound, H(none, 3).mUncertainty * (1.0 + 1e-12));
  ASSERT_TRUE(H(none, 2).mIsFigure);
  EXPECT_NEAR(Db(H(none, 2).mCompensated), -110.0, 0.5);

  // A recording at another rate is refused before it is measured.
  ThdOptions at44 = loop;
  at44.mCapture = Path("take44.wav");
  ASSERT_TRUE(WriteMono(at44.mCapture, Resample(ReadChannel(loop.mCapture, 0), 48000, 44100), 44100));
  std::string error;
  EXPECT_EQ(Load(at44, {reference}, &error), 2);
  EXPECT_NE(error.find("was captured at 48000 Hz and this run at 44100 Hz"), std::string::npos) << error;
}
}  // namespace
