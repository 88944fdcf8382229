// Golden snapshots of the editor's four text styles, drawn through the native path and the
// glyph path, and the agreement of the two paths.
//
// Comparison: Raster_CompareSnapshot with its default options. Every text line must keep its
// ink bounding box (within a pixel) and its ink pixel count (within a few pixels), no group of
// more than 8 neighbouring pixels may differ by more than 16 per channel, at most 0.5 % of all
// pixels may, and none may where the picture is smooth. The two text paths blend coverage with
// slightly different rounding (up to 2 per channel), and a FreeType or Wine update shifts a
// few anti-aliased edge pixels; a moved, missing, extra, re-hinted or differently sized glyph
// fails. The goldens are kept per text engine ("linux": the GDI emulation over FreeType;
// "wine": Wine's GDI, its native path forced past the Wine probe as real Windows takes it) in
// src/raster/tests/golden. Set VX_UPDATE_GOLDENS=1 to rewrite them after a deliberate change
// (check the new images by eye before committing them). A failing comparison leaves the drawn
// image in the working directory as <name>.actual.png.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "FontTestUtil.h"
#include "Raster_PNG.h"
#include "Raster_SnapshotCompare.h"

namespace {

struct Snapshot
{
  int style;  // index into kEditorStyles
  const char* text;
  UINT format;
  int width, height;
};

// What the editor shows in each style (its rectangles, roughly).
const Snapshot kSnapshots[] = {
    {0, "1000 Hz", 0, 84, 24},
    {1, "-10.0 dB", DT_RIGHT, 64, 16},
    {2, "THD=0.001234%\nHarmonic1=0.501187\nHarmonic2=0.000012\nHarmonic3=0.000003\nHarmonic4=0.000001\n"
        "Harmonic5=0.000000",
     0, 180, 84},
    {3, "1.0.6", 0, 50, 20},
};

enum Path
{
  kNative,
  kGlyph
};

// wineNative: under Wine, the native path goes through Wine's GDI as on Windows (users there
// get the glyph path, which the glyph snapshots show); otherwise it is the users' path.
std::unique_ptr<Raster_IBitmap> Render(const Snapshot& s, Path path, bool wineNative = true)
{
  std::optional<Test_NativePathUnderWine> native;
  if (path == kNative && wineNative) native.emplace();
  const FontStyle& st = kEditorStyles[s.style];
  std::unique_ptr<Raster_CachedFont> font(Test_MakeFont(st.face, st.size, st.bold, 0x600));
  font->SetTextColor(st.color);
  auto bm = std::make_unique<Raster_SysBitmap>(s.width, s.height);
  Test_Fill(bm.get(), st.background);
  RECT r = {2, 2, s.width - 2, s.height - 2};
  // The alpha flag with an opaque colour keeps full weight but forces the glyph cache.
  font->DrawText(bm.get(), s.text, -1, &r, s.format | DT_NOCLIP | (path == kGlyph ? kRasterText_UseTextAlpha : 0));
  return bm;
}

std::string Name(const Snapshot& s, Path path)
{
  return std::string("font_") + kEditorStyles[s.style].name + (path == kNative ? "_native_" : "_glyph_") + Test_PlatformTag();
}

::testing::AssertionResult Within(Raster_IBitmap* actual, Raster_IBitmap* expected)
{
  const Raster_SnapshotReport rep = Raster_CompareSnapshot(actual, expected);
  if (!rep.match) return ::testing::AssertionFailure() << rep.reason;
  return ::testing::AssertionSuccess();
}

}  // namespace

TEST(FontGolden, EditorStylesMatchTheirSnapshots)
{
  const bool update = Raster_UpdateGoldensRequested();
  if (!update && std::string(Test_PlatformTag()) == "windows") GTEST_SKIP() << "no goldens recorded for Windows' own fonts";
  for (const Snapshot& s : kSnapshots)
    for (Path path : {kNative, kGlyph})
    {
      const std::string name = Name(s, path);
      const std::string file = Test_GoldenDir() + "/" + name + ".png";
      std::unique_ptr<Raster_IBitmap> actual = Render(s, path);
      if (update)
      {
        EXPECT_TRUE(Test_WritePNG(actual.get(), file)) << file;
        continue;
      }
      std::unique_ptr<Raster_IBitmap> golden(Raster_LoadPNG(file.c_str()));
      if (!golden)
      {
        ADD_FAILURE() << "no golden " << file << " (VX_UPDATE_GOLDENS=1 writes it)";
        Test_WritePNG(actual.get(), name + ".actual.png");
        continue;
      }
      const ::testing::AssertionResult ok = Within(actual.get(), golden.get());
      EXPECT_TRUE(ok) << name;
      if (!ok) Test_WritePNG(actual.get(), name + ".actual.png");
    }
}

// Same face, same positions: the glyph cache reproduces the platform's output. (Not Wine's
// GDI, whose text differs from its own glyph outlines by whole groups of pixels: that is why
// users under Wine get the glyph path, and what this compares there.)
TEST(FontGolden, NativeAndGlyphPathsAgree)
{
  for (const Snapshot& s : kSnapshots)
  {
    std::unique_ptr<Raster_IBitmap> native = Render(s, kNative, false), glyph = Render(s, kGlyph);
    EXPECT_TRUE(Within(glyph.get(), native.get())) << kEditorStyles[s.style].name;
  }
}

// The comparison must notice one missing glyph: the results text without its "%" sign. The
// former rule (at most 0.5 % of the pixels differ by more than 16) let it pass. Also an extra
// glyph, one glyph replaced inside a line, and the text moved down by a line.
TEST(FontGolden, MissingOrExtraGlyphFailsTheComparison)
{
  const Snapshot& results = kSnapshots[2];
  ASSERT_NE(std::string(results.text).find('%'), std::string::npos);
  auto variant = [&](const std::string& text) {
    Snapshot s = results;
    s.text = text.c_str();
    return Render(s, kGlyph);
  };
  const std::string full = results.text;
  const size_t percent = full.find('%');
  const std::string noPercent = full.substr(0, percent) + full.substr(percent + 1);
  const std::string extra = full.substr(0, percent) + "7" + full.substr(percent);
  std::string replaced = full;
  replaced[replaced.find("0.501187") + 2] = '6';  // one digit in the middle of a line
  std::unique_ptr<Raster_IBitmap> golden = Render(results, kGlyph);

  std::unique_ptr<Raster_IBitmap> missing = variant(noPercent);
  const PixelDiff old = Test_Compare(missing.get(), golden.get(), 16);
  EXPECT_LT(100.0 * old.differing / (golden->getWidth() * golden->getHeight()), 0.5) << "the old rule passed it";
  EXPECT_FALSE(Within(missing.get(), golden.get()));
  EXPECT_FALSE(Within(variant(extra).get(), golden.get()));
  EXPECT_FALSE(Within(variant(replaced).get(), golden.get()));
  EXPECT_FALSE(Within(variant("\n" + full).get(), golden.get()));
  EXPECT_TRUE(Within(variant(full).get(), golden.get()));
}
