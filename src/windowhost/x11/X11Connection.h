// The module's own connection to the X server, shared by every editor window, menu and
// message box of the module: opened by the first window and closed with the last one, so an
// unloaded module leaves no connection behind. It knows the screen's pixel format, whether the
// server shares memory with us, the keyboard map and the atoms the window host uses, and it
// hands each event to the object that owns the event's window.
//
// libxcb keeps no global state of its own, so this connection lives safely beside whatever the
// host's toolkit (Xlib, GTK, Qt) does on its connection. Window ids are the server's, so the
// host's parent window is valid here as well.
#pragma once

#include "Util_TypedBuf.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>

// Receives the events of the windows registered for it.
class X11EventTarget
{
public:
  virtual ~X11EventTarget() = default;
  virtual void OnX11Event(const xcb_generic_event_t* event) = 0;
};

// Something the module's modal loops (menus, message boxes) keep alive while they wait: the
// open editors' timers.
class X11TimerClient
{
public:
  virtual ~X11TimerClient() = default;
  virtual void OnModalTick() = 0;
};

class X11Connection
{
public:
  enum EAtom
  {
    kWM_PROTOCOLS,
    kWM_DELETE_WINDOW,
    kNET_WM_NAME,
    kUTF8_STRING,
    kNET_WM_WINDOW_TYPE,
    kNET_WM_WINDOW_TYPE_POPUP_MENU,
    kNET_WM_WINDOW_TYPE_DIALOG,
    kNET_WM_STATE,
    kNET_WM_STATE_MODAL,
    kCLIPBOARD,
    kTARGETS,
    kVX_SELECTION,  // the property a clipboard conversion is delivered into
    kXSETTINGS_S0,
    kXSETTINGS_SETTINGS,
    kNAtoms
  };

  // How pixels travel to the screen's root visual.
  struct PixelFormat
  {
    uint8_t depth = 0;
    uint8_t bitsPerPixel = 0;
    uint32_t redMask = 0, greenMask = 0, blueMask = 0;
    bool lsbFirst = true;
    // 32 bits per pixel, 0x00RRGGBB, least significant byte first: the editor's own pixels.
    bool nativeArgb = false;
  };

  // The module's connection, opened on first use (DISPLAY names the server). Every successful
  // Acquire is matched by one Release; the last Release closes the connection. Null when no
  // server can be reached.
  static X11Connection* Acquire();
  static void Release();
  // The open connection, or null; does not count as a use.
  static X11Connection* Current();
  // Whether a connection is open (tests: none may remain once every window is closed).
  static bool IsOpen();

  xcb_connection_t* Get() const { return mConn; }
  xcb_screen_t* Screen() const { return mScreen; }
  int FileDescriptor() const;
  bool Failed() const;
  bool HasShm() const { return mHasShm; }
  // The first event code of the shared-memory extension (its completion event), or 0.
  uint8_t ShmEventBase() const { return mShmEventBase; }
  const PixelFormat& Format() const { return mFormat; }
  xcb_atom_t Atom(EAtom atom) const { return mAtoms[atom]; }
  // Largest request in bytes.
  uint32_t MaxRequestBytes() const { return mMaxRequestBytes; }

  // The time of the last input event seen (for focus and grabs), or XCB_CURRENT_TIME.
  xcb_timestamp_t LastEventTime() const { return mLastTime; }

  // The keysym a key event means, with Shift, Caps Lock and Num Lock applied (0 for none).
  uint32_t Keysym(xcb_keycode_t code, uint16_t state) const;

  // The double-click interval (ms) and distance (pixels) of the desktop's settings when an
  // XSETTINGS manager offers them, else 400 ms and 5 pixels.
  int DoubleClickMs() const { return mDoubleClickMs; }
  int DoubleClickDistance() const { return mDoubleClickDistance; }

  // Window registry: events of a registered window go to its target.
  void Register(xcb_window_t window, X11EventTarget* target);
  void Unregister(xcb_window_t window);

  // Reads every event waiting on the connection and hands each to its window's target.
  // Returns false when the connection has failed.
  bool Dispatch();
  // Waits up to timeoutMs for the connection to become readable (or forever with -1).
  bool WaitReadable(int timeoutMs) const;

  // Timer clients that modal loops tick while they run (the open editors).
  void AddTimerClient(X11TimerClient* client);
  void RemoveTimerClient(X11TimerClient* client);
  // Runs until done() is true: dispatches events and ticks the timer clients every periodMs.
  // Modal loops may nest; the depth is kept so that a window can refuse to close inside one.
  void RunModal(bool (*done)(void*), void* context, int periodMs);
  int ModalDepth() const { return mModalDepth; }

  // Waits for the reply of a cookie while dispatching nothing; frees errors. Null on error.
  template <class Reply, class Cookie>
  static Reply* ReplyOf(Reply* (*fn)(xcb_connection_t*, Cookie, xcb_generic_error_t**), xcb_connection_t* c, Cookie cookie)
  {
    xcb_generic_error_t* error = nullptr;
    Reply* reply = fn(c, cookie, &error);
    if (error) free(error);
    return reply;
  }

private:
  X11Connection() = default;
  ~X11Connection();
  bool Open();
  void LoadKeyboardMap();
  void LoadSettings();
  void NoteTime(const xcb_generic_event_t* event);
  X11EventTarget* TargetOf(const xcb_generic_event_t* event) const;

  struct Entry
  {
    xcb_window_t window;
    X11EventTarget* target;
  };

  xcb_connection_t* mConn = nullptr;
  xcb_screen_t* mScreen = nullptr;
  bool mHasShm = false;
  uint8_t mShmEventBase = 0;
  PixelFormat mFormat;
  xcb_atom_t mAtoms[kNAtoms] = {};
  uint32_t mMaxRequestBytes = 0;
  xcb_timestamp_t mLastTime = XCB_CURRENT_TIME;
  uint8_t mMinKeycode = 0;
  uint8_t mKeysymsPerKeycode = 0;
  Util_TypedBuf<uint32_t> mKeysyms;
  uint16_t mNumLockMask = 0;
  int mDoubleClickMs = 400;
  int mDoubleClickDistance = 5;
  Util_TypedBuf<Entry> mTargets;
  Util_TypedBuf<X11TimerClient*> mTimerClients;
  int mModalDepth = 0;
};
