// The meter editor's artwork, drawn with the raster library and the text layer.
//
// The eight images are generated rather than painted by hand so that the drawn labels and
// buttons stay lined up with the controls laid over them: every position here is taken from
// the editor layout (see the comments at each image). The PNG files committed with the meter
// are this program's output on Linux; a test holds them to it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Raster_Bitmap.h"

struct ArtImage
{
  int id;                // resource id
  const char* fileName;  // name under resources/img/
  int width, height;
  int frames;            // stacked vertically
};

// The eight images of the meter's image table (ThdMeterImageTable.h), in resource-id order.
const std::vector<ArtImage>& ArtGen_Images();

// Draws one image; null for an unknown id or when no font can be opened.
std::unique_ptr<Raster_MemBitmap> ArtGen_Draw(int id);

// Straight-alpha 0xAARRGGBB pixels as an 8-bit RGBA PNG (no time stamp, fixed compression, so
// the same pixels always give the same bytes with one libpng). Empty on failure.
std::vector<uint8_t> ArtGen_EncodePNG(Raster_IBitmap* bmp);
