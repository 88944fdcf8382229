// A window of the window host's own beside the editor (a popup menu level, a message box):
// a top-level window on the module's connection whose pixels are a bitmap drawn with the
// raster library and copied to the screen whole, and again whenever the server exposes it.
#pragma once

#include "X11Connection.h"
#include "X11Surface.h"

#include "Raster_Bitmap.h"

class X11PanelWindow : public X11EventTarget
{
public:
  X11PanelWindow() = default;
  ~X11PanelWindow() override { Destroy(); }
  X11PanelWindow(const X11PanelWindow&) = delete;
  X11PanelWindow& operator=(const X11PanelWindow&) = delete;

  // A w x h window at (x, y) of the root window. overrideRedirect: placed and shown by us alone
  // (menus); otherwise the window manager decorates and places it (message boxes).
  bool Create(X11Connection* conn, int x, int y, int w, int h, bool overrideRedirect, uint32_t eventMask);
  void Map();
  void Destroy();
  xcb_window_t Window() const { return mWindow; }
  Raster_SysBitmap* Bitmap() { return &mBitmap; }
  int X() const { return mX; }
  int Y() const { return mY; }
  int W() const { return mW; }
  int H() const { return mH; }
  bool ContainsRoot(int rootX, int rootY) const
  {
    return mWindow && rootX >= mX && rootX < mX + mW && rootY >= mY && rootY < mY + mH;
  }
  // Copies the whole bitmap to the window.
  void Present();

  // Events of the window; an expose presents the bitmap again before the owner sees it.
  void OnX11Event(const xcb_generic_event_t* event) override;
  virtual void OnPanelEvent(const xcb_generic_event_t*) {}

protected:
  X11Connection* mConn = nullptr;
  xcb_window_t mWindow = 0;
  X11Surface mSurface;
  Raster_SysBitmap mBitmap;
  int mX = 0, mY = 0, mW = 0, mH = 0;
};
