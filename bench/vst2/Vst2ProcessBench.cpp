// What the VST 2 binding adds to one processing call of the meter, at block 512 with a
// measurement running (the engine's real per-sample work):
//   BM_MeterDirect             the baseline: the meter's ProcessDoubleReplacing called directly
//   BM_Vst2DoubleReplacing     the same through processDoubleReplacing: mutex, completing the
//                              host's pointer arrays, attaching the buffers
//   BM_MeterDirectFromFloat    the float baseline: float host data converted to double by the
//                              caller, the meter called directly, its outputs converted back
//   BM_Vst2Replacing           through processReplacing (the binding and the base's float frame)
// Read the binding's cost as the ratio of BM_Vst2DoubleReplacing to BM_MeterDirect and of
// BM_Vst2Replacing to BM_MeterDirectFromFloat, from the same run (CPU time: the machine is
// shared, and wall time includes other processes' turns).
#include "IThdMeter.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {
constexpr int kBlock = 512;

class BenchMeter
{
public:
  BenchMeter()
  {
#ifndef _WIN32
    static char home[] = "/tmp/vx_bench_home_XXXXXX";
    if (mkdtemp(home)) setenv("HOME", home, 1);
#endif
    mMeter = new IThdMeter(IFxInstanceInfo{});
    mEffect = mMeter->GetAEffect();
    mEffect->dispatcher(mEffect, effOpen, 0, 0, nullptr, 0.0f);
    mEffect->dispatcher(mEffect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    mEffect->dispatcher(mEffect, effSetBlockSize, 0, kBlock, nullptr, 0.0f);
    mEffect->dispatcher(mEffect, effMainsChanged, 0, 1, nullptr, 0.0f);
    // The longest denoising, so that a run outlasts the benchmark's iterations.
    mEffect->setParameter(mEffect, kParamDenoising, 1.0f);
    mMeter->from_GUI(kParamDenoising);
  }
  ~BenchMeter() { mEffect->dispatcher(mEffect, effClose, 0, 0, nullptr, 0.0f); }

  // Starts a measurement when none runs (outside the timed region).
  void KeepMeasuring(benchmark::State& state)
  {
    if (mMeter->IsMeasuring()) return;
    state.PauseTiming();
    mMeter->from_GUI(kParamStart);
    state.ResumeTiming();
  }

  IThdMeter* mMeter;
  AEffect* mEffect;
};

template <class T>
struct Block
{
  Block() : in0(kBlock), in1(kBlock), out0(kBlock), out1(kBlock)
  {
    for (int i = 0; i < kBlock; ++i) in0[i] = in1[i] = (T)(0.3 * ((i * 7919) % 1000) / 1000.0);
  }
  std::vector<T> in0, in1, out0, out1;
  T* ins[2] = {in0.data(), in1.data()};
  T* outs[2] = {out0.data(), out1.data()};
};

void BM_MeterDirect(benchmark::State& state)
{
  BenchMeter m;
  Block<double> b;
  for (auto _ : state)
  {
    m.KeepMeasuring(state);
    m.mMeter->ProcessDoubleReplacing(b.ins, b.outs, kBlock);
    benchmark::DoNotOptimize(b.out0.data());
  }
  state.SetItemsProcessed(state.iterations() * kBlock);
}

void BM_Vst2DoubleReplacing(benchmark::State& state)
{
  BenchMeter m;
  Block<double> b;
  for (auto _ : state)
  {
    m.KeepMeasuring(state);
    m.mEffect->processDoubleReplacing(m.mEffect, b.ins, b.outs, kBlock);
    benchmark::DoNotOptimize(b.out0.data());
  }
  state.SetItemsProcessed(state.iterations() * kBlock);
}

void BM_MeterDirectFromFloat(benchmark::State& state)
{
  BenchMeter m;
  Block<float> b;
  Block<double> d;
  for (auto _ : state)
  {
    m.KeepMeasuring(state);
    for (int i = 0; i < kBlock; ++i)
    {
      d.in0[i] = b.in0[i];
      d.in1[i] = b.in1[i];
    }
    m.mMeter->ProcessDoubleReplacing(d.ins, d.outs, kBlock);
    for (int i = 0; i < kBlock; ++i)
    {
      b.out0[i] = (float)d.out0[i];
      b.out1[i] = (float)d.out1[i];
    }
    benchmark::DoNotOptimize(b.out0.data());
  }
  state.SetItemsProcessed(state.iterations() * kBlock);
}

void BM_Vst2Replacing(benchmark::State& state)
{
  BenchMeter m;
  Block<float> b;
  for (auto _ : state)
  {
    m.KeepMeasuring(state);
    m.mEffect->processReplacing(m.mEffect, b.ins, b.outs, kBlock);
    benchmark::DoNotOptimize(b.out0.data());
  }
  state.SetItemsProcessed(state.iterations() * kBlock);
}
}  // namespace

BENCHMARK(BM_MeterDirect)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_Vst2DoubleReplacing)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_MeterDirectFromFloat)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_Vst2Replacing)->Repetitions(9)->ReportAggregatesOnly(true);
