// The meter's editor: its layout (images, text styles and controls in their fixed order) and
// the effects through which the meter shows its texts and hides and shows its controls.
#include "IThdMeter.h"

#include "IControls.h"
#include "IThdMeterControls.h"
#include "IThdMeterGraphics.h"
#include "ThdMeterImages.h"
#include "Util_CStr.h"

#include <cstdio>
#include <mutex>

namespace {
constexpr int kEditorWidth = 251;
constexpr int kEditorHeight = 310;
constexpr int kEditorFPS = 25;
constexpr const char* kVersionText = "1.0.6";

// The volume label's right edge follows each platform's text metrics.
#ifdef _WIN32
constexpr int kVolumeLabelRight = 238;
#else
constexpr int kVolumeLabelRight = 242;
#endif

const IColor kLightText(255, 235, 235, 235);

#ifdef VX_GRAPHICS_HEADLESS
// The headless host takes the module's images from memory, as the Windows module takes its
// resources; registered once for the whole module.
void RegisterEditorImages()
{
  static std::once_flag once;
  std::call_once(once, [] {
    int count = 0;
    const ThdMeterImage* images = ThdMeter_Images(&count);
    for (int i = 0; i < count; ++i) IGraphicsHeadless::RegisterImageData(images[i].id, images[i].data, images[i].size);
  });
}
#endif

#ifdef VX_GRAPHICS_X11
// The X11 host takes the module's images from memory, straight from the compiled-in table.
bool FindEditorImage(int id, const unsigned char** png, size_t* size)
{
  int count = 0;
  const ThdMeterImage* images = ThdMeter_Images(&count);
  for (int i = 0; i < count; ++i)
    if (images[i].id == id)
    {
      *png = images[i].data;
      *size = images[i].size;
      return true;
    }
  return false;
}
#endif
}  // namespace

void IThdMeter::BuildEditor()
{
  IThdMeterGraphics* gui = new IThdMeterGraphics(this, kEditorWidth, kEditorHeight, kEditorFPS);
#ifdef VX_GRAPHICS_MAC
  // The view host finds the editor's images among the bundle's resources by this identifier.
  gui->SetBundleID(VX_MAC_BUNDLE_ID);
#endif
#ifdef VX_GRAPHICS_HEADLESS
  RegisterEditorImages();
#endif
#ifdef VX_GRAPHICS_X11
  IGraphicsX11::SetImageLookup(FindEditorImage);
#endif
  const IChannelBlend alpha(IChannelBlend::kBlendNone);

  IText frequencyStyle(18, &COLOR_BLACK, "Arial", IText::kStyleNormal, IText::kAlignNear);
  IText volumeStyle(12, &kLightText, "Verdana", IText::kStyleBold, IText::kAlignFar);
  IText resultsStyle(13, &kLightText, "Verdana", IText::kStyleBold, IText::kAlignNear);
  IText versionStyle(16, &COLOR_WHITE, "Verdana", IText::kStyleNormal, IText::kAlignNear);

  gui->AttachBackground(102, "resources/img/background.png");

  IBitmap badge = gui->LoadIBitmap(109, "resources/img/cal.png");
  if (mCalibrationLoaded) gui->AttachControl(new IBitmapControl(this, 200, 35, &badge, alpha));

  IBitmap radio = gui->LoadIBitmap(103, "resources/img/radio1.png", 2);
  mOutputRadio = new IMyRadioButton(this, 118, 34, kParamOutput, &radio, kParamOutput, alpha);
  gui->AttachControl(mOutputRadio);
  mInputRadio = new IMyRadioButton(this, 118, 54, kParamInput, &radio, kParamInput, alpha);
  gui->AttachControl(mInputRadio);

  std::snprintf(mFrequencyText, sizeof mFrequencyText, "%d", (int)GetFrequency());
  mFrequencyDisplay = new AlgDisplayN(this, IRECT(119, 74, 168, 91), &frequencyStyle, mFrequencyText);
  gui->AttachControl(mFrequencyDisplay);

  IBitmap choice = gui->LoadIBitmap(104, "resources/img/radio3.png", 2);
  mDenoisingRadio = new IRadioButtonsControl(this, IRECT(118, 94, 134, 144), kParamDenoising, 3, &choice, kVertical, false);
  gui->AttachControl(mDenoisingRadio);

  IBitmap handle = gui->LoadIBitmap(105, "resources/img/fader.png");
  mVolumeFader = new IMyFaderControl(this, 74, 150, 118, kParamVolume, &handle, kHorizontal, kParamVolume);
  gui->AttachControl(mVolumeFader);

  Util_StrCopy(mVolumeLabel, "-10.0 dB");
  mVolumeText = new ITextControl(this, IRECT(194, 149, kVolumeLabelRight, 162), &volumeStyle, mVolumeLabel);
  gui->AttachControl(mVolumeText);

  IBitmap start = gui->LoadIBitmap(106, "resources/img/start.png");
  mStartButton = new IMyBitmapControl(this, 48, 172, kParamStart, &start, kParamStart);
  gui->AttachControl(mStartButton);

  mResultsText = new ITextControl(this, IRECT(48, 196, 278, 228), &resultsStyle, mMessageText);
  gui->AttachControl(mResultsText);

  IBitmap cancel = gui->LoadIBitmap(107, "resources/img/cancel.png");
  mCancelButton = new IMyBitmapControl(this, 48, 172, kParamCancel, &cancel, kParamCancel);
  gui->AttachControl(mCancelButton);
  mCancelButton->Hide(true);

  IBitmap about = gui->LoadIBitmap(108, "resources/img/about_dialog.png");
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
  return mMessageSlot.load(std::memory_order_acquire) != 0.0 ||
         mEditorTextsPending.load(std::memory_order_acquire) != 0;
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
  // The whole editor: a shorter text must not leave lines of a longer one below its control.
  gui->SetAllControlsDirty();
  for (int i = 0; i < gui->GetNControls(); ++i) gui->GetControl(i)->Redraw();
}
