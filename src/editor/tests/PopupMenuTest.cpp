// Popup menus: insertion positions, flags, checks and the prefix style.
#include "IPopupMenu.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
std::string Items(const IPopupMenu& m)
{
  std::string s;
  for (int i = 0; i < m.GetNItems(); ++i) s += std::string(i ? "," : "") + (m.GetItem(i)->IsSeparator() ? "-" : m.GetItemText(i));
  return s;
}

TEST(PopupMenu, InsertionPositions)
{
  struct Case
  {
    int index;
    const char* expected;
  } cases[] = {
    {-1, "a,b,x"}, {0, "x,a,b"}, {1, "a,x,b"}, {-5, "x,a,b"}, {9, "a,b,x"},
  };
  for (const Case& c : cases)
  {
    IPopupMenu m;
    m.AddItem("a");
    m.AddItem("b");
    m.AddItem("x", c.index);
    EXPECT_EQ(Items(m), c.expected) << c.index;
  }
  IPopupMenu m;
  m.AddItem("a");
  m.AddSeparator();
  m.AddItem("sub", new IPopupMenu);  // owned by its item
  EXPECT_EQ(Items(m), "a,-,sub");
  EXPECT_EQ(m.GetItem(1)->GetFlags(), IPopupMenuItem::kSeparator);
  EXPECT_NE(m.GetItem(2)->GetSubmenu(), nullptr);
  EXPECT_EQ(m.GetItem(3), nullptr);
  EXPECT_STREQ(m.GetItemText(-1), "");
}

TEST(PopupMenu, ChecksAndPrefix)
{
  IPopupMenu m;
  for (const char* t : {"a", "b", "c"}) m.AddItem(t);
  EXPECT_TRUE(m.CheckItem(0, true));
  EXPECT_TRUE(m.CheckItem(2, true));
  EXPECT_FALSE(m.CheckItem(3, true));
  m.CheckItemAlone(1);
  EXPECT_FALSE(m.IsItemChecked(0));
  EXPECT_TRUE(m.IsItemChecked(1));
  EXPECT_FALSE(m.IsItemChecked(2));
  EXPECT_FALSE(m.IsItemChecked(7));
  EXPECT_EQ(m.GetChosenItemIdx(), -1);
  m.SetPrefix(2);
  m.SetPrefix(4);  // ignored
  m.SetPrefix(-1);  // ignored
  EXPECT_EQ(m.GetPrefix(), 2);
}
}  // namespace
