// The Cocoa classes of the macOS window host (Objective-C++, manual retain/release).
#pragma once

#include "MacCocoa.h"

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
@interface IGraphicsCocoa_vIThdMeter_vst : NSView
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
@interface CocoaFormatter_vIThdMeter_vst : NSFormatter
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
@interface IGraphicsNSMenu_vIThdMeter_vst : NSMenu
{
  IPopupMenu* mIPopupMenu;
}
- (id)initWithIPopupMenuAndReciever:(IPopupMenu*)menu :(NSView*)receiver;
- (IPopupMenu*)iPopupMenu;
@end

// Receives the chosen menu item.
@interface IGraphicsMenuRcvr_vIThdMeter_vst : NSView
{
  NSMenuItem* nsMenuItem;
}
- (void)OnMenuSelection:(id)sender;
- (NSMenuItem*)menuItem;
@end

// The borderless child window of the Carbon path; it must take keyboard focus.
@interface CustomCocoaWindow_vIThdMeter_vst : NSWindow
{
}
@end
