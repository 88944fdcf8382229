// Taking the interface reference's harmonic vectors away from a run's, with the uncertainty.
#include "ThdCompensation.h"

#include "ThdFormat.h"
#include "ThdLevels.h"
#include "ThdRun.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace {
using Vector = std::complex<double>;
constexpr double kDegrees = 180.0 / 3.14159265358979323846;

// Three standard deviations: what noise alone stays below 99% of the time (a Rayleigh
// magnitude passes 3 sd 1.1% of the time).
constexpr double kCoverage = 3.0;
// A figure stands at least this many uncertainties above nothing.
constexpr double kClearlyAbove = 2.0;
// The products of two distortions that a first-order subtraction leaves: at most this many
// times the product of the two captures' distortion (polynomial chains up to the 5th power
// stay well within it).
constexpr double kSecondOrder = 10.0;

double Sq(double x) { return x * x; }

// What a compensated magnitude m that is no figure can be at most: nothing noise alone could
// not make (m within U of nothing) is below U, the limit of what can be told; anything more
// is within U of m.
double UpperBound(double m, double U) { return m <= U ? U : m + U; }

Vector Polar(double level, double phaseDeg) { return std::polar(level, phaseDeg / kDegrees); }
}  // namespace

bool ThdReferenceCaptureOf(const ThdResult& r, ThdReferenceCapture* c, std::string* error)
{
  const ThdHarmonic& h1 = r.mHarmonics[0];
  const double L1 = h1.mRawLevel;
  if (!r.mMeasured) *error = "nothing was measured";
  else if (r.mChecksFailed) *error = "a check on the capture failed, and a reference must pass them all";
  else if (!h1.mMeasured || !(L1 > 0.0) || !std::isfinite(L1)) *error = "no fundamental came back";
  // A point whose harmonics all lie above the band (a sweep's highest) keeps its fundamental.
  else if (!r.mThdValid && !r.mThdIncludes.empty()) *error = r.mThdWhyNot;
  else
  {
    *c = ThdReferenceCapture{};
    c->mFundamental = L1;
    c->mFundamentalNoise = h1.mNoise / L1;
    for (int k = 2; k <= IThdMeter::kHarmonics; ++k)
    {
      const ThdHarmonic& h = r.mHarmonics[k - 1];
      ThdReferenceHarmonic& out = c->mHarmonics[k - 2];
      out.mMeasured = h.mMeasured;
      if (!h.mMeasured) continue;
      out.mLevel = h.mRawLevel / L1;
      out.mPhaseDeg = h.mRawPhaseDeg;
      out.mNoise = h.mNoise / L1;
    }
    c->mRounding = r.mRounding;
    c->mClockLeak = r.mClockLeak;
    return true;
  }
  return false;
}

void ThdCompensate(ThdResult& r, const std::vector<ThdReferenceCapture>& refs, const std::vector<std::string>& files)
{
  ThdCompensation& c = r.mCompensation;
  c = ThdCompensation{};
  c.mApplied = true;
  c.mFiles = files;
  c.mCaptures = (int)refs.size();
  c.mIncludes = r.mThdIncludes;
  const ThdHarmonic& h1 = r.mHarmonics[0];
  const double L1 = h1.mRawLevel;
  if (!r.mMeasured)
  {
    c.mWhyNot = "nothing was measured";
    return;
  }
  if (!h1.mMeasured || !(L1 > 0.0) || !std::isfinite(L1) || !r.mThdValid)
  {
    c.mWhyNot = r.mThdWhyNot.empty() ? "no fundamental came back" : r.mThdWhyNot;
    return;
  }
  if (refs.empty())
  {
    c.mWhyNot = "no reference";
    return;
  }
  for (int k : r.mThdIncludes)
    for (const ThdReferenceCapture& ref : refs)
      if (!ref.mHarmonics[k - 2].mMeasured)
      {
        c.mWhyNot = ThdFormat("the reference does not measure H%d", k);
        return;
      }

  const double n = (double)refs.size();
  double refFundamental = 0.0;
  for (const ThdReferenceCapture& ref : refs) refFundamental += ref.mFundamental / n;
  c.mGainDb = ThdDb(L1 / refFundamental);

  // The vectors, as shares of each capture's own fundamental.
  const double n1 = h1.mNoise / L1;
  Vector zm[5], zr[5];
  double um2[5] = {}, ur2[5] = {};
  double totalM = 0.0, totalR = 0.0;
  for (int k : r.mThdIncludes)
  {
    const ThdHarmonic& h = r.mHarmonics[k - 1];
    zm[k - 1] = Polar(h.mRawLevel / L1, h.mRawPhaseDeg);
    um2[k - 1] = Sq(h.mNoise / L1) + Sq(r.mRounding) + Sq(r.mClockLeak / (k - 1)) + Sq(std::abs(zm[k - 1]) * n1);
    for (const ThdReferenceCapture& ref : refs)
    {
      const ThdReferenceHarmonic& rh = ref.mHarmonics[k - 2];
      zr[k - 1] += Polar(rh.mLevel, rh.mPhaseDeg) / n;
      ur2[k - 1] += (Sq(rh.mNoise) + Sq(ref.mRounding) + Sq(ref.mClockLeak / (k - 1)) +
                     Sq(rh.mLevel * ref.mFundamentalNoise)) / (n * n);
    }
    if (refs.size() >= 2)
    {
      // The captures' spread per quadrature; a further capture (the one under this run)
      // differs from their mean by it and the mean by its own share.
      double spread = 0.0;
      for (const ThdReferenceCapture& ref : refs)
        spread += std::norm(Polar(ref.mHarmonics[k - 2].mLevel, ref.mHarmonics[k - 2].mPhaseDeg) - zr[k - 1]);
      spread /= 2.0 * (n - 1.0);
      ur2[k - 1] = std::max(ur2[k - 1], spread * (1.0 + 1.0 / n));
    }
    totalM += std::norm(zm[k - 1]);
    totalR += std::norm(zr[k - 1]);
  }
  const double secondOrder = kSecondOrder * std::sqrt(totalM) * std::sqrt(totalR);

  // Levels as the report gives them: calibrated, against the measured fundamental.
  double thdC = 0.0, thdR = 0.0, thdU2 = 0.0;
  for (int k : r.mThdIncludes)
  {
    const ThdHarmonic& h = r.mHarmonics[k - 1];
    ThdCompensatedHarmonic& out = c.mHarmonics[k - 2];
    const double sd = std::sqrt(um2[k - 1] + ur2[k - 1] + Sq(secondOrder));
    const double m = std::abs(zm[k - 1] - zr[k - 1]);
    const double U = kCoverage * sd;
    // Calibration corrects each harmonic's level by a real factor, vectors and noise alike.
    const double share = h1.mCalibrationFactor / h.mCalibrationFactor;
    const double scale = h1.mLevel * share;
    out.mMeasured = true;
    out.mMeasuredLevel = h.mLevel;
    out.mReferenceLevel = std::abs(zr[k - 1]) * scale;
    out.mReferencePhaseDeg = std::arg(zr[k - 1]) * kDegrees;
    out.mCompensated = m * scale;
    out.mUncertainty = U * scale;
    out.mIsFigure = m >= kClearlyAbove * U;
    out.mUpperBound = UpperBound(m, U) * scale;
    thdC += Sq(m * share);
    thdR += Sq(std::abs(zr[k - 1]) * share);
    thdU2 += Sq(sd * share);
  }
  for (int k = 2; k <= IThdMeter::kHarmonics; ++k) c.mHarmonics[k - 2].mK = k;
  c.mThdMeasured = r.mThdPercent / 100.0;
  c.mThdReference = std::sqrt(thdR);
  c.mThdCompensated = std::sqrt(thdC);
  c.mThdUncertainty = kCoverage * std::sqrt(thdU2);
  c.mThdIsFigure = c.mThdCompensated >= kClearlyAbove * c.mThdUncertainty;
  c.mThdUpperBound = UpperBound(c.mThdCompensated, c.mThdUncertainty);
  c.mPossible = true;

  if (std::fabs(c.mGainDb) > kThdMaxAssumedGainDb)
    r.mWarnings.push_back(ThdFormat("the fundamental comes back %+.2f dB from the reference's: the device's gain puts the "
                                    "interface's input at another level than in the loop-back, where its distortion is not "
                                    "the reference's, and the compensation leaves the difference; bring the device's output "
                                    "to within %.1f dB of the reference's level", c.mGainDb, kThdMaxAssumedGainDb));
}
