// A run's report for people: the settings, the harmonics and THD as the meter shows them, the
// checks' warnings and the notes on figures at the floor.

#include "ThdReport.h"

#include "ThdFormat.h"
#include "ThdLevels.h"

#include <cmath>
#include <string>

namespace {
std::string HzText(double hz)
{
  if (hz >= 1000.0 && std::fmod(hz, 1000.0) == 0.0) return ThdFormat("%.0f kHz", hz / 1000.0);
  return ThdFormat("%g Hz", hz);
}

const char* Side(int channel) { return channel ? "right" : "left"; }

// The phase column, as ThdPhaseTenths rounds it.
std::string PhaseText(const ThdHarmonic& h)
{
  if (!h.mPhaseValid) return "     -";
  return ThdFormat("%6.1f\xc2\xb0", ThdPhaseTenths(h.mPhaseDeg));
}
}  // namespace

double ThdPhaseTenths(double degrees)
{
  double tenths = std::round(degrees * 10.0);
  if (tenths <= -1800.0) tenths += 3600.0;
  if (tenths == 0.0) tenths = 0.0;  // no "-0.0"
  return tenths / 10.0;
}

std::string ThdDcText(const ThdNoiseResult& n)
{
  if (!n.valid) return "not measured";
  const double dc = n.dcOffset;
  if (dc == 0.0) return "0";
  return ThdFormat("%+.6f of full scale (%s dB)", dc, ThdDbText("%.1f", ThdDb(std::fabs(dc))).c_str());
}

std::string ThdBandText(double lowHz, double highHz) { return HzText(lowHz) + " - " + HzText(highHz); }

std::string ThdPercentText(const char* fmt, double db, double percent)
{
  if (ThdBelowFloor(db)) return ThdFormat("< %.8f", 100.0 * std::pow(10.0, kThdFloorDb / 20.0));
  return ThdFormat(fmt, percent);
}

std::string ThdFloorNote()
{
  return ThdFormat("< %.0f: below the analysis' rounding floor (%.0f dBFS for levels, %.0f dB for ratios to the "
                   "fundamental), where only the arithmetic's own residue or silence lies",
                   kThdFloorDb, kThdFloorDb, kThdFloorDb);
}

std::string ThdThdHarmonicsText(const std::vector<int>& includes)
{
  if (includes.empty()) return "no harmonics";
  std::string s = "H";
  s.append(std::to_string(includes.front()));
  if (includes.size() == 1) return s.append(" only");
  bool contiguous = true;
  for (size_t i = 1; i < includes.size(); ++i) contiguous &= includes[i] == includes[i - 1] + 1;
  if (contiguous) return s.append("-H").append(std::to_string(includes.back()));
  for (size_t i = 1; i < includes.size(); ++i)
    s.append(i + 1 == includes.size() ? " and H" : ", H").append(std::to_string(includes[i]));
  return s;
}

void ThdTextProgress::Begin(const ThdResult& r)
{
  if (!mHeader) return;
  const ThdOptions& o = r.mOptions;
  if (o.mMode == EThdMode::kWriteTone) return;
  std::string source;
  if (r.mHaveCapture)
  {
    char buf[160];
    std::snprintf(buf, sizeof buf, "capture (%d channel%s, %s channel analysed)", r.mCaptureChannels,
                  r.mCaptureChannels == 1 ? "" : "s", r.mCaptureChannels > 1 && o.mInput ? "second" : "first");
    source = o.mCapture + " " + buf;
  }
  else
  {
    source = ThdDeviceName(o.mDevice.mModel).mTitle;
  }
  std::printf("%s: %d Hz at %.2f dB, %d s denoising, %s out, %s in; %g Hz, block %d, %s buffers; %s%s%s\n",
              r.mEffectName.c_str(), (int)r.mFrequency, r.mPlayedDb, o.mDenoising, Side(o.mOutput), Side(o.mInput), r.mRate,
              o.mBlock, o.mDoubleBuffers ? "64-bit" : "float", source.c_str(), r.mCalibrationName.empty() ? "" : "; calibration ",
              r.mCalibrationName.c_str());
  std::fflush(stdout);
}

void ThdTextProgress::Progress(const char* text, double fraction)
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
  fraction = fraction < 0.0 ? 0.0 : fraction > 1.0 ? 1.0 : fraction;
  const int width = 30, filled = (int)(fraction * width);
  std::printf("\r[%s%s] %3d%%  %s   ", std::string((size_t)filled, '#').c_str(),
              std::string((size_t)(width - filled), '.').c_str(), (int)(fraction * 100.0), line.c_str());
  std::fflush(stdout);
  mOpen = true;
}

void ThdTextProgress::End(bool completed)
{
  if (mOpen && completed) std::printf("\r[%s] 100%%  results ready%*s", std::string(30, '#').c_str(), 40, "");
  if (mOpen) std::printf("\n");
  mOpen = false;
}

void ThdPrintTextReport(const ThdResult& r, int status, std::FILE* out)
{
  const ThdOptions& o = r.mOptions;
  if (o.mMode == EThdMode::kWriteTone)
  {
    if (status == 0)
      std::fprintf(out, "Wrote %lld frames (%g s) of %d Hz tone at %.2f dB on the %s channel to %s\n", r.mToneFrames,
                   r.mRate > 0 ? (double)r.mToneFrames / std::floor(r.mRate) : 0.0, (int)r.mFrequency, r.mPlayedDb,
                   Side(o.mOutput), o.mToneFile.c_str());
    return;
  }
  for (const std::string& w : r.mWarnings) std::fprintf(stderr, "thdmeasure: warning: %s\n", w.c_str());
  if (r.mChecksFailed)
  {
    for (const ThdCheck& c : r.mCapture.mFailed)
      std::fprintf(stderr, "thdmeasure: %s%s\n", o.mForce ? "warning (forced): " : "", c.mMessage.c_str());
    if (!o.mForce)
    {
      std::fprintf(stderr, "thdmeasure: nothing measured (status 3); --force measures anyway\n");
      return;
    }
  }
  if (!r.mMeasured) return;

  std::fprintf(out, "\n%s\n\n", r.mResultsText.c_str());
  std::fprintf(out, "Harmonic levels and phases (at the fundamental's positive zero crossing; - too weak to tell):\n");
  bool belowFloor = false;  // some figure printed as "< -200"
  for (const ThdHarmonic& h : r.mHarmonics)
  {
    if (!h.mMeasured)
    {
      std::fprintf(out, "  H%d %6lld Hz   not measured (%s)\n", h.mK, h.mHz,
                   h.mHz > IThdMeter::kMaxHarmonicHz ? "above 20000 Hz" : "at or above half the sample rate");
      continue;
    }
    const double dbfs = ThdDb(h.mLevel);
    belowFloor |= ThdBelowFloor(dbfs);
    std::fprintf(out, "  H%d %6lld Hz  %9s dBFS  %s\n", h.mK, h.mHz, ThdDbText("%.3f", dbfs).c_str(), PhaseText(h).c_str());
  }
  const std::string which = ThdThdHarmonicsText(r.mThdIncludes);
  if (r.mThdValid)
  {
    const double db = ThdDb(r.mThdPercent / 100.0);
    belowFloor |= ThdBelowFloor(db);
    std::fprintf(out, "THD (%s):  %9s dB (%s %%)\n", which.c_str(), ThdDbText("%.3f", db).c_str(),
                 ThdPercentText("%.6f", db, r.mThdPercent).c_str());
  }
  else
  {
    std::fprintf(out, "THD: not measured (%s)\n", r.mThdWhyNot.c_str());
  }
  if (r.mThdN.valid && r.mThdN.fundamentalRms > 0.0)
  {
    const double ratio = r.mThdN.Ratio(), db = ThdDb(ratio);
    belowFloor |= ThdBelowFloor(db);
    std::fprintf(out, "THD+N (%s):  %9s dB (%s %%)\n", ThdBandText(r.mThdN.bandLowHz, r.mThdN.bandHighHz).c_str(),
                 ThdDbText("%.3f", db).c_str(), ThdPercentText("%.6f", db, 100.0 * ratio).c_str());
  }
  else
  {
    std::fprintf(out, "THD+N: not measured (no fundamental came back)\n");
  }
  if (r.mHaveCapture)
  {
    const ThdCaptureReport& c = r.mCapture;
    std::fprintf(out, "Capture: ");
    if (c.mTrack.found)
      std::fprintf(out, "tone from %.3f s to %.3f s; ", c.mTrack.start / r.mRate, c.mTrack.end / r.mRate);
    std::fprintf(out, "measured from %.3f s%s; ", c.mStartFrame / r.mRate, c.mStartGiven ? " (--start)" : "");
    if (c.mClockKnown)
      std::fprintf(out, "clock offset %+.2f ppm%s; ", c.mPpm, c.mDriftCorrected ? " (corrected)" : "");
    else
      std::fprintf(out, "clock offset not known (no steady tone); ");
    std::fprintf(out, "DC offset %s\n", ThdDcText(r.mThdN).c_str());
    belowFloor |= r.mThdN.valid && r.mThdN.dcOffset != 0.0 && ThdBelowFloor(ThdDb(std::fabs(r.mThdN.dcOffset)));
  }
  if (belowFloor) std::fprintf(out, "%s\n", ThdFloorNote().c_str());
  ThdPrintCompensation(r, out);
}
