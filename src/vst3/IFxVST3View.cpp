#include "IFxVST3View.h"

#include "IFxVST3.h"

using namespace vst3;

const char* IFxVST3View::PlatformType()
{
#if defined(_WIN32)
  return "HWND";
#else
  return nullptr;  // no Linux window host yet: the editor runs headless only
#endif
}

IFxVST3View::IFxVST3View(IFxVST3* plug) : mPlug(plug)
{
  if (mPlug) mPlug->addRef();
}

IFxVST3View::~IFxVST3View()
{
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
  *obj = nullptr;
  return kNoInterface;
}

uint32 IFxVST3View::release()
{
  const uint32 left = mRefs.Release();
  if (left == 0) delete this;
  return left;
}

tresult IFxVST3View::isPlatformTypeSupported(FIDString type)
{
  const char* ours = PlatformType();
  if (!mPlug || !mPlug->GetGUI() || !ours || !type) return kResultFalse;
  return std::strcmp(type, ours) == 0 ? kResultOk : kResultFalse;
}

tresult IFxVST3View::attached(void* parent, FIDString type)
{
  IEditorLink* editor = mPlug ? mPlug->GetGUI() : nullptr;
  if (!editor || isPlatformTypeSupported(type) != kResultOk) return kResultFalse;
  mParent = parent;
  editor->OpenEditorWindow(parent);
  mPlug->OnGUIOpen();
  return kResultOk;
}

tresult IFxVST3View::removed()
{
  if (IEditorLink* editor = mPlug ? mPlug->GetGUI() : nullptr)
  {
    mPlug->OnGUIClose();
    editor->CloseEditorWindow();
  }
  mParent = nullptr;
  return kResultOk;
}

tresult IFxVST3View::getSize(ViewRect* size)
{
  IEditorLink* editor = mPlug ? mPlug->GetGUI() : nullptr;
  if (!editor || !size) return kResultFalse;
  *size = ViewRect{0, 0, editor->EditorWidth(), editor->EditorHeight()};
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
  mFrame = frame;
  return kResultOk;
}
