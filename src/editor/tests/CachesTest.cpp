// The module's image and font caches: loading once, retaining and releasing, scaling and
// cropping, and one font per (size, orientation, style, face).
#include "EditorTestSupport.h"

#include "IGraphicsCaches.h"
#include "Raster_Bitmap.h"
#include "Raster_Fill.h"
#include "Raster_Font.h"

#include <gtest/gtest.h>

namespace
{
// Counts the platform loads behind the cache.
class CountingHost : public IGraphicsHeadless
{
public:
  using IGraphicsHeadless::IGraphicsHeadless;
  Raster_IBitmap* OSLoadBitmap(int id, const char* name) override
  {
    ++loads;
    return IGraphicsHeadless::OSLoadBitmap(id, name);
  }
  int loads = 0;
};

TEST(Caches, AnImageIdIsLoadedOnce)
{
  RegisterTestImages();
  TestPlug plug;
  CountingHost gui(&plug, 10, 10);
  const int before = s_bitmapCache.GetSize();
  const bool cachedAlready = s_bitmapCache.Find(kImgKnob) != nullptr;
  IBitmap a = gui.LoadIBitmap(kImgKnob, "knob.png", 3);
  IBitmap b = gui.LoadIBitmap(kImgKnob, "another-name.png", 1, true);
  ASSERT_NE(a.mData, nullptr);
  EXPECT_EQ(a.mData, b.mData);
  EXPECT_EQ(gui.loads, cachedAlready ? 0 : 1);
  EXPECT_EQ(s_bitmapCache.GetSize(), before + (cachedAlready ? 0 : 1));
  EXPECT_EQ(a.W, 48);
  EXPECT_EQ(a.H, 144);
  EXPECT_EQ(a.N, 3);
  EXPECT_EQ(a.FrameHeight(), 48);
  EXPECT_EQ(b.N, 1);
  EXPECT_TRUE(b.mFramesAreHorizontal);

  // An id the module lacks gives an empty handle that draws nothing, and nothing is cached.
  IBitmap missing = gui.LoadIBitmap(4711, "missing.png");
  EXPECT_EQ(missing.mData, nullptr);
  EXPECT_EQ(s_bitmapCache.Find(4711), nullptr);
}

TEST(Caches, ReleasedByTheLastUserIsFreedRetainedSurvives)
{
  RegisterTestImages();
  const int before = s_bitmapCache.GetSize();
  Raster_IBitmap* retained = nullptr;
  {
    EditorFixture f;
    IBitmap source = f.gui->LoadIBitmap(kImgFour, "four.png", 4);
    const int loaded = s_bitmapCache.GetSize();

    IBitmap scaled = f.gui->ScaleBitmap(&source, 5, 50);
    EXPECT_EQ(scaled.W, 5);
    EXPECT_EQ(scaled.N, 4);
    EXPECT_FALSE(scaled.mFramesAreHorizontal);
    IRECT crop(0, 50, 10, 75);
    IBitmap cropped = f.gui->CropBitmap(&source, &crop);
    EXPECT_EQ(Raster_GetPixel(cropped.mData, 3, 3), FrameColor(2));
    EXPECT_EQ(s_bitmapCache.GetSize(), loaded + 2);

    f.gui->ReleaseBitmap(&scaled);
    EXPECT_FALSE(s_bitmapCache.Contains(scaled.mData));
    f.gui->ReleaseBitmap(&scaled);  // second release of the same pointer: nothing
    EXPECT_EQ(s_bitmapCache.GetSize(), loaded + 1);

    // An image the caller made: retained, it belongs to the cache and outlives the editor.
    IBitmap own(MakeFramesBitmap(4, 4, 1, false), 4, 4);
    f.gui->RetainBitmap(&own);
    retained = own.mData;
    f.gui->ReleaseBitmap(&cropped);
  }
  EXPECT_TRUE(s_bitmapCache.Contains(retained));
  EXPECT_EQ(Raster_GetPixel(retained, 1, 1), FrameColor(0));
  EXPECT_TRUE(s_bitmapCache.Remove(retained));

  // An image that is not in the cache is left alone by a release.
  Raster_MemBitmap outside(2, 2);
  IBitmap handle(&outside, 2, 2);
  TestPlug plug;
  IGraphicsHeadless gui(&plug, 10, 10);
  gui.ReleaseBitmap(&handle);
  EXPECT_EQ(outside.getWidth(), 2);
  EXPECT_GE(s_bitmapCache.GetSize(), before);
}

struct FontKeyCase
{
  const char* name;
  int size, orientation, style;
  const char* face;
  int quality;
  IColor color;
  bool sameAsBase;
};

TEST(Caches, OneFontPerSizeOrientationStyleAndFace)
{
  const IColor black = COLOR_BLACK, red = COLOR_RED;
  const FontKeyCase cases[] = {
    {"same key", 13, 0, 0, "DejaVu Sans", 0, black, true},
    {"other quality", 13, 0, 0, "DejaVu Sans", 1, black, true},
    {"other colour", 13, 0, 0, "DejaVu Sans", 0, red, true},
    {"other size", 14, 0, 0, "DejaVu Sans", 0, black, false},
    {"other orientation", 13, 90, 0, "DejaVu Sans", 0, black, false},
    {"other style", 13, 0, 1, "DejaVu Sans", 0, black, false},
    {"other face", 13, 0, 0, "DejaVu Serif", 0, black, false},
    {"face differs in case only", 13, 0, 0, "dejavu sans", 0, black, false},
  };
  TestPlug plug;
  IGraphicsHeadless gui(&plug, 10, 10);
  IText base(13, &black, "DejaVu Sans");
  Raster_CachedFont* baseFont = gui.CacheFont(&base);
  ASSERT_NE(baseFont, nullptr);
  EXPECT_EQ(base.mCached, baseFont);
  for (const FontKeyCase& c : cases)
  {
    IText t(c.size, &c.color, c.face, c.style, IText::kAlignNear, c.orientation, c.quality);
    const int before = s_fontCache.GetSize();
    Raster_CachedFont* font = gui.CacheFont(&t);
    ASSERT_NE(font, nullptr) << c.name;
    EXPECT_EQ(font == baseFont, c.sameAsBase) << c.name;
    EXPECT_EQ(t.mCached, font);
    // Asking again never adds another.
    IText again = t;
    again.mCached = nullptr;
    EXPECT_EQ(gui.CacheFont(&again), font) << c.name;
    EXPECT_LE(s_fontCache.GetSize(), before + 1);
  }
}
}  // namespace
