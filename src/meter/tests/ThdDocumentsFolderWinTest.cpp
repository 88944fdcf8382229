// The meter's documents folder on Windows: the known Documents folder converted to the
// multi-byte code page, or no folder at all when the path does not convert.
#include "IThdMeter.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

TEST(ThdDocumentsFolderWin, APathInTheCodePageGetsTheMetersSubFolder)
{
  char folder[1024] = "old";
  ASSERT_TRUE(IThdMeter::DocumentsFolderFromWide(L"C:\\users\\alma\\Documents", folder, (int)sizeof folder));
  EXPECT_STREQ(folder, "C:\\users\\alma\\Documents\\Veldramix THD Meter\\");
}

TEST(ThdDocumentsFolderWin, APathOutsideTheCodePageLeavesNoFolderAndCreatesNothing)
{
  // A user name in Chinese characters: no single-byte code page holds it.
  char folder[1024] = "old";
  EXPECT_FALSE(IThdMeter::DocumentsFolderFromWide(L"C:\\users\\\u674e\u660e\\Documents", folder, (int)sizeof folder));
  EXPECT_STREQ(folder, "");
  // What the folder used to become: the meter's name at the root of the current drive.
  EXPECT_EQ(GetFileAttributesA("\\Veldramix THD Meter"), INVALID_FILE_ATTRIBUTES);
}

TEST(ThdDocumentsFolderWin, EmptyOrOverlongPathsLeaveNoFolder)
{
  char folder[1024] = "old";
  EXPECT_FALSE(IThdMeter::DocumentsFolderFromWide(L"", folder, (int)sizeof folder));
  EXPECT_STREQ(folder, "");
  wchar_t longPath[1200];
  for (int i = 0; i < 1199; ++i) longPath[i] = L'a';
  longPath[1199] = 0;
  EXPECT_FALSE(IThdMeter::DocumentsFolderFromWide(longPath, folder, (int)sizeof folder));
  EXPECT_STREQ(folder, "");
  EXPECT_FALSE(IThdMeter::DocumentsFolderFromWide(L"C:\\x", nullptr, 0));
}
