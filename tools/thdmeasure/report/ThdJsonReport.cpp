// A run as one JSON object (nlohmann/json): every figure the text report prints, with null for
// what has no figure.

#include "ThdReport.h"

#include "ThdLevels.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace {
using Json = nlohmann::ordered_json;

// Numbers that are not finite have no JSON spelling: they are null, as unmeasured values are.
Json Number(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }
Json Db(double linear) { return Number(ThdDb(linear)); }
const char* Side(int channel) { return channel ? "right" : "left"; }

// The interface's compensation: measured, reference and compensated figures with their
// uncertainty; a compensated figure that is only an upper bound is null, its bound beside it.
Json CompensationJson(const ThdCompensation& c)
{
  Json j;
  j["references"] = c.mFiles;
  j["captures"] = c.mCaptures;
  j["repeatability_counted"] = c.mCaptures >= 2;
  j["possible"] = c.mPossible;
  if (!c.mPossible)
  {
    j["not_possible"] = c.mWhyNot;
    return j;
  }
  j["device_gain_db"] = Number(c.mGainDb);
  Json harmonics = Json::array();
  for (const ThdCompensatedHarmonic& h : c.mHarmonics)
  {
    Json hj;
    hj["harmonic"] = h.mK;
    hj["measured"] = h.mMeasured;
    if (h.mMeasured)
    {
      hj["measured_dbfs"] = Db(h.mMeasuredLevel);
      hj["reference_dbfs"] = Db(h.mReferenceLevel);
      hj["reference_phase_deg"] = Number(h.mReferencePhaseDeg);
      hj["compensated_dbfs"] = h.mIsFigure ? Db(h.mCompensated) : Json(nullptr);
      hj["upper_bound_dbfs"] = h.mIsFigure ? Json(nullptr) : Db(h.mUpperBound);
      hj["uncertainty_dbfs"] = Db(h.mUncertainty);
    }
    harmonics.push_back(hj);
  }
  j["harmonics"] = harmonics;
  auto both = [](double ratio) { return Json{{"db", Db(ratio)}, {"percent", Number(100.0 * ratio)}}; };
  j["thd"] = {{"measured", both(c.mThdMeasured)},
              {"reference", both(c.mThdReference)},
              {"compensated", c.mThdIsFigure ? both(c.mThdCompensated) : Json(nullptr)},
              {"upper_bound", c.mThdIsFigure ? Json(nullptr) : both(c.mThdUpperBound)},
              {"uncertainty", both(c.mThdUncertainty)}};
  j["thd_n_compensated"] = false;
  return j;
}
}  // namespace

std::string ThdJsonReport(const ThdResult& r, int status)
{
  const ThdOptions& o = r.mOptions;
  Json j;
  j["status"] = status;
  if (o.mMode == EThdMode::kWriteTone)
  {
    j["tone_file"] = o.mToneFile;
    j["frames"] = r.mToneFrames;
    j["sample_rate"] = r.mRate;
    j["frequency_hz"] = Number(r.mFrequency);
    j["volume_db"] = o.mVolumeDb;
    j["played_db"] = Number(r.mPlayedDb);
    j["output"] = Side(o.mOutput);
    return j.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
  }
  j["frequency_hz"] = Number(r.mFrequency);
  j["sample_rate"] = r.mRate;
  j["block_size"] = o.mBlock;
  j["buffers"] = o.mDoubleBuffers ? "double" : "float";
  j["denoising_seconds"] = o.mDenoising;
  j["volume_db"] = o.mVolumeDb;
  j["played_db"] = Number(r.mPlayedDb);
  j["amplitude"] = Number(r.mAmplitude);
  j["output"] = Side(o.mOutput);
  j["input"] = Side(o.mInput);
  if (r.mHaveCapture)
  {
    const ThdCaptureReport& c = r.mCapture;
    Json cap;
    cap["file"] = o.mCapture;
    cap["channels"] = r.mCaptureChannels;
    cap["frames"] = c.mFrames;
    cap["loudest_dbfs"] = Number(c.mLoudestDbfs);
    cap["dominant_hz"] = c.mDominantHz > 0.0 ? Json(c.mDominantHz) : Json(nullptr);
    cap["tone_start_s"] = c.mTrack.found ? Json(c.mTrack.start / r.mRate) : Json(nullptr);
    cap["tone_end_s"] = c.mTrack.found ? Json(c.mTrack.end / r.mRate) : Json(nullptr);
    cap["measured_from_s"] = c.mStartFrame / r.mRate;
    cap["start_given"] = c.mStartGiven;
    cap["clock_offset_ppm"] = c.mClockKnown ? Json(c.mPpm) : Json(nullptr);
    cap["clock_offset_uncertainty_ppm"] = c.mClockKnown ? Json(c.mPpmUncertainty) : Json(nullptr);
    cap["drift_corrected"] = c.mDriftCorrected;
    cap["dc_offset"] = r.mThdN.valid ? Number(r.mThdN.dcOffset) : Json(nullptr);
    cap["clipped_samples"] = c.mClipped;
    cap["non_finite_samples"] = c.mNonFinite;
    Json failed = Json::array();
    for (const ThdCheck& k : c.mFailed) failed.push_back({{"check", k.mId}, {"message", k.mMessage}});
    cap["failed_checks"] = failed;
    cap["forced"] = o.mForce && !c.mFailed.empty();
    j["capture"] = cap;
  }
  else
  {
    const ThdDeviceSettings& d = o.mDevice;
    j["device"] = {{"model", ThdDeviceName(d.mModel).mOption},
                   {"drive", d.mDrive},
                   {"coeffs", {d.mPoly[0], d.mPoly[1], d.mPoly[2], d.mPoly[3]}},
                   {"gain_db", d.mGainDb},
                   {"noise_dbfs", d.mNoise ? Json(d.mNoiseDbfs) : Json(nullptr)},
                   {"seed", d.mSeed},
                   {"latency", o.mLatency}};
    if (d.mModel == EThdDeviceModel::kPolynomial || d.mModel == EThdDeviceModel::kChain) j["device"]["lag"] = d.mLag;
    if (d.mModel == EThdDeviceModel::kChain)
    {
      j["device"]["dac"] = {d.mDac[0], d.mDac[1], d.mDac[2], d.mDac[3]};
      j["device"]["adc"] = {d.mAdc[0], d.mAdc[1], d.mAdc[2], d.mAdc[3]};
    }
  }
  j["calibration"] = r.mCalibrationName.empty() ? Json(nullptr) : Json(r.mCalibrationName);
  j["warnings"] = r.mWarnings;
  j["measured"] = r.mMeasured;
  if (r.mMeasured)
  {
    j["progress"] = r.mProgress;
    j["results_text"] = r.mResultsText;
    Json harmonics = Json::array();
    for (const ThdHarmonic& h : r.mHarmonics)
      harmonics.push_back({{"harmonic", h.mK},
                           {"frequency_hz", h.mHz},
                           {"measured", h.mMeasured},
                           {"level", h.mMeasured ? Number(h.mLevel) : Json(nullptr)},
                           {"dbfs", h.mMeasured ? Db(h.mLevel) : Json(nullptr)},
                           {"phase_deg", h.mPhaseValid ? Number(h.mPhaseDeg) : Json(nullptr)}});
    j["harmonics"] = harmonics;
    j["thd_harmonics"] = r.mThdIncludes;
    j["thd_percent"] = r.mThdValid ? Number(r.mThdPercent) : Json(nullptr);
    j["thd_db"] = r.mThdValid ? Db(r.mThdPercent / 100.0) : Json(nullptr);
    if (!r.mThdValid) j["thd_not_measured"] = r.mThdWhyNot;
    const bool thdn = r.mThdN.valid && r.mThdN.fundamentalRms > 0.0;
    j["thd_n"] = {{"band_hz", {r.mThdN.bandLowHz, r.mThdN.bandHighHz}},
                  {"percent", thdn ? Number(100.0 * r.mThdN.Ratio()) : Json(nullptr)},
                  {"db", thdn ? Db(r.mThdN.Ratio()) : Json(nullptr)}};
    if (r.mCompensation.mApplied) j["compensation"] = CompensationJson(r.mCompensation);
  }
  return j.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}
