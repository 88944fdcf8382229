// VST 2 program and bank files, base64 presets and the developer dumps.
#include "PresetTestPlug.h"
#include "Util_Base64.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

namespace {
uint32_t BE(const ByteChunk& c, int at) { return Util_ReadBE32(c.GetBytes() + at); }
float BEF(const ByteChunk& c, int at) { return Util_ReadBEFloat(c.GetBytes() + at); }
void SetBE(ByteChunk* c, int at, uint32_t v) { Util_WriteBE32(c->GetBytes() + at, v); }
std::string Str(const ByteChunk& c, int at, int len) { return std::string((const char*)c.GetBytes() + at, (size_t)len); }

using Bytes = std::vector<unsigned char>;

Bytes Prefix(const ByteChunk& c, int len) { return Bytes(c.GetBytes(), c.GetBytes() + len); }
Bytes All(const ByteChunk& c) { return Prefix(c, c.Size()); }
void SetBE(Bytes* b, int at, uint32_t v) { Util_WriteBE32(b->data() + at, v); }

std::string TempPath(const char* name)
{
  const char* dir = std::getenv("TMPDIR");
  std::string path = std::string(dir && *dir ? dir : "/tmp") + "/vx_presetfile_" + std::to_string((long)::testing::UnitTest::GetInstance()->random_seed()) + "_" + name;
  std::remove(path.c_str());
  return path;
}

std::string ReadText(const std::string& path)
{
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Parameter files carry normalised floats: values come back within float precision.
void ExpectNear(const std::vector<double>& got, const std::vector<double>& want, const std::string& what)
{
  ASSERT_EQ(got.size(), want.size()) << what;
  for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-5) << what << " " << i;
}

// A plug-in with two presets whose values differ from the defaults everywhere.
void Fill(PresetTestPlug* plug)
{
  plug->MakePreset("Warm", -4.5, 1, 3, 2);
  plug->MakePreset("Cold", 7.0, 0, 0, 1);
  ASSERT_TRUE(plug->RestorePreset(1));
}
}  // namespace

TEST(ProgramFile, OpaqueFormHeaderBytes)
{
  PresetTestPlug plug;
  Fill(&plug);
  ByteChunk file;
  ASSERT_TRUE(plug.MakeProgramFXPData(&file));
  ASSERT_EQ(file.Size(), 60 + 8 + 32);
  const unsigned char header[] = {
    'C', 'c', 'n', 'K', 0, 0, 0, 100, 'F', 'P', 'C', 'h', 0, 0, 0, 1,
    'P', 'r', 'e', 's', 0, 0, 0x50, 0x21,  // 20513 = v2.5.13
    0, 0, 0, 4, 'C', 'o', 'l', 'd'};
  EXPECT_EQ(std::memcmp(file.GetBytes(), header, sizeof header), 0);
  EXPECT_EQ(Str(file, 32, 24), std::string(24, '\0')) << "the name is zero-filled";
  EXPECT_EQ(BE(file, 56), 40u);
  // Inside, the chunk keeps the machine's order: the framework header, then the state.
  EXPECT_EQ(Str(file, 60, 4), "tffp");
  EXPECT_EQ(Util_ReadLE32(file.GetBytes() + 64), 0x00010000u);
  double gain;
  std::memcpy(&gain, file.GetBytes() + 68, 8);
  EXPECT_EQ(gain, 7.0);
}

TEST(ProgramFile, ParameterFormHeaderBytes)
{
  PresetTestPlug plug(3, false);
  Fill(&plug);
  ByteChunk file;
  ASSERT_TRUE(plug.MakeProgramFXPData(&file));
  ASSERT_EQ(file.Size(), 56 + 16);
  EXPECT_EQ(Str(file, 0, 4), "CcnK");
  EXPECT_EQ(BE(file, 4), 0u) << "the parameter form carries no byte size";
  EXPECT_EQ(Str(file, 8, 4), "FxCk");
  EXPECT_EQ(BE(file, 12), 1u);
  EXPECT_EQ(BE(file, 24), 4u);
  const float expect[] = {19.0f / 24.0f, 0.0f, 0.0f, 0.5f};  // gain 7 in -12..12, shape 1 of 0..2
  for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(BEF(file, 56 + 4 * i), expect[i]) << i;
  const unsigned char gainBytes[4] = {file.GetBytes()[56], file.GetBytes()[57], file.GetBytes()[58], file.GetBytes()[59]};
  EXPECT_EQ(gainBytes[0], 0x3f) << "floats are big-endian";
}

TEST(ProgramFile, RoundTripsInBothForms)
{
  for (bool chunks : {true, false})
  {
    PresetTestPlug source(3, chunks);
    Fill(&source);
    ByteChunk file;
    ASSERT_TRUE(source.MakeProgramFXPData(&file));

    PresetTestPlug dest(3, chunks);
    dest.MakePreset("Old", 1.0, 0, 1, 0);
    ASSERT_TRUE(dest.RestorePreset(0));
    dest.mProgramChanges = 0;
    ASSERT_TRUE(dest.LoadProgramFromFXPData(&file)) << chunks;
    ExpectNear(dest.Values(), source.Values(), chunks ? "opaque" : "parameters");
    EXPECT_STREQ(dest.GetPresetName(0), "Cold") << "the current preset takes the program";
    ExpectNear(ChunkDoubles(dest.GetPreset(0)->mChunk), source.Values(), "stored");
    EXPECT_EQ(dest.mProgramChanges, 1);
  }
}

TEST(ProgramFile, NameLongerThanTheFieldIsCutAndTerminated)
{
  // Names of 27, 28 and 60 characters: at most 27 fit beside the terminator.
  const struct { int len; int stored; } cases[] = {{0, 0}, {27, 27}, {28, 27}, {60, 27}};
  for (const auto& c : cases)
  {
    std::string name;
    for (int i = 0; i < c.len; ++i) name += (char)('a' + i % 26);
    PresetTestPlug plug(1);
    plug.MakePreset(name.c_str(), 0.0, 0, 0, 0);
    ByteChunk file;
    ASSERT_TRUE(plug.MakeProgramFXPData(&file));
    EXPECT_EQ(file.GetBytes()[28 + 27], 0) << "the field always ends in a terminator";
    PresetTestPlug dest(1);
    ASSERT_TRUE(dest.LoadProgramFromFXPData(&file));
    // An empty name leaves the receiving preset's own name.
    EXPECT_EQ(std::string(dest.GetPresetName(0)), c.len ? name.substr(0, (size_t)c.stored) : "empty");
  }
  // Another writer may fill all 28 bytes; the reader stops at the field's end.
  PresetTestPlug plug(1);
  ByteChunk file;
  ASSERT_TRUE(plug.MakeProgramFXPData(&file));
  std::memset(file.GetBytes() + 28, 'n', 28);
  ASSERT_TRUE(plug.LoadProgramFromFXPData(&file));
  EXPECT_EQ(std::string(plug.GetPresetName(0)), std::string(28, 'n'));
}

TEST(ProgramFile, RejectedFilesChangeNothing)
{
  PresetTestPlug source;
  Fill(&source);
  ByteChunk opaque, params;
  ASSERT_TRUE(source.MakeProgramFXPData(&opaque));
  PresetTestPlug paramSource(3, false);
  Fill(&paramSource);
  ASSERT_TRUE(paramSource.MakeProgramFXPData(&params));

  struct Case { const char* what; Bytes file; bool chunks; };
  std::vector<Case> cases;
  auto add = [&](const char* what, const Bytes& base, bool chunks, auto&& edit) {
    Case c{what, base, chunks};
    edit(&c.file);
    cases.push_back(std::move(c));
  };
  add("another plug-in", All(opaque), true, [](Bytes* f) { SetBE(f, 16, Util_FourCC("Othr")); });
  add("bad chunk magic", All(opaque), true, [](Bytes* f) { (*f)[0] = 'X'; });
  add("format version 2", All(opaque), true, [](Bytes* f) { SetBE(f, 12, 2); });
  add("unknown format", All(opaque), true, [](Bytes* f) { SetBE(f, 8, Util_FourCC("FBCh")); });
  add("chunk form into a parameter plug-in", All(opaque), false, [](Bytes*) {});
  add("chunk size beyond the file", All(opaque), true, [](Bytes* f) { SetBE(f, 56, 41); });
  add("huge chunk size", All(opaque), true, [](Bytes* f) { SetBE(f, 56, 0xffffffffu); });
  add("framework header cut", All(opaque), true, [](Bytes* f) { SetBE(f, 56, 6); });
  add("state ends early", All(opaque), true, [](Bytes* f) { SetBE(f, 56, 8 + 20); });
  for (int len = 0; len < opaque.Size(); len += 7)
    add("opaque cut", Prefix(opaque, len), true, [](Bytes*) {});
  for (int len = 0; len < params.Size(); len += 3)
    add("parameter form cut", Prefix(params, len), false, [](Bytes*) {});

  for (auto& c : cases)
  {
    PresetTestPlug dest(3, c.chunks);
    dest.MakePreset("Mine", 2.0, 1, 2, 1);
    ASSERT_TRUE(dest.RestorePreset(0));
    dest.SetValues(-1.0, 0, 3, 2);  // differs from the stored preset on purpose
    dest.mProgramChanges = 0;
    ByteChunk file;
    file.PutBytes(c.file.data(), (int)c.file.size());
    EXPECT_FALSE(dest.LoadProgramFromFXPData(&file)) << c.what << " " << file.Size();
    EXPECT_EQ(dest.Values(), (std::vector<double>{-1, 0, 3, 2})) << c.what << " " << file.Size();
    EXPECT_STREQ(dest.GetPresetName(0), "Mine") << c.what;
    EXPECT_EQ(ChunkDoubles(dest.GetPreset(0)->mChunk), (std::vector<double>{2, 1, 2, 1})) << c.what;
    EXPECT_EQ(dest.mProgramChanges, 0) << c.what;
  }
}

TEST(ProgramFile, StoredFloatsOutsideZeroToOneStayInRange)
{
  PresetTestPlug source(1, false);
  ByteChunk file;
  ASSERT_TRUE(source.MakeProgramFXPData(&file));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct { float stored[4]; std::vector<double> expect; } cases[] = {
    {{-1.0f, 2.0f, 1e30f, -0.3f}, {-12, 1, 4, 0}},
    {{nan, nan, nan, nan}, {5, 1, 3, 1}},  // not a number: the value stays
    {{1.0f, 0.49f, 0.62f, 0.76f}, {12, 0, 2, 2}},
  };
  for (const auto& c : cases)
  {
    for (int i = 0; i < 4; ++i) Util_WriteBEFloat(file.GetBytes() + 56 + 4 * i, c.stored[i]);
    PresetTestPlug dest(1, false);
    dest.SetValues(5, 1, 3, 1);
    ASSERT_TRUE(dest.LoadProgramFromFXPData(&file));
    EXPECT_EQ(dest.Values(), c.expect);
  }
}

TEST(ProgramFile, StepRoundingCannotGoBelowTheMinimum)
{
  // An integer parameter 3..7 rounds its value to whole steps counted from zero; a file
  // cannot push it outside its bounds.
  PresetTestPlug plug(1, false);
  plug.GetParam(2)->InitDouble("Odd", 0.3, 0.3, 2.3, 1.0);
  ByteChunk file;
  ASSERT_TRUE(plug.MakeProgramFXPData(&file));
  Util_WriteBEFloat(file.GetBytes() + 56 + 8, 0.0f);
  ASSERT_TRUE(plug.LoadProgramFromFXPData(&file));
  EXPECT_TRUE(plug.AllInRange());
}

TEST(BankFile, OpaqueFormHeaderBytes)
{
  PresetTestPlug plug;
  Fill(&plug);
  ByteChunk file;
  ASSERT_TRUE(plug.MakeBankFXBData(&file));
  ByteChunk bank;
  ASSERT_TRUE(plug.SerializePresets(&bank));
  ASSERT_EQ(file.Size(), 160 + 8 + bank.Size());
  const unsigned char header[] = {
    'C', 'c', 'n', 'K', 0, 0, 0, 0, 'F', 'B', 'C', 'h', 0, 0, 0, 2,
    'P', 'r', 'e', 's', 0, 0, 0x50, 0x21, 0, 0, 0, 3, 0, 0, 0, 1};
  SetBE(&file, 4, 0);  // compared below
  EXPECT_EQ(std::memcmp(file.GetBytes(), header, sizeof header), 0);
  EXPECT_EQ(Str(file, 32, 124), std::string(124, '\0'));
  EXPECT_EQ(BE(file, 156), (uint32_t)(8 + bank.Size()));
  EXPECT_EQ(Str(file, 160, 4), "tffp");
  EXPECT_EQ(std::memcmp(file.GetBytes() + 168, bank.GetBytes(), (size_t)bank.Size()), 0);
  ByteChunk again;
  ASSERT_TRUE(plug.MakeBankFXBData(&again));
  EXPECT_EQ(BE(again, 4), (uint32_t)again.Size());
}

TEST(BankFile, ParameterFormHeaderBytes)
{
  PresetTestPlug plug(3, false);
  Fill(&plug);
  ByteChunk file;
  ASSERT_TRUE(plug.MakeBankFXBData(&file));
  const int program = 56 + 16;
  ASSERT_EQ(file.Size(), 156 + 3 * program);
  EXPECT_EQ(Str(file, 8, 4), "FxBk");
  EXPECT_EQ(BE(file, 4), 0u);
  EXPECT_EQ(BE(file, 12), 2u);
  EXPECT_EQ(BE(file, 24), 3u);
  EXPECT_EQ(BE(file, 28), 1u);
  for (int p = 0; p < 3; ++p)
  {
    const int at = 156 + p * program;
    EXPECT_EQ(Str(file, at, 4), "CcnK");
    EXPECT_EQ(BE(file, at + 4), 0u);
    EXPECT_EQ(Str(file, at + 8, 4), "FxCk");
    EXPECT_EQ(BE(file, at + 12), 1u);
    EXPECT_EQ(Str(file, at + 16, 4), "Pres");
    EXPECT_EQ(BE(file, at + 20), 20513u);
    EXPECT_EQ(BE(file, at + 24), 4u);
    EXPECT_STREQ((const char*)file.GetBytes() + at + 28, plug.GetPresetName(p));
  }
  EXPECT_FLOAT_EQ(BEF(file, 156 + 56), 7.5f / 24.0f) << "Warm: gain -4.5";
  // The third slot never held a preset: its empty chunk gives 0.0 for every value.
  EXPECT_FLOAT_EQ(BEF(file, 156 + 2 * program + 56), 0.5f);
  EXPECT_FLOAT_EQ(BEF(file, 156 + 2 * program + 64), 0.0f);
}

TEST(BankFile, RoundTripsInBothForms)
{
  for (bool chunks : {true, false})
  {
    PresetTestPlug source(3, chunks);
    Fill(&source);
    ByteChunk file;
    ASSERT_TRUE(source.MakeBankFXBData(&file));

    PresetTestPlug dest(3, chunks);
    dest.SetValues(12, 1, 4, 2);
    ASSERT_TRUE(dest.LoadBankFromFXBData(&file)) << chunks;
    for (int p = 0; p < 2; ++p)
    {
      EXPECT_STREQ(dest.GetPresetName(p), source.GetPresetName(p)) << chunks << p;
      ExpectNear(ChunkDoubles(dest.GetPreset(p)->mChunk), ChunkDoubles(source.GetPreset(p)->mChunk), "preset");
    }
    // The parameter form names its current program; the chunk form keeps the receiving
    // plug-in's current preset and restores it from the bank.
    const int current = chunks ? 0 : 1;
    EXPECT_EQ(dest.GetCurrentPresetIdx(), current) << chunks;
    ExpectNear(dest.Values(), ChunkDoubles(source.GetPreset(current)->mChunk), "current");
    EXPECT_EQ(dest.mProgramChanges, 1);
  }
}

TEST(BankFile, RejectedFilesChangeNothing)
{
  PresetTestPlug opaqueSource;
  Fill(&opaqueSource);
  PresetTestPlug paramSource(3, false);
  Fill(&paramSource);
  ByteChunk opaque, params;
  ASSERT_TRUE(opaqueSource.MakeBankFXBData(&opaque));
  ASSERT_TRUE(paramSource.MakeBankFXBData(&params));

  struct Case { std::string what; Bytes file; bool chunks; };
  std::vector<Case> cases;
  auto add = [&](std::string what, const Bytes& base, bool chunks, auto&& edit) {
    Case c{std::move(what), base, chunks};
    edit(&c.file);
    cases.push_back(std::move(c));
  };
  add("another plug-in", All(opaque), true, [](Bytes* f) { SetBE(f, 16, 1); });
  add("unknown format", All(opaque), true, [](Bytes* f) { SetBE(f, 8, Util_FourCC("FPCh")); });
  add("chunk form into a parameter plug-in", All(opaque), false, [](Bytes*) {});
  add("chunk size beyond the file", All(opaque), true, [&](Bytes* f) { SetBE(f, 156, (uint32_t)((int)f->size() - 159)); });
  add("bank ends early", All(opaque), true, [&](Bytes* f) { SetBE(f, 156, (uint32_t)((int)f->size() - 161)); });
  add("negative program count", All(params), false, [](Bytes* f) { SetBE(f, 24, 0xffffffffu); });
  add("program of another format", All(params), false, [](Bytes* f) { SetBE(f, 156 + 72 + 8, Util_FourCC("FPCh")); });
  add("program with another parameter count", All(params), false, [](Bytes* f) { SetBE(f, 156 + 2 * 72 + 24, 5); });
  add("program version 2", All(params), false, [](Bytes* f) { SetBE(f, 156 + 12, 2); });
  for (int len = 0; len < opaque.Size(); len += 5)
    add("opaque cut " + std::to_string(len), Prefix(opaque, len), true, [](Bytes*) {});
  for (int len = 0; len < params.Size(); len += 5)
    add("parameter form cut " + std::to_string(len), Prefix(params, len), false, [](Bytes*) {});

  for (auto& c : cases)
  {
    PresetTestPlug dest(3, c.chunks);
    dest.MakePreset("Mine", 2.0, 1, 2, 1);
    ASSERT_TRUE(dest.RestorePreset(0));
    dest.SetValues(-1.0, 0, 3, 2);
    dest.mProgramChanges = 0;
    ByteChunk file;
    file.PutBytes(c.file.data(), (int)c.file.size());
    EXPECT_FALSE(dest.LoadBankFromFXBData(&file)) << c.what;
    EXPECT_EQ(dest.Values(), (std::vector<double>{-1, 0, 3, 2})) << c.what;
    EXPECT_EQ(dest.GetCurrentPresetIdx(), 0) << c.what;
    for (int p = 0; p < 3; ++p) EXPECT_EQ(dest.GetPreset(p)->mInitialized, p == 0) << c.what << p;
    EXPECT_STREQ(dest.GetPresetName(0), "Mine") << c.what;
    EXPECT_STREQ(dest.GetPresetName(1), "empty") << c.what;
    EXPECT_EQ(ChunkDoubles(dest.GetPreset(0)->mChunk), (std::vector<double>{2, 1, 2, 1})) << c.what;
    EXPECT_EQ(dest.mProgramChanges, 0) << c.what;
  }
}

TEST(BankFile, MoreProgramsThanSlotsLoadsWhatFits)
{
  PresetTestPlug source(3, false);
  Fill(&source);
  ByteChunk file;
  ASSERT_TRUE(source.MakeBankFXBData(&file));
  PresetTestPlug dest(2, false);
  ASSERT_TRUE(dest.LoadBankFromFXBData(&file));
  EXPECT_STREQ(dest.GetPresetName(0), "Warm");
  EXPECT_STREQ(dest.GetPresetName(1), "Cold");
  EXPECT_EQ(dest.GetCurrentPresetIdx(), 1);
  ExpectNear(dest.Values(), source.Values(), "current");
}

TEST(PresetFiles, FilePathsAndMissingFiles)
{
  PresetTestPlug source;
  Fill(&source);
  const std::string fxp = TempPath("a.fxp"), fxb = TempPath("a.fxb");
  ASSERT_TRUE(source.SaveProgramAsFXP(Util_String(fxp.c_str())));
  ASSERT_TRUE(source.SaveBankAsFXB(Util_String(fxb.c_str())));

  PresetTestPlug dest;
  EXPECT_TRUE(dest.LoadBankFromFXB(Util_String(fxb.c_str())));
  EXPECT_STREQ(dest.GetPresetName(1), "Cold");
  EXPECT_EQ(dest.Values(), ChunkDoubles(source.GetPreset(0)->mChunk));
  dest.SetValues(0, 0, 0, 0);
  EXPECT_TRUE(dest.LoadProgramFromFXP(Util_String(fxp.c_str())));
  EXPECT_EQ(dest.Values(), source.Values());

  EXPECT_FALSE(dest.SaveProgramAsFXP(Util_String("")));
  EXPECT_FALSE(dest.LoadProgramFromFXP(Util_String("")));
  EXPECT_FALSE(dest.SaveBankAsFXB(Util_String("")));
  EXPECT_FALSE(dest.LoadBankFromFXB(Util_String("")));
  EXPECT_FALSE(dest.LoadProgramFromFXP(Util_String((fxp + ".missing").c_str())));
  EXPECT_FALSE(dest.LoadBankFromFXB(Util_String((fxb + ".missing").c_str())));
  EXPECT_FALSE(dest.SaveBankAsFXB(Util_String("/nonexistent-dir/x.fxb")));
  std::remove(fxp.c_str());
  std::remove(fxb.c_str());
}

TEST(Dumps, PresetBlobRoundTripsThroughMakePresetFromBlob)
{
  PresetTestPlug source(3);
  Fill(&source);
  const std::string path = TempPath("blob.txt");
  ASSERT_TRUE(source.DumpPresetBlob(path.c_str()));
  const std::string text = ReadText(path);
  std::remove(path.c_str());

  // MakePresetFromBlob("name", "<base64>", <size>);
  const std::string head = "MakePresetFromBlob(\"name\", \"";
  ASSERT_EQ(text.compare(0, head.size(), head), 0) << text;
  const size_t close = text.find('"', head.size());
  ASSERT_NE(close, std::string::npos);
  const std::string blob = text.substr(head.size(), close - head.size());
  int size = -1;
  ASSERT_EQ(std::sscanf(text.c_str() + close, "\", %i);", &size), 1);
  EXPECT_EQ(size, 32);
  EXPECT_EQ(text.substr(text.size() - 3), ");\n");
  EXPECT_EQ(blob.size(), 44u);
  EXPECT_EQ(blob.back(), '=');

  PresetTestPlug dest(3);
  dest.MakePresetFromBlob("from blob", blob.c_str(), size);
  EXPECT_TRUE(dest.GetPreset(0)->mChunk.IsEqual(&source.GetPreset(1)->mChunk));
  ASSERT_TRUE(dest.RestorePreset("from blob"));
  EXPECT_EQ(dest.Values(), source.Values());
}

TEST(Dumps, BankBlobWritesOneStatementPerPreset)
{
  PresetTestPlug plug(3);
  Fill(&plug);
  const std::string path = TempPath("bank.txt");
  ASSERT_TRUE(plug.DumpBankBlob(path.c_str()));
  const std::string text = ReadText(path);
  std::remove(path.c_str());
  char b0[64], b1[64];
  Util_Base64Encode(plug.GetPreset(0)->mChunk.GetBytes(), 32, b0, sizeof b0);
  Util_Base64Encode(plug.GetPreset(1)->mChunk.GetBytes(), 32, b1, sizeof b1);
  const std::string expect = std::string("MakePresetFromBlob(\"Warm\", \"") + b0 + "\", 32);\n" +
                             "MakePresetFromBlob(\"Cold\", \"" + b1 + "\", 32);\n" +
                             "MakePresetFromBlob(\"empty\", \"\", 0);\n";
  EXPECT_EQ(text, expect);
  EXPECT_FALSE(plug.DumpBankBlob("/nonexistent-dir/bank.txt"));
}

TEST(Dumps, ChunksBeyondTheDumpBufferAreRefused)
{
  // 2048 characters hold 2047 of base64 and the terminator: 1533 bytes at most. With four
  // parameters of 8 bytes and the rest as extras, 191 parameters make 1528 bytes, 192 make
  // 1536.
  const struct { int nParams; bool fits; } cases[] = {{191, true}, {192, false}};
  for (const auto& c : cases)
  {
    PresetTestPlug plug(2, true, Util_FourCC("Pres"), c.nParams);
    plug.MakeDefaultPreset("big", 2);
    const std::string one = TempPath("one.txt"), bank = TempPath("bank.txt");
    EXPECT_EQ(plug.DumpPresetBlob(one.c_str()), c.fits) << c.nParams;
    EXPECT_EQ(plug.DumpBankBlob(bank.c_str()), c.fits) << c.nParams;
    std::ifstream probe(one);
    EXPECT_EQ(probe.good(), c.fits) << "a refused dump writes no file";
    if (c.fits)
    {
      const std::string text = ReadText(one);
      const size_t start = text.find(", \"") + 3;
      const std::string blob = text.substr(start, text.find('"', start) - start);
      PresetTestPlug dest(1, true, Util_FourCC("Pres"), c.nParams);
      dest.MakePresetFromBlob("big", blob.c_str(), 8 * c.nParams);
      EXPECT_TRUE(dest.GetPreset(0)->mChunk.IsEqual(&plug.GetPreset(0)->mChunk));
    }
    std::remove(one.c_str());
    std::remove(bank.c_str());
  }
}

TEST(Dumps, SourceCodeStatement)
{
  PresetTestPlug plug(1);
  plug.SetValues(-2.25, 1, 3, 2);
  const char* names[] = {"kGain", "kMute", "kMode", "kShape"};
  const std::string path = TempPath("src.txt");
  ASSERT_TRUE(plug.DumpPresetSrcCode(path.c_str(), names));
  EXPECT_EQ(ReadText(path),
            "  MakePresetFromNamedParams(\"name\", 4,\n"
            "    kGain, -2.250000,\n"
            "    kMute, true,\n"
            "    kMode, 3,\n"
            "    kShape, 2);\n");
  std::remove(path.c_str());
  EXPECT_FALSE(plug.DumpPresetSrcCode(path.c_str(), nullptr));
}

TEST(Dumps, MakePresetFromBlobNeverWritesBeyondSize)
{
  const double values[4] = {1.5, 1, 2, 1};
  char text[64];
  Util_Base64Encode(values, 32, text, sizeof text);
  const struct { int size; int compared; } cases[] = {{32, 32}, {40, 32}, {16, 16}, {0, 0}};
  for (const auto& c : cases)
  {
    PresetTestPlug plug(1);
    plug.MakePresetFromBlob("b", text, c.size);
    const ByteChunk& chunk = plug.GetPreset(0)->mChunk;
    ASSERT_EQ(chunk.Size(), c.size);
    if (c.compared) { EXPECT_EQ(std::memcmp(chunk.GetBytes(), values, (size_t)c.compared), 0); }
    for (int i = c.compared; i < c.size; ++i) EXPECT_EQ(chunk.GetBytes()[i], 0) << "zero-filled beyond the text";
  }
  PresetTestPlug plug(1);
  plug.MakePresetFromBlob("neg", text, -1);
  EXPECT_FALSE(plug.GetPreset(0)->mInitialized);
}
