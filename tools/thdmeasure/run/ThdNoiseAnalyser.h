// THD+N, the figure measurement peers report next to THD: what remains of the analysed input
// once its fitted fundamental is removed, in the band 20 Hz - 20 kHz, over the meter's own
// averaging window, relative to the fundamental. Streams: blocks go in, and only the current
// second is kept.
#pragma once

#include <vector>

struct ThdNoiseResult
{
  bool valid = false;
  double fundamentalRms = 0.0;  // of the fitted fundamental, unfiltered
  double residualRms = 0.0;     // what remains of the signal in the band once it is removed
  double dcOffset = 0.0;        // the signal's mean over the window (full scale 1.0)
  double bandLowHz = 20.0, bandHighHz = 20000.0;
  // The noise each harmonic's level carries (index k - 1): the standard deviation that the
  // residual near harmonic k adds to each quadrature (cosine and sine) of its amplitude as the
  // meter averages it over the window, in the same units (full scale 1.0). From the residual's
  // bins within 20 Hz of the harmonic, the harmonics' own bins left out, so that hum or a
  // rising noise floor counts where it lies.
  double harmonicNoise[5] = {};
  double Ratio() const { return fundamentalRms > 0.0 ? residualRms / fundamentalRms : 0.0; }
};

// THD+N over a window of frames, second by second: a least-squares fit of the fundamental
// (cosine and sine, each with a linear ramp to follow a slightly off frequency, plus an
// offset) on the signal as it is, so that the fundamental is measured unfiltered; then the
// rest of the second goes through a discrete Fourier transform of exactly its length, and its
// bins from 20 Hz to 20 kHz (or half the sample rate, if lower) count: a brick-wall band, edges
// included. A whole-Hz tone over a whole second puts every harmonic on a bin of its own, so a
// harmonic just past 20 kHz counts nothing and one at the edge counts whole. THD+N is the RMS
// of that rest over the fundamental's RMS.
class ThdNoiseAnalyser
{
public:
  // Frames [from, to) of the stream are analysed; hz is the fundamental's frequency in the
  // stream's own samples.
  ThdNoiseAnalyser(double sampleRate, double hz, long long from, long long to);
  ~ThdNoiseAnalyser();
  ThdNoiseAnalyser(const ThdNoiseAnalyser&) = delete;
  ThdNoiseAnalyser& operator=(const ThdNoiseAnalyser&) = delete;

  void Add(const double* x, int n);
  void Add(const float* x, int n);
  ThdNoiseResult Finish();

  double BandLowHz() const { return mBandLow; }
  double BandHighHz() const { return mBandHigh; }

  // The band's edges at a sample rate: 20 Hz to 20 kHz, or to half the rate if that is lower.
  static void Band(double sampleRate, double* lowHz, double* highHz);

private:
  template <class T> void AddSamples(const T* x, int n);
  void EndSecond();

  double mRate, mHz, mBandLow = 20.0, mBandHigh = 20000.0;
  long long mFrom, mTo, mPos = 0;
  int mSecondLen, mInSecond = 0;
  int mFirstBin = 1, mLastBin = 0;  // the band's bins of a one-second transform
  double mStepC = 1.0, mStepS = 0.0;
  // Normal equations of the fit over one second: basis 1, c, s, t c, t s.
  double mAtA[5][5] = {};
  std::vector<double> mSecond;  // this second's samples, then what remains of them
  double* mSpectrum = nullptr;  // the transform's complex bins, interleaved (FFTW's)
  void* mPlan = nullptr;
  double mFundamentalEnergy = 0.0, mResidualEnergy = 0.0, mSum = 0.0;
  long long mFitted = 0;
  // Per harmonic: the bins near it that tell its noise, and their summed power.
  std::vector<int> mNeighbours[5];
  double mNeighbourPower[5] = {};
};
