// Measuring below the interface's own distortion: the harmonics of a loop-back reference (the
// interface alone), as vectors relative to the fundamental, are taken away from a measurement
// through the device, and what is left is reported with how far it can be trusted.
//
// Each harmonic k comes back as a vector z_k = (H_k / H_1) e^(i phase_k), its phase read at the
// fundamental's positive zero crossing, so that neither latency nor where a recording starts
// moves it. To first order in the distortion, the interface's harmonics add to the device's as
// vectors with the same share of the fundamental they had in the loop-back, whatever the
// device's gain, as long as the device is flat in gain and phase up to the 5th harmonic and
// the interface sees the same levels: then z_device = z_measured - z_reference.
//
// Uncertainty, per quadrature of each compensated vector (as a share of the fundamental):
//  - the noise of both captures near the harmonic (the averaging window's residual), and
//    the fundamental's own noise, which scales each vector;
//  - the reference's repeatability: with several captures of the interface, their spread
//    (a further capture of the interface differs from their mean by it, and the mean itself
//    by its share); with one, only its noise, which the report says;
//  - what no averaging lowers: the samples' rounding, the fundamental a clock offset leaks,
//    and the products of the two captures' distortion that a first-order subtraction leaves
//    (bounded by ten times their product).
// The uncertainty U is three of those standard deviations: noise alone stays below it 99% of
// the time. A compensated harmonic of magnitude m is a figure when m >= 2U (its true value
// then lies within m +- U); otherwise it is an upper bound, as analysts report what lies below
// their limits: "< U" when m <= U (nothing noise alone could not make: below U nothing can be
// told), "< m + U" when U < m < 2U (something may be there, at most that much). The THD, the
// magnitude of all its harmonics' vectors, likewise, with U the coverage of their uncertainties
// together.
#pragma once

#include "ThdReferenceFile.h"

#include <string>
#include <vector>

struct ThdResult;

// Levels are linear and calibrated as the report's are (peak amplitude, full scale 1.0), the
// reference's scaled to the measured fundamental.
struct ThdCompensatedHarmonic
{
  int mK = 0;
  bool mMeasured = false;
  double mMeasuredLevel = 0.0;
  double mReferenceLevel = 0.0;
  double mReferencePhaseDeg = 0.0;  // of the reference (the mean of its captures)
  double mCompensated = 0.0;        // magnitude of the difference
  double mUncertainty = 0.0;        // U
  bool mIsFigure = false;           // false: an upper bound
  double mUpperBound = 0.0;         // when not a figure
};

struct ThdCompensation
{
  bool mApplied = false;              // with --reference
  bool mPossible = false;             // false: mWhyNot says why
  std::string mWhyNot;
  std::vector<std::string> mFiles;
  int mCaptures = 0;                  // captures of the interface behind the reference
  double mGainDb = 0.0;               // the device's gain assumed: the fundamental over the reference's
  ThdCompensatedHarmonic mHarmonics[4];  // H2..H5
  std::vector<int> mIncludes;         // harmonics in the THD, as the measurement's
  // THD as ratios (not percent).
  double mThdMeasured = 0.0, mThdReference = 0.0, mThdCompensated = 0.0, mThdUncertainty = 0.0;
  bool mThdIsFigure = false;
  double mThdUpperBound = 0.0;
};

// Gain beyond this (either way) puts the interface's input at another level than in the
// reference: the report warns.
inline constexpr double kThdMaxAssumedGainDb = 0.5;

// The reference figures of a finished run (false, with a reason, when it has none to give: no
// fundamental, checks failed).
bool ThdReferenceCaptureOf(const ThdResult& result, ThdReferenceCapture* capture, std::string* error);

// Takes the references' harmonics (one capture each, at this run's point) away from the run's;
// fills result.mCompensation (and a warning when the assumed gain is far from 0 dB).
void ThdCompensate(ThdResult& result, const std::vector<ThdReferenceCapture>& references,
                   const std::vector<std::string>& files);
