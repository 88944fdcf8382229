// Cached fonts on several threads at once: each editor instance may draw on its own thread,
// and all of them share the module-wide scratch bitmaps. Run under ThreadSanitizer by the
// tsan configuration; the output of every thread must equal a single-threaded draw.
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "FontTestUtil.h"

namespace {

std::vector<uint32_t> Render(int seed)
{
  const FontStyle& s = kEditorStyles[seed % 4];
  // Alternate the glyph path, the native path into a bitmap without a context, and the
  // native path into a system bitmap.
  const int kind = seed % 3;
  std::unique_ptr<Raster_CachedFont> font(Test_MakeFont(s.face, s.size, s.bold, kind ? 0x600 : 0));
  font->SetTextColor(s.color);
  std::unique_ptr<Raster_IBitmap> bm;
  if (kind == 2)
    bm = std::make_unique<Raster_SysBitmap>(120, 60);
  else
    bm = std::make_unique<Raster_MemBitmap>(120, 60);
  Test_Fill(bm.get(), s.background);
  RECT r = {2, 2, 118, 58};
  font->DrawText(bm.get(), "THD=0.0012 %\nHarmonic1=0.5\n\xC3\xA9\xE2\x82\xAC", -1, &r, DT_NOCLIP);
  std::vector<uint32_t> px;
  for (int y = 0; y < bm->getHeight(); ++y)
    px.insert(px.end(), bm->getBits() + y * bm->getRowSpan(), bm->getBits() + y * bm->getRowSpan() + bm->getWidth());
  return px;
}

}  // namespace

TEST(CachedFontThreads, ParallelFontsMatchSerialDrawing)
{
  constexpr int kCases = 12;
  std::vector<std::vector<uint32_t>> serial;
  for (int i = 0; i < kCases; ++i) serial.push_back(Render(i));
  std::vector<std::vector<uint32_t>> parallel(kCases);
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t)
    threads.emplace_back([&, t] {
      for (int rep = 0; rep < 3; ++rep)
        for (int i = t; i < kCases; i += 3) parallel[i] = Render(i);
    });
  for (auto& th : threads) th.join();
  for (int i = 0; i < kCases; ++i) EXPECT_EQ(parallel[i], serial[i]) << i;
}
