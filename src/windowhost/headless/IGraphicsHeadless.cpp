// The headless window host: open state, timer ticks, the screen image and its PNG snapshot,
// input injection, text entries, popup menus and message boxes.
#include "IGraphicsHeadless.h"

#include "IControl.h"
#include "IUserNotice.h"
#include "Raster_Bitmap.h"
#include "Raster_Blit.h"
#include "Raster_Fill.h"

#include <png.h>

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

namespace
{
struct PngFile
{
  FILE* fp = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngFile()
  {
    if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
    if (fp) fclose(fp);
  }
};
}  // namespace

bool IGraphicsHeadless::WriteScreenPNG(const char* path)
{
  Raster_IBitmap* screen = GetScreen();
  const int w = screen->getWidth(), h = screen->getHeight();
  if (!path || w <= 0 || h <= 0 || !screen->getBits()) return false;
  // One RGBA row at a time, converted from the raster library's BGRA words.
  Util_TypedBuf<png_byte> row;
  if (!row.Resize(w * 4)) return false;

  PngFile f;
  f.fp = fopen(path, "wb");
  if (!f.fp) return false;
  f.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!f.png) return false;
  f.info = png_create_info_struct(f.png);
  if (!f.info) return false;
  if (setjmp(png_jmpbuf(f.png))) return false;
  png_init_io(f.png, f.fp);
  png_set_IHDR(f.png, f.info, (png_uint_32)w, (png_uint_32)h, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(f.png, f.info);
  for (int y = 0; y < h; ++y)
  {
    png_byte* out = row.Get();
    for (int x = 0; x < w; ++x)
    {
      const uint32_t p = Raster_GetPixel(screen, x, y);
      out[4 * x + 0] = (png_byte)((p >> 16) & 0xFF);
      out[4 * x + 1] = (png_byte)((p >> 8) & 0xFF);
      out[4 * x + 2] = (png_byte)(p & 0xFF);
      out[4 * x + 3] = (png_byte)(p >> 24);
    }
    png_write_row(f.png, out);
  }
  png_write_end(f.png, nullptr);
  return fflush(f.fp) == 0 && !ferror(f.fp);
}

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
