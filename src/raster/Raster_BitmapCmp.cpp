// Raster_BitmapCmp.cpp - comparing two bitmaps and locating their differences.
#include "Raster_BlitCommon.h"
#include "Raster_Fill.h"

bool Raster_BitmapCmpEx(Raster_IBitmap* a, Raster_IBitmap* b, uint32_t mask, RECT* diffRect)
{
  RECT r = {0, 0, 0, 0};
  bool differ = false;
  int aw = a ? a->getWidth() : 0, ah = a ? a->getHeight() : 0;
  int bw = b ? b->getWidth() : 0, bh = b ? b->getHeight() : 0;
  uint32_t* abits = a ? a->getBits() : nullptr;
  uint32_t* bbits = b ? b->getBits() : nullptr;
  if (aw != bw || ah != bh || (!abits) != (!bbits))
  {
    differ = true;
    r.right = aw > bw ? aw : bw;
    r.bottom = ah > bh ? ah : bh;
  }
  else if (abits && aw > 0 && ah > 0)
  {
    int l = aw, t = ah, rr = -1, bb = -1;
    for (int y = 0; y < ah; ++y)
    {
      const uint32_t* pa = Raster_Row(a, abits, y);
      const uint32_t* pb = Raster_Row(b, bbits, y);
      for (int x = 0; x < aw; ++x)
        if ((pa[x] ^ pb[x]) & mask)
        {
          if (x < l) l = x;
          if (x > rr) rr = x;
          if (y < t) t = y;
          bb = y;
        }
    }
    if (bb >= 0)
    {
      differ = true;
      r = {l, t, rr + 1, bb + 1};
    }
  }
  if (diffRect) *diffRect = r;
  return differ;
}

bool Raster_BitmapCmp(Raster_IBitmap* a, Raster_IBitmap* b, RECT* diffRect) { return Raster_BitmapCmpEx(a, b, 0xFFFFFFFFu, diffRect); }
