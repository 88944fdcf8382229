// Raster_Font.h - glyph-cached fonts: UTF-8 text into raster bitmaps.
//
// A cached font draws in one of two ways. The native way hands the string to the platform's
// text output (Windows GDI, elsewhere the GDI emulation layer) on the bitmap's device
// context; that is what opaque editor text uses. The glyph way renders every character once
// through the platform into an 8-bit coverage mask, keeps the masks, and composites them with
// the combine modes of Raster_Combine.h; translucent text, effect fonts and Windows under
// Wine (whose GDI text differs from Windows') take it.
//
// Note for Windows code: <windows.h> defines DrawText as a macro; this header removes it so
// that the font's DrawText keeps its name. Call DrawTextA/DrawTextW explicitly instead.
#pragma once

#include <cstdint>

#include "GdiEmu.h"
#include "Raster_Bitmap.h"
#include "Util_HeapBuf.h"
#include "Util_Mutex.h"
#include "Util_TypedBuf.h"

#ifdef DrawText
#undef DrawText
#endif

// Cached font flags (SetFromHFont).
enum
{
  kRasterFont_Vertical = 0x1,         // glyphs rotated, lines advance along y
  kRasterFont_BottomUp = 0x2,         // with kRasterFont_Vertical: text runs bottom-up
  kRasterFont_ASCIIOnly = 0x4,        // render codes 0-127 when the font is set, never others
  kRasterFont_Blur = 0x10,            // blur each glyph once after rendering
  kRasterFont_Invert = 0x20,          // invert the coverage
  kRasterFont_Mono = 0x40,            // coverage above 130 becomes 255, the rest 0
  kRasterFont_Shadow = 0x80,          // shadow effect (implies mono)
  kRasterFont_Outline = 0x100,        // outline effect (implies mono)
  kRasterFont_OwnsFont = 0x200,       // the font deletes its platform font
  kRasterFont_PreferNative = 0x400,   // draw through the platform where the bitmap allows
};

// Extra DrawText format bit: multiply the combine weight by the text colour's alpha / 255 for
// this call (translucent text).
enum
{
  kRasterText_UseTextAlpha = 0x40000000
};

// Decodes one character of UTF-8 from s (at most avail bytes, avail >= 1) under the policy of
// Util_DecodeUtf8, as a 16-bit glyph code: four-byte characters give a space (the glyph cache
// holds 16-bit codes only). Stores the code and returns the number of bytes used (1 to 4).
int Raster_DecodeUTF8(const char* s, int avail, int* code);

// Frees what the cached fonts and the text layer keep for the life of the module (scratch
// bitmaps, locks, faces). For a plug-in module's unload, after every font is gone: a host may
// load and unload the module many times in one process.
void Raster_ReleaseModuleState();

// Abstract font. The order of the virtual operations is part of the binary interface.
class Raster_IFont
{
public:
  virtual ~Raster_IFont() {}
  virtual void SetFromHFont(HFONT font, int flags = 0) = 0;
  virtual uint32_t SetTextColor(uint32_t color) = 0;    // returns the previous colour
  virtual uint32_t SetBkColor(uint32_t color) = 0;      // returns the previous colour
  virtual uint32_t SetEffectColor(uint32_t color) = 0;  // returns the previous colour
  virtual int SetBkMode(int mode) = 0;                  // TRANSPARENT or OPAQUE; returns the previous mode
  virtual void SetCombineMode(int mode, float weight = 1.0f) = 0;
  // Draws (or with DT_CALCRECT measures) strcnt bytes of UTF-8 (-1: up to the NUL) in rect.
  // Returns the text height; 0 when nothing could be drawn.
  virtual int DrawText(Raster_IBitmap* bm, const char* str, int strcnt, RECT* rect, UINT dtFlags) = 0;
  virtual uint32_t GetTextColor() = 0;
  virtual HFONT GetHFont() = 0;
  virtual int GetLineHeight() = 0;
};

// A cached font may be shared by several editors that draw on different threads (the module-
// wide font cache hands the same font to all of them). Every operation takes the font's own
// lock, so its glyph store, colours, mode and weight are never touched by two threads at once.
// A colour set by one editor can still be replaced by another before the first one draws: a
// draw that depends on a colour or mode set just before uses DrawTextInColor, or holds
// GetLock() across the setters and the DrawText call.
class Raster_CachedFont : public Raster_IFont
{
public:
  // One glyph: where its mask lives and how it sits against the pen.
  struct charEnt
  {
    int base_offset;  // position in the glyph store + 1; 0 = not rendered yet; -1 = no glyph
    int width, height;
    int advance;
    int charid;      // the character code (the extra list is sorted by it)
    int left_extra;  // pixels the mask extends left of the pen
  };

  Raster_CachedFont();
  ~Raster_CachedFont() override;
  Raster_CachedFont(const Raster_CachedFont&) = delete;
  Raster_CachedFont& operator=(const Raster_CachedFont&) = delete;

  void SetFromHFont(HFONT font, int flags = 0) override;
  uint32_t SetTextColor(uint32_t color) override;
  uint32_t SetBkColor(uint32_t color) override;
  uint32_t SetEffectColor(uint32_t color) override;
  int SetBkMode(int mode) override;
  void SetCombineMode(int mode, float weight = 1.0f) override;
  int DrawText(Raster_IBitmap* bm, const char* str, int strcnt, RECT* rect, UINT dtFlags) override;
  uint32_t GetTextColor() override;
  HFONT GetHFont() override;
  int GetLineHeight() override;

  // DrawText in the given colour (alpha included, for kRasterText_UseTextAlpha), with the
  // font's colour set and restored under the font's lock: safe against other threads setting
  // their own colour on the same font.
  int DrawTextInColor(Raster_IBitmap* bm, const char* str, int strcnt, RECT* rect, UINT dtFlags, uint32_t color);

  // The font's lock (recursive), for callers that must keep several calls together.
  Util_Mutex& GetLock() const { return mLock; }

  // Composites the cached mask of code c with its pen at (xpos, ypos), clipped to clipR.
  // False when the glyph is not cached or nothing of it is visible.
  virtual bool DrawGlyph(Raster_IBitmap* bm, unsigned short c, int xpos, int ypos, const RECT* clipR);

  // Extra pixels between lines of multi-line glyph-path text (may be negative).
  void SetLineSpacingAdjust(int adjust);
  int GetLineSpacingAdjust() const;
  int GetFlags() const;

  // Whether DrawText with these format flags goes to the platform's text output.
  bool TakesNativePath(UINT dtFlags) const;

  // The cache entry of a code, or null when the code has none (yet). The entry may move when
  // another thread renders a glyph: a copy is taken under the lock.
  const charEnt* FindGlyph(int code) const;
  bool FindGlyph(int code, charEnt* out) const;

  // True when this Windows process runs under Wine (probed once); always false elsewhere.
  static bool RunsUnderWine();
  // Under Wine the native path is not taken: users there get the glyph path. Tests turn this
  // on to run the native path through Wine's GDI, the way real Windows takes it; it changes
  // nothing where RunsUnderWine is false. Off by default.
  static void SetNativePathUnderWine(bool on);
  static bool NativePathUnderWine();

private:
  charEnt* FindGlyphEntry(int code);
  bool RenderGlyph(int code);
  charEnt* GlyphForDrawing(int code);  // renders on demand; null when the code draws nothing
  int DrawTextNative(Raster_IBitmap* bm, const char* str, int strcnt, RECT* rect, UINT dtFlags);
  int MeasureGlyphs(const char* str, int strcnt, RECT* rect, UINT dtFlags);
  int DrawGlyphs(Raster_IBitmap* bm, const char* str, int strcnt, RECT* rect, UINT dtFlags);
  void PrepareNativeContext(HDC dc);

  uint32_t mTextColor = 0;
  uint32_t mBkColor = 0xFFFFFFFF;
  uint32_t mEffectColor = 0xFFFFFFFF;
  int mBkMode = 0;
  int mCombineMode = 0;
  float mCombineWeight = 1.0f;
  int mFlags = 0;
  int mLineHeight = 0;
  int mLineSpacingAdjust = 0;
  charEnt mLowChars[128];
  Util_TypedBuf<charEnt> mExtraChars;  // codes 128 and above, sorted by code
  Util_HeapBuf mGlyphStore{65536};     // every mask, row after row
  HFONT mFont = nullptr;
  mutable Util_Mutex mLock;
};

// Free glyph functions: composite an 8-bit coverage mask (DrawGlyph, DrawGlyphEx with a row
// span) or a 1-bit mask (DrawMonoGlyph, rows of glyphSpanBytes, most significant bit first)
// with its top-left corner at (x, y), in colour, at the weight and with the combine
// operation of the mode (with kRasterMode_SourceAlpha the weight is also scaled by the
// colour's alpha). Clipped to the bitmap.
void Raster_DrawGlyph(Raster_IBitmap* dest, int x, int y, uint32_t color, const uint8_t* alphas, int glyphW, int glyphH,
                      float weight, int mode);
void Raster_DrawGlyphEx(Raster_IBitmap* dest, int x, int y, uint32_t color, const uint8_t* alphas, int glyphW,
                        int glyphSpan, int glyphH, float weight, int mode);
void Raster_DrawMonoGlyph(Raster_IBitmap* dest, int x, int y, uint32_t color, const uint8_t* bits, int glyphW,
                          int glyphSpanBytes, int glyphH, float weight, int mode);
