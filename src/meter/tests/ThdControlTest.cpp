// Measurement control: the editor's tags, the frequency entry, the volume mapping, the
// message texts and the host hooks.
#include "ThdOpenedAddresses.h"
#include "ThdTestHost.h"

#include "IControl.h"
#include "IGraphics.h"
#include "IUserNotice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {
using ThdControlTest = ThdTestFolder;

// A meter whose editor can be replaced by one of the test's own.
class WatchedMeter : public IThdMeter
{
public:
  explicit WatchedMeter(const IFxInstanceInfo& info) : IThdMeter(info) {}
  // Replaces the editor the constructor built; its controls go with it, so the meter's
  // pointers into it are dropped first.
  void ReplaceEditor(IEditorLink* editor, int dummyIdx)
  {
    for (IControl** c : {&mResultsText, &mVolumeText, &mVersionText, &mAboutImage, &mOKButton, &mOutputRadio,
                         &mInputRadio, &mStartButton, &mCancelButton, &mDenoisingRadio, &mVolumeFader,
                         &mFrequencyDisplay, &mDummyControl})
      *c = nullptr;
    AttachGraphics(editor);
    mDummyControlIdx = dummyIdx;
  }
};

std::vector<std::string> gNotices;
void RecordNotice(const char* text, const char* caption, ENoticeKind kind)
{
  gNotices.push_back(std::string(caption) + (kind == kNoticeError ? " (error): " : ": ") + text);
}

}  // namespace

TEST_F(ThdControlTest, FrequencyEntryTable)
{
  const struct { const char* text; double hz; const char* shown; } cases[] = {
    {"1000", 1000, "1000"}, {"0", 20, "20"},         {"abc", 20, "20"},   {"96000", 20000, "20000"},
    {"1k5", 20, "20"},      {"x440", 440, "440"},    {"20", 20, "20"},    {"20001", 20000, "20000"},
    {"", 20, "20"},         {"19", 20, "20"},        {"19999", 19999, "19999"},
    {"12345678", 20000, "20000"},  // the entry keeps 7 characters: 1234567
    {"00300", 300, "300"},  {"3 00", 20, "20"},
  };
  IThdMeter meter{Info()};
  EXPECT_STREQ(meter.GetFrequencyText(), "300");
  for (const auto& c : cases)
  {
    TypeFrequency(meter, c.text);
    EXPECT_EQ(meter.GetFrequency(), c.hz) << '"' << c.text << '"';
    EXPECT_STREQ(meter.GetFrequencyText(), c.shown) << '"' << c.text << '"';
  }
}

TEST_F(ThdControlTest, VolumeMappingAndLabel)
{
  const struct { double v; const char* label; double amplitude; } cases[] = {
    {1.0, "0.0 dB", 1.0},
    {0.5, "-10.0 dB", 0.31622776601683794},
    {0.0, "-20.0 dB", 0.1},
    {0.9996, "0.0 dB", 1.0},  // -0.008 dB snaps to 0: no "-0.0 dB"
    // -0.05 < dB <= -0.01: the level stays, the label rounds to zero and reads "0.0 dB".
    {0.998, "0.0 dB", std::pow(10.0, -20.0 * (1.0 - 0.998) / 20.0)},
    {0.9975, "0.0 dB", std::pow(10.0, -20.0 * (1.0 - 0.9975) / 20.0)},
    {0.9994, "0.0 dB", std::pow(10.0, -20.0 * (1.0 - 0.9994) / 20.0)},
    {0.997, "-0.1 dB", std::pow(10.0, -20.0 * (1.0 - 0.997) / 20.0)},
    {0.75, "-5.0 dB", 0.5623413251903491},
  };
  IThdMeter meter{Info()};
  for (const auto& c : cases)
  {
    PressControl(meter, kParamVolume, c.v);
    EXPECT_STREQ(meter.GetVolumeLabel(), c.label) << c.v;
    EXPECT_NEAR(meter.GetAmplitude(), c.amplitude, 1e-15) << c.v;
  }
}

// Host automation reaches Denoising but not the members behind Output, Input and Volume;
// the editor's controls reach all of them.
TEST_F(ThdControlTest, HostAutomationAndEditorPaths)
{
  IThdMeter meter{Info()};
  meter.SetParameterFromGUI(kParamOutput, 1.0);
  meter.SetParameterFromGUI(kParamInput, 1.0);
  meter.SetParameterFromGUI(kParamVolume, 1.0);
  meter.SetParameterFromGUI(kParamDenoising, 0.5);
  EXPECT_EQ(meter.GetOutputChannel(), 0.0);
  EXPECT_EQ(meter.GetInputChannel(), 0.0);
  EXPECT_NEAR(meter.GetAmplitude(), 0.31622776601683794, 1e-17);
  EXPECT_EQ(meter.GetDenoising(), 0.5);

  meter.from_GUI(kParamOutput);
  meter.from_GUI(kParamInput);
  meter.from_GUI(kParamVolume);
  EXPECT_EQ(meter.GetOutputChannel(), 1.0);
  EXPECT_EQ(meter.GetInputChannel(), 1.0);
  EXPECT_EQ(meter.GetAmplitude(), 1.0);
  EXPECT_STREQ(meter.GetVolumeLabel(), "0.0 dB");
}

TEST_F(ThdControlTest, ResetFollowsTheHostRate)
{
  IThdMeter meter{Info()};
  EXPECT_EQ(meter.GetCurrentSampleRate(), 48000.0);
  meter.HostPrepare(96000, 64);
  EXPECT_EQ(meter.GetCurrentSampleRate(), 96000.0);
}

TEST_F(ThdControlTest, ButtonsAndUnknownTags)
{
  IThdMeter meter{Info()};
  const std::string before = meter.GetMessageText();
  for (int tag : {(int)kParamDenoising, (int)kParamButton, 101, 103, -1, 10})
  {
    meter.from_GUI(tag);
    EXPECT_EQ(meter.IsMeasuring(), 0) << tag;
    EXPECT_EQ(meter.GetMessageText(), before) << tag;
  }
  meter.from_GUI(kParamAbout);
  EXPECT_TRUE(meter.IsAboutBoxShown());
  meter.from_GUI(kParamOK);
  EXPECT_FALSE(meter.IsAboutBoxShown());
}

// Help opens the help page in the browser, without a notice; an address the system reports
// missing gets one, with the address in it.
TEST_F(ThdControlTest, HelpOpensTheHelpPage)
{
  IThdMeter meter{Info()};
  gNotices.clear();
  const IUserNoticeFunc old = SetUserNoticeFunc(RecordNotice);
  for (EUtilOpenResult answer : {EUtilOpenResult::kOpened, EUtilOpenResult::kFailed, EUtilOpenResult::kNotFound})
  {
    ThdOpenedAddresses opened(answer);
    meter.from_GUI(kParamHelp);
    ASSERT_EQ(opened.Addresses().size(), 1u);
    EXPECT_EQ(opened.Addresses()[0], IThdMeter::kHelpPageURL);
    EXPECT_EQ(opened.Addresses()[0].rfind("https://", 0), 0u);
  }
  SetUserNoticeFunc(old);
  ASSERT_EQ(gNotices.size(), 1u);
  EXPECT_EQ(gNotices[0], std::string("Info: ") + IThdMeter::kHelpPageURL + " not found");
  EXPECT_EQ(meter.IsMeasuring(), 0);
}

// Only the two message values reach MyIdle through the pump; a later message replaces an
// unread one.
TEST_F(ThdControlTest, MessageSlot)
{
  IThdMeter meter{Info()};
  ThdTestLoop loop(meter, 100, 10);
  TypeFrequency(meter, "20");
  meter.from_GUI(kParamStart);
  EXPECT_EQ(loop.Block(), kMessageProgress);
  EXPECT_EQ(std::string(meter.GetMessageText()), "Time left: 0 min 12 sec\nHarmonic1: 0.00000000");
  for (double v : {0.5555554, 0.5555557, 0.0, 1.0, 0.55555555 - 1e-9})
  {
    meter.MyIdle(v);
    EXPECT_EQ(std::string(meter.GetMessageText()), "Time left: 0 min 12 sec\nHarmonic1: 0.00000000") << v;
  }
  // Two seconds without a drawing pass: only the last message is shown.
  double* ins[2] = {loop.mIn0.data(), loop.mIn1.data()};
  double* outs[2] = {loop.mOut0.data(), loop.mOut1.data()};
  for (int b = 0; b < 20; ++b) meter.HostProcess(ins, outs, 10);
  EXPECT_EQ(meter.PumpEditorMessage(), kMessageProgress);
  EXPECT_EQ(std::string(meter.GetMessageText()).substr(0, 23), "Time left: 0 min 10 sec");
  EXPECT_EQ(meter.PumpEditorMessage(), 0.0);
}

// With an editor, the engine posts every message to the editor's dummy control (built by the
// constructor; no drawing pass runs here, so each post stays there until read).
TEST_F(ThdControlTest, MessagesReachTheEditorsDummyControl)
{
  IThdMeter meter{Info()};
  IGraphics* gui = IGraphics::FromPlug(&meter);
  ASSERT_NE(gui, nullptr);
  ASSERT_EQ(meter.GetDummyControlIdx(), gui->GetNControls() - 1);
  IControl* dummy = gui->GetControl(meter.GetDummyControlIdx());
  meter.HostPrepare(100, 100);
  TypeFrequency(meter, "20");
  meter.from_GUI(kParamStart);
  std::vector<double> in(100, 0.0), out0(100), out1(100);
  double* ins[2] = {in.data(), in.data()};
  double* outs[2] = {out0.data(), out1.data()};
  std::vector<double> posts;
  for (int b = 0; b < 20 && (posts.empty() || posts.back() != kMessageResults); ++b)
  {
    meter.HostProcess(ins, outs, 100);
    if (dummy->GetValue() != 0.0) posts.push_back(dummy->GetValue());
    dummy->SetValue(0.0);
  }
  ASSERT_EQ(posts.size(), 14u);
  for (size_t i = 0; i < 13; ++i) EXPECT_EQ(posts[i], kMessageProgress);
  EXPECT_EQ(posts[13], kMessageResults);
}

TEST_F(ThdControlTest, StartShowsCancelAndResultsHideIt)
{
  IThdMeter meter{Info()};
  EXPECT_STREQ(meter.GetMessageText(), IThdMeter::kBlankResultsText);
  EXPECT_FALSE(meter.IsCancelButtonShown());
  ThdTestLoop loop(meter, 100, 10);
  TypeFrequency(meter, "20");
  meter.from_GUI(kParamStart);
  EXPECT_EQ(meter.IsMeasuring(), 1);
  EXPECT_TRUE(meter.IsCancelButtonShown());
  ASSERT_TRUE(loop.RunToResults(2000));
  EXPECT_FALSE(meter.IsCancelButtonShown());
  const std::string text = meter.GetMessageText();
  EXPECT_EQ(text.rfind("THD=", 0), 0u);
  EXPECT_NE(text.find(" %\nHarmonic1=0.31622777\nHarmonic2="), std::string::npos) << text;

  // Start again while a run is going restarts it from the first second.
  meter.from_GUI(kParamStart);
  loop.Block();
  loop.Block();
  meter.from_GUI(kParamStart);
  loop.Block();
  EXPECT_EQ(meter.GetSampleCount(), 10);
  EXPECT_EQ(std::string(meter.GetMessageText()).substr(0, 23), "Time left: 0 min 12 sec");
}

// Denoising takes only 0, 0.5 and 1: whatever a host automates or a state holds is read as
// the nearest of the three, and Start runs the matching length.
TEST_F(ThdControlTest, DenoisingSnapsToItsThreeValues)
{
  const struct { double sent, read; int seconds; } cases[] = {
    {0.0, 0.0, 12}, {0.2, 0.0, 12}, {0.3, 0.5, 120}, {0.5, 0.5, 120},
    {0.74, 0.5, 120}, {0.8, 1.0, 1200}, {1.0, 1.0, 1200},
  };
  for (const auto& c : cases)
  {
    IThdMeter meter{Info()};
    ThdTestLoop loop(meter, 100, 10);
    meter.SetParameterFromGUI(kParamDenoising, c.sent);
    meter.OnParamChange(kParamDenoising);
    EXPECT_EQ(meter.GetDenoising(), c.read) << c.sent;
    meter.from_GUI(kParamStart);
    loop.Block();
    EXPECT_EQ(meter.GetMeasureSeconds(), c.seconds) << c.sent;

    // The same value through a saved state.
    IThdMeter restored{Info()};
    ByteChunk chunk;
    const double values[11] = {1000.0, 0, 0, c.sent, 0.5, 0, 0, 0, 0, 0, 0};
    for (double v : values) chunk.AppendValue(&v);
    restored.UnserializeState(&chunk, 0);
    EXPECT_EQ(restored.GetDenoising(), c.read) << c.sent;
  }
  EXPECT_EQ(IThdMeter::SnapDenoising(std::nan("")), 0.0);
  for (int s : {12, 120, 1200}) EXPECT_EQ(IThdMeter::DenoisingSeconds(IThdMeter::DenoisingValue(s)), s);
  EXPECT_EQ(IThdMeter::DenoisingValue(13), -1.0);
  for (double dB : {-20.0, -10.0, -3.5, 0.0}) EXPECT_NEAR(IThdMeter::VolumeToDb(IThdMeter::VolumeFromDb(dB)), dB, 1e-12);
}

namespace {
// An editor whose dummy control presses Start the moment the results of a run arrive: the
// new Start lands inside the completion, before the finished run gives up the run flag.
class StartOnResults : public IEditorLink
{
public:
  explicit StartOnResults(IThdMeter& meter) : mMeter(meter) {}
  void SetParameterFromPlug(int, double, bool) override {}
  void SetControlFromPlug(int, double value) override
  {
    if (value != kMessageResults) return;
    ++mResults;
    if (mRestarts-- > 0) mMeter.from_GUI(kParamStart);
  }
  void PrepDraw() override {}
  IThdMeter& mMeter;
  int mRestarts = 1;
  int mResults = 0;
};
}  // namespace

// The completion hands the run flag back in one step: a Start that arrives while the last
// run completes is kept and measures in full.
TEST_F(ThdControlTest, StartDuringCompletionIsKept)
{
  WatchedMeter meter{Info()};
  auto* editor = new StartOnResults(meter);  // owned by the meter once attached
  meter.ReplaceEditor(editor, 17);
  ThdTestLoop loop(meter, 100, 10);
  TypeFrequency(meter, "20");
  meter.from_GUI(kParamStart);
  // The new run's first progress message replaces the results in the one-slot box within
  // the same block, so the editor's own count tells when each run completed.
  while (editor->mResults < 1 && loop.mFrames < 2000) loop.Block();
  ASSERT_EQ(editor->mResults, 1);
  EXPECT_EQ(meter.IsMeasuring(), 1) << "the Start made during the completion was lost";
  const long long restartedAt = loop.mFrames;
  while (editor->mResults < 2 && loop.mFrames < 4000) loop.Block();
  EXPECT_EQ(editor->mResults, 2);
  EXPECT_EQ(loop.mFrames - restartedAt, 1300) << "the second run measured in full";
  EXPECT_EQ(meter.IsMeasuring(), 0);
}
