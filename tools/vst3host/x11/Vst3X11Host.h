// The mini VST 3 host's X11 mode: one instance of a module as a Linux host runs it. The module
// is loaded with dlopen, component and controller are created and connected, audio runs on a
// thread of its own through a loop-back cable, and the editor view is attached to a real
// top-level window ("X11EmbedWindowID") whose plug frame lends the host's run loop: the timers
// and descriptors the view registers are served with poll, as a host's user-interface loop
// serves them. Input reaches the editor through the X server (XTest).
#pragma once

#include "Vst3LoopbackInstance.h"
#include "Vst3HostSide.h"
#include "X11TestDisplay.h"

#include <chrono>
#include <string>
#include <vector>

namespace vst3host {

// The host's run loop as the plug frame lends it: registered descriptors and timers, served
// by Run on the calling (user-interface) thread. It keeps a reference on every handler while
// it is registered.
class X11RunLoop final : public Linux::IRunLoop
{
public:
  tresult VX_VST3_API queryInterface(const TUID iid, void** obj) override;
  uint32 VX_VST3_API addRef() override { return ++mRefs; }
  uint32 VX_VST3_API release() override { return --mRefs; }
  tresult VX_VST3_API registerEventHandler(Linux::IEventHandler* handler, Linux::FileDescriptor fd) override;
  tresult VX_VST3_API unregisterEventHandler(Linux::IEventHandler* handler) override;
  tresult VX_VST3_API registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval ms) override;
  tresult VX_VST3_API unregisterTimer(Linux::ITimerHandler* handler) override;

  // Serves descriptors and timers for ms milliseconds.
  void Run(int ms);
  int NEventHandlers() const { return (int)mEvents.size(); }
  int NTimers() const { return (int)mTimers.size(); }
  int Refs() const { return mRefs; }
  // Registrations ever made (a view registers once per attach).
  int NRegistrations() const { return mRegistrations; }
  Linux::TimerInterval LastTimerInterval() const { return mLastInterval; }

private:
  using Clock = std::chrono::steady_clock;
  struct Event { Linux::IEventHandler* handler; int fd; };
  struct Timer { Linux::ITimerHandler* handler; Linux::TimerInterval ms; Clock::time_point next; };
  std::vector<Event> mEvents;
  std::vector<Timer> mTimers;
  int mRefs = 1;
  int mRegistrations = 0;
  Linux::TimerInterval mLastInterval = 0;
};

// The plug frame: resizes the host's window when the view asks, and lends the run loop unless
// the test asks for a host without one.
class X11PlugFrame final : public IPlugFrame
{
public:
  tresult VX_VST3_API queryInterface(const TUID iid, void** obj) override;
  uint32 VX_VST3_API addRef() override { return ++mRefs; }
  uint32 VX_VST3_API release() override { return --mRefs; }
  tresult VX_VST3_API resizeView(IPlugView* view, ViewRect* newSize) override;

  X11RunLoop mLoop;
  bool mOfferRunLoop = true;
  X11TestDisplay* mDisplay = nullptr;
  xcb_window_t mWindow = 0;
  int mResizes = 0;
  int mRefs = 1;
};

class X11Host
{
public:
  X11Host() = default;
  ~X11Host();

  // Loads the module, creates instance 0, initialises and connects it, sets up 32-bit stereo
  // processing at 48 kHz and starts the audio thread (idle). Needs an X server.
  bool Start(const std::string& bundle, std::string* error);
  // Stops the audio thread, closes the view, terminates, releases and unloads the module.
  // Returns whether the module unloaded cleanly.
  bool Stop();

  // ---- audio ------------------------------------------------------------------------------------
  LoopbackAudio& Audio() { return mRun.Audio(); }
  // Processes frames on the audio thread while the user-interface loop keeps running.
  bool Process(long frames, int settleMs = 200);

  // ---- view -----------------------------------------------------------------------------------------
  // Creates the view (with the content scale set first when not 1), attaches it to a new
  // top-level window at (x, y) of the screen and finds the editor's window inside it.
  bool OpenView(std::string* error, float contentScale = 1.0f, int x = 40, int y = 40);
  void CloseView();
  IPlugView* View() const { return mView; }
  xcb_window_t Frame() const { return mFrame.mWindow; }
  xcb_window_t Editor() const { return mEditor; }
  X11PlugFrame& PlugFrame() { return mFrame; }
  X11TestDisplay& Display() { return mDisplay; }
  // Runs the user-interface loop (the plug-in's timers and descriptors) for ms.
  void Pump(int ms) { mFrame.mLoop.Run(ms); }

  IEditController* Controller() const { return mRun.Controller(); }
  IComponent* Component() const { return mRun.Component(); }
  ComponentHandler& Handler() { return mRun.Handler(); }

private:
  LoopbackInstance mRun{"vst3x11host"};
  X11TestDisplay mDisplay;
  X11PlugFrame mFrame;
  IPlugView* mView = nullptr;
  xcb_window_t mEditor = 0;
};

}  // namespace vst3host
