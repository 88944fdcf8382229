// thdmeasure --analyse of a 1201-second, 16-bit stereo capture at 48 kHz (the length of a
// 1200-second Denoising run): two checking passes, then the meter's run and THD+N. Baseline
// from the same run: reading the file once through libsndfile, block by block, which every
// pass of the analysis does as well. Counters: realtime_factor (seconds of capture analysed
// per second) and, for the analysis, peak_rss_mb of a child process that runs it once.
#include "ThdCaptureFile.h"
#include "ThdRun.h"

#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
constexpr int kRate = 48000;
constexpr int kSeconds = 1201;

// The capture: a 1 kHz tone at -10 dB through a mild cubic, with a little noise, on both
// channels; written once per process into a private folder.
const std::string& CapturePath()
{
  static std::string path;
  if (!path.empty()) return path;
  static char folder[] = "/tmp/vx_bench_capture_XXXXXX";
  if (!mkdtemp(folder)) return path;
  const std::string file = std::string(folder) + "/capture.wav";
  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(file.c_str(), SFM_WRITE, &info);
  if (!f) return path;
  std::vector<float> block(2 * (size_t)kRate);
  uint64_t noise = 12345;
  for (int s = 0; s < kSeconds; ++s)
  {
    for (int i = 0; i < kRate; ++i)
    {
      const double x = 0.31622776601683794 * std::sin(2.0 * 3.14159265358979323846 * 1000.0 * i / kRate);
      noise = noise * 6364136223846793005ull + 1442695040888963407ull;
      const double n = ((double)(noise >> 11) * 0x1.0p-53 - 0.5) * 2e-5;
      const float y = (float)(x + 0.01 * x * x * x + n);
      block[2 * (size_t)i] = block[2 * (size_t)i + 1] = y;
    }
    sf_writef_float(f, block.data(), kRate);
  }
  sf_close(f);
  path = file;
  return path;
}

ThdOptions AnalyseOptions()
{
  ThdOptions o;
  o.mMode = EThdMode::kAnalyse;
  o.mCapture = CapturePath();
  o.mFreqText = "1000";
  o.mDenoising = 1200;
  o.mNoCalibration = true;
  o.mDocumentsFolder = "/tmp";
  return o;
}

void BM_ReadCaptureOnce(benchmark::State& state)
{
  if (CapturePath().empty()) return state.SkipWithError("cannot write the capture");
  std::vector<float> block(65536);
  for (auto _ : state)
  {
    ThdCaptureFile file;
    std::string error;
    if (!file.Open(CapturePath(), 0, &error)) return state.SkipWithError(error.c_str());
    double sum = 0.0;
    for (int got; (got = file.Read(block.data(), (int)block.size())) > 0;) sum += block[0];
    benchmark::DoNotOptimize(sum);
  }
  state.counters["realtime_factor"] = benchmark::Counter((double)kSeconds * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_AnalyseCapture1201s(benchmark::State& state)
{
  if (CapturePath().empty()) return state.SkipWithError("cannot write the capture");
  const ThdOptions o = AnalyseOptions();
  for (auto _ : state)
  {
    ThdResult r;
    std::string error;
    const int status = ThdRunMeasurement(o, r, nullptr, &error);
    if (status != 0 || !r.mMeasured) return state.SkipWithError(("analysis failed: " + error).c_str());
    if (std::fabs(r.mHarmonics[0].mLevel - 0.31622776601683794 * (1.0 + 0.0075 * 0.1)) > 1e-4)
      return state.SkipWithError("H1 is not what the capture holds");
  }
  state.counters["realtime_factor"] = benchmark::Counter((double)kSeconds * state.iterations(), benchmark::Counter::kIsRate);

  // Peak memory of one analysis on its own, in a child process.
  const pid_t child = fork();
  if (child == 0)
  {
    ThdResult r;
    std::string error;
    _exit(ThdRunMeasurement(o, r, nullptr, &error));
  }
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child)
  {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    state.counters["peak_rss_mb"] = (double)usage.ru_maxrss / 1024.0;
  }
}
}  // namespace

BENCHMARK(BM_ReadCaptureOnce)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_AnalyseCapture1201s)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
