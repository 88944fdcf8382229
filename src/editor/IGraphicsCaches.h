// The module-wide image and font caches. Every editor of the module shares them; they own every
// decoded image and every cached font and release them when the module unloads. Each holds its
// own recursive lock for the whole of every lookup, insertion and removal.
#pragma once

#include "IGraphicsStructs.h"
#include "Util_Mutex.h"
#include "Util_PtrList.h"

class Raster_IBitmap;
class Raster_IFont;

class BitmapStorage
{
public:
  struct BitmapKey
  {
    int id;  // -1 for images not loaded by id
    Raster_IBitmap* bitmap;
  };

  BitmapStorage() = default;
  ~BitmapStorage();
  BitmapStorage(const BitmapStorage&) = delete;
  BitmapStorage& operator=(const BitmapStorage&) = delete;

  // The bitmap of the first key with that id, or null.
  Raster_IBitmap* Find(int id);
  // Takes ownership of bitmap under id.
  void Add(Raster_IBitmap* bitmap, int id = -1);
  // Removes the first key holding bitmap and destroys it; a bitmap not in the storage is left
  // alone. Returns whether it was found.
  bool Remove(Raster_IBitmap* bitmap);
  bool Contains(Raster_IBitmap* bitmap);
  int GetSize();
  // Destroys every image (module unload, and tests that start from a known state).
  void Clear();

private:
  Util_PtrList<BitmapKey> mKeys;
  Util_Mutex mMutex;
};

class FontStorage
{
public:
  static constexpr int kFaceNameLen = 36;  // 35 characters and the terminating NUL

  struct FontKey
  {
    int size, orientation, style;
    char face[kFaceNameLen];
    Raster_IFont* font;
  };

  FontStorage() = default;
  ~FontStorage();
  FontStorage(const FontStorage&) = delete;
  FontStorage& operator=(const FontStorage&) = delete;

  // The font of the first key with the text's size, orientation, style and face name (byte for
  // byte), or null. Quality and colour are not part of the key.
  Raster_IFont* Find(const IText* text);
  // Takes ownership of font under the text's key.
  void Add(Raster_IFont* font, const IText* text);
  int GetSize();
  void Clear();
  Util_Mutex* GetMutex() { return &mMutex; }

private:
  Util_PtrList<FontKey> mKeys;
  Util_Mutex mMutex;
};

// The module's caches; they live until the module unloads.
BitmapStorage& GetBitmapStorage();
FontStorage& GetFontStorage();
#define s_bitmapCache (GetBitmapStorage())
#define s_fontCache (GetFontStorage())
