// The second pass over a capture: where the tone starts and ends, and on what clock it was
// recorded (the fundamental's phase second by second). At most two numbers per second of
// signal are kept (20 KB for a 20-minute capture).
#pragma once

#include "ThdDcBlocker.h"

#include <vector>

struct ThdToneTrack
{
  bool found = false;
  long long start = 0, end = 0;  // first frame of the tone, one past its last
  int seconds = 0;               // whole seconds of tone the per-second sums cover
  double ppm = 0.0;              // capture tone frequency / expected frequency - 1, in ppm
  double ppmUncertainty = 0.0;   // standard error of ppm, from the phases' scatter
  double levelSpreadDb = 0.0;    // loudest over quietest second of the fundamental
  double phaseWanderRad = 0.0;   // RMS of the per-second phases around a straight line
};

// Follows the tone through the capture, DC and subsonic content taken out first: its start and
// end (the first and last sample above kStartShare of its peak), and per whole second after the start the fundamental sum at the expected
// frequency, whose phase grows linearly with the clock offset between player and recorder.
class ThdToneTracker
{
public:
  // peak: the tone's peak amplitude (from the scan); hz: the expected frequency;
  // estimateHz: where the scan found the tone (used to unwrap the phases).
  ThdToneTracker(double sampleRate, double peak, double hz, double estimateHz);
  void Add(const float* x, int n);
  ThdToneTrack Finish();

  static constexpr double kStartShare = 0.1;

private:
  void EndSecond();

  double mRate, mHz, mThreshold;
  ThdDcBlocker mDc;
  std::vector<double> mBlock;  // the block being added, without DC
  int mSecondLen;
  long long mPos = 0;
  bool mStarted = false;
  long long mStart = 0, mLastAbove = -1;
  // The demodulating oscillator, re-anchored every second at the expected frequency.
  double mOscC = 1.0, mOscS = 0.0, mStepC = 1.0, mStepS = 0.0;
  int mInSecond = 0;
  double mSumC = 0.0, mSumS = 0.0;
  double mExpectedAdvance;  // phase the estimate says a second adds
  std::vector<double> mPhases, mLevels;  // per second; a few numbers per second of capture
};

// 20 log10 of the loss a clock offset causes when a window of `seconds` is summed coherently
// at the expected frequency (the fundamental's phase turns by hz * ppm * 1e-6 per second).
double ThdDriftLossDb(double hz, double ppm, double seconds);
