#include "GdiEmu_Context.h"

#ifndef _WIN32
#include <cstdlib>
#include <new>

HDC GdiEmu_CreateMemContext(HDC, int rowSpan, int height)
{
  if (rowSpan <= 0 || height <= 0) return nullptr;
  if ((long long)rowSpan * height > (1LL << 28)) return nullptr;  // 1 GB of pixels is no editor
  uint32_t* pixels = (uint32_t*)std::calloc((size_t)rowSpan * (size_t)height, sizeof(uint32_t));
  if (!pixels) return nullptr;
  GdiEmu_Context* ctx = new (std::nothrow) GdiEmu_Context;
  if (!ctx)
  {
    std::free(pixels);
    return nullptr;
  }
  ctx->pixels = pixels;
  ctx->rowSpan = rowSpan;
  ctx->height = height;
  return ctx;
}

uint32_t* GdiEmu_GetCtxFrameBuffer(HDC ctx) { return ctx ? ctx->pixels : nullptr; }
int GdiEmu_GetCtxRowSpan(HDC ctx) { return ctx ? ctx->rowSpan : 0; }
int GdiEmu_GetCtxHeight(HDC ctx) { return ctx ? ctx->height : 0; }

void GdiEmu_DeleteGfxContext(HDC ctx)
{
  if (!ctx) return;
  std::free(ctx->pixels);
  delete ctx;
}
#endif
