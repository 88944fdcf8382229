// Reading and checking thdmeasure's command line (CLI11): each option's values and the modes it
// belongs to.

#include "ThdOptions.h"

#include "IThdMeter.h"
#include "ThdFormat.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <tuple>

namespace {
const char* const kDescription =
  "Runs one THD measurement with the Veldramix THD Meter plug-in object. The tool plays the\n"
  "host: it sets the sample rate and block size, presses Start, feeds the tone output through a\n"
  "simulated device and back into the chosen input (one block plus --latency frames later), and\n"
  "shows each progress text, then the results text as the editor shows it, the harmonic levels\n"
  "in dBFS, the THD and the THD+N. Offline it writes the test tone to a file for a real chain,\n"
  "or checks and analyses a recording of that chain.";

const char* const kFooter =
  "Checks on a capture (--analyse): a tone at the chosen frequency, no silence, no clipped or\n"
  "non-finite samples, a steady fundamental, enough tone after its start for the averaging, and\n"
  "the clock offset between player and recorder (always reported). A failed check prints what\n"
  "is wrong and what to do, and exits with status 3 unless --force is given.\n"
  "\n"
  "Levels: a full-scale sine is 0 dBFS (harmonic levels, --noise).\n"
  "THD+N: the RMS of what remains of the signal once its fitted fundamental is taken away, in\n"
  "a brick-wall band from 20 Hz to 20 kHz (or half the sample rate, if lower; each second's\n"
  "spectrum, its edges included), over the averaging window, relative to the fundamental\n"
  "measured unfiltered.\n"
  "Figures below the analysis' rounding floor (-200 dB: the residue of harmonics that are not\n"
  "there, silence) print as \"< -200\"; JSON keeps the numbers.\n"
  "\n"
  "Interface reference (--save-reference, --reference): the interface's own distortion, taken\n"
  "from a loop-back capture, is subtracted from a measurement through the device as vectors\n"
  "(level and phase at the fundamental's zero crossing, scaled to the measured fundamental).\n"
  "It holds only while the interface's distortion is the same in both captures: same tone\n"
  "level, same gain settings, same sample rate, Denoising and sweep (a reference of other ones\n"
  "is refused), and a device roughly flat in gain and phase up to the 5th harmonic that does\n"
  "not invert the polarity; the report prints the device gain it assumed (the fundamental over\n"
  "the reference's) and warns beyond 0.5 dB, where the interface's input sees another level.\n"
  "The compensated THD's uncertainty comes from both captures' noise near each harmonic, the\n"
  "samples' rounding and, with two or more references, their spread (one reference gives the\n"
  "noise bound only, and says so); a compensated harmonic not twice its uncertainty above\n"
  "nothing prints as an upper bound. THD+N is not compensated: noise does not subtract.\n"
  "\n"
  "Exit status: 0 measured (or tone written), 1 the measurement could not run or a file could\n"
  "not be read or written, 2 bad options (a reference made with other settings among them),\n"
  "3 a check on the capture failed. In a sweep every point is reported; the status is 1 when a\n"
  "point could not be measured, 3 when a check failed on a step of the recording.";

std::string ModelList()
{
  std::string s;
  for (const ThdDeviceModelName& m : kThdDeviceModels) s += (s.empty() ? "" : ", ") + std::string(m.mOption);
  return s;
}

bool ParseChannel(const std::string& s, int* out)
{
  if (s == "left" || s == "0") { *out = 0; return true; }
  if (s == "right" || s == "1") { *out = 1; return true; }
  return false;
}

bool ParseNumber(const std::string& s, double* out)
{
  if (s.empty()) return false;
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (*end || !std::isfinite(v)) return false;
  *out = v;
  return true;
}

// Up to four numbers C2,C3,C4,C5 separated by commas (missing ones stay 0).
bool ParseCoeffs(const std::string& s, double out[4])
{
  double c[4] = {0.0, 0.0, 0.0, 0.0};
  int k = 0;
  size_t from = 0;
  while (true)
  {
    const size_t comma = s.find(',', from);
    const std::string item = s.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
    if (k >= 4 || !ParseNumber(item, &c[k])) return false;
    ++k;
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  for (int i = 0; i < 4; ++i) out[i] = c[i];
  return true;
}

// FROM:TO:THIRD, three numbers separated by colons.
bool ParseSpec(const std::string& s, double out[3])
{
  size_t from = 0;
  for (int i = 0; i < 3; ++i)
  {
    const size_t colon = s.find(':', from);
    if ((i < 2) != (colon != std::string::npos)) return false;
    if (!ParseNumber(s.substr(from, i < 2 ? colon - from : std::string::npos), &out[i])) return false;
    from = colon + 1;
  }
  return true;
}

// The meter clamps a typed frequency to this range: a sweep beyond it would repeat its ends.
constexpr double kSweepMinHz = 20.0, kSweepMaxHz = 20000.0;

bool WholeNumber(double v) { return v == std::floor(v); }

ThdParsed Error(const std::string& text)
{
  ThdParsed p;
  p.mExit = 2;
  p.mText = text;
  return p;
}
}  // namespace

double ThdVolumeOnGrid(double dB, bool* rounded)
{
  const double steps = dB / kThdVolumeStepDb, whole = std::round(steps);
  *rounded = std::fabs(steps - whole) > 1e-6;
  // No "-0": a level of 0 dB is printed as it is.
  const double onGrid = whole * kThdVolumeStepDb;
  return onGrid == 0.0 ? 0.0 : onGrid;
}

ThdParsed ThdParseOptions(int argc, char** argv, ThdOptions& o)
{
  CLI::App app(kDescription, "thdmeasure");
  app.footer(kFooter);
  app.get_formatter()->column_width(30);

  std::string freq, entry, volume, denoising, output, input, rate, device, coeffs, drive, gain, noise, start, dac, adc;
  long long block = 512, seed = 1, latency = 0, lag = 0;
  const char* M = "Measurement (as set in the editor)";
  app.add_option("--freq", freq, "test frequency, a whole number of Hz from 20 to 20000 (default 300)")
    ->type_name("HZ")->group(M);
  app.add_option("--entry", entry, "text typed into the frequency display instead (\"x440\" is 440 Hz, \"1k5\" is 20 Hz)")
    ->type_name("TEXT")->group(M);
  app.add_option("--volume", volume, "tone level, -20..0 dB in steps of 0.02 dB, the fader's finest (default -10)")->type_name("DB")->group(M);
  app.add_option("--denoising", denoising, "averaging length: 12, 120 or 1200 (default 12; a run takes one settling second more)")
    ->type_name("SECONDS")->group(M);
  app.add_option("--output", output, "output that carries the tone: left or right (default left)")->type_name("SIDE")->group(M);
  app.add_option("--input", input, "input that is analysed: left or right (default left; of a capture, its first or second channel)")
    ->type_name("SIDE")->group(M);
  app.add_option("--calibration", o.mCalibration, "calibration file (frequency/level pairs) instead of the one in the documents folder")
    ->type_name("FILE")->group(M);
  app.add_flag("--no-calibration", o.mNoCalibration, "use no calibration file at all")->group(M);

  const char* H = "Host";
  app.add_option("--rate", rate, "sample rate of the simulated loop or the written tone, 8000..1536000 (default 48000)")->type_name("HZ")->group(H);
  app.add_option("--block", block, "block size in frames, 1..65536 (default 512)")->type_name("N")->group(H);
  app.add_flag("--double", o.mDoubleBuffers, "64-bit host buffers (default: 32-bit float buffers)")->group(H);

  const char* D = "Simulated device between output and input";
  app.add_option("--device", device, "model: " + ModelList() + " (default loopback)")->type_name("MODEL")->group(D);
  app.add_option("--coeffs", coeffs, "poly, chain: the device's curve y = x + C2 x^2 + C3 x^3 + C4 x^4 + C5 x^5 (missing ones 0; "
                 "chain without it: a wire, the interface's loop-back)")
    ->type_name("C2,C3,C4,C5")->group(D);
  app.add_option("--lag", lag, "poly, chain: the curve's terms act on the input N frames earlier (a device with memory: "
                 "harmonics at phases no memoryless curve gives; default 0)")
    ->type_name("N")->group(D);
  app.add_option("--dac", dac, "chain: the interface's output converter, a curve of the same form before the device")
    ->type_name("C2,C3,C4,C5")->group(D);
  app.add_option("--adc", adc, "chain: the interface's input converter, the same after the device and its --gain")
    ->type_name("C2,C3,C4,C5")->group(D);
  app.add_option("--drive", drive, "softclip: y = tanh(D x) / D, D > 0 (default 1)")->type_name("D")->group(D);
  app.add_option("--gain", gain, "gain after the model, -200..60 dB (default 0)")->type_name("DB")->group(D);
  app.add_option("--noise", noise, "add white Gaussian noise of this RMS level (a full-scale sine is 0 dBFS)")
    ->type_name("DBFS")->group(D);
  app.add_option("--seed", seed, "seed of the noise (default 1)")->type_name("N")->group(D);
  app.add_option("--latency", latency, "extra round-trip delay in frames (default 0)")->type_name("N")->group(D);

  const char* F = "Offline";
  app.add_option("--write-tone", o.mToneFile, "write the tone the plug-in plays during one run: a 32-bit float WAV of both outputs, the tone on the --output channel (left unless --output right), the other silent")
    ->type_name("FILE")->group(F);
  app.add_option("--analyse,--analyze", o.mCapture, "check and analyse a recorded capture (WAV or any format libsndfile reads)")
    ->type_name("FILE")->group(F);
  app.add_option("--start", start, "analyse from this time in the capture instead of where its tone starts")
    ->type_name("SECONDS")->group(F);
  app.add_flag("--drift-correct", o.mDriftCorrect, "resample the capture by the measured clock offset even where it moves no figure by 0.01 dB")->group(F);
  app.add_flag("--no-drift-correct", o.mNoDriftCorrect, "never resample the capture (by default it is, by the measured clock offset, whenever that could move a reported figure by more than 0.01 dB)")->group(F);
  app.add_flag("--force", o.mForce, "measure even when a check on the capture fails (the warnings stay in the output)")->group(F);

  const char* W = "Sweeps";
  std::string sweepFreq, sweepLevel;
  std::string jobs;
  app.add_option("--sweep-freq", sweepFreq, "measure at POINTS log-spaced whole frequencies from FROM to TO Hz (20..20000)")
    ->type_name("FROM:TO:POINTS")->group(W);
  app.add_option("--sweep-level", sweepLevel, "measure at tone levels FROM, FROM+STEP, ... up to TO dB (-20..0; "
                 "e.g. --sweep-level=-20:0:2)")->type_name("FROM:TO:STEP")->group(W);
  app.add_option("--jobs", jobs, "points measured at once (default: one per core)")->type_name("N")->group(W);
  app.add_option("--csv", o.mCsv, "also write the sweep's points as CSV (one row per point)")->type_name("FILE")->group(W);
  app.add_option("--plot", o.mPlot, "also draw THD, THD+N and H2-H5 against frequency or level (PNG; with --reference "
                 "measured, reference and compensated THD)")
    ->type_name("FILE.png")->group(W);

  const char* R = "Interface reference (below)";
  app.add_option("--save-reference", o.mSaveReference, "measure the interface alone (output looped to input) and write "
                 "its harmonics, phases and noise as a reference (JSON; a sweep: one entry per point)")
    ->type_name("FILE.json")->group(R);
  app.add_option("--reference", o.mReferences, "subtract the interface's harmonics of this reference from the measurement; "
                 "give it again for each further capture of the interface, whose spread then counts in the uncertainty")
    ->type_name("FILE.json")->group(R)->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);

  const char* O = "Output";
  app.add_flag("--json", o.mJson, "print one JSON object instead of text")->group(O);
  app.add_flag("--quiet", o.mQuiet, "no progress texts")->group(O);
  app.add_option("--snapshot", o.mSnapshot, "write the editor as the user sees it after the run (PNG)")
    ->type_name("FILE")->group(O);
  app.add_option("--snapshot-every", o.mSnapshotDir, "write the editor at every progress message into DIR (progress-NNNN.png)")
    ->type_name("DIR")->group(O);

  // An option that wants a value never takes the option after it as that value: "--analyse
  // --quiet" is a file name forgotten, not a file called "--quiet".
  for (int i = 1; i + 1 < argc; ++i)
  {
    const std::string arg = argv[i], next = argv[i + 1];
    if (arg.rfind("--", 0) != 0 || arg.find('=') != std::string::npos || next.rfind("--", 0) != 0) continue;
    for (const CLI::Option* opt : app.get_options())
      if (opt->get_items_expected_min() > 0 && opt->check_lname(arg.substr(2)))
        return Error(arg + " needs a value before the next option, " + next);
  }

  try
  {
    app.parse(argc, argv);
  }
  catch (const CLI::CallForHelp&)
  {
    ThdParsed p;
    p.mExit = 0;
    p.mText = app.help();
    return p;
  }
  catch (const CLI::ParseError& e)
  {
    return Error(std::string(e.what()) + " (see --help)");
  }

  auto given = [&](const char* name) { return app.count(name) > 0; };
  ThdParsed p;

  // Modes first: which options apply depends on them.
  if (given("--write-tone") && given("--analyse")) return Error("give --write-tone or --analyse, not both");
  if (given("--write-tone"))
  {
    if (o.mToneFile.empty()) return Error("--write-tone needs a file name");
    o.mMode = EThdMode::kWriteTone;
  }
  if (given("--analyse"))
  {
    if (o.mCapture.empty()) return Error("--analyse needs a file name");
    o.mMode = EThdMode::kAnalyse;
  }
  for (const char* opt : {"--device", "--coeffs", "--drive", "--gain", "--noise", "--seed", "--latency", "--lag", "--dac", "--adc"})
    if (given(opt) && o.mMode != EThdMode::kSimulate)
      return Error(std::string(opt) + " applies to the simulated device, not to " +
                   (o.mMode == EThdMode::kAnalyse ? "--analyse" : "--write-tone"));
  for (const char* opt : {"--start", "--drift-correct", "--no-drift-correct", "--force"})
    if (given(opt) && o.mMode != EThdMode::kAnalyse) return Error(std::string(opt) + " applies only to --analyse");
  if (given("--rate") && o.mMode == EThdMode::kAnalyse)
    return Error("--rate does not apply to --analyse: the capture's own sample rate is used");
  if (o.mMode == EThdMode::kWriteTone && given("--input")) return Error("--input does not apply to --write-tone");

  if (given("--drift-correct") && given("--no-drift-correct")) return Error("give --drift-correct or --no-drift-correct, not both");

  // Values.
  if (given("--freq") && given("--entry")) return Error("give --freq or --entry, not both");
  if (given("--freq"))
  {
    char* end = nullptr;
    const long long n = std::strtoll(freq.c_str(), &end, 10);
    if (freq.empty() || *end || n < 20 || n > 20000)
      return Error("--freq wants a whole number of Hz from 20 to 20000, not '" + freq + "'");
    o.mFreqText = std::to_string(n);
  }
  if (given("--entry")) o.mFreqText = entry;
  double d = 0.0;
  if (given("--volume"))
  {
    if (!ParseNumber(volume, &d) || d < IThdMeter::kMinVolumeDb || d > 0.0) return Error("--volume wants -20..0 dB, not '" + volume + "'");
    bool rounded = false;
    o.mVolumeDb = ThdVolumeOnGrid(d, &rounded);
    if (rounded)
      p.mWarnings.push_back(ThdFormat("--volume %s dB lies between the fader's steps of %.2f dB: measuring at %.2f dB",
                                      volume.c_str(), kThdVolumeStepDb, o.mVolumeDb));
  }
  if (given("--denoising"))
  {
    char* end = nullptr;
    const long long n = std::strtoll(denoising.c_str(), &end, 10);
    if (denoising.empty() || *end || n > 100000 || IThdMeter::DenoisingValue((int)n) < 0.0)
      return Error("--denoising wants 12, 120 or 1200 seconds, not '" + denoising + "'");
    o.mDenoising = (int)n;
  }
  if (given("--output") && !ParseChannel(output, &o.mOutput)) return Error("--output wants left or right, not '" + output + "'");
  if (given("--input") && !ParseChannel(input, &o.mInput)) return Error("--input wants left or right, not '" + input + "'");
  if (given("--calibration") && given("--no-calibration")) return Error("give --calibration or --no-calibration, not both");
  if (given("--calibration") && o.mCalibration.empty()) return Error("--calibration needs a file name");
  if (given("--rate"))
  {
    if (!ParseNumber(rate, &d) || d < 8000.0 || d > 1536000.0 || d != std::floor(d))
      return Error("--rate wants a whole number of Hz from 8000 to 1536000, not '" + rate + "'");
    o.mRate = d;
  }
  if (block < 1 || block > 65536) return Error("--block wants 1..65536 frames, not '" + std::to_string(block) + "'");
  o.mBlock = (int)block;

  if (given("--device"))
  {
    bool known = false;
    for (const ThdDeviceModelName& m : kThdDeviceModels)
      if (device == m.mOption)
      {
        o.mDevice.mModel = m.mModel;
        known = true;
      }
    if (!known) return Error("--device wants " + ModelList() + ", not '" + device + "'");
  }
  const bool curve = o.mDevice.mModel == EThdDeviceModel::kPolynomial || o.mDevice.mModel == EThdDeviceModel::kChain;
  if (given("--coeffs"))
  {
    if (!curve) return Error("--coeffs applies only to --device poly or chain");
    if (!ParseCoeffs(coeffs, o.mDevice.mPoly)) return Error("--coeffs wants up to four numbers C2,C3,C4,C5, not '" + coeffs + "'");
  }
  if (given("--lag"))
  {
    if (!curve) return Error("--lag applies only to --device poly or chain");
    if (lag < 0 || lag > 1000000) return Error("--lag wants 0..1000000 frames, not '" + std::to_string(lag) + "'");
    o.mDevice.mLag = (int)lag;
  }
  for (auto [opt, text, out] : {std::make_tuple("--dac", &dac, o.mDevice.mDac), std::make_tuple("--adc", &adc, o.mDevice.mAdc)})
    if (given(opt))
    {
      if (o.mDevice.mModel != EThdDeviceModel::kChain) return Error(std::string(opt) + " applies only to --device chain");
      if (!ParseCoeffs(*text, out))
        return Error(std::string(opt) + " wants up to four numbers C2,C3,C4,C5, not '" + *text + "'");
    }
  if (given("--drive"))
  {
    if (o.mDevice.mModel != EThdDeviceModel::kSoftClip) return Error("--drive applies only to --device softclip");
    if (!ParseNumber(drive, &d) || d <= 0.0 || d > 1000.0) return Error("--drive wants a number above 0 (up to 1000), not '" + drive + "'");
    o.mDevice.mDrive = d;
  }
  if (given("--gain"))
  {
    if (!ParseNumber(gain, &d) || d < -200.0 || d > 60.0) return Error("--gain wants -200..60 dB, not '" + gain + "'");
    o.mDevice.mGainDb = d;
  }
  if (given("--noise"))
  {
    if (!ParseNumber(noise, &d) || d < -300.0 || d > 20.0) return Error("--noise wants an RMS level of -300..20 dBFS, not '" + noise + "'");
    o.mDevice.mNoise = true;
    o.mDevice.mNoiseDbfs = d;
  }
  if (seed < 0) return Error("--seed wants a whole number from 0 up");
  o.mDevice.mSeed = (uint64_t)seed;
  if (latency < 0 || latency > 10000000) return Error("--latency wants 0..10000000 frames");
  o.mLatency = (int)latency;
  if (given("--start"))
  {
    if (!ParseNumber(start, &d) || d < 0.0 || d > 1e7) return Error("--start wants a time in seconds from 0, not '" + start + "'");
    o.mStartSeconds = d;
  }
  // Sweeps: one at a time, and only options that mean something for a series of points.
  if (given("--sweep-freq") && given("--sweep-level")) return Error("give --sweep-freq or --sweep-level, not both");
  double v[3];
  if (given("--sweep-freq"))
  {
    if (given("--freq") || given("--entry")) return Error("--sweep-freq sets the frequencies: give no --freq or --entry with it");
    const std::string want = "--sweep-freq wants FROM:TO:POINTS (whole Hz from 20 to 20000, 2..1000 points), not '" + sweepFreq + "'";
    if (!ParseSpec(sweepFreq, v) || !WholeNumber(v[0]) || !WholeNumber(v[1]) || !WholeNumber(v[2])) return Error(want);
    if (v[0] < kSweepMinHz || v[0] > kSweepMaxHz || v[1] < kSweepMinHz ||
        v[1] > kSweepMaxHz || v[2] < 2 || v[2] > 1000)
      return Error(want);
    if (v[0] == v[1]) return Error("--sweep-freq wants FROM and TO to differ, not '" + sweepFreq + "'");
    o.mSweep.mKind = EThdSweep::kFrequency;
    o.mSweep.mFrom = v[0];
    o.mSweep.mTo = v[1];
    o.mSweep.mPoints = (int)v[2];
  }
  if (given("--sweep-level"))
  {
    if (given("--volume")) return Error("--sweep-level sets the tone levels: give no --volume with it");
    if (!ParseSpec(sweepLevel, v) || v[0] < IThdMeter::kMinVolumeDb || v[0] > 0.0 || v[1] < IThdMeter::kMinVolumeDb ||
        v[1] > 0.0 || !(v[2] > 0.0))
      return Error("--sweep-level wants FROM:TO:STEP (dB from -20 to 0, STEP above 0), not '" + sweepLevel + "'");
    if (v[0] == v[1]) return Error("--sweep-level wants FROM and TO to differ, not '" + sweepLevel + "'");
    if (v[2] > std::fabs(v[1] - v[0]) + 1e-9)
      return Error("--sweep-level wants a STEP no larger than the distance from FROM to TO, not '" + sweepLevel + "'");
    o.mSweep.mKind = EThdSweep::kLevel;
    o.mSweep.mFrom = v[0];
    o.mSweep.mTo = v[1];
    o.mSweep.mStepDb = v[2];
  }
  const bool sweep = o.mSweep.mKind != EThdSweep::kNone;
  for (const char* opt : {"--csv", "--plot", "--jobs"})
    if (given(opt) && !sweep) return Error(std::string(opt) + " applies only to a sweep (--sweep-freq or --sweep-level)");
  for (const char* opt : {"--snapshot", "--snapshot-every"})
    if (given(opt) && sweep) return Error(std::string(opt) + " applies only to a single run, not to a sweep");
  if (given("--start") && sweep) return Error("--start does not apply to a sweep: each step is found in the recording");
  for (const char* opt : {"--csv", "--plot"})
    if (given(opt) && o.mMode == EThdMode::kWriteTone) return Error(std::string(opt) + " does not apply to --write-tone: nothing is measured");
  if (given("--csv") && o.mCsv.empty()) return Error("--csv needs a file name");
  if (given("--plot") && o.mPlot.empty()) return Error("--plot needs a file name");
  if (given("--jobs"))
  {
    char* end = nullptr;
    const long long n = std::strtoll(jobs.c_str(), &end, 10);
    if (jobs.empty() || *end || n < 1 || n > 1024) return Error("--jobs wants 1..1024 threads, not '" + jobs + "'");
    o.mJobs = (int)n;
  }
  else if (sweep)
  {
    o.mJobs = std::max(1, (int)std::thread::hardware_concurrency());
  }

  // The interface reference: measured or used, not both, and only where something is measured.
  if (given("--save-reference") && o.mSaveReference.empty()) return Error("--save-reference needs a file name");
  if (given("--reference"))
  {
    for (const std::string& f : o.mReferences)
      if (f.empty() || f.rfind("--", 0) == 0) return Error("--reference needs a file name");
    if (o.mReferences.size() > kThdMaxReferences)
      return Error("--reference takes at most " + std::to_string(kThdMaxReferences) + " captures of the interface");
  }
  if (given("--save-reference") && given("--reference"))
    return Error("give --save-reference (measure the interface alone) or --reference (compensate by it), not both");
  for (const char* opt : {"--save-reference", "--reference"})
    if (given(opt) && o.mMode == EThdMode::kWriteTone)
      return Error(std::string(opt) + " does not apply to --write-tone: nothing is measured");

  if (o.mMode == EThdMode::kWriteTone && o.mQuiet) p.mWarnings.push_back("--quiet does nothing with --write-tone");
  return p;
}
