// Signal analysis beside the meter's own engine, for the measurement tool: what it takes to
// trust a capture (where the tone is, at what frequency, on which clock) and the THD+N figure
// that measurement peers report next to THD. Everything streams: blocks go in, and at most
// two numbers per second of signal are kept (20 KB for a 20-minute capture).
#pragma once

#include <cstdint>
#include <vector>

// ---- pass 1: the whole capture -----------------------------------------------------------------

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
  // RMS of the loudest block of about 10 ms (linear, full scale 1.0).
  double LoudestBlockRms() const { return mLoudestBlockRms; }
  // The dominant frequency of the loudest second and the share of that second's energy the
  // tone around it carries (1 for a clean sine, a few per cent for noise). 0 when silent.
  double DominantFrequency() const { return mDominantHz; }
  double ToneShare() const { return mToneShare; }

  // A sample at or beyond this magnitude sits at full scale: a 16-bit converter's last code.
  static constexpr double kClipLevel = 32766.0 / 32768.0;

private:
  double mRate;
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

// ---- pass 2: where the tone is, and its clock -------------------------------------------------------

struct ThdToneTrack
{
  bool found = false;
  long long start = 0, end = 0;  // first frame of the tone, one past its last
  int seconds = 0;               // whole seconds of tone the per-second sums cover
  double ppm = 0.0;              // capture tone frequency / expected frequency - 1, in ppm
  double levelSpreadDb = 0.0;    // loudest over quietest second of the fundamental
  double phaseWanderRad = 0.0;   // RMS of the per-second phases around a straight line
};

// Follows the tone through the capture: its start and end (the first and last sample above
// kStartShare of its peak), and per whole second after the start the fundamental sum at the expected
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

// ---- THD+N -------------------------------------------------------------------------------------

struct ThdNoiseResult
{
  bool valid = false;
  double fundamentalRms = 0.0;  // of the fitted fundamental, in the band
  double residualRms = 0.0;     // what remains of the signal in the band once it is removed
  double bandLowHz = 20.0, bandHighHz = 20000.0;
  double Ratio() const { return fundamentalRms > 0.0 ? residualRms / fundamentalRms : 0.0; }
};

// THD+N over a window of frames: the signal is limited to 20 Hz - 20 kHz (or half the sample
// rate, if lower) by Butterworth filters, then for every second a least-squares fit of the
// fundamental (cosine and sine, each with a linear ramp to follow a slightly off frequency,
// plus an offset) is removed; the RMS of the rest over the fundamental's RMS is THD+N.
class ThdNoiseAnalyser
{
public:
  // Frames [from, to) of the stream are analysed; hz is the fundamental's frequency in the
  // stream's own samples.
  ThdNoiseAnalyser(double sampleRate, double hz, long long from, long long to);
  void Add(const double* x, int n);
  void Add(const float* x, int n);
  ThdNoiseResult Finish();

  double BandHighHz() const { return mBandHigh; }

private:
  struct Biquad
  {
    double b0, b1, b2, a1, a2;
    double z1 = 0.0, z2 = 0.0;
  };
  static constexpr int kChunk = 4096;
  void Chunk(int n);
  template <int N> void Filter(int first, int n);
  void EndSecond();

  double mRate, mHz, mBandHigh;
  double mChunk[kChunk];
  long long mFrom, mTo, mPos = 0;
  std::vector<Biquad> mFilters;
  int mSecondLen, mInSecond = 0;
  double mOscC = 1.0, mOscS = 0.0, mStepC = 1.0, mStepS = 0.0;
  // Normal equations of the fit over one second: basis 1, c, s, t c, t s.
  double mAtA[5][5] = {}, mAtY[5] = {}, mYY = 0.0;
  double mFundamentalEnergy = 0.0, mResidualEnergy = 0.0;
  long long mFitted = 0;
};

// 20 log10 of the loss a clock offset causes when a window of `seconds` is summed coherently
// at the expected frequency (the fundamental's phase turns by hz * ppm * 1e-6 per second).
double ThdDriftLossDb(double hz, double ppm, double seconds);
