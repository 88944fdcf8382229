// The Cocoa (and CoreGraphics/CoreFoundation) headers of the macOS view host: the real ones on
// macOS, GNUstep's AppKit plus GsCompat.h in the GNUstep build.
#pragma once

#ifdef GNUSTEP
#include "GsCompat.h"
#else
#import <Cocoa/Cocoa.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CoreGraphics.h>
#endif
