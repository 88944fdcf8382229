// The layer's module-wide caches (fontconfig lookups, faces, rendered glyphs) under
// concurrent use; run under ThreadSanitizer by the tsan configuration.
#include "GdiEmu.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>
#include <vector>

namespace {

HFONT MakeFont(int height, bool bold, const char* face)
{
  return CreateFont(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, 0, 0, 0, DEFAULT_QUALITY, 0, face);
}

}  // namespace

// Module-wide caches are shared by every thread; drawing in parallel must give what a
// single thread draws.
TEST(GdiEmuThreads, ParallelFontCreationAndDrawingMatchSerial)
{
  auto render = [](int seed) {
    HDC dc = GdiEmu_CreateMemContext(nullptr, 120, 40);
    HFONT f = MakeFont(12 + seed % 5, seed % 2 == 0, seed % 3 ? "Verdana" : "Arial");
    HGDIOBJ old = SelectObject(dc, f);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT r = {0, 0, 120, 40};
    char text[32];
    std::snprintf(text, sizeof(text), "THD=%d.%03d%%\xC3\xA9", seed, seed * 7 % 1000);
    GdiEmu_DrawText(dc, text, -1, &r, DT_NOPREFIX);
    std::vector<uint32_t> px(GdiEmu_GetCtxFrameBuffer(dc), GdiEmu_GetCtxFrameBuffer(dc) + 120 * 40);
    SelectObject(dc, old);
    DeleteObject(f);
    GdiEmu_DeleteGfxContext(dc);
    return px;
  };
  std::vector<std::vector<uint32_t>> serial;
  for (int i = 0; i < 8; ++i) serial.push_back(render(i));
  std::vector<std::vector<uint32_t>> parallel(8);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int rep = 0; rep < 5; ++rep)
        for (int i = t; i < 8; i += 4) parallel[i] = render(i);
    });
  for (auto& th : threads) th.join();
  for (int i = 0; i < 8; ++i) EXPECT_EQ(parallel[i], serial[i]) << i;
}
