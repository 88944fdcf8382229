// The artwork generator's drawing: one palette, and each of the editor's images drawn to the
// positions of the controls that sit on it.

#include "ArtGen.h"

#include "Raster.h"
#include "ThdMeterImages.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// ---- palette -----------------------------------------------------------------------------------
// One set of colours for every image, so that the overlays sit on the panel without seams.
constexpr uint32_t kPanelTop = 0xFF3A4048;
constexpr uint32_t kPanelBottom = 0xFF262A30;
constexpr uint32_t kPanelEdge = 0xFF131518;
constexpr uint32_t kPanelHighlight = 0xFF4C545D;
constexpr uint32_t kTitleBandTop = 0xFF2C3137;
constexpr uint32_t kTitleBandBottom = 0xFF22262B;
constexpr uint32_t kTitleText = 0xFFEBEBEB;
constexpr uint32_t kLabelText = 0xFFB9C0C7;
constexpr uint32_t kDimText = 0xFF8E979F;
constexpr uint32_t kAccent = 0xFF00B8C2;  // the fader's fill colour
constexpr uint32_t kAccentLight = 0xFF4FDDE4;
constexpr uint32_t kAccentDark = 0xFF00717A;
constexpr uint32_t kWell = 0xFF1A1D21;      // recessed areas: groove, readout, radio wells
constexpr uint32_t kWellEdge = 0xFF0F1113;
constexpr uint32_t kRing = 0xFF8C959E;
constexpr uint32_t kLightButtonTop = 0xFFE6E9EC;
constexpr uint32_t kLightButtonBottom = 0xFFB6BCC2;
constexpr uint32_t kLightButtonEdge = 0xFF6E767E;
constexpr uint32_t kLightButtonText = 0xFF1F2327;
constexpr uint32_t kDarkButtonTop = 0xFF5F6872;
constexpr uint32_t kDarkButtonBottom = 0xFF454C54;
constexpr uint32_t kDarkButtonEdge = 0xFF15181B;
constexpr uint32_t kGreen = 0xFF23A543;
constexpr uint32_t kGreenEdge = 0xFF157A2E;
constexpr uint32_t kBadgeGreen = 0xFF3DCB63;
constexpr uint32_t kBadgeFill = 0xFF1D2A21;
constexpr uint32_t kEntryEdge = 0xFF767E86;
constexpr uint32_t kEntryShade = 0xFFD3D7DB;
constexpr uint32_t kAboutTop = 0xFF4F5760;
constexpr uint32_t kAboutBottom = 0xFF383E45;

// Colour under the overlays: their transparent pixels carry it (with alpha 0) so that
// anti-aliased edges fade into the panel rather than into black.
constexpr uint32_t kUnderlay = 0x00343A41;

int Channel(uint32_t c, int shift) { return (int)((c >> shift) & 0xFF); }

uint32_t Mix(uint32_t a, uint32_t b, double t)
{
  t = std::clamp(t, 0.0, 1.0);
  uint32_t out = 0;
  for (int s = 0; s < 32; s += 8)
  {
    const double v = Channel(a, s) + (Channel(b, s) - Channel(a, s)) * t;
    out |= (uint32_t)std::lround(v) << s;
  }
  return out;
}

// Straight-alpha "over": colour with coverage cov onto the pixel.
void Blend(Raster_IBitmap* bm, int x, int y, uint32_t colour, double cov)
{
  if (x < 0 || y < 0 || x >= bm->getWidth() || y >= bm->getHeight() || cov <= 0.0) return;
  uint32_t* p = bm->getBits() + (size_t)y * bm->getRowSpan() + x;
  const double sa = Channel(colour, 24) / 255.0 * std::min(cov, 1.0);
  const double da = Channel(*p, 24) / 255.0;
  const double oa = sa + da * (1.0 - sa);
  if (oa <= 0.0) return;
  uint32_t out = (uint32_t)std::lround(oa * 255.0) << 24;
  for (int s = 0; s < 24; s += 8)
  {
    const double v = (Channel(colour, s) * sa + Channel(*p, s) * da * (1.0 - sa)) / oa;
    out |= (uint32_t)std::clamp((int)std::lround(v), 0, 255) << s;
  }
  *p = out;
}

// Signed distance from (px, py) to a rectangle (x0, y0)-(x1, y1) with corner radius r;
// negative inside. Coordinates are continuous: pixel (x, y) covers x..x+1, y..y+1.
double RoundRectDistance(double px, double py, double x0, double y0, double x1, double y1, double r)
{
  const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  const double hx = (x1 - x0) / 2 - r, hy = (y1 - y0) / 2 - r;
  const double qx = std::fabs(px - cx) - hx, qy = std::fabs(py - cy) - hy;
  const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
  return outside + std::min(std::max(qx, qy), 0.0) - r;
}

// Fills a rounded rectangle with a vertical gradient from top to bottom colour.
void FillRoundRect(Raster_IBitmap* bm, double x0, double y0, double x1, double y1, double r, uint32_t top,
                   uint32_t bottom)
{
  for (int y = (int)std::floor(y0); y < (int)std::ceil(y1); ++y)
    for (int x = (int)std::floor(x0); x < (int)std::ceil(x1); ++x)
    {
      const double d = RoundRectDistance(x + 0.5, y + 0.5, x0, y0, x1, y1, r);
      Blend(bm, x, y, Mix(top, bottom, (y + 0.5 - y0) / std::max(1.0, y1 - y0)), 0.5 - d);
    }
}

// An outline of the given width lying just inside the rounded rectangle.
void StrokeRoundRect(Raster_IBitmap* bm, double x0, double y0, double x1, double y1, double r, double width,
                     uint32_t colour)
{
  for (int y = (int)std::floor(y0); y < (int)std::ceil(y1); ++y)
    for (int x = (int)std::floor(x0); x < (int)std::ceil(x1); ++x)
    {
      const double d = RoundRectDistance(x + 0.5, y + 0.5, x0, y0, x1, y1, r);
      const double outer = std::clamp(0.5 - d, 0.0, 1.0);
      const double inner = std::clamp(0.5 - (d + width), 0.0, 1.0);
      Blend(bm, x, y, colour, outer - inner);
    }
}

void FillCircle(Raster_IBitmap* bm, double cx, double cy, double r, uint32_t top, uint32_t bottom)
{
  FillRoundRect(bm, cx - r, cy - r, cx + r, cy + r, r, top, bottom);
}

void StrokeCircle(Raster_IBitmap* bm, double cx, double cy, double r, double width, uint32_t colour)
{
  StrokeRoundRect(bm, cx - r, cy - r, cx + r, cy + r, r, width, colour);
}

// Triangle by 8 x 8 supersampling of the inside test.
void FillTriangle(Raster_IBitmap* bm, const double (&px)[3], const double (&py)[3], uint32_t colour)
{
  const int x0 = (int)std::floor(std::min({px[0], px[1], px[2]}));
  const int x1 = (int)std::ceil(std::max({px[0], px[1], px[2]}));
  const int y0 = (int)std::floor(std::min({py[0], py[1], py[2]}));
  const int y1 = (int)std::ceil(std::max({py[0], py[1], py[2]}));
  auto side = [&](int i, double x, double y) {
    const int j = (i + 1) % 3;
    return (px[j] - px[i]) * (y - py[i]) - (py[j] - py[i]) * (x - px[i]);
  };
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
    {
      int hits = 0;
      for (int sy = 0; sy < 8; ++sy)
        for (int sx = 0; sx < 8; ++sx)
        {
          const double fx = x + (sx + 0.5) / 8, fy = y + (sy + 0.5) / 8;
          const double a = side(0, fx, fy), b = side(1, fx, fy), c = side(2, fx, fy);
          hits += (a >= 0 && b >= 0 && c >= 0) || (a <= 0 && b <= 0 && c <= 0);
        }
      Blend(bm, x, y, colour, hits / 64.0);
    }
}

void FillRect(Raster_IBitmap* bm, int x, int y, int w, int h, uint32_t colour)
{
  Raster_FillRect(bm, x, y, w, h, colour, 1.0f, kRasterOp_Copy);
}

// Text through the cached font's glyph path, in the editor's own fonts. The size is the
// cell height the editor's text styles use; as the editor does, a face whose line height
// comes out different is created once more at the corrected height.
struct TextStyle
{
  const char* face;
  int size;
  bool bold;
  uint32_t colour;
};

class Painter
{
public:
  explicit Painter(Raster_IBitmap* bm) : mBm(bm) {}
  bool ok = true;

  void Text(const char* text, const TextStyle& style, int l, int t, int r, int b, UINT format)
  {
    int height = std::max(style.size, 2);
    Raster_CachedFont font;
    HFONT hf = CreateFont(height, 0, 0, 0, style.bold ? 700 : 400, 0, 0, 0, 0, 0, 0, ANTIALIASED_QUALITY, 0, style.face);
    if (!hf)
    {
      ok = false;
      return;
    }
    font.SetFromHFont(hf, kRasterFont_OwnsFont);
    if (font.GetLineHeight() > 0 && font.GetLineHeight() != height)
    {
      height = (int)((double)height * height / font.GetLineHeight() + 0.5);
      hf = CreateFont(height, 0, 0, 0, style.bold ? 700 : 400, 0, 0, 0, 0, 0, 0, ANTIALIASED_QUALITY, 0, style.face);
      if (!hf)
      {
        ok = false;
        return;
      }
      font.SetFromHFont(hf, kRasterFont_OwnsFont);
    }
    font.SetTextColor(style.colour);
    font.SetBkMode(TRANSPARENT);
    RECT rc = {l, t, r, b};
    font.DrawText(mBm, text, -1, &rc, format | DT_NOPREFIX);
  }

private:
  Raster_IBitmap* mBm;
};

// The editor's label font (the text styles use Verdana; Arial only for the typed frequency).
TextStyle Label(int size, bool bold, uint32_t colour) { return TextStyle{"Verdana", size, bold, colour}; }

// A push button: rounded, a vertical gradient, a one-pixel edge and a faint top highlight.
void Button(Raster_IBitmap* bm, double x0, double y0, double x1, double y1, uint32_t top, uint32_t bottom, uint32_t edge)
{
  FillRoundRect(bm, x0, y0, x1, y1, 4, top, bottom);
  StrokeRoundRect(bm, x0, y0, x1, y1, 4, 1.0, edge);
  // highlight along the inner top edge
  for (int x = (int)x0 + 4; x < (int)x1 - 4; ++x) Blend(bm, x, (int)y0 + 1, 0xFFFFFFFF, 0.22);
}

// Transparent canvas for an overlay.
std::unique_ptr<Raster_MemBitmap> Canvas(int w, int h)
{
  auto bm = std::make_unique<Raster_MemBitmap>(w, h);
  Raster_Clear(bm.get(), kUnderlay);
  return bm;
}

// ---- 102: the panel ------------------------------------------------------------------------------
// Control positions this art serves (editor pixels): radios at x 118 on rows 34 and 54; the
// frequency text at (119, 74, 168, 91); denoising buttons 16 x 16 at x 118, tops 94/111/128;
// fader x 74..192 on y 150..162 (its coloured bar fills rows 155-156); volume label right-
// aligned against x 242 on rows 149..162; Start at (48, 172, 203, 193); results text from
// (48, 196), six 13-pixel lines; Help (48, 279, 121, 300) and About (130, 279, 203, 300).
std::unique_ptr<Raster_MemBitmap> DrawBackground(bool* ok)
{
  auto bm = std::make_unique<Raster_MemBitmap>(251, 310);
  Raster_IBitmap* b = bm.get();
  Painter p(b);
  for (int y = 0; y < 310; ++y) FillRect(b, 0, y, 251, 1, Mix(kPanelTop, kPanelBottom, y / 309.0));

  // title band
  for (int y = 0; y < 28; ++y) FillRect(b, 0, y, 251, 1, Mix(kTitleBandTop, kTitleBandBottom, y / 27.0));
  p.Text("Veldramix THD Meter", Label(15, true, kTitleText), 0, 5, 251, 24, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  FillRect(b, 12, 28, 227, 1, kAccent);
  FillRect(b, 0, 29, 251, 1, kPanelEdge);
  FillRect(b, 0, 30, 251, 1, kPanelHighlight);

  const TextStyle label = Label(12, false, kLabelText);
  p.Text("Output", label, 16, 34, 110, 50, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  p.Text("Input", label, 16, 54, 110, 70, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  p.Text("Frequency", label, 16, 74, 110, 91, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  p.Text("Denoising", label, 16, 94, 110, 110, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  p.Text("Volume", label, 16, 148, 72, 164, DT_LEFT | DT_VCENTER | DT_SINGLELINE);

  // frequency entry: a white box around the typed digits, the unit after it
  FillRoundRect(b, 115, 72, 172, 93, 3, 0xFFFFFFFF, 0xFFFFFFFF);
  StrokeRoundRect(b, 115, 72, 172, 93, 3, 1.0, kEntryEdge);
  for (int x = 118; x < 169; ++x) Blend(b, x, 73, kEntryShade, 0.8);
  p.Text("Hz", label, 177, 74, 230, 91, DT_LEFT | DT_VCENTER | DT_SINGLELINE);

  // the three denoising choices beside their buttons
  static const char* const kLevels[3] = {"0 dB", "-10 dB", "-20 dB"};
  static const char* const kTimes[3] = {"12 sec", "2 min", "20 min"};
  const TextStyle choice = Label(11, false, kLabelText);
  for (int i = 0; i < 3; ++i)
  {
    const int top = 94 + 17 * i;
    p.Text(kLevels[i], choice, 138, top, 184, top + 16, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    p.Text(kTimes[i], choice, 194, top, 248, top + 16, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  }

  // volume track: a groove the fader's bar fills (rows 155-156), scale ticks every 5 dB
  FillRoundRect(b, 73, 153.5, 193, 158.5, 2.5, kWellEdge, kWell);
  for (int x = 75; x < 191; ++x) Blend(b, x, 158, kPanelHighlight, 0.6);
  for (int i = 0; i <= 4; ++i)
  {
    const int x = 80 + (int)(i * 106 / 4.0 + 0.5);
    FillRect(b, x, 164, 1, 3, kDimText);
  }

  // results readout: a recessed display under the six result lines
  FillRoundRect(b, 42, 195, 246, 276, 4, kWell, 0xFF1F2327);
  StrokeRoundRect(b, 42, 195, 246, 276, 4, 1.0, kWellEdge);
  for (int x = 46; x < 242; ++x) Blend(b, x, 276, kPanelHighlight, 0.5);

  // Help and About
  const TextStyle buttonText = Label(12, true, kTitleText);
  Button(b, 48, 279, 121, 300, kDarkButtonTop, kDarkButtonBottom, kDarkButtonEdge);
  p.Text("Help", buttonText, 48, 279, 121, 300, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  Button(b, 130, 279, 203, 300, kDarkButtonTop, kDarkButtonBottom, kDarkButtonEdge);
  p.Text("About", buttonText, 130, 279, 203, 300, DT_CENTER | DT_VCENTER | DT_SINGLELINE);

  // panel edge
  StrokeRoundRect(b, 0, 0, 251, 310, 0, 1.0, kPanelEdge);
  *ok = p.ok;
  return bm;
}

// One radio well with its dot when selected.
void Radio(Raster_IBitmap* b, double cx, double cy, bool selected)
{
  FillCircle(b, cx, cy, 6.5, kWellEdge, kWell);
  StrokeCircle(b, cx, cy, 6.5, 1.2, selected ? kAccent : kRing);
  if (selected) FillCircle(b, cx, cy, 3.5, kAccentLight, kAccent);
}

// ---- 103: L/R pair, 62 x 16 per frame; frame 1 L selected, frame 2 R selected -------------------
std::unique_ptr<Raster_MemBitmap> DrawRadioPair(bool* ok)
{
  auto bm = Canvas(62, 32);
  Painter p(bm.get());
  const TextStyle letter = Label(11, true, kLabelText);
  for (int f = 0; f < 2; ++f)
  {
    const int top = f * 16;
    Radio(bm.get(), 8, top + 8, f == 0);
    p.Text("L", letter, 17, top, 29, top + 16, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    Radio(bm.get(), 40, top + 8, f == 1);
    p.Text("R", letter, 49, top, 62, top + 16, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  }
  *ok = p.ok;
  return bm;
}

// ---- 104: single radio, 16 x 16 per frame; frame 1 empty, frame 2 selected ----------------------
std::unique_ptr<Raster_MemBitmap> DrawRadioSingle(bool* ok)
{
  auto bm = Canvas(16, 32);
  Radio(bm.get(), 8, 8, false);
  Radio(bm.get(), 8, 24, true);
  *ok = true;
  return bm;
}

// ---- 105: fader handle, 12 x 12 -----------------------------------------------------------------
std::unique_ptr<Raster_MemBitmap> DrawFader(bool* ok)
{
  auto bm = Canvas(12, 12);
  FillCircle(bm.get(), 6, 6, 5.8, kAccentLight, kAccent);
  StrokeCircle(bm.get(), 6, 6, 5.8, 1.1, kAccentDark);
  FillCircle(bm.get(), 6, 6, 1.6, kAccentDark, kAccentDark);
  *ok = true;
  return bm;
}

// ---- 106 / 107: Start and Cancel, 155 x 21 ---------------------------------------------------------
std::unique_ptr<Raster_MemBitmap> DrawRunButton(bool start, bool* ok)
{
  auto bm = Canvas(155, 21);
  Raster_IBitmap* b = bm.get();
  Painter p(b);
  Button(b, 0, 0, 155, 21, kLightButtonTop, kLightButtonBottom, kLightButtonEdge);
  if (start)
  {
    const double x[3] = {13, 13, 23}, y[3] = {5, 16, 10.5};
    FillTriangle(b, x, y, kGreen);
  }
  else
  {
    FillRoundRect(b, 13, 6, 22, 15, 1.5, kGreen, kGreen);
    StrokeRoundRect(b, 13, 6, 22, 15, 1.5, 0.8, kGreenEdge);
  }
  p.Text(start ? "Start Measurement" : "Cancel Measurement", Label(12, true, kLightButtonText), 28, 0, 150, 21,
         DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  *ok = p.ok;
  return bm;
}

// ---- 108: about panel, 220 x 187, at editor (16, 38) --------------------------------------------------
// The version number is a text control at editor (134, 69) in Verdana 16: image (118, 31).
// The OK hit area is editor (89, 180, 162, 201): image (73, 142, 146, 163).
std::unique_ptr<Raster_MemBitmap> DrawAbout(bool* ok)
{
  auto bm = Canvas(220, 187);
  Raster_IBitmap* b = bm.get();
  Painter p(b);
  FillRoundRect(b, 0, 0, 220, 187, 6, kAboutTop, kAboutBottom);
  StrokeRoundRect(b, 0, 0, 220, 187, 6, 1.2, kPanelEdge);
  for (int x = 7; x < 213; ++x) Blend(b, x, 1, 0xFFFFFFFF, 0.18);
  p.Text("Veldramix THD Meter", Label(15, true, kTitleText), 0, 6, 220, 24, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  FillRect(b, 14, 26, 192, 1, kAccent);
  p.Text("Version", Label(16, false, 0xFFFFFFFF), 0, 31, 113, 50, DT_RIGHT | DT_TOP | DT_SINGLELINE);

  static const char* const kNotice[] = {
      "Total harmonic distortion of an",
      "external audio chain, harmonics 1 to 5.",
      "",
      "Calibration: a .frd, .cal or .txt file",
      "in Documents/Veldramix THD Meter.",
      "",
      "\xC2\xA9 2026 Veldramix",
  };
  const TextStyle notice = Label(10, false, kLabelText);
  int y = 57;
  for (const char* line : kNotice)
  {
    p.Text(line, notice, 4, y, 216, y + 12, DT_CENTER | DT_TOP | DT_SINGLELINE);
    y += 11;
  }

  Button(b, 73, 142, 146, 163, kDarkButtonTop, kDarkButtonBottom, kDarkButtonEdge);
  p.Text("OK", Label(12, true, kTitleText), 73, 142, 146, 163, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  *ok = p.ok;
  return bm;
}

// ---- 109: calibration badge, 33 x 14, at editor (200, 35) --------------------------------------------
std::unique_ptr<Raster_MemBitmap> DrawCalBadge(bool* ok)
{
  auto bm = Canvas(33, 14);
  Raster_IBitmap* b = bm.get();
  Painter p(b);
  FillRoundRect(b, 0, 0, 33, 14, 3, kBadgeFill, kBadgeFill);
  StrokeRoundRect(b, 0, 0, 33, 14, 3, 1.2, kBadgeGreen);
  p.Text("CAL", Label(10, true, kBadgeGreen), 0, 0, 33, 14, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  *ok = p.ok;
  return bm;
}

}  // namespace

const std::vector<ArtImage>& ArtGen_Images()
{
  // The meter's image table: ids, files, sizes and frames.
  static const std::vector<ArtImage> images = [] {
    std::vector<ArtImage> v;
    for (const ThdMeterImageInfo& i : kThdMeterImages) v.push_back({i.id, i.file, i.width, i.height, i.frames});
    return v;
  }();
  return images;
}

std::unique_ptr<Raster_MemBitmap> ArtGen_Draw(int id)
{
  bool ok = false;
  std::unique_ptr<Raster_MemBitmap> bm;
  switch (id)
  {
    case 102: bm = DrawBackground(&ok); break;
    case 103: bm = DrawRadioPair(&ok); break;
    case 104: bm = DrawRadioSingle(&ok); break;
    case 105: bm = DrawFader(&ok); break;
    case 106: bm = DrawRunButton(true, &ok); break;
    case 107: bm = DrawRunButton(false, &ok); break;
    case 108: bm = DrawAbout(&ok); break;
    case 109: bm = DrawCalBadge(&ok); break;
    default: return nullptr;
  }
  return ok ? std::move(bm) : nullptr;
}

std::vector<uint8_t> ArtGen_EncodePNG(Raster_IBitmap* bmp)
{
  // The strongest compression: the files are committed and built into every module.
  Raster_PNGWriteOptions options;
  options.mCompression = 9;
  std::vector<uint8_t> out;
  Raster_EncodePNG(bmp, &out, options);
  return out;
}
