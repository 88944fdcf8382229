// The mini hosts' audio thread: 512-frame blocks at 48 kHz with the outputs fed back to the
// inputs one block later, watching the output's peak and the tone's zero crossings.

#include "LoopbackAudio.h"

#include <cmath>

LoopbackAudio::LoopbackAudio()
{
  for (int c = 0; c < 2; ++c)
  {
    mIn[c].assign(kBlock, 0.0f);
    mOut[c].assign(kBlock, 0.0f);
    mCable[c].assign(kBlock, 0.0f);
  }
}

void LoopbackAudio::Start(ProcessFunc process)
{
  Stop();
  mProcess = std::move(process);
  mQuit = false;
  mThread = std::thread([this] { Run(); });
}

void LoopbackAudio::Stop()
{
  if (!mThread.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(mLock);
    mQuit = true;
  }
  mWake.notify_all();
  mThread.join();
  mPending = 0;
}

void LoopbackAudio::ProcessAsync(long frames)
{
  {
    std::lock_guard<std::mutex> hold(mLock);
    mPending += frames;
  }
  mWake.notify_all();
}

void LoopbackAudio::ResetCrossings()
{
  mCrossings = 0;
  mCrossingFrames = 0;
}

void LoopbackAudio::Run()
{
  for (;;)
  {
    long todo = 0;
    {
      std::unique_lock<std::mutex> hold(mLock);
      mWake.wait(hold, [this] { return mQuit.load() || mPending.load() > 0; });
      if (mQuit) return;
      todo = mPending.load();
    }
    const int n = todo < kBlock ? (int)todo : kBlock;
    ProcessOneBlock(n);
    mProcessed += n;
    mPending -= n;
  }
}

void LoopbackAudio::ProcessOneBlock(int n)
{
  // Each input sample is the output sample of kBlock frames before: the cable's slot still
  // holds it until this block's output replaces it below.
  for (int c = 0; c < 2; ++c)
    for (int i = 0; i < n; ++i) mIn[c][i] = mCable[c][(mCablePos + i) % kBlock];
  float* ins[2] = {mIn[0].data(), mIn[1].data()};
  float* outs[2] = {mOut[0].data(), mOut[1].data()};
  mProcess(ins, outs, n, mProcessed.load());
  float peak = 0.0f;
  long crossings = 0;
  for (int i = 0; i < n; ++i)
  {
    const float v = mOut[0][i];
    peak = std::fabs(v) > peak ? std::fabs(v) : peak;
    if (mPrevLeft < 0.0f && v >= 0.0f) ++crossings;
    mPrevLeft = v;
  }
  for (int c = 0; c < 2; ++c)
    for (int i = 0; i < n; ++i) mCable[c][(mCablePos + i) % kBlock] = mOut[c][i];
  mCablePos = (mCablePos + n) % kBlock;
  for (int i = n; i < kBlock; ++i) mOut[0][i] = mOut[1][i] = 0.0f;
  mLastPeak = peak;
  mCrossings += crossings;
  mCrossingFrames += n;
}
