// Arbitrary bytes as UTF-8 text through every way text is drawn: the glyph cache (plain and
// with every glyph flag), the native path into bitmaps with and without a context, and the
// text layer's DrawText directly. The first four bytes choose format flags, font flags and the
// rectangle; the rest is the text.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "Raster.h"

namespace {

struct Fonts
{
  HFONT platform = CreateFont(13, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0, "Verdana");
  Raster_CachedFont font;
  Raster_SysBitmap sys{96, 64};
  Raster_MemBitmap mem{96, 64};
};

Fonts& TheFonts()
{
  static Fonts* f = new Fonts;
  return *f;
}

}  // namespace

// fontconfig and FreeType set up caches on first use that only they can reach (some through
// memory-mapped cache files the leak checker does not scan); do that before any input runs.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  Fonts& f = TheFonts();
  f.font.SetFromHFont(f.platform, 0x400);
  RECT r = {0, 0, 96, 64};
  f.font.DrawText(&f.sys, "Ag\xC3\xA9", -1, &r, kRasterText_UseTextAlpha);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size < 4) return 0;
  Fonts& f = TheFonts();
  const UINT format = (UINT)data[0] | ((UINT)(data[1] & 0x0F) << 8) | ((data[1] & 0x10) ? kRasterText_UseTextAlpha : 0);
  const int fontFlags = (data[2] & 0x07) | ((data[2] & 0xF8) << 1) | 0x400;  // 1..4, 0x10..0x100, native preferred
  const int x = (int)(data[3] & 0x3F) - 16, y = (int)(data[3] >> 6) * 12 - 6;
  const char* text = (const char*)data + 4;
  const int len = (int)(size - 4);

  f.font.SetFromHFont(f.platform, fontFlags);
  f.font.SetTextColor(0x80FFFFFF);
  f.font.SetLineSpacingAdjust((int)(data[3] & 7) - 3);
  RECT r = {x, y, x + 80, y + 40};
  RECT m = r;
  f.font.DrawText(nullptr, text, len, &m, DT_CALCRECT);
  r = {x, y, x + 80, y + 40};
  f.font.DrawText(&f.sys, text, len, &r, format & ~(UINT)DT_CALCRECT);
  r = {x, y, x + 80, y + 40};
  f.font.DrawText(&f.mem, text, len, &r, format & ~(UINT)DT_CALCRECT);
  r = {x, y, x + 80, y + 40};
  GdiEmu_DrawText(f.sys.getDC(), text, len, &r, format & 0xFFF);
  return 0;
}
