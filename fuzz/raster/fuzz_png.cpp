// Feeds arbitrary bytes to the in-memory PNG loader, both into a new bitmap and into a
// caller-supplied one. Findings: memory errors, undefined behaviour, leaks on the error paths.
#include "Raster_Bitmap.h"
#include "Raster_PNG.h"

#include <cstddef>
#include <cstdint>

// Images above this many pixels are legal but only make the fuzzer slow (the bitmap is
// allocated before the image data is read); skip them by their header.
static const uint64_t kMaxFuzzPixels = 1u << 18;

static uint32_t ReadBE32(const uint8_t* p)
{
  return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  // IHDR is always the first chunk: width at offset 16, height at 20.
  if (size >= 24 && (uint64_t)ReadBE32(data + 16) * ReadBE32(data + 20) > kMaxFuzzPixels)
    return 0;

  if (Raster_IBitmap* bmp = Raster_LoadPNGFromMemory(data, size, nullptr))
  {
    // Read every pixel so that a wrong size or row span shows up as an out-of-bounds read.
    uint32_t sum = 0;
    const uint32_t* bits = bmp->getBits();
    for (int y = 0; y < bmp->getHeight(); ++y)
      for (int x = 0; x < bmp->getWidth(); ++x)
        sum += bits[(size_t)y * bmp->getRowSpan() + x];
    volatile uint32_t sink = sum;
    (void)sink;
    delete bmp;
  }

  Raster_MemBitmap target(5, 3, 4);
  Raster_IBitmap* r = Raster_LoadPNGFromMemory(data, size, &target);
  if (r && r != &target)
    __builtin_trap();  // a caller's bitmap must come back as itself
  return 0;
}
