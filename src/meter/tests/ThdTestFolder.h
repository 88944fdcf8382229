// A private documents folder per test, handed to the meter through the test binding, so that
// no test reads or writes the user's own folder (and no calibration file of the user's
// changes a measured figure). Removed with everything in it when the test ends.
#pragma once

#include "IFxTestBinding.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>

class ThdTestFolder : public ::testing::Test
{
protected:
  void SetUp() override
  {
    static int counter = 0;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info ? info->test_suite_name() : "t") + "_" + (info ? info->name() : "t");
    for (char& c : name)
      if (!std::isalnum((unsigned char)c)) c = '_';
    const auto dir = std::filesystem::temp_directory_path() /
                     ("vx_meter_" + name + "_" + std::to_string((long long)::testing::UnitTest::GetInstance()->random_seed()) +
                      "_" + std::to_string(++counter));
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    std::filesystem::create_directories(dir);
    mFolder = dir.string();
  }
  void TearDown() override
  {
    std::error_code ec;
    std::filesystem::remove_all(mFolder, ec);
  }
  // What a meter of the test is constructed with: the private folder as its documents folder.
  IFxInstanceInfo Info() const
  {
    IFxInstanceInfo info;
    info.mDocumentsFolder = mFolder.c_str();
    return info;
  }
  std::string mFolder;
};
