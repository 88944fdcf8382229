// thdmeasure's command line: what the user asked for, checked so that every option given
// applies to the chosen mode and every value is usable.
#pragma once

#include "ThdDevice.h"

#include <memory>
#include <string>
#include <vector>

struct ThdReferenceSet;

enum class EThdMode { kSimulate, kWriteTone, kAnalyse };
enum class EThdSweep { kNone, kFrequency, kLevel };

// --sweep-freq FROM:TO:POINTS or --sweep-level FROM:TO:STEP.
struct ThdSweepSettings
{
  EThdSweep mKind = EThdSweep::kNone;
  double mFrom = 0.0, mTo = 0.0;
  int mPoints = 0;        // frequency sweeps
  double mStepDb = 0.0;   // level sweeps
};

struct ThdOptions
{
  EThdMode mMode = EThdMode::kSimulate;
  // Measurement, as set in the editor.
  std::string mFreqText = "300";  // what is typed into the frequency display
  double mVolumeDb = -10.0;
  int mDenoising = 12;            // seconds of averaging
  int mOutput = 0, mInput = 0;    // 0 left, 1 right
  std::string mCalibration;
  bool mNoCalibration = false;
  // Host.
  double mRate = 48000.0;
  int mBlock = 512;
  bool mDoubleBuffers = false;
  // Simulated chain.
  ThdDeviceSettings mDevice;
  int mLatency = 0;
  // Offline.
  std::string mToneFile, mCapture;
  double mStartSeconds = -1.0;  // negative: the tone's own start
  bool mDriftCorrect = false;    // --drift-correct: resample whatever the offset
  bool mNoDriftCorrect = false;  // --no-drift-correct: never (by default: when the offset moves a figure)
  bool mForce = false;
  // Sweeps.
  ThdSweepSettings mSweep;
  int mJobs = 0;             // worker threads; 0: one per core
  std::string mCsv, mPlot;   // --csv FILE, --plot FILE.png
  // The interface alone: --save-reference writes this run's harmonics as a reference;
  // --reference (once per capture of the interface) compensates this run by them.
  std::string mSaveReference;
  std::vector<std::string> mReferences;
  // Output.
  bool mJson = false, mQuiet = false;
  std::string mSnapshot;     // PNG of the editor after the run
  std::string mSnapshotDir;  // a PNG of the editor per progress message
  // Not on the command line: tests give the meter a private documents folder.
  std::string mDocumentsFolder;
  // Not on the command line: the part of a capture one step of a stepped sweep occupies
  // (frames; mCaptureTo < 0: to the end). Everything about the capture is read inside it.
  long long mCaptureFrom = 0, mCaptureTo = -1;
  // Not on the command line: the references of mReferences, read and checked (ThdLoadReferences);
  // a run that has them compensates its results by them (a sweep, each point by its own).
  std::shared_ptr<const ThdReferenceSet> mReferenceSet;
};

// Captures of the interface that --reference takes at once.
inline constexpr size_t kThdMaxReferences = 16;

// The fader's finest step, in dB: the levels the meter can be set to exactly.
inline constexpr double kThdVolumeStepDb = 0.02;
// The level on the fader's grid nearest to dB; *rounded tells whether it moved.
double ThdVolumeOnGrid(double dB, bool* rounded);

struct ThdParsed
{
  int mExit = -1;                     // -1: go on; 0 after --help; 2 for a usage error
  std::string mText;                  // the help text, or the one-line error
  std::vector<std::string> mWarnings; // options that are harmless but do nothing
};

ThdParsed ThdParseOptions(int argc, char** argv, ThdOptions& options);
