// The fontconfig lookup: fontconfig's best match for a family, weight and slant, from a
// configuration of the layer's own. fontconfig's implicit configuration would stay in the host
// process after the module is unloaded (only FcFini ends it, and a plug-in may not call that: the
// host and its other plug-ins share it); this one is destroyed with the module's state.
#include "GdiEmu_FontLookup.h"

#ifndef _WIN32
#include <fontconfig/fontconfig.h>

#include <dlfcn.h>

namespace {

// Made on first use, under the font lock; freed by GdiEmu_ReleaseFontLookup.
FcConfig* g_config = nullptr;
bool g_configFailed = false;

// fontconfig keeps a few things of its own for the life of the library (the program's name,
// the default languages) that only FcFini frees. Unloaded with the module, as it would be in a
// host that does not use fontconfig itself, it would leave them behind on every unload; kept
// loaded, as in any host that draws text with it, they are made once per process.
void KeepFontconfigLoaded()
{
  static bool done = false;
  if (done) return;
  done = true;
  Dl_info info;
  if (dladdr((void*)&FcInitLoadConfigAndFonts, &info) && info.dli_fname)
    dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

FcConfig* Config()
{
  if (!g_config && !g_configFailed)
  {
    KeepFontconfigLoaded();
    g_config = FcInitLoadConfigAndFonts();
    g_configFailed = g_config == nullptr;
  }
  return g_config;
}

}  // namespace

const char* GdiEmu_FontLookupName()
{
  return "fontconfig";
}

bool GdiEmu_LookupFontFile(const char* family, bool bold, bool italic, GdiEmu_FontFile* out)
{
  FcConfig* config = Config();
  if (!config) return false;
  FcPattern* pat = FcPatternCreate();
  if (!pat) return false;
  if (family && *family) FcPatternAddString(pat, FC_FAMILY, (const FcChar8*)family);
  FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult result = FcResultNoMatch;
  FcPattern* m = FcFontMatch(config, pat, &result);
  FcPatternDestroy(pat);
  if (!m) return false;

  bool ok = false;
  FcChar8* file = nullptr;
  if (FcPatternGetString(m, FC_FILE, 0, &file) == FcResultMatch && file)
  {
    ok = true;
    out->file = (const char*)file;
    int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(m, FC_INDEX, 0, &index);
    FcPatternGetInteger(m, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(m, FC_SLANT, 0, &slant);
    out->index = index;
    out->isBold = weight >= FC_WEIGHT_DEMIBOLD;
    out->isItalic = slant != FC_SLANT_ROMAN;
    FcChar8* name = nullptr;
    out->family = FcPatternGetString(m, FC_FAMILY, 0, &name) == FcResultMatch && name ? (const char*)name : "";
  }
  FcPatternDestroy(m);
  return ok;
}

void GdiEmu_ReleaseFontLookup()
{
  if (g_config) FcConfigDestroy(g_config);
  g_config = nullptr;
  g_configFailed = false;
}
#endif
