// Helpers shared by the font tests: the editor's text styles, ink measurement, PNG snapshots.
#pragma once

#include <cstdint>
#include <string>

#include "Raster_Bitmap.h"
#include "Raster_Font.h"

// One of the editor's text styles, created the way the editor's font cache creates it.
struct FontStyle
{
  const char* name;  // file-name friendly
  const char* face;
  int size;
  bool bold;
  uint32_t color;       // text colour
  uint32_t background;  // what the editor draws it over (near enough)
};

extern const FontStyle kEditorStyles[4];

// A platform font as the editor asks for it (quality default, height = size).
HFONT Test_CreatePlatformFont(const char* face, int size, bool bold, int quality = 0);

// A cached font over a new platform font it owns.
Raster_CachedFont* Test_MakeFont(const char* face, int size, bool bold, int flags);

void Test_Fill(Raster_IBitmap* bm, uint32_t pixel);

// Bounding box of pixels that differ from the background, right/bottom exclusive; count 0
// when there are none.
struct InkBox
{
  int l = 1 << 30, t = 1 << 30, r = -1, b = -1, count = 0;
};
InkBox Test_Ink(Raster_IBitmap* bm, uint32_t background, int x0 = 0, int y0 = 0, int x1 = 1 << 30, int y1 = 1 << 30);

// True when both bitmaps hold the same pixels over their (equal) size.
bool Test_SamePixels(Raster_IBitmap* a, Raster_IBitmap* b);

// Largest per-channel difference over all pixels, and the number of pixels with a channel
// that differs by more than tolerance.
struct PixelDiff
{
  int maxChannel = 0;
  int differing = 0;
  bool sizeMismatch = false;
};
PixelDiff Test_Compare(Raster_IBitmap* a, Raster_IBitmap* b, int tolerance = 0);

bool Test_WritePNG(Raster_IBitmap* bm, const std::string& path);

// <repo>/src/raster/tests/golden, from VX_SOURCE_DIR (set by ctest) or the build-time path.
std::string Test_GoldenDir();

// "linux" or "wine": goldens are kept per platform text engine.
const char* Test_PlatformTag();

// While it lives, cached fonts under Wine take the native path through Wine's GDI, as they do
// on real Windows (users under Wine get the glyph path); elsewhere it changes nothing.
struct Test_NativePathUnderWine
{
  Test_NativePathUnderWine() { Raster_CachedFont::SetNativePathUnderWine(true); }
  ~Test_NativePathUnderWine() { Raster_CachedFont::SetNativePathUnderWine(false); }
  Test_NativePathUnderWine(const Test_NativePathUnderWine&) = delete;
  Test_NativePathUnderWine& operator=(const Test_NativePathUnderWine&) = delete;
};
