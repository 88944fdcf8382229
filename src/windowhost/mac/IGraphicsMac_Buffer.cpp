// The part of IGraphicsMac that needs the raster library's headers, kept out of the
// Objective-C++ files: GdiEmu's BOOL (an int) and Objective-C's BOOL cannot meet.
#include "IGraphicsMac.h"

#include "Raster_Bitmap.h"

bool IGraphicsMac::GetBackBuffer(unsigned int** bits, int* w, int* h, int* rowSpan)
{
  Raster_IBitmap* bitmap = GetDrawBitmap();
  if (!bitmap || !bitmap->getBits() || bitmap->getWidth() <= 0 || bitmap->getHeight() <= 0) return false;
  if (bitmap->getRowSpan() < bitmap->getWidth()) return false;
  *bits = bitmap->getBits();
  *w = bitmap->getWidth();
  *h = bitmap->getHeight();
  *rowSpan = bitmap->getRowSpan();
  return true;
}
