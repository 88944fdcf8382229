// thdmeasure's reports of a sweep: a table for people, CSV and one JSON object for programs,
// the plot's data, and the progress display while the points are measured.
#pragma once

#include "ThdPlot.h"
#include "ThdSweep.h"

#include <cstdio>
#include <string>

// What a point measured, in the units the reports print; NaN where nothing was measured (a
// failed point, a harmonic above the band, a phase lost in the noise). Figures below the
// rounding floor keep their numbers here (-inf for nothing at all); the reports print them as
// "< -200".
struct ThdSweepValues
{
  bool mMeasured = false;
  double mDbfs[IThdMeter::kHarmonics];       // H1..H5
  bool mAtNoiseFloor[IThdMeter::kHarmonics];  // not clearly above the noise
  double mThdPercent, mThdDb, mThdNPercent, mThdNDb;
  double mDriftPpm;                          // captures only
  double mPhaseDeg[IThdMeter::kHarmonics - 1];  // H2..H5
};
ThdSweepValues ThdSweepPointValues(const ThdSweepPoint& point);

// One line: what was swept, through what, with which settings. brief: for the plot's title.
std::string ThdSweepSettingsText(const ThdSweepResult& result, bool brief);

// The table, one row per point, after a line with the settings; warnings and failed checks go
// to standard error.
void ThdPrintSweepTable(const ThdSweepResult& result, int status, std::FILE* out);
// One row per point (header row first), '.' as the decimal point whatever the locale.
std::string ThdSweepCsv(const ThdSweepResult& result);
bool ThdWriteSweepCsv(const ThdSweepResult& result, const std::string& path, std::string* error);
// The sweep as one JSON object; each point carries what a single run's JSON report carries.
std::string ThdSweepJson(const ThdSweepResult& result, int status);
// THD, THD+N and H2..H5 in dB relative to the fundamental, against frequency or tone level;
// harmonics below the rounding floor marked to sit on the floor line, those at the noise floor
// marked as such, and a note for each point without figures and for harmonics not measured.
// Compensated for the interface, its series are measured, reference and compensated THD (its
// upper bounds marked), the compensated THD's uncertainty and THD+N.
ThdPlotData ThdSweepPlotData(const ThdSweepResult& result);

// Whether the sweep's points were compensated for the interface (--reference).
bool ThdSweepCompensated(const ThdSweepResult& result);
// The compensation table of a sweep, one row per point.
void ThdPrintSweepCompensation(const ThdSweepResult& result, std::FILE* out);
// The compensation's CSV columns: the header's, and one point's (each starting with a comma).
std::string ThdCompensationCsvHeader();
std::string ThdCompensationCsvRow(const ThdSweepPoint& point);
// The plot's series of a compensated sweep (into data, whose axes are set).
void ThdCompensationPlotData(const ThdSweepResult& result, ThdPlotData& data);

// Progress of the points: a bar redrawn in place on a terminal, plain lines otherwise.
class ThdSweepTextProgress : public ThdSweepProgress
{
public:
  // levelSweep: points are named by their tone level rather than their frequency.
  ThdSweepTextProgress(bool enabled, bool tty, bool levelSweep, std::FILE* out = stdout)
    : mEnabled(enabled), mTty(tty), mLevelSweep(levelSweep), mOut(out) {}
  void PointDone(int done, int total, const ThdSweepPoint& point) override;
  void End() override;

private:
  bool mEnabled, mTty, mLevelSweep;
  std::FILE* mOut;
  bool mOpen = false;
};
