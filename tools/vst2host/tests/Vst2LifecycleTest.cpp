// A thousand instances of VeldramixMeter.so, each created, opened, run, saved, restored and
// closed as a host does. Under AddressSanitizer the leak check at exit sees anything an
// instance left behind; elsewhere the heap in use must not grow with the number of cycles.
#include "ThdPrivateHome.h"
#include "Vst2Host.h"

#include <gtest/gtest.h>

#include <malloc.h>

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kPlainHeap = false;
#else
constexpr bool kPlainHeap = true;
#endif

class Vst2Lifecycle : public ThdPrivateHome
{
};

void OneCycle(VstPluginMainProc entry)
{
  Vst2Host host;
  ASSERT_TRUE(host.Create(entry));
  host.Start(48000.0, 512);
  std::vector<float> in(512, 0.25f), out0(512), out1(512);
  std::vector<double> din(512, 0.25), dout0(512), dout1(512);
  float* ins[2] = {in.data(), in.data()};
  float* outs[2] = {out0.data(), out1.data()};
  double* dins[2] = {din.data(), din.data()};
  double* douts[2] = {dout0.data(), dout1.data()};
  host.ProcessReplacing(ins, outs, 512);
  host.ProcessDoubleReplacing(dins, douts, 512);
  const std::vector<uint8_t> bank = host.GetChunk(false);
  ASSERT_EQ(host.SetChunk(false, bank), 1);
  ASSERT_EQ(host.SetChunk(true, host.GetChunk(true)), 1);
  host.Close();
}

TEST_F(Vst2Lifecycle, ThousandInstancesLeaveNothingBehind)
{
  Vst2Module module;
  ASSERT_TRUE(module.Load(VX_VST2_MODULE)) << module.Error();
  const VstPluginMainProc entry = module.Entry();
  ASSERT_NE(entry, nullptr);

  // Warm up module-wide state (caches, first-use allocations) before measuring.
  for (int i = 0; i < 20; ++i) OneCycle(entry);
  const size_t before = mallinfo2().uordblks;
  for (int i = 0; i < 1000; ++i)
  {
    OneCycle(entry);
    if (HasFatalFailure()) return;
  }
  const size_t after = mallinfo2().uordblks;
  if (kPlainHeap)
  {
    EXPECT_LT(after, before + 64 * 1024) << "heap in use grew from " << before << " to " << after << " bytes";
  }
}

}  // namespace
