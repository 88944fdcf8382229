// Raster_Bitmap.cpp - heap and system bitmaps.
#include "Raster_Bitmap.h"

#include <climits>
#include <cstdlib>

// ---------------------------------------------------------------------------------------------
// Raster_MemBitmap

Raster_MemBitmap::Raster_MemBitmap(int width, int height, int rowAlignment)
{
  if (rowAlignment >= 2)
  {
    if (rowAlignment > 16) rowAlignment = 16;
    mAlignMask = (rowAlignment & -rowAlignment) - 1;  // lowest set bit, minus one
  }
  if (width > 0 && height > 0) resize(width, height);
}

Raster_MemBitmap::~Raster_MemBitmap() { std::free(mBuffer); }

uint32_t* Raster_MemBitmap::getBits()
{
  if (!mBuffer) return nullptr;
  return (uint32_t*)(((uintptr_t)mBuffer + 63) & ~(uintptr_t)63);
}

bool Raster_MemBitmap::resize(int width, int height)
{
  if (width == mWidth && height == mHeight) return false;
  // A negative size is stored as empty so that no caller ever sees a negative width.
  mWidth = width > 0 ? width : 0;
  mHeight = height > 0 ? height : 0;
  if (mWidth <= 0 || mHeight <= 0)
  {
    std::free(mBuffer);
    mBuffer = nullptr;
    mAllocSize = 0;
    return true;
  }

  // The allocated size is a signed 32-bit count; a bitmap that does not fit is left empty
  // rather than allocated short (which would let every drawing loop run off the end).
  long long needed64 = (long long)getRowSpan() * mHeight * 4;
  long long grown64 = needed64 * 5 / 4;
  if (needed64 > INT_MAX - 63)
  {
    std::free(mBuffer);
    mBuffer = nullptr;
    mAllocSize = 0;
    mWidth = mHeight = 0;
    return true;
  }
  int needed = (int)needed64;

  if (!mBuffer)
  {
    mBuffer = (uint8_t*)std::malloc((size_t)needed + 63);
    mAllocSize = mBuffer ? needed : 0;
  }
  else if (mAllocSize < needed)
  {
    // 25 % headroom so that a window being dragged larger does not reallocate every step.
    int grown = grown64 > INT_MAX - 63 ? needed : (int)grown64;
    uint8_t* p = (uint8_t*)std::realloc(mBuffer, (size_t)grown + 63);
    if (p)
    {
      mBuffer = p;
      mAllocSize = grown;
    }
    else
    {
      std::free(mBuffer);
      mBuffer = (uint8_t*)std::malloc((size_t)needed + 63);
      mAllocSize = mBuffer ? needed : 0;
    }
  }
  if (!mBuffer) mWidth = mHeight = 0;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Raster_SysBitmap

Raster_SysBitmap::Raster_SysBitmap(int width, int height)
{
#ifdef _WIN32
  mDC = CreateCompatibleDC(nullptr);
  if (!mDC) return;  // no context: stays 0 x 0 and never allocates
#endif
  resize(width, height);
}

Raster_SysBitmap::~Raster_SysBitmap()
{
  releasePixels();
#ifdef _WIN32
  if (mDC) DeleteDC(mDC);
#endif
  mDC = nullptr;
}

void Raster_SysBitmap::releasePixels()
{
#ifdef _WIN32
  if (mDIB)
  {
    if (mDC && mOldObject) SelectObject(mDC, mOldObject);
    DeleteObject(mDIB);
  }
  mDIB = nullptr;
  mOldObject = nullptr;
#else
  if (mDC) GdiEmu_DeleteGfxContext(mDC);
  mDC = nullptr;
#endif
  mBits = nullptr;
}

bool Raster_SysBitmap::resize(int width, int height)
{
  if (width == mWidth && height == mHeight) return false;
#ifdef _WIN32
  if (!mDC) return false;
#endif
  mWidth = width;
  mHeight = height;
  if (width != 0 && height != 0 && mAllocRowSpan >= width && mAllocHeight >= height && mBits) return true;

  releasePixels();
  if (width < 1 || height < 1 || width > 0x7FFFFFFC)
  {
    mWidth = mHeight = 0;
    mAllocRowSpan = mAllocHeight = 0;
    return false;
  }
  mAllocRowSpan = (width + 3) & ~3;
  mAllocHeight = height;

#ifdef _WIN32
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = mAllocRowSpan;
  bmi.bmiHeader.biHeight = isFlipped() ? mAllocHeight : -mAllocHeight;  // negative: top-down rows
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  mDIB = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (mDIB && bits)
  {
    mOldObject = SelectObject(mDC, mDIB);
    mBits = (uint32_t*)bits;
  }
  else if (mDIB)
  {
    DeleteObject(mDIB);
    mDIB = nullptr;
  }
#else
  mDC = GdiEmu_CreateMemContext(nullptr, mAllocRowSpan, mAllocHeight);
  mBits = GdiEmu_GetCtxFrameBuffer(mDC);
#endif
  if (!mBits)
  {
    mWidth = mHeight = 0;
    mBits = nullptr;
  }
  return true;
}
