// Figures at the analysis' floors in every report: what lies below the rounding floor (the
// residue of a perfect loop-back, silence) prints as "< -200" with the floor named once in the
// text, the table and the CSV, while JSON keeps the numbers; the plot's data marks those values
// and the harmonics at the noise floor, and says why a point or a harmonic has no figure.
#include "ThdReport.h"
#include "ThdSweep.h"
#include "ThdSweepReport.h"
#include "ThdTestFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {
class ThdReportTest : public ThdTestFolder
{
protected:
  ThdOptions Simulated() const
  {
    ThdOptions o;
    o.mNoCalibration = true;
    o.mDocumentsFolder = mFolder;
    o.mDenoising = 12;
    o.mJobs = 2;
    return o;
  }
};

template <typename Print>
std::string Captured(Print print)
{
  char* text = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  if (!out) return std::string();
  print(out);
  std::fclose(out);
  std::string s(text, size);
  std::free(text);
  return s;
}

size_t Count(const std::string& text, const std::string& what)
{
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::vector<std::string> Split(const std::string& text, char sep)
{
  std::vector<std::string> cells;
  std::stringstream in(text);
  for (std::string cell; std::getline(in, cell, sep);) cells.push_back(cell);
  if (!text.empty() && text.back() == sep) cells.push_back("");
  return cells;
}

// A figure of 200 dB or more below anything ("-339.8"): the residue's number, which no report
// may print. (No std::regex: GCC 12's optimiser warns inside it under the sanitizers.)
bool HasResidue(const std::string& text)
{
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  for (size_t i = 0; i + 5 < text.size(); ++i)
    if (text[i] == '-' && text[i + 1] >= '2' && digit(text[i + 1]) && digit(text[i + 2]) && digit(text[i + 3]) &&
        text[i + 4] == '.' && digit(text[i + 5]))
      return true;
  return false;
}
const char* kFloorNote = "< -200: below the analysis' rounding floor";
}  // namespace

// A perfect loop-back in 64-bit buffers: the harmonics that are not there come back as the
// arithmetic's residue, hundreds of dB down. The text prints them, and the THD and THD+N made of
// them, as below the floor, names the floor once, and keeps the real fundamental; the JSON keeps
// every number and adds no field.
TEST_F(ThdReportTest, PerfectLoopBackPrintsItsResidueAsBelowTheFloor)
{
  ThdOptions o = Simulated();
  o.mFreqText = "1000";
  o.mDoubleBuffers = true;
  ThdResult r;
  std::string error;
  ASSERT_EQ(ThdRunMeasurement(o, r, nullptr, &error), 0) << error;
  for (int k = 2; k <= 5; ++k) ASSERT_LT(20.0 * std::log10(r.mHarmonics[k - 1].mLevel), -250.0) << k;
  ASSERT_TRUE(r.mThdValid);

  const std::string text = Captured([&](std::FILE* out) { ThdPrintTextReport(r, 0, out); });
  EXPECT_NE(text.find("  H1   1000 Hz    -10.000 dBFS     0.0\xc2\xb0\n"), std::string::npos) << text;
  for (const char* line : {"  H2   2000 Hz     < -200 dBFS       -\n", "  H3   3000 Hz     < -200 dBFS       -\n",
                           "  H4   4000 Hz     < -200 dBFS       -\n", "  H5   5000 Hz     < -200 dBFS       -\n",
                           "THD (H2-H5):     < -200 dB (< 0.00000001 %)\n",
                           "THD+N (20 Hz - 20 kHz):     < -200 dB (< 0.00000001 %)\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  EXPECT_EQ(Count(text, kFloorNote), 1u) << text;
  // The editor's own results text (the plug-in's) is printed as the plug-in shows it; after it
  // no residue's number.
  const std::string report = text.substr(text.find("Harmonic levels"));
  EXPECT_FALSE(HasResidue(report)) << report;

  const auto json = nlohmann::json::parse(ThdJsonReport(r, 0));
  for (int k = 1; k <= 5; ++k)
  {
    const auto& h = json["harmonics"][k - 1];
    EXPECT_EQ(h.size(), 6u) << h.dump();  // harmonic, frequency_hz, measured, level, dbfs, phase_deg
    EXPECT_EQ(h["level"].get<double>(), r.mHarmonics[k - 1].mLevel) << k;
    EXPECT_EQ(h["dbfs"].get<double>(), 20.0 * std::log10(r.mHarmonics[k - 1].mLevel)) << k;
  }
  EXPECT_LT(json["thd_db"].get<double>(), -200.0);
  EXPECT_EQ(json["thd_percent"].get<double>(), r.mThdPercent);
  EXPECT_LT(json["thd_n"]["db"].get<double>(), -200.0);
  EXPECT_EQ(json.dump().find("< -200"), std::string::npos);
}

// A capture of digital silence, measured with --force: the check says the capture stays below
// the floor (not "-400.0 dBFS"), every harmonic prints as below it, and nothing else is claimed.
TEST_F(ThdReportTest, SilencePrintsAsBelowTheFloor)
{
  const std::string path = mFolder + "/silence.wav";
  SF_INFO info{};
  info.samplerate = 48000;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_TRUE(f);
  const std::vector<float> zeros(14 * 48000, 0.0f);
  ASSERT_EQ(sf_writef_float(f, zeros.data(), (sf_count_t)zeros.size()), (sf_count_t)zeros.size());
  ASSERT_EQ(sf_close(f), 0);

  ThdOptions o = Simulated();
  o.mMode = EThdMode::kAnalyse;
  o.mCapture = path;
  o.mFreqText = "1000";
  o.mForce = true;
  ThdResult r;
  std::string error;
  // --force measures and exits 0, the failed check kept in the report.
  ASSERT_EQ(ThdRunMeasurement(o, r, nullptr, &error), 0) << error;
  ASSERT_TRUE(r.mMeasured);
  ASSERT_TRUE(r.mChecksFailed);
  ASSERT_FALSE(r.mCapture.mFailed.empty());
  EXPECT_EQ(r.mCapture.mFailed[0].mId, "silence");
  EXPECT_NE(r.mCapture.mFailed[0].mMessage.find("the capture is silent (its loudest 10 ms stay below -200 dBFS)"),
            std::string::npos)
      << r.mCapture.mFailed[0].mMessage;
  EXPECT_EQ(r.mCapture.mFailed[0].mMessage.find("-400"), std::string::npos);

  const std::string text = Captured([&](std::FILE* out) { ThdPrintTextReport(r, 0, out); });
  for (int k = 1; k <= 5; ++k)
  {
    char line[64];
    std::snprintf(line, sizeof line, "  H%d %6d Hz     < -200 dBFS       -\n", k, 1000 * k);
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  }
  EXPECT_EQ(text.find("inf"), std::string::npos) << text;
  EXPECT_NE(text.find("THD: not measured (no fundamental came back)"), std::string::npos) << text;
  EXPECT_EQ(Count(text, kFloorNote), 1u) << text;
  const auto json = nlohmann::json::parse(ThdJsonReport(r, 0));
  EXPECT_EQ(json["capture"]["loudest_dbfs"].get<double>(), -400.0);  // JSON keeps the number
  EXPECT_EQ(json["harmonics"][0]["level"].get<double>(), 0.0);
}

// A symmetric soft clipper has no even harmonics: in a level sweep H2 and H4 are residue at every
// point. The table and the CSV print them as "< -200" (the table names the floor once under it),
// JSON keeps their numbers, and the plot's data marks them to sit on the floor line while H3 and
// H5 are measured points.
TEST_F(ThdReportTest, SweepReportsPrintTheFloor)
{
  ThdOptions o = Simulated();
  o.mSweep.mKind = EThdSweep::kLevel;
  o.mSweep.mFrom = -20;
  o.mSweep.mTo = 0;
  o.mSweep.mStepDb = 10;
  o.mFreqText = "1000";
  o.mDevice.mModel = EThdDeviceModel::kSoftClip;
  o.mDevice.mDrive = 2.0;
  ThdSweepResult r;
  std::string error;
  ASSERT_EQ(ThdRunSweep(o, r, nullptr, &error), 0) << error;
  ASSERT_EQ(r.mPoints.size(), 3u);

  const std::string table = Captured([&](std::FILE* out) { ThdPrintSweepTable(r, 0, out); });
  const std::vector<std::string> lines = Split(table, '\n');
  ASSERT_EQ(lines.size(), 8u) << table;  // settings, blank, header, 3 points, the note, the rest
  for (int i = 3; i < 6; ++i)
  {
    EXPECT_EQ(Count(lines[i], "    < -200"), 2u) << lines[i];  // H2 and H4
    EXPECT_FALSE(HasResidue(lines[i])) << lines[i];
  }
  EXPECT_EQ(lines[6].rfind(kFloorNote, 0), 0u) << lines[6];

  const std::vector<std::string> csv = Split(ThdSweepCsv(r), '\n');
  ASSERT_EQ(csv.size(), 5u);
  for (size_t i = 0; i < 3; ++i)
  {
    const std::vector<std::string> cells = Split(csv[i + 1], ',');
    ASSERT_EQ(cells.size(), 18u) << csv[i + 1];
    EXPECT_EQ(cells[3], "< -200");  // h2_dbfs
    EXPECT_EQ(cells[5], "< -200");  // h4_dbfs
    // H1, H3, H5, THD and THD+N (dB and percent) stay numbers.
    for (int c : {2, 4, 6, 7, 8, 9, 10})
    {
      const std::string& cell = cells[(size_t)c];
      char* end = nullptr;
      std::strtod(cell.c_str(), &end);
      EXPECT_TRUE(!cell.empty() && end == cell.c_str() + cell.size()) << c << ": " << cell;
    }
  }

  const auto json = nlohmann::json::parse(ThdSweepJson(r, 0));
  for (size_t i = 0; i < 3; ++i)
    for (int k : {2, 4})
      EXPECT_LT(json["points"][i]["harmonics"][k - 1]["dbfs"].get<double>(), -200.0) << i << " H" << k;

  const ThdPlotData plot = ThdSweepPlotData(r);
  ASSERT_EQ(plot.mSeries.size(), 6u);
  EXPECT_EQ(plot.mFloorDb, -200.0);
  EXPECT_NE(plot.mFloorText.find("-200 dBFS"), std::string::npos) << plot.mFloorText;
  for (size_t i = 0; i < 3; ++i)
  {
    EXPECT_EQ(plot.mSeries[2].mMarks[i], EThdPlotMark::kBelowFloor) << i;  // H2
    EXPECT_EQ(plot.mSeries[4].mMarks[i], EThdPlotMark::kBelowFloor) << i;  // H4
    EXPECT_EQ(plot.mSeries[3].mMarks[i], EThdPlotMark::kMeasured) << i;    // H3
    EXPECT_GT(plot.mSeries[0].mY[i], -60.0) << i;                           // THD
  }
  EXPECT_TRUE(plot.mPointNotes.empty());
  EXPECT_TRUE(plot.mNotes.empty());
}

// Harmonics that the noise could make up look different from measured ones: with noise at
// -100 dBFS and 12 s of averaging, the fifth harmonic of this device is at the noise floor at
// -20 dB and well clear of it at -10 dB, the fourth clear at both.
TEST_F(ThdReportTest, HarmonicsAtTheNoiseFloorAreMarked)
{
  ThdOptions o = Simulated();
  o.mSweep.mKind = EThdSweep::kLevel;
  o.mSweep.mFrom = -20;
  o.mSweep.mTo = -10;
  o.mSweep.mStepDb = 10;
  o.mFreqText = "1000";
  o.mDevice.mModel = EThdDeviceModel::kPolynomial;
  const double coeffs[4] = {0.02, 0.05, 0.01, 0.02};
  for (int i = 0; i < 4; ++i) o.mDevice.mPoly[i] = coeffs[i];
  o.mDevice.mNoise = true;
  o.mDevice.mNoiseDbfs = -100.0;
  ThdSweepResult r;
  std::string error;
  ASSERT_EQ(ThdRunSweep(o, r, nullptr, &error), 0) << error;
  ASSERT_EQ(r.mPoints.size(), 2u);
  // The noise's level at a harmonic: -100 dBFS spread over 20 kHz and averaged over 12 s.
  const double noiseDbfs = 20.0 * std::log10(r.mPoints[0].mResult.mHarmonics[4].NoiseLevel());
  EXPECT_NEAR(noiseDbfs, -100.0 - 10.0 * std::log10(19980.0 * 12.0), 1.0);
  EXPECT_TRUE(r.mPoints[0].mResult.mHarmonics[4].AtNoiseFloor());
  EXPECT_FALSE(r.mPoints[1].mResult.mHarmonics[4].AtNoiseFloor());
  const ThdPlotData plot = ThdSweepPlotData(r);
  EXPECT_EQ(plot.mSeries[5].mMarks, (std::vector<EThdPlotMark>{EThdPlotMark::kNoiseFloor, EThdPlotMark::kMeasured}));
  EXPECT_EQ(plot.mSeries[4].mMarks, (std::vector<EThdPlotMark>{EThdPlotMark::kMeasured, EThdPlotMark::kMeasured}));
  EXPECT_TRUE(std::isfinite(plot.mSeries[5].mY[0]));  // still drawn where it read
}

// Harmonics above 20 kHz leave no silent gap in a frequency sweep's plot: a note says which are
// not measured from which point on.
TEST_F(ThdReportTest, PlotSaysWhichHarmonicsWereNotMeasured)
{
  ThdOptions o = Simulated();
  o.mSweep.mKind = EThdSweep::kFrequency;
  o.mSweep.mFrom = 1000;
  o.mSweep.mTo = 7000;
  o.mSweep.mPoints = 2;
  o.mDevice.mModel = EThdDeviceModel::kSoftClip;
  ThdSweepResult r;
  std::string error;
  ASSERT_EQ(ThdRunSweep(o, r, nullptr, &error), 0) << error;
  const ThdPlotData plot = ThdSweepPlotData(r);
  ASSERT_EQ(plot.mNotes.size(), 1u);
  EXPECT_EQ(plot.mNotes[0], "Not measured where they lie above 20 kHz or at half the sample rate: H3 from 7000 Hz, "
                            "H4 from 7000 Hz, H5 from 7000 Hz");
  EXPECT_TRUE(plot.mPointNotes.empty());
}

// Above 10 kHz no harmonic is left below 20 kHz, so THD has no figure there: the plot says so
// instead of leaving its line silently short.
TEST_F(ThdReportTest, PlotSaysWhereThdWasNotMeasured)
{
  ThdOptions o = Simulated();
  o.mSweep.mKind = EThdSweep::kFrequency;
  o.mSweep.mFrom = 1000;
  o.mSweep.mTo = 12000;
  o.mSweep.mPoints = 2;
  o.mDevice.mModel = EThdDeviceModel::kSoftClip;
  ThdSweepResult r;
  std::string error;
  ASSERT_EQ(ThdRunSweep(o, r, nullptr, &error), 0) << error;
  const ThdPlotData plot = ThdSweepPlotData(r);
  EXPECT_TRUE(std::isnan(plot.mSeries[0].mY[1]));
  ASSERT_EQ(plot.mNotes.size(), 2u);
  EXPECT_EQ(plot.mNotes[1], "THD not measured from 12000 Hz: no harmonic lies at or below 20000 Hz and below half the "
                            "sample rate");
}
