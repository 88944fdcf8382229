// Turns its input into a sequence of host calls on a fresh meter: bus arrangements, set-up,
// activation, process calls with odd parameter queues, odd buffers and odd sizes, controller
// value and text calls with unknown ids, state, views and bus queries. Findings: memory
// errors, undefined behaviour, out-of-range values, a state of the wrong size.
#include "FuzzVst3.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace vst3;

namespace {
vst3host::HostApplication gHost;

class Input
{
public:
  Input(const uint8_t* data, size_t size) : mData(data), mSize(size) {}
  bool Empty() const { return mPos >= mSize; }
  uint8_t Byte() { return mPos < mSize ? mData[mPos++] : 0; }
  uint32_t U32()
  {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
    return v;
  }
  double Double()
  {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits = (bits << 8) | Byte();
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
  }
  // A parameter id: mostly ones the plug-in knows, sometimes anything.
  ParamID Id()
  {
    const uint8_t b = Byte();
    if (b < 160) return b % (kNumParams + 2);
    if (b < 200) return b & 1 ? 0x62706173 : 0x70727374;
    return U32();
  }
  // A value: mostly normalised, sometimes anything (NaN, infinities, huge).
  double Value()
  {
    const uint8_t b = Byte();
    return b < 200 ? b / 199.0 : Double();
  }

private:
  const uint8_t* mData;
  size_t mSize;
  size_t mPos = 0;
};

constexpr int kMaxFrames = 4096;
float gF[4][kMaxFrames];
double gD[4][kMaxFrames];
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  UsePrivateHome();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  Input in(data, size);
  IThdMeter* meter = NewMeter(&gHost);
  IComponent* component = meter;
  IAudioProcessor* processor = meter;
  IEditController* controller = meter;
  IUnitInfo* units = meter;
  vst3host::ComponentHandler handler;
  controller->setComponentHandler(&handler);
  vst3host::ParamChanges changes;

  for (int step = 0; step < 64 && !in.Empty(); ++step)
  {
    switch (in.Byte() % 11)
    {
      case 0:
      {
        SpeakerArrangement ins[2] = {(SpeakerArrangement)in.U32() << (in.Byte() & 31), in.U32()};
        SpeakerArrangement outs[2] = {in.U32(), in.U32()};
        processor->setBusArrangements(ins, in.Byte() % 3, outs, in.Byte() % 3);
        break;
      }
      case 1:
      {
        ProcessSetup setup{(int32)(in.Byte() % 4), (int32)(in.Byte() % 3), (int32)(in.U32() % 10000),
                           in.Byte() < 128 ? 48000.0 : in.Double()};
        processor->setupProcessing(setup);
        break;
      }
      case 2: component->setActive(in.Byte() & 1); break;
      case 3:
      {
        changes.Clear();
        const int nQueues = in.Byte() % 5;
        for (int q = 0; q < nQueues; ++q)
        {
          const ParamID id = in.Id();
          const int nPoints = in.Byte() % 4;
          int32 index = 0, point = 0;
          IParamValueQueue* queue = changes.addParameterData(id, index);
          for (int p = 0; p < nPoints; ++p) queue->addPoint((int32)in.U32(), in.Value(), point);
        }
        const uint8_t shape = in.Byte();
        const int nFrames = (int)(in.U32() % (kMaxFrames + 1)) - (shape & 0x80 ? 1 : 0);
        float* fIns[3] = {shape & 1 ? nullptr : gF[0], gF[1], gF[2]};
        float* fOuts[3] = {shape & 2 ? nullptr : gF[3], gF[2], gF[1]};
        double* dIns[3] = {shape & 1 ? nullptr : gD[0], gD[1], gD[2]};
        double* dOuts[3] = {shape & 2 ? nullptr : gD[3], gD[2], gD[1]};
        vst3host::Block block;
        if (shape & 4) block.SetUp64(shape & 8 ? nullptr : dIns, (shape >> 4) & 3, dOuts, (shape >> 5) & 3, nFrames);
        else block.SetUp32(shape & 8 ? nullptr : fIns, (shape >> 4) & 3, fOuts, (shape >> 5) & 3, nFrames);
        block.mData.inputParameterChanges = &changes;
        if (shape & 0x40) block.mData.processContext = nullptr;
        // The sample size names the buffers' type, so a host can only get it wrong by naming
        // no valid size at all; lying about the type is beyond what a plug-in can detect.
        if (!(in.Byte() & 7)) block.mData.symbolicSampleSize = 2 + in.Byte();
        processor->process(block.mData);
        for (int c = 0; c < 4; ++c)
          for (int s = 0; s < kMaxFrames; s += 512) FUZZ_CHECK(std::isfinite(gD[c][s]) && std::isfinite(gF[c][s]));
        break;
      }
      case 4: controller->setParamNormalized(in.Id(), in.Value()); break;
      case 5:
      {
        String128 text = {};
        const ParamID id = in.Id();
        controller->getParamStringByValue(id, in.Value(), text);
        char16 typed[16] = {};
        for (int i = 0; i < 15; ++i) typed[i] = (char16)in.Byte();
        ParamValue v = 0.0;
        controller->getParamValueByString(id, typed, v);
        controller->normalizedParamToPlain(id, in.Value());
        controller->plainParamToNormalized(id, in.Double());
        break;
      }
      case 6:
      {
        vst3host::MemoryStream saved;
        if (in.Byte() & 1) controller->getState(&saved);
        else component->getState(&saved);
        const size_t cut = in.Byte();
        if (cut < saved.mBytes.size()) saved.mBytes.resize(cut);
        if (!saved.mBytes.empty()) saved.mBytes[in.Byte() % saved.mBytes.size()] ^= in.Byte();
        saved.Rewind();
        if (in.Byte() & 1) controller->setState(&saved);
        else component->setState(&saved);
        break;
      }
      case 7:
      {
        const char* names[] = {"editor", "Editor", "", "editor2"};
        IPlugView* view = controller->createView(names[in.Byte() % 4]);
        if (!view) break;
        ViewRect r{(int32)in.U32(), (int32)in.U32(), (int32)in.U32(), (int32)in.U32()};
        view->getSize(&r);
        view->onSize(in.Byte() & 1 ? &r : nullptr);
        const char* types[] = {"HWND", "X11EmbedWindowID", "NSView", "hwnd"};
        view->isPlatformTypeSupported(types[in.Byte() % 4]);
        view->attached(nullptr, types[in.Byte() % 4]);
        view->removed();
        view->release();
        break;
      }
      case 8:
      {
        const MediaType type = (MediaType)(in.Byte() % 3);
        const BusDirection dir = (BusDirection)(in.Byte() % 3);
        const int32 index = (int32)(int8_t)in.Byte();
        component->activateBus(type, dir, index, in.Byte() & 1);
        BusInfo bi{};
        component->getBusInfo(type, dir, index, bi);
        SpeakerArrangement arr = 0;
        processor->getBusArrangement(dir, index, arr);
        break;
      }
      case 9:
      {
        const int32 index = (int32)(int8_t)in.Byte();
        ParameterInfo pi{};
        controller->getParameterInfo(index, pi);
        UnitInfo ui{};
        units->getUnitInfo(index, ui);
        ProgramListInfo li{};
        units->getProgramListInfo(index, li);
        String128 name = {};
        units->getProgramName((ProgramListID)in.U32(), index, name);
        break;
      }
      case 10:
        if (in.Byte() & 1) component->initialize(&gHost);
        else controller->getParamNormalized(in.Id());
        break;
    }
  }
  CheckMeter(meter);
  component->setActive(0);
  component->terminate();
  component->release();
  return 0;
}
