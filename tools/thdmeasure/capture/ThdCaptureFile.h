// Recorded captures and test-tone files, read and written in blocks through libsndfile, and
// the stream that feeds one channel of a capture to the meter, resampled through libsoxr when
// the recorder ran on its own clock.
#pragma once

#include "ThdInputStream.h"

#include <string>
#include <vector>

struct sf_private_tag;
struct soxr;

// One channel of a sound file, read block by block.
class ThdCaptureFile
{
public:
  ThdCaptureFile() = default;
  ~ThdCaptureFile();
  ThdCaptureFile(const ThdCaptureFile&) = delete;
  ThdCaptureFile& operator=(const ThdCaptureFile&) = delete;

  // Opens path for reading channel (0 = first; a mono file serves every channel). False
  // with a one-line reason in error.
  bool Open(const std::string& path, int channel, std::string* error);
  // Narrows the file to frames [from, to) (to < 0: to the end): one step of a stepped
  // recording then reads as a capture of its own. Frames(), Seek and Read count from `from`,
  // and nothing outside the window is read. False, with a reason, when the window holds no
  // frame of the file.
  bool SetWindow(long long from, long long to, std::string* error);
  int Channels() const { return mChannels; }
  double SampleRate() const { return mRate; }
  long long Frames() const { return mTo - mFrom; }
  int Channel() const { return mChannel; }
  const std::string& Path() const { return mPath; }
  // Bits of an integer sample format (8, 16, 24, 32); 0 for floating-point formats.
  int IntegerBits() const { return mBits; }

  bool Seek(long long frame);
  // Up to n frames of the channel; returns how many were read (0 at the end).
  int Read(float* out, int n);

private:
  sf_private_tag* mFile = nullptr;
  int mChannels = 0, mChannel = 0, mBits = 0;
  std::string mPath;
  double mRate = 0.0;
  long long mFrames = 0;
  long long mFrom = 0, mTo = 0;  // the window, in frames of the file
  long long mFilePos = 0;        // the file's read position
  std::vector<float> mInterleaved;
  int mBufPos = 0, mBufLen = 0;  // frames of mInterleaved served, and held
};

// The channel from a start frame on, optionally resampled by a ratio (output frames per input
// frame) with libsoxr's very-high-quality resampler. Fills blocks for the host loop.
class ThdCaptureStream : public ThdInputStream
{
public:
  // file must stay open while the stream is used. ratio 1 reads the samples as they are.
  ThdCaptureStream(ThdCaptureFile& file, long long startFrame, double ratio);
  ~ThdCaptureStream() override;
  bool Ok() const { return mOk; }
  const std::string& Error() const { return mError; }
  int Read(float* out, int n) override;

private:
  ThdCaptureFile& mFile;
  soxr* mResampler = nullptr;
  bool mOk = true, mInputEnded = false;
  std::string mError;
  std::vector<float> mIn;
  size_t mInPos = 0, mInLen = 0;
};

// Writes interleaved float frames to a WAV file (32-bit float), block by block.
class ThdToneWriter
{
public:
  ~ThdToneWriter();
  bool Open(const std::string& path, int channels, int sampleRate, std::string* error);
  bool Write(const float* interleaved, long long frames);
  bool Close(std::string* error);

private:
  sf_private_tag* mFile = nullptr;
  int mChannels = 0;
  bool mFailed = false;
};
