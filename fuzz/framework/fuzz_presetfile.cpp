// Feeds arbitrary bytes to the program (FXP) and bank (FXB) file readers.
// First byte: bit 0 picks the bank reader; bits 1-2 the plug-in (0: generic with state
// chunks, 1: generic with parameter files, 2 and 3: the meter).
// Findings: memory errors, undefined behaviour, a parameter left outside its range, and a
// refused file that changed a parameter.
#include "FuzzPlugs.h"

#include <cstddef>
#include <cstdint>

namespace {
SharedFuzzMeter gMeter;

template <class Plug>
void Load(Plug* plug, const ByteChunk& file, bool bank)
{
  const std::vector<double> before = ParamValues(*plug);
  const bool ok = bank ? plug->LoadBankFromFXBData(&file) : plug->LoadProgramFromFXPData(&file);
  if (!ok) FUZZ_CHECK(ParamValues(*plug) == before);
  CheckParamsInRange(*plug);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  gMeter.Init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size < 1 || size > 1 << 16) return 0;
  const bool bank = data[0] & 1;
  const int which = (data[0] >> 1) & 3;
  ByteChunk file;
  file.PutBytes(data + 1, (int)size - 1);

  if (which < 2)
  {
    FuzzPlug plug(which == 0);
    Load(&plug, file, bank);
  }
  else
  {
    FuzzMeter* meter = gMeter.Fresh();
    Load(meter, file, bank);
    CheckMeterInRange(*meter);
  }
  return 0;
}
