// Builds tiny PNG files in memory with libpng's writer, so the decoder tests can state the
// exact samples an image holds instead of shipping opaque binary fixtures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PngFixture
{
  int width = 1;
  int height = 1;
  int bitDepth = 8;
  int colorType = 0;  // PNG_COLOR_TYPE_*
  bool interlaced = false;
  // One entry per sample, row by row (grey: 1 per pixel; grey+alpha: 2; RGB: 3; RGBA: 4;
  // palette: the index). Values use the full range of bitDepth; the writer packs them.
  std::vector<unsigned> samples;
  // Palette images: RGB triples, and optionally the tRNS alphas of the first entries.
  std::vector<uint8_t> paletteRGB;
  std::vector<uint8_t> paletteAlpha;
  // Grey / RGB images: a tRNS colour key (grey uses trnsKey[0]).
  bool hasKey = false;
  unsigned trnsKey[3] = {0, 0, 0};
};

// Encodes the fixture; an empty result means libpng refused it (a broken test).
std::vector<uint8_t> PngEncode(const PngFixture& f);

// Writes bytes to a file; false on failure.
bool PngWriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
