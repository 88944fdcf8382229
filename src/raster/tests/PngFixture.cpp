// In-memory PNG files written with libpng for the decoder tests.

#include "PngFixture.h"

#include <png.h>

#include <cstdio>

namespace
{
void AppendToVector(png_structp png, png_bytep data, size_t n)
{
  std::vector<uint8_t>* out = (std::vector<uint8_t>*)png_get_io_ptr(png);
  out->insert(out->end(), data, data + n);
}

void NoFlush(png_structp) {}

int SamplesPerPixel(int colorType)
{
  switch (colorType)
  {
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;
  }
}

// Packs one row of samples into PNG's big-endian, most-significant-bit-first layout.
std::vector<uint8_t> PackRow(const PngFixture& f, int y)
{
  const int spp = SamplesPerPixel(f.colorType);
  const int n = f.width * spp;
  const unsigned* s = f.samples.data() + (size_t)y * n;
  std::vector<uint8_t> row(((size_t)n * f.bitDepth + 7) / 8, 0);
  for (int i = 0; i < n; ++i)
  {
    if (f.bitDepth == 16)
    {
      row[2 * i] = (uint8_t)(s[i] >> 8);
      row[2 * i + 1] = (uint8_t)s[i];
    }
    else if (f.bitDepth == 8)
      row[i] = (uint8_t)s[i];
    else
    {
      const int bit = i * f.bitDepth;
      const int shift = 8 - f.bitDepth - (bit & 7);
      row[bit >> 3] |= (uint8_t)((s[i] & ((1u << f.bitDepth) - 1)) << shift);
    }
  }
  return row;
}
}  // namespace

std::vector<uint8_t> PngEncode(const PngFixture& f)
{
  std::vector<uint8_t> out;
  if (f.samples.size() != (size_t)f.width * f.height * SamplesPerPixel(f.colorType))
    return out;
  std::vector<std::vector<uint8_t>> rows;
  for (int y = 0; y < f.height; ++y)
    rows.push_back(PackRow(f, y));
  std::vector<png_bytep> rowPtrs;
  for (auto& r : rows)
    rowPtrs.push_back(r.data());

  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info)
  {
    png_destroy_write_struct(&png, nullptr);
    return out;
  }
  if (setjmp(png_jmpbuf(png)))
  {
    png_destroy_write_struct(&png, &info);
    return std::vector<uint8_t>();
  }
  png_set_write_fn(png, &out, AppendToVector, NoFlush);
  png_set_IHDR(png, info, f.width, f.height, f.bitDepth, f.colorType,
               f.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> pal;
  for (size_t i = 0; i + 2 < f.paletteRGB.size(); i += 3)
    pal.push_back(png_color{f.paletteRGB[i], f.paletteRGB[i + 1], f.paletteRGB[i + 2]});
  if (f.colorType == PNG_COLOR_TYPE_PALETTE)
    png_set_PLTE(png, info, pal.data(), (int)pal.size());
  if (!f.paletteAlpha.empty())
    png_set_tRNS(png, info, f.paletteAlpha.data(), (int)f.paletteAlpha.size(), nullptr);
  if (f.hasKey)
  {
    png_color_16 key = {};
    key.gray = (png_uint_16)f.trnsKey[0];
    key.red = (png_uint_16)f.trnsKey[0];
    key.green = (png_uint_16)f.trnsKey[1];
    key.blue = (png_uint_16)f.trnsKey[2];
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  png_write_info(png, info);
  png_write_image(png, rowPtrs.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

bool PngWriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
  FILE* fp = fopen(path.c_str(), "wb");
  if (!fp)
    return false;
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), fp) == bytes.size();
  return fclose(fp) == 0 && ok;
}
