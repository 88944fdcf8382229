// The mini VST 3 host's X11 mode: the view attached to a real window whose plug frame lends a
// run loop served with poll, audio looped back on a thread of its own.

#include "Vst3X11Host.h"

#include <poll.h>

#include <algorithm>

namespace vst3host {

// ---- run loop --------------------------------------------------------------------------------------

tresult X11RunLoop::queryInterface(const TUID iid, void** obj)
{
  if (!obj) return kInvalidArgument;
  if (Linux::IRunLoop::iid.Equals(iid) || FUnknown::iid.Equals(iid))
  {
    *obj = static_cast<Linux::IRunLoop*>(this);
    addRef();
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

tresult X11RunLoop::registerEventHandler(Linux::IEventHandler* handler, Linux::FileDescriptor fd)
{
  if (!handler || fd < 0) return kInvalidArgument;
  for (const Event& e : mEvents)
    if (e.handler == handler) return kResultFalse;
  handler->addRef();
  mEvents.push_back({handler, fd});
  ++mRegistrations;
  return kResultOk;
}

tresult X11RunLoop::unregisterEventHandler(Linux::IEventHandler* handler)
{
  for (size_t i = 0; i < mEvents.size(); ++i)
    if (mEvents[i].handler == handler)
    {
      mEvents.erase(mEvents.begin() + (long)i);
      handler->release();
      return kResultOk;
    }
  return kResultFalse;
}

tresult X11RunLoop::registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval ms)
{
  if (!handler || ms == 0) return kInvalidArgument;
  for (const Timer& t : mTimers)
    if (t.handler == handler) return kResultFalse;
  handler->addRef();
  mTimers.push_back({handler, ms, Clock::now() + std::chrono::milliseconds(ms)});
  mLastInterval = ms;
  ++mRegistrations;
  return kResultOk;
}

tresult X11RunLoop::unregisterTimer(Linux::ITimerHandler* handler)
{
  for (size_t i = 0; i < mTimers.size(); ++i)
    if (mTimers[i].handler == handler)
    {
      mTimers.erase(mTimers.begin() + (long)i);
      handler->release();
      return kResultOk;
    }
  return kResultFalse;
}

void X11RunLoop::Run(int ms)
{
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
  for (;;)
  {
    const Clock::time_point now = Clock::now();
    // Timers that are due. A handler may unregister itself or others: work from a copy.
    std::vector<Linux::ITimerHandler*> due;
    for (Timer& t : mTimers)
      if (t.next <= now)
      {
        due.push_back(t.handler);
        t.next = now + std::chrono::milliseconds(t.ms);
      }
    for (Linux::ITimerHandler* h : due)
      if (std::any_of(mTimers.begin(), mTimers.end(), [h](const Timer& t) { return t.handler == h; })) h->onTimer();
    if (Clock::now() >= end) return;

    Clock::time_point wake = end;
    for (const Timer& t : mTimers) wake = std::min(wake, t.next);
    const int timeout =
      (int)std::max<long long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(wake - Clock::now()).count());
    std::vector<pollfd> fds;
    for (const Event& e : mEvents) fds.push_back({e.fd, POLLIN, 0});
    if (poll(fds.data(), (nfds_t)fds.size(), timeout) <= 0) continue;
    std::vector<std::pair<Linux::IEventHandler*, int>> ready;
    for (size_t i = 0; i < fds.size(); ++i)
      if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) ready.push_back({mEvents[i].handler, mEvents[i].fd});
    for (auto& r : ready)
      if (std::any_of(mEvents.begin(), mEvents.end(), [&r](const Event& e) { return e.handler == r.first; }))
        r.first->onFDIsSet(r.second);
  }
}

// ---- plug frame ------------------------------------------------------------------------------------------

tresult X11PlugFrame::queryInterface(const TUID iid, void** obj)
{
  if (!obj) return kInvalidArgument;
  if (IPlugFrame::iid.Equals(iid) || FUnknown::iid.Equals(iid))
  {
    *obj = static_cast<IPlugFrame*>(this);
    addRef();
    return kResultOk;
  }
  if (mOfferRunLoop && Linux::IRunLoop::iid.Equals(iid)) return mLoop.queryInterface(iid, obj);
  *obj = nullptr;
  return kNoInterface;
}

tresult X11PlugFrame::resizeView(IPlugView* view, ViewRect* newSize)
{
  if (!view || !newSize) return kInvalidArgument;
  ++mResizes;
  if (mDisplay && mWindow) mDisplay->ResizeWindow(mWindow, newSize->right - newSize->left, newSize->bottom - newSize->top);
  return view->onSize(newSize);
}

// ---- host -------------------------------------------------------------------------------------------------

X11Host::~X11Host()
{
  Stop();
}

bool X11Host::Start(const std::string& bundle, std::string* error)
{
  if (!mDisplay.Open(error)) return false;
  return mRun.Start(bundle, error);
}

bool X11Host::Stop()
{
  mRun.StopAudio();
  CloseView();
  const bool unloaded = mRun.Unload();
  mDisplay.Close();
  return unloaded;
}

bool X11Host::Process(long frames, int settleMs)
{
  mRun.Audio().ProcessAsync(frames);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!mRun.Audio().Done() && std::chrono::steady_clock::now() < end) Pump(5);
  Pump(settleMs);  // the next timer ticks show what the engine posted
  return mRun.Audio().Done();
}

bool X11Host::OpenView(std::string* error, float contentScale, int x, int y)
{
  if (mView) return true;
  mView = mRun.Controller()->createView("editor");
  if (!mView)
  {
    if (error) *error = "createView returned null";
    return false;
  }
  if (mView->isPlatformTypeSupported("X11EmbedWindowID") != kResultOk)
  {
    if (error) *error = "X11EmbedWindowID not supported";
    CloseView();
    return false;
  }
  if (contentScale != 1.0f)
  {
    IPlugViewContentScaleSupport* scale = nullptr;
    if (mView->queryInterface(IPlugViewContentScaleSupport::iid.Data(), (void**)&scale) != kResultOk || !scale ||
        scale->setContentScaleFactor(contentScale) != kResultOk)
    {
      if (scale) scale->release();
      if (error) *error = "content scale refused";
      CloseView();
      return false;
    }
    scale->release();
  }
  ViewRect size{};
  mView->getSize(&size);
  mFrame.mDisplay = &mDisplay;
  mFrame.mWindow = mDisplay.CreateFrame(x, y, size.right - size.left, size.bottom - size.top);
  mView->setFrame(&mFrame);
  if (mView->attached((void*)(uintptr_t)mFrame.mWindow, "X11EmbedWindowID") != kResultOk)
  {
    if (error) *error = "attached refused";
    CloseView();
    return false;
  }
  mView->onSize(&size);
  Pump(60);
  const std::vector<xcb_window_t> children = mDisplay.Children(mFrame.mWindow);
  mEditor = children.empty() ? 0 : children.back();
  if (!mEditor && error) *error = "no editor window inside the frame";
  return mEditor != 0;
}

void X11Host::CloseView()
{
  if (mView)
  {
    mView->removed();
    mView->setFrame(nullptr);
    mView->release();
    mView = nullptr;
  }
  mEditor = 0;
  if (mFrame.mWindow) mDisplay.DestroyWindow(mFrame.mWindow);
  mFrame.mWindow = 0;
}

}  // namespace vst3host
