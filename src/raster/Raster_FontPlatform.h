// Raster_FontPlatform.h - the platform's text output as the cached font uses it (internal).
#pragma once

#include <cstdint>

#include "GdiEmu.h"

// Draws or measures UTF-8 text with the font selected into dc, as Win32 DrawText does.
// Windows: DrawTextW after converting from UTF-8 when the text holds a well-formed multi-byte
// sequence, else DrawTextA of the bytes. Elsewhere: GdiEmu_DrawText.
int Raster_PlatformDrawText(HDC dc, const char* str, int len, RECT* rect, UINT format);

// Whether the platform's text output writes the alpha byte of the pixels it draws as 0: GDI
// knows nothing of alpha and does; the text layer elsewhere draws opaque ink itself.
#ifdef _WIN32
constexpr bool kRaster_PlatformTextClearsAlpha = true;
#else
constexpr bool kRaster_PlatformTextClearsAlpha = false;
#endif

// Makes GDI finish pending drawing before the pixels are read directly (Windows batches it).
void Raster_PlatformFlush();

// Platform colour value (alpha dropped) of a 0xAARRGGBB pixel.
inline COLORREF Raster_PixelToColorRef(uint32_t pixel)
{
  return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}
