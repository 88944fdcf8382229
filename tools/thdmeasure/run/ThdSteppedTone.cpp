// Stepped sweeps through real hardware: the tone file with its steps and silences, and the
// analysis that finds each step in the recording by its envelope and measures it.

#include "ThdSteppedTone.h"

#include "ThdCaptureFile.h"
#include "ThdFormat.h"
#include "ThdLevels.h"
#include "ThdMath.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {
// Finding the steps works on the recording's envelope: the RMS of every 10 ms (4 bytes per
// 10 ms: 15 MB for a 31-step sweep of 1200-second steps, where the audio would be 7 GB).
constexpr double kBlockSeconds = 0.01;
// The noise floor is the quietest 100 ms; a step's tone must stand this far above it.
constexpr int kFloorBlocks = 10;
constexpr double kAboveFloorDb = 10.0;
// A step starts where the envelope rises above the threshold and mostly stays there for
// half a second (a click does not), and ends where it stays below for 0.3 s.
constexpr int kSustainBlocks = 50;
constexpr double kSustainShare = 0.8;
constexpr int kMinSustainBlocks = 5;
constexpr int kDropBlocks = 30;
// Quieter than this, a block is digital silence, not the recording's noise.
constexpr double kDigitalSilenceDbfs = -140.0;
// A step's edges: where its envelope crosses this share of its level.
constexpr double kStepEdgeShare = 0.1;
// Its level is taken from its first second, well clear of the edges.
constexpr double kLevelFromSeconds = 0.2, kLevelToSeconds = 1.2;

std::string StepName(size_t index, const ThdSweepStep& step)
{
  return ThdFormat("step %zu (%d Hz, %.1f dB)", index + 1, step.mHz, step.mVolumeDb);
}

// The options of one step's single run.
ThdOptions StepOptions(const ThdOptions& sweep, const ThdSweepStep& step, EThdMode mode)
{
  ThdOptions o = ThdSweepPointOptions(sweep, step);
  o.mMode = mode;
  return o;
}

bool WriteSilence(ThdToneWriter& writer, long long frames)
{
  static const float zeros[2 * 4096] = {};
  while (frames > 0)
  {
    const long long n = std::min<long long>(frames, 4096);
    if (!writer.Write(zeros, n)) return false;
    frames -= n;
  }
  return true;
}

struct Envelope
{
  std::vector<float> mRms;  // per block
  int mBlock = 1;           // frames per block
  long long mFrames = 0;
  double mRate = 0.0;
  long long Blocks() const { return (long long)mRms.size(); }
};

// One streaming pass over the analysed channel.
bool ReadEnvelope(const ThdOptions& o, Envelope* env, std::string* error)
{
  ThdCaptureFile file;
  if (!file.Open(o.mCapture, o.mInput, error)) return false;
  env->mRate = file.SampleRate();
  env->mBlock = std::max(1, (int)std::floor(env->mRate * kBlockSeconds));
  env->mFrames = file.Frames();
  env->mRms.clear();
  env->mRms.reserve((size_t)(env->mFrames / env->mBlock + 1));
  std::vector<float> block((size_t)env->mBlock);
  for (int got; (got = file.Read(block.data(), env->mBlock)) > 0;)
  {
    double sum = 0.0;
    // Damaged samples count as silence here; the step's own checks report them.
    for (int i = 0; i < got; ++i)
      if (std::isfinite(block[(size_t)i])) sum += (double)block[(size_t)i] * block[(size_t)i];
    env->mRms.push_back((float)std::sqrt(sum / got));
  }
  if ((long long)env->mRms.size() * env->mBlock < env->mFrames - env->mBlock)
  {
    *error = "cannot read '" + o.mCapture + "' to its end";
    return false;
  }
  return true;
}

// The threshold a step's tone must cross: kAboveFloorDb over the quietest 100 ms, and never
// below what counts as silence. Digital silence before the first sound and after the last (a
// recorder padding its start with zeros) is no floor: the chain's own noise in the gaps may
// lie far above it. Within the recording it is (a chain that is digital throughout).
double Threshold(const Envelope& env)
{
  const double dead = std::pow(10.0, kDigitalSilenceDbfs / 20.0) / std::sqrt(2.0);
  long long first = 0, last = env.Blocks();
  while (first < last && env.mRms[(size_t)first] < dead) ++first;
  while (last > first && env.mRms[(size_t)(last - 1)] < dead) --last;
  const long long len = std::min<long long>(last - first, kFloorBlocks);
  double floor = std::numeric_limits<double>::infinity(), sum = 0.0;
  for (long long b = first; b < last; ++b)
  {
    sum += (double)env.mRms[(size_t)b] * env.mRms[(size_t)b];
    if (b - first >= len) sum -= (double)env.mRms[(size_t)(b - len)] * env.mRms[(size_t)(b - len)];
    if (b - first >= len - 1) floor = std::min(floor, std::sqrt(std::max(0.0, sum) / (double)len));
  }
  if (!std::isfinite(floor)) floor = 0.0;
  const double silence = std::pow(10.0, kThdSilenceDbfs / 20.0) / std::sqrt(2.0);
  return std::max(floor * std::pow(10.0, kAboveFloorDb / 20.0), silence);
}

// The level of a stretch of the envelope: its median block (a click or a dropout does not
// move it).
double LevelOf(const Envelope& env, long long from, long long to)
{
  from = std::max(0LL, from);
  to = std::min(env.Blocks(), to);
  if (to <= from) return 0.0;
  std::vector<float> v(env.mRms.begin() + from, env.mRms.begin() + to);
  std::nth_element(v.begin(), v.begin() + (long long)v.size() / 2, v.end());
  return v[v.size() / 2];
}

// A step starts and ends where its own envelope crosses a tenth of its level (as the capture
// checks find a tone's start), or the recording's threshold if that is higher: a loud step's
// edges then stand clear of noise in the gaps that lies above the quietest 100 ms.
double StepThreshold(double level, double thr) { return std::max(thr, kStepEdgeShare * level); }

// The first block in [from, to) where the envelope rises above thr and mostly stays; -1.
long long FindOnset(const Envelope& env, long long from, long long to, double thr)
{
  const long long n = env.Blocks();
  from = std::max(0LL, from);
  to = std::min(n, to);
  for (long long b = from; b < to; ++b)
  {
    if (!(env.mRms[(size_t)b] > thr)) continue;
    const long long end = std::min(n, b + kSustainBlocks);
    // Too little left to be a step's tone.
    if (end - b < kMinSustainBlocks) break;
    long long above = 0;
    for (long long k = b; k < end; ++k) above += env.mRms[(size_t)k] > thr;
    if ((double)above >= kSustainShare * (double)(end - b)) return b;
  }
  return -1;
}

// One past the step's last block above thr: where the envelope first stays below for
// kDropBlocks, looked for up to `limit`. found: false when the tone runs on to the limit
// without a drop (the recording's end counts as one).
long long FindEnd(const Envelope& env, long long onset, long long limit, double thr, bool* found)
{
  const long long n = env.Blocks();
  limit = std::min(n, limit);
  long long lastAbove = onset;
  for (long long b = onset; b < limit; ++b)
  {
    if (env.mRms[(size_t)b] > thr) lastAbove = b;
    else if (b - lastAbove >= kDropBlocks)
    {
      *found = true;
      return lastAbove + 1;
    }
  }
  *found = limit == n;
  return lastAbove + 1;
}

// Where one step lies in the recording: the stretch it is checked and measured on (frames),
// or why it is not there.
struct StepSpan
{
  bool mFound = false;
  long long mFrom = 0, mTo = 0;
  std::string mWhy;
};

// Follows the sequence through the recording: the first step is the first sustained tone
// about a step long; each later one is looked for within half a gap of where the previous
// step's end (or, after a step that is missing, its expected end) puts it, so that a
// recorder's clock running off accumulates nothing from step to step.
//
// A recording of another sequence must not read as this one (a level sweep's steps would carry
// the wrong levels): mismatch collects what says so, a step's tone running on well past the
// step's length (a longer --denoising) and a further step after the last (more points).
std::vector<StepSpan> FindSteps(const Envelope& env, size_t count, int denoising, double thr,
                                std::vector<std::string>* mismatch)
{
  std::vector<StepSpan> spans(count);
  const double perBlock = env.mBlock / env.mRate;  // seconds per block
  const auto blocks = [&](double seconds) { return (long long)std::llround(seconds / perBlock); };
  const long long stepBlocks = blocks(denoising + 1.0);
  const long long gapBlocks = blocks(kThdSteppedGapSeconds);
  const long long n = env.Blocks();
  const double seconds = env.mFrames / env.mRate;
  long long predicted = -1;  // block where the next step should start
  for (size_t i = 0; i < count; ++i)
  {
    StepSpan& s = spans[i];
    long long onset = -1, end = -1;
    bool ended = false;
    const long long levelFrom = blocks(kLevelFromSeconds), levelTo = blocks(kLevelToSeconds);
    if (i == 0)
    {
      // The first run that lasts about a step, or one that the recording's start or end
      // cuts; a shorter burst before the sequence (a click, a word) is passed over.
      for (long long from = 0; from < n;)
      {
        onset = FindOnset(env, from, n, thr);
        if (onset < 0) break;
        const double stepThr = StepThreshold(LevelOf(env, onset + levelFrom, onset + levelTo), thr);
        const long long edge = FindOnset(env, onset, onset + levelFrom + 1, stepThr);
        if (edge >= 0) onset = edge;
        end = FindEnd(env, onset, onset + stepBlocks + gapBlocks / 2, stepThr, &ended);
        if (end - onset >= stepBlocks - gapBlocks / 2 || onset == 0 || end >= n) break;
        from = end;
        onset = -1;
      }
      if (onset < 0) s.mWhy = "no tone of the sequence stands clear of the recording's noise";
    }
    else
    {
      const long long lo = predicted - gapBlocks * 45 / 100, hi = predicted + gapBlocks * 45 / 100;
      // Its level: just past the latest start the search allows, the step's tone is playing.
      const double stepThr = StepThreshold(LevelOf(env, hi + levelFrom, hi + levelTo), thr);
      if (lo >= n)
        s.mWhy = ThdFormat("the recording ends at %.2f s, before this step (expected from %.2f s on): record the whole "
                        "sequence", seconds, predicted * perBlock);
      else
      {
        onset = FindOnset(env, lo, hi, stepThr);
        if (onset < 0)
          s.mWhy = ThdFormat("no tone starts between %.2f s and %.2f s, where this step should: check that the whole "
                          "sequence was played and recorded", std::max(0LL, lo) * perBlock, std::min(n, hi) * perBlock);
        else
          end = FindEnd(env, onset, onset + stepBlocks + gapBlocks / 2, stepThr, &ended);
      }
    }
    if (onset < 0)
    {
      predicted = (predicted < 0 ? 0 : predicted) + stepBlocks + gapBlocks;
      continue;
    }
    // A tone that runs on into the next gap: the step is taken to be as long as written.
    if (!ended)
    {
      if (end < n && mismatch->empty())
        mismatch->push_back(ThdFormat("the tone of step %zu runs on past %.2f s, longer than a step of this sweep (%d s): "
                                   "analyse with the --denoising the sequence was written with",
                                   i + 1, end * perBlock, denoising + 1));
      end = onset + stepBlocks;
    }
    s.mFound = true;
    s.mFrom = std::max(0LL, (onset - gapBlocks / 2) * env.mBlock);
    s.mTo = std::min(env.mFrames, (end + gapBlocks / 2) * env.mBlock);
    predicted = end + gapBlocks;
  }
  // Where a further step would start, a sustained tone: the sequence had more points.
  if (count > 0 && spans[count - 1].mFound && predicted < n)
  {
    const long long onset = FindOnset(env, predicted - gapBlocks * 45 / 100, predicted + gapBlocks * 45 / 100, thr);
    bool ended = false;
    if (onset >= 0 && FindEnd(env, onset, onset + stepBlocks, thr, &ended) - onset >= stepBlocks / 2)
      mismatch->push_back(ThdFormat("another step follows the last of this sweep's %zu at %.2f s: analyse with the sweep "
                                 "options the sequence was written with",
                                 count, onset * perBlock));
  }
  return spans;
}

}  // namespace

int ThdWriteSteppedTone(const ThdOptions& options, const std::vector<ThdSweepStep>& steps, ThdSweepResult& result,
                        std::string* error)
{
  result.mOptions = options;
  result.mPoints.clear();
  result.mJobs = 1;
  if (steps.empty())
  {
    *error = "the sweep has no step to write";
    return 1;
  }
  const int rate = ThdIntPart(options.mRate);
  ThdToneWriter writer;
  if (!writer.Open(options.mToneFile, 2, rate, error)) return 1;
  const long long lead = std::llround(kThdSteppedLeadSeconds * rate), gap = std::llround(kThdSteppedGapSeconds * rate);
  long long at = 0;
  std::string closeError;
  if (!WriteSilence(writer, lead))
  {
    writer.Close(error);
    return 1;
  }
  at += lead;
  // Each step is a whole run of its own plug-in object recorded from the outputs, exactly the
  // tone a single --write-tone gives, appended as it is played.
  for (size_t i = 0; i < steps.size(); ++i)
  {
    ThdSweepPoint point;
    point.mStep = steps[i];
    point.mStepStart = at;
    const ThdOptions o = StepOptions(options, steps[i], EThdMode::kWriteTone);
    point.mStatus = ThdRunMeasurement(o, point.mResult, nullptr, &point.mError, &writer);
    if (point.mStatus != 0)
    {
      // A failed write says why once the file is closed.
      if (!writer.Close(&closeError) && point.mStatus == 1) point.mError = closeError;
      *error = StepName(i, steps[i]) + ": " + point.mError;
      // A calibration the run refuses is the user's to mend (2), as for a single run.
      return point.mStatus == 2 ? 2 : 1;
    }
    at += point.mResult.mToneFrames;
    result.mPoints.push_back(std::move(point));
    if (!WriteSilence(writer, i + 1 < steps.size() ? gap : lead))
    {
      writer.Close(error);
      return 1;
    }
    at += i + 1 < steps.size() ? gap : lead;
  }
  return writer.Close(error) ? 0 : 1;
}

int ThdAnalyseSteppedCapture(const ThdOptions& options, const std::vector<ThdSweepStep>& steps,
                             ThdSweepResult& result, ThdSweepProgress* progress, std::string* error)
{
  result.mOptions = options;
  result.mPoints.clear();
  result.mJobs = 1;
  if (steps.empty())
  {
    *error = "the sweep has no step to find";
    return 1;
  }
  Envelope env;
  if (!ReadEnvelope(options, &env, error)) return 1;
  float loudest = 0.0f;
  for (float v : env.mRms) loudest = std::max(loudest, v);
  if (ThdRmsToDbfs(loudest) < kThdSilenceDbfs)
  {
    *error = ThdFormat("no step of the sweep found: the recording is silent (its loudest 10 ms %s): check that the "
                    "recorder listens to the device's output and its level", ThdLoudestText(ThdRmsToDbfs(loudest)).c_str());
    return 1;
  }
  const double thr = Threshold(env);
  std::vector<std::string> mismatch;
  const std::vector<StepSpan> spans = FindSteps(env, steps.size(), options.mDenoising, thr, &mismatch);
  std::vector<float>().swap(env.mRms);
  // Figures read from another sequence would be put against the wrong steps.
  if (!mismatch.empty())
  {
    if (!options.mForce)
    {
      *error = "the recording is not this sweep's sequence: " + mismatch.front() + " (--force measures anyway)";
      return 3;
    }
    for (const std::string& m : mismatch) result.mWarnings.push_back("the recording is not this sweep's sequence: " + m);
  }
  // The first step is looked for in the whole recording: when it is not there, nothing is.
  if (!spans[0].mFound)
  {
    *error = "no step of the sweep found: " + spans[0].mWhy + " (nothing stays " + ThdFormat("%.0f", kAboveFloorDb) +
             " dB above its quietest 100 ms): play the stepped tone through the chain and record it again";
    return 1;
  }

  result.mPoints.resize(steps.size());
  std::vector<size_t> work;
  for (size_t i = 0; i < steps.size(); ++i)
  {
    ThdSweepPoint& p = result.mPoints[i];
    p.mStep = steps[i];
    if (spans[i].mFound) work.push_back(i);
    else
    {
      p.mStatus = 1;
      p.mError = StepName(i, steps[i]) + " not found: " + spans[i].mWhy;
    }
  }

  // Each found step is a single capture of its own: its checks, its alignment and its
  // measurement see only its stretch of the recording. The steps run in parallel, each with
  // its own plug-in object and its own reader of the file.
  int done = 0;
  const int total = (int)steps.size();
  if (progress)
    for (const ThdSweepPoint& p : result.mPoints)
      if (p.mStatus == 1) progress->PointDone(++done, total, p);
  result.mJobs = ThdMeasurePoints(
    options, work.size(),
    [&](size_t w) {
      const size_t i = work[w];
      ThdSweepPoint& p = result.mPoints[i];
      ThdOptions o = StepOptions(options, steps[i], EThdMode::kAnalyse);
      o.mCaptureFrom = spans[i].mFrom;
      o.mCaptureTo = spans[i].mTo;
      std::string why;
      p.mStatus = ThdRunMeasurement(o, p.mResult, nullptr, &why);
      // A step whose checks failed says so by its status even when --force measured it.
      if (p.mStatus == 0 && p.mResult.mChecksFailed) p.mStatus = 3;
      if (p.mStatus != 0 && p.mStatus != 3) p.mError = StepName(i, steps[i]) + ": " + why;
      // The step's report gives places in the whole recording, as its messages do.
      ThdCaptureReport& c = p.mResult.mCapture;
      c.mStartFrame += spans[i].mFrom;
      if (c.mTrack.found)
      {
        c.mTrack.start += spans[i].mFrom;
        c.mTrack.end += spans[i].mFrom;
      }
      p.mStepStart = c.mStartFrame;
    },
    [&](size_t w) {
      if (progress) progress->PointDone(++done, total, result.mPoints[work[w]]);
    });
  if (progress) progress->End();

  // A calibration the runs refuse spoils every step alike: the user's to mend (2).
  for (const ThdSweepPoint& p : result.mPoints)
    if (p.mStatus == 2)
    {
      *error = p.mError;
      return 2;
    }
  // Every step measured (failed checks forced) or the sweep is incomplete.
  for (const ThdSweepPoint& p : result.mPoints)
    if (!p.mResult.mMeasured) return 3;
  return 0;
}
