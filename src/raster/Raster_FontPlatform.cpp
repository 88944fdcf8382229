// The platform's text output for the cached font, the one-time Wine probe and the tests' way
// past it.
#include "Raster_FontPlatform.h"

#include "Raster_Font.h"
#include "Util_Utf8.h"

#include <atomic>
#include <cstdlib>

#ifdef _WIN32

int Raster_PlatformDrawText(HDC dc, const char* str, int len, RECT* rect, UINT format)
{
  // Only text with at least one well-formed multi-byte sequence is worth converting; plain
  // 8-bit text goes to DrawTextA as it is.
  if (Util_HasMultiByteUtf8(str, len))
  {
    int needed = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, str, len, nullptr, 0);
    if (needed > 0)
    {
      wchar_t local[1024];
      wchar_t* buf = local;
      wchar_t* heap = nullptr;
      if (needed > 999)
      {
        heap = (wchar_t*)std::malloc(sizeof(wchar_t) * ((size_t)needed + 32));
        buf = heap;
      }
      if (buf)
      {
        int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, str, len, buf, needed);
        if (n > 0)
        {
          if (len < 0 && buf[n - 1] == 0) --n;  // the count of a NUL-terminated input includes the NUL
          int ret = DrawTextW(dc, buf, n, rect, format);
          std::free(heap);
          return ret;
        }
        std::free(heap);
      }
    }
  }
  return DrawTextA(dc, str, len, rect, format);
}

void Raster_PlatformFlush() { GdiFlush(); }

bool Raster_CachedFont::RunsUnderWine()
{
  // 0 unknown, 1 Wine, 2 Windows. Probed once; a race only probes twice.
  static std::atomic<int> s_wine{0};
  int v = s_wine.load(std::memory_order_relaxed);
  if (!v)
  {
    HKEY key = nullptr;
    v = RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Wine", &key) == ERROR_SUCCESS ? 1 : 2;
    if (v == 1) RegCloseKey(key);
    s_wine.store(v, std::memory_order_relaxed);
  }
  return v == 1;
}

namespace
{
std::atomic<bool> s_nativeUnderWine{false};
}

void Raster_CachedFont::SetNativePathUnderWine(bool on) { s_nativeUnderWine.store(on, std::memory_order_relaxed); }

bool Raster_CachedFont::NativePathUnderWine() { return s_nativeUnderWine.load(std::memory_order_relaxed); }

#else

int Raster_PlatformDrawText(HDC dc, const char* str, int len, RECT* rect, UINT format)
{
  return GdiEmu_DrawText(dc, str, len, rect, format);
}

void Raster_PlatformFlush() {}

bool Raster_CachedFont::RunsUnderWine() { return false; }

void Raster_CachedFont::SetNativePathUnderWine(bool) {}

bool Raster_CachedFont::NativePathUnderWine() { return false; }

#endif
