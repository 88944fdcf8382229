// Sweeps over frequency or level: simulated points run in parallel, or one stepped tone file and
// its recording cut back into steps.

#include "ThdSweep.h"

#include "ThdReferenceRun.h"
#include "ThdSteppedTone.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cmath>
#include <mutex>
#include <thread>

namespace {
std::vector<ThdSweepStep> PlanFrequencies(const ThdOptions& o, std::vector<std::string>* warnings)
{
  const ThdSweepSettings& s = o.mSweep;
  std::vector<ThdSweepStep> steps;
  const int n = std::max(2, s.mPoints);
  const double ratio = s.mTo / s.mFrom;
  for (int i = 0; i < n; ++i)
  {
    // The ends exactly as given; between them log-spaced, rounded to the whole Hz the meter takes.
    const double hz = i == 0 ? s.mFrom : i == n - 1 ? s.mTo : s.mFrom * std::pow(ratio, (double)i / (n - 1));
    const int whole = (int)std::llround(hz);
    if (!steps.empty() && steps.back().mHz == whole) continue;
    steps.push_back({whole, o.mVolumeDb});
  }
  if ((int)steps.size() < n && warnings)
    warnings->push_back(std::to_string(n - (int)steps.size()) + " of the " + std::to_string(n) +
                        " points round to a frequency already swept and are dropped: " + std::to_string(steps.size()) +
                        " distinct points remain");
  return steps;
}

}  // namespace

int ThdTypedHz(const ThdOptions& o)
{
  IFxInstanceInfo info;
  if (!o.mDocumentsFolder.empty()) info.mDocumentsFolder = o.mDocumentsFolder.c_str();
  IThdMeter meter{info};
  meter.SetFrequencyEntry(o.mFreqText.c_str());
  meter.from_GUI(kTagFrequencyEntry);
  return ThdIntPart(meter.GetFrequency());
}

namespace {
std::vector<ThdSweepStep> PlanLevels(const ThdOptions& o, std::vector<std::string>* warnings)
{
  const int hz = ThdTypedHz(o);
  const ThdSweepSettings& s = o.mSweep;
  std::vector<ThdSweepStep> steps;
  const double dir = s.mTo >= s.mFrom ? 1.0 : -1.0;
  const double span = std::fabs(s.mTo - s.mFrom);
  // TO is included when the steps land on it within rounding (0:-20:0.1 gives 201 points).
  const double slack = 1e-6;
  const long long n = (long long)std::floor(span / s.mStepDb + 1e-6) + 1;
  int rounded = 0;
  for (long long i = 0; i < n && i <= 100000; ++i)
  {
    double db = s.mFrom + dir * (double)i * s.mStepDb;
    if (std::fabs(db - s.mTo) <= slack || dir * (db - s.mTo) > 0.0) db = s.mTo;
    // The fader reaches its own steps exactly; a level between them is played at the nearest.
    bool moved = false;
    db = ThdVolumeOnGrid(db, &moved);
    rounded += moved;
    steps.push_back({hz, db});
  }
  if (rounded && warnings)
    warnings->push_back(std::to_string(rounded) + " of the levels lie between the fader's steps of 0.02 dB and are "
                        "measured at the nearest step");
  return steps;
}
}  // namespace

std::vector<ThdSweepStep> ThdPlanSweep(const ThdOptions& o, std::vector<std::string>* warnings, std::string* error)
{
  std::vector<ThdSweepStep> steps;
  const ThdSweepSettings& s = o.mSweep;
  switch (s.mKind)
  {
    case EThdSweep::kFrequency:
      if (!(s.mFrom > 0.0) || !(s.mTo > 0.0) || s.mPoints < 2)
      {
        if (error) *error = "a frequency sweep needs FROM and TO above 0 Hz and at least 2 points";
        return {};
      }
      steps = PlanFrequencies(o, warnings);
      break;
    case EThdSweep::kLevel:
      if (!(s.mStepDb > 0.0) || !std::isfinite(s.mFrom) || !std::isfinite(s.mTo))
      {
        if (error) *error = "a level sweep needs a STEP above 0 dB";
        return {};
      }
      steps = PlanLevels(o, warnings);
      break;
    default:
      if (error) *error = "no sweep was asked for";
      return {};
  }
  return steps;
}

namespace {
// Simulated points, each a whole run with its own plug-in object.
int RunSimulated(const ThdOptions& options, const std::vector<ThdSweepStep>& steps, ThdSweepResult& result,
                 ThdSweepProgress* progress, std::string* error)
{
  result.mPoints.assign(steps.size(), ThdSweepPoint{});
  for (size_t i = 0; i < steps.size(); ++i) result.mPoints[i].mStep = steps[i];
  int done = 0;
  const int total = (int)steps.size();
  result.mJobs = ThdMeasurePoints(
    options, steps.size(),
    [&](size_t i) {
      ThdSweepPoint& p = result.mPoints[i];
      p.mStatus = ThdRunMeasurement(ThdSweepPointOptions(options, steps[i]), p.mResult, nullptr, &p.mError);
    },
    [&](size_t i) {
      if (progress) progress->PointDone(++done, total, result.mPoints[i]);
    });
  if (progress) progress->End();

  // A refused calibration spoils every point alike: the user's to mend, as for a single run.
  for (const ThdSweepPoint& p : result.mPoints)
    if (p.mStatus == 2)
    {
      *error = p.mError;
      return 2;
    }
  for (size_t i = 0; i < result.mPoints.size(); ++i)
    if (result.mPoints[i].mStatus != 0)
    {
      const ThdSweepPoint& p = result.mPoints[i];
      char where[64];
      std::snprintf(where, sizeof where, "point %zu (%d Hz, %.1f dB): ", i + 1, p.mStep.mHz, p.mStep.mVolumeDb);
      *error = where + p.mError;
      return 1;
    }
  return 0;
}
}  // namespace

ThdOptions ThdSweepPointOptions(const ThdOptions& sweep, const ThdSweepStep& step)
{
  ThdOptions o = sweep;
  o.mSweep = ThdSweepSettings{};
  o.mFreqText = std::to_string(step.mHz);
  o.mVolumeDb = step.mVolumeDb;
  // Files and pictures are the sweep's; a start of the user's is refused with a sweep (each
  // step of a recording is found), and the step's window is set by whoever finds it.
  o.mCsv.clear();
  o.mPlot.clear();
  o.mSnapshot.clear();
  o.mSnapshotDir.clear();
  o.mStartSeconds = -1.0;
  o.mCaptureFrom = 0;
  o.mCaptureTo = -1;
  // The sweep compensates its points once they are all in, each by its own reference point.
  o.mReferenceSet.reset();
  o.mSaveReference.clear();
  return o;
}

int ThdMeasurePoints(const ThdOptions& options, size_t count, const std::function<void(size_t)>& measure,
                     const std::function<void(size_t)>& finished)
{
  const int cores = std::max(1, (int)std::thread::hardware_concurrency());
  const int jobs = std::max(1, std::min(options.mJobs > 0 ? options.mJobs : cores, (int)std::max<size_t>(1, count)));
  std::atomic<size_t> next{0};
  std::mutex lock;
  auto worker = [&] {
    for (size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < count;)
    {
      measure(i);
      std::lock_guard<std::mutex> guard(lock);
      finished(i);
    }
  };
  std::vector<std::thread> threads;
  for (int t = 1; t < jobs; ++t) threads.emplace_back(worker);
  worker();
  for (std::thread& t : threads) t.join();
  return jobs;
}

int ThdRunSweep(const ThdOptions& options, ThdSweepResult& result, ThdSweepProgress* progress, std::string* error)
{
  result = ThdSweepResult{};
  result.mOptions = options;
  std::vector<std::string> warnings;
  const std::vector<ThdSweepStep> steps = ThdPlanSweep(options, &warnings, error);
  if (steps.empty()) return 1;
  int status = 0;
  switch (options.mMode)
  {
    case EThdMode::kWriteTone:
      status = ThdWriteSteppedTone(options, steps, result, error);
      break;
    case EThdMode::kAnalyse:
      status = ThdAnalyseSteppedCapture(options, steps, result, progress, error);
      break;
    default:
      status = RunSimulated(options, steps, result, progress, error);
      break;
  }
  result.mOptions = options;
  if (options.mReferenceSet)
    for (size_t i = 0; i < result.mPoints.size(); ++i)
      if (result.mPoints[i].mResult.mMeasured) ThdApplyReferences(*options.mReferenceSet, i, result.mPoints[i].mResult);
  // The sweep's own warnings first (its plan's, then what the run found of the whole), then
  // each point's, once each (a calibration warning would otherwise repeat at every point).
  for (const std::string& w : result.mWarnings)
    if (std::find(warnings.begin(), warnings.end(), w) == warnings.end()) warnings.push_back(w);
  for (const ThdSweepPoint& p : result.mPoints)
    for (const std::string& w : p.mResult.mWarnings)
      if (std::find(warnings.begin(), warnings.end(), w) == warnings.end()) warnings.push_back(w);
  result.mWarnings = std::move(warnings);
  return status;
}
