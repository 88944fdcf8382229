// The plug-in object's construction: identity and channel layout, the documents folder and its
// calibration file, the ten parameters, the editor and the default preset; and the volume
// mapping that the fader, the state and the constructor share.
#include "IThdMeter.h"

#include "IUserNotice.h"
#include "Util_ByteOrder.h"
#include "Util_CStr.h"
#include "Util_Platform.h"

#include <cmath>
#include <cstdio>
#include <cstring>

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

void IThdMeter::InitDocumentsFolder()
{
  mDocumentsFolder[0] = 0;
  char documents[sizeof mDocumentsFolder] = {};
  if (const char* folder = ThdDocumentsFolderOverride(*this); folder && *folder)
  {
    Util_StrCopy(documents, folder);
  }
  else
  {
    const EUtilFolderResult found = Util_DocumentsFolder(documents, sizeof documents);
    // The text users of the Windows module have always seen when the shell fails to answer.
    if (found == EUtilFolderResult::kSystemError) ShowUserNotice("SHGetKnownFolderPath Error1.", "Error", kNoticeError);
    // Without a folder (or with a path that does not fit) the calibration search finds nothing.
    if (found != EUtilFolderResult::kFound) return;
    Util_MakeFolder(documents);  // the meter's folder needs its parent; an existing one is fine
  }
  if (Util_SubFolderPath(mDocumentsFolder, sizeof mDocumentsFolder, documents, kFolderName))
    Util_MakeFolder(mDocumentsFolder);  // a failure is ignored: the search then finds nothing
}

void IThdMeter::LoadCalibration()
{
  // A file that is there but cannot be opened: the user is told, calibration stays off.
  if (mCalibration.LoadFromFolder(mDocumentsFolder) == ThdCalibration::ELoadResult::kUnopenable)
    ShowUserNotice("Error_005 Can't open calibration file.", "Info", kNoticeInfo);
}

void IThdMeter::InitParams()
{
  // Initialised in this order on purpose: hosts that list parameters as they are declared
  // show Cancel next to Start.
  GetParam(kParamOutput)->InitDouble("Output", mEngine.GetOutputChannel(), 0.0, 1.0, 1.0, "", "", 1.0);
  GetParam(kParamInput)->InitDouble("Input", mEngine.GetInputChannel(), 0.0, 1.0, 1.0, "", "", 1.0);
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
  mEngine.SetAmplitude(std::pow(10.0, dB / 20.0));
  std::snprintf(mVolumeLabel, sizeof mVolumeLabel, "%2.1f dB", dB);
  // A level that rounds to zero at one decimal (above -0.05 dB) reads "0.0 dB", not "-0.0 dB".
  if (!std::strncmp(mVolumeLabel, "-0.0 ", 5)) Util_StrCopy(mVolumeLabel, "0.0 dB");
}
