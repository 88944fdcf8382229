// Font objects: CreateFont, SelectObject, DeleteObject, GetTextMetrics.
#include "GdiEmu_Context.h"
#include "GdiEmu_Faces.h"

#ifndef _WIN32
#include "Util_CStr.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <new>
#include <unordered_set>

namespace {

// Every live font, so that a stale or foreign handle is refused instead of dereferenced.
// Not a static object, for the same reason as the face caches; freed with them.
std::unordered_set<GdiEmu_Object*>* g_liveFonts = nullptr;

std::unordered_set<GdiEmu_Object*>& LiveFonts()
{
  if (!g_liveFonts) g_liveFonts = new std::unordered_set<GdiEmu_Object*>;
  return *g_liveFonts;
}

bool IsLive(GdiEmu_Object* obj) { return obj && LiveFonts().count(obj) != 0; }

void FreeFont(GdiEmu_Object* font)
{
  LiveFonts().erase(font);
  GdiEmu_ReleaseFaceSize(font->face);
  delete font;
}

long RoundTo64(double v) { return (long)std::lround(v * 64.0); }

// Resolves a request to a face and size and fills the metrics, as Win32 sizes fonts:
// a positive height is the cell (usWinAscent + usWinDescent), a negative one the em.
bool Resolve(GdiEmu_Object* f)
{
  const bool wantBold = f->weight >= 600;
  const GdiEmu_FaceMatch* m = GdiEmu_MatchFace(f->faceName, wantBold, f->italic);
  if (!m) return false;

  const int cellUnits = m->winAscent + m->winDescent;
  int cell = f->height;
  double ppem;
  if (cell > 0)
    ppem = (double)cell * m->unitsPerEm / cellUnits;
  else
  {
    ppem = cell < 0 ? -(double)cell : 16.0 * m->unitsPerEm / cellUnits;
    cell = (int)std::lround(ppem * cellUnits / m->unitsPerEm);
  }
  if (ppem < 1.0) ppem = 1.0;
  if (ppem > 2048.0) ppem = 2048.0;  // beyond that nobody draws text; keeps FreeType sane
  if (cell < 1) cell = 1;
  if (cell > 4096) cell = 4096;

  double xppem = ppem;
  if (f->width > 0) xppem = (double)f->width * m->unitsPerEm / m->xAvgCharWidth;
  if (xppem < 1.0) xppem = 1.0;
  if (xppem > 2048.0) xppem = 2048.0;

  f->face = GdiEmu_OpenFaceSize(m, RoundTo64(xppem), RoundTo64(ppem));
  if (!f->face) return false;
  f->fallback = m->fallback;
  f->synthBold = wantBold && !m->isBold;
  f->synthItalic = f->italic && !m->isItalic;
  f->mono = f->quality == NONANTIALIASED_QUALITY;

  // The ascent is rounded and the descent takes the rest, so that tmHeight is exactly
  // the requested cell: text laid out by line height then matches what was asked for.
  f->ascent = (int)std::lround(ppem * m->winAscent / m->unitsPerEm);
  if (f->ascent > cell) f->ascent = cell;
  f->descent = cell - f->ascent;
  f->internalLeading = cell - (int)std::lround(ppem);
  if (f->internalLeading < 0) f->internalLeading = 0;
  f->aveCharWidth = (int)std::lround(xppem * m->xAvgCharWidth / m->unitsPerEm);
  f->maxCharWidth = (int)std::lround(xppem * m->maxAdvance / m->unitsPerEm);
  return true;
}

GdiEmu_Object* NewFont(int height, int width, int weight, bool italic, bool underline, bool strikeOut, int quality,
                       const char* faceName)
{
  GdiEmu_Object* f = new (std::nothrow) GdiEmu_Object;
  if (!f) return nullptr;
  f->height = height;
  f->width = width < 0 ? -width : width;
  f->weight = weight <= 0 ? FW_NORMAL : weight;
  f->italic = italic;
  f->underline = underline;
  f->strikeOut = strikeOut;
  f->quality = quality;
  Util_StrCopy(f->faceName, faceName);
  Util_MutexLock lock(GdiEmu_FontLock());
  if (!Resolve(f))
  {
    delete f;
    return nullptr;
  }
  LiveFonts().insert(f);
  return f;
}

}  // namespace

namespace {
// Made on first use; freed with the other live fonts by GdiEmu_ReleaseModuleState.
GdiEmu_Object* g_stockFont = nullptr;
bool g_stockFontTried = false;
}  // namespace

GdiEmu_Object* GdiEmu_StockFont()
{
  Util_MutexLock lock(GdiEmu_FontLock());
  if (!g_stockFontTried)
  {
    g_stockFontTried = true;
    // Win32's system font is 16 pixels tall; the default sans face stands in for it.
    g_stockFont = NewFont(16, 0, FW_NORMAL, false, false, false, DEFAULT_QUALITY, "");
    if (g_stockFont) g_stockFont->stock = true;
  }
  return g_stockFont;
}

void GdiEmu_ReleaseSelection(GdiEmu_Object* font)
{
  if (!font) return;
  Util_MutexLock lock(GdiEmu_FontLock());
  if (font->selectCount > 0) --font->selectCount;
  if (font->selectCount == 0 && font->deletePending && !font->stock) FreeFont(font);
}

HFONT CreateFont(int height, int width, int, int, int weight, DWORD italic, DWORD underline, DWORD strikeOut, DWORD,
                 DWORD, DWORD, DWORD quality, DWORD, const char* faceName)
{
  return NewFont(height, width, weight, italic != 0, underline != 0, strikeOut != 0, (int)quality, faceName);
}

HGDIOBJ SelectObject(HDC ctx, HGDIOBJ obj)
{
  if (!ctx) return nullptr;
  Util_MutexLock lock(GdiEmu_FontLock());
  if (!IsLive(obj) || obj->deletePending) return nullptr;
  GdiEmu_Object* prev = ctx->font;
  if (prev == obj) return prev;
  ++obj->selectCount;
  ctx->font = obj;
  // The caller gets the previous font back; it stays valid while the caller may still
  // select it again, unless DeleteObject was already called on it.
  GdiEmu_ReleaseSelection(prev);
  return IsLive(prev) ? prev : nullptr;
}

BOOL DeleteObject(HGDIOBJ obj)
{
  Util_MutexLock lock(GdiEmu_FontLock());
  if (!IsLive(obj)) return FALSE;
  if (obj->stock) return TRUE;
  if (obj->selectCount > 0)
    obj->deletePending = true;
  else
    FreeFont(obj);
  return TRUE;
}

BOOL GetTextMetrics(HDC ctx, TEXTMETRIC* tm)
{
  if (!ctx || !tm || !ctx->font) return FALSE;
  const GdiEmu_Object* f = ctx->font;
  *tm = TEXTMETRIC();
  tm->tmHeight = f->ascent + f->descent;
  tm->tmAscent = f->ascent;
  tm->tmDescent = f->descent;
  tm->tmInternalLeading = f->internalLeading;
  tm->tmExternalLeading = 0;
  tm->tmAveCharWidth = f->aveCharWidth;
  tm->tmMaxCharWidth = f->maxCharWidth;
  tm->tmWeight = f->weight;
  tm->tmDigitizedAspectX = 96;
  tm->tmDigitizedAspectY = 96;
  tm->tmFirstChar = 0x20;
  tm->tmLastChar = (char)0xFF;
  tm->tmDefaultChar = 0x1F;
  tm->tmBreakChar = 0x20;
  tm->tmItalic = f->italic ? 1 : 0;
  tm->tmUnderlined = f->underline ? 1 : 0;
  tm->tmStruckOut = f->strikeOut ? 1 : 0;
  tm->tmPitchAndFamily = 0x06;  // variable pitch, TrueType
  return TRUE;
}

bool GdiEmu_FontIsFallback(HFONT font)
{
  Util_MutexLock lock(GdiEmu_FontLock());
  return IsLive(font) && font->fallback;
}

bool GdiEmu_GetFontFamilyName(HFONT font, char* buf, int bufSize)
{
  Util_MutexLock lock(GdiEmu_FontLock());
  if (!IsLive(font) || !font->face || !font->face->match || !buf || bufSize <= 0) return false;
  Util_StrCopy(buf, font->face->match->family.c_str(), (size_t)bufSize);
  return true;
}
#endif

void GdiEmu_ReleaseModuleState()
{
  {
    Util_MutexLock lock(GdiEmu_FontLock());
    if (g_liveFonts)
    {
      // Fonts nobody deleted: their faces go with the caches below.
      for (GdiEmu_Object* font : *g_liveFonts) delete font;
      delete g_liveFonts;
      g_liveFonts = nullptr;
    }
    g_stockFont = nullptr;
    g_stockFontTried = false;
  }
  GdiEmu_ReleaseFaceCaches();
  GdiEmu_ReleaseFontLock();
}
