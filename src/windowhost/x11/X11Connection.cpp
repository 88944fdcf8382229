// The module's X connection: opening and closing it with its users, the facts about the
// server the window host needs, and the event dispatch to the windows' owners.
#include "X11Connection.h"

#include "Util_Mutex.h"

#include <xcb/shm.h>

#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace
{
// Acquire and Release come from any thread a host opens editors on; the connection is one.
std::mutex gLock;
X11Connection* gConnection = nullptr;
int gUses = 0;

const char* const kAtomNames[X11Connection::kNAtoms] = {
  "WM_PROTOCOLS", "WM_DELETE_WINDOW", "_NET_WM_NAME", "UTF8_STRING", "_NET_WM_WINDOW_TYPE",
  "_NET_WM_WINDOW_TYPE_POPUP_MENU", "_NET_WM_WINDOW_TYPE_DIALOG", "_NET_WM_STATE", "_NET_WM_STATE_MODAL",
  "CLIPBOARD", "TARGETS", "VX_SELECTION", "_XSETTINGS_S0", "_XSETTINGS_SETTINGS"};

constexpr uint32_t kKeysymNumLock = 0xff7f;

bool IsKeypadKeysym(uint32_t sym)
{
  return (sym >= 0xff80 && sym <= 0xffbd) || (sym >= 0x11000000 && sym <= 0x1100ffff);
}

int64_t NowMs()
{
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Reads the XSETTINGS blob's integer settings named name; false when absent or malformed.
bool FindXSetting(const uint8_t* data, size_t size, const char* name, int* value)
{
  if (size < 12) return false;
  const bool msb = data[0] == 1;
  auto card16 = [msb](const uint8_t* p) { return msb ? (uint32_t)(p[0] << 8 | p[1]) : (uint32_t)(p[1] << 8 | p[0]); };
  auto card32 = [msb](const uint8_t* p) {
    return msb ? (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3]
               : (uint32_t)p[3] << 24 | (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
  };
  const uint32_t count = card32(data + 8);
  size_t pos = 12;
  const size_t nameLen = std::strlen(name);
  for (uint32_t i = 0; i < count && i < 4096; ++i)
  {
    if (pos + 4 > size) return false;
    const uint8_t type = data[pos];
    const uint32_t len = card16(data + pos + 2);
    const size_t padded = (len + 3) & ~(size_t)3;
    if (pos + 4 + padded + 4 > size) return false;
    const uint8_t* settingName = data + pos + 4;
    pos += 4 + padded + 4;  // name and last-change serial
    size_t valueSize = 0;
    if (type == 0)
      valueSize = 4;
    else if (type == 1)
    {
      if (pos + 4 > size) return false;
      valueSize = 4 + ((card32(data + pos) + 3) & ~(size_t)3);
    }
    else if (type == 2)
      valueSize = 8;
    else
      return false;
    if (pos + valueSize > size) return false;
    if (type == 0 && len == nameLen && std::memcmp(settingName, name, nameLen) == 0)
    {
      *value = (int)card32(data + pos);
      return true;
    }
    pos += valueSize;
  }
  return false;
}
}  // namespace

// ---- users ---------------------------------------------------------------------------------------

X11Connection* X11Connection::Acquire()
{
  std::lock_guard<std::mutex> hold(gLock);
  if (!gConnection)
  {
    X11Connection* c = new X11Connection;
    if (!c->Open())
    {
      delete c;
      return nullptr;
    }
    gConnection = c;
  }
  ++gUses;
  return gConnection;
}

void X11Connection::Release()
{
  X11Connection* closing = nullptr;
  {
    std::lock_guard<std::mutex> hold(gLock);
    if (gUses <= 0) return;
    if (--gUses == 0)
    {
      closing = gConnection;
      gConnection = nullptr;
    }
  }
  delete closing;
}

X11Connection* X11Connection::Current()
{
  std::lock_guard<std::mutex> hold(gLock);
  return gConnection;
}

bool X11Connection::IsOpen()
{
  return Current() != nullptr;
}

X11Connection::~X11Connection()
{
  if (mConn) xcb_disconnect(mConn);
}

int X11Connection::FileDescriptor() const
{
  return mConn ? xcb_get_file_descriptor(mConn) : -1;
}

bool X11Connection::Failed() const
{
  return !mConn || xcb_connection_has_error(mConn) != 0;
}

// ---- opening -------------------------------------------------------------------------------------

bool X11Connection::Open()
{
  int screenNumber = 0;
  mConn = xcb_connect(nullptr, &screenNumber);
  if (!mConn || xcb_connection_has_error(mConn)) return false;
  const xcb_setup_t* setup = xcb_get_setup(mConn);
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
  for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
  if (!it.rem) return false;
  mScreen = it.data;

  // The root visual's pixel layout.
  mFormat.depth = mScreen->root_depth;
  mFormat.lsbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
  for (xcb_format_iterator_t f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
    if (f.data->depth == mFormat.depth) mFormat.bitsPerPixel = f.data->bits_per_pixel;
  for (xcb_depth_iterator_t d = xcb_screen_allowed_depths_iterator(mScreen); d.rem; xcb_depth_next(&d))
    for (xcb_visualtype_iterator_t v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
      if (v.data->visual_id == mScreen->root_visual)
      {
        mFormat.redMask = v.data->red_mask;
        mFormat.greenMask = v.data->green_mask;
        mFormat.blueMask = v.data->blue_mask;
      }
  mFormat.nativeArgb = mFormat.bitsPerPixel == 32 && mFormat.lsbFirst && mFormat.redMask == 0xFF0000u &&
                       mFormat.greenMask == 0xFF00u && mFormat.blueMask == 0xFFu;

  xcb_intern_atom_cookie_t cookies[kNAtoms];
  for (int i = 0; i < kNAtoms; ++i) cookies[i] = xcb_intern_atom(mConn, 0, (uint16_t)std::strlen(kAtomNames[i]), kAtomNames[i]);
  for (int i = 0; i < kNAtoms; ++i)
  {
    xcb_intern_atom_reply_t* reply = ReplyOf(xcb_intern_atom_reply, mConn, cookies[i]);
    mAtoms[i] = reply ? reply->atom : (xcb_atom_t)XCB_ATOM_NONE;
    free(reply);
  }

  // Shared memory is offered only on a local server; whether it really works (the same
  // machine and IPC namespace) shows when the first segment is attached.
  const xcb_query_extension_reply_t* shm = xcb_get_extension_data(mConn, &xcb_shm_id);
  if (shm && shm->present)
  {
    xcb_shm_query_version_reply_t* version = ReplyOf(xcb_shm_query_version_reply, mConn, xcb_shm_query_version(mConn));
    mHasShm = version != nullptr;
    mShmEventBase = shm->first_event;
    free(version);
  }
  mMaxRequestBytes = xcb_get_maximum_request_length(mConn) * 4u;
  LoadKeyboardMap();
  LoadSettings();
  return !xcb_connection_has_error(mConn);
}

void X11Connection::LoadKeyboardMap()
{
  const xcb_setup_t* setup = xcb_get_setup(mConn);
  mMinKeycode = setup->min_keycode;
  const int count = setup->max_keycode - setup->min_keycode + 1;
  xcb_get_keyboard_mapping_reply_t* map =
    ReplyOf(xcb_get_keyboard_mapping_reply, mConn, xcb_get_keyboard_mapping(mConn, setup->min_keycode, (uint8_t)count));
  mKeysymsPerKeycode = 0;
  mKeysyms.Resize(0);
  if (map)
  {
    const int n = xcb_get_keyboard_mapping_keysyms_length(map);
    if (map->keysyms_per_keycode && mKeysyms.Resize(n))
    {
      std::memcpy(mKeysyms.Get(), xcb_get_keyboard_mapping_keysyms(map), sizeof(uint32_t) * (size_t)n);
      mKeysymsPerKeycode = map->keysyms_per_keycode;
    }
    free(map);
  }
  // Which modifier bit Num Lock is.
  mNumLockMask = 0;
  xcb_get_modifier_mapping_reply_t* mods = ReplyOf(xcb_get_modifier_mapping_reply, mConn, xcb_get_modifier_mapping(mConn));
  if (mods && mKeysymsPerKeycode)
  {
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mods);
    for (int mod = 0; mod < 8; ++mod)
      for (int k = 0; k < mods->keycodes_per_modifier; ++k)
      {
        const xcb_keycode_t code = codes[mod * mods->keycodes_per_modifier + k];
        const int row = code - mMinKeycode;
        if (!code || row < 0 || (row + 1) * mKeysymsPerKeycode > mKeysyms.GetSize()) continue;
        for (int col = 0; col < mKeysymsPerKeycode; ++col)
          if (mKeysyms.Get()[row * mKeysymsPerKeycode + col] == kKeysymNumLock) mNumLockMask = (uint16_t)(1 << mod);
      }
  }
  free(mods);
}

void X11Connection::LoadSettings()
{
  if (!mAtoms[kXSETTINGS_S0] || !mAtoms[kXSETTINGS_SETTINGS]) return;
  xcb_get_selection_owner_reply_t* owner =
    ReplyOf(xcb_get_selection_owner_reply, mConn, xcb_get_selection_owner(mConn, mAtoms[kXSETTINGS_S0]));
  const xcb_window_t manager = owner ? owner->owner : (xcb_window_t)XCB_WINDOW_NONE;
  free(owner);
  if (manager == XCB_WINDOW_NONE) return;
  xcb_get_property_reply_t* prop = ReplyOf(
    xcb_get_property_reply, mConn,
    xcb_get_property(mConn, 0, manager, mAtoms[kXSETTINGS_SETTINGS], mAtoms[kXSETTINGS_SETTINGS], 0, 16384));
  if (!prop) return;
  const uint8_t* data = (const uint8_t*)xcb_get_property_value(prop);
  const size_t size = (size_t)xcb_get_property_value_length(prop);
  int value = 0;
  if (FindXSetting(data, size, "Net/DoubleClickTime", &value) && value > 0 && value < 5000) mDoubleClickMs = value;
  if (FindXSetting(data, size, "Net/DoubleClickDistance", &value) && value >= 0 && value < 100) mDoubleClickDistance = value;
  free(prop);
}

// ---- keys ----------------------------------------------------------------------------------------

uint32_t X11Connection::Keysym(xcb_keycode_t code, uint16_t state) const
{
  const int row = code - mMinKeycode;
  const int per = mKeysymsPerKeycode;
  if (row < 0 || per == 0 || (row + 1) * per > mKeysyms.GetSize()) return 0;
  const uint32_t* syms = mKeysyms.Get() + row * per;
  const uint32_t lower = syms[0];
  const uint32_t upper = per > 1 && syms[1] ? syms[1] : syms[0];
  const bool shift = (state & XCB_MOD_MASK_SHIFT) != 0;
  // Num Lock turns the keypad's second column on (Shift turns it off again).
  if (mNumLockMask && (state & mNumLockMask) && IsKeypadKeysym(upper)) return shift ? lower : upper;
  uint32_t sym = shift ? upper : lower;
  // Caps Lock capitalises letters only.
  if ((state & XCB_MOD_MASK_LOCK) && !shift && sym >= 'a' && sym <= 'z') sym = sym - 'a' + 'A';
  return sym;
}

// ---- events --------------------------------------------------------------------------------------

void X11Connection::Register(xcb_window_t window, X11EventTarget* target)
{
  Unregister(window);
  mTargets.Add(Entry{window, target});
}

void X11Connection::Unregister(xcb_window_t window)
{
  for (int i = mTargets.GetSize() - 1; i >= 0; --i)
    if (mTargets.Get()[i].window == window) mTargets.Delete(i);
}

X11EventTarget* X11Connection::TargetOf(const xcb_generic_event_t* event) const
{
  xcb_window_t window = XCB_WINDOW_NONE;
  const uint8_t type = event->response_type & 0x7F;
  switch (type)
  {
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE:
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
    case XCB_MOTION_NOTIFY:
    case XCB_ENTER_NOTIFY:
    case XCB_LEAVE_NOTIFY:
      // These share the key event's layout.
      window = ((const xcb_key_press_event_t*)event)->event;
      break;
    case XCB_FOCUS_IN:
    case XCB_FOCUS_OUT:
      window = ((const xcb_focus_in_event_t*)event)->event;
      break;
    case XCB_EXPOSE:
      window = ((const xcb_expose_event_t*)event)->window;
      break;
    case XCB_DESTROY_NOTIFY:
      window = ((const xcb_destroy_notify_event_t*)event)->window;
      break;
    case XCB_UNMAP_NOTIFY:
      window = ((const xcb_unmap_notify_event_t*)event)->window;
      break;
    case XCB_MAP_NOTIFY:
      window = ((const xcb_map_notify_event_t*)event)->window;
      break;
    case XCB_CONFIGURE_NOTIFY:
      window = ((const xcb_configure_notify_event_t*)event)->window;
      break;
    case XCB_PROPERTY_NOTIFY:
      window = ((const xcb_property_notify_event_t*)event)->window;
      break;
    case XCB_SELECTION_NOTIFY:
      window = ((const xcb_selection_notify_event_t*)event)->requestor;
      break;
    case XCB_CLIENT_MESSAGE:
      window = ((const xcb_client_message_event_t*)event)->window;
      break;
    default:
      if (mShmEventBase && type == mShmEventBase + XCB_SHM_COMPLETION)
        window = ((const xcb_shm_completion_event_t*)event)->drawable;
      break;
  }
  if (window == XCB_WINDOW_NONE) return nullptr;
  for (int i = 0; i < mTargets.GetSize(); ++i)
    if (mTargets.Get()[i].window == window) return mTargets.Get()[i].target;
  return nullptr;
}

void X11Connection::NoteTime(const xcb_generic_event_t* event)
{
  switch (event->response_type & 0x7F)
  {
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE:
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
    case XCB_MOTION_NOTIFY:
    case XCB_ENTER_NOTIFY:
    case XCB_LEAVE_NOTIFY:
      mLastTime = ((const xcb_key_press_event_t*)event)->time;
      break;
    default:
      break;
  }
}

bool X11Connection::Dispatch()
{
  if (Failed()) return false;
  // A handler may close the last window: the connection stays until the loop is done.
  {
    std::lock_guard<std::mutex> hold(gLock);
    ++gUses;
  }
  while (xcb_generic_event_t* event = xcb_poll_for_event(mConn))
  {
    NoteTime(event);
    const uint8_t type = event->response_type & 0x7F;
    if (type == XCB_MAPPING_NOTIFY)
    {
      const xcb_mapping_notify_event_t* m = (const xcb_mapping_notify_event_t*)event;
      if (m->request == XCB_MAPPING_KEYBOARD || m->request == XCB_MAPPING_MODIFIER) LoadKeyboardMap();
    }
    else if (type != 0)  // errors of requests nobody checked are dropped
    {
      if (X11EventTarget* target = TargetOf(event)) target->OnX11Event(event);
    }
    free(event);
  }
  const bool ok = !Failed();
  Release();  // may close the connection (this object): nothing of it is touched after
  return ok;
}

bool X11Connection::WaitReadable(int timeoutMs) const
{
  pollfd p = {FileDescriptor(), POLLIN, 0};
  if (p.fd < 0) return false;
  return poll(&p, 1, timeoutMs) > 0;
}

// ---- modal loops ---------------------------------------------------------------------------------

void X11Connection::AddTimerClient(X11TimerClient* client)
{
  if (mTimerClients.Find(client) < 0) mTimerClients.Add(client);
}

void X11Connection::RemoveTimerClient(X11TimerClient* client)
{
  const int i = mTimerClients.Find(client);
  if (i >= 0) mTimerClients.Delete(i);
}

void X11Connection::RunModal(bool (*done)(void*), void* context, int periodMs)
{
  {
    std::lock_guard<std::mutex> hold(gLock);
    ++gUses;
  }
  ++mModalDepth;
  int64_t next = NowMs() + periodMs;
  while (!Failed())
  {
    Dispatch();
    if (done(context)) break;
    const int64_t now = NowMs();
    if (now >= next)
    {
      // A client may leave the list while ticking: tick a copy.
      Util_TypedBuf<X11TimerClient*> clients;
      for (int i = 0; i < mTimerClients.GetSize(); ++i) clients.Add(mTimerClients.Get()[i]);
      for (int i = 0; i < clients.GetSize(); ++i)
        if (mTimerClients.Find(clients.Get()[i]) >= 0) clients.Get()[i]->OnModalTick();
      next = now + periodMs;
      if (done(context)) break;
      continue;
    }
    xcb_flush(mConn);
    WaitReadable((int)(next - now));
  }
  --mModalDepth;
  Release();
}
