// Measurement control: the editor's actions (from_GUI), the texts of engine messages
// (MyIdle), and the two host hooks that follow the sample rate and Denoising.
#include "IThdMeter.h"

#include "IGraphics.h"
#include "IUserNotice.h"
#include "ThdMath.h"
#include "Util_CStr.h"
#include "Util_Platform.h"

#include <cmath>
#include <cstdio>
#include <cstring>

// ---- host hooks (under the plug-in mutex) ----------------------------------------------------

void IThdMeter::Reset()
{
  Util_MutexLock lock(mMutex);
  mEngine.SetSampleRate(GetSampleRate());
}

void IThdMeter::OnParamChange(int paramIdx)
{
  // Only Denoising follows its parameter from every side; Output, Input and Volume follow
  // the editor's controls (from_GUI) and the saved state, not host automation. The others
  // therefore take no lock: the binding calls this for every automated parameter, on the
  // audio thread.
  if (paramIdx != kParamDenoising) return;
  Util_MutexLock lock(mMutex);
  mDenoising.store(SnapDenoising(GetParam(kParamDenoising)->Value()), std::memory_order_relaxed);
}

void IThdMeter::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames)
{
  mEngine.Process(inputs, outputs, nFrames);
}

// ---- editor actions (editor thread) ----------------------------------------------------------

void IThdMeter::from_GUI(int tag)
{
  switch (tag)
  {
    // The parameter values and the label and frequency texts are shared with host threads
    // (automation, state restore), which change them under the plug-in mutex; these few
    // reads and writes take it too.
    case kParamOutput:
    {
      Util_MutexLock lock(mMutex);
      mEngine.SetOutputChannel(GetParam(kParamOutput)->Value());
      break;
    }
    case kParamInput:
    {
      Util_MutexLock lock(mMutex);
      mEngine.SetInputChannel(GetParam(kParamInput)->Value());
      break;
    }
    case kParamVolume:
    {
      Util_MutexLock lock(mMutex);
      mVolume.store(GetParam(kParamVolume)->Value(), std::memory_order_relaxed);
      ApplyVolumeMapping();
      ShowVolumeLabel();
      break;
    }
    case kParamStart:
      StartMeasurement();
      break;
    case kParamCancel:
      CancelMeasurement();
      break;
    case kParamHelp:
      OpenHelpPage(kHelpPageURL);
      break;
    case kParamAbout:
      SetAboutBoxShown(true);
      break;
    case kParamOK:
      SetAboutBoxShown(false);
      break;
    case kTagFrequencyEntry:
    {
      Util_MutexLock lock(mMutex);
      ParseFrequencyEntry();
      break;
    }
    default:
      break;
  }
}

void IThdMeter::StartMeasurement()
{
  // The divisors for the harmonics of the frequency the run is tuned to, then the hand-over.
  const double frequency = mEngine.GetFrequency();
  const long long f = ThdIntPart(frequency);
  double divisors[kHarmonics];
  for (int k = 0; k < kHarmonics; ++k) divisors[k] = mCalibration.Divisor((double)((k + 1) * f));
  if (!mEngine.Start(frequency, DenoisingSeconds(mDenoising.load(std::memory_order_relaxed)), divisors)) return;
  for (int k = 0; k < kHarmonics; ++k) mCalibrationFactor[k] = divisors[k];
  SetCancelButtonShown(true);
}

void IThdMeter::CancelMeasurement()
{
  mEngine.Cancel();
  // An unread message of the abandoned run must not replace the blank results either.
  TakeEngineMessage();
  Util_StrCopy(mMessageText, kBlankResultsText);
  ShowResultsText();
  if (GetGUI()) MarkAllControlsDirty();
  SetCancelButtonShown(false);
}

void IThdMeter::SetFrequencyEntry(const char* text)
{
  Util_StrCopy(mFrequencyEntry, text);
}

void IThdMeter::ParseFrequencyEntry()
{
  // Read from the last character back to the first: the digits up to the first non-digit
  // make the number ("x440" is 440, "1k5" is 5).
  int len = 0;
  while (len < (int)sizeof mFrequencyEntry && mFrequencyEntry[len]) ++len;
  long long value = 0, weight = 1;
  for (int i = len - 1; i >= 0; --i)
  {
    const char ch = mFrequencyEntry[i];
    if (ch < '0' || ch > '9') break;
    value += (ch - '0') * weight;
    weight *= 10;
  }
  if (value < 20) value = 20;
  if (value > 20000) value = 20000;
  mEngine.SetFrequency((double)value);
  std::snprintf(mFrequencyText, sizeof mFrequencyText, "%d", (int)value);
  ShowFrequencyText();
  if (GetGUI()) MarkAllControlsDirty();
}

void IThdMeter::OpenHelpPage(const char* url)
{
  if (Util_OpenAddress(url) != EUtilOpenResult::kNotFound) return;  // any other answer is not reported
  char text[512];
  std::snprintf(text, sizeof text, "%s not found", url);
  ShowUserNotice(text, "Info", kNoticeInfo);
}

// ---- engine messages (editor thread) ----------------------------------------------------------

void IThdMeter::MyIdle(double value)
{
  if (value == kMessageProgress)
  {
    // A progress message that arrives after a Cancel belongs to the abandoned run.
    if (!mEngine.IsMeasuring()) return;
    const int K = ThdIntPart(mEngine.GetMeasureSeconds());
    const int S = ThdIntPart(mEngine.GetSampleRate());
    const int n = mEngine.GetSampleCount();
    const int left = K - (S >= 1 ? n / S : 0);
    std::snprintf(mMessageText, sizeof mMessageText, "Time left: %d min %d sec\nHarmonic1: %10.8f", left / 60,
                  left % 60, mEngine.GetProgressLevel());
    ShowResultsText();
    if (GetGUI()) MarkAllControlsDirty();
    mEngine.ClearProgressLevel();
  }
  else if (value == kMessageResults)
  {
    // With no fundamental on the input THD is 0/0: the C library would print "nan", "-nan" or
    // "-nan(ind)" depending on the platform. Say what is wrong instead of showing a non-figure.
    const double thd = GetTHD();
    char thdText[32];
    if (std::isfinite(thd))
      std::snprintf(thdText, sizeof thdText, "%10.8f %%", thd);
    else
      std::snprintf(thdText, sizeof thdText, "%s", IThdMeter::kNoSignalText);
    std::snprintf(mMessageText, sizeof mMessageText,
                  "THD=%s\nHarmonic1=%10.8f\nHarmonic2=%10.8f\nHarmonic3=%10.8f\nHarmonic4=%10.8f\nHarmonic5=%10.8f",
                  thdText, GetHarmonicLevel(1), GetHarmonicLevel(2), GetHarmonicLevel(3),
                  GetHarmonicLevel(4), GetHarmonicLevel(5));
    ShowResultsText();
    if (GetGUI()) MarkAllControlsDirty();
    SetCancelButtonShown(false);
  }
}

double IThdMeter::PumpEditorMessage()
{
  // Taken and cleared in one step, so that a message posted meanwhile is not lost.
  const double value = TakeEngineMessage();
  if (value != 0.0) MyIdle(value);
  return value;
}
