// The steps of a recording are measured in parallel, each by its own plug-in object with its
// own reader of the file, and told to the progress sink under the runner's lock: run under
// ThreadSanitizer, a short sequence with as many workers as steps.
#include "ThdSteppedTone.h"
#include "ThdTestFolder.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
class CountingProgress : public ThdSweepProgress
{
public:
  void PointDone(int done, int total, const ThdSweepPoint& point) override
  {
    mDone.push_back(done);
    mTotal = total;
    mHz.push_back(point.mStep.mHz);
  }
  void End() override { ++mEnds; }
  std::vector<int> mDone, mHz;
  int mTotal = 0, mEnds = 0;
};
}  // namespace

using ThdSteppedTsanTest = ThdTestFolder;

// The written sequence played straight back (the tone file is its own recording): every step
// measured, progress counted once per step in order of finishing, one End.
TEST_F(ThdSteppedTsanTest, StepsMeasuredInParallel)
{
  ThdOptions o;
  o.mNoCalibration = true;
  o.mDocumentsFolder = mFolder;
  o.mRate = 16000;
  o.mToneFile = mFolder + "/stepped.wav";
  o.mJobs = 3;
  const std::vector<ThdSweepStep> steps = {{300, -10.0}, {1000, -20.0}, {3000, 0.0}};
  ThdSweepResult written;
  std::string error;
  ASSERT_EQ(ThdWriteSteppedTone(o, steps, written, &error), 0) << error;

  o.mMode = EThdMode::kAnalyse;
  o.mCapture = o.mToneFile;
  CountingProgress progress;
  ThdSweepResult got;
  ASSERT_EQ(ThdAnalyseSteppedCapture(o, steps, got, &progress, &error), 0) << error;
  EXPECT_EQ(got.mJobs, 3);
  ASSERT_EQ(got.mPoints.size(), steps.size());
  for (size_t i = 0; i < steps.size(); ++i)
  {
    EXPECT_EQ(got.mPoints[i].mStatus, 0) << i << ": " << got.mPoints[i].mError;
    EXPECT_TRUE(got.mPoints[i].mResult.mMeasured) << i;
    EXPECT_EQ(got.mPoints[i].mStepStart, written.mPoints[i].mStepStart) << i;
    EXPECT_NEAR(20.0 * std::log10(got.mPoints[i].mResult.mHarmonics[0].mLevel), steps[i].mVolumeDb, 0.01) << i;
  }
  EXPECT_EQ(progress.mDone, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(progress.mTotal, 3);
  EXPECT_EQ(progress.mEnds, 1);
}
