// The first pass over a capture: what makes it unusable (non-finite or clipped samples,
// silence) and where its tone is, from the loudest second. Streams: blocks go in, and only the
// current and the loudest second are kept.
#pragma once

#include "ThdDcBlocker.h"

#include <vector>

// Counts what makes a capture unusable and keeps the loudest second for a frequency estimate.
class ThdCaptureScan
{
public:
  explicit ThdCaptureScan(double sampleRate);
  void Add(const float* x, int n);
  void Finish();

  long long Frames() const { return mFrames; }
  long long NonFinite() const { return mNonFinite; }
  // Samples at full scale right after another one: the flat tops of a clipped wave (a clean
  // sine at full scale touches it on one sample of a peak at most).
  long long Clipped() const { return mClipped; }
  // RMS of the loudest block of about 10 ms without DC and subsonic content (linear, full
  // scale 1.0).
  double LoudestBlockRms() const { return mLoudestBlockRms; }
  // The dominant frequency of the loudest second and the share of that second's energy the
  // tone around it carries (1 for a clean sine, a few per cent for noise). 0 when silent.
  double DominantFrequency() const { return mDominantHz; }
  double ToneShare() const { return mToneShare; }

  // A sample at or beyond this magnitude sits at full scale: a 16-bit converter's last code.
  static constexpr double kClipLevel = 32766.0 / 32768.0;

private:
  double mRate;
  ThdDcBlocker mDc;
  int mBlockLen, mSecondLen;
  long long mFrames = 0, mNonFinite = 0, mClipped = 0;
  double mBlockSum = 0.0;
  int mBlockFill = 0;
  bool mPrevClipped = false;
  double mLoudestBlockRms = 0.0;
  std::vector<float> mSecond, mLoudestSecond;
  double mSecondSum = 0.0, mLoudestSecondSum = -1.0;
  double mDominantHz = 0.0, mToneShare = 0.0;
};

// The strongest frequency of a stretch of signal (Hann window, zero-padded FFT, Gaussian
// interpolation between bins; a few hundredths of a hertz for a second at 48 kHz), and the
// share of the energy within a few bins of it.
void ThdDominantFrequency(const std::vector<float>& x, double sampleRate, double* hz, double* share);
