// Raster_Vector.h - lines, circles, arcs, rounded rectangles, polygons and Bezier curves.
//
// Every primitive takes a colour (0xAARRGGBB), a float weight and a mode word like the blits:
// the weight becomes w = (int)(weight x 256); with the source-alpha bit it is first scaled by the
// colour's alpha / 255. Only the combine operation (low byte 0..5) matters here; other values
// draw nothing, and so do a null bitmap, missing bits or w = 0. Flipped bitmaps are drawn
// upright (y is mirrored) and everything is clipped to the bitmap.
//
// Coordinates are pixel centres: pixel (x, y) is the point (x, y). Outlines (lines, circles,
// arcs, curves) blend the colour's own four channels into the destination; area fills
// (trapezoids, polygons, triangles, curve fills) follow Raster_FillRect: at w = 64, 128, 192 and
// 256 with the copy operation whole words are mixed, otherwise the source passed to the combine
// class is (R, G, B, w).
#pragma once

#include <cstdint>

class Raster_IBitmap;

// Clips the segment to the inclusive box [xmin, xmax] x [ymin, ymax]. The end points move
// along the segment (rounded to whole pixels for the integer form). False when nothing of the
// segment lies inside the box; the end points are then left as they were.
bool Raster_ClipLine(int* x1, int* y1, int* x2, int* y2, int xmin, int ymin, int xmax, int ymax);
bool Raster_ClipFLine(float* x1, float* y1, float* x2, float* y2, float xmin, float ymin, float xmax, float ymax);
// In doubles, for end points that may lie very far outside (a plot of absurd data): nothing is
// rounded, and an end point inside the box stays exactly as it was.
bool Raster_ClipDLine(double* x1, double* y1, double* x2, double* y2, double xmin, double ymin, double xmax, double ymax);

// Both end points included. Anti-aliased lines spread each step over the two pixels that
// straddle the ideal line.
void Raster_Line(Raster_IBitmap* bmp, int x1, int y1, int x2, int y2, uint32_t color, float weight, int mode, bool aa);
void Raster_FLine(Raster_IBitmap* bmp, float x1, float y1, float x2, float y2, uint32_t color, float weight, int mode,
                  bool aa);
// Runs of `pixelsOn` drawn pixels and `pixelsOff` skipped ones, counted from (x1, y1).
void Raster_DashedLine(Raster_IBitmap* bmp, int x1, int y1, int x2, int y2, int pixelsOn, int pixelsOff, uint32_t color,
                       float weight, int mode, bool aa);
// A line `width` pixels wide with square ends: parallel float lines (Raster_FLine) across it,
// about 0.8 pixels apart, their outer ones width - 1 apart; a width up to 1.2 is one line. End
// points in doubles, as Raster_ClipDLine leaves them.
void Raster_WideLine(Raster_IBitmap* bmp, double x1, double y1, double x2, double y2, float width, uint32_t color,
                     float weight, int mode, bool aa);

// Dashes along a polyline: `on` pixels drawn, `off` skipped, measured along the line, the
// pattern going on from one segment to the next. Each dash is a Raster_WideLine. Lengths are
// counted down dash by dash (never kept as a phase added to a position), so no rounding can
// stall the pattern. An `on` of 0 or less draws nothing, an `off` of 0 or less a plain line.
class Raster_DashedPolyline
{
public:
  Raster_DashedPolyline(double on, double off) : mOnLength(on), mOffLength(off), mLeft(on) {}
  // The next segment of the polyline.
  void Segment(Raster_IBitmap* bmp, double x1, double y1, double x2, double y2, float width, uint32_t color, float weight,
               int mode, bool aa);

private:
  void Toggle();
  double mOnLength, mOffLength;
  bool mOn = true;
  double mLeft;  // of the current dash or gap
};

// Radii 1.5, 2, 2.5, 3, 3.5 and 4 come from built-in masks at the rounded centre, all others
// from the circle drawer. Nothing is drawn for a negative radius.
void Raster_Circle(Raster_IBitmap* bmp, float cx, float cy, float r, uint32_t color, float weight, int mode, bool aa);
void Raster_FillCircle(Raster_IBitmap* bmp, float cx, float cy, float r, uint32_t color, float weight, int mode, bool aa);
// Angles in radians, 0 pointing up and growing clockwise: angle a is the point
// (cx + r sin a, cy - r cos a). A span of 2 pi or more is the whole circle.
void Raster_Arc(Raster_IBitmap* bmp, float cx, float cy, float r, float startAngle, float endAngle, uint32_t color,
                float weight, int mode, bool aa);
// Outline of the rectangle (x, y)-(x + w, y + h) with quarter-circle corners of the given radius.
void Raster_RoundRect(Raster_IBitmap* bmp, float x, float y, float w, float h, float cornerRadius, uint32_t color,
                      float weight, int mode, bool aa);

// Fills rows y1..y2 (inclusive); row y1 spans x1a..x1b, row y2 spans x2a..x2b, rows between
// follow the straight edges.
void Raster_FillTrapezoid(Raster_IBitmap* bmp, int x1a, int x1b, int y1, int x2a, int x2b, int y2, uint32_t color,
                          float weight, int mode);
// Fills the convex polygon including its boundary; each pixel is drawn once.
void Raster_FillConvexPolygon(Raster_IBitmap* bmp, const int* x, const int* y, int npoints, uint32_t color, float weight,
                              int mode);
void Raster_FillTriangle(Raster_IBitmap* bmp, int x1, int y1, int x2, int y2, int x3, int y3, uint32_t color,
                         float weight, int mode);
// A small convex polygon (vertices in either order round; pixel (x, y) covers x - 0.5 to
// x + 0.5) sampled 4 x 4 times per pixel: a pixel that n of its 16 samples find inside becomes
// (pixel x (16 - n) + color x n) / 16 per channel, rounded, and opaque. Slanted edges come out
// smooth without an outline to fatten them (plot markers). For opaque pictures: no weight or
// mode, the colour's alpha is ignored.
void Raster_FillConvexPolygonAA(Raster_IBitmap* bmp, const double* x, const double* y, int npoints, uint32_t color);

// Curves drawn as connected float lines; the segment count is the control polygon's length
// divided by `tolerance` (in pixels).
void Raster_DrawQBezier(Raster_IBitmap* bmp, float x1, float y1, float x2, float y2, float x3, float y3, uint32_t color,
                        float weight, int mode, bool aa, float tolerance);
void Raster_DrawCBezier(Raster_IBitmap* bmp, float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                        uint32_t color, float weight, int mode, bool aa, float tolerance);
// Fills between the cubic curve and the horizontal line y = baseY (column by column), or the
// vertical line x = baseX (row by row) for the X form.
void Raster_FillCBezier(Raster_IBitmap* bmp, float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                        float baseY, uint32_t color, float weight, int mode, float tolerance);
void Raster_FillCBezierX(Raster_IBitmap* bmp, float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                         float y4, float baseX, uint32_t color, float weight, int mode, float tolerance);
