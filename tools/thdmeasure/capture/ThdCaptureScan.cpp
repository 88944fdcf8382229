// The first pass over a capture: unusable samples, silence, and the tone's frequency from the
// loudest second.

#include "ThdCaptureScan.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace {
constexpr double kPi = 3.14159265358979323846;

// In-place radix-2 FFT; n is a power of two.
void Fft(std::vector<std::complex<double>>& a)
{
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i)
  {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1)
  {
    const double angle = -2.0 * kPi / (double)len;
    const std::complex<double> w(std::cos(angle), std::sin(angle));
    for (size_t i = 0; i < n; i += len)
    {
      std::complex<double> wk(1.0, 0.0);
      for (size_t k = 0; k < len / 2; ++k)
      {
        const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * wk;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
        wk *= w;
      }
    }
  }
}

int SecondLength(double rate) { return std::max(1, (int)std::floor(rate)); }
}  // namespace

ThdCaptureScan::ThdCaptureScan(double sampleRate)
  : mRate(sampleRate), mDc(sampleRate), mBlockLen(std::max(1, (int)(sampleRate / 100.0))), mSecondLen(SecondLength(sampleRate))
{
  mSecond.reserve((size_t)mSecondLen);
}

void ThdCaptureScan::Add(const float* x, int n)
{
  int i = 0;
  while (i < n)
  {
    // Up to the end of the chunk, of the 10 ms block or of the second, whichever comes first.
    const int count = std::min({n - i, mBlockLen - mBlockFill, mSecondLen - (int)mSecond.size()});
    double block = 0.0;
    long long bad = 0, clipped = 0;
    bool prevClipped = mPrevClipped;
    const size_t at = mSecond.size();
    mSecond.resize(at + (size_t)count);
    float* keep = mSecond.data() + at;
    for (int j = 0; j < count; ++j)
    {
      float v = x[i + j];
      if (!std::isfinite(v))
      {
        ++bad;
        v = 0.0f;
      }
      // Full scale on two samples in a row is a flat top: a clean sine at its peak touches
      // full scale on one sample at most.
      const bool atFullScale = std::fabs(v) >= (float)kClipLevel;
      clipped += atFullScale && prevClipped;
      prevClipped = atFullScale;
      // Levels and the tone's frequency without the recorder's offset.
      const double ac = mDc.Process(v);
      keep[j] = (float)ac;
      block += ac * ac;
    }
    mPrevClipped = prevClipped;
    mNonFinite += bad;
    mClipped += clipped;
    mBlockSum += block;
    mSecondSum += block;
    mBlockFill += count;
    i += count;
    if (mBlockFill == mBlockLen)
    {
      mLoudestBlockRms = std::max(mLoudestBlockRms, std::sqrt(mBlockSum / mBlockLen));
      mBlockSum = 0.0;
      mBlockFill = 0;
    }
    if ((int)mSecond.size() == mSecondLen)
    {
      if (mSecondSum > mLoudestSecondSum)
      {
        mLoudestSecondSum = mSecondSum;
        mLoudestSecond.swap(mSecond);
      }
      mSecond.clear();
      mSecondSum = 0.0;
    }
  }
  mFrames += n;
}

void ThdCaptureScan::Finish()
{
  if (mBlockFill > 0) mLoudestBlockRms = std::max(mLoudestBlockRms, std::sqrt(mBlockSum / mBlockFill));
  // A capture shorter than a second: its only part is the loudest.
  if (mLoudestSecond.empty() || (mSecond.size() > mLoudestSecond.size() && mSecondSum > mLoudestSecondSum))
    mLoudestSecond.swap(mSecond);
  if (mLoudestBlockRms > 0.0) ThdDominantFrequency(mLoudestSecond, mRate, &mDominantHz, &mToneShare);
  std::vector<float>().swap(mLoudestSecond);
  std::vector<float>().swap(mSecond);
}

void ThdDominantFrequency(const std::vector<float>& x, double sampleRate, double* hz, double* share)
{
  *hz = 0.0;
  *share = 0.0;
  const size_t len = x.size();
  if (len < 16 || !(sampleRate > 0.0)) return;
  size_t n = 1;
  while (n < 2 * len) n <<= 1;
  std::vector<std::complex<double>> a(n);
  double mean = 0.0;
  for (float v : x) mean += v;
  mean /= (double)len;
  for (size_t i = 0; i < len; ++i)
    a[i] = (x[i] - mean) * (0.5 - 0.5 * std::cos(2.0 * kPi * (double)i / (double)(len - 1)));
  Fft(a);
  const size_t half = n / 2;
  std::vector<double> power(half + 1);
  double total = 0.0;
  for (size_t k = 0; k <= half; ++k)
  {
    power[k] = std::norm(a[k]);
    total += power[k];
  }
  // Below 10 Hz lies only what is left of an offset.
  const size_t lowest = std::max<size_t>(1, (size_t)std::ceil(10.0 * (double)n / sampleRate));
  size_t peak = lowest;
  for (size_t k = lowest; k < half; ++k)
    if (power[k] > power[peak]) peak = k;
  if (total <= 0.0 || power[peak] <= 0.0) return;
  // A Hann window's main lobe spans 2 bins of the unpadded length each side: 4 padded bins.
  const size_t lobe = 2 * n / len + 2;
  double near = 0.0;
  for (size_t k = peak > lobe ? peak - lobe : 0; k <= std::min(half, peak + lobe); ++k) near += power[k];
  *share = near / total;
  double offset = 0.0;
  if (peak > 0 && peak < half)
  {
    const double l = std::log(power[peak - 1] + 1e-300), c = std::log(power[peak]), r = std::log(power[peak + 1] + 1e-300);
    const double d = l - 2.0 * c + r;
    if (d < 0.0) offset = std::clamp(0.5 * (l - r) / d, -0.5, 0.5);
  }
  *hz = ((double)peak + offset) * sampleRate / (double)n;
}
