// Host threads meeting in the VST 2 binding: an audio thread processing while a user-interface
// thread sets and reads parameters, asks for displays and saves and restores chunks, and the
// editor thread changes parameters the way controls do. Every entry point holds the plug-in
// mutex, so ThreadSanitizer must find no race.
#include "IThdMeter.h"
#include "ThdPrivateHome.h"
#include "Vst2Host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

AEffect* VSTCALLBACK MeterEntry(audioMasterCallback host)
{
  IFxInstanceInfo info;
  info.mVSTHostCallback = host;
  IFxVST* plug = new IThdMeter(info);
  plug->EnsureDefaultPreset();
  return plug->GetAEffect();
}

class Vst2Threads : public ThdPrivateHome
{
};

TEST_F(Vst2Threads, AudioUiAndEditorThreads)
{
  Vst2Host host;
  ASSERT_TRUE(host.Create(MeterEntry));
  host.Start(48000.0, 256);
  IThdMeter* meter = (IThdMeter*)host.Effect()->object;
  std::atomic<bool> stop{false};

  std::thread audio([&] {
    std::vector<float> in(256, 0.1f), out0(256), out1(256);
    std::vector<double> din(256, 0.1), dout0(256), dout1(256);
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {out0.data(), out1.data()};
    double* dins[2] = {din.data(), din.data()};
    double* douts[2] = {dout0.data(), dout1.data()};
    for (int i = 0; i < 3000 && !stop; ++i)
    {
      if (i % 2) host.ProcessReplacing(ins, outs, 256);
      else host.ProcessDoubleReplacing(dins, douts, 256);
    }
  });
  std::thread editor([&] {
    for (int i = 0; i < 2000; ++i) meter->SetParameterFromGUI(kParamVolume, (i % 100) / 100.0);
  });
  for (int i = 0; i < 500; ++i)
  {
    host.SetParameter(kParamDenoising, (i % 3) * 0.5f);
    host.GetParameter(kParamVolume);
    host.GetString(effGetParamDisplay, kParamVolume);
    const std::vector<uint8_t> bank = host.GetChunk(false);
    EXPECT_EQ(host.SetChunk(false, bank), 1);
    EXPECT_EQ(host.SetChunk(true, host.GetChunk(true)), 1);
  }
  editor.join();
  stop = true;
  audio.join();
  EXPECT_GT(host.CountCalls(audioMasterAutomate), 0);
  host.Close();
}

}  // namespace
