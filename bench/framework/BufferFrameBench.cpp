// Cost of the buffer frame around a plug-in: float host buffers in and out, 2 in / 2 out,
// block 512, with a pass-through plug-in. The baseline is the bare copy a host would do
// without any frame (convert float -> float), measured in the same run.
#include "IFxTestBinding.h"
#include "Util_ByteOrder.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {
constexpr int kBlock = 512;

class PassThrough : public IFxTestBinding
{
public:
  PassThrough()
    : IFxTestBinding(IFxInstanceInfo{}, 0, "1-1 2-2", 1, "Pass", "", "", 0x10000, Util_FourCC("Pass"),
                     Util_FourCC("Exmp"), 0, false, true, false)
  {
  }
};

void BM_BufferFrameFloat(benchmark::State& state)
{
  PassThrough plug;
  plug.HostPrepare(48000.0, kBlock);
  std::vector<float> in0(kBlock, 0.25f), in1(kBlock, -0.25f), out0(kBlock), out1(kBlock);
  float* ins[] = {in0.data(), in1.data()};
  float* outs[] = {out0.data(), out1.data()};
  for (auto _ : state)
  {
    plug.HostProcess(ins, outs, kBlock);
    benchmark::DoNotOptimize(out0.data());
    benchmark::DoNotOptimize(out1.data());
  }
  state.SetItemsProcessed(state.iterations() * kBlock);
  state.counters["ns_per_frame"] = benchmark::Counter((double)kBlock, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_BufferFrameDouble(benchmark::State& state)
{
  PassThrough plug;
  plug.HostPrepare(48000.0, kBlock);
  std::vector<double> in0(kBlock, 0.25), in1(kBlock, -0.25), out0(kBlock), out1(kBlock);
  double* ins[] = {in0.data(), in1.data()};
  double* outs[] = {out0.data(), out1.data()};
  for (auto _ : state)
  {
    plug.HostProcess(ins, outs, kBlock);
    benchmark::DoNotOptimize(out0.data());
  }
  state.counters["ns_per_frame"] = benchmark::Counter((double)kBlock, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Baseline: what a float pass-through costs with no double frame at all.
void BM_BareFloatCopy(benchmark::State& state)
{
  std::vector<float> in0(kBlock, 0.25f), in1(kBlock, -0.25f), out0(kBlock), out1(kBlock);
  for (auto _ : state)
  {
    for (int i = 0; i < kBlock; ++i) out0[i] = in0[i];
    for (int i = 0; i < kBlock; ++i) out1[i] = in1[i];
    benchmark::DoNotOptimize(out0.data());
    benchmark::DoNotOptimize(out1.data());
    benchmark::ClobberMemory();
  }
  state.counters["ns_per_frame"] = benchmark::Counter((double)kBlock, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
}  // namespace

BENCHMARK(BM_BareFloatCopy);
BENCHMARK(BM_BufferFrameFloat);
BENCHMARK(BM_BufferFrameDouble);
