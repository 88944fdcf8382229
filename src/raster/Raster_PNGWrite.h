// PNG encoding of raster bitmaps: editor snapshots, plots, generated artwork and test pictures.
#pragma once

#include <vector>

class Raster_IBitmap;

struct Raster_PNGWriteOptions
{
  bool mAlpha = true;      // RGBA; false writes RGB for pictures that are opaque anyway
  int mCompression = -1;   // zlib level 0..9; -1: libpng's default
};

// Encodes the bitmap (the library's 0xAARRGGBB words) as 8-bit PNG into out, which is
// replaced. False, with out empty, for an empty bitmap or when the encoder fails.
bool Raster_EncodePNG(Raster_IBitmap* bmp, std::vector<unsigned char>* out, const Raster_PNGWriteOptions& options = {});

// Writes the bitmap as a PNG file. False when the bitmap is empty, the file cannot be opened,
// the encoder fails or any write, the flush or the close fails (a full disk is a failure,
// never a truncated file reported as written); errno then tells the system's reason where
// there is one.
bool Raster_WritePNG(Raster_IBitmap* bmp, const char* path, const Raster_PNGWriteOptions& options = {});
