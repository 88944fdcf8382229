// The THD meter plug-in: writes a sine test tone to one output, correlates the returning
// input with harmonics 1 to 5 and reports their levels and the THD.
//
// Threads. The audio thread (ProcessDoubleReplacing, under the plug-in mutex the binding
// holds), the editor thread (from_GUI, MyIdle; no lock) and the host's set-up thread (Reset,
// OnParamChange, state; under the mutex) meet only in the atomics below:
//  - mMeasuring is the run flag. Start publishes its set-up (the "start request": divisors,
//    K, step coefficients) through a sequence counter and then raises the flag with release
//    order; the audio thread picks the request up with acquire order and only then zeroes the
//    sums and the counter itself. So the audio thread is the only writer of the running
//    state, and a Start right after a Cancel cannot write sums the audio thread is still
//    adding to.
//  - Settings the audio thread reads every frame (amplitude, channels, frequency) and the
//    values the editor thread reads back (counter, progress level, results) are relaxed
//    atomics; the results are published by the release store of the editor message.
//  - mCurrentSampleRate and mDenoising change only under the mutex, but Start reads them
//    on the editor thread, so they are atomics as well.
#pragma once

#include "IThdMeterBinding.h"
#include "ThdMath.h"

#include <atomic>
#include <cmath>
#include <cstdint>

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

// Tag of the frequency display's text entry.
constexpr int kTagFrequencyEntry = 102;

// Values the engine posts to the editor's dummy control.
constexpr double kMessageProgress = 0.55555555;
constexpr double kMessageResults = 0.55555556;

class IThdMeter : public IThdMeterBinding
{
public:
  static constexpr int kMaxCalibrationPoints = 10000;
  static constexpr int kVendorVersion = 0x10006;
  static constexpr int kHarmonics = 5;
  static constexpr const char* kBlankResultsText =
    "THD=\nHarmonic1=\nHarmonic2=\nHarmonic3=\nHarmonic4=\nHarmonic5=";
  static constexpr const char* kHelpPageURL = "https://veldramix.com/thd-meter/help";

  // ---- the meter's constants and mappings (the editor, tools and tests use these) -----------
  // Highest harmonic frequency that is generated and measured, inclusive.
  static constexpr int kMaxHarmonicHz = 20000;
  static constexpr double kMinVolumeDb = -20.0;

  // Harmonic k (1..5) of the test frequency is measured when it lies at or below 20 kHz and
  // below half the sample rate: above that the correlation would only see aliased content.
  // The engine uses the whole-hertz part of the frequency, as here.
  static bool IsHarmonicMeasured(int k, double frequency, double sampleRate)
  {
    const long long hz = (long long)k * ThdIntPart(frequency);
    return k >= 1 && k <= kHarmonics && hz <= kMaxHarmonicHz && (double)hz < 0.5 * sampleRate;
  }

  // Denoising takes three values: 0, 0.5 and 1 (12, 120 and 1200 seconds of averaging).
  // Anything else a host or a state sends is read as the nearest of them (NaN as 0).
  static double SnapDenoising(double value)
  {
    if (!(value >= 0.25)) return 0.0;
    return value < 0.75 ? 0.5 : 1.0;
  }
  static int DenoisingSeconds(double value)
  {
    const double v = SnapDenoising(value);
    return v == 0.0 ? 12 : v == 0.5 ? 120 : 1200;
  }
  // The value for 12, 120 or 1200 seconds; -1 for any other length.
  static double DenoisingValue(int seconds)
  {
    return seconds == 12 ? 0.0 : seconds == 120 ? 0.5 : seconds == 1200 ? 1.0 : -1.0;
  }

  // Volume value 0..1 <-> tone level -20 (1 - v) dB, the top of the fader snapped to 0 dB.
  static double VolumeToDb(double value)
  {
    const double dB = kMinVolumeDb * (1.0 - value);
    return dB > -0.01 && dB < 0.01 ? 0.0 : dB;
  }
  static double VolumeFromDb(double dB) { return 1.0 - dB / kMinVolumeDb; }
  static double VolumeToAmplitude(double value) { return std::pow(10.0, VolumeToDb(value) / 20.0); }

  explicit IThdMeter(const IFxInstanceInfo& instanceInfo);
  ~IThdMeter() override;

  // ---- host hooks -------------------------------------------------------------------------
  void Reset() override;
  void OnParamChange(int paramIdx) override;
  void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override;

  // ---- saved state --------------------------------------------------------------------
  bool SerializeState(ByteChunk* chunk) override;
  int UnserializeState(ByteChunk* chunk, int startPos) override;
  void PresetsChangedByHost() override;

  // ---- editor side (editor thread, no lock) -------------------------------------------------
  // Carries out the action of the control with this tag (a parameter index, or
  // kTagFrequencyEntry with the typed text already in mFrequencyEntry).
  void from_GUI(int tag);
  // Turns an engine message (kMessageProgress or kMessageResults) into the results text.
  void MyIdle(double value);
  // What the dummy control does in a drawing pass, for hosts without an editor (tools,
  // tests): takes the unread engine message, if any, and hands it to MyIdle. Returns the
  // value handed over, or 0 when there was none.
  double PumpEditorMessage();
  // The text typed into the frequency display (cut to 7 characters, as the display does).
  void SetFrequencyEntry(const char* text);

  // ---- read-only views for hosts, tools and tests ---------------------------------------
  double GetFrequency() const { return mFrequency.load(std::memory_order_relaxed); }
  const char* GetVolumeLabel() const { return mVolumeLabel; }
  const char* GetDocumentsFolder() const { return mDocumentsFolder; }
  int IsCalibrationLoaded() const { return mCalibrationLoaded; }
  int GetCalibrationCount() const { return mCalibrationCount; }
  const char* GetCalibrationName() const { return mCalibrationName; }
  const double* GetCalibrationFrequencies() const { return mCalibrationFrequency; }
  const double* GetCalibrationLevels() const { return mCalibrationLevel; }
  double GetCalibrationFactor(int k) const { return k >= 1 && k <= kHarmonics ? mCalibrationFactor[k - 1] : 1.0; }
  int IsMeasuring() const { return mMeasuring.load(std::memory_order_acquire) != 0; }
  double GetAmplitude() const { return mAmplitude.load(std::memory_order_relaxed); }
  double GetCurrentSampleRate() const { return mCurrentSampleRate.load(std::memory_order_relaxed); }
  double GetDenoising() const { return mDenoising.load(std::memory_order_relaxed); }
  double GetOutputChannel() const { return mOutputChannel.load(std::memory_order_relaxed); }
  double GetInputChannel() const { return mInputChannel.load(std::memory_order_relaxed); }
  int GetSampleCount() const { return mSampleCount.load(std::memory_order_relaxed); }
  double GetMeasureSeconds() const { return mMeasureSeconds.load(std::memory_order_relaxed); }
  double GetProgressLevel() const { return mProgressLevel.load(std::memory_order_relaxed); }
  // Results of the last completed run (valid once its results message was taken).
  double GetHarmonicLevel(int k) const;
  // Phase of harmonic k's sine at the fundamental's positive zero crossing, in degrees
  // (-180, 180]: for a returning x = sum A_k sin(k w t + p_k) it is p_k - k p_1, which no delay
  // of the loop changes (a delay d moves p_k by -k w d). The fundamental's own is 0. Only
  // meaningful where harmonic k and the fundamental came back clear of noise and rounding;
  // the caller judges that from the levels.
  double GetHarmonicPhase(int k) const;
  double GetTHD() const { return mTHD.load(std::memory_order_relaxed); }
  // The progress or results text as the editor shows it, and the other editor texts.
  const char* GetMessageText() const { return mMessageText; }
  const char* GetFrequencyText() const { return mFrequencyText; }
  // The unread engine message (0 when none); does not take it.
  double PeekEditorMessage() const { return mMessageSlot.load(std::memory_order_acquire); }
  // Editor effects, kept as flags too so they hold with or without an editor.
  bool IsCancelButtonShown() const { return mCancelButtonShown; }
  bool IsAboutBoxShown() const { return mAboutBoxShown; }

  // ---- the editor (IThdMeter_Editor.cpp) ----------------------------------------------------
  // Editor thread: shows the volume label and frequency text that changed since the last
  // call. Other threads (a state restore) only mark them, so the controls' texts are written
  // by the thread that draws them.
  void ApplyPendingEditorTexts();
  // Whether the dummy control has work for the next drawing pass: an unread engine message or
  // texts to show.
  bool HasEditorWork() const;
  int GetDummyControlIdx() const { return mDummyControlIdx; }
  // The editor's controls that the meter changes (null without an editor).
  IControl* GetResultsTextControl() const { return mResultsText; }
  IControl* GetVolumeTextControl() const { return mVolumeText; }
  IControl* GetFrequencyDisplay() const { return mFrequencyDisplay; }
  IControl* GetCancelButton() const { return mCancelButton; }
  IControl* GetStartButton() const { return mStartButton; }
  IControl* GetAboutImage() const { return mAboutImage; }
  IControl* GetVersionText() const { return mVersionText; }
  IControl* GetOKButton() const { return mOKButton; }
  IControl* GetVolumeFader() const { return mVolumeFader; }

  // ---- tools ----------------------------------------------------------------------------
  // Replaces the table read at construction by the file at path (or drops it with null);
  // the plug-in itself only ever reads its documents folder. Not for use while running.
  bool UseCalibrationFile(const char* path);
  // Engine path: the two-lane vector loop (default) or the plain per-harmonic formulas.
  // Both give bit-identical results; the plain one is the reference for tests.
  void SetVectorPath(bool on) { mUseVectorPath = on; }

  // ---- calibration files (shared with tests) ----------------------------------------------
  // Finds the calibration file in folder: "*.frd", then "*.cal", then "*.txt"; of the first
  // pattern with matches, the first the platform lists (sorted by name where it sorts).
  static bool FindCalibrationFile(const char* folder, char* name, int nameSize, char* path, int pathSize);
  // Reads and parses the file; returns the number of complete points, or -1 when the file
  // cannot be opened.
  static int ReadCalibrationFile(const char* path, double* frequencies, double* levels, int maxPoints);

protected:
  // Looks for a calibration file in the documents folder and reads it.
  void LoadCalibration();

  // Volume value 0..1 -> level -20*(1-v) dB -> mAmplitude and mVolumeLabel.
  void ApplyVolumeMapping();

  // Opens the product's help web page in the default browser (tests watch it through
  // Util_SetOpenAddressFunc); an address the system reports missing gets a notice.
  void OpenHelpPage(const char* url);

  // ---- identity and user settings ---------------------------------------------------------
  std::atomic<double> mCurrentSampleRate{48000.0};
  std::atomic<double> mFrequency{300.0};
  std::atomic<double> mAmplitude{0.31622776601683794};  // -10 dB, matching the default Volume
  std::atomic<double> mOutputChannel{0.0};
  std::atomic<double> mInputChannel{0.0};
  std::atomic<double> mDenoising{0.0};
  std::atomic<double> mVolume{0.5};
  // The run flag: 0 when idle, otherwise the start sequence number of the run that raised it
  // (always odd, so never 0). The completion clears it only while it still names the run that
  // completes, in one compare-and-swap: a Start that raised it meanwhile keeps its run.
  std::atomic<uint32_t> mMeasuring{0};
  char mVolumeLabel[56] = "-10.0 dB";
  char mFrequencyEntry[8] = {};
  char mDocumentsFolder[1024] = {};

  // ---- editor texts (editor thread) --------------------------------------------------------
  char mMessageText[1024] = {};
  char mFrequencyText[16] = "300";
  bool mCancelButtonShown = false;
  bool mAboutBoxShown = false;
  // Texts changed off the editor thread, waiting for ApplyPendingEditorTexts.
  enum { kPendingVolumeLabel = 1, kPendingFrequencyText = 2 };
  std::atomic<int> mEditorTextsPending{0};

  // ---- calibration ---------------------------------------------------------------------
  char mCalibrationName[256] = {};
  char mCalibrationPath[1024] = {};
  int mCalibrationLoaded = 0;
  int mCalibrationCount = 0;
  double mCalibrationFrequency[kMaxCalibrationPoints] = {};
  double mCalibrationLevel[kMaxCalibrationPoints] = {};
  double mCalibrationFactor[kHarmonics] = {1.0, 1.0, 1.0, 1.0, 1.0};

  // ---- start request: written by Start (editor thread), read by the audio thread -------------
  // A sequence lock: odd while Start writes, then even; the audio thread takes a request
  // whose number differs from the run it set up last, and retries at the next frame when
  // the numbers before and after reading differ.
  std::atomic<uint32_t> mStartSeq{0};
  std::atomic<double> mStartMeasureSeconds{12.0};
  std::atomic<double> mStartFactor[kHarmonics] = {};
  std::atomic<double> mStartStepSin[kHarmonics] = {};
  std::atomic<double> mStartStepCos[kHarmonics] = {};

  // ---- running state: written by the audio thread only -----------------------------------------
  // Lanes 0..4 are harmonics 1..5; lane 5 pads the last pair of the two-lane loop and stays 0.
  static constexpr int kLanes = 6;
  uint32_t mRunSeq = 0;
  double mRunMeasureSeconds = 12.0;
  double mRunFactor[kHarmonics] = {1.0, 1.0, 1.0, 1.0, 1.0};
  alignas(16) double mToneSin[kLanes] = {};
  alignas(16) double mToneCos[kLanes] = {};
  alignas(16) double mStepSin[kLanes] = {};
  alignas(16) double mStepCos[kLanes] = {};
  alignas(16) double mSumCos[kLanes] = {};
  alignas(16) double mSumSin[kLanes] = {};
  double mSecondSumCos = 0.0;
  double mSecondSumSin = 0.0;
  bool mUseVectorPath = true;

  // ---- running state the editor thread reads back ------------------------------------------
  std::atomic<int> mSampleCount{0};
  std::atomic<double> mMeasureSeconds{12.0};
  std::atomic<double> mProgressLevel{0.0};
  std::atomic<double> mHarmonicLevel[kHarmonics] = {};
  // The completed run's correlation sums, from which GetHarmonicPhase works out the phases:
  // two stores per harmonic here, the arctangents on the reader's thread.
  std::atomic<double> mResultSumCos[kHarmonics] = {};
  std::atomic<double> mResultSumSin[kHarmonics] = {};
  std::atomic<double> mTHD{0.0};
  // The one-slot message box to the editor thread: the last posted value until taken.
  std::atomic<double> mMessageSlot{0.0};

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
  // Builds the editor with its controls and attaches it (IThdMeter_Editor.cpp).
  void BuildEditor();

  // Start and Cancel (IThdMeter_Control.cpp).
  void StartMeasurement();
  void CancelMeasurement();
  void ParseFrequencyEntry();
  // Editor effects (IThdMeter_Editor.cpp): the meter's own texts and flags, shown by the editor.
  void ShowResultsText();
  void ShowVolumeLabel();
  void ShowFrequencyText();
  void SetCancelButtonShown(bool shown);
  void SetAboutBoxShown(bool shown);
  void MarkAllControlsDirty();

  // Engine (IThdMeter_Engine.cpp), audio thread only.
  struct BlockTiming;
  bool TakeStartRequest(uint32_t seq);
  void PostEditorMessage(double value);
  void ProcessEventFrame(const BlockTiming& t, int n, double* out0, double* out1, const double* in0,
                         const double* in1, int i);
  int ProcessRunScalar(const BlockTiming& t, int n, int count, double** inputs, double** outputs, int i);
  int ProcessRunVector(const BlockTiming& t, int n, int count, double** inputs, double** outputs, int i);
  void CompleteMeasurement(double rate);
  // Clears the run flag if it still belongs to the run this thread set up last.
  void EndRun();
};
