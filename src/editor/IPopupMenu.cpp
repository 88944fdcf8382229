// Popup menus: owned items with optional sub-menus, added, inserted, flagged and chosen.

#include "IPopupMenu.h"

IPopupMenuItem::~IPopupMenuItem()
{
  delete mSubmenu;
}

IPopupMenuItem* IPopupMenu::AddItem(IPopupMenuItem* item, int index)
{
  if (!item) return nullptr;
  if (index == -1) return mMenuItems.Add(item);
  return mMenuItems.Insert(index < 0 ? 0 : index, item);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, int index, int itemFlags)
{
  return AddItem(new IPopupMenuItem(text, itemFlags), index);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, int index, IPopupMenu* subMenu)
{
  return AddItem(new IPopupMenuItem(text, subMenu), index);
}

IPopupMenuItem* IPopupMenu::AddSeparator(int index)
{
  return AddItem(new IPopupMenuItem("", IPopupMenuItem::kSeparator), index);
}

const char* IPopupMenu::GetItemText(int index) const
{
  const IPopupMenuItem* item = GetItem(index);
  return item ? item->GetText() : "";
}

bool IPopupMenu::CheckItem(int index, bool checked)
{
  IPopupMenuItem* item = GetItem(index);
  if (!item) return false;
  item->SetChecked(checked);
  return true;
}

void IPopupMenu::CheckItemAlone(int index)
{
  const int n = GetNItems();
  for (int i = 0; i < n; ++i) GetItem(i)->SetChecked(i == index);
}

bool IPopupMenu::IsItemChecked(int index) const
{
  const IPopupMenuItem* item = GetItem(index);
  return item && item->GetChecked();
}
