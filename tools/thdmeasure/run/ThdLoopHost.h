// The measurement tool's host: drives the plug-in object as a host does (sample rate, block
// size, Reset, blocks through the base's buffer frame with float or 64-bit host buffers) and
// closes the loop: the tone output goes through the device and comes back on the selected
// input one block plus `latency` frames later, as in a host's audio loop. After every block
// it runs what the editor's drawing pass would (the message pump).
#pragma once

#include "IThdMeter.h"
#include "ThdDevice.h"
#include "ThdInputStream.h"

#include <functional>
#include <vector>

struct ThdLoopSettings
{
  double mSampleRate = 48000.0;
  int mBlockSize = 512;
  bool mDoubleBuffers = false;
  int mLatency = 0;  // frames of round trip beyond the one block every host loop has
};

class ThdLoopHost
{
public:
  // device may be null: then the input is silent (or comes from SetInputStream).
  ThdLoopHost(IThdMeter& meter, ThdDevice* device, const ThdLoopSettings& settings);

  // Analysis of a recording instead of the live loop: the stream feeds both inputs, silence
  // once it ends. Not owned.
  void SetInputStream(ThdInputStream* stream) { mStream = stream; }
  // Sees, block by block, what the selected input carries into the meter.
  void SetInputTap(std::function<void(const double*, int)> tap) { mTap = std::move(tap); }
  // Appends every processed frame of both outputs, interleaved, to record (null: stop).
  void SetRecord(std::vector<float>* record) { mRecord = record; }

  // What runs after every block in place of the meter's own message pump (the editor's
  // timer ticks); it returns the message it handed to the meter, or 0.
  void SetMessagePump(std::function<double()> pump) { mPump = std::move(pump); }

  // One block, then the message pump. Returns the message taken (0 when none).
  double ProcessBlock();
  long long Frames() const { return mFrames; }
  int BlockSize() const { return mSettings.mBlockSize; }

private:
  template <class T> void FillInputs(std::vector<T>& in0, std::vector<T>& in1);
  template <class T> void Tap(const std::vector<T>& in);
  template <class T> void TakeOutputs(const std::vector<T>& out0, const std::vector<T>& out1);
  template <class Piece> void ForEachRingPiece(int n, Piece&& piece);

  IThdMeter& mMeter;
  ThdDevice* mDevice;
  ThdLoopSettings mSettings;
  std::vector<float> mIn0f, mIn1f, mOut0f, mOut1f;
  std::vector<double> mIn0d, mIn1d, mOut0d, mOut1d;
  std::vector<double> mRing;  // the loop's delay line: one block plus the latency
  size_t mRingPos = 0;
  ThdInputStream* mStream = nullptr;
  std::vector<float> mStreamBlock;
  std::function<void(const double*, int)> mTap;
  std::function<double()> mPump;
  std::vector<double> mTapBlock;
  std::vector<float>* mRecord = nullptr;
  long long mFrames = 0;
};
