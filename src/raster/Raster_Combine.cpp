// Raster_Combine.cpp - HSV adjustment and the one-pixel combine entry points.
#include "Raster_Combine.h"
#include "Raster_CombineOps.h"

#include <array>
#include <utility>

namespace
{
struct InvTab
{
  uint16_t v[256];
  constexpr InvTab() : v()
  {
    v[0] = 0;
    for (int i = 1; i < 256; ++i) v[i] = (uint16_t)(65536 / i - 1);
  }
};
constexpr InvTab kInvTab;
}  // namespace

const uint16_t Raster_RGB2HSV_invtab[256] = {
#define E(i) kInvTab.v[i]
#define E8(i) E(i), E(i + 1), E(i + 2), E(i + 3), E(i + 4), E(i + 5), E(i + 6), E(i + 7)
#define E64(i) E8(i), E8(i + 8), E8(i + 16), E8(i + 24), E8(i + 32), E8(i + 40), E8(i + 48), E8(i + 56)
  E64(0), E64(64), E64(128), E64(192)
#undef E64
#undef E8
#undef E
};

void Raster_HSVAdjustPixel(uint8_t* dest, int r, int g, int b, int a, int w)
{
  int R = dest[2], G = dest[1], B = dest[0];
  int mx = R > G ? R : G;
  if (B > mx) mx = B;
  int mn = R < G ? R : G;
  if (B < mn) mn = B;
  int delta = mx - mn;

  // Sector base and numerator; ties go to the blue sector.
  int base, num;
  if (R < G && B < G)
  {
    base = 128;
    num = B - R;
  }
  else if (R >= G && R > B)
  {
    base = G < B ? 383 : 0;
    num = G - B;
  }
  else
  {
    base = 256;
    num = R - G;
  }

  int hue = base + (num * (Raster_RGB2HSV_invtab[delta] + 1)) / 1024 + (w * (r + r / 2 - 192)) / 256;
  if (hue < 0)
    hue += 384;
  else if (hue > 383)
    hue -= 384;

  int sat = Raster_Clamp255((delta * Raster_RGB2HSV_invtab[mx]) / 256 + ((g - 128) * w) / 128);
  int val = Raster_Clamp255(mx + ((b - 128) * w) / 128);

  int p = ((256 - sat) * val) >> 8;
  int sector = hue >> 6;
  int f = hue - (sector << 6);
  int falling = val * (16384 - sat * f) / 16384;
  int rising = val * (16384 - sat * (64 - f)) / 16384;

  int nr, ng, nb;
  switch (sector)
  {
    case 0: nr = val, ng = rising, nb = p; break;
    case 1: nr = falling, ng = val, nb = p; break;
    case 2: nr = p, ng = val, nb = rising; break;
    case 3: nr = p, ng = falling, nb = val; break;
    case 4: nr = rising, ng = p, nb = val; break;
    default: nr = val, ng = p, nb = falling; break;
  }
  dest[0] = (uint8_t)nb;
  dest[1] = (uint8_t)ng;
  dest[2] = (uint8_t)nr;
  // Fills pass their integer weight as alpha; 256 (full weight) must not wrap to 0.
  dest[3] = (uint8_t)(a < 0 ? 0 : (a > 255 ? 255 : a));
}

namespace
{
// The class family of the entry point: plain or clamping (source alpha whenever the mode says
// so); copy with source alpha at full weight trusts the source alpha alone.
template <ERasterCombineFamily Family>
void CombinePixels2(uint32_t* pixel, int r, int g, int b, int a, int w, int mode)
{
  if (!pixel || w <= 0) return;
  if (w > 256) w = 256;
  const int op = mode & kRasterOp_Mask;
  auto apply = [&]<class C>() { C::doPix((uint8_t*)pixel, r, g, b, a, w); };
  if (mode & kRasterMode_SourceAlpha)
  {
    if (op == kRasterOp_Copy && w >= 256)
      apply.template operator()<Raster_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp>();
    else
      Raster_DispatchCombine<kRasterCombine_SourceAlpha>(op, apply);
    return;
  }
  Raster_DispatchCombine<Family>(op, apply);
}
}  // namespace

void Raster_CombinePixels2(uint32_t* pixel, int r, int g, int b, int a, int w, int mode)
{
  CombinePixels2<kRasterCombine_Plain>(pixel, r, g, b, a, w, mode);
}

void Raster_CombinePixels2Clamp(uint32_t* pixel, int r, int g, int b, int a, int w, int mode)
{
  CombinePixels2<kRasterCombine_Clamp>(pixel, r, g, b, a, w, mode);
}

uint32_t Raster_CombinePixels(uint32_t dest, uint32_t src, float weight, int mode)
{
  int w = Raster_WeightToInt(weight);
  if (w == 0) return dest;
  uint32_t out = dest;
  Raster_CombinePixels2(&out, Raster_PixelR(src), Raster_PixelG(src), Raster_PixelB(src), Raster_PixelA(src), w, mode);
  return out;
}

namespace
{
template <int... Op>
constexpr std::array<const char*, sizeof...(Op)> OpNames(std::integer_sequence<int, Op...>)
{
  return {Raster_CombineOp<Op>::kName...};
}
constexpr auto kOpNames = OpNames(std::make_integer_sequence<int, kRasterOp_Count>());
}  // namespace

const char* Raster_CombineOpName(int op) { return Raster_IsCombineOp(op) ? kOpNames[op] : "none"; }
