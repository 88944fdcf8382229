// Pixel access for the Cocoa view host's tests, in plain C++ (the raster headers and the
// Objective-C headers cannot meet in one file).
#pragma once

#include <string>
#include <vector>

class IGraphics;

// The editor's back buffer as 0xFFRRGGBB words, rows from the top (w x h).
std::vector<unsigned int> MacBackBuffer(IGraphics* graphics, int* w, int* h);
// A PNG file's pixels the same way; empty when it cannot be read.
std::vector<unsigned int> MacLoadPNGPixels(const std::string& path, int* w, int* h);
// Width and height of an image the editor loads through its platform (0 x 0: none).
bool MacOSLoadBitmapSize(IGraphics* graphics, int id, const char* name, int* w, int* h);
// Raster_LoadPNGFromNamedResource's result size (false: null).
bool MacNamedResourceSize(const char* name, int* w, int* h);
// Count of pixels that differ, and the first one.
int MacCountDifferences(const std::vector<unsigned int>& a, const std::vector<unsigned int>& b, int w, int* firstX,
                        int* firstY);
