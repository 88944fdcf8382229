// Raster_CachedFont: the native text path, the glyph cache and the glyph text path.
#include "Raster_Font.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "Raster_Blit.h"
#include "Raster_BlitCommon.h"
#include "Raster_Fill.h"
#include "Raster_FontPlatform.h"
#include "Raster_GlyphRender.h"
#include "Raster_NativeTextAlpha.h"
#include "Util_Mutex.h"
#include "Util_Utf8.h"

namespace {

// Module-wide scratch bitmaps: glyphs are rendered through s_tempbitmap, and native text for
// bitmaps without a context is drawn in s_nativerender_tempbitmap. They live while any cached
// font does.
Raster_SysBitmap* s_tempbitmap = nullptr;
Raster_SysBitmap* s_nativerender_tempbitmap = nullptr;
int s_tempbitmap_refcnt = 0;

// Editors normally draw on one thread, but two plug-in instances may each create and draw
// fonts on their own; the shared scratch bitmaps and the count are therefore locked (glyph
// compositing itself touches only the font's own tables). Not a static object, so fonts held
// by static caches can still be destroyed at exit; Raster_ReleaseModuleState frees it.
Util_Mutex*& TempLockSlot()
{
  static Util_Mutex* lock = new Util_Mutex;
  return lock;
}

Util_Mutex& TempLock()
{
  Util_Mutex*& lock = TempLockSlot();
  if (!lock) lock = new Util_Mutex;
  return *lock;
}

constexpr int kEffectFlags = kRasterFont_Shadow | kRasterFont_Outline;
constexpr int kMonoFlags = kRasterFont_Mono | kEffectFlags;
// Flags under which the native path cannot reproduce what the glyph path would draw.
constexpr int kGlyphOnlyFlags = kRasterFont_Vertical | kRasterFont_BottomUp | kRasterFont_ASCIIOnly | kRasterFont_Blur |
                                kRasterFont_Invert | kMonoFlags;

// Makes sure s_tempbitmap exists and is at least size x size; a grown bitmap gets the context
// state glyph rendering relies on (white text, transparent background, black background).
void EnsureTempBitmap(int size)
{
  if (!s_tempbitmap) s_tempbitmap = new Raster_SysBitmap();
  const int w = s_tempbitmap->getWidth(), h = s_tempbitmap->getHeight();
  if (w >= size && h >= size) return;
  s_tempbitmap->resize(std::max(w, size), std::max(h, size));
  if (HDC dc = s_tempbitmap->getDC())
  {
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, RGB(0, 0, 0));
  }
}

// Next character of the string at *pos; false at the length or at a NUL.
inline bool NextChar(const char* str, int strcnt, int* pos, int* code)
{
  const int p = *pos;
  if ((strcnt >= 0 && p >= strcnt) || !str[p]) return false;
  // NUL-terminated text: a NUL stops a sequence as any non-continuation byte does.
  const int avail = strcnt < 0 ? 4 : std::min(4, strcnt - p);
  *pos = p + Raster_DecodeUTF8(str + p, avail, code);
  return true;
}

// The rows native text may touch: measured in dc (the font selected) from the top of its first
// line to the bottom of its last, where the format places it (a single line at the bottom or in
// the middle of the rectangle, and the top in any case), widened by the glyphs' overhang.
void NativeTextRows(HDC dc, const char* str, int strcnt, const RECT& rect, UINT fmt, int overhang, int* top, int* bottom)
{
#ifdef DT_WORDBREAK
  constexpr UINT kLineFlags = DT_SINGLELINE | DT_WORDBREAK;  // what decides the number of lines
#else
  constexpr UINT kLineFlags = DT_SINGLELINE;
#endif
  RECT m = {0, 0, (LONG)std::clamp((long long)rect.right - rect.left, 0LL, (long long)INT32_MAX), 0};
  Raster_PlatformDrawText(dc, str, strcnt, &m, (fmt & kLineFlags) | DT_CALCRECT | DT_NOPREFIX);
  const long long th = std::max<long long>(0, (long long)m.bottom - m.top);
  long long t = rect.top, b = t + th;
  if (fmt & (DT_BOTTOM | DT_VCENTER))
  {
    const long long placed = (fmt & DT_BOTTOM) ? (long long)rect.bottom - th : rect.top + ((long long)rect.bottom - rect.top - th) / 2;
    t = std::min(t, placed);
    b = std::max(b, placed + th);
  }
  *top = (int)std::clamp(t - overhang, (long long)INT_MIN, (long long)INT_MAX);
  *bottom = (int)std::clamp(b + overhang, (long long)INT_MIN, (long long)INT_MAX);
}

struct ClipBox
{
  int l, t, r, b;
  bool Empty() const { return l >= r || t >= b; }
};

ClipBox Intersect(const ClipBox& a, const ClipBox& b)
{
  return {std::max(a.l, b.l), std::max(a.t, b.t), std::min(a.r, b.r), std::min(a.b, b.b)};
}

// Positions are worked out in 64 bits and kept within +-2^24 pixels (far beyond any bitmap),
// so that no rectangle or text length can overflow the pen arithmetic.
constexpr long long kFar = 1 << 24;
int ClampCoord(long long v) { return (int)std::clamp(v, -kFar, kFar); }
LONG SaturatedAdd(LONG a, long long b) { return (LONG)std::clamp((long long)a + b, (long long)INT32_MIN, (long long)INT32_MAX); }

}  // namespace

int Raster_DecodeUTF8(const char* str, int avail, int* code)
{
  uint32_t full;
  const int n = Util_DecodeUtf8(str, avail, &full);
  *code = Util_Utf8Bmp(full);  // glyph codes are 16 bits: four-byte characters show as a space
  return n;
}

// ---------------------------------------------------------------------------------------------
// Life cycle and settings

Raster_CachedFont::Raster_CachedFont()
{
  std::memset(mLowChars, 0, sizeof(mLowChars));
  Util_MutexLock lock(TempLock());
  ++s_tempbitmap_refcnt;
}

Raster_CachedFont::~Raster_CachedFont()
{
  if ((mFlags & kRasterFont_OwnsFont) && mFont) DeleteObject(mFont);
  Util_MutexLock lock(TempLock());
  if (--s_tempbitmap_refcnt == 0)
  {
    delete s_tempbitmap;
    s_tempbitmap = nullptr;
    delete s_nativerender_tempbitmap;
    s_nativerender_tempbitmap = nullptr;
  }
}

void Raster_CachedFont::SetFromHFont(HFONT font, int flags)
{
  // The font's lock first, then the module-wide one (the order every path takes).
  Util_MutexLock fontLock(mLock);
  Util_MutexLock lock(TempLock());
  if ((mFlags & kRasterFont_OwnsFont) && mFont && mFont != font) DeleteObject(mFont);
  mFlags = flags;
  mFont = font;
  if (font)
  {
    EnsureTempBitmap(256);
    if (HDC dc = s_tempbitmap->getDC())
    {
      HGDIOBJ old = SelectObject(dc, font);
      TEXTMETRIC tm;
      if (GetTextMetrics(dc, &tm)) mLineHeight = tm.tmHeight;
      SelectObject(dc, old);
    }
  }
  std::memset(mLowChars, 0, sizeof(mLowChars));
  mExtraChars.Resize(0);
  mGlyphStore.Resize(0);
  if (flags & kRasterFont_ASCIIOnly)
    for (int c = 0; c < 128; ++c) RenderGlyph(c);
}

uint32_t Raster_CachedFont::SetTextColor(uint32_t color)
{
  Util_MutexLock lock(mLock);
  const uint32_t prev = mTextColor;
  mTextColor = color;
  return prev;
}

uint32_t Raster_CachedFont::SetBkColor(uint32_t color)
{
  Util_MutexLock lock(mLock);
  const uint32_t prev = mBkColor;
  mBkColor = color;
  return prev;
}

uint32_t Raster_CachedFont::SetEffectColor(uint32_t color)
{
  Util_MutexLock lock(mLock);
  const uint32_t prev = mEffectColor;
  mEffectColor = color;
  return prev;
}

int Raster_CachedFont::SetBkMode(int mode)
{
  Util_MutexLock lock(mLock);
  const int prev = mBkMode;
  mBkMode = mode;
  return prev;
}

void Raster_CachedFont::SetCombineMode(int mode, float weight)
{
  Util_MutexLock lock(mLock);
  mCombineMode = mode;
  mCombineWeight = weight;
}

uint32_t Raster_CachedFont::GetTextColor()
{
  Util_MutexLock lock(mLock);
  return mTextColor;
}

HFONT Raster_CachedFont::GetHFont()
{
  Util_MutexLock lock(mLock);
  return mFont;
}

int Raster_CachedFont::GetLineHeight()
{
  Util_MutexLock lock(mLock);
  return mLineHeight;
}

void Raster_CachedFont::SetLineSpacingAdjust(int adjust)
{
  Util_MutexLock lock(mLock);
  mLineSpacingAdjust = adjust;
}

int Raster_CachedFont::GetLineSpacingAdjust() const
{
  Util_MutexLock lock(mLock);
  return mLineSpacingAdjust;
}

int Raster_CachedFont::GetFlags() const
{
  Util_MutexLock lock(mLock);
  return mFlags;
}

// ---------------------------------------------------------------------------------------------
// The glyph cache

const Raster_CachedFont::charEnt* Raster_CachedFont::FindGlyph(int code) const
{
  Util_MutexLock lock(mLock);
  return const_cast<Raster_CachedFont*>(this)->FindGlyphEntry(code);
}

bool Raster_CachedFont::FindGlyph(int code, charEnt* out) const
{
  Util_MutexLock lock(mLock);
  const charEnt* e = const_cast<Raster_CachedFont*>(this)->FindGlyphEntry(code);
  if (!e || !out) return e != nullptr;
  *out = *e;
  return true;
}

Raster_CachedFont::charEnt* Raster_CachedFont::FindGlyphEntry(int code)
{
  if (code < 0) return nullptr;
  if (code < 128) return &mLowChars[code];
  charEnt* list = mExtraChars.Get();
  int lo = 0, hi = mExtraChars.GetSize();
  while (lo < hi)
  {
    const int mid = (lo + hi) / 2;
    if (list[mid].charid == code) return &list[mid];
    if (list[mid].charid < code)
      lo = mid + 1;
    else
      hi = mid;
  }
  return nullptr;
}

bool Raster_CachedFont::RenderGlyph(int code)
{
  if (!mFont || mLineHeight > 1023 || code < 0 || code > 0xFFFF) return false;
  Util_MutexLock lock(TempLock());

  // The entry; a new extra entry goes in at its sorted place (the list stays sorted by code).
  int extraIndex = -1;
  if (code >= 128)
  {
    if (!FindGlyphEntry(code))
    {
      if (mFlags & kRasterFont_ASCIIOnly) return false;
      const charEnt fresh = {0, 0, 0, 0, code, 0};
      const charEnt* list = mExtraChars.Get();
      const int n = mExtraChars.GetSize();
      int at = (int)(std::lower_bound(list, list + n, code, [](const charEnt& e, int c) { return e.charid < c; }) - list);
      if (!mExtraChars.Insert(at, fresh)) return false;
    }
    extraIndex = (int)(FindGlyphEntry(code) - mExtraChars.Get());
  }
  auto entry = [&]() -> charEnt* { return extraIndex >= 0 ? mExtraChars.Get() + extraIndex : &mLowChars[code]; };

  EnsureTempBitmap(2 * std::max(mLineHeight, 1) + 8);
  Raster_IBitmap* tb = s_tempbitmap;
  HDC dc = s_tempbitmap->getDC();
  uint32_t* bits = tb->getBits();
  if (!dc || !bits) return false;
  HGDIOBJ oldFont = SelectObject(dc, mFont);

  const int m = mLineHeight < 16 ? 2 : mLineHeight / 16 + 2;
  char utf8[4];
  const int n = Util_EncodeUtf8((uint32_t)code, utf8);
  RECT r = {0, 0, 0, 0};
  Raster_PlatformDrawText(dc, utf8, n, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  const int advance = std::max(0, (int)(r.right - r.left));
  const int aw = std::min(advance + 2 * m, tb->getWidth());
  const int ah = std::min(std::max(0, (int)(r.bottom - r.top)), tb->getHeight());
  charEnt* e = entry();
  e->advance = advance;
  if (aw <= 0 || ah <= 0)
  {
    e->base_offset = -1;
    SelectObject(dc, oldFont);
    return true;
  }

  Raster_FillRect(tb, 0, 0, aw, ah, 0xFF000000, 1.0f, 0);
  RECT dr = {m, 0, m + advance, ah};
  Raster_PlatformDrawText(dc, utf8, n, &dr, DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
  Raster_PlatformFlush();
  SelectObject(dc, oldFont);
  if (mFlags & kRasterFont_Blur) Raster_Blur(tb, tb, 0, 0, 0, 0, aw, ah);

  // Coverage (the red byte) of the whole area, and the span of columns with any ink.
  const int oldSize = mGlyphStore.GetSize();
  uint8_t* store = (uint8_t*)mGlyphStore.Resize(oldSize + aw * ah, false);
  if (!store) return false;  // stays unrendered; a later draw tries again
  uint8_t* cov = store + oldSize;
  const bool invert = (mFlags & kRasterFont_Invert) != 0;
  int first = aw, last = -1;
  for (int y = 0; y < ah; ++y)
  {
    const uint32_t* row = Raster_Row(tb, bits, y);
    uint8_t* out = cov + y * aw;
    for (int x = 0; x < aw; ++x)
    {
      uint8_t k = (uint8_t)(row[x] >> 16);
      if (invert) k = (uint8_t)(255 - k);
      out[x] = k;
      if (k)
      {
        first = std::min(first, x);
        last = std::max(last, x);
      }
    }
  }
  // Effects draw next to the ink: keep a column either side for them where the area has one.
  if (last >= 0 && (mFlags & kEffectFlags))
  {
    first = std::max(0, first - 1);
    last = std::min(aw - 1, last + 1);
  }
  const int w = last >= first ? last - first + 1 : 0;
  for (int y = 0; y < ah; ++y) std::memmove(cov + y * w, cov + y * aw + first, (size_t)w);
  mGlyphStore.Resize(oldSize + w * ah, false);
  store = (uint8_t*)mGlyphStore.Get();
  cov = store ? store + oldSize : nullptr;

  int gw = w, gh = ah;
  if (cov && (mFlags & kMonoFlags))
  {
    for (int i = 0; i < w * ah; ++i) cov[i] = cov[i] > 130 ? 255 : 0;
    if (mFlags & kRasterFont_Shadow)
    {
      for (int y = gh - 1; y >= 0; --y)
        for (int x = gw - 1; x >= 0; --x)
          if (!cov[y * gw + x] && ((x > 0 && cov[y * gw + x - 1] == 255) || (y > 0 && cov[(y - 1) * gw + x] == 255)))
            cov[y * gw + x] = 128;
    }
    else if (mFlags & kRasterFont_Outline)
    {
      for (int y = 0; y < gh; ++y)
        for (int x = 0; x < gw; ++x)
        {
          uint8_t* p = cov + y * gw + x;
          if (*p) continue;
          if ((x > 0 && p[-1] == 255) || (x + 1 < gw && p[1] == 255) || (y > 0 && p[-gw] == 255) ||
              (y + 1 < gh && p[gw] == 255))
            *p = 128;
        }
    }
  }
  if (cov && (mFlags & kRasterFont_Vertical) && w > 0)
  {
    // Rotate by 90 degrees: clockwise for top-down text, counter-clockwise for bottom-up.
    Util_HeapBuf tmp(4096);
    uint8_t* rot = (uint8_t*)tmp.Resize(w * ah);
    if (rot)
    {
      const bool up = (mFlags & kRasterFont_BottomUp) != 0;
      for (int y = 0; y < ah; ++y)
        for (int x = 0; x < w; ++x)
        {
          const int ny = up ? w - 1 - x : x, nx = up ? y : ah - 1 - y;
          rot[ny * ah + nx] = cov[y * w + x];
        }
      std::memcpy(cov, rot, (size_t)(w * ah));
      gw = ah;
      gh = w;
    }
  }

  e = entry();
  e->base_offset = oldSize + 1;
  e->width = gw;
  e->height = gh;
  e->left_extra = w > 0 ? m - first : 0;
  return true;
}

Raster_CachedFont::charEnt* Raster_CachedFont::GlyphForDrawing(int code)
{
  charEnt* e = FindGlyphEntry(code);
  if (!e || e->base_offset == 0)
  {
    RenderGlyph(code);
    e = FindGlyphEntry(code);
  }
  return e && e->base_offset > 0 ? e : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Drawing

bool Raster_CachedFont::TakesNativePath(UINT dtFlags) const
{
  Util_MutexLock lock(mLock);
  if (!mFont || (RunsUnderWine() && !NativePathUnderWine())) return false;
  if (mLineHeight > 255) return true;  // glyphs that large are not worth caching
  return (mFlags & kRasterFont_PreferNative) && !(mFlags & kGlyphOnlyFlags) && !(dtFlags & kRasterText_UseTextAlpha) &&
         ((dtFlags & DT_SINGLELINE) || mLineSpacingAdjust == 0);
}

int Raster_CachedFont::DrawTextInColor(Raster_IBitmap* bm, const char* str, int strcnt, RECT* rect, UINT dtFlags,
                                       uint32_t color)
{
  Util_MutexLock lock(mLock);
  const uint32_t saved = mTextColor;
  mTextColor = color;
  const int ret = DrawText(bm, str, strcnt, rect, dtFlags);
  mTextColor = saved;
  return ret;
}

int Raster_CachedFont::DrawText(Raster_IBitmap* bm, const char* str, int strcnt, RECT* rect, UINT dtFlags)
{
  Util_MutexLock lock(mLock);
  dtFlags &= 0x7FFFFFFFu;
  if (!rect || (!bm && !(dtFlags & DT_CALCRECT))) return 0;
  if (!str) str = "";
  if (TakesNativePath(dtFlags)) return DrawTextNative(bm, str, strcnt, rect, dtFlags);
  if (dtFlags & DT_CALCRECT) return MeasureGlyphs(str, strcnt, rect, dtFlags);
  return DrawGlyphs(bm, str, strcnt, rect, dtFlags);
}

void Raster_CachedFont::PrepareNativeContext(HDC dc)
{
  ::SetTextColor(dc, Raster_PixelToColorRef(mTextColor));
  // Only the platform's opaque value paints a background; the font's initial mode 0 (and any
  // other value) means transparent, also where the platform numbers its modes differently.
  ::SetBkMode(dc, mBkMode == OPAQUE ? OPAQUE : TRANSPARENT);
  if (mBkMode == OPAQUE) ::SetBkColor(dc, Raster_PixelToColorRef(mBkColor));
}

int Raster_CachedFont::DrawTextNative(Raster_IBitmap* bm, const char* str, int strcnt, RECT* rect, UINT dtFlags)
{
  const UINT fmt = dtFlags & ~(UINT)kRasterText_UseTextAlpha;
  // Glyphs may overhang the advances on either side (italics, 'j', bold capitals) and the cell
  // above and below: a few pixels more than the measured box.
  const int overhang = std::max(2, mLineHeight / 16 + 2);
  if (HDC dc = bm ? bm->getDC() : nullptr)
  {
    HGDIOBJ old = SelectObject(dc, mFont);
    PrepareNativeContext(dc);
    Raster_NativeTextAlpha opaque;
    if (kRaster_PlatformTextClearsAlpha && !(fmt & DT_CALCRECT))
    {
      int top = 0, bottom = 0;
      NativeTextRows(dc, str, strcnt, *rect, fmt, overhang, &top, &bottom);
      opaque.Begin(bm, top, bottom);
    }
    RECT r = *rect;
    const int ret = Raster_PlatformDrawText(dc, str, strcnt, &r, fmt | DT_NOPREFIX);
    if (fmt & DT_CALCRECT) *rect = r;
    SelectObject(dc, old);
    Raster_PlatformFlush();
    opaque.End();
    return ret;
  }

  // No context: measure, draw into a copy of the affected area, and blend that back.
  Util_MutexLock lock(TempLock());
  HDC mdc = s_tempbitmap ? s_tempbitmap->getDC() : nullptr;
  if (!mdc) return 0;
  HGDIOBJ old = SelectObject(mdc, mFont);
  RECT mr = {0, 0, 0, 0};
  int ret = Raster_PlatformDrawText(mdc, str, strcnt, &mr, (fmt & DT_SINGLELINE) | DT_CALCRECT | DT_NOPREFIX);
  SelectObject(mdc, old);
  const int tw = mr.right - mr.left, th = mr.bottom - mr.top;
  if (fmt & DT_CALCRECT)
  {
    rect->right = SaturatedAdd(rect->left, tw);
    rect->bottom = SaturatedAdd(rect->top, th);
    return ret;
  }
  if (!Raster_Usable(bm)) return ret;

  const long long left = rect->left, top = rect->top, right = rect->right, bottom = rect->bottom;
  long long px = left, py = top;
  if (fmt & DT_RIGHT)
    px = right - tw;
  else if (fmt & DT_CENTER)
    px = left + (right - left - tw) / 2;
  if (fmt & DT_BOTTOM)
    py = bottom - th;
  else if (fmt & DT_VCENTER)
    py = top + (bottom - top - th) / 2;
  const int x = ClampCoord(px), y = ClampCoord(py);
  // As the platform reports it: single-line text placed at the bottom or centre gives the
  // offset from the rectangle's top to the text's bottom, other text its height.
  if ((fmt & DT_SINGLELINE) && (fmt & (DT_VCENTER | DT_BOTTOM))) ret = ClampCoord(py + th - top);

  // Take a few columns more than the measured box for the overhang, as far as the bitmap (and
  // the clip) allow.
  const ClipBox bitmap = {0, 0, bm->getWidth(), bm->getHeight()};
  ClipBox area = Intersect({x, y, x + tw, y + th}, bitmap);
  if (!(fmt & DT_NOCLIP)) area = Intersect(area, {rect->left, rect->top, rect->right, rect->bottom});
  if (area.Empty()) return ret;
  const bool noClip = (fmt & DT_NOCLIP) != 0;
  const int leftLimit = noClip ? bitmap.l : std::max(bitmap.l, (int)rect->left);
  const int rightLimit = noClip ? bitmap.r : std::min(bitmap.r, (int)rect->right);
  area.l = std::max(leftLimit, area.l - overhang);
  area.r = std::min(rightLimit, std::max(area.r, x + tw + overhang));
  const int aw = area.r - area.l, ah = area.b - area.t;

  if (!s_nativerender_tempbitmap) s_nativerender_tempbitmap = new Raster_SysBitmap();
  Raster_SysBitmap* tmp = s_nativerender_tempbitmap;
  if (tmp->getWidth() < aw || tmp->getHeight() < ah)
    tmp->resize(std::max(tmp->getWidth(), aw), std::max(tmp->getHeight(), ah));
  HDC tdc = tmp->getDC();
  if (!tdc || tmp->getWidth() < aw || tmp->getHeight() < ah) return ret;
  Raster_Blit(tmp, bm, 0, 0, area.l, area.t, aw, ah, 1.0f, 0);
  // The copy is blended back with the font's mode, which may weigh by source alpha: the text
  // must be opaque in it.
  Raster_NativeTextAlpha opaque;
  opaque.Begin(tmp, 0, ah);
  old = SelectObject(tdc, mFont);
  PrepareNativeContext(tdc);
  RECT tr = {x - area.l, y - area.t, x - area.l + tw, y - area.t + th};
  Raster_PlatformDrawText(tdc, str, strcnt, &tr, (fmt & (DT_CENTER | DT_RIGHT | DT_SINGLELINE)) | DT_NOPREFIX | DT_NOCLIP);
  SelectObject(tdc, old);
  Raster_PlatformFlush();
  opaque.End();
  Raster_Blit(bm, tmp, area.l, area.t, 0, 0, aw, ah, mCombineWeight, mCombineMode);
  return ret;
}

int Raster_CachedFont::MeasureGlyphs(const char* str, int strcnt, RECT* rect, UINT dtFlags)
{
  const bool vertical = (mFlags & kRasterFont_Vertical) != 0;
  const bool single = (dtFlags & DT_SINGLELINE) != 0;
  const int lineStep = mLineHeight + mLineSpacingAdjust;
  int pen = 0, line = 0;     // along the text and across the lines
  int extent = 0, depth = 0;  // reached along the text and across the lines
  int pos = 0, code = 0;
  while (NextChar(str, strcnt, &pos, &code))
  {
    if (code == '\r') continue;
    if (code == '\n')
    {
      if (!single)
      {
        pen = 0;
        line = ClampCoord((long long)line + lineStep);
        continue;
      }
      code = ' ';
    }
    const charEnt* e = GlyphForDrawing(code);
    if (!e) continue;
    const int along = vertical ? e->height : e->width, across = vertical ? e->width : e->height;
    extent = std::max({extent, pen + e->advance, pen + along - e->left_extra});
    depth = std::max(depth, line + across);
    pen = ClampCoord((long long)pen + e->advance);
  }
  const int w = vertical ? depth : extent, h = vertical ? extent : depth;
  rect->right = SaturatedAdd(rect->left, w);
  rect->bottom = SaturatedAdd(rect->top, h);
  return h;
}

int Raster_CachedFont::DrawGlyphs(Raster_IBitmap* bm, const char* str, int strcnt, RECT* rect, UINT dtFlags)
{
  if (!Raster_Usable(bm)) return 0;
  const float savedWeight = mCombineWeight;
  if (dtFlags & kRasterText_UseTextAlpha) mCombineWeight *= (float)(mTextColor >> 24) / 255.0f;
  if (Raster_WeightToInt(mCombineWeight) == 0)
  {
    mCombineWeight = savedWeight;
    return 0;
  }

  const bool vertical = (mFlags & kRasterFont_Vertical) != 0;
  const bool bottomUp = vertical && (mFlags & kRasterFont_BottomUp);
  const bool single = (dtFlags & DT_SINGLELINE) != 0;
  const long long left = rect->left, top = rect->top, right = rect->right, bottom = rect->bottom;
  long long px = left, py = top;
  int textH = 0;
  if ((dtFlags & (DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM)) || bottomUp)
  {
    RECT m = {0, 0, 0, 0};
    MeasureGlyphs(str, strcnt, &m, dtFlags & DT_SINGLELINE);
    const int tw = m.right, th = m.bottom;
    textH = th;
    if (dtFlags & DT_CENTER)
      px = left + (right - left - tw) / 2;
    else if (dtFlags & DT_RIGHT)
      px = right - tw;
    if (dtFlags & DT_VCENTER)
      py = top + (bottom - top - th) / 2;
    else if (dtFlags & DT_BOTTOM)
      py = bottom - th;
  }
  const int x = ClampCoord(px), y = ClampCoord(py);
  ClipBox clip = {0, 0, bm->getWidth(), bm->getHeight()};
  if (!(dtFlags & DT_NOCLIP)) clip = Intersect(clip, {rect->left, rect->top, rect->right, rect->bottom});
  if (clip.Empty())
  {
    mCombineWeight = savedWeight;
    return 0;
  }
  const RECT clipR = {clip.l, clip.t, clip.r, clip.b};

  const int lineStep = mLineHeight + mLineSpacingAdjust;
  int pen = 0, line = 0;
  int lowest = y;
  int pos = 0, code = 0;
  while (NextChar(str, strcnt, &pos, &code))
  {
    if (code == '\r') continue;
    if (code == '\n')
    {
      if (!single)
      {
        pen = 0;
        line = ClampCoord((long long)line + lineStep);
        continue;
      }
      code = ' ';
    }
    const charEnt* e = GlyphForDrawing(code);
    if (!e) continue;
    int gx, gy, bottom;
    if (!vertical)
    {
      gx = x + pen;
      gy = y + line;
      bottom = gy + e->height;
    }
    else if (!bottomUp)
    {
      gx = x + line;
      gy = y + pen;
      bottom = gy - e->left_extra + e->height;
    }
    else
    {
      gx = x + line;
      gy = y + textH - pen;  // the pen runs upwards from the bottom of the text
      bottom = gy + e->left_extra;
    }
    if (DrawGlyph(bm, (unsigned short)code, gx, gy, &clipR)) lowest = std::max(lowest, bottom);
    pen = ClampCoord((long long)pen + e->advance);
  }
  mCombineWeight = savedWeight;
  return lowest - y;
}

bool Raster_CachedFont::DrawGlyph(Raster_IBitmap* bm, unsigned short c, int xpos, int ypos, const RECT* clipR)
{
  if (!Raster_Usable(bm)) return false;
  Util_MutexLock lock(mLock);
  const charEnt* e = FindGlyphEntry(c);
  if (!e || e->base_offset <= 0 || e->width <= 0 || e->height <= 0) return false;
  const uint8_t* store = (const uint8_t*)mGlyphStore.Get();
  if (!store || e->base_offset - 1 + e->width * e->height > mGlyphStore.GetSize()) return false;

  int mx = xpos, my = ypos;
  if (!(mFlags & kRasterFont_Vertical))
    mx -= e->left_extra;
  else if (!(mFlags & kRasterFont_BottomUp))
    my -= e->left_extra;
  else
    my -= e->height - e->left_extra;  // rotated counter-clockwise: the pen sits below the glyph
  ClipBox box = Intersect({mx, my, mx + e->width, my + e->height}, {0, 0, bm->getWidth(), bm->getHeight()});
  if (clipR) box = Intersect(box, {clipR->left, clipR->top, clipR->right, clipR->bottom});
  if (box.Empty()) return false;

  const int op = mCombineMode & kRasterOp_Mask;
  if (mBkMode == OPAQUE)
    Raster_FillRect(bm, box.l, box.t, box.r - box.l, box.b - box.t, mBkColor, mCombineWeight,
                    mCombineMode & ~kRasterMode_SourceAlpha);

  uint32_t* bits = bm->getBits();
  Raster_GlyphSpan span;
  span.dest = Raster_Row(bm, bits, box.t) + box.l;
  span.destStep = Raster_RowStep(bm);
  span.mask = store + (e->base_offset - 1) + (box.t - my) * e->width + (box.l - mx);
  span.maskStep = e->width;
  span.width = box.r - box.l;
  span.height = box.b - box.t;

  int w = Raster_WeightToInt(mCombineWeight);
  if (w <= 0) return true;
  if (mFlags & kEffectFlags)
  {
    const uint32_t color = mTextColor, effect = mEffectColor;
    Raster_DispatchGlyphCombine(op, [&]<class C>() { GlyphRenderer::Effect<C>::Render(span, color, effect, w); });
  }
  else if (mFlags & kRasterFont_Mono)
  {
    const uint32_t color = mTextColor;
    Raster_DispatchGlyphCombine(op, [&]<class C>() { GlyphRenderer::Mono<C>::Render(span, color, w); });
  }
  else
  {
    const uint32_t color = mTextColor;
    Raster_DispatchGlyphCombine(op, [&]<class C>() { GlyphRenderer::Normal<C>::Render(span, color, w); });
  }
  return true;
}

void Raster_ReleaseModuleState()
{
  {
    Util_MutexLock lock(TempLock());
    delete s_tempbitmap;
    s_tempbitmap = nullptr;
    delete s_nativerender_tempbitmap;
    s_nativerender_tempbitmap = nullptr;
    s_tempbitmap_refcnt = 0;
  }
  Util_Mutex*& lock = TempLockSlot();
  delete lock;
  lock = nullptr;
#ifndef _WIN32
  GdiEmu_ReleaseModuleState();
#endif
}
