// A sweep's table, CSV and JSON, and the progress line while its points are measured.

#include "ThdSweepReport.h"

#include "ThdFormat.h"
#include "ThdLevels.h"
#include "ThdReport.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>

namespace {
using Json = nlohmann::ordered_json;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Shortest text that reads back as the same double, '.' as the decimal point in any locale.
std::string Exact(double v)
{
  if (!std::isfinite(v)) return std::string();
  char buf[32];
  const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

const char* Side(int channel) { return channel ? "right" : "left"; }

bool IsFrequencySweep(const ThdSweepResult& r) { return r.mOptions.mSweep.mKind != EThdSweep::kLevel; }

std::string DeviceText(const ThdOptions& o)
{
  if (o.mMode == EThdMode::kAnalyse) return "capture " + o.mCapture;
  const ThdDeviceSettings& d = o.mDevice;
  std::string s = ThdDeviceName(d.mModel).mTitle;
  if (d.mModel == EThdDeviceModel::kSoftClip) s += ThdFormat(" (drive %g)", d.mDrive);
  if (d.mModel == EThdDeviceModel::kPolynomial)
    s += ThdFormat(" (C2..C5 %g, %g, %g, %g)", d.mPoly[0], d.mPoly[1], d.mPoly[2], d.mPoly[3]);
  if (d.mModel == EThdDeviceModel::kChain)
    s += ThdFormat(" (DAC %g, %g, %g, %g; device %g, %g, %g, %g; ADC %g, %g, %g, %g)", d.mDac[0], d.mDac[1], d.mDac[2],
                   d.mDac[3], d.mPoly[0], d.mPoly[1], d.mPoly[2], d.mPoly[3], d.mAdc[0], d.mAdc[1], d.mAdc[2], d.mAdc[3]);
  if (d.mLag > 0) s += ThdFormat(", lag %d", d.mLag);
  if (d.mGainDb != 0.0) s += ThdFormat(", gain %g dB", d.mGainDb);
  if (d.mNoise) s += ThdFormat(", noise %g dBFS", d.mNoiseDbfs);
  return s;
}

std::string EffectName(const ThdSweepResult& r)
{
  for (const ThdSweepPoint& p : r.mPoints)
    if (!p.mResult.mEffectName.empty()) return p.mResult.mEffectName;
  return "THD meter";
}

double Rate(const ThdSweepResult& r)
{
  for (const ThdSweepPoint& p : r.mPoints)
    if (p.mResult.mRate > 0.0) return p.mResult.mRate;
  return r.mOptions.mRate;
}

std::string PointName(const ThdSweepResult& r, const ThdSweepPoint& p)
{
  return IsFrequencySweep(r) ? ThdFormat("%d Hz", p.mStep.mHz) : ThdFormat("%.1f dB", p.mStep.mVolumeDb);
}

std::string RightAligned(const std::string& s, int width)
{
  return std::string(s.size() < (size_t)width ? (size_t)width - s.size() : 0, ' ') + s;
}

// A table cell: the value in its format, or "-" where nothing was measured.
std::string Cell(const char* fmt, double v, int width)
{
  return RightAligned(std::isnan(v) ? "-" : std::isinf(v) ? (v < 0 ? "-inf" : "inf") : ThdFormat(fmt, v), width);
}

// Figures in dB and in percent: "< -200" (and its percent) below the rounding floor.
std::string DbCell(const char* fmt, double db, int width)
{
  return ThdBelowFloor(db) ? RightAligned(ThdDbText(fmt, db), width) : Cell(fmt, db, width);
}
std::string PercentCell(const char* fmt, double db, double percent, int width)
{
  return ThdBelowFloor(db) ? RightAligned(ThdPercentText(fmt, db, percent), width) : Cell(fmt, percent, width);
}

// Why a point has no figures, or why its figures came despite a failed check: "" for neither.
std::string PointTrouble(const ThdSweepPoint& p, bool measured)
{
  std::string why = measured ? std::string() : p.mError;
  if (p.mStatus == 3)
    for (const ThdCheck& c : p.mResult.mCapture.mFailed) why += (why.empty() ? "" : "; ") + c.mMessage;
  if (measured) return p.mStatus == 3 ? "check failed (measured with --force): " + why : std::string();
  return std::string(p.mStatus == 3 ? "check failed: " : "not measured: ") + (why.empty() ? "no results" : why);
}

bool HasCaptures(const ThdSweepResult& r) { return r.mOptions.mMode == EThdMode::kAnalyse; }
}  // namespace

ThdSweepValues ThdSweepPointValues(const ThdSweepPoint& p)
{
  ThdSweepValues v;
  for (double& x : v.mDbfs) x = kNaN;
  for (bool& x : v.mAtNoiseFloor) x = false;
  for (double& x : v.mPhaseDeg) x = kNaN;
  v.mThdPercent = v.mThdDb = v.mThdNPercent = v.mThdNDb = v.mDriftPpm = kNaN;
  const ThdResult& r = p.mResult;
  if (r.mHaveCapture && r.mCapture.mClockKnown) v.mDriftPpm = r.mCapture.mPpm;
  // A point whose run failed, or whose checks failed unforced, has no figures at all.
  v.mMeasured = r.mMeasured && (p.mStatus == 0 || p.mStatus == 3);
  if (!v.mMeasured) return v;
  for (int k = 0; k < IThdMeter::kHarmonics; ++k)
  {
    const ThdHarmonic& h = r.mHarmonics[k];
    if (!h.mMeasured) continue;
    v.mDbfs[k] = ThdDb(h.mLevel);
    v.mAtNoiseFloor[k] = h.AtNoiseFloor();
    if (k > 0 && h.mPhaseValid) v.mPhaseDeg[k - 1] = h.mPhaseDeg;
  }
  if (r.mThdValid)
  {
    v.mThdPercent = r.mThdPercent;
    v.mThdDb = ThdDb(r.mThdPercent / 100.0);
  }
  if (r.mThdN.valid && r.mThdN.fundamentalRms > 0.0)
  {
    const double ratio = r.mThdN.Ratio();
    v.mThdNPercent = 100.0 * ratio;
    v.mThdNDb = ThdDb(ratio);
  }
  return v;
}

std::string ThdSweepSettingsText(const ThdSweepResult& r, bool brief)
{
  const ThdOptions& o = r.mOptions;
  const ThdSweepSettings& s = o.mSweep;
  const int hz = r.mPoints.empty() ? 0 : r.mPoints.front().mStep.mHz;
  std::string what = IsFrequencySweep(r)
                       ? ThdFormat("%g-%g Hz, %zu points at %.1f dB", s.mFrom, s.mTo, r.mPoints.size(), o.mVolumeDb)
                       : ThdFormat("%.1f to %.1f dB in %g dB steps at %d Hz", s.mFrom, s.mTo, s.mStepDb, hz);
  if (brief)
    return DeviceText(o) + ": " + what + ThdFormat(", %d s denoising, %g Hz", o.mDenoising, Rate(r));
  return EffectName(r) + ": " + (IsFrequencySweep(r) ? "frequency sweep " : "level sweep ") + what +
         ThdFormat(", %d s denoising, %s out, %s in; %g Hz, block %d, %s buffers; ", o.mDenoising, Side(o.mOutput),
                Side(o.mInput), Rate(r), o.mBlock, o.mDoubleBuffers ? "64-bit" : "float") +
         DeviceText(o) + ThdFormat("; %d job%s", r.mJobs, r.mJobs == 1 ? "" : "s");
}

void ThdPrintSweepTable(const ThdSweepResult& r, int, std::FILE* out)
{
  const ThdOptions& o = r.mOptions;
  for (const std::string& w : r.mWarnings) std::fprintf(stderr, "thdmeasure: warning: %s\n", w.c_str());
  if (o.mMode == EThdMode::kWriteTone)
  {
    long long frames = 0;
    for (const ThdSweepPoint& p : r.mPoints) frames += p.mResult.mToneFrames;
    const double rate = std::floor(Rate(r));
    std::fprintf(out, "Wrote %zu steps (%lld frames of tone) on the %s channel to %s:\n", r.mPoints.size(), frames,
                 Side(o.mOutput), o.mToneFile.c_str());
    for (size_t i = 0; i < r.mPoints.size(); ++i)
    {
      const ThdSweepPoint& p = r.mPoints[i];
      std::fprintf(out, "  step %3zu  %5d Hz  %5.1f dB  from %9.3f s for %.3f s\n", i + 1, p.mStep.mHz, p.mStep.mVolumeDb,
                   p.mStepStart / rate, p.mResult.mToneFrames / rate);
    }
    return;
  }

  const bool drift = HasCaptures(r);
  std::fprintf(out, "%s\n\n", ThdSweepSettingsText(r, false).c_str());
  std::string head = "     Hz  Level dB   H1 dBFS   H2 dBFS   H3 dBFS   H4 dBFS   H5 dBFS       THD %    THD dB     THD+N %  THD+N dB";
  if (drift) head += "  Drift ppm";
  head += "  H2 deg  H3 deg  H4 deg  H5 deg";
  std::fprintf(out, "%s\n", head.c_str());
  bool belowFloor = false;  // some cell reads "< -200"
  for (const ThdSweepPoint& p : r.mPoints)
  {
    std::string row = ThdFormat("%7d  %8.1f", p.mStep.mHz, p.mStep.mVolumeDb);
    const ThdSweepValues v = ThdSweepPointValues(p);
    if (!v.mMeasured)
    {
      // Never a figure for a point that was not measured: say why instead.
      row += "  " + PointTrouble(p, false);
      std::fprintf(out, "%s\n", row.c_str());
      continue;
    }
    for (double d : v.mDbfs) row += DbCell("%.2f", d, 10);
    row += PercentCell("%.5g", v.mThdDb, v.mThdPercent, 12) + DbCell("%.2f", v.mThdDb, 10);
    row += PercentCell("%.5g", v.mThdNDb, v.mThdNPercent, 12) + DbCell("%.2f", v.mThdNDb, 10);
    for (double d : {v.mDbfs[0], v.mDbfs[1], v.mDbfs[2], v.mDbfs[3], v.mDbfs[4], v.mThdDb, v.mThdNDb})
      belowFloor |= ThdBelowFloor(d);
    if (drift)
    {
      // Hundredths of a ppm; an offset that rounds to nothing reads +0.00, not -0.00.
      const double ppm = std::round(v.mDriftPpm * 100.0) / 100.0;
      row += Cell("%+.2f", ppm == 0.0 ? 0.0 : ppm, 11);
    }
    for (double d : v.mPhaseDeg) row += Cell("%.1f", std::isfinite(d) ? ThdPhaseTenths(d) : d, 8);
    std::fprintf(out, "%s\n", row.c_str());
  }
  if (belowFloor) std::fprintf(out, "%s\n", ThdFloorNote().c_str());
  ThdPrintSweepCompensation(r, out);
  for (const ThdSweepPoint& p : r.mPoints)
    if (p.mStatus == 3 && o.mForce)
      for (const ThdCheck& c : p.mResult.mCapture.mFailed)
        std::fprintf(stderr, "thdmeasure: warning (forced): %s: %s\n", PointName(r, p).c_str(), c.mMessage.c_str());
}

std::string ThdSweepCsv(const ThdSweepResult& r)
{
  std::string s = "frequency_hz,volume_db,h1_dbfs,h2_dbfs,h3_dbfs,h4_dbfs,h5_dbfs,thd_percent,thd_db,thdn_percent,"
                  "thdn_db,drift_ppm,h2_phase_deg,h3_phase_deg,h4_phase_deg,h5_phase_deg,status,played_db";
  const bool compensated = ThdSweepCompensated(r);
  if (compensated) s += ThdCompensationCsvHeader();
  s += '\n';
  for (const ThdSweepPoint& p : r.mPoints)
  {
    const ThdSweepValues v = ThdSweepPointValues(p);
    s.append(std::to_string(p.mStep.mHz)).append(1, ',').append(Exact(p.mStep.mVolumeDb));
    // Below the rounding floor a figure reads "< -200" (its percent "< 0.00000001"), never the
    // arithmetic's residue; JSON keeps the numbers.
    auto db = [](double d) { return ThdBelowFloor(d) ? ThdDbText("%g", d) : Exact(d); };
    auto percent = [](double d, double pct) { return ThdBelowFloor(d) ? ThdPercentText("%g", d, pct) : Exact(pct); };
    for (double d : v.mDbfs) s.append(1, ',').append(db(d));
    s.append(1, ',').append(percent(v.mThdDb, v.mThdPercent)).append(1, ',').append(db(v.mThdDb));
    s.append(1, ',').append(percent(v.mThdNDb, v.mThdNPercent)).append(1, ',').append(db(v.mThdNDb));
    s.append(1, ',').append(Exact(v.mDriftPpm));
    for (double d : v.mPhaseDeg) s.append(1, ',').append(Exact(d));
    s.append(1, ',').append(std::to_string(p.mStatus));
    s.append(1, ',').append(p.mResult.mAmplitude > 0.0 ? Exact(p.mResult.mPlayedDb) : std::string());
    if (compensated) s += ThdCompensationCsvRow(p);
    s.append(1, '\n');
  }
  return s;
}

bool ThdWriteSweepCsv(const ThdSweepResult& r, const std::string& path, std::string* error)
{
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  const std::string text = ThdSweepCsv(r);
  if (f) f.write(text.data(), (std::streamsize)text.size());
  if (f) f.close();
  if (!f)
  {
    *error = "cannot write the CSV file '" + path + "'";
    return false;
  }
  return true;
}

std::string ThdSweepJson(const ThdSweepResult& r, int status)
{
  const ThdOptions& o = r.mOptions;
  const ThdSweepSettings& s = o.mSweep;
  Json j;
  j["status"] = status;
  j["mode"] = o.mMode == EThdMode::kAnalyse ? "analyse" : o.mMode == EThdMode::kWriteTone ? "write_tone" : "simulate";
  Json sweep;
  sweep["kind"] = IsFrequencySweep(r) ? "frequency" : "level";
  sweep["from"] = s.mFrom;
  sweep["to"] = s.mTo;
  if (IsFrequencySweep(r)) sweep["points_asked"] = s.mPoints;
  else sweep["step_db"] = s.mStepDb;
  sweep["points"] = r.mPoints.size();
  j["sweep"] = sweep;
  j["settings"] = ThdSweepSettingsText(r, false);
  j["jobs"] = r.mJobs;
  j["warnings"] = r.mWarnings;
  Json points = Json::array();
  for (const ThdSweepPoint& p : r.mPoints)
  {
    Json point;
    point["step"] = {{"frequency_hz", p.mStep.mHz}, {"volume_db", p.mStep.mVolumeDb}};
    if (p.mStepStart >= 0) point["step"]["start_frame"] = p.mStepStart;
    point["error"] = p.mError.empty() ? Json(nullptr) : Json(p.mError);
    // The single run's report, field for field, so that a program reads a point as it reads a run.
    const Json single = Json::parse(ThdJsonReport(p.mResult, p.mStatus), nullptr, false);
    if (single.is_object())
      for (auto it = single.begin(); it != single.end(); ++it) point[it.key()] = it.value();
    points.push_back(point);
  }
  j["points"] = points;
  return j.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

ThdPlotData ThdSweepPlotData(const ThdSweepResult& r)
{
  ThdPlotData d;
  d.mTitle = ThdSweepSettingsText(r, true);
  d.mLogX = IsFrequencySweep(r);
  d.mXLabel = d.mLogX ? "Frequency (Hz)" : "Tone level (dB)";
  d.mYLabel = "dB relative to the fundamental";
  d.mFloorDb = kThdFloorDb;
  d.mFloorText = ThdFormat("below the rounding floor (%.0f dBFS)", kThdFloorDb);
  if (ThdSweepCompensated(r))
  {
    ThdCompensationPlotData(r, d);
    // A point without figures says why, as in the plain plot.
    for (const ThdSweepPoint& p : r.mPoints)
    {
      const std::string trouble = PointTrouble(p, ThdSweepPointValues(p).mMeasured);
      if (!trouble.empty())
        d.mPointNotes.push_back({d.mLogX ? (double)p.mStep.mHz : p.mStep.mVolumeDb, PointName(r, p) + ": " + trouble});
    }
    return d;
  }
  d.mSeries = {{"THD", {}, {}}, {"THD+N", {}, {}}, {"H2", {}, {}}, {"H3", {}, {}}, {"H4", {}, {}}, {"H5", {}, {}}};
  // Per harmonic H2..H5: the first point that measured others but could not measure it.
  const ThdSweepPoint* notMeasured[IThdMeter::kHarmonics] = {};
  int notMeasuredCount[IThdMeter::kHarmonics] = {}, measuredPoints = 0;
  const ThdSweepPoint* thdMissing = nullptr;
  int thdMissingCount = 0;
  for (const ThdSweepPoint& p : r.mPoints)
  {
    const ThdSweepValues v = ThdSweepPointValues(p);
    const double x = d.mLogX ? (double)p.mStep.mHz : p.mStep.mVolumeDb;
    d.mX.push_back(x);
    // THD and THD+N below the floor sit on its line by their value; harmonics by their level
    // in dBFS, whatever the fundamental, and against no fundamental at all they have no value.
    d.mSeries[0].mY.push_back(v.mThdDb);
    d.mSeries[1].mY.push_back(v.mThdNDb);
    const bool reference = std::isfinite(v.mDbfs[0]) && !ThdBelowFloor(v.mDbfs[0]);
    for (int k = 1; k < IThdMeter::kHarmonics; ++k)
    {
      ThdPlotSeries& s = d.mSeries[(size_t)k + 1];
      const bool below = reference && ThdBelowFloor(v.mDbfs[k]);
      s.mY.push_back(reference ? v.mDbfs[k] - v.mDbfs[0] : kNaN);
      s.mMarks.push_back(below                                  ? EThdPlotMark::kBelowFloor
                         : reference && v.mAtNoiseFloor[k] ? EThdPlotMark::kNoiseFloor
                                                                : EThdPlotMark::kMeasured);
      if (reference && !p.mResult.mHarmonics[k].mMeasured)
      {
        if (!notMeasured[k]) notMeasured[k] = &p;
        ++notMeasuredCount[k];
      }
    }
    measuredPoints += reference;
    // THD itself is missing where no harmonic is left to make it (a fundamental above 10 kHz).
    if (reference && !p.mResult.mThdValid)
    {
      if (!thdMissing) thdMissing = &p;
      ++thdMissingCount;
    }
    // A point with no figure at all, or one measured although a check failed, says why.
    bool any = false;
    for (const ThdPlotSeries& s : d.mSeries) any |= !std::isnan(s.mY.back());
    std::string trouble = PointTrouble(p, v.mMeasured);
    if (trouble.empty() && !any)
      trouble = "no figures (" + (p.mResult.mThdWhyNot.empty() ? std::string("no fundamental came back") : p.mResult.mThdWhyNot) + ")";
    if (!trouble.empty()) d.mPointNotes.push_back({x, PointName(r, p) + ": " + trouble});
  }
  std::string gaps;
  for (int k = 1; k < IThdMeter::kHarmonics; ++k)
  {
    if (!notMeasured[k]) continue;
    gaps += ThdFormat("%sH%d", gaps.empty() ? "" : ", ", k + 1);
    if (d.mLogX && notMeasuredCount[k] < measuredPoints) gaps += " from " + PointName(r, *notMeasured[k]);
  }
  if (!gaps.empty()) d.mNotes.push_back("Not measured where they lie above 20 kHz or at half the sample rate: " + gaps);
  if (thdMissing)
    d.mNotes.push_back("THD not measured" +
                       (d.mLogX && thdMissingCount < measuredPoints ? " from " + PointName(r, *thdMissing) : std::string()) +
                       ": " + thdMissing->mResult.mThdWhyNot);
  return d;
}

void ThdSweepTextProgress::PointDone(int done, int total, const ThdSweepPoint& p)
{
  if (!mEnabled) return;
  const bool ok = p.mStatus == 0 || (p.mStatus == 3 && p.mResult.mMeasured);
  char name[48];
  if (mLevelSweep) std::snprintf(name, sizeof name, "%.1f dB", p.mStep.mVolumeDb);
  else std::snprintf(name, sizeof name, "%d Hz", p.mStep.mHz);
  const char* state = ok ? "done" : p.mStatus == 3 ? "check failed" : "failed";
  if (!mTty)
  {
    std::fprintf(mOut, "%d/%d points, %s %s\n", done, total, name, state);
    std::fflush(mOut);
    return;
  }
  const int width = 30, filled = total > 0 ? done * width / total : width;
  std::fprintf(mOut, "\r[%s%s] %d/%d points, %s %s   ", std::string((size_t)filled, '#').c_str(),
               std::string((size_t)(width - filled), '.').c_str(), done, total, name, state);
  std::fflush(mOut);
  mOpen = true;
}

void ThdSweepTextProgress::End()
{
  if (mOpen) std::fprintf(mOut, "\n");
  mOpen = false;
}
