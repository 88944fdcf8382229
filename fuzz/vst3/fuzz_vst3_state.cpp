// Arbitrary bytes as the state stream a host hands to the component's or the controller's
// setState. First byte: bit 0 picks the controller, bit 1 a stream that delivers one byte per
// read. Findings: memory errors, undefined behaviour, a parameter or the frequency left out of
// range, a state of the wrong size afterwards, a stream ending inside a value that was not
// refused or that changed the state.
#include "FuzzVst3.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {
IThdMeter* gMeter = nullptr;
vst3host::HostApplication gHost;

// Hands out at most one byte per read, as a slow host stream may.
class TrickleStream : public vst3host::MemoryStream
{
public:
  using MemoryStream::MemoryStream;
  vst3::tresult VX_VST3_API read(void* buffer, vst3::int32 numBytes, vst3::int32* numBytesRead) override
  {
    return MemoryStream::read(buffer, numBytes > 0 ? 1 : numBytes, numBytesRead);
  }
};
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  UsePrivateHome();
  gMeter = NewMeter(&gHost);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size < 1) return 0;
  const bool controller = data[0] & 1;
  std::vector<unsigned char> bytes(data + 1, data + size);
  vst3host::MemoryStream plain(bytes);
  TrickleStream trickle(bytes);
  vst3::IBStream* stream = (data[0] & 2) ? static_cast<vst3::IBStream*>(&trickle) : &plain;
  vst3host::MemoryStream before;
  FUZZ_CHECK(static_cast<vst3::IComponent*>(gMeter)->getState(&before) == vst3::kResultOk);
  const vst3::tresult r = controller ? static_cast<vst3::IEditController*>(gMeter)->setState(stream)
                                     : static_cast<vst3::IComponent*>(gMeter)->setState(stream);
  // The meter's state is eleven doubles (88 bytes; the controller's adds a 4-byte bypass):
  // a shorter stream that ends between two values is taken, one that ends inside a value
  // is refused and changes nothing.
  const size_t n = bytes.size();
  const bool insideValue = (n < 88 && n % 8 != 0) || (controller && n > 88 && n < 92);
  if (controller) FUZZ_CHECK((r == vst3::kResultOk) == (n >= 92));
  else FUZZ_CHECK((r == vst3::kResultOk) == !insideValue);
  if (insideValue)
  {
    vst3host::MemoryStream after;
    FUZZ_CHECK(static_cast<vst3::IComponent*>(gMeter)->getState(&after) == vst3::kResultOk);
    FUZZ_CHECK(after.mBytes == before.mBytes);
  }
  CheckMeter(gMeter);
  return 0;
}
