// The VST 3 editor view: attaching the plug-in's editor to the window a host gives, for the
// platform types this build supports, and reporting its size.

#include "IFxVST3View.h"

#include "IEditorLink.h"
#include "IFxVST3.h"

#include <cmath>

using namespace vst3;

// The timer and descriptor handler the view registers with the host's run loop. The host may
// keep references to it beyond the registration: it lives by its own count and forgets the
// view when the view lets go of it, so a late call from the host does nothing.
class IFxVST3View::RunLoopHandler final : public Linux::ITimerHandler, public Linux::IEventHandler
{
public:
  explicit RunLoopHandler(IFxVST3View* view) : mView(view) {}

  tresult VX_VST3_API queryInterface(const TUID iid, void** obj) override
  {
    if (!obj) return kInvalidArgument;
    if (Linux::ITimerHandler::iid.Equals(iid) || FUnknown::iid.Equals(iid))
      *obj = static_cast<Linux::ITimerHandler*>(this);
    else if (Linux::IEventHandler::iid.Equals(iid))
      *obj = static_cast<Linux::IEventHandler*>(this);
    else
    {
      *obj = nullptr;
      return kNoInterface;
    }
    addRef();
    return kResultOk;
  }
  uint32 VX_VST3_API addRef() override { return mRefs.AddRef(); }
  uint32 VX_VST3_API release() override
  {
    const uint32 left = mRefs.Release();
    if (left == 0) delete this;
    return left;
  }
  void VX_VST3_API onTimer() override
  {
    if (mView) mView->OnRunLoopTimer();
  }
  void VX_VST3_API onFDIsSet(Linux::FileDescriptor) override
  {
    if (mView) mView->OnRunLoopEvents();
  }
  void Forget() { mView = nullptr; }

private:
  RefCount mRefs;
  IFxVST3View* mView;
};

const char* IFxVST3View::PlatformType()
{
#if defined(_WIN32)
  return "HWND";
#elif defined(VX_X11_WINDOW_HOST)
  return "X11EmbedWindowID";
#else
  return nullptr;
#endif
}

IFxVST3View::IFxVST3View(IFxVST3* plug) : mPlug(plug)
{
  if (mPlug) mPlug->addRef();
}

IFxVST3View::~IFxVST3View()
{
  // A host that releases the view without removing it first: nothing may stay registered
  // with its run loop, and the window goes.
  if (mAttached) removed();
  UnregisterFromRunLoop();
  if (mRunLoop) mRunLoop->release();
  if (mHandler)
  {
    mHandler->Forget();
    static_cast<Linux::ITimerHandler*>(mHandler)->release();
  }
  if (mPlug)
  {
    mPlug->ForgetOpenViews();
    mPlug->release();
  }
}

tresult IFxVST3View::queryInterface(const TUID iid, void** obj)
{
  if (!obj) return kInvalidArgument;
  if (IPlugView::iid.Equals(iid) || FUnknown::iid.Equals(iid))
  {
    *obj = static_cast<IPlugView*>(this);
    addRef();
    return kResultOk;
  }
  if (IPlugViewContentScaleSupport::iid.Equals(iid))
  {
    *obj = static_cast<IPlugViewContentScaleSupport*>(this);
    addRef();
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

uint32 IFxVST3View::release()
{
  const uint32 left = mRefs.Release();
  if (left == 0) delete this;
  return left;
}

IEditorLink* IFxVST3View::Editor() const
{
  return mPlug ? mPlug->GetGUI() : nullptr;
}

tresult IFxVST3View::isPlatformTypeSupported(FIDString type)
{
  const char* ours = PlatformType();
  if (!Editor() || !ours || !type) return kResultFalse;
  return std::strcmp(type, ours) == 0 ? kResultOk : kResultFalse;
}

tresult IFxVST3View::attached(void* parent, FIDString type)
{
  IEditorLink* editor = Editor();
  if (!editor || isPlatformTypeSupported(type) != kResultOk) return kResultFalse;
  if (mAttached) removed();  // attached again without removed: the old window goes first
  if (!std::strcmp(type, "X11EmbedWindowID"))
  {
    // An editor that only the host's loop can drive: no loop, no editor.
    if (!mRunLoop) return kResultFalse;
    if (!editor->OpenWindow(parent)) return kResultFalse;
    if (!RegisterWithRunLoop())
    {
      UnregisterFromRunLoop();
      editor->CloseWindow();
      return kResultFalse;
    }
  }
  else
  {
    editor->OpenWindow(parent);
  }
  mParent = parent;
  mAttached = true;
  mPlug->OnGUIOpen();
  return kResultOk;
}

tresult IFxVST3View::removed()
{
  UnregisterFromRunLoop();
  if (IEditorLink* editor = Editor())
  {
    mPlug->OnGUIClose();
    editor->CloseWindow();
  }
  mParent = nullptr;
  mAttached = false;
  return kResultOk;
}

tresult IFxVST3View::getSize(ViewRect* size)
{
  IEditorLink* editor = Editor();
  if (!editor || !size) return kResultFalse;
  const double scale = editor->GetContentScale();
  *size = ViewRect{0, 0, (int32)std::lround(editor->Width() * scale), (int32)std::lround(editor->Height() * scale)};
  return kResultOk;
}

tresult IFxVST3View::onSize(ViewRect* newSize)
{
  if (!newSize) return kResultOk;
  mRect = *newSize;
  if (mExpectingResize)
  {
    if (mPlug) mPlug->OnWindowResize();
    mExpectingResize = false;
  }
  return kResultOk;
}

tresult IFxVST3View::setFrame(IPlugFrame* frame)
{
  if (frame == mFrame) return kResultOk;
  // Handlers registered with the old frame's loop go before the frame does; a shown editor
  // is then driven by the new frame's loop (also when the host took the frame away in between).
  UnregisterFromRunLoop();
  TakeRunLoopOf(frame);
  mFrame = frame;
  if (mAttached && mRunLoop) RegisterWithRunLoop();
  return kResultOk;
}

tresult IFxVST3View::setContentScaleFactor(ScaleFactor factor)
{
  IEditorLink* editor = Editor();
  if (!editor) return kResultFalse;
  ViewRect before{};
  getSize(&before);
  if (!editor->SetContentScale((double)factor)) return kResultFalse;
  ViewRect after{};
  getSize(&after);
  // The host learns the new size the usual way: it resizes its window and calls onSize.
  if (mAttached && mFrame && (after.right != before.right || after.bottom != before.bottom))
    mFrame->resizeView(this, &after);
  return kResultOk;
}

// ---- the host's run loop ---------------------------------------------------------------------

void IFxVST3View::TakeRunLoopOf(IPlugFrame* frame)
{
  if (mRunLoop) mRunLoop->release();
  mRunLoop = nullptr;
  if (!frame) return;
  void* loop = nullptr;
  if (frame->queryInterface(Linux::IRunLoop::iid.Data(), &loop) == kResultOk && loop)
    mRunLoop = static_cast<Linux::IRunLoop*>(loop);
}

bool IFxVST3View::RegisterWithRunLoop()
{
  IEditorLink* editor = Editor();
  if (!mRunLoop || !editor) return false;
  if (!mHandler) mHandler = new RunLoopHandler(this);
  const int fd = editor->HostEventFD();
  if (fd >= 0 && !mEventsRegistered)
    mEventsRegistered = mRunLoop->registerEventHandler(mHandler, fd) == kResultOk;
  if (!mTimerRegistered)
  {
    const int period = editor->TimerPeriodMs() > 0 ? editor->TimerPeriodMs() : 40;
    mTimerRegistered = mRunLoop->registerTimer(mHandler, (Linux::TimerInterval)period) == kResultOk;
  }
  return mTimerRegistered && (fd < 0 || mEventsRegistered);
}

void IFxVST3View::UnregisterFromRunLoop()
{
  if (mRunLoop && mHandler)
  {
    if (mTimerRegistered) mRunLoop->unregisterTimer(mHandler);
    if (mEventsRegistered) mRunLoop->unregisterEventHandler(mHandler);
  }
  mTimerRegistered = mEventsRegistered = false;
}

void IFxVST3View::OnRunLoopTimer()
{
  if (IEditorLink* editor = mAttached ? Editor() : nullptr) editor->OnHostTimer();
}

void IFxVST3View::OnRunLoopEvents()
{
  if (IEditorLink* editor = mAttached ? Editor() : nullptr) editor->OnHostEvents();
}
