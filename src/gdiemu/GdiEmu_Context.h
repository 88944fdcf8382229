// The memory context record shared by the layer's source files (not part of the API).
#pragma once

#include "GdiEmu.h"

#ifndef _WIN32
struct GdiEmu_Context
{
  uint32_t* pixels = nullptr;
  int rowSpan = 0;
  int height = 0;
};
#endif
