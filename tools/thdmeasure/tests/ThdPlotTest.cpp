// Plots of sweeps: two known sweeps against committed pictures (strict snapshot comparison),
// awkward data that must still draw something, and the PNG file itself. Set
// VX_UPDATE_GOLDENS=1 to rewrite the pictures in tools/thdmeasure/tests/golden after an intended change,
// then look at every one of them before committing.
#include "Raster.h"
#include "Raster_SnapshotCompare.h"
#include "ThdPlot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int kWidth = 1000, kHeight = 620;

// A distortion analyser's view of an amplifier: rising distortion at both ends of the band,
// a noise floor under THD+N, the harmonics below, H4 lost in the noise for three points.
ThdPlotData FrequencySweep()
{
  ThdPlotData d;
  d.mTitle = "Soft clipper, drive 2 - 31 points 20 Hz to 20 kHz, -10 dB, denoising 12 s, 48000 Hz";
  d.mLogX = true;
  d.mXLabel = "Frequency (Hz)";
  d.mYLabel = "dB relative to the fundamental";
  d.mSeries = {{"THD", {}, {}}, {"THD+N", {}, {}}, {"H2", {}, {}}, {"H3", {}, {}}, {"H4", {}, {}}, {"H5", {}, {}}};
  for (int i = 0; i < 31; ++i)
  {
    const double f = std::round(20.0 * std::pow(1000.0, i / 30.0));
    const double o = std::log10(f / 1000.0);  // decades from 1 kHz
    d.mX.push_back(f);
    const double h2 = -72.0 + 9.0 * o * o + 6.0 * std::max(o, 0.0);
    const double h3 = -64.0 + 5.0 * o * o + 10.0 * std::max(o, 0.0);
    const double h4 = -95.0 + 8.0 * o * o;
    const double h5 = -88.0 + 6.0 * o * o + 8.0 * std::max(o, 0.0);
    auto power = [](double db) { return std::pow(10.0, db / 10.0); };
    const double thd = 10.0 * std::log10(power(h2) + power(h3) + power(h4) + power(h5));
    d.mSeries[0].mY.push_back(thd);
    d.mSeries[1].mY.push_back(10.0 * std::log10(power(thd) + power(-70.0)));
    d.mSeries[2].mY.push_back(h2);
    d.mSeries[3].mY.push_back(h3);
    d.mSeries[4].mY.push_back(i >= 12 && i <= 14 ? kNaN : h4);
    d.mSeries[5].mY.push_back(h5);
  }
  return d;
}

// Distortion against the tone's level: noise dominates THD+N at low levels, clipping takes
// over near full scale.
ThdPlotData LevelSweep()
{
  ThdPlotData d;
  d.mTitle = "Soft clipper, drive 2 - level sweep -40 dB to 0 dB in 2 dB steps at 1000 Hz";
  d.mLogX = false;
  d.mXLabel = "Tone level (dB)";
  d.mYLabel = "dB relative to the fundamental";
  d.mSeries = {{"THD", {}, {}}, {"THD+N", {}, {}}, {"H2", {}, {}}, {"H3", {}, {}}, {"H4", {}, {}}, {"H5", {}, {}}};
  for (int level = -40; level <= 0; level += 2)
  {
    d.mX.push_back(level);
    // Odd harmonics grow by their order's power of the level, even ones from a slight
    // asymmetry; below the noise a harmonic reads as nothing.
    auto measured = [](double db) { return db < -130.0 ? kNaN : db; };
    const double h2 = measured(-60.0 + 1.0 * level);
    const double h3 = measured(-22.0 + 2.0 * level);
    const double h4 = measured(-80.0 + 3.0 * level);
    const double h5 = measured(-48.0 + 4.0 * level);
    auto power = [](double db) { return std::isfinite(db) ? std::pow(10.0, db / 10.0) : 0.0; };
    const double thd = 10.0 * std::log10(power(h2) + power(h3) + power(h4) + power(h5));
    d.mSeries[0].mY.push_back(thd);
    d.mSeries[1].mY.push_back(10.0 * std::log10(power(thd) + power(-100.0 - level)));
    d.mSeries[2].mY.push_back(h2);
    d.mSeries[3].mY.push_back(h3);
    d.mSeries[4].mY.push_back(h4);
    d.mSeries[5].mY.push_back(h5);
  }
  return d;
}

std::unique_ptr<Raster_MemBitmap> Draw(const ThdPlotData& d, int w = kWidth, int h = kHeight)
{
  auto bm = std::make_unique<Raster_MemBitmap>(w, h);
  ThdDrawPlot(d, *bm);
  return bm;
}

std::string GoldenPath(const std::string& name)
{
  const char* src = std::getenv("VX_SOURCE_DIR");
  return std::string(src ? src : ".") + "/tools/thdmeasure/tests/golden/" + name;
}

void ExpectMatchesGolden(const ThdPlotData& d, const std::string& name)
{
  const std::string path = GoldenPath(name);
  if (Raster_UpdateGoldensRequested())
  {
    std::string error;
    ASSERT_TRUE(ThdWritePlot(d, path, &error)) << error;
    return;
  }
  std::unique_ptr<Raster_IBitmap> golden(Raster_LoadPNG(path.c_str()));
  ASSERT_TRUE(golden) << "missing golden " << path << " (VX_UPDATE_GOLDENS=1 writes it)";
  auto actual = Draw(d);
  const Raster_SnapshotReport report = Raster_CompareSnapshot(actual.get(), golden.get());
  if (!report.match)
  {
    const std::string drawn = name + ".actual.png";
    ThdWritePlot(d, drawn, nullptr);
    ADD_FAILURE() << name << ": " << report.reason << "; the drawn picture is in the test's folder as " << drawn;
  }
}

// Pixels clearly darker than the grid (curves, markers, text) inside a rectangle.
int Ink(Raster_IBitmap& bm, int l, int t, int r, int b)
{
  int n = 0;
  for (int y = t; y < b; ++y)
    for (int x = l; x < r; ++x)
    {
      const uint32_t p = Raster_GetPixel(&bm, x, y);
      n += ((p >> 16) & 0xFF) < 160 || ((p >> 8) & 0xFF) < 160 || (p & 0xFF) < 160;
    }
  return n;
}

// The plot area's frame: the two columns and the two rows with the longest runs of the
// frame's colour.
struct Frame
{
  int l = -1, t = -1, r = -1, b = -1;
};
Frame FindFrame(Raster_IBitmap& bm)
{
  constexpr uint32_t kFrameColour = 0xFF505050;
  const int w = bm.getWidth(), h = bm.getHeight();
  std::vector<int> cols(w), rows(h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (Raster_GetPixel(&bm, x, y) == kFrameColour)
      {
        ++cols[x];
        ++rows[y];
      }
  Frame f;
  auto longest = [](const std::vector<int>& v, int from, int to) {
    int best = from;
    for (int i = from; i < to; ++i)
      if (v[i] > v[best]) best = i;
    return best;
  };
  f.l = longest(cols, 0, w / 2);
  f.r = longest(cols, w / 2, w);
  f.t = longest(rows, 0, h / 2);
  f.b = longest(rows, h / 2, h);
  return f;
}

// Ink strictly inside the frame.
int PlotAreaInk(Raster_IBitmap& bm)
{
  const Frame f = FindFrame(bm);
  return Ink(bm, f.l + 1, f.t + 1, f.r, f.b);
}

}  // namespace

TEST(ThdPlot, KnownSweepsMatchTheirPictures)
{
  ExpectMatchesGolden(FrequencySweep(), "plot_frequency_sweep.png");
  ExpectMatchesGolden(LevelSweep(), "plot_level_sweep.png");
}

// Data a sweep can produce when things go wrong (or nothing was measured): the plot still
// draws its frame and something in it, and never crashes or hangs.
TEST(ThdPlot, AwkwardDataStillDraws)
{
  struct Case
  {
    const char* name;
    bool logX;
    std::vector<double> x;
    std::vector<std::vector<double>> ys;
  } cases[] = {
      {"no points", true, {}, {}},
      {"series without values", true, {100, 1000}, {{}, {}}},
      {"all NaN", true, {100, 1000, 10000}, {{kNaN, kNaN, kNaN}}},
      {"all equal", true, {100, 1000, 10000}, {{-60, -60, -60}, {-60, -60, -60}}},
      {"huge values", true, {100, 1000, 10000}, {{1e300, -1e300, -60}, {-1e308, -70, 1e308}}},
      {"infinite values", true, {100, 1000, 10000}, {{kInf, -kInf, -60}, {-50, kInf, -55}}},
      {"one frequency", true, {1000, 1000, 1000}, {{-60, -70, -80}}},
      {"one level", false, {-10, -10}, {{-60, -61}}},
      {"zero and negative frequencies", true, {-100, 0, 1000, 2000}, {{-40, -50, -60, -70}}},
      {"only non-positive frequencies", true, {-100, 0}, {{-40, -50}}},
      {"single point", true, {1000}, {{-80}}},
      {"single point between gaps", false, {-20, -10, 0}, {{kNaN, -50, kNaN}}},
      {"non-finite x", false, {kNaN, -kInf, -5, kInf}, {{-40, -50, -60, -70}}},
      {"more values than x", true, {1000, 2000}, {{-60, -62, -64, -66}}},
      {"huge frequencies", true, {1e-200, 1e300}, {{-60, -70}}},
      {"huge levels", false, {-1e300, 1e300}, {{-60, -70}}},
      {"tiny ratios", true, {100, 1000}, {{-1e6, -1e6 + 0.001}}},
      {"forty series", true, {100, 1000}, std::vector<std::vector<double>>(40, {-60, -70})},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.name);
    ThdPlotData d;
    d.mTitle = c.name;
    d.mLogX = c.logX;
    d.mXLabel = c.logX ? "Frequency (Hz)" : "Tone level (dB)";
    d.mYLabel = "dB relative to the fundamental";
    d.mX = c.x;
    const char* names[] = {"THD", "THD+N"};
    for (size_t i = 0; i < c.ys.size(); ++i)
      d.mSeries.push_back({i < 2 ? names[i] : "Series " + std::to_string(i), c.ys[i], {}});
    auto bm = Draw(d);
    EXPECT_GT(PlotAreaInk(*bm), 20);
    // Other sizes, down to none at all, only must not fail.
    for (auto [w, h] : {std::pair{0, 0}, {1, 1}, {7, 3}, {60, 40}, {200, 120}, {3000, 200}})
    {
      Raster_MemBitmap small(w, h);
      ThdDrawPlot(d, small);
    }
  }
}

// A missing value breaks the line: nothing joins the points on either side of it.
TEST(ThdPlot, MissingValueBreaksTheLine)
{
  ThdPlotData d;
  d.mLogX = false;
  d.mX = {0, 1, 2, 3, 4};
  d.mSeries = {{"THD", {-60, -60, kNaN, -60, -60}, {}}};
  auto gap = Draw(d);
  d.mSeries[0].mY[2] = -60;
  auto joined = Draw(d);
  const Frame f = FindFrame(*joined);
  ASSERT_GT(f.r - f.l, 400);
  auto at = [&](double fraction) { return f.l + (int)((f.r - f.l) * fraction); };
  // The line lies on one row: find it where the joined line crosses between points 1 and 2.
  int row = -1;
  for (int y = f.t + 1; y < f.b && row < 0; ++y)
    if (Ink(*joined, at(0.35), y, at(0.40), y + 1) == at(0.40) - at(0.35)) row = y;
  ASSERT_GE(row, 0);
  EXPECT_GT(Ink(*gap, at(0.10), row - 2, at(0.15), row + 3), 0) << "the line before the gap";
  EXPECT_EQ(Ink(*gap, at(0.35), row - 2, at(0.40), row + 3), 0);
  EXPECT_EQ(Ink(*gap, at(0.60), row - 2, at(0.65), row + 3), 0);
  EXPECT_GT(Ink(*gap, at(0.85), row - 2, at(0.90), row + 3), 0) << "the line after the gap";
}

// The percent axis reads in one notation: plain decimals down to the rounding floor, and powers
// of ten for every label of an axis that would need more decimals (before, an axis reaching
// -180 dB mixed "0.0000001 %" with "1e-8 %").
TEST(ThdPlot, PercentLabelsUseOneNotation)
{
  struct Case
  {
    double lo, hi;
    std::vector<std::string> labels;
  } cases[] = {
      {-100, 0, {"0.001 %", "0.01 %", "0.1 %", "1 %", "10 %", "100 %"}},
      {-75, -25, {"0.1 %", "1 %"}},
      {-200, -160, {"0.00000001 %", "0.0000001 %", "0.000001 %"}},
      {-260, -220, {"1e-11 %", "1e-10 %", "1e-9 %"}},
  };
  for (const Case& c : cases) EXPECT_EQ(ThdPlotPercentLabels(c.lo, c.hi), c.labels) << c.lo << " " << c.hi;
}

// A long title is cut to the page, never drawn past its edges or over the legend.
TEST(ThdPlot, LongTitleStaysOnThePage)
{
  ThdPlotData d = FrequencySweep();
  d.mTitle = "";
  for (int i = 0; i < 20; ++i) d.mTitle += "Soft clipper, drive 2, 31 points ";
  auto bm = Draw(d);
  int left = kWidth, right = -1, bottom = -1;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < kWidth; ++x)
      if (Ink(*bm, x, y, x + 1, y + 1))
      {
        left = std::min(left, x);
        right = std::max(right, x);
        bottom = std::max(bottom, y);
      }
  EXPECT_GE(left, 10);
  EXPECT_LT(right, kWidth - 10);
  EXPECT_GT(right, kWidth / 2);  // something was drawn, most of the width
}

TEST(ThdPlot, WritesAPngOrSaysWhyNot)
{
  const auto dir = std::filesystem::temp_directory_path() /
                   ("vx_thdplot_" + std::to_string((long long)::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "sweep.png").string();
  std::string error;
  ASSERT_TRUE(ThdWritePlot(FrequencySweep(), path, &error)) << error;
  std::unique_ptr<Raster_IBitmap> read(Raster_LoadPNG(path.c_str()));
  ASSERT_TRUE(read);
  EXPECT_EQ(read->getWidth(), kWidth);
  EXPECT_EQ(read->getHeight(), kHeight);
  auto drawn = Draw(FrequencySweep());
  EXPECT_TRUE(Raster_CompareSnapshot(read.get(), drawn.get(), Raster_ExactSnapshotOptions()).match);

  // A missing folder, a folder, no name, and a device that takes no bytes (the failure shows
  // only when the encoder's output is flushed).
  for (const std::string& bad :
       {std::string("/nonexistent-dir/plot.png"), dir.string(), std::string(), std::string("/dev/full")})
  {
    SCOPED_TRACE(bad);
    if (bad == "/dev/full" && !std::filesystem::exists(bad)) continue;
    error.clear();
    EXPECT_FALSE(ThdWritePlot(FrequencySweep(), bad, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos);
    EXPECT_FALSE(ThdWritePlot(FrequencySweep(), bad, nullptr));
  }
  std::filesystem::remove_all(dir);
}
