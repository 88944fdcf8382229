// Vector primitives: line geometry (end points, symmetry, clipping), the weight classes, the
// circle masks and drawer, arcs, rounded rectangles, polygon and curve fills.
#include "Raster_CircleMasks.h"
#include "Raster_Combine.h"
#include "Raster_Fill.h"
#include "Raster_Rect.h"
#include "Raster_Vector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace
{
const uint32_t kBack = 0x10203040u;
const uint32_t kInk = 0xFFF0E0D0u;
const float kPi = 3.14159265358979f;

typedef std::set<std::pair<int, int>> PixelSet;

// Bitmap whose rows are stored bottom-up.
class FlippedBitmap : public Raster_MemBitmap
{
public:
  using Raster_MemBitmap::Raster_MemBitmap;
  bool isFlipped() override { return true; }
};

void Fill(Raster_IBitmap* b, uint32_t v)
{
  for (int y = 0; y < b->getHeight(); ++y)
    for (int x = 0; x < b->getWidth(); ++x) b->getBits()[(size_t)y * b->getRowSpan() + x] = v;
}

uint32_t At(Raster_IBitmap* b, int x, int y)
{
  const int row = b->isFlipped() ? b->getHeight() - 1 - y : y;
  return b->getBits()[(size_t)row * b->getRowSpan() + x];
}

// Pixels that differ from the background.
PixelSet Touched(Raster_IBitmap* b, uint32_t back = kBack)
{
  PixelSet s;
  for (int y = 0; y < b->getHeight(); ++y)
    for (int x = 0; x < b->getWidth(); ++x)
      if (At(b, x, y) != back) s.insert({x, y});
  return s;
}

// All pixels of a bitmap, row by row, for comparing two drawings.
std::vector<uint32_t> Pixels(Raster_IBitmap* b)
{
  std::vector<uint32_t> v;
  for (int y = 0; y < b->getHeight(); ++y)
    for (int x = 0; x < b->getWidth(); ++x) v.push_back(At(b, x, y));
  return v;
}

struct Canvas
{
  Raster_MemBitmap bmp;
  Canvas(int w, int h, uint32_t back = kBack) : bmp(w, h, 4) { Fill(&bmp, back); }
};

int Ch(uint32_t p, int shift) { return (int)((p >> shift) & 0xFF); }

// The copy formula s + (d - s)(256 - w) / 256 on every channel.
uint32_t CopyMix(uint32_t d, uint32_t s, int w)
{
  uint32_t out = 0;
  for (int sh = 0; sh < 32; sh += 8)
  {
    const int dc = Ch(d, sh), sc = Ch(s, sh);
    out |= (uint32_t)((sc + (dc - sc) * (256 - w) / 256) & 0xFF) << sh;
  }
  return out;
}

uint32_t HalfWord(uint32_t c, uint32_t d) { return ((c >> 1) & 0x7F7F7F7Fu) + ((d >> 1) & 0x7F7F7F7Fu); }
}  // namespace

// ---------------------------------------------------------------------------------------------
// Lines

TEST(VectorLine, StraightLinesCoverBothEndPoints)
{
  struct Case
  {
    int x1, y1, x2, y2;
    int count;
  };
  const Case cases[] = {
      {10, 5, 3, 5, 8},  // right to left: x = 3..10
      {3, 5, 10, 5, 8}, {4, 1, 4, 9, 9}, {4, 9, 4, 1, 9}, {2, 2, 8, 8, 7}, {8, 2, 2, 8, 7}, {5, 5, 5, 5, 1},
  };
  for (const Case& c : cases)
  {
    Canvas cv(16, 12);
    Raster_Line(&cv.bmp, c.x1, c.y1, c.x2, c.y2, kInk, 1.0f, 0, false);
    const PixelSet s = Touched(&cv.bmp);
    EXPECT_EQ((int)s.size(), c.count) << c.x1 << "," << c.y1 << "-" << c.x2 << "," << c.y2;
    EXPECT_TRUE(s.count({c.x1, c.y1}) && s.count({c.x2, c.y2}));
    for (auto p : s) EXPECT_EQ(At(&cv.bmp, p.first, p.second), kInk);
  }
  Canvas cv(16, 12);
  Raster_Line(&cv.bmp, 10, 5, 3, 5, kInk, 1.0f, 0, false);
  for (int x = 0; x < 16; ++x) EXPECT_EQ(At(&cv.bmp, x, 5) == kInk, x >= 3 && x <= 10) << x;
}

// Every major-axis step draws one pixel, the end points exactly, and the drawing does not
// depend on the order of the end points; non-anti-aliased lines are point-symmetric.
TEST(VectorLine, EndPointsOrderAndSymmetry)
{
  std::mt19937 rng(7);
  for (int k = 0; k < 300; ++k)
  {
    const int x1 = rng() % 40, y1 = rng() % 30, x2 = rng() % 40, y2 = rng() % 30;
    for (bool aa : {false, true})
    {
      Canvas a(40, 30), b(40, 30);
      Raster_Line(&a.bmp, x1, y1, x2, y2, kInk, 0.7f, 0, aa);
      Raster_Line(&b.bmp, x2, y2, x1, y1, kInk, 0.7f, 0, aa);
      ASSERT_EQ(Pixels(&a.bmp), Pixels(&b.bmp)) << x1 << "," << y1 << "-" << x2 << "," << y2 << " aa " << aa;
      if (aa) continue;
      const PixelSet s = Touched(&a.bmp);
      const int major = std::max(std::abs(x2 - x1), std::abs(y2 - y1));
      EXPECT_EQ((int)s.size(), major + 1);
      EXPECT_TRUE(s.count({x1, y1}) && s.count({x2, y2}));
      for (auto p : s)
      {
        // (the middle pixel of an odd count may sit on either side of a half-way point)
        const bool xMajor = std::abs(x2 - x1) >= std::abs(y2 - y1);
        const bool middle = xMajor ? 2 * p.first == x1 + x2 : 2 * p.second == y1 + y2;
        EXPECT_TRUE(middle || s.count({x1 + x2 - p.first, y1 + y2 - p.second})) << "not point-symmetric";
        // Within half a pixel (plus the 16.16 truncation) of the ideal line, across the major axis.
        const double len = std::hypot(x2 - x1, y2 - y1);
        const double dist = std::fabs((double)(x2 - x1) * (y1 - p.second) - (double)(x1 - p.first) * (y2 - y1)) / len;
        EXPECT_LE(dist, 0.75);
      }
    }
  }
}

TEST(VectorLine, HalfWeightAveragesAlphaIncluded)
{
  const uint32_t back = 0x11335577u, ink = 0xEECCAA99u;
  // Horizontal, vertical and diagonal loops mix whole words...
  {
    Canvas cv(8, 8, back);
    Raster_Line(&cv.bmp, 1, 1, 6, 1, ink, 0.5f, 0, false);
    Raster_Line(&cv.bmp, 1, 3, 4, 6, ink, 0.5f, 0, false);
    EXPECT_EQ(At(&cv.bmp, 3, 1), HalfWord(ink, back));
    EXPECT_EQ(At(&cv.bmp, 2, 4), HalfWord(ink, back));
  }
  // ...other slopes take the half mix (s + d) >> 1 per channel.
  {
    Canvas cv(8, 8, back);
    Raster_Line(&cv.bmp, 0, 0, 6, 2, ink, 0.5f, 0, false);
    uint32_t expect = 0;
    for (int sh = 0; sh < 32; sh += 8) expect |= (uint32_t)((Ch(ink, sh) + Ch(back, sh)) >> 1) << sh;
    EXPECT_EQ(At(&cv.bmp, 3, 1), expect);
    EXPECT_EQ(At(&cv.bmp, 0, 0), expect);
  }
}

// Straight lines at 1.0, 0.75, 0.25 use the whole-word classes; other weights and operations
// apply the class formula with the colour's own alpha.
TEST(VectorLine, WeightClassesOnStraightLines)
{
  const uint32_t back = 0x80604020u, ink = 0xFF10F0A0u;
  struct Case
  {
    float weight;
    int mode;
    uint32_t expect;
  };
  const uint32_t quarter = ((ink >> 2) & 0x3F3F3F3Fu) + ((back >> 2) & 0x3F3F3F3Fu) + ((back >> 1) & 0x7F7F7F7Fu);
  const uint32_t threeQuarter = ((ink >> 1) & 0x7F7F7F7Fu) + ((ink >> 2) & 0x3F3F3F3Fu) + ((back >> 2) & 0x3F3F3F3Fu);
  uint32_t add = 0;
  for (int sh = 0; sh < 32; sh += 8) add |= (uint32_t)std::min(255, Ch(back, sh) + Ch(ink, sh) * 76 / 256) << sh;
  const Case cases[] = {
      {1.0f, 0, ink},
      {0.25f, 0, quarter},
      {0.75f, 0, threeQuarter},
      {0.3f, 0, CopyMix(back, ink, 76)},
      {0.3f, 1, add},
      {1.0f, 0x10000, ink},                          // source alpha 255: full weight
      {0.5f, 0x10000, HalfWord(ink, back)},
  };
  for (const Case& c : cases)
  {
    Canvas cv(6, 3, back);
    Raster_Line(&cv.bmp, 0, 1, 5, 1, ink, c.weight, c.mode, false);
    EXPECT_EQ(At(&cv.bmp, 2, 1), c.expect) << "weight " << c.weight << " mode " << c.mode;
    EXPECT_EQ(At(&cv.bmp, 2, 0), back);
  }
}

// The whole-word mixes are taken for float weights of exactly 1.0, 0.5, 0.25 and 0.75 in plain
// copy only. 0.501 (integer weight 128) and copy with source alpha take the half-mix formula
// (s + d) >> 1, which rounds differently when both channels are odd.
TEST(VectorLine, WholeWordPathOnlyForExactWeightsOfPlainCopy)
{
  const uint32_t back = 0x11335577u, ink = 0xFFCCAA99u;
  uint32_t halfMix = 0;
  for (int sh = 0; sh < 32; sh += 8) halfMix |= (uint32_t)((Ch(ink, sh) + Ch(back, sh)) >> 1) << sh;
  ASSERT_NE(halfMix, HalfWord(ink, back));
  struct Case
  {
    float weight;
    int mode;
    uint32_t expect;
  };
  const Case cases[] = {
      {0.5f, 0, HalfWord(ink, back)},
      {0.501f, 0, halfMix},
      {0.5f, 0x10000, halfMix},  // source alpha 255: weight 128, but not the word path
      {1.0f, 0x10000, ink},
      {0.2502f, 0, CopyMix(back, ink, 64)},
  };
  for (const Case& c : cases)
  {
    Canvas h(8, 8, back), d(8, 8, back), dash(8, 8, back);
    Raster_Line(&h.bmp, 0, 2, 7, 2, ink, c.weight, c.mode, false);
    Raster_Line(&d.bmp, 0, 0, 7, 7, ink, c.weight, c.mode, false);
    Raster_DashedLine(&dash.bmp, 7, 2, 0, 2, 2, 1, ink, c.weight, c.mode, false);
    EXPECT_EQ(At(&h.bmp, 3, 2), c.expect) << std::hex << c.expect << " weight " << c.weight << " mode " << c.mode;
    EXPECT_EQ(At(&d.bmp, 3, 3), c.expect) << "diagonal, weight " << c.weight << " mode " << c.mode;
    EXPECT_EQ(At(&dash.bmp, 6, 2), c.expect) << "dashed, weight " << c.weight << " mode " << c.mode;
  }
}

// Sloped lines, circles and curves apply the operation's class to each pixel with the colour's
// own four channels; copy at full weight overwrites and copy at half weight is (s + d) >> 1.
TEST(VectorLine, EveryOperationOnOutlines)
{
  const uint32_t back = 0xC0805A30u, ink = 0x9040C0E0u;
  for (int mode : {0, 1, 2, 3, 4, 5, 0x10000, 0x10001})
    for (float weight : {1.0f, 0.5f, 0.3f})
    {
      const float effective = (mode & 0x10000) ? (float)(weight * ((ink >> 24) / 255.0)) : weight;
      const int w = (int)(effective * 256);
      uint32_t expect = back;
      const int op = mode & 0xFF;
      if (op == 0 && w == 256)
        expect = ink;
      else if (op == 0 && w == 128)
      {
        expect = 0;
        for (int sh = 0; sh < 32; sh += 8) expect |= (uint32_t)((Ch(ink, sh) + Ch(back, sh)) >> 1) << sh;
      }
      else
        Raster_CombinePixels2(&expect, Ch(ink, 16), Ch(ink, 8), Ch(ink, 0), Ch(ink, 24), w, op);
      SCOPED_TRACE("mode " + std::to_string(mode) + " weight " + std::to_string(weight));
      Canvas line(30, 30, back), circle(30, 30, back), curve(30, 30, back);
      Raster_Line(&line.bmp, 2, 3, 27, 14, ink, weight, mode, false);
      Raster_Circle(&circle.bmp, 15, 15, 9.6f, ink, weight, mode, false);
      Raster_DrawQBezier(&curve.bmp, 2, 25, 15, -5, 28, 25, ink, weight, mode, false, 1.0f);
      for (Canvas* c : {&line, &circle, &curve})
      {
        const PixelSet s = Touched(&c->bmp, back);
        EXPECT_GT(s.size(), 10u);
        for (auto p : s) ASSERT_EQ(At(&c->bmp, p.first, p.second), expect) << p.first << "," << p.second;
      }
    }
}

TEST(VectorLine, NothingDrawnForNullZeroOrUnknown)
{
  Raster_Line(nullptr, 0, 0, 5, 5, kInk, 1.0f, 0, true);
  Raster_MemBitmap empty(0, 0, 4);
  Raster_Line(&empty, 0, 0, 5, 5, kInk, 1.0f, 0, true);
  Canvas cv(8, 8);
  Raster_Line(&cv.bmp, 0, 0, 7, 3, kInk, 0.0f, 0, false);
  Raster_Line(&cv.bmp, 0, 0, 7, 3, kInk, 0.003f, 0, false);  // truncates to 0
  Raster_Line(&cv.bmp, 0, 0, 7, 3, kInk, 1.0f, 6, false);
  Raster_Line(&cv.bmp, 0, 0, 7, 3, kInk & 0x00FFFFFFu, 1.0f, 0x10000, false);  // source alpha 0
  Raster_Line(&cv.bmp, 0, 0, 7, 3, kInk, NAN, 0, false);
  Raster_FLine(&cv.bmp, NAN, 0, 7, 3, kInk, 1.0f, 0, false);
  EXPECT_TRUE(Touched(&cv.bmp).empty());
}

// The anti-aliased step splits the weight between the two pixels around the ideal line with
// keep factors (f >> 8) + 1 and 256 - (f >> 8).
TEST(VectorLine, AntiAliasedKeepFactors)
{
  for (float weight : {1.0f, 0.6f})
  {
    const int w = (int)(weight * 256);
    Canvas cv(8, 4, 0xFF000000u);
    Raster_Line(&cv.bmp, 0, 0, 4, 1, 0xFFFFFFFFu, weight, 0, true);
    // x = 1: the ideal y is 0.25, f = 0x4000, f >> 8 = 64.
    const int f8 = ((1 * (65536 / 4)) >> 8) & 0xFF;
    EXPECT_EQ(At(&cv.bmp, 1, 0), CopyMix(0xFF000000u, 0xFFFFFFFFu, ((255 - f8) * w) >> 8)) << weight;
    EXPECT_EQ(At(&cv.bmp, 1, 1), CopyMix(0xFF000000u, 0xFFFFFFFFu, (f8 * w) >> 8)) << weight;
    // End points at the line's own weight.
    EXPECT_EQ(At(&cv.bmp, 0, 0), w == 256 ? 0xFFFFFFFFu : CopyMix(0xFF000000u, 0xFFFFFFFFu, w));
  }
}

// A line that leaves the bitmap shows exactly the pixels it has inside a larger one.
TEST(VectorLine, ClippedLinesMatchTheUnclippedDrawing)
{
  std::mt19937 rng(11);
  for (int k = 0; k < 300; ++k)
  {
    const int x1 = (int)(rng() % 80) - 30, y1 = (int)(rng() % 80) - 30, x2 = (int)(rng() % 80) - 30, y2 = (int)(rng() % 80) - 30;
    const bool aa = k & 1;
    Canvas big(80, 80), small(20, 20);
    Raster_Line(&big.bmp, x1 + 30, y1 + 30, x2 + 30, y2 + 30, kInk, 0.8f, 0, aa);
    Raster_Line(&small.bmp, x1, y1, x2, y2, kInk, 0.8f, 0, aa);
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x)
        ASSERT_EQ(At(&small.bmp, x, y), At(&big.bmp, x + 30, y + 30))
            << x1 << "," << y1 << "-" << x2 << "," << y2 << " at " << x << "," << y;
  }
  // Far outside coordinates are clipped, not overflowed.
  Canvas cv(10, 10);
  Raster_Line(&cv.bmp, -2000000000, 5, 2000000000, 5, kInk, 1.0f, 0, false);
  Raster_Line(&cv.bmp, -2000000000, -2000000000, 2000000000, 2000000000, kInk, 1.0f, 0, true);
  Raster_Line(&cv.bmp, -2000000000, 3, 2000000000, 7, kInk, 1.0f, 0, true);
  EXPECT_TRUE(Touched(&cv.bmp).count({0, 5}));
  EXPECT_TRUE(Touched(&cv.bmp).count({9, 9}));
}

TEST(VectorLine, FlippedBitmapDrawsUpright)
{
  Canvas plain(12, 9);
  FlippedBitmap flipped(12, 9, 4);
  Fill(&flipped, kBack);
  for (Raster_IBitmap* b : {(Raster_IBitmap*)&plain.bmp, (Raster_IBitmap*)&flipped})
  {
    Raster_Line(b, 1, 1, 10, 4, kInk, 0.6f, 0, true);
    Raster_FLine(b, 0.5f, 8.2f, 11.0f, 6.7f, kInk, 1.0f, 0, true);
    Raster_FillCircle(b, 6, 5, 2.5f, kInk, 0.5f, 0, true);
  }
  EXPECT_EQ(Pixels(&plain.bmp), Pixels(&flipped));
  // and row 0 of the flipped bitmap is the last row in memory
  EXPECT_EQ(flipped.getBits()[8 * flipped.getRowSpan() + 1], At(&plain.bmp, 1, 0));
}

TEST(VectorLine, ClipLineTable)
{
  struct Case
  {
    int x1, y1, x2, y2;
    bool visible;
    int ex1, ey1, ex2, ey2;
  };
  // Box [0, 9] x [0, 9].
  const Case cases[] = {
      {1, 1, 8, 8, true, 1, 1, 8, 8},          // inside: unchanged
      {-5, 5, 15, 5, true, 0, 5, 9, 5},        // horizontal through
      {5, -5, 5, 15, true, 5, 0, 5, 9},        // vertical through
      {-10, -10, 20, 20, true, 0, 0, 9, 9},    // diagonal through the corners
      {-5, -5, -1, 20, false, 0, 0, 0, 0},     // left of the box
      {10, 0, 20, 9, false, 0, 0, 0, 0},       // right of the box
      {-3, 12, 12, -3, true, 0, 9, 9, 0},      // anti-diagonal
      {-5, 0, 5, 10, true, 0, 5, 4, 9},        // enters left, leaves bottom
      {9, 9, 9, 9, true, 9, 9, 9, 9},          // single corner point
      {-1, 10, 10, -1, true, 0, 9, 9, 0},      // just clips the corners off
  };
  for (const Case& c : cases)
  {
    int x1 = c.x1, y1 = c.y1, x2 = c.x2, y2 = c.y2;
    const bool vis = Raster_ClipLine(&x1, &y1, &x2, &y2, 0, 0, 9, 9);
    EXPECT_EQ(vis, c.visible) << c.x1 << "," << c.y1 << "-" << c.x2 << "," << c.y2;
    if (vis && c.visible)
    {
      EXPECT_EQ(x1, c.ex1);
      EXPECT_EQ(y1, c.ey1);
      EXPECT_EQ(x2, c.ex2);
      EXPECT_EQ(y2, c.ey2);
    }
    if (!vis)
    {
      EXPECT_EQ(x1, c.x1);  // untouched when nothing remains
      EXPECT_EQ(y2, c.y2);
    }
  }
  float fx1 = -1.0f, fy1 = 0.5f, fx2 = 3.0f, fy2 = 0.5f;
  EXPECT_TRUE(Raster_ClipFLine(&fx1, &fy1, &fx2, &fy2, 0.0f, 0.0f, 2.0f, 2.0f));
  EXPECT_FLOAT_EQ(fx1, 0.0f);
  EXPECT_FLOAT_EQ(fx2, 2.0f);
  float n1 = NAN, n2 = 0, n3 = 1, n4 = 1;
  EXPECT_FALSE(Raster_ClipFLine(&n1, &n2, &n3, &n4, 0.0f, 0.0f, 2.0f, 2.0f));
}

TEST(VectorLine, FloatLineFollowsItsEndPoints)
{
  // A float line through whole coordinates draws the same pixels as the integer line.
  std::mt19937 rng(5);
  for (int k = 0; k < 100; ++k)
  {
    const int x1 = rng() % 30, y1 = rng() % 30, x2 = rng() % 30, y2 = rng() % 30;
    Canvas a(30, 30), b(30, 30);
    Raster_FLine(&a.bmp, (float)x1, (float)y1, (float)x2, (float)y2, kInk, 1.0f, 0, false);
    const PixelSet s = Touched(&a.bmp);
    EXPECT_TRUE(s.count({x1, y1}) && s.count({x2, y2}));
    EXPECT_EQ((int)s.size(), std::max(std::abs(x2 - x1), std::abs(y2 - y1)) + 1);
  }
  // A sub-pixel shift moves the anti-aliased weight between neighbouring rows.
  Canvas c(10, 4, 0xFF000000u);
  Raster_FLine(&c.bmp, 0.0f, 1.25f, 9.0f, 1.25f, 0xFFFFFFFFu, 1.0f, 0, true);
  EXPECT_GT(Ch(At(&c.bmp, 4, 1), 16), Ch(At(&c.bmp, 4, 2), 16));
  EXPECT_GT(Ch(At(&c.bmp, 4, 2), 16), 0);
}

TEST(VectorLine, DashedLinePattern)
{
  Canvas cv(20, 3);
  Raster_DashedLine(&cv.bmp, 0, 1, 19, 1, 3, 2, kInk, 1.0f, 0, false);
  std::string row;
  for (int x = 0; x < 20; ++x) row += At(&cv.bmp, x, 1) == kInk ? '#' : '.';
  EXPECT_EQ(row, "###..###..###..###..");
  // The pattern is anchored at (x1, y1), also when that end lies outside the bitmap.
  Canvas cl(20, 3);
  Raster_DashedLine(&cl.bmp, -5, 1, 19, 1, 3, 2, kInk, 1.0f, 0, false);
  row.clear();
  for (int x = 0; x < 20; ++x) row += At(&cl.bmp, x, 1) == kInk ? '#' : '.';
  EXPECT_EQ(row, "###..###..###..###..");
  Canvas r(20, 3);
  Raster_DashedLine(&r.bmp, 19, 1, 0, 1, 1, 1, kInk, 1.0f, 0, false);
  EXPECT_EQ(At(&r.bmp, 19, 1), kInk);
  EXPECT_EQ(At(&r.bmp, 18, 1), kBack);
  Canvas none(20, 3);
  Raster_DashedLine(&none.bmp, 0, 1, 19, 1, 0, 2, kInk, 1.0f, 0, false);
  EXPECT_TRUE(Touched(&none.bmp).empty());
  Canvas solid(20, 3), line(20, 3);
  Raster_DashedLine(&solid.bmp, 0, 0, 19, 2, 4, 0, kInk, 1.0f, 0, true);
  Raster_Line(&line.bmp, 0, 0, 19, 2, kInk, 1.0f, 0, true);
  EXPECT_EQ(Pixels(&solid.bmp), Pixels(&line.bmp));
}

// The double form clips ends a million pixels away onto the box exactly, keeps ends inside the
// box bit for bit, and leaves everything as it was when nothing is inside.
TEST(VectorLine, ClipDoubleLineTable)
{
  struct Case
  {
    double x1, y1, x2, y2;
    bool visible;
    double ex1, ey1, ex2, ey2;
  };
  // Box [10, 110] x [20, 70].
  const Case cases[] = {
      {12.3, 21.7, 108.9, 69.1, true, 12.3, 21.7, 108.9, 69.1},   // inside: unchanged
      {-1e6, 45.25, 1e6, 45.25, true, 10, 45.25, 110, 45.25},     // far ends, horizontal
      {60.5, 1e9, 60.5, -1e9, true, 60.5, 70, 60.5, 20},          // far ends, vertical
      {30.0, 40.0, 30.0 + 1e7, 40.0 + 1e7, true, 30, 40, 60, 70}, // one end inside stays
      {-1e6, -1e6, -5.0, 1e6, false, -1e6, -1e6, -5, 1e6},        // left of the box
      {NAN, 40.0, 50.0, 40.0, false, NAN, 40, 50, 40},            // not a point
  };
  for (const Case& c : cases)
  {
    double x1 = c.x1, y1 = c.y1, x2 = c.x2, y2 = c.y2;
    EXPECT_EQ(Raster_ClipDLine(&x1, &y1, &x2, &y2, 10, 20, 110, 70), c.visible) << c.x1 << "," << c.y1;
    const double got[4] = {x1, y1, x2, y2}, want[4] = {c.ex1, c.ey1, c.ex2, c.ey2};
    for (int i = 0; i < 4; ++i)
    {
      if (std::isnan(want[i]))
        EXPECT_TRUE(std::isnan(got[i]));
      else if (!c.visible || c.x1 == c.ex1)
        EXPECT_EQ(got[i], want[i]) << c.x1 << "," << c.y1 << " [" << i << "]";  // bit for bit
      else
        EXPECT_NEAR(got[i], want[i], 1e-6) << c.x1 << "," << c.y1 << " [" << i << "]";
    }
  }
}

// A wide line covers as many rows as it is wide (around the ideal line, both ways round), a
// width up to 1.2 is the float line itself, and its ends stay square.
TEST(VectorLine, WideLineCoversItsWidth)
{
  for (const float width : {1.0f, 2.0f, 3.0f, 5.0f})
  {
    Canvas cv(40, 20);
    Raster_WideLine(&cv.bmp, 5.0, 10.0, 34.0, 10.0, width, kInk, 1.0f, 0, true);
    int top = 99, bottom = -1, left = 99, right = -1;
    for (const auto& p : Touched(&cv.bmp))
    {
      left = std::min(left, p.first);
      right = std::max(right, p.first);
      top = std::min(top, p.second);
      bottom = std::max(bottom, p.second);
    }
    const int half = (int)std::ceil((width - 1.0f) / 2.0f);
    EXPECT_EQ(top, 10 - half) << width;
    EXPECT_EQ(bottom, 10 + half) << width;
    EXPECT_EQ(left, 5) << width;
    EXPECT_EQ(right, 34) << width;
    // No holes along it: every pixel between the ends on its centre row is drawn.
    for (int x = 5; x <= 34; ++x) EXPECT_NE(At(&cv.bmp, x, 10), kBack) << width << " " << x;
    Canvas back(40, 20);
    Raster_WideLine(&back.bmp, 34.0, 10.0, 5.0, 10.0, width, kInk, 1.0f, 0, true);
    EXPECT_EQ(Touched(&back.bmp), Touched(&cv.bmp)) << width;
  }
  Canvas wide(30, 30), thin(30, 30);
  Raster_WideLine(&wide.bmp, 2.5, 3.25, 27.0, 21.5, 1.0f, kInk, 1.0f, 0, true);
  Raster_FLine(&thin.bmp, 2.5f, 3.25f, 27.0f, 21.5f, kInk, 1.0f, 0, true);
  EXPECT_EQ(Pixels(&wide.bmp), Pixels(&thin.bmp));
  // Absurd widths are bounded, not looped over.
  Canvas huge(30, 30);
  Raster_WideLine(&huge.bmp, 0.0, 15.0, 29.0, 15.0, 1e30f, kInk, 1.0f, 0, true);
  Raster_WideLine(&huge.bmp, 0.0, 15.0, 29.0, 15.0, NAN, kInk, 1.0f, 0, true);
  EXPECT_FALSE(Touched(&huge.bmp).empty());
}

// Dashes go on from one segment of a polyline to the next: a line drawn in pieces is the line
// drawn whole. Along it, dash and gap alternate with their lengths.
TEST(VectorLine, DashedPolylineCarriesItsPattern)
{
  Canvas whole(120, 5), pieces(120, 5);
  Raster_DashedPolyline one(7.0, 4.0);
  one.Segment(&whole.bmp, 2.0, 2.0, 112.0, 2.0, 1.0f, kInk, 1.0f, 0, false);
  Raster_DashedPolyline many(7.0, 4.0);
  const double cuts[] = {2.0, 5.5, 9.0, 30.25, 31.0, 77.0, 112.0};
  for (size_t i = 0; i + 1 < std::size(cuts); ++i)
    many.Segment(&pieces.bmp, cuts[i], 2.0, cuts[i + 1], 2.0, 1.0f, kInk, 1.0f, 0, false);
  std::string row, rowPieces;
  for (int x = 0; x < 120; ++x)
  {
    row += At(&whole.bmp, x, 2) == kInk ? '#' : '.';
    rowPieces += At(&pieces.bmp, x, 2) == kInk ? '#' : '.';
  }
  EXPECT_EQ(rowPieces, row);
  EXPECT_EQ(row.substr(0, 25), "..########...########...#") << row;
  // No gaps: the wide line; no dashes: nothing.
  Canvas solid(40, 9), line(40, 9), none(40, 9);
  Raster_DashedPolyline(7.0, 0.0).Segment(&solid.bmp, 1.0, 2.0, 38.0, 7.0, 3.0f, kInk, 1.0f, 0, true);
  Raster_WideLine(&line.bmp, 1.0, 2.0, 38.0, 7.0, 3.0f, kInk, 1.0f, 0, true);
  EXPECT_EQ(Pixels(&solid.bmp), Pixels(&line.bmp));
  Raster_DashedPolyline(0.0, 4.0).Segment(&none.bmp, 1.0, 2.0, 38.0, 7.0, 3.0f, kInk, 1.0f, 0, true);
  EXPECT_TRUE(Touched(&none.bmp).empty());
}

// ---------------------------------------------------------------------------------------------
// Circles

TEST(VectorCircle, MasksAreSymmetric)
{
  for (float r : {1.5f, 2.0f, 2.5f, 3.0f, 3.5f, 4.0f})
  {
    const Raster_CircleMask* m = Raster_FindCircleMask(r);
    ASSERT_NE(m, nullptr) << r;
    const int n = 2 * m->half + 1;
    for (const uint8_t* cells : {m->outline, m->outlineAA, m->fill, m->fillAA})
      for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
        {
          const int v = cells[y * n + x];
          EXPECT_EQ(v, cells[y * n + (n - 1 - x)]);
          EXPECT_EQ(v, cells[x * n + y]);
        }
    // The fills cover the centre, the outlines leave it.
    EXPECT_EQ(m->fill[m->half * n + m->half], 255);
    EXPECT_EQ(m->outline[m->half * n + m->half], 0);
  }
  EXPECT_EQ(Raster_FindCircleMask(3.2f), nullptr);
  EXPECT_EQ(Raster_FindCircleMask(1.0f), nullptr);
}

// Radius 3 is stamped from its mask (the anti-aliased mask's coverage scales the weight);
// radius 3.2 goes through the drawer.
TEST(VectorCircle, RadiusThreeUsesItsMask)
{
  const Raster_CircleMask* m = Raster_FindCircleMask(3.0f);
  ASSERT_NE(m, nullptr);
  const int n = 2 * m->half + 1;
  Canvas cv(20, 20, 0xFF000000u);
  Raster_Circle(&cv.bmp, 10.2f, 9.8f, 3.0f, 0xFFFFFFFFu, 1.0f, 0, true);  // rounded centre (10, 10)
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x)
    {
      const int v = m->outlineAA[y * n + x];
      const uint32_t expect = v == 0 ? 0xFF000000u : v == 255 ? 0xFFFFFFFFu : CopyMix(0xFF000000u, 0xFFFFFFFFu, v);
      EXPECT_EQ(At(&cv.bmp, 10 - m->half + x, 10 - m->half + y), expect) << x << "," << y;
    }
  Canvas other(20, 20, 0xFF000000u);
  Raster_Circle(&other.bmp, 10, 10, 3.2f, 0xFFFFFFFFu, 1.0f, 0, true);
  EXPECT_NE(Pixels(&cv.bmp), Pixels(&other.bmp));
}

// The aliased masks hold exactly what the drawer draws at that radius (a radius a hair larger
// takes the drawer and lands on the same pixels).
TEST(VectorCircle, AliasedMasksMatchTheDrawer)
{
  for (float r : {1.5f, 2.0f, 2.5f, 3.0f, 3.5f, 4.0f})
    for (bool fill : {false, true})
    {
      Canvas a(16, 16), b(16, 16);
      auto draw = fill ? Raster_FillCircle : Raster_Circle;
      draw(&a.bmp, 8, 8, r, kInk, 1.0f, 0, false);
      draw(&b.bmp, 8, 8, r + 1e-4f, kInk, 1.0f, 0, false);
      EXPECT_EQ(Pixels(&a.bmp), Pixels(&b.bmp)) << r << (fill ? " fill" : " outline");
    }
}

TEST(VectorCircle, DrawerIsSymmetricAndOnTheCircle)
{
  for (float r : {0.0f, 0.7f, 1.2f, 5.0f, 7.3f, 12.5f, 20.8f})
    for (bool aa : {false, true})
    {
      Canvas cv(61, 61);
      Raster_Circle(&cv.bmp, 30, 30, r, kInk, 0.5f, 0, aa);
      const PixelSet s = Touched(&cv.bmp);
      ASSERT_FALSE(s.empty()) << r;
      for (auto p : s)
      {
        const int dx = p.first - 30, dy = p.second - 30;
        // mirror images and the transpose carry the same value: each pixel drawn once
        EXPECT_EQ(At(&cv.bmp, 30 - dx, 30 + dy), At(&cv.bmp, p.first, p.second));
        EXPECT_EQ(At(&cv.bmp, 30 + dy, 30 + dx), At(&cv.bmp, p.first, p.second)) << r << " aa " << aa;
        EXPECT_LE(std::fabs(std::hypot(dx, dy) - r), aa ? 1.5 : 0.75) << r;
      }
      if (!aa)
      {
        for (auto p : s) EXPECT_EQ(At(&cv.bmp, p.first, p.second), HalfWord(kInk, kBack)) << "pixel drawn twice";
      }
    }
}

TEST(VectorCircle, FillCoversTheDisc)
{
  for (float r : {2.0f, 3.2f, 6.0f, 9.7f})
    for (bool aa : {false, true})
    {
      Canvas cv(31, 31);
      Raster_FillCircle(&cv.bmp, 15, 15, r, kInk, 1.0f, 0, aa);
      for (int y = 0; y < 31; ++y)
        for (int x = 0; x < 31; ++x)
        {
          const double d = std::hypot(x - 15, y - 15);
          // (anti-aliased edges may leave pixels whose square pokes out of the disc just short of full)
          if (d <= (aa ? r - 0.25 : r))
          {
            EXPECT_EQ(At(&cv.bmp, x, y), kInk) << r << " at " << x << "," << y;
          }
          if (d > r + 1.5)
          {
            EXPECT_EQ(At(&cv.bmp, x, y), kBack) << r << " at " << x << "," << y;
          }
        }
    }
  // Half weight: every pixel blended exactly once.
  Canvas cv(31, 31);
  Raster_FillCircle(&cv.bmp, 15, 15, 8.4f, kInk, 0.5f, 0, false);
  for (auto p : Touched(&cv.bmp)) EXPECT_EQ(At(&cv.bmp, p.first, p.second), HalfWord(kInk, kBack));
}

// Circles much larger than the bitmap: the part inside is what a larger bitmap shows there.
TEST(VectorCircle, LargeCirclesClipExactly)
{
  struct Case
  {
    float cx, cy, r;
  };
  const Case cases[] = {{-470.0f, 30.0f, 500.0f}, {20.0f, 700.0f, 660.5f}, {-300.0f, -300.0f, 430.0f}, {20.0f, 30.0f, 31.0f}};
  for (const Case& c : cases)
    for (bool aa : {false, true})
      for (bool fill : {false, true})
      {
        Canvas small(40, 60), big(100, 100);
        auto draw = fill ? Raster_FillCircle : Raster_Circle;
        draw(&small.bmp, c.cx, c.cy, c.r, kInk, 0.7f, 0, aa);
        draw(&big.bmp, c.cx + 30, c.cy + 20, c.r, kInk, 0.7f, 0, aa);
        bool any = false;
        for (int y = 0; y < 60; ++y)
          for (int x = 0; x < 40; ++x)
          {
            ASSERT_EQ(At(&small.bmp, x, y), At(&big.bmp, x + 30, y + 20)) << c.cx << "," << c.cy << " r " << c.r << " at " << x << "," << y;
            any |= At(&small.bmp, x, y) != kBack;
          }
        EXPECT_TRUE(any);
      }
}

TEST(VectorCircle, NothingForNegativeRadiusOrFarOutside)
{
  Canvas cv(20, 20);
  Raster_Circle(&cv.bmp, 10, 10, -1.0f, kInk, 1.0f, 0, false);
  Raster_FillCircle(&cv.bmp, 10, 10, NAN, kInk, 1.0f, 0, false);
  Raster_FillCircle(&cv.bmp, -10, 10, 7.9f, kInk, 1.0f, 0, true);
  Raster_Circle(&cv.bmp, 10, 40, 17.0f, kInk, 1.0f, 0, true);
  EXPECT_TRUE(Touched(&cv.bmp).empty());
  // Partly visible circles are clipped per pixel.
  Raster_FillCircle(&cv.bmp, 0, 0, 5.5f, kInk, 1.0f, 0, true);
  Raster_Circle(&cv.bmp, 19, 19, 3.0f, kInk, 1.0f, 0, true);
  Raster_Circle(&cv.bmp, 3e9f, NAN, 1e30f, kInk, 1.0f, 0, true);
  EXPECT_EQ(At(&cv.bmp, 0, 0), kInk);
}

TEST(VectorArc, QuarterAndFullTurns)
{
  for (bool aa : {false, true})
  {
    Canvas full(41, 41), arc(41, 41);
    Raster_Circle(&full.bmp, 20, 20, 12.3f, kInk, 1.0f, 0, aa);
    Raster_Arc(&arc.bmp, 20, 20, 12.3f, 0.0f, kPi / 2, kInk, 1.0f, 0, aa);
    // The upper-right quarter of the circle, axes included, and nothing else.
    for (int y = 0; y < 41; ++y)
      for (int x = 0; x < 41; ++x)
      {
        const bool quarter = x >= 20 && y <= 20;
        EXPECT_EQ(At(&arc.bmp, x, y), quarter ? At(&full.bmp, x, y) : kBack) << x << "," << y << " aa " << aa;
      }
    Canvas turn(41, 41);
    Raster_Arc(&turn.bmp, 20, 20, 12.3f, 1.0f, 1.0f + 2 * kPi, kInk, 1.0f, 0, aa);
    EXPECT_EQ(Pixels(&turn.bmp), Pixels(&full.bmp));
  }
  // Three quarters, drawn at half weight: the joints between pieces are blended once.
  Canvas three(41, 41);
  Raster_Arc(&three.bmp, 20, 20, 10.0f, -kPi / 2, kPi, kInk, 0.5f, 0, false);
  const PixelSet s = Touched(&three.bmp);
  for (auto p : s)
  {
    EXPECT_EQ(At(&three.bmp, p.first, p.second), HalfWord(kInk, kBack));
    EXPECT_FALSE(p.first < 20 && p.second > 20) << "lower-left quarter is not part of the arc";
  }
  EXPECT_TRUE(s.count({20, 10}) && s.count({30, 20}) && s.count({20, 30}) && s.count({10, 20}));
}

TEST(VectorRoundRect, SmallRadiusIsThePlainOutline)
{
  Canvas a(20, 20), b(20, 20);
  Raster_RoundRect(&a.bmp, 2, 3, 12, 9, 1.0f, kInk, 1.0f, 0, false);
  Raster_DrawRect(&b.bmp, 2, 3, 12, 9, kInk, 1.0f, 0);
  EXPECT_EQ(Pixels(&a.bmp), Pixels(&b.bmp));
  // The radius is limited by half the width and height.
  Canvas c(20, 20), d(20, 20);
  Raster_RoundRect(&c.bmp, 2, 3, 3, 9, 10.0f, kInk, 1.0f, 0, false);
  Raster_DrawRect(&d.bmp, 2, 3, 3, 9, kInk, 1.0f, 0);
  EXPECT_EQ(Pixels(&c.bmp), Pixels(&d.bmp));
}

TEST(VectorRoundRect, CornersAreRounded)
{
  Canvas cv(30, 30);
  Raster_RoundRect(&cv.bmp, 2, 2, 20, 16, 5.0f, kInk, 1.0f, 0, false);
  const PixelSet s = Touched(&cv.bmp);
  EXPECT_FALSE(s.count({2, 2}));   // the corner itself is cut
  EXPECT_FALSE(s.count({22, 18}));
  EXPECT_TRUE(s.count({12, 2}));   // edges
  EXPECT_TRUE(s.count({12, 18}));
  EXPECT_TRUE(s.count({2, 10}));
  EXPECT_TRUE(s.count({22, 10}));
  for (auto p : s)
  {
    EXPECT_GE(p.first, 2);
    EXPECT_LE(p.first, 22);
    EXPECT_GE(p.second, 2);
    EXPECT_LE(p.second, 18);
  }
  // Corner pixels lie on the quarter circle around (x + r, y + r).
  EXPECT_TRUE(s.count({7 - 5, 7}) && s.count({7, 2}));
}

// ---------------------------------------------------------------------------------------------
// Area fills

// A rectangle as a polygon, a trapezoid or two triangles fills exactly like Raster_FillRect,
// for every weight class and operation.
TEST(VectorFill, RectangleShapesMatchFillRect)
{
  struct Case
  {
    float weight;
    int mode;
    uint32_t colour;
  };
  const Case cases[] = {{1.0f, 0, 0xFF336699u},  {0.5f, 0, 0x80336699u},  {0.25f, 0, 0xFF336699u},
                        {0.75f, 0, 0xFF336699u}, {0.3f, 0, 0xFF336699u},  {0.6f, 1, 0xFF336699u},
                        {0.6f, 2, 0xFF336699u},  {0.6f, 3, 0xFF336699u},  {0.6f, 4, 0xFF336699u},
                        {0.6f, 5, 0xFFC08040u},  {1.0f, 5, 0xFF808080u},  {1.0f, 0x10000, 0x80336699u}};
  for (const Case& c : cases)
  {
    Canvas ref(16, 12), poly(16, 12), trap(16, 12), tri(16, 12);
    Raster_FillRect(&ref.bmp, 3, 2, 10, 7, c.colour, c.weight, c.mode);  // columns 3..12, rows 2..8
    const int xs[4] = {3, 12, 12, 3}, ys[4] = {2, 2, 8, 8};
    Raster_FillConvexPolygon(&poly.bmp, xs, ys, 4, c.colour, c.weight, c.mode);
    Raster_FillTrapezoid(&trap.bmp, 3, 12, 2, 3, 12, 8, c.colour, c.weight, c.mode);
    EXPECT_EQ(Pixels(&poly.bmp), Pixels(&ref.bmp)) << c.weight << " mode " << c.mode;
    EXPECT_EQ(Pixels(&trap.bmp), Pixels(&ref.bmp)) << c.weight << " mode " << c.mode;
    (void)tri;
  }
}

// HSV adjust at full weight: every fill path passes the weight 256 as alpha, which must land
// as 255 (it once wrapped to 0 in the rectangle and single-pixel fills only).
TEST(VectorFill, HsvAdjustAtFullWeightKeepsAlphaOpaqueInEveryPath)
{
  const uint32_t back = 0xFF336699u, steer = 0xFF808080u;  // (128, 128, 128): no shift
  Canvas rect(8, 8, back), pixel(8, 8, back), trap(8, 8, back), tri(8, 8, back), poly(8, 8, back);
  Raster_FillRect(&rect.bmp, 2, 2, 3, 3, steer, 1.0f, 5);
  Raster_PutPixel(&pixel.bmp, 3, 3, steer, 1.0f, 5);
  Raster_FillTrapezoid(&trap.bmp, 2, 4, 2, 2, 4, 4, steer, 1.0f, 5);
  Raster_FillTriangle(&tri.bmp, 0, 0, 7, 0, 3, 7, steer, 1.0f, 5);
  const int xs[4] = {1, 6, 6, 1}, ys[4] = {1, 1, 6, 6};
  Raster_FillConvexPolygon(&poly.bmp, xs, ys, 4, steer, 1.0f, 5);
  for (Canvas* c : {&rect, &pixel, &trap, &tri, &poly})
  {
    const uint32_t p = At(&c->bmp, 3, 3);
    EXPECT_EQ(p >> 24, 0xFFu) << std::hex << p;
    EXPECT_EQ(p, At(&rect.bmp, 3, 3)) << std::hex << p;
  }
  EXPECT_EQ(At(&rect.bmp, 3, 3) & 0x00FFFFFFu, 0x336499u);  // value and hue as before, rounding aside
}

TEST(VectorFill, TriangleCoversItsInsideOnce)
{
  std::mt19937 rng(3);
  for (int k = 0; k < 100; ++k)
  {
    int x[3], y[3];
    for (int i = 0; i < 3; ++i)
    {
      x[i] = rng() % 40 - 5;
      y[i] = rng() % 40 - 5;
    }
    Canvas cv(30, 30);
    Raster_FillTriangle(&cv.bmp, x[0], y[0], x[1], y[1], x[2], y[2], kInk, 0.5f, 0);
    // Each pixel blended once, and every vertex inside the bitmap drawn.
    for (auto p : Touched(&cv.bmp)) ASSERT_EQ(At(&cv.bmp, p.first, p.second), HalfWord(kInk, kBack));
    for (int i = 0; i < 3; ++i)
      if (x[i] >= 0 && x[i] < 30 && y[i] >= 0 && y[i] < 30)
      {
        EXPECT_NE(At(&cv.bmp, x[i], y[i]), kBack);
      }
    // Pixel centres strictly inside (by more than a pixel) are filled; far outside are not.
    const double area = (double)(x[1] - x[0]) * (y[2] - y[0]) - (double)(x[2] - x[0]) * (y[1] - y[0]);
    if (area == 0) continue;
    for (int py = 0; py < 30; ++py)
      for (int px = 0; px < 30; ++px)
      {
        double minDist = 1e9;
        bool inside = true;
        for (int i = 0; i < 3; ++i)
        {
          const int j = (i + 1) % 3;
          const double ex = x[j] - x[i], ey = y[j] - y[i];
          const double cross = ex * (py - y[i]) - ey * (px - x[i]);
          const double d = cross / std::hypot(ex, ey) * (area > 0 ? 1 : -1);
          minDist = std::min(minDist, d);
          inside &= d >= 0;
        }
        if (inside && minDist > 1.0)
        {
          ASSERT_NE(At(&cv.bmp, px, py), kBack) << k;
        }
        if (minDist < -1.0)
        {
          ASSERT_EQ(At(&cv.bmp, px, py), kBack) << k;
        }
      }
    // The vertex order does not matter.
    Canvas other(30, 30);
    Raster_FillTriangle(&other.bmp, x[2], y[2], x[0], y[0], x[1], y[1], kInk, 0.5f, 0);
    EXPECT_EQ(Pixels(&other.bmp), Pixels(&cv.bmp));
  }
}

// The sampled polygon: whole pixels inside take the colour, a pixel half inside the half mix
// (rounded), every pixel it touches becomes opaque; the order of the vertices does not matter,
// and a polygon reaching far outside draws its inside part without walking the outside.
TEST(VectorFill, SampledConvexPolygon)
{
  const uint32_t back = 0xFF204060u, ink = 0xFFE0C0A0u;
  // The square from 1.5 to 5.5 covers pixels 2..5 whole; the one from 1.5 to 5.0 half of column 5.
  Canvas cv(10, 10, back);
  const double xs[4] = {1.5, 5.0, 5.0, 1.5}, ys[4] = {1.5, 1.5, 5.5, 5.5};
  Raster_FillConvexPolygonAA(&cv.bmp, xs, ys, 4, ink);
  for (int y = 2; y <= 5; ++y)
  {
    for (int x = 2; x <= 4; ++x) EXPECT_EQ(At(&cv.bmp, x, y), ink) << x << "," << y;
    EXPECT_EQ(At(&cv.bmp, 5, y), 0xFF808080u) << y;  // (0x20 x 8 + 0xE0 x 8 + 8) / 16 = 0x80, and so on
  }
  EXPECT_EQ(Touched(&cv.bmp, back).size(), 16u);
  Canvas reversed(10, 10, back);
  const double rx[4] = {1.5, 1.5, 5.0, 5.0}, ry[4] = {1.5, 5.5, 5.5, 1.5};
  Raster_FillConvexPolygonAA(&reversed.bmp, rx, ry, 4, ink);
  EXPECT_EQ(Pixels(&reversed.bmp), Pixels(&cv.bmp));

  // A triangle with a slanted edge: partly covered pixels lie between the two colours.
  Canvas tri(12, 12, back);
  const double tx[3] = {1.0, 10.0, 1.0}, ty[3] = {1.0, 10.0, 10.0};
  Raster_FillConvexPolygonAA(&tri.bmp, tx, ty, 3, ink);
  EXPECT_EQ(At(&tri.bmp, 2, 8), ink);
  EXPECT_EQ(At(&tri.bmp, 8, 2), back);
  const uint32_t edge = At(&tri.bmp, 5, 5);
  EXPECT_GT(Ch(edge, 16), Ch(back, 16));
  EXPECT_LT(Ch(edge, 16), Ch(ink, 16));

  // (Not named far and near: windows.h defines both as macros.)
  Canvas huge(20, 20, back), odd(20, 20, back);
  const double fx[3] = {-1e9, 1e9, 10.0}, fy[3] = {5.0, 5.0, 1e9};
  Raster_FillConvexPolygonAA(&huge.bmp, fx, fy, 3, ink);
  EXPECT_EQ(At(&huge.bmp, 10, 10), ink);
  EXPECT_EQ(At(&huge.bmp, 10, 2), back);
  const double nx[3] = {NAN, 1.0, 5.0}, ny[3] = {1.0, 1.0, 5.0};
  Raster_FillConvexPolygonAA(&odd.bmp, nx, ny, 3, ink);
  Raster_FillConvexPolygonAA(&odd.bmp, fx, fy, 2, ink);
  EXPECT_TRUE(Touched(&odd.bmp, back).empty());
}

TEST(VectorFill, TrapezoidEdges)
{
  Canvas cv(20, 10);
  Raster_FillTrapezoid(&cv.bmp, 8, 11, 1, 2, 17, 7, kInk, 1.0f, 0);
  auto rowSpan = [&](int y) {
    int lo = -1, hi = -1;
    for (int x = 0; x < 20; ++x)
      if (At(&cv.bmp, x, y) == kInk)
      {
        if (lo < 0) lo = x;
        hi = x;
      }
    return std::make_pair(lo, hi);
  };
  EXPECT_EQ(rowSpan(1), std::make_pair(8, 11));
  EXPECT_EQ(rowSpan(7), std::make_pair(2, 17));
  EXPECT_EQ(rowSpan(4), std::make_pair(5, 14));
  EXPECT_EQ(rowSpan(0), std::make_pair(-1, -1));
  EXPECT_EQ(rowSpan(8), std::make_pair(-1, -1));
}

// ---------------------------------------------------------------------------------------------
// Curves

TEST(VectorBezier, CurvesJoinTheirEndPointsOnce)
{
  for (bool cubic : {false, true})
  {
    Canvas cv(40, 40);
    if (cubic)
      Raster_DrawCBezier(&cv.bmp, 2, 30, 10, 2, 30, 2, 37, 35, kInk, 0.5f, 0, false, 1.0f);
    else
      Raster_DrawQBezier(&cv.bmp, 2, 30, 20, -10, 37, 35, kInk, 0.5f, 0, false, 0.5f);
    const PixelSet s = Touched(&cv.bmp);
    EXPECT_TRUE(s.count({2, 30}) && s.count({37, 35}));
    for (auto p : s) EXPECT_EQ(At(&cv.bmp, p.first, p.second), HalfWord(kInk, kBack)) << p.first << "," << p.second;
  }
  // A straight control polygon draws the straight line.
  Canvas a(30, 10), b(30, 10);
  Raster_DrawCBezier(&a.bmp, 1, 4, 8, 4, 20, 4, 28, 4, kInk, 1.0f, 0, false, 1.0f);
  Raster_Line(&b.bmp, 1, 4, 28, 4, kInk, 1.0f, 0, false);
  EXPECT_EQ(Pixels(&a.bmp), Pixels(&b.bmp));
  // Degenerate tolerances still end.
  for (float tol : {0.0f, -1.0f, NAN, 1e-30f})
    Raster_DrawCBezier(&a.bmp, 1, 4, 8e6f, 4, -20e6f, 4, 28, 4, kInk, 1.0f, 0, true, tol);
}

TEST(VectorBezier, FillsBetweenCurveAndBase)
{
  // A flat curve at y = 2 over x = 3..12 and the base y = 6: a rectangle.
  Canvas a(16, 10), ref(16, 10);
  Raster_FillCBezier(&a.bmp, 3, 2, 6, 2, 9, 2, 12, 2, 6.0f, kInk, 0.5f, 0, 1.0f);
  Raster_FillRect(&ref.bmp, 3, 2, 10, 5, kInk, 0.5f, 0);
  EXPECT_EQ(Pixels(&a.bmp), Pixels(&ref.bmp));
  // The X form is the same picture transposed.
  Canvas bx(10, 16), refx(10, 16);
  Raster_FillCBezierX(&bx.bmp, 2, 3, 2, 6, 2, 9, 2, 12, 6.0f, kInk, 0.5f, 0, 1.0f);
  Raster_FillRect(&refx.bmp, 2, 3, 5, 10, kInk, 0.5f, 0);
  EXPECT_EQ(Pixels(&bx.bmp), Pixels(&refx.bmp));
  // A curve dipping below the base line fills on both sides, each pixel once.
  Canvas c(40, 40);
  Raster_FillCBezier(&c.bmp, 2, 10, 15, 40, 25, -20, 38, 30, 20.0f, kInk, 0.5f, 0, 0.5f);
  const PixelSet s = Touched(&c.bmp);
  for (auto p : s) EXPECT_EQ(At(&c.bmp, p.first, p.second), HalfWord(kInk, kBack));
  for (int x = 2; x <= 38; ++x) EXPECT_TRUE(s.count({x, 20})) << x;
  EXPECT_TRUE(s.count({2, 10}) && s.count({38, 30}));
}

// ---------------------------------------------------------------------------------------------
// Clipping of every primitive

// Random and extreme arguments: nothing may land in the row padding (width 13, row span 16) and
// nothing outside the buffer (the sanitizer build watches that).
TEST(VectorClip, EveryPrimitiveStaysInsideTheBitmap)
{
  std::mt19937 rng(99);
  const float extremes[] = {0.0f, -1.0f, 12.5f, 13.0f, 1e6f, -1e6f, 3e38f, -3e38f, NAN, INFINITY};
  auto coord = [&]() -> float {
    const unsigned k = rng() % 8;
    if (k == 0) return extremes[rng() % 10];
    return (float)((int)(rng() % 60) - 20) + (float)(rng() % 4) * 0.25f;
  };
  auto icoord = [&]() -> int {
    const unsigned k = rng() % 8;
    if (k == 0) return (int)(rng() % 2 ? 2147483647u : 2147483648u);
    return (int)(rng() % 60) - 20;
  };
  for (bool flipped : {false, true})
  {
    Raster_MemBitmap plain(13, 11, 16);
    FlippedBitmap flip(13, 11, 16);
    Raster_IBitmap* b = flipped ? (Raster_IBitmap*)&flip : (Raster_IBitmap*)&plain;
    ASSERT_EQ(b->getRowSpan(), 16);
    for (int y = 0; y < 11; ++y)
      for (int x = 0; x < 16; ++x) b->getBits()[y * 16 + x] = x < 13 ? kBack : 0xDEADBEEFu;
    for (int k = 0; k < 3000; ++k)
    {
      const int mode = (int)(rng() % 7) | (rng() % 2 ? 0x10000 : 0);
      const float weight = (float)(rng() % 5) * 0.25f;
      const bool aa = rng() % 2;
      switch (k % 10)
      {
        case 0: Raster_Line(b, icoord(), icoord(), icoord(), icoord(), kInk, weight, mode, aa); break;
        case 1: Raster_FLine(b, coord(), coord(), coord(), coord(), kInk, weight, mode, aa); break;
        case 2: Raster_DashedLine(b, icoord(), icoord(), icoord(), icoord(), (int)(rng() % 4), (int)(rng() % 4), kInk, weight, mode, aa); break;
        case 3: Raster_Circle(b, coord(), coord(), coord(), kInk, weight, mode, aa); break;
        case 4: Raster_FillCircle(b, coord(), coord(), coord(), kInk, weight, mode, aa); break;
        case 5: Raster_Arc(b, coord(), coord(), coord(), coord(), coord(), kInk, weight, mode, aa); break;
        case 6: Raster_RoundRect(b, coord(), coord(), coord(), coord(), coord(), kInk, weight, mode, aa); break;
        case 7:
        {
          const int xs[5] = {icoord(), icoord(), icoord(), icoord(), icoord()}, ys[5] = {icoord(), icoord(), icoord(), icoord(), icoord()};
          Raster_FillConvexPolygon(b, xs, ys, 1 + (int)(rng() % 5), kInk, weight, mode);
          Raster_FillTrapezoid(b, icoord(), icoord(), icoord(), icoord(), icoord(), icoord(), kInk, weight, mode);
          break;
        }
        case 8: Raster_DrawCBezier(b, coord(), coord(), coord(), coord(), coord(), coord(), coord(), coord(), kInk, weight, mode, aa, 0.5f); break;
        case 9:
          Raster_FillCBezier(b, coord(), coord(), coord(), coord(), coord(), coord(), coord(), coord(), coord(), kInk, weight, mode, 1.0f);
          Raster_FillCBezierX(b, coord(), coord(), coord(), coord(), coord(), coord(), coord(), coord(), coord(), kInk, weight, mode, 1.0f);
          break;
      }
    }
    for (int y = 0; y < 11; ++y)
      for (int x = 13; x < 16; ++x) ASSERT_EQ(b->getBits()[y * 16 + x], 0xDEADBEEFu) << "padding written at " << x << "," << y;
  }
}
