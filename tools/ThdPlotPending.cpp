// Stands in for the plot until its drawing code is merged; the real definitions replace these.
#include "ThdPlot.h"

__attribute__((weak)) void ThdDrawPlot(const ThdPlotData&, Raster_IBitmap&) {}

__attribute__((weak)) bool ThdWritePlot(const ThdPlotData&, const std::string& path, std::string* error)
{
  *error = "cannot write the plot '" + path + "': this build draws no plots";
  return false;
}
