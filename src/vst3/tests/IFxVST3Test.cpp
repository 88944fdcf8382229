// IFxVST3 in-process, over a small plug-in with parameter groups, two presets, MIDI input and
// an attached editor: what the meter alone cannot show (units, preset changes, the editor
// view's size and resize protocol, edits and restarts reported to the host, time queries).
#include "IFxVST3.h"
#include "IFxVST3View.h"
#include "IHostId.h"
#include "Util_ByteOrder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace vst3;

namespace {
std::string Text(const char16* s)
{
  std::string r;
  for (int i = 0; i < 128 && s[i]; ++i) r += (char)s[i];
  return r;
}

template <class I>
class Fake : public I
{
public:
  tresult VX_VST3_API queryInterface(const TUID iid, void** obj) override
  {
    if (I::iid.Equals(iid) || FUnknown::iid.Equals(iid))
    {
      *obj = static_cast<I*>(this);
      addRef();
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 VX_VST3_API addRef() override { return ++mRefs; }
  uint32 VX_VST3_API release() override { return --mRefs; }
  int mRefs = 1;
};

struct Host : Fake<IHostApplication>
{
  tresult VX_VST3_API getName(String128 name) override
  {
    Widen("Ardour 7.3", name, 128);
    return kResultOk;
  }
  tresult VX_VST3_API createInstance(TUID, TUID, void**) override { return kResultFalse; }
};

struct Handler : Fake<IComponentHandler>
{
  // Appended piece by piece: mingw's g++ 12 at -O2 warns falsely (-Wrestrict) about
  // "literal" + std::string.
  tresult VX_VST3_API beginEdit(ParamID id) override { Note('b', std::to_string(id)); return kResultOk; }
  tresult VX_VST3_API performEdit(ParamID id, ParamValue v) override
  {
    if (onEdit) onEdit();
    Note('p', std::to_string(id));
    log += '=';
    log += std::to_string(v);
    return kResultOk;
  }
  tresult VX_VST3_API endEdit(ParamID id) override { Note('e', std::to_string(id)); return kResultOk; }
  void Note(char what, const std::string& id)
  {
    log += what;
    log += id;
  }
  tresult VX_VST3_API restartComponent(int32 flags) override { restarts.push_back(flags); return kResultOk; }
  std::string log;
  std::vector<int32> restarts;
  std::function<void()> onEdit;  // what the host does inside performEdit (take its own lock)
};

struct Frame : Fake<IPlugFrame>
{
  tresult VX_VST3_API resizeView(IPlugView* view, ViewRect* r) override
  {
    ++resizes;
    return view->onSize(r);  // hosts answer with onSize in the same call
  }
  int resizes = 0;
};

struct Queue : Fake<IParamValueQueue>
{
  ParamID VX_VST3_API getParameterId() override { return id; }
  int32 VX_VST3_API getPointCount() override { return (int32)values.size(); }
  tresult VX_VST3_API getPoint(int32 i, int32& offset, ParamValue& v) override
  {
    if (i < 0 || i >= (int32)values.size()) return kInvalidArgument;
    offset = 0;
    v = values[(size_t)i];
    return kResultOk;
  }
  tresult VX_VST3_API addPoint(int32, ParamValue, int32&) override { return kResultFalse; }
  ParamID id = 0;
  std::vector<double> values;
};

struct Changes : Fake<IParameterChanges>
{
  int32 VX_VST3_API getParameterCount() override { return (int32)queues.size(); }
  IParamValueQueue* VX_VST3_API getParameterData(int32 i) override
  {
    return i >= 0 && i < (int32)queues.size() ? &queues[(size_t)i] : nullptr;
  }
  IParamValueQueue* VX_VST3_API addParameterData(const ParamID&, int32&) override { return nullptr; }
  std::vector<Queue> queues;
};

struct Events : Fake<IEventList>
{
  int32 VX_VST3_API getEventCount() override { return (int32)events.size(); }
  tresult VX_VST3_API getEvent(int32 i, Event& e) override
  {
    if (i < 0 || i >= (int32)events.size()) return kInvalidArgument;
    e = events[(size_t)i];
    return kResultOk;
  }
  tresult VX_VST3_API addEvent(Event&) override { return kResultFalse; }
  std::vector<Event> events;
};

class Editor : public IEditorLink
{
public:
  void SetParameterFromPlug(int idx, double value, bool normalized) override
  {
    fromPlug.push_back({idx, value, normalized});
  }
  void SetControlFromPlug(int, double) override {}
  void PrepDraw() override {}
  int Width() const override { return 251; }
  int Height() const override { return 310; }
  void* OpenWindow(void*) override { ++opened; return nullptr; }
  void CloseWindow() override { ++closed; }
  struct Call { int idx; double value; bool normalized; };
  std::vector<Call> fromPlug;
  int opened = 0, closed = 0;
};

// Groups A, B, A and one parameter without a group; two presets; MIDI in.
class GroupPlug : public IFxVST3
{
public:
  GroupPlug()
    : IFxVST3(IFxInstanceInfo{}, 4, "1-1 2-2", 2, "Groups", "", "example.com", 0x00010000, Util_FourCC("Grps"),
              Util_FourCC("Exmp"), 0, true, true, false)
  {
    GetParam(0)->InitDouble("A1", 0.0, 0.0, 1.0, 0.01, "", "A");
    GetParam(1)->InitInt("B1", 2, 0, 4, "", "B");
    GetParam(2)->InitBool("A2", false, "", "A");
    GetParam(3)->InitDouble("Gain", 0.0, -12.0, 12.0, 0.1, "dB");
    MakePresetFromNamedParams("low", 1, 0, 0.25);
    MakePresetFromNamedParams("high", 1, 0, 0.75);
  }
  void OnHostIdentified() override { ++identified; }
  void OnWindowResize() override { ++resized; }
  void OnGUIOpen() override { ++guiOpen; }
  void OnGUIClose() override { ++guiClose; }
  void ProcessMidiMsg(IMidiMsg* msg) override { midi.push_back(*msg); }
  // Like the meter: output 0 is written before input 0 is read (and copied to output 1).
  void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override
  {
    if (!writeBeforeRead) return IFxVST3::ProcessDoubleReplacing(inputs, outputs, nFrames);
    for (int s = 0; s < nFrames; ++s)
    {
      outputs[0][s] = 0.125;
      outputs[1][s] = inputs[0][s];
    }
  }
  bool writeBeforeRead = false;
  void AttachEditor(IEditorLink* editor) { AttachGraphics(editor); }

  int identified = 0, resized = 0, guiOpen = 0, guiClose = 0;
  std::vector<IMidiMsg> midi;
};

class IFxVST3Fixture : public ::testing::Test
{
protected:
  void SetUp() override
  {
    plug = new GroupPlug;
    ASSERT_EQ(plug->initialize(static_cast<FUnknown*>(&host)), kResultOk);
    plug->setComponentHandler(&handler);
  }
  void TearDown() override
  {
    plug->terminate();
    EXPECT_EQ(host.mRefs, 1);
    EXPECT_EQ(handler.mRefs, 1) << "terminate lets go of the host's component handler";
    EXPECT_EQ(static_cast<IComponent*>(plug)->release(), 0u);
  }
  tresult Process(Changes* changes, Events* events = nullptr, ProcessContext* context = nullptr)
  {
    ProcessData data{};
    data.symbolicSampleSize = kSample64;
    data.numSamples = 0;  // parameters only
    data.inputParameterChanges = changes;
    data.inputEvents = events;
    data.processContext = context;
    return plug->process(data);
  }
  Changes One(ParamID id, std::vector<double> values)
  {
    Changes c;
    c.queues.push_back(Queue());
    c.queues[0].id = id;
    c.queues[0].values = std::move(values);
    return c;
  }

  Host host;
  Handler handler;
  GroupPlug* plug = nullptr;
};
}  // namespace

TEST_F(IFxVST3Fixture, GroupsBecomeUnitsInOrderOfFirstAppearance)
{
  EXPECT_EQ(plug->getUnitCount(), 3);
  const struct { int32 index; const char* name; int32 parent; } units[] = {
    {0, "Root Unit", -1}, {1, "A", 0}, {2, "B", 0}};
  for (const auto& u : units)
  {
    UnitInfo info{};
    ASSERT_EQ(plug->getUnitInfo(u.index, info), kResultOk);
    EXPECT_EQ(info.id, u.index);
    EXPECT_EQ(Text(info.name), u.name);
    EXPECT_EQ(info.parentUnitId, u.parent);
    EXPECT_EQ(info.programListId, -1);
  }
  UnitInfo info{};
  EXPECT_EQ(plug->getUnitInfo(3, info), kResultFalse);

  // preset, bypass, then the four plug-in parameters
  ASSERT_EQ(plug->getParameterCount(), 6);
  const struct { const char* title; int32 unit; int32 steps; double def; } params[] = {
    {"A1", 1, 0, 0.0}, {"B1", 2, 4, 0.5}, {"A2", 1, 1, 0.0}, {"Gain", 0, 0, 0.5}};
  for (int i = 0; i < 4; ++i)
  {
    ParameterInfo pi{};
    ASSERT_EQ(plug->getParameterInfo(2 + i, pi), kResultOk);
    EXPECT_EQ(pi.id, (ParamID)i);
    EXPECT_EQ(Text(pi.title), params[i].title);
    EXPECT_EQ(pi.unitId, params[i].unit) << params[i].title;
    EXPECT_EQ(pi.stepCount, params[i].steps) << params[i].title;
    EXPECT_DOUBLE_EQ(pi.defaultNormalizedValue, params[i].def) << params[i].title;
  }
  ParameterInfo gain{};
  ASSERT_EQ(plug->getParameterInfo(5, gain), kResultOk);
  EXPECT_EQ(Text(gain.units), "dB");
}

TEST_F(IFxVST3Fixture, PresetParameterSelectsByItsShareOfTheRange)
{
  ParameterInfo pi{};
  ASSERT_EQ(plug->getParameterInfo(0, pi), kResultOk);
  EXPECT_EQ(pi.stepCount, 2);
  const struct { double value; double a1; } cases[] = {{0.5, 0.75}, {0.49, 0.25}, {1.0, 0.75}, {0.0, 0.25}};
  for (const auto& c : cases)
  {
    Changes ch = One(kPresetParamID, {c.value});
    ASSERT_EQ(Process(&ch), kResultOk);
    EXPECT_DOUBLE_EQ(plug->GetParam(0)->Value(), c.a1) << c.value;
  }
  String128 name = {};
  ASSERT_EQ(plug->getProgramName((ProgramListID)kPresetParamID, 1, name), kResultOk);
  EXPECT_EQ(Text(name), "high");
  ProgramListInfo li{};
  ASSERT_EQ(plug->getProgramListInfo(0, li), kResultOk);
  EXPECT_EQ(li.programCount, 2);
}

TEST_F(IFxVST3Fixture, SecondInitializeIdentifiesTheHostAgainAndAddsNothing)
{
  EXPECT_EQ(plug->GetHost(), kHostArdour);
  EXPECT_EQ(plug->identified, 1);
  Host other;
  EXPECT_EQ(plug->initialize(static_cast<FUnknown*>(&other)), kResultFalse);
  EXPECT_EQ(plug->identified, 2);
  EXPECT_EQ(plug->getParameterCount(), 6);
  EXPECT_EQ(plug->getBusCount(kAudio, kInput), 1);
  EXPECT_EQ(plug->getBusCount(kEvent, kInput), 1);
  BusInfo bi{};
  ASSERT_EQ(plug->getBusInfo(kEvent, kInput, 0, bi), kResultOk);
  EXPECT_EQ(Text(bi.name), "MIDI Input");
  EXPECT_EQ(bi.channelCount, 1);
  EXPECT_EQ(other.mRefs, 1);

  // After terminate a host may initialise again: the new context is kept, nothing is added.
  EXPECT_EQ(plug->terminate(), kResultOk);
  EXPECT_EQ(host.mRefs, 1);
  EXPECT_EQ(plug->initialize(static_cast<FUnknown*>(&host)), kResultOk);
  EXPECT_EQ(host.mRefs, 2);
  EXPECT_EQ(plug->getParameterCount(), 6);
  EXPECT_EQ(plug->getBusCount(kAudio, kOutput), 1);
}

TEST_F(IFxVST3Fixture, EditsRestartsAndTimeReachTheHost)
{
  plug->BeginInformHostOfParamChange(1);
  plug->InformHostOfParamChange(1, 0.5);
  plug->EndInformHostOfParamChange(1);
  EXPECT_EQ(handler.log, "b1p1=0.500000e1");
  plug->SetLatency(32);
  EXPECT_EQ(plug->getLatencySamples(), 32u);
  ASSERT_EQ(handler.restarts.size(), 1u);
  EXPECT_EQ(handler.restarts[0], 8);

  ProcessContext ctx{};
  ctx.state = kContextPlaying | kContextCycleActive;
  ctx.tempo = 133.0;
  ctx.projectTimeSamples = 4800;
  ctx.projectTimeMusic = 2.5;
  ctx.timeSigNumerator = 7;
  ctx.timeSigDenominator = 8;
  Changes none;
  ASSERT_EQ(Process(&none, nullptr, &ctx), kResultOk);
  ITimeInfo t;
  plug->GetTime(&t);
  EXPECT_EQ(t.mTempo, 133.0);
  EXPECT_EQ(t.mSamplePos, 4800.0);
  EXPECT_EQ(t.mPPQPos, 2.5);
  EXPECT_EQ(t.mNumerator, 7);
  EXPECT_EQ(t.mDenominator, 8);
  EXPECT_TRUE(t.mTransportIsRunning);
  EXPECT_TRUE(t.mTransportLoopEnabled);
  EXPECT_EQ(plug->GetSamplePos(), 4800);
}

TEST_F(IFxVST3Fixture, NoteEventsBecomeMidiMessages)
{
  Events ev;
  Event on{};
  on.type = kNoteOnEvent;
  on.sampleOffset = 12;
  on.noteOn.channel = 3;
  on.noteOn.pitch = 60;
  on.noteOn.velocity = 0.5f;
  Event off{};
  off.type = kNoteOffEvent;
  off.noteOff.channel = 3;
  off.noteOff.pitch = 60;
  Event other{};
  other.type = 2;
  ev.events = {on, other, off};
  Changes none;
  ASSERT_EQ(Process(&none, &ev), kResultOk);
  ASSERT_EQ(plug->midi.size(), 2u);
  EXPECT_EQ(plug->midi[0].mStatus, 0x93);
  EXPECT_EQ(plug->midi[0].mData1, 60);
  EXPECT_EQ(plug->midi[0].mData2, 63);
  EXPECT_EQ(plug->midi[0].mOffset, 12);
  EXPECT_EQ(plug->midi[1].mStatus, 0x83);
}

TEST_F(IFxVST3Fixture, ViewReportsTheAttachedEditorAndFollowsTheResizeProtocol)
{
  Editor* editor = new Editor;  // owned by the plug-in once attached
  plug->AttachEditor(editor);
  IPlugView* view = plug->createView("editor");
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(plug->NOpenViews(), 1);
  ViewRect r{9, 9, 9, 9};
  ASSERT_EQ(view->getSize(&r), kResultOk);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, 251);
  EXPECT_EQ(r.bottom, 310);
#if defined(_WIN32)
  EXPECT_EQ(view->isPlatformTypeSupported("HWND"), kResultOk);
#else
  EXPECT_EQ(view->isPlatformTypeSupported("HWND"), kResultFalse);
  EXPECT_EQ(view->isPlatformTypeSupported("X11EmbedWindowID"), kResultOk) << "Linux hosts embed X11 windows";
#endif
  EXPECT_EQ(view->isPlatformTypeSupported("hwnd"), kResultFalse);

  // A host resize that the plug-in did not ask for only stores the rectangle.
  ViewRect hostSize{0, 0, 400, 500};
  EXPECT_EQ(view->onSize(&hostSize), kResultOk);
  EXPECT_EQ(plug->resized, 0);
  EXPECT_EQ(static_cast<IFxVST3View*>(view)->GetRect().right, 400);

  Frame frame;
  view->setFrame(&frame);
  plug->ResizeGraphics(251, 320);
  EXPECT_EQ(frame.resizes, 1);
  EXPECT_EQ(plug->resized, 1);
  EXPECT_FALSE(static_cast<IFxVST3View*>(view)->IsExpectingResize());
  EXPECT_EQ(static_cast<IFxVST3View*>(view)->GetRect().bottom, 320);

  EXPECT_EQ(view->removed(), kResultOk);
  EXPECT_EQ(plug->guiClose, 1);
  EXPECT_EQ(editor->closed, 1);

  // A host parameter change reaches the editor with normalised values.
  Changes ch = One(1, {0.75});
  ASSERT_EQ(Process(&ch), kResultOk);
  ASSERT_FALSE(editor->fromPlug.empty());
  EXPECT_EQ(editor->fromPlug.back().idx, 1);
  EXPECT_EQ(editor->fromPlug.back().value, 0.75);
  EXPECT_TRUE(editor->fromPlug.back().normalized);

  view->release();
  EXPECT_EQ(plug->NOpenViews(), 0);
}

TEST_F(IFxVST3Fixture, HostTextReadsBackWhatTheParameterShows)
{
  // getParamValueByString reads the text the way getParamStringByValue writes it: choice
  // names and numbers (it used to read every text as a number, so "on" gave off).
  struct Case { ParamID id; double normalized; };
  const Case cases[] = {{2, 0.0}, {2, 1.0}, {1, 0.75}, {3, 0.25}, {0, 0.5}};
  for (const Case& c : cases)
  {
    String128 text = {};
    ASSERT_EQ(plug->getParamStringByValue(c.id, c.normalized, text), kResultOk);
    ParamValue back = -1.0;
    ASSERT_EQ(plug->getParamValueByString(c.id, text, back), kResultOk) << Text(text);
    EXPECT_NEAR(back, c.normalized, 1e-12) << Text(text);
  }
  String128 maybe = {};
  Widen("maybe", maybe, 128);
  ParamValue v = -1.0;
  EXPECT_NE(plug->getParamValueByString(2, maybe, v), kResultOk) << "a name that is no choice";
  EXPECT_EQ(v, -1.0);
}

TEST_F(IFxVST3Fixture, InPlace64BitBuffersReadTheHostsInput)
{
  // A host may pass the same buffers for input and output; the plug-in writes output 0
  // before it reads input 0 and must still read what the host gave, not its own output.
  plug->writeBeforeRead = true;
  ProcessSetup setup{kRealtime, kSample64, 64, 48000.0};
  ASSERT_EQ(plug->setupProcessing(setup), kResultOk);
  std::vector<double> left(64), right(64, 0.0);
  for (int i = 0; i < 64; ++i) left[(size_t)i] = 0.01 * i;
  const std::vector<double> given = left;
  double* channels[] = {left.data(), right.data()};
  AudioBusBuffers bus{};
  bus.numChannels = 2;
  bus.channelBuffers64 = channels;
  ProcessData data{};
  data.symbolicSampleSize = kSample64;
  data.numSamples = 64;
  data.numInputs = 1;
  data.numOutputs = 1;
  data.inputs = &bus;
  data.outputs = &bus;
  ASSERT_EQ(plug->process(data), kResultOk);
  EXPECT_EQ(left, std::vector<double>(64, 0.125));
  EXPECT_EQ(right, given);
}

TEST_F(IFxVST3Fixture, TheHostIsNeverCalledWithThePlugInMutexHeld)
{
  // The host takes its own lock inside performEdit and holds it around process on its audio
  // thread. An edit from the editor that reached performEdit holding the plug-in mutex would
  // deadlock with that audio thread; the callback waits a few seconds at most, then says so.
  std::timed_mutex hostLock;
  std::atomic<bool> inEdit{false}, gotLock{false};
  const std::thread::id editor = std::this_thread::get_id();
  handler.onEdit = [&] {
    if (std::this_thread::get_id() != editor) return;
    inEdit = true;
    if (hostLock.try_lock_for(std::chrono::seconds(3)))
    {
      gotLock = true;
      hostLock.unlock();
    }
  };
  std::atomic<bool> audioReady{false};
  std::thread audio([&] {
    std::lock_guard<std::timed_mutex> lock(hostLock);
    audioReady = true;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!inEdit && std::chrono::steady_clock::now() < giveUp) std::this_thread::yield();
    Changes none;
    Process(&none);
  });
  while (!audioReady) std::this_thread::yield();
  plug->SetParameterFromGUI(0, 0.5);
  audio.join();
  handler.onEdit = nullptr;
  EXPECT_TRUE(inEdit);
  EXPECT_TRUE(gotLock) << "performEdit was called with the plug-in mutex held";
  EXPECT_DOUBLE_EQ(plug->GetParam(0)->Value(), 0.5);
}
