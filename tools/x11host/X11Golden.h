// Windows read back from the X server compared with committed pictures, for the mini hosts'
// X11 tests: the strict snapshot comparison of the raster library (every text line's ink in
// place), an exact pixel count for pictures the same drawing code made, and recording anew
// with VX_UPDATE_GOLDENS=1 (for pictures of the X11 tests' own; the editor's Linux pictures
// belong to the meter's tests and are never written from here).
#pragma once

#include "Raster_Bitmap.h"
#include "X11TestDisplay.h"

#include <string>

// $VX_SOURCE_DIR/relative (the source tree, which ctest names for every test).
std::string X11SourcePath(const std::string& relative);

// The window's pixels as a bitmap (alpha 255).
bool X11GrabWindow(X11TestDisplay& display, xcb_window_t window, Raster_MemBitmap* out);

// Empty when the picture matches the golden (strictly), else why not; a mismatch leaves
// <name>.actual.png in the working folder. With recordable and VX_UPDATE_GOLDENS=1 the picture
// is written as the golden instead.
std::string X11CompareWithGolden(Raster_IBitmap* actual, const std::string& goldenPath, bool recordable);

// Pixels that differ at all (the size differing counts every pixel).
long X11CountDifferentPixels(Raster_IBitmap* a, Raster_IBitmap* b);
