// Raster_BlitCommon.h - internal helpers shared by the blit and fill sources: logical row
// addressing of (possibly flipped) bitmaps and the mode-to-loop resolution.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "Raster_Bitmap.h"
#include "Raster_Combine.h"

// Pixel (0, y) of logical row y; flipped bitmaps store their rows bottom-up.
inline uint32_t* Raster_Row(Raster_IBitmap* bm, uint32_t* bits, int y)
{
  int span = bm->getRowSpan();
  int row = bm->isFlipped() ? bm->getHeight() - 1 - y : y;
  return bits + (intptr_t)row * span;
}

// Pixels from logical row y to row y + 1 (negative for a flipped bitmap).
inline intptr_t Raster_RowStep(Raster_IBitmap* bm) { return bm->isFlipped() ? -(intptr_t)bm->getRowSpan() : bm->getRowSpan(); }

// Bitmap with pixels: non-null, bits present, positive size.
inline bool Raster_Usable(Raster_IBitmap* bm)
{
  return bm && bm->getBits() && bm->getWidth() > 0 && bm->getHeight() > 0 && bm->getRowSpan() > 0;
}

// One source pixel combined into one destination pixel at integer weight w.
typedef void (*Raster_PixelFunc)(uint32_t* dest, uint32_t src, int w);
// n source pixels combined into n destination pixels at integer weight w.
typedef void (*Raster_RowFunc)(uint32_t* dest, const uint32_t* src, int n, int w);

template <class C>
void Raster_PixelOf(uint32_t* dest, uint32_t s, int w)
{
  C::doPix((uint8_t*)dest, Raster_PixelR(s), Raster_PixelG(s), Raster_PixelB(s), Raster_PixelA(s), w);
}

template <class C>
void Raster_RowOf(uint32_t* dest, const uint32_t* src, int n, int w)
{
  for (int i = 0; i < n; ++i)
  {
    uint32_t s = src[i];
    C::doPix((uint8_t*)&dest[i], Raster_PixelR(s), Raster_PixelG(s), Raster_PixelB(s), Raster_PixelA(s), w);
  }
}

// The combine class for mode AND 0x100FF at integer weight w (1..256), as the blits choose it:
// copy at full weight is a plain overwrite; copy with source alpha at full weight trusts the
// source alpha alone. Null when the mode draws nothing.
Raster_PixelFunc Raster_SelectPixelFunc(int mode, int w);
Raster_RowFunc Raster_SelectRowFunc(int mode, int w);

// Small scratch buffer: on the stack up to N items, else from the heap. data() is null when the
// heap allocation failed.
template <class T, int N>
class Raster_Scratch
{
public:
  explicit Raster_Scratch(int n);
  ~Raster_Scratch();
  Raster_Scratch(const Raster_Scratch&) = delete;
  Raster_Scratch& operator=(const Raster_Scratch&) = delete;
  T* data() { return mPtr; }

private:
  T mLocal[N];
  T* mPtr;
  bool mHeap;
};

template <class T, int N>
Raster_Scratch<T, N>::Raster_Scratch(int n) : mPtr(mLocal), mHeap(false)
{
  if (n > N)
  {
    mPtr = (T*)std::malloc(sizeof(T) * (size_t)n);
    mHeap = true;
  }
}

template <class T, int N>
Raster_Scratch<T, N>::~Raster_Scratch()
{
  if (mHeap) std::free(mPtr);
}
