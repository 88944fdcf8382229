// The X11 window host's one-line text entry: drawn in the editor window over the control, the
// whole text selected at first, the control's entry length and the parameter's characters,
// editing keys, and the Win32 entry's commit rules (Return commits and Escape cancels on the
// next tick, a click elsewhere or the keyboard leaving commits, the wheel cancels).
#include "X11EditorTestSupport.h"

#include "IParam.h"

namespace
{
constexpr uint32_t kReturn = 0xff0d, kEscape = 0xff1b, kBackSpace = 0xff08, kDelete = 0xffff;
constexpr uint32_t kLeft = 0xff51, kHome = 0xff50, kEnd = 0xff57;
}  // namespace

class X11EntryTest : public X11EditorTest
{
protected:
  // Opens an entry over the entry control; with a parameter it edits that one.
  void OpenEntry(const char* text, IParam* param = nullptr)
  {
    Open();
    Click(60, 110);  // the keyboard to the editor window
    IRECT r = *mEntry->GetRECT();
    mGUI->CreateTextEntry(mEntry, mEntry->GetText(), &r, text, param);
    Pump(60);
    ASSERT_TRUE(mGUI->HasTextEntry());
  }
  void Type(const char* text)
  {
    mDisplay.Type(text);
    Pump(60);
  }
  void Key(uint32_t keysym)
  {
    mDisplay.Key(keysym);
    Pump(60);
  }
};

TEST_F(X11EntryTest, TheTextStartsSelectedTypingReplacesItAndTheLengthIsLimited)
{
  OpenEntry("300");
  EXPECT_STREQ(mGUI->GetTextEntryText(), "300");
  EXPECT_GT(WindowDiffersFromBitmap(), 100) << "the entry is drawn over the control";
  Type("12345678");
  EXPECT_STREQ(mGUI->GetTextEntryText(), "1234567") << "seven characters, as the control allows";
  Key(kBackSpace);
  Key(kLeft);
  Key(kLeft);
  Key(kDelete);
  EXPECT_STREQ(mGUI->GetTextEntryText(), "12346");
  Key(kHome);
  Type("9");
  Key(kEnd);
  Type("0");
  EXPECT_STREQ(mGUI->GetTextEntryText(), "9123460");
  Key(kReturn);
  EXPECT_FALSE(mGUI->HasTextEntry());
  EXPECT_EQ(mEntry->mTextEntries, 1);
  EXPECT_STREQ(mEntry->mLastText.Get(), "9123460");
  EXPECT_EQ(WindowDiffersFromBitmap(), 0) << "the entry's pixels are gone";
}

TEST_F(X11EntryTest, EscapeCancelsAndSoDoesTheWheel)
{
  OpenEntry("abc");
  Type("x");
  Key(kEscape);
  EXPECT_FALSE(mGUI->HasTextEntry());
  EXPECT_EQ(mEntry->mTextEntries, 0);

  Pump(450);
  OpenEntry("abc");
  Type("y");
  mDisplay.Wheel(mGUI->GetWindowID(), 200, 200, true);
  Pump(100);
  EXPECT_FALSE(mGUI->HasTextEntry());
  EXPECT_EQ(mEntry->mTextEntries, 0);
  EXPECT_EQ(mBackground->mWheels, 0) << "the notch only cancels";
}

TEST_F(X11EntryTest, AClickElsewhereCommitsWithoutReachingAControlAndAClickInsideMovesTheCaret)
{
  OpenEntry("abcd");
  // Inside the entry: the caret goes to the click, nothing is committed.
  Click(21, 110);
  EXPECT_TRUE(mGUI->HasTextEntry());
  Type("Z");
  EXPECT_STREQ(mGUI->GetTextEntryText(), "Zabcd");
  const int downs = mProbe->mDowns, ups = mProbe->mUps;
  Click(50, 40);  // on the probe
  EXPECT_FALSE(mGUI->HasTextEntry());
  EXPECT_STREQ(mEntry->mLastText.Get(), "Zabcd");
  EXPECT_EQ(mProbe->mDowns, downs);
  EXPECT_EQ(mProbe->mUps, ups) << "no release without its press";
}

TEST_F(X11EntryTest, TheKeyboardGoingToAnotherWindowCommits)
{
  OpenEntry("42");
  Type("7");
  xcb_set_input_focus(mDisplay.Conn(), XCB_INPUT_FOCUS_POINTER_ROOT, mParent, XCB_CURRENT_TIME);
  mDisplay.Sync();
  Pump(100);
  EXPECT_FALSE(mGUI->HasTextEntry());
  EXPECT_STREQ(mEntry->mLastText.Get(), "7");
}

TEST_F(X11EntryTest, AParametersEntryTakesOnlyItsCharactersAndCommitsThroughTheParameter)
{
  // An integer takes signs and digits only.
  OpenEntry("0", mPlug->GetParam(kTestParamCount));
  Type("a.7b");
  EXPECT_STREQ(mGUI->GetTextEntryText(), "7");
  Key(kReturn);
  EXPECT_EQ(mEntry->mUserInputs, 1);
  EXPECT_NEAR(mEntry->mLastUserInput, 0.7, 1e-9);
  EXPECT_EQ(mEntry->mTextEntries, 0);

  // A double also takes the point.
  Pump(450);
  OpenEntry("0", mPlug->GetParam(kTestParamGain));
  Type("-6.5x");
  EXPECT_STREQ(mGUI->GetTextEntryText(), "-6.5");
  Key(kReturn);
  EXPECT_EQ(mEntry->mUserInputs, 2);
  EXPECT_NEAR(mEntry->mLastUserInput, (-6.5 + 60.0) / 72.0, 1e-9);
}
