// Bundle resource lookup for the PNG loader (Objective-C++: NSBundle gives the main bundle).
#include "Raster_PNGBundle.h"

#include "Raster_PNG.h"

#import <Foundation/Foundation.h>

#include <cstring>

Raster_IBitmap* Raster_LoadPNGFromNamedResource(const char* name, Raster_IBitmap* bmp)
{
  if (!name || !*name || name[0] == '/' || strstr(name, "..")) return nullptr;
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  Raster_IBitmap* result = nullptr;
  NSString* resource = [NSString stringWithUTF8String:name];
  NSString* bundlePath = [[NSBundle mainBundle] bundlePath];
  if (resource && bundlePath)
  {
    NSString* path = [[bundlePath stringByAppendingPathComponent:@"Contents/Resources"]
        stringByAppendingPathComponent:resource];
    result = Raster_LoadPNG([path fileSystemRepresentation], bmp);
  }
  [pool release];
  return result;
}
