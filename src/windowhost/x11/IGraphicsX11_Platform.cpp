// The X11 host's platform services: message boxes (through the framework's replaceable
// function, whose Linux default becomes this host's dialog while an editor window is open),
// popup menus, folders after the XDG rules, web addresses (through the system's opener in
// Util_Platform), the clipboard, the cursor and the editor's images from memory.
#include "IGraphicsX11.h"

#include "IUserNotice.h"
#include "Util_Platform.h"
#include "Util_UserDirs.h"
#include "Raster_PNG.h"
#include "X11MessageBox.h"
#include "X11PopupMenu.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace
{
std::atomic<IGraphicsX11::ImageLookup> gImageLookup{nullptr};

// The open editors, so that a message box without an owner finds fonts and a connection.
std::mutex gEditorsLock;
Util_TypedBuf<IGraphicsX11*> gEditors;

// The platform message box of the module while an editor window is open: the one of the
// owner's editor, or of any open editor. 0 when none is open (the framework then writes the
// text to standard error, as it does without a window host).
int X11PlatformMessageBox(void* owner, const char* text, const char* caption, int type)
{
  IGraphicsX11* editor = nullptr;
  {
    std::lock_guard<std::mutex> hold(gEditorsLock);
    for (int i = 0; i < gEditors.GetSize(); ++i)
    {
      // Only on the thread that runs the editor: the host's user-interface thread.
      IGraphicsX11* e = gEditors.Get()[i];
      if (e->UIThread() != std::this_thread::get_id()) continue;
      if (!editor || (owner && e->GetWindow() == owner)) editor = e;
    }
  }
  X11Connection* conn = editor ? X11Connection::Acquire() : nullptr;
  if (!conn) return 0;
  int result = 0;
  {
    X11MessageBox box(editor, conn, editor->TimerPeriodMs());
    result = box.Run(text, caption, type, (xcb_window_t)(uintptr_t)editor->GetWindow());
  }
  X11Connection::Release();
  return result;
}
}  // namespace

void IGraphicsX11::SetImageLookup(ImageLookup lookup)
{
  gImageLookup.store(lookup);
}

void IGraphicsX11::NoteOpened(bool open)
{
  std::lock_guard<std::mutex> hold(gEditorsLock);
  mUIThread = std::this_thread::get_id();
  const int i = gEditors.Find(this);
  if (open && i < 0) gEditors.Add(this);
  if (!open && i >= 0) gEditors.Delete(i);
  static bool installed = false;
  if (open && !installed)
  {
    SetPlatformMessageBoxFunc(&X11PlatformMessageBox);
    installed = true;
  }
}

// ---- message boxes and menus -----------------------------------------------------------------------------

int IGraphicsX11::ShowMessageBox(const char* text, const char* caption, int type)
{
  return ShowUserMessageBox(GetWindow(), text, caption, type);
}

IPopupMenu* IGraphicsX11::CreateIPopupMenu(IPopupMenu* menu, IRECT* areaRect)
{
  ReleaseMouseCapture();
  if (!menu || !mWindow || mWindowLost) return nullptr;
  xcb_connection_t* c = mConn->Get();
  const int left = areaRect ? (int)(areaRect->L * mScale) : 0;
  const int top = areaRect ? (int)(areaRect->T * mScale) : 0;
  const int bottom = areaRect ? (int)(areaRect->B * mScale) : 0;
  xcb_translate_coordinates_reply_t* origin = X11Connection::ReplyOf(
    xcb_translate_coordinates_reply, c, xcb_translate_coordinates(c, mWindow, mConn->Screen()->root, 0, 0));
  const int ox = origin ? origin->dst_x : 0, oy = origin ? origin->dst_y : 0;
  free(origin);
  IPopupMenu* result = nullptr;
  {
    X11PopupMenu popup(this, mConn, TimerPeriodMs());
    result = popup.Run(menu, ox + left, oy + bottom, oy + top);
  }
  // The press that opened the menu had its release taken by the menu's grab.
  mButtonsDown = 0;
  return result;
}

// ---- folders ------------------------------------------------------------------------------------------------

void IGraphicsX11::HostPath(Util_String* path)
{
  if (!path) return;
  char buf[4096] = {};
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0)
  {
    path->Set(".");
    return;
  }
  buf[n] = 0;
  Util_DirectoryOf(buf, path);
}

void IGraphicsX11::PluginPath(Util_String* path)
{
  if (!path) return;
  // The file this code was loaded from: the plug-in module, or the program it is linked into.
  Dl_info info;
  if (dladdr((void*)&IGraphicsX11::SetImageLookup, &info) && info.dli_fname && info.dli_fname[0] == '/')
    Util_DirectoryOf(info.dli_fname, path);
  else
    HostPath(path);
}

void IGraphicsX11::DesktopPath(Util_String* path)
{
  if (!path) return;
  if (Util_UserDesktopDir(path)) return;
  Util_XdgDir("XDG_DESKTOP_DIR", "Desktop", path);
}

void IGraphicsX11::AppSupportPath(Util_String* path, bool isSystem)
{
  if (!path) return;
  if (isSystem)
    path->Set("/usr/share");
  else
    Util_XdgDir("XDG_DATA_HOME", ".local/share", path);
}

void IGraphicsX11::SandboxSafeAppSupportPath(Util_String* path)
{
  AppSupportPath(path, false);
}

void IGraphicsX11::PromptForFile(Util_String* fileName, EFileAction, Util_String*, const char*)
{
  if (fileName) fileName->Set("");
}

bool IGraphicsX11::PromptForColor(IColor*, const char*)
{
  return false;
}

// ---- web addresses ------------------------------------------------------------------------------------------

bool IGraphicsX11::OpenURL(const char* url, const char* msgWindowTitle, const char* confirmMsg, const char* errMsgOnFailure)
{
  if (!url || !*url) return false;
  if (confirmMsg && *confirmMsg &&
      ShowMessageBox(confirmMsg, msgWindowTitle ? msgWindowTitle : "", kMB_YESNO) != kIDYES)
    return false;
  // The system's opener, started without a shell with the address as its one argument.
  if (Util_OpenAddress(url) == EUtilOpenResult::kOpened) return true;
  if (errMsgOnFailure && *errMsgOnFailure) ShowMessageBox(errMsgOnFailure, msgWindowTitle ? msgWindowTitle : "", kMB_OK);
  return false;
}

// ---- clipboard ------------------------------------------------------------------------------------------------

bool IGraphicsX11::ClipboardDone(void* self)
{
  IGraphicsX11* me = (IGraphicsX11*)self;
  return !me->mClipboardWaiting || std::chrono::steady_clock::now() > me->mClipboardDeadline;
}

bool IGraphicsX11::GetTextFromClipboard(Util_String* str)
{
  if (!str) return false;
  str->Set("");
  if (!mWindow || mWindowLost) return false;
  xcb_connection_t* c = mConn->Get();
  const xcb_atom_t clipboard = mConn->Atom(X11Connection::kCLIPBOARD);
  xcb_get_selection_owner_reply_t* owner =
    X11Connection::ReplyOf(xcb_get_selection_owner_reply, c, xcb_get_selection_owner(c, clipboard));
  const bool hasOwner = owner && owner->owner != XCB_WINDOW_NONE;
  free(owner);
  if (!hasOwner) return false;
  // UTF-8 first, then Latin-1 text from owners that offer nothing else.
  const xcb_atom_t targets[2] = {mConn->Atom(X11Connection::kUTF8_STRING), XCB_ATOM_STRING};
  for (xcb_atom_t target : targets)
  {
    mClipboardText.Set("");
    mClipboardWaiting = true;
    mClipboardDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    xcb_convert_selection(c, mWindow, clipboard, target, mConn->Atom(X11Connection::kVX_SELECTION), mConn->LastEventTime());
    xcb_flush(c);
    mConn->RunModal(ClipboardDone, this, TimerPeriodMs());
    mClipboardWaiting = false;
    if (mClipboardText.GetLength())
    {
      str->Set(mClipboardText.Get());
      return true;
    }
  }
  return false;
}

void IGraphicsX11::OnSelectionNotify(const xcb_selection_notify_event_t* e)
{
  if (!mClipboardWaiting) return;
  mClipboardWaiting = false;
  if (e->property == XCB_ATOM_NONE) return;
  xcb_connection_t* c = mConn->Get();
  xcb_get_property_reply_t* prop = X11Connection::ReplyOf(
    xcb_get_property_reply, c, xcb_get_property(c, 1, mWindow, e->property, XCB_GET_PROPERTY_TYPE_ANY, 0, 4096));
  if (!prop) return;
  if (prop->format == 8)
  {
    const char* data = (const char*)xcb_get_property_value(prop);
    const int n = xcb_get_property_value_length(prop);
    if (e->target == XCB_ATOM_STRING)
    {
      // Latin-1 to UTF-8.
      for (int i = 0; i < n; ++i)
      {
        const unsigned char ch = (unsigned char)data[i];
        char utf8[3] = {(char)ch, 0, 0};
        if (ch >= 0x80)
        {
          utf8[0] = (char)(0xC0 | (ch >> 6));
          utf8[1] = (char)(0x80 | (ch & 0x3F));
        }
        mClipboardText.Append(utf8);
      }
    }
    else
    {
      mClipboardText.Set(data, n);
    }
  }
  free(prop);
}

// ---- cursor -------------------------------------------------------------------------------------------------

void IGraphicsX11::HideMouseCursor()
{
  if (mCursorHidden || !mWindow || mWindowLost) return;
  xcb_connection_t* c = mConn->Get();
  xcb_query_pointer_reply_t* p = X11Connection::ReplyOf(xcb_query_pointer_reply, c, xcb_query_pointer(c, mWindow));
  if (p)
  {
    mHiddenMousePointX = p->root_x;
    mHiddenMousePointY = p->root_y;
    free(p);
  }
  // A cursor of one transparent pixel: a one-bit pixmap cleared to 0 as its shape and mask.
  const xcb_pixmap_t pixmap = xcb_generate_id(c);
  xcb_create_pixmap(c, 1, pixmap, mWindow, 1, 1);
  const xcb_gcontext_t gc = xcb_generate_id(c);
  const uint32_t zero = 0;
  xcb_create_gc(c, gc, pixmap, XCB_GC_FOREGROUND, &zero);
  const xcb_rectangle_t pixel = {0, 0, 1, 1};
  xcb_poly_fill_rectangle(c, pixmap, gc, 1, &pixel);
  xcb_free_gc(c, gc);
  mBlankCursor = xcb_generate_id(c);
  xcb_create_cursor(c, mBlankCursor, pixmap, pixmap, 0, 0, 0, 0, 0, 0, 0, 0);
  xcb_free_pixmap(c, pixmap);
  xcb_change_window_attributes(c, mWindow, XCB_CW_CURSOR, &mBlankCursor);
  xcb_flush(c);
  mCursorHidden = true;
}

void IGraphicsX11::ShowMouseCursor()
{
  if (!mCursorHidden) return;
  mCursorHidden = false;
  if (!mConn) return;
  xcb_connection_t* c = mConn->Get();
  if (mWindow && !mWindowLost)
  {
    const uint32_t none = XCB_CURSOR_NONE;
    xcb_change_window_attributes(c, mWindow, XCB_CW_CURSOR, &none);
    xcb_warp_pointer(c, XCB_WINDOW_NONE, mConn->Screen()->root, 0, 0, 0, 0, (int16_t)mHiddenMousePointX,
                     (int16_t)mHiddenMousePointY);
  }
  if (mBlankCursor) xcb_free_cursor(c, mBlankCursor);
  mBlankCursor = 0;
  xcb_flush(c);
}

// ---- images ---------------------------------------------------------------------------------------------------

Raster_IBitmap* IGraphicsX11::OSLoadBitmap(int id, const char*)
{
  ImageLookup lookup = gImageLookup.load();
  const unsigned char* png = nullptr;
  size_t size = 0;
  if (!lookup || !lookup(id, &png, &size) || !png || !size) return nullptr;
  return Raster_LoadPNGFromMemory(png, size);
}
