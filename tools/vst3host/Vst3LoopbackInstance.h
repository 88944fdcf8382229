// One instance of a VST 3 module run as a DAW runs it, for the mini hosts' window modes: the
// module loaded, instance 0 created, initialised and its two sides connected, 32-bit stereo
// processing at 48 kHz on an audio thread whose outputs come back to the inputs one block later
// (LoopbackAudio). The window modes (X11, Win32) add the view around it.
#pragma once

#include "LoopbackAudio.h"
#include "Vst3HostSide.h"

#include <string>

namespace vst3host {

class LoopbackInstance
{
public:
  explicit LoopbackInstance(const char* hostName) : mApp(hostName) {}
  ~LoopbackInstance() { Unload(); }
  LoopbackInstance(const LoopbackInstance&) = delete;
  LoopbackInstance& operator=(const LoopbackInstance&) = delete;

  // Loads the module (the path as the platform's loader takes it), creates and sets up the
  // instance and starts the audio thread (idle until asked for frames).
  bool Start(const std::string& modulePath, std::string* error);
  // Stops the audio thread, then deactivates, disconnects, terminates and releases the instance
  // and unloads the module. A host closes its view in between: StopAudio first, then Unload.
  // Returns whether the module unloaded cleanly (true when nothing was loaded).
  void StopAudio() { mAudio.Stop(); }
  bool Unload();

  LoopbackAudio& Audio() { return mAudio; }
  const LoopbackAudio& Audio() const { return mAudio; }
  IEditController* Controller() const { return mInst.mController; }
  IComponent* Component() const { return mInst.mComponent; }
  // What the controller told the host (beginEdit, performEdit, endEdit, restarts), in order.
  ComponentHandler& Handler() { return mHandler; }
  const ComponentHandler& Handler() const { return mHandler; }

private:
  Module mModule;
  Instance mInst;
  HostApplication mApp;
  ComponentHandler mHandler;
  IConnectionPoint* mComponentCP = nullptr;
  IConnectionPoint* mControllerCP = nullptr;
  Block mBlock;  // the audio thread's process call
  LoopbackAudio mAudio;
};

}  // namespace vst3host
