// artgen: draws the meter editor's eight images and writes them as PNG files.
//
//   artgen OUTDIR     writes OUTDIR/background.png ... OUTDIR/cal.png
//
// The committed images in src/meter/resources/img/ are this program's output on Linux.
#include <cstdio>
#include <string>

#include "ArtGen.h"

int main(int argc, char** argv)
{
  if (argc != 2 || argv[1][0] == '-')
  {
    std::fprintf(stderr, "usage: artgen OUTDIR\n");
    return 2;
  }
  int failures = 0;
  for (const ArtImage& img : ArtGen_Images())
  {
    const std::string path = std::string(argv[1]) + "/" + img.fileName;
    auto bm = ArtGen_Draw(img.id);
    const std::vector<uint8_t> png = bm ? ArtGen_EncodePNG(bm.get()) : std::vector<uint8_t>();
    FILE* f = png.empty() ? nullptr : std::fopen(path.c_str(), "wb");
    const bool ok = f && std::fwrite(png.data(), 1, png.size(), f) == png.size();
    if (f && std::fclose(f) != 0) failures++;
    if (!ok)
    {
      std::fprintf(stderr, "artgen: cannot write %s\n", path.c_str());
      failures++;
      continue;
    }
    std::printf("%s  %d x %d, %d frame%s\n", path.c_str(), img.width, img.height, img.frames, img.frames > 1 ? "s" : "");
  }
  return failures ? 1 : 0;
}
