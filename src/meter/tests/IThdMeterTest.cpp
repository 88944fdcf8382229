// The plug-in object as a host first sees it: identity, the parameter table and defaults, and
// the documents folder it makes.
#include "IThdMeter.h"
#include "ThdTestFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using IThdMeterTest = ThdTestFolder;

TEST_F(IThdMeterTest, FreshInstanceIdentityAndDefaults)
{
  IThdMeter meter{Info()};
  EXPECT_STREQ(meter.GetEffectName(), "Veldramix THD Meter");
  EXPECT_STREQ(meter.GetProductName(), "");
  EXPECT_EQ(meter.GetUniqueID(), 0x5448444D);  // 'THDM'
  EXPECT_EQ(meter.GetMfrID(), 0x56656C64);     // 'Veld'
  EXPECT_EQ(meter.GetEffectVersion(false), 0x10006);
  EXPECT_EQ(meter.GetEffectVersion(true), 10006);
  EXPECT_EQ(meter.GetLatency(), 0);
  EXPECT_TRUE(meter.DoesStateChunks());
  EXPECT_FALSE(meter.DoesMIDI());
  EXPECT_FALSE(meter.IsInstrument());
  EXPECT_TRUE(meter.LegalIO(1, 1));
  EXPECT_TRUE(meter.LegalIO(2, 2));
  EXPECT_FALSE(meter.LegalIO(1, 2));

  ASSERT_EQ(meter.NParams(), 10);
  EXPECT_EQ(meter.GetParam(kParamVolume)->Value(), 0.5);
  EXPECT_STREQ(meter.GetVolumeLabel(), "-10.0 dB");
  EXPECT_EQ(meter.GetFrequency(), 300.0);
  EXPECT_EQ(meter.IsCalibrationLoaded(), 0);

  ASSERT_EQ(meter.NPresets(), 1);
  EXPECT_STREQ(meter.GetPresetName(0), "-");
  EXPECT_EQ(meter.GetPreset(0)->mChunk.Size(), 88) << "the test frequency and ten parameter values";
}

TEST_F(IThdMeterTest, ParameterTable)
{
  IThdMeter meter{Info()};
  const struct { int idx; const char* name; double def; double step; int steps; const char* shown; } cases[] = {
    {kParamOutput, "Output", 0, 1, 1, "0"},
    {kParamInput, "Input", 0, 1, 1, "0"},
    {kParamDenoising, "Denoising", 0, 0.5, 2, "0.0"},
    {kParamVolume, "Volume", 0.5, 0.0001, 10000, "0.5000"},
    {kParamStart, "Start Measurement", 0, 1, 1, "0"},
    {kParamButton, "Button", 0, 1, 1, "0"},
    {kParamCancel, "Cancel Measurement", 0, 1, 1, "0"},
    {kParamHelp, "Help", 0, 1, 1, "0"},
    {kParamAbout, "About", 0, 1, 1, "0"},
    {kParamOK, "OK", 0, 1, 1, "0"},
  };
  for (const auto& c : cases)
  {
    const IParam* p = meter.GetParam(c.idx);
    EXPECT_STREQ(p->GetNameForHost(), c.name);
    EXPECT_EQ(p->Type(), IParam::kTypeDouble) << c.name;
    EXPECT_EQ(p->GetDefault(), c.def) << c.name;
    EXPECT_EQ(p->GetMin(), 0.0) << c.name;
    EXPECT_EQ(p->GetMax(), 1.0) << c.name;
    EXPECT_EQ(p->GetStep(), c.step) << c.name;
    // What hosts are told: the number of steps across the range.
    EXPECT_EQ((int)std::lround((p->GetMax() - p->GetMin()) / p->GetStep()), c.steps) << c.name;
    EXPECT_STREQ(p->GetLabelForHost(), "") << c.name;
    char text[32];
    p->GetDisplayForHost(text, sizeof text);
    EXPECT_STREQ(text, c.shown) << c.name;
  }
}

#ifndef _WIN32
TEST_F(IThdMeterTest, DocumentsFolderIsCreatedPrivate)
{
  IThdMeter meter{Info()};
  const std::string expect = mFolder + "/Veldramix THD Meter";
  EXPECT_EQ(std::string(meter.GetDocumentsFolder()), expect);
  struct stat st;
  ASSERT_EQ(stat(expect.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // A second instance finds the folder already there.
  IThdMeter again{Info()};
  EXPECT_EQ(std::string(again.GetDocumentsFolder()), expect);
}

TEST_F(IThdMeterTest, UncreatableFolderDoesNotStopConstruction)
{
  IFxInstanceInfo info;
  info.mDocumentsFolder = "/proc/nonexistent-home/Documents";
  IThdMeter meter{info};
  EXPECT_EQ(meter.NParams(), 10);
  EXPECT_EQ(meter.IsCalibrationLoaded(), 0);
}
#endif
