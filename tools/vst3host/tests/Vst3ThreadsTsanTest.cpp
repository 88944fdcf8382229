// Three host threads on one instance of the built module, as hosts use it: the audio thread
// processes blocks with parameter changes, the user-interface thread changes and reads
// parameters through the controller, and a third thread saves and restores state. Meant for
// ThreadSanitizer; in other builds it checks that the values stay within their ranges.
#include "ThdPrivateHome.h"
#include "Vst3HostSide.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace vst3host;

class Vst3Threads : public ThdPrivateHome
{
};

TEST_F(Vst3Threads, AudioUiAndStateThreadsShareOneInstance)
{
  Module module;
  std::string error;
  ASSERT_TRUE(module.Load(VX_VST3_BUNDLE, &error)) << error;
  Instance plug;
  ASSERT_TRUE(plug.Create(module.Factory(), 0));
  HostApplication host;
  ComponentHandler handler;
  ASSERT_EQ(plug.mComponent->initialize(&host), kResultOk);
  ASSERT_EQ(plug.mController->setComponentHandler(&handler), kResultOk);
  ProcessSetup setup{kRealtime, kSample32, 256, 48000.0};
  ASSERT_EQ(plug.mProcessor->setupProcessing(setup), kResultOk);
  ASSERT_EQ(plug.mComponent->setActive(1), kResultOk);

  std::atomic<bool> stop{false};
  std::atomic<int> blocks{0};
  std::thread audio([&] {
    std::vector<float> buf(4 * 256, 0.1f);
    float* ins[] = {&buf[0], &buf[256]};
    float* outs[] = {&buf[512], &buf[768]};
    Block block;
    for (int i = 0; i < 400 || !stop.load(); ++i)
    {
      block.mChanges.Clear();
      block.mChanges.Add(3, (i % 10) / 10.0);          // Volume
      block.mChanges.Add(0x62706173, (i % 3) == 0);    // bypass
      block.SetUp32(ins, 2, outs, 2, 256);
      if (plug.mProcessor->process(block.mData) != kResultOk) break;
      blocks.fetch_add(1);
      if (i > 20000) break;
    }
  });
  std::thread ui([&] {
    String128 text;
    for (int i = 0; i < 2000; ++i)
    {
      plug.mController->setParamNormalized(2, (i % 7) / 7.0);  // Denoising
      const double v = plug.mController->getParamNormalized(3);
      EXPECT_TRUE(v >= 0.0 && v <= 1.0);
      plug.mController->getParamStringByValue(3, v, text);
      plug.mController->getParamNormalized(0x62706173);
    }
  });
  std::thread state([&] {
    for (int i = 0; i < 300; ++i)
    {
      MemoryStream component, controller;
      EXPECT_EQ(plug.mComponent->getState(&component), kResultOk);
      EXPECT_EQ(plug.mController->getState(&controller), kResultOk);
      EXPECT_EQ(component.mBytes.size(), 88u);
      EXPECT_EQ(controller.mBytes.size(), 92u);
      component.Rewind();
      EXPECT_EQ(plug.mComponent->setState(&component), kResultOk);
    }
  });
  ui.join();
  state.join();
  stop.store(true);
  audio.join();
  EXPECT_GE(blocks.load(), 400);

  plug.mComponent->setActive(0);
  plug.mComponent->terminate();
  plug.Release();
  EXPECT_TRUE(module.Unload());
}
