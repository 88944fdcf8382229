// The headless window host: open state, timer ticks, the screen image and its PNG snapshot,
// input injection, text entries, popup menus and message boxes.
#include "IGraphicsHeadless.h"

#include "IControl.h"
#include "IUserNotice.h"
#include "Raster_Bitmap.h"
#include "Raster_Blit.h"
#include "Raster_Fill.h"
#include "Raster_PNGWrite.h"

#include <cstdio>
#include <cstring>

IGraphicsHeadless::IGraphicsHeadless(IFxBase* plug, int w, int h, int refreshFPS) : IGraphics(plug, w, h, refreshFPS) {}

IGraphicsHeadless::~IGraphicsHeadless()
{
  delete mTextEntry;
  delete mLastPopup;
  delete mScreen;
  mMessageBoxes.Empty(true);
  mURLs.Empty(true);
}

// ---- window and timer ---------------------------------------------------------------------------

void* IGraphicsHeadless::OpenWindow(void*)
{
  PrepDraw();
  mOpen = true;
  // A new window shows everything: the first tick draws the whole editor.
  SetAllControlsDirty();
  return this;
}

void* IGraphicsHeadless::OpenWindow(void* parentWnd, void*, short, short)
{
  return OpenWindow(parentWnd);
}

void IGraphicsHeadless::CloseWindow()
{
  ForceEndUserEdit();
  mOpen = false;
  ReleaseMouseCapture();
}

bool IGraphicsHeadless::Tick()
{
  if (!mOpen) return false;
  IRECT region;
  if (!IsDirty(&region)) return false;
  return Draw(&region);
}

bool IGraphicsHeadless::Expose(IRECT rect)
{
  if (!mOpen || rect.Empty()) return false;
  return Draw(&rect);
}

bool IGraphicsHeadless::DrawScreen(IRECT* rect)
{
  Raster_IBitmap* back = GetDrawBitmap();
  if (!back || !rect) return false;
  if (!mScreen) mScreen = new Raster_MemBitmap(Width(), Height(), 4);
  if (mScreen->getWidth() != back->getWidth() || mScreen->getHeight() != back->getHeight())
    mScreen->resize(back->getWidth(), back->getHeight());
  const IRECT r = rect->Intersect(IRECT(0, 0, back->getWidth(), back->getHeight()));
  mLastScreenRECT = r;
  if (!r.Empty()) Raster_Blit(mScreen, back, r.L, r.T, r.L, r.T, r.W(), r.H(), 1.0f, 0);
  ++mNScreenUpdates;
  return true;
}

Raster_IBitmap* IGraphicsHeadless::GetScreen()
{
  if (!mScreen)
  {
    mScreen = new Raster_MemBitmap(Width(), Height(), 4);
    Raster_Clear(mScreen, 0);
  }
  return mScreen;
}

bool IGraphicsHeadless::WriteScreenPNG(const char* path) { return Raster_WritePNG(GetScreen(), path); }

// ---- input ----------------------------------------------------------------------------------------

void IGraphicsHeadless::MouseDown(int x, int y, IMouseMod mod)
{
  mKeyX = x;
  mKeyY = y;
  OnMouseDown(x, y, &mod);
}

void IGraphicsHeadless::MouseUp(int x, int y, IMouseMod mod)
{
  mKeyX = x;
  mKeyY = y;
  OnMouseUp(x, y, &mod);
}

void IGraphicsHeadless::MouseDrag(int x, int y, IMouseMod mod)
{
  mKeyX = x;
  mKeyY = y;
  OnMouseDrag(x, y, &mod);
}

bool IGraphicsHeadless::MouseDblClick(int x, int y, IMouseMod mod)
{
  mKeyX = x;
  mKeyY = y;
  mKeyX = x;
  mKeyY = y;
  return OnMouseDblClick(x, y, &mod);
}

void IGraphicsHeadless::Click(int x, int y, IMouseMod mod)
{
  OnMouseDown(x, y, &mod);
  OnMouseUp(x, y, &mod);
}

void IGraphicsHeadless::MouseWheel(int x, int y, int delta, IMouseMod mod)
{
  mKeyX = x;
  mKeyY = y;
  OnMouseWheel(x, y, &mod, delta);
}

bool IGraphicsHeadless::MouseMove(int x, int y, IMouseMod mod)
{
  mKeyX = x;
  mKeyY = y;
  if (GetMouseCapture() >= 0)
  {
    OnMouseDrag(x, y, &mod);
    return true;
  }
  return OnMouseOver(x, y, &mod);
}

bool IGraphicsHeadless::KeyDown(int key, IMouseMod mod)
{
  mLastKeyMod = mod;
  return OnKeyDown(mKeyX, mKeyY, key);
}

// ---- text entries ------------------------------------------------------------------------------------

void IGraphicsHeadless::CreateTextEntry(IControl* control, IText* text, IRECT* textRect, const char* str, IParam* param)
{
  if (!control || !textRect) return;
  // One entry at a time, as a window host shows one edit field: a new one replaces the old.
  delete mTextEntry;
  mTextEntry = new TextEntryRecord;
  mTextEntry->control = control;
  mTextEntry->param = param;
  if (text) mTextEntry->text = *text;
  mTextEntry->rect = *textRect;
  mTextEntry->str.Set(str ? str : "");
}

bool IGraphicsHeadless::CompleteTextEntry(const char* text)
{
  if (!mTextEntry) return false;
  TextEntryRecord* entry = mTextEntry;
  mTextEntry = nullptr;
  // The edit field accepts no more than the control's entry length.
  const int maxLen = entry->control->GetTextEntryLength();
  Util_String typed;
  typed.Set(text ? text : "", maxLen > 0 ? maxLen : 0);
  if (entry->param)
    SetFromStringAfterPrompt(entry->control, entry->param, typed.Get());
  else
    entry->control->TextFromTextEntry(typed.Get());
  delete entry;
  return true;
}

bool IGraphicsHeadless::CancelTextEntry()
{
  if (!mTextEntry) return false;
  delete mTextEntry;
  mTextEntry = nullptr;
  return true;
}

void IGraphicsHeadless::ForceEndUserEdit()
{
  CancelTextEntry();
}

// ---- popup menus ---------------------------------------------------------------------------------------

IPopupMenu* IGraphicsHeadless::CreateIPopupMenu(IPopupMenu* menu, IRECT* areaRect)
{
  if (!menu) return nullptr;
  ++mNPopups;
  delete mLastPopup;
  mLastPopup = new PopupRecord;
  const int n = menu->GetNItems();
  for (int i = 0; i < n; ++i)
  {
    mLastPopup->items.Add(new Util_String(menu->GetItemText(i)));
    mLastPopup->checked.Add(menu->IsItemChecked(i));
  }
  if (areaRect) mLastPopup->rect = *areaRect;

  const int choice = mHasPopupChoice ? mNextPopupChoice : -1;
  mHasPopupChoice = false;
  // Like a real menu: only an existing item that is not a separator can be chosen.
  IPopupMenuItem* item = menu->GetItem(choice);
  if (!item || item->IsSeparator() || !item->GetEnabled())
  {
    menu->SetChosenItemIdx(-1);
    return nullptr;
  }
  menu->SetChosenItemIdx(choice);
  mLastPopup->chosen = choice;
  return menu;
}

// ---- message boxes --------------------------------------------------------------------------------------

int IGraphicsHeadless::ShowMessageBox(const char* text, const char* caption, int type)
{
  MessageBoxRecord* record = new MessageBoxRecord;
  record->text.Set(text ? text : "");
  record->caption.Set(caption ? caption : "");
  record->type = type;
  mMessageBoxes.Add(record);
  return mMessageBoxAnswer;
}
