// The Cocoa classes of the macOS window host: the editor's view with its timer, drawing,
// mouse, wheel and keys, the text entry and its formatter, the popup menu classes and the
// borderless child window of the Carbon path. Manual retain/release, no blocks, no literals,
// explicit instance variables: the same source builds with Apple clang and with g++ on GNUstep.
#include "IGraphicsCocoa.h"

#include "IControl.h"
#include "IGraphicsMac.h"
#include "IParam.h"
#include "IPopupMenu.h"
#include "Util_String.h"

#include <cstdio>

NSRect IGraphicsMac_ToNSRect(int h, const IRECT* rect)
{
  return NSMakeRect(rect->L, h - rect->B - 1, rect->R - rect->L + 1, rect->B - rect->T + 1);
}

namespace
{
NSString* ToNSString(const char* utf8)
{
  // Text that is not valid UTF-8 becomes the empty string rather than nil.
  NSString* s = utf8 ? [NSString stringWithUTF8String:utf8] : nil;
  return s ? s : @"";
}

NSColor* ToNSColor(const IColor* c)
{
  return [NSColor colorWithCalibratedRed:c->R / 255.0 green:c->G / 255.0 blue:c->B / 255.0 alpha:c->A / 255.0];
}

IMouseMod GetMouseMod(NSEvent* event, bool right)
{
  const NSUInteger mods = [event modifierFlags];
  IMouseMod mod(!right, right || (mods & NSEventModifierFlagCommand) != 0, (mods & NSEventModifierFlagShift) != 0,
                (mods & NSEventModifierFlagControl) != 0, (mods & NSEventModifierFlagOption) != 0);
  return mod;
}

// The editor's key numbers: space and the arrows by key code, digits and letters by character.
int KeyFromEvent(unsigned short keyCode, unichar c)
{
  switch (keyCode)
  {
    case 49: return 0;
    case 126: return 1;
    case 125: return 2;
    case 123: return 3;
    case 124: return 4;
    default: break;
  }
  if (c >= '0' && c <= '9') return 5 + (c - '0');
  if (c >= 'A' && c <= 'Z') return 15 + (c - 'A');
  if (c >= 'a' && c <= 'z') return 15 + (c - 'a');
  return -1;
}
}  // namespace

// ==== the view =================================================================================

@implementation IGraphicsCocoa

- (id)initWithIGraphics:(IGraphicsMac*)graphics
{
  NSRect r = NSMakeRect(0, 0, graphics ? graphics->Width() : 0, graphics ? graphics->Height() : 0);
  self = [super initWithFrame:r];
  if (!self) return nil;
  mGraphics = graphics;
  const int fps = graphics && graphics->FPS() > 0 ? graphics->FPS() : 25;
  // The run loop keeps the timer; the timer keeps the view until killTimer. Common modes so
  // that the editor keeps drawing while a menu is tracked or a window resized.
  mTimer = [NSTimer timerWithTimeInterval:1.0 / (double)fps target:self selector:@selector(onTimer:)
                                 userInfo:nil repeats:YES];
  [[NSRunLoop currentRunLoop] addTimer:mTimer forMode:NSRunLoopCommonModes];
  return self;
}

- (void)dealloc
{
  [self killTimer];
  if (mTextFieldView)
  {
    [mTextFieldView setDelegate:nil];
    [mTextFieldView release];
    mTextFieldView = nil;
  }
  [super dealloc];
}

- (IGraphicsMac*)graphics
{
  return mGraphics;
}

- (void)detach
{
  mGraphics = 0;
}

- (BOOL)isOpaque
{
  return mGraphics ? YES : NO;
}

- (BOOL)acceptsFirstResponder
{
  return YES;
}

- (BOOL)acceptsFirstMouse:(NSEvent*)event
{
  (void)event;
  return YES;
}

- (void)viewDidMoveToWindow
{
  NSWindow* window = [self window];
  if (!window) return;
  [window makeFirstResponder:self];
  [window setAcceptsMouseMovedEvents:YES];
}

- (void)onTimer:(NSTimer*)timer
{
  if (timer != mTimer || !mGraphics) return;
  IRECT r;
  if (mGraphics->IsDirty(&r)) [self setNeedsDisplayInRect:IGraphicsMac_ToNSRect(mGraphics->Height(), &r)];
}

- (void)killTimer
{
  [mTimer invalidate];
  mTimer = nil;
}

- (void)drawRect:(NSRect)rect
{
  if (!mGraphics) return;
  const int h = mGraphics->Height();
  const int l = (int)rect.origin.x;
  IRECT r(l, h - (int)rect.origin.y - (int)rect.size.height, l + (int)rect.size.width, h - (int)rect.origin.y);
  mGraphics->Draw(&r);
}

// ---- mouse ---------------------------------------------------------------------------------------

- (void)getMouseXY:(NSEvent*)event x:(int*)x y:(int*)y
{
  NSPoint pt = [self convertPoint:[event locationInWindow] fromView:nil];
  *x = (int)pt.x - 2;
  *y = mGraphics->Height() - (int)pt.y - 3;
  mPrevX = *x;
  mPrevY = *y;
}

- (void)mouseDown:(NSEvent*)event
{
  if (!mGraphics) return;
  int x, y;
  [self getMouseXY:event x:&x y:&y];
  IMouseMod mod = GetMouseMod(event, false);
  if ([event clickCount] < 2)
    mGraphics->OnMouseDown(x, y, &mod);
  else
    mGraphics->OnMouseDblClick(x, y, &mod);
}

- (void)mouseUp:(NSEvent*)event
{
  if (!mGraphics) return;
  int x, y;
  [self getMouseXY:event x:&x y:&y];
  IMouseMod mod = GetMouseMod(event, false);
  mGraphics->OnMouseUp(x, y, &mod);
}

- (void)mouseDragged:(NSEvent*)event
{
  if (!mGraphics || mTextFieldView) return;
  int x, y;
  [self getMouseXY:event x:&x y:&y];
  IMouseMod mod = GetMouseMod(event, false);
  mGraphics->OnMouseDrag(x, y, &mod);
}

- (void)rightMouseDown:(NSEvent*)event
{
  if (!mGraphics) return;
  int x, y;
  [self getMouseXY:event x:&x y:&y];
  IMouseMod mod = GetMouseMod(event, true);
  mGraphics->OnMouseDown(x, y, &mod);
}

- (void)rightMouseUp:(NSEvent*)event
{
  if (!mGraphics) return;
  int x, y;
  [self getMouseXY:event x:&x y:&y];
  IMouseMod mod = GetMouseMod(event, true);
  mGraphics->OnMouseUp(x, y, &mod);
}

- (void)rightMouseDragged:(NSEvent*)event
{
  if (!mGraphics || mTextFieldView) return;
  int x, y;
  [self getMouseXY:event x:&x y:&y];
  IMouseMod mod = GetMouseMod(event, true);
  mGraphics->OnMouseDrag(x, y, &mod);
}

- (void)mouseMoved:(NSEvent*)event
{
  if (!mGraphics) return;
  int x, y;
  [self getMouseXY:event x:&x y:&y];
  IMouseMod mod = GetMouseMod(event, false);
  mGraphics->OnMouseOver(x, y, &mod);
}

- (void)scrollWheel:(NSEvent*)event
{
  if (!mGraphics) return;
  if (mTextFieldView) [self endUserInput];
  int x, y;
  [self getMouseXY:event x:&x y:&y];
  IMouseMod mod = GetMouseMod(event, false);
  // Fractional deltas (trackpads) are truncated: only whole steps move a control.
  const int d = (int)[event deltaY];
  mGraphics->OnMouseWheel(x, y, &mod, d);
}

// ---- keys ------------------------------------------------------------------------------------------

- (void)keyDown:(NSEvent*)event
{
  NSString* chars = [event charactersIgnoringModifiers];
  // Dead keys and input methods deliver several characters (or none): not a key of the editor.
  if ([chars length] != 1) return;
  const int key = KeyFromEvent([event keyCode], [chars characterAtIndex:0]);
  if (key < 0 || !mGraphics || !mGraphics->OnKeyDown(mPrevX, mPrevY, key)) [[self nextResponder] keyDown:event];
}

// ---- host removal ------------------------------------------------------------------------------------

- (void)removeFromSuperview
{
  // Only a view that has a superview is being taken away (AppKit implementations may call
  // this on a view that is about to be added for the first time).
  if (![self superview])
  {
    [super removeFromSuperview];
    return;
  }
  // The graphics' CloseWindow gives up its reference; stay alive until the superview lets go.
  [self retain];
  if (mTextFieldView) [self endUserInput];
  if (mGraphics)
  {
    IGraphicsMac* graphics = mGraphics;
    mGraphics = 0;
    graphics->CloseWindow();
  }
  [super removeFromSuperview];
  [self release];
}

// ---- text entry ------------------------------------------------------------------------------------------

- (NSTextField*)textField
{
  return mTextFieldView;
}

- (void)createTextEntry:(IControl*)control :(IParam*)param :(const IText*)text :(const char*)str :(NSRect)areaRect
{
  if (!control || !text || mTextFieldView) return;

  mTextFieldView = [[NSTextField alloc] initWithFrame:areaRect];
  NSFont* font = [NSFont fontWithName:ToNSString(text->mFont) size:(CGFloat)(0.9 * text->mSize)];
  if (font) [mTextFieldView setFont:font];
  switch (text->mAlign)
  {
    case IText::kAlignNear: [mTextFieldView setAlignment:NSTextAlignmentLeft]; break;
    case IText::kAlignCenter: [mTextFieldView setAlignment:NSTextAlignmentCenter]; break;
    case IText::kAlignFar: [mTextFieldView setAlignment:NSTextAlignmentRight]; break;
    default: break;
  }

  if (param)
  {
    CocoaFormatter* formatter = [[[CocoaFormatter alloc] init] autorelease];
    switch (param->Type())
    {
      case IParam::kTypeBool:
      case IParam::kTypeInt:
      case IParam::kTypeEnum:
        [formatter setAcceptableCharacterSet:[NSCharacterSet characterSetWithCharactersInString:@"0123456789-+"]];
        break;
      case IParam::kTypeDouble:
        [formatter setAcceptableCharacterSet:[NSCharacterSet characterSetWithCharactersInString:@"0123456789.-+"]];
        break;
      default:
        break;
    }
    [formatter setMaximumLength:control->GetTextEntryLength()];
    [mTextFieldView setFormatter:formatter];
  }

  [[mTextFieldView cell] setLineBreakMode:NSLineBreakByTruncatingTail];
  [mTextFieldView setAllowsEditingTextAttributes:NO];
  [mTextFieldView setTextColor:ToNSColor(&text->mTextEntryFGColor)];
  [mTextFieldView setBackgroundColor:ToNSColor(&text->mTextEntryBGColor)];
  [mTextFieldView setStringValue:ToNSString(str)];
  [mTextFieldView setBordered:NO];
  [mTextFieldView setFocusRingType:NSFocusRingTypeNone];
  [mTextFieldView setDelegate:(id)self];

  [self addSubview:mTextFieldView];
  NSWindow* window = [self window];
  [window makeKeyAndOrderFront:nil];
  [window makeFirstResponder:mTextFieldView];

  mEdControl = control;
  mEdParam = param;
}

- (void)controlTextDidEndEditing:(NSNotification*)notification
{
  if (!mTextFieldView || [notification object] != mTextFieldView) return;
  // A copy: ending the entry releases the field that owns the text.
  Util_String text([[mTextFieldView stringValue] UTF8String] ? [[mTextFieldView stringValue] UTF8String] : "");
  IControl* control = mEdControl;
  IParam* param = mEdParam;
  if (mGraphics && control)
  {
    if (param)
      mGraphics->SetFromStringAfterPrompt(control, param, text.Get());
    else
      control->TextFromTextEntry(text.Get());
  }
  [self endUserInput];
  [self setNeedsDisplay:YES];
}

- (void)endUserInput
{
  if (mTextFieldView)
  {
    NSTextField* field = mTextFieldView;
    mTextFieldView = nil;
    [field setDelegate:nil];
    [field removeFromSuperview];
    // Autoreleased: this runs inside the field's own end-of-editing notification, and the
    // field still finishes its work after the delegate returns.
    [field autorelease];
    [[self window] makeFirstResponder:self];
  }
  mEdControl = 0;
  mEdParam = 0;
}

// ---- popup menus ------------------------------------------------------------------------------------------

- (IPopupMenu*)createIPopupMenu:(IPopupMenu*)menu :(NSRect)rect
{
  if (!menu) return 0;
  IGraphicsMenuRcvr* receiver = [[IGraphicsMenuRcvr alloc] initWithFrame:rect];
  IGraphicsNSMenu* nsMenu =
      [[IGraphicsNSMenu alloc] initWithIPopupMenuAndReciever:(menu) :(receiver)];

  // The menu opens 4 points below the rectangle's origin. An event's location is in the
  // window's coordinates, in points on every screen: a backing scale (Retina) changes pixels,
  // not points, so the view's point converts as it is.
  NSWindow* window = [self window];
  NSPoint origin = NSMakePoint(rect.origin.x, rect.origin.y - 4);
  NSPoint where = [self convertPoint:origin toView:nil];
  NSEvent* event = [NSEvent otherEventWithType:NSEventTypeApplicationDefined location:where modifierFlags:0
                                     timestamp:0 windowNumber:[window windowNumber] context:nil subtype:0
                                         data1:0 data2:0];
  IGraphicsMac::RunContextMenu(nsMenu, event, receiver);

  IPopupMenu* result = 0;
  NSMenuItem* chosen = [receiver menuItem];
  NSMenu* chosenMenu = [chosen menu];
  if (chosen && [chosenMenu isKindOfClass:[IGraphicsNSMenu class]])
  {
    IPopupMenu* chosenIMenu = [(IGraphicsNSMenu*)chosenMenu iPopupMenu];
    const NSInteger idx = [chosenMenu indexOfItem:chosen];
    if (chosenIMenu && idx >= 0)
    {
      chosenIMenu->SetChosenItemIdx((int)idx);
      result = chosenIMenu;
    }
  }
  [nsMenu release];
  [receiver release];
  return result;
}

// ---- tooltips ------------------------------------------------------------------------------------------------

- (void)registerToolTip:(NSRect)rect
{
  [self addToolTipRect:rect owner:self userData:NULL];
}

- (NSString*)view:(NSView*)view stringForToolTip:(NSToolTipTag)tag point:(NSPoint)point userData:(void*)data
{
  (void)view;
  (void)tag;
  (void)point;
  (void)data;
  if (!mGraphics) return @"";
  IControl* control = mGraphics->GetControl(mGraphics->GetMouseOver());
  const char* tip = control ? control->GetTooltip() : 0;
  return tip && *tip ? ToNSString(tip) : @"";
}

@end

// ==== the formatter ================================================================================

@implementation CocoaFormatter

- (void)dealloc
{
  [filterCharacterSet release];
  [super dealloc];
}

- (NSString*)stringForObjectValue:(id)object
{
  return [object isKindOfClass:[NSString class]] ? (NSString*)object : nil;
}

- (BOOL)getObjectValue:(id*)object forString:(NSString*)string errorDescription:(NSString**)error
{
  (void)error;
  if (object) *object = [[string copy] autorelease];
  return YES;
}

- (BOOL)isPartialStringValid:(NSString*)partialString newEditingString:(NSString**)newString
            errorDescription:(NSString**)error
{
  (void)newString;
  (void)error;
  if (filterCharacterSet &&
      [partialString rangeOfCharacterFromSet:[filterCharacterSet invertedSet]].location != NSNotFound)
    return NO;
  if (maxLength && (int)[partialString length] > maxLength) return NO;
  if (maxValue && [partialString intValue] > maxValue) return NO;
  return YES;
}

- (void)setAcceptableCharacterSet:(NSCharacterSet*)characterSet
{
  [characterSet retain];
  [filterCharacterSet release];
  filterCharacterSet = characterSet;
}

- (void)setMaximumLength:(int)length
{
  maxLength = length;
}

- (void)setMaximumValue:(int)value
{
  maxValue = value;
}

@end

// ==== the menu classes ================================================================================

@implementation IGraphicsNSMenu

- (id)initWithIPopupMenuAndReciever:(IPopupMenu*)menu :(NSView*)receiver
{
  self = [super initWithTitle:@""];
  if (!self) return nil;
  [self setAutoenablesItems:NO];
  mIPopupMenu = menu;
  const int n = menu ? menu->GetNItems() : 0;
  for (int i = 0; i < n; ++i)
  {
    IPopupMenuItem* item = menu->GetItem(i);
    char prefix[16] = "";
    switch (menu->GetPrefix())
    {
      case 1: snprintf(prefix, sizeof prefix, "%1d: ", i + 1); break;
      case 2: snprintf(prefix, sizeof prefix, "%02d: ", i + 1); break;
      case 3: snprintf(prefix, sizeof prefix, "%03d: ", i + 1); break;
      default: break;
    }
    Util_String title(prefix);
    title.Append(item->GetText());
    NSString* nsTitle = ToNSString(title.Get());

    if (item->GetSubmenu())
    {
      NSMenuItem* nsItem = (NSMenuItem*)[self addItemWithTitle:nsTitle action:NULL keyEquivalent:@""];
      IGraphicsNSMenu* sub =
          [[IGraphicsNSMenu alloc] initWithIPopupMenuAndReciever:(item->GetSubmenu()) :(receiver)];
      [nsItem setSubmenu:sub];
      [sub release];
    }
    else if (item->IsSeparator())
    {
      [self addItem:[NSMenuItem separatorItem]];
    }
    else
    {
      NSMenuItem* nsItem = (NSMenuItem*)[self addItemWithTitle:nsTitle action:@selector(OnMenuSelection:) keyEquivalent:@""];
      [nsItem setTarget:receiver];
      if (item->GetFlags() & IPopupMenuItem::kTitle) [nsItem setIndentationLevel:1];
      if (item->GetChecked()) [nsItem setState:NSControlStateValueOn];
      [nsItem setEnabled:item->GetEnabled() ? YES : NO];
    }
  }
  return self;
}

- (IPopupMenu*)iPopupMenu
{
  return mIPopupMenu;
}

@end

@implementation IGraphicsMenuRcvr

- (void)dealloc
{
  [nsMenuItem release];
  [super dealloc];
}

- (void)OnMenuSelection:(id)sender
{
  if (![sender isKindOfClass:[NSMenuItem class]]) return;
  [sender retain];
  [nsMenuItem release];
  nsMenuItem = (NSMenuItem*)sender;
}

- (NSMenuItem*)menuItem
{
  return nsMenuItem;
}

@end

// ==== the Carbon path's child window ====================================================================

@implementation CustomCocoaWindow

- (BOOL)canBecomeKeyWindow
{
  return YES;
}

@end
