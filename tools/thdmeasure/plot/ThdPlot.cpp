#include "ThdPlot.h"

#include "Raster.h"
#include "Raster_PNGWrite.h"
#include "ThdFormat.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
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
  kCross
};

struct SeriesStyle
{
  uint32_t mColour;
  float mWidth;  // line width in pixels
  bool mDashed;
  EMarker mMarker;
};

// THD stands out (thick, dark), THD+N is the grey dashed companion, the harmonics take
// distinct hues; other names take the remaining colours in turn.
SeriesStyle StyleFor(const std::string& name, int otherIndex, bool* known)
{
  *known = true;
  if (name == "THD") return {0xFF1A1F2B, 3.0f, false, EMarker::kCircle};
  if (name == "THD+N") return {0xFF8A8A8A, 1.8f, true, EMarker::kSquare};
  if (name == "H2") return {0xFF1F6FC5, 1.6f, false, EMarker::kTriangleUp};
  if (name == "H3") return {0xFFD0312D, 1.6f, false, EMarker::kDiamond};
  if (name == "H4") return {0xFF2A9640, 1.6f, false, EMarker::kTriangleDown};
  if (name == "H5") return {0xFF8E44AD, 1.6f, false, EMarker::kCross};
  static const SeriesStyle others[] = {
      {0xFFE08A00, 1.6f, false, EMarker::kCircle},  {0xFF138D90, 1.6f, false, EMarker::kSquare},
      {0xFF8C564B, 1.6f, false, EMarker::kDiamond}, {0xFFD6449B, 1.6f, false, EMarker::kTriangleUp},
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

// The ratio of a dB value in percent: 0 dB is 100 %, every -20 dB a tenth of it.
std::string PercentLabel(int exponent)  // percent = 10^exponent
{
  if (exponent >= 0 && exponent <= 6) return ThdFormat("%.0f %%", std::pow(10.0, exponent));
  if (exponent < 0 && exponent >= -7)  // down to -180 dB, where measurements end
  {
    char format[16];
    std::snprintf(format, sizeof format, "%%.%df %%%%", -exponent);
    return ThdFormat(format, std::pow(10.0, exponent));
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "1e%d %%", exponent);
  return buf;
}

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

// Gridlines every 10 dB for narrow ranges, every 20 dB (or a multiple of it) for wide ones,
// with a little room above and below the data.
// The range of the values to show, in dB. Absurd values (a broken measurement) do not
// squash the others: they are drawn off the scale. Only when nothing else is there do they
// set it, at the limits. False when there is no finite value at all.
bool DataRangeDb(const ThdPlotData& data, double* lo, double* hi)
{
  double l = HUGE_VAL, h = -HUGE_VAL, clampedL = HUGE_VAL, clampedH = -HUGE_VAL;
  for (const ThdPlotSeries& s : data.mSeries)
    for (double y : s.mY)
      if (std::isfinite(y))
      {
        if (y >= kMinDb && y <= kMaxDb)
        {
          l = std::min(l, y);
          h = std::max(h, y);
        }
        clampedL = std::min(clampedL, std::clamp(y, kMinDb, kMaxDb));
        clampedH = std::max(clampedH, std::clamp(y, kMinDb, kMaxDb));
      }
  if (l > h) l = clampedL, h = clampedH;
  if (l > h) return false;
  *lo = l;
  *hi = h;
  return true;
}

// Gridlines every 10 dB for narrow ranges, every 20 dB (or a multiple of it) for wide ones or
// short plots (minStep), with a little room above and below the data.
YAxis MakeYAxis(const ThdPlotData& data, double minStep)
{
  YAxis a;
  double lo = -119.0, hi = -1.0;  // no data: the usual range of distortion
  DataRangeDb(data, &lo, &hi);
  lo -= 1.0;
  hi += 1.0;
  const double span = hi - lo;
  a.mStep = std::max(span <= 90.0 ? 10.0 : 20.0 * std::ceil(span / 200.0), minStep);
  a.mLo = std::floor(lo / a.mStep) * a.mStep;
  a.mHi = std::ceil(hi / a.mStep) * a.mStep;
  if (a.mHi - a.mLo < 2 * a.mStep) a.mLo = a.mHi - 2 * a.mStep;
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

// Dashed series: dashes of 7 pixels, gaps of 4.
constexpr double kDashOn = 7.0, kDashOff = 4.0;

// A series' line: its dash pattern carried from segment to segment (solid: no gaps).
Raster_DashedPolyline SeriesLine(const SeriesStyle& st) { return {kDashOn, st.mDashed ? kDashOff : 0.0}; }

void Marker(Raster_IBitmap& bm, EMarker m, double x, double y, uint32_t colour)
{
  x = std::round(x);
  y = std::round(y);
  switch (m)
  {
    case EMarker::kCircle:
      Raster_FillCircle(&bm, (float)x, (float)y, 3.5f, colour, 1.0f, 0, true);
      break;
    case EMarker::kSquare:
      Raster_FillRect(&bm, (int)x - 3, (int)y - 3, 7, 7, colour, 1.0f, 0);
      break;
    case EMarker::kTriangleUp:
    {
      const double xs[3] = {x, x + 5.0, x - 5.0}, ys[3] = {y - 5.0, y + 4.0, y + 4.0};
      Raster_FillConvexPolygonAA(&bm, xs, ys, 3, colour);
      break;
    }
    case EMarker::kTriangleDown:
    {
      const double xs[3] = {x - 5.0, x + 5.0, x}, ys[3] = {y - 4.0, y - 4.0, y + 5.0};
      Raster_FillConvexPolygonAA(&bm, xs, ys, 3, colour);
      break;
    }
    case EMarker::kDiamond:
    {
      const double xs[4] = {x, x + 5.0, x, x - 5.0}, ys[4] = {y - 5.0, y, y + 5.0, y};
      Raster_FillConvexPolygonAA(&bm, xs, ys, 4, colour);
      break;
    }
    case EMarker::kCross:
      Raster_WideLine(&bm, x - 4, y - 4, x + 4, y + 4, 2.0f, colour, 1.0f, 0, true);
      Raster_WideLine(&bm, x - 4, y + 4, x + 4, y - 4, 2.0f, colour, 1.0f, 0, true);
      break;
  }
}

// ---- the plot -------------------------------------------------------------------------------

struct Fonts
{
  PlotFont title{17, true};
  PlotFont small{13, false};
  PlotFont axis{13, true};
  PlotFont axisUp{13, true, kRasterFont_Vertical | kRasterFont_BottomUp};
};

struct LegendEntry
{
  std::string name;
  SeriesStyle style;
  bool sample = true;  // false: a note ("+3 more") without a line
  int width = 0;       // sample and name
};

constexpr int kPad = 10;
constexpr int kSampleLength = 30;
constexpr int kSampleGap = 6;
constexpr int kEntryGap = 22;

void DrawSample(Raster_IBitmap& bm, const SeriesStyle& st, int x, int y)
{
  Raster_DashedPolyline line = SeriesLine(st);
  line.Segment(&bm, x, y, x + kSampleLength, y, st.mWidth, st.mColour, 1.0f, 0, true);
  Marker(bm, st.mMarker, x + kSampleLength / 2.0, y, st.mColour);
}

// Where everything goes: title on top, legend rows under it (outside the plot area, so they
// never cover a curve), the plot area with the dB labels left, percent labels right and the
// x labels below it.
struct Layout
{
  Box box;
  bool bare = false;  // too small for any text: the plot area fills the bitmap
  std::string title;
  PlotFont* titleFont = nullptr;
  std::unique_ptr<PlotFont> smallerTitle;
  std::vector<LegendEntry> legend;     // one per series, in the series' order
  std::vector<std::vector<int>> rows;  // legend entries shown, row by row
  int legendTop = 0, legendRowH = 0;
  std::vector<std::pair<double, std::string>> yLabels;
  std::vector<std::pair<double, std::string>> pctLabels;
};

void MakeLayout(const ThdPlotData& data, const YAxis& ya, Fonts& f, int W, int H, Layout& lay)
{
  const int lineH = std::max(f.small.LineHeight(), 1), axisH = std::max(f.axis.LineHeight(), 1);
  lay.yLabels.clear();
  for (double v = ya.mLo; v <= ya.mHi + 1e-9; v += ya.mStep)
    lay.yLabels.push_back({v, ThdFormat("%.0f", v == 0.0 ? 0.0 : v)});  // no "-0"
  lay.pctLabels.clear();
  for (int e20 = (int)std::ceil(ya.mLo / 20.0 - 1e-9); e20 * 20.0 <= ya.mHi + 1e-9; ++e20)
    lay.pctLabels.push_back({e20 * 20.0, PercentLabel(e20 + 2)});
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

  // Legend entries; a name longer than a third of the plot width is cut.
  const int avail = std::max(box.W(), 1);
  lay.legend.clear();
  int others = 0;
  for (const ThdPlotSeries& s : data.mSeries)
  {
    bool known = true;
    const SeriesStyle style = StyleFor(s.mName, others, &known);
    others += !known;
    LegendEntry e{Elide(f.small, s.mName, std::max(avail / 3, 40)), style};
    e.width = kSampleLength + kSampleGap + f.small.Width(e.name);
    lay.legend.push_back(e);
  }
  // Rows of entries, each centred over the plot area; at most a fifth of the height, the rest
  // summed up as "+N more".
  lay.legendRowH = std::max(lineH, 12) + 4;
  const int maxRows = std::max(1, H / 5 / lay.legendRowH);
  lay.rows.clear();
  int used = 0;
  for (int i = 0; i < (int)lay.legend.size(); ++i)
  {
    const int need = (lay.rows.empty() || lay.rows.back().empty() ? 0 : kEntryGap) + lay.legend[i].width;
    if (lay.rows.empty() || (used + need > avail && !lay.rows.back().empty()))
    {
      if ((int)lay.rows.size() == maxRows)
      {
        // No room for this one: the last row ends with how many are left out, giving up
        // entries of its own until that note fits.
        const int series = (int)data.mSeries.size();
        std::vector<int>& last = lay.rows.back();
        LegendEntry note{"", {}, false};
        for (;;)
        {
          int shown = 0, lastW = 0;
          for (const auto& r : lay.rows) shown += (int)r.size();
          for (int k : last) lastW += lay.legend[k].width + kEntryGap;
          note.name = ThdFormat("+%.0f more", (double)(series - shown));
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
  box.t = top + 4;
  box.b = H - 1 - (kPad + axisH + 8 + lineH + 4);

  lay.bare = box.W() < 40 || box.H() < 30;
  if (lay.bare)
  {
    box = {std::min(2, W - 1), std::min(2, H - 1), std::max(W - 3, 0), std::max(H - 3, 0)};
    lay.rows.clear();
    lay.title.clear();
  }
}

}  // namespace

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
    ya = MakeYAxis(data, minStep);
    MakeLayout(data, ya, f, W, H, lay);
    if (lay.bare || lay.box.H() * ya.mStep / (ya.mHi - ya.mLo) >= lineH + 6) break;
  }
  const Box& box = lay.box;
  const double pw = box.W(), ph = box.H();
  auto X = [&](double x) { return box.l + xa.Fraction(x) * pw; };
  auto Y = [&](double db) { return box.b - ya.Fraction(std::clamp(db, -1e12, 1e12)) * ph; };

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

  // The series: lines clipped to the plot area, broken where a value is missing; a marker at
  // every point inside it. In order: where a thinner curve coincides with the thick THD line
  // (a device whose distortion is all H3) it runs visibly along it instead of vanishing under it.
  bool anyInk = false;
  for (size_t si = 0; si < data.mSeries.size(); ++si)
  {
    const ThdPlotSeries& s = data.mSeries[si];
    const SeriesStyle& st = lay.legend[si].style;
    const size_t n = std::min(s.mY.size(), data.mX.size());
    Raster_DashedPolyline line = SeriesLine(st);
    bool have = false;
    Point prev = {0, 0};
    for (size_t i = 0; i < n; ++i)
    {
      if (!xa.Valid(data.mX[i]) || !std::isfinite(s.mY[i]))
      {
        have = false;
        continue;
      }
      const Point p = {X(data.mX[i]), Y(s.mY[i])};
      if (have)
      {
        Point a = prev, b = p;
        if (Raster_ClipDLine(&a.x, &a.y, &b.x, &b.y, box.l, box.t, box.r, box.b))
        {
          anyInk = true;
          line.Segment(&bm, a.x, a.y, b.x, b.y, st.mWidth, st.mColour, 1.0f, 0, true);
        }
      }
      prev = p;
      have = true;
    }
    for (size_t i = 0; i < n; ++i)
    {
      if (!xa.Valid(data.mX[i]) || !std::isfinite(s.mY[i])) continue;
      const Point p = {X(data.mX[i]), Y(s.mY[i])};
      if (p.x < box.l - 0.5 || p.x > box.r + 0.5 || p.y < box.t - 0.5 || p.y > box.b + 0.5) continue;
      Marker(bm, st.mMarker, p.x, p.y, st.mColour);
      anyInk = true;
    }
  }

  // The frame over the curves' ends, and ticks outside it.
  Raster_DrawRect(&bm, box.l, box.t, box.W(), box.H(), kFrame, 1.0f, 0);
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
      const int textX = e.sample ? x + kSampleLength + kSampleGap : x;
      if (e.sample) DrawSample(bm, e.style, x, y + lay.legendRowH / 2 - 1);
      const int textY = y + (lay.legendRowH - lineH) / 2 - 1;
      f.small.Draw(bm, e.name, textX, textY, x + e.width + 1, y + lay.legendRowH, DT_LEFT, e.sample ? kText : kSoftText);
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
