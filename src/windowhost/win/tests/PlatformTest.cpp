// Platform services: message boxes owned by the host's window and never blocking in tests,
// images from the module's PNG resources, folders, the clipboard, resizing, closed-window dialogs.
#include "WinTestEditor.h"

#include "IUserNotice.h"
#include "Raster_Bitmap.h"
#include "Raster_PNG.h"

#include <cstring>
#include <memory>

TEST_F(WinEditorTest, MessageBoxesAreOwnedByTheHostsMainWindowAndAnswerThroughTheReplaceableFunction)
{
  ASSERT_NE(Open(), nullptr);
  sBoxAnswer = IDNO;
  EXPECT_EQ(mGUI->ShowMessageBox("Really?", "Question", MB_YESNO), IDNO);
  EXPECT_EQ(sMessageBoxes, 1);
  EXPECT_STREQ(sLastBoxText.Get(), "Really?");
  EXPECT_STREQ(sLastBoxCaption.Get(), "Question");
  EXPECT_EQ(sLastBoxType, MB_YESNO);
  EXPECT_EQ(sLastBoxOwner, (void*)mParent);

  // Once the window is closed, the remembered class name finds the host's window again.
  mGUI->CloseWindow();
  EXPECT_EQ(mGUI->ShowMessageBox("Again", "Info", MB_OK), IDNO);
  EXPECT_EQ(sLastBoxOwner, (void*)mParent);

  // The framework's notices take the same way: nothing blocks under test.
  ShowUserNotice("Error_005 Can't open calibration file.", "Info", kNoticeInfo);
  EXPECT_EQ(sMessageBoxes, 3);
  EXPECT_STREQ(sLastBoxText.Get(), "Error_005 Can't open calibration file.");
  EXPECT_EQ(sLastBoxOwner, nullptr);
  EXPECT_EQ(sLastBoxType, MB_OK | MB_ICONINFORMATION);
}

TEST_F(WinEditorTest, OpenURLAsksFirstAndStopsOnNo)
{
  ASSERT_NE(Open(), nullptr);
  sBoxAnswer = IDNO;
  EXPECT_FALSE(mGUI->OpenURL("https://veldramix.com/help", "Help", "Open the help page?", "Not reachable"));
  EXPECT_EQ(sMessageBoxes, 1);
  EXPECT_STREQ(sLastBoxCaption.Get(), "Help");
  EXPECT_EQ(sLastBoxType, MB_YESNO);
  EXPECT_FALSE(mGUI->OpenURL("", "Help", nullptr, "Not reachable"));
}

TEST_F(WinEditorTest, ImagesComeFromTheModulesPngResources)
{
  std::unique_ptr<Raster_IBitmap> bmp(mGUI->OSLoadBitmap(201, "resources/img/test.png"));
  ASSERT_TRUE(bmp);
  EXPECT_EQ(bmp->getWidth(), 4);
  EXPECT_EQ(bmp->getHeight(), 3);
  // (R 1, G 2, B 3, A 4) in the image's first pixel.
  EXPECT_EQ(bmp->getBits()[0], 0x04010203u);
  EXPECT_EQ(bmp->getBits()[1], 0xFF3C00C8u);

  // The extension is checked in any case; other names, missing ids and short resources fail.
  std::unique_ptr<Raster_IBitmap> upper(mGUI->OSLoadBitmap(201, "TEST.PNG"));
  EXPECT_TRUE(upper);
  EXPECT_EQ(mGUI->OSLoadBitmap(201, "test.bmp"), nullptr);
  EXPECT_EQ(mGUI->OSLoadBitmap(201, "png"), nullptr);
  EXPECT_EQ(mGUI->OSLoadBitmap(201, nullptr), nullptr);
  EXPECT_EQ(mGUI->OSLoadBitmap(299, "missing.png"), nullptr);
  EXPECT_EQ(mGUI->OSLoadBitmap(202, "short.png"), nullptr);
  // Only the low 16 bits of the id name the resource.
  std::unique_ptr<Raster_IBitmap> wrapped(mGUI->OSLoadBitmap(0x10000 + 201, "test.png"));
  EXPECT_TRUE(wrapped);

  // Through the editor's image cache.
  IBitmap cached = mGUI->LoadIBitmap(201, "resources/img/test.png");
  EXPECT_EQ(cached.W, 4);
  EXPECT_EQ(cached.H, 3);
}

TEST(WinResources, PngResourcesLoadIntoACallersBitmapOrNotAtAll)
{
  HMODULE self = GetModuleHandleA(nullptr);
  Raster_MemBitmap target(1, 1, 4);
  EXPECT_EQ(Raster_LoadPNGFromResource(self, MAKEINTRESOURCEA(201), &target), &target);
  EXPECT_EQ(target.getWidth(), 4);
  EXPECT_EQ(target.getHeight(), 3);
  Raster_MemBitmap untouched(2, 2, 4);
  EXPECT_EQ(Raster_LoadPNGFromResource(self, MAKEINTRESOURCEA(202), &untouched), nullptr);
  EXPECT_EQ(untouched.getWidth(), 2);
  EXPECT_EQ(Raster_LoadPNGFromResource(self, "NOSUCH", nullptr), nullptr);
  EXPECT_EQ(Raster_LoadPNGFromNamedResource("background.png"), nullptr);
}

TEST_F(WinEditorTest, FoldersEndWhereTheirModulesLie)
{
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  *(strrchr(exe, '\\') + 1) = 0;
  Util_String path;
  mGUI->HostPath(&path);
  EXPECT_STREQ(path.Get(), exe);
  // The test program is the module here.
  mGUI->PluginPath(&path);
  EXPECT_STREQ(path.Get(), exe);
  mGUI->DesktopPath(&path);
  EXPECT_GT(path.GetLength(), 3);
  Util_String local, common;
  mGUI->AppSupportPath(&local, false);
  mGUI->AppSupportPath(&common, true);
  EXPECT_GT(local.GetLength(), 3);
  EXPECT_GT(common.GetLength(), 3);
  EXPECT_STRNE(local.Get(), common.Get());
  mGUI->SandboxSafeAppSupportPath(&path);
  EXPECT_STREQ(path.Get(), local.Get());
}

namespace
{
bool PutOnClipboard(HWND owner, const wchar_t* text)
{
  if (!OpenClipboard(owner)) return false;
  EmptyClipboard();
  const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes);
  memcpy(GlobalLock(mem), text, bytes);
  GlobalUnlock(mem);
  const bool ok = SetClipboardData(CF_UNICODETEXT, mem) != nullptr;
  CloseClipboard();
  return ok;
}
}  // namespace

TEST_F(WinEditorTest, ClipboardTextArrivesAsUtf8)
{
  ASSERT_NE(Open(), nullptr);
  ASSERT_TRUE(PutOnClipboard(mParent, L"1 k\u00e9 \u20ac"));
  Util_String text("old");
  ASSERT_TRUE(mGUI->GetTextFromClipboard(&text));
  EXPECT_STREQ(text.Get(), "1 k\xC3\xA9 \xE2\x82\xAC");

  ASSERT_TRUE(OpenClipboard(mParent));
  EmptyClipboard();
  CloseClipboard();
  EXPECT_FALSE(mGUI->GetTextFromClipboard(&text));
  EXPECT_STREQ(text.Get(), "");
}

TEST_F(WinEditorTest, ResizeGrowsTheWindowAndItsParentByTheDifference)
{
  // The parent here is a top-level window: only the editor window changes size.
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  HWND child = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 300, 350, mParent, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(child, nullptr);
  mGUI->CloseWindow();
  wnd = (HWND)mGUI->OpenWindow(child);
  ASSERT_NE(wnd, nullptr);
  RECT before;
  GetWindowRect(child, &before);
  mGUI->Resize(kW + 20, kH - 10);
  EXPECT_EQ(mGUI->Width(), kW + 20);
  EXPECT_EQ(mPlug->mResizeW, kW + 20);
  EXPECT_EQ(mPlug->mResizeH, kH - 10);
  RECT r;
  GetClientRect(wnd, &r);
  EXPECT_EQ(r.right, kW + 20);
  EXPECT_EQ(r.bottom, kH - 10);
  RECT after;
  GetWindowRect(child, &after);
  EXPECT_EQ(after.right - after.left, before.right - before.left + 20);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top - 10);
  mGUI->CloseWindow();
  DestroyWindow(child);
}

TEST_F(WinEditorTest, DialogsNeedAnOpenWindow)
{
  Util_String file("preset.fxp"), dir("C:\\");
  mGUI->PromptForFile(&file, kFileOpen, &dir, "fxp fxb");
  EXPECT_STREQ(file.Get(), "");
  IColor c(255, 1, 2, 3);
  EXPECT_FALSE(mGUI->PromptForColor(&c, "Colour"));
  EXPECT_EQ(c, IColor(255, 1, 2, 3));
}

TEST_F(WinEditorTest, HidingTheCursorRemembersWhereItWas)
{
  ASSERT_NE(Open(), nullptr);
  SetCursorPos(100, 120);
  mGUI->HideMouseCursor();
  mGUI->HideMouseCursor();  // once only
  SetCursorPos(300, 300);
  mGUI->ShowMouseCursor();
  POINT p;
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 100);
  EXPECT_EQ(p.y, 120);
}
