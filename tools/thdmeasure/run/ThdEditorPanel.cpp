// The meter's editor worked as a user would: clicks and typing at the controls' positions, timer
// ticks, the results read back and pictures taken.

#include "ThdEditorPanel.h"

#include "IControl.h"
#include "IGraphicsHeadless.h"

#include <cmath>

namespace {
// Where the user clicks (editor pixels).
constexpr int kRadioY[2] = {42, 62};  // Output, Input
constexpr int kRadioX = 126;
constexpr int kFrequencyX = 140, kFrequencyY = 82;
constexpr int kDenoisingX = 126, kDenoisingY[3] = {102, 119, 136};
constexpr int kFaderY = 156;
// The fader: 74 + half the 12-pixel handle is value 0, each of the 106 pixels after it 1/106.
constexpr int kFaderZeroX = 80, kFaderSpan = 106;
// A fine wheel notch moves the fader by this much (0.02 dB), a plain one by ten times as much.
constexpr double kFineNotch = 0.001;
constexpr int kStartX = 60, kStartY = 182;
}  // namespace

ThdEditorPanel::ThdEditorPanel(IThdMeter& meter) : ThdFrontPanel(meter)
{
  mGui = dynamic_cast<IGraphicsHeadless*>(IGraphics::FromPlug(&meter));
  if (mGui)
  {
    mGui->OpenWindow(mGui);
    Tick();
  }
}

ThdEditorPanel::~ThdEditorPanel()
{
  if (mGui) mGui->CloseWindow();
}

void ThdEditorPanel::Apply(const ThdOptions& o)
{
  if (!mGui)
  {
    ThdFrontPanel::Apply(o);
    return;
  }
  // Each radio toggles: click it when it shows the other side.
  if ((mMeter.GetOutputChannel() != 0.0) != (o.mOutput != 0)) mGui->Click(kRadioX, kRadioY[0]);
  if ((mMeter.GetInputChannel() != 0.0) != (o.mInput != 0)) mGui->Click(kRadioX, kRadioY[1]);

  // The fader as a careful user sets a level: a double click puts it back to its default,
  // then wheel notches of 0.01 (0.2 dB) and fine ones with Control of 0.001 (0.02 dB) walk it
  // there. Every multiple of 0.02 dB is reached exactly (a press would land between the steps).
  const int faderX = kFaderZeroX + kFaderSpan / 2;
  mGui->MouseDblClick(faderX, kFaderY);
  const double from = mMeter.GetParam(kParamVolume)->Value();
  const long long fine = std::llround((IThdMeter::VolumeFromDb(o.mVolumeDb) - from) / kFineNotch);
  const long long coarse = fine / 10, rest = fine - 10 * coarse;
  if (coarse) mGui->MouseWheel(faderX, kFaderY, (int)coarse);
  if (rest) mGui->MouseWheel(faderX, kFaderY, (int)rest, IMouseMod(false, false, false, true));

  const double denoising = IThdMeter::DenoisingValue(o.mDenoising);
  mGui->Click(kDenoisingX, kDenoisingY[denoising == 0.0 ? 0 : (denoising == 0.5 ? 1 : 2)]);

  mGui->Click(kFrequencyX, kFrequencyY);
  mGui->CompleteTextEntry(o.mFreqText.c_str());
  Tick();
}

bool ThdEditorPanel::PressStart()
{
  if (!mGui) return ThdFrontPanel::PressStart();
  mGui->Click(kStartX, kStartY);
  return mMeter.IsMeasuring() != 0;
}

std::string ThdEditorPanel::ResultsText() const
{
  IControl* results = mMeter.GetResultsTextControl();
  return results ? results->GetTextFromControl() : ThdFrontPanel::ResultsText();
}

double ThdEditorPanel::Tick()
{
  if (!mGui) return mMeter.PumpEditorMessage();
  // The pass that reaches the dummy control hands the message to the meter, whose new texts
  // are drawn by the next one.
  const double pending = mMeter.PeekEditorMessage();
  for (int i = 0; i < 4 && mGui->Tick(); ++i) {}
  return pending != 0.0 && mMeter.PeekEditorMessage() == 0.0 ? pending : 0.0;
}

bool ThdEditorPanel::Snapshot(const std::string& path)
{
  return mGui && mGui->WriteScreenPNG(path.c_str());
}
