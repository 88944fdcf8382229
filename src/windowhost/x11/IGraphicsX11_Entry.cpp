// The one-line text entry, drawn by the window host inside the editor window over the control
// being edited: the control's face and size in the entry colours of its style, the whole text
// selected when it opens, a caret, and the rules of the Win32 window host's entry: the
// control's entry length limits the text, parameters of integer kinds take only signs and
// digits (doubles also '.'), Return commits and Escape cancels on the next timer tick, a click
// elsewhere in the editor or the keyboard going to another window commits, and the wheel
// cancels. A committed text for a parameter goes through the framework's one parser
// (SetFromStringAfterPrompt); without a parameter the control takes the text.
#include "IGraphicsX11.h"

#include "IControl.h"
#include "IParam.h"
#include "Raster_Bitmap.h"
#include "Raster_Blit.h"
#include "Raster_Fill.h"
#include "Raster_Font.h"

#include <cstring>

namespace
{
constexpr uint32_t kKeysymReturn = 0xff0d, kKeysymKPEnter = 0xff8d, kKeysymEscape = 0xff1b;
constexpr uint32_t kKeysymBackSpace = 0xff08, kKeysymDelete = 0xffff, kKeysymKPDelete = 0xff9f;
constexpr uint32_t kKeysymLeft = 0xff51, kKeysymRight = 0xff53, kKeysymHome = 0xff50, kKeysymEnd = 0xff57;
constexpr uint32_t kKeysymKPLeft = 0xff96, kKeysymKPRight = 0xff98, kKeysymKPHome = 0xff95, kKeysymKPEnd = 0xff9c;
constexpr uint32_t kKeysymKPDecimal = 0xffae, kKeysymKPAdd = 0xffab, kKeysymKPSubtract = 0xffad;
constexpr uint32_t kKeysymKP0 = 0xffb0, kKeysymKP9 = 0xffb9;
// The selection's colours (the Windows defaults).
constexpr uint32_t kSelectionBack = 0xFF0078D7u, kSelectionText = 0xFFFFFFFFu;
// The committed text is read as the Win32 entry reads it: at most 32 characters.
constexpr int kMaxCommitChars = 32;

bool IsContinuation(char c)
{
  return ((unsigned char)c & 0xC0) == 0x80;
}

int CountChars(const char* s, int n)
{
  int count = 0;
  for (int i = 0; i < n; ++i)
    if (!IsContinuation(s[i])) ++count;
  return count;
}

// The byte offset after cutting s to at most maxChars characters.
int CutToChars(const char* s, int maxChars)
{
  int chars = 0, i = 0;
  for (; s[i]; ++i)
  {
    if (!IsContinuation(s[i]))
    {
      if (chars == maxChars) break;
      ++chars;
    }
  }
  return i;
}
}  // namespace

struct IGraphicsX11::TextEntry
{
  IControl* control = nullptr;
  IParam* param = nullptr;
  IText style;
  IRECT rect;           // editor coordinates, as the Win32 entry: one pixel beyond the right and bottom
  Util_String text;
  int caret = 0;        // byte offsets at character boundaries
  int anchor = 0;       // the selection's other end (== caret: none)
  int scroll = 0;       // pixels the text is moved left to keep the caret in view
  int maxChars = 0;     // 0: no limit
  bool dirty = true;    // the bitmap needs drawing
  Raster_SysBitmap bitmap;
};

const char* IGraphicsX11::GetTextEntryText() const
{
  return mEntry ? mEntry->text.Get() : nullptr;
}

bool IGraphicsX11::EntryContains(int x, int y) const
{
  return mEntry && mEntry->rect.Contains(x, y);
}

void IGraphicsX11::CreateTextEntry(IControl* control, IText* text, IRECT* textRect, const char* str, IParam* param)
{
  if (!control || !textRect || mEntry || !mWindow || mWindowLost) return;
  const IRECT r = IRECT(textRect->L, textRect->T, textRect->R + 1, textRect->B + 1).Intersect(IRECT(0, 0, Width(), Height()));
  if (r.Empty()) return;
  mEntry = new TextEntry;
  mEntry->control = control;
  mEntry->param = param;
  if (text) mEntry->style = *text;
  mEntry->style.mCached = nullptr;
  mEntry->rect = r;
  mEntry->text.Set(str ? str : "");
  mEntry->maxChars = control->GetTextEntryLength() > 0 ? control->GetTextEntryLength() : 0;
  // The whole text selected, the caret at its end.
  mEntry->anchor = 0;
  mEntry->caret = mEntry->text.GetLength();
  mEntry->bitmap.resize(r.W(), r.H());
  mEditState = kEditing;
  TakeFocus(mConn->LastEventTime());
  RedrawEntryArea();
}

void IGraphicsX11::ForceEndUserEdit()
{
  if (mEntry) mEditState = kCancel;
}

bool IGraphicsX11::EntryAccepts(char c) const
{
  if (!mEntry->param) return true;
  const bool sign = c == '+' || c == '-';
  const bool digit = c >= '0' && c <= '9';
  switch (mEntry->param->Type())
  {
    case IParam::kTypeBool:
    case IParam::kTypeInt:
    case IParam::kTypeEnum:
      return sign || digit;
    case IParam::kTypeDouble:
      return sign || digit || c == '.';
    default:
      return true;
  }
}

void IGraphicsX11::EntryInsert(const char* insert)
{
  TextEntry& e = *mEntry;
  // Only what the entry accepts, and no more than its limit allows (a longer paste is cut).
  Util_String accepted;
  for (const char* p = insert; *p; ++p)
  {
    if ((unsigned char)*p < 0x20 || *p == 0x7F) continue;
    if ((unsigned char)*p < 0x80 && !EntryAccepts(*p)) continue;
    if ((unsigned char)*p >= 0x80 && e.param && e.param->Type() != IParam::kTypeNone) continue;
    const char one[2] = {*p, 0};
    accepted.Append(one);
  }
  const int selStart = e.caret < e.anchor ? e.caret : e.anchor;
  const int selEnd = e.caret < e.anchor ? e.anchor : e.caret;
  const char* text = e.text.Get();
  const int kept = CountChars(text, selStart) + CountChars(text + selEnd, e.text.GetLength() - selEnd);
  int room = accepted.GetLength();
  if (e.maxChars > 0)
  {
    const int free = e.maxChars - kept;
    room = free <= 0 ? 0 : CutToChars(accepted.Get(), free);
  }
  if (room == 0 && selStart == selEnd) return;
  Util_String result;
  result.Set(text, selStart);
  result.Append(accepted.Get(), room);
  result.Append(text + selEnd);
  e.text.Set(result.Get());
  e.caret = e.anchor = selStart + room;
  e.dirty = true;
}

bool IGraphicsX11::EntryHandlesKey(uint32_t keysym, uint16_t state)
{
  TextEntry& e = *mEntry;
  const bool shift = (state & XCB_KEY_BUT_MASK_SHIFT) != 0;
  const bool control = (state & XCB_KEY_BUT_MASK_CONTROL) != 0;
  const int len = e.text.GetLength();
  const char* text = e.text.Get();
  auto prevChar = [&](int i) {
    if (i > 0) --i;
    while (i > 0 && IsContinuation(text[i])) --i;
    return i;
  };
  auto nextChar = [&](int i) {
    if (i < len) ++i;
    while (i < len && IsContinuation(text[i])) ++i;
    return i;
  };
  const int selStart = e.caret < e.anchor ? e.caret : e.anchor;
  const int selEnd = e.caret < e.anchor ? e.anchor : e.caret;

  switch (keysym)
  {
    case kKeysymReturn:
    case kKeysymKPEnter:
      mEditState = kCommit;
      return true;
    case kKeysymEscape:
      mEditState = kCancel;
      return true;
    case kKeysymBackSpace:
      if (selStart == selEnd) e.anchor = prevChar(e.caret);
      EntryInsert("");
      break;
    case kKeysymDelete:
    case kKeysymKPDelete:
      if (selStart == selEnd) e.anchor = nextChar(e.caret);
      EntryInsert("");
      break;
    case kKeysymLeft:
    case kKeysymKPLeft:
      e.caret = shift || selStart == selEnd ? prevChar(e.caret) : selStart;
      if (!shift) e.anchor = e.caret;
      break;
    case kKeysymRight:
    case kKeysymKPRight:
      e.caret = shift || selStart == selEnd ? nextChar(e.caret) : selEnd;
      if (!shift) e.anchor = e.caret;
      break;
    case kKeysymHome:
    case kKeysymKPHome:
      e.caret = 0;
      if (!shift) e.anchor = e.caret;
      break;
    case kKeysymEnd:
    case kKeysymKPEnd:
      e.caret = len;
      if (!shift) e.anchor = e.caret;
      break;
    default:
    {
      if (control)
      {
        if (keysym == 'a' || keysym == 'A')
        {
          e.anchor = 0;
          e.caret = len;
        }
        else if (keysym == 'v' || keysym == 'V')
        {
          Util_String pasted;
          if (GetTextFromClipboard(&pasted)) EntryInsert(pasted.Get());
        }
        break;
      }
      if (state & XCB_KEY_BUT_MASK_MOD_1) break;
      char typed[3] = {};
      if (keysym >= 0x20 && keysym <= 0x7E)
        typed[0] = (char)keysym;
      else if (keysym >= kKeysymKP0 && keysym <= kKeysymKP9)
        typed[0] = (char)('0' + (keysym - kKeysymKP0));
      else if (keysym == kKeysymKPDecimal)
        typed[0] = '.';
      else if (keysym == kKeysymKPAdd)
        typed[0] = '+';
      else if (keysym == kKeysymKPSubtract)
        typed[0] = '-';
      else if (keysym >= 0xA0 && keysym <= 0xFF)
      {
        // Latin-1 letters as UTF-8, the text layer's encoding.
        typed[0] = (char)(0xC0 | (keysym >> 6));
        typed[1] = (char)(0x80 | (keysym & 0x3F));
      }
      if (typed[0]) EntryInsert(typed);
      break;
    }
  }
  e.dirty = true;
  RedrawEntryArea();
  return true;
}

int IGraphicsX11::EntryTextX(int index)
{
  TextEntry& e = *mEntry;
  if (index <= 0) return 0;
  Raster_CachedFont* font = e.style.mCached ? e.style.mCached : CacheFont(&e.style);
  if (!font) return 0;
  RECT r = {0, 0, 0, 0};
  font->DrawText(&e.bitmap, e.text.Get(), index, &r, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
  return r.right - r.left;
}

void IGraphicsX11::EntryClick(int x, int)
{
  TextEntry& e = *mEntry;
  const int local = x - e.rect.L + e.scroll;
  // The character boundary nearest the click.
  const int len = e.text.GetLength();
  int best = 0, bestDistance = 1 << 30;
  for (int i = 0; i <= len; ++i)
  {
    if (i < len && IsContinuation(e.text.Get()[i])) continue;
    const int d = std::abs(EntryTextX(i) + 1 - local);
    if (d < bestDistance)
    {
      bestDistance = d;
      best = i;
    }
  }
  e.caret = e.anchor = best;
  e.dirty = true;
  RedrawEntryArea();
}

void IGraphicsX11::DrawEntry()
{
  TextEntry& e = *mEntry;
  if (e.dirty)
  {
    e.dirty = false;
    Raster_IBitmap* bm = &e.bitmap;
    const int w = e.rect.W(), h = e.rect.H();
    Raster_FillRect(bm, 0, 0, w, h, e.style.mTextEntryBGColor.ToPixel() | 0xFF000000u, 1.0f, 0);
    const int textWidth = EntryTextX(e.text.GetLength());
    const int caretX = EntryTextX(e.caret);
    // The text keeps its alignment while it fits; a longer one scrolls to keep the caret in view.
    int origin = 1;
    if (textWidth + 3 <= w)
    {
      e.scroll = 0;
      if (e.style.mAlign == IText::kAlignCenter) origin = (w - textWidth) / 2;
      if (e.style.mAlign == IText::kAlignFar) origin = w - 2 - textWidth;
    }
    else
    {
      if (caretX - e.scroll > w - 3) e.scroll = caretX - (w - 3);
      if (caretX - e.scroll < 0) e.scroll = caretX;
      if (e.scroll > textWidth + 3 - w) e.scroll = textWidth + 3 - w;
      if (e.scroll < 0) e.scroll = 0;
    }
    const int x0 = origin - e.scroll;
    Raster_CachedFont* font = e.style.mCached ? e.style.mCached : CacheFont(&e.style);
    if (font)
    {
      RECT all = {0, 0, w, h};
      RECT textRect = {x0, 0, x0 + textWidth + 8, h};
      (void)all;
      font->DrawTextInColor(bm, e.text.Get(), -1, &textRect, DT_SINGLELINE | DT_NOPREFIX,
                            e.style.mTextEntryFGColor.ToPixel() | 0xFF000000u);
      const int selStart = e.caret < e.anchor ? e.caret : e.anchor;
      const int selEnd = e.caret < e.anchor ? e.anchor : e.caret;
      if (selStart != selEnd)
      {
        // The selection: highlighted, its text drawn again in the highlight's text colour,
        // clipped to the highlight.
        const int sx = x0 + EntryTextX(selStart), ex = x0 + EntryTextX(selEnd);
        Raster_FillRect(bm, sx, 0, ex - sx, h, kSelectionBack, 1.0f, 0);
        Raster_SysBitmap strip(ex - sx > 0 ? ex - sx : 1, h);
        Raster_Blit(&strip, bm, 0, 0, sx, 0, ex - sx, h, 1.0f, 0);
        RECT stripRect = {x0 - sx, 0, x0 - sx + textWidth + 8, h};
        font->DrawTextInColor(&strip, e.text.Get(), -1, &stripRect, DT_SINGLELINE | DT_NOPREFIX, kSelectionText);
        Raster_Blit(bm, &strip, sx, 0, 0, 0, ex - sx, h, 1.0f, 0);
      }
      else
      {
        const int cx = x0 + caretX;
        Raster_FillRect(bm, cx, 1, 1, h - 2, e.style.mTextEntryFGColor.ToPixel() | 0xFF000000u, 1.0f, 0);
      }
    }
  }
  if (mCompose) Raster_Blit(mCompose, &e.bitmap, e.rect.L, e.rect.T, 0, 0, e.rect.W(), e.rect.H(), 1.0f, 0);
}

void IGraphicsX11::RedrawEntryArea()
{
  if (!mEntry || !mWindow || mWindowLost) return;
  PutEditorRect(mEntry->rect);
  xcb_flush(mConn->Get());
}

void IGraphicsX11::CommitOrCancelTextEntry()
{
  if (!mEntry) return;
  if (mEditState == kCommit && mEntry->control)
  {
    char text[4 * kMaxCommitChars + 1] = {};
    const int n = CutToChars(mEntry->text.Get(), kMaxCommitChars);
    std::memcpy(text, mEntry->text.Get(), (size_t)n);
    IControl* control = mEntry->control;
    IParam* param = mEntry->param;
    // The entry goes first: what the control does with the text may draw or open another.
    DestroyTextEntry();
    if (param)
      SetFromStringAfterPrompt(control, param, text);
    else
      control->TextFromTextEntry(text);
    return;
  }
  DestroyTextEntry();
}

void IGraphicsX11::DestroyTextEntry()
{
  if (!mEntry) return;
  const IRECT r = mEntry->rect;
  delete mEntry;
  mEntry = nullptr;
  mEditState = kNone;
  // The editor's own pixels back where the entry was.
  if (mWindow && !mWindowLost)
  {
    PutEditorRect(r);
    xcb_flush(mConn->Get());
  }
}
