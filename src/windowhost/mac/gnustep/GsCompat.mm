// The GNUstep implementations behind GsCompat.h. Manual retain/release, like the view host.
#include "GsCompat.h"

#include <cstdio>
#include <cstdlib>

struct CGColorSpace
{
  int refs;
};

struct CGDataProvider
{
  int refs;
  void* info;
  const void* data;
  size_t size;
  CGDataProviderReleaseDataCallback release;
};

// An image is its pixels converted once into an RGBA NSBitmapImageRep.
struct CGImage
{
  int refs;
  NSBitmapImageRep* rep;
};

namespace
{
NSString* AsNSString(CFStringRef s)
{
  return (NSString*)s;
}
}  // namespace

extern "C" {

CGColorSpaceRef CGColorSpaceCreateDeviceRGB(void)
{
  CGColorSpaceRef space = (CGColorSpaceRef)calloc(1, sizeof(struct CGColorSpace));
  if (space) space->refs = 1;
  return space;
}

void CGColorSpaceRelease(CGColorSpaceRef space)
{
  if (space && --space->refs == 0) free(space);
}

CGDataProviderRef CGDataProviderCreateWithData(void* info, const void* data, size_t size,
                                               CGDataProviderReleaseDataCallback releaseData)
{
  CGDataProviderRef provider = (CGDataProviderRef)calloc(1, sizeof(struct CGDataProvider));
  if (!provider) return NULL;
  provider->refs = 1;
  provider->info = info;
  provider->data = data;
  provider->size = size;
  provider->release = releaseData;
  return provider;
}

void CGDataProviderRelease(CGDataProviderRef provider)
{
  if (!provider || --provider->refs != 0) return;
  if (provider->release) provider->release(provider->info, provider->data, provider->size);
  free(provider);
}

// Only what the view host draws: 8 bits per component, 32 bits per pixel, any of the
// byte orders and alpha placements; rows must lie inside the provider's bytes.
CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel,
                         size_t bytesPerRow, CGColorSpaceRef, CGBitmapInfo bitmapInfo,
                         CGDataProviderRef provider, const CGFloat*, bool, CGColorRenderingIntent)
{
  if (bitsPerComponent != 8 || bitsPerPixel != 32 || !provider || !provider->data || !width || !height) return NULL;
  if (bytesPerRow < width * 4 || (height - 1) * bytesPerRow + width * 4 > provider->size) return NULL;
  const unsigned alpha = bitmapInfo & kCGBitmapAlphaInfoMask;
  const bool little = (bitmapInfo & kCGBitmapByteOrderMask) == kCGBitmapByteOrder32Little;
  const bool alphaFirst = alpha == kCGImageAlphaPremultipliedFirst || alpha == kCGImageAlphaFirst ||
                          alpha == kCGImageAlphaNoneSkipFirst;
  const bool noAlpha = alpha == kCGImageAlphaNone || alpha == kCGImageAlphaNoneSkipLast ||
                       alpha == kCGImageAlphaNoneSkipFirst;
  // Byte positions of red, green, blue and alpha within a pixel in memory.
  int ri, gi, bi, ai;
  if (!little)
  {
    if (alphaFirst) { ai = 0; ri = 1; gi = 2; bi = 3; }
    else { ri = 0; gi = 1; bi = 2; ai = 3; }
  }
  else
  {
    if (alphaFirst) { bi = 0; gi = 1; ri = 2; ai = 3; }
    else { ai = 0; bi = 1; gi = 2; ri = 3; }
  }
  NSBitmapImageRep* rep = [[NSBitmapImageRep alloc]
      initWithBitmapDataPlanes:NULL pixelsWide:(NSInteger)width pixelsHigh:(NSInteger)height bitsPerSample:8
                 samplesPerPixel:4 hasAlpha:YES isPlanar:NO colorSpaceName:NSDeviceRGBColorSpace
                    bitmapFormat:(NSBitmapFormat)0 bytesPerRow:(NSInteger)(width * 4) bitsPerPixel:32];
  if (!rep) return NULL;
  unsigned char* dst = [rep bitmapData];
  const unsigned char* src = (const unsigned char*)provider->data;
  for (size_t y = 0; y < height; ++y)
  {
    const unsigned char* s = src + y * bytesPerRow;
    unsigned char* d = dst + y * width * 4;
    for (size_t x = 0; x < width; ++x, s += 4, d += 4)
    {
      d[0] = s[ri];
      d[1] = s[gi];
      d[2] = s[bi];
      d[3] = noAlpha ? 255 : s[ai];
    }
  }
  CGImageRef image = (CGImageRef)calloc(1, sizeof(struct CGImage));
  if (!image)
  {
    [rep release];
    return NULL;
  }
  image->refs = 1;
  image->rep = rep;
  return image;
}

void CGImageRelease(CGImageRef image)
{
  if (!image || --image->refs != 0) return;
  [image->rep release];
  free(image);
}

// Like CoreGraphics in an unflipped view: image row 0 at the top of the rectangle.
void CGContextDrawImage(CGContextRef, CGRect rect, CGImageRef image)
{
  if (image) [image->rep drawInRect:rect];
}

CGDirectDisplayID CGMainDisplayID(void)
{
  return 1;
}

// No display profile here; callers fall back to device RGB.
CGColorSpaceRef CGDisplayCopyColorSpace(CGDirectDisplayID)
{
  return NULL;
}

size_t CGDisplayPixelsHigh(CGDirectDisplayID)
{
  NSScreen* screen = [NSScreen mainScreen];
  return screen ? (size_t)[screen frame].size.height : 0;
}

CGError CGDisplayHideCursor(CGDirectDisplayID)
{
  [NSCursor hide];
  return kCGErrorSuccess;
}

CGError CGDisplayShowCursor(CGDirectDisplayID)
{
  [NSCursor unhide];
  return kCGErrorSuccess;
}

CGError CGDisplayMoveCursorToPoint(CGDirectDisplayID, CGPoint)
{
  return kCGErrorSuccess;
}

SInt32 CFUserNotificationDisplayNotice(CFTimeInterval, CFOptionFlags, CFURLRef, CFURLRef, CFURLRef,
                                       CFStringRef alertHeader, CFStringRef alertMessage, CFStringRef)
{
  fprintf(stderr, "%s: %s\n", alertHeader ? [AsNSString(alertHeader) UTF8String] : "",
          alertMessage ? [AsNSString(alertMessage) UTF8String] : "");
  return 0;
}

SInt32 CFUserNotificationDisplayAlert(CFTimeInterval, CFOptionFlags, CFURLRef, CFURLRef, CFURLRef,
                                      CFStringRef alertHeader, CFStringRef alertMessage, CFStringRef defaultButtonTitle,
                                      CFStringRef alternateButtonTitle, CFStringRef otherButtonTitle,
                                      CFOptionFlags* responseFlags)
{
  NSString* title = alertHeader ? AsNSString(alertHeader) : @"";
  NSString* message = alertMessage ? AsNSString(alertMessage) : @"";
  NSString* def = defaultButtonTitle ? AsNSString(defaultButtonTitle) : @"OK";
  const NSInteger result = NSRunAlertPanel(title, @"%@", def, AsNSString(alternateButtonTitle),
                                           AsNSString(otherButtonTitle), message);
  CFOptionFlags response = kCFUserNotificationCancelResponse;
  if (result == NSAlertDefaultReturn) response = kCFUserNotificationDefaultResponse;
  else if (result == NSAlertAlternateReturn) response = kCFUserNotificationAlternateResponse;
  else if (result == NSAlertOtherReturn) response = kCFUserNotificationOtherResponse;
  if (responseFlags) *responseFlags = response;
  return 0;
}

void CFRelease(const void* object)
{
  [(id)object release];
}

BOOL NSApplicationLoad(void)
{
  [NSApplication sharedApplication];
  return YES;
}

}  // extern "C"
