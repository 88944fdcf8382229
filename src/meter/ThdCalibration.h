// The calibration of the user's measuring chain: a table of frequency and level points, read
// once from a calibration file in the meter's documents folder, and the divisor it gives each
// harmonic at every Start. Used on the thread that builds the plug-in and on the editor
// thread; the audio thread sees only the divisors, through the engine's start request.
#pragma once

#include "CalibrationParser.h"

class ThdCalibration
{
public:
  static constexpr int kMaxPoints = 10000;

  enum class ELoadResult
  {
    kNoFile,     // no calibration file in the folder
    kRead,       // a file was read (IsLoaded tells whether it gave a table of 2 points or more)
    kUnopenable  // a file was found but cannot be opened; the caller tells the user
  };

  // Finds the calibration file in folder ("*.frd", then "*.cal", then "*.txt"; of the first
  // pattern with matches, the first the platform lists) and reads it.
  ELoadResult LoadFromFolder(const char* folder);
  // Reads the file at path in place of the table (tools); null drops the table. False, with
  // no table, when the file cannot be opened.
  bool LoadFile(const char* path);

  // A table of at least 2 points was read: 1, else 0.
  int IsLoaded() const { return mCalibrationLoaded; }
  // Complete points read (also when they were too few for a table).
  int GetCount() const { return mCalibrationCount; }
  // The file's name without its folder, and its full path; empty when none was found.
  const char* GetName() const { return mCalibrationName; }
  const char* GetPath() const { return mCalibrationPath; }
  const double* GetFrequencies() const { return mCalibrationFrequency; }
  const double* GetLevels() const { return mCalibrationLevel; }
  // The linear divisor of a harmonic at hz: the chain's response there (CalibrationDivisor),
  // 1.0 without a table.
  double Divisor(double hz) const;

  // The search and the reading alone (tests): the file's name and path, false when nothing
  // matches; the number of complete points read, or -1 when the file cannot be opened.
  static bool FindFile(const char* folder, char* name, int nameSize, char* path, int pathSize);
  static int ReadFile(const char* path, double* frequencies, double* levels, int maxPoints);

private:
  char mCalibrationName[256] = {};
  char mCalibrationPath[1024] = {};
  int mCalibrationLoaded = 0;
  int mCalibrationCount = 0;
  double mCalibrationFrequency[kMaxPoints] = {};
  double mCalibrationLevel[kMaxPoints] = {};
};
