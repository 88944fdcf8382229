// thdmeasure's reports of a run: text for people, one JSON object for programs, and the
// progress display while a run goes.
#pragma once

#include "ThdRun.h"

#include <cstdio>
#include <string>

// Prints the report of a finished (or refused) run as text.
void ThdPrintTextReport(const ThdResult& result, int status, std::FILE* out);
// The report as one JSON object.
std::string ThdJsonReport(const ThdResult& result, int status);

// Progress texts: one line each, or on a terminal a bar redrawn in place.
class ThdTextProgress : public ThdProgressSink
{
public:
  // header: print what is measured before the first progress text.
  ThdTextProgress(bool header, bool enabled, bool tty) : mHeader(header), mEnabled(enabled), mTty(tty) {}
  void Begin(const ThdResult& result) override;
  void Progress(const char* text, double fraction) override;
  void End(bool completed) override;

private:
  bool mHeader, mEnabled, mTty;
  bool mOpen = false;
};

// Shared wording.
// A phase in degrees rounded to tenths for display, in (-180, 180]: a phase a hair short of
// -180 reads 180.0 and one a hair below 0 reads 0.0, never "-0.0".
double ThdPhaseTenths(double degrees);
std::string ThdBandText(double lowHz, double highHz);
// The DC offset over the averaging window: "+0.050000 of full scale (-26.0 dB)".
std::string ThdDcText(const ThdNoiseResult& noise);
std::string ThdThdHarmonicsText(const std::vector<int>& includes);
// The references behind a compensation and what their uncertainty holds: "iface.json (1
// capture: the noise bound only, not the interface's repeatability)".
std::string ThdReferencesText(const ThdCompensation& compensation);
// A compensated magnitude as text, in dB with its unit ("dBFS" for harmonic levels, "dB" for
// THD): "-120.00 dBFS +0.02/-0.02 dB" for a figure, "< -148.20 dBFS" for an upper bound.
std::string ThdCompensatedText(bool figure, double value, double uncertainty, double upperBound, const char* unit);
// Prints the compensation block of a run's report.
void ThdPrintCompensation(const ThdResult& result, std::FILE* out);
// A ratio in percent in fmt, or "< 0.00000001" where its dB figure lies below the rounding floor.
std::string ThdPercentText(const char* fmt, double db, double percent);
// The one line that says what "< -200" means, printed once under a report that uses it.
std::string ThdFloorNote();
