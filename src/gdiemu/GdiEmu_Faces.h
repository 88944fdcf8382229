// The module-wide face caches behind the layer's fonts (not part of the API): face lookups
// (GdiEmu_FontLookup.h) by (name, bold, italic), FreeType faces by (file, size), and the rendered glyphs
// of each face. Everything here runs under GdiEmu_FontLock().
//
// Memory stays bounded however many fonts come and go: a face is shared by the fonts of the
// same file and size and closed when the last of them is deleted, and each face keeps at most
// kGdiEmuGlyphBytesPerFace bytes of rendered glyphs (it starts afresh when a new glyph would
// pass that). FreeType allocates through a counting allocator, so the caches can report what
// they hold (GdiEmu_GetFaceCacheStats).
#pragma once

#ifndef _WIN32
#include "Util_Mutex.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct FT_FaceRec_;

// What the lookup answered for one request, with the face's design metrics.
struct GdiEmu_FaceMatch
{
  std::string file;
  int index = 0;
  std::string family;
  bool isBold = false, isItalic = false;
  bool fallback = false;  // the family is a stand-in for the one requested
  int unitsPerEm = 2048;
  int winAscent = 0, winDescent = 0;  // design units; the cell Win32 heights refer to
  int xAvgCharWidth = 0;
  int maxAdvance = 0;
};

// One rendered glyph: 8-bit coverage, rows top-down, placed relative to the pen on the
// baseline (left to the right, top upwards as FreeType gives them).
struct GdiEmu_Glyph
{
  int width = 0, rows = 0, left = 0, top = 0, advance = 0;
  std::vector<uint8_t> coverage;
};

enum
{
  kGdiEmuGlyphMono = 1,
  kGdiEmuGlyphBold = 2,
  kGdiEmuGlyphItalic = 4,
};

// Budget of each face's rendered glyphs: coverage bytes plus a fixed charge per entry.
constexpr size_t kGdiEmuGlyphBytesPerFace = 1u << 21;
constexpr size_t kGdiEmuGlyphEntryBytes = sizeof(GdiEmu_Glyph) + 32;

struct GdiEmu_FaceSize
{
  FT_FaceRec_* face = nullptr;
  const GdiEmu_FaceMatch* match = nullptr;
  int users = 0;          // fonts that hold this face; closed when the last lets go
  size_t glyphBytes = 0;  // what `glyphs` holds, counted as in the budget
  std::unordered_map<uint64_t, GdiEmu_Glyph> glyphs;  // key: code << 3 | glyph flags
};

// What the caches hold right now.
struct GdiEmu_FaceCacheStats
{
  size_t openFaces = 0;      // FreeType faces open (one per file and size in use)
  size_t glyphBytes = 0;     // rendered glyphs of all faces, as budgeted
  size_t freetypeBytes = 0;  // bytes FreeType has allocated and not freed (faces, sizes, slots)
};
GdiEmu_FaceCacheStats GdiEmu_GetFaceCacheStats();

Util_Mutex& GdiEmu_FontLock();

// Closes every face and the FreeType library, and frees the caches (for the module's unload,
// once no font is left); then the lock itself. The next use starts afresh.
void GdiEmu_ReleaseFaceCaches();
void GdiEmu_ReleaseFontLock();

// Looks a face up (once per distinct request); null when not even the lookup's default
// face can be opened.
const GdiEmu_FaceMatch* GdiEmu_MatchFace(const char* name, bool bold, bool italic);

// The face of a match at a size in 1/64 pixels per em (x and y), opened once and shared: each
// successful call counts one more user, to be undone by GdiEmu_ReleaseFaceSize.
GdiEmu_FaceSize* GdiEmu_OpenFaceSize(const GdiEmu_FaceMatch* match, long xPpem64, long yPpem64);

// One user fewer; the last one closes the face and frees its glyphs. Null is ignored.
void GdiEmu_ReleaseFaceSize(GdiEmu_FaceSize* fs);

// Renders (once) and returns a glyph; never null. Control characters have no ink and no
// advance; characters the face lacks draw its missing-glyph box.
const GdiEmu_Glyph* GdiEmu_GetGlyph(GdiEmu_FaceSize* fs, uint32_t code, int glyphFlags);
#endif
