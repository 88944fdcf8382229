// Raster_Combine.h - the mode word, the integer weight and the per-pixel combine classes.
//
// Every drawing loop of the library is a template over one of the classes below, so the mode
// is resolved once per call and never per pixel. Each class has one static doPix(dest byte
// pointer, r, g, b, a, w): dest points at a pixel in memory order (B, G, R, A), r/g/b/a are the
// source components (0..255, a little outside for gradients) and w is the integer weight
// 0..256. The formulas are fixed to the bit; "/ 256" is a signed division truncated toward
// zero (C++ '/') and ">>" an arithmetic shift.
#pragma once

#include <cmath>
#include <cstdint>

// ---------------------------------------------------------------------------------------------
// Mode word

enum
{
  kRasterOp_Copy = 0,
  kRasterOp_Add = 1,
  kRasterOp_ColorDodge = 2,
  kRasterOp_Multiply = 3,
  kRasterOp_Overlay = 4,
  kRasterOp_HSVAdjust = 5,
  kRasterOp_Mask = 0xFF,             // low byte: the combine operation
  kRasterMode_ChannelCopy = 0xF0,    // all four bits set: single-byte channel copy (blits only)
  kRasterMode_Bilinear = 0x100,      // bilinear filtering for scaled and rotated blits
  kRasterMode_SourceAlpha = 0x10000  // weight multiplied by each source pixel's alpha
};

// ---------------------------------------------------------------------------------------------
// Pixels

inline uint32_t Raster_MakePixel(int a, int r, int g, int b)
{
  return ((uint32_t)(a & 0xFF) << 24) | ((uint32_t)(r & 0xFF) << 16) | ((uint32_t)(g & 0xFF) << 8) | (uint32_t)(b & 0xFF);
}
inline int Raster_PixelA(uint32_t p) { return (int)(p >> 24); }
inline int Raster_PixelR(uint32_t p) { return (int)((p >> 16) & 0xFF); }
inline int Raster_PixelG(uint32_t p) { return (int)((p >> 8) & 0xFF); }
inline int Raster_PixelB(uint32_t p) { return (int)(p & 0xFF); }

// Float weight -> integer weight 0..256 by truncation of weight x 256. NaN and negative
// weights become 0 (draw nothing) and weights above 1 become 256, so that no caller can feed
// an out-of-range or undefined float-to-int conversion into the pixel formulas.
inline int Raster_WeightToInt(float weight)
{
  if (!(weight > 0.0f)) return 0;  // also catches NaN
  if (weight >= 1.0f) return 256;
  return (int)(weight * 256.0f);
}

inline int Raster_Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// Entry 0 = 0, entry i = floor(65536 / i) - 1: the reciprocals behind the HSV adjustment.
extern const uint16_t Raster_RGB2HSV_invtab[256];

// ---------------------------------------------------------------------------------------------
// Combine classes: per channel formulas. B, G, R, A are bytes 0..3 of the destination pixel.

#define RASTER_COMBINE_4(EXPR_B, EXPR_G, EXPR_R, EXPR_A) \
  dest[0] = (uint8_t)(EXPR_B);                            \
  dest[1] = (uint8_t)(EXPR_G);                            \
  dest[2] = (uint8_t)(EXPR_R);                            \
  dest[3] = (uint8_t)(EXPR_A)

// s (weight ignored)
struct Raster_CombinePixelsClobberNoClamp
{
  static inline void doPix(uint8_t* dest, int r, int g, int b, int a, int)
  {
    RASTER_COMBINE_4(b, g, r, a);
  }
};

// clamp(s) (weight ignored)
struct Raster_CombinePixelsClobberClamp
{
  static inline void doPix(uint8_t* dest, int r, int g, int b, int a, int)
  {
    RASTER_COMBINE_4(Raster_Clamp255(b), Raster_Clamp255(g), Raster_Clamp255(r), Raster_Clamp255(a));
  }
};

// s + (d - s) * (256 - w) / 256
struct Raster_CombinePixelsCopyNoClamp
{
  static inline int ch(int d, int s, int w) { return s + (d - s) * (256 - w) / 256; }
  static inline void doPix(uint8_t* dest, int r, int g, int b, int a, int w)
  {
    RASTER_COMBINE_4(ch(dest[0], b, w), ch(dest[1], g, w), ch(dest[2], r, w), ch(dest[3], a, w));
  }
};

// clamp(s + (d - s) * (256 - w) / 256)
struct Raster_CombinePixelsCopyClamp
{
  static inline int ch(int d, int s, int w) { return Raster_Clamp255(s + (d - s) * (256 - w) / 256); }
  static inline void doPix(uint8_t* dest, int r, int g, int b, int a, int w)
  {
    RASTER_COMBINE_4(ch(dest[0], b, w), ch(dest[1], g, w), ch(dest[2], r, w), ch(dest[3], a, w));
  }
};

// (s + d) >> 1 (weight ignored)
struct Raster_CombinePixelsHalfMixNoClamp
{
  static inline void doPix(uint8_t* dest, int r, int g, int b, int a, int)
  {
    RASTER_COMBINE_4((dest[0] + b) >> 1, (dest[1] + g) >> 1, (dest[2] + r) >> 1, (dest[3] + a) >> 1);
  }
};

// clamp(d + s * w / 256)
struct Raster_CombinePixelsAdd
{
  static inline int ch(int d, int s, int w) { return Raster_Clamp255(d + s * w / 256); }
  static inline void doPix(uint8_t* dest, int r, int g, int b, int a, int w)
  {
    RASTER_COMBINE_4(ch(dest[0], b, w), ch(dest[1], g, w), ch(dest[2], r, w), ch(dest[3], a, w));
  }
};

// s * w <= 65279: clamp(d * 256 / (256 - s * w / 256)); else clamp(d * 256), i.e. 255 unless d
// is 0. The threshold keeps the divisor at 2 or more.
struct Raster_CombinePixelsColorDodge
{
  static inline int ch(int d, int s, int w)
  {
    int sw = s * w;
    if (sw <= 65279) return Raster_Clamp255((d * 256) / (256 - sw / 256));
    return Raster_Clamp255(d * 256);
  }
  static inline void doPix(uint8_t* dest, int r, int g, int b, int a, int w)
  {
    RASTER_COMBINE_4(ch(dest[0], b, w), ch(dest[1], g, w), ch(dest[2], r, w), ch(dest[3], a, w));
  }
};

// (d * (s * w + 256 * (256 - w))) >> 16
struct Raster_CombinePixelsMulNoClamp
{
  static inline int ch(int d, int s, int w) { return (d * (s * w + 256 * (256 - w))) >> 16; }
  static inline void doPix(uint8_t* dest, int r, int g, int b, int a, int w)
  {
    RASTER_COMBINE_4(ch(dest[0], b, w), ch(dest[1], g, w), ch(dest[2], r, w), ch(dest[3], a, w));
  }
};

struct Raster_CombinePixelsMulClamp
{
  static inline int ch(int d, int s, int w) { return Raster_Clamp255(Raster_CombinePixelsMulNoClamp::ch(d, s, w)); }
  static inline void doPix(uint8_t* dest, int r, int g, int b, int a, int w)
  {
    RASTER_COMBINE_4(ch(dest[0], b, w), ch(dest[1], g, w), ch(dest[2], r, w), ch(dest[3], a, w));
  }
};

// S = s * w + 32768 - 128 * w; clamp(((((32768 - S) * d / 256) + S) * d) >> 15)
struct Raster_CombinePixelsOverlay
{
  static inline int ch(int d, int s, int w)
  {
    int S = s * w + 32768 - 128 * w;
    return Raster_Clamp255(((((32768 - S) * d / 256) + S) * d) >> 15);
  }
  static inline void doPix(uint8_t* dest, int r, int g, int b, int a, int w)
  {
    RASTER_COMBINE_4(ch(dest[0], b, w), ch(dest[1], g, w), ch(dest[2], r, w), ch(dest[3], a, w));
  }
};

// The source colour steers a shift of the destination's hue (r), saturation (g) and value (b);
// (128, 128, 128) shifts nothing. Hue runs 0..383 in six sectors of 64.
void Raster_HSVAdjustPixel(uint8_t* dest, int r, int g, int b, int a, int w);

struct Raster_CombinePixelsHSVAdjust
{
  static inline void doPix(uint8_t* dest, int r, int g, int b, int a, int w) { Raster_HSVAdjustPixel(dest, r, g, b, a, w); }
};

// ---------------------------------------------------------------------------------------------
// Source-alpha classes: the effective weight is v = w * (a + 1) / 256.

inline int Raster_SourceAlphaWeight(int w, int a) { return w * (a + 1) / 256; }

// Colour: s + (d - s) * (256 - v) / 256; alpha only grows: min(255, d + v).
struct Raster_CombinePixelsCopySourceAlphaNoClamp
{
  static inline void doPix(uint8_t* dest, int r, int g, int b, int a, int w)
  {
    if (a == 0) return;
    int v = Raster_SourceAlphaWeight(w, a);
    int da = dest[3] + v;
    RASTER_COMBINE_4(Raster_CombinePixelsCopyNoClamp::ch(dest[0], b, v), Raster_CombinePixelsCopyNoClamp::ch(dest[1], g, v),
                     Raster_CombinePixelsCopyNoClamp::ch(dest[2], r, v), da > 255 ? 255 : da);
  }
};

// Full weight only: colour s + (d - s) * (255 - a) / 256, alpha min(255, d + a); an opaque
// source replaces the pixel outright.
struct Raster_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp
{
  static inline int ch(int d, int s, int a) { return s + (d - s) * (255 - a) / 256; }
  static inline void doPix(uint8_t* dest, int r, int g, int b, int a, int)
  {
    if (a == 0) return;
    if (a == 255)
    {
      RASTER_COMBINE_4(b, g, r, 255);
      return;
    }
    int da = dest[3] + a;
    RASTER_COMBINE_4(ch(dest[0], b, a), ch(dest[1], g, a), ch(dest[2], r, a), da > 255 ? 255 : da);
  }
};

struct Raster_CombinePixelsAddSourceAlpha
{
  static inline void doPix(uint8_t* dest, int r, int g, int b, int a, int w)
  {
    if (a == 0) return;
    Raster_CombinePixelsAdd::doPix(dest, r, g, b, a, Raster_SourceAlphaWeight(w, a));
  }
};

struct Raster_CombinePixelsColorDodgeSourceAlpha
{
  static inline void doPix(uint8_t* dest, int r, int g, int b, int a, int w)
  {
    Raster_CombinePixelsColorDodge::doPix(dest, r, g, b, a, Raster_SourceAlphaWeight(w, a));
  }
};

struct Raster_CombinePixelsMulSourceAlphaNoClamp
{
  static inline void doPix(uint8_t* dest, int r, int g, int b, int a, int w)
  {
    if (a == 0) return;
    Raster_CombinePixelsMulNoClamp::doPix(dest, r, g, b, a, Raster_SourceAlphaWeight(w, a));
  }
};

struct Raster_CombinePixelsOverlaySourceAlpha
{
  static inline void doPix(uint8_t* dest, int r, int g, int b, int a, int w)
  {
    Raster_CombinePixelsOverlay::doPix(dest, r, g, b, a, Raster_SourceAlphaWeight(w, a));
  }
};

struct Raster_CombinePixelsHSVAdjustSourceAlpha
{
  static inline void doPix(uint8_t* dest, int r, int g, int b, int a, int w)
  {
    Raster_HSVAdjustPixel(dest, r, g, b, a, Raster_SourceAlphaWeight(w, a));
  }
};

#undef RASTER_COMBINE_4

// ---------------------------------------------------------------------------------------------
// Whole-word classes for solid colours at w = 256, 128, 64 and 192. All four channels are mixed
// alike with shifts and masks (no carries cross a byte). prescale() is applied once per fill;
// doPix then costs a couple of word operations per pixel.

struct Raster_CombinePixelsClobberFAST
{
  static inline uint32_t prescale(uint32_t colour) { return colour; }
  static inline void doPix(uint32_t* dest, uint32_t pre) { *dest = pre; }
};

struct Raster_CombinePixelsHalfMix2FAST
{
  static inline uint32_t prescale(uint32_t colour) { return (colour >> 1) & 0x7F7F7F7Fu; }
  static inline void doPix(uint32_t* dest, uint32_t pre) { *dest = pre + ((*dest >> 1) & 0x7F7F7F7Fu); }
};

struct Raster_CombinePixelsQuarterMix2FAST
{
  static inline uint32_t prescale(uint32_t colour) { return (colour >> 2) & 0x3F3F3F3Fu; }
  static inline void doPix(uint32_t* dest, uint32_t pre)
  {
    uint32_t d = *dest;
    *dest = pre + ((d >> 2) & 0x3F3F3F3Fu) + ((d >> 1) & 0x7F7F7F7Fu);
  }
};

struct Raster_CombinePixelsThreeQuarterMix2FAST
{
  static inline uint32_t prescale(uint32_t colour) { return ((colour >> 1) & 0x7F7F7F7Fu) + ((colour >> 2) & 0x3F3F3F3Fu); }
  static inline void doPix(uint32_t* dest, uint32_t pre) { *dest = pre + ((*dest >> 2) & 0x3F3F3F3Fu); }
};

// Blits at weight exactly 0.5: the source varies per pixel, so there is nothing to prescale.
struct Raster_CombinePixelsHalfMixFAST
{
  static inline void doPix(uint32_t* dest, uint32_t src) { *dest = ((src >> 1) & 0x7F7F7F7Fu) + ((*dest >> 1) & 0x7F7F7F7Fu); }
};

// ---------------------------------------------------------------------------------------------
// One-pixel entry points (resolve the mode per call; for single pixels and tests).

// dest combined with src at the float weight under the mode; dest unchanged when the integer
// weight is 0 or the operation is unknown.
uint32_t Raster_CombinePixels(uint32_t dest, uint32_t src, float weight, int mode);

// Combine the colour (r, g, b, a) into *pixel with integer weight w: no-clamp variants.
void Raster_CombinePixels2(uint32_t* pixel, int r, int g, int b, int a, int w, int mode);
// The same with the clamping variants (for components that may leave 0..255).
void Raster_CombinePixels2Clamp(uint32_t* pixel, int r, int g, int b, int a, int w, int mode);
