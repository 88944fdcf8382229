// Popup menus of the X11 window host: each level an override-redirect window drawn with the
// raster library, shown at a point of the screen and run modally (the open editors keep
// ticking meanwhile). The pointer and keyboard are grabbed for the menu: moving highlights,
// a release over an item chooses it, a press outside or Escape cancels, the arrow keys move
// through items and sub-menus and Return chooses.
#pragma once

#include "IPopupMenu.h"
#include "Util_PtrList.h"
#include "X11PanelWindow.h"

class IGraphics;

class X11PopupMenu
{
public:
  // Labels and checked marks of the items as drawn (for tests of the text and layout).
  static constexpr int kItemPadding = 3;
  static constexpr int kSeparatorHeight = 7;

  // fonts: the editor whose font cache draws the items; periodMs: the editors' timer period.
  X11PopupMenu(IGraphics* fonts, X11Connection* conn, int periodMs);
  ~X11PopupMenu();
  X11PopupMenu(const X11PopupMenu&) = delete;
  X11PopupMenu& operator=(const X11PopupMenu&) = delete;

  // Shows the menu with its top-left corner at (rootX, rootY) (moved to stay on the screen;
  // above aboveY when there is no room below) and waits for a choice. Returns the (sub-)menu
  // whose item was chosen, with the chosen index set, or null when cancelled.
  IPopupMenu* Run(IPopupMenu* menu, int rootX, int rootY, int aboveY);

  // The label an item shows: its text with the menu's numbering prefix.
  static void ItemLabel(const IPopupMenu* menu, int index, char* out, int outSize);

private:
  struct Level;
  void OpenLevel(IPopupMenu* menu, int x, int y, int aboveY);
  void CloseLevelsAbove(int depth);
  void DrawLevel(Level* level);
  int ItemAt(Level* level, int rootX, int rootY) const;
  int LevelAt(int rootX, int rootY) const;
  void Highlight(int depth, int item);
  void OpenSubmenuOf(int depth);
  void Choose(int depth, int item);
  void MoveHighlight(int direction);
  void OnEvent(int depth, const xcb_generic_event_t* event);
  bool Selectable(const Level* level, int item) const;
  static bool Done(void* self);

  IGraphics* mFonts;
  X11Connection* mConn;
  int mPeriodMs;
  Util_PtrList<Level> mLevels;
  bool mDone = false;
  bool mArmed = false;  // a press or motion over the menu happened since it opened
  IPopupMenu* mResult = nullptr;
};
