// The THD meter plug-in: writes a sine test tone to one output, correlates the returning
// input with harmonics 1 to 5 and reports their levels and the THD.
//
// IThdMeter is the plug-in class: the host hooks (processing, Reset, OnParamChange, state),
// the editor's actions (from_GUI) and texts (MyIdle), and the editor's construction. The
// measurement itself is ThdEngine (ThdEngine.h, the audio thread's side and its threading
// contract), the calibration table ThdCalibration (ThdCalibration.h).
//
// Threads. The audio thread (ProcessDoubleReplacing, under the plug-in mutex the binding
// holds) reaches only the engine. The editor thread (from_GUI, MyIdle; no lock) starts and
// cancels runs through the engine and reads its results back; the host's set-up thread (Reset,
// OnParamChange, state; under the mutex) changes settings. mDenoising and mVolume are atomics
// because Start and the fader read them on the editor thread while a host thread may write them.
//
// Glossary of names that stay as they are (hosts' projects and the meter's history know them):
//  - from_GUI(tag): the entry for every action of the meter's own controls; the tag is the
//    parameter index of the control (kParamStart, ...) or kTagFrequencyEntry (102).
//  - MyIdle(value): turns an engine message into the results text, on the editor thread, when
//    the editor's drawing pass (or PumpEditorMessage without an editor) hands it over.
//  - kMessageProgress (0.55555555) and kMessageResults (0.55555556): the two engine messages,
//    "one more second" and "results ready". They travel as the value of IDummyControl, so they
//    are values no real control would take; the dummy control accepts exactly the closed
//    interval between them.
//  - IDummyControl: the invisible 1 x 1 control that carries those messages from the audio
//    thread into the editor's drawing pass (IThdMeterControls.h).
//  - AlgDisplayN: the frequency display and its text entry.
//  - IMyRadioButton, IMyFaderControl, IMyBitmapControl, IMyButton: the meter's own ("my")
//    versions of the stock controls: each also calls from_GUI with its tag, so that the meter
//    acts on a click at once rather than when the host echoes the parameter back.
#pragma once

#include "IThdMeterBinding.h"
#include "ThdCalibration.h"
#include "ThdEngine.h"

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

class IThdMeter : public IThdMeterBinding
{
public:
  static constexpr int kVendorVersion = 0x10006;
  static constexpr int kHarmonics = ThdEngine::kHarmonics;
  static constexpr const char* kBlankResultsText =
    "THD=\nHarmonic1=\nHarmonic2=\nHarmonic3=\nHarmonic4=\nHarmonic5=";
  // Where THD has no figure because no fundamental came back (0/0).
  static constexpr const char* kNoSignalText = "no signal at input";
  static constexpr const char* kHelpPageURL = "https://veldramix.com/thd-meter/help";

  // ---- the meter's constants and mappings (the editor, tools and tests use these) -----------
  static constexpr int kMaxHarmonicHz = ThdEngine::kMaxHarmonicHz;
  static constexpr double kMinVolumeDb = -20.0;

  static bool IsHarmonicMeasured(int k, double frequency, double sampleRate)
  {
    return ThdEngine::IsHarmonicMeasured(k, frequency, sampleRate);
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
  // What the dummy control does in a drawing pass, for hosts that run none (tools, tests):
  // takes the unread engine message, if any, and hands it to MyIdle. Returns the value handed
  // over, or 0 when there was none.
  double PumpEditorMessage();
  // The text typed into the frequency display (cut to 7 characters, as the display does).
  void SetFrequencyEntry(const char* text);

  // ---- read-only views for hosts, tools and tests ---------------------------------------
  double GetFrequency() const { return mEngine.GetFrequency(); }
  const char* GetVolumeLabel() const { return mVolumeLabel; }
  const char* GetDocumentsFolder() const { return mDocumentsFolder; }
  int IsCalibrationLoaded() const { return mCalibration.IsLoaded(); }
  int GetCalibrationCount() const { return mCalibration.GetCount(); }
  const char* GetCalibrationName() const { return mCalibration.GetName(); }
  const double* GetCalibrationFrequencies() const { return mCalibration.GetFrequencies(); }
  const double* GetCalibrationLevels() const { return mCalibration.GetLevels(); }
  // The divisor harmonic k's level got at the last Start (1.0 before any).
  double GetCalibrationFactor(int k) const { return k >= 1 && k <= kHarmonics ? mCalibrationFactor[k - 1] : 1.0; }
  int IsMeasuring() const { return mEngine.IsMeasuring(); }
  double GetAmplitude() const { return mEngine.GetAmplitude(); }
  double GetCurrentSampleRate() const { return mEngine.GetSampleRate(); }
  double GetDenoising() const { return mDenoising.load(std::memory_order_relaxed); }
  double GetOutputChannel() const { return mEngine.GetOutputChannel(); }
  double GetInputChannel() const { return mEngine.GetInputChannel(); }
  int GetSampleCount() const { return mEngine.GetSampleCount(); }
  double GetMeasureSeconds() const { return mEngine.GetMeasureSeconds(); }
  double GetProgressLevel() const { return mEngine.GetProgressLevel(); }
  // Results of the last completed run (valid once its results message was taken), and the
  // phases of harmonics 2 to 5 (ThdEngine::GetHarmonicPhase).
  double GetHarmonicLevel(int k) const { return mEngine.GetHarmonicLevel(k); }
  double GetHarmonicPhase(int k) const { return mEngine.GetHarmonicPhase(k); }
  double GetTHD() const { return mEngine.GetTHD(); }
  // The progress or results text as the editor shows it, and the other editor texts.
  const char* GetMessageText() const { return mMessageText; }
  const char* GetFrequencyText() const { return mFrequencyText; }
  // The unread engine message (0 when none); does not take it.
  double PeekEditorMessage() const;
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
  bool UseCalibrationFile(const char* path) { return mCalibration.LoadFile(path); }
  // Engine path: the two-lane vector loop (default) or the plain per-harmonic formulas.
  void SetVectorPath(bool on) { mEngine.SetVectorPath(on); }

protected:
  // Looks for a calibration file in the documents folder and reads it.
  void LoadCalibration();

  // Volume value 0..1 -> level -20*(1-v) dB -> the engine's amplitude and mVolumeLabel.
  void ApplyVolumeMapping();

  // Opens the product's help web page in the default browser (tests watch it through
  // Util_SetOpenAddressFunc); an address the system reports missing gets a notice.
  void OpenHelpPage(const char* url);

  // ---- the measurement and the calibration ----------------------------------------------------
  ThdEngine mEngine{&IThdMeter::PostEngineMessage, this};
  ThdCalibration mCalibration;
  // The divisors of the last Start (editor thread).
  double mCalibrationFactor[kHarmonics] = {1.0, 1.0, 1.0, 1.0, 1.0};

  // ---- user settings the engine does not read ---------------------------------------------------
  std::atomic<double> mDenoising{0.0};
  std::atomic<double> mVolume{0.5};
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
  // Audio thread: an engine message goes to the editor's dummy control, which only stores
  // the value and a dirty flag here, and waits there alone (IThdMeter_Editor.cpp). Without an
  // editor it stays in the engine's slot.
  static bool PostEngineMessage(void* meter, double value);
  // Editor thread: takes the unread engine message (0 when none) from where it waits.
  double TakeEngineMessage();
};
