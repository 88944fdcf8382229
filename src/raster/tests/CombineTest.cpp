// Combine classes against tables worked out from their integer formulas. Cases are chosen where
// a plausible mistake changes the result: floor instead of truncation toward zero on negative
// differences, a missing saturation, the colour-dodge threshold, byte order within the pixel.
#include <gtest/gtest.h>

#include <cstdio>

#include "Raster_Combine.h"
#include "Raster_CombineOps.h"

namespace
{
struct ChannelCase
{
  int d, s, w, expect;
};

// Runs one class on a pixel whose four channels all hold d, with r = g = b = a = s, and checks
// every byte: the per-channel formulas apply to alpha as well.
template <class C>
void checkChannels(const char* name, const ChannelCase* cases, size_t n)
{
  for (size_t i = 0; i < n; ++i)
  {
    const ChannelCase& c = cases[i];
    uint8_t px[4] = {(uint8_t)c.d, (uint8_t)c.d, (uint8_t)c.d, (uint8_t)c.d};
    C::doPix(px, c.s, c.s, c.s, c.s, c.w);
    for (int k = 0; k < 4; ++k)
      EXPECT_EQ(px[k], c.expect) << name << " d=" << c.d << " s=" << c.s << " w=" << c.w << " byte " << k;
  }
}

struct PixelCase
{
  uint32_t dest;
  int r, g, b, a, w;
  uint32_t expect;
};

template <class C>
void checkPixels(const char* name, const PixelCase* cases, size_t n)
{
  for (size_t i = 0; i < n; ++i)
  {
    const PixelCase& c = cases[i];
    uint32_t px = c.dest;
    C::doPix((uint8_t*)&px, c.r, c.g, c.b, c.a, c.w);
    char msg[160];
    std::snprintf(msg, sizeof msg, "%s row %zu: dest %08X src (%d,%d,%d,%d) w %d -> %08X, want %08X", name, i, c.dest, c.r, c.g,
                  c.b, c.a, c.w, px, c.expect);
    EXPECT_EQ(px, c.expect) << msg;
  }
}
#define CHECK_CHANNELS(C, T) checkChannels<C>(#C, T, sizeof(T) / sizeof(T[0]))
#define CHECK_PIXELS(C, T) checkPixels<C>(#C, T, sizeof(T) / sizeof(T[0]))
}  // namespace

TEST(Combine, InvTab)
{
  EXPECT_EQ(Raster_RGB2HSV_invtab[0], 0);
  EXPECT_EQ(Raster_RGB2HSV_invtab[1], 65535);
  EXPECT_EQ(Raster_RGB2HSV_invtab[2], 32767);
  EXPECT_EQ(Raster_RGB2HSV_invtab[3], 21844);
  EXPECT_EQ(Raster_RGB2HSV_invtab[255], 256);
  for (int i = 1; i < 256; ++i) EXPECT_EQ(Raster_RGB2HSV_invtab[i], 65536 / i - 1) << i;
}

TEST(Combine, ByteOrderIsBGRAInMemory)
{
  uint32_t px = 0x11223344;
  Raster_CombinePixelsClobberNoClamp::doPix((uint8_t*)&px, 0xAA, 0xBB, 0xCC, 0xDD, 0);
  EXPECT_EQ(px, 0xDDAABBCCu);
  px = 0;
  Raster_CombinePixelsClobberClamp::doPix((uint8_t*)&px, 300, -5, 128, 256, 0);
  EXPECT_EQ(px, 0xFFFF0080u);
}

TEST(Combine, CopyTruncatesNegativeDifferencesTowardZero)
{
  static const ChannelCase copy[] = {
      {10, 200, 128, 105}, {0, 5, 1, 1},      {0, 1, 1, 1},     // floor would give 0 for both
      {255, 0, 1, 254},    {100, 50, 256, 50}, {0, 5, 100, 2},  // w = 256: exactly the source
      {200, 10, 77, 142},  {255, 255, 13, 255},
  };
  CHECK_CHANNELS(Raster_CombinePixelsCopyNoClamp, copy);
  static const ChannelCase copyClamp[] = {
      {10, 300, 256, 255}, {10, 300, 128, 155}, {200, -50, 256, 0}, {200, -50, 200, 4}, {0, 5, 1, 1},
  };
  CHECK_CHANNELS(Raster_CombinePixelsCopyClamp, copyClamp);
  static const ChannelCase half[] = {{255, 0, 7, 127}, {1, 2, 256, 1}, {200, 101, 0, 150}};
  CHECK_CHANNELS(Raster_CombinePixelsHalfMixNoClamp, half);
}

TEST(Combine, AddSaturatesEveryChannel)
{
  static const ChannelCase add[] = {
      {200, 100, 256, 255}, {10, 100, 128, 60}, {7, -40, 1, 7},    // -40 * 1 / 256 is 0, not -1
      {10, -20, 100, 3},    {255, 255, 255, 255}, {0, 255, 1, 0}, {250, 10, 256, 255},
  };
  CHECK_CHANNELS(Raster_CombinePixelsAdd, add);
}

TEST(Combine, ColorDodgeThreshold)
{
  static const ChannelCase dodge[] = {
      {100, 128, 256, 200}, {100, 255, 256, 255}, {0, 255, 256, 0},  // above 65279: 255 unless d is 0
      {1, 255, 255, 128},                                            // 65025: divisor 256 - 254
      {200, 200, 256, 255}, {60, 100, 64, 66}, {255, 0, 256, 255}, {10, 254, 256, 255},
  };
  CHECK_CHANNELS(Raster_CombinePixelsColorDodge, dodge);
}

TEST(Combine, MultiplyAndOverlay)
{
  static const ChannelCase mul[] = {
      {200, 255, 256, 199}, {100, 0, 128, 50}, {255, 255, 256, 254},  // (d * 65280) >> 16
      {77, 128, 256, 38},   {255, 0, 1, 254},  {0, 200, 200, 0},
  };
  CHECK_CHANNELS(Raster_CombinePixelsMulNoClamp, mul);
  CHECK_CHANNELS(Raster_CombinePixelsMulClamp, mul);
  static const ChannelCase overlay[] = {
      {100, 128, 256, 100}, {100, 0, 256, 39}, {100, 255, 256, 160},
      {21, 145, 100, 22},   {42, 170, 200, 51}, {42, 240, 100, 54}, {168, 250, 200, 211},  // truncation rows
      {255, 255, 256, 255}, {0, 255, 256, 0},
  };
  CHECK_CHANNELS(Raster_CombinePixelsOverlay, overlay);
}

TEST(Combine, SourceAlphaClasses)
{
  static const PixelCase copy[] = {
      {0x80102030, 0x40, 0xC0, 0xFF, 0x00, 256, 0x80102030},  // alpha 0: untouched
      {0x80102030, 0x40, 0xC0, 0xFF, 0xFF, 256, 0xFF40C0FF},
      {0x80102030, 0x40, 0xC0, 0xFF, 0x80, 256, 0xFF297199},
      {0xF0FF0000, 0x00, 0x10, 0xFF, 0x80, 128, 0xFFBF0440},
      {0x00000000, 0xFF, 0xFF, 0xFF, 0x01, 256, 0x02020202},
      {0x10FFFFFF, 0x00, 0x00, 0x00, 0x7F, 77, 0x36D9D9D9},  // alpha grows by v = 38
      {0xFFC86432, 0x20, 0x90, 0xA0, 0xC0, 200, 0xFF657E73},
      {0x40804020, 0xFF, 0x00, 0x80, 0xFE, 256, 0xFFFF0080},
  };
  CHECK_PIXELS(Raster_CombinePixelsCopySourceAlphaNoClamp, copy);
  static const PixelCase copyFull[] = {
      {0x80102030, 0x40, 0xC0, 0xFF, 0x00, 256, 0x80102030}, {0x80102030, 0x40, 0xC0, 0xFF, 0xFF, 256, 0xFF40C0FF},
      {0x80102030, 0x40, 0xC0, 0xFF, 0x80, 256, 0xFF297199}, {0xF0FF0000, 0x00, 0x10, 0xFF, 0x80, 128, 0xFF7E0981},
      {0x00000000, 0xFF, 0xFF, 0xFF, 0x01, 256, 0x01020202}, {0x10FFFFFF, 0x00, 0x00, 0x00, 0x7F, 77, 0x8F7F7F7F},
      {0xFFC86432, 0x20, 0x90, 0xA0, 0xC0, 200, 0xFF498685}, {0x40804020, 0xFF, 0x00, 0x80, 0xFE, 256, 0xFFFF0080},
  };
  CHECK_PIXELS(Raster_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp, copyFull);
  static const PixelCase add[] = {
      {0x80102030, 0x40, 0xC0, 0xFF, 0x00, 256, 0x80102030}, {0x80102030, 0x40, 0xC0, 0xFF, 0xFF, 256, 0xFF50E0FF},
      {0x80102030, 0x40, 0xC0, 0xFF, 0x80, 256, 0xC03080B0}, {0xF0FF0000, 0x00, 0x10, 0xFF, 0x80, 128, 0xFFFF043F},
      {0x00000000, 0xFF, 0xFF, 0xFF, 0x01, 256, 0x00010101}, {0x10FFFFFF, 0x00, 0x00, 0x00, 0x7F, 77, 0x22FFFFFF},
      {0xFFC86432, 0x20, 0x90, 0xA0, 0xC0, 200, 0xFFDAB88F}, {0x40804020, 0xFF, 0x00, 0x80, 0xFE, 256, 0xFFFF409F},
  };
  CHECK_PIXELS(Raster_CombinePixelsAddSourceAlpha, add);
  static const PixelCase dodge[] = {
      {0x80102030, 0x40, 0xC0, 0xFF, 0x00, 256, 0x80102030}, {0x80102030, 0x40, 0xC0, 0xFF, 0xFF, 256, 0xFF1580FF},
      {0x80102030, 0x40, 0xC0, 0xFF, 0x80, 256, 0xAA123360}, {0xF0FF0000, 0x00, 0x10, 0xFF, 0x80, 128, 0xFFFF0000},
      {0x00000000, 0xFF, 0xFF, 0xFF, 0x01, 256, 0x00000000}, {0x10FFFFFF, 0x00, 0x00, 0x00, 0x7F, 77, 0x11FFFFFF},
      {0xFFC86432, 0x20, 0x90, 0xA0, 0xC0, 200, 0xFFD7944E}, {0x40804020, 0xFF, 0x00, 0x80, 0xFE, 256, 0xFFFF403F},
  };
  CHECK_PIXELS(Raster_CombinePixelsColorDodgeSourceAlpha, dodge);
  static const PixelCase mul[] = {
      {0x80102030, 0x40, 0xC0, 0xFF, 0x00, 256, 0x80102030}, {0x80102030, 0x40, 0xC0, 0xFF, 0xFF, 256, 0x7F04182F},
      {0x80102030, 0x40, 0xC0, 0xFF, 0x80, 256, 0x5F091B2F}, {0xF0FF0000, 0x00, 0x10, 0xFF, 0x80, 128, 0xD2BF0000},
      {0x00000000, 0xFF, 0xFF, 0xFF, 0x01, 256, 0x00000000}, {0x10FFFFFF, 0x00, 0x00, 0x00, 0x7F, 77, 0x0ED9D9D9},
      {0xFFC86432, 0x20, 0x90, 0xA0, 0xC0, 200, 0xD9614A27}, {0x40804020, 0xFF, 0x00, 0x80, 0xFE, 256, 0x3F7F0010},
  };
  CHECK_PIXELS(Raster_CombinePixelsMulSourceAlphaNoClamp, mul);
  static const PixelCase overlay[] = {
      {0x80102030, 0x40, 0xC0, 0xFF, 0x00, 256, 0x7F0F2030},  // no early exit at alpha 0: v = 1
      {0x80102030, 0x40, 0xC0, 0xFF, 0xFF, 256, 0xBF082E56}, {0x80102030, 0x40, 0xC0, 0xFF, 0x80, 256, 0x800C2743},
      {0xF0FF0000, 0x00, 0x10, 0xFF, 0x80, 128, 0xF0FE0000}, {0x00000000, 0xFF, 0xFF, 0xFF, 0x01, 256, 0x00000000},
      {0x10FFFFFF, 0x00, 0x00, 0x00, 0x7F, 77, 0x0FFEFEFE},  {0xFFC86432, 0x20, 0x90, 0xA0, 0xC0, 200, 0xFFB46837},
      {0x40804020, 0xFF, 0x00, 0x80, 0xFE, 256, 0x6FBF1020},
  };
  CHECK_PIXELS(Raster_CombinePixelsOverlaySourceAlpha, overlay);
  static const PixelCase hsv[] = {
      {0x80102030, 0x40, 0xC0, 0xFF, 0x00, 256, 0x00102030}, {0x80102030, 0x40, 0xC0, 0xFF, 0xFF, 256, 0xFF00FF00},
      {0x80102030, 0x40, 0xC0, 0xFF, 0x80, 256, 0x800FAF87}, {0xF0FF0000, 0x00, 0x10, 0xFF, 0x80, 128, 0x80FF38CD},
      {0x00000000, 0xFF, 0xFF, 0xFF, 0x01, 256, 0x01000001}, {0x10FFFFFF, 0x00, 0x00, 0x00, 0x7F, 77, 0x7FD9D9D9},
      {0xFFC86432, 0x20, 0x90, 0xA0, 0xC0, 200, 0xC0ED2BE9}, {0x40804020, 0xFF, 0x00, 0x80, 0xFE, 256, 0xFE808080},
  };
  CHECK_PIXELS(Raster_CombinePixelsHSVAdjustSourceAlpha, hsv);
}

TEST(Combine, HSVAdjust)
{
  static const PixelCase hsv[] = {
      {0x80102030, 0x40, 0xC0, 0xFF, 0x00, 256, 0x0000FF00}, {0x80102030, 0x40, 0xC0, 0xFF, 0xFF, 256, 0xFF00FF00},
      {0x80102030, 0x40, 0xC0, 0xFF, 0x80, 256, 0x8000FF00}, {0xF0FF0000, 0x00, 0x10, 0xFF, 0x80, 128, 0x80B770FF},
      {0x00000000, 0xFF, 0xFF, 0xFF, 0x01, 256, 0x01FEF601}, {0x10FFFFFF, 0x00, 0x00, 0x00, 0x7F, 77, 0x7FB2B2B2},
      {0xFFC86432, 0x20, 0x90, 0xA0, 0xC0, 200, 0xC0A127FA}, {0x40804020, 0xFF, 0x00, 0x80, 0xFE, 256, 0xFE808080},
      // (128, 128, 128) steers nothing: hue, saturation and value survive up to rounding and
      // only the alpha byte takes the source alpha.
      {0xFFC86432, 128, 128, 128, 200, 256, 0xC8C86332}, {0x80102030, 128, 128, 128, 200, 100, 0xC8102030},
      {0x00FFFFFF, 128, 128, 128, 200, 256, 0xC8FFFFFF}, {0x7F000000, 128, 128, 128, 200, 256, 0xC8000000},
      {0x40FF0000, 128, 128, 128, 200, 256, 0xC8FF0000}, {0x2000FF80, 128, 128, 128, 200, 256, 0xC800FF7F},
  };
  CHECK_PIXELS(Raster_CombinePixelsHSVAdjust, hsv);
}

TEST(Combine, WholeWordClasses)
{
  struct Case
  {
    uint32_t dest, colour, clobber, half, quarter, threeQuarter;
  } cases[] = {
      {0x00000000, 0xFFFFFFFF, 0xFFFFFFFF, 0x7F7F7F7F, 0x3F3F3F3F, 0xBEBEBEBE},
      {0xFFFFFFFF, 0x00000000, 0x00000000, 0x7F7F7F7F, 0xBEBEBEBE, 0x3F3F3F3F},
      {0x80402010, 0x10204080, 0x10204080, 0x48303048, 0x6438282C, 0x2C283864},
  };
  for (const Case& c : cases)
  {
    uint32_t d = c.dest;
    Raster_CombinePixelsClobberFAST::doPix(&d, Raster_CombinePixelsClobberFAST::prescale(c.colour));
    EXPECT_EQ(d, c.clobber);
    d = c.dest;
    Raster_CombinePixelsHalfMix2FAST::doPix(&d, Raster_CombinePixelsHalfMix2FAST::prescale(c.colour));
    EXPECT_EQ(d, c.half);
    d = c.dest;
    Raster_CombinePixelsHalfMixFAST::doPix(&d, c.colour);
    EXPECT_EQ(d, c.half);
    d = c.dest;
    Raster_CombinePixelsQuarterMix2FAST::doPix(&d, Raster_CombinePixelsQuarterMix2FAST::prescale(c.colour));
    EXPECT_EQ(d, c.quarter) << std::hex << d;
    d = c.dest;
    Raster_CombinePixelsThreeQuarterMix2FAST::doPix(&d, Raster_CombinePixelsThreeQuarterMix2FAST::prescale(c.colour));
    EXPECT_EQ(d, c.threeQuarter) << std::hex << d;
  }
}

TEST(Combine, WeightConversion)
{
  EXPECT_EQ(Raster_WeightToInt(1.0f), 256);
  EXPECT_EQ(Raster_WeightToInt(0.5f), 128);
  EXPECT_EQ(Raster_WeightToInt(0.3f), 76);
  EXPECT_EQ(Raster_WeightToInt(0.003f), 0);  // truncation, not rounding
  EXPECT_EQ(Raster_WeightToInt(0.0f), 0);
  EXPECT_EQ(Raster_WeightToInt(-0.5f), 0);
  EXPECT_EQ(Raster_WeightToInt(7.0f), 256);
  EXPECT_EQ(Raster_WeightToInt(__builtin_nanf("")), 0);
}

TEST(Combine, CombinePixelsResolvesModeWord)
{
  struct Case
  {
    uint32_t dest, src;
    float weight;
    int mode;
    uint32_t expect;
  } cases[] = {
      {0x80102030, 0xFF40C0FF, 1.0f, 0x00000, 0xFF40C0FF},  // copy at full weight: the source
      {0x80102030, 0x80FF0000, 0.0f, 0x00000, 0x80102030},  // zero weight: unchanged
      {0x80102030, 0x80FF0000, 0.002f, 0x00000, 0x80102030},
      {0x80102030, 0x80FF0000, 1.0f, 0x00006, 0x80102030},  // unknown operation: unchanged
      {0xFF808080, 0xFFFFFFFF, 1.0f, 0x00001, 0xFFFFFFFF},  // add saturates, alpha too
      {0x80102030, 0x0040C0FF, 1.0f, 0x10000, 0x80102030},  // source alpha 0: untouched
      {0x80102030, 0x8040C0FF, 1.0f, 0x10000, 0xFF297199},  // full weight: ignore-weight variant
      {0xF0FF0000, 0x800010FF, 0.5f, 0x10000, 0xFFBF0440},  // below full: weighted variant
      {0x80102030, 0x8040C0FF, 1.0f, 0x10001, 0xC03080B0},
      {0x80102030, 0x8040C0FF, 1.0f, 0x10003, 0x5F091B2F},
      {0xFFC86432, 0xC8808080, 1.0f, 0x00005, 0xC8C86332},
      {0x80102030, 0x8040C0FF, 1.0f, 0x10100, 0xFF297199},  // bilinear bit is ignored here
  };
  for (const Case& c : cases)
    EXPECT_EQ(Raster_CombinePixels(c.dest, c.src, c.weight, c.mode), c.expect)
        << std::hex << c.dest << " " << c.src << " mode " << c.mode;
}

TEST(Combine, CombinePixels2ClampVariantsDifferOnlyOutOfRange)
{
  uint32_t a = 0x80808080, b = 0x80808080;
  Raster_CombinePixels2(&a, 300, -20, 100, 255, 256, 0);
  Raster_CombinePixels2Clamp(&b, 300, -20, 100, 255, 256, 0);
  EXPECT_EQ(a, 0xFF2CEC64u);  // bytes wrap without the clamp
  EXPECT_EQ(b, 0xFFFF0064u);
  a = 0x11223344;
  Raster_CombinePixels2(&a, 1, 2, 3, 4, 0, 0);  // w = 0 does nothing
  Raster_CombinePixels2Clamp(&a, 1, 2, 3, 4, 0, 1);
  EXPECT_EQ(a, 0x11223344u);
}

// The operation table: every operation number reaches its class through the one dispatcher,
// with or without the source-alpha bit; other numbers reach nothing. The editor builds its
// blend modes with Raster_MakeMode.
TEST(CombineOps, DispatcherCoversExactlyTheOperations)
{
  for (int op = -1; op <= 256; ++op)
    for (bool sourceAlpha : {false, true})
    {
      const int mode = Raster_MakeMode(op & 0xFF, sourceAlpha);
      uint32_t viaDispatch = 0x80402010u, viaEntry = 0x80402010u;
      int calls = 0;
      const bool known = Raster_DispatchCombineMode(mode, [&]<class C>() {
        ++calls;
        C::doPix((uint8_t*)&viaDispatch, 0xC0, 0x60, 0x30, 0x90, 200);
      });
      Raster_CombinePixels2(&viaEntry, 0xC0, 0x60, 0x30, 0x90, 200, mode);
      EXPECT_EQ(known, Raster_IsCombineOp(op & 0xFF)) << op;
      EXPECT_EQ(calls, known ? 1 : 0) << op;
      EXPECT_EQ(viaDispatch, viaEntry) << op << " source alpha " << sourceAlpha;
      if (op < 0 || op > 255 || !known)
      {
        EXPECT_STREQ(Raster_CombineOpName(op), "none") << op;
      }
    }
  EXPECT_EQ(Raster_MakeMode(kRasterOp_Add, true), 0x10001);
  EXPECT_EQ(Raster_MakeMode(kRasterOp_Copy, false), 0);
  EXPECT_STREQ(Raster_CombineOpName(kRasterOp_ColorDodge), "colour dodge");
}
