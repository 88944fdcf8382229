// Examines a recorded capture before the meter measures it: is there a tone, at the chosen
// frequency, unclipped, finite, steady, long enough for the averaging window; where does it
// start; on what clock was it recorded. Each failed check says what is wrong and what to do.
#pragma once

#include "ThdCaptureFile.h"
#include "ThdLevels.h"
#include "ThdToneTracker.h"

#include <string>
#include <vector>

struct ThdCheck
{
  std::string mId;       // "frequency", "too-short", ...
  std::string mMessage;  // what is wrong and what to do, one line
};

struct ThdExamineSettings
{
  int mHz = 300;               // the frequency the meter will measure
  int mSeconds = 12;           // its averaging window (the run is one settling second more)
  double mStartSeconds = -1.0; // where the run starts; negative: at the tone's start
  bool mDriftCorrect = false;    // resample by the measured clock offset whatever it is
  bool mNoDriftCorrect = false;  // never resample (by default: whenever the offset moves a figure)
  int mHighestHarmonic = 5;      // the highest harmonic the run reports
  long long mFrameOffset = 0;  // a window of a longer recording: where it starts there, so
                               // that messages give times in the whole recording
};

struct ThdCaptureReport
{
  long long mFrames = 0;
  double mRate = 0.0;
  long long mNonFinite = 0, mClipped = 0;
  double mLoudestDbfs = kThdNothingDbfs;  // loudest 10 ms, dBFS (a full-scale sine reads 0)
  double mDominantHz = 0.0, mToneShare = 0.0;
  ThdToneTrack mTrack;
  long long mStartFrame = 0;     // the meter's run starts here
  bool mStartGiven = false;
  bool mClockKnown = false;
  double mPpm = 0.0;             // capture's tone over the expected frequency, - 1, in ppm
  double mPpmUncertainty = 0.0;  // its standard error
  double mDriftLossDb = 0.0;     // what that offset costs H1 over the window, uncorrected
  bool mDriftCorrected = false;  // the capture is resampled by the offset before it is measured
  double mResampleRatio = 1.0;   // output frames per capture frame when correcting
  std::vector<ThdCheck> mFailed;
  std::vector<std::string> mWarnings;
};

// Two passes over the file's channel (the file is left open for the measurement itself).
// False only when the file cannot be read.
bool ThdExamineCapture(ThdCaptureFile& file, const ThdExamineSettings& settings, ThdCaptureReport* report,
                       std::string* error);
