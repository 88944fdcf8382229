// Message boxes of the X11 window host: a small dialog window (transient for the host's
// window, so the window manager keeps it above and centred on it) drawn with the raster
// library: an icon, the text in lines that fit, and the buttons of the Win32 message box type
// (OK; OK and Cancel; Yes, No and Cancel; Yes and No). It runs modally, the open editors
// ticking meanwhile; a click on a button, Return (the first button), Escape or the window
// manager's close (Cancel, or OK when it is the only button) ends it.
#pragma once

#include "IGraphicsStructs.h"
#include "X11PanelWindow.h"

class IGraphics;

class X11MessageBox : public X11PanelWindow
{
public:
  X11MessageBox(IGraphics* fonts, X11Connection* conn, int periodMs);

  // Shows the box (owner: a window of the host, or 0) and returns the Win32 result of the
  // button chosen (kIDOK, kIDCANCEL, kIDYES, kIDNO).
  int Run(const char* text, const char* caption, int type, xcb_window_t owner);

  // The buttons a type shows, as their results; returns their number (1 to 3).
  static int ButtonsOf(int type, int* results);
  // The result of Escape or the close button for a type (0: neither ends the box).
  static int EscapeResult(int type);

private:
  void OnPanelEvent(const xcb_generic_event_t* event) override;
  void Draw();
  static bool Done(void* self);

  IGraphics* mFonts;
  int mPeriodMs;
  int mType = 0;
  int mResult = 0;
  int mButtons[3] = {};
  int mNButtons = 0;
  IRECT mButtonRects[3];
  int mPressed = -1;
  const char* mText = "";
  int mTextTop = 0, mTextLeft = 0;
};
