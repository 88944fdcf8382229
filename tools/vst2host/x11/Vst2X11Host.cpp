// The mini VST 2 host's X11 mode: the editor opened in a real window and idled every 40 ms,
// audio looped back on a thread of its own.

#include "Vst2X11Host.h"

#include <chrono>
#include <thread>

bool Vst2X11Host::Start(const char* module, std::string* error)
{
  if (!mDisplay.Open(error)) return false;
  mModule.reset(new Vst2Module);
  if (!mModule->Load(module))
  {
    if (error) *error = mModule->Error();
    return false;
  }
  mHost.reset(new Vst2Host);
  if (!mHost->Create(mModule->Entry()))
  {
    if (error) *error = "the entry point gave no effect";
    return false;
  }
  mHost->Start(LoopbackAudio::kRate, LoopbackAudio::kBlock);
  mAudio.Start([this](float** ins, float** outs, int n, long) { mHost->ProcessReplacing(ins, outs, n); });
  return true;
}

void Vst2X11Host::Stop()
{
  mAudio.Stop();
  CloseEditor();
  if (mHost) mHost->Close();
  mHost.reset();
  mModule.reset();
  mDisplay.Close();
}

bool Vst2X11Host::Process(long frames, int settleMs)
{
  mAudio.ProcessAsync(frames);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!mAudio.Done() && std::chrono::steady_clock::now() < end) Pump(5);
  Pump(settleMs);
  return mAudio.Done();
}

VstIntPtr Vst2X11Host::OpenEditor(std::string* error, int x, int y)
{
  ERect* rect = nullptr;
  if (!mHost->Dispatch(effEditGetRect, 0, 0, &rect) || !rect)
  {
    if (error) *error = "effEditGetRect gave no size";
    return 0;
  }
  mFrame = mDisplay.CreateFrame(x, y, rect->right - rect->left, rect->bottom - rect->top);
  const VstIntPtr opened = mHost->Dispatch(effEditOpen, 0, 0, (void*)(uintptr_t)mFrame);
  mEditorOpen = opened != 0;
  if (!mEditorOpen)
  {
    if (error) *error = "effEditOpen answered 0";
    return opened;
  }
  Pump(2 * kIdleMs);
  const std::vector<xcb_window_t> children = mDisplay.Children(mFrame);
  mEditor = children.empty() ? 0 : children.back();
  if (!mEditor && error) *error = "no editor window inside the frame";
  return opened;
}

void Vst2X11Host::CloseEditor()
{
  if (mEditorOpen && mHost) mHost->Dispatch(effEditClose);
  mEditorOpen = false;
  mEditor = 0;
  if (mFrame) mDisplay.DestroyWindow(mFrame);
  mFrame = 0;
}

void Vst2X11Host::Pump(int ms)
{
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;)
  {
    if (mHost) mHost->Dispatch(effEditIdle);
    const auto now = std::chrono::steady_clock::now();
    if (now >= end) return;
    const auto next = now + std::chrono::milliseconds(kIdleMs);
    std::this_thread::sleep_until(next < end ? next : end);
  }
}
