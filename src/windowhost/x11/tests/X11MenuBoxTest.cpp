// The X11 window host's modal parts and services: popup menus (keyboard and pointer choice,
// sub-menus, Escape and a press outside cancel), message boxes (buttons by type, Return and
// Escape, the replaceable function), and web addresses handed to the system's opener without a
// shell. A tester thread with a connection of its own works the modal windows as a user would.
#include "X11EditorTestSupport.h"

#include "IParam.h"
#include "IUserNotice.h"
#include "X11MessageBox.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace
{
constexpr uint32_t kReturn = 0xff0d, kEscape = 0xff1b, kDown = 0xff54, kRight = 0xff53;
}

TEST_F(X11EditorTest, AnEnumerationPromptsWithAMenuChosenByKeyboardOrPointer)
{
  Open();
  IRECT r(20, 20, 120, 60);
  // Keyboard: Down twice from nothing highlighted is the second item, Return chooses.
  WhileModal([](X11TestDisplay& t, xcb_window_t) {
    t.Key(kDown);
    t.Key(kDown);
    t.Key(kReturn);
  });
  mGUI->PromptUserInput(mProbe, mPlug->GetParam(kTestParamMode), &r);
  JoinModal();
  EXPECT_EQ(mProbe->mUserInputs, 1);
  EXPECT_NEAR(mProbe->mLastUserInput, 0.5, 1e-9) << "Square";

  // Pointer: the third item, under the menu's top-left corner (at the area's bottom left).
  WhileModal([](X11TestDisplay& t, xcb_window_t menu) {
    int h = 0;
    t.Geometry(menu, nullptr, nullptr, nullptr, &h);
    t.MoveTo(menu, 30, h - 10);
    t.ButtonDown(1);
    t.ButtonUp(1);
  });
  mGUI->PromptUserInput(mProbe, mPlug->GetParam(kTestParamMode), &r);
  JoinModal();
  EXPECT_EQ(mProbe->mUserInputs, 2);
  EXPECT_NEAR(mProbe->mLastUserInput, 1.0, 1e-9) << "Saw";
  EXPECT_EQ(mDisplay.MappedTopLevels().size(), 1u) << "only the host's window is left";
}

TEST_F(X11EditorTest, EscapeOrAPressOutsideCancelsAMenuAndSubMenusAreReached)
{
  Open();
  IPopupMenu menu;
  menu.AddItem("One");
  menu.AddSeparator();
  IPopupMenu* sub = new IPopupMenu;
  sub->AddItem("Inner A");
  sub->AddItem("Inner B");
  menu.AddItem("More", sub);
  IRECT r(20, 20, 120, 60);

  WhileModal([](X11TestDisplay& t, xcb_window_t) { t.Key(kEscape); });
  EXPECT_EQ(mGUI->CreateIPopupMenu(&menu, &r), nullptr);
  JoinModal();

  WhileModal([this](X11TestDisplay& t, xcb_window_t) { t.Click(mParent, 240, 300); });
  EXPECT_EQ(mGUI->CreateIPopupMenu(&menu, &r), nullptr);
  JoinModal();

  // Down to "One", Down past the separator to "More", Right into it, Down, Down, Return.
  WhileModal([](X11TestDisplay& t, xcb_window_t) {
    for (uint32_t k : {kDown, kDown, kRight, kDown, kReturn}) t.Key(k);
  });
  IPopupMenu* chosen = mGUI->CreateIPopupMenu(&menu, &r);
  JoinModal();
  EXPECT_EQ(chosen, sub);
  EXPECT_EQ(sub->GetChosenItemIdx(), 1);
  EXPECT_EQ(mDisplay.MappedTopLevels().size(), 1u);
}

TEST_F(X11EditorTest, MessageBoxesAnswerWithTheButtonOfTheirType)
{
  Open();
  std::string caption;
  WhileModal([&caption](X11TestDisplay& t, xcb_window_t box) {
    caption = t.Name(box);
    t.Key(kReturn);
  });
  EXPECT_EQ(mGUI->ShowMessageBox("The calibration file could not be read.", "Info", kMB_OK | kMB_ICONINFORMATION), kIDOK);
  JoinModal();
  EXPECT_EQ(caption, "Info");

  // Yes and No: the second button clicked.
  WhileModal([](X11TestDisplay& t, xcb_window_t box) {
    int w = 0, h = 0;
    t.Geometry(box, nullptr, nullptr, &w, &h);
    t.Click(box, w - 16 - 40, h - 12 - 13);
  });
  EXPECT_EQ(mGUI->ShowMessageBox("Open the web page?", "Help", kMB_YESNO), kIDNO);
  JoinModal();

  WhileModal([](X11TestDisplay& t, xcb_window_t) { t.Key(kEscape); });
  EXPECT_EQ(mGUI->ShowMessageBox("Go on?", "Question", kMB_OKCANCEL), kIDCANCEL);
  JoinModal();
  EXPECT_EQ(mDisplay.MappedTopLevels().size(), 1u);

  // The framework's notices show as the same box while an editor is open.
  WhileModal([&caption](X11TestDisplay& t, xcb_window_t box) {
    caption = t.Name(box);
    t.Key(kReturn);
  });
  ShowUserNotice("Something went wrong.", "Error", kNoticeError);
  JoinModal();
  EXPECT_EQ(caption, "Error");
}

TEST(X11MessageBox, ButtonsAndEscapeFollowTheWin32Types)
{
  int results[3] = {};
  EXPECT_EQ(X11MessageBox::ButtonsOf(kMB_OK, results), 1);
  EXPECT_EQ(results[0], kIDOK);
  EXPECT_EQ(X11MessageBox::ButtonsOf(kMB_YESNOCANCEL | kMB_ICONERROR, results), 3);
  EXPECT_EQ(results[0], kIDYES);
  EXPECT_EQ(results[1], kIDNO);
  EXPECT_EQ(results[2], kIDCANCEL);
  EXPECT_EQ(X11MessageBox::EscapeResult(kMB_OK), kIDOK);
  EXPECT_EQ(X11MessageBox::EscapeResult(kMB_OKCANCEL), kIDCANCEL);
  EXPECT_EQ(X11MessageBox::EscapeResult(kMB_YESNO), 0) << "Yes or No must be chosen";
}

namespace
{
int sBoxes = 0;
std::string sBoxText;
int RecordBox(void*, const char* text, const char*, int)
{
  ++sBoxes;
  sBoxText = text ? text : "";
  return kIDNO;
}
}  // namespace

TEST_F(X11EditorTest, WebAddressesGoToTheOpenerAsOneArgumentWithoutAShell)
{
  Open();
  // An xdg-open of the test's own, first on the path: it writes what it was given.
  char dir[] = "/tmp/vx-x11-open-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string opener = std::string(dir) + "/xdg-open", record = std::string(dir) + "/args";
  {
    std::ofstream script(opener);
    script << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > '" << record << "'\n";
  }
  chmod(opener.c_str(), 0755);
  const char* path = std::getenv("PATH");
  const std::string savedPath = path ? path : "";
  setenv("PATH", (std::string(dir) + ":" + savedPath).c_str(), 1);

  const std::string url = "https://example.com/help?a=1&b=$(touch " + std::string(dir) + "/pwned)";
  EXPECT_TRUE(mGUI->OpenURL(url.c_str()));
  for (int i = 0; i < 100 && access(record.c_str(), F_OK) != 0; ++i) Pump(20);
  Pump(50);
  std::ifstream in(record);
  std::stringstream got;
  got << in.rdbuf();
  EXPECT_EQ(got.str(), "1\n" + url + "\n");
  EXPECT_NE(access((std::string(dir) + "/pwned").c_str(), F_OK), 0) << "no shell saw the address";

  // A confirmation answered No (through the replaceable message box function) opens nothing.
  unlink(record.c_str());
  IMessageBoxFunc previous = SetUserMessageBoxFunc(RecordBox);
  EXPECT_FALSE(mGUI->OpenURL(url.c_str(), "Help", "Open the help page?"));
  EXPECT_EQ(sBoxes, 1);
  EXPECT_EQ(sBoxText, "Open the help page?");
  // An address the opener would read as an option is refused, and the error text says so.
  EXPECT_FALSE(mGUI->OpenURL("--help", "Help", nullptr, "The help page could not be opened."));
  SetUserMessageBoxFunc(previous);
  EXPECT_EQ(sBoxes, 2);
  EXPECT_EQ(sBoxText, "The help page could not be opened.");
  Pump(100);
  EXPECT_NE(access(record.c_str(), F_OK), 0);

  setenv("PATH", savedPath.c_str(), 1);
  unlink(opener.c_str());
  unlink(record.c_str());
  rmdir(dir);
}
