// Interface reference files: any bytes. Reading never crashes and refuses with a reason; what
// it accepts is written again, reads back the same, and fits its own plan.
#include "FuzzCommon.h"
#include "ThdReferenceFile.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const std::string text(reinterpret_cast<const char*>(data), size);
  ThdReferenceFile file;
  std::string error;
  if (!ThdParseReference(text, "fuzz.json", &file, &error))
  {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  FUZZ_CHECK(!file.mPoints.empty() && file.mPoints.size() <= kThdReferenceMaxPoints);
  const std::string written = ThdReferenceJson(file);
  ThdReferenceFile again;
  FUZZ_CHECK(ThdParseReference(written, "again.json", &again, &error));
  FUZZ_CHECK(ThdReferenceJson(again) == written);
  (void)ThdReferencePlanText(file.mPlan);
  return 0;
}
