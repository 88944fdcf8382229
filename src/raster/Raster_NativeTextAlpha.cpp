// Native text made opaque where the platform's text output writes no alpha.
#include "Raster_NativeTextAlpha.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "Raster_FontPlatform.h"

uint32_t* Raster_NativeTextAlpha::Row(int y) const
{
  const int row = mBitmap->isFlipped() ? mBitmap->getHeight() - 1 - y : y;
  return mBitmap->getBits() + (size_t)row * (size_t)mBitmap->getRowSpan();
}

void Raster_NativeTextAlpha::Begin(Raster_IBitmap* bm, int top, int bottom)
{
  End();
  if (!kRaster_PlatformTextClearsAlpha || !bm || !bm->getBits()) return;
  top = std::max(top, 0);
  bottom = std::min(bottom, bm->getHeight());
  const int width = bm->getWidth();
  if (top >= bottom || width <= 0 || (long long)(bottom - top) * width > INT_MAX) return;
  auto* saved = static_cast<uint8_t*>(mSaved.Resize((bottom - top) * width, false));
  if (!saved) return;
  mBitmap = bm;
  mTop = top;
  mBottom = bottom;
  mWidth = width;
  // Drawing the platform still has queued must land before the pixels are read here.
  Raster_PlatformFlush();
  for (int y = top; y < bottom; ++y)
  {
    uint32_t* px = Row(y);
    for (int x = 0; x < width; ++x)
    {
      *saved++ = (uint8_t)(px[x] >> 24);
      px[x] |= 0xFF000000u;
    }
  }
}

void Raster_NativeTextAlpha::End()
{
  if (!mBitmap) return;
  Raster_PlatformFlush();
  const auto* saved = static_cast<const uint8_t*>(mSaved.Get());
  for (int y = mTop; y < mBottom; ++y)
  {
    uint32_t* px = Row(y);
    for (int x = 0; x < mWidth; ++x, ++saved)
      if (px[x] >> 24) px[x] = (px[x] & 0xFFFFFFu) | ((uint32_t)*saved << 24);  // untouched: its own alpha
      else px[x] |= 0xFF000000u;                                                 // written by the platform
  }
  mBitmap = nullptr;
}
