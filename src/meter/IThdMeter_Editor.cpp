// The meter's editor: its layout (images, text styles and controls in their fixed order) and
// the effects through which the meter shows its texts and hides and shows its controls.
#include "IThdMeter.h"

#include "IControls.h"
#include "IThdMeterControls.h"
#include "IThdMeterGraphics.h"
#include "ThdMeterImages.h"
#include "Util_CStr.h"

#include <cstdio>

namespace {
constexpr int kEditorWidth = 251;
constexpr int kEditorHeight = 310;
constexpr int kEditorFPS = 25;
constexpr const char* kVersionText = "1.0.6";

const IColor kLightText(255, 235, 235, 235);

// Loads one image of the table by its id and name, with its frames.
IBitmap LoadImage(IThdMeterGraphics* gui, EThdMeterImage image)
{
  const ThdMeterImageInfo& info = ThdMeter_ImageInfo(image);
  return gui->LoadIBitmap(info.id, info.name, info.frames);
}
}  // namespace

void IThdMeter::BuildEditor()
{
  IThdMeterGraphics* gui = new IThdMeterGraphics(this, kEditorWidth, kEditorHeight, kEditorFPS);
  ThdPrepareEditorImages(gui);
  const IChannelBlend alpha(IChannelBlend::kBlendNone);

  IText frequencyStyle(18, &COLOR_BLACK, "Arial", IText::kStyleNormal, IText::kAlignNear);
  IText volumeStyle(12, &kLightText, "Verdana", IText::kStyleBold, IText::kAlignFar);
  IText resultsStyle(13, &kLightText, "Verdana", IText::kStyleBold, IText::kAlignNear);
  IText versionStyle(16, &COLOR_WHITE, "Verdana", IText::kStyleNormal, IText::kAlignNear);

  gui->AttachBackground(kImageBackground, ThdMeter_ImageInfo(kImageBackground).name);

  IBitmap badge = LoadImage(gui, kImageCal);
  if (mCalibration.IsLoaded()) gui->AttachControl(new IBitmapControl(this, 200, 35, &badge, alpha));

  IBitmap radio = LoadImage(gui, kImageRadio1);
  mOutputRadio = new IMyRadioButton(this, 118, 34, kParamOutput, &radio, kParamOutput, alpha);
  gui->AttachControl(mOutputRadio);
  mInputRadio = new IMyRadioButton(this, 118, 54, kParamInput, &radio, kParamInput, alpha);
  gui->AttachControl(mInputRadio);

  std::snprintf(mFrequencyText, sizeof mFrequencyText, "%d", (int)GetFrequency());
  mFrequencyDisplay = new AlgDisplayN(this, IRECT(119, 74, 168, 91), &frequencyStyle, mFrequencyText);
  gui->AttachControl(mFrequencyDisplay);

  IBitmap choice = LoadImage(gui, kImageRadio3);
  mDenoisingRadio = new IRadioButtonsControl(this, IRECT(118, 94, 134, 144), kParamDenoising, 3, &choice, kVertical, false);
  gui->AttachControl(mDenoisingRadio);

  IBitmap handle = LoadImage(gui, kImageFader);
  mVolumeFader = new IMyFaderControl(this, 74, 150, 118, kParamVolume, &handle, kHorizontal, kParamVolume);
  gui->AttachControl(mVolumeFader);

  Util_StrCopy(mVolumeLabel, "-10.0 dB");
  mVolumeText = new ITextControl(this, IRECT(194, 149, kThdVolumeLabelRight, 162), &volumeStyle, mVolumeLabel);
  gui->AttachControl(mVolumeText);

  IBitmap start = LoadImage(gui, kImageStart);
  mStartButton = new IMyBitmapControl(this, 48, 172, kParamStart, &start, kParamStart);
  gui->AttachControl(mStartButton);

  mResultsText = new ITextControl(this, IRECT(48, 196, 278, 228), &resultsStyle, mMessageText);
  gui->AttachControl(mResultsText);

  IBitmap cancel = LoadImage(gui, kImageCancel);
  mCancelButton = new IMyBitmapControl(this, 48, 172, kParamCancel, &cancel, kParamCancel);
  gui->AttachControl(mCancelButton);
  mCancelButton->Hide(true);

  IBitmap about = LoadImage(gui, kImageAboutDialog);
  mAboutImage = new IBitmapControl(this, 16, 38, &about, alpha);
  gui->AttachControl(mAboutImage);
  mAboutImage->Hide(true);

  mVersionText = new ITextControl(this, IRECT(134, 69, 184, 77), &versionStyle, kVersionText);
  gui->AttachControl(mVersionText);
  mVersionText->Hide(true);

  gui->AttachControl(new IMyButton(this, IRECT(48, 279, 121, 300), kParamHelp, kParamHelp));
  gui->AttachControl(new IMyButton(this, IRECT(130, 279, 203, 300), kParamAbout, kParamAbout));
  mOKButton = new IMyButton(this, IRECT(89, 180, 162, 201), kParamOK, kParamOK);
  gui->AttachControl(mOKButton);
  mOKButton->Hide(true);

  mDummyControl = new IDummyControl(this, IRECT(0, 0, 1, 1));
  mDummyControlIdx = gui->AttachControl(mDummyControl);

  gui->SetControlFromPlug(mDummyControlIdx, 0.0);
  AttachGraphics(gui);
}

// ---- editor effects ------------------------------------------------------------------------------
// The meter keeps every text and visibility in its own members, so they hold with or without
// an editor; these show them through the controls of the layout.
//
// Most of them run inside a drawing pass (the dummy control hands engine messages to MyIdle
// from its Draw), and the pass cleans every control when it ends. A change made there marks
// its controls for one more pass as well (Redraw), or it would never reach the screen.

void IThdMeter::ShowResultsText()
{
  if (!mResultsText) return;
  mResultsText->SetTextFromPlug(mMessageText);
  mResultsText->Redraw();
}

void IThdMeter::ShowVolumeLabel()
{
  mEditorTextsPending.fetch_or(kPendingVolumeLabel, std::memory_order_acq_rel);
}

void IThdMeter::ShowFrequencyText()
{
  mEditorTextsPending.fetch_or(kPendingFrequencyText, std::memory_order_acq_rel);
}

void IThdMeter::ApplyPendingEditorTexts()
{
  const int pending = mEditorTextsPending.exchange(0, std::memory_order_acq_rel);
  if (!pending) return;
  // A state restore writes these buffers on a host thread under the plug-in mutex.
  char label[sizeof mVolumeLabel], frequency[sizeof mFrequencyText];
  {
    Util_MutexLock lock(mMutex);
    Util_StrCopy(label, mVolumeLabel);
    Util_StrCopy(frequency, mFrequencyText);
  }
  if ((pending & kPendingVolumeLabel) && mVolumeText)
  {
    mVolumeText->SetTextFromPlug(label);
    mVolumeText->Redraw();
  }
  if ((pending & kPendingFrequencyText) && mFrequencyDisplay)
  {
    mFrequencyDisplay->SetTextFromPlug(frequency);
    mFrequencyDisplay->Redraw();
  }
}

bool IThdMeter::HasEditorWork() const
{
  return PeekEditorMessage() != 0.0 ||
         mEditorTextsPending.load(std::memory_order_acquire) != 0;
}

// A message waits in one place only, the editor's dummy control or (without an editor) the
// engine's slot: two copies could not be taken in one step, and the copy left behind would be
// shown a second time (a progress message then with a level of 0).
bool IThdMeter::PostEngineMessage(void* meter, double value)
{
  IThdMeter* self = static_cast<IThdMeter*>(meter);
  IEditorLink* gui = self->GetGUI();
  if (!gui || self->mDummyControlIdx < 0) return false;
  gui->SetControlFromPlug(self->mDummyControlIdx, value);  // only a value and a dirty flag
  return true;
}

double IThdMeter::TakeEngineMessage()
{
  if (mDummyControl) return static_cast<IDummyControl*>(mDummyControl)->TakeMessage();
  const double value = mEngine.TakeMessage();
  return IsEngineMessage(value) ? value : 0.0;
}

double IThdMeter::PeekEditorMessage() const
{
  const double value = mDummyControl ? mDummyControl->GetValue() : mEngine.UnreadMessage();
  return IsEngineMessage(value) ? value : 0.0;
}

void IThdMeter::SetCancelButtonShown(bool shown)
{
  mCancelButtonShown = shown;
  if (mCancelButton) mCancelButton->Hide(!shown);
}

void IThdMeter::SetAboutBoxShown(bool shown)
{
  mAboutBoxShown = shown;
  if (!mAboutImage || !mVersionText || !mOKButton) return;
  if (shown)
  {
    mAboutImage->Hide(false);
    mVersionText->Hide(false);
    mOKButton->Hide(false);
  }
  else
  {
    mVersionText->Hide(true);
    mOKButton->Hide(true);
    mAboutImage->Hide(true);
  }
}

void IThdMeter::MarkAllControlsDirty()
{
  IGraphics* gui = IGraphics::FromPlug(this);
  if (!gui) return;
  // The whole editor, in the next pass as well when this runs inside one. The framework would
  // redraw the results text over what it drew last, but a text that grew (progress to results)
  // reaches the screen whole only a pass later; the whole editor shows it at once.
  gui->SetAllControlsDirty();
  for (int i = 0; i < gui->GetNControls(); ++i) gui->GetControl(i)->Redraw();
}
