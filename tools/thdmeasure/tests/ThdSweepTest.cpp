// Sweeps: the plan of points, the command line that asks for them, the points measured as
// single runs are (in parallel or not), and the table, CSV and JSON that report them.
#include "ThdSweep.h"
#include "ThdSweepReport.h"
#include "ThdTestFolder.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {
ThdOptions FrequencySweep(double from, double to, int points)
{
  ThdOptions o;
  o.mSweep.mKind = EThdSweep::kFrequency;
  o.mSweep.mFrom = from;
  o.mSweep.mTo = to;
  o.mSweep.mPoints = points;
  return o;
}

ThdOptions LevelSweep(double from, double to, double step)
{
  ThdOptions o;
  o.mSweep.mKind = EThdSweep::kLevel;
  o.mSweep.mFrom = from;
  o.mSweep.mTo = to;
  o.mSweep.mStepDb = step;
  return o;
}

struct PlanCase
{
  const char* mName;
  ThdOptions mOptions;
  std::vector<int> mHz;
  std::vector<double> mDb;
  const char* mWarning;  // nullptr: none
};

ThdParsed Parse(std::vector<std::string> args, ThdOptions& o)
{
  args.insert(args.begin(), "thdmeasure");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  return ThdParseOptions((int)argv.size(), argv.data(), o);
}

std::vector<std::string> Split(const std::string& line, char sep)
{
  std::vector<std::string> cells;
  std::stringstream in(line);
  std::string cell;
  while (std::getline(in, cell, sep)) cells.push_back(cell);
  if (!line.empty() && line.back() == sep) cells.push_back("");
  return cells;
}

class ThdSweepTest : public ThdTestFolder
{
protected:
  ThdOptions Simulated(ThdOptions o) const
  {
    o.mNoCalibration = true;
    o.mDocumentsFolder = mFolder;
    o.mDenoising = 12;
    o.mJobs = 2;
    return o;
  }

  ThdSweepResult Run(const ThdOptions& o, int expectStatus = 0) const
  {
    ThdSweepResult r;
    std::string error;
    EXPECT_EQ(ThdRunSweep(o, r, nullptr, &error), expectStatus) << error;
    return r;
  }
};
}  // namespace

// Frequencies log-spaced and rounded to whole Hz, repeats dropped with a count of what is
// left; levels from FROM towards TO, TO included when the steps land on it within rounding.
TEST(ThdSweepPlan, Points)
{
  const PlanCase cases[] = {
    {"decades", FrequencySweep(20, 20000, 4), {20, 200, 2000, 20000}, {}, nullptr},
    {"rounded", FrequencySweep(100, 1000, 3), {100, 316, 1000}, {}, nullptr},
    {"downwards", FrequencySweep(1000, 100, 3), {1000, 316, 100}, {}, nullptr},
    {"repeats", FrequencySweep(20, 25, 10), {20, 21, 22, 23, 24, 25}, {}, "4 of the 10 points"},
    {"whole steps", LevelSweep(-20, 0, 5), {}, {-20, -15, -10, -5, 0}, nullptr},
    {"down, TO off the grid", LevelSweep(0, -20, 6), {}, {0, -6, -12, -18}, nullptr},
    {"tenths land on TO", LevelSweep(-0.9, 0, 0.3), {}, {-0.9, -0.6, -0.3, 0.0}, nullptr},
  };
  for (const PlanCase& c : cases)
  {
    SCOPED_TRACE(c.mName);
    std::vector<std::string> warnings;
    std::string error;
    const std::vector<ThdSweepStep> steps = ThdPlanSweep(c.mOptions, &warnings, &error);
    ASSERT_EQ(steps.size(), std::max(c.mHz.size(), c.mDb.size())) << error;
    for (size_t i = 0; i < steps.size(); ++i)
    {
      if (!c.mHz.empty())
      {
        EXPECT_EQ(steps[i].mHz, c.mHz[i]) << i;
        EXPECT_EQ(steps[i].mVolumeDb, -10.0) << i;
      }
      else
      {
        EXPECT_NEAR(steps[i].mVolumeDb, c.mDb[i], 1e-12) << i;
        EXPECT_EQ(steps[i].mHz, 300) << i;
      }
    }
    if (c.mWarning)
    {
      ASSERT_EQ(warnings.size(), 1u);
      EXPECT_NE(warnings[0].find(c.mWarning), std::string::npos) << warnings[0];
      EXPECT_NE(warnings[0].find(std::to_string(c.mHz.size()) + " distinct points remain"), std::string::npos) << warnings[0];
    }
    else
    {
      EXPECT_TRUE(warnings.empty());
    }
  }
  // TO is reached exactly, not one rounding short of it.
  std::vector<std::string> warnings;
  std::string error;
  const std::vector<ThdSweepStep> tenths = ThdPlanSweep(LevelSweep(-20, 0, 0.1), &warnings, &error);
  ASSERT_EQ(tenths.size(), 201u);
  EXPECT_EQ(tenths.back().mVolumeDb, 0.0);
  // A level sweep keeps the frequency the user typed, as the meter reads it.
  ThdOptions typed = LevelSweep(-20, 0, 10);
  typed.mFreqText = "x440";
  const std::vector<ThdSweepStep> at440 = ThdPlanSweep(typed, &warnings, &error);
  ASSERT_EQ(at440.size(), 3u);
  EXPECT_EQ(at440[1].mHz, 440);
}

// The command line: what a sweep takes, and one-line refusals (status 2) of what makes no sense.
TEST(ThdSweepOptions, AcceptedAndRefused)
{
  {
    ThdOptions o;
    const ThdParsed p = Parse({"--sweep-freq", "20:20000:31", "--csv", "a.csv", "--plot", "a.png", "--jobs", "3"}, o);
    ASSERT_EQ(p.mExit, -1) << p.mText;
    EXPECT_EQ(o.mSweep.mKind, EThdSweep::kFrequency);
    EXPECT_EQ(o.mSweep.mFrom, 20.0);
    EXPECT_EQ(o.mSweep.mTo, 20000.0);
    EXPECT_EQ(o.mSweep.mPoints, 31);
    EXPECT_EQ(o.mJobs, 3);
    EXPECT_EQ(o.mCsv, "a.csv");
    EXPECT_EQ(o.mPlot, "a.png");
  }
  {
    ThdOptions o;
    const ThdParsed p = Parse({"--sweep-level=0:-20:2.5", "--freq", "1000"}, o);
    ASSERT_EQ(p.mExit, -1) << p.mText;
    EXPECT_EQ(o.mSweep.mKind, EThdSweep::kLevel);
    EXPECT_EQ(o.mSweep.mFrom, 0.0);
    EXPECT_EQ(o.mSweep.mTo, -20.0);
    EXPECT_EQ(o.mSweep.mStepDb, 2.5);
    EXPECT_GE(o.mJobs, 1);  // one per core
  }
  {
    ThdOptions o;
    EXPECT_EQ(Parse({"--sweep-freq", "100:1000:5", "--analyse", "take.wav", "--force"}, o).mExit, -1);
    EXPECT_EQ(Parse({"--sweep-freq", "100:1000:5", "--write-tone", "steps.wav"}, o).mExit, -1);
  }
  const std::vector<std::vector<std::string>> refused = {
    {"--sweep-freq", "20:20000:31", "--sweep-level=-20:0:1"},
    {"--sweep-freq", "20:20000:31", "--freq", "1000"},
    {"--sweep-freq", "20:20000:31", "--entry", "x440"},
    {"--sweep-level=-20:0:1", "--volume", "-3"},
    {"--csv", "a.csv"},
    {"--plot", "a.png"},
    {"--jobs", "2"},
    {"--sweep-freq", "20:20000:31", "--snapshot", "a.png"},
    {"--sweep-freq", "20:20000:31", "--snapshot-every", "dir"},
    {"--sweep-freq", "20:20000:31", "--jobs", "0"},
    {"--sweep-freq", "20:20000:31", "--write-tone", "t.wav", "--csv", "a.csv"},
    {"--sweep-freq", "20:20000"},
    {"--sweep-freq", "20:20000:31:4"},
    {"--sweep-freq", "20:20000:1"},
    {"--sweep-freq", "20:20000:1001"},
    {"--sweep-freq", "19:20000:31"},
    {"--sweep-freq", "20:20001:31"},
    {"--sweep-freq", "20.5:20000:31"},
    {"--sweep-freq", "20:20000:3.5"},
    {"--sweep-freq", "1000:1000:5"},
    {"--sweep-freq", "a:b:c"},
    {"--sweep-freq", "20::31"},
    {"--sweep-freq", ""},
    {"--sweep-level=-21:0:1"},
    {"--sweep-level=-20:1:1"},
    {"--sweep-level=-20:0:0"},
    {"--sweep-level=-20:0:-1"},
    {"--sweep-level=-20:0:25"},
    {"--sweep-level=-10:-10:1"},
    {"--sweep-level=-20:0:nan"},
    {"--sweep-level=-20:0"},
  };
  for (const std::vector<std::string>& args : refused)
  {
    std::string line;
    for (const std::string& a : args) line += a + " ";
    ThdOptions o;
    const ThdParsed p = Parse(args, o);
    EXPECT_EQ(p.mExit, 2) << line;
    EXPECT_EQ(p.mText.find('\n'), std::string::npos) << line << ": " << p.mText;
  }
}

// Each point of a polynomial device's frequency sweep reads exactly what the single run at that
// frequency reads, one job or several.
TEST_F(ThdSweepTest, PointsAreTheSingleRuns)
{
  ThdOptions o = Simulated(FrequencySweep(100, 9000, 3));
  o.mDevice.mModel = EThdDeviceModel::kPolynomial;
  o.mDevice.mPoly[0] = 0.01;
  o.mDevice.mPoly[1] = -0.003;
  o.mVolumeDb = -6.0;
  const ThdSweepResult parallel = Run(o);
  o.mJobs = 1;
  const ThdSweepResult serial = Run(o);
  EXPECT_EQ(parallel.mJobs, 2);
  EXPECT_EQ(serial.mJobs, 1);
  ASSERT_EQ(parallel.mPoints.size(), 3u);
  ASSERT_EQ(serial.mPoints.size(), 3u);
  for (size_t i = 0; i < 3; ++i)
  {
    const ThdSweepPoint& p = parallel.mPoints[i];
    SCOPED_TRACE(p.mStep.mHz);
    ThdOptions single = o;
    single.mSweep = ThdSweepSettings{};
    single.mFreqText = std::to_string(p.mStep.mHz);
    ThdResult alone;
    std::string error;
    ASSERT_EQ(ThdRunMeasurement(single, alone, nullptr, &error), 0) << error;
    ASSERT_EQ(p.mStatus, 0) << p.mError;
    for (const ThdSweepResult* r : {&parallel, &serial})
    {
      const ThdResult& got = r->mPoints[i].mResult;
      EXPECT_EQ(got.mFrequency, alone.mFrequency);
      for (int k = 0; k < IThdMeter::kHarmonics; ++k)
      {
        EXPECT_EQ(got.mHarmonics[k].mLevel, alone.mHarmonics[k].mLevel) << k;
        EXPECT_EQ(got.mHarmonics[k].mPhaseValid, alone.mHarmonics[k].mPhaseValid) << k;
        EXPECT_EQ(got.mHarmonics[k].mPhaseDeg, alone.mHarmonics[k].mPhaseDeg) << k;
        EXPECT_EQ(got.mHarmonics[k].NoiseLevel(), alone.mHarmonics[k].NoiseLevel()) << k;
      }
      EXPECT_EQ(got.mThdValid, alone.mThdValid);
      EXPECT_EQ(got.mThdPercent, alone.mThdPercent);
      EXPECT_EQ(got.mThdN.Ratio(), alone.mThdN.Ratio());
      EXPECT_EQ(got.mResultsText, alone.mResultsText);
    }
  }
}

// Louder into a soft clipper, more distortion: strictly, at every step of a level sweep.
TEST_F(ThdSweepTest, SoftClipperLevelSweepIsMonotonic)
{
  ThdOptions o = Simulated(LevelSweep(-20, 0, 4));
  o.mDevice.mModel = EThdDeviceModel::kSoftClip;
  o.mDevice.mDrive = 2.0;
  o.mFreqText = "1000";
  const ThdSweepResult r = Run(o);
  ASSERT_EQ(r.mPoints.size(), 6u);
  for (size_t i = 0; i < r.mPoints.size(); ++i)
  {
    ASSERT_TRUE(r.mPoints[i].mResult.mThdValid) << i;
    EXPECT_EQ(r.mPoints[i].mResult.mFrequency, 1000.0) << i;
    if (i > 0)
    {
      EXPECT_GT(r.mPoints[i].mResult.mThdPercent, r.mPoints[i - 1].mResult.mThdPercent) << i;
    }
  }
}

// The CSV gives back every figure exactly, empty where nothing was measured (H3..H5 above 20 kHz).
TEST_F(ThdSweepTest, CsvReadsBack)
{
  ThdOptions o = Simulated(FrequencySweep(1000, 7000, 2));
  o.mDevice.mModel = EThdDeviceModel::kSoftClip;
  const ThdSweepResult r = Run(o);
  const std::string path = mFolder + "/points.csv";
  std::string error;
  ASSERT_TRUE(ThdWriteSweepCsv(r, path, &error)) << error;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_TRUE(f);
  std::string text;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
  std::fclose(f);

  const std::vector<std::string> lines = Split(text, '\n');
  ASSERT_EQ(lines.size(), 4u);  // header, two points, and the empty rest after the last newline
  EXPECT_EQ(lines[0], "frequency_hz,volume_db,h1_dbfs,h2_dbfs,h3_dbfs,h4_dbfs,h5_dbfs,thd_percent,thd_db,thdn_percent,"
                      "thdn_db,drift_ppm,h2_phase_deg,h3_phase_deg,h4_phase_deg,h5_phase_deg,status,played_db");
  for (size_t i = 0; i < 2; ++i)
  {
    const std::vector<std::string> cells = Split(lines[i + 1], ',');
    ASSERT_EQ(cells.size(), 18u) << lines[i + 1];
    // The expected figures straight from the run's result (not through the report's own
    // conversions): levels in dB are 20 log10 of the linear ones. Below the rounding floor
    // (-200 dB, judged by the figure's dB) the cell reads "< -200" or, for a percentage,
    // "< 0.00000001".
    const ThdResult& res = r.mPoints[i].mResult;
    ASSERT_TRUE(res.mThdValid && res.mThdN.valid);
    auto same = [](const std::string& cell, double want, double db = 0.0) {
      if (db < -200.0) return cell == "< -200" || cell == "< 0.00000001";
      if (!std::isfinite(want)) return cell.empty();
      return !cell.empty() && std::strtod(cell.c_str(), nullptr) == want && cell.find(',') == std::string::npos;
    };
    EXPECT_EQ(cells[0], std::to_string(r.mPoints[i].mStep.mHz));
    EXPECT_TRUE(same(cells[1], -10.0)) << cells[1];
    for (int k = 0; k < 5; ++k)
    {
      const ThdHarmonic& h = res.mHarmonics[k];
      const double db = h.mMeasured ? 20.0 * std::log10(h.mLevel) : NAN;
      EXPECT_TRUE(same(cells[2 + k], db, db)) << k << ": " << cells[2 + k];
      if (k > 0)
      {
        EXPECT_TRUE(same(cells[11 + k], h.mMeasured && h.mPhaseValid ? h.mPhaseDeg : NAN)) << k << ": " << cells[11 + k];
      }
    }
    const double thdDb = 20.0 * std::log10(res.mThdPercent / 100.0);
    EXPECT_TRUE(same(cells[7], res.mThdPercent, thdDb)) << cells[7];
    EXPECT_TRUE(same(cells[8], thdDb, thdDb)) << cells[8];
    const double thdn = res.mThdN.residualRms / res.mThdN.fundamentalRms, thdnDb = 20.0 * std::log10(thdn);
    EXPECT_TRUE(same(cells[9], 100.0 * thdn, thdnDb)) << cells[9];
    EXPECT_TRUE(same(cells[10], thdnDb, thdnDb)) << cells[10];
    EXPECT_TRUE(cells[11].empty());  // no drift without a capture
    EXPECT_EQ(cells[16], "0");
    EXPECT_TRUE(same(cells[17], r.mPoints[i].mResult.mPlayedDb)) << "the level played, " << cells[17];
    EXPECT_NEAR(std::strtod(cells[17].c_str(), nullptr), -10.0, 1e-9);
  }
  // 7 kHz: H3 at 21 kHz is above the band.
  EXPECT_TRUE(Split(lines[2], ',')[4].empty());
  EXPECT_FALSE(Split(lines[1], ',')[4].empty());
}

// The JSON is one valid object carrying the sweep and, per point, the single run's report.
TEST_F(ThdSweepTest, JsonIsComplete)
{
  ThdOptions o = Simulated(LevelSweep(-20, 0, 10));
  o.mDevice.mModel = EThdDeviceModel::kSoftClip;
  const ThdSweepResult r = Run(o);
  const nlohmann::json j = nlohmann::json::parse(ThdSweepJson(r, 0), nullptr, false);
  ASSERT_TRUE(j.is_object());
  EXPECT_EQ(j["status"], 0);
  EXPECT_EQ(j["mode"], "simulate");
  EXPECT_EQ(j["sweep"]["kind"], "level");
  EXPECT_EQ(j["sweep"]["step_db"], 10.0);
  EXPECT_EQ(j["sweep"]["points"], 3);
  EXPECT_TRUE(j["warnings"].is_array());
  ASSERT_EQ(j["points"].size(), 3u);
  for (size_t i = 0; i < 3; ++i)
  {
    const nlohmann::json& p = j["points"][i];
    EXPECT_EQ(p["step"]["volume_db"], r.mPoints[i].mStep.mVolumeDb);
    EXPECT_EQ(p["step"]["frequency_hz"], 300);
    EXPECT_EQ(p["status"], 0);
    EXPECT_EQ(p["measured"], true);
    EXPECT_EQ(p["thd_percent"].get<double>(), r.mPoints[i].mResult.mThdPercent);
    ASSERT_EQ(p["harmonics"].size(), 5u);
    EXPECT_EQ(p["harmonics"][0]["level"].get<double>(), r.mPoints[i].mResult.mHarmonics[0].mLevel);
    EXPECT_TRUE(p["thd_n"]["percent"].is_number());
    EXPECT_EQ(p["device"]["model"], "softclip");
  }
}

// A point that failed is reported with its reason and never with figures; the others stay.
TEST_F(ThdSweepTest, FailedPointShowsNoFigures)
{
  ThdOptions o = Simulated(FrequencySweep(1000, 2000, 2));
  o.mDevice.mModel = EThdDeviceModel::kSoftClip;
  o.mDevice.mDrive = 2.0;
  ThdSweepResult r = Run(o);
  ASSERT_EQ(r.mPoints.size(), 2u);
  // As a point whose run stopped after it had measured (a failed write, an unreadable stretch).
  r.mPoints[1].mStatus = 1;
  r.mPoints[1].mError = "no results after 700000 frames";

  char* table = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&table, &size);
  ASSERT_TRUE(out);
  ThdPrintSweepTable(r, 1, out);
  std::fclose(out);
  const std::vector<std::string> lines = Split(table, '\n');
  std::free(table);
  // Settings, blank, header, two points, the note on "< -200" (H2 and H4 of the symmetric
  // clipper), the rest after the last newline.
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_NE(lines[3].find("-30.36"), std::string::npos) << lines[3];  // the 1 kHz point's THD dB
  EXPECT_NE(lines[4].find("2000"), std::string::npos) << lines[4];
  EXPECT_NE(lines[4].find("not measured: no results after 700000 frames"), std::string::npos) << lines[4];
  EXPECT_EQ(lines[4].find("-30.36"), std::string::npos) << lines[4];

  const std::vector<std::string> csv = Split(ThdSweepCsv(r), '\n');
  EXPECT_EQ(csv[2], "2000,-10,,,,,,,,,,,,,,,1,-10");
  const nlohmann::json j = nlohmann::json::parse(ThdSweepJson(r, 1));
  EXPECT_EQ(j["points"][1]["error"], "no results after 700000 frames");
  EXPECT_EQ(j["points"][1]["status"], 1);
  const ThdPlotData plot = ThdSweepPlotData(r);
  ASSERT_EQ(plot.mSeries.size(), 6u);
  for (const ThdPlotSeries& s : plot.mSeries)
  {
    ASSERT_EQ(s.mY.size(), 2u);
    EXPECT_TRUE(std::isnan(s.mY[1])) << s.mName;
  }
  EXPECT_NEAR(plot.mSeries[0].mY[0], -30.36, 0.01);
  EXPECT_EQ(plot.mX, (std::vector<double>{1000, 2000}));
  // The gap is marked and explained.
  ASSERT_EQ(plot.mPointNotes.size(), 1u);
  EXPECT_EQ(plot.mPointNotes[0].mX, 2000.0);
  EXPECT_EQ(plot.mPointNotes[0].mText, "2000 Hz: not measured: no results after 700000 frames");
}
