// Value records of the editor: rectangles, colours, text styles, image handles, blends and
// mouse modifiers. All are plain values, copied freely; none owns what it points to.
#pragma once

#include <atomic>
#include <cstring>

class Raster_IBitmap;
class Raster_CachedFont;

// Integer rectangle; right and bottom are exclusive. All-zero means empty: never drawn, never hit.
struct IRECT
{
  int L = 0, T = 0, R = 0, B = 0;

  IRECT() = default;
  IRECT(int l, int t, int r, int b) : L(l), T(t), R(r), B(b) {}

  bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
  int W() const { return R - L; }
  int H() const { return B - T; }
  float MW() const { return 0.5f * (float)(L + R); }
  float MH() const { return 0.5f * (float)(T + B); }
  bool operator==(const IRECT& o) const { return L == o.L && T == o.T && R == o.R && B == o.B; }
  bool operator!=(const IRECT& o) const { return !(*this == o); }
  // Left and top inclusive, right and bottom exclusive.
  bool Contains(int x, int y) const { return !Empty() && x >= L && x < R && y >= T && y < B; }
  // Whether o lies wholly inside; an empty o lies inside anything.
  bool Contains(const IRECT& o) const { return o.Empty() || (!Empty() && o.L >= L && o.T >= T && o.R <= R && o.B <= B); }
  // Smallest rectangle holding both; an empty operand does not count.
  IRECT Union(const IRECT& o) const;
  // Common part; empty (all zero) when they do not meet.
  IRECT Intersect(const IRECT& o) const;
  bool Intersects(const IRECT& o) const { return !Intersect(o).Empty(); }
  // A rectangle of width x height centred on this one's centre (centre truncated to int).
  IRECT SubRectCentred(int width, int height) const;
};

struct IColor
{
  int A = 255, R = 0, G = 0, B = 0;

  IColor() = default;
  IColor(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}
  bool operator==(const IColor& o) const { return A == o.A && R == o.R && G == o.G && B == o.B; }
  bool operator!=(const IColor& o) const { return !(*this == o); }
  // Packs to the raster library's 0xAARRGGBB pixel (channels are masked to a byte each).
  unsigned int ToPixel() const
  {
    return ((unsigned)(A & 0xFF) << 24) | ((unsigned)(R & 0xFF) << 16) | ((unsigned)(G & 0xFF) << 8) | (unsigned)(B & 0xFF);
  }
  static IColor FromPixel(unsigned int p) { return IColor((int)(p >> 24), (int)((p >> 16) & 0xFF), (int)((p >> 8) & 0xFF), (int)(p & 0xFF)); }
};

inline const IColor COLOR_TRANSPARENT(0, 0, 0, 0);
inline const IColor COLOR_BLACK(255, 0, 0, 0);
inline const IColor COLOR_GRAY(255, 127, 127, 127);
inline const IColor COLOR_WHITE(255, 255, 255, 255);
inline const IColor COLOR_RED(255, 255, 0, 0);
inline const IColor COLOR_GREEN(255, 0, 255, 0);
inline const IColor COLOR_BLUE(255, 0, 0, 255);
inline const IColor COLOR_YELLOW(255, 255, 255, 0);
inline const IColor COLOR_ORANGE(255, 255, 127, 0);
inline const IColor DEFAULT_TEXT_COLOR = COLOR_BLACK;
inline const IColor DEFAULT_TEXT_ENTRY_BGCOLOR = COLOR_WHITE;
inline const IColor DEFAULT_TEXT_ENTRY_FGCOLOR = COLOR_BLACK;

// The control text font of the build: the Windows look on Windows, the macOS look elsewhere.
#ifdef _WIN32
#define DEFAULT_FONT "Verdana"
#define DEFAULT_TEXT_SIZE 12
#else
#define DEFAULT_FONT "Monaco"
#define DEFAULT_TEXT_SIZE 10
#endif

struct IText
{
  enum EStyle { kStyleNormal = 0, kStyleBold = 1, kStyleItalic = 2 };
  enum EAlign { kAlignNear = 0, kAlignCenter = 1, kAlignFar = 2 };
  enum EQuality { kQualityDefault = 0, kQualityNonAntiAliased = 1, kQualityAntiAliased = 2, kQualityClearType = 3 };
  static constexpr int kFontLen = 32;

  char mFont[kFontLen] = {};
  int mSize = DEFAULT_TEXT_SIZE;
  IColor mColor = DEFAULT_TEXT_COLOR;
  IColor mTextEntryBGColor = DEFAULT_TEXT_ENTRY_BGCOLOR;
  IColor mTextEntryFGColor = DEFAULT_TEXT_ENTRY_FGCOLOR;
  int mStyle = kStyleNormal;
  int mAlign = kAlignCenter;
  int mOrientation = 0;
  int mQuality = kQualityDefault;
  // Filled on first use from the module's font cache; valid until the module unloads.
  Raster_CachedFont* mCached = nullptr;

  IText(int size = DEFAULT_TEXT_SIZE, const IColor* color = nullptr, const char* font = nullptr,
        int style = kStyleNormal, int align = kAlignCenter, int orientation = 0, int quality = kQualityDefault,
        const IColor* teBGColor = nullptr, const IColor* teFGColor = nullptr);
  explicit IText(const IColor* color);
  void SetFont(const char* font);  // cut to 31 characters
};

// Image handle into the module's image cache. Frames are side by side when mFramesAreHorizontal,
// stacked otherwise.
struct IBitmap
{
  Raster_IBitmap* mData = nullptr;
  int W = 0, H = 0;
  int N = 1;
  bool mFramesAreHorizontal = false;

  IBitmap() = default;
  IBitmap(Raster_IBitmap* data, int w, int h, int n = 1, bool framesAreHorizontal = false)
      : mData(data), W(w), H(h), N(n < 1 ? 1 : n), mFramesAreHorizontal(framesAreHorizontal) {}
  int FrameWidth() const { return mFramesAreHorizontal ? W / N : W; }
  int FrameHeight() const { return mFramesAreHorizontal ? H : H / N; }
};

struct IChannelBlend
{
  enum EBlendMethod { kBlendNone = 0, kBlendClobber = 1, kBlendAdd = 2, kBlendColorDodge = 3 };
  int mMethod = kBlendNone;
  float mWeight = 1.0f;

  IChannelBlend(int method = kBlendNone, float weight = 1.0f) : mMethod(method), mWeight(weight) {}
};

struct IMouseMod
{
  bool L = false, R = false, S = false, C = false, A = false;

  IMouseMod(bool l = false, bool r = false, bool s = false, bool c = false, bool a = false) : L(l), R(r), S(s), C(c), A(a) {}
};

enum EDirection { kVertical = 0, kHorizontal = 1 };
enum EFileAction { kFileOpen = 0, kFileSave = 1 };

// A value that one thread writes and another reads without a common lock (a control's value
// and dirty flags: host threads set them, the user-interface thread draws from them). Reads and
// writes are single atomic accesses, so the editor stays free of data races while its code reads
// like plain fields. Read-modify-write forms are not atomic as a whole: each side stores whole
// values, and the last store wins, as it would for the plain field.
template <class T>
class IShared
{
public:
  IShared(T v = T()) : mV(v) {}
  IShared(const IShared& o) : mV(o.Get()) {}
  IShared& operator=(const IShared& o) { Set(o.Get()); return *this; }
  IShared& operator=(T v) { Set(v); return *this; }
  operator T() const { return Get(); }
  T Get() const { return mV.load(std::memory_order_acquire); }
  void Set(T v) { mV.store(v, std::memory_order_release); }
  // Stores v and returns what was there, in one step: a value posted by another thread is
  // either returned here or stored after, never lost between a read and a reset.
  T Exchange(T v) { return mV.exchange(v, std::memory_order_acq_rel); }
  // Stores desired only while the value still equals expected (else expected becomes the value).
  bool CompareExchange(T& expected, T desired) { return mV.compare_exchange_strong(expected, desired, std::memory_order_acq_rel); }
  IShared& operator+=(T d) { Set(Get() + d); return *this; }
  IShared& operator-=(T d) { Set(Get() - d); return *this; }

private:
  std::atomic<T> mV;
};
