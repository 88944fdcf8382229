// Pointer and keyboard events of the editor window turned into the editor's input calls, as
// the Win32 window host turns its window messages: a press captures the control under it
// until the release (the server's implicit grab holds the pointer for the window meanwhile),
// a second left press soon after the first and close to it is a double click, buttons 4 and 5
// are the wheel, and the keys the editor knows go to the control under the pointer; the others
// go on to the host's window.
#include "IGraphicsX11.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace
{
constexpr uint32_t kKeysymUp = 0xff52, kKeysymDown = 0xff54, kKeysymLeft = 0xff51, kKeysymRight = 0xff53;
constexpr uint32_t kKeysymKP0 = 0xffb0, kKeysymKP9 = 0xffb9;

uint8_t ButtonBit(uint8_t button)
{
  return button >= 1 && button <= 3 ? (uint8_t)(1 << (button - 1)) : 0;
}
}  // namespace

int IGraphicsX11::TranslateKeysym(uint32_t keysym)
{
  if (keysym == ' ') return 0;
  if (keysym == kKeysymUp) return 1;
  if (keysym == kKeysymDown) return 2;
  if (keysym == kKeysymLeft) return 3;
  if (keysym == kKeysymRight) return 4;
  if (keysym >= '0' && keysym <= '9') return 5 + (int)(keysym - '0');
  if (keysym >= kKeysymKP0 && keysym <= kKeysymKP9) return 5 + (int)(keysym - kKeysymKP0);
  if (keysym >= 'A' && keysym <= 'Z') return 15 + (int)(keysym - 'A');
  if (keysym >= 'a' && keysym <= 'z') return 15 + (int)(keysym - 'a');
  return -1;
}

IMouseMod IGraphicsX11::ModifiersOf(uint16_t state) const
{
  return IMouseMod((state & XCB_KEY_BUT_MASK_BUTTON_1) != 0, (state & XCB_KEY_BUT_MASK_BUTTON_3) != 0,
                   (state & XCB_KEY_BUT_MASK_SHIFT) != 0, (state & XCB_KEY_BUT_MASK_CONTROL) != 0,
                   (state & XCB_KEY_BUT_MASK_MOD_1) != 0);
}

void IGraphicsX11::ToEditor(int wx, int wy, int* x, int* y) const
{
  if (mScale == 1.0)
  {
    *x = wx;
    *y = wy;
    return;
  }
  *x = (int)std::floor(wx / mScale);
  *y = (int)std::floor(wy / mScale);
}

void IGraphicsX11::TakeFocus(xcb_timestamp_t time)
{
  if (!mWindow || mWindowLost) return;
  xcb_set_input_focus(mConn->Get(), XCB_INPUT_FOCUS_PARENT, mWindow, time);
}

// ---- buttons and motion -------------------------------------------------------------------------------

void IGraphicsX11::OnButtonPress(const xcb_button_press_event_t* e)
{
  int x = 0, y = 0;
  ToEditor(e->event_x, e->event_y, &x, &y);
  mPointerX = x;
  mPointerY = y;
  const uint8_t button = e->detail;
  if (button == 4 || button == 5)
  {
    // Turning the wheel cancels an open entry, wherever the pointer is.
    if (mEntry)
    {
      mEditState = kCancel;
      return;
    }
    IMouseMod mod = ModifiersOf(e->state);
    OnMouseWheel(x, y, &mod, button == 4 ? 1 : -1);
    return;
  }
  if (!ButtonBit(button)) return;  // horizontal wheel and extra buttons
  if (mEntry)
  {
    // A press in the entry places the caret; anywhere else in the editor it commits the entry
    // and goes no further (its release then reaches nobody either).
    if (button == 1 && mEntry && EntryContains(x, y))
      EntryClick(x, y);
    else
      mEditState = kCommit;
    return;
  }
  TakeFocus(e->time);

  uint16_t state = e->state;
  if (button == 1) state |= XCB_KEY_BUT_MASK_BUTTON_1;
  if (button == 3) state |= XCB_KEY_BUT_MASK_BUTTON_3;
  IMouseMod mod = ModifiersOf(state);
  const int distance = mConn->DoubleClickDistance();
  const bool isDouble = button == 1 && mLastPressButton == 1 && !mLastPressWasDouble &&
                        (uint32_t)(e->time - mLastPressTime) <= (uint32_t)mConn->DoubleClickMs() &&
                        std::abs(e->event_x - mLastPressX) <= distance && std::abs(e->event_y - mLastPressY) <= distance;
  mLastPressTime = e->time;
  mLastPressX = e->event_x;
  mLastPressY = e->event_y;
  mLastPressButton = button;
  mLastPressWasDouble = isDouble;
  mButtonsDown |= ButtonBit(button);
  if (isDouble)
    OnMouseDblClick(x, y, &mod);
  else
    OnMouseDown(x, y, &mod);
}

void IGraphicsX11::OnButtonRelease(const xcb_button_release_event_t* e)
{
  const uint8_t bit = ButtonBit(e->detail);
  // Only the release of a press the editor took: a press that committed an entry has none.
  if (!bit || !(mButtonsDown & bit)) return;
  mButtonsDown &= (uint8_t)~bit;
  int x = 0, y = 0;
  ToEditor(e->event_x, e->event_y, &x, &y);
  mPointerX = x;
  mPointerY = y;
  uint16_t state = e->state;
  if (e->detail == 1) state &= (uint16_t)~XCB_KEY_BUT_MASK_BUTTON_1;
  if (e->detail == 3) state &= (uint16_t)~XCB_KEY_BUT_MASK_BUTTON_3;
  IMouseMod mod = ModifiersOf(state);
  OnMouseUp(x, y, &mod);
}

void IGraphicsX11::OnMotion(const xcb_motion_notify_event_t* e)
{
  int x = 0, y = 0;
  ToEditor(e->event_x, e->event_y, &x, &y);
  mPointerX = x;
  mPointerY = y;
  IMouseMod mod = ModifiersOf(e->state);
  if (mButtonsDown)
  {
    // Only the control that took the press drags, and not while an entry is open.
    if (!mEntry) OnMouseDrag(x, y, &mod);
    return;
  }
  OnMouseOver(x, y, &mod);
}

// ---- keys ------------------------------------------------------------------------------------------------

void IGraphicsX11::OnKeyPress(const xcb_key_press_event_t* e)
{
  const uint32_t keysym = mConn->Keysym(e->detail, e->state);
  if (mEntry)
  {
    EntryHandlesKey(keysym, e->state);
    return;
  }
  const int key = TranslateKeysym(keysym);
  // The key goes to the control under the pointer (or holding capture), else the key catcher.
  if (key < 0 || !OnKeyDown(mPointerX, mPointerY, key)) PassKeyToHost(e);
}

void IGraphicsX11::PassKeyToHost(const xcb_key_press_event_t* e)
{
  // To the host's top-level window, as the Win32 host passes keys to its root ancestor: the
  // host's shortcuts (transport, menus) keep working over the editor.
  xcb_connection_t* c = mConn->Get();
  xcb_window_t window = mParent;
  for (int depth = 0; window && depth < 64; ++depth)
  {
    xcb_query_tree_reply_t* tree = X11Connection::ReplyOf(xcb_query_tree_reply, c, xcb_query_tree(c, window));
    if (!tree) return;
    const xcb_window_t up = tree->parent, root = tree->root;
    free(tree);
    if (up == root || up == XCB_WINDOW_NONE) break;
    window = up;
  }
  if (!window) return;
  xcb_key_press_event_t copy;
  std::memcpy(&copy, e, sizeof copy);
  copy.event = window;
  copy.child = XCB_WINDOW_NONE;
  xcb_send_event(c, 0, window, XCB_EVENT_MASK_KEY_PRESS, (const char*)&copy);
}
