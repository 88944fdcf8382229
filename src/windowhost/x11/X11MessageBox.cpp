// Message boxes: layout (the text broken into lines that fit), drawing, the window manager's
// hints, and the modal run.
#include "X11MessageBox.h"

#include "IGraphics.h"
#include "Raster_Fill.h"
#include "Raster_Font.h"
#include "Util_String.h"

#include <cmath>
#include <cstring>

namespace
{
constexpr uint32_t kBack = 0xFFF0F0F0u, kText = 0xFF000000u, kButtonBack = 0xFFE1E1E1u, kButtonBorder = 0xFFADADADu;
constexpr uint32_t kDefaultBorder = 0xFF0078D7u, kPressedBack = 0xFFCCE4F7u;
constexpr uint32_t kInfoIcon = 0xFF1E6FD9u, kErrorIcon = 0xFFD32F2Fu;
constexpr int kMargin = 16, kIconSize = 32, kButtonW = 80, kButtonH = 26, kButtonGap = 8, kMaxTextWidth = 380;
constexpr uint32_t kKeysymReturn = 0xff0d, kKeysymKPEnter = 0xff8d, kKeysymEscape = 0xff1b;

const char* ButtonLabel(int result)
{
  switch (result)
  {
    case kIDOK: return "OK";
    case kIDCANCEL: return "Cancel";
    case 3: return "Abort";
    case 4: return "Retry";
    case 5: return "Ignore";
    case kIDYES: return "Yes";
    case kIDNO: return "No";
    default: return "";
  }
}

IText BoxText(int align = IText::kAlignNear)
{
  return IText(13, &COLOR_BLACK, "Arial", IText::kStyleNormal, align);
}

int TextWidth(Raster_CachedFont* font, const char* s, int n)
{
  if (!font || n == 0) return 0;
  RECT r = {0, 0, 0, 0};
  font->DrawText(nullptr, s, n, &r, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
  return r.right - r.left;
}

// The text with line breaks added where a line would grow wider than maxWidth.
void BreakLines(Raster_CachedFont* font, const char* text, int maxWidth, Util_String* out)
{
  out->Set("");
  Util_String line;
  const char* p = text;
  while (*p)
  {
    if (*p == '\n')
    {
      out->Append(line.Get());
      out->Append("\n");
      line.Set("");
      ++p;
      continue;
    }
    const char* end = p;
    while (*end && *end != ' ' && *end != '\n') ++end;
    Util_String candidate(line.Get());
    if (candidate.GetLength()) candidate.Append(" ");
    candidate.Append(p, (int)(end - p));
    if (line.GetLength() && TextWidth(font, candidate.Get(), candidate.GetLength()) > maxWidth)
    {
      out->Append(line.Get());
      out->Append("\n");
      line.Set(p, (int)(end - p));
    }
    else
    {
      line.Set(candidate.Get());
    }
    p = end;
    while (*p == ' ') ++p;
  }
  out->Append(line.Get());
}

void FillDisc(Raster_IBitmap* bm, int x, int y, int size, uint32_t color)
{
  const double r = size / 2.0;
  for (int j = 0; j < size; ++j)
    for (int i = 0; i < size; ++i)
    {
      const double dx = i + 0.5 - r, dy = j + 0.5 - r;
      const double d = r - std::sqrt(dx * dx + dy * dy);
      if (d <= 0.0) continue;
      Raster_PutPixel(bm, x + i, y + j, color, d >= 1.0 ? 1.0f : (float)d, 0);
    }
}
}  // namespace

X11MessageBox::X11MessageBox(IGraphics* fonts, X11Connection* conn, int periodMs)
  : mFonts(fonts), mPeriodMs(periodMs > 0 ? periodMs : 40)
{
  mConn = conn;
}

int X11MessageBox::ButtonsOf(int type, int* results)
{
  switch (type & 0xF)
  {
    case kMB_OKCANCEL: results[0] = kIDOK; results[1] = kIDCANCEL; return 2;
    case 2: results[0] = 3; results[1] = 4; results[2] = 5; return 3;
    case kMB_YESNOCANCEL: results[0] = kIDYES; results[1] = kIDNO; results[2] = kIDCANCEL; return 3;
    case kMB_YESNO: results[0] = kIDYES; results[1] = kIDNO; return 2;
    case 5: results[0] = 4; results[1] = kIDCANCEL; return 2;
    default: results[0] = kIDOK; return 1;
  }
}

int X11MessageBox::EscapeResult(int type)
{
  int results[3] = {};
  const int n = ButtonsOf(type, results);
  for (int i = 0; i < n; ++i)
    if (results[i] == kIDCANCEL) return kIDCANCEL;
  return n == 1 ? results[0] : 0;
}

void X11MessageBox::Draw()
{
  Raster_IBitmap* bm = Bitmap();
  Raster_FillRect(bm, 0, 0, mW, mH, kBack, 1.0f, 0);
  IText style = BoxText();
  Raster_CachedFont* font = mFonts ? mFonts->CacheFont(&style) : nullptr;
  const int icon = mType & 0xF0;
  if (icon == kMB_ICONERROR || icon == kMB_ICONINFORMATION)
  {
    FillDisc(bm, kMargin, kMargin, kIconSize, icon == kMB_ICONERROR ? kErrorIcon : kInfoIcon);
    IText mark(22, &COLOR_WHITE, "Arial", IText::kStyleBold, IText::kAlignCenter);
    if (Raster_CachedFont* markFont = mFonts ? mFonts->CacheFont(&mark) : nullptr)
    {
      RECT r = {kMargin, kMargin, kMargin + kIconSize, kMargin + kIconSize};
      markFont->DrawTextInColor(bm, icon == kMB_ICONERROR ? "!" : "i", -1, &r,
                                DT_SINGLELINE | DT_NOPREFIX | DT_CENTER | DT_VCENTER, 0xFFFFFFFFu);
    }
  }
  if (font)
  {
    RECT r = {mTextLeft, mTextTop, mW - kMargin, mH};
    font->DrawTextInColor(bm, mText, -1, &r, DT_NOPREFIX, kText);
  }
  IText buttonStyle = BoxText(IText::kAlignCenter);
  Raster_CachedFont* buttonFont = mFonts ? mFonts->CacheFont(&buttonStyle) : nullptr;
  for (int i = 0; i < mNButtons; ++i)
  {
    const IRECT& b = mButtonRects[i];
    Raster_FillRect(bm, b.L, b.T, b.W(), b.H(), i == 0 ? kDefaultBorder : kButtonBorder, 1.0f, 0);
    Raster_FillRect(bm, b.L + 1, b.T + 1, b.W() - 2, b.H() - 2, i == mPressed ? kPressedBack : kButtonBack, 1.0f, 0);
    if (buttonFont)
    {
      RECT r = {b.L, b.T, b.R, b.B};
      buttonFont->DrawTextInColor(bm, ButtonLabel(mButtons[i]), -1, &r, DT_SINGLELINE | DT_NOPREFIX | DT_CENTER | DT_VCENTER,
                                  kText);
    }
  }
}

void X11MessageBox::OnPanelEvent(const xcb_generic_event_t* event)
{
  switch (event->response_type & 0x7F)
  {
    case XCB_MAP_NOTIFY:
      // Without a window manager nobody else gives the box the keyboard.
      xcb_set_input_focus(mConn->Get(), XCB_INPUT_FOCUS_PARENT, mWindow, XCB_CURRENT_TIME);
      break;
    case XCB_BUTTON_PRESS:
    {
      const xcb_button_press_event_t* e = (const xcb_button_press_event_t*)event;
      if (e->detail != 1) break;
      mPressed = -1;
      for (int i = 0; i < mNButtons; ++i)
        if (mButtonRects[i].Contains(e->event_x, e->event_y)) mPressed = i;
      Draw();
      Present();
      break;
    }
    case XCB_BUTTON_RELEASE:
    {
      const xcb_button_release_event_t* e = (const xcb_button_release_event_t*)event;
      if (e->detail != 1 || mPressed < 0) break;
      if (mButtonRects[mPressed].Contains(e->event_x, e->event_y)) mResult = mButtons[mPressed];
      mPressed = -1;
      Draw();
      Present();
      break;
    }
    case XCB_KEY_PRESS:
    {
      const xcb_key_press_event_t* e = (const xcb_key_press_event_t*)event;
      const uint32_t sym = mConn->Keysym(e->detail, e->state);
      if (sym == kKeysymReturn || sym == kKeysymKPEnter) mResult = mButtons[0];
      if (sym == kKeysymEscape && EscapeResult(mType)) mResult = EscapeResult(mType);
      break;
    }
    case XCB_CLIENT_MESSAGE:
    {
      const xcb_client_message_event_t* e = (const xcb_client_message_event_t*)event;
      if (e->type == mConn->Atom(X11Connection::kWM_PROTOCOLS) &&
          e->data.data32[0] == mConn->Atom(X11Connection::kWM_DELETE_WINDOW) && EscapeResult(mType))
        mResult = EscapeResult(mType);
      break;
    }
    default:
      break;
  }
}

bool X11MessageBox::Done(void* self)
{
  return ((X11MessageBox*)self)->mResult != 0;
}

int X11MessageBox::Run(const char* text, const char* caption, int type, xcb_window_t owner)
{
  if (!mConn) return kIDCANCEL;
  mType = type;
  mResult = 0;
  mNButtons = ButtonsOf(type, mButtons);
  IText style = BoxText();
  Raster_CachedFont* font = mFonts ? mFonts->CacheFont(&style) : nullptr;
  Util_String lines;
  BreakLines(font, text ? text : "", kMaxTextWidth, &lines);
  mText = lines.Get();
  RECT measured = {0, 0, 0, 0};
  if (font && lines.GetLength()) font->DrawText(nullptr, mText, -1, &measured, DT_NOPREFIX | DT_CALCRECT);
  const int textW = measured.right - measured.left, textH = measured.bottom - measured.top;
  const bool hasIcon = (type & 0xF0) == kMB_ICONERROR || (type & 0xF0) == kMB_ICONINFORMATION;
  mTextLeft = hasIcon ? kMargin + kIconSize + 12 : kMargin;
  const int bodyH = textH > (hasIcon ? kIconSize : 0) ? textH : kIconSize;
  mTextTop = kMargin + (bodyH - textH) / 2;
  const int buttonsW = mNButtons * kButtonW + (mNButtons - 1) * kButtonGap;
  int w = mTextLeft + textW + kMargin;
  if (w < buttonsW + 2 * kMargin) w = buttonsW + 2 * kMargin;
  if (w < 220) w = 220;
  const int h = kMargin + bodyH + kMargin + kButtonH + 12;
  for (int i = 0; i < mNButtons; ++i)
  {
    const int x = w - kMargin - buttonsW + i * (kButtonW + kButtonGap);
    mButtonRects[i] = IRECT(x, h - 12 - kButtonH, x + kButtonW, h - 12);
  }

  // Centred over the host's window when there is one, else on the screen.
  xcb_connection_t* c = mConn->Get();
  xcb_screen_t* screen = mConn->Screen();
  int cx = screen->width_in_pixels / 2, cy = screen->height_in_pixels / 2;
  xcb_window_t top = owner;
  if (owner)
  {
    for (int depth = 0; depth < 64; ++depth)
    {
      xcb_query_tree_reply_t* tree = X11Connection::ReplyOf(xcb_query_tree_reply, c, xcb_query_tree(c, top));
      if (!tree) break;
      const xcb_window_t up = tree->parent, root = tree->root;
      free(tree);
      if (up == root || up == XCB_WINDOW_NONE) break;
      top = up;
    }
    xcb_get_geometry_reply_t* g = X11Connection::ReplyOf(xcb_get_geometry_reply, c, xcb_get_geometry(c, owner));
    xcb_translate_coordinates_reply_t* t =
      X11Connection::ReplyOf(xcb_translate_coordinates_reply, c, xcb_translate_coordinates(c, owner, screen->root, 0, 0));
    if (g && t)
    {
      cx = t->dst_x + g->width / 2;
      cy = t->dst_y + g->height / 2;
    }
    free(g);
    free(t);
  }
  int x = cx - w / 2, y = cy - h / 2;
  if (x + w > screen->width_in_pixels) x = screen->width_in_pixels - w;
  if (y + h > screen->height_in_pixels) y = screen->height_in_pixels - h;
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  Create(mConn, x, y, w, h, false,
         XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_KEY_PRESS |
           XCB_EVENT_MASK_STRUCTURE_NOTIFY);

  // What a window manager needs: the caption, the owner, a dialog of fixed size, the close button.
  const char* title = caption ? caption : "";
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, mWindow, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, (uint32_t)strlen(title), title);
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, mWindow, mConn->Atom(X11Connection::kNET_WM_NAME),
                      mConn->Atom(X11Connection::kUTF8_STRING), 8, (uint32_t)strlen(title), title);
  const char wmClass[] = "vx-message-box\0VxMessageBox";
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, mWindow, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof wmClass, wmClass);
  if (top) xcb_change_property(c, XCB_PROP_MODE_REPLACE, mWindow, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1, &top);
  const xcb_atom_t dialog = mConn->Atom(X11Connection::kNET_WM_WINDOW_TYPE_DIALOG);
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, mWindow, mConn->Atom(X11Connection::kNET_WM_WINDOW_TYPE), XCB_ATOM_ATOM, 32, 1,
                      &dialog);
  const xcb_atom_t modal = mConn->Atom(X11Connection::kNET_WM_STATE_MODAL);
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, mWindow, mConn->Atom(X11Connection::kNET_WM_STATE), XCB_ATOM_ATOM, 32, 1, &modal);
  const xcb_atom_t deleteWindow = mConn->Atom(X11Connection::kWM_DELETE_WINDOW);
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, mWindow, mConn->Atom(X11Connection::kWM_PROTOCOLS), XCB_ATOM_ATOM, 32, 1,
                      &deleteWindow);
  // WM_NORMAL_HINTS: position and size given by the program, minimum = maximum = the size.
  uint32_t hints[18] = {};
  hints[0] = 4 | 8 | 16 | 32;
  hints[1] = (uint32_t)x;
  hints[2] = (uint32_t)y;
  hints[3] = (uint32_t)w;
  hints[4] = (uint32_t)h;
  hints[5] = hints[7] = (uint32_t)w;
  hints[6] = hints[8] = (uint32_t)h;
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, mWindow, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);

  Draw();
  Map();
  mConn->RunModal(Done, this, mPeriodMs);
  Destroy();
  mText = "";
  return mResult;
}
