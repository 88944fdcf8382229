// The checks a capture passes before it is measured: a steady tone at the chosen frequency,
// unclipped and long enough; each failure says what is wrong.

#include "ThdCaptureCheck.h"

#include "ThdCaptureScan.h"
#include "ThdFormat.h"
#include "ThdLevels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr int kBlock = 65536;
// A tone carries most of the energy of its loudest second; noise spreads it everywhere.
constexpr double kMinToneShare = 0.5;
// Steadiness of the fundamental from one second to the next.
constexpr double kMaxLevelSpreadDb = 1.0;
constexpr double kMaxPhaseWanderRad = 0.35;
// A clock offset is reported as a warning from here, and fails the measurement once it
// would move H1 by more than kMaxDriftLossDb over the window.
constexpr double kWarnPpm = 2.0;
constexpr double kMaxDriftLossDb = 0.1;
// An offset moves a reported figure by more than this when left alone, and is corrected.
constexpr double kMaxFigureMoveDb = 0.01;
// Over each second the meter sums, a fundamental off its frequency by a share eps of it leaks
// eps / (k - 1) of its level into harmonic k's sums: a phantom harmonic where there is none,
// a few hundredths of a dB on a real one 60 dB down. Below this share the leak lies under the
// rounding of 32-bit samples (-150 dB) and moves nothing the reports show.
constexpr double kMaxLeakShare = 1e-9;
// An offset within this many standard errors of zero is not known to be there.
constexpr double kSignificantErrors = 3.0;

}  // namespace

namespace {
// Sample rates recorders use: a tone found at the chosen frequency times a ratio of two of them
// is a file whose header gives the wrong rate.
constexpr double kCommonRates[] = {8000,  11025, 16000, 22050, 24000,  32000,  44100,
                                   48000, 88200, 96000, 176400, 192000, 352800, 384000};

// The rate the samples seem to have when the tone sits at `found` instead of `hz`; 0 if none.
double RateTheSamplesHave(double headerRate, double hz, double found)
{
  if (!(found > 0.0) || !(hz > 0.0)) return 0.0;
  const double rate = headerRate * hz / found;
  for (double common : kCommonRates)
    if (common != headerRate && std::fabs(rate / common - 1.0) < 2e-4) return common;
  return 0.0;
}

// Where the analysed channel holds no tone at the frequency, the other one may: the advice for
// the message ("" when it does not).
std::string OtherChannelAdvice(const ThdCaptureFile& file, int hz)
{
  if (file.Channels() < 2) return std::string();
  ThdCaptureFile other;
  std::string error;
  const int channel = file.Channel() == 0 ? 1 : 0;
  if (!other.Open(file.Path(), channel, &error)) return std::string();
  ThdCaptureScan scan(other.SampleRate());
  std::vector<float> block(kBlock);
  for (int got; (got = other.Read(block.data(), kBlock)) > 0;) scan.Add(block.data(), got);
  scan.Finish();
  if (ThdRmsToDbfs(scan.LoudestBlockRms()) < kThdSilenceDbfs || scan.ToneShare() < kMinToneShare ||
      std::fabs(scan.DominantFrequency() - hz) > std::max(0.5, 1e-3 * hz))
    return std::string();
  return ThdFormat("; the %s channel carries a %.1f Hz tone: run with --input %s", channel ? "second" : "first",
                   scan.DominantFrequency(), channel ? "right" : "left");
}
}  // namespace

bool ThdExamineCapture(ThdCaptureFile& file, const ThdExamineSettings& s, ThdCaptureReport* r, std::string* error)
{
  const double rate = file.SampleRate();
  r->mRate = rate;
  std::vector<float> block(kBlock);

  // Pass 1: what the whole capture holds.
  ThdCaptureScan scan(rate);
  if (!file.Seek(0))
  {
    *error = "cannot read the capture from its start";
    return false;
  }
  for (int got; (got = file.Read(block.data(), kBlock)) > 0;) scan.Add(block.data(), got);
  scan.Finish();
  r->mFrames = scan.Frames();
  r->mNonFinite = scan.NonFinite();
  r->mClipped = scan.Clipped();
  r->mLoudestDbfs = ThdRmsToDbfs(scan.LoudestBlockRms());
  r->mDominantHz = scan.DominantFrequency();
  r->mToneShare = scan.ToneShare();

  if (r->mNonFinite > 0)
    r->mFailed.push_back({"non-finite", ThdFormat("%lld samples are not finite numbers (NaN or infinity): the file is damaged; "
                                               "record or export it again", r->mNonFinite)});
  const bool silent = r->mLoudestDbfs < kThdSilenceDbfs;
  if (silent)
    r->mFailed.push_back({"silence", ThdFormat("the capture is silent (its loudest 10 ms %s): check that the recorder "
                                            "listens to the device's output and its level",
                                            ThdLoudestText(r->mLoudestDbfs).c_str()) +
                                       OtherChannelAdvice(file, s.mHz)});

  // Pass 2: where the tone is and how its phase runs.
  const double peak = scan.LoudestBlockRms() * std::sqrt(2.0);
  const bool toneFound = !silent && r->mToneShare >= kMinToneShare;
  if (!silent && !toneFound)
    r->mFailed.push_back({"no-tone", ThdFormat("the capture holds no steady tone (its strongest component, at %.1f Hz, carries "
                                            "%.0f%% of the loudest second): play the test tone through the chain and record "
                                            "it again", r->mDominantHz, 100.0 * r->mToneShare) +
                                         OtherChannelAdvice(file, s.mHz)});
  const bool rightFrequency = std::fabs(r->mDominantHz - s.mHz) <= std::max(0.5, 1e-3 * s.mHz);
  if (toneFound && !rightFrequency)
  {
    const double samplesRate = RateTheSamplesHave(rate, s.mHz, r->mDominantHz);
    if (samplesRate > 0.0)
      r->mFailed.push_back({"frequency", ThdFormat("the capture's tone is at %.1f Hz, %d Hz times %g / %g: the sample rate "
                                                "looks wrong; the file says %g Hz but its samples seem to be at %g Hz: "
                                                "set the right rate in the file's header (or record again)",
                                                r->mDominantHz, s.mHz, rate, samplesRate, rate, samplesRate)});
    else
      r->mFailed.push_back({"frequency", ThdFormat("the capture's tone is at %.1f Hz; run with --freq %.0f", r->mDominantHz,
                                                std::floor(r->mDominantHz + 0.5))});
  }
  if (!silent)
  {
    ThdToneTracker tracker(rate, peak, s.mHz, rightFrequency ? r->mDominantHz : s.mHz);
    if (!file.Seek(0))
    {
      *error = "cannot read the capture from its start";
      return false;
    }
    for (int got; (got = file.Read(block.data(), kBlock)) > 0;) tracker.Add(block.data(), got);
    r->mTrack = tracker.Finish();
  }

  if (r->mClipped > 0)
    r->mFailed.push_back({"clipping", ThdFormat("%lld samples sit at full scale (clipped): lower the playback or the recording "
                                             "level and record again", r->mClipped)});

  // Clock: the per-second phases of the fundamental.
  const ThdToneTrack& t = r->mTrack;
  if (toneFound && rightFrequency && t.found && t.seconds >= 3)
  {
    r->mClockKnown = true;
    r->mPpm = t.ppm;
    r->mPpmUncertainty = t.ppmUncertainty;
    r->mDriftLossDb = ThdDriftLossDb(s.mHz, t.ppm, s.mSeconds);
    // Left alone, the offset turns harmonic k's phase k times as fast as the fundamental's (the
    // highest reported harmonic loses most) and lets the fundamental leak into the harmonics.
    const int top = std::max(1, s.mHighestHarmonic);
    const double topLossDb = -ThdDriftLossDb((double)top * s.mHz, t.ppm, s.mSeconds);
    const double leak = std::fabs(t.ppm) * 1e-6;
    const bool known = std::fabs(t.ppm) > kSignificantErrors * t.ppmUncertainty;
    const bool moves = known && (topLossDb > kMaxFigureMoveDb || (top > 1 && leak > kMaxLeakShare));
    r->mDriftCorrected = s.mDriftCorrect || (moves && !s.mNoDriftCorrect);
    if (r->mDriftCorrected) r->mResampleRatio = 1.0 + t.ppm * 1e-6;
    if (std::fabs(t.ppm) > kWarnPpm || (moves && !r->mDriftCorrected))
      r->mWarnings.push_back(ThdFormat("the player's and the recorder's clocks differ by %+.2f ppm (the capture's tone is at "
                                    "%.3f Hz)%s", t.ppm, s.mHz * (1.0 + t.ppm * 1e-6),
                                    r->mDriftCorrected ? "; the capture is resampled to match"
                                    : ThdFormat("; left alone (--no-drift-correct) it lowers H%d by %.3f dB and leaks "
                                             "the fundamental into the harmonics %.0f dB below it", top, topLossDb,
                                             ThdDb(leak)).c_str()));
    if (!r->mDriftCorrected && r->mDriftLossDb < -kMaxDriftLossDb)
      r->mFailed.push_back({"clock-drift", ThdFormat("a clock offset of %+.1f ppm between player and recorder lowers H1 by %.2f dB "
                                                  "over %d s of averaging: run without --no-drift-correct", t.ppm,
                                                  -r->mDriftLossDb, s.mSeconds)});
    if (t.levelSpreadDb > kMaxLevelSpreadDb)
      r->mFailed.push_back({"drifting-fundamental", ThdFormat("the fundamental's level changes by %.1f dB from second to second: "
                                                           "check the chain for gain changes (limiters, automatic gain) and "
                                                           "loose connections", t.levelSpreadDb)});
    else if (t.phaseWanderRad > kMaxPhaseWanderRad)
      r->mFailed.push_back({"drifting-fundamental", ThdFormat("the fundamental's frequency wanders from second to second (its "
                                                           "phase strays %.2f rad from a steady clock): lock the player and "
                                                           "the recorder to one clock", t.phaseWanderRad)});
  }

  // Where the run starts, and whether enough tone follows.
  r->mStartGiven = s.mStartSeconds >= 0.0;
  if (r->mStartGiven)
    r->mStartFrame = (long long)std::floor(s.mStartSeconds * rate + 0.5);
  else if (t.found)
  {
    // The meter's sine rises from zero, and the tracker finds it where it first passes a share
    // of its peak, asin(share) of a period later. The run starts at the zero: starting late
    // would leave the tone's last samples out of the averaging window, which at low frequencies
    // reads as the fundamental leaking into the harmonics (0.3 dB on H4 90 dB down at 50 Hz).
    const double rise = s.mHz > 0 ? std::asin(ThdToneTracker::kStartShare) * rate / (2.0 * kPi * s.mHz) : 0.0;
    r->mStartFrame = std::max(0LL, t.start - (long long)std::ceil(rise));
  }
  const long long end = t.found ? t.end : r->mFrames;
  const double needSeconds = s.mSeconds + 1.0;
  const double need = needSeconds * std::floor(rate) / r->mResampleRatio;
  const double slack = 0.01 * rate + (s.mHz > 0 ? rate / s.mHz : 0.0);
  const double have = (double)(end - r->mStartFrame);
  if (r->mStartGiven && r->mStartFrame >= r->mFrames)
    r->mFailed.push_back({"too-short", ThdFormat("--start %.3f lies beyond the capture's end at %.3f s", s.mStartSeconds,
                                              r->mFrames / rate)});
  else if (!silent && have < need - slack)
    r->mFailed.push_back({"too-short", ThdFormat("the capture holds %.2f s of tone from %.3f s on, but %d s of averaging needs "
                                              "%.0f s (one settling second first): record the whole tone%s",
                                              have > 0 ? have / rate : 0.0, (r->mStartFrame + s.mFrameOffset) / rate,
                                              s.mSeconds, needSeconds,
                                              s.mSeconds > 12 ? ", or choose a shorter --denoising" : "")});
  return true;
}
