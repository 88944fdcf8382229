// A private HOME per test, for tests of the built plug-in modules. A module loaded the way a
// host loads it finds its documents folder as any host process would, from HOME, so the test
// binding's documents-folder override cannot reach it; without this no such test could keep
// off the user's documents folder (or away from a calibration file of the user's that would
// change a measured figure). On Windows the shell decides the documents folder; the tests' own
// files go to a private temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

class ThdPrivateHome : public ::testing::Test
{
protected:
  void SetUp() override
  {
#ifndef _WIN32
    char tmpl[] = "/tmp/vx_meter_home_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    mHome = tmpl;
    const char* old = std::getenv("HOME");
    mOldHome = old ? old : "";
    setenv("HOME", mHome.c_str(), 1);
#else
    // Windows asks the shell for the documents folder; the tests' own files go to a
    // private temporary folder.
    static int counter = 0;
    const auto dir = std::filesystem::temp_directory_path() /
                     ("vx_meter_test_" + std::to_string((unsigned long long)::testing::UnitTest::GetInstance()->random_seed()) +
                      "_" + std::to_string(++counter));
    std::filesystem::create_directories(dir);
    mHome = dir.string();
#endif
  }
  void TearDown() override
  {
#ifndef _WIN32
    setenv("HOME", mOldHome.c_str(), 1);
    std::string cmd = "rm -rf '" + mHome + "'";
    (void)std::system(cmd.c_str());
#else
    std::error_code ec;
    std::filesystem::remove_all(mHome, ec);
#endif
  }
  std::string mHome, mOldHome;
};
