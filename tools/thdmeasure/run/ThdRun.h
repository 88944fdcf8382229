// One run of thdmeasure: the simulated loop, writing the tone, or checking and analysing a
// capture. The meter is driven as a user drives it (ThdFrontPanel), the results gathered in a
// ThdResult that the text and JSON reports print.
#pragma once

#include "IThdMeter.h"
#include "ThdCaptureCheck.h"
#include "ThdCompensation.h"
#include "ThdOptions.h"
#include "ThdNoiseAnalyser.h"

#include <string>
#include <vector>

// What the user does on the meter's face: channels, volume, Denoising and frequency, then
// Start; afterwards the results text. This one calls the meter's editor actions directly;
// ThdEditorPanel clicks the same controls on the editor.
class ThdFrontPanel
{
public:
  explicit ThdFrontPanel(IThdMeter& meter) : mMeter(meter) {}
  virtual ~ThdFrontPanel() = default;
  virtual void Apply(const ThdOptions& options);
  virtual bool PressStart();
  virtual std::string ResultsText() const { return mMeter.GetMessageText(); }

protected:
  IThdMeter& mMeter;
};

struct ThdResult;

class ThdProgressSink
{
public:
  virtual ~ThdProgressSink() = default;
  // The run is set up (and a capture passed its checks): what is about to be measured.
  virtual void Begin(const ThdResult& result) = 0;
  // text: the meter's progress text; fraction: of the run's frames processed.
  virtual void Progress(const char* text, double fraction) = 0;
  virtual void End(bool completed) = 0;
};

struct ThdHarmonic
{
  int mK = 0;
  long long mHz = 0;
  bool mMeasured = false;
  double mLevel = 0.0;  // peak amplitude, full scale 1.0
  // Phase of the harmonic's sine at the fundamental's positive zero crossing, in degrees
  // (-180, 180]; the fundamental's own is 0. Valid only where the harmonic stands clear of
  // the noise and rounding.
  bool mPhaseValid = false;
  double mPhaseDeg = 0.0;
  // The harmonic as it came back, for the interface reference: its level before calibration,
  // its phase however weak it is, and the noise the averaging window leaves on each of its
  // quadratures (full scale 1.0; the THD+N analysis' figure from the residual near this
  // harmonic, 0 without one); the calibration's divisor of its level (1 without one). That
  // noise is the one figure every judgement of this harmonic uses: its phase, its noise floor,
  // the interface reference.
  double mRawLevel = 0.0, mRawPhaseDeg = 0.0, mNoise = 0.0;
  double mCalibrationFactor = 1.0;
  // The level the noise alone gives this harmonic over the averaging window, in mLevel's
  // units: both quadratures' spread, divided by the calibration as the level is; 0 where the
  // noise is not known. A harmonic not clearly above it is at the noise floor.
  double NoiseLevel() const;
  bool AtNoiseFloor() const;
};

struct ThdResult
{
  ThdOptions mOptions;
  std::string mEffectName;
  double mFrequency = 0.0, mRate = 0.0, mAmplitude = 0.0;
  double mPlayedDb = 0.0;  // the tone's level as the meter plays it (the fader's, in dB)
  std::string mCalibrationName;  // empty: none
  std::vector<std::string> mWarnings;

  // Capture mode: what the checks found.
  bool mHaveCapture = false;
  int mCaptureChannels = 0;
  int mCaptureBits = 0;  // of an integer sample format; 0: floating point
  ThdCaptureReport mCapture;
  bool mChecksFailed = false;  // and the run stopped there unless forced

  // The measurement.
  bool mMeasured = false;
  std::vector<std::string> mProgress;
  std::string mResultsText;
  ThdHarmonic mHarmonics[IThdMeter::kHarmonics];
  bool mThdValid = false;
  double mThdPercent = 0.0;
  std::vector<int> mThdIncludes;  // harmonics summed into the THD
  std::string mThdWhyNot;
  ThdNoiseResult mThdN;
  // What no averaging lowers on each quadrature of a harmonic, as a share of the fundamental:
  // the rounding of the samples the meter read, and the share of the fundamental a clock
  // offset may leak (harmonic k gets mClockLeak / (k - 1)).
  double mRounding = 0.0, mClockLeak = 0.0;
  // With --reference: the interface's harmonics taken away.
  ThdCompensation mCompensation;

  // Tone mode.
  long long mToneFrames = 0;
};

// Carries out the run; returns the exit status (0, 1, 3) with a one-line reason in error
// for 1. toneOut: writing the tone, append it to this open writer (one step of a stepped
// sequence) instead of creating options.mToneFile.
int ThdRunMeasurement(const ThdOptions& options, ThdResult& result, ThdProgressSink* progress, std::string* error,
                      ThdToneWriter* toneOut = nullptr);
