// Family substitutes and generic families, after fontconfig's stock configuration
// (30-metric-aliases.conf, 45-latin.conf, 60-latin.conf).
#include "GdiEmu_FontFamilies.h"

#ifndef _WIN32
#include <cstring>

namespace {

struct Substitutes
{
  const char* family;
  const char* with[9];  // null-terminated
};

// Metric-compatible families: same advance widths, so text laid out for one fits the other.
const Substitutes kMetricAliases[] = {
    {"Arial", {"Arimo", "Liberation Sans", "Albany", "Albany AMT"}},
    {"Helvetica",
     {"Nimbus Sans", "Nimbus Sans L", "TeX Gyre Heros", "Arial", "Arimo", "Liberation Sans", "Albany", "Albany AMT"}},
    {"Times New Roman", {"Tinos", "Liberation Serif", "Thorndale", "Thorndale AMT"}},
    {"Times",
     {"Nimbus Roman", "Nimbus Roman No9 L", "TeX Gyre Termes", "Times New Roman", "Tinos", "Liberation Serif",
      "Thorndale AMT"}},
    {"Courier New", {"Cousine", "Liberation Mono", "Cumberland", "Cumberland AMT"}},
    {"Courier",
     {"Nimbus Mono PS", "Nimbus Mono", "Nimbus Mono L", "TeX Gyre Cursor", "Courier New", "Cousine", "Liberation Mono",
      "Cumberland AMT"}},
};

// The generic families' preferences.
const char* const kSansSerif[] = {"Noto Sans",  "DejaVu Sans",   "Verdana",   "Arial",
                                  "Albany AMT", "Luxi Sans",     "Nimbus Sans L", "Nimbus Sans",
                                  "Helvetica",  "Lucida Sans Unicode", "Tahoma", nullptr};
const char* const kSerif[] = {"Noto Serif", "DejaVu Serif", "Times New Roman", "Thorndale AMT", "Luxi Serif",
                              "Nimbus Roman No9 L", "Nimbus Roman", "Times", nullptr};
const char* const kMonospace[] = {"Noto Sans Mono", "DejaVu Sans Mono", "Inconsolata", "Andale Mono",
                                  "Courier New", "Cumberland AMT", "Luxi Mono", "Nimbus Mono L",
                                  "Nimbus Mono", "Nimbus Mono PS", "Courier", nullptr};

// Families whose generic family is not sans-serif (the rest, known or not, are sans-serif).
const char* const kSerifFamilies[] = {"serif", "Times New Roman", "Times", "Georgia", "Palatino", "Palatino Linotype",
                                      "Book Antiqua", "Garamond", "Cambria", "Liberation Serif", "Tinos",
                                      "DejaVu Serif", nullptr};
const char* const kMonospaceFamilies[] = {"monospace", "mono", "Courier New", "Courier", "Consolas", "Menlo",
                                          "Monaco", "Lucida Console", "Andale Mono", "Liberation Mono", "Cousine",
                                          "DejaVu Sans Mono", nullptr};

bool InList(const char* const* list, const std::string& key)
{
  for (; *list; ++list)
    if (GdiEmu_FamilyKey(*list) == key) return true;
  return false;
}

void AppendUnique(std::vector<std::string>* out, const char* family)
{
  const std::string key = GdiEmu_FamilyKey(family);
  for (const std::string& f : *out)
    if (GdiEmu_FamilyKey(f.c_str()) == key) return;
  out->push_back(family);
}

}  // namespace

std::string GdiEmu_FamilyKey(const char* family)
{
  std::string key;
  for (const char* p = family ? family : ""; *p; ++p)
  {
    if (*p == ' ') continue;
    key += (*p >= 'A' && *p <= 'Z') ? (char)(*p - 'A' + 'a') : *p;
  }
  return key;
}

bool GdiEmu_SameFamily(const char* a, const char* b)
{
  return GdiEmu_FamilyKey(a) == GdiEmu_FamilyKey(b);
}

std::vector<std::string> GdiEmu_FamilyCandidates(const char* family, size_t* nOwn)
{
  std::vector<std::string> out;
  const std::string key = GdiEmu_FamilyKey(family);
  const bool generic = key.empty() || key == "sans-serif" || key == "sans" || key == "serif" ||
                       key == "monospace" || key == "mono";
  if (!generic)
  {
    AppendUnique(&out, family);
    for (const Substitutes& s : kMetricAliases)
      if (GdiEmu_FamilyKey(s.family) == key)
        for (const char* const* w = s.with; *w; ++w) AppendUnique(&out, *w);
  }
  if (nOwn) *nOwn = out.size();
  const char* const* prefs = InList(kMonospaceFamilies, key) ? kMonospace : InList(kSerifFamilies, key) ? kSerif : kSansSerif;
  for (; *prefs; ++prefs) AppendUnique(&out, *prefs);
  return out;
}

bool GdiEmu_IsRequestedFamily(const char* requested, const char* found)
{
  size_t nOwn = 0;
  const std::vector<std::string> candidates = GdiEmu_FamilyCandidates(requested, &nOwn);
  if (nOwn == 0) return true;  // a generic request: any of its family will do
  for (size_t i = 0; i < nOwn; ++i)
    if (GdiEmu_SameFamily(candidates[i].c_str(), found)) return true;
  return false;
}
#endif
