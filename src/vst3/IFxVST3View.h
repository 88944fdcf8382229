// The editor view a VST 3 host asks for: it connects the host's window to the plug-in's
// attached editor and reports the editor's size. It does not own the editor; it holds a
// reference on the plug-in from creation to destruction.
//
// On Linux the host passes an X11 window ("X11EmbedWindowID") and lends its run loop through
// the plug frame: while attached, the view registers a timer for the editor's tick and a
// handler for the editor's X connection, and unregisters both when it is removed or the frame
// changes. A host that offers no run loop gets no editor (nothing would drive it). Where the
// host asks for a content scale, the editor is shown at that scale.
#pragma once

#include "Vst3Support.h"

class IFxVST3;
class IEditorLink;

class IFxVST3View : public vst3::IPlugView, public vst3::IPlugViewContentScaleSupport
{
public:
  explicit IFxVST3View(IFxVST3* plug);
  virtual ~IFxVST3View();

  IFxVST3View(const IFxVST3View&) = delete;
  IFxVST3View& operator=(const IFxVST3View&) = delete;

  vst3::tresult VX_VST3_API queryInterface(const vst3::TUID iid, void** obj) override;
  vst3::uint32 VX_VST3_API addRef() override { return mRefs.AddRef(); }
  vst3::uint32 VX_VST3_API release() override;

  vst3::tresult VX_VST3_API isPlatformTypeSupported(vst3::FIDString type) override;
  vst3::tresult VX_VST3_API attached(void* parent, vst3::FIDString type) override;
  vst3::tresult VX_VST3_API removed() override;
  vst3::tresult VX_VST3_API onWheel(float) override { return vst3::kResultFalse; }
  vst3::tresult VX_VST3_API onKeyDown(vst3::char16, vst3::int16, vst3::int16) override { return vst3::kResultFalse; }
  vst3::tresult VX_VST3_API onKeyUp(vst3::char16, vst3::int16, vst3::int16) override { return vst3::kResultFalse; }
  vst3::tresult VX_VST3_API getSize(vst3::ViewRect* size) override;
  vst3::tresult VX_VST3_API onSize(vst3::ViewRect* newSize) override;
  vst3::tresult VX_VST3_API onFocus(vst3::TBool) override { return vst3::kResultFalse; }
  vst3::tresult VX_VST3_API setFrame(vst3::IPlugFrame* frame) override;
  vst3::tresult VX_VST3_API canResize() override { return vst3::kResultFalse; }
  vst3::tresult VX_VST3_API checkSizeConstraint(vst3::ViewRect*) override { return vst3::kResultFalse; }

  vst3::tresult VX_VST3_API setContentScaleFactor(ScaleFactor factor) override;

  void SetExpectingResize(bool expecting) { mExpectingResize = expecting; }
  bool IsExpectingResize() const { return mExpectingResize; }
  vst3::IPlugFrame* GetFrame() const { return mFrame; }
  const vst3::ViewRect& GetRect() const { return mRect; }
  bool IsAttached() const { return mAttached; }

  // The platform window type this build's window host opens inside ("HWND" on Windows,
  // "X11EmbedWindowID" on Linux with the X11 host); null where there is none.
  static const char* PlatformType();

  // Called by the run-loop handlers on the host's user-interface thread.
  void OnRunLoopTimer();
  void OnRunLoopEvents();

private:
  class RunLoopHandler;

  IEditorLink* Editor() const;
  bool RegisterWithRunLoop();
  void UnregisterFromRunLoop();
  void TakeRunLoopOf(vst3::IPlugFrame* frame);

  vst3::RefCount mRefs;
  IFxVST3* mPlug;
  vst3::IPlugFrame* mFrame = nullptr;  // not owned: the host keeps it alive while attached
  void* mParent = nullptr;
  vst3::ViewRect mRect{0, 0, 0, 0};
  bool mExpectingResize = false;
  bool mAttached = false;
  vst3::Linux::IRunLoop* mRunLoop = nullptr;  // a reference held while the frame offers one
  RunLoopHandler* mHandler = nullptr;         // lives by its own references (the host may hold some)
  bool mTimerRegistered = false;
  bool mEventsRegistered = false;
};
