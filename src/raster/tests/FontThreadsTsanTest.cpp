// Cached fonts on several threads at once: each editor instance may draw on its own thread,
// and all of them share the module-wide scratch bitmaps. Run under ThreadSanitizer by the
// tsan configuration; the output of every thread must equal a single-threaded draw.
#include <gtest/gtest.h>

#include <cstdio>
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

namespace {

// One editor's drawing with the shared font: its own colour, weight and bitmap. Glyph path
// (translucent colour) and native path (opaque colour), characters rendered on demand.
std::vector<uint32_t> RenderShared(Raster_CachedFont* font, int editor, int round)
{
  static const uint32_t kColours[2][2] = {{0x80FF2020u, 0xFF20FF20u}, {0xC02020FFu, 0xFFFFFF20u}};
  const uint32_t colour = kColours[editor][round & 1];
  Raster_MemBitmap bm(140, 50, 4);
  Test_Fill(&bm, 0xFF101010u);
  RECT r = {2, 2, 138, 48};
  // Per round new characters reach the glyph store while the other editor draws.
  char text[64];
  std::snprintf(text, sizeof(text), "THD %d.%03d %%\n\xC3%c\xE2\x82%c", round, editor * 100 + round, 0x80 + (round % 60),
                0x80 + ((round * 7 + editor) % 60));
  const UINT flags = DT_NOCLIP | ((colour >> 24) < 255 ? kRasterText_UseTextAlpha : 0);
  if (round % 3 == 2)
  {
    // Setters and draw kept together under the font's own lock.
    Util_MutexLock lock(font->GetLock());
    const uint32_t before = font->SetTextColor(colour);
    font->DrawText(&bm, text, -1, &r, flags);
    font->SetTextColor(before);
  }
  else
    font->DrawTextInColor(&bm, text, -1, &r, flags, colour);
  std::vector<uint32_t> px;
  for (int y = 0; y < bm.getHeight(); ++y)
    px.insert(px.end(), bm.getBits() + y * bm.getRowSpan(), bm.getBits() + y * bm.getRowSpan() + bm.getWidth());
  return px;
}

}  // namespace

// Two editors share one cached font (as the module-wide font cache hands it out) and draw on two
// threads, each in its own colour, while new glyphs are being rendered into the shared store.
// Every drawing must equal the same drawing made alone with a fresh font, and TSan must see no
// race on the glyph store, colour or weight.
TEST(CachedFontThreads, TwoEditorsShareOneFont)
{
  constexpr int kRounds = 24;
  std::unique_ptr<Raster_CachedFont> shared(Test_MakeFont("Arial", 14, false, 0x600));
  std::vector<uint32_t> alone[2][kRounds];
  for (int e = 0; e < 2; ++e)
    for (int round = 0; round < kRounds; ++round)
    {
      std::unique_ptr<Raster_CachedFont> own(Test_MakeFont("Arial", 14, false, 0x600));
      alone[e][round] = RenderShared(own.get(), e, round);
    }
  std::vector<uint32_t> together[2][kRounds];
  std::thread other([&] {
    for (int round = 0; round < kRounds; ++round) together[1][round] = RenderShared(shared.get(), 1, round);
  });
  for (int round = 0; round < kRounds; ++round) together[0][round] = RenderShared(shared.get(), 0, round);
  other.join();
  for (int e = 0; e < 2; ++e)
    for (int round = 0; round < kRounds; ++round) EXPECT_EQ(together[e][round], alone[e][round]) << e << " " << round;
  EXPECT_EQ(shared->GetTextColor(), 0u);  // every draw put the font's own colour back
}
