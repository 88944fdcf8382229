// What the macOS view host needs on top of GNUstep's AppKit (Debian 12: gnustep-gui 0.29,
// gnustep-base 1.28), so that the same Objective-C++ sources build for macOS and for the
// GNUstep stand-in. Included only by the GNUstep build (GNUSTEP defined); macOS uses the real
// CoreGraphics and CoreFoundation headers instead.
//
// Covered: the CoreGraphics subset the view uses (a CGImage over a pixel buffer drawn into
// the current context, colour spaces, display cursor calls), the CoreFoundation user
// notifications of message boxes, NSApplicationLoad, and the 10.12+ enum spellings.
#pragma once

#import <AppKit/AppKit.h>

#include <stddef.h>
#include <stdint.h>

// ---- geometry -------------------------------------------------------------------------------
typedef NSRect CGRect;
typedef NSPoint CGPoint;
typedef NSSize CGSize;
static inline CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat w, CGFloat h) { return NSMakeRect(x, y, w, h); }
static inline CGPoint CGPointMake(CGFloat x, CGFloat y) { return NSMakePoint(x, y); }

// ---- images and colour spaces -----------------------------------------------------------------
// GNUstep's own headers declare CGImageRef and CGContextRef over these struct tags.
typedef struct CGColorSpace* CGColorSpaceRef;
typedef struct CGDataProvider* CGDataProviderRef;
typedef uint32_t CGBitmapInfo;
enum
{
  kCGImageAlphaNone = 0,
  kCGImageAlphaPremultipliedLast = 1,
  kCGImageAlphaPremultipliedFirst = 2,
  kCGImageAlphaLast = 3,
  kCGImageAlphaFirst = 4,
  kCGImageAlphaNoneSkipLast = 5,
  kCGImageAlphaNoneSkipFirst = 6,
  kCGBitmapAlphaInfoMask = 0x1F,
  kCGBitmapByteOrderMask = 0x7000,
  kCGBitmapByteOrder32Little = (2 << 12),
  kCGBitmapByteOrder32Big = (4 << 12)
};
typedef int32_t CGColorRenderingIntent;
enum { kCGRenderingIntentDefault = 0 };
typedef void (*CGDataProviderReleaseDataCallback)(void* info, const void* data, size_t size);

// ---- displays -----------------------------------------------------------------------------------
typedef uint32_t CGDirectDisplayID;
typedef int32_t CGError;
enum { kCGErrorSuccess = 0 };

// ---- CoreFoundation user notifications ----------------------------------------------------------
typedef const struct __CFString* CFStringRef;
typedef const struct __CFURL* CFURLRef;
typedef double CFTimeInterval;
typedef unsigned long CFOptionFlags;
typedef int32_t SInt32;
enum
{
  kCFUserNotificationStopAlertLevel = 0,
  kCFUserNotificationNoteAlertLevel = 1,
  kCFUserNotificationCautionAlertLevel = 2,
  kCFUserNotificationPlainAlertLevel = 3,
  kCFUserNotificationDefaultResponse = 0,
  kCFUserNotificationAlternateResponse = 1,
  kCFUserNotificationOtherResponse = 2,
  kCFUserNotificationCancelResponse = 3
};

extern "C" {
CGColorSpaceRef CGColorSpaceCreateDeviceRGB(void);
void CGColorSpaceRelease(CGColorSpaceRef space);
CGDataProviderRef CGDataProviderCreateWithData(void* info, const void* data, size_t size,
                                               CGDataProviderReleaseDataCallback releaseData);
void CGDataProviderRelease(CGDataProviderRef provider);
CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel,
                         size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo,
                         CGDataProviderRef provider, const CGFloat* decode, bool shouldInterpolate,
                         CGColorRenderingIntent intent);
void CGImageRelease(CGImageRef image);
// Draws into the current NSGraphicsContext (the context argument is not a real CGContext here).
void CGContextDrawImage(CGContextRef context, CGRect rect, CGImageRef image);

CGDirectDisplayID CGMainDisplayID(void);
CGColorSpaceRef CGDisplayCopyColorSpace(CGDirectDisplayID display);
size_t CGDisplayPixelsHigh(CGDirectDisplayID display);
CGError CGDisplayHideCursor(CGDirectDisplayID display);
CGError CGDisplayShowCursor(CGDirectDisplayID display);
CGError CGDisplayMoveCursorToPoint(CGDirectDisplayID display, CGPoint point);

// Without a user notification centre the notice is written to standard error; the alert runs
// a modal alert panel (blocking, like the real one).
SInt32 CFUserNotificationDisplayNotice(CFTimeInterval timeout, CFOptionFlags flags, CFURLRef iconURL,
                                       CFURLRef soundURL, CFURLRef localizationURL, CFStringRef alertHeader,
                                       CFStringRef alertMessage, CFStringRef defaultButtonTitle);
SInt32 CFUserNotificationDisplayAlert(CFTimeInterval timeout, CFOptionFlags flags, CFURLRef iconURL,
                                      CFURLRef soundURL, CFURLRef localizationURL, CFStringRef alertHeader,
                                      CFStringRef alertMessage, CFStringRef defaultButtonTitle,
                                      CFStringRef alternateButtonTitle, CFStringRef otherButtonTitle,
                                      CFOptionFlags* responseFlags);
void CFRelease(const void* object);

BOOL NSApplicationLoad(void);
}

// ---- run loop modes ------------------------------------------------------------------------------
// gnustep-base 1.28 keeps NSRunLoopCommonModes as a mode of its own that no loop ever runs, so
// a timer added for it would never fire (nor ever be let go of); the default mode is the
// nearest it has.
#define NSRunLoopCommonModes NSDefaultRunLoopMode

// ---- macOS 10.12+ enum spellings ------------------------------------------------------------------
#ifndef NSEventTypeLeftMouseDown
#define NSEventTypeLeftMouseDown NSLeftMouseDown
#define NSEventTypeLeftMouseUp NSLeftMouseUp
#define NSEventTypeLeftMouseDragged NSLeftMouseDragged
#define NSEventTypeRightMouseDown NSRightMouseDown
#define NSEventTypeRightMouseUp NSRightMouseUp
#define NSEventTypeRightMouseDragged NSRightMouseDragged
#define NSEventTypeMouseMoved NSMouseMoved
#define NSEventTypeKeyDown NSKeyDown
#define NSEventTypeScrollWheel NSScrollWheel
#define NSEventTypeApplicationDefined NSApplicationDefined
#define NSEventMaskAny NSAnyEventMask
#define NSEventModifierFlagShift NSShiftKeyMask
#define NSEventModifierFlagControl NSControlKeyMask
#define NSEventModifierFlagOption NSAlternateKeyMask
#define NSEventModifierFlagCommand NSCommandKeyMask
#endif
