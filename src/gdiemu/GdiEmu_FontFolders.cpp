// The font files of a set of folders, read once, and the choice among them: the family by the
// order GdiEmu_FamilyCandidates gives, then the face nearest in slant, weight and width (the
// order in which fontconfig weighs them, on fontconfig's scales).
#include "GdiEmu_FontLookup.h"

#include "GdiEmu_FontFamilies.h"
#include "Util_ModulePath.h"

#ifndef _WIN32
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <sys/stat.h>

namespace {

constexpr int kMaxFolderDepth = 8;

bool IsFontFile(const char* name)
{
  const char* dot = std::strrchr(name, '.');
  if (!dot) return false;
  std::string ext;
  for (const char* p = dot + 1; *p; ++p) ext += (char)((*p >= 'A' && *p <= 'Z') ? *p - 'A' + 'a' : *p);
  return ext == "ttf" || ext == "ttc" || ext == "otf" || ext == "otc" || ext == "dfont";
}

// OpenType weight classes on fontconfig's scale (its FcWeightFromOpenType table, interpolated).
int FcWeight(int otWeight)
{
  static const int kMap[][2] = {{0, 0},    {100, 0},   {200, 40},  {300, 50},  {350, 55},  {380, 75}, {400, 80},
                                {500, 100}, {600, 180}, {700, 200}, {800, 205}, {900, 210}, {1000, 215}};
  if (otWeight >= 1 && otWeight <= 9) otWeight *= 100;  // some fonts give 1..9
  if (otWeight <= 0) return 80;
  if (otWeight >= 1000) return 215;
  for (size_t i = 1; i < sizeof(kMap) / sizeof(kMap[0]); ++i)
    if (otWeight <= kMap[i][0])
    {
      const int o0 = kMap[i - 1][0], o1 = kMap[i][0], f0 = kMap[i - 1][1], f1 = kMap[i][1];
      return f0 + (f1 - f0) * (otWeight - o0) / (o1 - o0);
    }
  return 215;
}

int WidthPercent(int widthClass)
{
  static const int kWidths[] = {50, 63, 75, 88, 100, 113, 125, 150, 200};
  return widthClass >= 1 && widthClass <= 9 ? kWidths[widthClass - 1] : 100;
}

bool ContainsNoCase(const char* text, const char* word)
{
  const std::string t = GdiEmu_FamilyKey(text), w = GdiEmu_FamilyKey(word);
  return !w.empty() && t.find(w) != std::string::npos;
}

// A name record's text: UTF-16BE for the Unicode and Microsoft platforms, single bytes for the
// Macintosh one; characters beyond ASCII are kept as UTF-8 (they never match an ASCII request).
std::string NameText(const FT_SfntName& n)
{
  std::string s;
  if (n.platform_id == TT_PLATFORM_APPLE_UNICODE || n.platform_id == TT_PLATFORM_MICROSOFT)
  {
    for (FT_UInt i = 0; i + 1 < n.string_len; i += 2)
    {
      const unsigned c = ((unsigned)n.string[i] << 8) | n.string[i + 1];
      if (c < 0x80)
        s += (char)c;
      else if (c < 0x800)
      {
        s += (char)(0xC0 | (c >> 6));
        s += (char)(0x80 | (c & 0x3F));
      }
      else
      {
        s += (char)(0xE0 | (c >> 12));
        s += (char)(0x80 | ((c >> 6) & 0x3F));
        s += (char)(0x80 | (c & 0x3F));
      }
    }
  }
  else if (n.platform_id == TT_PLATFORM_MACINTOSH)
  {
    for (FT_UInt i = 0; i < n.string_len; ++i)
      if (n.string[i] < 0x80) s += (char)n.string[i];
  }
  return s;
}

void AddKey(std::vector<std::string>* keys, const std::string& name)
{
  const std::string key = GdiEmu_FamilyKey(name.c_str());
  if (!key.empty() && std::find(keys->begin(), keys->end(), key) == keys->end()) keys->push_back(key);
}

std::string HomeFolder()
{
  const char* home = std::getenv("HOME");
  return home && *home ? home : "";
}

}  // namespace

void GdiEmu_FontFolderIndex::AddFile(const std::string& path, FT_LibraryRec_* library)
{
  FT_Face face = nullptr;
  if (FT_New_Face(library, path.c_str(), 0, &face) || !face) return;
  const long nFaces = face->num_faces > 0 ? face->num_faces : 1;
  for (long i = 0; i < nFaces && i < 256; ++i)
  {
    if (i > 0 && (FT_New_Face(library, path.c_str(), i, &face) || !face)) continue;
    if (FT_IS_SCALABLE(face) && face->family_name)
    {
      Face f;
      f.file = path;
      f.index = (int)i;
      f.family = face->family_name;
      AddKey(&f.keys, f.family);
      const FT_UInt nNames = FT_Get_Sfnt_Name_Count(face);
      for (FT_UInt k = 0; k < nNames; ++k)
      {
        FT_SfntName n;
        if (FT_Get_Sfnt_Name(face, k, &n)) continue;
        if (n.name_id == TT_NAME_ID_FONT_FAMILY || n.name_id == TT_NAME_ID_TYPOGRAPHIC_FAMILY ||
            n.name_id == TT_NAME_ID_WWS_FAMILY)
          AddKey(&f.keys, NameText(n));
      }
      const TT_OS2* os2 = (const TT_OS2*)FT_Get_Sfnt_Table(face, FT_SFNT_OS2);
      const bool hasOS2 = os2 && os2->version != 0xFFFF;
      const bool boldFlag = (face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
      f.weight = FcWeight(hasOS2 && os2->usWeightClass ? os2->usWeightClass : (boldFlag ? 700 : 400));
      f.width = hasOS2 ? WidthPercent(os2->usWidthClass) : 100;
      const char* style = face->style_name ? face->style_name : "";
      if (ContainsNoCase(style, "oblique") || (hasOS2 && (os2->fsSelection & (1 << 9))))
        f.slant = 110;
      else if ((face->style_flags & FT_STYLE_FLAG_ITALIC) || ContainsNoCase(style, "italic"))
        f.slant = 100;
      mFaces.push_back(f);
    }
    FT_Done_Face(face);
    face = nullptr;
  }
}

void GdiEmu_FontFolderIndex::AddFolder(const std::string& folder, FT_LibraryRec_* library, int depth,
                                       std::vector<uint64_t>* seen)
{
  struct stat st;
  if (depth > kMaxFolderDepth || stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
  // A folder reached twice (through a link) is read once.
  const uint64_t id = ((uint64_t)st.st_dev << 40) ^ (uint64_t)st.st_ino;
  if (std::find(seen->begin(), seen->end(), id) != seen->end()) return;
  seen->push_back(id);

  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  std::vector<std::string> names;
  while (dirent* e = readdir(dir))
    if (e->d_name[0] != '.') names.push_back(e->d_name);
  closedir(dir);
  // Sorted, so that the same files give the same index (and ties the same answer) everywhere.
  std::sort(names.begin(), names.end());
  for (const std::string& name : names)
  {
    const std::string path = folder + "/" + name;
    if (stat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode))
      AddFolder(path, library, depth + 1, seen);
    else if (S_ISREG(st.st_mode) && IsFontFile(name.c_str()))
      AddFile(path, library);
  }
}

void GdiEmu_FontFolderIndex::AddFolders(const std::vector<std::string>& folders, FT_LibraryRec_* library)
{
  if (!library) return;
  std::vector<uint64_t> seen;
  for (const std::string& folder : folders)
    if (!folder.empty()) AddFolder(folder, library, 0, &seen);
}

bool GdiEmu_FontFolderIndex::Match(const char* family, bool bold, bool italic, GdiEmu_FontFile* out) const
{
  const int wantWeight = bold ? 200 : 80;
  const int wantSlant = italic ? 100 : 0;
  std::vector<std::string> families = GdiEmu_FamilyCandidates(family, nullptr);
  families.push_back("");  // last resort: the nearest face of any family
  for (const std::string& candidate : families)
  {
    const std::string key = GdiEmu_FamilyKey(candidate.c_str());
    const Face* best = nullptr;
    int bestScore[3] = {0, 0, 0};
    for (const Face& f : mFaces)
    {
      if (!key.empty() && std::find(f.keys.begin(), f.keys.end(), key) == f.keys.end()) continue;
      const int score[3] = {std::abs(f.slant - wantSlant), std::abs(f.weight - wantWeight), std::abs(f.width - 100)};
      if (!best || std::lexicographical_compare(score, score + 3, bestScore, bestScore + 3))
      {
        best = &f;
        std::copy(score, score + 3, bestScore);
      }
    }
    if (best)
    {
      out->file = best->file;
      out->index = best->index;
      out->family = best->family;
      out->isBold = best->weight >= 180;
      out->isItalic = best->slant != 0;
      return true;
    }
  }
  return false;
}

std::string GdiEmu_FontFolderIndex::BundleResourcesFolder(const char* binaryPath)
{
  Util_String bundle;
  return Util_GetBundleOfBinary(binaryPath, &bundle) ? std::string(bundle.Get()) + "/Contents/Resources" : "";
}

std::vector<std::string> GdiEmu_FontFolderIndex::DefaultFolders()
{
  std::vector<std::string> folders;
  const std::string home = HomeFolder();
#if defined(__APPLE__)
  folders.push_back("/System/Library/Fonts");
  folders.push_back("/Library/Fonts");
  if (!home.empty()) folders.push_back(home + "/Library/Fonts");
#else
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome && *dataHome)
    folders.push_back(std::string(dataHome) + "/fonts");
  else if (!home.empty())
    folders.push_back(home + "/.local/share/fonts");
  if (!home.empty()) folders.push_back(home + "/.fonts");
  folders.push_back("/usr/local/share/fonts");
  folders.push_back("/usr/share/fonts");
#endif
  Util_String binary;
  if (Util_GetModuleFile((const void*)&GdiEmu_FontFolderIndex::DefaultFolders, &binary))
    folders.push_back(BundleResourcesFolder(binary.Get()));
  return folders;
}
#endif
