// Turns its input into a sequence of host calls on a fresh instance: dispatcher opcodes with
// arguments taken from the input (and, where an opcode expects a record or a buffer, a real
// one of the right size filled from the input), parameter gets and sets, and processing in
// all three forms with missing buffers. First byte: bit 0 picks the test plug-in (MIDI and
// an editor) instead of the meter. Findings: memory errors, undefined behaviour, and a
// plug-in that stops answering the fixed opcodes.
#include "FuzzVst2Plugs.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

class Input
{
public:
  Input(const uint8_t* data, size_t size) : mData(data), mSize(size) {}
  bool Empty() const { return mPos >= mSize; }
  uint8_t Byte() { return mPos < mSize ? mData[mPos++] : 0; }
  int32_t Int()
  {
    int32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (int32_t)((uint32_t)v << 8 | Byte());
    return v;
  }
  float Float()
  {
    const int32_t bits = Int();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
  }
  // A slice of the remaining input, at most max bytes.
  std::vector<uint8_t> Bytes(size_t max)
  {
    size_t n = Byte();
    n = n < max ? n : max;
    n = n < mSize - mPos ? n : mSize - mPos;
    std::vector<uint8_t> v(mData + mPos, mData + mPos + n);
    mPos += n;
    return v;
  }

private:
  const uint8_t* mData;
  size_t mSize;
  size_t mPos = 0;
};

// Small numbers most of the time (indices near the valid range), anything now and then.
VstInt32 Index(Input& in)
{
  const uint8_t b = in.Byte();
  return b < 240 ? (VstInt32)(b % 16) - 2 : in.Int();
}

VstIntPtr Value(Input& in)
{
  const uint8_t b = in.Byte();
  if (b < 200) return (VstIntPtr)(b % 16) - 2;
  if (b < 250) return in.Int();
  const uint64_t high = (uint32_t)in.Int();
  return (VstIntPtr)(high << 32 | (uint32_t)in.Int());
}

void Dispatch(Vst2Host& host, Input& in)
{
  const VstInt32 opcode = in.Byte() % 82;
  if (opcode == effClose) return;  // the sequence ends with the host's own close
  const VstInt32 idx = Index(in);
  VstIntPtr value = Value(in);
  const float opt = in.Byte() < 128 ? (float)(in.Byte() * 1000) : in.Float();
  const bool nullPtr = in.Byte() < 32;

  char text[512] = {};
  void* slot = nullptr;
  void* slot2 = nullptr;
  void* ptr = text;
  std::vector<uint8_t> bytes;
  VstSpeakerArrangement arrIn{}, arrOut{};
  VstPinProperties pin{};
  MidiKeyName key{};
  VstMidiEvent midi{};
  VstMidiSysexEvent sysex{};
  struct
  {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[2];
  } events{};

  switch (opcode)
  {
    case effGetChunk:
    case effEditGetRect:
      ptr = &slot;
      break;
    case effSetChunk:
      bytes = in.Bytes(255);
      ptr = bytes.data();
      value = (VstIntPtr)bytes.size();  // a host knows its own data's size
      break;
    case effProcessEvents:
      midi.type = kVstMidiType;
      midi.deltaFrames = Index(in);
      for (int i = 0; i < 3; ++i) midi.midiData[i] = (char)in.Byte();
      bytes = in.Bytes(64);
      sysex.type = kVstSysExType;
      sysex.dumpBytes = (VstInt32)bytes.size();
      sysex.sysexDump = (char*)bytes.data();
      events.numEvents = in.Byte() % 3;
      events.events[0] = (VstEvent*)&midi;
      events.events[1] = in.Byte() & 1 ? (VstEvent*)&sysex : nullptr;
      ptr = &events;
      break;
    case effSetSpeakerArrangement:
      arrIn.numChannels = Index(in);
      arrOut.numChannels = Index(in);
      value = in.Byte() & 1 ? (VstIntPtr)&arrIn : 0;
      ptr = &arrOut;
      break;
    case effGetSpeakerArrangement:
      value = in.Byte() & 1 ? (VstIntPtr)&slot : 0;
      ptr = &slot2;
      break;
    case effGetInputProperties:
    case effGetOutputProperties:
      ptr = &pin;
      break;
    case effGetMidiKeyName:
      key.thisKeyNumber = Index(in);
      ptr = &key;
      break;
    case effSetProgramName:
    case effString2Parameter:
    case effCanDo:
    {
      bytes = in.Bytes(sizeof text - 1);
      if (!bytes.empty()) std::memcpy(text, bytes.data(), bytes.size());
      break;
    }
    default:
      // Opcodes that take a pointer-sized value as a record address are not given garbage
      // there; everything else takes the value as it came.
      break;
  }
  host.Dispatch(opcode, idx, value, nullPtr ? nullptr : ptr, opt);
}

template <class T>
void Process(Vst2Host& host, Input& in, int form)
{
  const int nFrames = (int)(in.Byte() % 8) * 300 - 300;  // -300 .. 1800
  const uint8_t missing = in.Byte();
  const int n = nFrames > 0 ? nFrames : 1;
  std::vector<T> a(n, (T)0.25), b(n, (T)-0.5), c(n), d(n);
  T* ins[2] = {missing & 1 ? nullptr : a.data(), missing & 2 ? nullptr : b.data()};
  T* outs[2] = {missing & 4 ? nullptr : c.data(), missing & 8 ? nullptr : d.data()};
  T** inArr = missing & 16 ? nullptr : ins;
  T** outArr = missing & 32 ? nullptr : outs;
  if constexpr (sizeof(T) == sizeof(double))
  {
    host.ProcessDoubleReplacing(inArr, outArr, nFrames);
  }
  else
  {
    if (form == 0) host.ProcessReplacing(inArr, outArr, nFrames);
    else host.Process(inArr, outArr, nFrames);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  UsePrivateHome();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size < 1 || size > 4096) return 0;
  Input in(data, size);
  const bool testPlug = in.Byte() & 1;
  Vst2Host host;
  FUZZ_CHECK(host.Create(testPlug ? FuzzTestPlugEntry : FuzzMeterEntry));
  host.Start(48000.0, 512);
  while (!in.Empty())
  {
    switch (in.Byte() % 6)
    {
      case 0:
      case 1: Dispatch(host, in); break;
      case 2: host.SetParameter(Index(in), in.Float()); break;
      case 3: host.GetParameter(Index(in)); break;
      case 4: Process<float>(host, in, in.Byte() & 1); break;
      case 5: Process<double>(host, in, 0); break;
    }
  }
  FUZZ_CHECK(host.Dispatch(effGetVstVersion) == kVstVersion);
  FUZZ_CHECK(host.Dispatch(effIdentify) == 0x4E764566);
  host.Close();
  return 0;
}
