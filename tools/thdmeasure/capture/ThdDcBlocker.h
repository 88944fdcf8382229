// DC and subsonic content taken out of a capture before its tone is looked for: a recorder's
// offset would otherwise stand above the start threshold from the first sample on, and sit in
// every level the checks compare. Only finding and checking the tone go through it; what the
// meter measures is the capture as it is.
#pragma once

#include <cmath>

// A first-order high-pass at 5 Hz. It starts settled on the first sample (an offset that was
// there from the start is gone from the start), and a tone's first quarter period passes
// within a few parts in a thousand, so the tone's start is found where it is. At 20 Hz it
// takes 0.26 dB, the same in every second.
class ThdDcBlocker
{
public:
  explicit ThdDcBlocker(double sampleRate)
    : mPole(sampleRate > 0.0 ? 1.0 / (1.0 + 2.0 * 3.14159265358979323846 * kCornerHz / sampleRate) : 0.0)
  {
  }
  double Process(double x)
  {
    if (!mStarted)
    {
      mStarted = true;
      mLastIn = x;
    }
    mOut = mPole * (mOut + x - mLastIn);
    mLastIn = x;
    return mOut;
  }

  static constexpr double kCornerHz = 5.0;

private:
  double mPole;
  bool mStarted = false;
  double mLastIn = 0.0, mOut = 0.0;
};
