// Face lookup, sizing and the lifetime of font objects.
#include "GdiEmu.h"
#include "GdiEmu_Faces.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

HFONT MakeFont(int height, bool bold, const char* face, int quality = DEFAULT_QUALITY, bool italic = false)
{
  return CreateFont(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, 0, 0, 0, 0, 0, quality, 0, face);
}

std::string Family(HFONT f)
{
  char buf[128] = {};
  return GdiEmu_GetFontFamilyName(f, buf, sizeof(buf)) ? buf : "<none>";
}

struct Ctx
{
  HDC dc = GdiEmu_CreateMemContext(nullptr, 64, 64);
  ~Ctx() { GdiEmu_DeleteGfxContext(dc); }
};

}  // namespace

TEST(GdiEmuFont, EditorFacesResolveToMetricCompatibleFamilies)
{
  struct Case
  {
    const char* face;
    bool bold;
    const char* family;
  } cases[] = {
      {"Arial", false, "Liberation Sans"},
      {"Arial", true, "Liberation Sans"},
      {"Verdana", false, "DejaVu Sans"},
      {"Verdana", true, "DejaVu Sans"},
  };
  for (const Case& c : cases)
  {
    HFONT f = MakeFont(13, c.bold, c.face);
    ASSERT_NE(f, nullptr) << c.face;
    EXPECT_EQ(Family(f), c.family) << c.face << (c.bold ? " bold" : "");
    EXPECT_TRUE(DeleteObject(f));
  }
}

TEST(GdiEmuFont, UnknownFaceFallsBackToTheDefaultMatch)
{
  HFONT def = MakeFont(13, false, "");
  HFONT unknown = MakeFont(13, false, "No Such Face Veldramix");
  ASSERT_NE(def, nullptr);
  ASSERT_NE(unknown, nullptr);
  EXPECT_EQ(Family(unknown), Family(def));
  HFONT null = CreateFont(13, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
  ASSERT_NE(null, nullptr);
  EXPECT_EQ(Family(null), Family(def));
  DeleteObject(def);
  DeleteObject(unknown);
  DeleteObject(null);
}

// A positive height is the cell: the line height text advances by is exactly what was
// asked for, so layouts computed from the style's size hold.
TEST(GdiEmuFont, PositiveHeightIsTheCellHeight)
{
  Ctx c;
  struct Case
  {
    const char* face;
    int height;
    bool bold;
  } cases[] = {{"Arial", 18, false}, {"Verdana", 12, true}, {"Verdana", 13, true}, {"Verdana", 16, false},
               {"Arial", 2, false},  {"Verdana", 200, false}};
  for (const Case& k : cases)
  {
    HFONT f = MakeFont(k.height, k.bold, k.face);
    ASSERT_NE(f, nullptr);
    HGDIOBJ old = SelectObject(c.dc, f);
    TEXTMETRIC tm;
    ASSERT_TRUE(GetTextMetrics(c.dc, &tm));
    EXPECT_EQ(tm.tmHeight, k.height) << k.face << " " << k.height;
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
    EXPECT_GT(tm.tmAscent, tm.tmDescent);
    EXPECT_EQ(tm.tmWeight, k.bold ? FW_BOLD : FW_NORMAL);
    SelectObject(c.dc, old);
    DeleteObject(f);
  }
}

TEST(GdiEmuFont, NegativeHeightIsTheEmSize)
{
  Ctx c;
  HFONT f = MakeFont(-16, false, "Arial");
  SelectObject(c.dc, f);
  TEXTMETRIC tm;
  ASSERT_TRUE(GetTextMetrics(c.dc, &tm));
  // Liberation Sans's cell is 2288/2048 of its em.
  EXPECT_EQ(tm.tmHeight, 18);
  EXPECT_EQ(tm.tmInternalLeading, 2);
  DeleteObject(f);  // still selected: freed with the context
}

TEST(GdiEmuFont, SelectReturnsThePreviousFontAndRefusesUnknownObjects)
{
  Ctx c;
  HFONT a = MakeFont(12, false, "Arial");
  HFONT b = MakeFont(14, false, "Arial");
  HGDIOBJ stock = SelectObject(c.dc, a);
  ASSERT_NE(stock, nullptr);  // a fresh context has a font selected, as on Win32
  EXPECT_EQ(SelectObject(c.dc, b), a);
  EXPECT_EQ(SelectObject(c.dc, stock), b);
  EXPECT_EQ(SelectObject(nullptr, a), nullptr);
  EXPECT_EQ(SelectObject(c.dc, nullptr), nullptr);
  GdiEmu_Object* bogus = reinterpret_cast<GdiEmu_Object*>(&c);
  EXPECT_EQ(SelectObject(c.dc, bogus), nullptr);
  EXPECT_EQ(DeleteObject(bogus), FALSE);
  EXPECT_TRUE(DeleteObject(stock));  // the stock font survives deletion
  EXPECT_EQ(SelectObject(c.dc, a), stock);
  EXPECT_EQ(SelectObject(c.dc, stock), a);
  EXPECT_TRUE(DeleteObject(a));
  EXPECT_TRUE(DeleteObject(b));
  EXPECT_FALSE(DeleteObject(a));  // a second delete of the same handle is refused
}

// Deleting a font that is still selected must not leave the context with a dangling font.
TEST(GdiEmuFont, DeletingASelectedFontDefersUntilDeselected)
{
  Ctx c;
  HFONT f = MakeFont(20, false, "Verdana");
  HGDIOBJ stock = SelectObject(c.dc, f);
  EXPECT_TRUE(DeleteObject(f));
  TEXTMETRIC tm;
  ASSERT_TRUE(GetTextMetrics(c.dc, &tm));
  EXPECT_EQ(tm.tmHeight, 20);
  RECT r = {0, 0, 64, 64};
  EXPECT_EQ(GdiEmu_DrawText(c.dc, "Ag", -1, &r, DT_CALCRECT), 20);
  EXPECT_EQ(SelectObject(c.dc, f), nullptr);  // pending deletion: cannot be selected again
  EXPECT_EQ(SelectObject(c.dc, stock), nullptr);  // the deleted font is gone now
  EXPECT_FALSE(DeleteObject(f));
}

TEST(GdiEmuFont, BoldAndWidthChangeTheAdvance)
{
  Ctx c;
  auto width = [&](HFONT f) {
    HGDIOBJ old = SelectObject(c.dc, f);
    RECT r = {0, 0, 0, 0};
    GdiEmu_DrawText(c.dc, "Harmonic1=0.000123", -1, &r, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(c.dc, old);
    DeleteObject(f);
    return r.right;
  };
  const int regular = width(MakeFont(13, false, "Verdana"));
  const int bold = width(MakeFont(13, true, "Verdana"));
  const int narrow = width(CreateFont(13, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Verdana"));
  EXPECT_GT(bold, regular);
  EXPECT_LT(narrow, regular);
}

// Fonts created and deleted at ever new heights (an editor resized step by step) must not
// leave their FreeType faces behind: a face closes with the last font of its size. Measured
// with the caches' own accounting (open faces, bytes FreeType holds), not with process memory.
TEST(GdiEmuFont, DeletedFontsReleaseTheirFaces)
{
  Ctx ctx;
  auto pair = [&](int height) {
    HFONT f = MakeFont(height, (height & 1) != 0, "Arial");
    ASSERT_NE(f, nullptr);
    HGDIOBJ prev = SelectObject(ctx.dc, f);
    RECT r = {0, 0, 64, 64};
    GdiEmu_DrawText(ctx.dc, "THD 0.1%", -1, &r, DT_SINGLELINE);
    SelectObject(ctx.dc, prev);
    DeleteObject(f);
  };
  for (int h = 8; h < 28; ++h) pair(h);  // every lookup and library structure exists from here on
  const GdiEmu_FaceCacheStats before = GdiEmu_GetFaceCacheStats();
  for (int h = 28; h < 1028; ++h) pair(h);
  const GdiEmu_FaceCacheStats after = GdiEmu_GetFaceCacheStats();
  EXPECT_EQ(after.openFaces, before.openFaces);
  EXPECT_LE(after.glyphBytes, before.glyphBytes);
  EXPECT_LE(after.freetypeBytes, before.freetypeBytes + 64 * 1024) << "before " << before.freetypeBytes;

  // Two fonts of one size share a face; it stays open until both are gone.
  HFONT a = MakeFont(31, false, "Arial"), b = MakeFont(31, false, "Arial");
  EXPECT_EQ(GdiEmu_GetFaceCacheStats().openFaces, before.openFaces + 1);
  DeleteObject(a);
  EXPECT_EQ(GdiEmu_GetFaceCacheStats().openFaces, before.openFaces + 1);
  DeleteObject(b);
  EXPECT_EQ(GdiEmu_GetFaceCacheStats().openFaces, before.openFaces);
}

// Each face's rendered glyphs stay within their byte budget however many characters a text
// asks for.
TEST(GdiEmuFont, GlyphCacheIsBoundedByBytes)
{
  Ctx ctx;
  HFONT f = MakeFont(40, false, "DejaVu Sans");
  ASSERT_NE(f, nullptr);
  HGDIOBJ prev = SelectObject(ctx.dc, f);
  std::string text;
  char utf8[4];
  for (uint32_t code = 0x20; code < 0x2800; ++code)
  {
    const int n = code < 0x80 ? 1 : code < 0x800 ? 2 : 3;
    if (n == 1) utf8[0] = (char)code;
    if (n == 2) utf8[0] = (char)(0xC0 | (code >> 6)), utf8[1] = (char)(0x80 | (code & 0x3F));
    if (n == 3) utf8[0] = (char)(0xE0 | (code >> 12)), utf8[1] = (char)(0x80 | ((code >> 6) & 0x3F)), utf8[2] = (char)(0x80 | (code & 0x3F));
    text.append(utf8, (size_t)n);
  }
  RECT r = {0, 0, 64, 64};
  GdiEmu_DrawText(ctx.dc, text.c_str(), (int)text.size(), &r, DT_CALCRECT);
  // One glyph of 40 pixels is far below the budget, so the budget itself bounds what is kept.
  EXPECT_LE(GdiEmu_GetFaceCacheStats().glyphBytes, kGdiEmuGlyphBytesPerFace + 64 * 1024);
  EXPECT_GT(GdiEmu_GetFaceCacheStats().glyphBytes, 0u);
  SelectObject(ctx.dc, prev);
  DeleteObject(f);
}
