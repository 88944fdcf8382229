// Host identification and the packed version helpers.
#include "IHostId.h"
#include "IFxTestBinding.h"

#include <gtest/gtest.h>

#include <string>

TEST(HostId, LookUpHostKeysAndOverlaps)
{
  const struct { const char* name; EHost host; } cases[] = {
    {"Cubase", kHostCubase},
    {"CUBASE 12", kHostCubase},
    {"Steinberg cubase Live Edition", kHostCubase},  // "cubase" is tried before "live"
    {"Some DAW Live 11", kHostAbletonLive},
    {"Olive Editor", kHostAbletonLive},             // any "live" the earlier keys left
    {"REAPER64", kHostReaper},
    {"Digital", kHostDigitalPerformer},             // "digital" alone suffices
    {"Digital Performer", kHostDigitalPerformer},
    {"Pro Tools", kHostUnknown},                    // the key has no space
    {"ProTools", kHostProTools},
    {"Nuendo", kHostNuendo},
    {"Cakewalk", kHostSonar},
    {"Fruity Wrapper", kHostFL},
    {"Samplitude", kHostSamplitude},
    {"Melodyne", kHostMelodyneStudio},
    {"vstmanlib", kHostVSTScanner},
    {"AU Lab", kHostUnknown},
    {"aulab", kHostAULab},
    {"GarageBand", kHostGarageBand},
    {"Forte", kHostForte},
    {"Chainer", kHostChainer},
    {"Adobe Audition", kHostAudition},
    {"Orion", kHostOrion},
    {"SAWStudio", kHostSAWStudio},
    {"Logic Pro", kHostLogic},
    {"AudioMulch", kHostAudioMulch},
    {"PreSonus Studio One", kHostStudioOne},
    {"VST3PluginTestHost", kHostVST3TestHost},
    {"Ardour", kHostArdour},
    {"OpenMPT", kHostOpenMPT},
    {"Renoise", kHostRenoise},
    {"Standalone", kHostStandalone},
    {"Logic Live", kHostAbletonLive},               // "live" comes before "logic"
    {"Orion Digital", kHostOrion},                  // "orion" comes before "digital"
    {"", kHostUnknown},
    {nullptr, kHostUnknown},
    {"Unheard Of Sequencer", kHostUnknown},
  };
  for (const auto& c : cases) EXPECT_EQ(LookUpHost(c.name), c.host) << (c.name ? c.name : "(null)");
}

TEST(HostId, LongNamesAreLookedAtUpToTheBuffer)
{
  std::string name(254, 'x');
  EXPECT_EQ(LookUpHost((name + "reaper").c_str()), kHostUnknown) << "the key lies beyond 255 characters";
  EXPECT_EQ(LookUpHost((std::string(249, 'x') + "reaper").c_str()), kHostReaper);
}

TEST(HostId, DisplayNames)
{
  const struct { int host; const char* name; } cases[] = {
    {-1, "Unknown"}, {0, "Unknown"}, {1, "Reaper"}, {2, "ProTools"}, {3, "Cubase"}, {4, "Nuendo"},
    {5, "Sonar"}, {6, "Vegas"}, {7, "FLStudio"}, {8, "Samplitude"}, {9, "Live"}, {10, "Unknown"},
    {11, "Unknown"}, {12, "Unknown"}, {13, "VSTScanner"}, {14, "AULab"}, {15, "Forte"},
    {16, "Chainer"}, {17, "Audition"}, {18, "Orion"}, {19, "Unknown"}, {20, "SAWStudio"},
    {21, "Logic"}, {22, "GarageBand"}, {23, "DigitalPerformer"}, {24, "Standalone"},
    {25, "AudioMulch"}, {26, "StudioOne"}, {27, "VST3PluginTestHost"}, {28, "Ardour"},
    {29, "Renoise"}, {30, "OpenMPT"}, {31, "Unknown"}, {-2, "Unknown"},
  };
  for (const auto& c : cases)
  {
    char name[kMaxHostNameLen];
    GetHostNameStr((EHost)c.host, name, sizeof name);
    EXPECT_STREQ(name, c.name) << c.host;
  }
  char small[5] = "....";
  GetHostNameStr(kHostCubase, small, sizeof small);
  EXPECT_STREQ(small, "Cuba");
}

TEST(HostId, VersionHelpers)
{
  const int v = 2 << 16 | 5 << 8 | 13;
  int major = 0, minor = 0, patch = 0;
  GetVersionParts(v, &major, &minor, &patch);
  EXPECT_EQ(major, 2);
  EXPECT_EQ(minor, 5);
  EXPECT_EQ(patch, 13);
  EXPECT_EQ(GetDecimalVersion(v), 20513);
  char text[16];
  GetVersionStr(v, text, sizeof text);
  EXPECT_STREQ(text, "v2.5.13");
  GetVersionStr((int)0xffffffff, text, sizeof text);
  EXPECT_STREQ(text, "v65535.255.255");
}

TEST(HostId, BindingIdentifiesThroughSetHostOnFirstAsk)
{
  class Plug : public IFxTestBinding
  {
  public:
    explicit Plug(const IFxInstanceInfo& info)
      : IFxTestBinding(info, 0, "2-2", 0, "P", "", "", 0, 0, 0, 0, false, false, false) {}
    void OnHostIdentified() override { ++identified; }
    int identified = 0;
  };
  IFxInstanceInfo info;
  info.mHostName = "Cubase LE AI Elements 11";
  info.mHostVersion = 11 << 16 | 0 << 8 | 30;
  Plug plug(info);
  EXPECT_EQ(plug.identified, 0);
  EXPECT_EQ(plug.GetHostVersion(true), 110030);
  EXPECT_EQ(plug.GetHost(), kHostCubase);
  EXPECT_EQ(plug.identified, 1) << "asked once, then cached";
  char text[16];
  plug.GetHostVersionStr(text, sizeof text);
  EXPECT_STREQ(text, "v11.0.30");

  plug.SetHost("Pro Tools", 0);
  EXPECT_EQ(plug.GetHost(), kHostUnknown);
}
