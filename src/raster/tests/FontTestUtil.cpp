// The font tests' helpers: the editor's text styles, ink measurement and PNG snapshots.

#include "FontTestUtil.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "PngFixture.h"

const FontStyle kEditorStyles[4] = {
    {"arial18", "Arial", 18, false, 0xFF000000, 0xFFC8CCD0},    // frequency display
    {"verdana12b", "Verdana", 12, true, 0xFFEBEBEB, 0xFF2B3036},  // volume label
    {"verdana13b", "Verdana", 13, true, 0xFFEBEBEB, 0xFF2B3036},  // results
    {"verdana16", "Verdana", 16, false, 0xFFFFFFFF, 0xFF2B3036},  // version
};

HFONT Test_CreatePlatformFont(const char* face, int size, bool bold, int quality)
{
#ifdef _WIN32
  return CreateFontA(size, 0, 0, 0, bold ? 700 : 400, 0, 0, 0, 0, 0, 0, quality, 0, face);
#else
  return CreateFont(std::max(size, 2), 0, 0, 0, bold ? 700 : 400, 0, 0, 0, 0, 0, 0, quality, 0, face);
#endif
}

Raster_CachedFont* Test_MakeFont(const char* face, int size, bool bold, int flags)
{
  Raster_CachedFont* f = new Raster_CachedFont;
  f->SetFromHFont(Test_CreatePlatformFont(face, size, bold), flags | kRasterFont_OwnsFont);
  return f;
}

void Test_Fill(Raster_IBitmap* bm, uint32_t pixel)
{
  for (int y = 0; y < bm->getHeight(); ++y)
  {
    uint32_t* row = bm->getBits() + (size_t)y * bm->getRowSpan();
    std::fill(row, row + bm->getWidth(), pixel);
  }
}

InkBox Test_Ink(Raster_IBitmap* bm, uint32_t background, int x0, int y0, int x1, int y1)
{
  InkBox ink;
  x1 = std::min(x1, bm->getWidth());
  y1 = std::min(y1, bm->getHeight());
  for (int y = std::max(0, y0); y < y1; ++y)
    for (int x = std::max(0, x0); x < x1; ++x)
      if (bm->getBits()[(size_t)y * bm->getRowSpan() + x] != background)
      {
        ink.l = std::min(ink.l, x);
        ink.t = std::min(ink.t, y);
        ink.r = std::max(ink.r, x + 1);
        ink.b = std::max(ink.b, y + 1);
        ++ink.count;
      }
  return ink;
}

PixelDiff Test_Compare(Raster_IBitmap* a, Raster_IBitmap* b, int tolerance)
{
  PixelDiff d;
  if (a->getWidth() != b->getWidth() || a->getHeight() != b->getHeight())
  {
    d.sizeMismatch = true;
    return d;
  }
  for (int y = 0; y < a->getHeight(); ++y)
    for (int x = 0; x < a->getWidth(); ++x)
    {
      const uint32_t pa = a->getBits()[(size_t)y * a->getRowSpan() + x];
      const uint32_t pb = b->getBits()[(size_t)y * b->getRowSpan() + x];
      if (pa == pb) continue;
      int worst = 0;
      for (int s = 0; s < 32; s += 8) worst = std::max(worst, std::abs((int)((pa >> s) & 0xFF) - (int)((pb >> s) & 0xFF)));
      d.maxChannel = std::max(d.maxChannel, worst);
      d.differing += worst > tolerance;
    }
  return d;
}

bool Test_SamePixels(Raster_IBitmap* a, Raster_IBitmap* b)
{
  const PixelDiff d = Test_Compare(a, b);
  return !d.sizeMismatch && d.differing == 0;
}

bool Test_WritePNG(Raster_IBitmap* bm, const std::string& path)
{
  PngFixture f;
  f.width = bm->getWidth();
  f.height = bm->getHeight();
  f.colorType = 6;  // RGBA
  for (int y = 0; y < f.height; ++y)
    for (int x = 0; x < f.width; ++x)
    {
      const uint32_t p = bm->getBits()[(size_t)y * bm->getRowSpan() + x];
      f.samples.push_back((p >> 16) & 0xFF);
      f.samples.push_back((p >> 8) & 0xFF);
      f.samples.push_back(p & 0xFF);
      f.samples.push_back(p >> 24);
    }
  const std::vector<uint8_t> bytes = PngEncode(f);
  return !bytes.empty() && PngWriteFile(path, bytes);
}

std::string Test_GoldenDir()
{
  const char* root = std::getenv("VX_SOURCE_DIR");
  return std::string(root ? root : VX_TEST_SOURCE_DIR) + "/src/raster/tests/golden";
}

const char* Test_PlatformTag()
{
#ifdef _WIN32
  return Raster_CachedFont::RunsUnderWine() ? "wine" : "windows";
#else
  return "linux";
#endif
}
