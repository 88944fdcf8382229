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
    r->mFailed.push_back({"silence", ThdFormat("the capture is silent (its loudest 10 ms reach %.1f dBFS): check that the "
                                            "recorder listens to the device's output and its level", r->mLoudestDbfs)});

  // Pass 2: where the tone is and how its phase runs.
  const double peak = scan.LoudestBlockRms() * std::sqrt(2.0);
  const bool toneFound = !silent && r->mToneShare >= kMinToneShare;
  if (!silent && !toneFound)
    r->mFailed.push_back({"no-tone", ThdFormat("the capture holds no steady tone (its strongest component, at %.1f Hz, carries "
                                            "%.0f%% of the loudest second): play the test tone through the chain and record "
                                            "it again", r->mDominantHz, 100.0 * r->mToneShare)});
  const bool rightFrequency = std::fabs(r->mDominantHz - s.mHz) <= std::max(0.5, 1e-3 * s.mHz);
  if (toneFound && !rightFrequency)
    r->mFailed.push_back({"frequency", ThdFormat("the capture's tone is at %.1f Hz; run with --freq %.0f", r->mDominantHz,
                                              std::floor(r->mDominantHz + 0.5))});
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
    r->mDriftLossDb = ThdDriftLossDb(s.mHz, t.ppm, s.mSeconds);
    if (s.mDriftCorrect) r->mResampleRatio = 1.0 + t.ppm * 1e-6;
    if (std::fabs(t.ppm) > kWarnPpm)
      r->mWarnings.push_back(ThdFormat("the player's and the recorder's clocks differ by %+.1f ppm (the capture's tone is at "
                                    "%.3f Hz)%s", t.ppm, s.mHz * (1.0 + t.ppm * 1e-6),
                                    s.mDriftCorrect ? "; the capture is resampled to match" : ""));
    if (!s.mDriftCorrect && r->mDriftLossDb < -kMaxDriftLossDb)
      r->mFailed.push_back({"clock-drift", ThdFormat("a clock offset of %+.1f ppm between player and recorder lowers H1 by %.2f dB "
                                                  "over %d s of averaging: run with --drift-correct", t.ppm,
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
