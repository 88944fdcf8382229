// Plots of a sweep as PNG: distortion curves against frequency (log axis) or tone level,
// drawn with the project's raster library and text layer.
#pragma once

#include "ThdLevels.h"

#include <string>
#include <vector>

class Raster_IBitmap;

// What a value stands for beyond its number, and so how it is drawn.
enum class EThdPlotMark : unsigned char
{
  kMeasured,    // a point of the curve: a filled marker joined to its neighbours
  kNoiseFloor,  // a harmonic at the noise floor: an open marker, dotted to its neighbours
  kBelowFloor,  // below the rounding floor: an open marker on the axis' floor line, joined to nothing
  kUpperBound,  // only an upper bound (the true value lies below it): a bar with an arrow down,
                // joined to nothing
};

struct ThdPlotSeries
{
  std::string mName;        // legend text: "THD", "THD+N", "H2", ...
  std::vector<double> mY;   // one value per x, in the y axis' unit; NaN: no value there
  std::vector<EThdPlotMark> mMarks;  // one per value; missing ones are kMeasured
};

// A point with no value in any series (a failed check, a point not measured): a marker at its
// x and a numbered note under the plot saying why.
struct ThdPlotNote
{
  double mX = 0.0;
  std::string mText;  // "2000 Hz: not measured: ..."
};

struct ThdPlotData
{
  std::string mTitle;       // one line: what was measured, with its settings
  bool mLogX = true;        // frequency sweeps: log axis
  std::string mXLabel;      // "Frequency (Hz)", "Tone level (dB)"
  std::vector<double> mX;
  std::string mYLabel;      // "dB relative to the fundamental"
  std::vector<ThdPlotSeries> mSeries;
  // The y axis never reaches below this: values under it, and those marked kBelowFloor, sit on
  // the axis' bottom line. mFloorText says in the legend what they are.
  double mFloorDb = kThdFloorDb;
  std::string mFloorText = "below the rounding floor";
  std::vector<ThdPlotNote> mPointNotes;
  std::vector<std::string> mNotes;  // further lines under the plot
};

// The right axis' labels for a dB axis from loDb to hiDb: one at every multiple of 20 dB, from
// the bottom up ("0.001 %" at -100 dB, "100 %" at 0 dB), all in one notation.
std::vector<std::string> ThdPlotPercentLabels(double loDb, double hiDb);

// Draws the plot into bitmap (which keeps its size). Drawing never fails.
void ThdDrawPlot(const ThdPlotData& data, Raster_IBitmap& bitmap);
// Draws it at the default size and writes it as PNG; false with a one-line reason in error.
bool ThdWritePlot(const ThdPlotData& data, const std::string& path, std::string* error);
