// IGraphics: text styles turned into cached fonts, and text drawn or measured with them.
#include "IGraphics.h"
#include "IGraphicsCaches.h"

#include "Raster_Bitmap.h"
#include "Raster_Font.h"  // brings the platform's fonts: Win32 GDI, or the text layer elsewhere

#include <cstring>

namespace
{
// The style's quality as the platform font's. Windows keeps ClearType; the text layer elsewhere
// has no sub-pixel rendering and draws it anti-aliased.
DWORD FontQuality(int quality)
{
  switch (quality)
  {
    case IText::kQualityDefault: return DEFAULT_QUALITY;
    case IText::kQualityNonAntiAliased: return NONANTIALIASED_QUALITY;
    case IText::kQualityAntiAliased: return ANTIALIASED_QUALITY;
#ifdef _WIN32
    case IText::kQualityClearType: return CLEARTYPE_QUALITY;
#else
    case IText::kQualityClearType: return ANTIALIASED_QUALITY;
#endif
    default: return NONANTIALIASED_QUALITY;
  }
}

HFONT CreatePlatformFont(const IText* text, int height)
{
  const int tenths = text->mOrientation * 10;
  const int weight = text->mStyle == IText::kStyleBold ? FW_BOLD : FW_NORMAL;
  const DWORD italic = text->mStyle == IText::kStyleItalic ? 1 : 0;
#ifdef _WIN32
  return CreateFontA(height, 0, tenths, tenths, weight, italic, 0, 0, 0, 0, 0, FontQuality(text->mQuality), 0, text->mFont);
#else
  return CreateFont(height, 0, tenths, tenths, weight, italic, 0, 0, 0, 0, 0, FontQuality(text->mQuality), 0, text->mFont);
#endif
}

constexpr int kCachedFontFlags = kRasterFont_OwnsFont | kRasterFont_PreferNative;

// A measured text of width x height laid into the rectangle as the alignment places it.
void PlaceMeasuredText(int align, int width, int height, const IRECT* within, IRECT* out)
{
  IRECT r = *within;
  if (align == IText::kAlignCenter)
  {
    r.L = (int)((double)(r.L + r.R) * 0.5) - width / 2;
    r.R = r.L + width;
  }
  else if (align == IText::kAlignFar)
  {
    r.L = r.R - width;
  }
  else
  {
    r.R = r.L + width;
  }
  r.B = r.T + height;
  *out = r;
}
}  // namespace

Raster_CachedFont* IGraphics::CacheFont(IText* text)
{
  if (!text) return nullptr;
  // Every font in the storage is a cached font: only this function adds to it.
  if (Raster_IFont* found = s_fontCache.Find(text))
  {
    text->mCached = static_cast<Raster_CachedFont*>(found);
    return text->mCached;
  }

  Raster_CachedFont* font = new Raster_CachedFont;
#ifdef _WIN32
  const int height = text->mSize;
  HFONT hfont = CreatePlatformFont(text, height);
  if (hfont) font->SetFromHFont(hfont, kCachedFontFlags);
#else
  int height = text->mSize < 2 ? 2 : text->mSize;
  HFONT hfont = CreatePlatformFont(text, height);
  if (hfont)
  {
    font->SetFromHFont(hfont, kCachedFontFlags);
    // The style's size is the line height; faces whose cell is taller or shorter than asked
    // get one proportional correction.
    const int lineHeight = font->GetLineHeight();
    if (lineHeight > 0 && lineHeight != height)
    {
      height = (int)((double)height * height / lineHeight + 0.5);
      if (height < 1) height = 1;
      if (HFONT corrected = CreatePlatformFont(text, height))
      {
        hfont = corrected;
        font->SetFromHFont(hfont, kCachedFontFlags);  // the font deletes the first one
      }
    }
  }
#endif
  if (!hfont)
  {
    delete font;
    return nullptr;
  }
  s_fontCache.Add(font, text);
  text->mCached = font;
  return font;
}

bool IGraphics::DrawIText(IText* text, const char* str, IRECT* rect, bool measure)
{
  if (!str || !*str) return true;
  if (!text || !rect) return false;
  Raster_CachedFont* font = text->mCached ? text->mCached : CacheFont(text);
  if (!font) return false;

  UINT flags = DT_NOCLIP;
  if (text->mColor.A < 255) flags |= kRasterText_UseTextAlpha;
  if (text->mAlign == IText::kAlignCenter)
    flags |= DT_CENTER;
  else if (text->mAlign == IText::kAlignFar)
    flags |= DT_RIGHT;

  // Fonts are shared by every editor of the module, and editors of one module may draw on
  // different threads: setting the colour and drawing with it must not interleave with another
  // editor doing the same with the same font. The font's own lock keeps the two together.
  Util_MutexLock lock(font->GetLock());
  font->SetTextColor(text->mColor.ToPixel());
  if (!measure)
  {
    if (!mDrawBitmap) return false;
    RECT r = {rect->L, rect->T, rect->R, rect->B};
    font->DrawText(mDrawBitmap, str, -1, &r, flags);
    if (mTrackDrawing)
    {
      // Text is not clipped to its rectangle: the pass must know where it went. Glyphs may
      // overhang the measured box by a little (italics, a first glyph's left bearing).
      RECT box = {0, 0, 0, 0};
      font->DrawText(mDrawBitmap, str, -1, &box, flags | DT_CALCRECT);
      IRECT placed(rect->L, rect->T, rect->L, rect->T);
      PlaceMeasuredText(text->mAlign, box.right - box.left, box.bottom - box.top, rect, &placed);
      const int padX = 2 + text->mSize / 4, padY = 2;
      NoteDrawn(IRECT(placed.L - padX, placed.T - padY, placed.R + padX, placed.B + padY), true);
    }
    return true;
  }

  RECT r = {0, 0, 0, 0};
  // Measuring needs no target: the font measures on its own scratch context.
  font->DrawText(mDrawBitmap, str, -1, &r, flags | DT_CALCRECT);
  PlaceMeasuredText(text->mAlign, r.right - r.left, r.bottom - r.top, rect, rect);
  return true;
}

// Characters 32..127, one frame each; other bytes draw as '?'.
bool IGraphics::DrawBitmapedText(IBitmap* bitmap, IRECT* rect, IText* text, const char* str, bool vCenter, bool multiline,
                                 int charWidth, int charHeight, int charOffset)
{
  if (!bitmap || !bitmap->mData || !rect || !str || charWidth <= 0 || charHeight <= 0) return false;
  const int len = (int)strlen(str);
  if (!len) return true;
  const int align = text ? text->mAlign : IText::kAlignCenter;
  const int advance = charWidth - charOffset > 0 ? charWidth - charOffset : 1;
  const int perLine = multiline ? (rect->W() / advance > 0 ? rect->W() / advance : 1) : len;
  const int nLines = (len + perLine - 1) / perLine;
  int y = rect->T;
  if (vCenter) y = rect->T + (rect->H() - nLines * charHeight) / 2;
  for (int line = 0; line < nLines; ++line, y += charHeight)
  {
    const int start = line * perLine;
    const int n = (len - start) < perLine ? (len - start) : perLine;
    const int lineWidth = n * advance;
    int x = rect->L;
    if (align == IText::kAlignCenter)
      x = rect->L + (rect->W() - lineWidth) / 2;
    else if (align == IText::kAlignFar)
      x = rect->R - lineWidth;
    for (int i = 0; i < n; ++i, x += advance)
    {
      int c = (unsigned char)str[start + i];
      if (c < 32 || c > 127) c = '?';
      IRECT dest(x, y, x + charWidth, y + charHeight);
      DrawBitmap(bitmap, &dest, c - 31, nullptr);
    }
  }
  return true;
}
