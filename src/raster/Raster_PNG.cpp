// PNG decoding through libpng into 32-bit raster bitmaps (blue, green, red, alpha in memory,
// straight alpha), from files or from memory, plus the PNG entry of the image loader chain.
#include "Raster_PNG.h"

#include "Raster_Bitmap.h"

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

// The read structure is created for the 1.6 series; libpng accepts any library whose major and
// minor version match, so the handshake string stays fixed across patch releases.
static_assert(PNG_LIBPNG_VER_MAJOR == 1 && PNG_LIBPNG_VER_MINOR == 6, "the PNG loader is written for libpng 1.6");
static const char kPNGLibVersion[] = "1.6.19";

// The bitmaps keep their byte size in a signed 32-bit field; images whose rows (at the widest
// alignment) would not fit are refused before anything is allocated.
static const uint64_t kMaxImageBytes = 0x7FFFFFFFu - 64u;

Raster_ImageLoader* Raster_ImageLoader_list = nullptr;

namespace
{
// Cursor over in-memory PNG data.
struct PNGMemCursor
{
  const unsigned char* next;
  size_t left;
};

// Reading past the end of the data is a decoding error: a truncated stream fails at once.
// (Handing libpng zeros instead would let a chunk that claims a gigabyte make it read a
// gigabyte of zeros before its checksum fails.)
void PNGReadFromCursor(png_structp png, png_bytep out, size_t n)
{
  PNGMemCursor* cur = (PNGMemCursor*)png_get_io_ptr(png);
  if (!cur || n > cur->left)
    png_error(png, "Read past the end of the data");
  memcpy(out, cur->next, n);
  cur->next += n;
  cur->left -= n;
}

// Everything the decoder allocates, kept outside the function that arms the long jump so that
// the values survive it and one clean-up path can release them.
struct PNGDecodeState
{
  png_structp png = nullptr;
  png_infop info = nullptr;
  FILE* fp = nullptr;
  PNGMemCursor* cursor = nullptr;
  Raster_IBitmap* target = nullptr;   // the caller's bitmap, or null
  Raster_IBitmap* created = nullptr;  // our own bitmap until it is handed over
  unsigned char** rows = nullptr;
  bool outOfMemory = false;
};

void ReleaseDecodeState(PNGDecodeState& st)
{
  if (st.png)
    png_destroy_read_struct(&st.png, st.info ? &st.info : nullptr, nullptr);
  st.png = nullptr;
  st.info = nullptr;
  free(st.rows);
  st.rows = nullptr;
  delete st.created;
  st.created = nullptr;
}

// Runs the whole decode; a libpng error anywhere inside comes back as false. Locals of this
// function are not relied on after the jump: all state lives in `st`.
bool DecodeIntoBitmap(PNGDecodeState* st)
{
  if (setjmp(png_jmpbuf(st->png)))
    return false;

  if (st->fp)
    png_init_io(st->png, st->fp);
  else
    png_set_read_fn(st->png, st->cursor, PNGReadFromCursor);

  png_read_info(st->png, st->info);
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0, compression = 0, filter = 0;
  png_get_IHDR(st->png, st->info, &width, &height, &bitDepth, &colorType, &interlace, &compression, &filter);

  if (((uint64_t)width + 15) * height * 4 > kMaxImageBytes)
    png_error(st->png, "Image too large");

  // Every row is to arrive as alpha, red, green, blue bytes, 8 bits each.
  bool hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0;
  if (colorType == PNG_COLOR_TYPE_PALETTE)
    png_set_palette_to_rgb(st->png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
    png_set_expand_gray_1_2_4_to_8(st->png);
  if (png_get_valid(st->png, st->info, PNG_INFO_tRNS))
  {
    png_set_tRNS_to_alpha(st->png);
    hasAlpha = true;
  }
  if (bitDepth == 16)
    png_set_strip_16(st->png);
  if (bitDepth < 8)
    png_set_packing(st->png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
    png_set_gray_to_rgb(st->png);
  if (hasAlpha)
    png_set_swap_alpha(st->png);
  else
    png_set_filler(st->png, 0xFF, PNG_FILLER_BEFORE);

  Raster_IBitmap* bmp = st->target;
  if (bmp)
  {
    bmp->resize((int)width, (int)height);
  }
  else
  {
    st->created = new (std::nothrow) Raster_MemBitmap((int)width, (int)height, 4);
    bmp = st->created;
    if (!bmp || !bmp->getBits())
    {
      st->outOfMemory = true;
      return false;
    }
  }
  if (bmp->getWidth() != (int)width || bmp->getHeight() != (int)height || !bmp->getBits() ||
      bmp->getRowSpan() < (int)width)
    png_error(st->png, "Bitmap does not take the image size");

  st->rows = (unsigned char**)malloc(sizeof(unsigned char*) * height);
  if (!st->rows)
    png_error(st->png, "Out of memory");
  unsigned char* bits = (unsigned char*)bmp->getBits();
  const size_t rowBytes = (size_t)bmp->getRowSpan() * 4;
  // A flipped bitmap keeps image row 0 at the bottom of its memory.
  const bool flipped = bmp->isFlipped();
  for (png_uint_32 y = 0; y < height; ++y)
    st->rows[y] = bits + rowBytes * (flipped ? height - 1 - y : y);

  png_read_image(st->png, st->rows);

  // Alpha, red, green, blue bytes -> the word 0xAARRGGBB stored little-endian
  // (blue, green, red, alpha): reverse each pixel's four bytes.
  for (png_uint_32 y = 0; y < height; ++y)
  {
    unsigned char* p = st->rows[y];
    for (png_uint_32 x = 0; x < width; ++x, p += 4)
    {
      const unsigned char a = p[0], r = p[1];
      p[0] = p[3];
      p[1] = p[2];
      p[2] = r;
      p[3] = a;
    }
  }
  return true;
}

Raster_IBitmap* DecodePNG(FILE* fp, PNGMemCursor* cursor, Raster_IBitmap* bmp)
{
  PNGDecodeState st;
  st.fp = fp;
  st.cursor = cursor;
  st.target = bmp;

  st.png = png_create_read_struct(kPNGLibVersion, nullptr, nullptr, nullptr);
  if (!st.png)
    return nullptr;
  st.info = png_create_info_struct(st.png);
  if (!st.info)
  {
    ReleaseDecodeState(st);
    return nullptr;
  }

  if (!DecodeIntoBitmap(&st))
  {
    ReleaseDecodeState(st);
    return nullptr;
  }

  Raster_IBitmap* result = st.created ? st.created : st.target;
  st.created = nullptr;  // handed over to the caller
  ReleaseDecodeState(st);
  return result;
}
}  // namespace

Raster_IBitmap* Raster_LoadPNG(const char* path, Raster_IBitmap* bmp)
{
  if (!path || !*path)
    return nullptr;
  FILE* fp = fopen(path, "rb");
  if (!fp)
    return nullptr;
  Raster_IBitmap* result = DecodePNG(fp, nullptr, bmp);
  fclose(fp);
  return result;
}

Raster_IBitmap* Raster_LoadPNGFromMemory(const void* data, size_t len, Raster_IBitmap* bmp)
{
  if (!data || len < 8 || png_sig_cmp((png_const_bytep)data, 0, 8) != 0)
    return nullptr;
  PNGMemCursor cursor = {(const unsigned char*)data, len};
  return DecodePNG(nullptr, &cursor, bmp);
}

bool Raster_HasPNGExtension(const char* filename)
{
  if (!filename)
    return false;
  const char* tail = nullptr;
  for (const char* p = filename; *p; ++p)
    if (*p == '.' || *p == '/' || *p == '\\')
      tail = p;
  if (!tail)
    return false;
  static const char kExt[] = ".png";
  for (int i = 0; i < 4; ++i)
  {
    char c = tail[i];
    if (c >= 'A' && c <= 'Z')
      c = (char)(c - 'A' + 'a');
    if (c != kExt[i])
      return false;
  }
  return tail[4] == '\0';
}

// Linked in front of the loader chain while the module's statics are constructed.
Raster_PNGLoader Raster_pngldr;

Raster_PNGLoader::Raster_PNGLoader()
{
  _next = Raster_ImageLoader_list;
  Raster_ImageLoader_list = this;
}

Raster_IBitmap* Raster_PNGLoader::loadfunc(const char* filename, bool checkFileName, Raster_IBitmap* bmp)
{
  if (checkFileName && !Raster_HasPNGExtension(filename))
    return nullptr;
  return Raster_LoadPNG(filename, bmp);
}

const char* Raster_PNGLoader::get_extlist()
{
  // The literal's own terminator supplies the list's closing second NUL.
  return "PNG files (*.PNG)\0*.PNG\0";
}
