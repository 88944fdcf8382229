// The editor as the user sees it, against committed pictures (strict snapshot comparison):
// idle, during a run, with results, and with the about box open. Set VX_UPDATE_GOLDENS=1 to rewrite the pictures after
// an intended change, then look at every one of them before committing.
#include "ThdEditorHost.h"
#include "ThdTestFolder.h"

#include "Raster.h"
#include "Raster_Font.h"
#include "Raster_SnapshotCompare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

namespace {
namespace P = ThdEditorPoints;
using ThdEditorGoldenTest = ThdTestFolder;

// The pictures per platform: the GDI emulation over FreeType ("editor_idle.png"), and on
// Windows under Wine the glyphs of Wine's GDI ("editor_idle_wine.png").
std::string GoldenPath(const char* name)
{
  const char* src = std::getenv("VX_SOURCE_DIR");
  std::string file = name;
#ifdef _WIN32
  file.insert(file.rfind('.'), "_wine");
#endif
  return std::string(src ? src : ".") + "/src/meter/tests/golden/" + file;
}

// The strict snapshot comparison: every text line's ink in place and counted, no cluster of
// differing pixels larger than anti-aliasing noise leaves.
void ExpectMatchesGolden(IGraphicsHeadless* gui, const char* name)
{
  const std::string path = GoldenPath(name);
  if (Raster_UpdateGoldensRequested())
  {
    ASSERT_TRUE(gui->WriteScreenPNG(path.c_str())) << path;
    return;
  }
  std::unique_ptr<Raster_IBitmap> golden(Raster_LoadPNG(path.c_str()));
  ASSERT_TRUE(golden) << "missing golden " << path << " (VX_UPDATE_GOLDENS=1 writes it)";
  const Raster_SnapshotReport report = Raster_CompareSnapshot(gui->GetScreen(), golden.get());
  if (!report.match)
  {
    const std::string actual = std::string(name) + ".actual.png";
    gui->WriteScreenPNG(actual.c_str());
    ADD_FAILURE() << name << ": " << report.reason << "; the drawn picture is in the test's folder as " << actual;
  }
}
}  // namespace

TEST_F(ThdEditorGoldenTest, IdleRunningFinishedAndAbout)
{
#ifdef _WIN32
  // Wine's fonts are not Windows' own: the Windows pictures are Wine's, drawn as the plug-in
  // draws under Wine (the glyph path).
  if (!Raster_CachedFont::RunsUnderWine()) GTEST_SKIP() << "the Windows pictures are drawn with Wine's fonts";
#endif
  IThdMeter meter{Info()};
  ThdEditorDriver d(meter, 48000, 24000);  // two blocks a second
  d.mDevice = [](double x) { return 0.5 * std::tanh(2.0 * x); };  // a gently clipping stage
  ASSERT_TRUE(d.Tick());
  ExpectMatchesGolden(d.Gui(), "editor_idle.png");

  d.Gui()->Click(P::kFrequency[0], P::kFrequency[1]);
  d.Gui()->CompleteTextEntry("1000");
  d.Click(P::kStart);
  for (int i = 0; i < 8; ++i)
  {
    d.Block();
    d.Tick();
  }
  ExpectMatchesGolden(d.Gui(), "editor_running.png");

  ASSERT_TRUE(d.RunToResults(40));
  d.Tick();
  ExpectMatchesGolden(d.Gui(), "editor_finished.png");

  d.Click(P::kAbout);
  d.Tick();
  ExpectMatchesGolden(d.Gui(), "editor_about.png");
}

namespace {
// The editor as real Windows draws it: its opaque texts through the platform's text output
// (GDI). Under Wine users get the glyph path; the test turns the native path on there.
struct NativeTextUnderWine
{
  NativeTextUnderWine() { Raster_CachedFont::SetNativePathUnderWine(true); }
  ~NativeTextUnderWine() { Raster_CachedFont::SetNativePathUnderWine(false); }
  NativeTextUnderWine(const NativeTextUnderWine&) = delete;
  NativeTextUnderWine& operator=(const NativeTextUnderWine&) = delete;
};

// Dark, opaque pixels in the frequency box (119, 74, 168, 91): the digits as any picture of the
// editor shows them, composited with its alpha or not. Also counts pixels of the whole editor
// that are not opaque.
struct FrequencyInk
{
  int dark = 0, right = -1, notOpaque = 0;
};

FrequencyInk MeasureFrequencyInk(Raster_IBitmap* screen)
{
  FrequencyInk ink;
  for (int y = 0; y < screen->getHeight(); ++y)
    for (int x = 0; x < screen->getWidth(); ++x)
    {
      const uint32_t p = screen->getBits()[(size_t)y * screen->getRowSpan() + x];
      if (p >> 24 != 0xFF) ++ink.notOpaque;
      const bool inBox = x >= 119 && x < 168 && y >= 74 && y < 91;
      const bool dark = ((p >> 16) & 0xFF) < 100 && ((p >> 8) & 0xFF) < 100 && (p & 0xFF) < 100;
      if (inBox && dark && p >> 24 == 0xFF)
      {
        ++ink.dark;
        ink.right = std::max(ink.right, x);
      }
    }
  return ink;
}
}  // namespace

// The frequency is the one value the user types: its digits must show in the white box on the
// native text path too. GDI writes no alpha, and a picture whose black digits are transparent
// shows an empty white box wherever it is composited with its alpha.
TEST_F(ThdEditorGoldenTest, FrequencyDigitsAreOpaqueInkOnTheNativeTextPath)
{
  NativeTextUnderWine native;
  IThdMeter meter{Info()};
  ThdEditorDriver d(meter, 48000, 24000);
  ASSERT_TRUE(d.Tick());
  const FrequencyInk initial = MeasureFrequencyInk(d.Gui()->GetScreen());
  EXPECT_GT(initial.dark, 40) << "\"300\" in the frequency box";
  EXPECT_EQ(initial.notOpaque, 0);

  d.Gui()->Click(P::kFrequency[0], P::kFrequency[1]);
  d.Gui()->CompleteTextEntry("1000");
  d.Tick();
  const FrequencyInk typed = MeasureFrequencyInk(d.Gui()->GetScreen());
  EXPECT_GT(typed.dark, initial.dark) << "\"1000\" in the frequency box";
  EXPECT_GT(typed.right, initial.right) << "four digits reach further right than three";
  EXPECT_EQ(typed.notOpaque, 0);
  if (typed.dark <= initial.dark || typed.notOpaque)
    d.Gui()->WriteScreenPNG("editor_native_text.actual.png");
}
