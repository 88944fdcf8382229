// The editor among the meter's threads: the audio thread measures and posts messages to the
// dummy control, the editor thread ticks the drawing pass and clicks through the headless
// host, and a host thread automates parameters and restores state, all at once. Built in every
// configuration; under ThreadSanitizer it shows that what the threads share is ordered.
#include "ThdEditorHost.h"
#include "ThdTestFolder.h"

#include "ByteChunk.h"
#include "Util_Mutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {
namespace P = ThdEditorPoints;
using ThdEditorThreadsTsanTest = ThdTestFolder;

// What a binding does for a host's parameter change: under the plug-in mutex, set it, tell
// the plug-in, and let the editor's controls follow.
void HostAutomate(IThdMeter& meter, int idx, double value)
{
  Util_MutexLock lock(meter.GetMutex());
  meter.GetParam(idx)->SetNormalized(value);
  meter.OnParamChange(idx);
  if (IEditorLink* gui = meter.GetGUI()) gui->SetParameterFromPlug(idx, value, true);
}
}  // namespace

TEST_F(ThdEditorThreadsTsanTest, AudioEditorAndHostThreads)
{
  IThdMeter meter{Info()};
  constexpr int kBlock = 16;
  meter.HostPrepare(200, kBlock);  // short seconds, so that runs complete during the test
  IGraphicsHeadless* gui = static_cast<IGraphicsHeadless*>(IGraphics::FromPlug(&meter));
  ASSERT_NE(gui, nullptr);
  gui->OpenWindow(gui);
  gui->Tick();
  gui->Click(P::kFrequency[0], P::kFrequency[1]);
  gui->CompleteTextEntry("50");

  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0};

  std::thread audio([&] {
    std::vector<double> in0(kBlock), in1(kBlock), out0(kBlock), out1(kBlock);
    while (!stop.load())
    {
      in0 = out0;
      in1 = out1;
      double* ins[2] = {in0.data(), in1.data()};
      double* outs[2] = {out0.data(), out1.data()};
      meter.HostProcess(ins, outs, kBlock);
      blocks.fetch_add(1);
    }
  });

  std::thread host([&] {
    int step = 0;
    while (!stop.load())
    {
      switch (step++ % 6)
      {
        case 0: HostAutomate(meter, kParamVolume, (step % 10) / 10.0); break;
        case 1: HostAutomate(meter, kParamDenoising, 0.0); break;
        case 2: HostAutomate(meter, kParamOutput, step % 4 ? 0.0 : 1.0); break;
        case 3:
        {
          ByteChunk chunk;
          Util_MutexLock lock(meter.GetMutex());
          meter.SerializeState(&chunk);
          meter.UnserializeState(&chunk, 0);
          break;
        }
        case 4:
        {
          Util_MutexLock lock(meter.GetMutex());
          meter.PresetsChangedByHost();
          break;
        }
        default: std::this_thread::yield(); break;
      }
    }
  });

  // The editor thread: ticks and clicks.
  int results = 0, progress = 0;
  std::string last;
  // Until the audio thread has shown progress and completed a run: a Cancel puts the blank
  // template, which also begins "THD=", into the results text, and a slow thread start (under
  // Wine) must not end the loop before the audio thread has run at all.
  for (int step = 0; step < 1500 || results < 1 || progress < 1; ++step)
  {
    gui->Tick();
    const std::string text = meter.GetResultsTextControl()->GetTextFromControl();
    if (text != last)
    {
      results += text.rfind("THD=", 0) == 0 && text != IThdMeter::kBlankResultsText;
      progress += text.rfind("Time left:", 0) == 0;
      last = text;
    }
    if (!meter.IsMeasuring() && step % 7 == 0) gui->Click(P::kStart[0], P::kStart[1]);
    switch (step % 40)
    {
      case 5: gui->Click(P::kOutputR[0], P::kOutputR[1]); break;
      case 11: gui->MouseDown(90 + step % 90, P::kFaderY); gui->MouseUp(90, P::kFaderY); break;
      case 17: gui->MouseWheel(100, P::kFaderY, 1); break;
      case 23:
        gui->Click(P::kAbout[0], P::kAbout[1]);
        gui->Tick();
        gui->Click(P::kOK[0], P::kOK[1]);
        break;
      case 29:
        if (step > 200 && step < 600) gui->Click(P::kStart[0], P::kStart[1]);  // Cancel while running
        break;
      default: break;
    }
    if (step > 200000) break;  // a guard; the checks below report it
    std::this_thread::yield();
  }
  stop.store(true);
  audio.join();
  host.join();
  gui->CloseWindow();

  EXPECT_GT(blocks.load(), 0);
  EXPECT_GE(results, 1) << "a complete run reached the results text";
  EXPECT_GT(progress, 0);
}

// The dummy control takes a message in one step. Read and reset as two steps, a results
// message the audio thread posts between them is wiped out: the run ends with the Cancel
// button still shown and no results. One frame is a second here, so a run posts a message at
// every frame, the results right after the last progress message, while the editor thread
// takes them as fast as it can; a few hundred runs land posts inside any such gap.
TEST_F(ThdEditorThreadsTsanTest, NoResultsMessageIsLostToTheTake)
{
  IThdMeter meter{Info()};
  meter.HostPrepare(1, 1);
  ASSERT_NE(meter.GetGUI(), nullptr);  // messages go to the editor's dummy control

  std::atomic<bool> stop{false};
  std::thread audio([&] {
    double in0 = 0.0, in1 = 0.0, out0 = 0.0, out1 = 0.0;
    double* ins[2] = {&in0, &in1};
    double* outs[2] = {&out0, &out1};
    while (!stop.load(std::memory_order_relaxed)) meter.HostProcess(ins, outs, 1);
  });

  constexpr int kRuns = 500;
  int runs = 0, lost = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (; runs < kRuns && std::chrono::steady_clock::now() < until; ++runs)
  {
    // The run may be over before this thread looks again: its results are posted before it
    // ends, so once it has ended and nothing waits, they have been taken, or lost.
    meter.from_GUI(kParamStart);
    bool settled = false;
    while (!settled && std::chrono::steady_clock::now() < until)
    {
      const bool ended = !meter.IsMeasuring();
      settled = meter.PumpEditorMessage() == 0.0 && ended && meter.PeekEditorMessage() == 0.0;
    }
    if (!settled) break;  // out of time (a starved audio thread); the run count tells
    if (meter.IsCancelButtonShown())
    {
      ++lost;
      meter.from_GUI(kParamCancel);
    }
  }
  stop.store(true);
  audio.join();
  EXPECT_EQ(lost, 0) << "results messages lost in " << runs << " runs";
  EXPECT_GT(runs, 100);
}
