// Raster_BlitScaled.cpp - Raster_ScaledBlit: nearest, bilinear and filter-down resampling with
// 16.16 fixed-point stepping.
#include <cmath>
#include <cstring>

#include "Raster_Blit.h"
#include "Raster_BlitCommon.h"
#include "Raster_CombineSpan.h"

namespace
{
// Indices [first, last) of a run of n samples at pos0 + i * step (16.16) whose integer part
// lies in [0, limit). The positions are monotonic, so the valid samples form one run.
void sampleRun(long long pos0, long long step, int n, int limit, int& first, int& last)
{
  auto inside = [&](int i) {
    long long p = (pos0 + step * i) >> 16;
    return p >= 0 && p < limit;
  };
  first = 0;
  last = n;
  while (first < last && !inside(first)) ++first;
  while (last > first && !inside(last - 1)) --last;
}

// Filter-down kernel: weight of the cell at (i, j) from the centre is
// clamp((S - 1) / sqrt(i^2 + j^2), 0, 1) x 65536 with S the larger step in pixels.
struct DownKernel
{
  int radius;
  int weight[5][5];
  DownKernel(double step, long long stepFixed)
  {
    radius = stepFixed <= 0x30000 ? 1 : 2;
    for (int j = -2; j <= 2; ++j)
      for (int i = -2; i <= 2; ++i)
      {
        double f = (i == 0 && j == 0) ? 1.0 : (step - 1.0) / std::sqrt((double)(i * i + j * j));
        if (f < 0.0) f = 0.0;
        if (f > 1.0) f = 1.0;
        weight[j + 2][i + 2] = (int)(f * 65536.0);
      }
  }
};

uint32_t filterDown(Raster_IBitmap* src, uint32_t* sbits, int cx, int cy, const DownKernel& k)
{
  long long acc[4] = {0, 0, 0, 0};
  long long wsum = 0;
  int sw = src->getWidth(), sh = src->getHeight();
  for (int j = -k.radius; j <= k.radius; ++j)
  {
    int yy = cy + j;
    if (yy < 0 || yy >= sh) continue;
    const uint32_t* row = Raster_Row(src, sbits, yy);
    for (int i = -k.radius; i <= k.radius; ++i)
    {
      int xx = cx + i;
      if (xx < 0 || xx >= sw) continue;
      int wgt = k.weight[j + 2][i + 2];
      if (!wgt) continue;
      uint32_t p = row[xx];
      acc[0] += (long long)wgt * (p & 0xFF);
      acc[1] += (long long)wgt * ((p >> 8) & 0xFF);
      acc[2] += (long long)wgt * ((p >> 16) & 0xFF);
      acc[3] += (long long)wgt * (p >> 24);
      wsum += wgt;
    }
  }
  if (wsum == 0) return 0;
  return (uint32_t)(acc[0] / wsum) | (uint32_t)(acc[1] / wsum) << 8 | (uint32_t)(acc[2] / wsum) << 16 |
         (uint32_t)(acc[3] / wsum) << 24;
}
}  // namespace

void Raster_ScaledBlit(Raster_IBitmap* dest, Raster_IBitmap* src, int x, int y, int width, int height, float srcX, float srcY,
                       float srcWidth, float srcHeight, float weight, int mode)
{
  if (!dest || !src || width == 0 || height == 0 || weight == 0.0f) return;
  if (!(std::isfinite(srcX) && std::isfinite(srcY) && std::isfinite(srcWidth) && std::isfinite(srcHeight))) return;
  // Origins beyond a billion pixels cannot land inside any bitmap (and would not convert).
  if (std::fabs(srcX) > 1e9f || std::fabs(srcY) > 1e9f) return;
  bool bilinear = (mode & 0xFF00) == kRasterMode_Bilinear;

  // Same size: a plain blit, unless filtering was asked for at a fractional origin.
  if (width > 0 && height > 0 && std::fabs(srcWidth - width) < 0.001f && std::fabs(srcHeight - height) < 0.001f)
  {
    bool whole = std::fabs(srcX - std::floor(srcX + 0.5f)) < 0.03f && std::fabs(srcY - std::floor(srcY + 0.5f)) < 0.03f;
    if (!bilinear || whole)
    {
      Raster_Blit(dest, src, x, y, (int)(srcX + 0.5f), (int)(srcY + 0.5f), width, height, weight, mode);
      return;
    }
  }

  double sx = srcX, sy = srcY, sw = srcWidth, sh = srcHeight;
  long long dxl = x, dyl = y, w = width, h = height;
  bool mirrorX = false, mirrorY = false;
  if (w < 0)
  {
    dxl += w, w = -w;
    sx += sw, sw = -sw;
    mirrorX = true;
  }
  if (h < 0)
  {
    dyl += h, h = -h;
    sy += sh, sh = -sh;
    mirrorY = true;
  }

  double stepX = sw / (double)w, stepY = sh / (double)h;
  // Keep every 16.16 product below 2^62: steps of more than 32768 source pixels per destination
  // pixel, or a far edge beyond two billion, cannot land inside any bitmap anyway.
  if (std::fabs(sx) > 2e9 || std::fabs(sy) > 2e9 || std::fabs(stepX) > 32768.0 || std::fabs(stepY) > 32768.0) return;
  long long fdx = (long long)std::floor(stepX * 65536.0), fdy = (long long)std::floor(stepY * 65536.0);
  long long fx0 = (long long)std::floor(sx * 65536.0), fy0 = (long long)std::floor(sy * 65536.0);
  // A mirrored run starts one step in from the far edge, so that it samples the same source
  // pixels as the unmirrored run, in reverse.
  if (mirrorX) fx0 += fdx;
  if (mirrorY) fy0 += fdy;

  // Destination clipping: skip columns and rows left of / above 0 by advancing the source.
  if (dxl < 0) fx0 += fdx * -dxl, w += dxl, dxl = 0;
  if (dyl < 0) fy0 += fdy * -dyl, h += dyl, dyl = 0;
  if (w > dest->getWidth() - dxl) w = dest->getWidth() - dxl;
  if (h > dest->getHeight() - dyl) h = dest->getHeight() - dyl;
  if (w <= 0 || h <= 0) return;
  uint32_t* dbits = dest->getBits();
  uint32_t* sbits = src->getBits();
  if (!dbits || !sbits) return;

  // Then shorten the run so that every sampled source coordinate lies inside the source.
  int srcW = src->getWidth(), srcH = src->getHeight();
  if (srcW > 0x7FFF || srcH > 0x7FFF) return;  // 16.16 positions must fit 32 bits
  int i0, i1, j0, j1;
  sampleRun(fx0, fdx, (int)w, srcW, i0, i1);
  sampleRun(fy0, fdy, (int)h, srcH, j0, j1);
  if (i0 >= i1 || j0 >= j1) return;
  int n = i1 - i0;

  Raster_Scratch<int32_t, 2048> xs(n);
  Raster_Scratch<uint32_t, 2048> tmp(n);
  if (!xs.data() || !tmp.data()) return;
  for (int i = 0; i < n; ++i) xs.data()[i] = (int32_t)(fx0 + fdx * (i + i0));

  int op = mode & (kRasterMode_SourceAlpha | kRasterOp_Mask);
  uint32_t* drow = Raster_Row(dest, dbits, (int)dyl + j0) + dxl + i0;
  intptr_t dstep = Raster_RowStep(dest);

  // Reductions by 1.7 or more in both directions: a filter-down kernel instead of 2 x 2.
  bool filterDownK = bilinear && std::fabs(stepX) >= 1.7 && std::fabs(stepY) >= 1.7;
  long long bigStep = std::llabs(fdx) > std::llabs(fdy) ? std::llabs(fdx) : std::llabs(fdy);
  DownKernel kernel(std::fabs(stepX) > std::fabs(stepY) ? std::fabs(stepX) : std::fabs(stepY), bigStep);

  Raster_RowFunc fn = nullptr;
  int iw = 256;
  bool directNearest = false, directHalf = false, directBilinear = false;
  if (op == kRasterOp_Copy && weight == 1.0f && !filterDownK)
  {
    directNearest = !bilinear;
    directBilinear = bilinear;
  }
  else if (op == kRasterOp_Copy && weight == 0.5f && !bilinear)
    directHalf = true;
  else
  {
    iw = Raster_WeightToInt(weight);
    if (iw == 0) return;
    fn = Raster_SelectRowFunc(mode, iw);
    if (!fn) return;
  }

  for (int j = j0; j < j1; ++j, drow += dstep)
  {
    long long fy = fy0 + fdy * j;
    int yy = (int)(fy >> 16);
    const uint32_t* srow = Raster_Row(src, sbits, yy);
    if (directNearest)
    {
      for (int i = 0; i < n; ++i) drow[i] = srow[xs.data()[i] >> 16];
      continue;
    }
    if (directHalf)
    {
      for (int i = 0; i < n; ++i) Raster_CombinePixelsHalfMixFAST::doPix(&drow[i], srow[xs.data()[i] >> 16]);
      continue;
    }
    const uint32_t* srow1 = yy + 1 < srcH ? Raster_Row(src, sbits, yy + 1) : srow;
    if (directBilinear)
    {
      Raster_SpanBilinear(drow, srow, srow1, srcW, xs.data(), n, (int)(fy & 0xFFFF));
      continue;
    }
    uint32_t* t = tmp.data();
    if (filterDownK)
      for (int i = 0; i < n; ++i) t[i] = filterDown(src, sbits, xs.data()[i] >> 16, yy, kernel);
    else if (bilinear)
      Raster_SpanBilinear(t, srow, srow1, srcW, xs.data(), n, (int)(fy & 0xFFFF));
    else
      for (int i = 0; i < n; ++i) t[i] = srow[xs.data()[i] >> 16];
    fn(drow, t, n, iw);
  }
}
