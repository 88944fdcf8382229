// The built bundle through the mini host, the way a VST 3 host loads and drives it.
#include "ThdPrivateHome.h"
#include "Vst3HostSide.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <dlfcn.h>
#include <vector>

using namespace vst3host;

namespace {
constexpr ParamID kBypass = 0x62706173;
constexpr ParamID kPreset = 0x70727374;
constexpr ParamID kVolume = 3;
constexpr ParamID kOutputParam = 0;

std::vector<unsigned char> StateOf(IComponent* c)
{
  MemoryStream s;
  EXPECT_EQ(c->getState(&s), kResultOk);
  return s.mBytes;
}

std::vector<unsigned char> StateOf(IEditController* c)
{
  MemoryStream s;
  EXPECT_EQ(c->getState(&s), kResultOk);
  return s.mBytes;
}

double FrequencyIn(const std::vector<unsigned char>& state)
{
  double f = 0.0;
  if (state.size() >= 8) std::memcpy(&f, state.data(), 8);
  return f;
}

// One loaded module and one initialised instance, with a private HOME for the meter's
// documents folder.
class Vst3Module : public ThdPrivateHome
{
protected:
  void SetUp() override
  {
    ThdPrivateHome::SetUp();
    std::string error;
    ASSERT_TRUE(mModule.Load(VX_VST3_BUNDLE, &error)) << error;
    ASSERT_TRUE(mPlug.Create(mModule.Factory(), 0));
    ASSERT_EQ(mPlug.mComponent->initialize(&mHost), kResultOk);
    ASSERT_EQ(mPlug.mController->setComponentHandler(&mHandler), kResultOk);
  }
  void TearDown() override
  {
    if (mPlug.mComponent) mPlug.mComponent->terminate();
    mPlug.Release();
    EXPECT_TRUE(mModule.Unload());
    EXPECT_EQ(mHost.Refs(), 1) << "the plug-in let go of the host context";
    EXPECT_EQ(mHandler.Refs(), 1) << "the plug-in let go of the component handler";
    ThdPrivateHome::TearDown();
  }

  void SetUpProcessing(int32 sampleSize, int32 maxBlock)
  {
    ProcessSetup setup{kRealtime, sampleSize, maxBlock, 48000.0};
    ASSERT_EQ(mPlug.mProcessor->setupProcessing(setup), kResultOk);
    ASSERT_EQ(mPlug.mComponent->setActive(1), kResultOk);
  }

  // One 64-bit block with the given changes; returns the process result.
  tresult ProcessChanges(Block& block, int nFrames = 64)
  {
    std::vector<double> buf(4 * (size_t)nFrames, 0.25);
    double* ins[] = {&buf[0], &buf[(size_t)nFrames]};
    double* outs[] = {&buf[2 * (size_t)nFrames], &buf[3 * (size_t)nFrames]};
    block.SetUp64(ins, 2, outs, 2, nFrames);
    return mPlug.mProcessor->process(block.mData);
  }

  Module mModule;
  Instance mPlug;
  HostApplication mHost{"Ardour"};
  ComponentHandler mHandler;
};
}  // namespace

TEST(Vst3Bundle, FactoryDescribesTheMeterClass)
{
  Module module;
  std::string error;
  ASSERT_TRUE(module.Load(VX_VST3_BUNDLE, &error)) << error;
  IPluginFactory* f = module.Factory();
  PFactoryInfo fi{};
  ASSERT_EQ(f->getFactoryInfo(&fi), kResultOk);
  EXPECT_EQ(fi.flags, 16);
  EXPECT_STRNE(fi.vendor, "");
  ASSERT_EQ(f->countClasses(), 1);

  IPluginFactory3* f3 = nullptr;
  ASSERT_EQ(f->queryInterface(IPluginFactory3::iid.Data(), (void**)&f3), kResultOk);
  PClassInfo2 ci{};
  ASSERT_EQ(f3->getClassInfo2(0, &ci), kResultOk);
  EXPECT_STREQ(ci.name, "Veldramix THD Meter");
  EXPECT_STREQ(ci.category, "Audio Module Class");
  EXPECT_STREQ(ci.subCategories, "Fx");
  EXPECT_STREQ(ci.version, "1.0.6");
  EXPECT_STREQ(ci.sdkVersion, "VST 3.6.10");
  EXPECT_EQ(ci.classFlags, 2u);
  EXPECT_EQ(ci.cardinality, 0x7FFFFFFF);
  EXPECT_EQ(UidText(ci.cid), "F2AEE70D00DE4F4E56656C645448444D");
  // Same words as the Windows module, whose bytes 7 to 16 read "NOVeldTHDM"; here the first
  // two words are big-endian, so only the manufacturer and unique id read as text.
  EXPECT_EQ(std::string(ci.cid + 8, 8), "VeldTHDM");
  PClassInfoW wi{};
  ASSERT_EQ(f3->getClassInfoUnicode(0, &wi), kResultOk);
  EXPECT_EQ(Narrow(wi.name), "Veldramix THD Meter");
  EXPECT_EQ(Narrow(wi.sdkVersion), "VST 3.6.10");
  EXPECT_NE(f3->getClassInfo2(1, &ci), kResultOk);

  // Unknown class or interface: nothing is created.
  void* obj = &obj;
  char wrong[16] = {};
  EXPECT_NE(f->createInstance(wrong, IComponent::iid.Data(), &obj), kResultOk);
  EXPECT_EQ(obj, nullptr);
  obj = &obj;
  EXPECT_NE(f->createInstance(ci.cid, IPluginFactory::iid.Data(), &obj), kResultOk);
  EXPECT_EQ(obj, nullptr);
  f3->release();
  EXPECT_TRUE(module.Unload());
}

TEST_F(Vst3Module, InitializePublishesBusesAndParametersOnce)
{
  // A second initialize keeps what the first published and says so.
  HostApplication other("Reaper");
  EXPECT_EQ(mPlug.mController->initialize(&other), kResultFalse);
  EXPECT_EQ(other.Refs(), 1) << "the first context is kept";

  ASSERT_EQ(mPlug.mComponent->getBusCount(kAudio, kInput), 1);
  ASSERT_EQ(mPlug.mComponent->getBusCount(kAudio, kOutput), 1);
  EXPECT_EQ(mPlug.mComponent->getBusCount(kEvent, kInput), 0);
  BusInfo bi{};
  ASSERT_EQ(mPlug.mComponent->getBusInfo(kAudio, kInput, 0, bi), kResultOk);
  EXPECT_EQ(Narrow(bi.name), "Main Input");
  EXPECT_EQ(bi.channelCount, 2);
  EXPECT_EQ(bi.flags, 1u);
  ASSERT_EQ(mPlug.mComponent->getBusInfo(kAudio, kOutput, 0, bi), kResultOk);
  EXPECT_EQ(Narrow(bi.name), "Output");
  EXPECT_NE(mPlug.mComponent->getBusInfo(kAudio, kOutput, 1, bi), kResultOk);

  ASSERT_EQ(mPlug.mController->getParameterCount(), 12);
  ParameterInfo pi{};
  ASSERT_EQ(mPlug.mController->getParameterInfo(0, pi), kResultOk);
  EXPECT_EQ(pi.id, kPreset);
  EXPECT_EQ(Narrow(pi.title), "Preset");
  EXPECT_EQ(pi.stepCount, 1);
  EXPECT_EQ(pi.flags, 0x8000);
  ASSERT_EQ(mPlug.mController->getParameterInfo(1, pi), kResultOk);
  EXPECT_EQ(pi.id, kBypass);
  EXPECT_EQ(Narrow(pi.title), "Bypass");
  EXPECT_EQ(pi.flags, 0x10009);
  EXPECT_EQ(pi.stepCount, 1);
  String128 text = {};
  EXPECT_EQ(mPlug.mController->getParamStringByValue(kBypass, 1.0, text), kResultFalse)
    << "only plug-in parameters are converted by the binding";
  ASSERT_EQ(mPlug.mController->getParameterInfo(2 + (int)kVolume, pi), kResultOk);
  EXPECT_EQ(pi.id, kVolume);
  EXPECT_EQ(Narrow(pi.title), "Volume");
  EXPECT_EQ(pi.stepCount, 0);
  EXPECT_DOUBLE_EQ(pi.defaultNormalizedValue, 0.5);
  EXPECT_EQ(pi.flags, 1);
  EXPECT_EQ(pi.unitId, 0);
}

TEST_F(Vst3Module, BusArrangementsFollowTheChannelConfigurations)
{
  const SpeakerArrangement mono = kSpeakerMono, stereo = kSpeakerStereo, three = 0x7;
  const struct { SpeakerArrangement in, out; int32 nIns; tresult want; int inChannels; } cases[] = {
    {mono, mono, 1, kResultOk, 1},
    {stereo, stereo, 1, kResultOk, 2},
    {mono, stereo, 1, kResultFalse, 2},  // refused: buses stay as they were
    {three, three, 1, kResultFalse, 2},
    {stereo, stereo, 2, kResultFalse, 2},  // accepted channels, but not exactly one input arrangement
  };
  for (const auto& c : cases)
  {
    SpeakerArrangement ins[2] = {c.in, c.in}, outs[1] = {c.out};
    EXPECT_EQ(mPlug.mProcessor->setBusArrangements(ins, c.nIns, outs, 1), c.want) << c.in << "/" << c.out;
    BusInfo bi{};
    ASSERT_EQ(mPlug.mComponent->getBusInfo(kAudio, kInput, 0, bi), kResultOk);
    EXPECT_EQ(bi.channelCount, c.inChannels);
    SpeakerArrangement arr = 0;
    EXPECT_EQ(mPlug.mProcessor->getBusArrangement(kOutput, 0, arr), kResultOk);
  }
  SpeakerArrangement ins[1] = {mono}, outs[1] = {mono};
  ASSERT_EQ(mPlug.mProcessor->setBusArrangements(ins, 1, outs, 1), kResultOk);
  BusInfo bi{};
  ASSERT_EQ(mPlug.mComponent->getBusInfo(kAudio, kInput, 0, bi), kResultOk);
  EXPECT_EQ(Narrow(bi.name), "Input");
}

TEST_F(Vst3Module, SetupProcessingTakesBothSampleSizesOnly)
{
  EXPECT_EQ(mPlug.mProcessor->canProcessSampleSize(kSample32), kResultOk);
  EXPECT_EQ(mPlug.mProcessor->canProcessSampleSize(kSample64), kResultOk);
  EXPECT_EQ(mPlug.mProcessor->canProcessSampleSize(2), kResultFalse);
  for (int32 size : {kSample32, kSample64})
  {
    ProcessSetup setup{kRealtime, size, 256, 44100.0};
    EXPECT_EQ(mPlug.mProcessor->setupProcessing(setup), kResultOk);
  }
  ProcessSetup bad{kRealtime, 7, 256, 44100.0};
  EXPECT_EQ(mPlug.mProcessor->setupProcessing(bad), kResultFalse);
  EXPECT_EQ(mPlug.mProcessor->getLatencySamples(), 0u);
  EXPECT_EQ(mPlug.mProcessor->setProcessing(1), kNotImplemented);
}

TEST_F(Vst3Module, ParameterQueuesApplyTheirLastPointOncePerBlock)
{
  SetUpProcessing(kSample64, 64);
  Block block;
  block.mChanges.Add(kVolume, 0.2, 0);
  block.mChanges.Add(kVolume, 0.9, 40);
  block.mChanges.Add(12345, 0.7);  // unknown id: ignored
  ASSERT_EQ(ProcessChanges(block), kResultOk);
  EXPECT_DOUBLE_EQ(mPlug.mController->getParamNormalized(kVolume), 0.9);

  const struct { double value; double bypassed; } bypass[] = {{0.5, 0.0}, {0.51, 1.0}, {0.0, 0.0}, {1.0, 1.0}};
  for (const auto& c : bypass)
  {
    block.mChanges.Clear();
    block.mChanges.Add(kBypass, c.value);
    ASSERT_EQ(ProcessChanges(block), kResultOk);
    EXPECT_EQ(mPlug.mController->getParamNormalized(kBypass), c.bypassed) << c.value;
  }
  // The controller takes bypass from the host too (see ControllerKeepsTheBypassTheHostSet).
  EXPECT_EQ(mPlug.mController->setParamNormalized(kBypass, 0.0), kResultOk);
  EXPECT_EQ(mPlug.mController->getParamNormalized(kBypass), 0.0);

  // A preset change restores the (single) preset, also from the top of the range.
  for (double presetValue : {0.0, 1.0})
  {
    block.mChanges.Clear();
    block.mChanges.Add(kOutputParam, 1.0);
    ASSERT_EQ(ProcessChanges(block), kResultOk);
    EXPECT_EQ(mPlug.mController->getParamNormalized(kOutputParam), 1.0);
    block.mChanges.Clear();
    block.mChanges.Add(kPreset, presetValue);
    ASSERT_EQ(ProcessChanges(block), kResultOk);
    EXPECT_EQ(mPlug.mController->getParamNormalized(kOutputParam), 0.0) << presetValue;
  }

  // Odd values never leave the parameter's range.
  for (double odd : {(double)NAN, -3.0, 7.0})
  {
    block.mChanges.Clear();
    block.mChanges.Add(kVolume, odd);
    ASSERT_EQ(ProcessChanges(block), kResultOk);
    const double v = mPlug.mController->getParamNormalized(kVolume);
    EXPECT_TRUE(v >= 0.0 && v <= 1.0) << odd;
  }
}

// Each output carries its own input, whatever the sample size: the two inputs differ, and the
// outputs start filled with something neither carries.
TEST_F(Vst3Module, BypassPassesEachInputThroughInBothSampleSizes)
{
  for (int32 size : {kSample32, kSample64})
  {
    SCOPED_TRACE(size == kSample32 ? "32-bit" : "64-bit");
    SetUpProcessing(size, 32);
    Block block;
    block.mChanges.Add(kBypass, 1.0);
    std::vector<float> f(4 * 32, 9.0f);
    std::vector<double> d(4 * 32, 9.0);
    for (int i = 0; i < 32; ++i)
    {
      f[(size_t)i] = (float)(d[(size_t)i] = 0.01 * i);
      f[32 + (size_t)i] = (float)(d[32 + (size_t)i] = -0.5 + 0.003 * i);
    }
    float* fins[] = {&f[0], &f[32]};
    float* fouts[] = {&f[64], &f[96]};
    double* dins[] = {&d[0], &d[32]};
    double* douts[] = {&d[64], &d[96]};
    if (size == kSample32) block.SetUp32(fins, 2, fouts, 2, 32);
    else block.SetUp64(dins, 2, douts, 2, 32);
    ASSERT_EQ(mPlug.mProcessor->process(block.mData), kResultOk);
    ASSERT_EQ(mPlug.mComponent->setActive(0), kResultOk);
    for (size_t c = 0; c < 2; ++c)
      for (size_t i = 0; i < 32; ++i)
      {
        const double in = size == kSample32 ? (double)f[32 * c + i] : d[32 * c + i];
        const double out = size == kSample32 ? (double)f[64 + 32 * c + i] : d[64 + 32 * c + i];
        EXPECT_EQ(out, in) << "channel " << c << ", frame " << i;
      }
  }
}

TEST_F(Vst3Module, HostBypassSurvivesANewSetupAndActivation)
{
  // A host bypasses the meter, then changes its buffer size: deactivate, new set-up,
  // activate. The host still shows it bypassed, so it must still pass its input through.
  SetUpProcessing(kSample64, 32);
  Block block;
  block.mChanges.Add(kBypass, 1.0);
  ASSERT_EQ(ProcessChanges(block, 32), kResultOk);
  ASSERT_EQ(mPlug.mComponent->setActive(0), kResultOk);
  SetUpProcessing(kSample64, 64);
  EXPECT_EQ(mPlug.mController->getParamNormalized(kBypass), 1.0);
  Block next;
  std::vector<double> d(4 * 64, 0.25);
  double* ins[] = {&d[0], &d[64]};
  double* outs[] = {&d[128], &d[192]};
  for (int i = 128; i < 256; ++i) d[(size_t)i] = 9.0;
  next.SetUp64(ins, 2, outs, 2, 64);
  ASSERT_EQ(mPlug.mProcessor->process(next.mData), kResultOk);
  EXPECT_EQ(std::vector<double>(d.begin() + 128, d.end()), std::vector<double>(128, 0.25))
      << "bypassed: the input passes through";
  const std::vector<unsigned char> controller = StateOf(mPlug.mController);
  ASSERT_EQ(controller.size(), 92u);
  EXPECT_EQ(controller[88], 1) << "and the controller state says so";
}

TEST_F(Vst3Module, ControllerKeepsTheBypassTheHostSet)
{
  // The host sets bypass on the controller and reads it back; the processor follows the
  // parameter queue as before.
  EXPECT_EQ(mPlug.mController->setParamNormalized(kBypass, 1.0), kResultOk);
  EXPECT_EQ(mPlug.mController->getParamNormalized(kBypass), 1.0);
  SetUpProcessing(kSample64, 64);
  std::vector<double> d(4 * 64, 0.25);
  double* ins[] = {&d[0], &d[64]};
  double* outs[] = {&d[128], &d[192]};
  Block block;
  block.SetUp64(ins, 2, outs, 2, 64);
  ASSERT_EQ(mPlug.mProcessor->process(block.mData), kResultOk);
  EXPECT_EQ(d[128], 0.0) << "no queue said bypass: the meter writes silence while idle";
  Block queued;
  queued.mChanges.Add(kBypass, 0.0);
  queued.SetUp64(ins, 2, outs, 2, 64);
  ASSERT_EQ(mPlug.mProcessor->process(queued.mData), kResultOk);
  EXPECT_EQ(mPlug.mController->getParamNormalized(kBypass), 0.0) << "the queue's value shows on the controller";
  EXPECT_EQ(mPlug.mController->setParamNormalized(kBypass, std::nan("")), kResultFalse);
  EXPECT_EQ(mPlug.mController->getParamNormalized(kBypass), 0.0);
}

TEST_F(Vst3Module, ShortStateStreamsAreReadWholeOrRefused)
{
  // The stream is read before anything changes. One that ends inside a value is refused
  // and the state stays as it was; one that ends between values means what it always
  // meant (the frequency alone; nothing).
  SetUpProcessing(kSample64, 64);
  Block block;
  block.mChanges.Add(kVolume, 0.25);
  ASSERT_EQ(ProcessChanges(block), kResultOk);
  const std::vector<unsigned char> before = StateOf(mPlug.mComponent);
  ASSERT_EQ(before.size(), 88u);
  std::vector<unsigned char> other = before;
  const double newFrequency = 2500.0, newVolume = 0.75;
  std::memcpy(other.data(), &newFrequency, 8);
  std::memcpy(other.data() + 32, &newVolume, 8);

  for (size_t n : {(size_t)1, (size_t)7, (size_t)12, (size_t)39, (size_t)87})
  {
    MemoryStream cut(std::vector<unsigned char>(other.begin(), other.begin() + (long)n));
    EXPECT_EQ(mPlug.mComponent->setState(&cut), kResultFalse) << n << " bytes";
    EXPECT_EQ(StateOf(mPlug.mComponent), before) << n << " bytes changed the state";
    MemoryStream cutController(std::vector<unsigned char>(other.begin(), other.begin() + (long)n));
    EXPECT_EQ(mPlug.mController->setState(&cutController), kResultFalse) << n << " bytes";
    EXPECT_EQ(StateOf(mPlug.mComponent), before) << n << " bytes changed the state (controller)";
  }
  // The controller's bypass cut short: refused too.
  std::vector<unsigned char> controller = StateOf(mPlug.mController);
  ASSERT_EQ(controller.size(), 92u);
  controller[88] = 1;
  MemoryStream cutBypass(std::vector<unsigned char>(controller.begin(), controller.begin() + 90));
  EXPECT_EQ(mPlug.mController->setState(&cutBypass), kResultFalse);
  EXPECT_EQ(mPlug.mController->getParamNormalized(kBypass), 0.0);

  MemoryStream empty;
  EXPECT_EQ(mPlug.mComponent->setState(&empty), kResultOk);
  EXPECT_EQ(FrequencyIn(StateOf(mPlug.mComponent)), FrequencyIn(before));
  MemoryStream frequencyOnly(std::vector<unsigned char>(other.begin(), other.begin() + 8));
  EXPECT_EQ(mPlug.mComponent->setState(&frequencyOnly), kResultOk);
  EXPECT_EQ(FrequencyIn(StateOf(mPlug.mComponent)), 2500.0);
  EXPECT_DOUBLE_EQ(mPlug.mController->getParamNormalized(kVolume), 0.25);
  MemoryStream whole(other);
  EXPECT_EQ(mPlug.mComponent->setState(&whole), kResultOk);
  EXPECT_EQ(StateOf(mPlug.mComponent), other);
}

TEST_F(Vst3Module, NullUnconnectedAndOverlongBuffersAreSafe)
{
  // Run under ASan: each case would overrun or dereference null if the binding trusted it.
  for (int32 size : {kSample32, kSample64})
  {
    SetUpProcessing(size, 64);
    Block block;
    const int n = 8192;  // longer than announced
    std::vector<float> f(2 * (size_t)n, 0.5f);
    std::vector<double> d(2 * (size_t)n, 0.5);
    float* fins[] = {nullptr, &f[0]};
    float* fouts[] = {&f[(size_t)n], nullptr};
    double* dins[] = {nullptr, &d[0]};
    double* douts[] = {&d[(size_t)n], nullptr};
    for (int variant = 0; variant < 4; ++variant)
    {
      if (size == kSample32) block.SetUp32(fins, 2, fouts, 2, n);
      else block.SetUp64(dins, 2, douts, 2, n);
      if (variant == 1) block.mData.numInputs = 0, block.mData.inputs = nullptr;
      if (variant == 2) block.mIn.numChannels = 1, block.mOut.numChannels = 1;  // fewer than the bus has
      if (variant == 3) block.mIn.channelBuffers64 = nullptr, block.mOut.channelBuffers64 = nullptr;
      EXPECT_EQ(mPlug.mProcessor->process(block.mData), kResultOk) << size << "/" << variant;
    }
    // A parameter-only call without samples.
    block.SetUp64(nullptr, 0, nullptr, 0, 0);
    block.mData.outputs = nullptr;
    block.mData.numOutputs = 0;
    EXPECT_EQ(mPlug.mProcessor->process(block.mData), kResultOk);
  }
  // A mono arrangement leaves the second channels unconnected.
  SpeakerArrangement mono = kSpeakerMono;
  ASSERT_EQ(mPlug.mProcessor->setBusArrangements(&mono, 1, &mono, 1), kResultOk);
  Block block;
  std::vector<double> d(2 * 64, 0.5);
  double* dins[] = {&d[0]};
  double* douts[] = {&d[64]};
  block.SetUp64(dins, 1, douts, 1, 64);
  EXPECT_EQ(mPlug.mProcessor->process(block.mData), kResultOk);
}

TEST_F(Vst3Module, StateRoundTripsThroughComponentAndController)
{
  SetUpProcessing(kSample64, 64);
  Block block;
  block.mChanges.Add(kVolume, 0.25);
  block.mChanges.Add(kBypass, 1.0);
  ASSERT_EQ(ProcessChanges(block), kResultOk);

  std::vector<unsigned char> component = StateOf(mPlug.mComponent);
  std::vector<unsigned char> controller = StateOf(mPlug.mController);
  ASSERT_EQ(component.size(), 88u);
  ASSERT_EQ(controller.size(), 92u);
  EXPECT_TRUE(std::equal(component.begin(), component.end(), controller.begin()));
  int32 bypassed = 0;
  std::memcpy(&bypassed, &controller[88], 4);
  EXPECT_EQ(bypassed, 1);
  EXPECT_EQ(FrequencyIn(component), 300.0);

  // The frequency is state but not a parameter: it travels in the first eight bytes.
  const double frequency = 1234.0;
  std::memcpy(component.data(), &frequency, 8);

  Instance second;
  ASSERT_TRUE(second.Create(mModule.Factory(), 0));
  ASSERT_EQ(second.mComponent->initialize(&mHost), kResultOk);
  MemoryStream in(component);
  EXPECT_EQ(second.mComponent->setState(&in), kResultOk);
  EXPECT_EQ(FrequencyIn(StateOf(second.mComponent)), 1234.0);
  EXPECT_DOUBLE_EQ(second.mController->getParamNormalized(kVolume), 0.25);
  EXPECT_EQ(second.mController->getParamNormalized(kBypass), 0.0) << "the component state holds no bypass";

  MemoryStream withBypass(controller);
  EXPECT_EQ(second.mController->setState(&withBypass), kResultOk);
  EXPECT_EQ(StateOf(second.mController), controller);
  EXPECT_EQ(second.mController->getParamNormalized(kBypass), 1.0);

  // Without the four bypass bytes the controller state applies but reports failure.
  MemoryStream noBypass(std::vector<unsigned char>(controller.begin(), controller.begin() + 88));
  EXPECT_EQ(second.mController->setState(&noBypass), kResultFalse);

  // A short stream changes only what it covers: here just the frequency.
  std::vector<unsigned char> shortState(component.begin(), component.begin() + 8);
  const double other = 440.0;
  std::memcpy(shortState.data(), &other, 8);
  MemoryStream shortStream(shortState);
  EXPECT_EQ(second.mComponent->setState(&shortStream), kResultOk);
  EXPECT_EQ(FrequencyIn(StateOf(second.mComponent)), 440.0);
  EXPECT_DOUBLE_EQ(second.mController->getParamNormalized(kVolume), 0.25);

  EXPECT_EQ(second.mComponent->setState(nullptr), kInvalidArgument);
  second.mComponent->terminate();
  second.Release();
}

TEST_F(Vst3Module, UnitsAndTheFactoryPresetList)
{
  IUnitInfo* units = nullptr;
  ASSERT_EQ(mPlug.mComponent->queryInterface(IUnitInfo::iid.Data(), (void**)&units), kResultOk);
  EXPECT_EQ(units->getUnitCount(), 1);
  UnitInfo ui{};
  ASSERT_EQ(units->getUnitInfo(0, ui), kResultOk);
  EXPECT_EQ(ui.id, 0);
  EXPECT_EQ(ui.parentUnitId, -1);
  EXPECT_EQ(Narrow(ui.name), "Root Unit");
  EXPECT_EQ(ui.programListId, -1);
  EXPECT_NE(units->getUnitInfo(1, ui), kResultOk);

  EXPECT_EQ(units->getProgramListCount(), 1);
  ProgramListInfo li{};
  ASSERT_EQ(units->getProgramListInfo(0, li), kResultOk);
  EXPECT_EQ((uint32)li.id, kPreset);
  EXPECT_EQ(Narrow(li.name), "Factory Presets");
  EXPECT_EQ(li.programCount, 1);
  EXPECT_EQ(units->getProgramListInfo(1, li), kResultFalse);
  String128 name = {'x', 0};
  EXPECT_EQ(units->getProgramName((ProgramListID)kPreset, 0, name), kResultOk);
  EXPECT_EQ(Narrow(name), "-");
  EXPECT_NE(units->getProgramName((ProgramListID)kPreset, 1, name), kResultOk);
  EXPECT_EQ(Narrow(name), "");
  EXPECT_EQ(units->getSelectedUnit(), 0);
  EXPECT_EQ(units->selectUnit(0), kNotImplemented);
  units->release();
}

TEST_F(Vst3Module, ControllerValuesAndTexts)
{
  String128 text = {};
  ASSERT_EQ(mPlug.mController->getParamStringByValue(kVolume, 0.5, text), kResultOk);
  EXPECT_EQ(Narrow(text), "0.5000");
  EXPECT_EQ(mPlug.mController->getParamStringByValue(777, 0.5, text), kResultFalse);
  EXPECT_EQ(mPlug.mController->setParamNormalized(777, 0.5), kResultFalse);
  EXPECT_EQ(mPlug.mController->getParamNormalized(777), 0.0);
  EXPECT_EQ(mPlug.mController->setParamNormalized(kVolume, 0.75), kResultOk);
  EXPECT_DOUBLE_EQ(mPlug.mController->getParamNormalized(kVolume), 0.75);
  EXPECT_DOUBLE_EQ(mPlug.mController->normalizedParamToPlain(kVolume, 0.75), 0.75);
  EXPECT_DOUBLE_EQ(mPlug.mController->plainParamToNormalized(kVolume, 3.0), 1.0) << "clamped to the bounds";
  const char16 typed[] = {'0', '.', '2', '5', 0};
  ParamValue v = -1.0;
  EXPECT_EQ(mPlug.mController->getParamValueByString(kVolume, const_cast<char16*>(typed), v), kResultOk);
  EXPECT_DOUBLE_EQ(v, 0.25);
  const char16 on[] = {'o', 'n', 0};
  EXPECT_EQ(mPlug.mController->getParamValueByString(kBypass, const_cast<char16*>(on), v), kResultOk);
  EXPECT_EQ(v, 1.0);
}

TEST_F(Vst3Module, EditorViewOnlyByNameAndOnlyInAnX11WindowOnLinux)
{
  EXPECT_EQ(mPlug.mController->createView("Editor"), nullptr);
  EXPECT_EQ(mPlug.mController->createView("other"), nullptr);
  EXPECT_EQ(mPlug.mController->createView(nullptr), nullptr);
  IPlugView* view = mPlug.mController->createView("editor");
  ASSERT_NE(view, nullptr);
  for (const char* type : {"HWND", "hwnd", "x11embedwindowid", "NSView", ""})
  {
    EXPECT_EQ(view->isPlatformTypeSupported(type), kResultFalse) << type;
    int parent = 0;
    EXPECT_EQ(view->attached(&parent, type), kResultFalse) << type;
  }
  EXPECT_EQ(view->isPlatformTypeSupported(nullptr), kResultFalse);
  // X11 it is; but without a plug frame lending a run loop nothing would drive the editor.
  EXPECT_EQ(view->isPlatformTypeSupported("X11EmbedWindowID"), kResultOk);
  int parent = 0;
  EXPECT_EQ(view->attached(&parent, "X11EmbedWindowID"), kResultFalse);
  ViewRect rect{1, 2, 3, 4};
  // The editor's fixed size, at 0, 0.
  ASSERT_EQ(view->getSize(&rect), kResultOk);
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right, 251);
  EXPECT_EQ(rect.bottom, 310);
  PlugFrame frame;
  EXPECT_EQ(view->setFrame(&frame), kResultOk);
  ViewRect host{0, 0, 300, 200};
  EXPECT_EQ(view->onSize(&host), kResultOk);
  EXPECT_EQ(view->onSize(nullptr), kResultOk);
  EXPECT_EQ(view->canResize(), kResultFalse);
  EXPECT_EQ(view->checkSizeConstraint(&host), kResultFalse);
  EXPECT_EQ(view->removed(), kResultOk);
  IPlugView* again = nullptr;
  EXPECT_EQ(view->queryInterface(IPlugView::iid.Data(), (void**)&again), kResultOk);
  again->release();
  EXPECT_EQ(view->release(), 0u);
}

TEST_F(Vst3Module, ConnectionPointAndInterfaces)
{
  IConnectionPoint* a = nullptr;
  ASSERT_EQ(mPlug.mComponent->queryInterface(IConnectionPoint::iid.Data(), (void**)&a), kResultOk);
  IConnectionPoint* b = nullptr;
  ASSERT_EQ(mPlug.mController->queryInterface(IConnectionPoint::iid.Data(), (void**)&b), kResultOk);
  EXPECT_EQ(a->connect(b), kResultOk);
  EXPECT_EQ(a->notify(nullptr), kInvalidArgument);
  EXPECT_EQ(a->disconnect(b), kResultOk);
  EXPECT_EQ(a->disconnect(b), kResultFalse);
  a->release();
  b->release();
  void* obj = &obj;
  EXPECT_EQ(mPlug.mComponent->queryInterface(IPlugView::iid.Data(), &obj), kNoInterface);
  EXPECT_EQ(obj, nullptr);
  TUID cid = {};
  EXPECT_EQ(mPlug.mComponent->getControllerClassId(cid), kNotImplemented);
}

// Load, create, initialise, process, terminate, release and unload many times: LSan finds
// any leak, and the module must really leave the process each time.
class Vst3Lifecycle : public ThdPrivateHome
{
};

TEST_F(Vst3Lifecycle, ThousandLifecyclesLeakNothingAndUnloadCleanly)
{
  const std::string binary = Module::BinaryPath(VX_VST3_BUNDLE);
  std::vector<double> buf(4 * 128, 0.1);
  double* ins[] = {&buf[0], &buf[128]};
  double* outs[] = {&buf[256], &buf[384]};
  for (int cycle = 0; cycle < 1000; ++cycle)
  {
    Module module;
    std::string error;
    ASSERT_TRUE(module.Load(VX_VST3_BUNDLE, &error)) << error;
    Instance inst;
    ASSERT_TRUE(inst.Create(module.Factory(), 0));
    HostApplication host;
    ASSERT_EQ(inst.mComponent->initialize(&host), kResultOk);
    ProcessSetup setup{kRealtime, kSample64, 128, 48000.0};
    ASSERT_EQ(inst.mProcessor->setupProcessing(setup), kResultOk);
    inst.mComponent->setActive(1);
    Block block;
    block.mChanges.Add(kVolume, 0.3);
    block.SetUp64(ins, 2, outs, 2, 128);
    ASSERT_EQ(inst.mProcessor->process(block.mData), kResultOk);
    inst.mComponent->setActive(0);
    inst.mComponent->terminate();
    inst.Release();
    ASSERT_TRUE(module.Unload());
    ASSERT_EQ(dlopen(binary.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr) << "module still loaded after cycle " << cycle;
  }
}
