// The host's side of the X server in the mini hosts' X11 modes: a connection of the host's own
// (as a real host has one, beside the plug-in's), the top-level window a host gives the plug-in
// as its parent, real input through the server with the XTest extension, the pixels of a window
// read back, and what the server holds for each client (the X-Resource extension), so that a
// test can see whether the plug-in leaves windows or contexts behind.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <string>
#include <vector>

class X11TestDisplay
{
public:
  X11TestDisplay() = default;
  ~X11TestDisplay() { Close(); }
  X11TestDisplay(const X11TestDisplay&) = delete;
  X11TestDisplay& operator=(const X11TestDisplay&) = delete;

  // Connects to $DISPLAY; false (with a reason) without a server or without XTest.
  bool Open(std::string* error);
  void Close();
  xcb_connection_t* Conn() const { return mConn; }
  xcb_window_t Root() const;
  int ScreenWidth() const;
  int ScreenHeight() const;
  // Waits until the server has carried out every request sent so far.
  void Sync();

  // A top-level window at (x, y), w x h, mapped, that no window manager moves (the parent a
  // host gives the editor). Filled with colour (0xRRGGBB) where nothing covers it.
  xcb_window_t CreateFrame(int x, int y, int w, int h, uint32_t color = 0x303030);
  void DestroyWindow(xcb_window_t window);
  void ResizeWindow(xcb_window_t window, int w, int h);
  // The windows inside a window, bottom to top.
  std::vector<xcb_window_t> Children(xcb_window_t window);
  bool Geometry(xcb_window_t window, int* x, int* y, int* w, int* h);
  bool IsViewable(xcb_window_t window);
  // The window's name (WM_NAME), or "".
  std::string Name(xcb_window_t window);
  // Top-level windows (children of the root) that are mapped.
  std::vector<xcb_window_t> MappedTopLevels();
  // The window with the keyboard focus.
  xcb_window_t InputFocus();
  // Whether another client holds the keyboard grabbed (tried with a grab of our own, let go at
  // once when it succeeds).
  bool KeyboardGrabbedElsewhere();

  // ---- real input (XTest) ------------------------------------------------------------------
  // Coordinates are relative to the window given.
  void MoveTo(xcb_window_t window, int x, int y);
  void ButtonDown(int button);
  void ButtonUp(int button);
  void Click(xcb_window_t window, int x, int y, int button = 1);
  // One notch of the wheel at the point: up (button 4) or down (button 5).
  void Wheel(xcb_window_t window, int x, int y, bool up);
  // A key press and release by keysym (Shift held where the keysym needs it).
  void Key(uint32_t keysym);
  void KeyDown(uint32_t keysym);
  void KeyUp(uint32_t keysym);
  // Types ASCII text key by key.
  void Type(const char* text);

  // ---- pixels and resources --------------------------------------------------------------------
  // The window's pixels as 0xFFRRGGBB, row by row.
  bool Grab(xcb_window_t window, std::vector<uint32_t>* pixels, int* w, int* h);
  // Resources the server holds for the client that created the window (0 when it has none).
  long ClientResources(xcb_window_t windowOfClient);
  // Clients connected to the server and the resources they hold together.
  void ServerTotals(int* clients, long* resources);
  // The same, waiting up to timeoutMs for them to come to the given figures: a connection that
  // a client closed goes when the server has read the end of it, a moment later.
  void ServerTotalsSettled(int clients, long resources, int* gotClients, long* gotResources, int timeoutMs = 2000);
  // Covers (x, y, w, h) of a window with a window of the given colour until Uncover: the
  // covered part must be drawn again when it is uncovered (an expose).
  xcb_window_t Cover(xcb_window_t window, int x, int y, int w, int h, uint32_t color);
  void Uncover(xcb_window_t cover) { DestroyWindow(cover); }

private:
  uint8_t KeycodeOf(uint32_t keysym, bool* shift);
  void LoadKeymap();

  xcb_connection_t* mConn = nullptr;
  xcb_screen_t* mScreen = nullptr;
  uint8_t mMinKeycode = 0;
  int mPerKeycode = 0;
  std::vector<uint32_t> mKeysyms;
};

// Open file descriptors of this process.
int CountOpenDescriptors();
