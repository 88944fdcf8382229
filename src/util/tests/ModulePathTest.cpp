// The binary that holds the running code and the bundle around a binary.
#include "Util_ModulePath.h"

#include <gtest/gtest.h>

#include <string>

namespace {
int FunctionOfThisProgram()
{
  return 1;
}
}  // namespace

TEST(ModulePath, BundleAroundABinary)
{
  const struct
  {
    const char* binary;
    const char* bundle;  // null: not in a bundle
  } cases[] = {
      {"/Library/Audio/Plug-Ins/VST/VeldramixMeter.vst/Contents/MacOS/VeldramixMeter",
       "/Library/Audio/Plug-Ins/VST/VeldramixMeter.vst"},
      {"/home/u/.vst3/VeldramixMeter.vst3/Contents/x86_64-linux/VeldramixMeter.so", "/home/u/.vst3/VeldramixMeter.vst3"},
      {"rel/X.vst/Contents/MacOS/X", "rel/X.vst"},
      {"/usr/lib/vst/VeldramixMeter.so", nullptr},
      {"/a/NotContents/MacOS/x", nullptr},
      {"/Contents/MacOS/x", nullptr},
      {"Contents/MacOS/x", nullptr},
      {"MacOS/x", nullptr},
      {"x", nullptr},
      {"", nullptr},
  };
  for (const auto& c : cases)
  {
    Util_String bundle("stale");
    EXPECT_EQ(Util_GetBundleOfBinary(c.binary, &bundle), c.bundle != nullptr) << c.binary;
    EXPECT_STREQ(bundle.Get(), c.bundle ? c.bundle : "") << c.binary;
  }
  Util_String bundle("stale");
  EXPECT_FALSE(Util_GetBundleOfBinary(nullptr, &bundle));
  EXPECT_STREQ(bundle.Get(), "");
  EXPECT_FALSE(Util_GetBundleOfBinary("/a/B.vst/Contents/MacOS/B", nullptr));
}

TEST(ModulePath, BinaryOfTheRunningCode)
{
#ifdef _WIN32
  GTEST_SKIP() << "not used on Windows";
#endif
  Util_String path;
  ASSERT_TRUE(Util_GetModuleFile((const void*)&FunctionOfThisProgram, &path));
  const std::string p = path.Get();
  EXPECT_NE(p.find("util_tests"), std::string::npos) << p;
  EXPECT_FALSE(Util_GetModuleFile(nullptr, &path));
  EXPECT_STREQ(path.Get(), "");
}
