// Shared by the Cocoa view host's tests, which run against GNUstep's AppKit under Xvfb: the
// application set-up and watchdog, run-loop pumping, constructed events, pixel read-back,
// and non-blocking replacements of the modal alert and context menu.
#pragma once

#include "IGraphicsCocoa.h"

// GNUstep's allocation counters (its header declares them only in debug builds).
extern "C" BOOL GSDebugAllocationActive(BOOL active);
extern "C" int GSDebugAllocationCount(Class c);

#include <string>
#include <vector>

class IGraphicsMac;

// Runs the main run loop for secs seconds (timers fire, posted events are delivered).
void MacPump(double secs);
// Pumps until done() or the time limit; true when done() became true.
bool MacPumpUntil(bool (*done)(void*), void* arg, double maxSecs);

// A titled window whose content view is the "host view" a plug-in host hands over (retained;
// the caller releases it with MacCloseWindow).
NSWindow* MacMakeHostWindow(int w, int h);
void MacCloseWindow(NSWindow* window);

NSEvent* MacMouseEvent(NSEventType type, NSWindow* window, NSPoint where, int clicks = 1, NSUInteger mods = 0);
NSEvent* MacScrollEvent(NSWindow* window, NSPoint where, double deltaY);
NSEvent* MacKeyEvent(NSWindow* window, NSString* chars, unsigned short keyCode);
// A left click (down and up) at a point in editor coordinates of the view.
void MacClickEditor(NSView* view, int x, int y);
// Types text into the window's first responder, one key event per character, then Return.
void MacType(NSWindow* window, const char* text, bool pressReturn);

// The view's pixels as Cocoa draws them (cacheDisplayInRect:), as 0xAARRGGBB words, rows from
// the top; w and h receive the size.
std::vector<unsigned int> MacReadBack(NSView* view, int* w, int* h);

// Answers every alert with `answer` (0, 1, 2: default, alternate, other) and records them.
struct MacAlertRecord
{
  std::string header, message, def, alt, other;
};
void MacRecordAlerts(int answer);
const std::vector<MacAlertRecord>& MacRecordedAlerts();
void MacClearAlerts();

// Context menus choose the item at path (top level index, then sub-menu indexes; empty: none)
// through the menu's own action and never block; the shown menus are recorded as titles.
void MacChooseMenuPath(const std::vector<int>& path);
const std::vector<std::vector<std::string> >& MacShownMenus();
// Where each shown menu was asked to open: its event's location in the window.
const std::vector<NSPoint>& MacShownMenuLocations();

// The backing scale every screen reports (1 by default; 2 as on a Retina screen).
void MacSetScreenScale(double scale);
