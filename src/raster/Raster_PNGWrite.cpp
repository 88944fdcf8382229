// PNG encoding through libpng, to memory or to a file; every failure (libpng, the disk) answers false.

#include "Raster_PNGWrite.h"

#include "Raster_Bitmap.h"
#include "Raster_Fill.h"

#include <png.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

namespace {
// libpng reports through these; its own defaults print to stderr, and a library that draws
// never speaks up on its own.
void SilentError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void SilentWarning(png_structp, png_const_charp) {}

void AppendToVector(png_structp png, png_bytep data, size_t len)
{
  auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + len);
}

void WriteToFile(png_structp png, png_bytep data, size_t len)
{
  if (std::fwrite(data, 1, len, static_cast<FILE*>(png_get_io_ptr(png))) != len) png_error(png, "write failed");
}

void NoFlush(png_structp) {}

// Encodes through libpng with the given sink. The row buffer and the libpng structures are
// made before setjmp and freed after it returns, so the error jump skips no destructor.
bool Encode(Raster_IBitmap* bmp, const Raster_PNGWriteOptions& o, void* io, png_rw_ptr write)
{
  const int w = bmp ? bmp->getWidth() : 0, h = bmp ? bmp->getHeight() : 0;
  if (w <= 0 || h <= 0 || !bmp->getBits()) return false;
  const int channels = o.mAlpha ? 4 : 3;
  std::vector<png_byte> row((size_t)w * (size_t)channels);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, SilentError, SilentWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info)
  {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png)))
  {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, io, write, NoFlush);
  if (o.mCompression >= 0 && o.mCompression <= 9) png_set_compression_level(png, o.mCompression);
  png_set_IHDR(png, info, (png_uint_32)w, (png_uint_32)h, 8, o.mAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < h; ++y)
  {
    png_byte* out = row.data();
    for (int x = 0; x < w; ++x, out += channels)
    {
      const uint32_t p = Raster_GetPixel(bmp, x, y);
      out[0] = (png_byte)(p >> 16);
      out[1] = (png_byte)(p >> 8);
      out[2] = (png_byte)p;
      if (o.mAlpha) out[3] = (png_byte)(p >> 24);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}
}  // namespace

bool Raster_EncodePNG(Raster_IBitmap* bmp, std::vector<unsigned char>* out, const Raster_PNGWriteOptions& options)
{
  if (!out) return false;
  out->clear();
  if (Encode(bmp, options, out, AppendToVector)) return true;
  out->clear();
  return false;
}

bool Raster_WritePNG(Raster_IBitmap* bmp, const char* path, const Raster_PNGWriteOptions& options)
{
  if (!path || !bmp || bmp->getWidth() <= 0 || bmp->getHeight() <= 0 || !bmp->getBits()) return false;
  FILE* fp = std::fopen(path, "wb");
  if (!fp) return false;
  bool ok = Encode(bmp, options, fp, WriteToFile);
  ok = std::fflush(fp) == 0 && !std::ferror(fp) && ok;
  const int saved = errno;
  ok = std::fclose(fp) == 0 && ok;
  if (!ok && errno == 0) errno = saved;
  return ok;
}
