// The simulated external chain of the measurement tool: what the test tone passes through
// between the plug-in's output and its input (converter, amplifier, device under test), and
// the audio interface around it: its output converter's curve before the device and its input
// converter's curve after it.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

enum class EThdDeviceModel { kLoopBack, kPolynomial, kSoftClip, kChain };

// The models' names: on the command line, and as reports describe them.
struct ThdDeviceModelName
{
  EThdDeviceModel mModel;
  const char* mOption;  // "--device loopback"
  const char* mTitle;   // "loop-back"
};
inline constexpr ThdDeviceModelName kThdDeviceModels[] = {
  {EThdDeviceModel::kLoopBack, "loopback", "loop-back"},
  {EThdDeviceModel::kPolynomial, "poly", "polynomial"},
  {EThdDeviceModel::kSoftClip, "softclip", "soft clipper"},
  {EThdDeviceModel::kChain, "chain", "interface chain"},
};
const ThdDeviceModelName& ThdDeviceName(EThdDeviceModel model);

struct ThdDeviceSettings
{
  EThdDeviceModel mModel = EThdDeviceModel::kLoopBack;
  // Polynomial: y = x + c2 x^2 + c3 x^3 + c4 x^4 + c5 x^5 (mPoly[0] = c2 ... mPoly[3] = c5).
  // The chain's device is this polynomial too (all 0: a wire, the interface's loop-back).
  double mPoly[4] = {0.0, 0.0, 0.0, 0.0};
  // The polynomial's terms act on the input this many frames earlier: a device with memory,
  // whose harmonics come back at phases a memoryless curve cannot give (harmonic k turned by
  // k times the delay's phase at the tone). 0: memoryless.
  int mLag = 0;
  // Chain: the interface's converters, memoryless curves of the same form around the device:
  // x -> DAC curve -> device polynomial -> gain -> ADC curve -> noise.
  double mDac[4] = {0.0, 0.0, 0.0, 0.0};
  double mAdc[4] = {0.0, 0.0, 0.0, 0.0};
  // Soft clipper: y = tanh(drive * x) / drive: unity gain for small signals, peaks squashed
  // towards 1 / drive.
  double mDrive = 1.0;
  double mGainDb = 0.0;      // applied after the model
  bool mNoise = false;       // white Gaussian noise added after the gain
  double mNoiseDbfs = -120;  // its RMS level in dBFS: 0 dBFS is the RMS of a full-scale sine
  uint64_t mSeed = 1;
};

class ThdDevice
{
public:
  explicit ThdDevice(const ThdDeviceSettings& settings);

  double Process(double x)
  {
    double y;
    switch (mModel)
    {
      case EThdDeviceModel::kPolynomial:
        y = Distort(x);
        break;
      case EThdDeviceModel::kChain:
        y = Distort(Curve(x, mDac));
        break;
      case EThdDeviceModel::kSoftClip:
      {
        // The test tone comes back to the same few thousand sample values over and over (it
        // leaves the host as float): tanh is remembered per value, exactly as computed.
        uint64_t bits;
        std::memcpy(&bits, &x, sizeof bits);
        Memo& m = mMemo[(size_t)((bits * 0x9E3779B97F4A7C15ull) >> (64 - kMemoBits))];
        if (m.mBits != bits)
        {
          m.mBits = bits;
          m.mValue = SoftClip(x);
        }
        y = m.mValue;
        break;
      }
      default:
        y = x;
        break;
    }
    y *= mGain;
    if (mModel == EThdDeviceModel::kChain) y = Curve(y, mAdc);
    if (mNoise) y += mNoiseRms * Gaussian();
    return y;
  }

  // A block of frames through Process, in order (in and out may be the same buffer): one call
  // per block where the host loop would make one per frame.
  void ProcessBlock(const double* in, double* out, int n);

  const ThdDeviceSettings& Settings() const { return mSettings; }

private:
  // x + c2 x^2 + c3 x^3 + c4 x^4 + c5 x^5.
  static double Curve(double x, const double c[4]) { return x + x * x * (c[0] + x * (c[1] + x * (c[2] + x * c[3]))); }
  // The device's polynomial, its terms on the input mLag frames ago.
  double Distort(double x)
  {
    double u = x;
    if (!mHistory.empty())
    {
      u = mHistory[mHistoryPos];
      mHistory[mHistoryPos] = x;
      if (++mHistoryPos == mHistory.size()) mHistoryPos = 0;
    }
    return x + u * u * (mC2 + u * (mC3 + u * (mC4 + u * mC5)));
  }
  double SoftClip(double x) const;
  double Gaussian();
  uint64_t NextBits();

  static constexpr int kMemoBits = 14;
  struct Memo
  {
    uint64_t mBits = 0;    // of the input; 0.0 maps to 0.0, so a fresh entry is right as it is
    double mValue = 0.0;
  };

  ThdDeviceSettings mSettings;
  EThdDeviceModel mModel;
  std::vector<Memo> mMemo;
  double mC2, mC3, mC4, mC5;
  double mDac[4], mAdc[4];
  std::vector<double> mHistory;  // the last mLag inputs, oldest at mHistoryPos
  size_t mHistoryPos = 0;
  double mDrive;
  double mGain;
  bool mNoise;
  double mNoiseRms;
  uint64_t mState[4];
  bool mHaveSpare = false;
  double mSpare = 0.0;
};
