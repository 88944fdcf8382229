// Pixel access for the Cocoa view host's tests, kept in plain C++ away from the Objective-C headers.

#include "MacTestPixels.h"

#include "IGraphics.h"
#include "Raster_Bitmap.h"
#include "Raster_PNG.h"
#include "Raster_PNGBundle.h"

#include <memory>

namespace
{
std::vector<unsigned int> Pixels(Raster_IBitmap* bitmap, int* w, int* h)
{
  *w = bitmap->getWidth();
  *h = bitmap->getHeight();
  std::vector<unsigned int> out((size_t)*w * (size_t)*h);
  const int span = bitmap->getRowSpan();
  const uint32_t* bits = bitmap->getBits();
  for (int y = 0; y < *h; ++y)
    for (int x = 0; x < *w; ++x) out[(size_t)y * *w + x] = 0xFF000000u | (bits[(size_t)y * span + x] & 0xFFFFFFu);
  return out;
}
}  // namespace

std::vector<unsigned int> MacBackBuffer(IGraphics* graphics, int* w, int* h)
{
  *w = *h = 0;
  Raster_IBitmap* bitmap = graphics ? graphics->GetDrawBitmap() : nullptr;
  return bitmap ? Pixels(bitmap, w, h) : std::vector<unsigned int>();
}

std::vector<unsigned int> MacLoadPNGPixels(const std::string& path, int* w, int* h)
{
  *w = *h = 0;
  std::unique_ptr<Raster_IBitmap> bitmap(Raster_LoadPNG(path.c_str()));
  return bitmap ? Pixels(bitmap.get(), w, h) : std::vector<unsigned int>();
}

bool MacOSLoadBitmapSize(IGraphics* graphics, int id, const char* name, int* w, int* h)
{
  std::unique_ptr<Raster_IBitmap> bitmap(graphics->OSLoadBitmap(id, name));
  *w = bitmap ? bitmap->getWidth() : 0;
  *h = bitmap ? bitmap->getHeight() : 0;
  return bitmap != nullptr;
}

bool MacNamedResourceSize(const char* name, int* w, int* h)
{
  std::unique_ptr<Raster_IBitmap> bitmap(Raster_LoadPNGFromNamedResource(name, nullptr));
  *w = bitmap ? bitmap->getWidth() : 0;
  *h = bitmap ? bitmap->getHeight() : 0;
  return bitmap != nullptr;
}

int MacCountDifferences(const std::vector<unsigned int>& a, const std::vector<unsigned int>& b, int w, int* firstX,
                        int* firstY)
{
  int n = 0;
  *firstX = *firstY = -1;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
  {
    if (a[i] == b[i]) continue;
    if (n++ == 0)
    {
      *firstX = (int)(i % (size_t)w);
      *firstY = (int)(i / (size_t)w);
    }
  }
  return n + (int)(a.size() > b.size() ? a.size() - b.size() : b.size() - a.size());
}
