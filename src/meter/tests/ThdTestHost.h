// Shared by the meter's tests: a small host loop that closes the tone output back onto an
// input through a device function, one block of delay, like a host's audio loop.
#pragma once

#include "IThdMeter.h"
#include "ThdTestFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

// What the editor would do for a user action: push the parameter, then tell the meter.
inline void PressControl(IThdMeter& meter, int tag, double value)
{
  meter.SetParameterFromGUI(tag, value);
  meter.from_GUI(tag);
}

inline void TypeFrequency(IThdMeter& meter, const char* text)
{
  meter.SetFrequencyEntry(text);
  meter.from_GUI(kTagFrequencyEntry);
}

struct ThdMessage
{
  double mValue;
  int mSampleCount;  // frames processed when the message was taken
  std::string mText;
};

class ThdTestLoop
{
public:
  ThdTestLoop(IThdMeter& meter, double rate, int block) : mMeter(meter), mBlock(block)
  {
    for (auto* v : {&mIn0, &mIn1, &mOut0, &mOut1}) v->assign((size_t)block, 0.0);
    mMeter.HostPrepare(rate, block);
  }

  // One block: inputs from the device's answer to the last block, then process, then the
  // editor's drawing pass (the message pump). Returns the message taken, or 0.
  double Block(int nFrames = -1)
  {
    if (nFrames < 0) nFrames = mBlock;
    const bool right = mWireInput < 0 ? mMeter.GetInputChannel() != 0.0 : mWireInput == 1;
    for (int i = 0; i < nFrames; ++i)
    {
      const double x = i < (int)mReturn.size() ? mReturn[(size_t)i] : 0.0;
      mIn0[(size_t)i] = right ? mOther : x;
      mIn1[(size_t)i] = right ? x : mOther;
    }
    double* ins[2] = {mIn0.data(), mIn1.data()};
    double* outs[2] = {mOut0.data(), mOut1.data()};
    mMeter.HostProcess(ins, outs, nFrames);
    const std::vector<double>& toneOut = mWireRight ? mOut1 : mOut0;
    mReturn.resize((size_t)nFrames);
    for (int i = 0; i < nFrames; ++i) mReturn[(size_t)i] = mDevice ? mDevice(toneOut[(size_t)i]) : toneOut[(size_t)i];
    mFrames += nFrames;
    const double msg = mMeter.PumpEditorMessage();
    if (msg != 0.0) mMessages.push_back({msg, mMeter.GetSampleCount(), mMeter.GetMessageText()});
    return msg;
  }

  // Runs blocks until the results message arrives or maxFrames have passed.
  bool RunToResults(long long maxFrames)
  {
    while (mFrames < maxFrames)
      if (Block() == kMessageResults) return true;
    return false;
  }

  int ProgressCount() const
  {
    int n = 0;
    for (const auto& m : mMessages) n += m.mValue == kMessageProgress;
    return n;
  }

  IThdMeter& mMeter;
  int mBlock;
  std::function<double(double)> mDevice;  // null: plain loop-back
  bool mWireRight = false;                // which output feeds the device
  int mWireInput = -1;                    // the input it answers on (-1: the one the meter reads)
  double mOther = 0.0;                    // what the other input carries
  long long mFrames = 0;
  std::vector<double> mIn0, mIn1, mOut0, mOut1, mReturn;
  std::vector<ThdMessage> mMessages;
};
