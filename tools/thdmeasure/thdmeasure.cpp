// thdmeasure: runs a THD measurement with the real plug-in object, driven the way a host
// drives it, against a simulated device chain -- or offline: writes the test tone the
// plug-in plays to a WAV file, or checks and analyses a recorded capture of a real chain.
#include "IUserNotice.h"
#include "ThdOptions.h"
#include "ThdReferenceRun.h"
#include "ThdReport.h"
#include "ThdRun.h"
#include "ThdSweepReport.h"

#include <cstdio>
#include <memory>
#include <string>

#include <unistd.h>

namespace {
void ToolNotice(const char* text, const char* caption, ENoticeKind)
{
  std::fprintf(stderr, "thdmeasure: notice (%s): %s\n", caption, text);
}

// Where a reference went (standard error under --json, whose output is one object).
void ReportSavedReference(const ThdOptions& options, const std::string& error, size_t points)
{
  if (options.mSaveReference.empty()) return;
  if (!error.empty())
    std::fprintf(stderr, "thdmeasure: %s\n", error.c_str());
  else
    std::fprintf(options.mJson ? stderr : stdout, "%sInterface reference written to %s (%zu point%s)\n",
                 options.mJson ? "thdmeasure: " : "", options.mSaveReference.c_str(), points, points == 1 ? "" : "s");
}

// A sweep: every point a run of its own, then one report of them all (and a point that failed
// says why without hiding the others).
int RunSweep(const ThdOptions& options, const ThdParsed& parsed)
{
  ThdSweepResult result;
  const bool tty = isatty(1) != 0;
  const bool progressShown = !options.mJson && !options.mQuiet && options.mMode != EThdMode::kWriteTone;
  ThdSweepTextProgress progress(progressShown, tty, options.mSweep.mKind == EThdSweep::kLevel);
  std::string error;
  int status = ThdRunSweep(options, result, &progress, &error);
  result.mWarnings.insert(result.mWarnings.begin(), parsed.mWarnings.begin(), parsed.mWarnings.end());
  if (status == 2 || result.mPoints.empty())
  {
    std::fprintf(stderr, "thdmeasure: %s\n", error.c_str());
    return status ? status : 1;
  }
  std::string saveError;
  if (!options.mSaveReference.empty())
  {
    std::vector<const ThdResult*> results;
    for (const ThdSweepPoint& p : result.mPoints) results.push_back(p.mStatus == 0 ? &p.mResult : nullptr);
    ThdSaveReference(options, results, &saveError);
  }
  if (options.mJson)
  {
    for (const std::string& w : result.mWarnings) std::fprintf(stderr, "thdmeasure: warning: %s\n", w.c_str());
    std::fputs(ThdSweepJson(result, status).c_str(), stdout);
  }
  else
  {
    ThdPrintSweepTable(result, status, stdout);
  }
  if (status == 1) std::fprintf(stderr, "thdmeasure: %s\n", error.c_str());
  std::string fileError;
  if (!options.mCsv.empty() && !ThdWriteSweepCsv(result, options.mCsv, &fileError))
  {
    std::fprintf(stderr, "thdmeasure: %s\n", fileError.c_str());
    status = 1;
  }
  if (!options.mPlot.empty() && !ThdWritePlot(ThdSweepPlotData(result), options.mPlot, &fileError))
  {
    std::fprintf(stderr, "thdmeasure: %s\n", fileError.c_str());
    status = 1;
  }
  ReportSavedReference(options, saveError, result.mPoints.size());
  // A sweep that failed somewhere keeps its status; one that did not fails for the reference.
  return status == 0 && !saveError.empty() ? 1 : status;
}
}  // namespace

int main(int argc, char** argv)
{
  ThdOptions options;
  const ThdParsed parsed = ThdParseOptions(argc, argv, options);
  if (parsed.mExit == 0)
  {
    std::fputs(parsed.mText.c_str(), stdout);
    return 0;
  }
  if (parsed.mExit > 0)
  {
    std::fprintf(stderr, "thdmeasure: %s\n", parsed.mText.c_str());
    return parsed.mExit;
  }

  // Notices (a calibration file that cannot be opened) go to standard error.
  SetUserNoticeFunc(&ToolNotice);

  // References are read and checked before anything is measured.
  if (!options.mReferences.empty())
  {
    auto set = std::make_shared<ThdReferenceSet>();
    std::string error;
    if (const int status = ThdLoadReferences(options, set.get(), &error))
    {
      std::fprintf(stderr, "thdmeasure: %s\n", error.c_str());
      return status;
    }
    options.mReferenceSet = set;
  }

  if (options.mSweep.mKind != EThdSweep::kNone) return RunSweep(options, parsed);

  ThdResult result;
  result.mWarnings = parsed.mWarnings;
  const bool tty = isatty(1) != 0;
  const bool text = !options.mJson && options.mMode != EThdMode::kWriteTone;
  ThdTextProgress progress(text, text && !options.mQuiet, tty);
  std::string error;
  int status = ThdRunMeasurement(options, result, &progress, &error);
  if (status == 1 || status == 2)
  {
    std::fprintf(stderr, "thdmeasure: %s\n", error.c_str());
    return status;
  }
  std::string saveError;
  if (!options.mSaveReference.empty() && !ThdSaveReference(options, {status == 0 ? &result : nullptr}, &saveError) &&
      status == 0)
    status = 1;
  if (options.mJson)
  {
    for (const std::string& w : result.mWarnings) std::fprintf(stderr, "thdmeasure: warning: %s\n", w.c_str());
    std::fputs(ThdJsonReport(result, status).c_str(), stdout);
  }
  else
  {
    ThdPrintTextReport(result, status, stdout);
  }
  ReportSavedReference(options, saveError, 1);
  return status;
}
