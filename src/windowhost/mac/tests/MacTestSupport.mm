// The Cocoa view host's test support: application set-up, a watchdog, run-loop pumping,
// constructed events and non-blocking stand-ins for alerts and menus.

#include "MacTestSupport.h"

#include "IGraphicsMac.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace
{
std::vector<MacAlertRecord> gAlerts;
int gAlertAnswer = 0;
std::vector<int> gMenuPath;
std::vector<std::vector<std::string> > gShownMenus;
std::vector<NSPoint> gShownMenuLocations;
CGFloat gScreenScale = 1.0;

std::string Str(const char* s)
{
  return s ? s : "(none)";
}

int RecordingAlert(const char* header, const char* message, const char* def, const char* alt, const char* other)
{
  MacAlertRecord r;
  r.header = Str(header);
  r.message = Str(message);
  r.def = Str(def);
  r.alt = Str(alt);
  r.other = Str(other);
  gAlerts.push_back(r);
  return gAlertAnswer;
}

void ChoosingMenu(void* nsMenu, void* nsEvent, void*)
{
  NSMenu* menu = (NSMenu*)nsMenu;
  gShownMenuLocations.push_back([(NSEvent*)nsEvent locationInWindow]);
  std::vector<std::string> titles;
  for (NSInteger i = 0; i < [menu numberOfItems]; ++i)
  {
    NSMenuItem* item = [menu itemAtIndex:i];
    titles.push_back([item isSeparatorItem] ? std::string("---") : std::string([[item title] UTF8String]));
  }
  gShownMenus.push_back(titles);
  for (size_t level = 0; level < gMenuPath.size(); ++level)
  {
    const int idx = gMenuPath[level];
    if (idx < 0 || idx >= [menu numberOfItems]) return;
    if (level + 1 == gMenuPath.size())
    {
      [menu performActionForItemAtIndex:idx];
      return;
    }
    menu = [[menu itemAtIndex:idx] submenu];
    if (!menu) return;
  }
}

void OnWatchdog(int)
{
  const char msg[] = "WATCHDOG: a Cocoa view host test blocked; ending the run\n";
  if (write(2, msg, sizeof msg - 1) < 0) {}
  _exit(3);
}
}  // namespace

void MacPump(double secs)
{
  NSDate* until = [NSDate dateWithTimeIntervalSinceNow:secs];
  while ([until timeIntervalSinceNow] > 0)
  {
    NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
    NSEvent* e = [NSApp nextEventMatchingMask:NSEventMaskAny untilDate:until inMode:NSDefaultRunLoopMode dequeue:YES];
    if (e) [NSApp sendEvent:e];
    [pool release];
  }
}

bool MacPumpUntil(bool (*done)(void*), void* arg, double maxSecs)
{
  NSDate* limit = [NSDate dateWithTimeIntervalSinceNow:maxSecs];
  while (!done(arg))
  {
    if ([limit timeIntervalSinceNow] <= 0) return false;
    MacPump(0.02);
  }
  return true;
}

NSWindow* MacMakeHostWindow(int w, int h)
{
  NSWindow* window = [[NSWindow alloc] initWithContentRect:NSMakeRect(60, 60, w, h)
                                                 styleMask:NSWindowStyleMaskTitled
                                                   backing:NSBackingStoreBuffered
                                                     defer:NO];
  [window setReleasedWhenClosed:NO];
  [window setTitle:@"host"];
  [window makeKeyAndOrderFront:nil];
  return window;
}

void MacCloseWindow(NSWindow* window)
{
  [window orderOut:nil];
  [window close];
  [window release];
}

NSEvent* MacMouseEvent(NSEventType type, NSWindow* window, NSPoint where, int clicks, NSUInteger mods)
{
  return [NSEvent mouseEventWithType:type location:where modifierFlags:mods timestamp:0
                        windowNumber:[window windowNumber] context:nil eventNumber:0 clickCount:clicks pressure:1];
}

NSEvent* MacScrollEvent(NSWindow* window, NSPoint where, double deltaY)
{
  return [NSEvent mouseEventWithType:NSEventTypeScrollWheel location:where modifierFlags:0 timestamp:0
                        windowNumber:[window windowNumber] context:nil eventNumber:0 clickCount:0 pressure:0
                        buttonNumber:0 deltaX:0 deltaY:(CGFloat)deltaY deltaZ:0];
}

NSEvent* MacKeyEvent(NSWindow* window, NSString* chars, unsigned short keyCode)
{
  return [NSEvent keyEventWithType:NSEventTypeKeyDown location:NSZeroPoint modifierFlags:0 timestamp:0
                      windowNumber:[window windowNumber] context:nil characters:chars
       charactersIgnoringModifiers:chars isARepeat:NO keyCode:keyCode];
}

void MacClickEditor(NSView* view, int x, int y)
{
  // The inverse of the view's mapping: editor (x, y) comes from view point (x + 2, H - y - 3).
  const int h = (int)[view bounds].size.height;
  NSPoint local = NSMakePoint(x + 2, h - y - 3);
  NSPoint where = [view convertPoint:local toView:nil];
  NSWindow* window = [view window];
  [window sendEvent:MacMouseEvent(NSEventTypeLeftMouseDown, window, where)];
  [window sendEvent:MacMouseEvent(NSEventTypeLeftMouseUp, window, where)];
}

void MacType(NSWindow* window, const char* text, bool pressReturn)
{
  for (const char* c = text; *c; ++c)
    [window sendEvent:MacKeyEvent(window, [NSString stringWithFormat:@"%c", *c], 0)];
  if (pressReturn) [window sendEvent:MacKeyEvent(window, @"\r", 36)];
}

std::vector<unsigned int> MacReadBack(NSView* view, int* w, int* h)
{
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  NSBitmapImageRep* rep = [view bitmapImageRepForCachingDisplayInRect:[view bounds]];
  [view cacheDisplayInRect:[view bounds] toBitmapImageRep:rep];
  *w = (int)[rep pixelsWide];
  *h = (int)[rep pixelsHigh];
  std::vector<unsigned int> pixels((size_t)*w * (size_t)*h);
  for (int y = 0; y < *h; ++y)
    for (int x = 0; x < *w; ++x)
    {
      NSUInteger p[5] = {0, 0, 0, 255, 0};
      [rep getPixel:p atX:x y:y];
      pixels[(size_t)y * *w + x] =
          0xFF000000u | ((unsigned)(p[0] & 255) << 16) | ((unsigned)(p[1] & 255) << 8) | (unsigned)(p[2] & 255);
    }
  [pool release];
  return pixels;
}

void MacRecordAlerts(int answer)
{
  gAlertAnswer = answer;
  IGraphicsMac::SetAlertFunc(&RecordingAlert);
}

const std::vector<MacAlertRecord>& MacRecordedAlerts()
{
  return gAlerts;
}

void MacClearAlerts()
{
  gAlerts.clear();
}

void MacChooseMenuPath(const std::vector<int>& path)
{
  gMenuPath = path;
  IGraphicsMac::SetContextMenuFunc(&ChoosingMenu);
}

const std::vector<std::vector<std::string> >& MacShownMenus()
{
  return gShownMenus;
}

const std::vector<NSPoint>& MacShownMenuLocations()
{
  return gShownMenuLocations;
}

void MacSetScreenScale(double scale)
{
  gScreenScale = (CGFloat)scale;
}

// Every screen reports the scale the test sets.
@interface NSScreen (MacTestScale)
- (CGFloat)backingScaleFactor;
@end
@implementation NSScreen (MacTestScale)
- (CGFloat)backingScaleFactor
{
  return gScreenScale;
}
@end

// The tests' own main: a watchdog (GNUstep catches SIGTERM, so the outer limit is a SIGKILL
// and this alarm ends a blocked run with a message first), the application object, the laid-
// out plug-in bundle loaded the way a host loads it, and non-blocking modal replacements.
int main(int argc, char** argv)
{
  signal(SIGALRM, OnWatchdog);
  alarm(240);
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  GSDebugAllocationActive(YES);
  [NSApplication sharedApplication];
  [NSApp finishLaunching];
  [NSBundle bundleWithPath:[NSString stringWithUTF8String:VX_MAC_BUNDLE_DIR]];
  MacRecordAlerts(0);
  MacChooseMenuPath(std::vector<int>());
  ::testing::InitGoogleTest(&argc, argv);
  const int rc = RUN_ALL_TESTS();
  alarm(0);
  [pool release];
  return rc;
}
