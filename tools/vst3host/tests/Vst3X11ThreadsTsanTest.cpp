// The module's editor in a real X11 window while a measurement runs: the host's audio thread
// processes the looped-back tone, the user-interface thread runs the editor (timer, drawing,
// clicks and a fader drag through the X server, the about box), and a third host thread saves
// and restores the state meanwhile. Meant for ThreadSanitizer, under Xvfb.
#include "Vst3X11Host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace vst3host;

TEST(Vst3X11Threads, AudioEditorAndStateThreadsShareOneInstanceWithItsEditorOpen)
{
  X11Host host;
  std::string error;
  ASSERT_TRUE(host.Start(VX_VST3_BUNDLE, &error)) << error;
  ASSERT_TRUE(host.OpenView(&error)) << error;
  host.Pump(100);
  X11TestDisplay& d = host.Display();

  std::atomic<bool> stop{false};
  std::atomic<int> saves{0};
  std::thread state([&] {
    while (!stop.load())
    {
      MemoryStream component;
      EXPECT_EQ(host.Component()->getState(&component), kResultOk);
      EXPECT_EQ(component.mBytes.size(), 88u);
      component.Rewind();
      EXPECT_EQ(host.Component()->setState(&component), kResultOk);
      saves.fetch_add(1);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });

  d.Click(host.Editor(), 60, 180);  // Start
  for (int round = 0; round < 8; ++round)
  {
    host.Audio().ProcessAsync(LoopbackAudio::kBlock * 24);
    host.Pump(60);
    // Drag the volume fader while the engine plays the tone.
    d.MoveTo(host.Editor(), 110 + round * 4, 156);
    d.ButtonDown(1);
    host.Pump(20);
    d.MoveTo(host.Editor(), 130 + round * 4, 158);
    host.Pump(20);
    d.ButtonUp(1);
    host.Pump(40);
    if (round == 4)
    {
      d.Click(host.Editor(), 160, 290);  // About
      host.Pump(80);
      d.Click(host.Editor(), 120, 190);  // OK
    }
  }
  while (!host.Audio().Done()) host.Pump(10);
  stop.store(true);
  state.join();
  EXPECT_GT(saves.load(), 10);
  EXPECT_GT(host.Audio().FramesProcessed(), 8 * 24 * LoopbackAudio::kBlock - 1);
  EXPECT_TRUE(host.Stop());
}
