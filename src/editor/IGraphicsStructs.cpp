// Rectangle arithmetic of the editor's value records (union, intersection, subdivision).

#include "IGraphicsStructs.h"

#include "Util_CStr.h"

IRECT IRECT::Union(const IRECT& o) const
{
  if (Empty()) return o;
  if (o.Empty()) return *this;
  return IRECT(L < o.L ? L : o.L, T < o.T ? T : o.T, R > o.R ? R : o.R, B > o.B ? B : o.B);
}

IRECT IRECT::Intersect(const IRECT& o) const
{
  const IRECT r(L > o.L ? L : o.L, T > o.T ? T : o.T, R < o.R ? R : o.R, B < o.B ? B : o.B);
  if (r.L >= r.R || r.T >= r.B) return IRECT();
  return r;
}

IRECT IRECT::SubRectCentred(int width, int height) const
{
  const int cx = (int)MW(), cy = (int)MH();
  return IRECT(cx - width / 2, cy - height / 2, cx - width / 2 + width, cy - height / 2 + height);
}

IText::IText(int size, const IColor* color, const char* font, int style, int align, int orientation, int quality,
             const IColor* teBGColor, const IColor* teFGColor)
    : mSize(size), mColor(color ? *color : DEFAULT_TEXT_COLOR),
      mTextEntryBGColor(teBGColor ? *teBGColor : DEFAULT_TEXT_ENTRY_BGCOLOR),
      mTextEntryFGColor(teFGColor ? *teFGColor : DEFAULT_TEXT_ENTRY_FGCOLOR), mStyle(style), mAlign(align),
      mOrientation(orientation), mQuality(quality)
{
  SetFont(font ? font : DEFAULT_FONT);
}

IText::IText(const IColor* color) : IText(DEFAULT_TEXT_SIZE, color) {}

void IText::SetFont(const char* font)
{
  Util_StrCopy(mFont, font ? font : "");
  mCached = nullptr;  // another face needs another font
}
