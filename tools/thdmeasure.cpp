// thdmeasure: runs a THD measurement with the real plug-in object, driven the way a host
// drives it, against a simulated device chain -- or offline: writes the test tone the
// plug-in plays to a WAV file, or checks and analyses a recorded capture of a real chain.
#include "IUserNotice.h"
#include "ThdOptions.h"
#include "ThdReport.h"
#include "ThdRun.h"

#include <cstdio>
#include <string>

#include <unistd.h>

namespace {
void ToolNotice(const char* text, const char* caption, ENoticeKind)
{
  std::fprintf(stderr, "thdmeasure: notice (%s): %s\n", caption, text);
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

  ThdResult result;
  result.mWarnings = parsed.mWarnings;
  const bool tty = isatty(1) != 0;
  const bool text = !options.mJson && options.mMode != EThdMode::kWriteTone;
  ThdTextProgress progress(text, text && !options.mQuiet, tty);
  std::string error;
  const int status = ThdRunMeasurement(options, result, &progress, &error);
  if (status == 1 || status == 2)
  {
    std::fprintf(stderr, "thdmeasure: %s\n", error.c_str());
    return status;
  }
  if (options.mJson)
  {
    for (const std::string& w : result.mWarnings) std::fprintf(stderr, "thdmeasure: warning: %s\n", w.c_str());
    std::fputs(ThdJsonReport(result, status).c_str(), stdout);
  }
  else
  {
    ThdPrintTextReport(result, status, stdout);
  }
  return status;
}
