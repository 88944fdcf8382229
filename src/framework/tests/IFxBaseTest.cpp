// Plug-in base tests: channel configurations, the float and double buffer frames (oversized
// blocks, disconnected inputs, in-place buffers), bypass latency, parameter flow in both
// directions, the editor hand-over, versions and the state chunk.

#include "IFxTestBinding.h"
#include "Util_ByteOrder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {
// A pass-through plug-in with the base's defaults everywhere.
class PassThroughPlug : public IFxTestBinding
{
public:
  explicit PassThroughPlug(const char* io = "1-1 2-2", int latency = 0, int nParams = 3)
    : IFxTestBinding(IFxInstanceInfo{}, nParams, io, 1, "Pass", "", "example.com", 0x00010203,
                     Util_FourCC("Pass"), Util_FourCC("Exmp"), latency, false, true, false)
  {
    if (nParams > 0) GetParam(0)->InitDouble("Gain", 0.0, -12.0, 12.0, 0.1, "dB");
    if (nParams > 1) GetParam(1)->InitBool("Mute", false);
    if (nParams > 2) GetParam(2)->InitInt("Mode", 1, 0, 4);
  }

  void OnParamChange(int idx) override
  {
    IFxBase::OnParamChange(idx);
    changed.push_back(idx);
  }

  std::vector<int> changed;
};

// Records what the editor side is told.
class RecordingEditor : public IEditorLink
{
public:
  explicit RecordingEditor(int* deleted) : mDeleted(deleted) {}
  ~RecordingEditor() override { ++*mDeleted; }
  void SetParameterFromPlug(int idx, double value, bool normalized) override
  {
    params.push_back({idx, value, normalized});
  }
  void SetControlFromPlug(int, double) override {}
  void PrepDraw() override { ++prepDraws; }

  struct Call { int idx; double value; bool normalized; };
  std::vector<Call> params;
  int prepDraws = 0;
  int* mDeleted;
};
}  // namespace

TEST(IFxBase, ChannelIOStringAndLegalIO)
{
  PassThroughPlug plug("1-1 2-2");
  EXPECT_EQ(plug.NChannelIO(), 2);
  EXPECT_EQ(plug.NInChannels(), 2);
  EXPECT_EQ(plug.NOutChannels(), 2);
  const struct { int in, out; bool legal; } cases[] = {
    {1, -1, true}, {2, 2, true}, {1, 2, false}, {-1, -1, true}, {-1, 2, true}, {-1, 3, false}, {3, -1, false},
  };
  for (const auto& c : cases) EXPECT_EQ(plug.LegalIO(c.in, c.out), c.legal) << c.in << "," << c.out;

  PassThroughPlug single("2-2");
  EXPECT_EQ(single.NChannelIO(), 1);
  PassThroughPlug odd("x-3 4-y");
  ASSERT_EQ(odd.NChannelIO(), 2);
  EXPECT_EQ(odd.GetChannelIO(0)->mIn, 0) << "unreadable numbers stay 0";
  EXPECT_EQ(odd.GetChannelIO(1)->mIn, 4);
  EXPECT_EQ(odd.GetChannelIO(1)->mOut, 0);
  PassThroughPlug none("");
  EXPECT_FALSE(none.LegalIO(-1, -1));
}

TEST(IFxBase, FloatBuffersUnconnectedChannelsAndAccumulation)
{
  PassThroughPlug plug;
  plug.HostPrepare(48000, 8);
  plug.SetInputChannelConnections(1, 1, false);

  float in0[8], out0[8], out1[8];
  for (int i = 0; i < 8; ++i) { in0[i] = 0.25f * (float)i; out0[i] = out1[i] = 99.0f; }
  float* ins[] = {in0};  // only connected channels take a host pointer
  float* outs[] = {out0, out1};
  plug.HostProcess(ins, outs, 8);
  for (int i = 0; i < 8; ++i)
  {
    EXPECT_EQ(out0[i], in0[i]);
    EXPECT_EQ(out1[i], 0.0f) << "unconnected input 1 reads zeros";
  }

  // Accumulating form adds to what the host buffer holds.
  {
    Util_MutexLock lock(plug.GetMutex());
    plug.AttachInputBuffers(0, 2, ins, 8);
    plug.AttachOutputBuffers(0, 2, outs);
    plug.ProcessBuffersAccumulating(0.0f, 8);
  }
  for (int i = 0; i < 8; ++i) EXPECT_EQ(out0[i], 2.0f * in0[i]);
}

TEST(IFxBase, DoubleBuffersGoStraightThrough)
{
  PassThroughPlug plug("1-2");
  plug.HostPrepare(44100, 4);
  double in0[4] = {1, 2, 3, 4}, out0[4] = {}, out1[4] = {7, 7, 7, 7};
  double* ins[] = {in0};
  double* outs[] = {out0, out1};
  plug.HostProcess(ins, outs, 4);
  for (int i = 0; i < 4; ++i)
  {
    EXPECT_EQ(out0[i], in0[i]);
    EXPECT_EQ(out1[i], 0.0) << "outputs beyond the input count are zero-filled";
  }
}

TEST(IFxBase, HostBlockLargerThanAnnouncedDoesNotOverrun)
{
  PassThroughPlug plug;
  plug.HostPrepare(48000, 4);
  std::vector<float> in(64, 0.5f), out(64, 0.0f);
  float* ins[] = {in.data(), in.data()};
  float* outs[] = {out.data(), out.data()};
  plug.HostProcess(ins, outs, 64);
  EXPECT_EQ(out[63], 0.5f);
}

// Unconnected channels read and write scratch buffers sized to the announced block; a
// double-precision host that sends a longer block must not run past them (ASan catches it).
TEST(IFxBase, DoubleHostBlockLongerThanAnnouncedDoesNotOverrunScratch)
{
  for (bool bypassed : {false, true})
  {
    PassThroughPlug plug("1-1 2-2", bypassed ? 16 : 0);
    if (bypassed) plug.HostSetBypassDelay();
    plug.HostPrepare(48000, 64);
    plug.SetBypassed(bypassed);
    plug.SetInputChannelConnections(1, 1, false);
    plug.SetOutputChannelConnections(1, 1, false);
    std::vector<double> in(8192, 0.5), out(8192, 0.0);
    double* ins[] = {in.data()};
    double* outs[] = {out.data()};
    plug.HostProcess(ins, outs, 8192);
    EXPECT_EQ(plug.GetBlockSize(), 8192) << "bypassed " << bypassed;
    EXPECT_EQ(out[8191], 0.5) << "bypassed " << bypassed;
  }
}

TEST(IFxBase, InputDisconnectedAfterAFloatBlockReadsSilence)
{
  PassThroughPlug plug;
  plug.HostPrepare(48000, 8);
  float in0[8], in1[8], out0[8], out1[8];
  for (int i = 0; i < 8; ++i) in0[i] = in1[i] = 0.5f;
  float* ins[] = {in0, in1};
  float* outs[] = {out0, out1};
  plug.HostProcess(ins, outs, 8);
  EXPECT_EQ(out1[7], 0.5f);
  plug.SetInputChannelConnections(1, 1, false);
  plug.HostProcess(ins, outs, 8);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(out1[i], 0.0f) << "the last float block must not be read again";
}

TEST(IFxBase, BypassDelayLineDelaysByExactlyTheLatency)
{
  for (int latency : {1, 3, 7, 64})
  {
    PassThroughPlug plug("2-2", latency);
    plug.HostSetBypassDelay();
    plug.HostPrepare(48000, 16);
    plug.SetBypassed(true);
    std::vector<double> sent, got;
    for (int block = 0; block < 6; ++block)
    {
      double in0[16], in1[16], out0[16], out1[16];
      for (int i = 0; i < 16; ++i)
      {
        in0[i] = 1.0 + block * 16 + i;
        in1[i] = -in0[i];
        sent.push_back(in0[i]);
      }
      double* ins[] = {in0, in1};
      double* outs[] = {out0, out1};
      plug.HostProcess(ins, outs, 16);
      for (int i = 0; i < 16; ++i)
      {
        got.push_back(out0[i]);
        ASSERT_EQ(out1[i], -out0[i]);
      }
    }
    for (size_t i = 0; i < got.size(); ++i)
      ASSERT_EQ(got[i], i < (size_t)latency ? 0.0 : sent[i - latency]) << "latency " << latency << " frame " << i;
  }
}

TEST(IFxBase, SetBlockSizeWithSameSizeKeepsScratch)
{
  PassThroughPlug plug;
  plug.HostPrepare(48000, 8);
  plug.SetInputChannelConnections(0, 2, false);
  plug.SetBlockSize(8);
  EXPECT_EQ(plug.GetBlockSize(), 8);
  // A different size re-points unconnected channels at their new scratch buffers.
  plug.SetBlockSize(32);
  double out0[32], out1[32];
  double* outs[] = {out0, out1};
  plug.HostProcess((double**)nullptr, outs, 32);  // no inputs connected
  for (int i = 0; i < 32; ++i) EXPECT_EQ(out0[i], 0.0);
}

TEST(IFxBase, ConnectionsCutAtChannelCount)
{
  PassThroughPlug plug;
  plug.SetInputChannelConnections(1, 5, true);
  EXPECT_FALSE(plug.IsInChannelConnected(0));
  EXPECT_TRUE(plug.IsInChannelConnected(1));
  EXPECT_FALSE(plug.IsInChannelConnected(2));
  EXPECT_FALSE(plug.IsOutChannelConnected(-1));
}

TEST(IFxBase, ParameterFlowFromEditorAndToHost)
{
  PassThroughPlug plug;
  plug.SetParameterFromGUI(2, 0.5);
  EXPECT_EQ(plug.GetParam(2)->Value(), 2.0);
  ASSERT_EQ(plug.mInformed.GetSize(), 1);
  EXPECT_EQ(plug.mInformed.Get()[0].mIdx, 2);
  EXPECT_EQ(plug.mInformed.Get()[0].mNormalized, 0.5);
  EXPECT_EQ(plug.changed, std::vector<int>{2});

  plug.DirtyParameters();
  EXPECT_EQ(plug.mInformed.GetSize(), 4);
  plug.changed.clear();
  plug.OnParamReset();
  EXPECT_EQ(plug.changed, (std::vector<int>{0, 1, 2}));
}

TEST(IFxBase, HostSetsParametersOneWay)
{
  // Automation (normalised) and host text (read by the parameter's parser) both end in the
  // same steps: the value, then the editor, then OnParamChange; the host is not told back.
  int deleted = 0;
  PassThroughPlug plug;
  RecordingEditor* editor = new RecordingEditor(&deleted);
  plug.AttachGraphics(editor);
  editor->params.clear();
  EXPECT_TRUE(plug.SetParameterFromHost(2, 0.5, true));
  EXPECT_EQ(plug.GetParam(2)->Value(), 2.0);
  EXPECT_TRUE(plug.SetParameterFromHost(0, 1.5, true)) << "normalised values are cut to 0..1";
  EXPECT_EQ(plug.GetParam(0)->Value(), 12.0);
  EXPECT_TRUE(plug.SetParameterFromHost(0, -20.0, false)) << "real values are clamped";
  EXPECT_EQ(plug.GetParam(0)->Value(), -12.0);
  EXPECT_TRUE(plug.SetParameterFromHostText(1, "on"));
  EXPECT_EQ(plug.GetParam(1)->Value(), 1.0);
  EXPECT_TRUE(plug.SetParameterFromHostText(0, "-3.5"));
  EXPECT_EQ(plug.GetParam(0)->Value(), -3.5);
  ASSERT_EQ(editor->params.size(), 5u);
  EXPECT_EQ(editor->params[0].idx, 2);
  EXPECT_EQ(editor->params[0].value, 0.5);
  EXPECT_TRUE(editor->params[0].normalized);
  EXPECT_EQ(editor->params[1].value, 1.0);
  EXPECT_EQ(editor->params[2].value, -12.0);
  EXPECT_FALSE(editor->params[2].normalized);
  EXPECT_EQ(editor->params[4].value, -3.5);
  EXPECT_EQ(plug.changed, (std::vector<int>{2, 0, 0, 1, 0}));
  EXPECT_EQ(plug.mInformed.GetSize(), 0) << "a host's own change is not reported back to it";

  // Refused: nothing changes, nobody is told.
  const struct { int idx; double value; bool normalized; } refused[] = {
    {3, 0.5, true}, {-1, 0.5, true}, {0, std::nan(""), true}, {0, INFINITY, false},
  };
  for (const auto& r : refused) EXPECT_FALSE(plug.SetParameterFromHost(r.idx, r.value, r.normalized)) << r.idx;
  EXPECT_FALSE(plug.SetParameterFromHostText(1, "maybe"));
  EXPECT_FALSE(plug.SetParameterFromHostText(0, "nan"));
  EXPECT_FALSE(plug.SetParameterFromHostText(7, "1"));
  EXPECT_EQ(editor->params.size(), 5u);
  EXPECT_EQ(plug.changed.size(), 5u);
  EXPECT_EQ(plug.GetParam(0)->Value(), -3.5);
}

TEST(IFxBase, ProcessBlockBypassesOrProcesses)
{
  // A plug-in that writes a constant, so the block entry's choice shows in the output.
  class ConstPlug : public PassThroughPlug
  {
  public:
    ConstPlug() : PassThroughPlug("1-1 2-2", 2) {}
    void ProcessDoubleReplacing(double**, double** outputs, int nFrames) override
    {
      for (int c = 0; c < 2; ++c)
        for (int s = 0; s < nFrames; ++s) outputs[c][s] = 0.25;
    }
  };
  ConstPlug plug;
  plug.HostSetBypassDelay();
  plug.HostPrepare(48000, 4);
  float in0[4] = {1, 2, 3, 4}, in1[4] = {5, 6, 7, 8}, out0[4] = {}, out1[4] = {};
  float* ins[] = {in0, in1};
  float* outs[] = {out0, out1};
  plug.HostProcess(ins, outs, 4);
  EXPECT_EQ(out0[3], 0.25f);
  plug.SetBypassed(true);
  plug.HostProcess(ins, outs, 4);
  EXPECT_EQ(out0[0], 0.0f) << "bypassed: the input delayed by the latency";
  EXPECT_EQ(out0[2], 1.0f);
  EXPECT_EQ(out1[3], 6.0f);
  plug.SetBypassed(false);
  double d0[4] = {}, d1[4] = {}, i0[4] = {1, 1, 1, 1}, i1[4] = {};
  double* dins[] = {i0, i1};
  double* douts[] = {d0, d1};
  plug.HostProcess(dins, douts, 4);
  EXPECT_EQ(d1[0], 0.25);
}

TEST(IFxBase, InPlaceDoubleBuffersAreReadBeforeTheyAreWritten)
{
  // Writes output 0 before reading input 0 (as the meter writes its tone), in the plug-in and
  // past it; a host passing one buffer as both must still have its input read.
  class WriteFirstPlug : public PassThroughPlug
  {
  public:
    void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override
    {
      for (int s = 0; s < nFrames; ++s)
      {
        outputs[0][s] = -1.0;
        outputs[1][s] = inputs[0][s];
      }
    }
  };
  WriteFirstPlug plug;
  plug.HostPrepare(48000, 8);
  double a[8], b[8];
  for (int i = 0; i < 8; ++i) a[i] = i + 1, b[i] = 0.0;
  double* bufs[] = {a, b};
  plug.HostProcess(bufs, bufs, 8);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(b[i], i + 1.0) << i;
  for (int i = 0; i < 8; ++i) EXPECT_EQ(a[i], -1.0) << i;

  // Crosswise through the bypass delay line: output 1 is input 0's buffer.
  PassThroughPlug delayed("1-1 2-2", 2);
  delayed.HostSetBypassDelay();
  delayed.HostPrepare(48000, 8);
  delayed.SetBypassed(true);
  double in0[8], in1[8], out0[8];
  for (int i = 0; i < 8; ++i) in0[i] = i + 1, in1[i] = 100 + i;
  double* ins[] = {in0, in1};
  double* outs[] = {out0, in0};
  delayed.HostProcess(ins, outs, 8);
  for (int i = 2; i < 8; ++i) EXPECT_EQ(out0[i], i - 1.0) << i;
  for (int i = 2; i < 8; ++i) EXPECT_EQ(in0[i], 98.0 + i) << i;
}

TEST(IFxBase, AttachGraphicsPassesNormalisedValuesAndOwnsTheEditor)
{
  int deleted = 0;
  {
    PassThroughPlug plug;
    plug.GetParam(0)->Set(6.0);
    auto* editor = new RecordingEditor(&deleted);
    plug.AttachGraphics(nullptr);
    plug.AttachGraphics(editor);
    ASSERT_EQ(editor->params.size(), 3u);
    EXPECT_DOUBLE_EQ(editor->params[0].value, 0.75);
    EXPECT_TRUE(editor->params[0].normalized);
    EXPECT_EQ(editor->prepDraws, 1);

    editor->params.clear();
    plug.RedrawParamControls();
    ASSERT_EQ(editor->params.size(), 3u);
    EXPECT_EQ(editor->params[0].value, 6.0);
    EXPECT_FALSE(editor->params[0].normalized);
  }
  EXPECT_EQ(deleted, 1);
}

TEST(IFxBase, VersionsApiAndLabels)
{
  PassThroughPlug plug;
  char text[32];
  plug.GetEffectVersionStr(text, sizeof text);
  EXPECT_STREQ(text, "v1.2.3");
  EXPECT_EQ(plug.GetEffectVersion(true), 10203);
  EXPECT_STREQ(plug.GetAPIString(), "Standalone");
  EXPECT_STREQ(IFxBase::GetArchString(), "x64");
  EXPECT_EQ(plug.GetHostVersion(true), 10000) << "asking the version identifies the host first";
  EXPECT_EQ(plug.GetHost(), kHostStandalone);

  plug.SetInputLabel(1, "R in");
  plug.SetInputLabel(5, "ignored");
  EXPECT_STREQ(plug.GetInputLabel(1), "R in");
  plug.SetOutputBusLabel(1, "aux");
  plug.SetOutputBusLabel(1, "aux 2");
  plug.SetOutputBusLabel(2, "ignored");
  EXPECT_STREQ(plug.GetOutputBusLabel(1), "aux 2");
  EXPECT_STREQ(plug.GetOutputBusLabel(2), "");
  plug.mTimeInfo.mTempo = 120.0;
  plug.SetSampleRate(48000);
  EXPECT_EQ(plug.GetSamplesPerBeat(), 24000.0);
}

TEST(IFxBase, ParamsRoundTripThroughChunk)
{
  PassThroughPlug plug;
  plug.GetParam(0)->Set(-3.5);
  plug.GetParam(1)->Set(1);
  plug.GetParam(2)->Set(4);
  ByteChunk chunk;
  ASSERT_TRUE(plug.SerializeParams(&chunk));
  EXPECT_EQ(chunk.Size(), 24);

  PassThroughPlug other;
  EXPECT_EQ(other.UnserializeParams(&chunk, 0), 24);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(other.GetParam(i)->Value(), plug.GetParam(i)->Value());
  EXPECT_EQ(other.changed, (std::vector<int>{0, 1, 2}));

  // 12 bytes: the first value, then 0.0 clamped for the second, the third untouched.
  ByteChunk shortChunk;
  shortChunk.PutBytes(chunk.GetBytes(), 12);
  PassThroughPlug third;
  third.GetParam(1)->Set(1);
  EXPECT_EQ(third.UnserializeParams(&shortChunk, 0), -1);
  EXPECT_EQ(third.GetParam(0)->Value(), -3.5);
  EXPECT_EQ(third.GetParam(1)->Value(), 0.0);
  EXPECT_EQ(third.GetParam(2)->Value(), 1.0);
}

TEST(IFxBase, DefaultPresetTakesFirstFreeSlot)
{
  PassThroughPlug plug;
  plug.MakeDefaultPreset("-", 1);
  ASSERT_EQ(plug.NPresets(), 1);
  EXPECT_TRUE(plug.GetPreset(0)->mInitialized);
  EXPECT_STREQ(plug.GetPresetName(0), "-");
  EXPECT_EQ(plug.GetPreset(0)->mChunk.Size(), 24);
  plug.MakeDefaultPreset("again", 1);  // no free slot: nothing
  EXPECT_STREQ(plug.GetPresetName(0), "-");
  EXPECT_STREQ(plug.GetPresetName(3), "");
}
