// The committed editor images against the generator: same size, same pixels. A change to the
// artwork is made in the generator and the images regenerated (artgen src/meter/resources/img).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ArtGen.h"
#include "Raster.h"

namespace {

int CountDiffering(Raster_IBitmap* a, Raster_IBitmap* b)
{
  int n = 0;
  for (int y = 0; y < a->getHeight(); ++y)
    for (int x = 0; x < a->getWidth(); ++x)
      n += Raster_GetPixel(a, x, y) != Raster_GetPixel(b, x, y);
  return n;
}

TEST(ArtGen, CommittedImagesAreTheGeneratorsOutput)
{
  ASSERT_EQ(ArtGen_Images().size(), 8u);
  for (const ArtImage& img : ArtGen_Images())
  {
    SCOPED_TRACE(img.fileName);
    auto drawn = ArtGen_Draw(img.id);
    ASSERT_TRUE(drawn);
    EXPECT_EQ(drawn->getWidth(), img.width);
    EXPECT_EQ(drawn->getHeight(), img.height);
    EXPECT_EQ(img.height % img.frames, 0);

    const std::string path = std::string(VX_METER_IMG_DIR) + "/" + img.fileName;
    std::unique_ptr<Raster_IBitmap> committed(Raster_LoadPNG(path.c_str()));
    ASSERT_TRUE(committed) << path;
    ASSERT_EQ(committed->getWidth(), img.width);
    ASSERT_EQ(committed->getHeight(), img.height);
    EXPECT_EQ(CountDiffering(drawn.get(), committed.get()), 0) << "regenerate with: artgen src/meter/resources/img";
  }
}

// What the controls rely on: the opaque panel, transparent corners on the overlays, and the
// selected radio frame differing from the empty one only inside the radio.
TEST(ArtGen, OverlaysBlendAndPanelIsOpaque)
{
  auto panel = ArtGen_Draw(102);
  ASSERT_TRUE(panel);
  for (int y = 0; y < 310; ++y)
    for (int x = 0; x < 251; ++x) ASSERT_EQ(Raster_GetPixel(panel.get(), x, y) >> 24, 0xFFu) << x << "," << y;

  for (int id : {103, 104, 105, 106, 107, 108, 109})
  {
    SCOPED_TRACE(id);
    auto bm = ArtGen_Draw(id);
    ASSERT_TRUE(bm);
    EXPECT_EQ(Raster_GetPixel(bm.get(), 0, 0) >> 24, 0u) << "a rounded corner is transparent";
  }

  // The entry box under the frequency digits is white (text rectangle 119..168 x 74..91).
  for (int x : {120, 140, 167}) EXPECT_EQ(Raster_GetPixel(panel.get(), x, 85), 0xFFFFFFFFu) << x;

  auto radio = ArtGen_Draw(104);
  ASSERT_TRUE(radio);
  EXPECT_NE(Raster_GetPixel(radio.get(), 8, 8), Raster_GetPixel(radio.get(), 8, 24)) << "the dot marks frame 2";
}

TEST(ArtGen, UnknownIdDrawsNothing)
{
  EXPECT_FALSE(ArtGen_Draw(101));
  EXPECT_FALSE(ArtGen_Draw(110));
  EXPECT_TRUE(ArtGen_EncodePNG(nullptr).empty());
}

}  // namespace
