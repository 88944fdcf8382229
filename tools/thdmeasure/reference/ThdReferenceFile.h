// The interface reference file: the harmonics of a loop-back capture (the audio interface's
// output looped to its input) kept as vectors, so that a later measurement through a device
// can have them taken away. A small JSON document:
//
//   {
//     "format": "thdmeasure interface reference",
//     "version": 1,
//     "source": "capture loop.wav",            what was measured (for people)
//     "sample_rate": 48000,
//     "denoising_seconds": 12,
//     "sweep": null,                            or {"kind": "frequency", "from": 20, "to": 20000,
//                                               "points": 31}, or {"kind": "level", "from": -20,
//                                               "to": 0, "step_db": 1}
//     "points": [                               one per sweep point (one for a single run)
//       {
//         "frequency_hz": 1000,                 whole Hz
//         "volume_db": -10,                     the fader's level, -20..0 dB
//         "fundamental": {"level": 0.316, "noise": 1e-9},
//         "harmonics": [                        H2..H5, in order
//           {"harmonic": 2, "measured": true, "level": 1e-6, "phase_deg": -90.0, "noise": 2e-9},
//           ...
//           {"harmonic": 5, "measured": false}  above 20 kHz or half the sample rate
//         ],
//         "rounding": 2.4e-8,
//         "clock_leak": 0
//       }
//     ]
//   }
//
// The fundamental's level is its peak amplitude as it came back (full scale 1.0, before any
// calibration: the reference describes what the interface returns, whatever file corrects
// it). Everything else is relative to that fundamental: a harmonic's level is its amplitude
// over the fundamental's and its phase that of its sine at the fundamental's positive zero
// crossing, in degrees; "noise" is the standard deviation the averaging window's residual
// leaves on each quadrature (cosine, sine) of that figure; "rounding" is what the samples'
// rounding may put on each quadrature of a harmonic, and "clock_leak" the share of the
// fundamental a clock offset between player and recorder may leak into the harmonics
// (harmonic k gets clock_leak / (k - 1)). Reading refuses anything else: another format or
// version, missing or out-of-range figures, harmonics out of order.
#pragma once

#include <string>
#include <vector>

inline constexpr const char* kThdReferenceFormat = "thdmeasure interface reference";
inline constexpr int kThdReferenceVersion = 1;

struct ThdReferenceHarmonic
{
  bool mMeasured = false;
  double mLevel = 0.0;     // over the fundamental
  double mPhaseDeg = 0.0;  // [-180, 180]
  double mNoise = 0.0;     // per quadrature, over the fundamental
};

// One capture of the interface at one point.
struct ThdReferenceCapture
{
  double mFundamental = 0.0;       // peak amplitude, full scale 1.0, before calibration
  double mFundamentalNoise = 0.0;  // per quadrature, over the fundamental
  ThdReferenceHarmonic mHarmonics[4];  // H2..H5
  double mRounding = 0.0;
  double mClockLeak = 0.0;
};

struct ThdReferencePoint
{
  int mHz = 0;
  double mVolumeDb = 0.0;
  ThdReferenceCapture mCapture;
};

enum class EThdReferenceSweep { kNone, kFrequency, kLevel };

// What a run measures, point by point: a reference must have been made the same way.
struct ThdReferencePlan
{
  double mSampleRate = 0.0;
  int mDenoising = 0;
  EThdReferenceSweep mSweep = EThdReferenceSweep::kNone;
  double mFrom = 0.0, mTo = 0.0;
  int mPoints = 0;        // frequency sweeps: as asked
  double mStepDb = 0.0;   // level sweeps
};

struct ThdReferenceFile
{
  ThdReferencePlan mPlan;
  std::string mSource;
  std::vector<ThdReferencePoint> mPoints;
};

// Files larger than this, and more points than this, are not references.
inline constexpr long long kThdReferenceMaxBytes = 64LL << 20;
inline constexpr size_t kThdReferenceMaxPoints = 200000;

// The document, as written.
std::string ThdReferenceJson(const ThdReferenceFile& file);
bool ThdWriteReferenceFile(const std::string& path, const ThdReferenceFile& file, std::string* error);

// Reads a document; false with a one-line reason in error (naming the file as `name`).
bool ThdParseReference(const std::string& text, const std::string& name, ThdReferenceFile* file, std::string* error);
bool ThdReadReferenceFile(const std::string& path, ThdReferenceFile* file, std::string* error);

// Whether a reference was made the way a run measures: the same sample rate, Denoising, sweep
// plan, and at every point the same frequency, level and measured harmonics (the run's points
// carry no figures). False with a one-line reason in error that says what differs.
bool ThdReferenceFits(const ThdReferenceFile& reference, const std::string& name, const ThdReferenceFile& run,
                      std::string* error);

// "a single run", "a frequency sweep of 20-20000 Hz in 31 points", ...
std::string ThdReferencePlanText(const ThdReferencePlan& plan);
