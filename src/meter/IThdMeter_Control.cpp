// Measurement control: the editor's actions (from_GUI), the texts of engine messages
// (MyIdle), and the two host hooks that follow the sample rate and Denoising.
#include "IThdMeter.h"

#include "CalibrationParser.h"
#include "IGraphics.h"
#include "IUserNotice.h"
#include "ThdMath.h"
#include "Util_CStr.h"
#include "Util_Platform.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {
// 2*pi*k as the doubles the step coefficients have always used.
constexpr double kTwoPiK[IThdMeter::kHarmonics] = {6.283185307179586, 12.566370614359172, 18.84955592153876,
                                                   25.132741228718345, 31.41592653589793};
}  // namespace

// ---- host hooks (under the plug-in mutex) ----------------------------------------------------

void IThdMeter::Reset()
{
  Util_MutexLock lock(mMutex);
  mCurrentSampleRate.store(GetSampleRate(), std::memory_order_relaxed);
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
      mOutputChannel.store(GetParam(kParamOutput)->Value(), std::memory_order_relaxed);
      break;
    }
    case kParamInput:
    {
      Util_MutexLock lock(mMutex);
      mInputChannel.store(GetParam(kParamInput)->Value(), std::memory_order_relaxed);
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
  const double rate = mCurrentSampleRate.load(std::memory_order_relaxed);
  const int S = ThdIntPart(rate);
  const double K = DenoisingSeconds(mDenoising.load(std::memory_order_relaxed));
  // Below 1 Hz a run has no seconds to count, and a counter that could not reach the
  // completion frame would overflow: no measurement starts.
  if (S < 1 || (K + 1.0) * rate >= (double)INT_MAX) return;

  const double frequency = mFrequency.load(std::memory_order_relaxed);
  const long long f = ThdIntPart(frequency);

  // 1. Calibration divisors for the harmonics of the current frequency.
  for (int k = 0; k < kHarmonics; ++k)
    mCalibrationFactor[k] = mCalibrationLoaded ? CalibrationDivisor((double)((k + 1) * f), mCalibrationFrequency,
                                                                    mCalibrationLevel, mCalibrationCount)
                                               : 1.0;

  // 2.-4. K and the step coefficients. A harmonic at exactly 20000 Hz is generated and
  // measured like every lower one; one at or above half the sample rate is not.
  double stepSin[kHarmonics] = {}, stepCos[kHarmonics] = {};
  for (int k = 0; k < kHarmonics; ++k)
  {
    if (IsHarmonicMeasured(k + 1, frequency, rate))
    {
      const double angle = kTwoPiK[k] * frequency / rate;
      stepSin[k] = std::sin(angle);
      stepCos[k] = std::cos(angle);
    }
  }

  // 5.-6. Publish the request; the audio thread zeroes the sums and the counter when it
  // takes it, then the flag, last of all.
  const uint32_t seq = mStartSeq.load(std::memory_order_relaxed);
  mStartSeq.store(seq + 1, std::memory_order_relaxed);
  mStartMeasureSeconds.store(K, std::memory_order_release);
  for (int k = 0; k < kHarmonics; ++k)
  {
    mStartFactor[k].store(mCalibrationFactor[k], std::memory_order_release);
    mStartStepSin[k].store(stepSin[k], std::memory_order_release);
    mStartStepCos[k].store(stepCos[k], std::memory_order_release);
  }
  mStartSeq.store(seq + 2, std::memory_order_release);
  mMeasuring.store((seq + 2) | 1u, std::memory_order_release);

  SetCancelButtonShown(true);
}

void IThdMeter::CancelMeasurement()
{
  mMeasuring.store(0u, std::memory_order_release);
  // A message of the abandoned run that nobody has read yet must not replace the template.
  mMessageSlot.store(0.0, std::memory_order_release);
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
  mFrequency.store((double)value, std::memory_order_relaxed);
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
    if (!mMeasuring.load(std::memory_order_acquire)) return;
    const int K = ThdIntPart(mMeasureSeconds.load(std::memory_order_relaxed));
    const int S = ThdIntPart(mCurrentSampleRate.load(std::memory_order_relaxed));
    const int n = mSampleCount.load(std::memory_order_relaxed);
    const int left = K - (S >= 1 ? n / S : 0);
    std::snprintf(mMessageText, sizeof mMessageText, "Time left: %d min %d sec\nHarmonic1: %10.8f", left / 60,
                  left % 60, mProgressLevel.load(std::memory_order_relaxed));
    ShowResultsText();
    if (GetGUI()) MarkAllControlsDirty();
    mProgressLevel.store(0.0, std::memory_order_relaxed);
  }
  else if (value == kMessageResults)
  {
    std::snprintf(mMessageText, sizeof mMessageText,
                  "THD=%10.8f %%\nHarmonic1=%10.8f\nHarmonic2=%10.8f\nHarmonic3=%10.8f\nHarmonic4=%10.8f\nHarmonic5=%10.8f",
                  mTHD.load(std::memory_order_relaxed), GetHarmonicLevel(1), GetHarmonicLevel(2), GetHarmonicLevel(3),
                  GetHarmonicLevel(4), GetHarmonicLevel(5));
    ShowResultsText();
    if (GetGUI()) MarkAllControlsDirty();
    SetCancelButtonShown(false);
  }
}

double IThdMeter::PumpEditorMessage()
{
  // Take and clear in one step, so that a message posted meanwhile is not lost.
  const double value = mMessageSlot.exchange(0.0, std::memory_order_acq_rel);
  if (value >= kMessageProgress && value <= kMessageResults)
  {
    MyIdle(value);
    return value;
  }
  return 0.0;
}
