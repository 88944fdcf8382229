// Which families stand in for a requested one (not part of the API). Both face lookups use
// these rules: the font folders' lookup to choose among the files it found, the fontconfig
// lookup only to tell whether its answer is the family asked for or a fallback.
//
// They follow fontconfig's stock configuration (its metric aliases and generic families), so
// that both lookups give the same face for the same installed fonts: "Arial" is drawn with
// Liberation Sans or Arimo where Arial is missing; a family nobody has falls back to the
// generic family of its kind (sans-serif unless it is a known serif or monospace family),
// whose first installed preference is taken.
#pragma once

#ifndef _WIN32
#include <string>
#include <vector>

// Family names compare as fontconfig compares them: ignoring case (ASCII) and blanks.
std::string GdiEmu_FamilyKey(const char* family);
bool GdiEmu_SameFamily(const char* a, const char* b);

// The families to try for a request, best first: the family itself, its metric-compatible
// substitutes, then the preferences of its generic family. An empty request is sans-serif.
// *nOwn receives how many of them count as the family asked for (itself and its substitutes);
// a face found among the rest is a fallback.
std::vector<std::string> GdiEmu_FamilyCandidates(const char* family, size_t* nOwn);

// True when `found` is the requested family or one of its substitutes (an empty request
// accepts anything).
bool GdiEmu_IsRequestedFamily(const char* requested, const char* found);
#endif
