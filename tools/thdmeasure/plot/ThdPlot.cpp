// Sweep plots: axes, grid and legend, the curves with their marks for figures at the floor or
// missing, and the notes under the plot that say why.

#include "ThdPlot.h"

#include "Raster.h"
#include "Raster_PNGWrite.h"
#include "ThdFormat.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int kDefaultWidth = 1000, kDefaultHeight = 620;

// Colours: a light page, a white plot area, grey grid, dark text.
constexpr uint32_t kPage = 0xFFFFFFFF;
constexpr uint32_t kFrame = 0xFF505050;
constexpr uint32_t kGridMajor = 0xFFCFD3D8;
constexpr uint32_t kGridMinor = 0xFFE9EBEE;
constexpr uint32_t kText = 0xFF202020;
constexpr uint32_t kSoftText = 0xFF606060;

// The text face: Arial where it exists, its metric twin (Liberation Sans) through fontconfig.
constexpr const char* kFace = "Arial";

// Limits that keep absurd data drawable: the y axis never spans more than these dB, the log
// x axis stays within these decades, and coordinates never leave a range floats can hold.
constexpr double kMinDb = -400.0, kMaxDb = 200.0;
constexpr double kMinLogX = -30.0, kMaxLogX = 30.0;
constexpr double kMaxLinearX = 1e12;
constexpr double kFarPixels = 1e6;

enum class EMarker
{
  kCircle,
  kSquare,
  kTriangleUp,
  kDiamond,
  kTriangleDown,
  kCross,
  kNone
};

struct SeriesStyle
{
  uint32_t mColour;
  float mWidth;  // line width in pixels
  EMarker mMarker;
  uint32_t mMarkerColour;
  double mMarkerScale;  // of the usual marker, about 10 pixels across
  int mLayer;           // drawn from the lowest layer up
  bool mDashed;         // a companion curve (the interface's THD, an uncertainty)
};

// Curves that coincide must all stay visible, so the styles nest: THD+N is a wide pale band
// at the bottom, THD a dark line narrower than the band on it, the harmonics thin coloured lines
// on top. Where all three lie on one another the harmonic runs inside THD's dark edges inside
// THD+N's band, and the markers nest the same way (square, circle, the harmonic's shape).
// Other names take the remaining colours in turn.
SeriesStyle StyleFor(const std::string& name, int otherIndex, bool* known)
{
  *known = true;
  if (name == "THD+N") return {0xFFC9CFD8, 10.0f, EMarker::kSquare, 0xFF8A919C, 1.45, 0, false};
  // A sweep compensated for the interface: the measurement's THD as THD, the interface's THD a
  // dashed companion, what is left without it a blue line with its uncertainty dashed below.
  if (name == "its uncertainty") return {0xFF9AA3AD, 1.2f, EMarker::kNone, 0xFF9AA3AD, 1.0, 0, true};
  if (name == "THD of the interface") return {0xFFE08A00, 1.8f, EMarker::kSquare, 0xFFE08A00, 1.0, 2, true};
  if (name == "THD compensated") return {0xFF1F6FC5, 2.6f, EMarker::kDiamond, 0xFF1F6FC5, 1.0, 2, false};
  if (name == "THD" || name == "THD measured") return {0xFF1A1F2B, 4.6f, EMarker::kCircle, 0xFF1A1F2B, 1.3, 1, false};
  if (name == "H2") return {0xFF1F6FC5, 1.6f, EMarker::kTriangleUp, 0xFF1F6FC5, 1.0, 2, false};
  if (name == "H3") return {0xFFD0312D, 1.6f, EMarker::kDiamond, 0xFFD0312D, 1.0, 2, false};
  if (name == "H4") return {0xFF2A9640, 1.6f, EMarker::kTriangleDown, 0xFF2A9640, 1.0, 2, false};
  if (name == "H5") return {0xFF8E44AD, 1.6f, EMarker::kCross, 0xFF8E44AD, 1.0, 2, false};
  static const SeriesStyle others[] = {
      {0xFFE08A00, 1.6f, EMarker::kCircle, 0xFFE08A00, 1.0, 2, false},  {0xFF138D90, 1.6f, EMarker::kSquare, 0xFF138D90, 1.0, 2, false},
      {0xFF8C564B, 1.6f, EMarker::kDiamond, 0xFF8C564B, 1.0, 2, false}, {0xFFD6449B, 1.6f, EMarker::kTriangleUp, 0xFFD6449B, 1.0, 2, false},
  };
  *known = false;
  return others[otherIndex % 4];
}

// ---- text -----------------------------------------------------------------------------------

class PlotFont
{
public:
  PlotFont(int size, bool bold, int flags = 0)
  {
    HFONT hf =
        CreateFont(std::max(size, 2), 0, 0, 0, bold ? 700 : 400, 0, 0, 0, 0, 0, 0, ANTIALIASED_QUALITY, 0, kFace);
    if (hf)
    {
      mFont.SetFromHFont(hf, flags | kRasterFont_OwnsFont);
      mFont.SetBkMode(TRANSPARENT);
      mOk = true;
    }
  }
  bool Ok() const { return mOk; }
  int LineHeight() { return mOk ? mFont.GetLineHeight() : 0; }
  // Width and height of one line of text.
  void Measure(const std::string& text, int* w, int* h)
  {
    RECT r = {0, 0, 0, 0};
    if (mOk && !text.empty())
      mFont.DrawText(nullptr, text.c_str(), (int)text.size(), &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    *w = r.right - r.left;
    *h = r.bottom - r.top;
  }
  int Width(const std::string& text)
  {
    int w = 0, h = 0;
    Measure(text, &w, &h);
    return w;
  }
  void Draw(Raster_IBitmap& bm, const std::string& text, int l, int t, int r, int b, UINT format, uint32_t colour)
  {
    if (!mOk || text.empty()) return;
    RECT rc = {l, t, r, b};
    const UINT flags = format | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP;
    mFont.DrawTextInColor(&bm, text.c_str(), (int)text.size(), &rc, flags, colour);
  }

private:
  Raster_CachedFont mFont;
  bool mOk = false;
};

// The longest prefix of text (whole UTF-8 characters) that fits width with an ellipsis after it.
std::string Elide(PlotFont& font, const std::string& text, int width)
{
  if (font.Width(text) <= width) return text;
  std::vector<size_t> cuts;  // character boundaries
  for (size_t i = 1; i < text.size(); ++i)
    if (((unsigned char)text[i] & 0xC0) != 0x80) cuts.push_back(i);
  size_t lo = 0, hi = cuts.size();  // cuts[0..lo) fit
  while (lo < hi)
  {
    const size_t mid = (lo + hi + 1) / 2;
    if (font.Width(text.substr(0, cuts[mid - 1]) + "\xE2\x80\xA6") <= width)
      lo = mid;
    else
      hi = mid - 1;
  }
  if (lo == 0) return "\xE2\x80\xA6";
  std::string kept = text.substr(0, cuts[lo - 1]);
  while (!kept.empty() && kept.back() == ' ') kept.pop_back();
  return kept + "\xE2\x80\xA6";
}

// ---- numbers --------------------------------------------------------------------------------

// Frequencies as engineers write them: "20", "500", "1k", "2.5k", "20k", "1M"; below 1 with decimals.
std::string FrequencyLabel(double hz)
{
  const double a = std::fabs(hz);
  if (a >= 1e9 || (a > 0.0 && a < 1e-3)) return ThdFormat("1e%.0f", std::log10(a));  // only decades get this far
  if (a >= 1e6) return ThdFormat("%gM", hz / 1e6);
  if (a >= 1e3) return ThdFormat("%gk", hz / 1e3);
  return ThdFormat("%g", hz);
}

// Linear axis values with as many decimals as the step needs.
std::string LinearLabel(double v, double step)
{
  if (std::fabs(v) < step * 1e-6) v = 0.0;  // no "-0"
  int decimals = 0;
  for (double s = step; s < 0.999 && decimals < 6; s *= 10.0) ++decimals;
  if (std::fabs(v) >= 1e7) return ThdFormat("%g", v);
  char format[16];
  std::snprintf(format, sizeof format, "%%.%df", decimals);
  return ThdFormat(format, v);
}

// The ratio of a dB value in percent: 0 dB is 100 %, every -20 dB a tenth of it. One notation
// for a whole axis: plain decimals ("100 %", "0.001 %"), or powers of ten ("1e-12 %") for all
// labels when one of them would need more than ten decimals or digits (absurd data only: the
// axis stops at the rounding floor, 0.00000001 %).
std::string PercentLabel(int exponent, bool powers)  // percent = 10^exponent
{
  if (powers) return ThdFormat("1e%d %%", exponent);
  if (exponent >= 0) return ThdFormat("%.0f %%", std::pow(10.0, exponent));
  return ThdFormat("%.*f %%", -exponent, std::pow(10.0, exponent));
}
bool PercentNeedsPowers(int lowest, int highest) { return lowest < -10 || highest > 10; }

// 1, 2 or 5 times a power of ten: the largest not above v (down) or the smallest not below it.
double Nice125(double v, bool up)
{
  const double decade = std::pow(10.0, std::floor(std::log10(v)));
  const double m = v / decade;
  static const double steps[] = {1.0, 2.0, 5.0, 10.0};
  if (up)
  {
    for (double s : steps)
      if (s >= m * (1.0 - 1e-6)) return s * decade;
    return 10.0 * decade;
  }
  double best = 1.0;
  for (double s : steps)
    if (s <= m * (1.0 + 1e-6)) best = s;
  return best * decade;
}

// ---- axes -----------------------------------------------------------------------------------

struct XAxis
{
  bool mLog = true;
  double mLo = 20.0, mHi = 20000.0;  // axis ends (values; log axes: positive)
  double mStep = 1.0;                // linear axes: gridline step

  bool Valid(double x) const { return std::isfinite(x) && (!mLog || x > 0.0); }
  // 0 at the left end, 1 at the right; far outside for values far outside.
  double Fraction(double x) const
  {
    double t = mLog ? (std::log10(x) - std::log10(mLo)) / (std::log10(mHi) - std::log10(mLo)) : (x - mLo) / (mHi - mLo);
    return std::clamp(t, -kFarPixels, kFarPixels);
  }
};

XAxis MakeXAxis(const ThdPlotData& data)
{
  XAxis a;
  a.mLog = data.mLogX;
  double lo = HUGE_VAL, hi = -HUGE_VAL;
  for (double x : data.mX)
    if (a.Valid(x))
    {
      const double v =
          a.mLog ? std::clamp(std::log10(x), kMinLogX, kMaxLogX) : std::clamp(x, -kMaxLinearX, kMaxLinearX);
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  if (a.mLog)
  {
    if (lo > hi) lo = std::log10(20.0), hi = std::log10(20000.0);
    if (hi - lo < 1e-9) lo -= std::log10(2.0), hi += std::log10(2.0);  // a single frequency: an octave each side
    a.mLo = Nice125(std::pow(10.0, lo), false);
    a.mHi = Nice125(std::pow(10.0, hi), true);
    if (a.mHi <= a.mLo * (1.0 + 1e-9)) a.mHi = Nice125(a.mLo * 1.5, true);
    return a;
  }
  if (lo > hi) lo = 0.0, hi = 1.0;
  if (hi - lo < 1e-9 * std::max(1.0, std::fabs(lo))) lo -= 1.0, hi += 1.0;
  a.mStep = Nice125((hi - lo) / 10.0, true);
  a.mLo = std::floor(lo / a.mStep + 1e-9) * a.mStep;
  a.mHi = std::ceil(hi / a.mStep - 1e-9) * a.mStep;
  if (a.mHi <= a.mLo) a.mHi = a.mLo + a.mStep;
  return a;
}

struct YAxis
{
  double mLo = -120.0, mHi = 0.0, mStep = 20.0;
  double Fraction(double db) const { return std::clamp((db - mLo) / (mHi - mLo), -kFarPixels, kFarPixels); }
};

// ---- values ---------------------------------------------------------------------------------

EThdPlotMark MarkAt(const ThdPlotSeries& s, size_t i) { return i < s.mMarks.size() ? s.mMarks[i] : EThdPlotMark::kMeasured; }

// The floor the y axis stops at; an absurd one is taken as the lowest level the plot draws.
double FloorDb(const ThdPlotData& data)
{
  return std::isfinite(data.mFloorDb) ? std::clamp(data.mFloorDb, kMinDb, kMaxDb) : kMinDb;
}

// A value that sits on the floor line: marked below the floor, or a number under it (-inf too).
bool OnFloor(const ThdPlotData& data, const ThdPlotSeries& s, size_t i)
{
  return MarkAt(s, i) == EThdPlotMark::kBelowFloor || s.mY[i] < FloorDb(data);
}

// A value drawn as a point of its curve.
bool OnCurve(const ThdPlotData& data, const ThdPlotSeries& s, size_t i)
{
  return std::isfinite(s.mY[i]) && !OnFloor(data, s, i);
}

// The range of the values on the curves, in dB. Values below the floor do not stretch it:
// they sit on its bottom line. Absurdly high ones (a broken measurement) do not squash the
// others: they are drawn off the scale; only when nothing else is there do they set it, at the
// limit. False when no value lies on a curve.
bool DataRangeDb(const ThdPlotData& data, double* lo, double* hi)
{
  double l = HUGE_VAL, h = -HUGE_VAL, clampedL = HUGE_VAL, clampedH = -HUGE_VAL;
  for (const ThdPlotSeries& s : data.mSeries)
    for (size_t i = 0; i < s.mY.size(); ++i)
      if (OnCurve(data, s, i))
      {
        const double y = s.mY[i];
        if (y <= kMaxDb)
        {
          l = std::min(l, y);
          h = std::max(h, y);
        }
        clampedL = std::min(clampedL, std::min(y, kMaxDb));
        clampedH = std::max(clampedH, std::min(y, kMaxDb));
      }
  if (l > h) l = clampedL, h = clampedH;
  if (l > h) return false;
  *lo = l;
  *hi = h;
  return true;
}

// The most values below the floor at any one point: the height of their stack on the floor line.
int FloorStack(const ThdPlotData& data)
{
  int most = 0;
  for (size_t i = 0; i < data.mX.size(); ++i)
  {
    int n = 0;
    for (const ThdPlotSeries& s : data.mSeries) n += i < s.mY.size() && OnFloor(data, s, i);
    most = std::max(most, n);
  }
  return most;
}

// Gridlines every 10 dB for narrow ranges, every 20 dB (or a multiple of it) for wide ones or
// short plots (minStep), with a little room above and below the data, and room for the stack
// of values below the floor under the lowest curve (in a plot area about height pixels high);
// never below the floor.
YAxis MakeYAxis(const ThdPlotData& data, double minStep, int height)
{
  YAxis a;
  double lo = -119.0, hi = -1.0;  // no data: the usual range of distortion
  const bool curves = DataRangeDb(data, &lo, &hi);
  const int stack = FloorStack(data);
  lo -= curves && stack > 0 ? std::max(1.0, (hi - lo) * (11.0 * stack + 4.0) / std::max(height - 11.0 * stack, 20.0)) : 1.0;
  hi += 1.0;
  const double span = hi - lo;
  a.mStep = std::max(span <= 90.0 ? 10.0 : 20.0 * std::ceil(span / 200.0), minStep);
  a.mLo = std::floor(lo / a.mStep) * a.mStep;
  a.mHi = std::ceil(hi / a.mStep) * a.mStep;
  if (a.mHi - a.mLo < 2 * a.mStep) a.mLo = a.mHi - 2 * a.mStep;
  const double bottom = std::floor(FloorDb(data) / a.mStep) * a.mStep;
  if (a.mLo < bottom)
  {
    a.mLo = bottom;
    a.mHi = std::max(a.mHi, bottom + 2 * a.mStep);
  }
  return a;
}

struct Tick
{
  double mValue;
  bool mMajor;  // gridline strength
  bool mLabel;  // a label is wanted here
};

std::vector<Tick> XTicks(const XAxis& a)
{
  std::vector<Tick> ticks;
  if (!a.mLog)
  {
    const int n = (int)std::lround((a.mHi - a.mLo) / a.mStep);
    for (int i = 0; i <= n && i <= 1000; ++i) ticks.push_back({a.mLo + i * a.mStep, true, true});
    return ticks;
  }
  const int d0 = (int)std::floor(std::log10(a.mLo) + 1e-9), d1 = (int)std::ceil(std::log10(a.mHi) - 1e-9);
  const bool fine = d1 - d0 <= 6;  // 2-9 subdivisions only while decades are wide enough
  for (int d = d0; d <= d1; ++d)
    for (int m = 1; m <= 9; ++m)
    {
      if (!fine && m > 1) break;
      const double v = m * std::pow(10.0, d);
      if (v < a.mLo * (1.0 - 1e-9) || v > a.mHi * (1.0 + 1e-9)) continue;
      ticks.push_back({v, m == 1, m == 1 || (fine && (m == 2 || m == 5))});
    }
  return ticks;
}

// ---- geometry -------------------------------------------------------------------------------

struct Box
{
  int l = 0, t = 0, r = 0, b = 0;  // inclusive pixel edges of the plot area's frame
  int W() const { return r - l; }
  int H() const { return b - t; }
};

struct Point
{
  double x, y;
};

// Lines between values at the noise floor are dotted: dots of 2 pixels, gaps of 3. Companion
// curves are dashed: dashes of 7 pixels, gaps of 4.
constexpr double kDotOn = 2.0, kDotOff = 3.0;
constexpr double kDashOn = 7.0, kDashOff = 4.0;

// A marker centred on (x, y): filled, or open (its outline around the page colour) for a value
// at the noise floor or below the rounding floor.
void Marker(Raster_IBitmap& bm, EMarker m, double x, double y, uint32_t colour, bool open, double scale = 1.0)
{
  x = std::round(x);
  y = std::round(y);
  // Each shape as its outline about its centre; an open marker fills the shape, then the
  // page colour in the shape shrunk by this much about its centre.
  auto polygon = [&](const double* px, const double* py, int n, double cx, double cy) {
    double xs[4], ys[4];
    for (int i = 0; i < n; ++i) xs[i] = x + px[i] * scale, ys[i] = y + py[i] * scale;
    Raster_FillConvexPolygonAA(&bm, xs, ys, n, colour);
    if (!open) return;
    const double inner = n == 3 ? 0.42 : 0.55;
    for (int i = 0; i < n; ++i)
      xs[i] = x + (cx + (px[i] - cx) * inner) * scale, ys[i] = y + (cy + (py[i] - cy) * inner) * scale;
    Raster_FillConvexPolygonAA(&bm, xs, ys, n, kPage);
  };
  switch (m)
  {
    case EMarker::kCircle:
      Raster_FillCircle(&bm, (float)x, (float)y, (float)(3.5 * scale), colour, 1.0f, 0, true);
      if (open) Raster_FillCircle(&bm, (float)x, (float)y, (float)(3.5 * scale - 1.7), kPage, 1.0f, 0, true);
      break;
    case EMarker::kSquare:
    {
      const double xs[4] = {-3.5, 3.5, 3.5, -3.5}, ys[4] = {-3.5, -3.5, 3.5, 3.5};
      polygon(xs, ys, 4, 0.0, 0.0);
      break;
    }
    case EMarker::kTriangleUp:
    {
      const double xs[3] = {0.0, 5.0, -5.0}, ys[3] = {-5.0, 4.0, 4.0};
      polygon(xs, ys, 3, 0.0, 1.0);
      break;
    }
    case EMarker::kTriangleDown:
    {
      const double xs[3] = {-5.0, 5.0, 0.0}, ys[3] = {-4.0, -4.0, 5.0};
      polygon(xs, ys, 3, 0.0, -1.0);
      break;
    }
    case EMarker::kDiamond:
    {
      const double xs[4] = {0.0, 5.0, 0.0, -5.0}, ys[4] = {-5.0, 0.0, 5.0, 0.0};
      polygon(xs, ys, 4, 0.0, 0.0);
      break;
    }
    case EMarker::kCross:
    {
      const double r = 4.0 * scale;
      // Open: a thin cross in a ring.
      const float width = open ? 1.0f : 2.0f;
      if (open) Raster_Circle(&bm, (float)x, (float)y, (float)(r + 1.5), colour, 1.0f, 0, true);
      Raster_WideLine(&bm, x - r, y - r, x + r, y + r, width, colour, 1.0f, 0, true);
      Raster_WideLine(&bm, x - r, y + r, x + r, y - r, width, colour, 1.0f, 0, true);
      break;
    }
    case EMarker::kNone:
      break;
  }
}

// An upper bound: a bar at the bound with an arrow pointing down from it.
void BoundMarker(Raster_IBitmap& bm, double x, double y, uint32_t colour)
{
  x = std::round(x);
  y = std::round(y);
  Raster_WideLine(&bm, x - 5, y, x + 5, y, 2.0f, colour, 1.0f, 0, true);
  Raster_WideLine(&bm, x, y, x, y + 9, 1.6f, colour, 1.0f, 0, true);
  const double xs[3] = {x - 4.0, x + 4.0, x}, ys[3] = {y + 8.0, y + 8.0, y + 14.0};
  Raster_FillConvexPolygonAA(&bm, xs, ys, 3, colour);
}

// ---- the plot -------------------------------------------------------------------------------

struct Fonts
{
  PlotFont title{17, true};
  PlotFont small{13, false};
  PlotFont axis{13, true};
  PlotFont axisUp{13, true, kRasterFont_Vertical | kRasterFont_BottomUp};
};

// What a legend entry shows before its text.
enum class ESample
{
  kSeries,      // the series' line and marker
  kNoiseFloor,  // an open marker on a dotted line: values at the noise floor
  kBelowFloor,  // an open marker on a solid line: values on the floor line
  kBound,       // the upper bound's marker, in the colour of its series
  kNone,        // a note ("THD and H2 coincide", "+3 more")
};

struct LegendEntry
{
  std::string name;
  SeriesStyle style;
  ESample sample = ESample::kSeries;
  int width = 0;  // sample and name
};

constexpr int kPad = 10;
constexpr int kSampleLength = 30;
constexpr int kSampleGap = 6;
constexpr int kEntryGap = 22;
constexpr int kMaxNoteLines = 4;
constexpr uint32_t kLegendGrey = 0xFF707070;
constexpr uint32_t kPointNoteColour = 0xFF8C8C8C;

void DrawSample(Raster_IBitmap& bm, const LegendEntry& e, int x, int y)
{
  const SeriesStyle& st = e.style;
  const double mid = x + kSampleLength / 2.0;
  switch (e.sample)
  {
    case ESample::kSeries:
      if (st.mDashed)
      {
        Raster_DashedPolyline dashes(kDashOn, kDashOff);
        dashes.Segment(&bm, x, y, x + kSampleLength, y, st.mWidth, st.mColour, 1.0f, 0, true);
      }
      else
      {
        Raster_WideLine(&bm, x, y, x + kSampleLength, y, st.mWidth, st.mColour, 1.0f, 0, true);
      }
      Marker(bm, st.mMarker, mid, y, st.mMarkerColour, false, st.mMarkerScale);
      break;
    case ESample::kNoiseFloor:
    {
      Raster_DashedPolyline dots(kDotOn, kDotOff);
      dots.Segment(&bm, x, y, x + kSampleLength, y, 1.6f, kLegendGrey, 1.0f, 0, true);
      Marker(bm, EMarker::kCircle, mid, y, kLegendGrey, true);
      break;
    }
    case ESample::kBelowFloor:
      Raster_Line(&bm, x, y, x + kSampleLength, y, kFrame, 1.0f, 0, false);
      Marker(bm, EMarker::kCircle, mid, y, kLegendGrey, true);
      break;
    case ESample::kBound:
      BoundMarker(bm, mid, y - 5, st.mColour);
      break;
    case ESample::kNone:
      break;
  }
}

// Curves that lie on one another at every point they share (within 2 pixels of a plot area
// about height pixels high), in groups: each becomes a legend note, so that a line drawn
// under another is still accounted for.
std::vector<std::vector<int>> CoincidingSeries(const ThdPlotData& data, const XAxis& xa, const YAxis& ya, int height)
{
  const double tolerance = 2.0 * (ya.mHi - ya.mLo) / std::max(height, 1);
  const int n = (int)data.mSeries.size();
  std::vector<int> group(n);
  for (int i = 0; i < n; ++i) group[i] = i;
  auto root = [&](int i) {
    while (group[i] != i) i = group[i];
    return i;
  };
  for (int a = 0; a < n; ++a)
    for (int b = a + 1; b < n; ++b)
    {
      const ThdPlotSeries &sa = data.mSeries[a], &sb = data.mSeries[b];
      const size_t m = std::min({sa.mY.size(), sb.mY.size(), data.mX.size()});
      int shared = 0;
      bool apart = false;
      for (size_t i = 0; i < m && !apart; ++i)
      {
        if (!xa.Valid(data.mX[i]) || !OnCurve(data, sa, i) || !OnCurve(data, sb, i)) continue;
        ++shared;
        apart = !(std::fabs(std::min(sa.mY[i], kMaxDb) - std::min(sb.mY[i], kMaxDb)) <= tolerance);
      }
      if (shared > 0 && !apart) group[root(b)] = root(a);
    }
  std::vector<std::vector<int>> groups;
  for (int r = 0; r < n; ++r)
  {
    std::vector<int> members;
    for (int i = 0; i < n; ++i)
      if (root(i) == r) members.push_back(i);
    if (members.size() > 1) groups.push_back(members);
  }
  return groups;
}

std::string CoincideText(const ThdPlotData& data, const std::vector<int>& members)
{
  std::string s;
  for (size_t i = 0; i < members.size(); ++i)
    s += (i == 0 ? "" : i + 1 == members.size() ? " and " : ", ") + data.mSeries[(size_t)members[i]].mName;
  return s + " coincide";
}

// Where everything goes: title on top, legend rows under it (outside the plot area, so they
// never cover a curve), the plot area with the dB labels left, percent labels right, the x
// labels below it and the notes under those.
struct Layout
{
  Box box;
  bool bare = false;  // too small for any text: the plot area fills the bitmap
  std::string title;
  PlotFont* titleFont = nullptr;
  std::unique_ptr<PlotFont> smallerTitle;
  std::vector<LegendEntry> legend;     // one per series, in the series' order, then the notes
  std::vector<std::vector<int>> rows;  // legend entries shown, row by row
  int legendTop = 0, legendRowH = 0;
  std::vector<std::pair<double, std::string>> yLabels;
  std::vector<std::pair<double, std::string>> pctLabels;
  std::vector<std::string> notes;  // lines under the plot
};

void MakeLayout(const ThdPlotData& data, const XAxis& xa, const YAxis& ya, Fonts& f, int W, int H, Layout& lay)
{
  const int lineH = std::max(f.small.LineHeight(), 1), axisH = std::max(f.axis.LineHeight(), 1);
  lay.yLabels.clear();
  for (double v = ya.mLo; v <= ya.mHi + 1e-9; v += ya.mStep)
    lay.yLabels.push_back({v, ThdFormat("%.0f", v == 0.0 ? 0.0 : v)});  // no "-0"
  lay.pctLabels.clear();
  const std::vector<std::string> pct = ThdPlotPercentLabels(ya.mLo, ya.mHi);
  for (size_t i = 0; i < pct.size(); ++i)
    lay.pctLabels.push_back({(std::ceil(ya.mLo / 20.0 - 1e-9) + (double)i) * 20.0, pct[i]});
  int yLabelW = 0, pctLabelW = 0;
  for (const auto& l : lay.yLabels) yLabelW = std::max(yLabelW, f.small.Width(l.second));
  for (const auto& l : lay.pctLabels) pctLabelW = std::max(pctLabelW, f.small.Width(l.second));

  Box& box = lay.box;
  box.l = kPad + axisH + 8 + yLabelW + 8;
  box.r = W - 1 - (kPad + axisH + 8 + pctLabelW + 8);
  int top = 8;
  lay.titleFont = &f.title;
  lay.title.clear();
  if (!data.mTitle.empty())
  {
    // Shrink a long title a little, then cut it with an ellipsis: it never runs off the page.
    const int avail = W - 2 * kPad;
    for (int size = 16; size >= 13 && lay.titleFont->Width(data.mTitle) > avail; --size)
    {
      lay.smallerTitle = std::make_unique<PlotFont>(size, true);
      lay.titleFont = lay.smallerTitle.get();
    }
    lay.title = Elide(*lay.titleFont, data.mTitle, avail);
    top += std::max(lay.titleFont->LineHeight(), 1) + 6;
  }

  // Legend entries; a name longer than a third of the plot width is cut. After the series:
  // what open markers and the floor line mean, where they occur, and which curves coincide.
  const int avail = std::max(box.W(), 1);
  lay.legend.clear();
  int others = 0;
  bool noiseFloor = false, belowFloor = false;
  const ThdPlotSeries* bounded = nullptr;  // the first series with an upper bound
  for (const ThdPlotSeries& s : data.mSeries)
  {
    bool known = true;
    const SeriesStyle style = StyleFor(s.mName, others, &known);
    others += !known;
    lay.legend.push_back({Elide(f.small, s.mName, std::max(avail / 3, 40)), style});
    for (size_t i = 0; i < s.mY.size() && i < data.mX.size(); ++i)
    {
      if (!xa.Valid(data.mX[i])) continue;
      noiseFloor |= OnCurve(data, s, i) && MarkAt(s, i) == EThdPlotMark::kNoiseFloor;
      belowFloor |= OnFloor(data, s, i);
      if (!bounded && OnCurve(data, s, i) && MarkAt(s, i) == EThdPlotMark::kUpperBound) bounded = &s;
    }
  }
  if (bounded)
  {
    bool known = true;
    lay.legend.push_back({"upper bound (not clearly above its uncertainty)", StyleFor(bounded->mName, 0, &known),
                          ESample::kBound});
  }
  if (noiseFloor) lay.legend.push_back({"open: at the noise floor", {}, ESample::kNoiseFloor});
  if (belowFloor)
    lay.legend.push_back({Elide(f.small, "on the bottom line: " + data.mFloorText, std::max(avail / 2, 40)), {},
                          ESample::kBelowFloor});
  const int plotHeight = std::max(H - top - 120, 40);  // about: the legend's rows come off it
  for (const std::vector<int>& members : CoincidingSeries(data, xa, ya, plotHeight))
    lay.legend.push_back({Elide(f.small, CoincideText(data, members), std::max(avail / 2, 40)), {}, ESample::kNone});
  for (LegendEntry& e : lay.legend)
    e.width = (e.sample == ESample::kNone ? 0 : kSampleLength + kSampleGap) + f.small.Width(e.name);

  // Rows of entries, each centred over the plot area; at most a fifth of the height, the rest
  // summed up as "+N more".
  lay.legendRowH = std::max(lineH, 12) + 4;
  const int maxRows = std::max(1, H / 5 / lay.legendRowH);
  lay.rows.clear();
  int used = 0;
  const int entries = (int)lay.legend.size();
  for (int i = 0; i < entries; ++i)
  {
    const int need = (lay.rows.empty() || lay.rows.back().empty() ? 0 : kEntryGap) + lay.legend[i].width;
    if (lay.rows.empty() || (used + need > avail && !lay.rows.back().empty()))
    {
      if ((int)lay.rows.size() == maxRows)
      {
        // No room for this one: the last row ends with how many are left out, giving up
        // entries of its own until that note fits.
        std::vector<int>& last = lay.rows.back();
        LegendEntry note{"", {}, ESample::kNone};
        for (;;)
        {
          int shown = 0, lastW = 0;
          for (const auto& r : lay.rows) shown += (int)r.size();
          for (int k : last) lastW += lay.legend[k].width + kEntryGap;
          note.name = ThdFormat("+%.0f more", (double)(entries - shown));
          note.width = f.small.Width(note.name);
          if (last.size() <= 1 || lastW + note.width <= avail) break;
          last.pop_back();
        }
        lay.legend.push_back(note);
        last.push_back((int)lay.legend.size() - 1);
        break;
      }
      lay.rows.push_back({});
      used = 0;
    }
    used += lay.rows.back().empty() ? lay.legend[i].width : need;
    lay.rows.back().push_back(i);
  }
  lay.legendTop = top;
  top += (int)lay.rows.size() * lay.legendRowH + (lay.rows.empty() ? 0 : 6);

  // Notes under the plot: the points without figures, numbered as their markers are, then the
  // data's own notes; at most a few lines, the rest counted.
  std::vector<std::string> notes;
  for (size_t i = 0; i < data.mPointNotes.size(); ++i)
    notes.push_back(ThdFormat("%zu", i + 1) + "  " + data.mPointNotes[i].mText);
  for (const std::string& n : data.mNotes) notes.push_back(n);
  lay.notes.clear();
  for (size_t i = 0; i < notes.size(); ++i)
  {
    if ((int)i == kMaxNoteLines - 1 && notes.size() > (size_t)kMaxNoteLines)
    {
      lay.notes.push_back(ThdFormat("+%zu more (the table and the CSV give every point)", notes.size() - i));
      break;
    }
    lay.notes.push_back(Elide(f.small, notes[i], W - 2 * kPad));
  }
  const int notesH = lay.notes.empty() ? 0 : 4 + (int)lay.notes.size() * lineH;

  box.t = top + 4;
  box.b = H - 1 - (kPad + axisH + 8 + lineH + 4) - notesH;

  lay.bare = box.W() < 40 || box.H() < 30;
  if (lay.bare)
  {
    box = {std::min(2, W - 1), std::min(2, H - 1), std::max(W - 3, 0), std::max(H - 3, 0)};
    lay.rows.clear();
    lay.title.clear();
    lay.notes.clear();
  }
}

// One series: its line broken where a value is missing, dotted into and out of values at the
// noise floor, clipped to the plot area; a marker at every value inside it, open at the noise
// floor. True when anything was drawn.
bool DrawSeries(Raster_IBitmap& bm, const ThdPlotData& data, const ThdPlotSeries& s, const SeriesStyle& st,
                const XAxis& xa, const Box& box, const std::function<double(double)>& X,
                const std::function<double(double)>& Y)
{
  bool ink = false;
  const size_t n = std::min(s.mY.size(), data.mX.size());
  Raster_DashedPolyline solid(1.0, 0.0), dotted(kDotOn, kDotOff), dashed(kDashOn, kDashOff);
  bool have = false;
  Point prev = {0, 0};
  bool prevNoise = false;
  for (size_t i = 0; i < n; ++i)
  {
    if (!xa.Valid(data.mX[i]) || !OnCurve(data, s, i) || MarkAt(s, i) == EThdPlotMark::kUpperBound)
    {
      have = false;
      continue;
    }
    const Point p = {X(data.mX[i]), Y(s.mY[i])};
    const bool noise = MarkAt(s, i) == EThdPlotMark::kNoiseFloor;
    if (have)
    {
      Point a = prev, b = p;
      if (Raster_ClipDLine(&a.x, &a.y, &b.x, &b.y, box.l, box.t, box.r, box.b))
      {
        ink = true;
        Raster_DashedPolyline& line = noise || prevNoise ? dotted : st.mDashed ? dashed : solid;
        line.Segment(&bm, a.x, a.y, b.x, b.y, st.mWidth, st.mColour, 1.0f, 0, true);
      }
    }
    prev = p;
    prevNoise = noise;
    have = true;
  }
  for (size_t i = 0; i < n; ++i)
  {
    if (!xa.Valid(data.mX[i])) continue;
    const double x = X(data.mX[i]);
    if (x < box.l - 0.5 || x > box.r + 0.5 || !OnCurve(data, s, i)) continue;
    const double y = Y(s.mY[i]);
    if (y < box.t - 0.5 || y > box.b + 0.5) continue;
    if (MarkAt(s, i) == EThdPlotMark::kUpperBound) BoundMarker(bm, x, y, st.mColour);
    else Marker(bm, st.mMarker, x, y, st.mMarkerColour, MarkAt(s, i) == EThdPlotMark::kNoiseFloor, st.mMarkerScale);
    ink = true;
  }
  return ink;
}

// Values below the floor: open markers sitting on the bottom line; where several series have
// one at the same point they stack upwards from it, in drawing order, so that each shows.
// stacked: markers already at each point. True when anything was drawn.
bool DrawFloorMarkers(Raster_IBitmap& bm, const ThdPlotData& data, const ThdPlotSeries& s, const SeriesStyle& st,
                      const XAxis& xa, const Box& box, const std::function<double(double)>& X, std::vector<int>& stacked)
{
  bool ink = false;
  const size_t n = std::min({s.mY.size(), data.mX.size(), stacked.size()});
  for (size_t i = 0; i < n; ++i)
  {
    if (!xa.Valid(data.mX[i]) || !OnFloor(data, s, i)) continue;
    const double x = X(data.mX[i]);
    if (x < box.l - 0.5 || x > box.r + 0.5) continue;
    const double y = box.b - 11.0 * stacked[i]++;
    if (y < box.t) continue;
    Marker(bm, st.mMarker, x, y, st.mMarkerColour, true, st.mMarkerScale);
    ink = true;
  }
  return ink;
}

}  // namespace

std::vector<std::string> ThdPlotPercentLabels(double loDb, double hiDb)
{
  std::vector<std::string> labels;
  if (!std::isfinite(loDb) || !std::isfinite(hiDb)) return labels;
  loDb = std::clamp(loDb, kMinDb, kMaxDb);
  hiDb = std::clamp(hiDb, kMinDb, kMaxDb);
  const int e0 = (int)std::ceil(loDb / 20.0 - 1e-9), e1 = (int)std::floor(hiDb / 20.0 + 1e-9);
  const bool powers = PercentNeedsPowers(e0 + 2, e1 + 2);
  for (int e20 = e0; e20 <= e1; ++e20) labels.push_back(PercentLabel(e20 + 2, powers));
  return labels;
}

void ThdDrawPlot(const ThdPlotData& data, Raster_IBitmap& bm)
{
  const int W = bm.getWidth(), H = bm.getHeight();
  if (W <= 0 || H <= 0 || !bm.getBits()) return;
  Raster_Clear(&bm, kPage);

  Fonts f;
  const int lineH = std::max(f.small.LineHeight(), 1), axisH = std::max(f.axis.LineHeight(), 1);
  const XAxis xa = MakeXAxis(data);
  // A short plot takes wider dB steps, so that its labels never touch.
  YAxis ya;
  Layout lay;
  for (const double minStep : {10.0, 20.0, 40.0, 60.0, 100.0, 200.0, 400.0, 600.0})
  {
    ya = MakeYAxis(data, minStep, lay.box.H() > 0 ? lay.box.H() : H - 150);
    MakeLayout(data, xa, ya, f, W, H, lay);
    if (lay.bare || lay.box.H() * ya.mStep / (ya.mHi - ya.mLo) >= lineH + 6) break;
  }
  const Box& box = lay.box;
  const double pw = box.W(), ph = box.H();
  const std::function<double(double)> X = [&](double x) { return box.l + xa.Fraction(x) * pw; };
  const std::function<double(double)> Y = [&](double db) { return box.b - ya.Fraction(std::clamp(db, -1e12, 1e12)) * ph; };

  // Gridlines: minor first, major over them.
  const std::vector<Tick> xt = XTicks(xa);
  for (int pass = 0; pass < 2; ++pass)
    for (const Tick& t : xt)
      if (t.mMajor == (pass == 1))
      {
        const int x = (int)std::lround(X(t.mValue));
        if (x > box.l && x < box.r)
          Raster_Line(&bm, x, box.t + 1, x, box.b - 1, t.mMajor ? kGridMajor : kGridMinor, 1.0f, 0, false);
      }
  if (ya.mStep > 10.0)  // a faint line between the labelled ones
    for (double v = ya.mLo + ya.mStep / 2; v < ya.mHi; v += ya.mStep)
    {
      const int y = (int)std::lround(Y(v));
      if (y > box.t && y < box.b) Raster_Line(&bm, box.l + 1, y, box.r - 1, y, kGridMinor, 1.0f, 0, false);
    }
  for (const auto& l : lay.yLabels)
  {
    const int y = (int)std::lround(Y(l.first));
    if (y > box.t && y < box.b) Raster_Line(&bm, box.l + 1, y, box.r - 1, y, kGridMajor, 1.0f, 0, false);
  }

  // Points without figures: a dashed line down the plot area and their note's number on top.
  bool anyInk = false;
  for (size_t i = 0; i < data.mPointNotes.size(); ++i)
  {
    if (!xa.Valid(data.mPointNotes[i].mX)) continue;
    const double xf = X(data.mPointNotes[i].mX);
    if (xf < box.l - 0.5 || xf > box.r + 0.5) continue;
    const int x = (int)std::lround(xf);
    Raster_DashedLine(&bm, x, box.t + 20, x, box.b - 1, 4, 4, kPointNoteColour, 1.0f, 0, false);
    Marker(bm, EMarker::kCross, x, box.t + 10, kPointNoteColour, false);
    if (!lay.bare)
    {
      // The number beside the marker, on its left where the right one would leave the plot area.
      const std::string number = ThdFormat("%zu", i + 1);
      const int w = f.small.Width(number);
      const int l = x + 8 + w < box.r ? x + 8 : x - 8 - w;
      f.small.Draw(bm, number, l, box.t + 10 - lineH / 2, l + w + 1, box.t + 10 + lineH, DT_LEFT, kSoftText);
    }
    anyInk = true;
  }

  // The series, layer by layer: THD+N's band, THD, then the harmonics, each over the ones below.
  std::vector<size_t> order(data.mSeries.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return lay.legend[a].style.mLayer < lay.legend[b].style.mLayer; });
  for (size_t si : order) anyInk |= DrawSeries(bm, data, data.mSeries[si], lay.legend[si].style, xa, box, X, Y);

  // The frame over the curves' ends, the values below the floor on its bottom line, and ticks
  // outside it.
  Raster_DrawRect(&bm, box.l, box.t, box.W(), box.H(), kFrame, 1.0f, 0);
  std::vector<int> stacked(data.mX.size(), 0);
  for (size_t si : order) anyInk |= DrawFloorMarkers(bm, data, data.mSeries[si], lay.legend[si].style, xa, box, X, stacked);
  if (lay.bare) return;

  if (!anyInk) f.axis.Draw(bm, "No data", box.l, box.t, box.r, box.b, DT_CENTER | DT_VCENTER, kSoftText);

  // Left axis: dB.
  for (const auto& l : lay.yLabels)
  {
    const int y = (int)std::lround(Y(l.first));
    Raster_Line(&bm, box.l - 4, y, box.l, y, kFrame, 1.0f, 0, false);
    f.small.Draw(bm, l.second, 0, y - lineH / 2, box.l - 8, y - lineH / 2 + lineH, DT_RIGHT, kText);
  }
  // Right axis: the same heights in percent, one label per decade of ratio; on a tall range
  // every second (or n-th) decade, evenly.
  const double decadePixels = 20.0 * ph / (ya.mHi - ya.mLo);
  const int stride = std::max(1, (int)std::ceil((lineH + 4) / std::max(decadePixels, 1e-3)));
  for (const auto& l : lay.pctLabels)
  {
    const int y = (int)std::lround(Y(l.first));
    const int e20 = (int)std::lround(l.first / 20.0);
    const bool labelled = e20 % stride == 0;
    Raster_Line(&bm, box.r, y, box.r + (labelled ? 4 : 2), y, kFrame, 1.0f, 0, false);
    if (labelled) f.small.Draw(bm, l.second, box.r + 8, y - lineH / 2, W, y - lineH / 2 + lineH, DT_LEFT, kText);
  }
  // Bottom axis: labels left to right, each only where it does not touch the previous one.
  const int xLabelTop = box.b + 8;
  int lastRight = -(1 << 30);
  for (const Tick& t : xt)
  {
    const int x = (int)std::lround(X(t.mValue));
    Raster_Line(&bm, x, box.b, x, box.b + (t.mMajor ? 4 : 2), kFrame, 1.0f, 0, false);
    if (!t.mLabel) continue;
    const std::string text = xa.mLog ? FrequencyLabel(t.mValue) : LinearLabel(t.mValue, xa.mStep);
    const int w = f.small.Width(text);
    const int l = x - w / 2;
    if (l < lastRight + 8 || l < 0 || l + w > W) continue;
    f.small.Draw(bm, text, l, xLabelTop, l + w + 1, xLabelTop + lineH, DT_LEFT, kText);
    lastRight = l + w;
  }

  // Axis titles.
  const int xTitleTop = xLabelTop + lineH + 4;
  f.axis.Draw(bm, Elide(f.axis, data.mXLabel, W - 2 * kPad), box.l, xTitleTop, box.r, xTitleTop + axisH, DT_CENTER,
              kText);
  f.axisUp.Draw(bm, Elide(f.axis, data.mYLabel, box.H()), kPad, box.t, kPad + axisH, box.b, DT_VCENTER, kText);
  f.axisUp.Draw(bm, Elide(f.axis, "% of the fundamental", box.H()), W - 1 - kPad - axisH, box.t, W - 1 - kPad, box.b,
                DT_VCENTER, kText);

  // Notes under everything.
  int noteTop = xTitleTop + axisH + 4;
  for (const std::string& n : lay.notes)
  {
    f.small.Draw(bm, n, kPad, noteTop, W - kPad, noteTop + lineH, DT_LEFT, kSoftText);
    noteTop += lineH;
  }

  // Title and legend.
  if (!lay.title.empty())
    lay.titleFont->Draw(bm, lay.title, kPad, 8, W - kPad, 8 + lay.titleFont->LineHeight(), DT_CENTER, kText);
  for (size_t r = 0; r < lay.rows.size(); ++r)
  {
    int width = 0;
    for (int i : lay.rows[r]) width += lay.legend[i].width;
    width += kEntryGap * ((int)lay.rows[r].size() - 1);
    int x = box.l + (box.W() - width) / 2;
    const int y = lay.legendTop + (int)r * lay.legendRowH;
    for (int i : lay.rows[r])
    {
      const LegendEntry& e = lay.legend[i];
      const bool sample = e.sample != ESample::kNone;
      const int textX = sample ? x + kSampleLength + kSampleGap : x;
      if (sample) DrawSample(bm, e, x, y + lay.legendRowH / 2 - 1);
      const int textY = y + (lay.legendRowH - lineH) / 2 - 1;
      f.small.Draw(bm, e.name, textX, textY, x + e.width + 1, y + lay.legendRowH, DT_LEFT,
                   e.sample == ESample::kSeries ? kText : kSoftText);
      x += e.width + kEntryGap;
    }
  }
}

bool ThdWritePlot(const ThdPlotData& data, const std::string& path, std::string* error)
{
  if (path.empty())
  {
    if (error) *error = "no file name for the plot";
    return false;
  }
  Raster_MemBitmap bm(kDefaultWidth, kDefaultHeight);
  if (!bm.getBits())
  {
    if (error) *error = "cannot write " + path + ": out of memory for the picture";
    return false;
  }
  ThdDrawPlot(data, bm);
  Raster_PNGWriteOptions rgb;
  rgb.mAlpha = false;  // the plot is opaque
  errno = 0;
  if (Raster_WritePNG(&bm, path.c_str(), rgb)) return true;
  if (error) *error = "cannot write " + path + ": " + (errno ? std::strerror(errno) : "the PNG encoder failed");
  return false;
}
