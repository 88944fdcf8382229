// Cached fonts: path choice, line breaks, UTF-8, measuring, the glyph cache and its flags.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <random>
#include <string>

#include "FontTestUtil.h"
#include "Raster_Combine.h"
#include "Raster_Font.h"
#include "Raster_FontPlatform.h"

namespace {

constexpr uint32_t kBack = 0xFF203040;
constexpr uint32_t kText = 0xFFEBEBEB;

using FontPtr = std::unique_ptr<Raster_CachedFont>;

FontPtr Font(int flags, const char* face = "Verdana", int size = 13, bool bold = true)
{
  FontPtr f(Test_MakeFont(face, size, bold, flags));
  f->SetTextColor(kText);
  return f;
}

// A fresh bitmap of the background colour; system bitmaps carry a platform context.
template <class B>
std::unique_ptr<B> Canvas(int w = 160, int h = 100)
{
  auto bm = std::make_unique<B>(w, h);
  Test_Fill(bm.get(), kBack);
  return bm;
}

int Draw(Raster_IFont* f, Raster_IBitmap* bm, const char* s, UINT flags, RECT r = {10, 10, 150, 90}, int len = -1)
{
  return f->DrawText(bm, s, len, &r, flags);
}

RECT Measure(Raster_IFont* f, const char* s, UINT flags = 0, int len = -1)
{
  RECT r = {7, 9, 7, 9};
  f->DrawText(nullptr, s, len, &r, flags | DT_CALCRECT);
  return r;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Which path a draw takes

TEST(CachedFontPath, NativeOnlyForPlainFontsThatPreferItAndOpaqueText)
{
  struct Case
  {
    int flags;
    UINT format;
    int lineAdjust;
    bool native;
  } cases[] = {
      {0x600, 0, 0, true},
      {0x400, DT_CENTER | DT_VCENTER | DT_NOCLIP, 0, true},
      {0x200, 0, 0, false},                                   // native not preferred
      {0x600, kRasterText_UseTextAlpha, 0, false},            // translucent text
      {0x600, kRasterText_UseTextAlpha | 0x80000000u, 0, false},
      {0x600, 0, 2, false},                                   // line spacing only the glyph path knows
      {0x600, DT_SINGLELINE, 2, true},                        // ... unless there is one line
      {0x600 | kRasterFont_Vertical, 0, 0, false},
      {0x600 | kRasterFont_ASCIIOnly, 0, 0, false},
      {0x600 | kRasterFont_Blur, 0, 0, false},
      {0x600 | kRasterFont_Invert, 0, 0, false},
      {0x600 | kRasterFont_Mono, 0, 0, false},
      {0x600 | kRasterFont_Shadow, 0, 0, false},
      {0x600 | kRasterFont_Outline, 0, 0, false},
  };
  for (const Case& c : cases)
  {
    FontPtr f = Font(c.flags);
    f->SetLineSpacingAdjust(c.lineAdjust);
    const bool expect = c.native && !Raster_CachedFont::RunsUnderWine();
    EXPECT_EQ(f->TakesNativePath(c.format), expect) << std::hex << c.flags << " " << c.format << " adj " << c.lineAdjust;
    // The tests' way past the Wine probe decides as Windows does.
    Test_NativePathUnderWine native;
    EXPECT_EQ(f->TakesNativePath(c.format), c.native) << std::hex << c.flags << " " << c.format << " adj " << c.lineAdjust;
  }
  Raster_CachedFont empty;  // no platform font: nothing to draw natively with
  EXPECT_FALSE(empty.TakesNativePath(0));
}

TEST(CachedFontPath, HugeFontsAlwaysDrawNatively)
{
  FontPtr f = Font(0, "Verdana", 300, false);
  EXPECT_EQ(f->GetLineHeight(), 300);
  EXPECT_EQ(f->TakesNativePath(kRasterText_UseTextAlpha), !Raster_CachedFont::RunsUnderWine());
  Test_NativePathUnderWine native;
  EXPECT_TRUE(f->TakesNativePath(kRasterText_UseTextAlpha));
}

// Opaque text with flags 0x600 is exactly what the platform draws into the bitmap's context (in
// an opaque bitmap, opaque: GDI writes no alpha, the font keeps drawn text opaque); the same
// colour at alpha 128 goes through the glyph cache at weight 128/255.
TEST(CachedFontPath, OpaqueColourIsPlatformOutputTranslucentIsGlyphCache)
{
  Test_NativePathUnderWine native;  // under Wine, through Wine's GDI as on Windows
  FontPtr f = Font(0x600);
  auto drawn = Canvas<Raster_SysBitmap>();
  Draw(f.get(), drawn.get(), "THD=0.01%\nHarmonic1", 0);

  auto expected = Canvas<Raster_SysBitmap>();
  HDC dc = expected->getDC();
  HGDIOBJ old = SelectObject(dc, f->GetHFont());
  SetTextColor(dc, RGB(0xEB, 0xEB, 0xEB));
  SetBkMode(dc, TRANSPARENT);
  RECT r = {10, 10, 150, 90};
  Raster_PlatformDrawText(dc, "THD=0.01%\nHarmonic1", -1, &r, DT_NOPREFIX);
  Raster_PlatformFlush();
  SelectObject(dc, old);
  for (int y = 0; y < expected->getHeight(); ++y)
    for (int x = 0; x < expected->getWidth(); ++x) expected->getBits()[(size_t)y * expected->getRowSpan() + x] |= 0xFF000000u;
  EXPECT_TRUE(Test_SamePixels(drawn.get(), expected.get()));

  // Translucent: identical to a glyph-only font drawing at the reduced weight.
  FontPtr glyphs = Font(0);
  glyphs->SetCombineMode(0, 128.0f / 255.0f);
  auto viaGlyphs = Canvas<Raster_SysBitmap>();
  Draw(glyphs.get(), viaGlyphs.get(), "THD=0.01%\nHarmonic1", 0);
  f->SetTextColor(0x80EBEBEB);
  auto translucent = Canvas<Raster_SysBitmap>();
  Draw(f.get(), translucent.get(), "THD=0.01%\nHarmonic1", kRasterText_UseTextAlpha);
  EXPECT_TRUE(Test_SamePixels(translucent.get(), viaGlyphs.get()));
  EXPECT_FALSE(Test_SamePixels(translucent.get(), drawn.get()));
  // The weight is scaled for that one call only.
  f->SetTextColor(kText);
  auto again = Canvas<Raster_SysBitmap>();
  Draw(f.get(), again.get(), "THD=0.01%\nHarmonic1", 0);
  EXPECT_TRUE(Test_SamePixels(again.get(), drawn.get()));
}

// Bitmaps without a context get native text through the module's temporary bitmap; the result
// matches drawing into a context directly.
TEST(CachedFontPath, NativeTextIntoABitmapWithoutContext)
{
  Test_NativePathUnderWine native;  // under Wine, through Wine's GDI as on Windows
  FontPtr f = Font(0x600);
  // wineDiffers: Wine's own DrawText differs from the drawing without a context here (it
  // stops after the line that crosses the bottom of a clipping rectangle, and places a centred
  // single line wider than its rectangle a few pixels further right), so under Wine these
  // cases compare nothing.
  struct Case
  {
    UINT format;
    RECT rect;
    bool wineDiffers;
  } cases[] = {
      {0, {10, 10, 150, 90}, false},
      {DT_CENTER, {10, 10, 150, 90}, false},
      {DT_RIGHT | DT_BOTTOM | DT_SINGLELINE, {10, 10, 150, 90}, false},
      {DT_CENTER | DT_VCENTER | DT_SINGLELINE, {-20, -5, 100, 20}, true},
      {DT_NOCLIP, {120, 80, 130, 85}, false},
      {0, {120, 80, 130, 85}, true},  // clipped to the rectangle
  };
  for (const Case& c : cases)
  {
    if (c.wineDiffers && Raster_CachedFont::RunsUnderWine()) continue;
    auto sys = Canvas<Raster_SysBitmap>();
    auto mem = Canvas<Raster_MemBitmap>();
    RECT r1 = c.rect, r2 = c.rect;
    const int h1 = f->DrawText(sys.get(), "Volume -10.0 dB\nj", -1, &r1, c.format);
    const int h2 = f->DrawText(mem.get(), "Volume -10.0 dB\nj", -1, &r2, c.format);
    EXPECT_EQ(h1, h2) << c.format;
    EXPECT_TRUE(Test_SamePixels(sys.get(), mem.get())) << c.format;
    EXPECT_GT(Test_Ink(mem.get(), kBack).count, 0) << c.format;
  }
  RECT m1 = {3, 4, 3, 4};
  f->DrawText(Canvas<Raster_MemBitmap>().get(), "Harmonic", -1, &m1, DT_CALCRECT);
  const RECT m2 = Measure(f.get(), "Harmonic");
  EXPECT_EQ(m1.right - m1.left, m2.right - m2.left);
  EXPECT_EQ(m1.bottom - m1.top, f->GetLineHeight());
}

// The platform's text output may know nothing of alpha: GDI writes every pixel it draws with an
// alpha byte of 0. Native text must still leave ink that is as opaque as the glyph path's (and
// as the text layer's elsewhere): transparent digits vanish from any picture composited with its
// alpha, and a bitmap without a context that is blended back with source alpha would lose them
// altogether. Pixels the text does not touch keep their own alpha.
TEST(CachedFontPath, NativeTextIsOpaqueInkAndKeepsTheAlphaItDoesNotTouch)
{
  Test_NativePathUnderWine native;  // under Wine, through Wine's GDI as on Windows
  constexpr uint32_t kInk = 0xFF000000, kBackdrop = 0xFFC8CCD0;
  struct Case
  {
    const char* what;
    bool context;         // a system bitmap with a device context, or a memory bitmap
    uint32_t background;  // what the bitmap holds before the text
    int combineMode;      // the font's, for the blend back from the temporary bitmap
    bool opaqueBox;       // the font's background mode: a filled cell behind the text
    const char* text;
    UINT format;
    RECT rect;
  } cases[] = {
      {"frequency box", true, 0xFFFFFFFF, 0, false, "300", DT_NOCLIP, {20, 8, 69, 25}},
      {"frequency box, no context", false, 0xFFFFFFFF, 0, false, "300", DT_NOCLIP, {20, 8, 69, 25}},
      {"no context, blended back with source alpha", false, 0xFFFFFFFF, kRasterMode_SourceAlpha, false, "1000",
       DT_NOCLIP, {20, 8, 69, 25}},
      {"lines right-aligned", true, kBackdrop, 0, false, "THD=\nHarmonic1=\nH5", DT_RIGHT | DT_NOCLIP, {10, 4, 150, 90}},
      {"one line centred low", true, kBackdrop, 0, false, "1.0.6", DT_CENTER | DT_BOTTOM | DT_SINGLELINE, {0, 0, 160, 96}},
      {"clipped to the rectangle", true, kBackdrop, 0, false, "Harmonic1=0.5", 0, {30, 30, 70, 40}},
      {"filled cell", true, kBackdrop, 0, true, "-10.0 dB", DT_NOCLIP, {40, 40, 140, 60}},
      {"translucent bitmap", true, 0x80FFFFFF, 0, false, "300", DT_NOCLIP, {20, 8, 69, 25}},
      {"transparent bitmap", true, 0x00FFFFFF, 0, false, "300", DT_NOCLIP, {20, 8, 69, 25}},
  };
  for (const Case& c : cases)
  {
    FontPtr f(Test_MakeFont("Arial", 18, false, 0x600));
    f->SetTextColor(kInk);
    f->SetCombineMode(c.combineMode, 1.0f);
    if (c.opaqueBox)
    {
      f->SetBkMode(OPAQUE);
      f->SetBkColor(0xFF40B0C0);
    }
    std::unique_ptr<Raster_IBitmap> bm;
    if (c.context)
      bm = std::make_unique<Raster_SysBitmap>(160, 96);
    else
      bm = std::make_unique<Raster_MemBitmap>(160, 96);
    Test_Fill(bm.get(), c.background);
    ASSERT_TRUE(f->TakesNativePath(c.format)) << c.what;
    RECT r = c.rect;
    f->DrawText(bm.get(), c.text, -1, &r, c.format);

    int ink = 0, inkNotOpaque = 0, untouchedChanged = 0;
    for (int y = 0; y < bm->getHeight(); ++y)
      for (int x = 0; x < bm->getWidth(); ++x)
      {
        const uint32_t p = bm->getBits()[(size_t)y * bm->getRowSpan() + x];
        if ((p & 0xFFFFFF) == (c.background & 0xFFFFFF))
        {
          if (p != c.background) ++untouchedChanged;
          continue;
        }
        ++ink;
        // Drawn over an opaque pixel, or in the full text colour (or the filled cell's): opaque.
        const bool full = (p & 0xFFFFFF) == (kInk & 0xFFFFFF) || (c.opaqueBox && (p & 0xFFFFFF) == 0x40B0C0);
        if ((c.background >> 24 == 0xFF || full) && p >> 24 != 0xFF) ++inkNotOpaque;
      }
    EXPECT_GT(ink, 20) << c.what;
    EXPECT_EQ(inkNotOpaque, 0) << c.what << ": drawn pixels left transparent";
    EXPECT_EQ(untouchedChanged, 0) << c.what << ": the alpha of pixels without text changed";
  }
}

// ---------------------------------------------------------------------------------------------
// Line breaks, decoding, measuring

TEST(CachedFontText, CarriageReturnLineFeedStartsOneLineLower)
{
  for (int adjust : {0, 3, -2})
  {
    FontPtr f = Font(0);
    f->SetLineSpacingAdjust(adjust);
    const int lh = f->GetLineHeight();
    auto both = Canvas<Raster_MemBitmap>();
    const int h = Draw(f.get(), both.get(), "A\r\nB", 0);
    auto separate = Canvas<Raster_MemBitmap>();
    Draw(f.get(), separate.get(), "A", 0);
    Draw(f.get(), separate.get(), "B", 0, RECT{10, 10 + lh + adjust, 150, 90});
    EXPECT_TRUE(Test_SamePixels(both.get(), separate.get())) << adjust;
    EXPECT_EQ(h, 2 * lh + adjust);
    EXPECT_EQ(Measure(f.get(), "A\r\nB").bottom - 9, 2 * lh + adjust);

    // One line: the CR vanishes and the LF draws as a space.
    auto single = Canvas<Raster_MemBitmap>();
    Draw(f.get(), single.get(), "A\r\nB", DT_SINGLELINE);
    auto spaced = Canvas<Raster_MemBitmap>();
    Draw(f.get(), spaced.get(), "A B", DT_SINGLELINE);
    EXPECT_TRUE(Test_SamePixels(single.get(), spaced.get()));
    EXPECT_EQ(Measure(f.get(), "A\r\nB", DT_SINGLELINE).right, Measure(f.get(), "A B").right);
  }
}

TEST(CachedFontText, DecodesUTF8OneCharacterAtATime)
{
  struct Case
  {
    const char* bytes;
    int avail;
    int code, used;
  } cases[] = {
      {"\xC3\xA9", 2, 0xE9, 2},
      {"\xC3\x41", 2, 0xC3, 1},  // missing continuation: the lead byte stands for itself
      {"\xC3\xA9", 1, 0xC3, 1},  // cut short by the length
      {"\xE2\x82\xAC", 3, 0x20AC, 3},
      {"\xE2\x82", 2, 0xE2, 1},
      {"\xF0\x9F\x98\x80", 4, ' ', 4},  // beyond 16 bits: a space
      {"\xF0\x9F\x98", 3, 0xF0, 1},
      {"\xF5\x80\x80\x80", 4, 0xF5, 1},
      {"\xC0\x80", 2, 0xC0, 1},  // overlong lead bytes are not leads
      {"\x80", 1, 0x80, 1},
      {"A", 1, 'A', 1},
  };
  for (const Case& c : cases)
  {
    int code = -1;
    EXPECT_EQ(Raster_DecodeUTF8(c.bytes, c.avail, &code), c.used) << c.bytes;
    EXPECT_EQ(code, c.code) << c.bytes;
  }

  // The same rules when drawing: C3 41 is U+00C3 and 'A'; a four-byte character is a space.
  FontPtr f = Font(0);
  auto pairs = {std::make_pair("\xC3\x41", "\xC3\x83\x41"), std::make_pair("a\xF0\x9F\x98\x80z", "a z"),
                std::make_pair("\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9")};
  for (const auto& p : pairs)
  {
    auto a = Canvas<Raster_MemBitmap>(), b = Canvas<Raster_MemBitmap>();
    Draw(f.get(), a.get(), p.first, 0);
    Draw(f.get(), b.get(), p.second, 0);
    EXPECT_TRUE(Test_SamePixels(a.get(), b.get())) << p.first;
  }
  EXPECT_NE(f->FindGlyph(0xE9), nullptr);
  EXPECT_GT(f->FindGlyph(0xE9)->base_offset, 0);
  EXPECT_EQ(Measure(f.get(), "\xC3\xA9").right - 7, f->FindGlyph(0xE9)->advance);
}

TEST(CachedFontText, CountedLengthAndNulStopTheString)
{
  FontPtr f = Font(0);
  EXPECT_EQ(Measure(f.get(), "Harmonic", 0, 4).right, Measure(f.get(), "Harm").right);
  EXPECT_EQ(Measure(f.get(), "Har\0monic", 0, 9).right, Measure(f.get(), "Har").right);
  // A counted string that ends inside a sequence decodes the remaining bytes one by one.
  EXPECT_EQ(Measure(f.get(), "x\xC3\xA9", 0, 2).right, Measure(f.get(), "x\xC3\x83").right);
}

TEST(CachedFontText, EmptyStringMeasuresToAnEmptyRectangle)
{
  for (int flags : {0, 0x600})
  {
    FontPtr f = Font(flags);
    for (const char* s : {"", static_cast<const char*>(nullptr)})
    {
      RECT r = {5, 6, 99, 99};
      EXPECT_EQ(f->DrawText(nullptr, s, -1, &r, DT_CALCRECT), 0) << flags;
      EXPECT_EQ(r.right, 5) << flags;
      EXPECT_EQ(r.bottom, 6) << flags;
    }
    auto bm = Canvas<Raster_SysBitmap>();
    RECT r = {5, 6, 99, 99};
    EXPECT_EQ(f->DrawText(bm.get(), "", 0, &r, DT_CALCRECT), 0);
    EXPECT_EQ(r.right, 5);
    EXPECT_EQ(r.bottom, 6);
  }
}

TEST(CachedFontText, NothingToDrawOn)
{
  FontPtr f = Font(0);
  RECT r = {0, 0, 10, 10};
  EXPECT_EQ(f->DrawText(nullptr, "A", -1, &r, 0), 0);
  EXPECT_EQ(f->DrawText(Canvas<Raster_MemBitmap>().get(), "A", -1, nullptr, 0), 0);
  Raster_MemBitmap empty;
  EXPECT_EQ(f->DrawText(&empty, "A", -1, &r, 0), 0);
  // A weight of 0 and a transparent colour under the alpha flag draw nothing.
  auto bm = Canvas<Raster_MemBitmap>();
  f->SetCombineMode(0, 0.0f);
  EXPECT_EQ(Draw(f.get(), bm.get(), "A", 0), 0);
  f->SetCombineMode(0, 1.0f);
  f->SetTextColor(0x00FFFFFF);
  EXPECT_EQ(Draw(f.get(), bm.get(), "A", kRasterText_UseTextAlpha), 0);
  EXPECT_EQ(Test_Ink(bm.get(), kBack).count, 0);
  // A font without a platform font draws and measures nothing.
  Raster_CachedFont none;
  EXPECT_EQ(Draw(&none, bm.get(), "A", 0), 0);
  EXPECT_EQ(Test_Ink(bm.get(), kBack).count, 0);
}

// The text sizes of the installed metric-compatible faces: layouts depend on them, so a
// change of fonts or of the text layer shows here first. Wine's GDI has its own font
// substitutes and metrics, hence a column of its own.
TEST(CachedFontText, MeasuredSizesOfTheEditorStyles)
{
  struct Size
  {
    int width, height;
  };
  struct Case
  {
    int style;
    const char* text;
    Size onLinux, onWine;
  } cases[] = {
      {0, "1000 Hz", {60, 18}, {60, 17}},
      {1, "-10.0 dB", {47, 12}, {43, 12}},
      {2, "THD=0.001234%\nHarmonic1=0.500000\nHarmonic2=0.000012\nHarmonic3=0.000003\nHarmonic4=0.000001\nHarmonic5=0.000000",
       {136, 78}, {122, 84}},
      {3, "1.0.6", {35, 16}, {32, 16}},
  };
  const std::string platform = Test_PlatformTag();
  if (platform == "windows") GTEST_SKIP() << "no sizes recorded for real Windows fonts";
  for (const Case& c : cases)
  {
    const FontStyle& s = kEditorStyles[c.style];
    const Size expect = platform == "wine" ? c.onWine : c.onLinux;
    for (int flags : {0, 0x600})
    {
      FontPtr f = Font(flags, s.face, s.size, s.bold);
      RECT r = Measure(f.get(), c.text);
      EXPECT_EQ(r.right - r.left, expect.width) << s.name << " flags " << flags;
      EXPECT_EQ(r.bottom - r.top, expect.height) << s.name << " flags " << flags;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Alignment of the glyph path

TEST(CachedFontText, GlyphPathAlignsTheTextBlock)
{
  FontPtr f = Font(0);
  const int lh = f->GetLineHeight();
  const RECT box = {10, 10, 150, 90};
  const int wide = Measure(f.get(), "WWWW").right - 7, narrow = Measure(f.get(), "W").right - 7;
  struct Case
  {
    UINT format;
    int left, top;  // where the block starts
  } cases[] = {
      {0, 10, 10},
      {DT_CENTER, 10 + (140 - wide) / 2, 10},
      {DT_RIGHT, 150 - wide, 10},
      {DT_VCENTER, 10, 10 + (80 - 2 * lh) / 2},
      {DT_BOTTOM, 10, 90 - 2 * lh},
      {DT_RIGHT | DT_BOTTOM, 150 - wide, 90 - 2 * lh},
  };
  for (const Case& c : cases)
  {
    auto bm = Canvas<Raster_MemBitmap>();
    Draw(f.get(), bm.get(), "WWWW\nW", c.format, box);
    // The lines share the block's left edge: 'W' has almost no side bearing.
    const InkBox first = Test_Ink(bm.get(), kBack, 0, 0, 1 << 30, c.top + lh);
    const InkBox second = Test_Ink(bm.get(), kBack, 0, c.top + lh, 1 << 30, 1 << 30);
    EXPECT_NEAR(first.l, c.left, 1) << c.format;
    EXPECT_NEAR(first.r, c.left + wide, 1) << c.format;
    EXPECT_EQ(second.l, first.l) << c.format;
    EXPECT_NEAR(second.r, c.left + narrow, 1) << c.format;
    EXPECT_GE(first.t, c.top) << c.format;
    EXPECT_LE(second.b, c.top + 2 * lh) << c.format;
  }
}

TEST(CachedFontText, ClipsToTheRectangleUnlessNoClip)
{
  for (int flags : {0, 0x600})
  {
    FontPtr f = Font(flags);
    auto bm = Canvas<Raster_MemBitmap>();
    Draw(f.get(), bm.get(), "Harmonic", 0, RECT{30, 30, 45, 38});
    InkBox ink = Test_Ink(bm.get(), kBack);
    EXPECT_GE(ink.l, 30);
    EXPECT_LE(ink.r, 45);
    EXPECT_GE(ink.t, 30);
    EXPECT_LE(ink.b, 38);
    Test_Fill(bm.get(), kBack);
    Draw(f.get(), bm.get(), "Harmonic", DT_NOCLIP, RECT{30, 30, 45, 38});
    ink = Test_Ink(bm.get(), kBack);
    EXPECT_GT(ink.r, 60);
    EXPECT_GT(ink.b, 38);
    // Partly outside the bitmap on every side: cut at the edges.
    Draw(f.get(), bm.get(), "Harmonic\nHarmonic\nHarmonic", DT_NOCLIP, RECT{-30, -8, 0, 0});
    Draw(f.get(), bm.get(), "Harmonic\nHarmonic", DT_NOCLIP, RECT{120, 90, 0, 0});
  }
}

// ---------------------------------------------------------------------------------------------
// The glyph cache

TEST(CachedFontCache, GlyphsRenderOnceAndExtraCodesStaySorted)
{
  FontPtr f = Font(0);
  EXPECT_EQ(f->FindGlyph('A')->base_offset, 0);  // nothing rendered before the first draw
  EXPECT_EQ(f->FindGlyph(0x20AC), nullptr);
  auto bm = Canvas<Raster_MemBitmap>();
  Draw(f.get(), bm.get(), "A\xE2\x82\xAC\xC3\xA9\xC3\xA4 ", 0);
  const int a = f->FindGlyph('A')->base_offset, euro = f->FindGlyph(0x20AC)->base_offset;
  EXPECT_GT(a, 0);
  EXPECT_GT(euro, 0);
  ASSERT_NE(f->FindGlyph(0xE4), nullptr);  // found by binary search, so sorted
  ASSERT_NE(f->FindGlyph(0xE9), nullptr);
  EXPECT_GT(f->FindGlyph(' ')->advance, 0);  // a space is a glyph without ink, not a missing one
  EXPECT_EQ(f->FindGlyph(' ')->width, 0);
  Draw(f.get(), bm.get(), "\xE2\x82\xAC" "A", 0);
  EXPECT_EQ(f->FindGlyph('A')->base_offset, a);
  EXPECT_EQ(f->FindGlyph(0x20AC)->base_offset, euro);
  // Setting the font again empties the cache.
  f->SetFromHFont(Test_CreatePlatformFont("Verdana", 13, true), kRasterFont_OwnsFont);
  EXPECT_EQ(f->FindGlyph('A')->base_offset, 0);
  EXPECT_EQ(f->FindGlyph(0x20AC), nullptr);
}

TEST(CachedFontCache, ASCIIOnlyFontRendersAtSetAndNeverAbove127)
{
  FontPtr f = Font(kRasterFont_ASCIIOnly);
  for (int c : {'A', 'z', '0', ' '}) EXPECT_NE(f->FindGlyph(c)->base_offset, 0) << c;
  auto bm = Canvas<Raster_MemBitmap>();
  Draw(f.get(), bm.get(), "\xC3\xA9\xE2\x82\xAC", 0);
  EXPECT_EQ(Test_Ink(bm.get(), kBack).count, 0);
  EXPECT_EQ(f->FindGlyph(0xE9), nullptr);
  EXPECT_EQ(f->FindGlyph(0x20AC), nullptr);
  EXPECT_EQ(Measure(f.get(), "A\xC3\xA9").right, Measure(f.get(), "A").right);
  auto a1 = Canvas<Raster_MemBitmap>(), a2 = Canvas<Raster_MemBitmap>();
  Draw(f.get(), a1.get(), "A\xC3\xA9" "B", 0);
  Draw(f.get(), a2.get(), "AB", 0);
  EXPECT_TRUE(Test_SamePixels(a1.get(), a2.get()));
}

TEST(CachedFontCache, OwnedPlatformFontIsReplacedAndDeleted)
{
  Raster_CachedFont f;
  HFONT first = Test_CreatePlatformFont("Verdana", 13, false);
  HFONT second = Test_CreatePlatformFont("Arial", 18, false);
  f.SetFromHFont(first, kRasterFont_OwnsFont);
  const int small = f.GetLineHeight();
  EXPECT_GE(small, 12);
  f.SetFromHFont(first, kRasterFont_OwnsFont);  // the same font again is kept
  EXPECT_EQ(f.GetHFont(), first);
  f.SetFromHFont(second, 0);
  const int large = f.GetLineHeight();
  EXPECT_GT(large, small);
  f.SetFromHFont(nullptr, 0);  // a null font keeps the line height
  EXPECT_EQ(f.GetLineHeight(), large);
#ifndef _WIN32
  EXPECT_FALSE(DeleteObject(first));  // deleted when replaced
#endif
  EXPECT_TRUE(DeleteObject(second));  // not owned
}

TEST(CachedFontCache, SettersReturnThePreviousValue)
{
  Raster_CachedFont f;
  EXPECT_EQ(f.SetTextColor(0xFF112233), 0u);
  EXPECT_EQ(f.SetTextColor(1), 0xFF112233u);
  EXPECT_EQ(f.GetTextColor(), 1u);
  EXPECT_EQ(f.SetBkColor(5), 0xFFFFFFFFu);
  EXPECT_EQ(f.SetEffectColor(6), 0xFFFFFFFFu);
  EXPECT_EQ(f.SetBkMode(OPAQUE), 0);
  EXPECT_EQ(f.SetBkMode(0), OPAQUE);
}

// ---------------------------------------------------------------------------------------------
// Glyph flags

TEST(CachedFontFlags, MonochromeUsesOnlyTheTextColour)
{
  FontPtr f = Font(kRasterFont_Mono);
  auto bm = Canvas<Raster_MemBitmap>();
  Draw(f.get(), bm.get(), "Harmonic1=0.5", 0);
  int text = 0, other = 0;
  for (int y = 0; y < bm->getHeight(); ++y)
    for (int x = 0; x < bm->getWidth(); ++x)
    {
      const uint32_t p = bm->getBits()[y * bm->getRowSpan() + x];
      if (p == kText)
        ++text;
      else if (p != kBack)
        ++other;
    }
  EXPECT_GT(text, 30);
  EXPECT_EQ(other, 0);
}

TEST(CachedFontFlags, ShadowAndOutlineDrawTheEffectColour)
{
  for (int flag : {kRasterFont_Shadow, kRasterFont_Outline})
  {
    FontPtr f = Font(flag);
    f->SetEffectColor(0xFF0000FF);
    auto bm = Canvas<Raster_MemBitmap>();
    Draw(f.get(), bm.get(), "Ho", 0);
    int text = 0, effect = 0, other = 0;
    for (int y = 0; y < bm->getHeight(); ++y)
      for (int x = 0; x < bm->getWidth(); ++x)
      {
        const uint32_t p = bm->getBits()[y * bm->getRowSpan() + x];
        text += p == kText;
        effect += p == 0xFF0000FFu;
        other += p != kText && p != 0xFF0000FFu && p != kBack;
      }
    EXPECT_GT(text, 20) << flag;
    EXPECT_GT(effect, 10) << flag;
    EXPECT_EQ(other, 0) << flag;
  }
}

TEST(CachedFontFlags, InvertAndBlurChangeTheCoverage)
{
  FontPtr plain = Font(0), inverted = Font(kRasterFont_Invert), blurred = Font(kRasterFont_Blur);
  auto p = Canvas<Raster_MemBitmap>(), i = Canvas<Raster_MemBitmap>(), b = Canvas<Raster_MemBitmap>();
  Draw(plain.get(), p.get(), "H", 0);
  Draw(inverted.get(), i.get(), "H", 0);
  Draw(blurred.get(), b.get(), "H", 0);
  // Inverted coverage paints the whole cell except where the letter is.
  EXPECT_GT(Test_Ink(i.get(), kBack).count, 2 * Test_Ink(p.get(), kBack).count);
  // Blurring spreads the ink over more pixels.
  EXPECT_GT(Test_Ink(b.get(), kBack).count, Test_Ink(p.get(), kBack).count);
}

TEST(CachedFontFlags, VerticalTextRunsDown)
{
  FontPtr h = Font(0), v = Font(kRasterFont_Vertical), up = Font(kRasterFont_Vertical | kRasterFont_BottomUp);
  const RECT mh = Measure(h.get(), "THD"), mv = Measure(v.get(), "THD"), mu = Measure(up.get(), "THD");
  EXPECT_NEAR(mv.bottom - mv.top, mh.right - mh.left, 2);
  EXPECT_EQ(mv.right - mv.left, h->GetLineHeight());
  EXPECT_EQ(mu.bottom - mu.top, mv.bottom - mv.top);
  for (FontPtr* f : {&v, &up})
  {
    auto bm = Canvas<Raster_MemBitmap>(100, 100);
    Draw(f->get(), bm.get(), "THD", 0, RECT{10, 10, 90, 90});
    const InkBox ink = Test_Ink(bm.get(), kBack);
    EXPECT_GT(ink.b - ink.t, ink.r - ink.l);
    EXPECT_GE(ink.t, 10);
    EXPECT_LE(ink.b, 10 + (mv.bottom - mv.top));
  }
}

TEST(CachedFontFlags, OpaqueBackgroundFillsEachGlyphCell)
{
  FontPtr f = Font(0);
  f->SetBkMode(OPAQUE);
  f->SetBkColor(0xFF00FF00);
  auto bm = Canvas<Raster_MemBitmap>();
  Draw(f.get(), bm.get(), "Hm", 0);
  int green = 0;
  for (int y = 10; y < 10 + f->GetLineHeight(); ++y)
    for (int x = 10; x < 40; ++x) green += bm->getBits()[y * bm->getRowSpan() + x] == 0xFF00FF00u;
  EXPECT_GT(green, 40);
}

// Rectangles at the ends of the coordinate range must neither overflow the pen nor draw.
TEST(CachedFontText, FarAwayRectanglesNeitherOverflowNorDraw)
{
  const LONG big = INT32_MAX - 5, small = INT32_MIN + 5;
  for (int flags : {0, 0x600})
  {
    FontPtr f = Font(flags);
    f->SetLineSpacingAdjust(flags ? 0 : 3);
    auto bm = Canvas<Raster_MemBitmap>();
    auto sys = Canvas<Raster_SysBitmap>();
    for (UINT format : {0u, (UINT)DT_CENTER, (UINT)(DT_RIGHT | DT_BOTTOM), (UINT)DT_NOCLIP})
      for (Raster_IBitmap* target : {static_cast<Raster_IBitmap*>(bm.get()), static_cast<Raster_IBitmap*>(sys.get())})
      {
        Draw(f.get(), target, "WWW\nW", format, RECT{big, big, INT32_MAX, INT32_MAX});
        Draw(f.get(), target, "WWW\nW", format, RECT{small, small, small + 10, small + 10});
        Draw(f.get(), target, "W", format | DT_CENTER | DT_VCENTER | DT_SINGLELINE, RECT{big - 50, small, INT32_MAX, INT32_MAX});
      }
    EXPECT_EQ(Test_Ink(bm.get(), kBack).count, 0) << flags;
    EXPECT_EQ(Test_Ink(sys.get(), kBack).count, 0) << flags;
    RECT m = {big, 7, big, 7};
    f->DrawText(nullptr, "WWWWWWWW", -1, &m, DT_CALCRECT);
    EXPECT_EQ(m.left, big);
    EXPECT_EQ(m.right, INT32_MAX) << flags;  // saturated
    EXPECT_EQ(m.bottom, 7 + f->GetLineHeight()) << flags;
  }
}

// Arbitrary bytes as text never crash, whichever path and flags.
TEST(CachedFontText, ArbitraryBytesAreHarmless)
{
  std::mt19937 rng(1234);
  for (int flags : {0, 0x600, kRasterFont_Vertical | kRasterFont_BottomUp, kRasterFont_Outline | kRasterFont_Blur})
  {
    FontPtr f = Font(flags);
    auto bm = Canvas<Raster_MemBitmap>(64, 48);
    auto sys = Canvas<Raster_SysBitmap>(64, 48);
    for (int n = 0; n < 200; ++n)
    {
      char buf[48];
      const int len = (int)(rng() % sizeof(buf));
      for (int i = 0; i < len; ++i) buf[i] = (char)(rng() & 0xFF);
      RECT r = {(int)(rng() % 100) - 30, (int)(rng() % 80) - 20, 0, 0};
      r.right = r.left + (int)(rng() % 90);
      r.bottom = r.top + (int)(rng() % 60);
      f->SetLineSpacingAdjust((int)(rng() % 7) - 3);
      f->DrawText(n % 2 ? static_cast<Raster_IBitmap*>(bm.get()) : sys.get(), buf, len, &r, rng() & 0x40000FFF);
    }
  }
}
