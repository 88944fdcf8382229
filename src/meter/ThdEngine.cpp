// The engine: test tone and harmonic analysis on the audio thread, and the Start and Cancel
// that reach it from the editor thread.
//
// Five rotating oscillators (harmonics 1..5) are re-anchored at every second boundary; the
// input is correlated with their cosine and sine states. The block is cut into runs between
// "event" frames (second boundaries and the completion frame); event frames take the plain
// per-frame path, the frames between them a tight loop, in two-lane vector form or in the
// plain per-harmonic form. Both forms do the same IEEE operations in the same order on each
// harmonic, so their results are bit-identical (the build keeps the compiler from fusing
// multiply-adds in this library for that reason).
#include "ThdEngine.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {
// 2*pi*k as the doubles the step coefficients have always used.
constexpr double kTwoPiK[ThdEngine::kHarmonics] = {6.283185307179586, 12.566370614359172, 18.84955592153876,
                                                   25.132741228718345, 31.41592653589793};

#if defined(__GNUC__) || defined(__clang__)
#define VX_THD_VECTOR 1
typedef double VxD2 __attribute__((vector_size(16)));
inline VxD2 Load2(const double* p) { VxD2 v; std::memcpy(&v, p, sizeof v); return v; }
inline void Store2(double* p, VxD2 v) { std::memcpy(p, &v, sizeof v); }
#endif
}  // namespace

// Timing of the running measurement at the block's sample rate. Fixed for a block: the rate
// changes only in Reset, under the mutex the audio thread holds.
struct ThdEngine::BlockTiming
{
  double rate = 0.0;       // mCurrentSampleRate
  int S = 0;               // frames per second
  double complete = 0.0;   // (K + 1) * rate: the completion frame when n reaches it exactly
  int64_t sumEnd = 0;      // first frame n with n >= (K + 1) * rate: summing stops there
  int64_t completeFrame = -1;  // `complete` as a frame number, -1 when no frame equals it

  void Set(double r, double K)
  {
    rate = r;
    S = ThdIntPart(r);
    complete = (K + 1.0) * r;
    const double end = std::ceil(complete);
    sumEnd = end > (double)INT64_MAX / 2 ? INT64_MAX / 2 : (end < 0.0 || !(end == end) ? 0 : (int64_t)end);
    completeFrame = (double)sumEnd == complete ? sumEnd : -1;
  }
  // Whether the frames after frame n up to the next event are summed.
  bool Summing(int n) const { return n >= S && (int64_t)n < sumEnd; }
};

// The block's two outputs and two inputs (the base hands buffers for every channel).
struct ThdEngine::Channels
{
  double* out0;
  double* out1;
  const double* in0;
  const double* in1;
};

// Frame i: the tone (the fundamental's sine state at the current amplitude) to the chosen
// output and silence to the other; returns the chosen input's sample.
inline double ThdEngine::PlayAndListen(const Channels& io, int i, double sine) const
{
  const double tone = sine * mAmplitude.load(std::memory_order_relaxed);
  const bool right = mOutputChannel.load(std::memory_order_relaxed) != 0.0;
  io.out0[i] = right ? 0.0 : tone;
  io.out1[i] = right ? tone : 0.0;
  return mInputChannel.load(std::memory_order_relaxed) == 0.0 ? io.in0[i] : io.in1[i];
}

// Whether the run this thread set up last goes on: not cancelled, not replaced by a Start.
inline bool ThdEngine::RunGoesOn(uint32_t runSeq) const
{
  return mMeasuring.load(std::memory_order_acquire) && mStartSeq.load(std::memory_order_acquire) == runSeq;
}

// ---- editor thread -----------------------------------------------------------------------------

bool ThdEngine::Start(double hz, double measureSeconds, const double divisors[kHarmonics])
{
  const double rate = mCurrentSampleRate.load(std::memory_order_relaxed);
  // Below 1 Hz a run has no seconds to count, and a counter that could not reach the
  // completion frame would overflow: no measurement starts.
  if (ThdIntPart(rate) < 1 || (measureSeconds + 1.0) * rate >= (double)INT_MAX) return false;

  // The step coefficients. A harmonic at exactly 20000 Hz is generated and measured like every
  // lower one; one at or above half the sample rate is not.
  double stepSin[kHarmonics] = {}, stepCos[kHarmonics] = {};
  for (int k = 0; k < kHarmonics; ++k)
  {
    if (IsHarmonicMeasured(k + 1, hz, rate))
    {
      const double angle = kTwoPiK[k] * hz / rate;
      stepSin[k] = std::sin(angle);
      stepCos[k] = std::cos(angle);
    }
  }

  // Publish the request; the audio thread zeroes the sums and the counter when it takes it,
  // then the flag, last of all.
  const uint32_t seq = mStartSeq.load(std::memory_order_relaxed);
  mStartSeq.store(seq + 1, std::memory_order_relaxed);
  mStartMeasureSeconds.store(measureSeconds, std::memory_order_release);
  for (int k = 0; k < kHarmonics; ++k)
  {
    mStartFactor[k].store(divisors[k], std::memory_order_release);
    mStartStepSin[k].store(stepSin[k], std::memory_order_release);
    mStartStepCos[k].store(stepCos[k], std::memory_order_release);
  }
  mStartSeq.store(seq + 2, std::memory_order_release);
  mMeasuring.store((seq + 2) | 1u, std::memory_order_release);
  return true;
}

void ThdEngine::Cancel()
{
  mMeasuring.store(0u, std::memory_order_release);
  // A message of the abandoned run that nobody has read yet must not replace what the
  // editor shows after a Cancel.
  mMessageSlot.store(0.0, std::memory_order_release);
}

// ---- read-back -------------------------------------------------------------------------------------

double ThdEngine::GetHarmonicLevel(int k) const
{
  return k >= 1 && k <= kHarmonics ? mHarmonicLevel[k - 1].load(std::memory_order_relaxed) : 0.0;
}

double ThdEngine::GetHarmonicPhase(int k) const
{
  if (k < 2 || k > kHarmonics) return 0.0;
  // The oscillators run sin(k w n) and cos(k w n) from the run's frame 0 (re-anchored each
  // second, which with whole hertz is the same wave), so for A sin(k w n + p) the sine sum
  // reads A cos p and the cosine sum A sin p, each times half the frames summed.
  const double p1 = std::atan2(mResultSumCos[0].load(std::memory_order_relaxed),
                               mResultSumSin[0].load(std::memory_order_relaxed));
  const double pk = std::atan2(mResultSumCos[k - 1].load(std::memory_order_relaxed),
                               mResultSumSin[k - 1].load(std::memory_order_relaxed));
  constexpr double kTwoPi = 6.283185307179586;
  double deg = std::remainder(pk - k * p1, kTwoPi) * (180.0 / 3.141592653589793);
  if (deg <= -180.0) deg += 360.0;
  if (deg > 180.0) deg -= 360.0;
  return deg;
}

void ThdEngine::Post(double value)
{
  if (mOnMessage && mOnMessage(mMessageContext, value)) return;
  mMessageSlot.store(value, std::memory_order_release);
}

// ---- audio thread ----------------------------------------------------------------------------------

bool ThdEngine::TakeStartRequest(uint32_t seq)
{
  if (seq & 1u) return false;  // Start is writing it right now; take it at the next frame
  double K = mStartMeasureSeconds.load(std::memory_order_acquire);
  double factor[kHarmonics], stepSin[kHarmonics], stepCos[kHarmonics];
  for (int k = 0; k < kHarmonics; ++k)
  {
    factor[k] = mStartFactor[k].load(std::memory_order_acquire);
    stepSin[k] = mStartStepSin[k].load(std::memory_order_acquire);
    stepCos[k] = mStartStepCos[k].load(std::memory_order_acquire);
  }
  if (mStartSeq.load(std::memory_order_acquire) != seq) return false;

  mRunSeq = seq;
  mRunMeasureSeconds = K;
  for (int k = 0; k < kHarmonics; ++k)
  {
    mRunFactor[k] = factor[k];
    mStepSin[k] = stepSin[k];
    mStepCos[k] = stepCos[k];
  }
  for (int k = 0; k < kLanes; ++k) mSumCos[k] = mSumSin[k] = 0.0;
  mSecondSumCos = mSecondSumSin = 0.0;
  mMeasureSeconds.store(K, std::memory_order_relaxed);
  mProgressLevel.store(0.0, std::memory_order_relaxed);
  mSampleCount.store(0, std::memory_order_relaxed);
  return true;
}

void ThdEngine::CompleteMeasurement(double rate)
{
  const double K = mRunMeasureSeconds;
  double h[kHarmonics];
  for (int k = 0; k < kHarmonics; ++k)
  {
    h[k] = 2.0 * std::sqrt(mSumCos[k] * mSumCos[k] + mSumSin[k] * mSumSin[k]) / rate / K / mRunFactor[k];
    mHarmonicLevel[k].store(h[k], std::memory_order_relaxed);
    mResultSumCos[k].store(mSumCos[k], std::memory_order_relaxed);
    mResultSumSin[k].store(mSumSin[k], std::memory_order_relaxed);
  }
  mTHD.store(100.0 * std::sqrt(h[1] * h[1] + h[2] * h[2] + h[3] * h[3] + h[4] * h[4]) / h[0],
             std::memory_order_relaxed);
  Post(kMessageResults);  // publishes the levels and sums above
  EndRun();
}

void ThdEngine::EndRun()
{
  // A Start that arrived since this run was taken has raised the flag with its own number;
  // the swap fails then and the new run goes on. Reading the sequence and clearing the flag
  // as two steps would lose a Start landing between them.
  uint32_t expected = mRunSeq | 1u;
  mMeasuring.compare_exchange_strong(expected, 0u, std::memory_order_acq_rel, std::memory_order_acquire);
}

// One frame exactly as the measurement is defined, for second boundaries and the
// completion frame. n is the frame counter, i the frame within the block.
void ThdEngine::ProcessEventFrame(const BlockTiming& t, int n, const Channels& io, int i)
{
  bool progress = false;
  if (n % t.S != 0)
  {
    for (int k = 0; k < kHarmonics; ++k)
    {
      const double s = mToneSin[k], c = mToneCos[k];
      mToneSin[k] = c * mStepSin[k] + s * mStepCos[k];
      mToneCos[k] = c * mStepCos[k] - s * mStepSin[k];
    }
  }
  else
  {
    const double f = mFrequency.load(std::memory_order_relaxed);
    for (int k = 0; k < kHarmonics; ++k)
    {
      mToneSin[k] = 0.0;
      mToneCos[k] = IsHarmonicMeasured(k + 1, f, t.rate) ? 1.0 : 0.0;
    }
    progress = (double)n != t.complete;
  }

  const double x = PlayAndListen(io, i, mToneSin[0]);

  bool completed = false;
  if (n >= t.S && (double)n < t.complete)
  {
    for (int k = 0; k < kHarmonics; ++k)
    {
      mSumCos[k] += x * mToneCos[k];
      mSumSin[k] += x * mToneSin[k];
    }
    mSecondSumCos += x * mToneCos[0];
    mSecondSumSin += x * mToneSin[0];
    if (n % t.S == 0)
    {
      mProgressLevel.store(2.0 * std::sqrt(mSecondSumCos * mSecondSumCos + mSecondSumSin * mSecondSumSin) /
                             t.rate / mRunFactor[0],
                           std::memory_order_relaxed);
      mSecondSumCos = mSecondSumSin = 0.0;
    }
  }
  else if (n >= t.S && (double)n == t.complete)
  {
    completed = true;
  }

  mSampleCount.store(n + 1, std::memory_order_relaxed);
  // Posted after this frame's analysis, so that the level it announces is already stored.
  if (progress) Post(kMessageProgress);
  if (completed) CompleteMeasurement(t.rate);
}

// Frames between events, plain per-harmonic formulas. Stops early when the run is cancelled
// or restarted; returns the number of frames processed.
int ThdEngine::ProcessRunScalar(const BlockTiming& t, int n, int count, const Channels& channels, int i)
{
  // A local copy of the buffer pointers: the compiler keeps it in registers, where a struct
  // passed by value lives in memory and was read back from the stack at every frame.
  const Channels io = channels;
  const bool summing = t.Summing(n);
  const uint32_t runSeq = mRunSeq;
  int done = 0;
  for (; done < count; ++done, ++i)
  {
    if (!RunGoesOn(runSeq)) break;
    for (int k = 0; k < kHarmonics; ++k)
    {
      const double s = mToneSin[k], c = mToneCos[k];
      mToneSin[k] = c * mStepSin[k] + s * mStepCos[k];
      mToneCos[k] = c * mStepCos[k] - s * mStepSin[k];
    }
    const double x = PlayAndListen(io, i, mToneSin[0]);
    if (summing)
    {
      for (int k = 0; k < kHarmonics; ++k)
      {
        mSumCos[k] += x * mToneCos[k];
        mSumSin[k] += x * mToneSin[k];
      }
      mSecondSumCos += x * mToneCos[0];
      mSecondSumSin += x * mToneSin[0];
    }
  }
  return done;
}

// The same frames with harmonics (1, 2), (3, 4) and (5, pad) in two-lane vectors, the state
// held in registers for the whole run.
int ThdEngine::ProcessRunVector(const BlockTiming& t, int n, int count, const Channels& channels, int i)
{
#ifndef VX_THD_VECTOR
  return ProcessRunScalar(t, n, count, channels, i);
#else
  const Channels io = channels;  // in registers for the whole run (see ProcessRunScalar)
  const bool summing = t.Summing(n);
  const uint32_t runSeq = mRunSeq;

  VxD2 s0 = Load2(mToneSin), s1 = Load2(mToneSin + 2), s2 = Load2(mToneSin + 4);
  VxD2 c0 = Load2(mToneCos), c1 = Load2(mToneCos + 2), c2 = Load2(mToneCos + 4);
  const VxD2 ss0 = Load2(mStepSin), ss1 = Load2(mStepSin + 2), ss2 = Load2(mStepSin + 4);
  const VxD2 sc0 = Load2(mStepCos), sc1 = Load2(mStepCos + 2), sc2 = Load2(mStepCos + 4);
  VxD2 sumC0 = Load2(mSumCos), sumC1 = Load2(mSumCos + 2), sumC2 = Load2(mSumCos + 4);
  VxD2 sumS0 = Load2(mSumSin), sumS1 = Load2(mSumSin + 2), sumS2 = Load2(mSumSin + 4);
  double secC = mSecondSumCos, secS = mSecondSumSin;

  int done = 0;
  for (; done < count; ++done, ++i)
  {
    if (!RunGoesOn(runSeq)) break;
    // new sin = cos*stepSin + sin*stepCos; new cos = cos*stepCos - sin*stepSin
    const VxD2 ns0 = c0 * ss0 + s0 * sc0, ns1 = c1 * ss1 + s1 * sc1, ns2 = c2 * ss2 + s2 * sc2;
    c0 = c0 * sc0 - s0 * ss0;
    c1 = c1 * sc1 - s1 * ss1;
    c2 = c2 * sc2 - s2 * ss2;
    s0 = ns0;
    s1 = ns1;
    s2 = ns2;
    const double x = PlayAndListen(io, i, s0[0]);
    if (summing)
    {
      const VxD2 xv = {x, x};
      sumC0 += xv * c0;
      sumC1 += xv * c1;
      sumC2 += xv * c2;
      sumS0 += xv * s0;
      sumS1 += xv * s1;
      sumS2 += xv * s2;
      secC += x * c0[0];
      secS += x * s0[0];
    }
  }

  Store2(mToneSin, s0); Store2(mToneSin + 2, s1); Store2(mToneSin + 4, s2);
  Store2(mToneCos, c0); Store2(mToneCos + 2, c1); Store2(mToneCos + 4, c2);
  Store2(mSumCos, sumC0); Store2(mSumCos + 2, sumC1); Store2(mSumCos + 4, sumC2);
  Store2(mSumSin, sumS0); Store2(mSumSin + 2, sumS1); Store2(mSumSin + 4, sumS2);
  mSecondSumCos = secC;
  mSecondSumSin = secS;
  return done;
#endif
}

void ThdEngine::Process(double** inputs, double** outputs, int nFrames)
{
  if (nFrames < 1 || !outputs || !outputs[0] || !outputs[1]) return;
  double* out0 = outputs[0];
  double* out1 = outputs[1];
  if (!inputs || !inputs[0] || !inputs[1])
  {
    // The base hands buffers for every channel; without them there is nothing to measure.
    std::memset(out0, 0, sizeof(double) * (size_t)nFrames);
    std::memset(out1, 0, sizeof(double) * (size_t)nFrames);
    return;
  }
  const Channels io{out0, out1, inputs[0], inputs[1]};

  const double rate = mCurrentSampleRate.load(std::memory_order_relaxed);
  BlockTiming t;
  t.Set(rate, mRunMeasureSeconds);

  int i = 0;
  while (i < nFrames)
  {
    if (!mMeasuring.load(std::memory_order_acquire))
    {
      out0[i] = out1[i] = 0.0;
      ++i;
      continue;
    }
    const uint32_t seq = mStartSeq.load(std::memory_order_acquire);
    if (seq != mRunSeq)
    {
      if (!TakeStartRequest(seq))
      {
        out0[i] = out1[i] = 0.0;
        ++i;
        continue;
      }
      t.Set(rate, mRunMeasureSeconds);
    }
    // Below 1 Hz there are no whole seconds to count: the run waits, silent, for a usable rate.
    if (t.S < 1)
    {
      out0[i] = out1[i] = 0.0;
      ++i;
      continue;
    }

    const int n = mSampleCount.load(std::memory_order_relaxed);
    if (n == INT_MAX)
    {
      // The counter cannot go on: a run whose completion point was passed (the rate fell
      // mid-run) ends here instead of overflowing.
      EndRun();
      continue;
    }
    const int phase = n % t.S;
    if (phase == 0 || (int64_t)n == t.completeFrame)
    {
      ProcessEventFrame(t, n, io, i);
      ++i;
      continue;
    }

    // Frames up to the next event: second boundary, end of summing, completion, block end.
    int64_t limit = (int64_t)(t.S - phase);
    if (t.sumEnd > n && t.sumEnd - n < limit) limit = t.sumEnd - n;
    if ((int64_t)INT_MAX - n < limit) limit = (int64_t)INT_MAX - n;
    if ((int64_t)(nFrames - i) < limit) limit = nFrames - i;
    const int count = (int)limit;
    const int done = mUseVectorPath ? ProcessRunVector(t, n, count, io, i) : ProcessRunScalar(t, n, count, io, i);
    mSampleCount.store(n + done, std::memory_order_relaxed);
    i += done;
  }
}
