// A popup menu: an ordered list of owned items, each with a text, an optional sub-menu and
// flags, and the index of the item the user chose (-1 until a choice).
#pragma once

#include "Util_PtrList.h"
#include "Util_String.h"

class IPopupMenu;

class IPopupMenuItem
{
public:
  enum EFlags { kNoFlags = 0, kDisabled = 1, kTitle = 2, kChecked = 4, kSeparator = 8 };

  IPopupMenuItem(const char* text, int flags = kNoFlags) : mText(text ? text : ""), mFlags(flags) {}
  // The item owns its sub-menu.
  IPopupMenuItem(const char* text, IPopupMenu* subMenu) : mText(text ? text : ""), mSubmenu(subMenu) {}
  ~IPopupMenuItem();
  IPopupMenuItem(const IPopupMenuItem&) = delete;
  IPopupMenuItem& operator=(const IPopupMenuItem&) = delete;

  void SetChecked(bool checked) { mFlags = checked ? (mFlags | kChecked) : (mFlags & ~kChecked); }
  bool GetChecked() const { return (mFlags & kChecked) != 0; }
  bool GetEnabled() const { return (mFlags & kDisabled) == 0; }
  bool IsSeparator() const { return (mFlags & kSeparator) != 0; }
  const char* GetText() const { return mText.Get(); }
  int GetFlags() const { return mFlags; }
  IPopupMenu* GetSubmenu() const { return mSubmenu; }

private:
  Util_String mText;
  IPopupMenu* mSubmenu = nullptr;
  int mFlags = kNoFlags;
};

class IPopupMenu
{
public:
  IPopupMenu() = default;
  ~IPopupMenu() { mMenuItems.Empty(true); }
  IPopupMenu(const IPopupMenu&) = delete;
  IPopupMenu& operator=(const IPopupMenu&) = delete;

  // Prefix styles 0 to 3 (none, "1: ", "01: ", "001: "); other values are ignored.
  void SetPrefix(int style) { if (style >= 0 && style <= 3) mPrefix = style; }
  int GetPrefix() const { return mPrefix; }

  // Takes ownership; index -1 appends, other negative indices insert at the front.
  IPopupMenuItem* AddItem(IPopupMenuItem* item, int index = -1);
  IPopupMenuItem* AddItem(const char* text, int index = -1, int itemFlags = IPopupMenuItem::kNoFlags);
  IPopupMenuItem* AddItem(const char* text, int index, IPopupMenu* subMenu);
  IPopupMenuItem* AddItem(const char* text, IPopupMenu* subMenu) { return AddItem(text, -1, subMenu); }
  IPopupMenuItem* AddSeparator(int index = -1);

  void SetChosenItemIdx(int index) { mChosenItemIdx = index; }
  int GetChosenItemIdx() const { return mChosenItemIdx; }
  int GetNItems() const { return mMenuItems.GetSize(); }
  IPopupMenuItem* GetItem(int index) const { return mMenuItems.Get(index); }
  // Empty text for an index out of range.
  const char* GetItemText(int index) const;
  bool CheckItem(int index, bool checked);
  void CheckItemAlone(int index);
  bool IsItemChecked(int index) const;

private:
  Util_PtrList<IPopupMenuItem> mMenuItems;
  int mChosenItemIdx = -1;
  int mPrefix = 0;
};
