// Feeds arbitrary bytes to the state and bank readers the way a host's chunk reaches them:
// through the framework header check, then UnserializeState or UnserializePresets.
// First byte: bit 0 picks the bank reader, bit 1 the generic plug-in instead of the meter.
// Findings: memory errors, undefined behaviour, a parameter, frequency or engine mirror left
// outside its range, and a state that does not read back completely after it was written.
#include "FuzzPlugs.h"

#include <cstddef>
#include <cstdint>

namespace {
SharedFuzzMeter gMeter;

template <class Plug>
void Feed(Plug* plug, const ByteChunk& input, bool bank)
{
  ByteChunk chunk;
  chunk.AppendChunk(&input);
  int pos = 0;
  ByteChunk::GetFxVerFromChunk(&chunk, &pos);
  if (pos >= 0)
  {
    const int end = bank ? plug->UnserializePresets(&chunk, pos) : plug->UnserializeState(&chunk, pos);
    FUZZ_CHECK(end <= chunk.Size());
  }

  // Whatever came in, the state written now reads back whole.
  ByteChunk state;
  FUZZ_CHECK(plug->SerializeState(&state));
  const std::vector<double> before = ParamValues(*plug);
  FUZZ_CHECK(plug->UnserializeState(&state, 0) == state.Size());
  FUZZ_CHECK(ParamValues(*plug) == before);
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
  const bool bank = data[0] & 1, generic = data[0] & 2;
  ByteChunk input;
  input.PutBytes(data + 1, (int)size - 1);

  if (generic)
  {
    FuzzPlug plug(true);
    Feed(&plug, input, bank);
    CheckParamsInRange(plug);
  }
  else
  {
    FuzzMeter* meter = gMeter.Fresh();
    Feed(meter, input, bank);
    CheckMeterInRange(*meter);
  }
  return 0;
}
