// Finding font files: the font folders' lookup (macOS, and Linux when built so) against
// fontconfig's answers for the same installed fonts, its own rules, the bundle's Resources
// folder, and what a missing family is drawn with.
#include "GdiEmu.h"
#include "GdiEmu_Faces.h"
#include "GdiEmu_FontFamilies.h"
#include "GdiEmu_FontLookup.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const GdiEmu_FontFolderIndex& SystemIndex()
{
  static GdiEmu_FontFolderIndex* index = [] {
    auto* i = new GdiEmu_FontFolderIndex;
    i->AddFolders(GdiEmu_FontFolderIndex::DefaultFolders(), GdiEmu_FreeTypeLibrary());
    return i;
  }();
  return *index;
}

[[maybe_unused]] std::string Describe(const GdiEmu_FontFile& f)
{
  return f.file + "#" + std::to_string(f.index) + " \"" + f.family + "\"" + (f.isBold ? " bold" : "") +
         (f.isItalic ? " italic" : "");
}

// A private folder that is removed with the test.
struct TempFolder
{
  std::string path;
  TempFolder()
  {
    char tmpl[] = "/tmp/vx-fonts-XXXXXX";
    path = mkdtemp(tmpl) ? tmpl : "";
  }
  ~TempFolder()
  {
    if (!path.empty()) std::system(("rm -rf '" + path + "'").c_str());
  }
};

bool CopyFile(const std::string& from, const std::string& to)
{
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary);
  out << in.rdbuf();
  return in.good() && out.good();
}

}  // namespace

TEST(GdiEmuLookup, FamiliesAndTheirStandIns)
{
  size_t nOwn = 0;
  std::vector<std::string> arial = GdiEmu_FamilyCandidates("arial", &nOwn);
  ASSERT_EQ(nOwn, 5u);
  EXPECT_EQ(arial[0], "arial");
  EXPECT_EQ(arial[2], "Liberation Sans");
  EXPECT_EQ(arial[5], "Noto Sans");  // then the sans-serif preferences

  std::vector<std::string> none = GdiEmu_FamilyCandidates("", &nOwn);
  EXPECT_EQ(nOwn, 0u);
  EXPECT_EQ(none[1], "DejaVu Sans");
  EXPECT_EQ(GdiEmu_FamilyCandidates("Courier New", nullptr)[5], "Noto Sans Mono");
  EXPECT_EQ(GdiEmu_FamilyCandidates("Times New Roman", nullptr)[5], "Noto Serif");

  EXPECT_TRUE(GdiEmu_SameFamily("DejaVuSans", "dejavu sans"));
  EXPECT_FALSE(GdiEmu_SameFamily("DejaVu Sans", "DejaVu Sans Mono"));
  EXPECT_TRUE(GdiEmu_IsRequestedFamily("Arial", "Liberation Sans"));
  EXPECT_TRUE(GdiEmu_IsRequestedFamily("Verdana", "verdana"));
  EXPECT_FALSE(GdiEmu_IsRequestedFamily("Verdana", "DejaVu Sans"));
  EXPECT_TRUE(GdiEmu_IsRequestedFamily("", "DejaVu Sans"));
}

TEST(GdiEmuLookup, BundleResourcesFolderOfTheBinary)
{
  const struct
  {
    const char* binary;
    const char* resources;
  } cases[] = {
      {"/Library/Audio/Plug-Ins/VST/VeldramixMeter.vst/Contents/MacOS/VeldramixMeter",
       "/Library/Audio/Plug-Ins/VST/VeldramixMeter.vst/Contents/Resources"},
      {"/home/u/.vst3/VeldramixMeter.vst3/Contents/x86_64-linux/VeldramixMeter.so",
       "/home/u/.vst3/VeldramixMeter.vst3/Contents/Resources"},
      {"/usr/lib/vst/VeldramixMeter.so", ""},
      {"/Contents/MacOS/x", ""},
      {"MacOS/x", ""},
      {"x", ""},
      {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(GdiEmu_FontFolderIndex::BundleResourcesFolder(c.binary), c.resources) << c.binary;
  EXPECT_EQ(GdiEmu_FontFolderIndex::BundleResourcesFolder(nullptr), "");
}

// The faces the editor asks for, and the ones a missing or empty name stands for, come from
// the same files whichever lookup the build uses (so the two builds draw the same pixels).
TEST(GdiEmuLookup, FolderIndexChoosesAsFontconfigDoes)
{
  ASSERT_GT(SystemIndex().FaceCount(), 0u) << "no font files in the system's font folders";
#ifndef VX_FONT_LOOKUP_fontconfig
  GTEST_SKIP() << "this build has no fontconfig to compare with";
#else
  const char* families[] = {"Arial", "Verdana", "", "No Such Face Veldramix", "Helvetica", "Times New Roman",
                            "Courier New", "DejaVu Sans", "Liberation Serif", "serif", "monospace"};
  Util_MutexLock lock(GdiEmu_FontLock());
  for (const char* family : families)
    for (int style = 0; style < 4; ++style)
    {
      const bool bold = style & 1, italic = style & 2;
      GdiEmu_FontFile fc, files;
      ASSERT_TRUE(GdiEmu_LookupFontFile(family, bold, italic, &fc)) << family;
      ASSERT_TRUE(SystemIndex().Match(family, bold, italic, &files)) << family;
      EXPECT_EQ(Describe(files), Describe(fc)) << "\"" << family << "\"" << (bold ? " bold" : "") << (italic ? " italic" : "");
    }
#endif
}

// A folder of its own: the family is found by any of its names, the nearest style is taken
// (an exact one, else the regular face for synthesis), and a family the folder lacks falls
// back to the sans-serif face it holds.
TEST(GdiEmuLookup, FolderIndexPicksTheNearestStyle)
{
  GdiEmu_FontFile regular, bold;
  ASSERT_TRUE(SystemIndex().Match("DejaVu Sans", false, false, &regular));
  ASSERT_TRUE(SystemIndex().Match("DejaVu Sans", true, false, &bold));
  ASSERT_EQ(regular.family, "DejaVu Sans") << "fonts-dejavu-core is not installed";
  ASSERT_TRUE(bold.isBold);

  TempFolder dir;
  const std::string resources = dir.path + "/VeldramixMeter.vst/Contents/Resources";
  ASSERT_EQ(std::system(("mkdir -p '" + resources + "/sub'").c_str()), 0);
  ASSERT_TRUE(CopyFile(regular.file, resources + "/Regular.ttf"));
  ASSERT_TRUE(CopyFile(bold.file, resources + "/sub/Bold.TTF"));
  std::ofstream(resources + "/notes.txt") << "not a font";
  std::ofstream(resources + "/broken.ttf") << "not a font either";

  GdiEmu_FontFolderIndex index;
  index.AddFolders({dir.path + "/missing", GdiEmu_FontFolderIndex::BundleResourcesFolder(
                                               (dir.path + "/VeldramixMeter.vst/Contents/MacOS/VeldramixMeter").c_str())},
                   GdiEmu_FreeTypeLibrary());
  EXPECT_EQ(index.FaceCount(), 2u);

  const struct
  {
    const char* family;
    bool bold, italic;
    const char* file;
    bool isBold, isItalic;
  } cases[] = {
      {"DejaVu Sans", false, false, "/Regular.ttf", false, false},
      {"dejavusans", true, false, "/sub/Bold.TTF", true, false},
      {"DejaVu Sans", false, true, "/Regular.ttf", false, false},  // no oblique here: synthesised
      {"DejaVu Sans", true, true, "/sub/Bold.TTF", true, false},
      {"Verdana", true, false, "/sub/Bold.TTF", true, false},  // falls back to sans-serif
      {"Courier New", false, false, "/Regular.ttf", false, false},  // no monospace face at all
  };
  for (const auto& c : cases)
  {
    GdiEmu_FontFile f;
    ASSERT_TRUE(index.Match(c.family, c.bold, c.italic, &f)) << c.family;
    EXPECT_EQ(f.file, resources + c.file) << c.family << c.bold << c.italic;
    EXPECT_EQ(f.family, "DejaVu Sans");
    EXPECT_EQ(f.isBold, c.isBold) << c.family << c.bold << c.italic;
    EXPECT_EQ(f.isItalic, c.isItalic) << c.family << c.bold << c.italic;
  }

  GdiEmu_FontFolderIndex empty;
  empty.AddFolders({dir.path + "/missing"}, GdiEmu_FreeTypeLibrary());
  GdiEmu_FontFile f;
  EXPECT_FALSE(empty.Match("DejaVu Sans", false, false, &f));
}

// A family nobody has is drawn with the default sans-serif face; the font says it stands in,
// and the font folders' build says so once on standard error.
TEST(GdiEmuLookup, MissingFamilyFallsBackAndSaysSo)
{
  ::testing::internal::CaptureStderr();
  HFONT missing = CreateFont(13, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Veldramix Missing Family");
  HFONT again = CreateFont(20, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "Veldramix Missing Family");
  HFONT def = CreateFont(13, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "");
  HFONT arial = CreateFont(13, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  const std::string said = ::testing::internal::GetCapturedStderr();
  ASSERT_NE(missing, nullptr);
  ASSERT_NE(def, nullptr);
  ASSERT_NE(arial, nullptr);
  char a[64] = {}, b[64] = {};
  ASSERT_TRUE(GdiEmu_GetFontFamilyName(missing, a, sizeof a));
  ASSERT_TRUE(GdiEmu_GetFontFamilyName(def, b, sizeof b));
  EXPECT_STREQ(a, b);
  EXPECT_TRUE(GdiEmu_FontIsFallback(missing));
  EXPECT_TRUE(GdiEmu_FontIsFallback(again));
  EXPECT_FALSE(GdiEmu_FontIsFallback(def));
  EXPECT_FALSE(GdiEmu_FontIsFallback(arial));  // Liberation Sans is Arial's metric twin
  if (std::string(GdiEmu_FontLookupName()) == "files")
  {
    const std::string note = std::string("text: no font of the family \"Veldramix Missing Family\" is installed; drawing it with \"") + b + "\"\n";
    EXPECT_EQ(said, note);
  }
  else
  {
    EXPECT_EQ(said, "");
  }
  for (HFONT f : {missing, again, def, arial}) DeleteObject(f);
}
