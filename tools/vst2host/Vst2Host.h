// A small VST 2 host: loads a module the way hosts do (dlopen, VSTPluginMain or main), creates
// instances and drives them through the dispatcher, the parameter and the processing entry
// points. Its host callback answers the calls a plug-in makes (product string, version, time
// info, process level) and records every call, so that tests can see what the plug-in asked.
#pragma once

#include "VstAbi.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// A loaded module file. Unloads on destruction; instances must be closed before.
class Vst2Module
{
public:
  Vst2Module() = default;
  ~Vst2Module();
  Vst2Module(const Vst2Module&) = delete;
  Vst2Module& operator=(const Vst2Module&) = delete;

  // Loads the file; false (with Error() telling why) when it cannot be loaded.
  bool Load(const char* path);
  // The entry point by name ("VSTPluginMain" or "main"); null when the module lacks it.
  VstPluginMainProc Entry(const char* symbol = "VSTPluginMain") const;
  // Any symbol the module exports (null when it does not), to check what it keeps hidden.
  void* Symbol(const char* name) const;
  const std::string& Error() const { return mError; }

private:
  void* mHandle = nullptr;
  std::string mError;
};

class Vst2Host
{
public:
  struct Call
  {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    float opt;
  };

  Vst2Host() = default;
  ~Vst2Host();  // closes the instance if the caller did not
  Vst2Host(const Vst2Host&) = delete;
  Vst2Host& operator=(const Vst2Host&) = delete;

  // Creates an instance through the entry point; false when it returned none or a record
  // without the magic number.
  bool Create(VstPluginMainProc entry);
  AEffect* Effect() const { return mEffect; }

  // ---- dispatcher ------------------------------------------------------------------------
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  // effOpen, sample rate, block size, effMainsChanged(1): what a host does before audio.
  void Start(double sampleRate, int blockSize);
  // effMainsChanged(0), effClose.
  void Close();
  std::string GetString(VstInt32 opcode, VstInt32 index = 0);
  // effGetChunk as bytes (empty when the plug-in gave none).
  std::vector<uint8_t> GetChunk(bool program);
  VstIntPtr SetChunk(bool program, const std::vector<uint8_t>& bytes);
  VstIntPtr CanDo(const char* text) { return Dispatch(effCanDo, 0, 0, (void*)text); }

  // ---- parameters and audio ----------------------------------------------------------------
  float GetParameter(VstInt32 index);
  void SetParameter(VstInt32 index, float value);
  void Process(float** inputs, float** outputs, VstInt32 nFrames);  // accumulating
  void ProcessReplacing(float** inputs, float** outputs, VstInt32 nFrames);
  void ProcessDoubleReplacing(double** inputs, double** outputs, VstInt32 nFrames);

  // ---- what the host answers ---------------------------------------------------------------
  std::string mProductString = "vst2host";
  VstIntPtr mVendorVersion = 10000;
  VstIntPtr mProcessLevel = kVstProcessLevelRealtime;
  VstIntPtr mEventsAnswer = 1;
  // Time info handed out for audioMasterGetTime; with mHasTime false the host answers 0.
  bool mHasTime = true;
  VstTimeInfo mTime{};
  // Runs first in every host callback, on the calling thread: a test makes the host take a
  // lock of its own there, as real hosts do around their automation and window handling.
  std::function<void(VstInt32 opcode)> mOnCallback;

  // ---- what the plug-in asked ---------------------------------------------------------------
  std::vector<Call> Calls() const;
  int CountCalls(VstInt32 opcode) const;
  void ClearCalls();
  // The MIDI bytes of every event the plug-in sent with audioMasterProcessEvents.
  std::vector<VstMidiEvent> mSentMidi;
  std::vector<std::vector<uint8_t>> mSentSysEx;

  static VstIntPtr VSTCALLBACK Callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                        void* ptr, float opt);

private:
  VstIntPtr Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

  AEffect* mEffect = nullptr;
  mutable std::mutex mCallsLock;  // the callback may come from an audio thread
  std::vector<Call> mCalls;
};
