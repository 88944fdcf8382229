// THD+N: the fundamental fitted and removed second by second, the rest band-limited to
// 20 Hz - 20 kHz and set against the fundamental.

#include "ThdNoiseAnalyser.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {
constexpr double kPi = 3.14159265358979323846;

int SecondLength(double rate) { return std::max(1, (int)std::floor(rate)); }

// A harmonic's noise is read from the residual's bins this close to it...
constexpr double kNeighbourHz = 20.0;
// ...but none this close to a multiple of the tone...
constexpr double kNeighbourGapBins = 1.5;
// ...or below this.
constexpr double kSubsonicHz = 10.0;

// FFTW's planner is not thread-safe (sweeps analyse their points side by side); running a
// plan is.
std::mutex& PlannerLock()
{
  static std::mutex lock;
  return lock;
}
}  // namespace

void ThdNoiseAnalyser::Band(double sampleRate, double* lowHz, double* highHz)
{
  *lowHz = 20.0;
  *highHz = std::min(20000.0, 0.5 * sampleRate);
}

ThdNoiseAnalyser::ThdNoiseAnalyser(double sampleRate, double hz, long long from, long long to)
  : mRate(sampleRate), mHz(hz), mFrom(from), mTo(to), mSecondLen(SecondLength(sampleRate))
{
  Band(sampleRate, &mBandLow, &mBandHigh);
  const int n = mSecondLen;
  // Bin k of a one-second transform lies at k * rate / n Hz (k Hz at a whole-Hz rate).
  const double perBin = sampleRate > 0.0 ? sampleRate / n : 1.0;
  mFirstBin = std::max(1, (int)std::ceil(mBandLow / perBin - 1e-9));
  mLastBin = std::min(n / 2, (int)std::floor(mBandHigh / perBin + 1e-9));

  // The bins that tell each harmonic's noise: within kNeighbourHz of it, none within
  // kNeighbourGapBins of a multiple of the tone (its harmonics, leaking a little when the
  // tone is a hair off its bin) or of 0 Hz (offset and subsonic content).
  const double toneBins = hz / perBin;
  const int reach = std::max(1, (int)std::lround(kNeighbourHz / perBin));
  for (int k = 1; k <= 5 && toneBins > 0.0; ++k)
  {
    const long long centre = std::llround(k * toneBins);
    for (long long b = centre - reach; b <= centre + reach; ++b)
    {
      if (b < 1 || b >= n / 2) continue;
      const double multiple = std::round((double)b / toneBins);
      if (std::fabs((double)b - multiple * toneBins) <= kNeighbourGapBins || (double)b * perBin < kSubsonicHz) continue;
      mNeighbours[k - 1].push_back((int)b);
    }
  }

  const double step = 2.0 * kPi * hz / sampleRate;
  mStepC = std::cos(step);
  mStepS = std::sin(step);
  // The fit's basis is the same every second, so its normal matrix is worked out once.
  double c = 1.0, s = 0.0;
  const double inv = 1.0 / n, half = 0.5 * n;
  for (int i = 0; i < n; ++i)
  {
    const double t = ((double)i - half) * inv;
    const double basis[5] = {1.0, c, s, c * t, s * t};
    // Symmetric: each product once.
    for (int r = 0; r < 5; ++r)
      for (int k = r; k < 5; ++k) mAtA[r][k] += basis[r] * basis[k];
    const double nc = c * mStepC - s * mStepS;
    s = s * mStepC + c * mStepS;
    c = nc;
  }
  for (int r = 1; r < 5; ++r)
    for (int k = 0; k < r; ++k) mAtA[r][k] = mAtA[k][r];

  mSecond.resize((size_t)n);
  mSpectrum = (double*)fftw_malloc(sizeof(fftw_complex) * (size_t)(n / 2 + 1));
  if (mSpectrum)
  {
    std::lock_guard<std::mutex> guard(PlannerLock());
    mPlan = fftw_plan_dft_r2c_1d(n, mSecond.data(), (fftw_complex*)mSpectrum, FFTW_ESTIMATE);
  }
}

ThdNoiseAnalyser::~ThdNoiseAnalyser()
{
  if (mPlan)
  {
    std::lock_guard<std::mutex> guard(PlannerLock());
    fftw_destroy_plan((fftw_plan)mPlan);
  }
  fftw_free(mSpectrum);
}

template <class T>
void ThdNoiseAnalyser::AddSamples(const T* x, int n)
{
  const long long pos = mPos;
  mPos += n;
  int i = pos < mFrom ? (int)std::min<long long>(n, mFrom - pos) : 0;
  const int end = pos + n > mTo ? (int)std::max<long long>(i, mTo - pos) : n;
  double* second = mSecond.data();
  while (i < end)
  {
    const int count = std::min(end - i, mSecondLen - mInSecond);
    for (int j = 0; j < count; ++j)
    {
      const double v = (double)x[i + j];
      second[mInSecond + j] = std::isfinite(v) ? v : 0.0;
    }
    mInSecond += count;
    i += count;
    if (mInSecond == mSecondLen) EndSecond();
  }
}

void ThdNoiseAnalyser::Add(const double* x, int n) { AddSamples(x, n); }
void ThdNoiseAnalyser::Add(const float* x, int n) { AddSamples(x, n); }

void ThdNoiseAnalyser::EndSecond()
{
  const int n = mSecondLen;
  double* y = mSecond.data();
  mInSecond = 0;
  const double inv = 1.0 / n, half = 0.5 * n;

  // The fit's right-hand side, the sums in registers.
  double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0, s4 = 0.0;
  double c = 1.0, s = 0.0;
  for (int i = 0; i < n; ++i)
  {
    const double v = y[i];
    const double t = ((double)i - half) * inv;
    const double vc = v * c, vs = v * s;
    s0 += v;
    s1 += vc;
    s2 += vs;
    s3 += vc * t;
    s4 += vs * t;
    const double nc = c * mStepC - s * mStepS;
    s = s * mStepC + c * mStepS;
    c = nc;
  }
  const double aty[5] = {s0, s1, s2, s3, s4};

  // Solve (A^T A) beta = A^T y by Gaussian elimination with partial pivoting.
  double m[5][6];
  for (int r = 0; r < 5; ++r)
  {
    for (int k = 0; k < 5; ++k) m[r][k] = mAtA[r][k];
    m[r][5] = aty[r];
  }
  for (int col = 0; col < 5; ++col)
  {
    int piv = col;
    for (int r = col + 1; r < 5; ++r)
      if (std::fabs(m[r][col]) > std::fabs(m[piv][col])) piv = r;
    // A second too short to tell a tone from an offset (rates of a few Hz): not fitted.
    if (std::fabs(m[piv][col]) < 1e-12 || !mPlan) return;
    for (int k = 0; k < 6; ++k) std::swap(m[col][k], m[piv][k]);
    for (int r = col + 1; r < 5; ++r)
    {
      const double f = m[r][col] / m[col][col];
      for (int k = col; k < 6; ++k) m[r][k] -= f * m[col][k];
    }
  }
  double beta[5];
  for (int r = 4; r >= 0; --r)
  {
    double v = m[r][5];
    for (int k = r + 1; k < 5; ++k) v -= m[r][k] * beta[k];
    beta[r] = v / m[r][r];
  }
  double tone = 0.0;
  for (int r = 1; r < 5; ++r)
    for (int k = 1; k < 5; ++k) tone += beta[r] * mAtA[r][k] * beta[k];
  mFundamentalEnergy += tone;
  mSum += s0;

  // What remains once the fitted fundamental and offset are taken away...
  c = 1.0;
  s = 0.0;
  for (int i = 0; i < n; ++i)
  {
    const double t = ((double)i - half) * inv;
    y[i] -= beta[0] + beta[1] * c + beta[2] * s + beta[3] * c * t + beta[4] * s * t;
    const double nc = c * mStepC - s * mStepS;
    s = s * mStepC + c * mStepS;
    c = nc;
  }
  // ...and its energy in the band's bins (Parseval: a bin other than 0 and n / 2 stands for
  // itself and its mirror image).
  fftw_execute((fftw_plan)mPlan);
  const fftw_complex* bins = (const fftw_complex*)mSpectrum;
  double band = 0.0;
  for (int k = mFirstBin; k <= mLastBin; ++k)
  {
    const double power = bins[k][0] * bins[k][0] + bins[k][1] * bins[k][1];
    band += (2 * k == n ? 1.0 : 2.0) * power;
  }
  mResidualEnergy += band / n;
  for (int k = 0; k < 5; ++k)
    for (int b : mNeighbours[k]) mNeighbourPower[k] += bins[b][0] * bins[b][0] + bins[b][1] * bins[b][1];
  mFitted += n;
}

ThdNoiseResult ThdNoiseAnalyser::Finish()
{
  ThdNoiseResult r;
  r.bandLowHz = mBandLow;
  r.bandHighHz = mBandHigh;
  if (mFitted > 0)
  {
    r.valid = true;
    r.fundamentalRms = std::sqrt(mFundamentalEnergy / (double)mFitted);
    r.residualRms = std::sqrt(mResidualEnergy / (double)mFitted);
    r.dcOffset = mSum / (double)mFitted;
    // A bin of a one-second transform holding noise of mean power P puts a spread of
    // sqrt(P / 2) * 2 / n on each quadrature of that second's amplitude; the window's average
    // of K seconds carries 1 / sqrt(K) of it. Without neighbours (a rate of a few hundred Hz),
    // the band's residual taken as white.
    const double seconds = (double)mFitted / mSecondLen, n = mSecondLen;
    const double band = mBandHigh - mBandLow;
    for (int k = 0; k < 5; ++k)
    {
      if (!mNeighbours[k].empty())
      {
        const double power = mNeighbourPower[k] / ((double)mNeighbours[k].size() * seconds);
        r.harmonicNoise[k] = std::sqrt(2.0 * power / seconds) / n;
      }
      else if (band > 0.0)
      {
        r.harmonicNoise[k] = r.residualRms / std::sqrt(band * seconds);
      }
    }
  }
  return r;
}
