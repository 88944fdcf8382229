// IGraphics: the drawing helpers the controls use, onto the back buffer, and the mapping of
// blends and colours to the raster library's mode words and pixels.
#include "IGraphics.h"

#include "Raster_Bitmap.h"
#include "Raster_Blit.h"
#include "Raster_Combine.h"
#include "Raster_Fill.h"
#include "Raster_Vector.h"

#include <algorithm>
#include <cmath>

int IGraphics::BlendToMode(const IChannelBlend* blend)
{
  if (!blend) return kRasterMode_SourceAlpha | kRasterOp_Copy;
  switch (blend->mMethod)
  {
    case IChannelBlend::kBlendClobber: return kRasterOp_Copy;
    case IChannelBlend::kBlendAdd: return kRasterMode_SourceAlpha | kRasterOp_Add;
    case IChannelBlend::kBlendColorDodge: return kRasterMode_SourceAlpha | kRasterOp_ColorDodge;
    case IChannelBlend::kBlendNone:
    default: return kRasterMode_SourceAlpha | kRasterOp_Copy;
  }
}

float IGraphics::BlendWeight(const IChannelBlend* blend)
{
  return blend ? blend->mWeight : 1.0f;
}

bool IGraphics::DrawBitmap(IBitmap* bitmap, IRECT* dest, int srcX, int srcY, const IChannelBlend* blend)
{
  if (!bitmap || !bitmap->mData || !dest || !mDrawBitmap) return false;
  NoteDrawn(*dest, false);
  const IRECT r = dest->Intersect(mDrawRECT);
  if (r.Empty()) return false;
  // The source moves with the part of the destination that the clipping cut away.
  Raster_Blit(mDrawBitmap, bitmap->mData, r.L, r.T, srcX + (r.L - dest->L), srcY + (r.T - dest->T), r.W(), r.H(),
              BlendWeight(blend), BlendToMode(blend));
  return true;
}

bool IGraphics::DrawBitmap(IBitmap* bitmap, IRECT* dest, int frame, const IChannelBlend* blend)
{
  if (!bitmap) return false;
  int srcX = 0, srcY = 0;
  if (frame >= 2 && bitmap->N >= 2)
  {
    if (bitmap->mFramesAreHorizontal)
      srcX = (int)((double)(frame - 1) * bitmap->W / bitmap->N + 0.5);
    else
      srcY = (int)((double)(frame - 1) * bitmap->H / bitmap->N + 0.5);
  }
  return DrawBitmap(bitmap, dest, srcX, srcY, blend);
}

// Angles in degrees, clockwise on screen. The destination square holds the image at any angle.
bool IGraphics::DrawRotatedBitmap(IBitmap* bitmap, int destCtrX, int destCtrY, double angle, int yOffsetZeroDeg,
                                  const IChannelBlend* blend)
{
  if (!bitmap || !bitmap->mData || !mDrawBitmap) return false;
  const int W = bitmap->FrameWidth(), H = bitmap->FrameHeight();
  const int side = (int)std::ceil(std::sqrt((double)W * W + (double)H * H)) + 2;
  const int x = destCtrX - side / 2, y = destCtrY - side / 2;
  const float srcX = (float)(W - side) * 0.5f, srcY = (float)(H - side) * 0.5f;
  NoteDrawn(IRECT(x, y, x + side, y + side), true);
  Raster_RotatedBlit(mDrawBitmap, bitmap->mData, x, y, side, side, srcX, srcY, (float)side, (float)side,
                     angle * M_PI / 180.0, false, BlendWeight(blend), BlendToMode(blend) | kRasterMode_Bilinear, 0.0f,
                     (float)yOffsetZeroDeg);
  return true;
}

// The base image, then the mask rotated over it multiplying, then the top image rotated with its
// own alpha, composed in the scratch bitmap and blitted at (x, y) within the drawing region.
bool IGraphics::DrawRotatedMask(IBitmap* base, IBitmap* mask, IBitmap* top, int x, int y, double angle,
                                const IChannelBlend* blend)
{
  if (!base || !base->mData || !mask || !mask->mData || !top || !top->mData || !mDrawBitmap || !mTmpBitmap) return false;
  const int W = base->W, H = base->H;
  mTmpBitmap->resize(W, H);
  Raster_Blit(mTmpBitmap, base->mData, 0, 0, 0, 0, W, H, 1.0f, kRasterOp_Copy);
  const double rad = angle * M_PI / 180.0;
  Raster_RotatedBlit(mTmpBitmap, mask->mData, 0, 0, W, H, 0.0f, 0.0f, (float)mask->W, (float)mask->H, rad, false, 1.0f,
                     kRasterOp_Multiply | kRasterMode_Bilinear);
  Raster_RotatedBlit(mTmpBitmap, top->mData, 0, 0, W, H, 0.0f, 0.0f, (float)top->W, (float)top->H, rad, false, 1.0f,
                     kRasterOp_Copy | kRasterMode_SourceAlpha | kRasterMode_Bilinear);
  IBitmap composed(mTmpBitmap, W, H);
  IRECT dest(x, y, x + W, y + H);
  return DrawBitmap(&composed, &dest, 0, 0, blend);
}

bool IGraphics::DrawPoint(const IColor* color, float x, float y, const IChannelBlend* blend, bool antiAlias)
{
  if (!color || !mDrawBitmap) return false;
  NoteDrawnBox(x, y, x, y, 1.0f);
  if (antiAlias)
    Raster_FLine(mDrawBitmap, x, y, x, y, color->ToPixel(), BlendWeight(blend), BlendToMode(blend), true);
  else
    Raster_PutPixel(mDrawBitmap, (int)x, (int)y, color->ToPixel(), BlendWeight(blend), BlendToMode(blend));
  return true;
}

bool IGraphics::ForcePixel(const IColor* color, int x, int y)
{
  if (!color || !mDrawBitmap) return false;
  if (x < 0 || y < 0 || x >= mDrawBitmap->getWidth() || y >= mDrawBitmap->getHeight()) return false;
  uint32_t* bits = mDrawBitmap->getBits();
  if (!bits) return false;
  NoteDrawn(IRECT(x, y, x + 1, y + 1), true);
  const int row = mDrawBitmap->isFlipped() ? mDrawBitmap->getHeight() - 1 - y : y;
  bits[(size_t)row * mDrawBitmap->getRowSpan() + x] = color->ToPixel();
  return true;
}

IColor IGraphics::GetPoint(int x, int y)
{
  return IColor::FromPixel(mDrawBitmap ? Raster_GetPixel(mDrawBitmap, x, y) : 0u);
}

bool IGraphics::DrawLine(const IColor* color, float x1, float y1, float x2, float y2, const IChannelBlend* blend,
                         bool antiAlias)
{
  if (!color || !mDrawBitmap) return false;
  NoteDrawnBox(x1, y1, x2, y2, 1.0f);
  Raster_FLine(mDrawBitmap, x1, y1, x2, y2, color->ToPixel(), BlendWeight(blend), BlendToMode(blend), antiAlias);
  return true;
}

bool IGraphics::DrawArc(const IColor* color, float cx, float cy, float r, float minAngle, float maxAngle,
                        const IChannelBlend* blend, bool antiAlias)
{
  if (!color || !mDrawBitmap) return false;
  NoteDrawnBox(cx - r, cy - r, cx + r, cy + r, 1.0f);
  Raster_Arc(mDrawBitmap, cx, cy, r, minAngle, maxAngle, color->ToPixel(), BlendWeight(blend), BlendToMode(blend), antiAlias);
  return true;
}

bool IGraphics::DrawCircle(const IColor* color, float cx, float cy, float r, const IChannelBlend* blend, bool antiAlias)
{
  if (!color || !mDrawBitmap) return false;
  NoteDrawnBox(cx - r, cy - r, cx + r, cy + r, 1.0f);
  Raster_Circle(mDrawBitmap, cx, cy, r, color->ToPixel(), BlendWeight(blend), BlendToMode(blend), antiAlias);
  return true;
}

// Angle in radians, 0 up, clockwise.
bool IGraphics::DrawRadialLine(const IColor* color, float cx, float cy, float angle, float rMin, float rMax,
                               const IChannelBlend* blend, bool antiAlias)
{
  const float s = std::sin(angle), c = std::cos(angle);
  return DrawLine(color, cx + rMin * s, cy - rMin * c, cx + rMax * s, cy - rMax * c, blend, antiAlias);
}

bool IGraphics::DrawRect(const IColor* color, IRECT* rect)
{
  if (!color || !rect || !mDrawBitmap) return false;
  const int r = rect->R - 1, b = rect->B - 1;
  DrawHorizontalLine(color, rect->T, rect->L, r);
  DrawHorizontalLine(color, b, rect->L, r);
  DrawVerticalLine(color, rect->L, rect->T, b);
  DrawVerticalLine(color, r, rect->T, b);
  return true;
}

bool IGraphics::DrawVerticalLine(const IColor* color, int xi, int yLo, int yHi)
{
  if (!color || !mDrawBitmap) return false;
  NoteDrawnBox((float)xi, (float)yLo, (float)xi, (float)yHi, 0.0f);
  Raster_Line(mDrawBitmap, xi, yLo, xi, yHi, color->ToPixel(), 1.0f, kRasterMode_SourceAlpha, false);
  return true;
}

bool IGraphics::DrawHorizontalLine(const IColor* color, int yi, int xLo, int xHi)
{
  if (!color || !mDrawBitmap) return false;
  NoteDrawnBox((float)xLo, (float)yi, (float)xHi, (float)yi, 0.0f);
  Raster_Line(mDrawBitmap, xLo, yi, xHi, yi, color->ToPixel(), 1.0f, kRasterMode_SourceAlpha, false);
  return true;
}

bool IGraphics::DrawVerticalLine(const IColor* color, IRECT* rect, float x)
{
  if (!rect) return false;
  x = x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x);
  const int xi = rect->L + (int)(x * (float)rect->W());
  return DrawVerticalLine(color, xi, rect->T, rect->B - 1);
}

bool IGraphics::DrawHorizontalLine(const IColor* color, IRECT* rect, float y)
{
  if (!rect) return false;
  y = y < 0.0f ? 0.0f : (y > 1.0f ? 1.0f : y);
  const int yi = rect->B - (int)(y * (float)rect->H());
  return DrawHorizontalLine(color, yi, rect->L, rect->R - 1);
}

bool IGraphics::FillIRect(const IColor* color, IRECT* rect, const IChannelBlend* blend)
{
  if (!color || !rect || !mDrawBitmap || rect->Empty()) return false;
  NoteDrawn(*rect, false);
  // Within a drawing pass a fill keeps to the pass's region, as bitmaps do.
  const IRECT r = mTrackDrawing ? rect->Intersect(mDrawRECT) : *rect;
  if (r.Empty()) return true;
  Raster_FillRect(mDrawBitmap, r.L, r.T, r.W(), r.H(), color->ToPixel(), BlendWeight(blend), BlendToMode(blend));
  return true;
}

bool IGraphics::RoundRect(const IColor* color, IRECT* rect, const IChannelBlend* blend, int cornerRadius, bool aa)
{
  if (!color || !rect || !mDrawBitmap || rect->Empty()) return false;
  NoteDrawnBox((float)rect->L, (float)rect->T, (float)(rect->R - 1), (float)(rect->B - 1), 1.0f);
  Raster_RoundRect(mDrawBitmap, (float)rect->L, (float)rect->T, (float)(rect->W() - 1), (float)(rect->H() - 1),
                   (float)cornerRadius, color->ToPixel(), BlendWeight(blend), BlendToMode(blend), aa);
  return true;
}

// The straight middle part as rectangles, the corners as quarter circles.
bool IGraphics::FillRoundRect(const IColor* color, IRECT* rect, const IChannelBlend* blend, int cornerRadius, bool aa)
{
  if (!color || !rect || !mDrawBitmap || rect->Empty()) return false;
  const int w = rect->W(), h = rect->H();
  int cr = cornerRadius;
  if (cr > w / 2) cr = w / 2;
  if (cr > h / 2) cr = h / 2;
  if (cr <= 0) return FillIRect(color, rect, blend);
  NoteDrawn(*rect, true);
  const uint32_t pixel = color->ToPixel();
  const float weight = BlendWeight(blend);
  const int mode = BlendToMode(blend);
  Raster_FillRect(mDrawBitmap, rect->L + cr, rect->T, w - 2 * cr, h, pixel, weight, mode);
  Raster_FillRect(mDrawBitmap, rect->L, rect->T + cr, cr, h - 2 * cr, pixel, weight, mode);
  Raster_FillRect(mDrawBitmap, rect->R - cr, rect->T + cr, cr, h - 2 * cr, pixel, weight, mode);
  // Each quadrant of a circle of radius cr, limited to its corner square.
  const int corners[4][2] = {{rect->L, rect->T}, {rect->R - cr, rect->T}, {rect->L, rect->B - cr}, {rect->R - cr, rect->B - cr}};
  const float centres[4][2] = {{(float)(rect->L + cr), (float)(rect->T + cr)},
                               {(float)(rect->R - cr - 1), (float)(rect->T + cr)},
                               {(float)(rect->L + cr), (float)(rect->B - cr - 1)},
                               {(float)(rect->R - cr - 1), (float)(rect->B - cr - 1)}};
  for (int i = 0; i < 4; ++i)
  {
    for (int yy = 0; yy < cr; ++yy)
    {
      for (int xx = 0; xx < cr; ++xx)
      {
        const float px = (float)(corners[i][0] + xx), py = (float)(corners[i][1] + yy);
        const float dx = px - centres[i][0], dy = py - centres[i][1];
        const float d = std::sqrt(dx * dx + dy * dy);
        float cover = (float)cr + 0.5f - d;
        if (!aa) cover = cover >= 0.5f ? 1.0f : 0.0f;
        if (cover <= 0.0f) continue;
        if (cover > 1.0f) cover = 1.0f;
        Raster_PutPixel(mDrawBitmap, (int)px, (int)py, pixel, weight * cover, mode);
      }
    }
  }
  return true;
}

bool IGraphics::FillCircle(const IColor* color, int cx, int cy, float r, const IChannelBlend* blend, bool antiAlias)
{
  if (!color || !mDrawBitmap) return false;
  NoteDrawnBox((float)cx - r, (float)cy - r, (float)cx + r, (float)cy + r, 1.0f);
  Raster_FillCircle(mDrawBitmap, (float)cx, (float)cy, r, color->ToPixel(), BlendWeight(blend), BlendToMode(blend), antiAlias);
  return true;
}

bool IGraphics::FillTriangle(const IColor* color, int x1, int y1, int x2, int y2, int x3, int y3, const IChannelBlend* blend)
{
  if (!color || !mDrawBitmap) return false;
  NoteDrawnBox((float)std::min({x1, x2, x3}), (float)std::min({y1, y2, y3}), (float)std::max({x1, x2, x3}),
               (float)std::max({y1, y2, y3}), 1.0f);
  Raster_FillTriangle(mDrawBitmap, x1, y1, x2, y2, x3, y3, color->ToPixel(), BlendWeight(blend), BlendToMode(blend));
  return true;
}

bool IGraphics::FillIConvexPolygon(const IColor* color, int* x, int* y, int npoints, const IChannelBlend* blend)
{
  if (!color || !x || !y || npoints < 3 || !mDrawBitmap) return false;
  int l = x[0], t = y[0], r = x[0], b = y[0];
  for (int i = 1; i < npoints; ++i)
  {
    l = std::min(l, x[i]);
    r = std::max(r, x[i]);
    t = std::min(t, y[i]);
    b = std::max(b, y[i]);
  }
  NoteDrawnBox((float)l, (float)t, (float)r, (float)b, 1.0f);
  Raster_FillConvexPolygon(mDrawBitmap, x, y, npoints, color->ToPixel(), BlendWeight(blend), BlendToMode(blend));
  return true;
}
