// PNG decoding: every colour type and bit depth lands as 0xAARRGGBB words with straight alpha,
// bad input gives null without touching the caller's bitmap, and the loader record checks names;
// encoding writes what decoding reads back, and every failure to write is reported.
#include "PngFixture.h"
#include "Raster_Bitmap.h"
#include "Raster_PNG.h"
#include "Raster_PNGWrite.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace
{
uint32_t PixelAt(Raster_IBitmap* b, int x, int y)
{
  const int row = b->isFlipped() ? b->getHeight() - 1 - y : y;
  return b->getBits()[(size_t)row * b->getRowSpan() + x];
}

std::unique_ptr<Raster_IBitmap> Load(const std::vector<uint8_t>& bytes)
{
  return std::unique_ptr<Raster_IBitmap>(Raster_LoadPNGFromMemory(bytes.data(), bytes.size(), nullptr));
}

std::string TempPath(const char* name)
{
  // Several builds may run this test at once: keep their files apart.
  static const long long stamp = (long long)std::chrono::steady_clock::now().time_since_epoch().count();
  return ::testing::TempDir() + "vx_png_" + std::to_string(stamp) + "_" + name;
}

// Bitmap that stores its rows bottom-up.
class FlippedBitmap : public Raster_MemBitmap
{
public:
  using Raster_MemBitmap::Raster_MemBitmap;
  bool isFlipped() override { return true; }
};

// Bitmap that refuses to change its size.
class FixedBitmap : public Raster_MemBitmap
{
public:
  using Raster_MemBitmap::Raster_MemBitmap;
  bool resize(int, int) override { return false; }
};

void FillWith(Raster_IBitmap* b, uint32_t v)
{
  for (int y = 0; y < b->getHeight(); ++y)
    for (int x = 0; x < b->getWidth(); ++x)
      b->getBits()[(size_t)y * b->getRowSpan() + x] = v;
}

// The value a decoded sample of `depth` bits takes after expansion / stripping to 8 bits.
uint32_t To8(unsigned v, int depth)
{
  if (depth == 16)
    return v >> 8;
  return v * 255u / ((1u << depth) - 1u);
}

// Expected word of pixel i of a fixture, computed from its samples.
uint32_t Expected(const PngFixture& f, int i)
{
  const unsigned* s = f.samples.data();
  const int d = f.bitDepth;
  switch (f.colorType)
  {
    case PNG_COLOR_TYPE_GRAY:
    {
      const uint32_t g = To8(s[i], d);
      const uint32_t a = (f.hasKey && s[i] == f.trnsKey[0]) ? 0 : 255;
      return a << 24 | g << 16 | g << 8 | g;
    }
    case PNG_COLOR_TYPE_GRAY_ALPHA:
    {
      const uint32_t g = To8(s[2 * i], d);
      return To8(s[2 * i + 1], d) << 24 | g << 16 | g << 8 | g;
    }
    case PNG_COLOR_TYPE_RGB:
    {
      const unsigned* p = s + 3 * i;
      const bool keyed = f.hasKey && p[0] == f.trnsKey[0] && p[1] == f.trnsKey[1] && p[2] == f.trnsKey[2];
      return (keyed ? 0u : 255u) << 24 | To8(p[0], d) << 16 | To8(p[1], d) << 8 | To8(p[2], d);
    }
    case PNG_COLOR_TYPE_RGB_ALPHA:
    {
      const unsigned* p = s + 4 * i;
      return To8(p[3], d) << 24 | To8(p[0], d) << 16 | To8(p[1], d) << 8 | To8(p[2], d);
    }
    case PNG_COLOR_TYPE_PALETTE:
    {
      const unsigned k = s[i];
      const uint32_t a = k < f.paletteAlpha.size() ? f.paletteAlpha[k] : 255u;
      return a << 24 | (uint32_t)f.paletteRGB[3 * k] << 16 | (uint32_t)f.paletteRGB[3 * k + 1] << 8 |
             f.paletteRGB[3 * k + 2];
    }
  }
  return 0;
}

int SamplesPerPixel(int colorType)
{
  return colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
         : colorType == PNG_COLOR_TYPE_RGB      ? 3
         : colorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                                                 : 1;
}

PngFixture RandomFixture(int colorType, int depth, int w, int h, bool interlaced, unsigned seed)
{
  std::mt19937 rng(seed);
  PngFixture f;
  f.width = w;
  f.height = h;
  f.bitDepth = depth;
  f.colorType = colorType;
  f.interlaced = interlaced;
  const unsigned maxv = (1u << depth) - 1u;
  if (colorType == PNG_COLOR_TYPE_PALETTE)
  {
    const int entries = 1 << depth;
    for (int i = 0; i < entries * 3; ++i)
      f.paletteRGB.push_back((uint8_t)rng());
    for (int i = 0; i < entries / 2 + 1 && i < entries; ++i)
      f.paletteAlpha.push_back((uint8_t)rng());
  }
  for (int i = 0; i < w * h * SamplesPerPixel(colorType); ++i)
    f.samples.push_back(rng() & maxv);
  return f;
}

void ExpectImage(const PngFixture& f, Raster_IBitmap* b)
{
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(b->getWidth(), f.width);
  ASSERT_EQ(b->getHeight(), f.height);
  for (int y = 0; y < f.height; ++y)
    for (int x = 0; x < f.width; ++x)
      ASSERT_EQ(PixelAt(b, x, y), Expected(f, y * f.width + x)) << "pixel " << x << "," << y;
}
}  // namespace

// Every colour type at every legal bit depth, plain and interlaced.
TEST(PngDecode, AllFormatsMatchTheirSamples)
{
  struct Case
  {
    int colorType;
    int depth;
  };
  const Case cases[] = {
      {PNG_COLOR_TYPE_GRAY, 1},      {PNG_COLOR_TYPE_GRAY, 2},      {PNG_COLOR_TYPE_GRAY, 4},
      {PNG_COLOR_TYPE_GRAY, 8},      {PNG_COLOR_TYPE_GRAY, 16},     {PNG_COLOR_TYPE_GRAY_ALPHA, 8},
      {PNG_COLOR_TYPE_GRAY_ALPHA, 16}, {PNG_COLOR_TYPE_RGB, 8},     {PNG_COLOR_TYPE_RGB, 16},
      {PNG_COLOR_TYPE_RGB_ALPHA, 8}, {PNG_COLOR_TYPE_RGB_ALPHA, 16}, {PNG_COLOR_TYPE_PALETTE, 1},
      {PNG_COLOR_TYPE_PALETTE, 2},   {PNG_COLOR_TYPE_PALETTE, 4},   {PNG_COLOR_TYPE_PALETTE, 8},
  };
  unsigned seed = 1;
  for (const Case& c : cases)
    for (bool interlaced : {false, true})
    {
      SCOPED_TRACE("colour type " + std::to_string(c.colorType) + " depth " + std::to_string(c.depth) +
                   (interlaced ? " interlaced" : ""));
      // Odd sizes exercise partial bytes of packed rows and the row span padding.
      const PngFixture f = RandomFixture(c.colorType, c.depth, 13, 7, interlaced, seed++);
      const std::vector<uint8_t> bytes = PngEncode(f);
      ASSERT_FALSE(bytes.empty());
      auto b = Load(bytes);
      ExpectImage(f, b.get());
      EXPECT_EQ(b->getRowSpan() % 4, 0);  // a new bitmap has row alignment 4
    }
}

TEST(PngDecode, OneBitGreyIsOpaqueBlackAndWhite)
{
  PngFixture f;
  f.width = 10;
  f.height = 1;
  f.bitDepth = 1;
  f.colorType = PNG_COLOR_TYPE_GRAY;
  f.samples = {1, 0, 0, 1, 1, 0, 1, 0, 0, 1};
  auto b = Load(PngEncode(f));
  ASSERT_NE(b, nullptr);
  for (int x = 0; x < 10; ++x)
    EXPECT_EQ(PixelAt(b.get(), x, 0), f.samples[x] ? 0xFFFFFFFFu : 0xFF000000u) << x;
}

TEST(PngDecode, PaletteTransparencyGivesPaletteAlpha)
{
  PngFixture f;
  f.width = 4;
  f.height = 1;
  f.bitDepth = 2;
  f.colorType = PNG_COLOR_TYPE_PALETTE;
  f.paletteRGB = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
  f.paletteAlpha = {0, 128};  // entries 2 and 3 have no alpha: opaque
  f.samples = {0, 1, 2, 3};
  auto b = Load(PngEncode(f));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(PixelAt(b.get(), 0, 0), 0x000A141Eu);
  EXPECT_EQ(PixelAt(b.get(), 1, 0), 0x8028323Cu);
  EXPECT_EQ(PixelAt(b.get(), 2, 0), 0xFF46505Au);
  EXPECT_EQ(PixelAt(b.get(), 3, 0), 0xFF646E78u);
}

TEST(PngDecode, ColourKeyTransparency)
{
  PngFixture f;
  f.width = 3;
  f.height = 1;
  f.colorType = PNG_COLOR_TYPE_RGB;
  f.samples = {1, 2, 3, 1, 2, 4, 255, 255, 255};
  f.hasKey = true;
  f.trnsKey[0] = 1;
  f.trnsKey[1] = 2;
  f.trnsKey[2] = 3;
  auto b = Load(PngEncode(f));
  ExpectImage(f, b.get());
  EXPECT_EQ(PixelAt(b.get(), 0, 0), 0x00010203u);
  EXPECT_EQ(PixelAt(b.get(), 1, 0), 0xFF010204u);

  PngFixture g = RandomFixture(PNG_COLOR_TYPE_GRAY, 4, 9, 3, false, 77);
  g.hasKey = true;
  g.trnsKey[0] = g.samples[4];
  auto gb = Load(PngEncode(g));
  ExpectImage(g, gb.get());
  EXPECT_EQ(PixelAt(gb.get(), 4, 0) >> 24, 0u);
}

TEST(PngDecode, SixteenBitRgbaDropsTheLowByte)
{
  PngFixture f;
  f.width = 2;
  f.height = 1;
  f.bitDepth = 16;
  f.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
  f.samples = {0x12FF, 0x3400, 0x5680, 0x78FF, 0xFFFF, 0x00FF, 0x8001, 0x0100};
  auto b = Load(PngEncode(f));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(PixelAt(b.get(), 0, 0), 0x78123456u);
  EXPECT_EQ(PixelAt(b.get(), 1, 0), 0x01FF0080u);
}

// A pixel R 1, G 2, B 3, A 4 is the word 0x04010203 and the bytes 3, 2, 1, 4 in memory.
TEST(PngDecode, PixelByteOrder)
{
  PngFixture f;
  f.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
  f.samples = {1, 2, 3, 4};
  auto b = Load(PngEncode(f));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(PixelAt(b.get(), 0, 0), 0x04010203u);
  const unsigned char* bytes = (const unsigned char*)b->getBits();
  EXPECT_EQ(bytes[0], 3);
  EXPECT_EQ(bytes[1], 2);
  EXPECT_EQ(bytes[2], 1);
  EXPECT_EQ(bytes[3], 4);
}

TEST(PngDecode, CallersBitmapIsResizedAndReturned)
{
  const PngFixture f = RandomFixture(PNG_COLOR_TYPE_RGB, 8, 5, 4, false, 3);
  Raster_MemBitmap target(40, 2, 16);
  EXPECT_EQ(Raster_LoadPNGFromMemory(PngEncode(f).data(), PngEncode(f).size(), &target), &target);
  ExpectImage(f, &target);
  EXPECT_EQ(target.getRowSpan(), 16);
}

TEST(PngDecode, FlippedBitmapGetsRowZeroAtTheBottom)
{
  const PngFixture f = RandomFixture(PNG_COLOR_TYPE_RGB_ALPHA, 8, 3, 5, false, 4);
  const std::vector<uint8_t> bytes = PngEncode(f);
  const std::string path = TempPath("flip.png");
  ASSERT_TRUE(PngWriteFile(path, bytes));
  for (int fromFile = 0; fromFile < 2; ++fromFile)
  {
    FlippedBitmap target(1, 1, 4);
    Raster_IBitmap* r = fromFile ? Raster_LoadPNG(path.c_str(), &target)
                                 : Raster_LoadPNGFromMemory(bytes.data(), bytes.size(), &target);
    ASSERT_EQ(r, &target);
    ExpectImage(f, &target);
    // Logical row 0 is the last row in memory.
    EXPECT_EQ(target.getBits()[4 * target.getRowSpan()], Expected(f, 0));
  }
  remove(path.c_str());
}

// Short or unsigned buffers are refused before anything is touched.
TEST(PngDecode, BadBuffersLeaveTheBitmapAlone)
{
  const std::vector<uint8_t> good = PngEncode(RandomFixture(PNG_COLOR_TYPE_RGB, 8, 4, 4, false, 5));
  std::vector<uint8_t> badSig = good;
  badSig[1] = 'p';
  struct Case
  {
    const char* what;
    const void* data;
    size_t len;
  };
  const Case cases[] = {
      {"7 bytes", good.data(), 7},
      {"bad signature", badSig.data(), badSig.size()},
      {"null data", nullptr, 100},
      {"empty", good.data(), 0},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.what);
    Raster_MemBitmap target(3, 2, 4);
    FillWith(&target, 0x12345678u);
    EXPECT_EQ(Raster_LoadPNGFromMemory(c.data, c.len, &target), nullptr);
    EXPECT_EQ(target.getWidth(), 3);
    EXPECT_EQ(target.getHeight(), 2);
    EXPECT_EQ(PixelAt(&target, 2, 1), 0x12345678u);
    EXPECT_EQ(Raster_LoadPNGFromMemory(c.data, c.len, nullptr), nullptr);
  }
}

// Damaged streams fail inside libpng; the error return must free everything (the sanitizer
// build's leak checker watches these).
TEST(PngDecode, DecodingErrorsReturnNull)
{
  const PngFixture f = RandomFixture(PNG_COLOR_TYPE_RGB_ALPHA, 8, 32, 32, false, 6);
  const std::vector<uint8_t> good = PngEncode(f);
  ASSERT_GT(good.size(), 100u);

  std::vector<std::pair<std::string, std::vector<uint8_t>>> bad;
  bad.push_back({"signature only", std::vector<uint8_t>(good.begin(), good.begin() + 8)});
  bad.push_back({"cut inside IHDR", std::vector<uint8_t>(good.begin(), good.begin() + 20)});
  bad.push_back({"cut inside IDAT", std::vector<uint8_t>(good.begin(), good.end() - 40)});
  std::vector<uint8_t> crc = good;
  crc[29] ^= 0xFF;  // IHDR's CRC
  bad.push_back({"IHDR CRC", crc});
  std::vector<uint8_t> zeroWidth = good;
  memset(&zeroWidth[16], 0, 4);
  bad.push_back({"zero width", zeroWidth});
  std::vector<uint8_t> data = good;
  data[good.size() - 30] ^= 0x55;  // inside the compressed data (and its CRC no longer matches)
  bad.push_back({"damaged IDAT", data});

  for (const auto& c : bad)
  {
    SCOPED_TRACE(c.first);
    EXPECT_EQ(Raster_LoadPNGFromMemory(c.second.data(), c.second.size(), nullptr), nullptr);
    Raster_MemBitmap target(2, 2, 4);
    EXPECT_EQ(Raster_LoadPNGFromMemory(c.second.data(), c.second.size(), &target), nullptr);
  }
}

// A 3 x 3 image whose IDAT chunk claims about a gigabyte (found by fuzzing; also in the fuzz
// corpus). Reading past the end of the data must end the load at once: a reader that pads with
// zeros lets libpng read the whole claimed length (seconds) before the checksum fails.
TEST(PngDecode, ChunkLongerThanTheDataFailsAtOnce)
{
  static const uint8_t kFile[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D,
    0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x03,
    0x08, 0x06, 0x00, 0x00, 0x01, 0x21, 0x2F, 0x85, 0x29, 0x3D, 0x00, 0x00,
    0x2C, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0x15, 0xC7, 0x41, 0x0D, 0x00,
    0x30, 0x0C, 0x03, 0xB1, 0x83, 0x18, 0x88, 0x61, 0x30, 0x1A, 0xC7, 0x60,
    0x20, 0x06, 0xA2, 0x53, 0x3F, 0x96, 0x0C, 0x38, 0x74, 0xA1, 0x4E, 0xEB,
    0x21, 0xBB, 0xD4, 0x0B, 0x71, 0x12, 0x5F, 0xE3, 0xED, 0x99, 0x12, 0x14,
    0xEC, 0x93, 0xC1, 0xD4, 0xB9, 0x00, 0x00,
  };
  static_assert(sizeof(kFile) == 91, "the file as found");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Raster_LoadPNGFromMemory(kFile, sizeof(kFile), nullptr), nullptr);
  Raster_MemBitmap target(2, 2, 4);
  EXPECT_EQ(Raster_LoadPNGFromMemory(kFile, sizeof(kFile), &target), nullptr);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // Milliseconds when the reader stops at the end; ten seconds and more when it pads. The bound
  // is generous so that a loaded machine or a sanitizer build cannot trip it.
  EXPECT_LT(seconds, 1.0);
}

TEST(PngDecode, BitmapThatCannotTakeTheSizeFails)
{
  const std::vector<uint8_t> bytes = PngEncode(RandomFixture(PNG_COLOR_TYPE_RGB, 8, 6, 6, false, 8));
  FixedBitmap target(2, 2, 4);
  EXPECT_EQ(Raster_LoadPNGFromMemory(bytes.data(), bytes.size(), &target), nullptr);
  EXPECT_EQ(target.getWidth(), 2);
}

TEST(PngDecode, OversizedHeaderIsRefused)
{
  // A valid header claiming 60000 x 60000 pixels (14 GB as bitmap) must fail without allocating.
  PngFixture f = RandomFixture(PNG_COLOR_TYPE_GRAY, 8, 1, 1, false, 9);
  std::vector<uint8_t> bytes = PngEncode(f);
  const uint32_t big = 60000;
  for (int k = 0; k < 2; ++k)
  {
    bytes[16 + 4 * k] = (uint8_t)(big >> 24);
    bytes[17 + 4 * k] = (uint8_t)(big >> 16);
    bytes[18 + 4 * k] = (uint8_t)(big >> 8);
    bytes[19 + 4 * k] = (uint8_t)big;
  }
  const uint32_t crc = (uint32_t)crc32(crc32(0, nullptr, 0), &bytes[12], 17);
  bytes[29] = (uint8_t)(crc >> 24);
  bytes[30] = (uint8_t)(crc >> 16);
  bytes[31] = (uint8_t)(crc >> 8);
  bytes[32] = (uint8_t)crc;
  EXPECT_EQ(Raster_LoadPNGFromMemory(bytes.data(), bytes.size(), nullptr), nullptr);
}

TEST(PngFile, LoadsAndFailsCleanly)
{
  const PngFixture f = RandomFixture(PNG_COLOR_TYPE_PALETTE, 4, 7, 3, false, 10);
  const std::string path = TempPath("image.png");
  ASSERT_TRUE(PngWriteFile(path, PngEncode(f)));
  std::unique_ptr<Raster_IBitmap> b(Raster_LoadPNG(path.c_str()));
  ExpectImage(f, b.get());
  remove(path.c_str());

  EXPECT_EQ(Raster_LoadPNG(path.c_str()), nullptr);  // gone
  EXPECT_EQ(Raster_LoadPNG(nullptr), nullptr);
  EXPECT_EQ(Raster_LoadPNG(""), nullptr);
  const std::string junk = TempPath("junk.png");
  ASSERT_TRUE(PngWriteFile(junk, std::vector<uint8_t>(100, 'x')));
  EXPECT_EQ(Raster_LoadPNG(junk.c_str()), nullptr);
  remove(junk.c_str());
}

TEST(PngLoader, ExtensionCheck)
{
  const struct
  {
    const char* name;
    bool png;
  } cases[] = {
      {"image.png", true},     {"IMAGE.PNG", true},         {"a.b.Png", true},     {"dir/x.pNg", true},
      {"image.bmp", false},    {"image", false},            {"image.png.bak", false}, {"dir.png/image", false},
      {"dir.png\\image", false}, {"image.pn", false},        {"image.pngx", false}, {".png", true},
      {"", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Raster_HasPNGExtension(c.name), c.png) << c.name;
  EXPECT_FALSE(Raster_HasPNGExtension(nullptr));
}

TEST(PngLoader, RecordLoadsThroughTheChain)
{
  bool found = false;
  for (Raster_ImageLoader* l = Raster_ImageLoader_list; l; l = l->_next)
    found |= l == &Raster_pngldr;
  EXPECT_TRUE(found);

  static const char kExt[] = "PNG files (*.PNG)\0*.PNG\0";
  EXPECT_EQ(memcmp(Raster_pngldr.get_extlist(), kExt, sizeof kExt), 0);

  const PngFixture f = RandomFixture(PNG_COLOR_TYPE_GRAY_ALPHA, 8, 2, 2, false, 11);
  const std::vector<uint8_t> bytes = PngEncode(f);
  const std::string upper = TempPath("PICTURE.PNG");
  const std::string other = TempPath("picture.dat");
  ASSERT_TRUE(PngWriteFile(upper, bytes));
  ASSERT_TRUE(PngWriteFile(other, bytes));

  std::unique_ptr<Raster_IBitmap> b(Raster_pngldr.loadfunc(upper.c_str(), true, nullptr));
  ExpectImage(f, b.get());
  EXPECT_EQ(Raster_pngldr.loadfunc(other.c_str(), true, nullptr), nullptr);
  std::unique_ptr<Raster_IBitmap> unchecked(Raster_pngldr.loadfunc(other.c_str(), false, nullptr));
  ExpectImage(f, unchecked.get());
  remove(upper.c_str());
  remove(other.c_str());
}

// ---- encoding ---------------------------------------------------------------------------------

namespace
{
// A small picture with every byte of the words in play: alpha, and distinct colour channels.
std::unique_ptr<Raster_MemBitmap> Gradient(int w, int h)
{
  auto bm = std::make_unique<Raster_MemBitmap>(w, h, 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      bm->getBits()[(size_t)y * bm->getRowSpan() + x] =
        (uint32_t)(255 - 9 * y) << 24 | (uint32_t)(x * 13) << 16 | (uint32_t)(y * 17) << 8 | (uint32_t)(x + y);
  return bm;
}
}  // namespace

TEST(PngEncode, RoundTripsEveryByteAndDropsAlphaOnlyWhenAsked)
{
  auto src = Gradient(13, 7);
  std::vector<unsigned char> rgba, rgb;
  ASSERT_TRUE(Raster_EncodePNG(src.get(), &rgba));
  Raster_PNGWriteOptions opaque;
  opaque.mAlpha = false;
  opaque.mCompression = 9;
  ASSERT_TRUE(Raster_EncodePNG(src.get(), &rgb, opaque));
  auto a = Load(rgba), b = Load(rgb);
  ASSERT_TRUE(a && b);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 13; ++x)
    {
      const uint32_t p = PixelAt(src.get(), x, y);
      EXPECT_EQ(PixelAt(a.get(), x, y), p) << x << "," << y;
      EXPECT_EQ(PixelAt(b.get(), x, y), p | 0xFF000000u) << x << "," << y;
    }

  // A bottom-up bitmap is written top row first, as it looks.
  FlippedBitmap flipped(13, 7);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 13; ++x) flipped.getBits()[(size_t)(6 - y) * flipped.getRowSpan() + x] = PixelAt(src.get(), x, y);
  std::vector<unsigned char> fromFlipped;
  ASSERT_TRUE(Raster_EncodePNG(&flipped, &fromFlipped));
  EXPECT_EQ(fromFlipped, rgba);
}

TEST(PngEncode, FailuresSayFalseAndLeaveNothingBehind)
{
  auto src = Gradient(4, 4);
  Raster_MemBitmap empty(0, 0, 4);
  std::vector<unsigned char> out = {1, 2, 3};
  EXPECT_FALSE(Raster_EncodePNG(&empty, &out));
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(Raster_EncodePNG(nullptr, &out));
  EXPECT_FALSE(Raster_EncodePNG(src.get(), nullptr));

  EXPECT_FALSE(Raster_WritePNG(src.get(), nullptr));
  EXPECT_FALSE(Raster_WritePNG(&empty, TempPath("empty.png").c_str()));
  EXPECT_FALSE(Raster_WritePNG(src.get(), "/nonexistent-dir/x.png"));
#ifdef __linux__
  // The device takes no bytes: the write, the flush or the close must report it.
  EXPECT_FALSE(Raster_WritePNG(src.get(), "/dev/full"));
#endif
  const std::string path = TempPath("written.png");
  ASSERT_TRUE(Raster_WritePNG(src.get(), path.c_str()));
  std::unique_ptr<Raster_IBitmap> back(Raster_LoadPNG(path.c_str()));
  ASSERT_TRUE(back);
  EXPECT_EQ(PixelAt(back.get(), 3, 2), PixelAt(src.get(), 3, 2));
  std::remove(path.c_str());
}
