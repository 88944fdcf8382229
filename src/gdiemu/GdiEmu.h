// Windows-style device contexts, fonts and text output for every build but Windows.
// Calls that Win32 has keep their Win32 names and behaviour; the layer's own calls carry
// the GdiEmu_ prefix. On Windows this header just brings in the real thing.
//
// Text is rendered with FreeType; faces are found with fontconfig or, on macOS (and on Linux
// when built so), among the font files of the system's font folders, by the same rules (so
// "Arial" becomes a metric-compatible face such as Liberation Sans where Arial is missing).
// Faces are looked up once per
// (name, bold, italic) and opened once per (file, size); both caches are module-wide and
// guarded by one lock, so contexts and fonts may be used from several threads as long as
// one context is not drawn into by two threads at once (the Win32 rule as well).
#pragma once

#ifdef _WIN32
#include <windows.h>
#else

#include <cstdint>

typedef struct GdiEmu_Context* HDC;
typedef struct GdiEmu_Object* HGDIOBJ;
typedef HGDIOBJ HFONT;
typedef uint32_t COLORREF;
typedef uint32_t DWORD;
typedef uint8_t BYTE;
typedef int BOOL;
typedef unsigned int UINT;
typedef int32_t LONG;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

struct RECT
{
  LONG left, top, right, bottom;
};

// The text metrics Win32 reports, in its field order (the fields the layer can know).
struct TEXTMETRIC
{
  LONG tmHeight;           // ascent + descent: the line height DrawText advances by
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;  // tmHeight minus the em size
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  char tmFirstChar;
  char tmLastChar;
  char tmDefaultChar;
  char tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
};

#define RGB(r, g, b) ((COLORREF)(((uint32_t)(uint8_t)(r)) | ((uint32_t)(uint8_t)(g) << 8) | ((uint32_t)(uint8_t)(b) << 16)))
#define GetRValue(c) ((uint8_t)(c))
#define GetGValue(c) ((uint8_t)((c) >> 8))
#define GetBValue(c) ((uint8_t)((c) >> 16))
#define CLR_INVALID 0xFFFFFFFFu

// Background modes. The layer numbers them as the macOS text layer does (transparent 0,
// opaque 1); code that names them never depends on the values.
#define TRANSPARENT 0
#define OPAQUE 1

// Font weights and qualities as in Win32.
#define FW_DONTCARE 0
#define FW_NORMAL 400
#define FW_BOLD 700
#define DEFAULT_QUALITY 0
#define DRAFT_QUALITY 1
#define PROOF_QUALITY 2
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4
#define CLEARTYPE_QUALITY 5

// DrawText format flags (Win32 values).
#define DT_TOP 0x0
#define DT_LEFT 0x0
#define DT_CENTER 0x1
#define DT_RIGHT 0x2
#define DT_VCENTER 0x4
#define DT_BOTTOM 0x8
#define DT_SINGLELINE 0x20
#define DT_NOCLIP 0x100
#define DT_CALCRECT 0x400
#define DT_NOPREFIX 0x800

// ---- memory contexts ----

// A memory context drawing into rowSpan x height 32-bit pixels (0xAARRGGBB words, the
// raster library's format), rows top-down. compat is accepted for symmetry with
// CreateCompatibleDC and may be null. Returns null for a non-positive size or when
// the pixels cannot be allocated. A new context has Win32's defaults: the stock font,
// black text, white background, opaque background mode, no clip region.
HDC GdiEmu_CreateMemContext(HDC compat, int rowSpan, int height);

// First pixel of the context's frame buffer (row 0), or null.
uint32_t* GdiEmu_GetCtxFrameBuffer(HDC ctx);
int GdiEmu_GetCtxRowSpan(HDC ctx);
int GdiEmu_GetCtxHeight(HDC ctx);

// Deletes the context; a font still selected into it stays alive (and is freed here if
// DeleteObject was already called on it).
void GdiEmu_DeleteGfxContext(HDC ctx);

// ---- fonts and objects ----

// As Win32 CreateFont. height > 0 is the cell height (ascent + descent, what
// GetTextMetrics reports as tmHeight), height < 0 the em size, 0 a default of 16.
// width 0 keeps the face's proportions, otherwise it is the average character width.
// weight >= 600 asks for a bold face, italic != 0 for an italic one; when the family has
// no such face the regular one is emboldened or slanted. quality 3 renders without
// anti-aliasing, every other value anti-aliased. An unknown or empty face name takes the
// default sans-serif face. Escapement, orientation, charset, precisions and
// pitch/family are accepted and ignored (text is always drawn horizontally).
// Returns null only when no face at all can be opened.
HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                 DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                 DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, const char* faceName);

// As Win32: selects a font into the context and returns the previously selected one;
// null (and no change) for a null context or an object the layer does not know.
HGDIOBJ SelectObject(HDC ctx, HGDIOBJ obj);

// As Win32: deletes a font. A font still selected into a context is freed when it is
// deselected (Win32 leaves that case undefined; here it cannot dangle). Unknown objects
// and null give FALSE; the stock font is never deleted.
BOOL DeleteObject(HGDIOBJ obj);

BOOL GetTextMetrics(HDC ctx, TEXTMETRIC* tm);

// The family name of the face a font resolved to (e.g. "Liberation Sans"), copied into
// buf; returns false for a null or unknown font.
bool GdiEmu_GetFontFamilyName(HFONT font, char* buf, int bufSize);

// True when the font's family stands in for the one requested, which is not installed.
bool GdiEmu_FontIsFallback(HFONT font);

// Frees what the text layer keeps for the life of the module: fonts nobody deleted, faces,
// the face lookup (its fontconfig configuration or font file index), the FreeType library
// and the lock. Only for the module's unload, after every other user is
// gone (a host may load and unload a plug-in module many times in one process).
void GdiEmu_ReleaseModuleState();

// Forgets every rendered glyph of every face (faces and fonts stay valid). For measuring
// first-draw costs; nothing else needs it.
void GdiEmu_FlushGlyphCaches();

// ---- text state ----

// Each returns the previous value (CLR_INVALID, or 0 for the mode, on a null context or
// an unknown mode, which leaves the context unchanged).
COLORREF SetTextColor(HDC ctx, COLORREF color);
COLORREF SetBkColor(HDC ctx, COLORREF color);
int SetBkMode(HDC ctx, int mode);

// As Win32 DrawText, for UTF-8 text (len in bytes, or -1 up to the NUL). Lines break at
// CR LF, LF and CR; with DT_SINGLELINE a CR is dropped and a LF draws as a space. Without
// DT_NOPREFIX "&x" underlines x and "&&" draws one '&'. DT_CENTER and DT_RIGHT align each
// line in the rectangle; DT_VCENTER and DT_BOTTOM apply to single-line text only. Drawing
// is clipped to the context's clip region and, without DT_NOCLIP, to the rectangle.
// Returns the text height (with DT_VCENTER or DT_BOTTOM: the offset from the rectangle's
// top to the bottom of the text); DT_CALCRECT draws nothing and sets right = left + width
// and bottom = top + height (right = left, bottom = top for empty text).
int GdiEmu_DrawText(HDC ctx, const char* text, int len, RECT* rect, UINT format);

// ---- clip region stack ----

// Saves the current clip region on the context's stack.
void GdiEmu_PushClipRegion(HDC ctx);
// Replaces the clip region with a rectangle (null: no clip region, the whole context).
void GdiEmu_SetClipRegion(HDC ctx, const RECT* rect);
// Restores the region saved by the matching push; does nothing when none was pushed.
void GdiEmu_PopClipRegion(HDC ctx);

#endif  // !_WIN32
