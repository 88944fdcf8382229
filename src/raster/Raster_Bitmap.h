// Raster_Bitmap.h - 32-bit bitmaps the raster library draws into.
//
// A pixel is one 0xAARRGGBB word with straight (not premultiplied) colour; in memory the bytes
// run blue, green, red, alpha. Row spans are counted in pixels, never bytes.
#pragma once

#include <cstdint>

#include "GdiEmu.h"

// Abstract bitmap. The order of the virtual operations is part of the library's binary
// interface (drawing code built separately calls through it), so new hooks go at the end.
class Raster_IBitmap
{
public:
  virtual ~Raster_IBitmap() {}
  // Pixel (0, 0) in memory order; null when the bitmap is empty or allocation failed.
  virtual uint32_t* getBits() = 0;
  virtual int getWidth() = 0;
  virtual int getHeight() = 0;
  // Pixels from the start of one row to the start of the next.
  virtual int getRowSpan() = 0;
  // True when rows are stored bottom-up (row y at (height - 1 - y) * row span).
  virtual bool isFlipped() { return false; }
  // True when the size changed, false when it already was width x height.
  virtual bool resize(int width, int height) = 0;
  // Platform drawing context behind the bits (text is drawn through it), or null.
  virtual HDC getDC() { return nullptr; }
  // Extension hook for later additions without changing the slot order.
  virtual intptr_t Extended(int id, void* data)
  {
    (void)id;
    (void)data;
    return 0;
  }
};

// Plain heap bitmap. Rows are padded to the alignment given at construction and the first
// pixel sits on a 64-byte boundary so that vector loops can use aligned loads on row 0.
class Raster_MemBitmap : public Raster_IBitmap
{
public:
  // rowAlignment is in pixels; only its lowest set bit counts and it is capped at 16.
  explicit Raster_MemBitmap(int width = 0, int height = 0, int rowAlignment = 4);
  ~Raster_MemBitmap() override;

  Raster_MemBitmap(const Raster_MemBitmap&) = delete;
  Raster_MemBitmap& operator=(const Raster_MemBitmap&) = delete;

  uint32_t* getBits() override;
  int getWidth() override { return mWidth; }
  int getHeight() override { return mHeight; }
  int getRowSpan() override { return (mWidth + mAlignMask) & ~mAlignMask; }
  bool resize(int width, int height) override;

  // Usable bytes behind getBits() (the buffer keeps 63 spare bytes for the alignment).
  int getAllocatedSize() const { return mAllocSize; }

private:
  uint8_t* mBuffer = nullptr;
  int mWidth = 0;
  int mHeight = 0;
  int mAllocSize = 0;
  int mAlignMask = 0;
};

// Bitmap whose pixels the platform can copy to a window and draw text into: a memory DC with
// a top-down 32-bit DIB section on Windows, a memory context of the GDI emulation elsewhere.
class Raster_SysBitmap : public Raster_IBitmap
{
public:
  explicit Raster_SysBitmap(int width = 0, int height = 0);
  ~Raster_SysBitmap() override;

  Raster_SysBitmap(const Raster_SysBitmap&) = delete;
  Raster_SysBitmap& operator=(const Raster_SysBitmap&) = delete;

  uint32_t* getBits() override { return mBits; }
  int getWidth() override { return mWidth; }
  int getHeight() override { return mHeight; }
  int getRowSpan() override { return mAllocRowSpan; }
  bool resize(int width, int height) override;
  HDC getDC() override { return mDC; }

private:
  void releasePixels();

  int mWidth = 0;
  int mHeight = 0;
  uint32_t* mBits = nullptr;
  HDC mDC = nullptr;
  int mAllocRowSpan = 0;
  int mAllocHeight = 0;
#ifdef _WIN32
  HBITMAP mDIB = nullptr;
  HGDIOBJ mOldObject = nullptr;
#endif
};
