// A host's audio thread for the mini hosts' editor tests: blocks of 512 frames at 48 kHz
// processed on a thread of its own, the left and right outputs fed back to the inputs through
// a cable one block long (a loop-back cable through the user's hardware), with the output's
// peak and the tone's zero crossings observed on the way.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class LoopbackAudio
{
public:
  static constexpr int kBlock = 512;
  static constexpr double kRate = 48000.0;

  // Processes n frames (n <= kBlock) of two inputs into two outputs; pos: frames so far.
  using ProcessFunc = std::function<void(float** inputs, float** outputs, int n, long pos)>;

  LoopbackAudio();
  ~LoopbackAudio() { Stop(); }
  LoopbackAudio(const LoopbackAudio&) = delete;
  LoopbackAudio& operator=(const LoopbackAudio&) = delete;

  // Starts the audio thread (idle until asked for frames).
  void Start(ProcessFunc process);
  // Finishes the frames asked for so far is not waited for: the thread stops after its block.
  void Stop();

  // Has the thread process `frames` more frames. Returns at once; see Done.
  void ProcessAsync(long frames);
  bool Done() const { return mPending.load() == 0; }
  long FramesProcessed() const { return mProcessed.load(); }
  // Peak of the left output over the last block.
  float LastOutputPeak() const { return mLastPeak.load(); }
  // Upward zero crossings of the left output since the reset, and the frames counted.
  void ResetCrossings();
  long Crossings() const { return mCrossings.load(); }
  long CrossingFrames() const { return mCrossingFrames.load(); }

private:
  void Run();
  void ProcessOneBlock(int n);

  ProcessFunc mProcess;
  std::thread mThread;
  std::mutex mLock;
  std::condition_variable mWake;
  std::atomic<long> mPending{0};
  std::atomic<long> mProcessed{0};
  std::atomic<bool> mQuit{false};
  std::atomic<float> mLastPeak{0.0f};
  std::atomic<long> mCrossings{0}, mCrossingFrames{0};
  std::vector<float> mIn[2], mOut[2];
  // The cable: the output stream delayed by exactly kBlock frames, whatever the block lengths.
  std::vector<float> mCable[2];
  int mCablePos = 0;
  float mPrevLeft = 0.0f;
};
