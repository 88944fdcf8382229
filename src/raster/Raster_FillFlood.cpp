// Raster_FillFlood.cpp - Raster_SimpleFill, a scanline flood fill.
#include <cstdlib>
#include <cstring>

#include "Raster_BlitCommon.h"
#include "Raster_Fill.h"

// Scanline fill with an explicit stack of seeds and a visited map. The map matters: the new
// colour may itself still match the seed under the compare mask, and without it such a fill
// would never end.
void Raster_SimpleFill(Raster_IBitmap* bm, int x, int y, uint32_t newColour, uint32_t compareMask, uint32_t keepMask)
{
  if (!Raster_Usable(bm) || x < 0 || y < 0 || x >= bm->getWidth() || y >= bm->getHeight()) return;
  int W = bm->getWidth(), H = bm->getHeight();
  uint32_t* bits = bm->getBits();
  uint8_t* visited = (uint8_t*)std::calloc((size_t)W * (size_t)H, 1);
  if (!visited) return;
  struct Seed
  {
    int x, y;
  };
  size_t cap = 256, top = 0;
  Seed* stack = (Seed*)std::malloc(cap * sizeof(Seed));
  if (!stack)
  {
    std::free(visited);
    return;
  }
  const uint32_t match = Raster_Row(bm, bits, y)[x] & compareMask;
  auto matches = [&](int px, int py) {
    return !visited[(size_t)py * W + px] && (Raster_Row(bm, bits, py)[px] & compareMask) == match;
  };
  auto push = [&](int px, int py) {
    if (top == cap)
    {
      Seed* grown = (Seed*)std::realloc(stack, cap * 2 * sizeof(Seed));
      if (!grown) return false;
      stack = grown;
      cap *= 2;
    }
    stack[top++] = {px, py};
    return true;
  };

  push(x, y);
  bool ok = true;
  while (top > 0 && ok)
  {
    Seed s = stack[--top];
    if (!matches(s.x, s.y)) continue;
    int l = s.x, r = s.x;
    while (l > 0 && matches(l - 1, s.y)) --l;
    while (r + 1 < W && matches(r + 1, s.y)) ++r;
    uint32_t* row = Raster_Row(bm, bits, s.y);
    for (int i = l; i <= r; ++i)
    {
      row[i] = (row[i] & keepMask) | newColour;
      visited[(size_t)s.y * W + i] = 1;
    }
    // One seed per run of matching pixels in the rows above and below.
    for (int ny = s.y - 1; ny <= s.y + 1 && ok; ny += 2)
    {
      if (ny < 0 || ny >= H) continue;
      bool inRun = false;
      for (int i = l; i <= r && ok; ++i)
      {
        bool m = matches(i, ny);
        if (m && !inRun) ok = push(i, ny);
        inRun = m;
      }
    }
  }
  std::free(stack);
  std::free(visited);
}
