// How the text layer finds the font file for a family, weight and slant (not part of the API).
//
// Two lookups exist; the build picks one (VX_FONT_LOOKUP):
// - "fontconfig" (Linux default): asks fontconfig, through a configuration object of the
//   layer's own that is made on first use and destroyed with the module's state, so that
//   unloading the module leaves nothing of it in the host process (fontconfig itself is never
//   ended: the host may be using it);
// - "files" (macOS, and selectable on Linux): reads the font files in the system's font
//   folders, then in the Resources folder of the bundle that holds the module, and chooses as
//   fontconfig's stock configuration would (GdiEmu_FontFamilies.h).
// Everything here runs under GdiEmu_FontLock().
#pragma once

#ifndef _WIN32
#include <cstdint>
#include <string>
#include <vector>

struct FT_LibraryRec_;

// The face a request resolved to.
struct GdiEmu_FontFile
{
  std::string file;
  int index = 0;        // face index within the file (collections hold several)
  std::string family;   // the family it belongs to, as the font names it
  bool isBold = false;  // weight of semi-bold or more
  bool isItalic = false;
};

// The build's lookup: false only when no face at all is installed. A family that is not
// installed is answered with the face that stands in for it.
bool GdiEmu_LookupFontFile(const char* family, bool bold, bool italic, GdiEmu_FontFile* out);
// "fontconfig" or "files".
const char* GdiEmu_FontLookupName();
// Frees what the lookup holds (the module's unload).
void GdiEmu_ReleaseFontLookup();

// The FreeType library of the face caches (GdiEmu_Faces.cpp), or null when it cannot be made.
FT_LibraryRec_* GdiEmu_FreeTypeLibrary();

// The font files found in a list of folders (and their sub-folders), read once.
class GdiEmu_FontFolderIndex
{
public:
  // Reads every font file below each folder, in order; missing folders are skipped.
  void AddFolders(const std::vector<std::string>& folders, FT_LibraryRec_* library);
  // The best face for the request among the families GdiEmu_FamilyCandidates names (or, when
  // none of them is present, of any family); false only when the index holds no face.
  bool Match(const char* family, bool bold, bool italic, GdiEmu_FontFile* out) const;
  size_t FaceCount() const { return mFaces.size(); }

  // The folders the files lookup reads: the system's font folders (macOS: the system's, the
  // local and the user's; elsewhere the XDG and X11 ones), then the Resources folder of the
  // bundle that holds this code (<bundle>/Contents/<binary's folder>/<binary>), if any.
  static std::vector<std::string> DefaultFolders();
  // The Resources folder of the bundle that holds the binary at binaryPath, or "".
  static std::string BundleResourcesFolder(const char* binaryPath);

private:
  struct Face
  {
    std::string file;
    int index = 0;
    std::string family;
    std::vector<std::string> keys;  // every family name the font gives, as GdiEmu_FamilyKey
    int weight = 80;                // fontconfig's scale: 80 regular, 200 bold
    int slant = 0;                  // fontconfig's scale: 0 roman, 100 italic, 110 oblique
    int width = 100;                // percent of normal
  };
  void AddFile(const std::string& path, FT_LibraryRec_* library);
  void AddFolder(const std::string& folder, FT_LibraryRec_* library, int depth, std::vector<uint64_t>* seen);

  std::vector<Face> mFaces;
};
#endif
