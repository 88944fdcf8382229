// The editor's eight PNG images compiled into the meter, for window hosts that take images
// from memory (the headless host); the Windows module carries the same files as resources.
#pragma once

#include <cstddef>

struct ThdMeterImage
{
  int id;
  const char* name;  // "resources/img/..."
  const unsigned char* data;
  size_t size;
};

// The images in id order; count receives their number.
const ThdMeterImage* ThdMeter_Images(int* count);
