// The simulated chain's transfer curves: the interface's converters and the device between them.

#include "ThdDevice.h"

#include <cmath>

namespace {
// splitmix64: spreads one seed over the generator's four words.
uint64_t SplitMix(uint64_t& x)
{
  uint64_t z = (x += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}
inline uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
}  // namespace

ThdDevice::ThdDevice(const ThdDeviceSettings& settings)
  : mSettings(settings), mModel(settings.mModel), mC2(settings.mPoly[0]), mC3(settings.mPoly[1]),
    mC4(settings.mPoly[2]), mC5(settings.mPoly[3]), mDrive(settings.mDrive),
    mGain(std::pow(10.0, settings.mGainDb / 20.0)), mNoise(settings.mNoise),
    mNoiseRms(std::pow(10.0, settings.mNoiseDbfs / 20.0) * std::sqrt(0.5))
{
  if (mModel == EThdDeviceModel::kSoftClip) mMemo.resize((size_t)1 << kMemoBits);
  for (int i = 0; i < 4; ++i)
  {
    mDac[i] = settings.mDac[i];
    mAdc[i] = settings.mAdc[i];
  }
  if (settings.mLag > 0 && (mModel == EThdDeviceModel::kPolynomial || mModel == EThdDeviceModel::kChain))
    mHistory.assign((size_t)settings.mLag, 0.0);
  uint64_t seed = settings.mSeed;
  for (uint64_t& w : mState) w = SplitMix(seed);
}

const ThdDeviceModelName& ThdDeviceName(EThdDeviceModel model)
{
  for (const ThdDeviceModelName& m : kThdDeviceModels)
    if (m.mModel == model) return m;
  return kThdDeviceModels[0];
}

double ThdDevice::SoftClip(double x) const
{
  return mDrive > 0.0 ? std::tanh(mDrive * x) / mDrive : x;
}

// xoshiro256**: fast, seeded, the same sequence on every platform.
uint64_t ThdDevice::NextBits()
{
  const uint64_t result = Rotl(mState[1] * 5, 7) * 9;
  const uint64_t t = mState[1] << 17;
  mState[2] ^= mState[0];
  mState[3] ^= mState[1];
  mState[1] ^= mState[2];
  mState[0] ^= mState[3];
  mState[2] ^= t;
  mState[3] = Rotl(mState[3], 45);
  return result;
}

// Standard normal deviates by the polar method, two per round.
double ThdDevice::Gaussian()
{
  if (mHaveSpare)
  {
    mHaveSpare = false;
    return mSpare;
  }
  double u, v, s;
  do
  {
    u = (double)(NextBits() >> 11) * 0x1.0p-53 * 2.0 - 1.0;
    v = (double)(NextBits() >> 11) * 0x1.0p-53 * 2.0 - 1.0;
    s = u * u + v * v;
  } while (s >= 1.0 || s == 0.0);
  const double m = std::sqrt(-2.0 * std::log(s) / s);
  mSpare = v * m;
  mHaveSpare = true;
  return u * m;
}

void ThdDevice::ProcessBlock(const double* in, double* out, int n)
{
  for (int i = 0; i < n; ++i) out[i] = Process(in[i]);
}
