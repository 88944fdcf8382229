// PNG images among a macOS bundle's resources (macOS and the GNUstep build only; the Windows
// module's resources have their own loader).
#pragma once

class Raster_IBitmap;

// Loads "Contents/Resources/<name>" below the main bundle's folder, into bmp or (bmp null) a
// new bitmap the caller owns; null when there is no such image. Names that climb out of the
// resources ("..", absolute paths) are refused.
Raster_IBitmap* Raster_LoadPNGFromNamedResource(const char* name, Raster_IBitmap* bmp = nullptr);

// Module resources by id are a Windows notion: always null here.
Raster_IBitmap* Raster_LoadPNGFromResource(void* module, const char* resourceName, Raster_IBitmap* bmp);
