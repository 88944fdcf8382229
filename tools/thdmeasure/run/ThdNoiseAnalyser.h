// THD+N, the figure measurement peers report next to THD: what remains of the analysed input
// once its fitted fundamental is removed, over the meter's own averaging window. Streams:
// blocks go in, and only the sums of the current second are kept.
#pragma once

#include <vector>

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
