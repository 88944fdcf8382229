// Calibration files: the byte-wise parser, the divisors, the search in the documents folder
// and a calibrated measurement.
#include "ThdTestHost.h"

#include "CalibrationParser.h"
#include "IUserNotice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include "Raster_Font.h"
#include "Util_Platform.h"
#else
#include <unistd.h>
#endif

namespace {
using CalibrationTest = ThdTestFolder;

struct Parsed
{
  int count;
  std::vector<double> f, g;
};

Parsed Parse(std::string text, int maxPoints = 100)
{
  Parsed p;
  p.f.assign((size_t)maxPoints, -1.0);
  p.g.assign((size_t)maxPoints, -1.0);
  p.count = ParseCalibrationText(text.data(), text.size(), p.f.data(), p.g.data(), maxPoints);
  return p;
}

void WriteFile(const std::string& path, const std::string& text)
{
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

std::vector<std::string> gNotices;
void RecordNotice(const char* text, const char* caption, ENoticeKind) { gNotices.push_back(std::string(caption) + ": " + text); }
}  // namespace

// Each line as the first line of a file, and after a complete data line.
TEST(CalibrationParserTest, LineTable)
{
  const struct { const char* line; int points; double f, g; } cases[] = {
    {"20 -3.5", 1, 20, -3.5},
    {"20,5 1.0", 1, 20.5, 1.0},
    {"20,-3.5", 1, 20, -3.5},
    {"20;-3", 1, 20, -3},
    {"20\t-3\t45", 1, 20, -3},
    {"1e3 -2", 1, 1000, -2},
    {"Freq Level", 0, 0, 0},
    {"* comment 1 2", 0, 0, 0},
    {".5 +2", 1, 0.5, 2},
  };
  for (const auto& c : cases)
  {
    for (const char* before : {"", "10 0\n"})
    {
      const Parsed p = Parse(std::string(before) + c.line + "\n");
      const int base = *before ? 1 : 0;
      ASSERT_EQ(p.count, base + c.points) << '"' << c.line << "\" after \"" << before << '"';
      if (c.points)
      {
        EXPECT_EQ(p.f[base], c.f) << c.line;
        EXPECT_EQ(p.g[base], c.g) << c.line;
      }
    }
  }
}

TEST(CalibrationParserTest, LineEndsAndOddLines)
{
  // The last line counts only once a line feed (or anything) ends its level.
  EXPECT_EQ(Parse("20 1\n30 2").count, 1);
  EXPECT_EQ(Parse("20 1\n30 2\n").count, 2);
  EXPECT_EQ(Parse("20 1\r\n30 2\r\n").count, 2);
  // Carriage returns alone: one line, so at most its first point.
  EXPECT_EQ(Parse("20 1\r30 2\r40 3\r").count, 1);
  // Two spaces of indent: frequency 0, and the number becomes the level.
  {
    const Parsed p = Parse("  100 2\n");
    ASSERT_EQ(p.count, 1);
    EXPECT_EQ(p.f[0], 0.0);
    EXPECT_EQ(p.g[0], 100.0);
  }
  // After a complete line, lines starting with "-" or a tab are skipped.
  EXPECT_EQ(Parse("20 1\n-30 2\n\t40 3\n50 4\n").count, 2);
  // A line with only a frequency waits for a level; the next line can supply it.
  {
    const Parsed p = Parse("20\nat -4.5 dB\n30 1\n");
    ASSERT_EQ(p.count, 2);
    EXPECT_EQ(p.f[0], 20.0);
    EXPECT_EQ(p.g[0], -4.5);
    EXPECT_EQ(p.f[1], 30.0);
  }
  // A frequency without a level is overwritten by the next line's.
  {
    const Parsed p = Parse("20\n\n30 1\n");
    ASSERT_EQ(p.count, 1);
    EXPECT_EQ(p.f[0], 30.0);
  }
  // Phase column, header and comment lines around real data.
  {
    const Parsed p = Parse("* measured 2024\nFreq(Hz) SPL Phase\n20 -1,5 170\n1000 0 0\n20000 -3 -45\n");
    ASSERT_EQ(p.count, 3);
    EXPECT_EQ(p.g[0], -1.5);
    EXPECT_EQ(p.f[2], 20000.0);
  }
  EXPECT_EQ(Parse("").count, 0);
}

// More points than the table holds: the table keeps the first ones and nothing is written
// past it. Tokens longer than the buffer are read from their first 99 characters.
TEST(CalibrationParserTest, LimitsAreSafe)
{
  std::string text;
  for (int i = 0; i < 25; ++i) text += std::to_string(i + 1) + " " + std::to_string(-i) + "\n";
  const Parsed p = Parse(text, 10 + 1);  // one slot more than allowed: a canary
  std::vector<double> f(11, -7.0), g(11, -7.0);
  std::string copy = text;
  EXPECT_EQ(ParseCalibrationText(copy.data(), copy.size(), f.data(), g.data(), 10), 10);
  EXPECT_EQ(f[10], -7.0);
  EXPECT_EQ(g[10], -7.0);
  EXPECT_EQ(f[9], 10.0);
  EXPECT_EQ(p.count, 11);

  const std::string longNumber = "1" + std::string(300, '0');
  const Parsed q = Parse(longNumber + " " + std::string(200, '5') + "\n20 1\n");
  ASSERT_EQ(q.count, 2);
  EXPECT_EQ(q.f[0], 1e98);
  EXPECT_EQ(q.f[1], 20.0);
}

TEST(CalibrationParserTest, Divisors)
{
  const double F[] = {100, 1000, 10000};
  const double G[] = {-2, 0, 6};
  const struct { double x; double dB; } cases[] = {
    {50, -2}, {100, -2}, {550, -1}, {1000, 0}, {5500, 3}, {10000, 6}, {30000, 6},
  };
  for (const auto& c : cases) EXPECT_NEAR(CalibrationDivisor(c.x, F, G, 3), std::pow(10.0, c.dB / 20.0), 1e-12) << c.x;
  // A table out of order: of the intervals that hold x, the last one wins.
  const double Fd[] = {100, 1000, 200, 2000};
  const double Gd[] = {0, 10, 20, 30};
  EXPECT_NEAR(CalibrationDivisor(500, Fd, Gd, 4), std::pow(10.0, (300.0 * 10 / 1800 + 20) / 20), 1e-12);
  // A frequency that compares with nothing (not a number) gets no correction.
  EXPECT_EQ(CalibrationDivisor(std::nan(""), F, G, 3), 1.0);
}

TEST_F(CalibrationTest, SearchOrder)
{
#ifdef _WIN32
  const std::string dir = mFolder + "\\cal folder";
  const char* sep = "\\";
#else
  const std::string dir = mFolder + "/cal [x]*";  // glob characters in the folder are literal
  const char* sep = "/";
#endif
  ASSERT_TRUE(std::filesystem::create_directory(dir));
  char name[256], path[1024];
  EXPECT_FALSE(ThdCalibration::FindFile(dir.c_str(), name, sizeof name, path, sizeof path));
  EXPECT_STREQ(name, "");
  WriteFile(dir + "/b.txt", "20 1\n");
  WriteFile(dir + "/z.cal", "20 1\n");
  WriteFile(dir + "/a.cal", "20 1\n");
  ASSERT_TRUE(ThdCalibration::FindFile(dir.c_str(), name, sizeof name, path, sizeof path));
#ifdef _WIN32
  // The first match the file search returns; NTFS lists by name, other file systems may not.
  EXPECT_TRUE(std::string(name) == "a.cal" || std::string(name) == "z.cal") << name;
#else
  EXPECT_STREQ(name, "a.cal");  // glob sorts by name
#endif
  EXPECT_EQ(std::string(path), dir + sep + name);
  WriteFile(dir + "/m.frd", "20 1\n");
  ASSERT_TRUE(ThdCalibration::FindFile((dir + sep).c_str(), name, sizeof name, path, sizeof path));
  EXPECT_STREQ(name, "m.frd");
  EXPECT_EQ(std::string(path), dir + sep + "m.frd");
}

TEST_F(CalibrationTest, LoadedAtConstructionAndAppliedAtStart)
{
  {
    IThdMeter none{Info()};
    EXPECT_EQ(none.IsCalibrationLoaded(), 0);
    EXPECT_STREQ(none.GetCalibrationName(), "");
  }
  const std::string folder = mFolder + "/Veldramix THD Meter";
  // The chain reads 3 dB high everywhere above 500 Hz and 6 dB high at 2000 Hz and up.
  WriteFile(folder + "/chain.frd", "Freq dB\n20 0\n500 3\n1000 3\n2000 6\n");
  WriteFile(folder + "/other.txt", "20 10\n20000 10\n");
  IThdMeter meter{Info()};
  ASSERT_EQ(meter.IsCalibrationLoaded(), 1);
  EXPECT_EQ(meter.GetCalibrationCount(), 4);
  EXPECT_STREQ(meter.GetCalibrationName(), "chain.frd");

  const double c[6] = {0, 1, 0.1, 0.0, 0.0, 0.0};
  ThdTestLoop loop(meter, 48000, 512);
  loop.mDevice = [c](double x) { return x + c[2] * x * x; };
  TypeFrequency(meter, "1000");
  PressControl(meter, kParamVolume, 1.0);
  meter.from_GUI(kParamStart);
  EXPECT_NEAR(meter.GetCalibrationFactor(1), std::pow(10.0, 3.0 / 20), 1e-12);
  EXPECT_NEAR(meter.GetCalibrationFactor(2), 2.0, 1e-2);  // 6 dB
  EXPECT_NEAR(meter.GetCalibrationFactor(5), std::pow(10.0, 6.0 / 20), 1e-12);
  ASSERT_TRUE(loop.RunToResults(14 * 48000));
  EXPECT_NEAR(meter.GetHarmonicLevel(1), 1.0 / std::pow(10.0, 3.0 / 20), 1e-9);
  EXPECT_NEAR(meter.GetHarmonicLevel(2), 0.05 / std::pow(10.0, 6.0 / 20), 1e-9);
}

TEST_F(CalibrationTest, TooFewPointsOrUnopenable)
{
  const std::string folder = mFolder + "/Veldramix THD Meter";
  ASSERT_TRUE(std::filesystem::create_directories(folder));
  WriteFile(folder + "/one.cal", "20 1\n");
  {
    IThdMeter meter{Info()};
    EXPECT_EQ(meter.IsCalibrationLoaded(), 0);
    EXPECT_EQ(meter.GetCalibrationCount(), 1);
  }
  WriteFile(folder + "/empty.frd", "");
  {
    IThdMeter meter{Info()};
    EXPECT_EQ(meter.IsCalibrationLoaded(), 0);
    EXPECT_STREQ(meter.GetCalibrationName(), "empty.frd");
  }
  std::filesystem::remove(folder + "/empty.frd");  // Windows lists a folder's files in no set order
  // A match that cannot be opened: a link to nothing (on Windows, a folder: the search lists
  // folders too, and the C library opens no folder there).
#ifdef _WIN32
  ASSERT_TRUE(std::filesystem::create_directory(folder + "/a.frd"));
#else
  ASSERT_EQ(symlink("/nonexistent/target", (folder + "/a.frd").c_str()), 0);
#endif
  gNotices.clear();
  IUserNoticeFunc old = SetUserNoticeFunc(&RecordNotice);
  {
    IThdMeter meter{Info()};
    EXPECT_EQ(meter.IsCalibrationLoaded(), 0);
  }
  SetUserNoticeFunc(old);
  ASSERT_EQ(gNotices.size(), 1u);
  EXPECT_EQ(gNotices[0], "Info: Error_005 Can't open calibration file.");
}

#ifdef _WIN32
// Without a folder from the binding the meter asks the shell for the user's Documents folder,
// as every Windows host process does, and searches its own folder in there. Only in Wine's
// prefix, which belongs to the test run: a real user's folder is left alone.
TEST_F(CalibrationTest, FoundInTheDocumentsFolderTheShellNames)
{
  if (!Raster_CachedFont::RunsUnderWine()) GTEST_SKIP() << "writes into the user's Documents folder: run under Wine only";
  char documents[1024];
  ASSERT_EQ(Util_DocumentsFolder(documents, sizeof documents), EUtilFolderResult::kFound);
  const std::string folder = std::string(documents) + "\\Veldramix THD Meter\\";
  char name[256], path[1024];
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  ASSERT_FALSE(ThdCalibration::FindFile(folder.c_str(), name, sizeof name, path, sizeof path))
      << "the prefix's folder already holds " << path;
  struct Remove
  {
    std::string file;
    ~Remove() { std::remove(file.c_str()); }
  } remove{folder + "chain.frd"};
  WriteFile(remove.file, "20 0\n500 3\n1000 3\n2000 6\n");
  IThdMeter meter{IFxInstanceInfo{}};
  EXPECT_EQ(std::string(meter.GetDocumentsFolder()), folder);
  ASSERT_EQ(meter.IsCalibrationLoaded(), 1);
  EXPECT_STREQ(meter.GetCalibrationName(), "chain.frd");
  meter.HostPrepare(48000, 512);
  TypeFrequency(meter, "1000");
  meter.from_GUI(kParamStart);
  EXPECT_NEAR(meter.GetCalibrationFactor(2), 2.0, 1e-2);  // 6 dB at 2000 Hz
}
#endif

TEST_F(CalibrationTest, ToolsCanNameAFile)
{
  IThdMeter meter{Info()};
  const std::string file = mFolder + "/flat.txt";
  WriteFile(file, "20 -6\n20000 -6\n");
  ASSERT_TRUE(meter.UseCalibrationFile(file.c_str()));
  EXPECT_EQ(meter.IsCalibrationLoaded(), 1);
  EXPECT_STREQ(meter.GetCalibrationName(), "flat.txt");
  EXPECT_FALSE(meter.UseCalibrationFile((mFolder + "/missing.frd").c_str()));
  EXPECT_EQ(meter.IsCalibrationLoaded(), 0);
}
