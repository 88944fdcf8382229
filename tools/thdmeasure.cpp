// thdmeasure: runs a THD measurement with the real plug-in object, driven the way a host
// drives it, against a simulated device chain -- or offline: writes the test tone the
// plug-in plays to a WAV file, or analyses a recorded loop-back capture through the engine.
#include "IThdMeter.h"
#include "IUserNotice.h"
#include "ThdDevice.h"
#include "ThdLoopHost.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define VX_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define VX_ISATTY(fd) isatty(fd)
#endif

#ifdef VX_HAVE_SNDFILE
#include <sndfile.h>
#endif

namespace {
const char* const kUsage =
  "Usage: thdmeasure [options]\n"
  "\n"
  "Runs one THD measurement with the Veldramix THD Meter plug-in object. The tool plays\n"
  "the host: it sets the sample rate and block size, presses Start, feeds the tone output\n"
  "through a simulated device and back into the chosen input (one block plus --latency\n"
  "frames later), and shows each progress text, then the results text as the editor\n"
  "shows it, the harmonic levels in dBFS and the THD in dB.\n"
  "\n"
  "Measurement (as set in the editor):\n"
  "  --freq HZ            test frequency, a whole number of Hz (default 300; the meter\n"
  "                       clamps it to 20..20000)\n"
  "  --entry TEXT         text typed into the frequency display instead (read as the\n"
  "                       meter reads it: \"x440\" is 440 Hz, \"1k5\" is 20 Hz)\n"
  "  --volume DB          tone level, -20..0 dB (default -10)\n"
  "  --denoising SECONDS  averaging length: 12, 120 or 1200 (default 12; a run takes one\n"
  "                       settling second more)\n"
  "  --output left|right  output that carries the tone (default left)\n"
  "  --input left|right   input that is analysed (default left)\n"
  "  --calibration FILE   use this calibration file (frequency/level pairs) instead of the\n"
  "                       one the plug-in finds in its documents folder\n"
  "  --no-calibration     use no calibration file at all\n"
  "\n"
  "Host:\n"
  "  --rate HZ            sample rate (default 48000)\n"
  "  --block N            block size in frames, 1..65536 (default 512)\n"
  "  --double             64-bit host buffers (default: 32-bit float buffers)\n"
  "\n"
  "Device between output and input:\n"
  "  --device MODEL       loopback (default), poly or softclip\n"
  "  --coeffs C2,C3,C4,C5 poly: y = x + C2 x^2 + C3 x^3 + C4 x^4 + C5 x^5 (missing ones 0)\n"
  "  --drive D            softclip: y = tanh(D x) / D, D > 0 (default 1): unity gain\n"
  "                       for small signals, peaks squashed towards 1 / D\n"
  "  --gain DB            gain after the model (default 0)\n"
  "  --noise DBFS         add white Gaussian noise of this RMS level (default none)\n"
  "  --seed N             seed of the noise (default 1)\n"
  "  --latency N          extra round-trip delay in frames (default 0)\n"
  "\n"
  "Offline (no device loop):\n"
  "  --write-tone FILE    write the tone the plug-in plays during one run (both outputs,\n"
  "                       32-bit float WAV) to FILE, for playing through a real chain\n"
  "  --analyse FILE       analyse a recorded capture (WAV or any format libsndfile reads):\n"
  "                       its first channel feeds the left input, its second (or again its\n"
  "                       first) the right input; the file's sample rate is used\n"
  "\n"
  "Output:\n"
  "  --json               print one JSON object instead of text\n"
  "  --quiet              no progress texts\n"
  "  --snapshot FILE      picture of the editor (not available: this build has no editor)\n"
  "  --help               this text\n"
  "\n"
  "Exit status: 0 measured (or tone written), 1 the measurement could not run or a file\n"
  "could not be read or written, 2 bad options.\n";

struct Options
{
  std::string freqText = "300";
  bool freqGiven = false, entryGiven = false;
  double volumeDb = -10.0;
  int denoising = 12;
  int output = 0, input = 0;
  std::string calibration;
  bool noCalibration = false;
  double rate = 48000.0;
  bool rateGiven = false;
  int block = 512;
  bool useDouble = false;
  ThdDeviceSettings device;
  int latency = 0;
  std::string writeTone, analyse, snapshot;
  bool json = false, quiet = false;
};

bool gQuietNotices = false;
void ToolNotice(const char* text, const char* caption, ENoticeKind)
{
  if (!gQuietNotices) std::fprintf(stderr, "thdmeasure: notice (%s): %s\n", caption, text);
}

int Fail(const char* fmt, const char* a = "", const char* b = "")
{
  std::fprintf(stderr, "thdmeasure: ");
  std::fprintf(stderr, fmt, a, b);
  std::fprintf(stderr, "\n");
  return 2;
}

bool ParseDouble(const char* s, double* out)
{
  if (!s || !*s) return false;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(s, &end);
  if (*end || errno == ERANGE || !std::isfinite(v)) return false;
  *out = v;
  return true;
}

bool ParseInt(const char* s, long long lo, long long hi, long long* out)
{
  if (!s || !*s) return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(s, &end, 10);
  if (*end || errno == ERANGE || v < lo || v > hi) return false;
  *out = v;
  return true;
}

bool ParseChannel(const char* s, int* out)
{
  if (!std::strcmp(s, "left") || !std::strcmp(s, "0")) { *out = 0; return true; }
  if (!std::strcmp(s, "right") || !std::strcmp(s, "1")) { *out = 1; return true; }
  return false;
}

// Returns 0 to go on, 2 for a usage error, -1 after --help.
int ParseOptions(int argc, char** argv, Options& o)
{
  for (int i = 1; i < argc; ++i)
  {
    std::string arg = argv[i];
    std::string value;
    bool hasValue = false;
    if (arg.rfind("--", 0) == 0)
    {
      const size_t eq = arg.find('=');
      if (eq != std::string::npos)
      {
        value = arg.substr(eq + 1);
        arg = arg.substr(0, eq);
        hasValue = true;
      }
    }
    auto need = [&](std::string& v) {
      if (hasValue) { v = value; return true; }
      if (i + 1 >= argc) return false;
      v = argv[++i];
      return true;
    };
    std::string v;
    const char* name = arg.c_str();
    if (arg == "--help" || arg == "-h") return -1;
    else if (arg == "--double") o.useDouble = true;
    else if (arg == "--json") o.json = true;
    else if (arg == "--quiet") o.quiet = true;
    else if (arg == "--no-calibration") o.noCalibration = true;
    else if (arg == "--freq" || arg == "--entry" || arg == "--volume" || arg == "--denoising" || arg == "--output" ||
             arg == "--input" || arg == "--calibration" || arg == "--rate" || arg == "--block" || arg == "--device" ||
             arg == "--coeffs" || arg == "--drive" || arg == "--gain" || arg == "--noise" || arg == "--seed" ||
             arg == "--latency" || arg == "--write-tone" || arg == "--analyse" || arg == "--analyze" ||
             arg == "--snapshot")
    {
      if (!need(v)) return Fail("option %s needs a value (see --help)", name);
      long long n = 0;
      double d = 0.0;
      if (arg == "--freq")
      {
        if (!ParseInt(v.c_str(), 1, 9999999, &n)) return Fail("--freq wants a whole number of Hz, not '%s'", v.c_str());
        o.freqText = std::to_string(n);
        o.freqGiven = true;
      }
      else if (arg == "--entry") { o.freqText = v; o.entryGiven = true; }
      else if (arg == "--volume")
      {
        if (!ParseDouble(v.c_str(), &d) || d < -20.0 || d > 0.0) return Fail("--volume wants -20..0 dB, not '%s'", v.c_str());
        o.volumeDb = d;
      }
      else if (arg == "--denoising")
      {
        if (!ParseInt(v.c_str(), 0, 100000, &n) || (n != 12 && n != 120 && n != 1200))
          return Fail("--denoising wants 12, 120 or 1200 seconds, not '%s'", v.c_str());
        o.denoising = (int)n;
      }
      else if (arg == "--output") { if (!ParseChannel(v.c_str(), &o.output)) return Fail("--output wants left or right, not '%s'", v.c_str()); }
      else if (arg == "--input") { if (!ParseChannel(v.c_str(), &o.input)) return Fail("--input wants left or right, not '%s'", v.c_str()); }
      else if (arg == "--calibration") o.calibration = v;
      else if (arg == "--rate")
      {
        if (!ParseDouble(v.c_str(), &d) || d < 1.0 || d > 1536000.0 || d != std::floor(d))
          return Fail("--rate wants a whole number of Hz from 1 to 1536000, not '%s'", v.c_str());
        o.rate = d;
        o.rateGiven = true;
      }
      else if (arg == "--block")
      {
        if (!ParseInt(v.c_str(), 1, 65536, &n)) return Fail("--block wants 1..65536 frames, not '%s'", v.c_str());
        o.block = (int)n;
      }
      else if (arg == "--device")
      {
        if (v == "loopback") o.device.mModel = EThdDeviceModel::kLoopBack;
        else if (v == "poly") o.device.mModel = EThdDeviceModel::kPolynomial;
        else if (v == "softclip") o.device.mModel = EThdDeviceModel::kSoftClip;
        else return Fail("--device wants loopback, poly or softclip, not '%s'", v.c_str());
      }
      else if (arg == "--coeffs")
      {
        int k = 0;
        size_t start = 0;
        while (true)
        {
          const size_t comma = v.find(',', start);
          const std::string item = v.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
          if (k >= 4 || !ParseDouble(item.c_str(), &d)) return Fail("--coeffs wants up to four numbers C2,C3,C4,C5, not '%s'", v.c_str());
          o.device.mPoly[k++] = d;
          if (comma == std::string::npos) break;
          start = comma + 1;
        }
      }
      else if (arg == "--drive")
      {
        if (!ParseDouble(v.c_str(), &d) || d <= 0.0 || d > 1000.0) return Fail("--drive wants a number above 0 (up to 1000), not '%s'", v.c_str());
        o.device.mDrive = d;
      }
      else if (arg == "--gain")
      {
        if (!ParseDouble(v.c_str(), &d) || d < -200.0 || d > 60.0) return Fail("--gain wants -200..60 dB, not '%s'", v.c_str());
        o.device.mGainDb = d;
      }
      else if (arg == "--noise")
      {
        if (!ParseDouble(v.c_str(), &d) || d < -300.0 || d > 20.0) return Fail("--noise wants an RMS level of -300..20 dBFS, not '%s'", v.c_str());
        o.device.mNoise = true;
        o.device.mNoiseDbfs = d;
      }
      else if (arg == "--seed")
      {
        if (!ParseInt(v.c_str(), 0, INT64_MAX, &n)) return Fail("--seed wants a whole number, not '%s'", v.c_str());
        o.device.mSeed = (uint64_t)n;
      }
      else if (arg == "--latency")
      {
        if (!ParseInt(v.c_str(), 0, 10000000, &n)) return Fail("--latency wants 0..10000000 frames, not '%s'", v.c_str());
        o.latency = (int)n;
      }
      else if (arg == "--write-tone") o.writeTone = v;
      else if (arg == "--analyse" || arg == "--analyze") o.analyse = v;
      else if (arg == "--snapshot") o.snapshot = v;
    }
    else
    {
      return Fail("unknown option '%s' (see --help)", name);
    }
  }
  if (o.freqGiven && o.entryGiven) return Fail("give --freq or --entry, not both");
  if (!o.writeTone.empty() && !o.analyse.empty()) return Fail("give --write-tone or --analyse, not both");
  if (!o.calibration.empty() && o.noCalibration) return Fail("give --calibration or --no-calibration, not both");
  return 0;
}

// ---- output ---------------------------------------------------------------------------------

std::string JsonString(const char* s)
{
  std::string out = "\"";
  for (; *s; ++s)
  {
    const unsigned char c = (unsigned char)*s;
    if (c == '"' || c == '\\') { out += '\\'; out += (char)c; }
    else if (c == '\n') out += "\\n";
    else if (c < 0x20) { char buf[8]; std::snprintf(buf, sizeof buf, "\\u%04x", c); out += buf; }
    else out += (char)c;
  }
  return out + "\"";
}

std::string JsonNumber(double v)
{
  if (!std::isfinite(v)) return "null";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

double ToDb(double linear) { return 20.0 * std::log10(linear); }

std::string DbText(double db, const char* unit)
{
  char buf[48];
  if (std::isnan(db)) std::snprintf(buf, sizeof buf, "not a number");
  else if (std::isinf(db)) std::snprintf(buf, sizeof buf, "%s%s", db < 0 ? "-inf " : "+inf ", unit);
  else std::snprintf(buf, sizeof buf, "%9.3f %s", db, unit);
  return buf;
}

class Progress
{
public:
  Progress(bool enabled, bool tty, double totalFrames) : mEnabled(enabled), mTty(tty), mTotal(totalFrames) {}

  void Show(const char* text, long long frames)
  {
    if (!mEnabled) return;
    if (!mTty)
    {
      std::printf("%s\n", text);
      std::fflush(stdout);
      return;
    }
    std::string line = text;
    for (char& c : line)
      if (c == '\n') c = ' ';
    double fraction = mTotal > 0 ? frames / mTotal : 0.0;
    if (fraction > 1.0) fraction = 1.0;
    const int width = 30, filled = (int)(fraction * width);
    std::printf("\r[%s%s] %3d%%  %s   ", std::string((size_t)filled, '#').c_str(),
                std::string((size_t)(width - filled), '.').c_str(), (int)(fraction * 100.0), line.c_str());
    std::fflush(stdout);
    mOpen = true;
  }
  void End(bool completed)
  {
    if (mOpen && completed)
      std::printf("\r[%s] 100%%  results ready%*s", std::string(30, '#').c_str(), 40, "");
    if (mOpen) std::printf("\n");
    mOpen = false;
  }

private:
  bool mEnabled, mTty;
  double mTotal;
  bool mOpen = false;
};

#ifdef VX_HAVE_SNDFILE
bool ReadCapture(const std::string& path, std::vector<float>& samples, int& channels, double& rate)
{
  SF_INFO info;
  std::memset(&info, 0, sizeof info);
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f)
  {
    std::fprintf(stderr, "thdmeasure: cannot read '%s': %s\n", path.c_str(), sf_strerror(nullptr));
    return false;
  }
  if (info.channels < 1 || info.frames < 0 || info.samplerate < 1)
  {
    std::fprintf(stderr, "thdmeasure: '%s' holds no usable audio\n", path.c_str());
    sf_close(f);
    return false;
  }
  channels = info.channels;
  rate = info.samplerate;
  samples.resize((size_t)info.frames * (size_t)channels);
  const sf_count_t got = sf_readf_float(f, samples.data(), info.frames);
  samples.resize((size_t)(got < 0 ? 0 : got) * (size_t)channels);
  sf_close(f);
  return true;
}

bool WriteTone(const std::string& path, const std::vector<float>& stereo, int rate)
{
  SF_INFO info;
  std::memset(&info, 0, sizeof info);
  info.samplerate = rate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f)
  {
    std::fprintf(stderr, "thdmeasure: cannot write '%s': %s\n", path.c_str(), sf_strerror(nullptr));
    return false;
  }
  const sf_count_t frames = (sf_count_t)(stereo.size() / 2);
  const bool ok = sf_writef_float(f, stereo.data(), frames) == frames;
  if (!ok) std::fprintf(stderr, "thdmeasure: writing '%s' failed: %s\n", path.c_str(), sf_strerror(f));
  return sf_close(f) == 0 && ok;
}
#endif
}  // namespace

int main(int argc, char** argv)
{
  Options o;
  const int parsed = ParseOptions(argc, argv, o);
  if (parsed < 0)
  {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (parsed) return parsed;
  if (!o.snapshot.empty())
    std::fprintf(stderr, "thdmeasure: warning: --snapshot %s ignored: this build has no editor to draw\n", o.snapshot.c_str());
#ifndef VX_HAVE_SNDFILE
  if (!o.writeTone.empty() || !o.analyse.empty())
  {
    std::fprintf(stderr, "thdmeasure: this build has no WAV support (libsndfile was not found)\n");
    return 1;
  }
#endif

  // Notices (a calibration file that cannot be opened) go to standard error.
  SetUserNoticeFunc(&ToolNotice);

  std::vector<float> capture;
  int captureChannels = 0;
#ifdef VX_HAVE_SNDFILE
  if (!o.analyse.empty())
  {
    double fileRate = 0.0;
    if (!ReadCapture(o.analyse, capture, captureChannels, fileRate)) return 1;
    if (o.rateGiven && fileRate != o.rate)
      std::fprintf(stderr, "thdmeasure: warning: '%s' runs at %g Hz; --rate %g ignored\n", o.analyse.c_str(), fileRate, o.rate);
    o.rate = fileRate;
  }
#endif

  IThdMeter meter{IFxInstanceInfo{}};
  if (o.noCalibration) meter.UseCalibrationFile(nullptr);
  else if (!o.calibration.empty() && !meter.UseCalibrationFile(o.calibration.c_str()))
  {
    std::fprintf(stderr, "thdmeasure: cannot open calibration file '%s'\n", o.calibration.c_str());
    return 1;
  }

  const bool live = o.writeTone.empty() && o.analyse.empty();
  ThdDevice device(o.device);
  ThdLoopSettings hostSettings;
  hostSettings.mSampleRate = o.rate;
  hostSettings.mBlockSize = o.block;
  hostSettings.mDoubleBuffers = o.useDouble;
  hostSettings.mLatency = o.latency;
  ThdLoopHost host(meter, live ? &device : nullptr, hostSettings);
  if (!o.analyse.empty()) host.SetCapture(capture.data(), (long long)(capture.size() / (size_t)captureChannels), captureChannels);
  std::vector<float> record;
  if (!o.writeTone.empty()) host.SetRecord(&record);

  // What the user does in the editor: channels, volume, Denoising, frequency, then Start.
  meter.SetParameterFromGUI(kParamOutput, o.output);
  meter.from_GUI(kParamOutput);
  meter.SetParameterFromGUI(kParamInput, o.input);
  meter.from_GUI(kParamInput);
  meter.SetParameterFromGUI(kParamVolume, 1.0 + o.volumeDb / 20.0);
  meter.from_GUI(kParamVolume);
  meter.SetParameterFromGUI(kParamDenoising, o.denoising == 12 ? 0.0 : o.denoising == 120 ? 0.5 : 1.0);
  meter.SetFrequencyEntry(o.freqText.c_str());
  meter.from_GUI(kTagFrequencyEntry);
  meter.from_GUI(kParamStart);
  if (!meter.IsMeasuring())
  {
    std::fprintf(stderr, "thdmeasure: the meter did not start a measurement at %g Hz\n", o.rate);
    return 1;
  }

  if (!o.json && o.writeTone.empty())
  {
    const char* model = !o.analyse.empty() ? "recording"
                        : o.device.mModel == EThdDeviceModel::kPolynomial ? "polynomial"
                        : o.device.mModel == EThdDeviceModel::kSoftClip ? "soft clipper" : "loop-back";
    std::printf("%s: %d Hz at %.1f dB, %d s denoising, %s out, %s in; %g Hz, block %d, %s buffers; %s%s%s\n",
                meter.GetEffectName(), (int)meter.GetFrequency(), o.volumeDb, o.denoising, o.output ? "right" : "left",
                o.input ? "right" : "left", o.rate, o.block, o.useDouble ? "64-bit" : "float", model,
                meter.IsCalibrationLoaded() ? "; calibration " : "", meter.IsCalibrationLoaded() ? meter.GetCalibrationName() : "");
    std::printf("\n");
  }

  const int S = (int)o.rate;
  const double runFrames = (o.denoising + 1.0) * o.rate;
  const long long limit = (long long)runFrames + 2LL * S + o.block + o.latency;
  const bool tty = VX_ISATTY(1) != 0;
  Progress progress(!o.quiet && !o.json && o.writeTone.empty(), tty, runFrames);
  std::vector<std::string> progressTexts;
  bool done = false;
  while (!done && host.Frames() < limit)
  {
    const double msg = host.ProcessBlock();
    if (msg == kMessageProgress)
    {
      progressTexts.push_back(meter.GetMessageText());
      progress.Show(meter.GetMessageText(), host.Frames());
    }
    else if (msg == kMessageResults)
    {
      done = true;
    }
  }
  progress.End(done);
  if (!done)
  {
    std::fprintf(stderr, "thdmeasure: no results after %lld frames\n", host.Frames());
    return 1;
  }

#ifdef VX_HAVE_SNDFILE
  if (!o.writeTone.empty())
  {
    record.resize((size_t)runFrames * 2 < record.size() ? (size_t)runFrames * 2 : record.size());
    if (!WriteTone(o.writeTone, record, S)) return 1;
    if (o.json)
      std::printf("{\"tone_file\": %s, \"frames\": %zu, \"sample_rate\": %d, \"frequency_hz\": %s, \"volume_db\": %s}\n",
                  JsonString(o.writeTone.c_str()).c_str(), record.size() / 2, S, JsonNumber(meter.GetFrequency()).c_str(),
                  JsonNumber(o.volumeDb).c_str());
    else
      std::printf("Wrote %zu frames (%g s) of %d Hz tone at %.1f dB on the %s channel to %s\n", record.size() / 2,
                  (double)(record.size() / 2) / S, (int)meter.GetFrequency(), o.volumeDb, o.output ? "right" : "left",
                  o.writeTone.c_str());
    return 0;
  }
#endif

  const int f = (int)meter.GetFrequency();
  const double thd = meter.GetTHD();
  if (o.json)
  {
    std::string j = "{\n";
    j += "  \"frequency_hz\": " + std::to_string(f) + ",\n";
    j += "  \"sample_rate\": " + JsonNumber(o.rate) + ",\n";
    j += "  \"block_size\": " + std::to_string(o.block) + ",\n";
    j += std::string("  \"buffers\": \"") + (o.useDouble ? "double" : "float") + "\",\n";
    j += "  \"denoising_seconds\": " + std::to_string(o.denoising) + ",\n";
    j += "  \"volume_db\": " + JsonNumber(o.volumeDb) + ",\n";
    j += "  \"amplitude\": " + JsonNumber(meter.GetAmplitude()) + ",\n";
    j += std::string("  \"output\": \"") + (o.output ? "right" : "left") + "\",\n";
    j += std::string("  \"input\": \"") + (o.input ? "right" : "left") + "\",\n";
    if (o.analyse.empty())
    {
      const char* model = o.device.mModel == EThdDeviceModel::kPolynomial ? "poly"
                          : o.device.mModel == EThdDeviceModel::kSoftClip ? "softclip" : "loopback";
      j += std::string("  \"device\": {\"model\": \"") + model + "\", \"drive\": " + JsonNumber(o.device.mDrive) +
           ", \"coeffs\": [" + JsonNumber(o.device.mPoly[0]) + ", " + JsonNumber(o.device.mPoly[1]) + ", " +
           JsonNumber(o.device.mPoly[2]) + ", " + JsonNumber(o.device.mPoly[3]) + "], \"gain_db\": " +
           JsonNumber(o.device.mGainDb) + ", \"noise_dbfs\": " + (o.device.mNoise ? JsonNumber(o.device.mNoiseDbfs) : "null") +
           ", \"seed\": " + std::to_string(o.device.mSeed) + ", \"latency\": " + std::to_string(o.latency) + "},\n";
    }
    else
    {
      j += "  \"capture\": " + JsonString(o.analyse.c_str()) + ",\n";
    }
    j += "  \"calibration\": " + (meter.IsCalibrationLoaded() ? JsonString(meter.GetCalibrationName()) : std::string("null")) + ",\n";
    j += "  \"progress\": [";
    for (size_t i = 0; i < progressTexts.size(); ++i) j += (i ? ", " : "") + JsonString(progressTexts[i].c_str());
    j += "],\n";
    j += "  \"results_text\": " + JsonString(meter.GetMessageText()) + ",\n";
    j += "  \"harmonics\": [\n";
    for (int k = 1; k <= 5; ++k)
    {
      const double level = meter.GetHarmonicLevel(k);
      j += "    {\"harmonic\": " + std::to_string(k) + ", \"frequency_hz\": " + std::to_string(k * f) +
           ", \"measured\": " + (k * f <= 20000 ? "true" : "false") + ", \"level\": " + JsonNumber(level) +
           ", \"dbfs\": " + JsonNumber(ToDb(level)) + "}" + (k < 5 ? "," : "") + "\n";
    }
    j += "  ],\n";
    j += "  \"thd_percent\": " + JsonNumber(thd) + ",\n";
    j += "  \"thd_db\": " + JsonNumber(ToDb(thd / 100.0)) + "\n}\n";
    std::fputs(j.c_str(), stdout);
    return 0;
  }

  if (!progressTexts.empty() && !o.quiet && !tty) std::printf("\n");
  std::printf("%s\n\n", meter.GetMessageText());
  std::printf("Harmonic levels:\n");
  for (int k = 1; k <= 5; ++k)
  {
    if (k * f > 20000)
      std::printf("  H%d %6d Hz   not measured (above 20000 Hz)\n", k, k * f);
    else
      std::printf("  H%d %6d Hz  %s\n", k, k * f, DbText(ToDb(meter.GetHarmonicLevel(k)), "dBFS").c_str());
  }
  std::printf("THD:           %s (%.6f %%)\n", DbText(ToDb(thd / 100.0), "dB").c_str(), thd);
  return 0;
}
