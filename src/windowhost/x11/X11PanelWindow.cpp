// Top-level windows of the window host's own: created, shown, presented and destroyed.
#include "X11PanelWindow.h"

bool X11PanelWindow::Create(X11Connection* conn, int x, int y, int w, int h, bool overrideRedirect, uint32_t eventMask)
{
  Destroy();
  if (!conn || w <= 0 || h <= 0) return false;
  mConn = conn;
  xcb_connection_t* c = conn->Get();
  xcb_screen_t* screen = conn->Screen();
  mWindow = xcb_generate_id(c);
  const uint32_t mask = XCB_CW_BACK_PIXMAP | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_SAVE_UNDER |
                        XCB_CW_EVENT_MASK | XCB_CW_COLORMAP;
  const uint32_t values[] = {XCB_BACK_PIXMAP_NONE, 0, overrideRedirect ? 1u : 0u, overrideRedirect ? 1u : 0u,
                             eventMask | XCB_EVENT_MASK_EXPOSURE, screen->default_colormap};
  xcb_create_window(c, screen->root_depth, mWindow, screen->root, (int16_t)x, (int16_t)y, (uint16_t)w, (uint16_t)h, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, mask, values);
  mX = x;
  mY = y;
  mW = w;
  mH = h;
  mBitmap.resize(w, h);
  mSurface.Create(conn, mWindow, w, h);
  conn->Register(mWindow, this);
  return true;
}

void X11PanelWindow::Map()
{
  if (!mWindow) return;
  xcb_map_window(mConn->Get(), mWindow);
  Present();
}

void X11PanelWindow::Destroy()
{
  if (!mWindow) return;
  mSurface.Destroy();
  mConn->Unregister(mWindow);
  if (!mConn->Failed())
  {
    xcb_destroy_window(mConn->Get(), mWindow);
    xcb_flush(mConn->Get());
  }
  mWindow = 0;
  mConn = nullptr;
}

void X11PanelWindow::Present()
{
  if (!mWindow || !mBitmap.getBits()) return;
  mSurface.Put(mBitmap.getBits(), mBitmap.getRowSpan(), 0, 0, mW, mH);
  xcb_flush(mConn->Get());
}

void X11PanelWindow::OnX11Event(const xcb_generic_event_t* event)
{
  if ((event->response_type & 0x7F) == XCB_EXPOSE)
  {
    const xcb_expose_event_t* e = (const xcb_expose_event_t*)event;
    if (e->count == 0) Present();
    return;
  }
  OnPanelEvent(event);
}
