// The module's image and font caches, and the IGraphics operations that load, retain,
// release, scale and crop images through them.
#include "IGraphics.h"
#include "IGraphicsCaches.h"

#include "IControls.h"
#include "Raster_Bitmap.h"
#include "Raster_Blit.h"
#include "Raster_Font.h"

#include <cstring>

// ---- BitmapStorage -----------------------------------------------------------------------------

BitmapStorage::~BitmapStorage()
{
  Clear();
}

Raster_IBitmap* BitmapStorage::Find(int id)
{
  Util_MutexLock lock(mMutex);
  const int n = mKeys.GetSize();
  for (int i = 0; i < n; ++i)
  {
    BitmapKey* key = mKeys.Get(i);
    if (key->id == id) return key->bitmap;
  }
  return nullptr;
}

void BitmapStorage::Add(Raster_IBitmap* bitmap, int id)
{
  if (!bitmap) return;
  Util_MutexLock lock(mMutex);
  mKeys.Add(new BitmapKey{id, bitmap});
}

bool BitmapStorage::Remove(Raster_IBitmap* bitmap)
{
  if (!bitmap) return false;
  Util_MutexLock lock(mMutex);
  const int n = mKeys.GetSize();
  for (int i = 0; i < n; ++i)
  {
    BitmapKey* key = mKeys.Get(i);
    if (key->bitmap != bitmap) continue;
    mKeys.Delete(i, false);
    delete key->bitmap;
    delete key;
    return true;
  }
  return false;
}

bool BitmapStorage::Contains(Raster_IBitmap* bitmap)
{
  Util_MutexLock lock(mMutex);
  const int n = mKeys.GetSize();
  for (int i = 0; i < n; ++i)
    if (mKeys.Get(i)->bitmap == bitmap) return true;
  return false;
}

int BitmapStorage::GetSize()
{
  Util_MutexLock lock(mMutex);
  return mKeys.GetSize();
}

void BitmapStorage::Clear()
{
  Util_MutexLock lock(mMutex);
  const int n = mKeys.GetSize();
  for (int i = 0; i < n; ++i)
  {
    delete mKeys.Get(i)->bitmap;
    delete mKeys.Get(i);
  }
  mKeys.Empty(false);
}

// ---- FontStorage ---------------------------------------------------------------------------------

FontStorage::~FontStorage()
{
  Clear();
}

Raster_IFont* FontStorage::Find(const IText* text)
{
  if (!text) return nullptr;
  Util_MutexLock lock(mMutex);
  const int n = mKeys.GetSize();
  for (int i = 0; i < n; ++i)
  {
    FontKey* key = mKeys.Get(i);
    if (key->size == text->mSize && key->orientation == text->mOrientation && key->style == text->mStyle &&
        !strncmp(key->face, text->mFont, kFaceNameLen))
      return key->font;
  }
  return nullptr;
}

void FontStorage::Add(Raster_IFont* font, const IText* text)
{
  if (!font || !text) return;
  FontKey* key = new FontKey{text->mSize, text->mOrientation, text->mStyle, {}, font};
  // The style's face name is at most 31 characters, so it always fits with its NUL.
  strncpy(key->face, text->mFont, kFaceNameLen - 1);
  Util_MutexLock lock(mMutex);
  mKeys.Add(key);
}

int FontStorage::GetSize()
{
  Util_MutexLock lock(mMutex);
  return mKeys.GetSize();
}

void FontStorage::Clear()
{
  Util_MutexLock lock(mMutex);
  const int n = mKeys.GetSize();
  for (int i = 0; i < n; ++i)
  {
    delete mKeys.Get(i)->font;
    delete mKeys.Get(i);
  }
  mKeys.Empty(false);
}

// Constructed on first use and destroyed when the module unloads, after every editor.
BitmapStorage& GetBitmapStorage()
{
  static BitmapStorage storage;
  return storage;
}

FontStorage& GetFontStorage()
{
  static FontStorage storage;
  return storage;
}

// ---- IGraphics image operations -----------------------------------------------------------------------

IBitmap IGraphics::LoadIBitmap(int id, const char* name, int nStates, bool framesAreHorizontal)
{
  // The platform load runs outside the lock: two threads loading one id at once may both load
  // it; both keys are kept and the first is found later.
  Raster_IBitmap* bitmap = s_bitmapCache.Find(id);
  if (!bitmap)
  {
    bitmap = OSLoadBitmap(id, name);
    // An image the module lacks gives an empty handle: controls over it draw nothing.
    if (!bitmap) return IBitmap(nullptr, 0, 0, nStates, framesAreHorizontal);
    s_bitmapCache.Add(bitmap, id);
  }
  return IBitmap(bitmap, bitmap->getWidth(), bitmap->getHeight(), nStates, framesAreHorizontal);
}

void IGraphics::RetainBitmap(IBitmap* bitmap)
{
  if (bitmap && bitmap->mData) s_bitmapCache.Add(bitmap->mData, -1);
}

void IGraphics::ReleaseBitmap(IBitmap* bitmap)
{
  if (bitmap && bitmap->mData) s_bitmapCache.Remove(bitmap->mData);
}

IBitmap IGraphics::ScaleBitmap(IBitmap* src, int w, int h)
{
  if (!src || !src->mData || w <= 0 || h <= 0) return IBitmap();
  Raster_MemBitmap* scaled = new Raster_MemBitmap(w, h, 4);
  Raster_ScaledBlit(scaled, src->mData, 0, 0, w, h, 0.0f, 0.0f, (float)src->W, (float)src->H, 1.0f, kRasterMode_Bilinear);
  s_bitmapCache.Add(scaled, -1);
  return IBitmap(scaled, w, h, src->N, false);
}

IBitmap IGraphics::CropBitmap(IBitmap* src, IRECT* rect)
{
  if (!src || !src->mData || !rect || rect->W() <= 0 || rect->H() <= 0) return IBitmap();
  const int w = rect->W(), h = rect->H();
  Raster_MemBitmap* cropped = new Raster_MemBitmap(w, h, 4);
  Raster_Blit(cropped, src->mData, 0, 0, rect->L, rect->T, w, h, 1.0f, kRasterOp_Copy);
  s_bitmapCache.Add(cropped, -1);
  return IBitmap(cropped, w, h, src->N, false);
}
