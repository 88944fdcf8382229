// What the host loop reads a recorded capture through, so that it needs nothing of files or
// resampling.
#pragma once

// Where a recorded capture comes from: frames of the one channel the meter analyses, block
// by block (a file read in blocks, perhaps resampled on the way).
class ThdInputStream
{
public:
  virtual ~ThdInputStream() = default;
  // Fills up to n frames; returns how many it filled (fewer only at the end).
  virtual int Read(float* out, int n) = 0;
};
