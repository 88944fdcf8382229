// Records exchanged between the plug-in base, its bindings and the plug-in.
#pragma once

#include "ByteChunk.h"
#include "Util_String.h"
#include "Util_TypedBuf.h"

#include <cstdint>

enum EAPI { kAPIVST2 = 0, kAPIVST3 = 1, kAPIAU = 2, kAPIRTAS = 3, kAPIAAX = 4, kAPIStandalone = 5 };

// Host identity; -1 until a binding has asked the host.
enum EHost : int
{
  kHostUninit = -1,
  kHostUnknown = 0,
  kHostReaper, kHostProTools, kHostCubase, kHostNuendo, kHostSonar, kHostVegas, kHostFL,
  kHostSamplitude, kHostAbletonLive, kHostTracktion, kHostNTracks, kHostMelodyneStudio,
  kHostVSTScanner, kHostAULab, kHostForte, kHostChainer, kHostAudition, kHostOrion, kHostBias,
  kHostSAWStudio, kHostLogic, kHostGarageBand, kHostDigitalPerformer, kHostStandalone,
  kHostAudioMulch, kHostStudioOne, kHostVST3TestHost, kHostArdour, kHostRenoise, kHostOpenMPT,
};

struct IMidiMsg
{
  int mOffset = 0;
  uint8_t mStatus = 0, mData1 = 0, mData2 = 0;

  enum EStatusMsg
  {
    kNone = 0, kNoteOff = 8, kNoteOn = 9, kPolyAftertouch = 10, kControlChange = 11,
    kProgramChange = 12, kChannelAftertouch = 13, kPitchWheel = 14,
  };

  void MakeNoteOnMsg(int noteNumber, int velocity, int offset, int channel = 0);
  void MakeNoteOffMsg(int noteNumber, int offset, int channel = 0);
  void MakePitchWheelMsg(double value, int channel = 0);
  void MakeControlChangeMsg(int controller, double value, int channel = 0);
  void Clear();

  int Channel() const { return mStatus & 0x0F; }
  EStatusMsg StatusMsg() const;
  int NoteNumber() const;
  int Velocity() const;
  int PolyAfterTouch() const;
  int ChannelAfterTouch() const;
  int Program() const;
  double PitchWheel() const;
  int ControlChangeIdx() const { return mData1; }
  double ControlChange(int controller) const;
};

struct ISysEx
{
  int mOffset = 0;
  const uint8_t* mData = nullptr;
  int mSize = 0;
};

struct ITimeInfo
{
  double mTempo = 120.0;
  double mSamplePos = -1.0;
  double mPPQPos = -1.0;
  double mLastBar = -1.0;
  double mCycleStart = -1.0;
  double mCycleEnd = -1.0;
  int mNumerator = 4;
  int mDenominator = 4;
  bool mTransportIsRunning = false;
  bool mTransportLoopEnabled = false;
};

struct ChannelIO
{
  int mIn = 0;
  int mOut = 0;
};

struct InChannel
{
  bool mConnected = false;
  double** mSrc = nullptr;               // this channel's slot in the input data array
  Util_TypedBuf<double> mScratchBuf;
  Util_String mLabel;
};

struct OutChannel
{
  bool mConnected = false;
  double** mDest = nullptr;              // this channel's slot in the output data array
  float* mFDest = nullptr;               // host float buffer, converted into after processing
  Util_TypedBuf<double> mScratchBuf;
  Util_String mLabel;
};

struct IPreset
{
  bool mInitialized = false;
  char mName[256] = "empty";
  ByteChunk mChunk;
};

// Delays the input by the plug-in's latency while it is bypassed, so that bypass does
// not shift the signal against the processed path.
struct LatencyDelayLine
{
  Util_TypedBuf<double> mBuffer;   // nIn sections of mLength samples
  unsigned mWritePos = 0;
  int mNIn = 0;
  int mNOut = 0;
  int mLength = 0;

  LatencyDelayLine(int nIn, int nOut) : mNIn(nIn), mNOut(nOut) {}
  void SetLength(int samples);
};
