// The meter's editor end to end through the headless window host: its layout, clicks, typing,
// the fader, the about box, a measurement from Start to results, and golden pictures.
#include "ThdEditorHost.h"
#include "ThdOpenedAddresses.h"
#include "ThdTestFolder.h"

#include "ByteChunk.h"
#include "IControls.h"
#include "IThdMeterControls.h"
#include "Raster.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

namespace {
namespace P = ThdEditorPoints;

class ThdEditorTest : public ThdTestFolder
{
protected:
  void MakeMeter() { mMeter = std::make_unique<IThdMeter>(Info()); }
  IGraphicsHeadless* Gui() { return static_cast<IGraphicsHeadless*>(IGraphics::FromPlug(mMeter.get())); }
  std::string Text(IControl* c) { return c ? c->GetTextFromControl() : "<none>"; }
  void WriteCalibrationFile()
  {
    std::string dir;
    {
      IThdMeter probe{Info()};  // creates the meter's folder under the private documents folder
      dir = probe.GetDocumentsFolder();
    }
    std::ofstream(dir + "/chain.frd") << "20 0\n1000 -0.5\n20000 -1\n";
  }
  std::unique_ptr<IThdMeter> mMeter;
};

struct Expected
{
  IRECT rect;
  bool hidden;
};

bool SameRect(const IRECT& a, const IRECT& b) { return a.L == b.L && a.T == b.T && a.R == b.R && a.B == b.B; }

// The controls in attach order with their rectangles and first visibility.
const Expected kLayout[] = {
    {{0, 0, 251, 310}, false},      // background
    {{118, 34, 180, 50}, false},    // Output
    {{118, 54, 180, 70}, false},    // Input
    {{119, 74, 168, 91}, false},    // frequency display
    {{118, 94, 134, 144}, false},   // Denoising
    {{74, 150, 192, 162}, false},   // Volume fader
#ifdef _WIN32
    {{194, 149, 238, 162}, false},  // volume label, right-aligned to Windows' text metrics
#else
    {{194, 149, 242, 162}, false},  // volume label
#endif
    {{48, 172, 203, 193}, false},   // Start
    {{48, 196, 278, 228}, false},   // results
    {{48, 172, 203, 193}, true},    // Cancel
    {{16, 38, 236, 225}, true},     // about box
    {{134, 69, 184, 77}, true},     // version
    {{48, 279, 121, 300}, false},   // Help
    {{130, 279, 203, 300}, false},  // About
    {{89, 180, 162, 201}, true},    // OK
    {{0, 0, 1, 1}, false},          // dummy
};

TEST_F(ThdEditorTest, LayoutWithoutAndWithCalibrationFile)
{
  for (bool withFile : {false, true})
  {
    SCOPED_TRACE(withFile ? "with a calibration file" : "without");
    if (withFile) WriteCalibrationFile();
    MakeMeter();
    IGraphicsHeadless* gui = Gui();
    ASSERT_NE(gui, nullptr);
    EXPECT_EQ(gui->Width(), 251);
    EXPECT_EQ(gui->Height(), 310);
    EXPECT_EQ(gui->FPS(), 25);
    ASSERT_EQ(mMeter->IsCalibrationLoaded() != 0, withFile);
    const int shift = withFile ? 1 : 0;
    ASSERT_EQ(gui->GetNControls(), 16 + shift);
    if (withFile)
    {
      EXPECT_TRUE(SameRect(*gui->GetControl(1)->GetRECT(), IRECT(200, 35, 233, 49)));
      EXPECT_FALSE(gui->GetControl(1)->IsHidden());
    }
    for (int i = 0; i < 16; ++i)
    {
      IControl* c = gui->GetControl(i ? i + shift : 0);
      SCOPED_TRACE(i);
      EXPECT_TRUE(SameRect(*c->GetRECT(), kLayout[i].rect))
          << c->GetRECT()->L << "," << c->GetRECT()->T << "," << c->GetRECT()->R << "," << c->GetRECT()->B;
      EXPECT_EQ(c->IsHidden(), kLayout[i].hidden);
    }
    EXPECT_EQ(mMeter->GetDummyControlIdx(), 15 + shift);
    EXPECT_NE(dynamic_cast<IDummyControl*>(gui->GetControl(15 + shift)), nullptr);
    EXPECT_EQ(mMeter->GetCancelButton(), gui->GetControl(9 + shift));
    EXPECT_EQ(mMeter->GetAboutImage(), gui->GetControl(10 + shift));

    // First texts and values: parameters pulled in when the editor was attached.
    EXPECT_EQ(Text(mMeter->GetFrequencyDisplay()), "300");
    EXPECT_EQ(Text(mMeter->GetVolumeTextControl()), "-10.0 dB");
    EXPECT_EQ(Text(mMeter->GetResultsTextControl()), IThdMeter::kBlankResultsText);
    EXPECT_EQ(Text(mMeter->GetVersionText()), "1.0.6");
    EXPECT_DOUBLE_EQ(mMeter->GetVolumeFader()->GetValue(), 0.5);
    EXPECT_DOUBLE_EQ(mMeter->GetVolumeFader()->GetDefaultValue(), 0.5);
    EXPECT_EQ(gui->GetControl(mMeter->GetDummyControlIdx())->GetValue(), 0.0);
    mMeter.reset();
  }
}

TEST_F(ThdEditorTest, MeasurementFromStartToResults)
{
  MakeMeter();
  ThdEditorDriver d(*mMeter, 8000, 4000);  // two blocks and two ticks a second
  d.Tick();
  d.Click(P::kStart);
  EXPECT_EQ(mMeter->IsMeasuring(), 1);
  EXPECT_FALSE(mMeter->GetCancelButton()->IsHidden());
  ASSERT_TRUE(d.RunToResults(40));

  // One progress text per second, counting down from 12 (the settling second) to 0, each
  // with the fundamental's level of the last second once the tone has come back; then the
  // results.
  ASSERT_EQ(d.mTexts.size(), 14u);
  for (int i = 0; i < 13; ++i)
  {
    const std::string expected = "Time left: 0 min " + std::to_string(12 - i) + " sec\nHarmonic1: ";
    EXPECT_EQ(d.mTexts[(size_t)i].rfind(expected, 0), 0u) << d.mTexts[(size_t)i];
  }
  EXPECT_NE(d.mTexts[5].find("Harmonic1: 0.3162"), std::string::npos) << d.mTexts[5];
  const std::string results = d.ResultsText();
  EXPECT_EQ(results.rfind("THD=", 0), 0u);
  EXPECT_NE(results.find("\nHarmonic1=0.31622777\nHarmonic2="), std::string::npos) << results;
  EXPECT_TRUE(mMeter->GetCancelButton()->IsHidden());
  EXPECT_FALSE(mMeter->GetStartButton()->IsHidden());

  // The next click on that rectangle starts again (Start lies under the hidden Cancel).
  d.Click(P::kStart);
  EXPECT_EQ(mMeter->IsMeasuring(), 1);
}

TEST_F(ThdEditorTest, CancelDuringARun)
{
  MakeMeter();
  ThdEditorDriver d(*mMeter, 8000, 8000);
  d.Click(P::kStart);
  for (int i = 0; i < 3; ++i)
  {
    d.Block();
    d.Tick();
  }
  EXPECT_EQ(std::string(d.ResultsText()).rfind("Time left: 0 min 9 sec", 0), 0u) << d.ResultsText();
  // While running, the click on that rectangle reaches only Cancel.
  d.Click(P::kStart);
  EXPECT_EQ(mMeter->IsMeasuring(), 0);
  d.Tick();
  EXPECT_EQ(std::string(d.ResultsText()), IThdMeter::kBlankResultsText);
  EXPECT_TRUE(mMeter->GetCancelButton()->IsHidden());
  for (int i = 0; i < 3; ++i)
  {
    d.Block();
    d.Tick();
  }
  EXPECT_EQ(std::string(d.ResultsText()), IThdMeter::kBlankResultsText) << "no progress of the abandoned run";
}

TEST_F(ThdEditorTest, AboutBoxCoversTheControlsUnderIt)
{
  MakeMeter();
  ThdEditorDriver d(*mMeter, 8000, 8000);
  d.Tick();
  d.Click(P::kAbout);
  EXPECT_TRUE(mMeter->IsAboutBoxShown());
  for (IControl* c : {mMeter->GetAboutImage(), mMeter->GetVersionText(), mMeter->GetOKButton()}) EXPECT_FALSE(c->IsHidden());
  EXPECT_TRUE(d.Tick());

  // Clicks on the radio, the entry, the fader and Start land on the about box.
  const double volume = mMeter->GetParam(kParamVolume)->Value();
  d.Click(P::kOutputR);
  d.Click(P::kFrequency);
  d.Click(P::kDenoising[2]);
  d.Gui()->Click(180, P::kFaderY);
  d.Gui()->Click(60, 182);  // Start, left of the about box's OK button
  EXPECT_EQ(mMeter->GetParam(kParamOutput)->Value(), 0.0);
  EXPECT_FALSE(d.Gui()->HasPendingTextEntry());
  EXPECT_EQ(mMeter->GetParam(kParamDenoising)->Value(), 0.0);
  EXPECT_EQ(mMeter->GetParam(kParamVolume)->Value(), volume);
  EXPECT_EQ(mMeter->IsMeasuring(), 0);

  // Help and About below the box still answer; OK closes it.
  d.Click(P::kOK);
  EXPECT_FALSE(mMeter->IsAboutBoxShown());
  for (IControl* c : {mMeter->GetAboutImage(), mMeter->GetVersionText(), mMeter->GetOKButton()}) EXPECT_TRUE(c->IsHidden());
  // A hidden OK takes no clicks: this one reaches Start.
  d.Click(P::kOK);
  EXPECT_EQ(mMeter->IsMeasuring(), 1);
}

TEST_F(ThdEditorTest, TypingAFrequency)
{
  struct Case
  {
    const char* typed;
    const char* shown;  // after the meter parsed it
    double frequency;
  };
  const Case cases[] = {
      {"440", "440", 440}, {"20000", "20000", 20000}, {"5", "20", 20}, {"99999", "20000", 20000},
      {"12345678", "12345", 12345}, {"abc", "20", 20}, {"", "20", 20},
  };
  MakeMeter();
  ThdEditorDriver d(*mMeter, 8000, 8000);
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.typed);
    d.Click(P::kFrequency);
    ASSERT_TRUE(d.Gui()->HasPendingTextEntry());
    EXPECT_EQ(d.Gui()->GetPendingTextEntry()->control, mMeter->GetFrequencyDisplay());
    ASSERT_TRUE(d.Gui()->CompleteTextEntry(c.typed));
    EXPECT_EQ(mMeter->GetFrequency(), c.frequency);
    EXPECT_EQ(Text(mMeter->GetFrequencyDisplay()), c.shown);
    d.Tick();
  }
  // A cancelled entry changes nothing.
  d.Click(P::kFrequency);
  EXPECT_EQ(std::string(d.Gui()->GetPendingTextEntry()->str.Get()), "20");
  ASSERT_TRUE(d.Gui()->CancelTextEntry());
  EXPECT_EQ(mMeter->GetFrequency(), 20.0);
  EXPECT_EQ(Text(mMeter->GetFrequencyDisplay()), "20");
}

// The display cuts what a platform entry delivers, and hands the meter at most 7 characters.
TEST_F(ThdEditorTest, LongEntryTextIsCut)
{
  MakeMeter();
  auto* display = static_cast<AlgDisplayN*>(mMeter->GetFrequencyDisplay());
  display->TextFromTextEntry("00000440999");  // as a macOS entry may deliver it
  EXPECT_EQ(mMeter->GetFrequency(), 44.0) << "the meter reads \"0000044\"";
  EXPECT_EQ(Text(display), "44");
}

TEST_F(ThdEditorTest, FaderDragWheelAndDoubleClick)
{
  MakeMeter();
  ThdEditorDriver d(*mMeter, 8000, 8000);
  IGraphicsHeadless* gui = d.Gui();
  struct Step
  {
    const char* what;
    double value;
    const char* label;
  };
  auto check = [&](const Step& s) {
    SCOPED_TRACE(s.what);
    EXPECT_NEAR(mMeter->GetParam(kParamVolume)->Value(), s.value, 1e-12);
    EXPECT_NEAR(mMeter->GetVolumeFader()->GetValue(), s.value, 1e-12);
    EXPECT_EQ(Text(mMeter->GetVolumeTextControl()), s.label);
    EXPECT_STREQ(mMeter->GetVolumeLabel(), s.label);
  };
  gui->MouseDown(186, P::kFaderY);  // (x - 80) / 106
  check({"press at the end", 1.0, "0.0 dB"});
  gui->MouseDrag(133, P::kFaderY);
  check({"drag to the middle", 0.5, "-10.0 dB"});
  gui->MouseDrag(20, P::kFaderY);
  check({"drag past the start", 0.0, "-20.0 dB"});
  gui->MouseUp(20, P::kFaderY);
  gui->MouseWheel(100, P::kFaderY, 3);
  check({"three notches", 0.03, "-19.4 dB"});
  gui->MouseWheel(100, P::kFaderY, -1, IMouseMod(false, false, true));
  check({"a fine notch back", 0.029, "-19.4 dB"});
  gui->MouseDblClick(100, P::kFaderY);
  check({"double click", 0.5, "-10.0 dB"});
  EXPECT_TRUE(d.Tick());
}

TEST_F(ThdEditorTest, RadioTogglesReachTheParameters)
{
  MakeMeter();
  ThdEditorDriver d(*mMeter, 8000, 8000);
  d.Click(P::kOutputR);
  EXPECT_EQ(mMeter->GetParam(kParamOutput)->Value(), 1.0);
  EXPECT_EQ(mMeter->GetOutputChannel(), 1.0);
  d.Click(P::kOutputL);
  EXPECT_EQ(mMeter->GetParam(kParamOutput)->Value(), 0.0);
  EXPECT_EQ(mMeter->GetOutputChannel(), 0.0);
  d.Gui()->MouseDblClick(P::kInputR[0], P::kInputR[1]);
  EXPECT_EQ(mMeter->GetParam(kParamInput)->Value(), 1.0);
  EXPECT_EQ(mMeter->GetInputChannel(), 1.0);
  const double denoising[3] = {0.0, 0.5, 1.0};
  for (int i : {1, 2, 0})
  {
    d.Click(P::kDenoising[i]);
    EXPECT_EQ(mMeter->GetParam(kParamDenoising)->Value(), denoising[i]) << i;
    EXPECT_EQ(mMeter->GetDenoising(), denoising[i]) << i;
  }
  EXPECT_TRUE(d.Tick());
}

TEST_F(ThdEditorTest, HelpOpensTheHelpPage)
{
  MakeMeter();
  ThdEditorDriver d(*mMeter, 8000, 8000);
  ThdOpenedAddresses opened;
  d.Click(P::kHelp);
  ASSERT_EQ(opened.Addresses().size(), 1u);
  EXPECT_EQ(opened.Addresses()[0], IThdMeter::kHelpPageURL);
  EXPECT_EQ(mMeter->IsMeasuring(), 0);
}

// A state restore on a host thread changes the texts; the editor shows them at its next pass.
TEST_F(ThdEditorTest, StateRestoreReachesTheTexts)
{
  MakeMeter();
  ThdEditorDriver d(*mMeter, 8000, 8000);
  d.Tick();
  ByteChunk chunk;
  const double state[11] = {1000, 0, 0, 0, 1.0, 0, 0, 0, 0, 0, 0};
  for (double v : state) chunk.AppendValue(v);
  mMeter->UnserializeState(&chunk, 0);
  EXPECT_TRUE(d.Tick());
  EXPECT_EQ(Text(mMeter->GetFrequencyDisplay()), "1000");
  EXPECT_EQ(Text(mMeter->GetVolumeTextControl()), "0.0 dB");
}
}  // namespace
