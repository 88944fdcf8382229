// A sweep's compensation for the interface: its table, its CSV columns and its plot.
#include "ThdFormat.h"
#include "ThdLevels.h"
#include "ThdReport.h"
#include "ThdSweepReport.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Shortest text that reads back as the same double; empty for what is not a finite number.
std::string Exact(double v)
{
  if (!std::isfinite(v)) return std::string();
  char buf[32];
  const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

// The point's compensation when it has figures; null otherwise.
const ThdCompensation* Figures(const ThdSweepPoint& p)
{
  const ThdCompensation& c = p.mResult.mCompensation;
  const bool measured = p.mResult.mMeasured && (p.mStatus == 0 || p.mStatus == 3);
  return measured && c.mApplied && c.mPossible ? &c : nullptr;
}

// A table cell of a compensated level: the figure, or "<" and the bound.
std::string Cell(bool figure, double value, double bound, int width)
{
  const double db = ThdDb(figure ? value : bound);
  // Below the rounding floor a figure or a bound is "< -200", as in the other tables.
  std::string s = ThdBelowFloor(db)     ? ThdDbText("%.2f", db)
                  : std::isfinite(db) ? ThdFormat("%s%.2f", figure ? "" : "<", db)
                                      : std::string("-");
  return std::string(s.size() < (size_t)width ? (size_t)width - s.size() : 0, ' ') + s;
}

std::string Right(const std::string& s, int width)
{
  return std::string(s.size() < (size_t)width ? (size_t)width - s.size() : 0, ' ') + s;
}
}  // namespace

bool ThdSweepCompensated(const ThdSweepResult& r)
{
  for (const ThdSweepPoint& p : r.mPoints)
    if (p.mResult.mCompensation.mApplied) return true;
  return false;
}

void ThdPrintSweepCompensation(const ThdSweepResult& r, std::FILE* out)
{
  const ThdCompensation* any = nullptr;
  for (const ThdSweepPoint& p : r.mPoints)
    if (p.mResult.mCompensation.mApplied) any = &p.mResult.mCompensation;
  if (!any) return;
  std::fprintf(out, "\nCompensated for the interface with %s; THD+N is not compensated (noise does not subtract):\n",
               ThdReferencesText(*any).c_str());
  std::fprintf(out, "     Hz  Level dB   Gain dB     H2 dBFS     H3 dBFS     H4 dBFS     H5 dBFS      THD dB   "
                    "THD range dB  Uncert. dB  Ref. THD dB\n");
  for (const ThdSweepPoint& p : r.mPoints)
  {
    std::string row = ThdFormat("%7d  %8.1f", p.mStep.mHz, p.mStep.mVolumeDb);
    const ThdCompensation* c = Figures(p);
    if (!c)
    {
      const ThdCompensation& why = p.mResult.mCompensation;
      row += "  not compensated: " +
             (why.mApplied && !why.mWhyNot.empty() ? why.mWhyNot : std::string("the point was not measured"));
      std::fprintf(out, "%s\n", row.c_str());
      continue;
    }
    row += Right(ThdFormat("%+.2f", c->mGainDb), 10);
    for (const ThdCompensatedHarmonic& h : c->mHarmonics)
      row += h.mMeasured ? Cell(h.mIsFigure, h.mCompensated, h.mUpperBound, 12) : Right("-", 12);
    row += Cell(c->mThdIsFigure, c->mThdCompensated, c->mThdUpperBound, 12);
    const std::string range =
      c->mThdIsFigure ? ThdFormat("+%.2f/-%.2f", ThdDb(1.0 + c->mThdUncertainty / c->mThdCompensated),
                                  -ThdDb(1.0 - c->mThdUncertainty / c->mThdCompensated))
                      : std::string("-");
    row += Right(range, 15) + Right(ThdDbText("%.2f", ThdDb(c->mThdUncertainty)), 12) +
           Right(ThdDbText("%.2f", ThdDb(c->mThdReference)), 13);
    std::fprintf(out, "%s\n", row.c_str());
  }
}

std::string ThdCompensationCsvHeader()
{
  std::string s = ",device_gain_db";
  for (const char* column : {"ref_h%d_dbfs", "comp_h%d_dbfs", "comp_h%d_bound_dbfs", "comp_h%d_uncertainty_dbfs"})
    for (int k = 2; k <= 5; ++k) s += "," + ThdFormat(column, k);
  return s + ",ref_thd_db,comp_thd_db,comp_thd_bound_db,comp_thd_uncertainty_db";
}

std::string ThdCompensationCsvRow(const ThdSweepPoint& p)
{
  // A compensated figure or its bound, never both: the other column stays empty.
  double gain = kNaN, ref[4], comp[4], bound[4], unc[4], thd[4] = {kNaN, kNaN, kNaN, kNaN};
  for (int i = 0; i < 4; ++i) ref[i] = comp[i] = bound[i] = unc[i] = kNaN;
  if (const ThdCompensation* c = Figures(p))
  {
    gain = c->mGainDb;
    for (int i = 0; i < 4; ++i)
    {
      const ThdCompensatedHarmonic& h = c->mHarmonics[i];
      if (!h.mMeasured) continue;
      ref[i] = ThdDb(h.mReferenceLevel);
      (h.mIsFigure ? comp[i] : bound[i]) = ThdDb(h.mIsFigure ? h.mCompensated : h.mUpperBound);
      unc[i] = ThdDb(h.mUncertainty);
    }
    thd[0] = ThdDb(c->mThdReference);
    (c->mThdIsFigure ? thd[1] : thd[2]) = ThdDb(c->mThdIsFigure ? c->mThdCompensated : c->mThdUpperBound);
    thd[3] = ThdDb(c->mThdUncertainty);
  }
  // Below the rounding floor "< -200", as the sweep's own columns.
  auto db = [](double d) { return ThdBelowFloor(d) ? ThdDbText("%g", d) : Exact(d); };
  std::string s = "," + Exact(gain);
  for (const double* column : {ref, comp, bound, unc})
    for (int i = 0; i < 4; ++i) s += "," + db(column[i]);
  for (double v : thd) s += "," + db(v);
  return s;
}

void ThdCompensationPlotData(const ThdSweepResult& r, ThdPlotData& d)
{
  d.mTitle += ", compensated for the interface";
  d.mSeries = {{"THD measured", {}, {}}, {"THD+N", {}, {}}, {"THD of the interface", {}, {}},
               {"THD compensated", {}, {}}, {"its uncertainty", {}, {}}};
  for (const ThdSweepPoint& p : r.mPoints)
  {
    d.mX.push_back(d.mLogX ? (double)p.mStep.mHz : p.mStep.mVolumeDb);
    const ThdSweepValues v = ThdSweepPointValues(p);
    const ThdCompensation* c = Figures(p);
    // -inf (nothing at all) sits on the floor line like any figure below it.
    auto finite = [](double x) { return std::isnan(x) || (x > 0.0 && std::isinf(x)) ? kNaN : x; };
    d.mSeries[0].mY.push_back(finite(v.mThdDb));
    d.mSeries[1].mY.push_back(finite(v.mThdNDb));
    d.mSeries[2].mY.push_back(c ? finite(ThdDb(c->mThdReference)) : kNaN);
    d.mSeries[3].mY.push_back(c ? finite(ThdDb(c->mThdIsFigure ? c->mThdCompensated : c->mThdUpperBound)) : kNaN);
    d.mSeries[3].mMarks.push_back(c && !c->mThdIsFigure ? EThdPlotMark::kUpperBound : EThdPlotMark::kMeasured);
    d.mSeries[4].mY.push_back(c ? finite(ThdDb(c->mThdUncertainty)) : kNaN);
  }
}
