// Simulated sweep points run in parallel, each a whole run with its own plug-in object and
// editor, and are told to the progress sink under the runner's lock: run under
// ThreadSanitizer, a short sweep with as many workers as points.
#include "ThdSweep.h"
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
    mMeasured += point.mResult.mMeasured;
  }
  void End() override { ++mEnds; }
  std::vector<int> mDone;
  int mTotal = 0, mEnds = 0, mMeasured = 0;
};
}  // namespace

using ThdSweepTsanTest = ThdTestFolder;

TEST_F(ThdSweepTsanTest, PointsMeasuredInParallel)
{
  ThdOptions o;
  o.mNoCalibration = true;
  o.mDocumentsFolder = mFolder;
  o.mRate = 16000;
  o.mDevice.mModel = EThdDeviceModel::kSoftClip;
  o.mSweep.mKind = EThdSweep::kFrequency;
  o.mSweep.mFrom = 200;
  o.mSweep.mTo = 2000;
  o.mSweep.mPoints = 3;
  o.mJobs = 3;
  CountingProgress progress;
  ThdSweepResult r;
  std::string error;
  ASSERT_EQ(ThdRunSweep(o, r, &progress, &error), 0) << error;
  EXPECT_EQ(r.mJobs, 3);
  ASSERT_EQ(r.mPoints.size(), 3u);
  const int hz[] = {200, 632, 2000};
  for (size_t i = 0; i < 3; ++i)
  {
    EXPECT_EQ(r.mPoints[i].mStep.mHz, hz[i]);
    EXPECT_EQ(r.mPoints[i].mStatus, 0) << r.mPoints[i].mError;
    EXPECT_TRUE(r.mPoints[i].mResult.mThdValid);
  }
  EXPECT_EQ(progress.mDone, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(progress.mTotal, 3);
  EXPECT_EQ(progress.mMeasured, 3);
  EXPECT_EQ(progress.mEnds, 1);
}
