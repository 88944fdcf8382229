#include "ThdNoiseAnalyser.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kPi = 3.14159265358979323846;

int SecondLength(double rate) { return std::max(1, (int)std::floor(rate)); }
}  // namespace

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
