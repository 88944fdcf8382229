// Reading and writing the interface reference file; every field is checked before use.
#include "ThdReferenceFile.h"

#include "ThdFormat.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <fstream>
#include <iterator>

namespace {
using OrderedJson = nlohmann::ordered_json;
using Json = nlohmann::json;

// Relative figures beyond this (harmonics 60 dB above the fundamental) are no interface's.
constexpr double kMaxRelative = 1e3;
// Doubles written and read back are the same; plans computed twice from the same options too.
constexpr double kSameDouble = 1e-9;
// Levels are on the fader's 0.02 dB grid: anything closer than this is the same level.
constexpr double kSameLevelDb = 1e-6;

const char* SweepKind(EThdReferenceSweep s)
{
  return s == EThdReferenceSweep::kFrequency ? "frequency" : s == EThdReferenceSweep::kLevel ? "level" : "none";
}

bool Same(double a, double b) { return std::fabs(a - b) <= kSameDouble * std::max(1.0, std::max(std::fabs(a), std::fabs(b))); }

// ---- reading: every field checked before it is used; nothing here throws -----------------

const Json* Field(const Json& object, const char* key)
{
  const auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

bool Number(const Json& object, const char* key, double lo, double hi, double* out)
{
  const Json* v = Field(object, key);
  if (!v || !v->is_number()) return false;
  const double x = v->get<double>();
  if (!std::isfinite(x) || x < lo || x > hi) return false;
  *out = x;
  return true;
}

bool Whole(const Json& object, const char* key, double lo, double hi, int* out)
{
  double x = 0.0;
  if (!Number(object, key, lo, hi, &x) || x != std::floor(x)) return false;
  *out = (int)x;
  return true;
}

class Reader
{
public:
  Reader(const std::string& name, std::string* error) : mName(name), mError(error) {}

  bool Fail(const std::string& what)
  {
    if (mError) *mError = "'" + mName + "' " + what;
    return false;
  }

  bool Read(const std::string& text, ThdReferenceFile* file)
  {
    const Json doc = Json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) return Fail("is not a thdmeasure interface reference (not a JSON object)");
    const Json* format = Field(doc, "format");
    if (!format || !format->is_string() || format->get_ref<const std::string&>() != kThdReferenceFormat)
      return Fail(std::string("is not a thdmeasure interface reference (its \"format\" is not \"") + kThdReferenceFormat + "\")");
    const Json* version = Field(doc, "version");
    if (!version || !version->is_number_integer())
      return Fail("gives no version of the reference format");
    if (version->get<long long>() != kThdReferenceVersion)
      return Fail(ThdFormat("is a reference of format version %lld; this thdmeasure reads version %d",
                            version->get<long long>(), kThdReferenceVersion));

    ThdReferenceFile f;
    if (const Json* source = Field(doc, "source"); source && source->is_string())
      f.mSource = source->get_ref<const std::string&>().substr(0, 1000);
    ThdReferencePlan& plan = f.mPlan;
    if (!Number(doc, "sample_rate", 1.0, 1e8, &plan.mSampleRate)) return Fail("gives no usable \"sample_rate\"");
    if (!Whole(doc, "denoising_seconds", 1, 1e6, &plan.mDenoising) ||
        (plan.mDenoising != 12 && plan.mDenoising != 120 && plan.mDenoising != 1200))
      return Fail("gives no \"denoising_seconds\" of 12, 120 or 1200");
    if (!ReadSweep(doc, &plan)) return false;

    const Json* points = Field(doc, "points");
    if (!points || !points->is_array() || points->empty()) return Fail("holds no \"points\"");
    if (points->size() > kThdReferenceMaxPoints)
      return Fail(ThdFormat("holds %zu points, more than any sweep has", points->size()));
    if (plan.mSweep == EThdReferenceSweep::kNone && points->size() != 1)
      return Fail(ThdFormat("holds %zu points but no sweep", points->size()));
    if (plan.mSweep == EThdReferenceSweep::kFrequency && points->size() > (size_t)plan.mPoints)
      return Fail(ThdFormat("holds %zu points of a sweep of %d", points->size(), plan.mPoints));
    f.mPoints.reserve(points->size());
    for (size_t i = 0; i < points->size(); ++i)
    {
      ThdReferencePoint p;
      if (!ReadPoint((*points)[i], i, &p)) return false;
      f.mPoints.push_back(p);
    }
    *file = std::move(f);
    return true;
  }

private:
  bool ReadSweep(const Json& doc, ThdReferencePlan* plan)
  {
    const Json* sweep = Field(doc, "sweep");
    if (!sweep || sweep->is_null())
    {
      plan->mSweep = EThdReferenceSweep::kNone;
      return true;
    }
    const Json* kind = sweep->is_object() ? Field(*sweep, "kind") : nullptr;
    const std::string k = kind && kind->is_string() ? kind->get<std::string>() : std::string();
    if (k == "frequency")
    {
      plan->mSweep = EThdReferenceSweep::kFrequency;
      if (!Number(*sweep, "from", 20, 20000, &plan->mFrom) || !Number(*sweep, "to", 20, 20000, &plan->mTo) ||
          !Whole(*sweep, "points", 2, 1000, &plan->mPoints))
        return Fail("gives a frequency sweep without usable \"from\", \"to\" (20..20000 Hz) and \"points\" (2..1000)");
      return true;
    }
    if (k == "level")
    {
      plan->mSweep = EThdReferenceSweep::kLevel;
      if (!Number(*sweep, "from", -20, 0, &plan->mFrom) || !Number(*sweep, "to", -20, 0, &plan->mTo) ||
          !Number(*sweep, "step_db", 1e-6, 20, &plan->mStepDb))
        return Fail("gives a level sweep without usable \"from\", \"to\" (-20..0 dB) and \"step_db\"");
      return true;
    }
    return Fail("gives a \"sweep\" that is neither null nor of kind \"frequency\" or \"level\"");
  }

  bool ReadPoint(const Json& j, size_t index, ThdReferencePoint* p)
  {
    const std::string where = ThdFormat("point %zu", index + 1);
    if (!j.is_object()) return Fail(where + " is not an object");
    if (!Whole(j, "frequency_hz", 20, 20000, &p->mHz)) return Fail(where + " gives no whole \"frequency_hz\" of 20..20000");
    if (!Number(j, "volume_db", -20, 0, &p->mVolumeDb)) return Fail(where + " gives no \"volume_db\" of -20..0");
    ThdReferenceCapture& c = p->mCapture;
    const Json* h1 = Field(j, "fundamental");
    if (!h1 || !h1->is_object() || !Number(*h1, "level", 0, kMaxRelative, &c.mFundamental) || !(c.mFundamental > 0.0) ||
        !Number(*h1, "noise", 0, kMaxRelative, &c.mFundamentalNoise))
      return Fail(where + " gives no \"fundamental\" with a \"level\" above 0 and its \"noise\"");
    const Json* harmonics = Field(j, "harmonics");
    if (!harmonics || !harmonics->is_array() || harmonics->size() != 4)
      return Fail(where + " does not give \"harmonics\" 2 to 5");
    for (int k = 2; k <= 5; ++k)
    {
      const Json& h = (*harmonics)[(size_t)(k - 2)];
      ThdReferenceHarmonic& out = c.mHarmonics[k - 2];
      const std::string hw = ThdFormat("%s, H%d,", where.c_str(), k);
      int number = 0;
      if (!h.is_object() || !Whole(h, "harmonic", 2, 5, &number) || number != k)
        return Fail(where + " does not give \"harmonics\" 2 to 5 in order");
      const Json* measured = Field(h, "measured");
      if (!measured || !measured->is_boolean()) return Fail(hw + " does not say whether it was \"measured\"");
      out.mMeasured = measured->get<bool>();
      if (!out.mMeasured) continue;
      if (!Number(h, "level", 0, kMaxRelative, &out.mLevel)) return Fail(hw + " gives no \"level\" of 0 or more");
      if (!Number(h, "phase_deg", -180, 180, &out.mPhaseDeg)) return Fail(hw + " gives no \"phase_deg\" of -180..180");
      if (!Number(h, "noise", 0, kMaxRelative, &out.mNoise)) return Fail(hw + " gives no \"noise\" of 0 or more");
    }
    if (!Number(j, "rounding", 0, kMaxRelative, &c.mRounding)) return Fail(where + " gives no \"rounding\" of 0 or more");
    if (!Number(j, "clock_leak", 0, kMaxRelative, &c.mClockLeak)) return Fail(where + " gives no \"clock_leak\" of 0 or more");
    return true;
  }

  std::string mName;
  std::string* mError;
};

std::string LevelText(double dB) { return ThdFormat("%.2f dB", dB == 0.0 ? 0.0 : dB); }
}  // namespace

std::string ThdReferencePlanText(const ThdReferencePlan& p)
{
  switch (p.mSweep)
  {
    case EThdReferenceSweep::kFrequency:
      return ThdFormat("a frequency sweep of %g-%g Hz in %d points", p.mFrom, p.mTo, p.mPoints);
    case EThdReferenceSweep::kLevel:
      return ThdFormat("a level sweep of %g to %g dB in %g dB steps", p.mFrom, p.mTo, p.mStepDb);
    default:
      return "a single run";
  }
}

std::string ThdReferenceJson(const ThdReferenceFile& f)
{
  OrderedJson j;
  j["format"] = kThdReferenceFormat;
  j["version"] = kThdReferenceVersion;
  j["source"] = f.mSource;
  j["sample_rate"] = f.mPlan.mSampleRate;
  j["denoising_seconds"] = f.mPlan.mDenoising;
  const ThdReferencePlan& p = f.mPlan;
  if (p.mSweep == EThdReferenceSweep::kNone)
    j["sweep"] = nullptr;
  else if (p.mSweep == EThdReferenceSweep::kFrequency)
    j["sweep"] = {{"kind", SweepKind(p.mSweep)}, {"from", p.mFrom}, {"to", p.mTo}, {"points", p.mPoints}};
  else
    j["sweep"] = {{"kind", SweepKind(p.mSweep)}, {"from", p.mFrom}, {"to", p.mTo}, {"step_db", p.mStepDb}};
  OrderedJson points = OrderedJson::array();
  for (const ThdReferencePoint& pt : f.mPoints)
  {
    const ThdReferenceCapture& c = pt.mCapture;
    OrderedJson point;
    point["frequency_hz"] = pt.mHz;
    point["volume_db"] = pt.mVolumeDb;
    point["fundamental"] = {{"level", c.mFundamental}, {"noise", c.mFundamentalNoise}};
    OrderedJson harmonics = OrderedJson::array();
    for (int k = 2; k <= 5; ++k)
    {
      const ThdReferenceHarmonic& h = c.mHarmonics[k - 2];
      OrderedJson hj;
      hj["harmonic"] = k;
      hj["measured"] = h.mMeasured;
      if (h.mMeasured)
      {
        hj["level"] = h.mLevel;
        hj["phase_deg"] = h.mPhaseDeg;
        hj["noise"] = h.mNoise;
      }
      harmonics.push_back(hj);
    }
    point["harmonics"] = harmonics;
    point["rounding"] = c.mRounding;
    point["clock_leak"] = c.mClockLeak;
    points.push_back(point);
  }
  j["points"] = points;
  return j.dump(2, ' ', false, OrderedJson::error_handler_t::replace) + "\n";
}

bool ThdWriteReferenceFile(const std::string& path, const ThdReferenceFile& file, std::string* error)
{
  // What is written must read back: a figure that is not a finite number would not.
  std::string why;
  const std::string text = ThdReferenceJson(file);
  ThdReferenceFile back;
  if (!ThdParseReference(text, path, &back, &why))
  {
    if (error) *error = "cannot write the reference " + why;
    return false;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out.write(text.data(), (std::streamsize)text.size());
  if (out) out.close();
  if (!out)
  {
    if (error) *error = "cannot write the reference file '" + path + "'";
    return false;
  }
  return true;
}

bool ThdParseReference(const std::string& text, const std::string& name, ThdReferenceFile* file, std::string* error)
{
  return Reader(name, error).Read(text, file);
}

bool ThdReadReferenceFile(const std::string& path, ThdReferenceFile* file, std::string* error)
{
  std::ifstream in(path, std::ios::binary);
  if (!in)
  {
    if (error) *error = "cannot open the reference file '" + path + "'";
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size < 0 || size > kThdReferenceMaxBytes)
  {
    if (error) *error = "'" + path + "' is not a thdmeasure interface reference (" +
                        (size < 0 ? std::string("it cannot be read") : ThdFormat("%lld bytes", (long long)size)) + ")";
    return false;
  }
  std::string text((size_t)size, '\0');
  if (size > 0) in.read(&text[0], size);
  if (!in)
  {
    if (error) *error = "cannot read the reference file '" + path + "'";
    return false;
  }
  return ThdParseReference(text, path, file, error);
}

bool ThdReferenceFits(const ThdReferenceFile& ref, const std::string& name, const ThdReferenceFile& run, std::string* error)
{
  auto fail = [&](const std::string& what) {
    if (error) *error = "the reference '" + name + "' " + what;
    return false;
  };
  const ThdReferencePlan &a = ref.mPlan, &b = run.mPlan;
  if (!Same(a.mSampleRate, b.mSampleRate))
    return fail(ThdFormat("was captured at %g Hz and this run at %g Hz: the interface's distortion changes with the "
                          "sample rate; make the reference at %g Hz", a.mSampleRate, b.mSampleRate, b.mSampleRate));
  if (a.mDenoising != b.mDenoising)
    return fail(ThdFormat("was averaged over %d s and this run over %d s: make the reference with --denoising %d",
                          a.mDenoising, b.mDenoising, b.mDenoising));
  const bool samePlan = a.mSweep == b.mSweep && Same(a.mFrom, b.mFrom) && Same(a.mTo, b.mTo) &&
                        (a.mSweep != EThdReferenceSweep::kFrequency || a.mPoints == b.mPoints) &&
                        (a.mSweep != EThdReferenceSweep::kLevel || Same(a.mStepDb, b.mStepDb));
  if (!samePlan || ref.mPoints.size() != run.mPoints.size())
    return fail("was made for " + ThdReferencePlanText(a) + " and this run is " + ThdReferencePlanText(b) +
                ": make the reference with the same sweep options");
  const bool sweep = b.mSweep != EThdReferenceSweep::kNone;
  for (size_t i = 0; i < ref.mPoints.size(); ++i)
  {
    const ThdReferencePoint &p = ref.mPoints[i], &q = run.mPoints[i];
    const std::string at = sweep ? ThdFormat(" at point %zu", i + 1) : std::string();
    if (p.mHz != q.mHz)
      return fail(ThdFormat("was measured at %d Hz%s and this run at %d Hz: make the reference at %d Hz", p.mHz,
                            at.c_str(), q.mHz, q.mHz));
    if (std::fabs(p.mVolumeDb - q.mVolumeDb) > kSameLevelDb)
      return fail("was played at " + LevelText(p.mVolumeDb) + at + " and this run at " + LevelText(q.mVolumeDb) +
                  ": the interface's distortion changes with the level; make the reference at " + LevelText(q.mVolumeDb));
    for (int k = 2; k <= 5; ++k)
      if (p.mCapture.mHarmonics[k - 2].mMeasured != q.mCapture.mHarmonics[k - 2].mMeasured)
        return fail(ThdFormat("%s H%d at %d Hz%s where this run %s: it was not made at this sample rate",
                              p.mCapture.mHarmonics[k - 2].mMeasured ? "measures" : "does not measure", k, p.mHz,
                              at.c_str(), p.mCapture.mHarmonics[k - 2].mMeasured ? "does not" : "does"));
  }
  return true;
}
