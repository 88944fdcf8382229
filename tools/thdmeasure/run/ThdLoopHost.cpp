// The measurement tool's host loop: blocks through the plug-in's buffer frame, the tone output
// through the device and back to the selected input with the loop's latency.

#include "ThdLoopHost.h"

#include <algorithm>

ThdLoopHost::ThdLoopHost(IThdMeter& meter, ThdDevice* device, const ThdLoopSettings& settings)
  : mMeter(meter), mDevice(device), mSettings(settings)
{
  if (mSettings.mBlockSize < 1) mSettings.mBlockSize = 1;
  if (mSettings.mLatency < 0) mSettings.mLatency = 0;
  const size_t n = (size_t)mSettings.mBlockSize;
  if (mSettings.mDoubleBuffers)
    for (auto* v : {&mIn0d, &mIn1d, &mOut0d, &mOut1d}) v->assign(n, 0.0);
  else
    for (auto* v : {&mIn0f, &mIn1f, &mOut0f, &mOut1f}) v->assign(n, 0.0f);
  mRing.assign(n + (size_t)mSettings.mLatency, 0.0);
  mMeter.HostPrepare(mSettings.mSampleRate, mSettings.mBlockSize);
}

// The block's n ring slots from the current position, in at most two straight pieces (the
// ring is at least a block long): piece(slots, first frame of the block, count). Plain loops
// over each piece, rather than a wrap test at every frame, so the copies vectorise and the
// device runs a block at a time.
template <class Piece>
void ThdLoopHost::ForEachRingPiece(int n, Piece&& piece)
{
  const size_t len = mRing.size();
  size_t pos = mRingPos;
  for (size_t frame = 0; frame < (size_t)n;)
  {
    const size_t count = std::min(len - pos, (size_t)n - frame);
    piece(mRing.data() + pos, frame, count);
    frame += count;
    pos = pos + count == len ? 0 : pos + count;
  }
}

template <class T>
void ThdLoopHost::FillInputs(std::vector<T>& in0, std::vector<T>& in1)
{
  const int n = mSettings.mBlockSize;
  if (mStream)
  {
    mStreamBlock.resize((size_t)n);
    int got = mStream->Read(mStreamBlock.data(), n);
    if (got < 0) got = 0;
    for (int i = 0; i < n; ++i) in0[(size_t)i] = in1[(size_t)i] = i < got ? (T)mStreamBlock[(size_t)i] : (T)0;
    return;
  }
  // The loop: the device's answer from one block plus the latency ago, on the chosen input.
  std::vector<T>& to = mMeter.GetInputChannel() != 0.0 ? in1 : in0;
  std::vector<T>& other = &to == &in0 ? in1 : in0;
  std::fill(other.begin(), other.begin() + n, (T)0);
  ForEachRingPiece(n, [&](double* ring, size_t frame, size_t count) {
    T* into = to.data() + frame;
    for (size_t j = 0; j < count; ++j) into[j] = (T)ring[j];
  });
}

template <class T>
void ThdLoopHost::TakeOutputs(const std::vector<T>& out0, const std::vector<T>& out1)
{
  const int n = mSettings.mBlockSize;
  if (mRecord)
    for (int i = 0; i < n; ++i)
    {
      mRecord->push_back((float)out0[(size_t)i]);
      mRecord->push_back((float)out1[(size_t)i]);
    }
  if (mStream) return;
  // Whatever the chosen output carries goes into the chain; the ring slots just read are
  // the ones the answer is written to, one ring length (block + latency) ahead of reading.
  const std::vector<T>& from = mMeter.GetOutputChannel() != 0.0 ? out1 : out0;
  ForEachRingPiece(n, [&](double* ring, size_t frame, size_t count) {
    if (!mDevice)
    {
      std::fill(ring, ring + count, 0.0);
      return;
    }
    for (size_t j = 0; j < count; ++j) ring[j] = (double)from[frame + j];
    mDevice->ProcessBlock(ring, ring, (int)count);
  });
  mRingPos = (mRingPos + (size_t)n) % mRing.size();
}

template <class T>
void ThdLoopHost::Tap(const std::vector<T>& in)
{
  if (!mTap) return;
  mTapBlock.resize(in.size());
  for (size_t i = 0; i < in.size(); ++i) mTapBlock[i] = (double)in[i];
  mTap(mTapBlock.data(), (int)mTapBlock.size());
}

double ThdLoopHost::ProcessBlock()
{
  const int n = mSettings.mBlockSize;
  if (mSettings.mDoubleBuffers)
  {
    FillInputs(mIn0d, mIn1d);
    Tap(mMeter.GetInputChannel() != 0.0 ? mIn1d : mIn0d);
    double* ins[2] = {mIn0d.data(), mIn1d.data()};
    double* outs[2] = {mOut0d.data(), mOut1d.data()};
    mMeter.HostProcess(ins, outs, n);
    TakeOutputs(mOut0d, mOut1d);
  }
  else
  {
    FillInputs(mIn0f, mIn1f);
    Tap(mMeter.GetInputChannel() != 0.0 ? mIn1f : mIn0f);
    float* ins[2] = {mIn0f.data(), mIn1f.data()};
    float* outs[2] = {mOut0f.data(), mOut1f.data()};
    mMeter.HostProcess(ins, outs, n);
    TakeOutputs(mOut0f, mOut1f);
  }
  mFrames += n;
  return mPump ? mPump() : mMeter.PumpEditorMessage();
}
