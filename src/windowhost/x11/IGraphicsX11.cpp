// The editor window: its lifecycle on the module's connection, the timer tick, the paint of
// dirty and exposed regions, and the content scale.
#include "IGraphicsX11.h"

#include "IControl.h"
#include "Raster_Bitmap.h"
#include "Raster_Blit.h"

#include <atomic>
#include <cmath>
#include <cstdlib>

namespace
{
std::atomic<int> gNOpenWindows{0};
std::atomic<bool> gAllowSharedMemory{true};

// A rectangle of another bitmap presented as a bitmap of its own. Drawing into it with the
// whole image's geometry shifted by the rectangle's corner samples exactly the positions a
// whole-image draw would, so that a region scaled alone matches the same region of the whole
// scaled image to the bit.
class SubBitmap : public Raster_IBitmap
{
public:
  SubBitmap(Raster_IBitmap* parent, const IRECT& r) : mParent(parent), mR(r) {}
  uint32_t* getBits() override
  {
    uint32_t* bits = mParent->getBits();
    return bits ? bits + (size_t)mR.T * mParent->getRowSpan() + mR.L : nullptr;
  }
  int getWidth() override { return mR.W(); }
  int getHeight() override { return mR.H(); }
  int getRowSpan() override { return mParent->getRowSpan(); }
  bool resize(int, int) override { return false; }

private:
  Raster_IBitmap* mParent;
  IRECT mR;
};

}  // namespace

IGraphicsX11::IGraphicsX11(IFxBase* plug, int w, int h, int refreshFPS) : IGraphics(plug, w, h, refreshFPS)
{
  mWinW = Width();
  mWinH = Height();
}

IGraphicsX11::~IGraphicsX11()
{
  CloseWindow();
  delete mScaled;
  delete mCompose;
}

int IGraphicsX11::NOpenWindows()
{
  return gNOpenWindows.load();
}

void IGraphicsX11::AllowSharedMemory(bool allow)
{
  gAllowSharedMemory.store(allow);
}

int IGraphicsX11::TimerPeriodMs() const
{
  return FPS() > 0 ? 1000 / FPS() : 40;
}

int IGraphicsX11::HostEventFD()
{
  return mConn ? mConn->FileDescriptor() : -1;
}

void IGraphicsX11::OnHostEvents()
{
  if (mConn) mConn->Dispatch();
}

// ---- lifecycle -------------------------------------------------------------------------------------

void* IGraphicsX11::OpenWindow(void* parentWnd)
{
  const xcb_window_t parent = (xcb_window_t)(uintptr_t)parentWnd;
  if (mWindow) CloseWindow();
  if (!parent || (uintptr_t)parentWnd > 0xFFFFFFFFu) return nullptr;
  if (!GetDrawBitmap()) PrepDraw();
  mConn = X11Connection::Acquire();
  if (!mConn) return nullptr;
  xcb_connection_t* c = mConn->Get();
  xcb_screen_t* screen = mConn->Screen();

  mWinW = (int)std::lround(Width() * mScale);
  mWinH = (int)std::lround(Height() * mScale);
  if (mWinW < 1) mWinW = 1;
  if (mWinH < 1) mWinH = 1;
  mWindow = xcb_generate_id(c);
  // The screen's own visual, with a colormap and border of its own, so that the window can sit
  // in a parent of any visual. A black background: a host that makes the window larger than the
  // editor (a toolkit's socket filling a wider plug-in window) shows black beside it, not
  // whatever was on the screen there.
  const uint32_t mask = XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_EVENT_MASK | XCB_CW_COLORMAP;
  const uint32_t values[] = {
    screen->black_pixel, 0,
    XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
      XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_LEAVE_WINDOW | XCB_EVENT_MASK_KEY_PRESS |
      XCB_EVENT_MASK_FOCUS_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY,
    screen->default_colormap};
  xcb_generic_error_t* error =
    xcb_request_check(c, xcb_create_window_checked(c, screen->root_depth, mWindow, parent, 0, 0, (uint16_t)mWinW,
                                                   (uint16_t)mWinH, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                                                   screen->root_visual, mask, values));
  if (error)
  {
    // Not a window of this server (or the server refused): no editor, and nothing left behind.
    free(error);
    mWindow = 0;
    mConn = nullptr;
    X11Connection::Release();
    return nullptr;
  }
  mParent = parent;
  mWindowLost = false;
  mConn->Register(mWindow, this);
  mConn->AddTimerClient(this);
  mSurface.Create(mConn, mWindow, mWinW, mWinH, gAllowSharedMemory.load());
  xcb_map_window(c, mWindow);
  xcb_flush(c);
  ++gNOpenWindows;
  NoteOpened(true);
  // A new window shows everything: the first tick draws the whole editor.
  SetAllControlsDirty();
  return (void*)(uintptr_t)mWindow;
}

void* IGraphicsX11::OpenWindow(void* parentWnd, void*, short, short)
{
  return OpenWindow(parentWnd);
}

void IGraphicsX11::CloseWindow()
{
  if (!mConn) return;
  DestroyTextEntry();
  ShowMouseCursor();
  DestroyWindowResources();
  ReleaseMouseCapture();
  mButtonsDown = 0;
  mHasExposed = false;
  --gNOpenWindows;
  NoteOpened(false);
  mConn = nullptr;
  X11Connection::Release();
}

void IGraphicsX11::DestroyWindowResources()
{
  xcb_connection_t* c = mConn->Get();
  mSurface.Destroy();
  if (mBlankCursor) xcb_free_cursor(c, mBlankCursor);
  mBlankCursor = 0;
  mConn->Unregister(mWindow);
  mConn->RemoveTimerClient(this);
  // A window the server already destroyed (its parent went first) is not destroyed again.
  if (!mWindowLost) xcb_destroy_window(c, mWindow);
  xcb_flush(c);
  mWindow = 0;
  mParent = 0;
  mWindowLost = false;
}

void IGraphicsX11::Resize(int w, int h)
{
  if (w == Width() && h == Height()) return;
  IGraphics::Resize(w, h);
  mWinW = (int)std::lround(Width() * mScale);
  mWinH = (int)std::lround(Height() * mScale);
  if (!mWindow || mWindowLost) return;
  xcb_connection_t* c = mConn->Get();
  const uint32_t size[] = {(uint32_t)(mWinW < 1 ? 1 : mWinW), (uint32_t)(mWinH < 1 ? 1 : mWinH)};
  xcb_configure_window(c, mWindow, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
  mSurface.Create(mConn, mWindow, mWinW, mWinH, gAllowSharedMemory.load());
  SetAllControlsDirty();
  xcb_flush(c);
}

bool IGraphicsX11::SetContentScale(double scale)
{
  // Sensible factors only: a host's nonsense must not make a window of absurd size.
  if (!std::isfinite(scale) || scale < 0.25 || scale > 8.0) return false;
  if (scale == mScale) return true;
  mScale = scale;
  mWinW = (int)std::lround(Width() * mScale);
  mWinH = (int)std::lround(Height() * mScale);
  if (mWinW < 1) mWinW = 1;
  if (mWinH < 1) mWinH = 1;
  if (mWindow && !mWindowLost)
  {
    xcb_connection_t* c = mConn->Get();
    const uint32_t size[] = {(uint32_t)mWinW, (uint32_t)mWinH};
    xcb_configure_window(c, mWindow, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
    mSurface.Create(mConn, mWindow, mWinW, mWinH, gAllowSharedMemory.load());
    SetAllControlsDirty();
    xcb_flush(c);
  }
  return true;
}

// ---- timer -------------------------------------------------------------------------------------------

void IGraphicsX11::Tick()
{
  if (!mConn || !mWindow) return;
  mConn->Dispatch();
  if (!mWindow) return;
  if (mEntry && (mEditState == kCommit || mEditState == kCancel))
    CommitOrCancelTextEntry();
  else if (mEditState == kUpdate)
    mEditState = kEditing;
  IRECT dirty;
  if (IsDirty(&dirty)) Draw(&dirty);
  if (mConn) xcb_flush(mConn->Get());
}

// ---- painting ----------------------------------------------------------------------------------------

// At a scale, a window pixel blends the editor pixels around its position (two each way for
// the filter-down kernel of reductions): a changed editor rectangle changes the window pixels
// that reach it, and an exposed window area needs the editor pixels it reaches.
IRECT IGraphicsX11::EditorToWindow(const IRECT& r) const
{
  if (mScale == 1.0) return r;
  const IRECT w((int)std::floor((r.L - 2) * mScale), (int)std::floor((r.T - 2) * mScale),
                (int)std::ceil((r.R + 2) * mScale), (int)std::ceil((r.B + 2) * mScale));
  return w.Intersect(IRECT(0, 0, mWinW, mWinH));
}

IRECT IGraphicsX11::WindowToEditor(const IRECT& r) const
{
  if (mScale == 1.0) return r.Intersect(IRECT(0, 0, Width(), Height()));
  const IRECT e((int)std::floor(r.L / mScale) - 2, (int)std::floor(r.T / mScale) - 2, (int)std::ceil(r.R / mScale) + 2,
                (int)std::ceil(r.B / mScale) + 2);
  return e.Intersect(IRECT(0, 0, Width(), Height()));
}

bool IGraphicsX11::PrepareScaled()
{
  if (!mScaled) mScaled = new Raster_MemBitmap(0, 0, 4);
  if (mScaled->getWidth() != mWinW || mScaled->getHeight() != mWinH) mScaled->resize(mWinW, mWinH);
  return mScaled->getBits() != nullptr;
}

bool IGraphicsX11::DrawScreen(IRECT* rect)
{
  if (!mWindow || mWindowLost || !rect) return false;
  const IRECT r = rect->Intersect(IRECT(0, 0, Width(), Height()));
  if (r.Empty()) return true;
  PutEditorRect(r);
  return true;
}

void IGraphicsX11::PutEditorRect(const IRECT& r)
{
  Raster_IBitmap* source = GetDrawBitmap();
  if (!source || !source->getBits()) return;
  const IRECT editor(0, 0, Width(), Height());
  // With the text entry open, the editor's pixels there are covered by the entry. A scaled copy
  // also reads a little around the rectangle (what EditorToWindow adds, and a pixel more).
  if (mEntry)
  {
    const IRECT around = mScale == 1.0 ? r : IRECT(r.L - 5, r.T - 5, r.R + 5, r.B + 5).Intersect(editor);
    if (!mCompose) mCompose = new Raster_MemBitmap(0, 0, 4);
    if (mCompose->getWidth() != Width() || mCompose->getHeight() != Height()) mCompose->resize(Width(), Height());
    if (mCompose->getBits())
    {
      Raster_Blit(mCompose, source, around.L, around.T, around.L, around.T, around.W(), around.H(), 1.0f, 0);
      DrawEntry();
      source = mCompose;
    }
  }
  if (mScale == 1.0)
  {
    mSurface.Put(source->getBits(), source->getRowSpan(), r.L, r.T, r.W(), r.H());
    return;
  }
  const IRECT w = EditorToWindow(r);
  if (w.Empty() || !PrepareScaled()) return;
  SubBitmap target(mScaled, w);
  Raster_ScaledBlit(&target, source, -w.L, -w.T, mWinW, mWinH, 0.0f, 0.0f, (float)Width(), (float)Height(), 1.0f,
                    kRasterMode_Bilinear);
  mSurface.Put(mScaled->getBits(), mScaled->getRowSpan(), w.L, w.T, w.W(), w.H());
}

// ---- events --------------------------------------------------------------------------------------------

void IGraphicsX11::OnX11Event(const xcb_generic_event_t* event)
{
  const uint8_t type = event->response_type & 0x7F;
  // While a menu or a message box waits for the user, the editor takes no input (as a window
  // under a modal dialog): it only draws.
  if (mConn->ModalDepth() > 0 && type >= XCB_KEY_PRESS && type <= XCB_LEAVE_NOTIFY) return;
  switch (type)
  {
    case XCB_EXPOSE:
      OnExpose((const xcb_expose_event_t*)event);
      break;
    case XCB_BUTTON_PRESS:
      OnButtonPress((const xcb_button_press_event_t*)event);
      break;
    case XCB_BUTTON_RELEASE:
      OnButtonRelease((const xcb_button_release_event_t*)event);
      break;
    case XCB_MOTION_NOTIFY:
      OnMotion((const xcb_motion_notify_event_t*)event);
      break;
    case XCB_LEAVE_NOTIFY:
    {
      // Leaving while a button is held keeps the capture (the press's implicit grab).
      const xcb_leave_notify_event_t* e = (const xcb_leave_notify_event_t*)event;
      if (!(e->state & (XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_2 | XCB_BUTTON_MASK_3)) && e->mode == XCB_NOTIFY_MODE_NORMAL)
        OnMouseOut();
      break;
    }
    case XCB_KEY_PRESS:
      OnKeyPress((const xcb_key_press_event_t*)event);
      break;
    case XCB_FOCUS_OUT:
    {
      // The entry loses the keyboard to another window: it commits, as it does on Windows.
      const xcb_focus_out_event_t* e = (const xcb_focus_out_event_t*)event;
      if (mEntry && e->detail != XCB_NOTIFY_DETAIL_INFERIOR && e->detail != XCB_NOTIFY_DETAIL_POINTER &&
          e->mode != XCB_NOTIFY_MODE_GRAB && e->mode != XCB_NOTIFY_MODE_UNGRAB)
        mEditState = kCommit;
      break;
    }
    case XCB_SELECTION_NOTIFY:
      OnSelectionNotify((const xcb_selection_notify_event_t*)event);
      break;
    case XCB_DESTROY_NOTIFY:
      // The host destroyed the parent before closing the editor: the window went with it. The
      // editor stays "open" until the host closes it, but draws nowhere.
      if (((const xcb_destroy_notify_event_t*)event)->window == mWindow)
      {
        mWindowLost = true;
        DestroyTextEntry();
      }
      break;
    default:
      break;
  }
}

void IGraphicsX11::OnExpose(const xcb_expose_event_t* e)
{
  const IRECT r(e->x, e->y, e->x + e->width, e->y + e->height);
  mExposed = mHasExposed ? mExposed.Union(r) : r;
  mHasExposed = true;
  if (e->count > 0) return;  // more of the same exposure follow
  mHasExposed = false;
  // The exposed area drawn anew, together with whatever is dirty: a drawing pass leaves every
  // control clean, so a dirty control outside the exposed area must be drawn in the same pass.
  IRECT area = WindowToEditor(mExposed);
  IRECT dirty;
  if (IsDirty(&dirty)) area = area.Union(dirty);
  if (!area.Empty()) Draw(&area);
  xcb_flush(mConn->Get());
}
