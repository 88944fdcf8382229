// thdmeasure measures through the editor: the settings are clicked and typed in, the results
// come from the results text control, and the pictures show what the user sees.
#include "Raster.h"
#include "ThdEditorPanel.h"
#include "ThdRun.h"
#include "ThdTestFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace {
using ThdEditorPanelTest = ThdTestFolder;

std::unique_ptr<Raster_IBitmap> LoadPicture(const std::string& path)
{
  return std::unique_ptr<Raster_IBitmap>(Raster_LoadPNG(path.c_str()));
}
}  // namespace

TEST_F(ThdEditorPanelTest, MeasuresThroughTheEditorAndWritesPictures)
{
  ThdOptions o;
  o.mFreqText = "1000";
  o.mNoCalibration = true;
  o.mDocumentsFolder = mFolder;
  o.mDevice.mModel = EThdDeviceModel::kSoftClip;
  o.mDevice.mDrive = 2.0;
  o.mSnapshot = mFolder + "/editor.png";
  o.mSnapshotDir = mFolder + "/frames";
  ThdResult r;
  std::string error;
  ASSERT_EQ(ThdRunMeasurement(o, r, nullptr, &error), 0) << error;

  // The figures of the main job's command, read from the editor's results text.
  EXPECT_EQ(r.mResultsText.rfind("THD=3.0339", 0), 0u) << r.mResultsText;
  EXPECT_NE(r.mResultsText.find("\nHarmonic1=0.2882999"), std::string::npos) << r.mResultsText;
  ASSERT_EQ(r.mProgress.size(), 13u);
  EXPECT_EQ(r.mProgress.front().rfind("Time left: 0 min 12 sec\n", 0), 0u) << r.mProgress.front();
  EXPECT_EQ(r.mProgress.back().rfind("Time left: 0 min 0 sec\n", 0), 0u) << r.mProgress.back();

  auto after = LoadPicture(o.mSnapshot);
  ASSERT_TRUE(after);
  EXPECT_EQ(after->getWidth(), 251);
  EXPECT_EQ(after->getHeight(), 310);
  for (int i = 1; i <= 13; ++i)
  {
    char name[32];
    std::snprintf(name, sizeof name, "/progress-%04d.png", i);
    EXPECT_TRUE(LoadPicture(o.mSnapshotDir + name)) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(o.mSnapshotDir + "/progress-0014.png"));
  // The frames differ where the text changed: the results area.
  auto first = LoadPicture(o.mSnapshotDir + "/progress-0001.png");
  auto last = LoadPicture(o.mSnapshotDir + "/progress-0013.png");
  ASSERT_TRUE(first && last);
  int differing = 0;
  for (int y = 196; y < 230; ++y)
    for (int x = 48; x < 246; ++x) differing += Raster_GetPixel(first.get(), x, y) != Raster_GetPixel(last.get(), x, y);
  EXPECT_GT(differing, 0);
}

// The settings reach the meter through the editor's controls.
TEST_F(ThdEditorPanelTest, SettingsAreClickedIn)
{
  struct Case
  {
    int output, input, denoising;
    double volumeDb;
    const char* entry;
    double frequency;
  } cases[] = {{1, 1, 12, -20.0, "440", 440}, {0, 1, 120, 0.0, "x2000", 2000}, {1, 0, 1200, -6.0, "12", 20},
               {0, 0, 12, -4.0, "1000", 1000},   {0, 0, 12, -0.02, "1000", 1000},   {0, 0, 12, -19.98, "1000", 1000},
               {0, 0, 12, -7.34, "1000", 1000}};
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.entry);
    IFxInstanceInfo info;
    info.mDocumentsFolder = mFolder.c_str();
    IThdMeter meter{info};
    ThdOptions o;
    o.mOutput = c.output;
    o.mInput = c.input;
    o.mDenoising = c.denoising;
    o.mVolumeDb = c.volumeDb;
    o.mFreqText = c.entry;
    {
      ThdEditorPanel panel(meter);
      panel.Apply(o);
    }
    EXPECT_EQ(meter.GetOutputChannel(), c.output);
    EXPECT_EQ(meter.GetInputChannel(), c.input);
    EXPECT_EQ(meter.GetDenoising(), IThdMeter::DenoisingValue(c.denoising));
    EXPECT_NEAR(20.0 * std::log10(meter.GetAmplitude()), c.volumeDb, 1e-9) << c.volumeDb << " dB is on the fader's grid";
    EXPECT_EQ(meter.GetFrequency(), c.frequency);
  }
}
