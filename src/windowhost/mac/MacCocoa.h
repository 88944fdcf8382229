// The Cocoa (and CoreGraphics/CoreFoundation) headers of the macOS view host: the real ones on
// macOS, GNUstep's AppKit plus GsCompat.h in the GNUstep build.
#pragma once

#ifdef GNUSTEP
#include "GsCompat.h"
#else
#import <Cocoa/Cocoa.h>
#import <UniformTypeIdentifiers/UniformTypeIdentifiers.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CoreGraphics.h>
#endif

// The allowed file types of open and save panels: macOS names them as content types since
// macOS 11 (and deprecates the file-extension call in macOS 12); GNUstep knows only the
// file-extension call.
#ifdef GNUSTEP
#define VX_MAC_HAS_CONTENT_TYPES 0
#else
#define VX_MAC_HAS_CONTENT_TYPES 1
#endif
