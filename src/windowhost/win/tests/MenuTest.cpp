// Popup menus run by TrackPopupMenu, chosen with keys already waiting in the queue as a user's
// keystrokes would be, and the choice reaching a parameter through a caption control.
#include "WinTestEditor.h"

#include "IControls.h"
#include "IParam.h"

namespace
{
void QueueKeys(HWND wnd, std::initializer_list<WPARAM> keys)
{
  for (WPARAM k : keys)
  {
    PostMessageA(wnd, WM_KEYDOWN, k, 1);
    PostMessageA(wnd, WM_KEYUP, k, 0xC0000001);
  }
}
}  // namespace

TEST_F(WinEditorTest, AMenuItemChosenWithTheKeyboardIsReturnedWithItsIndex)
{
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  IPopupMenu menu;
  menu.AddItem("One");
  menu.AddItem("Two");
  menu.AddItem("Three");
  IRECT r(20, 20, 120, 40);
  QueueKeys(wnd, {VK_DOWN, VK_DOWN, VK_RETURN});
  IPopupMenu* chosen = mGUI->CreateIPopupMenu(&menu, &r);
  ASSERT_EQ(chosen, &menu);
  EXPECT_EQ(menu.GetChosenItemIdx(), 1);
}

TEST_F(WinEditorTest, AnItemOfASubMenuReturnsThatSubMenu)
{
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  IPopupMenu menu;
  menu.AddItem("One");
  menu.AddSeparator();
  IPopupMenu* sub = new IPopupMenu;
  sub->AddItem("A");
  sub->AddItem("B");
  menu.AddItem("More", sub);
  menu.AddItem("Last");
  IRECT r(20, 20, 120, 40);
  QueueKeys(wnd, {VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN});
  IPopupMenu* chosen = mGUI->CreateIPopupMenu(&menu, &r);
  ASSERT_EQ(chosen, sub);
  EXPECT_EQ(sub->GetChosenItemIdx(), 1);
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);
}

TEST_F(WinEditorTest, EscapeChoosesNothing)
{
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  IPopupMenu menu;
  menu.AddItem("One");
  IRECT r(20, 20, 120, 40);
  QueueKeys(wnd, {VK_DOWN, VK_ESCAPE});
  EXPECT_EQ(mGUI->CreateIPopupMenu(&menu, &r), nullptr);
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);
}

TEST_F(WinEditorTest, APopupChoiceReachesItsParameter)
{
  HWND wnd = Open();
  ASSERT_NE(wnd, nullptr);
  IText style(12, &COLOR_WHITE, "Arial");
  ICaptionControl* caption = new ICaptionControl(mPlug, IRECT(150, 20, 230, 40), kTestParamMode, &style, false);
  caption->DisablePrompt(false);
  mGUI->AttachControl(caption);
  mPlug->mInformed.Resize(0);
  // The click opens the menu; the keys already queued choose "Saw".
  PostMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(160, 30));
  QueueKeys(wnd, {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN});
  PostMessageA(wnd, WM_LBUTTONUP, 0, MAKELPARAM(160, 30));
  ASSERT_TRUE(PumpUntil([&] { return mPlug->GetParam(kTestParamMode)->Int() == 2; }))
      << "mode " << mPlug->GetParam(kTestParamMode)->Int();
  ASSERT_GE(mPlug->mInformed.GetSize(), 1);
  EXPECT_EQ(mPlug->mInformed.Get()[mPlug->mInformed.GetSize() - 1].mIdx, kTestParamMode);
  EXPECT_DOUBLE_EQ(mPlug->mInformed.Get()[mPlug->mInformed.GetSize() - 1].mNormalized, 1.0);
}
