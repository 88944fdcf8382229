// The meter's controls one by one, where a case is hard to reach through clicks alone: the
// dummy control's message window, a three-frame radio, a fader without a default, and the
// controls' tags.
#include "ThdTestFolder.h"
#include "ThdTestHost.h"

#include "IControls.h"
#include "IGraphicsHeadless.h"
#include "IThdMeter.h"
#include "IThdMeterControls.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {
using ThdControlsTest = ThdTestFolder;

}  // namespace

TEST_F(ThdControlsTest, DummyControlHandsOverOnlyTheTwoMessages)
{
  IThdMeter meter{Info()};
  auto* gui = static_cast<IGraphicsHeadless*>(IGraphics::FromPlug(&meter));
  ASSERT_NE(gui, nullptr);
  gui->OpenWindow(gui);
  meter.HostPrepare(100, 10);
  meter.from_GUI(kParamStart);  // progress texts need a running measurement
  IControl* dummy = gui->GetControl(meter.GetDummyControlIdx());
  gui->Tick();

  struct Case
  {
    double value;
    bool handled;
  } cases[] = {{0.55555555, true}, {0.55555556, true}, {0.5555554, false}, {0.5555557, false}, {0.0, false}};
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.value);
    meter.from_GUI(kParamStart);
    IControl* results = meter.GetResultsTextControl();
    results->SetTextFromPlug("marker");
    gui->SetControlFromPlug(meter.GetDummyControlIdx(), c.value);
    gui->Tick();
    EXPECT_EQ(std::string(results->GetTextFromControl()) != "marker", c.handled) << results->GetTextFromControl();
    EXPECT_EQ(dummy->GetValue(), c.handled ? 0.0 : c.value) << "a handled message is cleared";
    gui->SetControlFromPlug(meter.GetDummyControlIdx(), 0.0);
    gui->Tick();
  }
  gui->CloseWindow();
}

// A message the audio thread posts while a drawing pass ends (after the dummy control drew,
// before the pass cleans it) is not lost: the dummy stays dirty while it holds a message.
TEST_F(ThdControlsTest, MessagePostedDuringAPassReachesTheNext)
{
  IThdMeter meter{Info()};
  auto* gui = static_cast<IGraphicsHeadless*>(IGraphics::FromPlug(&meter));
  gui->OpenWindow(gui);
  gui->Tick();
  IControl* dummy = gui->GetControl(meter.GetDummyControlIdx());
  meter.HostPrepare(10, 10);
  meter.from_GUI(kParamStart);
  std::vector<double> in(10, 0.0), out0(10), out1(10);
  double* ins[2] = {in.data(), in.data()};
  double* outs[2] = {out0.data(), out1.data()};
  meter.HostProcess(ins, outs, 10);  // one second: a progress message
  ASSERT_EQ(meter.PeekEditorMessage(), kMessageProgress);
  dummy->SetClean();  // what the ending pass does
  EXPECT_TRUE(dummy->IsDirty());
  EXPECT_TRUE(gui->Tick());
  EXPECT_EQ(meter.PeekEditorMessage(), 0.0);
  // Marked for one more pass as well; then nothing keeps it dirty.
  gui->Tick();
  EXPECT_FALSE(dummy->IsDirty());
  EXPECT_EQ(std::string(meter.GetResultsTextControl()->GetTextFromControl()).rfind("Time left:", 0), 0u);
  gui->CloseWindow();
}

// Each message reaches MyIdle once, whichever way it is taken. Messages taken by the pump
// while the window is closed are not shown again by the first drawing pass after it opens: a
// second showing of a progress message would print its level as 0 over the one just shown.
TEST_F(ThdControlsTest, EachMessageIsShownOnce)
{
  IThdMeter meter{Info()};
  auto* gui = static_cast<IGraphicsHeadless*>(IGraphics::FromPlug(&meter));
  ThdTestLoop loop(meter, 100, 100);  // a second per block
  TypeFrequency(meter, "20");
  meter.from_GUI(kParamStart);
  for (int b = 0; b < 3; ++b) ASSERT_EQ(loop.Block(), kMessageProgress) << b;
  const std::string shown = meter.GetMessageText();
  ASSERT_EQ(shown.find("Harmonic1: 0.00000000"), std::string::npos) << shown;
  EXPECT_EQ(meter.PeekEditorMessage(), 0.0);

  gui->OpenWindow(gui);
  gui->Tick();
  gui->Tick();
  EXPECT_EQ(meter.GetMessageText(), shown);
  EXPECT_EQ(meter.GetResultsTextControl()->GetTextFromControl(), shown);
  gui->CloseWindow();
}

TEST_F(ThdControlsTest, RadioStepsThroughItsFrames)
{
  IThdMeter meter{Info()};
  auto* gui = IGraphics::FromPlug(&meter);
  IBitmap two = gui->LoadIBitmap(103, "resources/img/radio1.png", 2);
  // The same image read as three frames of a third of its height: three clicks to wrap.
  IBitmap three = two;
  three.N = 3;
  IMyRadioButton radio2(&meter, 0, 0, kParamButton, &two, kParamButton);
  IMyRadioButton radio3(&meter, 0, 0, kParamButton, &three, kParamButton);
  IMouseMod mod(true);
  const double twoSteps[] = {1.0, 0.0, 1.0};
  for (double v : twoSteps)
  {
    radio2.OnMouseDown(1, 1, &mod);
    EXPECT_EQ(radio2.GetValue(), v);
  }
  const double threeSteps[] = {0.5, 1.0, 0.0};
  for (double v : threeSteps)
  {
    radio3.OnMouseDown(1, 1, &mod);
    EXPECT_EQ(radio3.GetValue(), v);
    EXPECT_EQ(meter.GetParam(kParamButton)->Value(), v);
  }
}

TEST_F(ThdControlsTest, FaderWithoutDefaultOnlyReportsADoubleClick)
{
  IThdMeter meter{Info()};
  auto* gui = IGraphics::FromPlug(&meter);
  IBitmap handle = gui->LoadIBitmap(105, "resources/img/fader.png");
  IMyFaderControl fader(&meter, 74, 150, 118, kParamVolume, &handle, kHorizontal, kParamVolume);
  fader.SetValue(0.2);
  const double before = meter.GetParam(kParamVolume)->Value();
  IMouseMod mod(true);
  fader.OnMouseDblClick(80, 156, &mod);
  EXPECT_EQ(fader.GetValue(), 0.2);
  EXPECT_EQ(meter.GetParam(kParamVolume)->Value(), before);
  // from_GUI(3) ran: the meter took the parameter's (unchanged) value and relabelled.
  EXPECT_STREQ(meter.GetVolumeLabel(), "-10.0 dB");
  // Snaps outside the travel clamp.
  fader.SnapToMouse(0, 156);
  EXPECT_EQ(fader.GetValue(), 0.0);
  fader.SnapToMouse(400, 156);
  EXPECT_EQ(fader.GetValue(), 1.0);
  EXPECT_STREQ(meter.GetVolumeLabel(), "0.0 dB");
}

TEST_F(ThdControlsTest, ButtonsToggleAfterReporting)
{
  IThdMeter meter{Info()};
  IMyButton about(&meter, IRECT(0, 0, 10, 10), kParamAbout, kParamAbout);
  IMouseMod mod(true);
  about.OnMouseDown(1, 1, &mod);
  EXPECT_TRUE(meter.IsAboutBoxShown());
  EXPECT_EQ(meter.GetParam(kParamAbout)->Value(), 1.0);
  about.OnMouseDown(1, 1, &mod);
  EXPECT_EQ(meter.GetParam(kParamAbout)->Value(), 0.0);

  auto* gui = IGraphics::FromPlug(&meter);
  IBitmap start = gui->LoadIBitmap(106, "resources/img/start.png");
  IMyBitmapControl button(&meter, 48, 172, kParamStart, &start, kParamStart);
  EXPECT_EQ(button.GetRECT()->R, 48 + 155);
  EXPECT_EQ(button.GetRECT()->B, 172 + 21);
  meter.HostPrepare(48000, 64);
  button.OnMouseDown(50, 180, &mod);
  EXPECT_EQ(meter.IsMeasuring(), 1);
  EXPECT_EQ(button.GetValue(), 0.0) << "Start's value never changes";
}
