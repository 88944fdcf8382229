// Raster_CombineSpan.cpp - scalar reference kernels.
#include "Raster_CombineSpan.h"

#include "Raster_Combine.h"

void Raster_SpanCopySourceAlpha_Scalar(uint32_t* dest, const uint32_t* src, int n)
{
  for (int i = 0; i < n; ++i)
  {
    uint32_t p = src[i];
    Raster_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp::doPix((uint8_t*)&dest[i], Raster_PixelR(p), Raster_PixelG(p),
                                                                       Raster_PixelB(p), Raster_PixelA(p), 256);
  }
}

void Raster_SpanCopyWeighted_Scalar(uint32_t* dest, const uint32_t* src, int n, int w)
{
  for (int i = 0; i < n; ++i)
  {
    uint32_t p = src[i];
    Raster_CombinePixelsCopyNoClamp::doPix((uint8_t*)&dest[i], Raster_PixelR(p), Raster_PixelG(p), Raster_PixelB(p),
                                            Raster_PixelA(p), w);
  }
}

void Raster_SpanCopySourceAlphaWeighted_Scalar(uint32_t* dest, const uint32_t* src, int n, int w)
{
  for (int i = 0; i < n; ++i)
  {
    uint32_t p = src[i];
    Raster_CombinePixelsCopySourceAlphaNoClamp::doPix((uint8_t*)&dest[i], Raster_PixelR(p), Raster_PixelG(p), Raster_PixelB(p),
                                                       Raster_PixelA(p), w);
  }
}

void Raster_SpanHalfMix_Scalar(uint32_t* dest, const uint32_t* src, int n)
{
  for (int i = 0; i < n; ++i) Raster_CombinePixelsHalfMixFAST::doPix(&dest[i], src[i]);
}

namespace
{
template <class C>
void fillWith(uint32_t* dest, int n, uint32_t colour)
{
  uint32_t pre = C::prescale(colour);
  for (int i = 0; i < n; ++i) C::doPix(&dest[i], pre);
}
}  // namespace

void Raster_SpanFillFast_Scalar(uint32_t* dest, int n, uint32_t colour, ERasterFillFast kind)
{
  switch (kind)
  {
    case kRasterFill_Clobber: fillWith<Raster_CombinePixelsClobberFAST>(dest, n, colour); break;
    case kRasterFill_HalfMix: fillWith<Raster_CombinePixelsHalfMix2FAST>(dest, n, colour); break;
    case kRasterFill_QuarterMix: fillWith<Raster_CombinePixelsQuarterMix2FAST>(dest, n, colour); break;
    case kRasterFill_ThreeQuarterMix: fillWith<Raster_CombinePixelsThreeQuarterMix2FAST>(dest, n, colour); break;
  }
}

void Raster_SpanBilinear_Scalar(uint32_t* dest, const uint32_t* row0, const uint32_t* row1, int srcWidth, const int32_t* fx,
                                int n, int fy)
{
  const int wy = fy & 0xFFFF;
  for (int i = 0; i < n; ++i)
  {
    const int x0 = fx[i] >> 16;
    const int x1 = x0 + 1 < srcWidth ? x0 + 1 : x0;
    dest[i] = Raster_BilinearPixel(row0[x0], row0[x1], row1[x0], row1[x1], fx[i] & 0xFFFF, wy);
  }
}
