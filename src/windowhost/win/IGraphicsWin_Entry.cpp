// The one-line text entry over a subclassed EDIT child, and popup menus.
#include "IGraphicsWin.h"

#include "IControl.h"
#include "IParam.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

// ---- text entry ---------------------------------------------------------------------------------

void IGraphicsWin::CreateTextEntry(IControl* control, IText* text, IRECT* textRect, const char* str, IParam* param)
{
  if (!control || !textRect || mParamEditWnd || !mDelegate) return;
  DWORD style = WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOHSCROLL;
  const int align = text ? text->mAlign : IText::kAlignCenter;
  style |= align == IText::kAlignNear ? ES_LEFT : align == IText::kAlignFar ? ES_RIGHT : ES_CENTER;
  const IRECT& r = *textRect;
  mParamEditWnd = CreateWindowExA(0, "EDIT", str ? str : "", style, r.L, r.T, r.R - r.L + 1, r.B - r.T + 1, mDelegate,
                                  (HMENU)(INT_PTR)kTextEntryID, mHInstance, nullptr);
  if (!mParamEditWnd) return;

  if (text)
  {
    mEditFont = CreateFontA(text->mSize, 0, 0, 0, text->mStyle == IText::kStyleBold ? FW_BOLD : 0,
                            text->mStyle == IText::kStyleItalic, 0, 0, 0, 0, 0, 0, 0, text->mFont);
    if (mEditFont) SendMessageA(mParamEditWnd, WM_SETFONT, (WPARAM)mEditFont, 0);
  }
  const int maxLen = control->GetTextEntryLength();
  SendMessageA(mParamEditWnd, EM_LIMITTEXT, (WPARAM)(maxLen > 0 ? maxLen : 0), 0);
  SendMessageA(mParamEditWnd, EM_SETSEL, 0, -1);

  SetFocus(mParamEditWnd);

  // Subclassed after taking the focus: the entry starts in no edit state, so the timer goes on
  // drawing around it and a click elsewhere in the editor commits it. Only when the user focuses
  // the entry again does it count as being edited (a click elsewhere then cancels).
  mDefEditProc = (WNDPROC)SetWindowLongPtrA(mParamEditWnd, GWLP_WNDPROC, (LONG_PTR)ParamEditProc);
  mEdControl = control;
  mEdParam = param;
}

void IGraphicsWin::ForceEndUserEdit()
{
  mParamEditMsg = kCancel;
}

void IGraphicsWin::CommitOrCancelTextEntry()
{
  if (mParamEditMsg == kCommit && mEdControl)
  {
    char txt[33] = {};
    SendMessageA(mParamEditWnd, WM_GETTEXT, (WPARAM)sizeof txt, (LPARAM)txt);
    if (mEdParam)
      SetFromStringAfterPrompt(mEdControl, mEdParam, txt);
    else
    {
      mEdControl->TextFromTextEntry(txt);
    }
  }
  DestroyTextEntry();
}

void IGraphicsWin::DestroyTextEntry()
{
  if (mParamEditWnd)
  {
    HWND entry = mParamEditWnd;
    if (mDefEditProc) SetWindowLongPtrA(entry, GWLP_WNDPROC, (LONG_PTR)mDefEditProc);
    mDefEditProc = nullptr;
    mParamEditWnd = nullptr;
    DestroyWindow(entry);
  }
  if (mEditFont)
  {
    DeleteObject(mEditFont);
    mEditFont = nullptr;
  }
  mEdControl = nullptr;
  mEdParam = nullptr;
  mParamEditMsg = kNone;
}

LRESULT CALLBACK IGraphicsWin::ParamEditProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
  IGraphicsWin* self = (IGraphicsWin*)GetWindowLongPtrA(GetParent(hWnd), GWLP_USERDATA);
  if (!self || self->mParamEditWnd != hWnd || !self->mDefEditProc) return DefWindowProcA(hWnd, msg, wParam, lParam);
  self->HideTooltip();
  const WNDPROC previous = self->mDefEditProc;

  switch (msg)
  {
    case WM_SETFOCUS:
      self->mParamEditMsg = kEditing;
      break;
    case WM_KILLFOCUS:
      self->mParamEditMsg = kCommit;
      break;
    case WM_MOUSEWHEEL:
      // Windows sends the wheel to the focused window, which is this entry wherever the pointer
      // is; turning it cancels the entry (the edit control would scroll its text instead).
      self->mParamEditMsg = kCancel;
      return 0;
    case WM_GETDLGCODE:
    {
      LRESULT code = CallWindowProcA(previous, hWnd, msg, wParam, lParam);
      const MSG* m = (const MSG*)lParam;
      if (!self->mEdParam && m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN) code |= DLGC_WANTALLKEYS;
      return code;
    }
    case WM_KEYDOWN:
      if (wParam == VK_RETURN)
      {
        self->mParamEditMsg = kCommit;
        return 0;
      }
      if (wParam == VK_ESCAPE)
      {
        self->mParamEditMsg = kCancel;
        return 0;
      }
      break;
    case WM_CHAR:
    {
      // Return and Escape end the entry (at their key-down); the characters the message loop
      // makes of them must not reach the text, where a multi-line EDIT would store a line break
      // that the committed text then carries.
      if (wParam == '\r' || wParam == '\n' || wParam == 0x1B) return 0;
      if (wParam == VK_BACK || !self->mEdParam) break;
      const char c = (char)wParam;
      const bool sign = c == '+' || c == '-';
      const bool digit = c >= '0' && c <= '9';
      switch (self->mEdParam->Type())
      {
        case IParam::kTypeBool:
        case IParam::kTypeInt:
        case IParam::kTypeEnum:
          if (!sign && !digit) return 0;
          break;
        case IParam::kTypeDouble:
          if (!sign && !digit && c != '.') return 0;
          break;
        default:
          break;
      }
      break;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) == CBN_SELCHANGE)
      {
        self->mParamEditMsg = kCommit;
        return 0;
      }
      break;
  }
  return CallWindowProcA(previous, hWnd, msg, wParam, lParam);
}

// ---- popup menus ----------------------------------------------------------------------------------

namespace
{
// Builds the Win32 menu. Item i of a menu gets the command id offset + i: each menu reserves ids
// for all its items before its sub-menus take the following ones (the top menu's start at 0).
HMENU BuildMenu(IPopupMenu* menu, int* offset)
{
  HMENU h = CreatePopupMenu();
  if (!h) return nullptr;
  const int n = menu->GetNItems();
  const int first = *offset;
  *offset += n;
  for (int i = 0; i < n; ++i)
  {
    IPopupMenuItem* item = menu->GetItem(i);
    char label[512];
    if (menu->GetPrefix() == 1)
      snprintf(label, sizeof label, "%1d: %s", i + 1, item->GetText());
    else if (menu->GetPrefix() == 2)
      snprintf(label, sizeof label, "%02d: %s", i + 1, item->GetText());
    else if (menu->GetPrefix() == 3)
      snprintf(label, sizeof label, "%03d: %s", i + 1, item->GetText());
    else
      snprintf(label, sizeof label, "%s", item->GetText());

    if (item->IsSeparator())
    {
      AppendMenuA(h, MF_SEPARATOR, 0, nullptr);
    }
    else if (IPopupMenu* sub = item->GetSubmenu())
    {
      HMENU subMenu = BuildMenu(sub, offset);
      if (subMenu) AppendMenuA(h, MF_POPUP | MF_STRING, (UINT_PTR)subMenu, label);
    }
    else
    {
      UINT flags = MF_STRING;
      if (!item->GetEnabled()) flags |= MF_GRAYED;
      if (item->GetFlags() & IPopupMenuItem::kTitle) flags |= MF_DISABLED;
      if (item->GetChecked()) flags |= MF_CHECKED;
      AppendMenuA(h, flags, (UINT_PTR)(first + i), label);
    }
  }
  return h;
}

// The menu owning a command id, with the item index the id stands for.
IPopupMenu* FindMenuOfId(IPopupMenu* menu, int id, int* offset, int* itemIdx)
{
  const int n = menu->GetNItems();
  const int first = *offset;
  *offset += n;
  if (id >= first && id < first + n)
  {
    *itemIdx = id - first;
    return menu;
  }
  for (int i = 0; i < n; ++i)
  {
    IPopupMenu* sub = menu->GetItem(i)->GetSubmenu();
    if (!sub) continue;
    if (IPopupMenu* found = FindMenuOfId(sub, id, offset, itemIdx)) return found;
  }
  return nullptr;
}
}  // namespace

IPopupMenu* IGraphicsWin::CreateIPopupMenu(IPopupMenu* menu, IRECT* areaRect)
{
  ReleaseMouseCapture();
  if (!menu || !mDelegate) return nullptr;
  int offset = 0;
  HMENU h = BuildMenu(menu, &offset);
  if (!h) return nullptr;

  POINT p = {areaRect ? areaRect->L : 0, areaRect ? areaRect->B : 0};
  ClientToScreen(mDelegate, &p);
  IPopupMenu* result = nullptr;
  if (TrackPopupMenu(h, TPM_LEFTBUTTON, p.x, p.y, 0, mDelegate, nullptr))
  {
    MSG msg;
    if (PeekMessageA(&msg, mDelegate, WM_COMMAND, WM_COMMAND, PM_REMOVE) && HIWORD(msg.wParam) == 0)
    {
      const int id = LOWORD(msg.wParam);
      int searched = 0, itemIdx = -1;
      result = FindMenuOfId(menu, id, &searched, &itemIdx);
      if (result) result->SetChosenItemIdx(itemIdx);
    }
  }
  DestroyMenu(h);
  InvalidateRect(mDelegate, nullptr, FALSE);
  return result;
}
