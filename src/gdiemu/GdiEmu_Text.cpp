// Text state and DrawText: lay out UTF-8 text in lines, draw FreeType coverage with the
// context's colours, clipped to the clip region and (without DT_NOCLIP) the rectangle.
#include "GdiEmu_Context.h"
#include "GdiEmu_Blend.h"
#include "GdiEmu_Faces.h"
#include "Util_Utf8.h"

#ifndef _WIN32
#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>


namespace {

struct Char
{
  uint32_t code;
  bool underline;  // marked by a '&' prefix
};

struct Line
{
  int begin = 0, end = 0;  // range in the character array
  int width = 0;
};

// Splits the text into characters and lines, applying the line-break and prefix rules.
void Layout(const char* text, int len, UINT format, std::vector<Char>* chars, std::vector<Line>* lines)
{
  std::vector<uint32_t> codes;
  const unsigned char* s = (const unsigned char*)text;
  for (int i = 0; len < 0 ? s[i] != 0 : i < len;)
  {
    if (len >= 0 && s[i] == 0) break;  // Win32 stops at a NUL inside a counted string too
    const int avail = len < 0 ? 4 : std::min(4, len - i);
    uint32_t code;
    // With a NUL-terminated string the continuation test stops at the NUL by itself.
    i += Util_DecodeUtf8(text + i, avail, &code);
    codes.push_back(code);
  }

  const bool single = (format & DT_SINGLELINE) != 0;
  const bool prefix = (format & DT_NOPREFIX) == 0;
  bool open = false;
  bool underlineNext = false;
  auto openLine = [&] {
    if (open) return;
    Line l;
    l.begin = l.end = (int)chars->size();
    lines->push_back(l);
    open = true;
  };
  auto closeLine = [&] {
    openLine();
    lines->back().end = (int)chars->size();
    open = false;
  };
  for (size_t i = 0; i < codes.size(); ++i)
  {
    uint32_t c = codes[i];
    if (c == '\r' || c == '\n')
    {
      if (single)
      {
        if (c == '\r') continue;
        c = ' ';
      }
      else
      {
        if (c == '\r' && i + 1 < codes.size() && codes[i + 1] == '\n') ++i;
        closeLine();
        underlineNext = false;
        continue;
      }
    }
    if (prefix && c == '&')
    {
      if (i + 1 < codes.size() && codes[i + 1] == '&')
        ++i;  // "&&" draws one '&'
      else
      {
        underlineNext = true;
        continue;
      }
    }
    openLine();
    chars->push_back(Char{c, underlineNext});
    underlineNext = false;
  }
  if (open) closeLine();
}

struct Clip
{
  int x0, y0, x1, y1;
  bool Empty() const { return x0 >= x1 || y0 >= y1; }
};

uint32_t ToPixel(COLORREF c) { return 0xFF000000u | ((uint32_t)GetRValue(c) << 16) | ((uint32_t)GetGValue(c) << 8) | GetBValue(c); }

void FillRect(HDC ctx, const Clip& clip, int x0, int y0, int x1, int y1, uint32_t pixel)
{
  x0 = std::max(x0, clip.x0);
  y0 = std::max(y0, clip.y0);
  x1 = std::min(x1, clip.x1);
  y1 = std::min(y1, clip.y1);
  for (int y = y0; y < y1; ++y)
  {
    uint32_t* row = ctx->pixels + (size_t)y * (size_t)ctx->rowSpan;
    for (int x = x0; x < x1; ++x) row[x] = pixel;
  }
}

void DrawGlyph(HDC ctx, const Clip& clip, const GdiEmu_Glyph& g, int x, int y, uint32_t color)
{
  const int gx0 = std::max(x, clip.x0), gy0 = std::max(y, clip.y0);
  const int gx1 = std::min(x + g.width, clip.x1), gy1 = std::min(y + g.rows, clip.y1);
#ifdef __SSE2__
  const __m128i colorLanes = _mm_unpacklo_epi8(_mm_cvtsi32_si128((int)(color | 0xFF000000u)), _mm_setzero_si128());
#endif
  for (int py = gy0; py < gy1; ++py)
  {
    const uint8_t* cov = g.coverage.data() + (size_t)(py - y) * (size_t)g.width - x;
    uint32_t* row = ctx->pixels + (size_t)py * (size_t)ctx->rowSpan;
    for (int px = gx0; px < gx1; ++px)
    {
      const unsigned k = cov[px];
      if (!k) continue;
#ifdef __SSE2__
      row[px] = k >= 255 ? color : GdiEmu_MixSSE2(row[px], colorLanes, k);
#else
      row[px] = GdiEmu_Mix(row[px], color, k);
#endif
    }
  }
}

}  // namespace

COLORREF SetTextColor(HDC ctx, COLORREF color)
{
  if (!ctx) return CLR_INVALID;
  const COLORREF prev = ctx->textColor;
  ctx->textColor = color & 0xFFFFFF;
  return prev;
}

COLORREF SetBkColor(HDC ctx, COLORREF color)
{
  if (!ctx) return CLR_INVALID;
  const COLORREF prev = ctx->bkColor;
  ctx->bkColor = color & 0xFFFFFF;
  return prev;
}

int SetBkMode(HDC ctx, int mode)
{
  if (!ctx || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  const int prev = ctx->bkMode;
  ctx->bkMode = mode;
  return prev;
}

namespace {

// Positions and extents are worked out in 64 bits and kept within +-2^24 pixels (far beyond
// any context), so the layout cannot overflow whatever rectangle or text length comes in.
constexpr long long kFar = 1 << 24;
int Clamp(long long v) { return (int)std::clamp(v, -kFar, kFar); }
LONG SaturatedAdd(LONG a, long long b) { return (LONG)std::clamp((long long)a + b, (long long)INT32_MIN, (long long)INT32_MAX); }

int DrawTextImpl(HDC ctx, const char* text, int len, RECT* rect, UINT format);

}  // namespace

int GdiEmu_DrawText(HDC ctx, const char* text, int len, RECT* rect, UINT format)
{
  if (!ctx || !rect || !ctx->font) return 0;
  return DrawTextImpl(ctx, text, len, rect, format);
}

namespace {

int DrawTextImpl(HDC ctx, const char* text, int len, RECT* rect, UINT format)
{
  if (!text) len = 0;

  std::vector<Char> chars;
  std::vector<Line> lines;
  if (len != 0) Layout(text, len, format, &chars, &lines);

  Util_MutexLock lock(GdiEmu_FontLock());
  const GdiEmu_Object* font = ctx->font;
  const int glyphFlags = (font->mono ? kGdiEmuGlyphMono : 0) | (font->synthBold ? kGdiEmuGlyphBold : 0) |
                         (font->synthItalic ? kGdiEmuGlyphItalic : 0);
  const int lineHeight = font->ascent + font->descent;

  int maxWidth = 0;
  for (Line& l : lines)
  {
    for (int i = l.begin; i < l.end; ++i)
      l.width = (int)std::min<long long>(kFar, (long long)l.width + GdiEmu_GetGlyph(font->face, chars[i].code, glyphFlags)->advance);
    maxWidth = std::max(maxWidth, l.width);
  }
  const int totalHeight = (int)std::min<long long>(kFar, (long long)lines.size() * lineHeight);

  if (format & DT_CALCRECT)
  {
    rect->right = SaturatedAdd(rect->left, maxWidth);
    rect->bottom = SaturatedAdd(rect->top, totalHeight);
    return totalHeight;
  }
  if (lines.empty()) return 0;

  const bool single = (format & DT_SINGLELINE) != 0;
  const long long left = rect->left, top = rect->top, right = rect->right, bottom = rect->bottom;
  long long y0 = top;
  if (single && (format & DT_VCENTER))
    y0 = top + (bottom - top - lineHeight) / 2;
  else if (single && (format & DT_BOTTOM))
    y0 = bottom - lineHeight;
  const int result = single && (format & (DT_VCENTER | DT_BOTTOM)) ? Clamp(y0 + lineHeight - top) : totalHeight;

  Clip clip = {0, 0, ctx->rowSpan, ctx->height};
  if (ctx->clip.active)
    clip = {std::max(clip.x0, (int)ctx->clip.rect.left), std::max(clip.y0, (int)ctx->clip.rect.top),
            std::min(clip.x1, (int)ctx->clip.rect.right), std::min(clip.y1, (int)ctx->clip.rect.bottom)};
  if (!(format & DT_NOCLIP))
    clip = {std::max(clip.x0, (int)rect->left), std::max(clip.y0, (int)rect->top), std::min(clip.x1, (int)rect->right),
            std::min(clip.y1, (int)rect->bottom)};
  if (clip.Empty()) return result;

  const uint32_t color = ToPixel(ctx->textColor);
  const uint32_t bk = ToPixel(ctx->bkColor);
  const int rule = std::max(1, lineHeight / 20);  // underline and strike-out thickness
  const int underlineY = std::min(font->ascent + 1 + lineHeight / 16, lineHeight - rule);
  const int strikeY = font->ascent - font->ascent * 3 / 10;

  for (size_t n = 0; n < lines.size(); ++n)
  {
    const Line& l = lines[n];
    const long long lineTop = y0 + (long long)n * lineHeight;
    if (lineTop >= clip.y1) break;                  // this line and all below are out of sight
    if (lineTop + lineHeight <= clip.y0) continue;  // above the clip
    const int y = (int)lineTop;
    long long lineLeft = left;
    if (format & DT_CENTER)
      lineLeft = left + (right - left - l.width) / 2;
    else if (format & DT_RIGHT)
      lineLeft = right - l.width;
    const int x = Clamp(lineLeft);

    if (ctx->bkMode == OPAQUE) FillRect(ctx, clip, x, y, x + l.width, y + lineHeight, bk);
    int pen = x;
    for (int i = l.begin; i < l.end; ++i)
    {
      const GdiEmu_Glyph* g = GdiEmu_GetGlyph(font->face, chars[i].code, glyphFlags);
      DrawGlyph(ctx, clip, *g, pen + g->left, y + font->ascent - g->top, color);
      if (chars[i].underline) FillRect(ctx, clip, pen, y + underlineY, pen + g->advance, y + underlineY + rule, color);
      pen += g->advance;
      if (pen >= clip.x1 + lineHeight) break;  // the rest of the line is out of sight
    }
    if (font->underline) FillRect(ctx, clip, x, y + underlineY, pen, y + underlineY + rule, color);
    if (font->strikeOut) FillRect(ctx, clip, x, y + strikeY, pen, y + strikeY + rule, color);
  }
  return result;
}
}  // namespace
#endif
