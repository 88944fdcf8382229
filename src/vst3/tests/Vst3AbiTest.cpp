// The declared binary interface against the published byte strings and slot numbers: these
// catch the Windows id swap applied on the wrong platform, a stray member, or a moved slot.
#include "Vst3Abi.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <string>

using namespace vst3;

namespace {
std::string Hex(const Uid& u)
{
  std::string s;
  char b[4];
  for (unsigned char c : u.mBytes)
  {
    std::snprintf(b, sizeof b, "%02X", c);
    s += b;
  }
  return s;
}
}  // namespace

TEST(Vst3Abi, InterfaceIdsInThisPlatformsByteOrder)
{
  const struct { const Uid& iid; const char* windows; const char* other; } cases[] = {
    {FUnknown::iid, "0000000000000000C000000000000046", "0000000000000000C000000000000046"},
    {IComponent::iid, "31FF31E8D5F20143928EBBEE25697802", "E831FF31F2D54301928EBBEE25697802"},
    {IAudioProcessor::iid, "993F0442DAB73C45A569E79D9AAEC33D", "42043F99B7DA453CA569E79D9AAEC33D"},
    {IEditController::iid, "E3BBD7DC42778D44A874AACC979C759E", "DCD7BBE37742448DA874AACC979C759E"},
    {IPlugView::iid, "0725C35B60D0EA49A6151B522B755B29", "5BC32507D06049EAA6151B522B755B29"},
    {IPluginFactory3::iid, "ABA2554523C1574E9B12291036878931", "4555A2ABC1234E579B12291036878931"},
    {IBStream::iid, "A26EBFC399305247 9B6BF9901EE33E9B", "C3BF6EA2309947529B6BF9901EE33E9B"},
    {IPlugViewContentScaleSupport::iid, "9096ED65C48A25458AADEF7A72EA703F", "65ED96908AC445258AADEF7A72EA703F"},
    {Linux::IRunLoop::iid, "6653C31876971A4F9C5B83857A871389", "18C3536697764F1A9C5B83857A871389"},
    {Linux::IEventHandler::iid, "C9651E56A0136F49813A2C35654D7983", "561E65C913A0496F813A2C35654D7983"},
    {Linux::ITimerHandler::iid, "4FD9BD104241744782 1FAD8FECA72CA9", "10BDD94F41424774821FAD8FECA72CA9"},
  };
  for (const auto& c : cases)
  {
#if defined(_WIN32)
    std::string want = c.windows;
#else
    std::string want = c.other;
#endif
    want.erase(std::remove(want.begin(), want.end(), ' '), want.end());
    EXPECT_EQ(Hex(c.iid), want);
  }
}

TEST(Vst3Abi, ResultCodesOfThisPlatform)
{
  EXPECT_EQ(kResultOk, 0);
  EXPECT_EQ(kResultTrue, 0);
  EXPECT_EQ(kResultFalse, 1);
#if defined(_WIN32)
  EXPECT_EQ((uint32)kNoInterface, 0x80004002u);
  EXPECT_EQ((uint32)kNotImplemented, 0x80004001u);
  EXPECT_EQ((uint32)kInvalidArgument, 0x80070057u);
#else
  EXPECT_EQ(kNoInterface, -1);
  EXPECT_EQ(kNotImplemented, 3);
  EXPECT_EQ(kInvalidArgument, 2);
#endif
}

namespace {
// Slot n of an interface's table: the n-th function pointer behind the object's vtable pointer.
template <class I>
void* Slot(I* obj, int n)
{
  return (*reinterpret_cast<void***>(obj))[n];
}

struct SlotProbe final : IAudioProcessor, IPlugView
{
  tresult VX_VST3_API queryInterface(const TUID, void**) override { return 0; }
  uint32 VX_VST3_API addRef() override { return 1; }
  uint32 VX_VST3_API release() override { return 1; }
  tresult VX_VST3_API setBusArrangements(SpeakerArrangement*, int32, SpeakerArrangement*, int32) override { return 3; }
  tresult VX_VST3_API getBusArrangement(BusDirection, int32, SpeakerArrangement&) override { return 4; }
  tresult VX_VST3_API canProcessSampleSize(int32) override { return 5; }
  uint32 VX_VST3_API getLatencySamples() override { return 6; }
  tresult VX_VST3_API setupProcessing(ProcessSetup&) override { return 7; }
  tresult VX_VST3_API setProcessing(TBool) override { return 8; }
  tresult VX_VST3_API process(ProcessData&) override { return 9; }
  uint32 VX_VST3_API getTailSamples() override { return 10; }
  tresult VX_VST3_API isPlatformTypeSupported(FIDString) override { return 3; }
  tresult VX_VST3_API attached(void*, FIDString) override { return 4; }
  tresult VX_VST3_API removed() override { return 5; }
  tresult VX_VST3_API onWheel(float) override { return 6; }
  tresult VX_VST3_API onKeyDown(char16, int16, int16) override { return 7; }
  tresult VX_VST3_API onKeyUp(char16, int16, int16) override { return 8; }
  tresult VX_VST3_API getSize(ViewRect*) override { return 9; }
  tresult VX_VST3_API onSize(ViewRect*) override { return 10; }
  tresult VX_VST3_API onFocus(TBool) override { return 11; }
  tresult VX_VST3_API setFrame(IPlugFrame*) override { return 12; }
  tresult VX_VST3_API canResize() override { return 13; }
  tresult VX_VST3_API checkSizeConstraint(ViewRect*) override { return 14; }
};
}  // namespace

TEST(Vst3Abi, MethodsSitInTheirPublishedSlots)
{
  SlotProbe probe;
  IAudioProcessor* proc = &probe;
  ProcessData data{};
  auto process = reinterpret_cast<tresult(VX_VST3_API*)(IAudioProcessor*, ProcessData&)>(Slot(proc, 9));
  EXPECT_EQ(process(proc, data), 9);
  IPlugView* view = &probe;
  auto check = reinterpret_cast<tresult(VX_VST3_API*)(IPlugView*, ViewRect*)>(Slot(view, 14));
  EXPECT_EQ(check(view, nullptr), 14);
  auto getSize = reinterpret_cast<tresult(VX_VST3_API*)(IPlugView*, ViewRect*)>(Slot(view, 9));
  EXPECT_EQ(getSize(view, nullptr), 9);
}
