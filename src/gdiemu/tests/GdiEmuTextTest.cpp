// DrawText layout, drawing, colours, background modes and the clip region stack.
#include "GdiEmu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr uint32_t kBack = 0xFF102030;

struct Ink
{
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;  // bounding box, exclusive
  int count = 0;
  bool Empty() const { return count == 0; }
};

// A context with one font selected, cleared to a known colour.
class TextFixture : public ::testing::Test
{
protected:
  static constexpr int W = 200, H = 120;
  HDC dc = nullptr;
  HFONT font = nullptr;
  HGDIOBJ oldFont = nullptr;

  void SetUp() override { Use(13, true, "Verdana"); }
  void TearDown() override
  {
    if (dc) SelectObject(dc, oldFont);
    DeleteObject(font);
    GdiEmu_DeleteGfxContext(dc);
  }
  void Use(int height, bool bold, const char* face, int quality = DEFAULT_QUALITY)
  {
    if (dc)
    {
      SelectObject(dc, oldFont);
      DeleteObject(font);
      GdiEmu_DeleteGfxContext(dc);
    }
    dc = GdiEmu_CreateMemContext(nullptr, W, H);
    font = CreateFont(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, 0, 0, 0, quality, 0, face);
    oldFont = SelectObject(dc, font);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    Clear();
  }
  void Clear() { std::fill(Pixels(), Pixels() + W * H, kBack); }
  uint32_t* Pixels() { return GdiEmu_GetCtxFrameBuffer(dc); }
  uint32_t At(int x, int y) { return Pixels()[y * W + x]; }
  Ink InkIn(int x0, int y0, int x1, int y1)
  {
    Ink ink;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if (At(x, y) != kBack)
        {
          ink.x0 = std::min(ink.x0, x);
          ink.y0 = std::min(ink.y0, y);
          ink.x1 = std::max(ink.x1, x + 1);
          ink.y1 = std::max(ink.y1, y + 1);
          ++ink.count;
        }
    return ink;
  }
  Ink AllInk() { return InkIn(0, 0, W, H); }
  RECT Measure(const char* s, UINT flags = 0, int len = -1)
  {
    RECT r = {10, 20, 10, 20};
    GdiEmu_DrawText(dc, s, len, &r, flags | DT_CALCRECT);
    return r;
  }
  int Width(const char* s, UINT flags = DT_NOPREFIX) { return Measure(s, flags).right - 10; }
  int LineHeight()
  {
    TEXTMETRIC tm;
    GetTextMetrics(dc, &tm);
    return tm.tmHeight;
  }
};

}  // namespace

TEST_F(TextFixture, MeasuringCountsLinesAndTheWidestLine)
{
  const int lh = LineHeight();
  const int a = Width("A"), b = Width("BB"), space = Width(" ");
  struct Case
  {
    const char* text;
    UINT flags;
    int width, height;
  } cases[] = {
      {"", 0, 0, 0},
      {"A", 0, a, lh},
      {"A\r\nBB", 0, b, 2 * lh},
      {"A\nBB", 0, b, 2 * lh},
      {"A\rBB", 0, b, 2 * lh},  // a lone CR breaks the line too, as on Win32
      {"A\n", 0, a, lh},        // a trailing break opens no line
      {"A\n\nBB", 0, b, 3 * lh},
      {"\nA", 0, a, 2 * lh},
      {"A\r\nBB", DT_SINGLELINE, a + space + b, lh},  // CR dropped, LF drawn as a space
      {"A\nBB", DT_SINGLELINE | DT_VCENTER, a + space + b, lh},
  };
  for (const Case& c : cases)
  {
    RECT r = {10, 20, 10, 20};
    const int h = GdiEmu_DrawText(dc, c.text, -1, &r, c.flags | DT_CALCRECT | DT_NOPREFIX);
    EXPECT_EQ(r.left, 10) << c.text;
    EXPECT_EQ(r.top, 20) << c.text;
    EXPECT_EQ(r.right - r.left, c.width) << c.text;
    EXPECT_EQ(r.bottom - r.top, c.height) << c.text;
    EXPECT_EQ(h, c.height) << c.text;
  }
  EXPECT_TRUE(AllInk().Empty());  // measuring draws nothing
}

TEST_F(TextFixture, CountedLengthStopsEarly)
{
  EXPECT_EQ(Measure("ABCDEF", DT_NOPREFIX, 2).right, Measure("AB", DT_NOPREFIX).right);
  EXPECT_EQ(Measure("ABCDEF", DT_NOPREFIX, 0).right, 10);
}

TEST_F(TextFixture, PrefixMarksUnderlineTheNextCharacter)
{
  EXPECT_EQ(Width("&Save", 0), Width("Save"));
  EXPECT_EQ(Width("a&&b", 0), Width("a&b"));
  EXPECT_GT(Width("&Save", DT_NOPREFIX), Width("Save"));

  RECT r = {0, 0, W, H};
  GdiEmu_DrawText(dc, "_", -1, &r, DT_NOPREFIX);
  (void)r;
  Clear();
  GdiEmu_DrawText(dc, "&x", -1, &r, 0);
  const Ink underlined = AllInk();
  Clear();
  GdiEmu_DrawText(dc, "x", -1, &r, 0);
  const Ink plain = AllInk();
  EXPECT_GT(underlined.y1, plain.y1);  // the underline sits below the letter
  EXPECT_GT(underlined.count, plain.count);
}

TEST_F(TextFixture, UndecodableBytesStandForThemselves)
{
  // C3 A9 is one character (e-acute); C3 41 is the byte C3 and then 'A'.
  EXPECT_EQ(Width("\xC3\xA9"), Width("\xC3\xA9"));
  EXPECT_EQ(Width("\xC3" "A"), Width("\xC3") + Width("A"));
  EXPECT_NE(Width("\xC3\xA9"), Width("\xC3") + Width("\xA9"));
  // Truncated sequences at the end of a counted string decode byte by byte.
  EXPECT_EQ(Measure("\xE2\x82\xAC", DT_NOPREFIX, 2).right - 10, Width("\xE2") + Width("\x82"));
  // Arbitrary bytes never crash and always stay inside the context.
  std::mt19937 rng(7);
  for (int n = 0; n < 300; ++n)
  {
    char buf[40];
    const int len = (int)(rng() % sizeof(buf));
    for (int i = 0; i < len; ++i) buf[i] = (char)(rng() & 0xFF);
    RECT r = {(int)(rng() % 300) - 50, (int)(rng() % 200) - 50, 0, 0};
    r.right = r.left + (int)(rng() % 250);
    r.bottom = r.top + (int)(rng() % 150);
    GdiEmu_DrawText(dc, buf, len, &r, rng() & 0xFFF);
  }
}

TEST_F(TextFixture, HorizontalAlignmentAppliesPerLine)
{
  const RECT box = {20, 10, 180, 110};
  struct Case
  {
    UINT flags;
    int expectLeftLong, expectLeftShort;  // left pen position of each line
  };
  const int wl = Width("WWWW"), ws = Width("W");
  const Case cases[] = {
      {DT_LEFT, 20, 20},
      {DT_CENTER, 20 + (160 - wl) / 2, 20 + (160 - ws) / 2},
      {DT_RIGHT, 180 - wl, 180 - ws},
  };
  const int lh = LineHeight();
  for (const Case& c : cases)
  {
    Clear();
    RECT r = box;
    EXPECT_EQ(GdiEmu_DrawText(dc, "WWWW\nW", -1, &r, c.flags), 2 * lh);
    const Ink first = InkIn(0, 0, W, 10 + lh), second = InkIn(0, 10 + lh, W, H);
    // 'W' starts at the pen (give or take the side bearing) and ends at its advance.
    EXPECT_NEAR(first.x0, c.expectLeftLong, 1) << c.flags;
    EXPECT_NEAR(first.x1, c.expectLeftLong + wl, 1) << c.flags;
    EXPECT_NEAR(second.x0, c.expectLeftShort, 1) << c.flags;
    EXPECT_GE(first.y0, 10);
    EXPECT_LE(second.y1, 10 + 2 * lh);
  }
}

TEST_F(TextFixture, VerticalPlacementOnlyForSingleLines)
{
  const int lh = LineHeight();
  struct Case
  {
    UINT flags;
    int top;     // expected top of the line cell
    int result;  // DrawText's return value
  } cases[] = {
      {DT_SINGLELINE, 10, lh},
      {DT_SINGLELINE | DT_VCENTER, 10 + (100 - lh) / 2, (100 - lh) / 2 + lh},
      {DT_SINGLELINE | DT_BOTTOM, 110 - lh, 100},
      {DT_VCENTER, 10, lh},  // ignored without DT_SINGLELINE, as on Win32
      {DT_BOTTOM, 10, lh},
  };
  for (const Case& c : cases)
  {
    Clear();
    RECT r = {20, 10, 180, 110};
    EXPECT_EQ(GdiEmu_DrawText(dc, "Hg", -1, &r, c.flags), c.result) << c.flags;
    const Ink ink = AllInk();
    EXPECT_GE(ink.y0, c.top) << c.flags;
    EXPECT_LE(ink.y1, c.top + lh) << c.flags;
    EXPECT_LE(ink.y0, c.top + lh / 3) << c.flags;  // cap height starts near the top
  }
}

TEST_F(TextFixture, ClipsToRectangleUnlessNoClip)
{
  RECT r = {30, 30, 45, 38};
  GdiEmu_DrawText(dc, "Harmonic", -1, &r, 0);
  Ink ink = AllInk();
  ASSERT_FALSE(ink.Empty());
  EXPECT_GE(ink.x0, 30);
  EXPECT_LE(ink.x1, 45);
  EXPECT_GE(ink.y0, 30);
  EXPECT_LE(ink.y1, 38);
  Clear();
  GdiEmu_DrawText(dc, "Harmonic", -1, &r, DT_NOCLIP);
  ink = AllInk();
  EXPECT_GT(ink.x1, 60);
  EXPECT_GT(ink.y1, 38);
  // Text running off the context is cut at its edges.
  Clear();
  RECT edge = {W - 10, H - 5, W + 100, H + 100};
  GdiEmu_DrawText(dc, "WWWW", -1, &edge, DT_NOCLIP);
  RECT neg = {-100, -8, 10, 10};
  GdiEmu_DrawText(dc, "WWWWWWWW", -1, &neg, DT_NOCLIP);
  EXPECT_FALSE(AllInk().Empty());
}

TEST_F(TextFixture, ClipRegionStackRestoresWhatWasPushed)
{
  RECT whole = {0, 0, W, H};
  const RECT region = {50, 0, 70, H};
  GdiEmu_PushClipRegion(dc);
  GdiEmu_SetClipRegion(dc, &region);
  GdiEmu_PushClipRegion(dc);
  const RECT inner = {0, 0, 1, 1};
  GdiEmu_SetClipRegion(dc, &inner);
  GdiEmu_PopClipRegion(dc);  // back to the 50..70 band
  GdiEmu_DrawText(dc, "WWWWWWWWWW", -1, &whole, DT_NOCLIP);
  Ink ink = AllInk();
  EXPECT_EQ(ink.x0, 50);
  EXPECT_EQ(ink.x1, 70);
  GdiEmu_PopClipRegion(dc);  // no clip region any more
  GdiEmu_PopClipRegion(dc);  // an unmatched pop does nothing
  Clear();
  GdiEmu_DrawText(dc, "WWWWWWWWWW", -1, &whole, DT_NOCLIP);
  EXPECT_LT(AllInk().x0, 5);
  GdiEmu_SetClipRegion(dc, &inner);
  GdiEmu_SetClipRegion(dc, nullptr);
  Clear();
  GdiEmu_DrawText(dc, "WWWWWWWWWW", -1, &whole, DT_NOCLIP);
  EXPECT_GT(AllInk().x1, 70);
}

TEST_F(TextFixture, OpaqueModeFillsTheLineCellWithTheBackgroundColour)
{
  EXPECT_EQ(SetBkMode(dc, OPAQUE), TRANSPARENT);
  EXPECT_EQ(SetBkMode(dc, 7), 0);  // an unknown mode is refused and changes nothing
  EXPECT_EQ(SetBkColor(dc, RGB(1, 2, 3)), RGB(255, 255, 255));
  EXPECT_EQ(SetTextColor(dc, RGB(200, 100, 50)), RGB(255, 255, 255));
  const int lh = LineHeight(), w = Width("Hi");
  RECT r = {40, 30, 190, 110};
  GdiEmu_DrawText(dc, "Hi", -1, &r, 0);
  EXPECT_EQ(At(40, 30), 0xFF010203u);
  EXPECT_EQ(At(40 + w - 1, 30 + lh - 1), 0xFF010203u);
  EXPECT_EQ(At(40 + w, 30), kBack);
  EXPECT_EQ(At(40, 30 + lh), kBack);
  bool sawText = false;
  for (int y = 30; y < 30 + lh; ++y)
    for (int x = 40; x < 40 + w; ++x) sawText |= At(x, y) == 0xFFC86432u;
  EXPECT_TRUE(sawText);
  EXPECT_EQ(SetBkMode(nullptr, OPAQUE), 0);
  EXPECT_EQ(SetTextColor(nullptr, 0), CLR_INVALID);
}

TEST_F(TextFixture, QualityThreeDrawsWithoutAntialiasing)
{
  auto levels = [&](int quality) {
    Use(16, false, "Verdana", quality);
    RECT r = {0, 0, W, H};
    GdiEmu_DrawText(dc, "Volume -10.0 dB", -1, &r, 0);
    int partial = 0, full = 0;
    for (int i = 0; i < W * H; ++i)
    {
      if (Pixels()[i] == 0xFFFFFFFFu)
        ++full;
      else if (Pixels()[i] != kBack)
        ++partial;
    }
    return std::make_pair(partial, full);
  };
  const auto mono = levels(NONANTIALIASED_QUALITY);
  EXPECT_EQ(mono.first, 0);
  EXPECT_GT(mono.second, 50);
  for (int q : {DEFAULT_QUALITY, ANTIALIASED_QUALITY, CLEARTYPE_QUALITY}) EXPECT_GT(levels(q).first, 20) << q;
}

TEST_F(TextFixture, NullArgumentsDrawNothing)
{
  RECT r = {0, 0, W, H};
  EXPECT_EQ(GdiEmu_DrawText(nullptr, "A", -1, &r, 0), 0);
  EXPECT_EQ(GdiEmu_DrawText(dc, "A", -1, nullptr, 0), 0);
  EXPECT_EQ(GdiEmu_DrawText(dc, nullptr, -1, &r, 0), 0);
  EXPECT_TRUE(AllInk().Empty());
}

TEST_F(TextFixture, ItalicUnderlineAndStrikeOutFonts)
{
  auto draw = [&](DWORD italic, DWORD underline, DWORD strikeOut) {
    HFONT f = CreateFont(16, 0, 0, 0, FW_NORMAL, italic, underline, strikeOut, 0, 0, 0, 0, 0, "Verdana");
    HGDIOBJ old = SelectObject(dc, f);
    Clear();
    RECT r = {10, 10, 190, 110};
    GdiEmu_DrawText(dc, "Hello", -1, &r, 0);
    const Ink ink = AllInk();
    std::vector<uint32_t> px(Pixels(), Pixels() + W * H);
    SelectObject(dc, old);
    DeleteObject(f);
    return std::make_pair(ink, px);
  };
  const auto plain = draw(0, 0, 0), italic = draw(1, 0, 0), under = draw(0, 1, 0), strike = draw(0, 0, 1);
  EXPECT_NE(italic.second, plain.second);       // the slanted face
  EXPECT_NEAR(italic.first.y0, plain.first.y0, 1);
  EXPECT_GT(under.first.y1, plain.first.y1);    // a rule below the baseline
  EXPECT_GT(strike.first.count, plain.first.count);
  EXPECT_EQ(strike.first.y1, plain.first.y1);   // the strike-out rule runs through the letters
}

// Rectangles at the ends of the coordinate range must neither overflow the layout nor draw.
TEST_F(TextFixture, FarAwayRectanglesNeitherOverflowNorDraw)
{
  const LONG big = INT32_MAX - 5, small = INT32_MIN + 5;
  for (UINT flags : {0u, (UINT)DT_CENTER, (UINT)(DT_RIGHT | DT_BOTTOM | DT_SINGLELINE), (UINT)DT_NOCLIP})
  {
    RECT r = {big, big, INT32_MAX, INT32_MAX};
    GdiEmu_DrawText(dc, "WWW\nW", -1, &r, flags);
    RECT n = {small, small, small + 10, small + 10};
    GdiEmu_DrawText(dc, "WWW\nW", -1, &n, flags);
  }
  EXPECT_TRUE(InkIn(0, 0, W, H).Empty());
  // The middle of the whole coordinate range is (-2, -2) (exclusive right and bottom), so
  // centred text lands around the origin, with no overflow on the way.
  RECT wide = {INT32_MIN + 1, INT32_MIN + 1, INT32_MAX - 3, INT32_MAX - 3};
  GdiEmu_DrawText(dc, "W", -1, &wide, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  const Ink ink = AllInk();
  EXPECT_EQ(ink.x0, 0);
  EXPECT_LE(ink.x1, Width("W") / 2 + 1);
  EXPECT_EQ(ink.y0, 0);
  RECT m = {big, 7, big, 7};
  GdiEmu_DrawText(dc, "WWWWWWWW", -1, &m, DT_CALCRECT);
  EXPECT_EQ(m.left, big);
  EXPECT_EQ(m.right, INT32_MAX);  // saturated
  EXPECT_EQ(m.bottom, 7 + LineHeight());
}
