// PNG decoding into raster bitmaps, and the chain of image loaders that file dialogs and
// the image cache consult.
#pragma once

#include <cstddef>

class Raster_IBitmap;

// Decodes the PNG file at `path` (opened "rb"). With `bmp` non-null the image is decoded into
// it (resized to the image size) and `bmp` is returned; the caller keeps ownership. With `bmp`
// null a new Raster_MemBitmap (row alignment 4) is returned and the caller owns it.
// Every failure returns null and leaves nothing allocated; a caller's bitmap may then hold a
// partial image or a changed size.
Raster_IBitmap* Raster_LoadPNG(const char* path, Raster_IBitmap* bmp = nullptr);

// The same for PNG bytes in memory (module resources, bundled data). Fewer than 8 bytes or a
// wrong signature return null before anything is touched.
Raster_IBitmap* Raster_LoadPNGFromMemory(const void* data, size_t len, Raster_IBitmap* bmp = nullptr);

// One image format in the global chain of loaders.
class Raster_ImageLoader
{
public:
  virtual ~Raster_ImageLoader() {}

  // Loads `filename` into `bmp` (or a new bitmap when null). With `checkFileName` set the name
  // must carry this loader's extension, otherwise the result is null without opening the file.
  virtual Raster_IBitmap* loadfunc(const char* filename, bool checkFileName, Raster_IBitmap* bmp) = 0;

  // File-dialog filter pairs, each string NUL-terminated, the list ended by a second NUL.
  virtual const char* get_extlist() = 0;

  Raster_ImageLoader* _next = nullptr;
};

// Head of the loader chain; each loader links itself in front while the module loads.
extern Raster_ImageLoader* Raster_ImageLoader_list;

class Raster_PNGLoader : public Raster_ImageLoader
{
public:
  Raster_PNGLoader();
  Raster_IBitmap* loadfunc(const char* filename, bool checkFileName, Raster_IBitmap* bmp) override;
  const char* get_extlist() override;
};

extern Raster_PNGLoader Raster_pngldr;

// True when the tail of `filename` from its last '.', '/' or '\\' is ".png" in any case.
bool Raster_HasPNGExtension(const char* filename);

// A PNG image among a Windows module's resources: type "PNG", the name a string or an integer
// id made with MAKEINTRESOURCE. `module` is the module's HMODULE (null: the program). Null when
// the resource is missing or holds fewer than 8 bytes, and always null on other platforms.
Raster_IBitmap* Raster_LoadPNGFromResource(void* module, const char* resourceName, Raster_IBitmap* bmp = nullptr);

// A PNG file among the resources of the main bundle ("Contents/Resources/" + name) on macOS;
// null on other platforms, whose modules carry no bundle resources.
Raster_IBitmap* Raster_LoadPNGFromNamedResource(const char* name, Raster_IBitmap* bmp = nullptr);
