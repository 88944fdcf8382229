// PNG images carried inside the module: Windows resources of type "PNG", macOS bundle resources.
#include "Raster_PNG.h"

#ifdef _WIN32
#include <windows.h>
#endif

Raster_IBitmap* Raster_LoadPNGFromResource(void* module, const char* resourceName, Raster_IBitmap* bmp)
{
#ifdef _WIN32
  HMODULE m = (HMODULE)module;
  HRSRC res = FindResourceA(m, resourceName, "PNG");
  if (!res) return nullptr;
  const DWORD size = SizeofResource(m, res);
  if (size <= 7) return nullptr;
  HGLOBAL loaded = LoadResource(m, res);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return nullptr;
  // Resource memory belongs to the mapped module; there is nothing to free.
  return Raster_LoadPNGFromMemory(data, (size_t)size, bmp);
#else
  (void)module;
  (void)resourceName;
  (void)bmp;
  return nullptr;
#endif
}

Raster_IBitmap* Raster_LoadPNGFromNamedResource(const char* name, Raster_IBitmap* bmp)
{
  // Bundles exist only on macOS, whose view host supplies its own lookup; nowhere else is there
  // a main bundle to look in.
  (void)name;
  (void)bmp;
  return nullptr;
}
