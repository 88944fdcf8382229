// Plots of a sweep as PNG: distortion curves against frequency (log axis) or tone level,
// drawn with the project's raster library and text layer.
#pragma once

#include <string>
#include <vector>

class Raster_IBitmap;

struct ThdPlotSeries
{
  std::string mName;        // legend text: "THD", "THD+N", "H2", ...
  std::vector<double> mY;   // one value per x, in the y axis' unit; NaN: no value there
};

struct ThdPlotData
{
  std::string mTitle;       // one line: what was measured, with its settings
  bool mLogX = true;        // frequency sweeps: log axis
  std::string mXLabel;      // "Frequency (Hz)", "Tone level (dB)"
  std::vector<double> mX;
  std::string mYLabel;      // "dB relative to the fundamental"
  std::vector<ThdPlotSeries> mSeries;
};

// Draws the plot into bitmap (which keeps its size). Drawing never fails.
void ThdDrawPlot(const ThdPlotData& data, Raster_IBitmap& bitmap);
// Draws it at the default size and writes it as PNG; false with a one-line reason in error.
bool ThdWritePlot(const ThdPlotData& data, const std::string& path, std::string* error);
