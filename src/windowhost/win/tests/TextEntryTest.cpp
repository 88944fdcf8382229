// The text entry: an EDIT child over the control, typed into with posted characters; Return
// commits and Escape cancels on the next timer tick; parameters filter what may be typed.
#include "WinTestEditor.h"

#include "IParam.h"

#include <cstring>

namespace
{
void Type(HWND entry, const char* text)
{
  for (const char* c = text; *c; ++c) PostMessageA(entry, WM_CHAR, (WPARAM)(unsigned char)*c, 1);
}

void Press(HWND entry, WPARAM vk)
{
  PostMessageA(entry, WM_KEYDOWN, vk, 1);
}

Util_String EntryText(HWND entry)
{
  char buf[64] = {};
  GetWindowTextA(entry, buf, sizeof buf);
  return Util_String(buf);
}
}  // namespace

class WinTextEntryTest : public WinEditorTest
{
protected:
  HWND OpenEntry(const char* initial, IParam* param = nullptr)
  {
    IText style(14, &COLOR_BLACK, "Arial", IText::kStyleBold, IText::kAlignNear);
    mGUI->CreateTextEntry(mEntry, &style, mEntry->GetRECT(), initial, param);
    return mGUI->GetTextEntryWindow();
  }
  bool EntryClosed()
  {
    return PumpUntil([this] { return mGUI->GetTextEntryWindow() == nullptr; });
  }
};

TEST_F(WinTextEntryTest, ReturnCommitsTheTypedTextToTheControl)
{
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  HWND entry = OpenEntry("300");
  ASSERT_NE(entry, nullptr);
  char cls[16] = {};
  GetClassNameA(entry, cls, sizeof cls);
  EXPECT_STRCASEEQ(cls, "EDIT");
  EXPECT_EQ(GetParent(entry), wnd);
  EXPECT_EQ(GetDlgCtrlID(entry), 99);
  EXPECT_EQ(GetFocus(), entry);
  EXPECT_TRUE(GetWindowLongA(entry, GWL_STYLE) & ES_MULTILINE);
  RECT r;
  GetWindowRect(entry, &r);
  EXPECT_EQ(r.right - r.left, 101);
  EXPECT_EQ(r.bottom - r.top, 21);
  // The whole initial text is selected, so typing replaces it; the control's length limits it.
  DWORD from = 1, to = 0;
  SendMessageA(entry, EM_GETSEL, (WPARAM)&from, (LPARAM)&to);
  EXPECT_EQ(from, 0u);
  EXPECT_EQ(to, 3u);
  EXPECT_EQ(SendMessageA(entry, EM_GETLIMITTEXT, 0, 0), 7);

  Type(entry, "1250");
  ASSERT_TRUE(PumpUntil([&] { return !strcmp(EntryText(entry).Get(), "1250"); }));
  // As a keyboard delivers it: the key, then the character the message loop makes of it.
  Press(entry, VK_RETURN);
  PostMessageA(entry, WM_CHAR, '\r', 1);
  PostMessageA(entry, WM_CHAR, '\n', 1);
  ASSERT_TRUE(EntryClosed());
  EXPECT_FALSE(IsWindow(entry));
  EXPECT_EQ(mEntry->mTextEntries, 1);
  EXPECT_STREQ(mEntry->mLastText.Get(), "1250");
  EXPECT_EQ(mGUI->GetEditState(), IGraphicsWin::kNone);
}

TEST_F(WinTextEntryTest, EscapeCancelsAndTheWheelCancels)
{
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  HWND entry = OpenEntry("300");
  ASSERT_NE(entry, nullptr);
  Type(entry, "99");
  Press(entry, VK_ESCAPE);
  ASSERT_TRUE(EntryClosed());
  EXPECT_EQ(mEntry->mTextEntries, 0);

  // Windows sends the wheel to the window with the focus, which is the entry, wherever the
  // pointer is (here over the background).
  entry = OpenEntry("300");
  ASSERT_NE(entry, nullptr);
  PumpUntil([&] { return GetFocus() == entry; });
  ASSERT_EQ(GetFocus(), entry);
  RECT r;
  GetWindowRect(wnd, &r);
  PostMessageA(GetFocus(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(r.left + 200, r.top + 250));
  ASSERT_TRUE(EntryClosed());
  EXPECT_EQ(mEntry->mTextEntries, 0);
  EXPECT_EQ(mBackground->mWheels, 0) << "the wheel only ended the entry";
}

TEST_F(WinTextEntryTest, AClickElsewhereInTheEditorCommits)
{
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  HWND entry = OpenEntry("440");
  ASSERT_NE(entry, nullptr);
  PostMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 250));
  PostMessageA(wnd, WM_LBUTTONUP, 0, MAKELPARAM(200, 250));
  ASSERT_TRUE(EntryClosed());
  EXPECT_STREQ(mEntry->mLastText.Get(), "440");
  EXPECT_EQ(mBackground->mDowns, 0) << "the click only ended the entry";
  EXPECT_EQ(mBackground->mUps, 0) << "its release belongs to no press";
}

// A click on a parameter's control that only commits the entry begins no gesture, so its
// release ends none; the next click on it begins and ends one.
TEST_F(WinTextEntryTest, TheReleaseOfAClickThatCommittedTheEntryEndsNoGesture)
{
  ProbeControl* gain = new ProbeControl(mPlug, IRECT(140, 20, 230, 60), IColor(255, 90, 90, 200), kTestParamGain);
  mGUI->AttachControl(gain);
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  ASSERT_NE(OpenEntry("440"), nullptr);
  PostMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 30));
  PostMessageA(wnd, WM_LBUTTONUP, 0, MAKELPARAM(150, 30));
  ASSERT_TRUE(EntryClosed());
  Pump(50);
  EXPECT_EQ(gain->mUps, 0);
  EXPECT_EQ(mPlug->mBeginEdits, 0);
  EXPECT_EQ(mPlug->mEndEdits, 0);

  PostMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 30));
  PostMessageA(wnd, WM_LBUTTONUP, 0, MAKELPARAM(150, 30));
  ASSERT_TRUE(PumpUntil([&] { return gain->mUps == 1; }));
  EXPECT_EQ(mPlug->mBeginEdits, 1);
  EXPECT_EQ(mPlug->mEndEdits, 1);
}

TEST_F(WinTextEntryTest, TheDisplayKeepsDrawingAroundAnOpenEntry)
{
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  HWND entry = OpenEntry("1");
  ASSERT_NE(entry, nullptr);
  const int draws = mProbe->mDraws;
  mProbe->SetDirty(false);
  ASSERT_TRUE(PumpUntil([&] { return mProbe->mDraws > draws; }, 1000));
  EXPECT_TRUE(IsWindowVisible(entry));
  Press(entry, VK_ESCAPE);
  ASSERT_TRUE(EntryClosed());
}

TEST_F(WinTextEntryTest, ADoubleParameterTakesSignedDecimalsNormalisedOverItsRange)
{
  ASSERT_NE(Open(), nullptr);
  IParam* gain = mPlug->GetParam(kTestParamGain);
  HWND entry = OpenEntry("0", gain);
  ASSERT_NE(entry, nullptr);
  Type(entry, "x-12.5q");
  ASSERT_TRUE(PumpUntil([&] { return !strcmp(EntryText(entry).Get(), "-12.5"); }))
      << "letters are dropped: " << EntryText(entry).Get();
  Press(entry, VK_RETURN);
  ASSERT_TRUE(EntryClosed());
  ASSERT_EQ(mEntry->mUserInputs, 1);
  EXPECT_NEAR(mEntry->mLastUserInput, (-12.5 + 60.0) / 72.0, 1e-12);
  EXPECT_EQ(mEntry->mTextEntries, 0);
}

TEST_F(WinTextEntryTest, AnIntegerParameterRefusesThePointAndClampsToItsRange)
{
  ASSERT_NE(Open(), nullptr);
  HWND entry = OpenEntry("", mPlug->GetParam(kTestParamCount));
  ASSERT_NE(entry, nullptr);
  Type(entry, "3.5");
  ASSERT_TRUE(PumpUntil([&] { return !strcmp(EntryText(entry).Get(), "35"); })) << EntryText(entry).Get();
  Press(entry, VK_RETURN);
  ASSERT_TRUE(EntryClosed());
  ASSERT_EQ(mEntry->mUserInputs, 1);
  EXPECT_DOUBLE_EQ(mEntry->mLastUserInput, 1.0);
}

TEST(WinEntryValue, TextsBecomeNormalisedParameterValues)
{
  // A committed entry goes through the parameter's own display-text parser, as every host
  // and the other window hosts do: a name that is no choice changes nothing (it used to
  // pick the first choice), and so does a text that reads as no finite number.
  WinTestPlug plug;
  struct Case
  {
    int param;
    const char* text;
    bool ok;
    double value;
  } cases[] = {
      {kTestParamGain, "12", true, 1.0},          {kTestParamGain, "-60", true, 0.0},
      {kTestParamGain, "-100", true, 0.0},        {kTestParamGain, "abc", true, 60.0 / 72.0},
      {kTestParamGain, "1e9", true, 1.0},
      {kTestParamCount, "5", true, 0.5},          {kTestParamMode, "Square", true, 0.5},
      {kTestParamMode, "Saw", true, 1.0},         {kTestParamMode, "square", false, 0.0},
      {kTestParamMode, "7", false, 0.0},
  };
  for (const Case& c : cases)
  {
    const IParam* param = plug.GetParam(c.param);
    double v = -1.0;
    EXPECT_EQ(param->ParseDisplayText(c.text, &v), c.ok) << c.text;
    if (c.ok)
    {
      EXPECT_NEAR(param->GetNormalized(v), c.value, 1e-12) << c.text;
    }
  }
}
