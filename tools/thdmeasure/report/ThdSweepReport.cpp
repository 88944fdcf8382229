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

// A table cell: the value in its format, or "-" where nothing was measured.
std::string Cell(const char* fmt, double v, int width)
{
  const std::string s = std::isnan(v) ? "-" : std::isinf(v) ? (v < 0 ? "-inf" : "inf") : ThdFormat(fmt, v);
  return std::string(s.size() < (size_t)width ? (size_t)width - s.size() : 0, ' ') + s;
}

bool HasCaptures(const ThdSweepResult& r) { return r.mOptions.mMode == EThdMode::kAnalyse; }
}  // namespace

ThdSweepValues ThdSweepPointValues(const ThdSweepPoint& p)
{
  ThdSweepValues v;
  for (double& x : v.mDbfs) x = kNaN;
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
  for (const ThdSweepPoint& p : r.mPoints)
  {
    std::string row = ThdFormat("%7d  %8.1f", p.mStep.mHz, p.mStep.mVolumeDb);
    const ThdSweepValues v = ThdSweepPointValues(p);
    if (!v.mMeasured)
    {
      // Never a figure for a point that was not measured: say why instead.
      std::string why = p.mError;
      if (p.mStatus == 3)
        for (const ThdCheck& c : p.mResult.mCapture.mFailed) why += (why.empty() ? "" : "; ") + c.mMessage;
      row += "  " + std::string(p.mStatus == 3 ? "check failed: " : "not measured: ") + (why.empty() ? "no results" : why);
      std::fprintf(out, "%s\n", row.c_str());
      continue;
    }
    for (double d : v.mDbfs) row += Cell("%.2f", d, 10);
    row += Cell("%.5g", v.mThdPercent, 12) + Cell("%.2f", v.mThdDb, 10);
    row += Cell("%.5g", v.mThdNPercent, 12) + Cell("%.2f", v.mThdNDb, 10);
    if (drift)
    {
      // Hundredths of a ppm; an offset that rounds to nothing reads +0.00, not -0.00.
      const double ppm = std::round(v.mDriftPpm * 100.0) / 100.0;
      row += Cell("%+.2f", ppm == 0.0 ? 0.0 : ppm, 11);
    }
    for (double d : v.mPhaseDeg) row += Cell("%.1f", std::isfinite(d) ? ThdPhaseTenths(d) : d, 8);
    std::fprintf(out, "%s\n", row.c_str());
  }
  for (const ThdSweepPoint& p : r.mPoints)
    if (p.mStatus == 3 && o.mForce)
      for (const ThdCheck& c : p.mResult.mCapture.mFailed)
        std::fprintf(stderr, "thdmeasure: warning (forced): %s: %s\n", PointName(r, p).c_str(), c.mMessage.c_str());
}

std::string ThdSweepCsv(const ThdSweepResult& r)
{
  std::string s = "frequency_hz,volume_db,h1_dbfs,h2_dbfs,h3_dbfs,h4_dbfs,h5_dbfs,thd_percent,thd_db,thdn_percent,"
                  "thdn_db,drift_ppm,h2_phase_deg,h3_phase_deg,h4_phase_deg,h5_phase_deg,status,played_db\n";
  for (const ThdSweepPoint& p : r.mPoints)
  {
    const ThdSweepValues v = ThdSweepPointValues(p);
    s.append(std::to_string(p.mStep.mHz)).append(1, ',').append(Exact(p.mStep.mVolumeDb));
    for (double d : v.mDbfs) s.append(1, ',').append(Exact(d));
    for (double d : {v.mThdPercent, v.mThdDb, v.mThdNPercent, v.mThdNDb, v.mDriftPpm}) s.append(1, ',').append(Exact(d));
    for (double d : v.mPhaseDeg) s.append(1, ',').append(Exact(d));
    s.append(1, ',').append(std::to_string(p.mStatus));
    s.append(1, ',').append(p.mResult.mAmplitude > 0.0 ? Exact(p.mResult.mPlayedDb) : std::string()).append(1, '\n');
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
  d.mSeries = {{"THD", {}}, {"THD+N", {}}, {"H2", {}}, {"H3", {}}, {"H4", {}}, {"H5", {}}};
  for (const ThdSweepPoint& p : r.mPoints)
  {
    const ThdSweepValues v = ThdSweepPointValues(p);
    d.mX.push_back(d.mLogX ? (double)p.mStep.mHz : p.mStep.mVolumeDb);
    auto finite = [](double x) { return std::isfinite(x) ? x : kNaN; };
    d.mSeries[0].mY.push_back(finite(v.mThdDb));
    d.mSeries[1].mY.push_back(finite(v.mThdNDb));
    for (int k = 1; k < IThdMeter::kHarmonics; ++k)
      d.mSeries[k + 1].mY.push_back(finite(v.mDbfs[k] - v.mDbfs[0]));
  }
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
