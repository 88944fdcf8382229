// The measurement tool's host loop: blocks through the plug-in's buffer frame, the tone output
// through the device and back to the selected input with the loop's latency.

#include "ThdLoopHost.h"

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
  const size_t len = mRing.size();
  size_t pos = mRingPos;
  for (int i = 0; i < n; ++i)
  {
    to[(size_t)i] = (T)mRing[pos];
    other[(size_t)i] = (T)0;
    if (++pos == len) pos = 0;
  }
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
  const size_t len = mRing.size();
  size_t pos = mRingPos;
  for (int i = 0; i < n; ++i)
  {
    const double x = (double)from[(size_t)i];
    mRing[pos] = mDevice ? mDevice->Process(x) : 0.0;
    if (++pos == len) pos = 0;
  }
  mRingPos = pos;
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
