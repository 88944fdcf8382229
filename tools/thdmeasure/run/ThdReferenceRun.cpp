// The interface reference in a run: loading and checking the files, applying and saving them.
#include "ThdReferenceRun.h"

#include "ThdCaptureFile.h"
#include "ThdFormat.h"
#include "ThdRun.h"
#include "ThdSweep.h"

int ThdPlanOfRun(const ThdOptions& o, ThdReferenceFile* plan, std::string* error)
{
  *plan = ThdReferenceFile{};
  ThdReferencePlan& p = plan->mPlan;
  p.mSampleRate = o.mRate;
  if (o.mMode == EThdMode::kAnalyse)
  {
    ThdCaptureFile file;
    if (!file.Open(o.mCapture, o.mInput, error)) return 1;
    p.mSampleRate = file.SampleRate();
    plan->mSource = "capture " + o.mCapture;
  }
  else
  {
    plan->mSource = std::string("simulated ") + ThdDeviceName(o.mDevice.mModel).mTitle;
  }
  p.mDenoising = o.mDenoising;
  std::vector<ThdSweepStep> steps;
  switch (o.mSweep.mKind)
  {
    case EThdSweep::kFrequency:
      p.mSweep = EThdReferenceSweep::kFrequency;
      p.mPoints = o.mSweep.mPoints;
      break;
    case EThdSweep::kLevel:
      p.mSweep = EThdReferenceSweep::kLevel;
      p.mStepDb = o.mSweep.mStepDb;
      break;
    default:
      steps.push_back({ThdTypedHz(o), o.mVolumeDb});
      break;
  }
  if (p.mSweep != EThdReferenceSweep::kNone)
  {
    p.mFrom = o.mSweep.mFrom;
    p.mTo = o.mSweep.mTo;
    steps = ThdPlanSweep(o, nullptr, error);
    if (steps.empty()) return 2;
  }
  for (const ThdSweepStep& s : steps)
  {
    ThdReferencePoint point;
    point.mHz = s.mHz;
    point.mVolumeDb = s.mVolumeDb;
    for (int k = 2; k <= IThdMeter::kHarmonics; ++k)
      point.mCapture.mHarmonics[k - 2].mMeasured = IThdMeter::IsHarmonicMeasured(k, s.mHz, p.mSampleRate);
    plan->mPoints.push_back(point);
  }
  return 0;
}

int ThdLoadReferences(const ThdOptions& o, ThdReferenceSet* set, std::string* error)
{
  *set = ThdReferenceSet{};
  if (o.mReferences.empty()) return 0;
  ThdReferenceFile plan;
  if (const int status = ThdPlanOfRun(o, &plan, error)) return status;
  for (const std::string& path : o.mReferences)
  {
    ThdReferenceFile ref;
    if (!ThdReadReferenceFile(path, &ref, error)) return 1;
    if (!ThdReferenceFits(ref, path, plan, error)) return 2;
    set->mFiles.push_back(path);
    set->mReferences.push_back(std::move(ref));
  }
  return 0;
}

void ThdApplyReferences(const ThdReferenceSet& set, size_t index, ThdResult& result)
{
  std::vector<ThdReferenceCapture> captures;
  for (const ThdReferenceFile& ref : set.mReferences)
    if (index < ref.mPoints.size()) captures.push_back(ref.mPoints[index].mCapture);
  ThdCompensate(result, captures, set.mFiles);
}

bool ThdSaveReference(const ThdOptions& o, const std::vector<const ThdResult*>& results, std::string* error)
{
  ThdReferenceFile file;
  std::string why;
  if (ThdPlanOfRun(o, &file, &why) != 0)
  {
    *error = "the reference is not written: " + why;
    return false;
  }
  if (file.mPoints.size() != results.size())
  {
    *error = ThdFormat("the reference is not written: the run gave %zu results for %zu points", results.size(),
                       file.mPoints.size());
    return false;
  }
  const bool sweep = file.mPlan.mSweep != EThdReferenceSweep::kNone;
  for (size_t i = 0; i < results.size(); ++i)
  {
    ThdReferencePoint& p = file.mPoints[i];
    const ThdReferenceCapture plan = p.mCapture;
    if (!results[i] || !ThdReferenceCaptureOf(*results[i], &p.mCapture, &why))
    {
      *error = "the reference is not written: " +
               (sweep ? ThdFormat("point %zu (%d Hz, %.2f dB): ", i + 1, p.mHz, p.mVolumeDb) : std::string()) +
               (results[i] ? why : std::string("not measured"));
      return false;
    }
    for (int k = 0; k < 4; ++k)
      if (plan.mHarmonics[k].mMeasured != p.mCapture.mHarmonics[k].mMeasured)
      {
        *error = ThdFormat("the reference is not written: the run measured other harmonics at %d Hz than planned", p.mHz);
        return false;
      }
  }
  return ThdWriteReferenceFile(o.mSaveReference, file, error);
}
