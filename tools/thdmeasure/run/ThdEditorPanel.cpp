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

  // The fader: a press at the pixel below the wanted value, then fine notches (0.001 each,
  // 0.02 dB) up to it.
  const double target = IThdMeter::VolumeFromDb(o.mVolumeDb);
  const int pixels = (int)std::floor(target * kFaderSpan);
  mGui->MouseDown(kFaderZeroX + pixels, kFaderY);
  mGui->MouseUp(kFaderZeroX + pixels, kFaderY);
  const double pressed = mMeter.GetParam(kParamVolume)->Value();
  const int notches = (int)std::lround((target - pressed) / 0.001);
  if (notches) mGui->MouseWheel(kFaderZeroX + pixels, kFaderY, notches, IMouseMod(false, false, false, true));

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
