// Window pictures from the X server compared with the committed ones (strict snapshot or exact
// pixels), and rewritten only with VX_UPDATE_GOLDENS=1.

#include "X11Golden.h"

#include "Raster_PNG.h"
#include "Raster_PNGWrite.h"
#include "Raster_SnapshotCompare.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

std::string X11SourcePath(const std::string& relative)
{
  const char* dir = std::getenv("VX_SOURCE_DIR");
  return std::string(dir ? dir : ".") + "/" + relative;
}

bool X11GrabWindow(X11TestDisplay& display, xcb_window_t window, Raster_MemBitmap* out)
{
  std::vector<uint32_t> pixels;
  int w = 0, h = 0;
  if (!display.Grab(window, &pixels, &w, &h)) return false;
  out->resize(w, h);
  if (!out->getBits() || out->getWidth() != w || out->getHeight() != h) return false;
  for (int y = 0; y < h; ++y)
    std::memcpy(out->getBits() + (size_t)y * out->getRowSpan(), pixels.data() + (size_t)y * w, sizeof(uint32_t) * w);
  return true;
}

namespace
{
bool WriteRGB(Raster_IBitmap* bitmap, const std::string& path)
{
  Raster_PNGWriteOptions rgb;
  rgb.mAlpha = false;
  return Raster_WritePNG(bitmap, path.c_str(), rgb);
}
}  // namespace

std::string X11CompareWithGolden(Raster_IBitmap* actual, const std::string& goldenPath, bool recordable)
{
  const char* record = std::getenv("VX_UPDATE_GOLDENS");
  if (recordable && record && *record == '1')
    return WriteRGB(actual, goldenPath) ? std::string() : "cannot write " + goldenPath;
  std::unique_ptr<Raster_IBitmap> golden(Raster_LoadPNG(goldenPath.c_str()));
  if (!golden) return "no golden " + goldenPath + (recordable ? " (VX_UPDATE_GOLDENS=1 records it)" : "");
  const Raster_SnapshotReport report = Raster_CompareSnapshot(actual, golden.get());
  if (report.match) return std::string();
  std::string name = goldenPath.substr(goldenPath.find_last_of('/') + 1);
  name = name.substr(0, name.size() - 4) + ".actual.png";
  WriteRGB(actual, name);
  return report.reason + " (the window is in " + name + ")";
}

long X11CountDifferentPixels(Raster_IBitmap* a, Raster_IBitmap* b)
{
  const int w = a->getWidth(), h = a->getHeight();
  if (w != b->getWidth() || h != b->getHeight()) return (long)w * h + (long)b->getWidth() * b->getHeight();
  long n = 0;
  for (int y = 0; y < h; ++y)
  {
    const uint32_t* ra = a->getBits() + (size_t)y * a->getRowSpan();
    const uint32_t* rb = b->getBits() + (size_t)y * b->getRowSpan();
    for (int x = 0; x < w; ++x)
      if ((ra[x] | 0xFF000000u) != (rb[x] | 0xFF000000u)) ++n;
  }
  return n;
}
