#include "IThdMeter.h"

#include "IUserNotice.h"
#include "Util_ByteOrder.h"
#include "Util_CStr.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>
#include <knownfolders.h>
#else
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
constexpr const char* kEffectName = "Veldramix THD Meter";
constexpr const char* kMfrName = "veldramix.com";
constexpr const char* kChannelIO = "1-1 2-2";
constexpr const char* kFolderName = "Veldramix THD Meter";
}  // namespace

IThdMeter::IThdMeter(const IFxInstanceInfo& instanceInfo)
  : IThdMeterBinding(instanceInfo, kNumParams, kChannelIO, 1, kEffectName, "", kMfrName, kVendorVersion,
                     Util_FourCC("THDM"), Util_FourCC("Veld"), 0, false, true, false)
{
  TRACE_FX("");
  Util_StrCopy(mMessageText, kBlankResultsText);
  InitDocumentsFolder();
  LoadCalibration();
  InitParams();
  BuildEditor();
  MakeDefaultPreset("-", 1);
}

IThdMeter::~IThdMeter() = default;

#ifdef _WIN32
bool IThdMeter::DocumentsFolderFromWide(const wchar_t* documents, char* folder, int size)
{
  if (!folder || size <= 0) return false;
  folder[0] = 0;
  if (!documents || !*documents) return false;
  // A path the multi-byte code page cannot hold (a user name outside it) leaves no folder at
  // all: "\\Veldramix THD Meter\\" alone would name a folder at the root of the current drive.
  char path[1024] = {};
  const size_t n = std::wcstombs(path, documents, sizeof path - 1);
  if (n == (size_t)-1 || n == 0 || n >= sizeof path - 1) return false;
  std::snprintf(folder, (size_t)size, "%s\\%s\\", path, kFolderName);
  return true;
}
#endif

void IThdMeter::InitDocumentsFolder()
{
  mDocumentsFolder[0] = 0;
  if (const char* documents = ThdDocumentsFolderOverride(*this); documents && *documents)
  {
    Util_StrCopy(mDocumentsFolder, documents);
#ifdef _WIN32
    Util_StrAppend(mDocumentsFolder, "\\");
    Util_StrAppend(mDocumentsFolder, kFolderName);
    Util_StrAppend(mDocumentsFolder, "\\");
    CreateDirectoryA(mDocumentsFolder, nullptr);
#else
    Util_StrAppend(mDocumentsFolder, "/");
    Util_StrAppend(mDocumentsFolder, kFolderName);
    mkdir(mDocumentsFolder, 0700);
#endif
    return;
  }
#ifdef _WIN32
  PWSTR wide = nullptr;
  if (SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &wide) != S_OK || !wide)
  {
    ShowUserNotice("SHGetKnownFolderPath Error1.", "Error", kNoticeError);
  }
  else if (DocumentsFolderFromWide(wide, mDocumentsFolder, (int)sizeof mDocumentsFolder))
  {
    CreateDirectoryA(mDocumentsFolder, nullptr);  // an existing folder is fine
  }
  if (wide) CoTaskMemFree(wide);
#else
  const char* home = std::getenv("HOME");
  if (!home || !*home)
  {
    // No HOME: fall back to the account's home directory; with none, there is no folder
    // and the calibration search simply finds nothing.
    const passwd* pw = getpwuid(getuid());
    home = pw ? pw->pw_dir : nullptr;
  }
  if (!home || !*home) return;
  char documents[1024];
  std::snprintf(documents, sizeof documents, "%s/Documents", home);
  mkdir(documents, 0700);  // the meter's folder needs its parent; an existing one is fine
  Util_StrCopy(mDocumentsFolder, documents);
  Util_StrAppend(mDocumentsFolder, "/");
  Util_StrAppend(mDocumentsFolder, kFolderName);
  mkdir(mDocumentsFolder, 0700);
#endif
}

void IThdMeter::InitParams()
{
  // Initialised in this order on purpose: hosts that list parameters as they are declared
  // show Cancel next to Start.
  GetParam(kParamOutput)->InitDouble("Output", mOutputChannel, 0.0, 1.0, 1.0, "", "", 1.0);
  GetParam(kParamInput)->InitDouble("Input", mInputChannel, 0.0, 1.0, 1.0, "", "", 1.0);
  GetParam(kParamDenoising)->InitDouble("Denoising", mDenoising, 0.0, 1.0, 0.5, "", "", 1.0);
  GetParam(kParamVolume)->InitDouble("Volume", mVolume, 0.0, 1.0, 0.0001, "", "", 1.0);
  GetParam(kParamStart)->InitDouble("Start Measurement", 0.0, 0.0, 1.0, 1.0, "", "", 1.0);
  GetParam(kParamCancel)->InitDouble("Cancel Measurement", 0.0, 0.0, 1.0, 1.0, "", "", 1.0);
  GetParam(kParamButton)->InitDouble("Button", 0.0, 0.0, 1.0, 1.0, "", "", 1.0);
  GetParam(kParamHelp)->InitDouble("Help", 0.0, 0.0, 1.0, 1.0, "", "", 1.0);
  GetParam(kParamAbout)->InitDouble("About", 0.0, 0.0, 1.0, 1.0, "", "", 1.0);
  GetParam(kParamOK)->InitDouble("OK", 0.0, 0.0, 1.0, 1.0, "", "", 1.0);
}

void IThdMeter::ApplyVolumeMapping()
{
  const double dB = VolumeToDb(mVolume.load(std::memory_order_relaxed));
  mAmplitude.store(std::pow(10.0, dB / 20.0), std::memory_order_relaxed);
  std::snprintf(mVolumeLabel, sizeof mVolumeLabel, "%2.1f dB", dB);
  // A level that rounds to zero at one decimal (above -0.05 dB) reads "0.0 dB", not "-0.0 dB".
  if (!std::strncmp(mVolumeLabel, "-0.0 ", 5)) Util_StrCopy(mVolumeLabel, "0.0 dB");
}
