// A Win32 VST 3 host for one instance of a module, as a DAW runs it: the module loaded with
// LoadLibrary, component and controller created and connected, audio processed on a thread of
// its own with the outputs fed back to the inputs (a loop-back cable), and the editor view
// opened in a real top-level window and driven with posted window messages.
#pragma once

#include "Vst3LoopbackInstance.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vst3host {

class WinHost
{
public:
  static constexpr int kBlock = LoopbackAudio::kBlock;
  static constexpr double kRate = LoopbackAudio::kRate;

  WinHost();
  ~WinHost();

  // Loads the module (bundle folder or binary), creates instance 0, initialises and connects
  // it, sets up 32-bit stereo processing at 48 kHz and starts the audio thread (idle).
  bool Start(const std::string& bundle, std::string* error);
  // Stops the audio thread, closes the view, terminates, releases and unloads the module.
  // Returns whether the module unloaded cleanly.
  bool Stop();

  // ---- audio thread -----------------------------------------------------------------------------
  // Has the audio thread process `frames` more frames (in blocks of kBlock), the left and right
  // outputs of each block becoming the inputs of the next. Returns at once; see AudioDone.
  void ProcessAsync(long frames) { mRun.Audio().ProcessAsync(frames); }
  bool AudioDone() const { return mRun.Audio().Done(); }
  long FramesProcessed() const { return mRun.Audio().FramesProcessed(); }
  // Peak of the left output over the last block processed.
  float LastOutputPeak() const { return mRun.Audio().LastOutputPeak(); }
  // Zero crossings (upward) of the left output since the counter was reset, and the frames
  // they were counted over.
  void ResetCrossings() { mRun.Audio().ResetCrossings(); }
  long Crossings() const { return mRun.Audio().Crossings(); }
  long CrossingFrames() const { return mRun.Audio().CrossingFrames(); }

  // ---- view ------------------------------------------------------------------------------------------
  // Creates the view, attaches it to a new top-level window and finds the editor's child window.
  bool OpenView(std::string* error);
  void CloseView();
  HWND Frame() const { return mFrame; }
  HWND Editor() const { return mEditor; }
  IPlugView* View() const { return mView; }
  // Posts a left click (press and release) at editor coordinates.
  void Click(int x, int y);
  // Runs the user-interface thread's messages for the given time.
  static void Pump(int ms);
  // The editor window's pixels via BitBlt of its device context, as 0xAARRGGBB (alpha 255).
  bool Grab(std::vector<unsigned int>* pixels, int* w, int* h);

  IEditController* Controller() const { return mRun.Controller(); }
  // What the controller told the host (beginEdit, performEdit, endEdit, restarts), in order.
  const ComponentHandler& Handler() const { return mRun.Handler(); }
  IComponent* Component() const { return mRun.Component(); }

  // Message boxes closed by the watcher (their texts), so a test never waits on one.
  std::vector<std::string> ClosedMessageBoxes();

private:
  void WatchMessageBoxes();

  LoopbackInstance mRun{"vst3winhost"};
  PlugFrame mPlugFrame;

  std::thread mWatcher;
  std::atomic<bool> mWatching{false};
  std::mutex mBoxLock;
  std::vector<std::string> mBoxes;

  IPlugView* mView = nullptr;
  HWND mFrame = nullptr;
  HWND mEditor = nullptr;
};

// Live GDI objects of this process: GetGuiResources on Windows; under Wine, whose
// GetGuiResources is a stub reporting 0, the entries of the process's GDI handle table.
DWORD CountGdiObjects();

// "Z:\..." for a Unix path under Wine; other paths unchanged, slashes turned to backslashes.
std::string WindowsPath(const std::string& path);

}  // namespace vst3host
