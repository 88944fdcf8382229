// One run of thdmeasure, from the options to a filled ThdResult: the simulated loop, the tone
// file, or a capture checked and measured.

#include "ThdRun.h"

#include "ThdCaptureFile.h"
#include "ThdDevice.h"
#include "ThdEditorPanel.h"
#include "ThdFormat.h"
#include "ThdLevels.h"
#include "ThdLoopHost.h"
#include "ThdReferenceRun.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <cmath>
#include <memory>

void ThdFrontPanel::Apply(const ThdOptions& o)
{
  mMeter.SetParameterFromGUI(kParamOutput, o.mOutput);
  mMeter.from_GUI(kParamOutput);
  mMeter.SetParameterFromGUI(kParamInput, o.mInput);
  mMeter.from_GUI(kParamInput);
  mMeter.SetParameterFromGUI(kParamVolume, IThdMeter::VolumeFromDb(o.mVolumeDb));
  mMeter.from_GUI(kParamVolume);
  // Denoising is a host parameter as well: the host tells the meter of the change.
  mMeter.SetParameterFromGUI(kParamDenoising, IThdMeter::DenoisingValue(o.mDenoising));
  mMeter.OnParamChange(kParamDenoising);
  mMeter.SetFrequencyEntry(o.mFreqText.c_str());
  mMeter.from_GUI(kTagFrequencyEntry);
}

bool ThdFrontPanel::PressStart()
{
  mMeter.from_GUI(kParamStart);
  return mMeter.IsMeasuring() != 0;
}

namespace {
// The calibration the run uses: refused when it gives fewer than two points.
int SetUpCalibration(IThdMeter& meter, const ThdOptions& o, ThdResult& r, std::string* error)
{
  if (o.mNoCalibration)
  {
    meter.UseCalibrationFile(nullptr);
    return 0;
  }
  if (!o.mCalibration.empty())
  {
    if (!meter.UseCalibrationFile(o.mCalibration.c_str()))
    {
      *error = "cannot open calibration file '" + o.mCalibration + "'";
      return 1;
    }
    if (!meter.IsCalibrationLoaded())
    {
      *error = "calibration file '" + o.mCalibration + "' gives " + std::to_string(meter.GetCalibrationCount()) +
               " point(s); a calibration needs at least two frequency/level pairs";
      return 2;
    }
  }
  else if (!meter.IsCalibrationLoaded() && meter.GetCalibrationName()[0])
  {
    r.mWarnings.push_back(std::string("calibration file '") + meter.GetCalibrationName() + "' in " +
                          meter.GetDocumentsFolder() + " gives " + std::to_string(meter.GetCalibrationCount()) +
                          " point(s), fewer than two: measuring without calibration");
  }
  if (meter.IsCalibrationLoaded()) r.mCalibrationName = meter.GetCalibrationName();
  return 0;
}

// A harmonic's phase is told only where the harmonic stands clear of what else lands in its
// correlation sums:
//  - rounding: anything below a millionth of the fundamental (-120 dB) is taken for the
//    arithmetic's own residue (float buffers leave harmonics 150 dB and more below the tone);
//  - noise, where the THD+N analysis knows it: the spread the residual near harmonic k leaves
//    on each quadrature of its averaged level (mNoise) turns the harmonic's phase by about
//    spread / level radians, and the fundamental's, by its own spread, k times over. The
//    phase counts when that wander stays within kMaxPhaseSpread. Measured near each harmonic,
//    hum or a rising floor counts on the harmonics it lies by and on no others.
constexpr double kRoundingFloor = 1e-6;
// Harmonics within this factor (10 dB) of an integer format's rounding are taken for it.
constexpr double kFormatFloorMargin = 3.16;
constexpr double kMaxPhaseSpread = 0.05;  // radians, about 3 degrees
// A harmonic less than 10 dB above what the noise alone gives it is at the noise floor: the
// noise moves its reading by up to 3 dB.
constexpr double kNoiseFloorMargin = 3.16;

void JudgePhases(IThdMeter& meter, ThdResult& r)
{
  // Levels as they came back, before any calibration: the noise is measured that way too.
  const double h1 = r.mHarmonics[0].mRawLevel;
  if (!r.mHarmonics[0].mMeasured || !(h1 > 0.0) || !std::isfinite(h1)) return;
  const double n1 = r.mHarmonics[0].mNoise;
  // A capture's clock offset leaks eps / (k - 1) of the fundamental into harmonic k: all of
  // the offset when it is left alone, what its measurement cannot tell when corrected.
  double eps = 0.0;
  if (r.mHaveCapture && r.mCapture.mClockKnown)
    eps = 1e-6 * (r.mCapture.mDriftCorrected ? 3.0 * r.mCapture.mPpmUncertainty : std::fabs(r.mCapture.mPpm));
  for (int k = 1; k <= IThdMeter::kHarmonics; ++k)
  {
    ThdHarmonic& h = r.mHarmonics[k - 1];
    const double level = h.mRawLevel;
    if (!h.mMeasured || !std::isfinite(level) || !(level > kRoundingFloor * h1)) continue;
    const double wander =
      k == 1 ? n1 / h1 : std::hypot(std::hypot(h.mNoise / level, k * n1 / h1), eps / (k - 1) * h1 / level);
    if (!(wander <= kMaxPhaseSpread)) continue;
    h.mPhaseValid = true;
    h.mPhaseDeg = meter.GetHarmonicPhase(k);
  }
}

// What no averaging lowers, for the interface reference. The samples the meter reads are
// rounded: to a float's 24-bit mantissa (captures, float host buffers), a double's 53 bits, an
// integer format's step. For a tone of a whole number of periods per second the rounding
// repeats and lands on the harmonics: at most all of its RMS on one, sqrt(2 / 12) of a step
// (the step of the samples' format at the tone's peak). A signal whose own noise spans a step
// has its rounding dithered into that noise, which is measured with it.
void JudgeFloors(ThdResult& r, bool doubleSamples)
{
  const double h1 = r.mHarmonics[0].mRawLevel;
  if (!(h1 > 0.0) || !std::isfinite(h1)) return;
  int exponent = 0;
  std::frexp(h1, &exponent);  // h1 in [2^(exponent - 1), 2^exponent)
  double step = std::ldexp(1.0, exponent - (doubleSamples ? 53 : 24));
  if (r.mCaptureBits > 0) step = std::max(step, std::ldexp(1.0, 1 - r.mCaptureBits));
  // The noise's RMS, from what it leaves near the harmonics (the residual itself holds the
  // harmonics, H6 and up among them): white noise of RMS sigma leaves sigma sqrt(2 / (S K))
  // on each quadrature of a level averaged over K seconds of S samples.
  double noise = 0.0;
  int count = 0;
  for (int k : r.mThdIncludes) noise += r.mHarmonics[k - 1].mNoise, ++count;
  const double sigma = count ? noise / count * std::sqrt(0.5 * ThdIntPart(r.mRate) * r.mOptions.mDenoising) : 0.0;
  const bool dithered = sigma >= step;
  const double share = std::sqrt(2.0 / 12.0);
  r.mRounding = share * (dithered ? std::ldexp(h1, -53) : step) / h1;
  // A clock offset leaks a share eps of the fundamental (all of the offset when it is left
  // alone, what its measurement cannot tell when corrected).
  if (r.mHaveCapture && r.mCapture.mClockKnown)
    r.mClockLeak = 1e-6 * (r.mCapture.mDriftCorrected ? r.mCapture.mPpmUncertainty : std::fabs(r.mCapture.mPpm));
}

void GatherResults(IThdMeter& meter, ThdResult& r)
{
  const double f = meter.GetFrequency();
  for (int k = 1; k <= IThdMeter::kHarmonics; ++k)
  {
    ThdHarmonic& h = r.mHarmonics[k - 1];
    h.mK = k;
    h.mHz = (long long)k * ThdIntPart(f);
    h.mMeasured = IThdMeter::IsHarmonicMeasured(k, f, r.mRate);
    h.mLevel = meter.GetHarmonicLevel(k);
    h.mCalibrationFactor = meter.GetCalibrationFactor(k);
    h.mRawLevel = h.mLevel * h.mCalibrationFactor;
    h.mRawPhaseDeg = k == 1 ? 0.0 : meter.GetHarmonicPhase(k);
    h.mNoise = r.mThdN.valid ? r.mThdN.harmonicNoise[k - 1] : 0.0;
    if (k > 1 && h.mMeasured) r.mThdIncludes.push_back(k);
  }
  JudgePhases(meter, r);
  JudgeFloors(r, r.mOptions.mDoubleBuffers && !r.mHaveCapture);
  const double h1 = r.mHarmonics[0].mLevel;
  const double thd = meter.GetTHD();
  if (!r.mHarmonics[0].mMeasured)
    r.mThdWhyNot = "the fundamental lies at or above half the sample rate";
  else if (r.mThdIncludes.empty())
    r.mThdWhyNot = "no harmonic lies at or below 20000 Hz and below half the sample rate";
  else if (!(h1 > 0.0) || !std::isfinite(thd))
    r.mThdWhyNot = "no fundamental came back";
  else if (r.mThdN.valid && r.mThdN.residualRms >= r.mThdN.fundamentalRms)
    r.mThdWhyNot = "the fundamental is below the noise";
  else
  {
    r.mThdValid = true;
    r.mThdPercent = thd;
  }
  // Integer samples round the tone to their steps; for a tone of a whole number of periods per
  // second the rounding repeats and lands on the harmonics. Harmonics no stronger than that
  // rounding are the format's, not the device's.
  if (r.mThdValid && r.mCaptureBits > 0)
  {
    double sum = 0.0;
    for (int k : r.mThdIncludes) sum += 0.5 * r.mHarmonics[k - 1].mLevel * r.mHarmonics[k - 1].mLevel;
    const double rounding = std::ldexp(1.0, 1 - r.mCaptureBits) / std::sqrt(12.0);
    if (std::sqrt(sum) < kFormatFloorMargin * rounding)
      r.mWarnings.push_back(ThdFormat("the harmonics (%.1f dBFS together) lie at the rounding floor of the capture's %d-bit "
                                      "samples (%.1f dBFS): the THD is the file format's, not the device's; record at a "
                                      "higher level or with more bits", ThdRmsToDbfs(std::sqrt(sum)), r.mCaptureBits,
                                      ThdRmsToDbfs(rounding)));
  }
}
}  // namespace

double ThdHarmonic::NoiseLevel() const
{
  return mMeasured && mCalibrationFactor > 0.0 ? std::sqrt(2.0) * mNoise / mCalibrationFactor : 0.0;
}

bool ThdHarmonic::AtNoiseFloor() const
{
  const double noise = NoiseLevel();
  return noise > 0.0 && !(mLevel > kNoiseFloorMargin * noise);
}

int ThdRunMeasurement(const ThdOptions& o, ThdResult& r, ThdProgressSink* progress, std::string* error,
                      ThdToneWriter* toneOut)
{
  r.mOptions = o;
  IFxInstanceInfo info;
  if (!o.mDocumentsFolder.empty()) info.mDocumentsFolder = o.mDocumentsFolder.c_str();
  IThdMeter meter{info};
  r.mEffectName = meter.GetEffectName();
  if (const int status = SetUpCalibration(meter, o, r, error)) return status;

  // The capture decides the sample rate.
  std::unique_ptr<ThdCaptureFile> file;
  double rate = o.mRate;
  if (o.mMode == EThdMode::kAnalyse)
  {
    file = std::make_unique<ThdCaptureFile>();
    if (!file->Open(o.mCapture, o.mInput, error)) return 1;
    // One step of a stepped recording: the rest of the file is not there for this run.
    if ((o.mCaptureFrom != 0 || o.mCaptureTo >= 0) && !file->SetWindow(o.mCaptureFrom, o.mCaptureTo, error)) return 1;
    rate = file->SampleRate();
    r.mHaveCapture = true;
    r.mCaptureChannels = file->Channels();
    r.mCaptureBits = file->IntegerBits();
    if (o.mInput == 1 && file->Channels() < 2)
      r.mWarnings.push_back("the capture has one channel: --input right reads it as well");
  }
  r.mRate = rate;

  ThdDevice device(o.mDevice);
  ThdLoopSettings hostSettings;
  hostSettings.mSampleRate = rate;
  hostSettings.mBlockSize = o.mBlock;
  hostSettings.mDoubleBuffers = o.mDoubleBuffers;
  hostSettings.mLatency = o.mLatency;
  ThdLoopHost host(meter, o.mMode == EThdMode::kSimulate ? &device : nullptr, hostSettings);
  // The user's side goes through the editor: clicks, typing, and the timer's drawing passes
  // after every block, which hand the engine's messages to the meter.
  ThdEditorPanel panel(meter);
  host.SetMessagePump([&panel] { return panel.Tick(); });
  panel.Apply(o);
  r.mFrequency = meter.GetFrequency();
  r.mAmplitude = meter.GetAmplitude();
  r.mPlayedDb = ThdDb(r.mAmplitude);
  const int f = ThdIntPart(r.mFrequency);
  const int K = o.mDenoising;
  const int S = ThdIntPart(rate);

  // Captures are checked before anything is measured.
  std::unique_ptr<ThdCaptureStream> stream;
  double streamHz = f;
  if (file)
  {
    ThdExamineSettings ex;
    ex.mHz = f;
    ex.mSeconds = K;
    ex.mStartSeconds = o.mStartSeconds;
    ex.mDriftCorrect = o.mDriftCorrect;
    ex.mNoDriftCorrect = o.mNoDriftCorrect;
    ex.mHighestHarmonic = 1;
    for (int k = 2; k <= IThdMeter::kHarmonics; ++k)
      if (IThdMeter::IsHarmonicMeasured(k, f, rate)) ex.mHighestHarmonic = k;
    ex.mFrameOffset = o.mCaptureFrom;
    if (!ThdExamineCapture(*file, ex, &r.mCapture, error)) return 1;
    for (const std::string& w : r.mCapture.mWarnings) r.mWarnings.push_back(w);
    if (!r.mCapture.mFailed.empty())
    {
      r.mChecksFailed = true;
      if (!o.mForce) return 3;
    }
    stream = std::make_unique<ThdCaptureStream>(*file, r.mCapture.mStartFrame, r.mCapture.mResampleRatio);
    if (!stream->Ok())
    {
      *error = stream->Error();
      return 1;
    }
    host.SetInputStream(stream.get());
    // Uncorrected, the tone sits where the clock put it; THD+N fits it there.
    if (r.mCapture.mClockKnown && !r.mCapture.mDriftCorrected) streamHz = f * (1.0 + r.mCapture.mPpm * 1e-6);
  }

  // THD+N over the meter's own averaging window, from what reaches the analysed input.
  ThdNoiseAnalyser noise(rate, streamHz, S, (long long)(K + 1) * S);
  if (o.mMode != EThdMode::kWriteTone) host.SetInputTap([&noise](const double* x, int n) { noise.Add(x, n); });

  ThdToneWriter ownWriter;
  ThdToneWriter& writer = toneOut ? *toneOut : ownWriter;
  std::vector<float> record;
  const long long runFrames = (long long)(K + 1) * S;
  if (o.mMode == EThdMode::kWriteTone)
  {
    if (!toneOut && !writer.Open(o.mToneFile, 2, S, error)) return 1;
    host.SetRecord(&record);
  }

  if (!o.mSnapshotDir.empty())
  {
    std::error_code ec;
    std::filesystem::create_directories(o.mSnapshotDir, ec);
    if (ec)
    {
      *error = "cannot create the folder '" + o.mSnapshotDir + "': " + ec.message();
      return 1;
    }
  }

  if (progress) progress->Begin(r);
  if (!panel.PressStart())
  {
    *error = "the meter did not start a measurement at " + std::to_string(rate) + " Hz";
    return 1;
  }

  const long long limit = runFrames + 2LL * S + o.mBlock + o.mLatency;
  bool done = false;
  while (!done && host.Frames() < limit)
  {
    const double msg = host.ProcessBlock();
    if (o.mMode == EThdMode::kWriteTone)
    {
      // Streamed out block by block: the tone of a 20-minute run never sits in memory.
      const long long before = host.Frames() - (long long)(record.size() / 2);
      const long long keep = std::max(0LL, std::min((long long)(record.size() / 2), runFrames - before));
      if (keep > 0 && !writer.Write(record.data(), keep))
      {
        if (!toneOut) writer.Close(error);
        else *error = "writing the tone failed";
        return 1;
      }
      r.mToneFrames += keep;
      record.clear();
    }
    if (msg == kMessageProgress)
    {
      r.mProgress.push_back(panel.ResultsText());
      if (progress) progress->Progress(r.mProgress.back().c_str(), (double)host.Frames() / (double)runFrames);
      if (!o.mSnapshotDir.empty())
      {
        char name[32];
        std::snprintf(name, sizeof name, "/progress-%04d.png", (int)r.mProgress.size());
        if (!panel.Snapshot(o.mSnapshotDir + name))
          r.mWarnings.push_back("cannot write the picture " + o.mSnapshotDir + name);
      }
    }
    else if (msg == kMessageResults)
    {
      done = true;
    }
  }
  if (progress) progress->End(done);
  if (!done)
  {
    *error = "no results after " + std::to_string(host.Frames()) + " frames";
    return 1;
  }
  if (o.mMode == EThdMode::kWriteTone) return toneOut || writer.Close(error) ? 0 : 1;
  if (stream && !stream->Ok())
  {
    *error = stream->Error();
    return 1;
  }

  r.mMeasured = true;
  r.mResultsText = panel.ResultsText();
  if (!o.mSnapshot.empty() && !panel.Snapshot(o.mSnapshot))
    r.mWarnings.push_back("cannot write the picture " + o.mSnapshot);
  r.mThdN = noise.Finish();
  GatherResults(meter, r);
  if (o.mReferenceSet) ThdApplyReferences(*o.mReferenceSet, 0, r);
  return 0;
}
