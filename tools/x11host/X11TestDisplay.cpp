// The host's own X connection for the X11 tests: the parent window, XTest input, pixel read-back
// and the server's per-client resource counts.

#include "X11TestDisplay.h"

#include <xcb/res.h>
#include <xcb/xcb_image.h>
#include <xcb/xtest.h>

#include <dirent.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace
{
template <class Reply, class Cookie>
Reply* ReplyOf(Reply* (*fn)(xcb_connection_t*, Cookie, xcb_generic_error_t**), xcb_connection_t* c, Cookie cookie)
{
  xcb_generic_error_t* error = nullptr;
  Reply* reply = fn(c, cookie, &error);
  free(error);
  return reply;
}

constexpr uint32_t kKeysymShiftL = 0xffe1;

// A channel under a visual's mask as 0..255.
uint32_t FromMask(uint32_t pixel, uint32_t mask)
{
  if (!mask) return 0;
  int shift = 0, bits = 0;
  while (!((mask >> shift) & 1)) ++shift;
  while (shift + bits < 32 && ((mask >> (shift + bits)) & 1)) ++bits;
  const uint32_t v = (pixel & mask) >> shift;
  return bits >= 8 ? v >> (bits - 8) : (v * 255) / ((1u << bits) - 1);
}
}  // namespace

int CountOpenDescriptors()
{
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd"))
  {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') ++n;
    closedir(d);
    --n;  // the directory's own descriptor
  }
  return n;
}

bool X11TestDisplay::Open(std::string* error)
{
  Close();
  int screen = 0;
  mConn = xcb_connect(nullptr, &screen);
  if (!mConn || xcb_connection_has_error(mConn))
  {
    if (error) *error = "no X server (DISPLAY unset or unreachable)";
    Close();
    return false;
  }
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(mConn));
  for (int i = 0; i < screen && it.rem; ++i) xcb_screen_next(&it);
  mScreen = it.data;
  const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(mConn, &xcb_test_id);
  if (!xtest || !xtest->present)
  {
    if (error) *error = "the X server has no XTest extension";
    Close();
    return false;
  }
  LoadKeymap();
  return true;
}

void X11TestDisplay::Close()
{
  if (mConn) xcb_disconnect(mConn);
  mConn = nullptr;
  mScreen = nullptr;
}

xcb_window_t X11TestDisplay::Root() const
{
  return mScreen ? mScreen->root : 0;
}

int X11TestDisplay::ScreenWidth() const
{
  return mScreen ? mScreen->width_in_pixels : 0;
}

int X11TestDisplay::ScreenHeight() const
{
  return mScreen ? mScreen->height_in_pixels : 0;
}

void X11TestDisplay::Sync()
{
  free(ReplyOf(xcb_get_input_focus_reply, mConn, xcb_get_input_focus(mConn)));
}

// ---- windows ---------------------------------------------------------------------------------------

xcb_window_t X11TestDisplay::CreateFrame(int x, int y, int w, int h, uint32_t color)
{
  const xcb_window_t window = xcb_generate_id(mConn);
  const uint32_t values[] = {color, 1};
  xcb_create_window(mConn, mScreen->root_depth, window, mScreen->root, (int16_t)x, (int16_t)y, (uint16_t)w, (uint16_t)h, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, mScreen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT,
                    values);
  const char title[] = "Veldramix THD Meter";
  xcb_change_property(mConn, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, sizeof title - 1, title);
  xcb_map_window(mConn, window);
  Sync();
  return window;
}

void X11TestDisplay::DestroyWindow(xcb_window_t window)
{
  if (!window) return;
  xcb_destroy_window(mConn, window);
  Sync();
}

void X11TestDisplay::ResizeWindow(xcb_window_t window, int w, int h)
{
  const uint32_t size[] = {(uint32_t)w, (uint32_t)h};
  xcb_configure_window(mConn, window, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
  Sync();
}

std::vector<xcb_window_t> X11TestDisplay::Children(xcb_window_t window)
{
  std::vector<xcb_window_t> out;
  xcb_query_tree_reply_t* tree = ReplyOf(xcb_query_tree_reply, mConn, xcb_query_tree(mConn, window));
  if (!tree) return out;
  const xcb_window_t* c = xcb_query_tree_children(tree);
  out.assign(c, c + xcb_query_tree_children_length(tree));
  free(tree);
  return out;
}

bool X11TestDisplay::Geometry(xcb_window_t window, int* x, int* y, int* w, int* h)
{
  xcb_get_geometry_reply_t* g = ReplyOf(xcb_get_geometry_reply, mConn, xcb_get_geometry(mConn, window));
  if (!g) return false;
  if (x) *x = g->x;
  if (y) *y = g->y;
  if (w) *w = g->width;
  if (h) *h = g->height;
  free(g);
  return true;
}

bool X11TestDisplay::IsViewable(xcb_window_t window)
{
  xcb_get_window_attributes_reply_t* a =
    ReplyOf(xcb_get_window_attributes_reply, mConn, xcb_get_window_attributes(mConn, window));
  const bool viewable = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
  free(a);
  return viewable;
}

std::string X11TestDisplay::Name(xcb_window_t window)
{
  xcb_get_property_reply_t* p = ReplyOf(
    xcb_get_property_reply, mConn, xcb_get_property(mConn, 0, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 0, 256));
  std::string name;
  if (p) name.assign((const char*)xcb_get_property_value(p), (size_t)xcb_get_property_value_length(p));
  free(p);
  return name;
}

std::vector<xcb_window_t> X11TestDisplay::MappedTopLevels()
{
  std::vector<xcb_window_t> out;
  for (xcb_window_t w : Children(Root()))
    if (IsViewable(w)) out.push_back(w);
  return out;
}

xcb_window_t X11TestDisplay::InputFocus()
{
  xcb_get_input_focus_reply_t* f = ReplyOf(xcb_get_input_focus_reply, mConn, xcb_get_input_focus(mConn));
  const xcb_window_t focus = f ? f->focus : 0;
  free(f);
  return focus;
}

bool X11TestDisplay::KeyboardGrabbedElsewhere()
{
  xcb_grab_keyboard_reply_t* g = ReplyOf(
    xcb_grab_keyboard_reply, mConn,
    xcb_grab_keyboard(mConn, 0, Root(), XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
  const bool elsewhere = g && g->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
  if (g && g->status == XCB_GRAB_STATUS_SUCCESS) xcb_ungrab_keyboard(mConn, XCB_CURRENT_TIME);
  free(g);
  Sync();
  return elsewhere;
}

// ---- input ---------------------------------------------------------------------------------------------

void X11TestDisplay::LoadKeymap()
{
  const xcb_setup_t* setup = xcb_get_setup(mConn);
  mMinKeycode = setup->min_keycode;
  xcb_get_keyboard_mapping_reply_t* map = ReplyOf(
    xcb_get_keyboard_mapping_reply, mConn,
    xcb_get_keyboard_mapping(mConn, setup->min_keycode, (uint8_t)(setup->max_keycode - setup->min_keycode + 1)));
  if (!map) return;
  mPerKeycode = map->keysyms_per_keycode;
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
  mKeysyms.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(map));
  free(map);
}

uint8_t X11TestDisplay::KeycodeOf(uint32_t keysym, bool* shift)
{
  *shift = false;
  if (mPerKeycode == 0) return 0;
  const int n = (int)mKeysyms.size() / mPerKeycode;
  for (int col = 0; col < 2 && col < mPerKeycode; ++col)
    for (int row = 0; row < n; ++row)
      if (mKeysyms[(size_t)row * mPerKeycode + col] == keysym)
      {
        *shift = col == 1;
        return (uint8_t)(mMinKeycode + row);
      }
  return 0;
}

void X11TestDisplay::MoveTo(xcb_window_t window, int x, int y)
{
  xcb_translate_coordinates_reply_t* t = ReplyOf(xcb_translate_coordinates_reply, mConn,
                                                 xcb_translate_coordinates(mConn, window, Root(), (int16_t)x, (int16_t)y));
  if (!t) return;
  xcb_test_fake_input(mConn, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, Root(), t->dst_x, t->dst_y, XCB_NONE);
  free(t);
  Sync();
}

void X11TestDisplay::ButtonDown(int button)
{
  xcb_test_fake_input(mConn, XCB_BUTTON_PRESS, (uint8_t)button, XCB_CURRENT_TIME, XCB_NONE, 0, 0, XCB_NONE);
  Sync();
}

void X11TestDisplay::ButtonUp(int button)
{
  xcb_test_fake_input(mConn, XCB_BUTTON_RELEASE, (uint8_t)button, XCB_CURRENT_TIME, XCB_NONE, 0, 0, XCB_NONE);
  Sync();
}

void X11TestDisplay::Click(xcb_window_t window, int x, int y, int button)
{
  MoveTo(window, x, y);
  ButtonDown(button);
  ButtonUp(button);
}

void X11TestDisplay::Wheel(xcb_window_t window, int x, int y, bool up)
{
  Click(window, x, y, up ? 4 : 5);
}

void X11TestDisplay::KeyDown(uint32_t keysym)
{
  bool shift = false;
  const uint8_t code = KeycodeOf(keysym, &shift);
  if (!code) return;
  bool unused = false;
  if (shift) xcb_test_fake_input(mConn, XCB_KEY_PRESS, KeycodeOf(kKeysymShiftL, &unused), XCB_CURRENT_TIME, XCB_NONE, 0, 0, XCB_NONE);
  xcb_test_fake_input(mConn, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, XCB_NONE);
  Sync();
}

void X11TestDisplay::KeyUp(uint32_t keysym)
{
  bool shift = false;
  const uint8_t code = KeycodeOf(keysym, &shift);
  if (!code) return;
  bool unused = false;
  xcb_test_fake_input(mConn, XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, XCB_NONE);
  if (shift)
    xcb_test_fake_input(mConn, XCB_KEY_RELEASE, KeycodeOf(kKeysymShiftL, &unused), XCB_CURRENT_TIME, XCB_NONE, 0, 0, XCB_NONE);
  Sync();
}

void X11TestDisplay::Key(uint32_t keysym)
{
  KeyDown(keysym);
  KeyUp(keysym);
}

void X11TestDisplay::Type(const char* text)
{
  for (const char* p = text; *p; ++p) Key((uint32_t)(unsigned char)*p);
}

// ---- pixels and resources -----------------------------------------------------------------------------------

bool X11TestDisplay::Grab(xcb_window_t window, std::vector<uint32_t>* pixels, int* w, int* h)
{
  int gw = 0, gh = 0;
  if (!Geometry(window, nullptr, nullptr, &gw, &gh)) return false;
  xcb_image_t* image = xcb_image_get(mConn, window, 0, 0, (uint16_t)gw, (uint16_t)gh, ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP);
  if (!image) return false;
  uint32_t redMask = 0xFF0000, greenMask = 0xFF00, blueMask = 0xFF;
  for (xcb_depth_iterator_t d = xcb_screen_allowed_depths_iterator(mScreen); d.rem; xcb_depth_next(&d))
    for (xcb_visualtype_iterator_t v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
      if (v.data->visual_id == mScreen->root_visual)
      {
        redMask = v.data->red_mask;
        greenMask = v.data->green_mask;
        blueMask = v.data->blue_mask;
      }
  pixels->resize((size_t)gw * gh);
  for (int y = 0; y < gh; ++y)
    for (int x = 0; x < gw; ++x)
    {
      const uint32_t p = xcb_image_get_pixel(image, (uint32_t)x, (uint32_t)y);
      (*pixels)[(size_t)y * gw + x] =
        0xFF000000u | FromMask(p, redMask) << 16 | FromMask(p, greenMask) << 8 | FromMask(p, blueMask);
    }
  xcb_image_destroy(image);
  *w = gw;
  *h = gh;
  return true;
}

long X11TestDisplay::ClientResources(xcb_window_t windowOfClient)
{
  xcb_res_query_clients_reply_t* clients = ReplyOf(xcb_res_query_clients_reply, mConn, xcb_res_query_clients(mConn));
  if (!clients) return 0;
  long total = 0;
  xcb_res_client_iterator_t it = xcb_res_query_clients_clients_iterator(clients);
  for (; it.rem; xcb_res_client_next(&it))
  {
    if ((windowOfClient & ~it.data->resource_mask) != it.data->resource_base) continue;
    xcb_res_query_client_resources_reply_t* r = ReplyOf(xcb_res_query_client_resources_reply, mConn,
                                                        xcb_res_query_client_resources(mConn, it.data->resource_base));
    if (!r) continue;
    xcb_res_type_iterator_t t = xcb_res_query_client_resources_types_iterator(r);
    for (; t.rem; xcb_res_type_next(&t)) total += t.data->count;
    free(r);
  }
  free(clients);
  return total;
}

void X11TestDisplay::ServerTotals(int* nClients, long* resources)
{
  *nClients = 0;
  *resources = 0;
  xcb_res_query_clients_reply_t* clients = ReplyOf(xcb_res_query_clients_reply, mConn, xcb_res_query_clients(mConn));
  if (!clients) return;
  xcb_res_client_iterator_t it = xcb_res_query_clients_clients_iterator(clients);
  for (; it.rem; xcb_res_client_next(&it))
  {
    ++*nClients;
    xcb_res_query_client_resources_reply_t* r = ReplyOf(xcb_res_query_client_resources_reply, mConn,
                                                        xcb_res_query_client_resources(mConn, it.data->resource_base));
    if (!r) continue;
    xcb_res_type_iterator_t t = xcb_res_query_client_resources_types_iterator(r);
    for (; t.rem; xcb_res_type_next(&t)) *resources += t.data->count;
    free(r);
  }
  free(clients);
}

void X11TestDisplay::ServerTotalsSettled(int clients, long resources, int* gotClients, long* gotResources, int timeoutMs)
{
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;)
  {
    ServerTotals(gotClients, gotResources);
    if ((*gotClients == clients && *gotResources == resources) || std::chrono::steady_clock::now() >= end) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

xcb_window_t X11TestDisplay::Cover(xcb_window_t window, int x, int y, int w, int h, uint32_t color)
{
  xcb_translate_coordinates_reply_t* t = ReplyOf(xcb_translate_coordinates_reply, mConn,
                                                 xcb_translate_coordinates(mConn, window, Root(), (int16_t)x, (int16_t)y));
  if (!t) return 0;
  const xcb_window_t cover = CreateFrame(t->dst_x, t->dst_y, w, h, color);
  free(t);
  return cover;
}
