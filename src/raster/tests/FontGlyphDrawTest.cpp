// The glyph renderers' pixel formulas and the free glyph functions.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "FontTestUtil.h"
#include "Raster_Font.h"
#include "Raster_GlyphRender.h"

namespace {

// Copy mode of the anti-aliased renderer, written out from its rule: keep factor f, colour
// channels c + (d - c) * f / 256, alpha 255 - f * (255 - da) / 256.
uint32_t ReferenceNormalCopy(uint32_t dest, uint32_t color, int k, int w)
{
  const int f = w == 256 ? 255 - k : (w * k >= 65536 ? 0 : 256 - w * k / 256);
  auto ch = [&](int s) {
    const int d = (dest >> s) & 0xFF, c = (color >> s) & 0xFF;
    return (uint32_t)(c + (d - c) * f / 256) << s;
  };
  const int da = dest >> 24;
  return ch(0) | ch(8) | ch(16) | ((uint32_t)(255 - f * (255 - da) / 256) << 24);
}

uint32_t RenderOne(uint32_t dest, uint32_t color, uint8_t k, int w, int op, int kind = 0)
{
  Raster_GlyphSpan s = {&dest, 1, &k, 1, 1, 1};
  Raster_DispatchGlyphCombine(op, [&]<class C>() {
    if (kind == 0) GlyphRenderer::Normal<C>::Render(s, color, w);
    if (kind == 1) GlyphRenderer::Mono<C>::Render(s, color, w);
    if (kind == 2) GlyphRenderer::Effect<C>::Render(s, color, 0xFF0000FF, w);
  });
  return dest;
}

class FlippedBitmap : public Raster_MemBitmap
{
public:
  using Raster_MemBitmap::Raster_MemBitmap;
  bool isFlipped() override { return true; }
};

}  // namespace

TEST(GlyphRenderer, NormalCopyMixesByCoverage)
{
  const uint32_t dests[] = {0x00000000, 0xFF808080, 0x40FF0010, 0xFFFFFFFF};
  const uint32_t color = 0xFFEB4010;
  for (uint32_t d : dests)
    for (int k : {1, 64, 128, 200, 254, 255})
      for (int w : {1, 100, 128, 255, 256})
        EXPECT_EQ(RenderOne(d, color, (uint8_t)k, w, 0), ReferenceNormalCopy(d, color, k, w))
            << std::hex << d << " k " << std::dec << k << " w " << w;
  // Full coverage at full weight is exactly the text colour, opaque; no coverage leaves the pixel.
  EXPECT_EQ(RenderOne(0x12345678, 0x80EB4010, 255, 256, 0), 0xFFEB4010u);
  EXPECT_EQ(RenderOne(0x12345678, 0xFFEB4010, 0, 256, 0), 0x12345678u);
}

// The full-weight copy loop skips empty mask runs four bytes at a time: every width and
// offset of zero and non-zero runs must still give the formula's pixels.
TEST(GlyphRenderer, OpaqueCopyShortcutsMatchTheFormula)
{
  std::mt19937 rng(99);
  for (int width = 1; width <= 19; ++width)
    for (int rep = 0; rep < 20; ++rep)
    {
      std::vector<uint8_t> mask(width * 3);
      for (uint8_t& k : mask)
      {
        const unsigned v = rng() % 4;
        k = v == 0 ? 0 : v == 1 ? 255 : (uint8_t)(rng() & 0xFF);
        if (rng() % 3 == 0) k = 0;
      }
      std::vector<uint32_t> dest(width * 3), expected(width * 3);
      for (size_t i = 0; i < dest.size(); ++i) dest[i] = rng();
      const uint32_t color = rng();
      for (size_t i = 0; i < dest.size(); ++i)
        expected[i] = mask[i] ? ReferenceNormalCopy(dest[i], color, mask[i], 256) : dest[i];
      Raster_GlyphSpan s = {dest.data(), width, mask.data(), width, width, 3};
      GlyphRenderer::Normal<Raster_CombinePixelsCopyNoClamp>::Render(s, color, 256);
      EXPECT_EQ(dest, expected) << "width " << width;
    }
}

TEST(GlyphRenderer, OtherClassesTakeCoverageAsWeight)
{
  for (int op = 1; op <= 5; ++op)
    for (int k : {1, 100, 255})
      for (int w : {77, 256})
      {
        uint32_t expected = 0xFF406080;
        const int pw = w == 256 ? k + 1 : std::min(256, w * k / 256);
        Raster_CombinePixels2(&expected, 0x20, 0x90, 0xF0, 255, pw, op);
        EXPECT_EQ(RenderOne(0xFF406080, 0xFF2090F0, (uint8_t)k, w, op), expected) << op << " " << k << " " << w;
      }
  EXPECT_EQ(RenderOne(0xFF406080, 0xFF2090F0, 255, 256, 9), 0xFF406080u);  // unknown operation
}

TEST(GlyphRenderer, MonoAndEffectStoreColoursAtFullCopyWeight)
{
  EXPECT_EQ(RenderOne(0xFF000000, 0x80EB4010, 1, 256, 0, 1), 0x80EB4010u);  // the colour as it is
  uint32_t half = 0xFF000000;
  Raster_CombinePixels2(&half, 0xEB, 0x40, 0x10, 255, 128, 0);
  EXPECT_EQ(RenderOne(0xFF000000, 0xFFEB4010, 1, 128, 0, 1), half);
  EXPECT_EQ(RenderOne(0xFF000000, 0xFFEB4010, 255, 256, 0, 2), 0xFFEB4010u);
  EXPECT_EQ(RenderOne(0xFF000000, 0xFFEB4010, 128, 256, 0, 2), 0xFF0000FFu);
  EXPECT_EQ(RenderOne(0xFF000000, 0xFFEB4010, 0, 256, 0, 2), 0xFF000000u);
}

TEST(GlyphFunctions, DrawGlyphClipsToTheBitmap)
{
  const uint8_t mask[9] = {255, 255, 255, 255, 255, 255, 255, 255, 255};
  Raster_MemBitmap bm(4, 4);
  struct Case
  {
    int x, y;
    int painted;
  } cases[] = {{0, 0, 9}, {-1, -1, 4}, {2, 3, 2}, {4, 0, 0}, {-3, 0, 0}, {1, 1, 9}};
  for (const Case& c : cases)
  {
    Test_Fill(&bm, 0);
    Raster_DrawGlyph(&bm, c.x, c.y, 0xFFFFFFFF, mask, 3, 3, 1.0f, 0);
    EXPECT_EQ(Test_Ink(&bm, 0).count, c.painted) << c.x << "," << c.y;
  }
  Test_Fill(&bm, 0);
  Raster_DrawGlyph(&bm, 0, 0, 0xFFFFFFFF, mask, 3, 3, 0.0f, 0);             // weight 0
  Raster_DrawGlyph(&bm, 0, 0, 0x00FFFFFF, mask, 3, 3, 1.0f, 0x10000);       // source alpha 0
  Raster_DrawGlyph(&bm, 0, 0, 0xFFFFFFFF, mask, 3, 3, 1.0f, 7);             // no such operation
  Raster_DrawGlyph(&bm, 0, 0, 0xFFFFFFFF, nullptr, 3, 3, 1.0f, 0);          // no mask
  Raster_DrawGlyph(nullptr, 0, 0, 0xFFFFFFFF, mask, 3, 3, 1.0f, 0);
  EXPECT_EQ(Test_Ink(&bm, 0).count, 0);
}

TEST(GlyphFunctions, DrawGlyphExUsesTheRowSpanAndCoverage)
{
  // A 2 x 2 mask inside a 3-byte-wide buffer.
  const uint8_t mask[6] = {255, 128, 99, 0, 64, 99};
  Raster_MemBitmap bm(2, 2);
  Test_Fill(&bm, 0xFF000000);
  Raster_DrawGlyphEx(&bm, 0, 0, 0xFFFFFFFF, mask, 2, 3, 2, 1.0f, 0);
  const uint32_t* p = bm.getBits();
  const int span = bm.getRowSpan();
  auto expect = [](int k) {
    uint32_t v = 0xFF000000;
    Raster_CombinePixels2(&v, 255, 255, 255, 255, k + 1, 0);
    return v;
  };
  EXPECT_EQ(p[0], expect(255));
  EXPECT_EQ(p[1], expect(128));
  EXPECT_EQ(p[span], 0xFF000000u);
  EXPECT_EQ(p[span + 1], expect(64));
}

TEST(GlyphFunctions, MonoGlyphReadsBitsMostSignificantFirst)
{
  // Rows of 10 pixels, 2 bytes each: 1010000001 and 0100000000.
  const uint8_t bits[4] = {0xA0, 0x40, 0x40, 0x00};
  Raster_MemBitmap bm(12, 2);
  auto row = [&](int y) {
    std::string s;
    for (int x = 0; x < 12; ++x) s += bm.getBits()[y * bm.getRowSpan() + x] ? '#' : '.';
    return s;
  };
  Test_Fill(&bm, 0);
  Raster_DrawMonoGlyph(&bm, 0, 0, 0xFFFFFFFF, bits, 10, 2, 2, 1.0f, 0);
  EXPECT_EQ(row(0), "#.#......#..");
  EXPECT_EQ(row(1), ".#..........");
  Test_Fill(&bm, 0);
  Raster_DrawMonoGlyph(&bm, -1, 0, 0xFFFFFFFF, bits, 10, 2, 2, 1.0f, 0);  // first column clipped
  EXPECT_EQ(row(0), ".#......#...");
  EXPECT_EQ(row(1), "#...........");
}

TEST(GlyphFunctions, FlippedBitmapsAreAddressedByLogicalRow)
{
  const uint8_t mask[2] = {255, 255};
  FlippedBitmap bm(2, 3);
  Test_Fill(&bm, 0);
  Raster_DrawGlyph(&bm, 0, 0, 0xFFFFFFFF, mask, 2, 1, 1.0f, 0);
  // Logical row 0 of a flipped bitmap is the last row in memory.
  EXPECT_EQ(bm.getBits()[2 * bm.getRowSpan()], 0xFFFFFFFFu);
  EXPECT_EQ(bm.getBits()[0], 0u);
}

// The cached font composites through the same renderers on a flipped bitmap.
TEST(GlyphFunctions, CachedFontDrawsIntoFlippedBitmaps)
{
  std::unique_ptr<Raster_CachedFont> f(Test_MakeFont("Verdana", 13, true, 0));
  f->SetTextColor(0xFFFFFFFF);
  Raster_MemBitmap upright(60, 20);
  FlippedBitmap flipped(60, 20);
  Test_Fill(&upright, 0);
  Test_Fill(&flipped, 0);
  RECT r1 = {0, 0, 60, 20}, r2 = r1;
  f->DrawText(&upright, "Hq", -1, &r1, 0);
  f->DrawText(&flipped, "Hq", -1, &r2, 0);
  int mismatches = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 60; ++x)
      mismatches += upright.getBits()[y * upright.getRowSpan() + x] != flipped.getBits()[(19 - y) * flipped.getRowSpan() + x];
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(Test_Ink(&upright, 0).count, 0);
}
