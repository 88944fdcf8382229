// The mini VST 2 host's X11 mode: one instance of a module as a Linux host runs it. The module
// is loaded with dlopen, audio runs on a thread of its own through a loop-back cable, and the
// editor is opened with effEditOpen in a real top-level window and driven as Linux hosts drive
// it: effEditIdle from the user-interface loop every 40 ms. Input reaches the editor through
// the X server (XTest).
#pragma once

#include "LoopbackAudio.h"
#include "Vst2Host.h"
#include "X11TestDisplay.h"

#include <memory>
#include <string>

class Vst2X11Host
{
public:
  static constexpr int kIdleMs = 40;

  Vst2X11Host() = default;
  ~Vst2X11Host() { Stop(); }

  // Loads the module, creates an instance, starts it at 48 kHz with blocks of 512 and starts
  // the audio thread (idle). Needs an X server.
  bool Start(const char* module, std::string* error);
  // Closes the editor, stops the audio thread, closes the instance and unloads the module.
  void Stop();

  LoopbackAudio& Audio() { return mAudio; }
  bool Process(long frames, int settleMs = 200);

  // The editor's size from effEditGetRect, a top-level window of that size at (x, y), and
  // effEditOpen with its id. Returns effEditOpen's answer (1: open) and finds the editor window.
  VstIntPtr OpenEditor(std::string* error, int x = 40, int y = 40);
  void CloseEditor();
  // Runs the user-interface loop for ms: effEditIdle every kIdleMs.
  void Pump(int ms);

  Vst2Host& Host() { return *mHost; }
  X11TestDisplay& Display() { return mDisplay; }
  xcb_window_t Frame() const { return mFrame; }
  xcb_window_t Editor() const { return mEditor; }

private:
  std::unique_ptr<Vst2Module> mModule;
  std::unique_ptr<Vst2Host> mHost;
  LoopbackAudio mAudio;
  X11TestDisplay mDisplay;
  xcb_window_t mFrame = 0;
  xcb_window_t mEditor = 0;
  bool mEditorOpen = false;
};
