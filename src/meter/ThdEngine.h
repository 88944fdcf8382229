// The meter's audio-thread engine: the test tone, the correlation of the returning input with
// harmonics 1 to 5, and the hand-over through which a Start reaches the audio thread. It knows
// nothing of hosts, bindings or editors, so that tests and benchmarks can drive it alone; the
// plug-in (IThdMeter) owns one and forwards its processing and its editor's Start and Cancel.
//
// Threads. Three kinds of caller meet here, and only in atomics:
//  - the audio thread calls Process (the binding holds the plug-in mutex around it);
//  - the editor thread calls Start, Cancel, TakeMessage and the read-back getters (no lock);
//  - any thread changes the settings (sample rate and frequency under the plug-in mutex).
// mMeasuring is the run flag. Start publishes its set-up (the "start request": divisors, K,
// step coefficients) through a sequence counter and then raises the flag with release order;
// the audio thread picks the request up with acquire order and only then zeroes the sums and
// the counter itself. So the audio thread is the only writer of the running state, and a Start
// right after a Cancel cannot write sums the audio thread is still adding to. Settings the
// audio thread reads every frame (amplitude, channels, frequency) and the values the editor
// thread reads back (counter, progress level, results) are relaxed atomics; the results are
// published by the release store of the message that announces them.
#pragma once

#include "ThdMath.h"

#include <atomic>
#include <cstdint>

// The two messages the engine posts: a progress update once a second, and the results.
constexpr double kMessageProgress = 0.55555555;
constexpr double kMessageResults = 0.55555556;
// The closed interval between the two is what the editor's message carrier accepts.
constexpr bool IsEngineMessage(double value) { return value >= kMessageProgress && value <= kMessageResults; }

// Offered, on the audio thread, every message the engine posts, with the context it was given;
// it may only store values and flags. True: it has taken the message (the plug-in's editor keeps
// it in its dummy control), and the engine's own slot is left as it is. False: the slot keeps
// it. A message lives in one place only, so it is taken, and shown, once.
using ThdMessageFunc = bool (*)(void* context, double value);

class ThdEngine
{
public:
  static constexpr int kHarmonics = 5;
  // Highest harmonic frequency that is generated and measured, inclusive.
  static constexpr int kMaxHarmonicHz = 20000;

  // Harmonic k (1..5) of the test frequency is measured when it lies at or below 20 kHz and
  // below half the sample rate: above that the correlation would only see aliased content.
  // The engine uses the whole-hertz part of the frequency, as here.
  static bool IsHarmonicMeasured(int k, double frequency, double sampleRate)
  {
    const long long hz = (long long)k * ThdIntPart(frequency);
    return k >= 1 && k <= kHarmonics && hz <= kMaxHarmonicHz && (double)hz < 0.5 * sampleRate;
  }

  explicit ThdEngine(ThdMessageFunc onMessage = nullptr, void* context = nullptr)
    : mOnMessage(onMessage), mMessageContext(context)
  {
  }
  ThdEngine(const ThdEngine&) = delete;
  ThdEngine& operator=(const ThdEngine&) = delete;

  // ---- settings (any thread; the audio thread reads them afresh for every frame) -----------
  void SetSampleRate(double rate) { mCurrentSampleRate.store(rate, std::memory_order_relaxed); }
  double GetSampleRate() const { return mCurrentSampleRate.load(std::memory_order_relaxed); }
  // The test frequency: tunes the tone at the next Start; the harmonics that carry signal
  // follow it at every second boundary.
  void SetFrequency(double hz) { mFrequency.store(hz, std::memory_order_relaxed); }
  double GetFrequency() const { return mFrequency.load(std::memory_order_relaxed); }
  void SetAmplitude(double amplitude) { mAmplitude.store(amplitude, std::memory_order_relaxed); }
  double GetAmplitude() const { return mAmplitude.load(std::memory_order_relaxed); }
  // 0 selects the first channel, anything else the second.
  void SetOutputChannel(double channel) { mOutputChannel.store(channel, std::memory_order_relaxed); }
  double GetOutputChannel() const { return mOutputChannel.load(std::memory_order_relaxed); }
  void SetInputChannel(double channel) { mInputChannel.store(channel, std::memory_order_relaxed); }
  double GetInputChannel() const { return mInputChannel.load(std::memory_order_relaxed); }
  // The loop the frames between events take: two-lane vectors (default) or the plain
  // per-harmonic formulas, the reference for tests. Both give bit-identical results. Set it
  // while no processing call runs.
  void SetVectorPath(bool on) { mUseVectorPath = on; }

  // ---- editor thread -------------------------------------------------------------------------
  // Starts a run at frequency hz, averaging over measureSeconds after the settling second, the
  // harmonic levels divided by divisors (1.0 each without calibration). Nothing starts, and
  // the result is false, when the sample rate has no whole seconds to count or the run could
  // not complete within the frame counter.
  bool Start(double hz, double measureSeconds, const double divisors[kHarmonics]);
  // Ends the run at the audio thread's next frame and drops its unread message.
  void Cancel();
  bool IsMeasuring() const { return mMeasuring.load(std::memory_order_acquire) != 0; }
  // The one-slot message box, for messages the callback did not take: the last one posted
  // until taken. TakeMessage empties it in one step, so that a message posted meanwhile is not
  // lost. (Not named PeekMessage: windows.h defines that name as a macro.)
  double TakeMessage() { return mMessageSlot.exchange(0.0, std::memory_order_acq_rel); }
  double UnreadMessage() const { return mMessageSlot.load(std::memory_order_acquire); }

  // ---- read-back (any thread) ---------------------------------------------------------------
  int GetSampleCount() const { return mSampleCount.load(std::memory_order_relaxed); }
  double GetMeasureSeconds() const { return mMeasureSeconds.load(std::memory_order_relaxed); }
  // The fundamental's level over the last second; the progress display clears it once shown.
  double GetProgressLevel() const { return mProgressLevel.load(std::memory_order_relaxed); }
  void ClearProgressLevel() { mProgressLevel.store(0.0, std::memory_order_relaxed); }
  // Results of the last completed run (valid once its results message was taken).
  double GetHarmonicLevel(int k) const;
  // Phase of harmonic k's sine at the fundamental's positive zero crossing, in degrees
  // (-180, 180]: for a returning x = sum A_k sin(k w t + p_k) it is p_k - k p_1, which no delay
  // of the loop changes (a delay d moves p_k by -k w d). The fundamental's own is 0. Only
  // meaningful where harmonic k and the fundamental came back clear of noise and rounding;
  // the caller judges that from the levels.
  double GetHarmonicPhase(int k) const;
  double GetTHD() const { return mTHD.load(std::memory_order_relaxed); }

  // ---- audio thread --------------------------------------------------------------------------
  // Writes the tone to one output and silence to the other, reads one input; both outputs are
  // silent while no run is going. inputs and outputs hold two channels of nFrames each.
  void Process(double** inputs, double** outputs, int nFrames);

private:
  struct BlockTiming;
  struct Channels;
  bool TakeStartRequest(uint32_t seq);
  void Post(double value);
  double PlayAndListen(const Channels& io, int i, double sine) const;
  bool RunGoesOn(uint32_t runSeq) const;
  void ProcessEventFrame(const BlockTiming& t, int n, const Channels& io, int i);
  int ProcessRunScalar(const BlockTiming& t, int n, int count, const Channels& channels, int i);
  int ProcessRunVector(const BlockTiming& t, int n, int count, const Channels& channels, int i);
  void CompleteMeasurement(double rate);
  // Clears the run flag if it still belongs to the run this thread set up last.
  void EndRun();

  ThdMessageFunc mOnMessage;
  void* mMessageContext;

  // ---- settings ------------------------------------------------------------------------------
  std::atomic<double> mCurrentSampleRate{48000.0};
  std::atomic<double> mFrequency{300.0};
  std::atomic<double> mAmplitude{0.31622776601683794};  // -10 dB, the default Volume
  std::atomic<double> mOutputChannel{0.0};
  std::atomic<double> mInputChannel{0.0};
  bool mUseVectorPath = true;
  // The run flag: 0 when idle, otherwise the start sequence number of the run that raised it
  // (always odd, so never 0). The completion clears it only while it still names the run that
  // completes, in one compare-and-swap: a Start that raised it meanwhile keeps its run.
  std::atomic<uint32_t> mMeasuring{0};

  // ---- start request: written by Start (editor thread), read by the audio thread -------------
  // A sequence lock: odd while Start writes, then even; the audio thread takes a request
  // whose number differs from the run it set up last, and retries at the next frame when
  // the numbers before and after reading differ.
  std::atomic<uint32_t> mStartSeq{0};
  std::atomic<double> mStartMeasureSeconds{12.0};
  std::atomic<double> mStartFactor[kHarmonics] = {};
  std::atomic<double> mStartStepSin[kHarmonics] = {};
  std::atomic<double> mStartStepCos[kHarmonics] = {};

  // ---- running state: written by the audio thread only -----------------------------------------
  // Lanes 0..4 are harmonics 1..5; lane 5 pads the last pair of the two-lane loop and stays 0.
  static constexpr int kLanes = 6;
  uint32_t mRunSeq = 0;
  double mRunMeasureSeconds = 12.0;
  double mRunFactor[kHarmonics] = {1.0, 1.0, 1.0, 1.0, 1.0};
  alignas(16) double mToneSin[kLanes] = {};
  alignas(16) double mToneCos[kLanes] = {};
  alignas(16) double mStepSin[kLanes] = {};
  alignas(16) double mStepCos[kLanes] = {};
  alignas(16) double mSumCos[kLanes] = {};
  alignas(16) double mSumSin[kLanes] = {};
  double mSecondSumCos = 0.0;
  double mSecondSumSin = 0.0;

  // ---- running state the editor thread reads back ------------------------------------------
  std::atomic<int> mSampleCount{0};
  std::atomic<double> mMeasureSeconds{12.0};
  std::atomic<double> mProgressLevel{0.0};
  std::atomic<double> mHarmonicLevel[kHarmonics] = {};
  // The completed run's correlation sums, from which GetHarmonicPhase works out the phases:
  // two stores per harmonic here, the arctangents on the reader's thread.
  std::atomic<double> mResultSumCos[kHarmonics] = {};
  std::atomic<double> mResultSumSin[kHarmonics] = {};
  std::atomic<double> mTHD{0.0};
  // The one-slot message box to the editor thread: the last posted value until taken.
  std::atomic<double> mMessageSlot{0.0};
};
