// The headless window host: open state and ticks, the screen image and its PNG, message boxes
// and notices, URLs, paths and image files.
#include "EditorTestSupport.h"

#include "IUserNotice.h"
#include "Raster_Bitmap.h"
#include "Raster_Fill.h"
#include "Raster_PNG.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace
{
std::string TempPath(const char* leaf)
{
  std::error_code ec;
  std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
  if (ec) dir = ".";
  const unsigned tag = std::random_device{}();
  return (dir / ("vx_editor_" + std::to_string(tag) + "_" + leaf)).string();
}

TEST(Headless, TicksOnlyWhileOpenAndKeepsTheScreen)
{
  EditorFixture f(251, 310);
  f.gui->AttachBackground(kImgBackground, "background.png");
  f.plug->AttachGraphics(f.gui);
  EXPECT_EQ(f.gui->GetWindow(), nullptr);
  EXPECT_FALSE(f.gui->Tick());
  EXPECT_NE(f.gui->OpenWindow(nullptr), nullptr);
  EXPECT_TRUE(f.gui->WindowIsOpen());
  EXPECT_TRUE(f.gui->Tick());
  EXPECT_EQ(f.gui->GetLastScreenRECT(), IRECT(0, 0, 251, 310));
  EXPECT_FALSE(f.gui->Tick());  // idle
  EXPECT_EQ(Raster_GetPixel(f.gui->GetScreen(), 200, 100), Raster_MakePixel(255, 200, 100, 128));
  f.gui->CloseWindow();
  EXPECT_FALSE(f.gui->WindowIsOpen());
  EXPECT_STREQ(f.gui->GetGUIAPI(), "headless");
}

TEST(Headless, SnapshotRoundTripsThroughPNG)
{
  EditorFixture f(251, 310);
  f.gui->AttachBackground(kImgBackground, "background.png");
  f.AttachAndOpen();
  f.Settle();
  const std::string path = TempPath("snap.png");
  ASSERT_TRUE(f.gui->WriteScreenPNG(path.c_str()));
  Raster_IBitmap* back = Raster_LoadPNG(path.c_str());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->getWidth(), 251);
  EXPECT_EQ(back->getHeight(), 310);
  for (int y = 0; y < 310; y += 7)
    for (int x = 0; x < 251; x += 5) ASSERT_EQ(Raster_GetPixel(back, x, y), Raster_GetPixel(f.gui->GetScreen(), x, y));
  delete back;
  remove(path.c_str());
  EXPECT_FALSE(f.gui->WriteScreenPNG("/nonexistent-dir/x.png"));
}

TEST(Headless, MessageBoxesAndNoticesAreRecorded)
{
  EditorFixture f;
  f.gui->SetMessageBoxAnswer(kIDNO);
  EXPECT_EQ(f.gui->ShowMessageBox("Really?", "Question", kMB_YESNO), kIDNO);
  ASSERT_EQ(f.gui->NMessageBoxes(), 1);
  EXPECT_STREQ(f.gui->GetMessageBox(0)->text.Get(), "Really?");
  EXPECT_STREQ(f.gui->GetMessageBox(0)->caption.Get(), "Question");

  IGraphicsHeadless::ClearRecordedNotices();
  IGraphicsHeadless::RecordNotices();
  ShowUserNotice("Calibration file read", "Info", kNoticeInfo);
  ShowUserNotice("No such file", "Error", kNoticeError);
  IGraphicsHeadless::RestoreNotices();
  ASSERT_EQ(IGraphicsHeadless::NRecordedNotices(), 2);
  Util_String text;
  int kind = -1;
  ASSERT_TRUE(IGraphicsHeadless::GetRecordedNotice(1, &text, &kind));
  EXPECT_STREQ(text.Get(), "Error: No such file");
  EXPECT_EQ(kind, kNoticeError);
  EXPECT_FALSE(IGraphicsHeadless::GetRecordedNotice(2, &text));
  IGraphicsHeadless::ClearRecordedNotices();
}

TEST(Headless, URLsAreRecordedAndFailuresReported)
{
  EditorFixture f;
  EXPECT_TRUE(f.gui->OpenURL("https://example.com/help"));
  ASSERT_EQ(f.gui->NOpenedURLs(), 1);
  EXPECT_STREQ(f.gui->GetOpenedURL(0), "https://example.com/help");

  // The link control tries its second address when the first fails.
  f.gui->SetOpenURLResult(false);
  IURLControl* link = new IURLControl(f.plug, IRECT(0, 0, 10, 10), "https://a.example", "https://b.example", "No browser");
  f.gui->AttachControl(link);
  f.AttachAndOpen();
  f.gui->Click(5, 5);
  ASSERT_EQ(f.gui->NOpenedURLs(), 3);
  EXPECT_STREQ(f.gui->GetOpenedURL(2), "https://b.example");
  ASSERT_EQ(f.gui->NMessageBoxes(), 1);
  EXPECT_STREQ(f.gui->GetMessageBox(0)->text.Get(), "No browser");

  // A confirmation refused opens nothing.
  f.gui->SetMessageBoxAnswer(kIDNO);
  EXPECT_FALSE(f.gui->OpenURL("https://c.example", "Help", "Open the help page?"));
  EXPECT_EQ(f.gui->NOpenedURLs(), 3);
}

#ifndef _WIN32
TEST(Headless, PathsFollowTheXdgDirectories)
{
  EditorFixture f;
  Util_String path;
  const char* oldHome = getenv("HOME");
  const std::string savedHome = oldHome ? oldHome : "";
  setenv("XDG_DATA_HOME", "/srv/data", 1);
  f.gui->AppSupportPath(&path);
  EXPECT_STREQ(path.Get(), "/srv/data");
  unsetenv("XDG_DATA_HOME");
  setenv("HOME", "/home/tester", 1);
  setenv("XDG_CONFIG_HOME", "/nonexistent", 1);
  f.gui->AppSupportPath(&path);
  EXPECT_STREQ(path.Get(), "/home/tester/.local/share");
  f.gui->DesktopPath(&path);
  EXPECT_STREQ(path.Get(), "/home/tester/Desktop");
  setenv("XDG_DATA_HOME", "relative/ignored", 1);
  f.gui->SandboxSafeAppSupportPath(&path);
  EXPECT_STREQ(path.Get(), "/home/tester/.local/share");
  unsetenv("XDG_DATA_HOME");
  unsetenv("XDG_CONFIG_HOME");
  if (oldHome)
    setenv("HOME", savedHome.c_str(), 1);
  else
    unsetenv("HOME");

  f.gui->HostPath(&path);
  EXPECT_EQ(path.Get()[0], '/');
  f.gui->PluginPath(&path);
  EXPECT_EQ(path.Get()[0], '/');
}
#endif

TEST(Headless, ImagesFromFilesBesideTheModuleOrAChosenFolder)
{
  EditorFixture f;
  const std::string dir = TempPath("img");
  ASSERT_TRUE(std::filesystem::create_directories(dir));
  Raster_IBitmap* bm = MakeFramesBitmap(6, 4, 1, false);
  const std::vector<unsigned char> png = EncodePNG(bm);
  delete bm;
  {
    std::ofstream out(dir + "/dot.png", std::ios::binary);
    out.write((const char*)png.data(), (std::streamsize)png.size());
  }
  f.gui->SetImageDir(dir.c_str());
  Raster_IBitmap* loaded = f.gui->OSLoadBitmap(9001, "dot.png");
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->getWidth(), 6);
  EXPECT_EQ(Raster_GetPixel(loaded, 2, 2), FrameColor(0));
  delete loaded;
  // Names are relative, without ".." steps: nothing outside the image folders is reached.
  const std::string leaf = std::filesystem::path(dir).filename().string();
  EXPECT_EQ(f.gui->OSLoadBitmap(9002, ("../" + leaf + "/dot.png").c_str()), nullptr);
  std::filesystem::create_directories(dir + "/sub");
  std::filesystem::copy_file(dir + "/dot.png", dir + "/sub/dot.png");
  Raster_IBitmap* nested = f.gui->OSLoadBitmap(9005, "sub/dot.png");
  EXPECT_NE(nested, nullptr);
  delete nested;
  EXPECT_EQ(f.gui->OSLoadBitmap(9003, "/etc/passwd"), nullptr);
  EXPECT_EQ(f.gui->OSLoadBitmap(9004, "missing.png"), nullptr);
  std::filesystem::remove_all(dir);
}

TEST(Headless, PromptsAnsweredByTheCaller)
{
  EditorFixture f;
  Util_String file("old");
  f.gui->SetNextFileChoice("/tmp/a.cal");
  f.gui->PromptForFile(&file);
  EXPECT_STREQ(file.Get(), "/tmp/a.cal");
  f.gui->PromptForFile(&file);
  EXPECT_STREQ(file.Get(), "");  // cancelled
  IColor c;
  EXPECT_FALSE(f.gui->PromptForColor(&c));
  f.gui->SetNextColorChoice(&COLOR_ORANGE);
  EXPECT_TRUE(f.gui->PromptForColor(&c));
  EXPECT_EQ(c, COLOR_ORANGE);
  f.gui->SetClipboardText("12.5");
  Util_String clip;
  EXPECT_TRUE(f.gui->GetTextFromClipboard(&clip));
  EXPECT_STREQ(clip.Get(), "12.5");
}
}  // namespace

#include "Raster_SnapshotCompare.h"

namespace
{
// Draws a results-like text editor and returns its screen written to and read back from PNG.
Raster_IBitmap* SnapshotOf(const char* text, const IColor& background = COLOR_WHITE)
{
  EditorFixture f(251, 120);
  f.gui->AttachPanelBackground(&background);
  IText style(13, &COLOR_BLACK, "DejaVu Sans", IText::kStyleBold, IText::kAlignNear);
  f.gui->AttachControl(new ITextControl(f.plug, IRECT(10, 10, 240, 110), &style, text));
  f.AttachAndOpen();
  f.Settle();
  const std::string path = TempPath("text.png");
  if (!f.gui->WriteScreenPNG(path.c_str())) return nullptr;
  Raster_IBitmap* image = Raster_LoadPNG(path.c_str());
  remove(path.c_str());
  return image;
}

// Editor snapshots are compared strictly: the same drawing matches (exactly, drawn twice by one
// build), a lost "%" does not, nor a background 8 levels darker (within the tolerance that
// anti-aliased edges get, but where the picture is smooth every pixel is determined).
TEST(Headless, SnapshotsComparedStrictly)
{
  Raster_IBitmap* golden = SnapshotOf("THD=0.00123 %\nHarmonic2=0.0001");
  Raster_IBitmap* same = SnapshotOf("THD=0.00123 %\nHarmonic2=0.0001");
  Raster_IBitmap* lost = SnapshotOf("THD=0.00123 \nHarmonic2=0.0001");
  const IColor darker(255, 247, 247, 247);
  Raster_IBitmap* shifted = SnapshotOf("THD=0.00123 %\nHarmonic2=0.0001", darker);
  ASSERT_TRUE(golden && same && lost && shifted);
  const Raster_SnapshotReport ok = Raster_CompareSnapshot(same, golden);
  EXPECT_TRUE(ok.match) << ok.reason;
  EXPECT_EQ(ok.expectedLines, 2);
  const Raster_SnapshotReport exact = Raster_CompareSnapshot(same, golden, Raster_ExactSnapshotOptions());
  EXPECT_TRUE(exact.match) << exact.reason;
  const Raster_SnapshotReport bad = Raster_CompareSnapshot(lost, golden);
  EXPECT_FALSE(bad.match);
  const Raster_SnapshotReport dark = Raster_CompareSnapshot(shifted, golden);
  EXPECT_FALSE(dark.match);
  EXPECT_GT(dark.smoothDiffering, 251 * 100) << dark.reason;
  delete golden;
  delete same;
  delete lost;
  delete shifted;
}
}  // namespace
