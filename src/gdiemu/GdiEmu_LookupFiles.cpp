// The font folders' lookup: the faces of GdiEmu_FontFolderIndex::DefaultFolders, read on first
// use. A family that none of the folders holds is drawn with its stand-in, and the layer says so
// once on standard error (the fontconfig build's stand-ins come from fontconfig's own rules).
#include "GdiEmu_FontLookup.h"

#include "GdiEmu_FontFamilies.h"

#ifndef _WIN32
#include <cstdio>
#include <set>

namespace {

// Made on first use, under the font lock; freed by GdiEmu_ReleaseFontLookup.
GdiEmu_FontFolderIndex* g_index = nullptr;
std::set<std::string>* g_noted = nullptr;

}  // namespace

const char* GdiEmu_FontLookupName()
{
  return "files";
}

bool GdiEmu_LookupFontFile(const char* family, bool bold, bool italic, GdiEmu_FontFile* out)
{
  if (!g_index)
  {
    g_index = new GdiEmu_FontFolderIndex;
    g_index->AddFolders(GdiEmu_FontFolderIndex::DefaultFolders(), GdiEmu_FreeTypeLibrary());
  }
  if (!g_index->Match(family, bold, italic, out)) return false;
  if (!GdiEmu_IsRequestedFamily(family, out->family.c_str()))
  {
    if (!g_noted) g_noted = new std::set<std::string>;
    if (g_noted->insert(GdiEmu_FamilyKey(family)).second)
      std::fprintf(stderr, "text: no font of the family \"%s\" is installed; drawing it with \"%s\"\n", family,
                   out->family.c_str());
  }
  return true;
}

void GdiEmu_ReleaseFontLookup()
{
  delete g_index;
  g_index = nullptr;
  delete g_noted;
  g_noted = nullptr;
}
#endif
