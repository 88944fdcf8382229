// Parameter state, the preset list and the bank state.
#include "PresetTestPlug.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

void Doubles(ByteChunk* c, std::initializer_list<double> values)
{
  for (double v : values) c->AppendValue(&v);
}
}  // namespace

TEST(ParamState, RoundTripsAndPartialReads)
{
  // Each case restores the first `bytes` bytes of a four-value state into a plug-in that
  // holds (3, 1, 2, 2): values before the break are taken, the one at the break becomes
  // 0.0 clamped to its bounds, the ones after keep their values.
  const struct { int bytes; int pos; std::vector<double> expect; } cases[] = {
    {32, 32, {-6.5, 0, 4, 1}},
    {24, -1, {-6.5, 0, 4, 0}},
    {12, -1, {-6.5, 0, 2, 2}},  // 4 bytes of the second value are no value
    {8, -1, {-6.5, 0, 2, 2}},
    {0, -1, {0, 1, 2, 2}},      // gain 0.0 lies inside -12..12
  };
  PresetTestPlug source;
  source.SetValues(-6.5, 0, 4, 1);
  ByteChunk full;
  ASSERT_TRUE(source.SerializeParams(&full));
  ASSERT_EQ(full.Size(), 32);
  EXPECT_EQ(ChunkDoubles(full), (std::vector<double>{-6.5, 0, 4, 1}));

  for (const auto& c : cases)
  {
    ByteChunk part;
    part.PutBytes(full.GetBytes(), c.bytes);
    PresetTestPlug plug;
    plug.SetValues(3, 1, 2, 2);
    EXPECT_EQ(plug.UnserializeParams(&part, 0), c.pos) << c.bytes;
    EXPECT_EQ(plug.Values(), c.expect) << c.bytes;
    EXPECT_EQ(plug.mChanged, (std::vector<int>{0, 1, 2, 3})) << "every index hears of the restore";
  }
}

TEST(ParamState, StoredValuesOutsideTheBoundsOrNotNumbers)
{
  const struct { double stored; double expect; } cases[] = {
    {100.0, 12.0}, {-100.0, -12.0}, {kNaN, 3.0}, {kInf, 3.0}, {-kInf, 3.0}, {5.5, 5.5},
  };
  for (const auto& c : cases)
  {
    PresetTestPlug plug;
    plug.GetParam(0)->Set(3.0);
    ByteChunk chunk;
    Doubles(&chunk, {c.stored, 1, 3, 7});
    EXPECT_EQ(plug.UnserializeParams(&chunk, 0), 32);
    EXPECT_EQ(plug.GetParam(0)->Value(), c.expect) << c.stored;
    EXPECT_EQ(plug.GetParam(3)->Value(), 2.0) << "enum of three choices ends at 2";
  }
}

TEST(ParamState, CompareStateCountsInDoubles)
{
  PresetTestPlug plug;
  plug.SetValues(0.1, 1, 3, 2);
  const double data[] = {99, 0.1, 1, 3, 2};
  EXPECT_TRUE(plug.CompareState((const unsigned char*)data, 1));
  EXPECT_FALSE(plug.CompareState((const unsigned char*)data, 0));
  const double off[] = {0.1, 1, 3, 2.001};
  EXPECT_FALSE(plug.CompareState((const unsigned char*)off, 0));
}

TEST(Presets, DefaultPresetsFillFreeSlotsInOrder)
{
  PresetTestPlug plug(3);
  plug.SetValues(1, 0, 0, 0);
  plug.MakeDefaultPreset("first", 1);
  EXPECT_TRUE(plug.GetPreset(0)->mInitialized);
  EXPECT_FALSE(plug.GetPreset(1)->mInitialized) << "count 1 initialises only the first free slot";
  plug.MakeDefaultPreset(nullptr, 1);
  EXPECT_STREQ(plug.GetPresetName(1), "Empty");
  plug.SetValues(2, 0, 0, 0);
  plug.EnsureDefaultPreset();
  EXPECT_STREQ(plug.GetPresetName(2), "Empty");
  EXPECT_EQ(ChunkDoubles(plug.GetPreset(0)->mChunk)[0], 1.0);
  EXPECT_EQ(ChunkDoubles(plug.GetPreset(2)->mChunk)[0], 2.0);
  plug.MakeDefaultPreset("none left", 1);
  EXPECT_STREQ(plug.GetPresetName(0), "first");
  EXPECT_STREQ(plug.GetPresetName(-1), "");
  EXPECT_STREQ(plug.GetPresetName(3), "");
}

TEST(Presets, MakePresetTakesIntsForWholeNumberParameters)
{
  PresetTestPlug plug(3);
  plug.SetValues(7, 1, 3, 1);
  plug.MakePreset("all", -2.5, 1, 4, 2);
  plug.MakePresetFromNamedParams("named", 2, 2, 0, 0, 11.0);
  // An index that does not exist ends the list: the types of later values are unknown.
  plug.MakePresetFromNamedParams("bad index", 2, 9, 1, 0, 1.0);

  EXPECT_EQ(ChunkDoubles(plug.GetPreset(0)->mChunk), (std::vector<double>{-2.5, 1, 4, 2}));
  EXPECT_EQ(ChunkDoubles(plug.GetPreset(1)->mChunk), (std::vector<double>{11, 1, 0, 1}))
    << "unnamed parameters take their current values";
  EXPECT_EQ(ChunkDoubles(plug.GetPreset(2)->mChunk), (std::vector<double>{7, 1, 3, 1}));
  EXPECT_STREQ(plug.GetPresetName(1), "named");
  EXPECT_EQ(plug.Values(), (std::vector<double>{7, 1, 3, 1})) << "making presets changes no value";
}

TEST(Presets, MakePresetFromChunkReplacesStaleBytes)
{
  PresetTestPlug plug(2);
  // A bank may mark a slot uninitialised while its chunk still holds bytes.
  plug.GetPreset(0)->mChunk.AppendValue(123.0);
  ByteChunk chunk;
  Doubles(&chunk, {1, 0, 2, 1});
  plug.MakePresetFromChunk("copied", &chunk);
  EXPECT_TRUE(plug.GetPreset(0)->mChunk.IsEqual(&chunk));
  EXPECT_TRUE(plug.RestorePreset("copied"));
  EXPECT_EQ(plug.Values(), (std::vector<double>{1, 0, 2, 1}));
}

TEST(Presets, RestoreByIndexAndName)
{
  PresetTestPlug plug(5);
  plug.MakePreset("user preset 1", 1.0, 0, 0, 0);
  plug.MakePreset("my user preset", 2.0, 1, 1, 1);
  plug.MakePreset("Bright", 3.0, 0, 4, 2);
  plug.mPresetsChanged = 0;

  EXPECT_FALSE(plug.RestorePreset(5));
  EXPECT_FALSE(plug.RestorePreset(-1));
  EXPECT_FALSE(plug.RestorePreset(""));
  EXPECT_FALSE(plug.RestorePreset((const char*)nullptr));
  EXPECT_FALSE(plug.RestorePreset("bright")) << "names match exactly";
  EXPECT_EQ(plug.mPresetsChanged, 0);

  EXPECT_TRUE(plug.RestorePreset("Bright"));
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 2);
  EXPECT_EQ(plug.Values(), (std::vector<double>{3, 0, 4, 2}));
  EXPECT_EQ(plug.mPresetsChanged, 1);

  // An empty slot becomes the next user preset, numbered after the names that already
  // contain "user preset", and stores the current state.
  plug.SetValues(-1, 1, 1, 1);
  EXPECT_TRUE(plug.RestorePreset(3));
  EXPECT_STREQ(plug.GetPresetName(3), "user preset 3");
  EXPECT_EQ(ChunkDoubles(plug.GetPreset(3)->mChunk), (std::vector<double>{-1, 1, 1, 1}));
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 3);
  EXPECT_TRUE(plug.RestorePreset(4));
  EXPECT_STREQ(plug.GetPresetName(4), "user preset 4");

  // A preset whose chunk holds no whole value cannot be restored.
  plug.GetPreset(0)->mChunk.Clear();
  plug.GetPreset(0)->mChunk.PutBytes("abc", 3);
  EXPECT_FALSE(plug.RestorePreset(0));
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 4);
}

TEST(Presets, ModifyCurrentPresetStoresStateAndRenamesOnlyWithAName)
{
  PresetTestPlug plug(2);
  plug.MakePreset("A", 1.0, 0, 0, 0);
  ASSERT_TRUE(plug.RestorePreset(0));
  plug.SetValues(4, 1, 2, 1);
  plug.ModifyCurrentPreset();
  EXPECT_STREQ(plug.GetPresetName(0), "A");
  EXPECT_EQ(ChunkDoubles(plug.GetPreset(0)->mChunk), (std::vector<double>{4, 1, 2, 1}));
  plug.ModifyCurrentPreset("");
  EXPECT_STREQ(plug.GetPresetName(0), "A");
  plug.ModifyCurrentPreset("B");
  EXPECT_STREQ(plug.GetPresetName(0), "B");
}

TEST(Presets, PruneKeepsTheCurrentPreset)
{
  PresetTestPlug plug(5);
  plug.MakePreset("a", 1.0, 0, 0, 0);
  plug.MakePreset("b", 2.0, 0, 0, 0);
  plug.GetPreset(0)->mInitialized = false;  // slots 0, 2, 3, 4 are free now
  ASSERT_TRUE(plug.RestorePreset(1));
  plug.PruneUninitializedPresets();
  ASSERT_EQ(plug.NPresets(), 1);
  EXPECT_STREQ(plug.GetPresetName(0), "b");
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 0);
}

TEST(Banks, RoundTripKeepsNamesFlagsAndValues)
{
  PresetTestPlug source(4);
  source.MakePreset("Soft", -3.0, 0, 1, 0);
  source.MakePreset("", 6.0, 1, 4, 2);
  source.MakePreset(std::string(300, 'x').c_str(), 0.5, 0, 2, 1);
  ASSERT_TRUE(source.RestorePreset(1));
  ByteChunk bank;
  ASSERT_TRUE(source.SerializePresets(&bank));
  // name, flag and 32 bytes per initialised preset; the fourth slot is "empty", uninitialised.
  EXPECT_EQ(bank.Size(), (4 + 4 + 1 + 32) + (4 + 0 + 1 + 32) + (4 + 255 + 1 + 32) + (4 + 5 + 1));

  PresetTestPlug dest(4);
  dest.SetValues(9, 1, 1, 1);
  EXPECT_EQ(dest.UnserializePresets(&bank, 0), bank.Size());
  for (int i = 0; i < 4; ++i)
  {
    EXPECT_STREQ(dest.GetPresetName(i), source.GetPresetName(i)) << i;
    EXPECT_EQ(dest.GetPreset(i)->mInitialized, source.GetPreset(i)->mInitialized) << i;
    EXPECT_TRUE(dest.GetPreset(i)->mChunk.IsEqual(&source.GetPreset(i)->mChunk)) << i;
  }
  EXPECT_EQ(std::strlen(dest.GetPresetName(2)), 255u) << "a long name is cut to the slot";
  // The bank restores the current preset of the receiving plug-in (0 here).
  EXPECT_EQ(dest.Values(), (std::vector<double>{-3, 0, 1, 0}));
}

TEST(Banks, CutAnywhereStaysInRangeAndReportsTheCut)
{
  PresetTestPlug source(3);
  source.MakePreset("one", 12.0, 1, 4, 2);
  source.MakePreset("two", -12.0, 0, 0, 0);
  ByteChunk bank;
  ASSERT_TRUE(source.SerializePresets(&bank));
  for (int len = 0; len < bank.Size(); ++len)
  {
    ByteChunk cut;
    cut.PutBytes(bank.GetBytes(), len);
    PresetTestPlug dest(3);
    EXPECT_LT(dest.UnserializePresets(&cut, 0), 0) << len;
    EXPECT_TRUE(dest.AllInRange()) << len;
  }
}
