// Windows-style device contexts, fonts and text output for every build but Windows.
// Calls that Win32 has keep their Win32 names and behaviour; the layer's own calls carry
// the GdiEmu_ prefix. On Windows this header just brings in the real thing.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else

#include <cstdint>

typedef struct GdiEmu_Context* HDC;
typedef struct GdiEmu_Object* HGDIOBJ;
typedef HGDIOBJ HFONT;
typedef uint32_t COLORREF;
typedef int BOOL;
typedef unsigned int UINT;
typedef int32_t LONG;

struct RECT
{
  LONG left, top, right, bottom;
};

#define RGB(r, g, b) ((COLORREF)(((uint32_t)(uint8_t)(r)) | ((uint32_t)(uint8_t)(g) << 8) | ((uint32_t)(uint8_t)(b) << 16)))
#define GetRValue(c) ((uint8_t)(c))
#define GetGValue(c) ((uint8_t)((c) >> 8))
#define GetBValue(c) ((uint8_t)((c) >> 16))

// A memory context drawing into rowSpan x height 32-bit pixels (0xAARRGGBB words, the
// raster library's format), rows top-down. compat is accepted for symmetry with
// CreateCompatibleDC and may be null. Returns null for a non-positive size or when
// the pixels cannot be allocated.
HDC GdiEmu_CreateMemContext(HDC compat, int rowSpan, int height);

// First pixel of the context's frame buffer (row 0), or null.
uint32_t* GdiEmu_GetCtxFrameBuffer(HDC ctx);
int GdiEmu_GetCtxRowSpan(HDC ctx);
int GdiEmu_GetCtxHeight(HDC ctx);

void GdiEmu_DeleteGfxContext(HDC ctx);

#endif  // !_WIN32
