// Records shared by the layer's source files (not part of the API).
#pragma once

#include "GdiEmu.h"

#ifndef _WIN32
#include <vector>

struct GdiEmu_FaceSize;

// A font: what CreateFont was asked for and the face it resolved to.
struct GdiEmu_Object
{
  // request
  int height = 0, width = 0, weight = 0;
  bool italic = false, underline = false, strikeOut = false;
  int quality = 0;
  char faceName[64] = {};

  // resolution (the face is shared through the module-wide cache; the font holds one use of it)
  GdiEmu_FaceSize* face = nullptr;
  bool synthBold = false, synthItalic = false, mono = false;
  bool fallback = false;  // the face's family stands in for the one requested
  int ascent = 0, descent = 0, internalLeading = 0, aveCharWidth = 0, maxCharWidth = 0;

  // lifetime: a font selected into contexts is freed only once deselected everywhere
  int selectCount = 0;
  bool deletePending = false;
  bool stock = false;
};

struct GdiEmu_ClipState
{
  bool active = false;  // false: the whole context
  RECT rect = {0, 0, 0, 0};
};

struct GdiEmu_Context
{
  uint32_t* pixels = nullptr;
  int rowSpan = 0;
  int height = 0;

  GdiEmu_Object* font = nullptr;  // never null for a live context (stock font at least)
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF bkColor = RGB(255, 255, 255);
  int bkMode = OPAQUE;
  GdiEmu_ClipState clip;
  std::vector<GdiEmu_ClipState> clipStack;
};

// Font objects (GdiEmu_Font.cpp).
GdiEmu_Object* GdiEmu_StockFont();
void GdiEmu_ReleaseSelection(GdiEmu_Object* font);  // undoes one selection, frees if pending
#endif
