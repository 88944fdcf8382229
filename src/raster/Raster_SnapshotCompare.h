// Raster_SnapshotCompare.h - strict comparison of a drawn image with a recorded snapshot, for
// tests (text goldens here, editor snapshots in the editor's tests). Library target
// vx_raster_snapshot; nothing in the drawing code uses it.
//
// Why not "few pixels differ": a whole glyph is a few dozen pixels, so a rule like "at most
// 0.5 % of the pixels differ by more than 16" lets a "%" vanish from a results text unnoticed.
// Anti-aliasing and rounding, on the other hand, move single edge pixels by small amounts and
// must not fail a comparison. Raster_CompareSnapshot therefore checks three things:
//
// 1. Ink per text line. A pixel is ink when one of its channels differs from the background by
//    more than inkThreshold. Rows holding ink form bands (text lines, or any horizontal run of
//    drawn content), separated by rows without ink. Both images must have the same number of
//    bands, and each band must have the same ink bounding box (every edge within boxAllowance
//    pixels) and the same ink pixel count (within inkCountAllowance pixels plus
//    inkCountRelative of the expected count). A missing or extra glyph at the end of a line
//    moves the box; one inside a line changes the count and, in proportional text, the box.
// 2. Clusters of differences. Pixels with a channel differing by more than channelTolerance
//    are grouped into 8-connected clusters; no cluster may hold more than maxDifferenceCluster
//    pixels. A glyph that vanished, appeared or moved leaves a cluster of its size; edge noise
//    leaves single pixels. This check also works on images without a plain background.
// 3. Overall: at most maxDifferingPercent of all pixels differ by more than channelTolerance.
// 4. Exact where the picture is smooth. Anti-aliasing differs between builds (text engines,
//    their versions) only at edges; where the expected image has no step larger than
//    channelTolerance within exactRadius pixels, the pixels come from fills, blits and
//    gradients, which are fully determined, and must be equal. A colour or brightness shifted
//    by less than the tolerance fails here.
//
// Raster_ExactSnapshotOptions() compares every pixel exactly: for two pictures drawn by the same
// build (a picture and its PNG read back, one state drawn twice).
//
// The background is the most frequent pixel of the expected image unless one is given.
//
// Usage:
//   Raster_SnapshotOptions opt;            // defaults suit anti-aliased text
//   Raster_SnapshotReport rep = Raster_CompareSnapshot(actual, golden, opt);
//   EXPECT_TRUE(rep.match) << rep.reason;
#pragma once

#include <cstdint>
#include <string>

#include "Raster_Bitmap.h"

struct Raster_SnapshotOptions
{
  bool autoBackground = true;  // take the most frequent pixel of the expected image
  uint32_t background = 0;     // used when autoBackground is false

  // 1. Ink per line.
  int inkThreshold = 64;           // channel distance from the background that makes ink
  int boxAllowance = 1;            // pixels each edge of a line's ink box may move
  int inkCountAllowance = 4;       // absolute allowance on a line's ink pixel count...
  double inkCountRelative = 0.03;  // ...plus this share of the expected count

  // 2. and 3. Differences.
  int channelTolerance = 16;          // a pixel differs when a channel differs by more
  int maxDifferenceCluster = 8;       // largest connected group of differing pixels
  double maxDifferingPercent = 0.5;   // share of all pixels that may differ

  // 4. Smooth areas.
  int exactRadius = 2;  // a pixel with no step above channelTolerance this near must be equal; -1: off
};

// Every pixel equal.
Raster_SnapshotOptions Raster_ExactSnapshotOptions();

// One band of ink rows: its ink bounding box (right and bottom exclusive) and ink count.
struct Raster_SnapshotLine
{
  int left = 0, top = 0, right = 0, bottom = 0;
  int inkCount = 0;
};

struct Raster_SnapshotReport
{
  bool match = false;
  std::string reason;  // empty on a match; otherwise what failed first, in words
  int expectedLines = 0, actualLines = 0;
  int largestCluster = 0;   // pixels in the largest group of differing pixels
  double differingPercent = 0.0;
  int smoothDiffering = 0;  // pixels that differ at all where the expected picture is smooth
};

// Compares actual with expected (same size required). Null or empty bitmaps never match.
Raster_SnapshotReport Raster_CompareSnapshot(Raster_IBitmap* actual, Raster_IBitmap* expected,
                                             const Raster_SnapshotOptions& options = Raster_SnapshotOptions());

// The ink bands of one image under the options' threshold, top to bottom; for tests that want
// to look at lines themselves. Returns the number of bands written (at most maxLines).
int Raster_SnapshotLines(Raster_IBitmap* image, uint32_t background, int inkThreshold, Raster_SnapshotLine* lines,
                         int maxLines);

// True when the environment asks golden tests to write their pictures instead of comparing:
// VX_UPDATE_GOLDENS=1, and nothing else (unset, empty, "0" or any other value compares). Every
// golden test asks this one function, so one setting means the same everywhere.
bool Raster_UpdateGoldensRequested();
