// PNG images among a macOS bundle's resources (macOS and the GNUstep build only; on other
// platforms the raster library's own resource loaders answer null).
#pragma once

class Raster_IBitmap;

// Loads "Contents/Resources/<name>" below the main bundle's folder, into bmp or (bmp null) a
// new bitmap the caller owns; null when there is no such image. Names that climb out of the
// resources ("..", absolute paths) are refused. (Declared without a default argument so that
// it can sit beside the raster library's general declaration.)
Raster_IBitmap* Raster_LoadPNGFromNamedResource(const char* name, Raster_IBitmap* bmp);
