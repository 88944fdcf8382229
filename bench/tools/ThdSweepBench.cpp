// thdmeasure --sweep-freq 20:20000:31 with 12-second averaging through the soft clipper: each
// point a whole run of its own plug-in object. Baseline from the same run: the sweep on one
// worker thread. Counters: jobs, realtime_factor (seconds of audio the sweep runs, 31 x 13,
// per wall-clock second); the speed-up is the one-worker time over the all-cores time.
#include "ThdSweep.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>

namespace {
constexpr int kPoints = 31;
constexpr int kDenoising = 12;

ThdOptions SweepOptions(int jobs)
{
  // A private documents folder: no calibration file of the user's changes the work.
  static char folder[] = "/tmp/vx_bench_sweep_XXXXXX";
  static const bool made = mkdtemp(folder) != nullptr;
  ThdOptions o;
  if (made) o.mDocumentsFolder = folder;
  o.mNoCalibration = true;
  o.mDenoising = kDenoising;
  o.mDevice.mModel = EThdDeviceModel::kSoftClip;
  o.mDevice.mDrive = 2.0;
  o.mSweep.mKind = EThdSweep::kFrequency;
  o.mSweep.mFrom = 20;
  o.mSweep.mTo = 20000;
  o.mSweep.mPoints = kPoints;
  o.mJobs = jobs;
  return o;
}

void RunSweep(benchmark::State& state, int jobs)
{
  const ThdOptions o = SweepOptions(jobs);
  for (auto _ : state)
  {
    ThdSweepResult r;
    std::string error;
    if (ThdRunSweep(o, r, nullptr, &error) != 0)
    {
      state.SkipWithError(error.c_str());
      return;
    }
    benchmark::DoNotOptimize(r.mPoints.back().mResult.mThdPercent);
  }
  state.counters["jobs"] = jobs;
  state.counters["realtime_factor"] =
    benchmark::Counter((double)state.iterations() * kPoints * (kDenoising + 1), benchmark::Counter::kIsRate);
}

void BM_SweepOneCore(benchmark::State& state) { RunSweep(state, 1); }
void BM_SweepAllCores(benchmark::State& state)
{
  RunSweep(state, std::max(1, (int)std::thread::hardware_concurrency()));
}
}  // namespace

BENCHMARK(BM_SweepOneCore)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_SweepAllCores)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
