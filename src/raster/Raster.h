// Raster.h - the raster drawing library's public headers in one include.
#pragma once

#include "Raster_Bitmap.h"
#include "Raster_Blit.h"
#include "Raster_Combine.h"
#include "Raster_Fill.h"
#include "Raster_PNG.h"
#include "Raster_PNGWrite.h"
#include "Raster_Rect.h"
#include "Raster_Font.h"
#include "Raster_Vector.h"
