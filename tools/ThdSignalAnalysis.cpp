#include "ThdSignalAnalysis.h"

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

double WrapPi(double x)
{
  x = std::fmod(x + kPi, 2.0 * kPi);
  if (x < 0.0) x += 2.0 * kPi;
  return x - kPi;
}

int SecondLength(double rate) { return std::max(1, (int)std::floor(rate)); }
}  // namespace

// ---- pass 1 -------------------------------------------------------------------------------------

ThdCaptureScan::ThdCaptureScan(double sampleRate)
  : mRate(sampleRate), mBlockLen(std::max(1, (int)(sampleRate / 100.0))), mSecondLen(SecondLength(sampleRate))
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
      keep[j] = v;
      block += (double)v * v;
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

// ---- pass 2 -------------------------------------------------------------------------------------

ThdToneTracker::ThdToneTracker(double sampleRate, double peak, double hz, double estimateHz)
  : mRate(sampleRate), mHz(hz), mThreshold(kStartShare * peak), mSecondLen(SecondLength(sampleRate))
{
  const double step = 2.0 * kPi * hz / sampleRate;
  mStepC = std::cos(step);
  mStepS = std::sin(step);
  mExpectedAdvance = WrapPi(2.0 * kPi * (estimateHz - hz) * (double)mSecondLen / sampleRate);
}

void ThdToneTracker::Add(const float* x, int n)
{
  int i = 0;
  if (!mStarted)
  {
    while (i < n && !(std::fabs(x[i]) > mThreshold)) ++i;
    if (i == n)
    {
      mPos += n;
      return;
    }
    mStarted = true;
    mStart = mPos + i;
  }
  // The last sample above the threshold so far: in a tone, one of the chunk's last few.
  for (int k = n - 1; k >= i; --k)
    if (std::fabs(x[k]) > mThreshold)
    {
      mLastAbove = mPos + k;
      break;
    }
  while (i < n)
  {
    const int count = std::min(n - i, mSecondLen - mInSecond);
    double sc = mSumC, ss = mSumS, c = mOscC, s = mOscS;
    for (int j = i; j < i + count; ++j)
    {
      const double v = std::isfinite(x[j]) ? (double)x[j] : 0.0;
      sc += v * c;
      ss += v * s;
      const double nc = c * mStepC - s * mStepS;
      s = s * mStepC + c * mStepS;
      c = nc;
    }
    mSumC = sc;
    mSumS = ss;
    mOscC = c;
    mOscS = s;
    mInSecond += count;
    i += count;
    if (mInSecond == mSecondLen) EndSecond();
  }
  mPos += n;
}

void ThdToneTracker::EndSecond()
{
  // The phase of the tone against the expected frequency, in the middle of this second.
  const double level = 2.0 * std::hypot(mSumC, mSumS) / mSecondLen;
  const double raw = std::atan2(-mSumS, mSumC);
  // Seconds past the tone's end are dropped in Finish, once the end is known.
  double phase = raw;
  if (!mPhases.empty())
  {
    const double last = mPhases.back();
    phase = last + mExpectedAdvance + WrapPi(raw - WrapPi(last) - mExpectedAdvance);
  }
  mPhases.push_back(phase);
  mLevels.push_back(level);
  mSumC = mSumS = 0.0;
  mOscC = 1.0;
  mOscS = 0.0;
  mInSecond = 0;
}

ThdToneTrack ThdToneTracker::Finish()
{
  ThdToneTrack t;
  if (!mStarted) return t;
  t.found = true;
  t.start = mStart;
  t.end = mLastAbove + 1;
  // Only seconds wholly inside the tone count; the first (settling) one is left out of the
  // level and phase checks, as the meter leaves it out of its sums.
  int whole = 0;
  while (whole < (int)mPhases.size() && mStart + (long long)(whole + 1) * mSecondLen <= t.end) ++whole;
  t.seconds = whole;
  if (whole >= 2)
  {
    double st = 0, sp = 0, stt = 0, stp = 0;
    for (int j = 0; j < whole; ++j)
    {
      st += j;
      sp += mPhases[(size_t)j];
      stt += (double)j * j;
      stp += j * mPhases[(size_t)j];
    }
    const double m = whole;
    const double slope = (m * stp - st * sp) / (m * stt - st * st);
    const double icept = (sp - slope * st) / m;
    // Phase per second of the sums -> frequency offset; a second is mSecondLen frames.
    const double offsetHz = slope / (2.0 * kPi) * mRate / (double)mSecondLen;
    t.ppm = mHz > 0.0 ? offsetHz / mHz * 1e6 : 0.0;
    double res = 0.0, lo = 1e300, hi = 0.0;
    int counted = 0;
    for (int j = 1; j < whole; ++j)
    {
      const double d = mPhases[(size_t)j] - (icept + slope * j);
      res += d * d;
      lo = std::min(lo, mLevels[(size_t)j]);
      hi = std::max(hi, mLevels[(size_t)j]);
      ++counted;
    }
    if (counted > 0)
    {
      t.phaseWanderRad = std::sqrt(res / counted);
      t.levelSpreadDb = lo > 0.0 ? 20.0 * std::log10(hi / lo) : 0.0;
    }
  }
  return t;
}

// ---- THD+N --------------------------------------------------------------------------------------

ThdNoiseAnalyser::ThdNoiseAnalyser(double sampleRate, double hz, long long from, long long to)
  : mRate(sampleRate), mHz(hz), mFrom(from), mTo(to), mSecondLen(SecondLength(sampleRate))
{
  auto section = [&](bool high, double fc, double q) {
    const double w0 = 2.0 * kPi * fc / sampleRate, cw = std::cos(w0), alpha = std::sin(w0) / (2.0 * q);
    const double a0 = 1.0 + alpha;
    Biquad b;
    if (high)
    {
      b.b0 = (1.0 + cw) / 2.0 / a0;
      b.b1 = -(1.0 + cw) / a0;
    }
    else
    {
      b.b0 = (1.0 - cw) / 2.0 / a0;
      b.b1 = (1.0 - cw) / a0;
    }
    b.b2 = b.b0;
    b.a1 = -2.0 * cw / a0;
    b.a2 = (1.0 - alpha) / a0;
    mFilters.push_back(b);
  };
  // Fourth-order Butterworth high-pass at 20 Hz; eighth-order low-pass at 20 kHz, close
  // enough to a brick wall that white noise reads within a few hundredths of a dB of its
  // share of the band. At rates up to 40 kHz the band ends at half the rate by itself.
  for (double q : {0.54119610, 1.30656296}) section(true, 20.0, q);
  mBandHigh = 0.5 * sampleRate;
  if (sampleRate > 40000.0)
  {
    mBandHigh = 20000.0;
    for (double q : {0.50979558, 0.60134489, 0.89997622, 2.56291545}) section(false, 20000.0, q);
  }
  const double step = 2.0 * kPi * hz / sampleRate;
  mStepC = std::cos(step);
  mStepS = std::sin(step);
  // The fit's basis is the same every second, so its normal matrix is worked out once.
  double c = 1.0, s = 0.0;
  const double inv = 1.0 / mSecondLen, half = 0.5 * mSecondLen;
  for (int i = 0; i < mSecondLen; ++i)
  {
    const double t = ((double)i - half) * inv;
    const double basis[5] = {1.0, c, s, c * t, s * t};
    // Symmetric: each product once (the same product either way round, so bit for bit).
    for (int r = 0; r < 5; ++r)
      for (int k = r; k < 5; ++k) mAtA[r][k] += basis[r] * basis[k];
    const double nc = c * mStepC - s * mStepS;
    s = s * mStepC + c * mStepS;
    c = nc;
  }
  for (int r = 1; r < 5; ++r)
    for (int k = 0; k < r; ++k) mAtA[r][k] = mAtA[k][r];
}

void ThdNoiseAnalyser::Add(const double* x, int n)
{
  while (n > 0)
  {
    const int m = n < kChunk ? n : kChunk;
    for (int i = 0; i < m; ++i) mChunk[i] = x[i];
    Chunk(m);
    x += m;
    n -= m;
  }
}

void ThdNoiseAnalyser::Add(const float* x, int n)
{
  while (n > 0)
  {
    const int m = n < kChunk ? n : kChunk;
    for (int i = 0; i < m; ++i) mChunk[i] = x[i];
    Chunk(m);
    x += m;
    n -= m;
  }
}

// The filter cascade over a chunk, its states in registers: the sections run one sample
// behind another, so their multiply-add chains overlap.
template <int N>
void ThdNoiseAnalyser::Filter(int first, int n)
{
  double b0[N], b1[N], b2[N], a1[N], a2[N], z1[N], z2[N];
  for (int k = 0; k < N; ++k)
  {
    const Biquad& q = mFilters[(size_t)(first + k)];
    b0[k] = q.b0; b1[k] = q.b1; b2[k] = q.b2; a1[k] = q.a1; a2[k] = q.a2; z1[k] = q.z1; z2[k] = q.z2;
  }
  for (int i = 0; i < n; ++i)
  {
    double v = mChunk[i];
    if (!std::isfinite(v)) v = 0.0;
    // Unrolled, the states stay in registers instead of going through memory every sample,
    // which put a store and a load on each section's recursion.
#pragma GCC unroll 8
    for (int k = 0; k < N; ++k)
    {
      const double y = b0[k] * v + z1[k];
      z1[k] = b1[k] * v - a1[k] * y + z2[k];
      z2[k] = b2[k] * v - a2[k] * y;
      v = y;
    }
    mChunk[i] = v;
  }
  for (int k = 0; k < N; ++k)
  {
    mFilters[(size_t)(first + k)].z1 = z1[k];
    mFilters[(size_t)(first + k)].z2 = z2[k];
  }
}

void ThdNoiseAnalyser::Chunk(int n)
{
  // Three sections at a time keep every state and the working values in registers; the
  // chunk passes twice, each sample through the same operations in the same order.
  if (mFilters.size() == 6)
  {
    Filter<3>(0, n);
    Filter<3>(3, n);
  }
  else
  {
    Filter<2>(0, n);
  }
  const long long pos = mPos;
  mPos += n;
  int i = pos < mFrom ? (int)std::min<long long>(n, mFrom - pos) : 0;
  const int end = pos + n > mTo ? (int)std::max<long long>(i, mTo - pos) : n;
  const double inv = 1.0 / mSecondLen, half = 0.5 * mSecondLen;
  while (i < end)
  {
    // Up to the end of the chunk or of the second, with the sums in registers.
    const int count = std::min(end - i, mSecondLen - mInSecond);
    double s0 = mAtY[0], s1 = mAtY[1], s2 = mAtY[2], s3 = mAtY[3], s4 = mAtY[4], yy = mYY;
    double c = mOscC, s = mOscS;
    for (int j = 0; j < count; ++j)
    {
      const double y = mChunk[i + j];
      const double t = ((double)(mInSecond + j) - half) * inv;
      const double yc = y * c, ys = y * s;
      s0 += y;
      s1 += yc;
      s2 += ys;
      s3 += yc * t;
      s4 += ys * t;
      yy += y * y;
      const double nc = c * mStepC - s * mStepS;
      s = s * mStepC + c * mStepS;
      c = nc;
    }
    mAtY[0] = s0; mAtY[1] = s1; mAtY[2] = s2; mAtY[3] = s3; mAtY[4] = s4; mYY = yy;
    mOscC = c;
    mOscS = s;
    mInSecond += count;
    i += count;
    if (mInSecond == mSecondLen) EndSecond();
  }
}

void ThdNoiseAnalyser::EndSecond()
{
  // Solve (A^T A) beta = A^T y by Gaussian elimination with partial pivoting.
  double m[5][6];
  for (int r = 0; r < 5; ++r)
  {
    for (int k = 0; k < 5; ++k) m[r][k] = mAtA[r][k];
    m[r][5] = mAtY[r];
  }
  bool ok = true;
  for (int col = 0; col < 5 && ok; ++col)
  {
    int piv = col;
    for (int r = col + 1; r < 5; ++r)
      if (std::fabs(m[r][col]) > std::fabs(m[piv][col])) piv = r;
    if (std::fabs(m[piv][col]) < 1e-12) { ok = false; break; }
    for (int k = 0; k < 6; ++k) std::swap(m[col][k], m[piv][k]);
    for (int r = col + 1; r < 5; ++r)
    {
      const double f = m[r][col] / m[col][col];
      for (int k = col; k < 6; ++k) m[r][k] -= f * m[col][k];
    }
  }
  if (ok)
  {
    double beta[5];
    for (int r = 4; r >= 0; --r)
    {
      double v = m[r][5];
      for (int k = r + 1; k < 5; ++k) v -= m[r][k] * beta[k];
      beta[r] = v / m[r][r];
    }
    double fitted = 0.0, tone = 0.0;
    for (int r = 0; r < 5; ++r) fitted += beta[r] * mAtY[r];
    for (int r = 1; r < 5; ++r)
      for (int k = 1; k < 5; ++k) tone += beta[r] * mAtA[r][k] * beta[k];
    mFundamentalEnergy += tone;
    // The rest is a difference of two sums of the same size; below about 1e-15 of the
    // signal's energy (-150 dB) it holds only rounding, and that is the figure's floor.
    mResidualEnergy += std::max(1e-15 * mYY, mYY - fitted);
    mFitted += mSecondLen;
  }
  for (double& v : mAtY) v = 0.0;
  mYY = 0.0;
  mOscC = 1.0;
  mOscS = 0.0;
  mInSecond = 0;
}

ThdNoiseResult ThdNoiseAnalyser::Finish()
{
  ThdNoiseResult r;
  r.bandHighHz = mBandHigh;
  if (mFitted > 0)
  {
    r.valid = true;
    r.fundamentalRms = std::sqrt(mFundamentalEnergy / (double)mFitted);
    r.residualRms = std::sqrt(mResidualEnergy / (double)mFitted);
  }
  return r;
}

double ThdDriftLossDb(double hz, double ppm, double seconds)
{
  const double x = kPi * hz * ppm * 1e-6 * seconds;
  if (std::fabs(x) < 1e-12) return 0.0;
  return 20.0 * std::log10(std::max(1e-12, std::fabs(std::sin(x) / x)));
}
