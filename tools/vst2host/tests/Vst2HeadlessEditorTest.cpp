// The editor opcodes over the real editor: an IGraphics (the headless window host, the one
// the Linux builds attach) of the meter's size on a plug-in over the VST 2 binding.
#include "IGraphicsHeadless.h"
#include "Vst2Host.h"
#include "Vst2TestPlug.h"

#include <gtest/gtest.h>

namespace {

AEffect* VSTCALLBACK HeadlessEditorEntry(audioMasterCallback host)
{
  IFxInstanceInfo info;
  info.mVSTHostCallback = host;
  Vst2TestPlug* plug = new Vst2TestPlug(info, {});
  plug->AttachGraphics(new IGraphicsHeadless(plug, 251, 310));
  plug->EnsureDefaultPreset();
  return plug->GetAEffect();
}

TEST(Vst2HeadlessEditor, SizeFromTheEditorNoWindowOnLinux)
{
  Vst2Host host;
  ASSERT_TRUE(host.Create(HeadlessEditorEntry));
  host.Start(48000.0, 512);
  EXPECT_TRUE(host.Effect()->flags & effFlagsHasEditor);
  ERect* rect = nullptr;
  ASSERT_EQ(host.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->right, 251);
  EXPECT_EQ(rect->bottom, 310);

  IGraphicsHeadless* gui = (IGraphicsHeadless*)TestPlugOf(host.Effect())->GetGUI();
  int parent = 0;
  const VstIntPtr opened = host.Dispatch(effEditOpen, 0, 0, &parent);
  EXPECT_EQ(opened, IFxVST::PlatformHasEditorWindowHost() ? 1 : 0);
  EXPECT_EQ(gui->WindowIsOpen(), opened == 1) << "the headless editor is not opened behind the host's back";
  EXPECT_EQ(host.Dispatch(effEditClose), 1);
  EXPECT_FALSE(gui->WindowIsOpen());

  // A host parameter change reaches the real editor's controls without drawing anything.
  host.SetParameter(Vst2TestPlug::kGain, 0.25f);
  EXPECT_FLOAT_EQ(host.GetParameter(Vst2TestPlug::kGain), 0.25f);
  host.Close();
}

}  // namespace
