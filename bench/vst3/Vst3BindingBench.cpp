// What the VST 3 binding costs per process call, against calling the meter's processing
// directly (same meter code, same block, a measurement running), and how long a host waits
// from dlopen to the first processed block. Compare the figures of one run as ratios.
#include "IThdMeter.h"
#include "Vst3HostSide.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <unistd.h>
#include <vector>

using namespace vst3;

namespace {
constexpr int kBlock = 512;

void UsePrivateHome()
{
  static bool done = false;
  if (done) return;
  static char dir[] = "/tmp/vx_bench_vst3_XXXXXX";
  if (mkdtemp(dir)) setenv("HOME", dir, 1);
  done = true;
}

// A meter over the binding, set up for blocks of 512, with a 1200-second measurement running
// so that the engine does its full work in every block.
struct RunningMeter
{
  IThdMeter* mMeter = nullptr;
  std::vector<double> mBuf = std::vector<double>(4 * kBlock, 0.0);
  std::vector<float> mFBuf = std::vector<float>(4 * kBlock, 0.0f);
  double* mIns[2];
  double* mOuts[2];
  float* mFIns[2];
  float* mFOuts[2];
  vst3host::Block mBlock;
  int32 mSampleSize;

  explicit RunningMeter(int32 sampleSize) : mSampleSize(sampleSize)
  {
    UsePrivateHome();
    for (int i = 0; i < kBlock; ++i) mBuf[(size_t)i] = mBuf[kBlock + (size_t)i] = 0.5 * std::sin(0.05 * i);
    for (int i = 0; i < 2 * kBlock; ++i) mFBuf[(size_t)i] = (float)mBuf[(size_t)i];
    mIns[0] = &mBuf[0]; mIns[1] = &mBuf[kBlock]; mOuts[0] = &mBuf[2 * kBlock]; mOuts[1] = &mBuf[3 * kBlock];
    mFIns[0] = &mFBuf[0]; mFIns[1] = &mFBuf[kBlock]; mFOuts[0] = &mFBuf[2 * kBlock]; mFOuts[1] = &mFBuf[3 * kBlock];
    mMeter = new IThdMeter(IFxInstanceInfo{});
    IComponent* c = mMeter;
    c->initialize(nullptr);
    ProcessSetup setup{kRealtime, sampleSize, kBlock, 48000.0};
    static_cast<IAudioProcessor*>(mMeter)->setupProcessing(setup);
    c->setActive(1);
    mBlock.mChanges.Add(kParamDenoising, 1.0);  // 1200 seconds: the run outlasts the benchmark
    Process();
    mMeter->from_GUI(kParamStart);
    Process();
    // From here on, a small queue each block: three points on Volume, two on Output.
    mBlock.mChanges.Clear();
    mBlock.mChanges.Add(kParamVolume, 0.4, 0);
    mBlock.mChanges.Add(kParamVolume, 0.45, 100);
    mBlock.mChanges.Add(kParamVolume, 0.5, 300);
    mBlock.mChanges.Add(kParamOutput, 0.0, 0);
    mBlock.mChanges.Add(kParamOutput, 0.0, 200);
  }
  ~RunningMeter() { static_cast<IComponent*>(mMeter)->release(); }

  // A long benchmark outlasts even a 1200-second run; start the next one as the user would.
  void KeepMeasuring()
  {
    if (!mMeter->IsMeasuring()) mMeter->from_GUI(kParamStart);
  }

  tresult Process()
  {
    if (mSampleSize == kSample64) mBlock.SetUp64(mIns, 2, mOuts, 2, kBlock);
    else mBlock.SetUp32(mFIns, 2, mFOuts, 2, kBlock);
    return static_cast<IAudioProcessor*>(mMeter)->process(mBlock.mData);
  }
};
}  // namespace

// The baseline: the meter's own processing, called as the binding calls it, minus the binding.
static void BM_MeterDirect(benchmark::State& state)
{
  RunningMeter m(kSample64);
  for (auto _ : state)
  {
    m.KeepMeasuring();
    m.mMeter->ProcessDoubleReplacing(m.mIns, m.mOuts, kBlock);
    benchmark::DoNotOptimize(m.mBuf.data());
  }
}
BENCHMARK(BM_MeterDirect);

// The whole process call of the binding, 64-bit: lock, queues, buffer attachment, engine.
static void BM_BindingProcess64(benchmark::State& state)
{
  RunningMeter m(kSample64);
  for (auto _ : state)
  {
    m.KeepMeasuring();
    benchmark::DoNotOptimize(m.Process());
  }
}
BENCHMARK(BM_BindingProcess64);

// The binding's fixed cost: the same call without parameter changes.
static void BM_BindingProcess64NoChanges(benchmark::State& state)
{
  RunningMeter m(kSample64);
  m.mBlock.mChanges.Clear();
  for (auto _ : state)
  {
    m.KeepMeasuring();
    benchmark::DoNotOptimize(m.Process());
  }
}
BENCHMARK(BM_BindingProcess64NoChanges);

// The same in 32-bit, which adds the float conversions in and out.
static void BM_BindingProcess32(benchmark::State& state)
{
  RunningMeter m(kSample32);
  for (auto _ : state)
  {
    m.KeepMeasuring();
    benchmark::DoNotOptimize(m.Process());
  }
}
BENCHMARK(BM_BindingProcess32);

// dlopen, entry point, factory, instance, initialize, set-up, activation and one block of the
// built bundle; unloading is not timed.
static void BM_DlopenToFirstBlock(benchmark::State& state)
{
  UsePrivateHome();
  std::vector<double> buf(4 * kBlock, 0.1);
  double* ins[] = {&buf[0], &buf[kBlock]};
  double* outs[] = {&buf[2 * kBlock], &buf[3 * kBlock]};
  vst3host::HostApplication host;
  for (auto _ : state)
  {
    vst3host::Module module;
    std::string error;
    if (!module.Load(VX_VST3_BUNDLE, &error))
    {
      state.SkipWithError(error.c_str());
      break;
    }
    vst3host::Instance inst;
    inst.Create(module.Factory(), 0);
    inst.mComponent->initialize(&host);
    ProcessSetup setup{kRealtime, kSample64, kBlock, 48000.0};
    inst.mProcessor->setupProcessing(setup);
    inst.mComponent->setActive(1);
    vst3host::Block block;
    block.SetUp64(ins, 2, outs, 2, kBlock);
    benchmark::DoNotOptimize(inst.mProcessor->process(block.mData));
    state.PauseTiming();
    inst.mComponent->terminate();
    inst.Release();
    module.Unload();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DlopenToFirstBlock)->Unit(benchmark::kMicrosecond);
