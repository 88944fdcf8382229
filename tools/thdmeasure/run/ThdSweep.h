// Sweeps: the same measurement at a series of frequencies or tone levels, each point a whole
// run of the meter with its own plug-in object. Simulated sweeps run their points in parallel;
// through real hardware the points become one stepped tone file, and the recording of it is
// cut back into its steps and each step checked and measured as a single capture is.
#pragma once

#include "ThdRun.h"

#include <functional>
#include <string>
#include <vector>

// One point of a sweep: what the user would set on the meter's face for it.
struct ThdSweepStep
{
  int mHz = 300;          // whole Hz, typed into the frequency display
  double mVolumeDb = -10; // the fader, -20..0 dB
};

struct ThdSweepPoint
{
  ThdSweepStep mStep;
  int mStatus = -1;       // the single run's exit status (0, 1, 3); -1: not run
  std::string mError;     // one line for status 1
  ThdResult mResult;      // the whole single-run result, as the single reports read it
  // Captures: where the step was found in the recording (frames), -1 when not found.
  long long mStepStart = -1;
};

struct ThdSweepResult
{
  ThdOptions mOptions;
  std::vector<ThdSweepPoint> mPoints;
  std::vector<std::string> mWarnings;
  int mJobs = 1;          // worker threads used
};

// The whole Hz the meter makes of the typed frequency text ("x440" is 440 Hz): a level sweep
// keeps it at every point.
int ThdTypedHz(const ThdOptions& options);

// The points of the sweep the options describe (frequency: log-spaced, rounded to whole Hz,
// repeats dropped; level: FROM, FROM + STEP, ... up to TO). Empty, with a one-line reason in
// error, when the sweep gives no usable point.
std::vector<ThdSweepStep> ThdPlanSweep(const ThdOptions& options, std::vector<std::string>* warnings,
                                       std::string* error);

// Told, under the runner's lock, of every finished point (done of total), in the order they
// finish.
class ThdSweepProgress
{
public:
  virtual ~ThdSweepProgress() = default;
  virtual void PointDone(int done, int total, const ThdSweepPoint& point) = 0;
  virtual void End() = 0;
};

// The options of one point's single run: the sweep's, at the step's frequency and level.
ThdOptions ThdSweepPointOptions(const ThdOptions& sweep, const ThdSweepStep& step);

// Measures the points of a sweep side by side: measure(i) for every i in [0, count) on up to
// options.mJobs threads (0: one per core, never more than the points), each thread taking the
// next index as it finishes one, so results land by index whatever the finishing order;
// finished(i) runs under one lock as each point ends. Returns the number of threads used.
int ThdMeasurePoints(const ThdOptions& options, size_t count, const std::function<void(size_t)>& measure,
                     const std::function<void(size_t)>& finished);

// Carries out the sweep in the options' mode; returns the exit status (0 all points measured,
// 1 the sweep could not run, 3 a check failed on some step of a capture) with a one-line
// reason in error for 1.
int ThdRunSweep(const ThdOptions& options, ThdSweepResult& result, ThdSweepProgress* progress, std::string* error);
