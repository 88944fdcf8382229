// The VST 2 binding through the mini host: the effect record, the dispatcher with odd
// arguments, parameters as text, chunks (good and bad), processing with missing buffers,
// time info, the host callback uses and the editor opcodes.
#include "Vst2Host.h"
#include "Vst2TestPlug.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <random>
#include <thread>

namespace {

constexpr int32_t kHeaderMagic = 0x70666674;  // "tffp"
constexpr int32_t kHeaderVersion = 0x00010000;

std::vector<uint8_t> Header()
{
  std::vector<uint8_t> v(8);
  std::memcpy(v.data(), &kHeaderMagic, 4);
  std::memcpy(v.data() + 4, &kHeaderVersion, 4);
  return v;
}

void AppendDouble(std::vector<uint8_t>* v, double d)
{
  const uint8_t* p = (const uint8_t*)&d;
  v->insert(v->end(), p, p + 8);
}

// A program chunk of the test plug-in: the header, then its three parameter values.
std::vector<uint8_t> ProgramChunk(double sw, double gain, double negated, bool header = true)
{
  std::vector<uint8_t> v = header ? Header() : std::vector<uint8_t>();
  AppendDouble(&v, sw);
  AppendDouble(&v, gain);
  AppendDouble(&v, negated);
  return v;
}

class Vst2Binding : public ::testing::Test
{
protected:
  void SetUp() override { Create({}); }

  void Create(const Vst2TestPlug::Options& options)
  {
    mHost = std::make_unique<Vst2Host>();
    Vst2TestOptions() = options;
    ASSERT_TRUE(mHost->Create(Vst2TestEntry));
    mHost->Start(48000.0, 64);
  }

  Vst2TestPlug* Plug() { return TestPlugOf(mHost->Effect()); }
  double Value(int idx) { return Plug()->GetParam(idx)->Value(); }

  std::unique_ptr<Vst2Host> mHost;
};

// ---- the record and the simple answers -------------------------------------------------------

TEST_F(Vst2Binding, RecordDescribesThePlugIn)
{
  const AEffect* e = mHost->Effect();
  EXPECT_EQ(e->magic, kEffectMagic);
  EXPECT_EQ(e->numParams, 3);
  EXPECT_EQ(e->numPrograms, 2);
  EXPECT_EQ(e->numInputs, 2);
  EXPECT_EQ(e->numOutputs, 2);
  // Replacing in both precisions, chunks, mono ("1-1" is legal); no editor, not a synth.
  EXPECT_EQ(e->flags, effFlagsCanReplacing | effFlagsCanDoubleReplacing | effFlagsProgramChunks | effFlagsCanMono);
  EXPECT_EQ(e->uniqueID, VstFourCC('T', 'e', 's', 't'));
  EXPECT_EQ(e->version, 10203);
  EXPECT_EQ(e->ioRatio, 1.0f);
  EXPECT_EQ(e->initialDelay, 0);
  EXPECT_EQ(e->resvd1, 0);
  for (char c : e->future) EXPECT_EQ(c, 0);
  EXPECT_NE(e->processDoubleReplacing, nullptr);
  EXPECT_EQ(Plug()->GetAPI(), kAPIVST2);
  EXPECT_EQ(Plug()->GetBlockSize(), 64);
}

TEST_F(Vst2Binding, FixedAnswers)
{
  struct Case
  {
    VstInt32 opcode;
    VstIntPtr expected;
  };
  const Case cases[] = {
    {effIdentify, 0x4E764566}, {effGetVstVersion, 2400}, {effGetPlugCategory, kPlugCategEffect},
    {effGetVendorVersion, 10203}, {effGetTailSize, 0}, {effCanBeAutomated, 1}, {effGetProgram, 0},
    {effEditIdle, 0}, {effIdle, 0}, {effGetNumMidiInputChannels, 0}, {effSetBypass, 0},
    {effGetParameterProperties, 0}, {effStartProcess, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(mHost->Dispatch(c.opcode), c.expected) << "opcode " << c.opcode;
}

TEST_F(Vst2Binding, CanDo)
{
  EXPECT_EQ(mHost->CanDo("receiveVstTimeInfo"), 1);
  for (const char* no : {"sendVstEvents", "sendVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvent", "bypass",
                         "", "receiveVstTimeInfoX"})
    EXPECT_EQ(mHost->CanDo(no), 0) << no;
  EXPECT_EQ(mHost->Dispatch(effCanDo), 0);  // no text at all

  // A capability text without a terminator within any sane length is read only that far.
  std::vector<char> endless(1 << 16, 'x');
  EXPECT_EQ(mHost->Dispatch(effCanDo, 0, 0, endless.data()), 0);

  Vst2TestPlug::Options midi;
  midi.mMidi = true;
  Create(midi);
  for (const char* yes : {"sendVstEvents", "sendVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvent"})
    EXPECT_EQ(mHost->CanDo(yes), 1) << yes;
}

// Every opcode, including unknown and deprecated ones, with the arguments a careless or
// hostile host might send: no crash, and the answers the binding documents.
TEST_F(Vst2Binding, EveryOpcodeWithOddArgumentsIsSafe)
{
  const VstInt32 indices[] = {0, 1, -1, 2, 3, 1000, INT_MIN, INT_MAX};
  const VstIntPtr values[] = {0, 1, -1, 2, 1 << 20, (VstIntPtr)INT_MAX + 1, std::numeric_limits<VstIntPtr>::min(),
                              std::numeric_limits<VstIntPtr>::max()};
  const float opts[] = {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), 1e30f};
  // Large enough for the largest chunk size the binding accepts, which it copies in full.
  std::vector<uint8_t> zeros(IFxVST::kMaxChunkBytes + 64);
  for (VstInt32 op = -2; op <= 90; ++op)
  {
    if (op == effClose) continue;
    // value carries a pointer for these: only null or a real record is meaningful there.
    const bool valueIsPointer = op == effSetSpeakerArrangement || op == effGetSpeakerArrangement;
    for (VstInt32 idx : indices)
      for (VstIntPtr value : values)
        for (float opt : opts)
        {
          const VstIntPtr v = valueIsPointer ? 0 : value;
          mHost->Dispatch(op, idx, v, nullptr, opt);
          std::fill(zeros.begin(), zeros.begin() + 1024, 0);
          mHost->Dispatch(op, idx, v, zeros.data(), opt);
        }
  }
  mHost->Dispatch(1000);
  mHost->Dispatch(INT_MAX, INT_MIN, -1, nullptr, -1.0f);

  // Still a working plug-in whose settings survived the storm where they should.
  EXPECT_EQ(mHost->Dispatch(effGetVstVersion), 2400);
  EXPECT_EQ(Plug()->GetSampleRate(), 48000.0) << "NaN, negative and absurd rates are refused";
  EXPECT_LE(Plug()->GetBlockSize(), IFxVST::kMaxBlockSize);
  std::vector<float> buf(64, 0.5f);
  float* io[2] = {buf.data(), buf.data()};
  mHost->ProcessReplacing(io, io, 64);
}

TEST_F(Vst2Binding, NullPointerAnswers)
{
  struct Case
  {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr expected;
  };
  const Case cases[] = {
    {effGetEffectName, 0, 0}, {effGetVendorString, 0, 0}, {effGetProductString, 0, 0},
    {effGetProgramNameIndexed, 0, 0}, {effGetInputProperties, 0, 0}, {effGetOutputProperties, 0, 0},
    {effGetChunk, 0, 0}, {effGetChunk, 1, 0}, {effSetChunk, 0, 0}, {effSetChunk, 1, 0},
    {effEditGetRect, 0, 0}, {effEditOpen, 0, 0}, {effEditClose, 0, 0}, {effString2Parameter, 0, 1},
    {effString2Parameter, 3, 0}, {effString2Parameter, -1, 0}, {effGetMidiKeyName, 0, 0},
    {effProcessEvents, 0, 1}, {effSetSpeakerArrangement, 0, 1}, {effGetSpeakerArrangement, 0, 1},
    {effVendorSpecific, 7, 0}, {effCanDo, 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(mHost->Dispatch(c.opcode, c.index, c.opcode == effSetChunk ? 88 : 0, nullptr), c.expected)
      << "opcode " << c.opcode << " index " << c.index;
}

// ---- strings -----------------------------------------------------------------------------------

TEST_F(Vst2Binding, StringsAreCutToThePublishedLengths)
{
  struct Case
  {
    VstInt32 opcode;
    VstInt32 index;
    const char* expected;
    int limit;
  };
  const Case cases[] = {
    {effGetParamName, Vst2TestPlug::kGain, "Gain Con", kVstMaxParamStrLen},
    {effGetParamLabel, Vst2TestPlug::kGain, "decibels", kVstMaxParamStrLen},
    {effGetParamName, Vst2TestPlug::kSwitch, "Switch", kVstMaxParamStrLen},
    {effGetParamDisplay, Vst2TestPlug::kSwitch, "off", kVstMaxParamStrLen},
    {effGetParamDisplay, Vst2TestPlug::kGain, "0.0", kVstMaxParamStrLen},
    {effGetEffectName, 0, "Binding Test Plug-in Name", kVstMaxEffectNameLen},
    {effGetVendorString, 0, "example.org", kVstMaxVendorStrLen},
    {effGetProductString, 0, "Test Product", kVstMaxProductStrLen},
    {effGetProgramName, 0, "first", kVstMaxProgNameLen},
    {effGetProgramNameIndexed, 1, "Empty", kVstMaxProgNameLen},
    {effGetProgramNameIndexed, 2, "", kVstMaxProgNameLen},
    {effGetProgramNameIndexed, -1, "", kVstMaxProgNameLen},
    {effGetParamName, 3, "", kVstMaxParamStrLen},
    {effGetParamName, -1, "", kVstMaxParamStrLen},
  };
  for (const Case& c : cases)
  {
    char buf[128];
    std::memset(buf, 0, sizeof buf);
    std::memset(buf + c.limit + 1, 0x5A, sizeof buf - c.limit - 1);  // canaries past the limit
    mHost->Dispatch(c.opcode, c.index, 0, buf);
    EXPECT_STREQ(buf, c.expected) << "opcode " << c.opcode << " index " << c.index;
    for (size_t i = c.limit + 1; i < sizeof buf; ++i) ASSERT_EQ(buf[i], 0x5A) << "opcode " << c.opcode << " wrote past its limit";
  }
  EXPECT_EQ(mHost->Dispatch(effGetProgramNameIndexed, 0, 0, std::vector<char>(64).data()), 1);
  EXPECT_EQ(mHost->Dispatch(effGetProgramNameIndexed, 7, 0, std::vector<char>(64).data()), 0);
}

TEST_F(Vst2Binding, ProgramNameFromTheHostIsBounded)
{
  std::string longName(100, 'n');
  mHost->Dispatch(effSetProgramName, 0, 0, longName.data());
  EXPECT_EQ(std::string(Plug()->GetPresetName(0)), std::string(kVstMaxProgNameLen, 'n'));
  mHost->Dispatch(effSetProgramName, 0, 0, nullptr);  // ignored
  EXPECT_EQ(std::string(Plug()->GetPresetName(0)), std::string(kVstMaxProgNameLen, 'n'));
}

TEST_F(Vst2Binding, PinProperties)
{
  struct Case
  {
    VstInt32 opcode, index;
    VstIntPtr result;
    VstInt32 flags;
    const char* label;
  };
  const Case cases[] = {
    {effGetInputProperties, 0, 1, kVstPinIsActive | kVstPinIsStereo, "Input 1"},
    {effGetInputProperties, 1, 1, kVstPinIsActive, "Input 2"},
    {effGetOutputProperties, 0, 1, kVstPinIsActive | kVstPinIsStereo, "Output 1"},
    {effGetOutputProperties, 1, 1, kVstPinIsActive, "Output 2"},
    {effGetInputProperties, 2, 0, 0, ""},
    {effGetOutputProperties, -1, 0, 0, ""},
    {effGetOutputProperties, INT_MIN, 0, 0, ""},
  };
  for (const Case& c : cases)
  {
    VstPinProperties p{};
    EXPECT_EQ(mHost->Dispatch(c.opcode, c.index, 0, &p), c.result);
    EXPECT_EQ(p.flags, c.flags);
    EXPECT_STREQ(p.label, c.label);
  }
  Plug()->SetOutputLabel(1, "Right out");
  VstPinProperties p{};
  mHost->Dispatch(effGetOutputProperties, 1, 0, &p);
  EXPECT_STREQ(p.label, "Right out");
}

// ---- parameters ----------------------------------------------------------------------------------

TEST_F(Vst2Binding, String2Parameter)
{
  struct Case
  {
    int idx;
    const char* text;
    VstIntPtr result;
    double value;  // the parameter's value afterwards
  };
  const Case cases[] = {
    {Vst2TestPlug::kSwitch, "on", 1, 1.0},     {Vst2TestPlug::kSwitch, "maybe", 0, 1.0},
    {Vst2TestPlug::kSwitch, "off", 1, 0.0},    {Vst2TestPlug::kSwitch, "1", 0, 0.0},  // display texts only
    {Vst2TestPlug::kGain, "-12.5", 1, -12.5},  {Vst2TestPlug::kGain, "99", 1, 12.0},  // clamped
    {Vst2TestPlug::kGain, "-1e300", 1, -60.0}, {Vst2TestPlug::kGain, "nan", 0, -60.0},
    {Vst2TestPlug::kGain, "inf", 0, -60.0},    {Vst2TestPlug::kGain, "garbage", 1, 0.0},  // atof: 0
    {Vst2TestPlug::kNegated, "-3", 1, 3.0},    {Vst2TestPlug::kNegated, "4", 1, 0.0},   // shown negated
    {3, "1", 0, 0.0},                          {-1, "1", 0, 0.0},
  };
  for (const Case& c : cases)
  {
    std::string text = c.text;
    EXPECT_EQ(mHost->Dispatch(effString2Parameter, c.idx, 0, text.data()), c.result) << c.idx << " " << c.text;
    if (c.idx >= 0 && c.idx < 3)
    {
      EXPECT_DOUBLE_EQ(Value(c.idx), c.value) << c.idx << " " << c.text;
    }
  }
  Plug()->mParamChanges.clear();
  EXPECT_EQ(mHost->Dispatch(effString2Parameter, Vst2TestPlug::kGain, 0, nullptr), 1);
  EXPECT_TRUE(Plug()->mParamChanges.empty()) << "no text: nothing changes";
}

TEST_F(Vst2Binding, ParameterEntryPoints)
{
  mHost->SetParameter(Vst2TestPlug::kGain, 0.5f);
  EXPECT_DOUBLE_EQ(Value(Vst2TestPlug::kGain), -24.0);
  EXPECT_FLOAT_EQ(mHost->GetParameter(Vst2TestPlug::kGain), 0.5f);
  EXPECT_EQ(Plug()->mParamChanges.back(), Vst2TestPlug::kGain);

  mHost->SetParameter(Vst2TestPlug::kGain, std::numeric_limits<float>::quiet_NaN());
  EXPECT_DOUBLE_EQ(Value(Vst2TestPlug::kGain), -24.0) << "NaN changes nothing";
  mHost->SetParameter(Vst2TestPlug::kGain, -5.0f);
  EXPECT_DOUBLE_EQ(Value(Vst2TestPlug::kGain), -60.0) << "below 0 is 0";
  mHost->SetParameter(Vst2TestPlug::kGain, 7.0f);
  EXPECT_DOUBLE_EQ(Value(Vst2TestPlug::kGain), 12.0) << "above 1 is 1";

  for (VstInt32 bad : {3, -1, INT_MIN, INT_MAX})
  {
    mHost->SetParameter(bad, 0.3f);
    EXPECT_EQ(mHost->GetParameter(bad), 0.0f);
  }
}

TEST_F(Vst2Binding, PlugInChangesReachTheHost)
{
  mHost->ClearCalls();
  Plug()->BeginInformHostOfParamChange(1);
  Plug()->SetParameterFromGUI(1, 0.25);
  Plug()->EndInformHostOfParamChange(1);
  Plug()->InformHostOfProgramChange();
  const std::vector<Vst2Host::Call> calls = mHost->Calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].opcode, audioMasterBeginEdit);
  EXPECT_EQ(calls[0].index, 1);
  EXPECT_EQ(calls[1].opcode, audioMasterAutomate);
  EXPECT_EQ(calls[1].index, 1);
  EXPECT_FLOAT_EQ(calls[1].opt, 0.25f);
  EXPECT_EQ(calls[2].opcode, audioMasterEndEdit);
  EXPECT_EQ(calls[3].opcode, audioMasterUpdateDisplay);

  mHost->mProcessLevel = kVstProcessLevelOffline;
  EXPECT_TRUE(Plug()->IsRenderingOffline());
  mHost->mProcessLevel = kVstProcessLevelRealtime;
  EXPECT_FALSE(Plug()->IsRenderingOffline());
}

// ---- programs and chunks ---------------------------------------------------------------------------

TEST_F(Vst2Binding, ProgramChunkRoundTrip)
{
  mHost->SetChunk(true, ProgramChunk(1.0, -6.0, 2.5));
  const std::vector<uint8_t> chunk = mHost->GetChunk(true);
  EXPECT_EQ(chunk, ProgramChunk(1.0, -6.0, 2.5)) << "the header, then the state";
  EXPECT_DOUBLE_EQ(Value(Vst2TestPlug::kGain), -6.0);

  // Without the header the data is read from its start.
  EXPECT_EQ(mHost->SetChunk(true, ProgramChunk(0.0, 3.0, 1.0, false)), 1);
  EXPECT_DOUBLE_EQ(Value(Vst2TestPlug::kGain), 3.0);

  // Handing back the very buffer effGetChunk lent is fine.
  void* lent = nullptr;
  const VstIntPtr size = mHost->Dispatch(effGetChunk, 1, 0, &lent);
  ASSERT_GT(size, 0);
  mHost->SetParameter(Vst2TestPlug::kGain, 0.0f);
  EXPECT_EQ(mHost->Dispatch(effSetChunk, 1, size, lent), 1);
  EXPECT_DOUBLE_EQ(Value(Vst2TestPlug::kGain), 3.0);
}

TEST_F(Vst2Binding, BankChunkRoundTripKeepsNamesAndValues)
{
  mHost->SetChunk(true, ProgramChunk(1.0, -6.0, 2.5));
  std::string name = "Bright";
  mHost->Dispatch(effSetProgramName, 0, 0, name.data());
  const std::vector<uint8_t> bank = mHost->GetChunk(false);
  ASSERT_GT(bank.size(), 8u);
  EXPECT_EQ(std::vector<uint8_t>(bank.begin(), bank.begin() + 8), Header());

  Create({});
  EXPECT_EQ(mHost->SetChunk(false, bank), 1);
  EXPECT_STREQ(Plug()->GetPresetName(0), "Bright");
  EXPECT_DOUBLE_EQ(Value(Vst2TestPlug::kGain), -6.0);
  EXPECT_DOUBLE_EQ(Value(Vst2TestPlug::kNegated), 2.5);
  EXPECT_EQ(mHost->GetChunk(false), bank);
}

TEST_F(Vst2Binding, BadChunksAreRefusedAndChangeNothing)
{
  mHost->SetChunk(true, ProgramChunk(1.0, -6.0, 2.5));
  const std::vector<uint8_t> program = mHost->GetChunk(true);
  const std::vector<uint8_t> bank = mHost->GetChunk(false);

  std::vector<std::pair<std::string, std::vector<uint8_t>>> bad;
  for (size_t n = 1; n < program.size(); ++n)
    bad.push_back({"program cut to " + std::to_string(n), {program.begin(), program.begin() + n}});
  for (size_t n = 1; n < bank.size(); ++n)
    bad.push_back({"bank cut to " + std::to_string(n), {bank.begin(), bank.begin() + n}});
  // Another plug-in of this framework: a header and more parameter values than ours.
  // As a bank it is refused (its values do not read as presets); as a program it is a whole
  // state followed by bytes this version does not know (see BytesAfterACompleteStateAreIgnored).
  std::vector<uint8_t> foreign = Header();
  for (int i = 0; i < 10; ++i) AppendDouble(&foreign, 0.75);
  bad.push_back({"foreign", foreign});
  std::mt19937 rng(1234);
  for (int i = 0; i < 20; ++i)
  {
    std::vector<uint8_t> garbage(1 + rng() % 200);
    for (uint8_t& b : garbage) b = (uint8_t)rng();
    bad.push_back({"garbage " + std::to_string(i), garbage});
  }

  for (const auto& [what, bytes] : bad)
    for (bool asProgram : {true, false})
    {
      // Any 24 bytes or more (32 with the header, as a program) read as a complete state of
      // this plug-in, whatever follows.
      const bool header = bytes.size() >= 8 && std::equal(bytes.begin(), bytes.begin() + 8, Header().begin());
      if (header ? asProgram && bytes.size() >= 32 : bytes.size() >= 24) continue;
      EXPECT_EQ(mHost->SetChunk(asProgram, bytes), 0) << what << (asProgram ? " as program" : " as bank");
      ASSERT_EQ(mHost->GetChunk(true), program) << what << " changed the state";
      ASSERT_EQ(mHost->GetChunk(false), bank) << what << " changed the bank";
    }

  // Sizes no host could mean.
  std::vector<uint8_t> big(16, 0);
  for (VstIntPtr size : {(VstIntPtr)0, (VstIntPtr)-1, (VstIntPtr)-88, (VstIntPtr)IFxVST::kMaxChunkBytes + 1,
                         std::numeric_limits<VstIntPtr>::max(), std::numeric_limits<VstIntPtr>::min()})
    EXPECT_EQ(mHost->Dispatch(effSetChunk, 1, size, big.data()), 0) << size;
  EXPECT_EQ(mHost->GetChunk(true), program);
}

TEST_F(Vst2Binding, BytesAfterACompleteStateAreIgnored)
{
  // A later version that appends fields, or a host that pads chunks, must not cost the user
  // the settings: the state is read and whatever follows it is left alone.
  std::vector<uint8_t> padded = ProgramChunk(1.0, -6.0, 2.5);
  padded.insert(padded.end(), 16, 0xAB);
  EXPECT_EQ(mHost->SetChunk(true, padded), 1);
  EXPECT_DOUBLE_EQ(Value(Vst2TestPlug::kGain), -6.0);
  EXPECT_EQ(mHost->GetChunk(true), ProgramChunk(1.0, -6.0, 2.5));

  std::vector<uint8_t> plain = ProgramChunk(0.0, 3.0, 1.0, false);
  plain.push_back(0);
  EXPECT_EQ(mHost->SetChunk(false, plain), 1) << "no header: read as a state";
  EXPECT_DOUBLE_EQ(Value(Vst2TestPlug::kGain), 3.0);

  std::vector<uint8_t> more = Header();
  for (double v : {1.0, -9.0, 4.0, 0.75, 0.75}) AppendDouble(&more, v);
  EXPECT_EQ(mHost->SetChunk(true, more), 1) << "more values than this plug-in has";
  EXPECT_DOUBLE_EQ(Value(Vst2TestPlug::kGain), -9.0);
  EXPECT_DOUBLE_EQ(Value(Vst2TestPlug::kNegated), 4.0);

  std::string name = "Padded";
  mHost->Dispatch(effSetProgramName, 0, 0, name.data());
  std::vector<uint8_t> bank = mHost->GetChunk(false);
  const std::vector<uint8_t> saved = bank;
  bank.insert(bank.end(), 3, 0x5A);
  Create({});
  EXPECT_EQ(mHost->SetChunk(false, bank), 1);
  EXPECT_STREQ(Plug()->GetPresetName(0), "Padded");
  EXPECT_DOUBLE_EQ(Value(Vst2TestPlug::kGain), -9.0);
  EXPECT_EQ(mHost->GetChunk(false), saved);
}

TEST_F(Vst2Binding, BankWithHeaderIsReadAsPresets)
{
  // Two presets: name, initialised flag, state.
  std::vector<uint8_t> bank = Header();
  auto appendPreset = [&](const std::string& name, double gain) {
    const int32_t len = (int32_t)name.size();
    bank.insert(bank.end(), (const uint8_t*)&len, (const uint8_t*)&len + 4);
    bank.insert(bank.end(), name.begin(), name.end());
    bank.push_back(1);
    AppendDouble(&bank, 0.0);
    AppendDouble(&bank, gain);
    AppendDouble(&bank, 0.0);
  };
  appendPreset("alpha", -1.0);
  appendPreset("beta", -2.0);
  EXPECT_EQ(mHost->SetChunk(false, bank), 1);
  EXPECT_STREQ(Plug()->GetPresetName(0), "alpha");
  EXPECT_STREQ(Plug()->GetPresetName(1), "beta");
  EXPECT_DOUBLE_EQ(Value(Vst2TestPlug::kGain), -1.0) << "the current preset is restored";
  mHost->Dispatch(effSetProgram, 0, 1);
  EXPECT_EQ(mHost->Dispatch(effGetProgram), 1);
  EXPECT_DOUBLE_EQ(Value(Vst2TestPlug::kGain), -2.0);

  // Out-of-range programs are ignored, however large the value.
  for (VstIntPtr v : {(VstIntPtr)2, (VstIntPtr)-1, (VstIntPtr)1 << 32, std::numeric_limits<VstIntPtr>::min()})
  {
    mHost->Dispatch(effSetProgram, 0, v);
    EXPECT_EQ(mHost->Dispatch(effGetProgram), 1) << v;
  }
}

// ---- processing ----------------------------------------------------------------------------------

template <class T>
struct Buffers
{
  explicit Buffers(int n) : in0(n), in1(n), out0(n), out1(n)
  {
    for (int i = 0; i < n; ++i)
    {
      in0[i] = (T)(0.25 + i * 1e-3);
      in1[i] = (T)(-0.5 + i * 1e-3);
      out0[i] = out1[i] = (T)9;
    }
  }
  std::vector<T> in0, in1, out0, out1;
  T* ins[2] = {in0.data(), in1.data()};
  T* outs[2] = {out0.data(), out1.data()};
};

TEST_F(Vst2Binding, ProcessingInAllThreeForms)
{
  // The base passes input to output unchanged.
  Buffers<float> f(64);
  mHost->ProcessReplacing(f.ins, f.outs, 64);
  EXPECT_EQ(f.out0, f.in0);
  EXPECT_EQ(f.out1, f.in1);

  Buffers<float> a(64);
  mHost->Process(a.ins, a.outs, 64);  // accumulates onto what is there
  for (int i = 0; i < 64; ++i) EXPECT_FLOAT_EQ(a.out0[i], 9.0f + a.in0[i]);

  Buffers<double> d(64);
  mHost->ProcessDoubleReplacing(d.ins, d.outs, 64);
  EXPECT_EQ(d.out0, d.in0);
  EXPECT_EQ(d.out1, d.in1);

  // Longer blocks than announced still work (the frame grows).
  Buffers<float> big(1000);
  mHost->ProcessReplacing(big.ins, big.outs, 1000);
  EXPECT_EQ(big.out1, big.in1);
}

TEST_F(Vst2Binding, InPlaceBuffersReadTheHostsInput)
{
  // Hosts may pass one buffer as input and output. The plug-in writes output 0 before it
  // reads input 0 (as the meter writes its tone), so it must still read what the host gave.
  Vst2TestPlug::Options options;
  options.mWriteBeforeRead = true;
  Create(options);
  Buffers<double> d(64);
  const std::vector<double> given = d.in0;
  mHost->ProcessDoubleReplacing(d.ins, d.ins, 64);
  EXPECT_EQ(d.in0, std::vector<double>(64, Vst2TestPlug::kTone));
  EXPECT_EQ(d.in1, given) << "output 1 carries input 0 as the host gave it";

  // Crosswise (input 0 is output 1's buffer) and in float.
  Buffers<double> x(64);
  double* crossOut[2] = {x.out0.data(), x.in0.data()};
  mHost->ProcessDoubleReplacing(x.ins, crossOut, 64);
  EXPECT_EQ(x.in0, given);
  Buffers<float> f(64);
  const std::vector<float> givenF = f.in0;
  mHost->ProcessReplacing(f.ins, f.ins, 64);
  EXPECT_EQ(f.in1, givenF);
}

TEST_F(Vst2Binding, MonoOutputStillWritesEveryOutputTheHostPasses)
{
  // numOutputs stays 2, so the host passes two output buffers: the one the arrangement
  // leaves unconnected is written with silence, not left holding whatever it held.
  VstSpeakerArrangement mono{};
  mono.type = kSpeakerArrMono;
  mono.numChannels = 1;
  ASSERT_EQ(mHost->Dispatch(effSetSpeakerArrangement, 0, (VstIntPtr)&mono, &mono), 1);
  ASSERT_EQ(mHost->Effect()->numOutputs, 2);
  Buffers<float> f(64);
  mHost->ProcessReplacing(f.ins, f.outs, 64);
  EXPECT_EQ(f.out0, f.in0);
  EXPECT_EQ(f.out1, std::vector<float>(64, 0.0f));
  Buffers<double> d(64);
  mHost->ProcessDoubleReplacing(d.ins, d.outs, 64);
  EXPECT_EQ(d.out0, d.in0);
  EXPECT_EQ(d.out1, std::vector<double>(64, 0.0));
  Buffers<float> a(64);
  mHost->Process(a.ins, a.outs, 64);
  EXPECT_EQ(a.out1, std::vector<float>(64, 9.0f)) << "accumulating: silence adds nothing";
}

TEST_F(Vst2Binding, ProcessingWithMissingBuffers)
{
  for (int form = 0; form < 3; ++form)
  {
    SCOPED_TRACE(form);
    Buffers<float> f(64);
    Buffers<double> d(64);
    auto run = [&](bool nullIns, bool nullOuts, int nullIn, int nullOut) {
      if (form < 2)
      {
        float* ins[2] = {f.ins[0], f.ins[1]};
        float* outs[2] = {f.outs[0], f.outs[1]};
        if (nullIn >= 0) ins[nullIn] = nullptr;
        if (nullOut >= 0) outs[nullOut] = nullptr;
        if (form == 0) mHost->ProcessReplacing(nullIns ? nullptr : ins, nullOuts ? nullptr : outs, 64);
        else mHost->Process(nullIns ? nullptr : ins, nullOuts ? nullptr : outs, 64);
      }
      else
      {
        double* ins[2] = {d.ins[0], d.ins[1]};
        double* outs[2] = {d.outs[0], d.outs[1]};
        if (nullIn >= 0) ins[nullIn] = nullptr;
        if (nullOut >= 0) outs[nullOut] = nullptr;
        mHost->ProcessDoubleReplacing(nullIns ? nullptr : ins, nullOuts ? nullptr : outs, 64);
      }
    };
    run(true, true, -1, -1);
    run(true, false, -1, -1);
    run(false, true, -1, -1);
    run(false, false, 0, -1);
    run(false, false, -1, 1);
    run(false, false, 1, 0);
    for (int n : {0, -1, INT_MIN})
    {
      if (form == 2) mHost->ProcessDoubleReplacing(d.ins, d.outs, n);
      else mHost->ProcessReplacing(f.ins, f.outs, n);
    }
    // A missing input reads as silence: with input 1 missing, output 1 is zero.
    if (form == 0)
    {
      Buffers<float> g(64);
      float* ins[2] = {g.ins[0], nullptr};
      mHost->ProcessReplacing(ins, g.outs, 64);
      EXPECT_EQ(g.out0, g.in0);
      EXPECT_EQ(g.out1, std::vector<float>(64, 0.0f));
    }
    if (form == 2)
    {
      Buffers<double> g(64);
      double* ins[2] = {nullptr, g.ins[1]};
      mHost->ProcessDoubleReplacing(ins, g.outs, 64);
      EXPECT_EQ(g.out0, std::vector<double>(64, 0.0));
      EXPECT_EQ(g.out1, g.in1);
    }
  }
}

TEST_F(Vst2Binding, SpeakerArrangements)
{
  VstSpeakerArrangement* in = nullptr;
  VstSpeakerArrangement* out = nullptr;
  EXPECT_EQ(mHost->Dispatch(effGetSpeakerArrangement, 0, (VstIntPtr)&in, &out), 1);
  ASSERT_TRUE(in && out);
  EXPECT_EQ(in->numChannels, 2);
  EXPECT_EQ(in->type, kSpeakerArrStereo);
  EXPECT_EQ(out->numChannels, 2);

  // Mono in: channel 1 is unconnected and reads silence; the host's array still has
  // numInputs entries, of which only the connected channels take one.
  VstSpeakerArrangement mono{};
  mono.type = kSpeakerArrMono;
  mono.numChannels = 1;
  EXPECT_EQ(mHost->Dispatch(effSetSpeakerArrangement, 0, (VstIntPtr)&mono, nullptr), 1);
  EXPECT_TRUE(Plug()->IsInChannelConnected(0));
  EXPECT_FALSE(Plug()->IsInChannelConnected(1));
  EXPECT_TRUE(Plug()->IsOutChannelConnected(1));
  Buffers<float> f(64);
  float* ins[2] = {f.in0.data(), f.in1.data()};
  mHost->ProcessReplacing(ins, f.outs, 64);
  EXPECT_EQ(f.out0, f.in0);
  EXPECT_EQ(f.out1, std::vector<float>(64, 0.0f));

  // Double precision, a block longer than announced, with channel 1 unconnected: its
  // scratch buffers must grow too.
  Buffers<double> longer(3000);
  mHost->ProcessDoubleReplacing(longer.ins, longer.outs, 3000);
  EXPECT_EQ(longer.out0, longer.in0);
  EXPECT_EQ(longer.out1, std::vector<double>(3000, 0.0));

  VstSpeakerArrangement odd{};
  odd.numChannels = -5;
  mHost->Dispatch(effSetSpeakerArrangement, 0, 0, &odd);
  EXPECT_FALSE(Plug()->IsOutChannelConnected(0));
  odd.numChannels = INT_MAX;
  mHost->Dispatch(effSetSpeakerArrangement, 0, (VstIntPtr)&odd, &odd);
  EXPECT_TRUE(Plug()->IsOutChannelConnected(1));
  EXPECT_TRUE(Plug()->IsInChannelConnected(1));
}

// ---- the host's own locks ---------------------------------------------------------------------------

// A host that takes a lock of its own inside its callback, and holds that lock around its
// audio calls, deadlocks with a plug-in that calls it while holding the plug-in mutex: the
// audio thread waits for the plug-in mutex, the calling thread for the host's lock. The
// probe lets the host's audio thread take its lock and call process as soon as the plug-in
// is inside the callback; the callback then waits (at most a few seconds) for the host lock.
class HostLockProbe
{
public:
  HostLockProbe(Vst2Host* host, VstInt32 opcode) : mHost(host)
  {
    host->mOnCallback = [this, opcode](VstInt32 op) {
      if (op != opcode || std::this_thread::get_id() != mCaller) return;
      mInCallback = true;
      if (mHostLock.try_lock_for(std::chrono::seconds(3)))
      {
        mGotLock = true;
        mHostLock.unlock();
      }
    };
  }
  ~HostLockProbe() { mHost->mOnCallback = nullptr; }

  // Runs action on this thread while the host's audio thread waits to process; true when
  // the callback got the host lock (no deadlock).
  bool Run(const std::function<void()>& action)
  {
    mCaller = std::this_thread::get_id();
    std::atomic<bool> audioReady{false};
    std::thread audio([&] {
      std::lock_guard<std::timed_mutex> lock(mHostLock);
      audioReady = true;
      const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(3);
      while (!mInCallback && std::chrono::steady_clock::now() < give_up) std::this_thread::yield();
      std::vector<float> in(64, 0.5f), out(64);
      float* ins[2] = {in.data(), in.data()};
      float* outs[2] = {out.data(), out.data()};
      mHost->ProcessReplacing(ins, outs, 64);
    });
    while (!audioReady) std::this_thread::yield();
    action();
    audio.join();
    return mInCallback && mGotLock;
  }

private:
  Vst2Host* mHost;
  std::timed_mutex mHostLock;
  std::thread::id mCaller;
  std::atomic<bool> mInCallback{false}, mGotLock{false};
};

TEST_F(Vst2Binding, TheHostIsNeverCalledWithThePlugInMutexHeld)
{
  Vst2TestPlug::Options options;
  options.mEditor = true;
  options.mWindowHost = true;
  Create(options);
  {
    HostLockProbe probe(mHost.get(), audioMasterAutomate);
    EXPECT_TRUE(probe.Run([&] { Plug()->SetParameterFromGUI(Vst2TestPlug::kGain, 0.5); }))
        << "an edit in the editor tells the host";
  }
  {
    HostLockProbe probe(mHost.get(), audioMasterAutomate);
    EXPECT_TRUE(probe.Run([&] { Plug()->DirtyParameters(); })) << "every parameter reported to the host";
  }
  {
    // Opening the editor: a window host may ask the host things (here the time) meanwhile.
    Plug()->mEditor->mOnOpen = [&] { Plug()->GetTempo(); };
    HostLockProbe probe(mHost.get(), audioMasterGetTime);
    int parent = 0;
    VstIntPtr opened = 0;
    EXPECT_TRUE(probe.Run([&] { opened = mHost->Dispatch(effEditOpen, 0, 0, &parent); })) << "effEditOpen";
    EXPECT_EQ(opened, 1);
    Plug()->mEditor->mOnOpen = nullptr;
  }
  {
    // Identifying the host at effOpen asks for its name.
    Vst2Host fresh;
    ASSERT_TRUE(fresh.Create(Vst2TestEntry));
    HostLockProbe probe(&fresh, audioMasterGetProductString);
    EXPECT_TRUE(probe.Run([&] { fresh.Dispatch(effOpen); })) << "effOpen";
  }
  {
    Vst2TestPlug::Options midi;
    midi.mMidi = true;
    Create(midi);
    // The audio entry asks for MIDI before each block; a second audio call meanwhile waits
    // for the host lock, not for the plug-in.
    HostLockProbe probe(mHost.get(), audioMasterWantMidi);
    std::vector<float> in(64), out(64);
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {out.data(), out.data()};
    EXPECT_TRUE(probe.Run([&] { mHost->ProcessReplacing(ins, outs, 64); })) << "audioMasterWantMidi";
  }
}

// ---- time info and host identity ------------------------------------------------------------------

TEST_F(Vst2Binding, TimeInfoAbsentOrPartial)
{
  Vst2TestPlug* plug = Plug();
  ITimeInfo info;
  info.mTempo = 77.0;

  mHost->mHasTime = false;
  plug->GetTime(&info);
  EXPECT_EQ(info.mTempo, 77.0) << "no time info: nothing changes";
  EXPECT_EQ(plug->GetTempo(), 0.0);
  EXPECT_EQ(plug->GetSamplePos(), 0);
  int num = -1, den = -1;
  plug->GetTimeSig(&num, &den);
  EXPECT_EQ(num, 0);
  EXPECT_EQ(den, 0);

  mHost->mHasTime = true;
  VstTimeInfo& t = mHost->mTime;
  t = VstTimeInfo{};
  t.samplePos = 1000.6;
  t.tempo = 140.0;
  t.ppqPos = -2.0;  // invalid: keeps the old value
  t.timeSigNumerator = 7;
  t.timeSigDenominator = 8;
  t.flags = kVstTransportChanged;  // none of the wanted flags
  plug->GetTime(&info);
  EXPECT_EQ(info.mTempo, 77.0);
  EXPECT_EQ(plug->GetTempo(), 0.0) << "tempo without its flag";
  EXPECT_EQ(plug->GetSamplePos(), 1001);

  t.flags = kVstTempoValid | kVstPpqPosValid | kVstTransportPlaying;
  plug->GetTime(&info);
  EXPECT_EQ(info.mTempo, 140.0);
  EXPECT_EQ(info.mSamplePos, 1000.6);
  EXPECT_EQ(info.mPPQPos, -1.0) << "a negative position keeps the old one";
  EXPECT_EQ(info.mNumerator, 4) << "time signature without its flag";
  EXPECT_TRUE(info.mTransportIsRunning);
  EXPECT_FALSE(info.mTransportLoopEnabled);
  EXPECT_EQ(plug->GetTempo(), 140.0);

  t.flags = kVstTimeSigValid | kVstCyclePosValid | kVstBarsValid | kVstTransportCycleActive;
  t.cycleStartPos = 4.0;
  t.cycleEndPos = 8.0;
  t.barStartPos = 12.0;
  plug->GetTime(&info);
  EXPECT_EQ(info.mNumerator, 7);
  EXPECT_EQ(info.mDenominator, 8);
  EXPECT_EQ(info.mCycleStart, 4.0);
  EXPECT_EQ(info.mCycleEnd, 8.0);
  EXPECT_EQ(info.mLastBar, 12.0);
  EXPECT_TRUE(info.mTransportLoopEnabled);
  plug->GetTimeSig(&num, &den);
  EXPECT_EQ(num, 7);
  EXPECT_EQ(den, 8);

  for (double pos : {-5.0, std::nan(""), 1e300})
  {
    t.samplePos = pos;
    EXPECT_EQ(plug->GetSamplePos(), 0) << pos;
  }
}

TEST(Vst2BindingHost, HostIdentifiedAtOpen)
{
  struct Case
  {
    const char* product;
    VstIntPtr version;
    EHost host;
    int packed;
  };
  const Case cases[] = {
    {"Ardour", 20513, kHostArdour, (2 << 16) | (5 << 8) | 13},
    {"REAPER", 60000, kHostReaper, 6 << 16},
    {"", 20513, kHostUnknown, 0},
    {"Some Host", -7, kHostUnknown, 0},
  };
  for (const Case& c : cases)
  {
    Vst2Host host;
    host.mProductString = c.product;
    host.mVendorVersion = c.version;
    Vst2TestOptions() = {};
    ASSERT_TRUE(host.Create(Vst2TestEntry));
    Vst2TestPlug* plug = TestPlugOf(host.Effect());
    host.Dispatch(effOpen);
    EXPECT_EQ(host.CountCalls(audioMasterGetProductString), 1);
    EXPECT_EQ(plug->GetHost(), c.host) << c.product;
    EXPECT_EQ(plug->GetHostVersion(false), c.packed) << c.product;
    host.Dispatch(effOpen);  // once only
    EXPECT_EQ(host.CountCalls(audioMasterGetProductString), 1);
    host.Close();
  }
}

// ---- MIDI ------------------------------------------------------------------------------------------

TEST_F(Vst2Binding, EventsInAndOut)
{
  Vst2TestPlug::Options midi;
  midi.mMidi = true;
  Create(midi);
  mHost->ClearCalls();

  VstMidiEvent note{};
  note.type = kVstMidiType;
  note.byteSize = sizeof note;
  note.deltaFrames = 17;
  note.midiData[0] = (char)0x90;
  note.midiData[1] = 60;
  note.midiData[2] = 100;
  uint8_t dump[3] = {0xF0, 0x42, 0xF7};
  VstMidiSysexEvent sysex{};
  sysex.type = kVstSysExType;
  sysex.byteSize = sizeof sysex;
  sysex.dumpBytes = 3;
  sysex.sysexDump = (char*)dump;
  VstEvent other{};
  other.type = 3;
  struct
  {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[4];
  } list{4, 0, {(VstEvent*)&note, (VstEvent*)&sysex, &other, nullptr}};
  EXPECT_EQ(mHost->Dispatch(effProcessEvents, 0, 0, &list), 1);

  // The base sends every MIDI message straight back out.
  ASSERT_EQ(mHost->mSentMidi.size(), 1u);
  EXPECT_EQ(mHost->mSentMidi[0].deltaFrames, 17);
  EXPECT_EQ((uint8_t)mHost->mSentMidi[0].midiData[0], 0x90);
  EXPECT_EQ(mHost->mSentMidi[0].midiData[1], 60);
  EXPECT_EQ(mHost->mSentMidi[0].byteSize, 32);
  ASSERT_EQ(Plug()->mSysEx.size(), 1u);
  EXPECT_EQ(Plug()->mSysEx[0], std::vector<uint8_t>(dump, dump + 3));

  ISysEx out;
  out.mData = dump;
  out.mSize = 3;
  EXPECT_TRUE(Plug()->SendSysEx(&out));
  ASSERT_EQ(mHost->mSentSysEx.size(), 1u);
  EXPECT_EQ(mHost->mSentSysEx[0], std::vector<uint8_t>(dump, dump + 3));
  mHost->mEventsAnswer = 0;
  EXPECT_FALSE(Plug()->SendSysEx(&out));

  // A plug-in that takes MIDI tells the host before each block.
  Buffers<float> f(16);
  mHost->ProcessReplacing(f.ins, f.outs, 16);
  EXPECT_EQ(mHost->CountCalls(audioMasterWantMidi), 1);
}

// ---- editor ----------------------------------------------------------------------------------------

TEST_F(Vst2Binding, EditorOpcodesWithoutEditor)
{
  ERect* rect = nullptr;
  EXPECT_EQ(mHost->Dispatch(effEditGetRect, 0, 0, &rect), 0);
  EXPECT_EQ(rect, nullptr);
  int parent = 0;
  EXPECT_EQ(mHost->Dispatch(effEditOpen, 0, 0, &parent), 0);
  EXPECT_EQ(mHost->Dispatch(effEditClose), 0);
  EXPECT_EQ(Plug()->mGUIOpens, 0);
}

TEST_F(Vst2Binding, EditorOpensNoWindowWhereNoWindowHostExists)
{
  Vst2TestPlug::Options options;
  options.mEditor = true;
  options.mWindowHost = IFxVST::PlatformHasEditorWindowHost();
#if defined(__linux__)
  EXPECT_TRUE(options.mWindowHost) << "Linux hosts get the editor in their X11 window";
#endif
  Create(options);
  ERect* rect = nullptr;
  EXPECT_EQ(mHost->Dispatch(effEditGetRect, 0, 0, &rect), 1) << "the size is known all the same";
  int parent = 0;
  EXPECT_EQ(mHost->Dispatch(effEditOpen, 0, 0, &parent), options.mWindowHost ? 1 : 0);
  EXPECT_EQ(Plug()->mEditor->mOpens, options.mWindowHost ? 1 : 0);
  EXPECT_EQ(Plug()->mGUIOpens, options.mWindowHost ? 1 : 0);
}

TEST_F(Vst2Binding, EditorOpcodesWithAttachedEditor)
{
  Vst2TestPlug::Options options;
  options.mEditor = true;
  options.mWindowHost = true;
  Create(options);
  Vst2TestPlug* plug = Plug();
  Vst2TestEditor* editor = plug->mEditor;
  EXPECT_TRUE(mHost->Effect()->flags & effFlagsHasEditor);

  ERect* rect = nullptr;
  EXPECT_EQ(mHost->Dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->right, 251);
  EXPECT_EQ(rect->bottom, 310);

  // No window without a parent (as on a platform without a window host).
  EXPECT_EQ(mHost->Dispatch(effEditOpen, 0, 0, nullptr), 0);
  EXPECT_EQ(plug->mGUIOpens, 0);
  int parent = 0;
  for (int round = 1; round <= 3; ++round)
  {
    EXPECT_EQ(mHost->Dispatch(effEditOpen, 0, 0, &parent), 1);
    EXPECT_EQ(plug->mGUIOpens, round);
    EXPECT_EQ(mHost->Dispatch(effEditIdle), 0);
    EXPECT_EQ(mHost->Dispatch(effEditClose), 1);
    EXPECT_EQ(plug->mGUICloses, round);
    EXPECT_EQ(editor->mCloses, round);
  }

  // Host parameter changes reach the editor: normalised from setParameter, plain from text.
  editor->mFromPlug.clear();
  mHost->SetParameter(Vst2TestPlug::kGain, 0.5f);
  std::string text = "-30";
  mHost->Dispatch(effString2Parameter, Vst2TestPlug::kGain, 0, text.data());
  ASSERT_EQ(editor->mFromPlug.size(), 2u);
  EXPECT_EQ(editor->mFromPlug[0].mIdx, Vst2TestPlug::kGain);
  EXPECT_DOUBLE_EQ(editor->mFromPlug[0].mValue, 0.5);
  EXPECT_TRUE(editor->mFromPlug[0].mNormalized);
  EXPECT_DOUBLE_EQ(editor->mFromPlug[1].mValue, -30.0);
  EXPECT_FALSE(editor->mFromPlug[1].mNormalized);

  // A resize from the plug-in changes the rectangle the host reads.
  plug->ResizeGraphics(400, 300);
  EXPECT_EQ(rect->right, 400);
  EXPECT_EQ(rect->bottom, 300);
}

}  // namespace
