// The second pass over a capture: the tone's start and end and the recorder's clock, from the
// fundamental's phase second by second.

#include "ThdToneTracker.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kPi = 3.14159265358979323846;

double WrapPi(double x)
{
  x = std::fmod(x + kPi, 2.0 * kPi);
  if (x < 0.0) x += 2.0 * kPi;
  return x - kPi;
}

int SecondLength(double rate) { return std::max(1, (int)std::floor(rate)); }
}  // namespace

ThdToneTracker::ThdToneTracker(double sampleRate, double peak, double hz, double estimateHz)
  : mRate(sampleRate), mHz(hz), mThreshold(kStartShare * peak), mDc(sampleRate), mSecondLen(SecondLength(sampleRate))
{
  const double step = 2.0 * kPi * hz / sampleRate;
  mStepC = std::cos(step);
  mStepS = std::sin(step);
  mExpectedAdvance = WrapPi(2.0 * kPi * (estimateHz - hz) * (double)mSecondLen / sampleRate);
}

void ThdToneTracker::Add(const float* in, int n)
{
  mBlock.resize((size_t)std::max(n, 0));
  double* x = mBlock.data();
  for (int j = 0; j < n; ++j) x[j] = mDc.Process(std::isfinite(in[j]) ? (double)in[j] : 0.0);
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
      const double v = x[j];
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
    // The slope's standard error, from the scatter of every second about the line.
    double all = 0.0;
    for (int j = 0; j < whole; ++j)
    {
      const double d = mPhases[(size_t)j] - (icept + slope * j);
      all += d * d;
    }
    if (whole >= 3)
    {
      const double slopeError = std::sqrt(all / (m - 2.0) / (stt - st * st / m));
      t.ppmUncertainty = mHz > 0.0 ? slopeError / (2.0 * kPi) * mRate / (double)mSecondLen / mHz * 1e6 : 0.0;
    }
    if (counted > 0)
    {
      t.phaseWanderRad = std::sqrt(res / counted);
      t.levelSpreadDb = lo > 0.0 ? 20.0 * std::log10(hi / lo) : 0.0;
    }
  }
  return t;
}

double ThdDriftLossDb(double hz, double ppm, double seconds)
{
  const double x = kPi * hz * ppm * 1e-6 * seconds;
  if (std::fabs(x) < 1e-12) return 0.0;
  return 20.0 * std::log10(std::max(1e-12, std::fabs(std::sin(x) / x)));
}
