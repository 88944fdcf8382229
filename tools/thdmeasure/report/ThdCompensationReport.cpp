// The compensation block of a single run's text report and the texts it shares with sweeps.
#include "ThdFormat.h"
#include "ThdLevels.h"
#include "ThdReport.h"

#include <cmath>

namespace {
// A level in dB, its unit after it; "< -200" below the rounding floor (nothing at all too),
// where only the arithmetic's residue lies.
std::string DbText(double linear, const char* unit)
{
  return ThdDbText("%.2f", ThdDb(linear)) + " " + unit;
}
}  // namespace

std::string ThdReferencesText(const ThdCompensation& c)
{
  std::string files;
  for (const std::string& f : c.mFiles) files += (files.empty() ? "" : ", ") + f;
  if (c.mCaptures >= 2)
    return files + ThdFormat(" (%d captures of the interface: their spread counts)", c.mCaptures);
  return files + " (1 capture of the interface: the noise bound only, not the interface's repeatability)";
}

std::string ThdCompensatedText(bool figure, double value, double uncertainty, double upperBound, const char* unit)
{
  if (!figure) return ThdBelowFloor(ThdDb(upperBound)) ? DbText(upperBound, unit) : "< " + DbText(upperBound, unit);
  // A figure stands at least twice its uncertainty above nothing: the range stays finite.
  const double up = ThdDb(1.0 + uncertainty / value), down = ThdDb(1.0 - uncertainty / value);
  return DbText(value, unit) + ThdFormat(" +%.2f/-%.2f dB", up, -down);
}

void ThdPrintCompensation(const ThdResult& r, std::FILE* out)
{
  const ThdCompensation& c = r.mCompensation;
  if (!c.mApplied) return;
  std::fprintf(out, "Compensated for the interface with %s:\n", ThdReferencesText(c).c_str());
  if (!c.mPossible)
  {
    std::fprintf(out, "  not possible: %s\n", c.mWhyNot.c_str());
    return;
  }
  std::fprintf(out, "  device gain assumed %+.2f dB (this run's fundamental over the reference's)\n", c.mGainDb);
  // One row per harmonic, then the THD: the label, then measured, reference (scaled to this
  // run's fundamental), compensated and its uncertainty.
  auto row = [out](const std::string& label, const std::string& measured, const std::string& reference,
                   const std::string& compensated, const std::string& uncertainty) {
    std::fprintf(out, "  %-13s %14s %14s   %-31s %s\n", label.c_str(), measured.c_str(), reference.c_str(),
                 compensated.c_str(), uncertainty.c_str());
  };
  row("", "measured", "reference", "compensated", "uncertainty");
  for (const ThdCompensatedHarmonic& h : c.mHarmonics)
  {
    if (!h.mMeasured) continue;
    row(ThdFormat("H%d %6lld Hz", h.mK, r.mHarmonics[h.mK - 1].mHz), DbText(h.mMeasuredLevel, "dBFS"),
        DbText(h.mReferenceLevel, "dBFS"),
        ThdCompensatedText(h.mIsFigure, h.mCompensated, h.mUncertainty, h.mUpperBound, "dBFS"),
        DbText(h.mUncertainty, "dBFS"));
  }
  row("THD (" + ThdThdHarmonicsText(c.mIncludes) + ")", DbText(c.mThdMeasured, "dB"), DbText(c.mThdReference, "dB"),
      ThdCompensatedText(c.mThdIsFigure, c.mThdCompensated, c.mThdUncertainty, c.mThdUpperBound, "dB"),
      DbText(c.mThdUncertainty, "dB"));
  std::fprintf(out, "  THD+N is not compensated: noise does not subtract\n");
}
