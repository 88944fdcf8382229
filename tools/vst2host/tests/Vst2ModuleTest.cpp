// VeldramixMeter.so as hosts load it: what it exports, the record both entry points return,
// the meter's state through program and bank chunks (the test frequency included), refused
// chunks, processing with missing buffers and the editor opcodes.
#include "ThdPrivateHome.h"
#include "Vst2Host.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

namespace {

constexpr int32_t kHeaderMagic = 0x70666674;
constexpr int32_t kHeaderVersion = 0x00010000;
constexpr int kStateBytes = 88;  // the frequency, then ten parameter values

double DoubleAt(const std::vector<uint8_t>& v, size_t offset)
{
  double d = 0.0;
  if (offset + 8 <= v.size()) std::memcpy(&d, v.data() + offset, 8);
  return d;
}

// A program chunk: the framework header, the frequency, the ten parameter values.
std::vector<uint8_t> MeterProgram(double frequency, const double (&params)[10], bool header = true)
{
  std::vector<uint8_t> v;
  auto put = [&](const void* p, size_t n) { v.insert(v.end(), (const uint8_t*)p, (const uint8_t*)p + n); };
  if (header)
  {
    put(&kHeaderMagic, 4);
    put(&kHeaderVersion, 4);
  }
  put(&frequency, 8);
  for (double p : params) put(&p, 8);
  return v;
}

class Vst2MeterModule : public ThdPrivateHome
{
protected:
  void SetUp() override
  {
    ThdPrivateHome::SetUp();
    ASSERT_TRUE(mModule.Load(VX_VST2_MODULE)) << mModule.Error();
  }

  std::unique_ptr<Vst2Host> NewInstance(const char* entry = "VSTPluginMain")
  {
    auto host = std::make_unique<Vst2Host>();
    if (!host->Create(mModule.Entry(entry))) return nullptr;
    host->Start(48000.0, 512);
    return host;
  }

  Vst2Module mModule;
};

TEST_F(Vst2MeterModule, ExportsOnlyItsEntryPoints)
{
  EXPECT_NE(mModule.Entry("VSTPluginMain"), nullptr);
  EXPECT_NE(mModule.Entry("main"), nullptr);
  for (const char* hidden : {"VSTCreatePlugin", "_ZN6IFxVST13VSTDispatcherEP7AEffectiilPvf", "_ZN6IFxBase5ResetEv",
                             "Util_StrCopy", "_Z11Util_StrCopyPcPKcm"})
    EXPECT_EQ(mModule.Symbol(hidden), nullptr) << hidden;

  // The dynamic symbol table holds exactly the two entry points.
  const std::string cmd = std::string("nm -D --defined-only '") + VX_VST2_MODULE + "' 2>/dev/null";
  FILE* nm = popen(cmd.c_str(), "r");
  ASSERT_NE(nm, nullptr);
  std::set<std::string> names;
  char line[512];
  while (std::fgets(line, sizeof line, nm))
  {
    char addr[64], type[8], name[400];
    if (std::sscanf(line, "%63s %7s %399s", addr, type, name) == 3) names.insert(name);
  }
  ASSERT_EQ(pclose(nm), 0) << "nm is needed to read the symbol table";
  EXPECT_EQ(names, (std::set<std::string>{"VSTPluginMain", "main"}));
}

TEST_F(Vst2MeterModule, BothEntryPointsCreateTheMeter)
{
  for (const char* entry : {"VSTPluginMain", "main"})
  {
    SCOPED_TRACE(entry);
    auto host = NewInstance(entry);
    ASSERT_TRUE(host);
    const AEffect* e = host->Effect();
    EXPECT_EQ(e->uniqueID, VstFourCC('T', 'H', 'D', 'M'));
    EXPECT_EQ(e->version, 10006);
    EXPECT_EQ(e->numParams, 10);
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags & ~effFlagsHasEditor,
              effFlagsCanReplacing | effFlagsCanDoubleReplacing | effFlagsProgramChunks | effFlagsCanMono);
    EXPECT_EQ(host->GetString(effGetEffectName), "Veldramix THD Meter");
    EXPECT_EQ(host->GetString(effGetVendorString), "veldramix.com");
    EXPECT_EQ(host->Dispatch(effGetProductString, 0, 0, std::vector<char>(80).data()), 1);
    EXPECT_EQ(host->GetString(effGetProgramName), "-");
    EXPECT_EQ(host->GetString(effGetParamName, 3), "Volume");
    EXPECT_EQ(host->GetString(effGetParamName, 4), "Start Me") << "cut to eight characters";
    EXPECT_FLOAT_EQ(host->GetParameter(3), 0.5f);
    EXPECT_EQ(host->Dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(host->CanDo("receiveVstTimeInfo"), 1);
    EXPECT_EQ(host->CanDo("receiveVstMidiEvent"), 0);
    // The meter asked the host who it is when it was opened.
    EXPECT_EQ(host->CountCalls(audioMasterGetProductString), 1);
  }
}

TEST_F(Vst2MeterModule, ProgramChunkCarriesFrequencyAndSettings)
{
  auto host = NewInstance();
  ASSERT_TRUE(host);
  std::vector<uint8_t> fresh = host->GetChunk(true);
  ASSERT_EQ(fresh.size(), 8u + kStateBytes);
  EXPECT_EQ(std::memcmp(fresh.data(), &kHeaderMagic, 4), 0);
  EXPECT_EQ(DoubleAt(fresh, 8), 300.0) << "the default test frequency";
  EXPECT_EQ(DoubleAt(fresh, 8 + 4 * 8), 0.5) << "the default volume";

  const double settings[10] = {1.0, 1.0, 0.5, 0.8, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(host->SetChunk(true, MeterProgram(1000.0, settings)), 1);
  EXPECT_EQ(host->GetChunk(true), MeterProgram(1000.0, settings));
  EXPECT_FLOAT_EQ(host->GetParameter(3), 0.8f);
  EXPECT_EQ(host->GetString(effGetParamDisplay, 2), "0.5");

  // Without the header the state is read from the start.
  const double other[10] = {0, 1.0, 1.0, 0.25, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(host->SetChunk(true, MeterProgram(2500.0, other, false)), 1);
  EXPECT_EQ(host->GetChunk(true), MeterProgram(2500.0, other));

  // A second instance takes the first one's bank, as a host restoring a project does.
  const std::vector<uint8_t> bank = host->GetChunk(false);
  auto second = NewInstance();
  ASSERT_TRUE(second);
  EXPECT_EQ(second->SetChunk(false, bank), 1);
  EXPECT_EQ(second->GetChunk(true), MeterProgram(2500.0, other));
  EXPECT_EQ(second->GetChunk(false), bank);
}

TEST_F(Vst2MeterModule, BadChunksLeaveTheMeterAsItWas)
{
  auto host = NewInstance();
  ASSERT_TRUE(host);
  const double settings[10] = {1.0, 0.0, 1.0, 0.3, 0, 0, 0, 0, 0, 0};
  // (A frequency whose low bytes are not zero: cut short, 1234.0 would read as a valid bank
  // of one empty preset slot.)
  ASSERT_EQ(host->SetChunk(true, MeterProgram(1234.5678, settings)), 1);
  const std::vector<uint8_t> program = host->GetChunk(true);
  const std::vector<uint8_t> bank = host->GetChunk(false);

  for (size_t n = 1; n < program.size(); ++n)
  {
    const std::vector<uint8_t> cut(program.begin(), program.begin() + n);
    EXPECT_EQ(host->SetChunk(true, cut), 0) << n;
    EXPECT_EQ(host->SetChunk(false, cut), 0) << n;
  }
  for (size_t n = 1; n < bank.size(); ++n)
    EXPECT_EQ(host->SetChunk(false, std::vector<uint8_t>(bank.begin(), bank.begin() + n)), 0) << n;
  // Shorter than a state: 88 bytes or more without the header would read as a whole state
  // followed by bytes this version does not know (see BytesAfterTheStateAreIgnored).
  std::vector<uint8_t> garbage(80);
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = (uint8_t)(i * 37 + 11);
  EXPECT_EQ(host->SetChunk(true, garbage), 0);
  EXPECT_EQ(host->SetChunk(false, garbage), 0);

  EXPECT_EQ(host->GetChunk(true), program);
  EXPECT_EQ(host->GetChunk(false), bank);
  EXPECT_FLOAT_EQ(host->GetParameter(3), 0.3f);
}

TEST_F(Vst2MeterModule, BytesAfterTheStateAreIgnored)
{
  // A later version that appends fields, or a host that pads the chunk: the settings load.
  auto host = NewInstance();
  ASSERT_TRUE(host);
  const double settings[10] = {1.0, 0.0, 1.0, 0.3, 0, 0, 0, 0, 0, 0};
  std::vector<uint8_t> padded = MeterProgram(2500.0, settings);
  const std::vector<uint8_t> exact = padded;
  padded.insert(padded.end(), 12, 0x7F);
  EXPECT_EQ(host->SetChunk(true, padded), 1);
  EXPECT_EQ(host->GetChunk(true), exact);
  EXPECT_FLOAT_EQ(host->GetParameter(3), 0.3f);
}

TEST_F(Vst2MeterModule, ProcessingWithMissingBuffers)
{
  auto host = NewInstance();
  ASSERT_TRUE(host);
  std::vector<float> in(512, 0.5f), out0(512, 9.0f), out1(512, 9.0f);
  std::vector<double> din(512, 0.5), dout0(512, 9.0), dout1(512, 9.0);
  float* ins[2] = {in.data(), nullptr};
  float* outs[2] = {out0.data(), out1.data()};
  double* dins[2] = {nullptr, din.data()};
  double* douts[2] = {dout0.data(), nullptr};

  // While no measurement runs the meter writes silence.
  host->ProcessReplacing(ins, outs, 512);
  EXPECT_EQ(out0, std::vector<float>(512, 0.0f));
  EXPECT_EQ(out1, std::vector<float>(512, 0.0f));
  host->ProcessDoubleReplacing(dins, douts, 512);
  EXPECT_EQ(dout0, std::vector<double>(512, 0.0));
  std::fill(out0.begin(), out0.end(), 9.0f);
  host->Process(ins, outs, 512);
  EXPECT_EQ(out0, std::vector<float>(512, 9.0f)) << "accumulating silence changes nothing";

  host->ProcessReplacing(nullptr, nullptr, 512);
  host->ProcessDoubleReplacing(nullptr, nullptr, 512);
  std::vector<float> long0(4096, 1.0f), long1(4096, 1.0f);
  float* longOuts[2] = {long0.data(), long1.data()};
  host->Process(nullptr, longOuts, 4096);  // longer than announced, no inputs
  EXPECT_EQ(long1, std::vector<float>(4096, 1.0f));
  host->ProcessReplacing(ins, outs, 0);
  host->ProcessReplacing(ins, outs, -512);
}

TEST_F(Vst2MeterModule, EditorOpcodes)
{
  auto host = NewInstance();
  ASSERT_TRUE(host);
  ERect* rect = nullptr;
  int parent = 0;
  if (host->Effect()->flags & effFlagsHasEditor)
  {
    ASSERT_EQ(host->Dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 251);
    EXPECT_EQ(rect->bottom - rect->top, 310);
    // No window host on Linux yet: the editor cannot open a window.
    EXPECT_EQ(host->Dispatch(effEditOpen, 0, 0, &parent), 0);
    EXPECT_EQ(host->Dispatch(effEditClose), 1);
  }
  else
  {
    EXPECT_EQ(host->Dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(host->Dispatch(effEditOpen, 0, 0, &parent), 0);
    EXPECT_EQ(host->Dispatch(effEditClose), 0);
  }
  EXPECT_EQ(host->Dispatch(effEditIdle), 0);
}

}  // namespace
