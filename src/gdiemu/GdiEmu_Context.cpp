// Memory contexts and their clip region stack.
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
  // Like a fresh Win32 context, this one starts with the stock font selected.
  ctx->font = nullptr;
  SelectObject(ctx, GdiEmu_StockFont());
  return ctx;
}

uint32_t* GdiEmu_GetCtxFrameBuffer(HDC ctx) { return ctx ? ctx->pixels : nullptr; }
int GdiEmu_GetCtxRowSpan(HDC ctx) { return ctx ? ctx->rowSpan : 0; }
int GdiEmu_GetCtxHeight(HDC ctx) { return ctx ? ctx->height : 0; }

void GdiEmu_DeleteGfxContext(HDC ctx)
{
  if (!ctx) return;
  GdiEmu_ReleaseSelection(ctx->font);
  std::free(ctx->pixels);
  delete ctx;
}

void GdiEmu_PushClipRegion(HDC ctx)
{
  if (ctx) ctx->clipStack.push_back(ctx->clip);
}

void GdiEmu_SetClipRegion(HDC ctx, const RECT* rect)
{
  if (!ctx) return;
  if (!rect)
  {
    ctx->clip = GdiEmu_ClipState();
    return;
  }
  ctx->clip.active = true;
  ctx->clip.rect = *rect;
}

void GdiEmu_PopClipRegion(HDC ctx)
{
  if (!ctx || ctx->clipStack.empty()) return;
  ctx->clip = ctx->clipStack.back();
  ctx->clipStack.pop_back();
}
#endif
