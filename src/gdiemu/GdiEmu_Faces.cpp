// The face caches: lookups of a face by name and style, FreeType faces opened once per file and
// size, their rendered glyphs, and the memory FreeType takes, counted.

#include "GdiEmu_Faces.h"

#include "GdiEmu.h"
#include "GdiEmu_FontFamilies.h"
#include "GdiEmu_FontLookup.h"

#ifndef _WIN32
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_MODULE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <tuple>

namespace {

// FreeType's allocations, counted. Each block carries its size in front of it (16 bytes keep
// the block aligned as malloc's are).
std::atomic<size_t> g_freetypeBytes{0};
constexpr size_t kBlockHeader = 16;

void* CountedAlloc(FT_Memory, long size)
{
  if (size <= 0) return nullptr;
  unsigned char* p = (unsigned char*)std::malloc((size_t)size + kBlockHeader);
  if (!p) return nullptr;
  std::memcpy(p, &size, sizeof(size));
  g_freetypeBytes.fetch_add((size_t)size, std::memory_order_relaxed);
  return p + kBlockHeader;
}

void CountedFree(FT_Memory, void* block)
{
  if (!block) return;
  unsigned char* p = (unsigned char*)block - kBlockHeader;
  long size;
  std::memcpy(&size, p, sizeof(size));
  g_freetypeBytes.fetch_sub((size_t)size, std::memory_order_relaxed);
  std::free(p);
}

void* CountedRealloc(FT_Memory memory, long, long newSize, void* block)
{
  if (!block) return CountedAlloc(memory, newSize);
  if (newSize <= 0)
  {
    CountedFree(memory, block);
    return nullptr;
  }
  unsigned char* p = (unsigned char*)block - kBlockHeader;
  long oldSize;
  std::memcpy(&oldSize, p, sizeof(oldSize));
  unsigned char* q = (unsigned char*)std::realloc(p, (size_t)newSize + kBlockHeader);
  if (!q) return nullptr;  // the old block stays valid and counted
  std::memcpy(q, &newSize, sizeof(newSize));
  g_freetypeBytes.fetch_add((size_t)newSize, std::memory_order_relaxed);
  g_freetypeBytes.fetch_sub((size_t)oldSize, std::memory_order_relaxed);
  return q + kBlockHeader;
}

struct Caches
{
  FT_Library library = nullptr;
  bool libraryFailed = false;
  std::map<std::tuple<std::string, bool, bool>, std::unique_ptr<GdiEmu_FaceMatch>> matches;
  std::map<std::tuple<std::string, int, long, long>, std::unique_ptr<GdiEmu_FaceSize>> sizes;
};

// Not a static object: fonts may still be deleted (and contexts drawn into) by other static
// destructors at exit, and the faces must outlive them. GdiEmu_ReleaseModuleState frees them
// when the module that holds them is unloaded.
Caches* g_caches = nullptr;

Caches& TheCaches()
{
  if (!g_caches) g_caches = new Caches;
  return *g_caches;
}

FT_Library Library()
{
  Caches& c = TheCaches();
  if (c.library || c.libraryFailed) return c.library;
  // Lives with the module, like the caches.
  static FT_MemoryRec_ memory = {nullptr, CountedAlloc, CountedFree, CountedRealloc};
  if (FT_New_Library(&memory, &c.library) || !c.library)
  {
    c.library = nullptr;
    c.libraryFailed = true;
    return nullptr;
  }
  FT_Add_Default_Modules(c.library);
  FT_Set_Default_Properties(c.library);
  return c.library;
}

// The build's lookup, into the match record.
bool Lookup(const char* name, bool bold, bool italic, GdiEmu_FaceMatch* m)
{
  GdiEmu_FontFile found;
  if (!GdiEmu_LookupFontFile(name, bold, italic, &found)) return false;
  m->file = found.file;
  m->index = found.index;
  m->family = found.family;
  m->isBold = found.isBold;
  m->isItalic = found.isItalic;
  return true;
}

// Opens the face once to read the design metrics Win32-style heights are based on.
bool ReadDesignMetrics(GdiEmu_FaceMatch* m)
{
  FT_Library lib = Library();
  if (!lib) return false;
  FT_Face face = nullptr;
  if (FT_New_Face(lib, m->file.c_str(), m->index, &face) || !face) return false;
  bool ok = FT_IS_SCALABLE(face) && face->units_per_EM > 0;
  if (ok)
  {
    m->unitsPerEm = face->units_per_EM;
    const TT_OS2* os2 = (const TT_OS2*)FT_Get_Sfnt_Table(face, FT_SFNT_OS2);
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0)
    {
      m->winAscent = os2->usWinAscent;
      m->winDescent = os2->usWinDescent;
      m->xAvgCharWidth = os2->xAvgCharWidth;
    }
    else
    {
      m->winAscent = face->ascender;
      m->winDescent = -face->descender;
    }
    if (m->winAscent + m->winDescent <= 0)
    {
      m->winAscent = m->unitsPerEm * 4 / 5;
      m->winDescent = m->unitsPerEm / 5;
    }
    if (m->xAvgCharWidth <= 0) m->xAvgCharWidth = m->unitsPerEm / 2;
    m->maxAdvance = face->max_advance_width > 0 ? face->max_advance_width : m->unitsPerEm;
  }
  FT_Done_Face(face);
  return ok;
}

void CopyBitmap(const FT_Bitmap& bm, GdiEmu_Glyph* g)
{
  g->width = (int)bm.width;
  g->rows = (int)bm.rows;
  g->coverage.assign((size_t)g->width * (size_t)g->rows, 0);
  for (int y = 0; y < g->rows; ++y)
  {
    const unsigned char* src = bm.buffer + (long)y * bm.pitch;
    uint8_t* dst = g->coverage.data() + (size_t)y * (size_t)g->width;
    if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
    {
      for (int x = 0; x < g->width; ++x) dst[x] = (src[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
    }
    else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY)
    {
      const int levels = bm.num_grays > 1 ? bm.num_grays - 1 : 255;
      for (int x = 0; x < g->width; ++x) dst[x] = (uint8_t)(levels == 255 ? src[x] : src[x] * 255 / levels);
    }
  }
}

}  // namespace

namespace {

// Not a static object: static destructors elsewhere (module-wide font caches) still delete
// fonts at exit. Made on first use (from the module's start-up, on one thread) and freed by
// GdiEmu_ReleaseModuleState.
Util_Mutex*& FontLockSlot()
{
  static Util_Mutex* lock = new Util_Mutex;
  return lock;
}

}  // namespace

Util_Mutex& GdiEmu_FontLock()
{
  Util_Mutex*& lock = FontLockSlot();
  if (!lock) lock = new Util_Mutex;
  return *lock;
}

FT_LibraryRec_* GdiEmu_FreeTypeLibrary()
{
  Util_MutexLock lock(GdiEmu_FontLock());
  return Library();
}

void GdiEmu_ReleaseFaceCaches()
{
  Util_MutexLock lock(GdiEmu_FontLock());
  GdiEmu_ReleaseFontLookup();
  if (!g_caches) return;
  for (auto& s : g_caches->sizes)
    if (s.second && s.second->face) FT_Done_Face(s.second->face);
  g_caches->sizes.clear();
  g_caches->matches.clear();
  if (g_caches->library) FT_Done_Library(g_caches->library);
  delete g_caches;
  g_caches = nullptr;
}

void GdiEmu_ReleaseFontLock()
{
  Util_Mutex*& lock = FontLockSlot();
  delete lock;
  lock = nullptr;
}

const GdiEmu_FaceMatch* GdiEmu_MatchFace(const char* name, bool bold, bool italic)
{
  Util_MutexLock lock(GdiEmu_FontLock());
  Caches& c = TheCaches();
  auto key = std::make_tuple(std::string(name ? name : ""), bold, italic);
  auto it = c.matches.find(key);
  if (it != c.matches.end()) return it->second.get();

  auto m = std::make_unique<GdiEmu_FaceMatch>();
  bool ok = Lookup(name, bold, italic, m.get()) && ReadDesignMetrics(m.get());
  if (!ok && name && *name)
  {
    // The face found for the name cannot be opened: take the default one.
    *m = GdiEmu_FaceMatch();
    ok = Lookup(nullptr, bold, italic, m.get()) && ReadDesignMetrics(m.get());
  }
  if (ok) m->fallback = !GdiEmu_IsRequestedFamily(name, m->family.c_str());
  if (!ok) m.reset();  // remembered as a failure too, so the lookup runs only once
  GdiEmu_FaceMatch* result = m.get();
  c.matches[key] = std::move(m);
  return result;
}

GdiEmu_FaceSize* GdiEmu_OpenFaceSize(const GdiEmu_FaceMatch* match, long xPpem64, long yPpem64)
{
  if (!match) return nullptr;
  Util_MutexLock lock(GdiEmu_FontLock());
  Caches& c = TheCaches();
  auto key = std::make_tuple(match->file, match->index, xPpem64, yPpem64);
  auto it = c.sizes.find(key);
  if (it != c.sizes.end())
  {
    ++it->second->users;
    return it->second.get();
  }

  FT_Library lib = Library();
  if (!lib) return nullptr;
  FT_Face face = nullptr;
  if (FT_New_Face(lib, match->file.c_str(), match->index, &face) || !face) return nullptr;
  if (FT_Set_Char_Size(face, xPpem64, yPpem64, 72, 72))
  {
    FT_Done_Face(face);
    return nullptr;
  }
  auto fs = std::make_unique<GdiEmu_FaceSize>();
  fs->face = face;
  fs->match = match;
  fs->users = 1;
  GdiEmu_FaceSize* result = fs.get();
  c.sizes[key] = std::move(fs);
  return result;
}

void GdiEmu_ReleaseFaceSize(GdiEmu_FaceSize* fs)
{
  if (!fs) return;
  Util_MutexLock lock(GdiEmu_FontLock());
  if (--fs->users > 0) return;
  Caches& c = TheCaches();
  for (auto it = c.sizes.begin(); it != c.sizes.end(); ++it)
    if (it->second.get() == fs)
    {
      FT_Done_Face(fs->face);
      c.sizes.erase(it);  // frees the glyphs with the record
      return;
    }
}

void GdiEmu_FlushGlyphCaches()
{
  Util_MutexLock lock(GdiEmu_FontLock());
  for (auto& s : TheCaches().sizes)
  {
    s.second->glyphs.clear();
    s.second->glyphBytes = 0;
  }
}

GdiEmu_FaceCacheStats GdiEmu_GetFaceCacheStats()
{
  Util_MutexLock lock(GdiEmu_FontLock());
  GdiEmu_FaceCacheStats st;
  for (auto& s : TheCaches().sizes)
  {
    ++st.openFaces;
    st.glyphBytes += s.second->glyphBytes;
  }
  st.freetypeBytes = g_freetypeBytes.load(std::memory_order_relaxed);
  return st;
}

const GdiEmu_Glyph* GdiEmu_GetGlyph(GdiEmu_FaceSize* fs, uint32_t code, int glyphFlags)
{
  static const GdiEmu_Glyph s_empty;
  if (!fs || !fs->face) return &s_empty;
  Util_MutexLock lock(GdiEmu_FontLock());
  const uint64_t key = ((uint64_t)code << 3) | (uint64_t)(glyphFlags & 7);
  auto it = fs->glyphs.find(key);
  if (it != fs->glyphs.end()) return &it->second;
  // Arbitrary text can ask for every code there is: past the budget the face starts afresh
  // (callers use a glyph before asking for the next one, so no pointer outlives this).
  if (fs->glyphBytes >= kGdiEmuGlyphBytesPerFace)
  {
    fs->glyphs.clear();
    fs->glyphBytes = 0;
  }

  GdiEmu_Glyph& g = fs->glyphs[key];
  fs->glyphBytes += kGdiEmuGlyphEntryBytes;
  if (code < 0x20 || code == 0x7F) return &g;  // control characters: nothing to draw

  FT_Face face = fs->face;
  const bool mono = (glyphFlags & kGdiEmuGlyphMono) != 0;
  const FT_Int32 load = FT_LOAD_NO_BITMAP | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
  const FT_UInt index = FT_Get_Char_Index(face, code);
  if (FT_Load_Glyph(face, index, load)) return &g;
  FT_GlyphSlot slot = face->glyph;
  if (slot->format == FT_GLYPH_FORMAT_OUTLINE)
  {
    if (glyphFlags & kGdiEmuGlyphItalic) FT_GlyphSlot_Oblique(slot);
    if (glyphFlags & kGdiEmuGlyphBold) FT_GlyphSlot_Embolden(slot);
  }
  g.advance = (int)((slot->advance.x + 32) >> 6);
  if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL)) return &g;
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  CopyBitmap(slot->bitmap, &g);
  fs->glyphBytes += g.coverage.size();
  return &g;
}
#endif
