// Popup menus: layout and drawing of each level, pointer and keyboard handling, the modal run.
#include "X11PopupMenu.h"

#include "IGraphics.h"
#include "Raster_Fill.h"
#include "Raster_Font.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace
{
constexpr uint32_t kBack = 0xFFF0F0F0u, kBorder = 0xFF808080u, kText = 0xFF000000u, kDisabledText = 0xFF8C8C8Cu;
constexpr uint32_t kHighlight = 0xFF0078D7u, kHighlightText = 0xFFFFFFFFu, kSeparator = 0xFFA8A8A8u;
constexpr int kGutter = 22;  // room for the check mark on the left and the sub-menu arrow on the right

constexpr uint32_t kKeysymUp = 0xff52, kKeysymDown = 0xff54, kKeysymLeft = 0xff51, kKeysymRight = 0xff53;
constexpr uint32_t kKeysymReturn = 0xff0d, kKeysymKPEnter = 0xff8d, kKeysymEscape = 0xff1b;

IText MenuText()
{
  return IText(13, &COLOR_BLACK, "Arial", IText::kStyleNormal, IText::kAlignNear);
}

void DrawCheck(Raster_IBitmap* bm, int x, int y, uint32_t color)
{
  for (int i = 0; i < 3; ++i) Raster_FillRect(bm, x + i, y + 3 + i, 2, 2, color, 1.0f, 0);
  for (int i = 0; i < 6; ++i) Raster_FillRect(bm, x + 3 + i, y + 5 - i, 2, 2, color, 1.0f, 0);
}

void DrawArrow(Raster_IBitmap* bm, int x, int y, uint32_t color)
{
  for (int r = 0; r < 7; ++r)
  {
    const int len = 4 - (r < 3 ? 3 - r : r - 3);
    Raster_FillRect(bm, x, y + r, len, 1, color, 1.0f, 0);
  }
}
}  // namespace

struct X11PopupMenu::Level : public X11PanelWindow
{
  X11PopupMenu* owner = nullptr;
  int depth = 0;
  IPopupMenu* menu = nullptr;
  Util_TypedBuf<int> tops;  // item i spans tops[i] .. tops[i + 1]
  int highlighted = -1;
  int submenuOf = -1;  // the item whose sub-menu is the next level
  void OnPanelEvent(const xcb_generic_event_t* event) override { owner->OnEvent(depth, event); }
};

X11PopupMenu::X11PopupMenu(IGraphics* fonts, X11Connection* conn, int periodMs)
  : mFonts(fonts), mConn(conn), mPeriodMs(periodMs > 0 ? periodMs : 40)
{
}

X11PopupMenu::~X11PopupMenu()
{
  CloseLevelsAbove(-1);
}

void X11PopupMenu::ItemLabel(const IPopupMenu* menu, int index, char* out, int outSize)
{
  const IPopupMenuItem* item = menu ? menu->GetItem(index) : nullptr;
  const char* text = item ? item->GetText() : "";
  switch (menu ? menu->GetPrefix() : 0)
  {
    case 1: std::snprintf(out, (size_t)outSize, "%1d: %s", index + 1, text); break;
    case 2: std::snprintf(out, (size_t)outSize, "%02d: %s", index + 1, text); break;
    case 3: std::snprintf(out, (size_t)outSize, "%03d: %s", index + 1, text); break;
    default: std::snprintf(out, (size_t)outSize, "%s", text); break;
  }
}

bool X11PopupMenu::Selectable(const Level* level, int item) const
{
  const IPopupMenuItem* it = level->menu->GetItem(item);
  return it && !it->IsSeparator() && it->GetEnabled() && !(it->GetFlags() & IPopupMenuItem::kTitle);
}

// ---- levels ------------------------------------------------------------------------------------------

void X11PopupMenu::OpenLevel(IPopupMenu* menu, int x, int y, int aboveY)
{
  IText style = MenuText();
  Raster_CachedFont* font = mFonts ? mFonts->CacheFont(&style) : nullptr;
  const int lineHeight = font ? font->GetLineHeight() : 15;
  const int itemHeight = lineHeight + 2 * kItemPadding;
  Level* level = new Level;
  level->owner = this;
  level->depth = mLevels.GetSize();
  level->menu = menu;
  int width = 80, top = 2;
  level->tops.Add(top);
  for (int i = 0; i < menu->GetNItems(); ++i)
  {
    const IPopupMenuItem* item = menu->GetItem(i);
    if (item->IsSeparator())
    {
      top += kSeparatorHeight;
    }
    else
    {
      char label[512];
      ItemLabel(menu, i, label, sizeof label);
      RECT r = {0, 0, 0, 0};
      if (font) font->DrawText(nullptr, label, -1, &r, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
      if (r.right - r.left + 2 * kGutter > width) width = r.right - r.left + 2 * kGutter;
      top += itemHeight;
    }
    level->tops.Add(top);
  }
  const int height = top + 2;
  xcb_screen_t* screen = mConn->Screen();
  if (x + width > screen->width_in_pixels) x = screen->width_in_pixels - width;
  if (x < 0) x = 0;
  if (y + height > screen->height_in_pixels) y = aboveY - height >= 0 ? aboveY - height : screen->height_in_pixels - height;
  if (y < 0) y = 0;
  level->Create(mConn, x, y, width, height, true,
                XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION |
                  XCB_EVENT_MASK_KEY_PRESS);
  // Menus are popup menus to a window manager (they are never managed, being override-redirect).
  const xcb_atom_t type = mConn->Atom(X11Connection::kNET_WM_WINDOW_TYPE_POPUP_MENU);
  xcb_change_property(mConn->Get(), XCB_PROP_MODE_REPLACE, level->Window(), mConn->Atom(X11Connection::kNET_WM_WINDOW_TYPE),
                      XCB_ATOM_ATOM, 32, 1, &type);
  mLevels.Add(level);
  DrawLevel(level);
  level->Map();
}

void X11PopupMenu::CloseLevelsAbove(int depth)
{
  while (mLevels.GetSize() > depth + 1)
  {
    Level* last = mLevels.GetLast();
    mLevels.Delete(mLevels.GetSize() - 1);
    delete last;  // destroys its window
  }
  if (Level* top = mLevels.Get(depth)) top->submenuOf = -1;
}

void X11PopupMenu::DrawLevel(Level* level)
{
  Raster_IBitmap* bm = level->Bitmap();
  const int w = level->W(), h = level->H();
  Raster_FillRect(bm, 0, 0, w, h, kBorder, 1.0f, 0);
  Raster_FillRect(bm, 1, 1, w - 2, h - 2, kBack, 1.0f, 0);
  IText style = MenuText();
  Raster_CachedFont* font = mFonts ? mFonts->CacheFont(&style) : nullptr;
  for (int i = 0; i < level->menu->GetNItems(); ++i)
  {
    const IPopupMenuItem* item = level->menu->GetItem(i);
    const int top = level->tops.Get()[i], bottom = level->tops.Get()[i + 1];
    if (item->IsSeparator())
    {
      Raster_FillRect(bm, 4, (top + bottom) / 2, w - 8, 1, kSeparator, 1.0f, 0);
      continue;
    }
    const bool lit = i == level->highlighted && Selectable(level, i);
    if (lit) Raster_FillRect(bm, 2, top, w - 4, bottom - top, kHighlight, 1.0f, 0);
    const uint32_t color = lit ? kHighlightText : Selectable(level, i) || item->GetSubmenu() ? kText : kDisabledText;
    const int mid = (top + bottom) / 2;
    if (item->GetChecked()) DrawCheck(bm, 6, mid - 5, color);
    if (item->GetSubmenu()) DrawArrow(bm, w - 12, mid - 3, color);
    if (font)
    {
      char label[512];
      ItemLabel(level->menu, i, label, sizeof label);
      RECT r = {kGutter, top, w - kGutter, bottom};
      font->DrawTextInColor(bm, label, -1, &r, DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER, color);
    }
  }
}

int X11PopupMenu::LevelAt(int rootX, int rootY) const
{
  for (int d = mLevels.GetSize() - 1; d >= 0; --d)
    if (mLevels.Get(d)->ContainsRoot(rootX, rootY)) return d;
  return -1;
}

int X11PopupMenu::ItemAt(Level* level, int rootX, int rootY) const
{
  if (!level->ContainsRoot(rootX, rootY)) return -1;
  const int y = rootY - level->Y();
  for (int i = 0; i < level->menu->GetNItems(); ++i)
    if (y >= level->tops.Get()[i] && y < level->tops.Get()[i + 1]) return i;
  return -1;
}

void X11PopupMenu::Highlight(int depth, int item)
{
  Level* level = mLevels.Get(depth);
  if (!level) return;
  // Moving to another item of a level closes the sub-menus opened from it.
  if (level->submenuOf >= 0 && level->submenuOf != item) CloseLevelsAbove(depth);
  if (level->highlighted == item) return;
  level->highlighted = item;
  DrawLevel(level);
  level->Present();
}

void X11PopupMenu::OpenSubmenuOf(int depth)
{
  Level* level = mLevels.Get(depth);
  if (!level || level->highlighted < 0) return;
  IPopupMenuItem* item = level->menu->GetItem(level->highlighted);
  if (!item || !item->GetSubmenu() || level->submenuOf == level->highlighted) return;
  CloseLevelsAbove(depth);
  level->submenuOf = level->highlighted;
  const int top = level->Y() + level->tops.Get()[level->highlighted] - 2;
  int x = level->X() + level->W() - 2;
  OpenLevel(item->GetSubmenu(), x, top, level->Y() + level->tops.Get()[level->highlighted + 1]);
  Level* opened = mLevels.GetLast();
  // No room on the right: the sub-menu opens to the left of its parent.
  if (opened && opened->X() < x && level->X() - opened->W() + 2 >= 0)
  {
    IPopupMenu* sub = opened->menu;
    CloseLevelsAbove(depth);
    level->submenuOf = level->highlighted;
    OpenLevel(sub, level->X() - (mLevels.Get(depth)->W()) + 2, top, top);
  }
}

void X11PopupMenu::Choose(int depth, int item)
{
  Level* level = mLevels.Get(depth);
  if (!level || !Selectable(level, item) || level->menu->GetItem(item)->GetSubmenu()) return;
  level->menu->SetChosenItemIdx(item);
  mResult = level->menu;
  mDone = true;
}

void X11PopupMenu::MoveHighlight(int direction)
{
  Level* level = mLevels.GetLast();
  if (!level) return;
  const int n = level->menu->GetNItems();
  int i = level->highlighted;
  for (int step = 0; step < n; ++step)
  {
    i = i < 0 ? (direction > 0 ? 0 : n - 1) : (i + direction + n) % n;
    const IPopupMenuItem* item = level->menu->GetItem(i);
    if (Selectable(level, i) || (item && item->GetSubmenu()))
    {
      Highlight(level->depth, i);
      return;
    }
  }
}

// ---- events ------------------------------------------------------------------------------------------

void X11PopupMenu::OnEvent(int, const xcb_generic_event_t* event)
{
  switch (event->response_type & 0x7F)
  {
    case XCB_MOTION_NOTIFY:
    {
      const xcb_motion_notify_event_t* e = (const xcb_motion_notify_event_t*)event;
      const int d = LevelAt(e->root_x, e->root_y);
      if (d < 0) return;
      const int item = ItemAt(mLevels.Get(d), e->root_x, e->root_y);
      if (item >= 0) mArmed = true;
      Highlight(d, item);
      OpenSubmenuOf(d);
      break;
    }
    case XCB_BUTTON_PRESS:
    {
      const xcb_button_press_event_t* e = (const xcb_button_press_event_t*)event;
      if (e->detail > 3) return;
      if (LevelAt(e->root_x, e->root_y) < 0)
        mDone = true;  // a press outside every level cancels
      else
        mArmed = true;
      break;
    }
    case XCB_BUTTON_RELEASE:
    {
      const xcb_button_release_event_t* e = (const xcb_button_release_event_t*)event;
      if (e->detail > 3 || !mArmed) return;
      const int d = LevelAt(e->root_x, e->root_y);
      if (d >= 0) Choose(d, ItemAt(mLevels.Get(d), e->root_x, e->root_y));
      break;
    }
    case XCB_KEY_PRESS:
    {
      const xcb_key_press_event_t* e = (const xcb_key_press_event_t*)event;
      const uint32_t sym = mConn->Keysym(e->detail, e->state);
      Level* level = mLevels.GetLast();
      if (!level) return;
      if (sym == kKeysymDown || sym == kKeysymUp)
        MoveHighlight(sym == kKeysymDown ? 1 : -1);
      else if (sym == kKeysymRight || sym == kKeysymReturn || sym == kKeysymKPEnter)
      {
        const IPopupMenuItem* item = level->menu->GetItem(level->highlighted);
        if (item && item->GetSubmenu())
        {
          OpenSubmenuOf(level->depth);
          MoveHighlight(1);
        }
        else if (sym != kKeysymRight)
          Choose(level->depth, level->highlighted);
      }
      else if (sym == kKeysymLeft && level->depth > 0)
        CloseLevelsAbove(level->depth - 1);
      else if (sym == kKeysymEscape)
      {
        if (level->depth > 0)
          CloseLevelsAbove(level->depth - 1);
        else
          mDone = true;
      }
      break;
    }
    default:
      break;
  }
}

// ---- running -----------------------------------------------------------------------------------------

bool X11PopupMenu::Done(void* self)
{
  return ((X11PopupMenu*)self)->mDone;
}

IPopupMenu* X11PopupMenu::Run(IPopupMenu* menu, int rootX, int rootY, int aboveY)
{
  if (!menu || !mConn || menu->GetNItems() == 0) return nullptr;
  mDone = false;
  mArmed = false;
  mResult = nullptr;
  OpenLevel(menu, rootX, rootY, aboveY);
  xcb_connection_t* c = mConn->Get();
  const xcb_window_t grabber = mLevels.Get(0)->Window();
  // The pointer and the keyboard for the first level: every press, motion and key reaches the
  // menu (with the pointer's place on the screen), none the editor under it. Another client may
  // hold a grab for a moment.
  bool pointer = false, keyboard = false;
  for (int attempt = 0; attempt < 20 && !(pointer && keyboard); ++attempt)
  {
    if (!pointer)
    {
      xcb_grab_pointer_reply_t* p = X11Connection::ReplyOf(
        xcb_grab_pointer_reply, c,
        xcb_grab_pointer(c, 0, grabber,
                         XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION,
                         XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_WINDOW_NONE, XCB_CURSOR_NONE, XCB_CURRENT_TIME));
      pointer = p && p->status == XCB_GRAB_STATUS_SUCCESS;
      free(p);
    }
    if (!keyboard)
    {
      xcb_grab_keyboard_reply_t* k = X11Connection::ReplyOf(
        xcb_grab_keyboard_reply, c,
        xcb_grab_keyboard(c, 0, grabber, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
      keyboard = k && k->status == XCB_GRAB_STATUS_SUCCESS;
      free(k);
    }
    if (!(pointer && keyboard)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  mConn->RunModal(Done, this, mPeriodMs);
  xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
  xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
  CloseLevelsAbove(-1);
  xcb_flush(c);
  return mResult;
}
