// Raster_NativeTextAlpha.h - keeps native text opaque where the platform's text output writes
// no alpha (internal to the cached font).
//
// GDI knows nothing of alpha: every pixel its text output draws into a 32-bit bitmap gets an
// alpha byte of 0. The window host copies colours only, so the screen shows the text, but the
// bitmap then holds transparent ink in an otherwise opaque picture: a snapshot composited with
// its alpha shows black digits on a white box as no digits at all, and a blend that weighs by
// source alpha (the font's blend back from its temporary bitmap) drops them. The glyph path, and
// the text layer on other platforms, leave drawn text opaque; this makes the native path agree.
//
// Around one native draw: Begin saves the alpha of the rows the text may touch and marks those
// pixels opaque; after the platform has drawn (and flushed), End gives every pixel that it wrote
// (alpha 0 now) full alpha and every other pixel its own alpha back. Where the platform's text
// output writes alpha itself (the text layer), both do nothing.
#pragma once

#include "Raster_Bitmap.h"
#include "Util_HeapBuf.h"

class Raster_NativeTextAlpha
{
public:
  Raster_NativeTextAlpha() = default;
  ~Raster_NativeTextAlpha() { End(); }
  Raster_NativeTextAlpha(const Raster_NativeTextAlpha&) = delete;
  Raster_NativeTextAlpha& operator=(const Raster_NativeTextAlpha&) = delete;

  // Rows top to bottom (exclusive) of the bitmap, over its whole width; limited to the bitmap.
  // Without memory for the saved alpha it does nothing (the text is drawn all the same).
  void Begin(Raster_IBitmap* bm, int top, int bottom);
  void End();

private:
  uint32_t* Row(int y) const;

  Raster_IBitmap* mBitmap = nullptr;
  int mTop = 0, mBottom = 0, mWidth = 0;
  Util_HeapBuf mSaved{4096};
};
