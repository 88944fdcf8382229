// Arbitrary bytes through effSetChunk, as a program (first byte bit 0 set) or as a bank, into
// the meter (bit 1 clear) or the binding's test plug-in. Findings: memory errors, undefined
// behaviour, a refused chunk that changed the plug-in's state or bank, and an accepted chunk
// after which the plug-in's own state does not read back unchanged.
#include "FuzzVst2Plugs.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {
std::unique_ptr<Vst2Host> gMeter, gTestPlug;

std::unique_ptr<Vst2Host> Make(VstPluginMainProc entry)
{
  auto host = std::make_unique<Vst2Host>();
  FUZZ_CHECK(host->Create(entry));
  host->Start(48000.0, 512);
  return host;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  UsePrivateHome();
  gMeter = Make(FuzzMeterEntry);
  gTestPlug = Make(FuzzTestPlugEntry);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size < 1 || size > 1 << 16) return 0;
  const bool program = data[0] & 1;
  Vst2Host* host = (data[0] & 2) ? gTestPlug.get() : gMeter.get();
  const std::vector<uint8_t> bytes(data + 1, data + size);

  const std::vector<uint8_t> stateBefore = host->GetChunk(true);
  const std::vector<uint8_t> bankBefore = host->GetChunk(false);
  const VstIntPtr accepted = host->SetChunk(program, bytes);
  FUZZ_CHECK(accepted == 0 || accepted == 1);
  if (!accepted)
  {
    FUZZ_CHECK(host->GetChunk(true) == stateBefore);
    FUZZ_CHECK(host->GetChunk(false) == bankBefore);
    return 0;
  }

  // Whatever was accepted, the plug-in's own chunks read back unchanged.
  const std::vector<uint8_t> state = host->GetChunk(true);
  FUZZ_CHECK(!state.empty());
  FUZZ_CHECK(host->SetChunk(true, state) == 1);
  FUZZ_CHECK(host->GetChunk(true) == state);
  const std::vector<uint8_t> bank = host->GetChunk(false);
  FUZZ_CHECK(host->SetChunk(false, bank) == 1);
  FUZZ_CHECK(host->GetChunk(false) == bank);

  // Put the starting point back for the next input.
  FUZZ_CHECK(host->SetChunk(false, bankBefore) == 1);
  FUZZ_CHECK(host->SetChunk(true, stateBefore) == 1);
  return 0;
}
