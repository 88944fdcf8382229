// The buffer frame of the plug-in base: channel connections, the scratch buffers that stand
// in for unconnected channels and for float hosts, attaching host buffers (float or double)
// to the channel records, and running one block through the plug-in or past it (bypass).
// A host block becomes: Attach...Buffers -> ProcessBuffers / PassThroughBuffers ->
// ProcessDoubleReplacing over the double arrays -> float outputs converted back.
#include "IFxBase.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

void LatencyDelayLine::SetLength(int samples)
{
  mLength = samples > 0 ? samples : 0;
  double* data = mBuffer.Resize(mNIn * mLength);
  if (data) std::memset(data, 0, sizeof(double) * (size_t)mNIn * (size_t)mLength);
  else mLength = 0;  // no buffer: behave as a plain pass-through
  mWritePos = 0;
}

void IFxBase::SetBlockSize(int blockSize)
{
  if (blockSize < 0) blockSize = 0;
  if (blockSize == mBlockSize) return;
  const int nIn = NInChannels(), nOut = NOutChannels();
  for (int i = 0; i < nIn; ++i)
  {
    InChannel* ch = mInChannels.Get(i);
    double* buf = ch->mScratchBuf.Resize(blockSize);
    if (buf) std::memset(buf, 0, sizeof(double) * (size_t)blockSize);
    // The buffer may have moved: unconnected channels keep reading their own scratch.
    if (!ch->mConnected) *ch->mSrc = ch->mScratchBuf.Get();
  }
  for (int i = 0; i < nOut; ++i)
  {
    OutChannel* ch = mOutChannels.Get(i);
    double* buf = ch->mScratchBuf.Resize(blockSize);
    if (buf) std::memset(buf, 0, sizeof(double) * (size_t)blockSize);
    if (!ch->mConnected || ch->mFDest) *ch->mDest = ch->mScratchBuf.Get();
  }
  mBlockSize = blockSize;
}

void IFxBase::ZeroScratchBuffers()
{
  for (int i = 0; i < NInChannels(); ++i)
  {
    InChannel* ch = mInChannels.Get(i);
    if (ch->mScratchBuf.Get()) std::memset(ch->mScratchBuf.Get(), 0, sizeof(double) * (size_t)ch->mScratchBuf.GetSize());
  }
  for (int i = 0; i < NOutChannels(); ++i)
  {
    OutChannel* ch = mOutChannels.Get(i);
    if (ch->mScratchBuf.Get()) std::memset(ch->mScratchBuf.Get(), 0, sizeof(double) * (size_t)ch->mScratchBuf.GetSize());
  }
}

// ---- channel configurations ------------------------------------------------------------

bool IFxBase::LegalIO(int nIn, int nOut) const
{
  const int n = mChannelIO.GetSize();
  for (int i = 0; i < n; ++i)
  {
    const ChannelIO* io = mChannelIO.Get(i);
    if (nIn < 0)
    {
      if (nOut < 0 || nOut == io->mOut) return true;
    }
    else if (nIn == io->mIn && (nOut < 0 || nOut == io->mOut))
    {
      return true;
    }
  }
  return false;
}

void IFxBase::LimitToStereoIO()
{
  if (NInChannels() > 2) SetInputChannelConnections(2, NInChannels() - 2, false);
  for (int i = 2; i < NOutChannels(); ++i) mOutChannels.Get(i)->mConnected = true;
}

bool IFxBase::IsInChannelConnected(int chIdx) const
{
  const InChannel* ch = mInChannels.Get(chIdx);
  return ch && ch->mConnected;
}

bool IFxBase::IsOutChannelConnected(int chIdx) const
{
  const OutChannel* ch = mOutChannels.Get(chIdx);
  return ch && ch->mConnected;
}

void IFxBase::SetInputChannelConnections(int idx, int n, bool connected)
{
  if (idx < 0) { n += idx; idx = 0; }
  const int end = idx + n < NInChannels() ? idx + n : NInChannels();
  for (int i = idx; i < end; ++i)
  {
    InChannel* ch = mInChannels.Get(i);
    // A float channel's scratch still holds the last block the host gave; once the channel
    // is unconnected it must read silence, not that block again.
    if (!connected && ch->mConnected && ch->mScratchBuf.Get())
      std::memset(ch->mScratchBuf.Get(), 0, sizeof(double) * (size_t)ch->mScratchBuf.GetSize());
    ch->mConnected = connected;
    if (!connected) *ch->mSrc = ch->mScratchBuf.Get();
  }
}

void IFxBase::SetOutputChannelConnections(int idx, int n, bool connected)
{
  if (idx < 0) { n += idx; idx = 0; }
  const int end = idx + n < NOutChannels() ? idx + n : NOutChannels();
  for (int i = idx; i < end; ++i)
  {
    OutChannel* ch = mOutChannels.Get(i);
    ch->mConnected = connected;
    if (!connected)
    {
      *ch->mDest = ch->mScratchBuf.Get();
      ch->mFDest = nullptr;
    }
  }
}

// ---- host buffers ----------------------------------------------------------------------

template <class SampleType>
void IFxBase::AttachInputBuffersT(int idx, int n, SampleType** ppData, int nFrames)
{
  if (!ppData || nFrames < 0) return;
  // A host that sends more than the block size it announced would overrun the scratch
  // buffers; grow them instead (this only allocates when the host broke its promise).
  // Double hosts need it as much as float ones: their unconnected channels read and write
  // the scratch buffers too.
  if (nFrames > mBlockSize) SetBlockSize(nFrames);
  if (idx < 0) { n += idx; idx = 0; }
  const int end = idx + n < NInChannels() ? idx + n : NInChannels();
  for (int i = idx; i < end; ++i)
  {
    InChannel* ch = mInChannels.Get(i);
    if (!ch->mConnected) continue;
    SampleType* host = *ppData++;
    if constexpr (std::is_same_v<SampleType, double>)
    {
      *ch->mSrc = host;
    }
    else
    {
      double* scratch = ch->mScratchBuf.Get();
      if (host && scratch)
        for (int s = 0; s < nFrames; ++s) scratch[s] = (double)host[s];
      *ch->mSrc = scratch;
    }
  }
}

template <class SampleType>
void IFxBase::AttachOutputBuffersT(int idx, int n, SampleType** ppData)
{
  if (!ppData) return;
  if (idx < 0) { n += idx; idx = 0; }
  const int end = idx + n < NOutChannels() ? idx + n : NOutChannels();
  for (int i = idx; i < end; ++i)
  {
    OutChannel* ch = mOutChannels.Get(i);
    if (!ch->mConnected) continue;
    SampleType* host = *ppData++;
    if constexpr (std::is_same_v<SampleType, double>)
    {
      *ch->mDest = host;
      ch->mFDest = nullptr;
    }
    else
    {
      *ch->mDest = ch->mScratchBuf.Get();
      ch->mFDest = host;
    }
  }
}

void IFxBase::AttachInputBuffers(int idx, int n, double** ppData, int nFrames) { AttachInputBuffersT(idx, n, ppData, nFrames); }
void IFxBase::AttachInputBuffers(int idx, int n, float** ppData, int nFrames) { AttachInputBuffersT(idx, n, ppData, nFrames); }
void IFxBase::AttachOutputBuffers(int idx, int n, double** ppData) { AttachOutputBuffersT(idx, n, ppData); }
void IFxBase::AttachOutputBuffers(int idx, int n, float** ppData) { AttachOutputBuffersT(idx, n, ppData); }

void IFxBase::ConvertOutputsToFloat(int nFrames, bool accumulate)
{
  const int nOut = NOutChannels();
  for (int i = 0; i < nOut; ++i)
  {
    OutChannel* ch = mOutChannels.Get(i);
    const double* src = ch->mScratchBuf.Get();
    float* dst = ch->mFDest;
    if (!ch->mConnected || !dst || !src) continue;
    const int n = nFrames < ch->mScratchBuf.GetSize() ? nFrames : ch->mScratchBuf.GetSize();
    if (accumulate)
      for (int s = 0; s < n; ++s) dst[s] += (float)src[s];
    else
      for (int s = 0; s < n; ++s) dst[s] = (float)src[s];
  }
}

// A host may pass one buffer as an input and an output (in place). The plug-in writes its
// outputs as it goes, before it has read every input (the meter writes its tone first), so an
// input whose buffer overlaps any output's is copied to the channel's scratch buffer and read
// from there. The scratch buffers hold a whole block already (the attach step grows them for
// a longer one), so nothing is allocated here.
void IFxBase::UnaliasInputs(int nFrames)
{
  if (nFrames <= 0) return;
  double** in = mInData.Get();
  double** out = mOutData.Get();
  const int nIn = NInChannels(), nOut = NOutChannels();
  const uintptr_t bytes = sizeof(double) * (uintptr_t)nFrames;
  for (int i = 0; i < nIn; ++i)
  {
    InChannel* ch = mInChannels.Get(i);
    double* scratch = ch->mScratchBuf.Get();
    const uintptr_t src = (uintptr_t)in[i];
    if (!src || in[i] == scratch) continue;
    for (int o = 0; o < nOut; ++o)
    {
      const uintptr_t dst = (uintptr_t)out[o];
      if (!dst || dst >= src + bytes || src >= dst + bytes) continue;
      if (scratch && ch->mScratchBuf.GetSize() >= nFrames)
      {
        std::memcpy(scratch, in[i], (size_t)bytes);
        in[i] = scratch;
      }
      break;
    }
  }
}

void IFxBase::ProcessBuffers(double, int nFrames)
{
  if (nFrames > mBlockSize) SetBlockSize(nFrames);
  UnaliasInputs(nFrames);
  ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), nFrames);
}

void IFxBase::ProcessBuffers(float, int nFrames)
{
  if (nFrames > mBlockSize) SetBlockSize(nFrames);
  ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), nFrames);
  ConvertOutputsToFloat(nFrames, false);
}

void IFxBase::ProcessBuffersAccumulating(float, int nFrames)
{
  if (nFrames > mBlockSize) SetBlockSize(nFrames);
  ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), nFrames);
  ConvertOutputsToFloat(nFrames, true);
}

void IFxBase::CopyOrZeroOutputs(int nFrames)
{
  IFxBase::ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), nFrames);
}

void IFxBase::PassThroughBuffers(double, int nFrames)
{
  if (nFrames > mBlockSize) SetBlockSize(nFrames);
  UnaliasInputs(nFrames);
  if (mLatency && mDelay && mDelay->mLength > 0)
  {
    double** in = mInData.Get();
    double** out = mOutData.Get();
    const int nCh = mDelay->mNIn < mDelay->mNOut ? mDelay->mNIn : mDelay->mNOut;
    const unsigned len = (unsigned)mDelay->mLength;
    double* buf = mDelay->mBuffer.Get();
    for (int s = 0; s < nFrames; ++s)
    {
      const unsigned pos = mDelay->mWritePos;
      for (int c = 0; c < nCh; ++c)
      {
        double* slot = buf + (size_t)c * len + pos;
        const double delayed = *slot;
        *slot = in[c] ? in[c][s] : 0.0;
        if (out[c]) out[c][s] = delayed;
      }
      mDelay->mWritePos = pos + 1 < len ? pos + 1 : 0;
    }
    for (int c = nCh; c < NOutChannels(); ++c)
      if (out[c]) std::memset(out[c], 0, sizeof(double) * (size_t)nFrames);
  }
  else
  {
    CopyOrZeroOutputs(nFrames);
  }
}

void IFxBase::PassThroughBuffers(float, int nFrames)
{
  if (nFrames > mBlockSize) SetBlockSize(nFrames);
  PassThroughBuffers(0.0, nFrames);
  ConvertOutputsToFloat(nFrames, false);
}

void IFxBase::ProcessBlock(double, int nFrames)
{
  if (IsBypassed()) PassThroughBuffers(0.0, nFrames);
  else ProcessBuffers(0.0, nFrames);
}

void IFxBase::ProcessBlock(float, int nFrames, bool accumulate)
{
  if (nFrames > mBlockSize) SetBlockSize(nFrames);
  if (IsBypassed()) PassThroughBuffers(0.0, nFrames);
  else ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), nFrames);
  ConvertOutputsToFloat(nFrames, accumulate);
}
