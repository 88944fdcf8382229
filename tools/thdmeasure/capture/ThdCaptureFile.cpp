// Capture files through libsndfile, read and written in blocks, and the resampling stream
// (libsoxr) that feeds a capture recorded on its own clock to the meter.

#include "ThdCaptureFile.h"

#include <sndfile.h>
#include <soxr.h>

#include <cstring>

namespace {
constexpr int kReadBlock = 8192;
}

ThdCaptureFile::~ThdCaptureFile()
{
  if (mFile) sf_close(mFile);
}

bool ThdCaptureFile::Open(const std::string& path, int channel, std::string* error)
{
  SF_INFO info;
  std::memset(&info, 0, sizeof info);
  mFile = sf_open(path.c_str(), SFM_READ, &info);
  if (!mFile)
  {
    *error = "cannot read '" + path + "': " + sf_strerror(nullptr);
    return false;
  }
  if (info.channels < 1 || info.frames < 0 || info.samplerate < 1)
  {
    *error = "'" + path + "' holds no usable audio";
    return false;
  }
  if (info.frames == 0)
  {
    *error = "no audio in the file '" + path + "': its header gives no samples (a recorder that stopped before it "
             "finished the file leaves it so): record again, or repair the header";
    return false;
  }
  mPath = path;
  switch (info.format & SF_FORMAT_SUBMASK)
  {
    case SF_FORMAT_PCM_S8: case SF_FORMAT_PCM_U8: mBits = 8; break;
    case SF_FORMAT_PCM_16: mBits = 16; break;
    case SF_FORMAT_PCM_24: mBits = 24; break;
    case SF_FORMAT_PCM_32: mBits = 32; break;
    default: mBits = 0; break;
  }
  mChannels = info.channels;
  mRate = info.samplerate;
  mFrames = info.frames;
  mFrom = 0;
  mTo = mFrames;
  mFilePos = 0;
  mChannel = channel < mChannels ? channel : 0;
  mInterleaved.resize((size_t)kReadBlock * (size_t)mChannels);
  // Integer files read as -1..1 (full scale), float files as they are stored.
  sf_command(mFile, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
  return true;
}

bool ThdCaptureFile::SetWindow(long long from, long long to, std::string* error)
{
  if (to < 0 || to > mFrames) to = mFrames;
  if (!mFile || from < 0 || from >= to)
  {
    *error = "the part of the capture from frame " + std::to_string(from) + " to " + std::to_string(to) +
             " holds no audio (the capture has " + std::to_string(mFrames) + " frames)";
    return false;
  }
  mFrom = from;
  mTo = to;
  return Seek(0);
}

bool ThdCaptureFile::Seek(long long frame)
{
  mBufPos = mBufLen = 0;
  if (!mFile || frame < 0 || frame > mTo - mFrom) return false;
  mFilePos = mFrom + frame;
  return sf_seek(mFile, mFilePos, SEEK_SET) == mFilePos;
}

int ThdCaptureFile::Read(float* out, int n)
{
  if (!mFile) return 0;
  int done = 0;
  while (done < n)
  {
    // Whole blocks from the file, however small the reads: the host loop asks per block.
    if (mBufPos == mBufLen)
    {
      // Never past the window's end.
      const long long left = mTo - mFilePos;
      if (left <= 0) break;
      const sf_count_t got = sf_readf_float(mFile, mInterleaved.data(), left < kReadBlock ? left : kReadBlock);
      if (got <= 0) break;
      mFilePos += got;
      mBufPos = 0;
      mBufLen = (int)got;
    }
    const int take = n - done < mBufLen - mBufPos ? n - done : mBufLen - mBufPos;
    const float* s = mInterleaved.data() + (size_t)mBufPos * (size_t)mChannels + (size_t)mChannel;
    for (int i = 0; i < take; ++i) out[done + i] = s[(size_t)i * (size_t)mChannels];
    mBufPos += take;
    done += take;
  }
  return done;
}

ThdCaptureStream::ThdCaptureStream(ThdCaptureFile& file, long long startFrame, double ratio) : mFile(file)
{
  if (!mFile.Seek(startFrame))
  {
    mOk = false;
    mError = "cannot seek to the tone's start";
    return;
  }
  if (ratio != 1.0)
  {
    soxr_error_t err = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    mResampler = soxr_create(1.0, ratio, 1, &err, &io, &quality, nullptr);
    if (!mResampler || err)
    {
      mOk = false;
      mError = std::string("resampler: ") + (err ? err : "cannot create");
    }
    mIn.resize(kReadBlock);
  }
}

ThdCaptureStream::~ThdCaptureStream()
{
  if (mResampler) soxr_delete(mResampler);
}

int ThdCaptureStream::Read(float* out, int n)
{
  if (!mOk) return 0;
  if (!mResampler) return mFile.Read(out, n);
  int done = 0;
  while (done < n)
  {
    if (mInPos == mInLen && !mInputEnded)
    {
      mInLen = (size_t)mFile.Read(mIn.data(), (int)mIn.size());
      mInPos = 0;
      if (mInLen == 0) mInputEnded = true;
    }
    size_t used = 0, made = 0;
    // At the end, a null input asks the resampler for what it still holds.
    const float* in = mInputEnded ? nullptr : mIn.data() + mInPos;
    const soxr_error_t err =
      soxr_process(mResampler, in, mInputEnded ? 0 : mInLen - mInPos, &used, out + done, (size_t)(n - done), &made);
    if (err)
    {
      mOk = false;
      mError = std::string("resampler: ") + err;
      break;
    }
    mInPos += used;
    done += (int)made;
    if (mInputEnded && made == 0) break;
  }
  return done;
}

ThdToneWriter::~ThdToneWriter()
{
  if (mFile) sf_close(mFile);
}

bool ThdToneWriter::Open(const std::string& path, int channels, int sampleRate, std::string* error)
{
  SF_INFO info;
  std::memset(&info, 0, sizeof info);
  info.samplerate = sampleRate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  mFile = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!mFile)
  {
    *error = "cannot write '" + path + "': " + sf_strerror(nullptr);
    return false;
  }
  mChannels = channels;
  return true;
}

bool ThdToneWriter::Write(const float* interleaved, long long frames)
{
  if (!mFile || mFailed) return false;
  if (sf_writef_float(mFile, interleaved, frames) != frames) mFailed = true;
  return !mFailed;
}

bool ThdToneWriter::Close(std::string* error)
{
  if (!mFile) return false;
  const char* why = mFailed ? sf_strerror(mFile) : nullptr;
  std::string reason = why ? why : "";
  const bool closed = sf_close(mFile) == 0;
  mFile = nullptr;
  if (mFailed || !closed)
  {
    *error = "writing the tone failed" + (reason.empty() ? std::string() : ": " + reason);
    return false;
  }
  return true;
}
