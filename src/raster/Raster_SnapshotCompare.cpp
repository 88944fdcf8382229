// Raster_SnapshotCompare.cpp - ink lines, difference clusters and the overall share of
// differing pixels (see the header for the rules).
#include "Raster_SnapshotCompare.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>
#include <vector>

namespace
{
uint32_t PixelAt(Raster_IBitmap* bm, int x, int y)
{
  const int row = bm->isFlipped() ? bm->getHeight() - 1 - y : y;
  return bm->getBits()[(size_t)row * (size_t)bm->getRowSpan() + (size_t)x];
}

int ChannelDistance(uint32_t a, uint32_t b)
{
  int d = 0;
  for (int sh = 0; sh < 32; sh += 8) d = std::max(d, std::abs((int)((a >> sh) & 0xFF) - (int)((b >> sh) & 0xFF)));
  return d;
}

bool Usable(Raster_IBitmap* bm) { return bm && bm->getBits() && bm->getWidth() > 0 && bm->getHeight() > 0; }

uint32_t MostFrequentPixel(Raster_IBitmap* bm)
{
  std::unordered_map<uint32_t, int> counts;
  uint32_t best = 0;
  int bestCount = 0;
  for (int y = 0; y < bm->getHeight(); ++y)
    for (int x = 0; x < bm->getWidth(); ++x)
    {
      const uint32_t p = PixelAt(bm, x, y);
      const int c = ++counts[p];
      if (c > bestCount) best = p, bestCount = c;
    }
  return best;
}

std::vector<Raster_SnapshotLine> Lines(Raster_IBitmap* bm, uint32_t background, int threshold)
{
  std::vector<Raster_SnapshotLine> lines;
  bool open = false;
  for (int y = 0; y < bm->getHeight(); ++y)
  {
    int rowInk = 0, l = 1 << 30, r = -1;
    for (int x = 0; x < bm->getWidth(); ++x)
      if (ChannelDistance(PixelAt(bm, x, y), background) > threshold)
      {
        ++rowInk;
        l = std::min(l, x);
        r = std::max(r, x);
      }
    if (!rowInk)
    {
      open = false;
      continue;
    }
    if (!open)
    {
      Raster_SnapshotLine line;
      line.left = l;
      line.right = r + 1;
      line.top = y;
      lines.push_back(line);
      open = true;
    }
    Raster_SnapshotLine& line = lines.back();
    line.left = std::min(line.left, l);
    line.right = std::max(line.right, r + 1);
    line.bottom = y + 1;
    line.inkCount += rowInk;
  }
  return lines;
}

// Size of the largest 8-connected group of set cells.
int LargestCluster(std::vector<uint8_t>& mask, int w, int h)
{
  int largest = 0;
  std::vector<int> stack;
  for (int start = 0; start < w * h; ++start)
  {
    if (!mask[start]) continue;
    int size = 0;
    mask[start] = 0;
    stack.push_back(start);
    while (!stack.empty())
    {
      const int p = stack.back();
      stack.pop_back();
      ++size;
      const int px = p % w, py = p / w;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
        {
          const int nx = px + dx, ny = py + dy;
          if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
          const int n = ny * w + nx;
          if (!mask[n]) continue;
          mask[n] = 0;
          stack.push_back(n);
        }
    }
    largest = std::max(largest, size);
  }
  return largest;
}

// Pixels that differ at all although no pixel of the expected image within radius of them
// steps away from theirs by more than the tolerance; the first one found in *first.
int SmoothDiffering(Raster_IBitmap* actual, Raster_IBitmap* expected, int radius, int tolerance, int* first)
{
  const int w = expected->getWidth(), h = expected->getHeight();
  int count = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
    {
      const uint32_t want = PixelAt(expected, x, y);
      if (PixelAt(actual, x, y) == want) continue;
      bool nearStep = false;
      for (int ny = std::max(0, y - radius); ny <= std::min(h - 1, y + radius) && !nearStep; ++ny)
        for (int nx = std::max(0, x - radius); nx <= std::min(w - 1, x + radius) && !nearStep; ++nx)
          nearStep = ChannelDistance(PixelAt(expected, nx, ny), want) > tolerance;
      if (nearStep) continue;
      if (!count) *first = y * w + x;
      ++count;
    }
  return count;
}

std::string Hex(uint32_t v)
{
  char buf[16];
  std::snprintf(buf, sizeof(buf), "0x%08X", (unsigned)v);
  return buf;
}

std::string Describe(const Raster_SnapshotLine& l)
{
  char buf[96];
  std::snprintf(buf, sizeof(buf), "ink box (%d,%d)-(%d,%d), %d ink pixels", l.left, l.top, l.right, l.bottom, l.inkCount);
  return buf;
}
}  // namespace

int Raster_SnapshotLines(Raster_IBitmap* image, uint32_t background, int inkThreshold, Raster_SnapshotLine* lines,
                         int maxLines)
{
  if (!Usable(image)) return 0;
  const std::vector<Raster_SnapshotLine> found = Lines(image, background, inkThreshold);
  const int n = std::min((int)found.size(), std::max(0, maxLines));
  for (int i = 0; i < n && lines; ++i) lines[i] = found[(size_t)i];
  return n;
}

Raster_SnapshotReport Raster_CompareSnapshot(Raster_IBitmap* actual, Raster_IBitmap* expected, const Raster_SnapshotOptions& o)
{
  Raster_SnapshotReport rep;
  if (!Usable(actual) || !Usable(expected))
  {
    rep.reason = "an image is missing or empty";
    return rep;
  }
  const int w = expected->getWidth(), h = expected->getHeight();
  if (actual->getWidth() != w || actual->getHeight() != h)
  {
    rep.reason = "size differs: " + std::to_string(actual->getWidth()) + "x" + std::to_string(actual->getHeight()) +
                 " instead of " + std::to_string(w) + "x" + std::to_string(h);
    return rep;
  }

  // 2. and 3.: differing pixels, their clusters and their share.
  std::vector<uint8_t> diff((size_t)w * (size_t)h, 0);
  int differing = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (ChannelDistance(PixelAt(actual, x, y), PixelAt(expected, x, y)) > o.channelTolerance)
      {
        diff[(size_t)y * (size_t)w + (size_t)x] = 1;
        ++differing;
      }
  rep.differingPercent = 100.0 * differing / ((double)w * h);
  rep.largestCluster = differing ? LargestCluster(diff, w, h) : 0;

  // 1.: ink lines.
  const uint32_t background = o.autoBackground ? MostFrequentPixel(expected) : o.background;
  const std::vector<Raster_SnapshotLine> want = Lines(expected, background, o.inkThreshold);
  const std::vector<Raster_SnapshotLine> got = Lines(actual, background, o.inkThreshold);
  rep.expectedLines = (int)want.size();
  rep.actualLines = (int)got.size();

  if (want.size() != got.size())
  {
    rep.reason = std::to_string(got.size()) + " lines of ink instead of " + std::to_string(want.size());
    return rep;
  }
  for (size_t i = 0; i < want.size(); ++i)
  {
    const Raster_SnapshotLine &e = want[i], &a = got[i];
    const int countAllowance = o.inkCountAllowance + (int)(o.inkCountRelative * e.inkCount);
    const bool boxOk = std::abs(a.left - e.left) <= o.boxAllowance && std::abs(a.right - e.right) <= o.boxAllowance &&
                       std::abs(a.top - e.top) <= o.boxAllowance && std::abs(a.bottom - e.bottom) <= o.boxAllowance;
    if (!boxOk || std::abs(a.inkCount - e.inkCount) > countAllowance)
    {
      rep.reason = "line " + std::to_string(i + 1) + ": " + Describe(a) + " instead of " + Describe(e);
      return rep;
    }
  }
  if (rep.largestCluster > o.maxDifferenceCluster)
  {
    rep.reason = "a group of " + std::to_string(rep.largestCluster) + " neighbouring pixels differs (at most " +
                 std::to_string(o.maxDifferenceCluster) + " allowed)";
    return rep;
  }
  if (rep.differingPercent > o.maxDifferingPercent)
  {
    rep.reason = std::to_string(rep.differingPercent) + " % of the pixels differ by more than " +
                 std::to_string(o.channelTolerance);
    return rep;
  }
  if (o.exactRadius >= 0)
  {
    int first = 0;
    rep.smoothDiffering = SmoothDiffering(actual, expected, o.exactRadius, o.channelTolerance, &first);
    if (rep.smoothDiffering)
    {
      const int x = first % w, y = first / w;
      rep.reason = std::to_string(rep.smoothDiffering) + " pixels differ where the picture is smooth (first at " +
                   std::to_string(x) + "," + std::to_string(y) + ": " + Hex(PixelAt(actual, x, y)) + " instead of " +
                   Hex(PixelAt(expected, x, y)) + ")";
      return rep;
    }
  }
  rep.match = true;
  return rep;
}

Raster_SnapshotOptions Raster_ExactSnapshotOptions()
{
  Raster_SnapshotOptions o;
  o.inkCountAllowance = 0;
  o.inkCountRelative = 0.0;
  o.boxAllowance = 0;
  o.channelTolerance = 0;
  o.maxDifferenceCluster = 0;
  o.maxDifferingPercent = 0.0;
  return o;
}

bool Raster_UpdateGoldensRequested()
{
  const char* value = std::getenv("VX_UPDATE_GOLDENS");
  return value && std::string(value) == "1";
}
