// The Cocoa classes of the macOS window host (Objective-C++, manual retain/release).
#pragma once

#include "MacCocoa.h"

// Objective-C classes share one namespace per process, so every plug-in built on this host
// gives its Cocoa classes names of its own: the build sets the suffix (VX_COCOA_CLASS_SUFFIX,
// e.g. _vIThdMeter_vst) and the code uses the plain names below.
#ifndef VX_COCOA_CLASS_SUFFIX
#error "VX_COCOA_CLASS_SUFFIX is set by the build (src/windowhost/mac/CMakeLists.txt)"
#endif
#define VX_COCOA_JOIN2(name, suffix) name##suffix
#define VX_COCOA_JOIN(name, suffix) VX_COCOA_JOIN2(name, suffix)
#define IGraphicsCocoa VX_COCOA_JOIN(IGraphicsCocoa, VX_COCOA_CLASS_SUFFIX)
#define CocoaFormatter VX_COCOA_JOIN(CocoaFormatter, VX_COCOA_CLASS_SUFFIX)
#define IGraphicsNSMenu VX_COCOA_JOIN(IGraphicsNSMenu, VX_COCOA_CLASS_SUFFIX)
#define IGraphicsMenuRcvr VX_COCOA_JOIN(IGraphicsMenuRcvr, VX_COCOA_CLASS_SUFFIX)
#define CustomCocoaWindow VX_COCOA_JOIN(CustomCocoaWindow, VX_COCOA_CLASS_SUFFIX)

class IGraphicsMac;
class IControl;
class IParam;
class IPopupMenu;
struct IRECT;
struct IText;

// IRECT (top-left origin, inclusive edges) to a Cocoa rectangle in a view of height h.
NSRect IGraphicsMac_ToNSRect(int h, const IRECT* rect);

// The editor's view. It keeps its IGraphicsMac (null once detached), the repeating timer,
// the last mouse position in editor coordinates and the open text entry.
@interface IGraphicsCocoa : NSView
{
  IGraphicsMac* mGraphics;
  NSTimer* mTimer;
  int mPrevX, mPrevY;
  NSTextField* mTextFieldView;
  IControl* mEdControl;
  IParam* mEdParam;
}
- (id)initWithIGraphics:(IGraphicsMac*)graphics;
- (IGraphicsMac*)graphics;
- (void)detach;
- (void)killTimer;
- (void)onTimer:(NSTimer*)timer;
- (NSTextField*)textField;
- (void)createTextEntry:(IControl*)control :(IParam*)param :(const IText*)text :(const char*)str :(NSRect)areaRect;
- (void)endUserInput;
- (IPopupMenu*)createIPopupMenu:(IPopupMenu*)menu :(NSRect)rect;
- (void)registerToolTip:(NSRect)rect;
- (NSString*)view:(NSView*)view stringForToolTip:(NSToolTipTag)tag point:(NSPoint)point userData:(void*)data;
@end

// Refuses typed text with characters outside a set, longer than a length, or above a value.
@interface CocoaFormatter : NSFormatter
{
  NSCharacterSet* filterCharacterSet;
  int maxLength;
  int maxValue;
}
- (void)setAcceptableCharacterSet:(NSCharacterSet*)characterSet;
- (void)setMaximumLength:(int)length;
- (void)setMaximumValue:(int)value;
@end

// An NSMenu that remembers the IPopupMenu it shows.
@interface IGraphicsNSMenu : NSMenu
{
  IPopupMenu* mIPopupMenu;
}
- (id)initWithIPopupMenuAndReciever:(IPopupMenu*)menu :(NSView*)receiver;
- (IPopupMenu*)iPopupMenu;
@end

// Receives the chosen menu item.
@interface IGraphicsMenuRcvr : NSView
{
  NSMenuItem* nsMenuItem;
}
- (void)OnMenuSelection:(id)sender;
- (NSMenuItem*)menuItem;
@end

// The borderless child window of the Carbon path; it must take keyboard focus.
@interface CustomCocoaWindow : NSWindow
{
}
@end
