// (a) The engine's cost per frame while measuring, driven alone (no plug-in, no binding): the
//     two-lane loop, the plain per-harmonic loop, and a naive reference that evaluates sin and
//     cos of every harmonic every frame. Before timing, each benchmark checks its results: the
//     two engine loops to the bit, the naive reference within 1e-9 of the engine.
// (b) A whole 1201-second measurement at 48 kHz through thdmeasure's host loop (float
//     buffers, block 512; loop-back device, and the soft clipper for comparison); the
//     counter realtime_factor is seconds of audio measured per second.
//
// The engine's floor: each oscillator step is a multiply then an add on the previous step's
// result, rounded exactly as the plain formulas round, so a frame costs at least one
// multiply and one add latency (about 8 cycles) however many lanes run side by side.
#include "IThdMeter.h"
#include "ThdDevice.h"
#include "ThdEngine.h"
#include "ThdLoopHost.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {
constexpr double kRate = 48000.0;
constexpr int kBlock = 512;
constexpr double kFrequency = 997.0;

// No calibration file of the user may change what is measured here: the meters get a
// private documents folder.
IFxInstanceInfo BenchInfo()
{
  static char folder[] = "/tmp/vx_bench_documents_XXXXXX";
  static const bool made = mkdtemp(folder) != nullptr;
  IFxInstanceInfo info;
  info.mDocumentsFolder = made ? folder : nullptr;
  return info;
}

void SetUp(IThdMeter& meter, double denoising)
{
  meter.SetParameterFromGUI(kParamVolume, 1.0);
  meter.from_GUI(kParamVolume);
  meter.SetParameterFromGUI(kParamDenoising, denoising);
  meter.SetFrequencyEntry("997");
  meter.from_GUI(kTagFrequencyEntry);
}

// The input the engine analyses: a tone with a little of harmonics 2 and 3.
std::vector<double> TestInput(int frames)
{
  std::vector<double> x((size_t)frames);
  for (int i = 0; i < frames; ++i)
  {
    const double t = 6.283185307179586 * kFrequency * (i % (int)kRate) / kRate;
    x[(size_t)i] = 0.5 * std::sin(t) + 0.01 * std::sin(2 * t) + 0.003 * std::cos(3 * t);
  }
  return x;
}

// The naive reference: the same measurement with every harmonic's sine and cosine computed
// from its phase every frame.
struct NaiveMeter
{
  double sumCos[5] = {}, sumSin[5] = {};
  long long n = 0;
  const int S = (int)kRate;

  void Process(const double* in, double* out0, double* out1, int frames)
  {
    for (int i = 0; i < frames; ++i, ++n)
    {
      const double phase = 6.283185307179586 * kFrequency * (double)(n % S) / kRate;
      const double x = in[i];
      double s1 = 0.0;
      for (int k = 0; k < 5; ++k)
      {
        const double s = std::sin((k + 1) * phase), c = std::cos((k + 1) * phase);
        if (k == 0) s1 = s;
        if (n >= S)
        {
          sumCos[k] += x * c;
          sumSin[k] += x * s;
        }
      }
      out0[i] = s1;
      out1[i] = 0.0;
    }
  }
  double Level(int k) const { return 2.0 * std::sqrt(sumCos[k] * sumCos[k] + sumSin[k] * sumSin[k]) / kRate / 12.0; }
};

struct EngineRun
{
  double h[5];
  double thd;
};

// An engine at 0 dB, tuned to the test frequency, averaging for 12 or 1200 seconds.
void StartEngine(ThdEngine& engine, bool vector, double seconds)
{
  const double noCalibration[ThdEngine::kHarmonics] = {1.0, 1.0, 1.0, 1.0, 1.0};
  engine.SetSampleRate(kRate);
  engine.SetAmplitude(1.0);
  engine.SetFrequency(kFrequency);
  engine.SetVectorPath(vector);
  engine.Start(kFrequency, seconds, noCalibration);
}

// A whole 13-second run with the input above, straight through the engine.
EngineRun RunEngine(bool vector)
{
  ThdEngine engine;
  StartEngine(engine, vector, 12.0);
  const std::vector<double> input = TestInput(14 * (int)kRate);
  std::vector<double> zero(kBlock), out0(kBlock), out1(kBlock);
  for (size_t pos = 0; engine.IsMeasuring() && pos + kBlock <= input.size(); pos += kBlock)
  {
    double* ins[2] = {const_cast<double*>(input.data() + pos), zero.data()};
    double* outs[2] = {out0.data(), out1.data()};
    engine.Process(ins, outs, kBlock);
  }
  EngineRun r{};
  for (int k = 0; k < 5; ++k) r.h[k] = engine.GetHarmonicLevel(k + 1);
  r.thd = engine.GetTHD();
  return r;
}

bool CheckEngines(benchmark::State& state)
{
  const EngineRun v = RunEngine(true), p = RunEngine(false);
  if (std::memcmp(&v, &p, sizeof v) != 0)
  {
    state.SkipWithError("two-lane and plain engine loops differ");
    return false;
  }
  NaiveMeter naive;
  const std::vector<double> input = TestInput(13 * (int)kRate);
  std::vector<double> o0(input.size()), o1(input.size());
  naive.Process(input.data(), o0.data(), o1.data(), (int)input.size());
  for (int k = 0; k < 5; ++k)
    if (std::fabs(naive.Level(k) - v.h[k]) > 1e-9)
    {
      state.SkipWithError("naive reference and engine disagree");
      return false;
    }
  return true;
}

void EngineBench(benchmark::State& state, bool vector)
{
  if (!CheckEngines(state)) return;
  ThdEngine engine;
  StartEngine(engine, vector, 1200.0);  // 1201 s: the run outlasts most of the timing
  const std::vector<double> input = TestInput(kBlock * 64);
  std::vector<double> zero(kBlock), out0(kBlock), out1(kBlock);
  const double noCalibration[ThdEngine::kHarmonics] = {1.0, 1.0, 1.0, 1.0, 1.0};
  size_t pos = 0;
  for (auto _ : state)
  {
    if (!engine.IsMeasuring()) engine.Start(kFrequency, 1200.0, noCalibration);
    double* ins[2] = {const_cast<double*>(input.data() + pos), zero.data()};
    double* outs[2] = {out0.data(), out1.data()};
    engine.Process(ins, outs, kBlock);
    benchmark::DoNotOptimize(out0.data());
    pos = pos + 2 * kBlock <= input.size() ? pos + kBlock : 0;
  }
  state.SetItemsProcessed(state.iterations() * kBlock);
}

void BM_EngineTwoLane(benchmark::State& state) { EngineBench(state, true); }
void BM_EnginePlain(benchmark::State& state) { EngineBench(state, false); }

void BM_NaiveSinCos(benchmark::State& state)
{
  if (!CheckEngines(state)) return;
  NaiveMeter naive;
  const std::vector<double> input = TestInput(kBlock * 64);
  std::vector<double> out0(kBlock), out1(kBlock);
  size_t pos = 0;
  for (auto _ : state)
  {
    naive.Process(input.data() + pos, out0.data(), out1.data(), kBlock);
    // The sums must be kept, or the compiler drops the sines and cosines nobody reads.
    benchmark::DoNotOptimize(&naive);
    benchmark::ClobberMemory();
    benchmark::DoNotOptimize(out0.data());
    pos = pos + 2 * kBlock <= input.size() ? pos + kBlock : 0;
  }
  state.SetItemsProcessed(state.iterations() * kBlock);
}

// (b) One whole measurement per iteration, as thdmeasure runs it.
void BM_WholeMeasurement1201s(benchmark::State& state)
{
  const auto model = (EThdDeviceModel)state.range(0);
  double seconds = 0.0;
  for (auto _ : state)
  {
    IThdMeter meter{BenchInfo()};
    ThdDeviceSettings devSettings;
    devSettings.mModel = model;
    devSettings.mDrive = 2.0;
    ThdDevice device(devSettings);
    ThdLoopSettings hostSettings;  // 48 kHz, block 512, float buffers
    ThdLoopHost host(meter, &device, hostSettings);
    SetUp(meter, 1.0);
    meter.from_GUI(kParamStart);
    bool done = false;
    while (!done && host.Frames() < 1203LL * 48000) done = host.ProcessBlock() == kMessageResults;
    const double h1 = meter.GetHarmonicLevel(1);
    const bool plausible = model == EThdDeviceModel::kLoopBack ? std::fabs(h1 - 1.0) < 1e-6 : h1 > 0.3 && h1 < 0.6 && meter.GetTHD() > 1.0;
    if (!done || !plausible)
    {
      state.SkipWithError("the measurement did not complete as expected");
      return;
    }
    seconds += 1201.0;
  }
  state.counters["realtime_factor"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
}
}  // namespace

BENCHMARK(BM_EngineTwoLane);
BENCHMARK(BM_EnginePlain);
BENCHMARK(BM_NaiveSinCos);
// realtime_factor divides by wall time in the /real_time rows and by the thread's CPU time
// in the others (the figure on an unloaded machine).
BENCHMARK(BM_WholeMeasurement1201s)->Arg((int)EThdDeviceModel::kLoopBack)->Arg((int)EThdDeviceModel::kSoftClip)
  ->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_WholeMeasurement1201s)->Arg((int)EThdDeviceModel::kLoopBack)->Unit(benchmark::kMillisecond)->Iterations(3);
