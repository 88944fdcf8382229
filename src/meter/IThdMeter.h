// The THD meter plug-in: writes a sine test tone to one output, correlates the returning
// input with harmonics 1 to 5 and reports their levels and the THD.
#pragma once

#include "IThdMeterBinding.h"

#include <atomic>

class IControl;

enum EThdMeterParams
{
  kParamOutput = 0,
  kParamInput,
  kParamDenoising,
  kParamVolume,
  kParamStart,
  kParamButton,
  kParamCancel,
  kParamHelp,
  kParamAbout,
  kParamOK,
  kNumParams
};

class IThdMeter : public IThdMeterBinding
{
public:
  static constexpr int kMaxCalibrationPoints = 10000;
  static constexpr int kVendorVersion = 0x10006;

  explicit IThdMeter(const IFxInstanceInfo& instanceInfo);
  ~IThdMeter() override;

  // ---- saved state --------------------------------------------------------------------
  bool SerializeState(ByteChunk* chunk) override;
  int UnserializeState(ByteChunk* chunk, int startPos) override;
  void PresetsChangedByHost() override;

  // ---- read-only views for hosts, tools and tests ---------------------------------------
  double GetFrequency() const { return mFrequency; }
  const char* GetVolumeLabel() const { return mVolumeLabel; }
  const char* GetDocumentsFolder() const { return mDocumentsFolder; }
  int IsCalibrationLoaded() const { return mCalibrationLoaded; }
  int GetCalibrationCount() const { return mCalibrationCount; }

protected:
  // Looks for a calibration file in the documents folder and reads it.
  void LoadCalibration();

  // Volume value 0..1 -> level -20*(1-v) dB -> mAmplitude and mVolumeLabel.
  void ApplyVolumeMapping();

  // ---- identity and user settings ---------------------------------------------------------
  double mCurrentSampleRate = 48000.0;
  double mFrequency = 300.0;
  double mAmplitude = 0.31622776601683794;  // -10 dB, matching the default Volume
  double mOutputChannel = 0.0;
  double mInputChannel = 0.0;
  double mDenoising = 0.0;
  double mVolume = 0.5;
  std::atomic<int> mMeasuring{0};
  char mVolumeLabel[56] = "-10.0 dB";
  char mFrequencyEntry[8] = {};
  char mDocumentsFolder[1024] = {};

  // ---- calibration ---------------------------------------------------------------------
  char mCalibrationName[256] = {};
  char mCalibrationPath[1024] = {};
  int mCalibrationLoaded = 0;
  int mCalibrationCount = 0;
  double mCalibrationFrequency[kMaxCalibrationPoints] = {};
  double mCalibrationLevel[kMaxCalibrationPoints] = {};
  double mCalibrationFactor[5] = {1.0, 1.0, 1.0, 1.0, 1.0};

  // ---- editor controls the engine updates later (owned by the editor) ----------------------
  IControl* mResultsText = nullptr;
  IControl* mVolumeText = nullptr;
  IControl* mVersionText = nullptr;
  IControl* mAboutImage = nullptr;
  IControl* mOKButton = nullptr;
  IControl* mOutputRadio = nullptr;
  IControl* mInputRadio = nullptr;
  IControl* mStartButton = nullptr;
  IControl* mCancelButton = nullptr;
  IControl* mDenoisingRadio = nullptr;
  IControl* mVolumeFader = nullptr;
  IControl* mFrequencyDisplay = nullptr;
  IControl* mDummyControl = nullptr;
  int mDummyControlIdx = -1;

private:
  void InitDocumentsFolder();
  void InitParams();
};
