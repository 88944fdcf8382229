// The VST 3 binary interface, declared from its published facts: basic types, result codes,
// interface ids in each platform's byte order, interfaces in virtual-table order and the
// records hosts and plug-ins exchange, with their layouts pinned for x86-64.
//
// Rules the declarations keep: interfaces hold only pure virtual functions, no virtual
// destructor (it would shift every slot), no overloaded method names; records use natural
// alignment, which on x86-64 Windows and Linux is what hosts use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(_WIN32)
#define VX_VST3_API __stdcall
#else
#define VX_VST3_API
#endif

namespace vst3 {

using int8 = char;
using uint8 = uint8_t;
using int16 = int16_t;
using uint16 = uint16_t;
using int32 = int32_t;
using uint32 = uint32_t;
using int64 = int64_t;
using uint64 = uint64_t;
using tresult = int32;
using TBool = uint8;
using char8 = char;
using char16 = char16_t;
using FIDString = const char8*;
using TUID = char[16];
using String128 = char16[128];
using ParamID = uint32;
using ParamValue = double;
using SpeakerArrangement = uint64;
using MediaType = int32;
using BusDirection = int32;
using BusType = int32;
using IoMode = int32;
using UnitID = int32;
using ProgramListID = int32;
using TSamples = int64;
using TQuarterNotes = double;
using UCoord = int32;

// Result codes: COM HRESULTs on Windows, small integers elsewhere.
#if defined(_WIN32)
constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kNoInterface = (tresult)0x80004002;
constexpr tresult kInvalidArgument = (tresult)0x80070057;
constexpr tresult kNotImplemented = (tresult)0x80004001;
constexpr tresult kInternalError = (tresult)0x80004005;
constexpr tresult kNotInitialized = (tresult)0x8000FFFF;
constexpr tresult kOutOfMemory = (tresult)0x8007000E;
#else
constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kNoInterface = -1;
constexpr tresult kInvalidArgument = 2;
constexpr tresult kNotImplemented = 3;
constexpr tresult kInternalError = 4;
constexpr tresult kNotInitialized = 5;
constexpr tresult kOutOfMemory = 6;
#endif
constexpr tresult kResultTrue = kResultOk;

// A 16-byte interface or class id built from its four 32-bit words. Windows lays the first
// two words out as a GUID (little-endian Data1, Data2, Data3); other platforms keep all four
// big-endian. The text form is the same everywhere, so ids are written as words.
struct Uid
{
  unsigned char mBytes[16];

  const char* Data() const { return reinterpret_cast<const char*>(mBytes); }
  bool Equals(const void* other) const { return other && std::memcmp(mBytes, other, 16) == 0; }
};

constexpr Uid MakeUid(uint32 l1, uint32 l2, uint32 l3, uint32 l4)
{
  Uid u{};
#if defined(_WIN32)
  u.mBytes[0] = (unsigned char)l1; u.mBytes[1] = (unsigned char)(l1 >> 8);
  u.mBytes[2] = (unsigned char)(l1 >> 16); u.mBytes[3] = (unsigned char)(l1 >> 24);
  u.mBytes[4] = (unsigned char)(l2 >> 16); u.mBytes[5] = (unsigned char)(l2 >> 24);
  u.mBytes[6] = (unsigned char)l2; u.mBytes[7] = (unsigned char)(l2 >> 8);
#else
  for (int i = 0; i < 4; ++i) u.mBytes[i] = (unsigned char)(l1 >> (24 - 8 * i));
  for (int i = 0; i < 4; ++i) u.mBytes[4 + i] = (unsigned char)(l2 >> (24 - 8 * i));
#endif
  for (int i = 0; i < 4; ++i) u.mBytes[8 + i] = (unsigned char)(l3 >> (24 - 8 * i));
  for (int i = 0; i < 4; ++i) u.mBytes[12 + i] = (unsigned char)(l4 >> (24 - 8 * i));
  return u;
}

// ---- records ------------------------------------------------------------------------------

struct PFactoryInfo
{
  char8 vendor[64];
  char8 url[256];
  char8 email[128];
  int32 flags;
};
constexpr int32 kFactoryFlagUnicode = 1 << 4;
constexpr int32 kManyInstances = 0x7FFFFFFF;

struct PClassInfo
{
  char cid[16];
  int32 cardinality;
  char8 category[32];
  char8 name[64];
};

struct PClassInfo2
{
  char cid[16];
  int32 cardinality;
  char8 category[32];
  char8 name[64];
  uint32 classFlags;
  char8 subCategories[128];
  char8 vendor[64];
  char8 version[64];
  char8 sdkVersion[64];
};

struct PClassInfoW
{
  char cid[16];
  int32 cardinality;
  char8 category[32];
  char16 name[64];
  uint32 classFlags;
  char8 subCategories[128];
  char16 vendor[64];
  char16 version[64];
  char16 sdkVersion[64];
};

enum MediaTypes : int32 { kAudio = 0, kEvent = 1 };
enum BusDirections : int32 { kInput = 0, kOutput = 1 };
enum BusTypes : int32 { kMain = 0, kAux = 1 };
constexpr uint32 kBusDefaultActive = 1;

struct BusInfo
{
  MediaType mediaType;
  BusDirection direction;
  int32 channelCount;
  String128 name;
  BusType busType;
  uint32 flags;
};

struct RoutingInfo
{
  MediaType mediaType;
  int32 busIndex;
  int32 channel;
};

enum ProcessModes : int32 { kRealtime = 0, kPrefetch = 1, kOffline = 2 };
enum SymbolicSampleSizes : int32 { kSample32 = 0, kSample64 = 1 };

struct ProcessSetup
{
  int32 processMode;
  int32 symbolicSampleSize;
  int32 maxSamplesPerBlock;
  double sampleRate;
};

struct AudioBusBuffers
{
  int32 numChannels;
  uint64 silenceFlags;
  union
  {
    float** channelBuffers32;
    double** channelBuffers64;
  };
};

struct ProcessContext
{
  uint32 state;
  double sampleRate;
  TSamples projectTimeSamples;
  int64 systemTime;
  TSamples continousTimeSamples;
  TQuarterNotes projectTimeMusic;
  TQuarterNotes barPositionMusic;
  TQuarterNotes cycleStartMusic;
  TQuarterNotes cycleEndMusic;
  double tempo;
  int32 timeSigNumerator;
  int32 timeSigDenominator;
  uint8 chordKeyNote;
  uint8 chordRootNote;
  int16 chordMask;
  int32 smpteOffsetSubframes;
  uint32 frameRateFramesPerSecond;
  uint32 frameRateFlags;
  int32 samplesToNextClock;
};
constexpr uint32 kContextPlaying = 1 << 1;
constexpr uint32 kContextCycleActive = 1 << 2;

struct NoteOnEvent { int16 channel; int16 pitch; float tuning; float velocity; int32 length; int32 noteId; };
struct NoteOffEvent { int16 channel; int16 pitch; float velocity; int32 noteId; float tuning; };

struct Event
{
  int32 busIndex;
  int32 sampleOffset;
  TQuarterNotes ppqPosition;
  uint16 flags;
  uint16 type;
  union
  {
    NoteOnEvent noteOn;
    NoteOffEvent noteOff;
    alignas(8) unsigned char payload[24];  // the largest payloads hold pointers
  };
};
enum EventTypes : uint16 { kNoteOnEvent = 0, kNoteOffEvent = 1 };

struct ParameterInfo
{
  ParamID id;
  String128 title;
  String128 shortTitle;
  String128 units;
  int32 stepCount;
  ParamValue defaultNormalizedValue;
  UnitID unitId;
  int32 flags;
};
enum ParameterFlags : int32
{
  kNoFlags = 0, kCanAutomate = 1 << 0, kIsReadOnly = 1 << 1, kIsWrapAround = 1 << 2,
  kIsList = 1 << 3, kIsProgramChange = 1 << 15, kIsBypass = 1 << 16,
};

struct UnitInfo
{
  UnitID id;
  UnitID parentUnitId;
  String128 name;
  ProgramListID programListId;
};
struct ProgramListInfo
{
  ProgramListID id;
  String128 name;
  int32 programCount;
};
constexpr UnitID kRootUnitId = 0;
constexpr UnitID kNoParentUnitId = -1;
constexpr ProgramListID kNoProgramListId = -1;

struct ViewRect
{
  int32 left;
  int32 top;
  int32 right;
  int32 bottom;
};

struct ContextMenuItem
{
  String128 name;
  int32 tag;
  int32 flags;
};

// Speaker arrangements and restart flags the binding uses.
constexpr SpeakerArrangement kSpeakerMono = 0x80000;
constexpr SpeakerArrangement kSpeakerStereo = 0x3;
constexpr int32 kLatencyChanged = 1 << 3;

#if defined(__x86_64__) || defined(_M_X64)
static_assert(sizeof(PFactoryInfo) == 452 && offsetof(PFactoryInfo, flags) == 448);
static_assert(sizeof(PClassInfo) == 116 && offsetof(PClassInfo, name) == 52);
static_assert(sizeof(PClassInfo2) == 440 && offsetof(PClassInfo2, classFlags) == 116 &&
              offsetof(PClassInfo2, sdkVersion) == 376);
static_assert(sizeof(PClassInfoW) == 696 && offsetof(PClassInfoW, classFlags) == 180 &&
              offsetof(PClassInfoW, sdkVersion) == 568);
static_assert(sizeof(BusInfo) == 276 && offsetof(BusInfo, busType) == 268);
static_assert(sizeof(RoutingInfo) == 12);
static_assert(sizeof(ProcessSetup) == 24 && offsetof(ProcessSetup, sampleRate) == 16);
static_assert(sizeof(AudioBusBuffers) == 24 && offsetof(AudioBusBuffers, channelBuffers32) == 16);
static_assert(sizeof(ProcessContext) == 112 && offsetof(ProcessContext, tempo) == 72 &&
              offsetof(ProcessContext, smpteOffsetSubframes) == 92 &&
              offsetof(ProcessContext, samplesToNextClock) == 104);
static_assert(sizeof(Event) == 48 && offsetof(Event, noteOn) == 24);
static_assert(sizeof(ParameterInfo) == 792 && offsetof(ParameterInfo, stepCount) == 772 &&
              offsetof(ParameterInfo, defaultNormalizedValue) == 776 &&
              offsetof(ParameterInfo, flags) == 788);
static_assert(sizeof(UnitInfo) == 268 && sizeof(ProgramListInfo) == 264);
static_assert(sizeof(ViewRect) == 16 && sizeof(ContextMenuItem) == 264);
#endif

// ---- interfaces, in virtual-table order ---------------------------------------------------

#define VX_VST3_IID(l1, l2, l3, l4) static constexpr Uid iid = MakeUid(l1, l2, l3, l4)

class FUnknown
{
public:
  virtual tresult VX_VST3_API queryInterface(const TUID iid, void** obj) = 0;
  virtual uint32 VX_VST3_API addRef() = 0;
  virtual uint32 VX_VST3_API release() = 0;
  VX_VST3_IID(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
};

class IBStream : public FUnknown
{
public:
  virtual tresult VX_VST3_API read(void* buffer, int32 numBytes, int32* numBytesRead) = 0;
  virtual tresult VX_VST3_API write(void* buffer, int32 numBytes, int32* numBytesWritten) = 0;
  virtual tresult VX_VST3_API seek(int64 pos, int32 mode, int64* result) = 0;
  virtual tresult VX_VST3_API tell(int64* pos) = 0;
  VX_VST3_IID(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
};
enum SeekModes : int32 { kIBSeekSet = 0, kIBSeekCur = 1, kIBSeekEnd = 2 };

class IPluginBase : public FUnknown
{
public:
  virtual tresult VX_VST3_API initialize(FUnknown* context) = 0;
  virtual tresult VX_VST3_API terminate() = 0;
  VX_VST3_IID(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
};

class IPluginFactory : public FUnknown
{
public:
  virtual tresult VX_VST3_API getFactoryInfo(PFactoryInfo* info) = 0;
  virtual int32 VX_VST3_API countClasses() = 0;
  virtual tresult VX_VST3_API getClassInfo(int32 index, PClassInfo* info) = 0;
  virtual tresult VX_VST3_API createInstance(FIDString cid, FIDString iid, void** obj) = 0;
  VX_VST3_IID(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
};

class IPluginFactory2 : public IPluginFactory
{
public:
  virtual tresult VX_VST3_API getClassInfo2(int32 index, PClassInfo2* info) = 0;
  VX_VST3_IID(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
};

class IPluginFactory3 : public IPluginFactory2
{
public:
  virtual tresult VX_VST3_API getClassInfoUnicode(int32 index, PClassInfoW* info) = 0;
  virtual tresult VX_VST3_API setHostContext(FUnknown* context) = 0;
  VX_VST3_IID(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
};

class IComponent : public IPluginBase
{
public:
  virtual tresult VX_VST3_API getControllerClassId(TUID classId) = 0;
  virtual tresult VX_VST3_API setIoMode(IoMode mode) = 0;
  virtual int32 VX_VST3_API getBusCount(MediaType type, BusDirection dir) = 0;
  virtual tresult VX_VST3_API getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) = 0;
  virtual tresult VX_VST3_API getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
  virtual tresult VX_VST3_API activateBus(MediaType type, BusDirection dir, int32 index, TBool state) = 0;
  virtual tresult VX_VST3_API setActive(TBool state) = 0;
  virtual tresult VX_VST3_API setState(IBStream* state) = 0;
  virtual tresult VX_VST3_API getState(IBStream* state) = 0;
  VX_VST3_IID(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
};

class IParamValueQueue : public FUnknown
{
public:
  virtual ParamID VX_VST3_API getParameterId() = 0;
  virtual int32 VX_VST3_API getPointCount() = 0;
  virtual tresult VX_VST3_API getPoint(int32 index, int32& sampleOffset, ParamValue& value) = 0;
  virtual tresult VX_VST3_API addPoint(int32 sampleOffset, ParamValue value, int32& index) = 0;
  VX_VST3_IID(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
};

class IParameterChanges : public FUnknown
{
public:
  virtual int32 VX_VST3_API getParameterCount() = 0;
  virtual IParamValueQueue* VX_VST3_API getParameterData(int32 index) = 0;
  virtual IParamValueQueue* VX_VST3_API addParameterData(const ParamID& id, int32& index) = 0;
  VX_VST3_IID(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
};

class IEventList : public FUnknown
{
public:
  virtual int32 VX_VST3_API getEventCount() = 0;
  virtual tresult VX_VST3_API getEvent(int32 index, Event& e) = 0;
  virtual tresult VX_VST3_API addEvent(Event& e) = 0;
  VX_VST3_IID(0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44);
};

struct ProcessData
{
  int32 processMode;
  int32 symbolicSampleSize;
  int32 numSamples;
  int32 numInputs;
  int32 numOutputs;
  AudioBusBuffers* inputs;
  AudioBusBuffers* outputs;
  IParameterChanges* inputParameterChanges;
  IParameterChanges* outputParameterChanges;
  IEventList* inputEvents;
  IEventList* outputEvents;
  ProcessContext* processContext;
};
#if defined(__x86_64__) || defined(_M_X64)
static_assert(sizeof(ProcessData) == 80 && offsetof(ProcessData, inputs) == 24 &&
              offsetof(ProcessData, processContext) == 72);
#endif

class IAudioProcessor : public FUnknown
{
public:
  virtual tresult VX_VST3_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                 SpeakerArrangement* outputs, int32 numOuts) = 0;
  virtual tresult VX_VST3_API getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) = 0;
  virtual tresult VX_VST3_API canProcessSampleSize(int32 symbolicSampleSize) = 0;
  virtual uint32 VX_VST3_API getLatencySamples() = 0;
  virtual tresult VX_VST3_API setupProcessing(ProcessSetup& setup) = 0;
  virtual tresult VX_VST3_API setProcessing(TBool state) = 0;
  virtual tresult VX_VST3_API process(ProcessData& data) = 0;
  virtual uint32 VX_VST3_API getTailSamples() = 0;
  VX_VST3_IID(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
};

class IPlugView;

class IComponentHandler : public FUnknown
{
public:
  virtual tresult VX_VST3_API beginEdit(ParamID id) = 0;
  virtual tresult VX_VST3_API performEdit(ParamID id, ParamValue valueNormalized) = 0;
  virtual tresult VX_VST3_API endEdit(ParamID id) = 0;
  virtual tresult VX_VST3_API restartComponent(int32 flags) = 0;
  VX_VST3_IID(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
};

class IContextMenuTarget : public FUnknown
{
public:
  virtual tresult VX_VST3_API executeMenuItem(int32 tag) = 0;
  VX_VST3_IID(0x3CDF2E75, 0x85D34144, 0xBF86D36B, 0xD7C4894D);
};

class IContextMenu : public FUnknown
{
public:
  virtual int32 VX_VST3_API getItemCount() = 0;
  virtual tresult VX_VST3_API getItem(int32 index, ContextMenuItem& item, IContextMenuTarget** target) = 0;
  virtual tresult VX_VST3_API addItem(const ContextMenuItem& item, IContextMenuTarget* target) = 0;
  virtual tresult VX_VST3_API removeItem(const ContextMenuItem& item, IContextMenuTarget* target) = 0;
  virtual tresult VX_VST3_API popup(UCoord x, UCoord y) = 0;
  VX_VST3_IID(0x2E93C863, 0x0C9C4588, 0x97DBECF5, 0xAD17817D);
};

class IComponentHandler3 : public FUnknown
{
public:
  virtual IContextMenu* VX_VST3_API createContextMenu(IPlugView* plugView, const ParamID* paramID) = 0;
  VX_VST3_IID(0x69F11617, 0xD26B400D, 0xA4B6B964, 0x7B6EBBAB);
};

class IEditController : public IPluginBase
{
public:
  virtual tresult VX_VST3_API setComponentState(IBStream* state) = 0;
  virtual tresult VX_VST3_API setState(IBStream* state) = 0;
  virtual tresult VX_VST3_API getState(IBStream* state) = 0;
  virtual int32 VX_VST3_API getParameterCount() = 0;
  virtual tresult VX_VST3_API getParameterInfo(int32 paramIndex, ParameterInfo& info) = 0;
  virtual tresult VX_VST3_API getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) = 0;
  virtual tresult VX_VST3_API getParamValueByString(ParamID id, char16* string, ParamValue& valueNormalized) = 0;
  virtual ParamValue VX_VST3_API normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
  virtual ParamValue VX_VST3_API plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
  virtual ParamValue VX_VST3_API getParamNormalized(ParamID id) = 0;
  virtual tresult VX_VST3_API setParamNormalized(ParamID id, ParamValue value) = 0;
  virtual tresult VX_VST3_API setComponentHandler(IComponentHandler* handler) = 0;
  virtual IPlugView* VX_VST3_API createView(FIDString name) = 0;
  VX_VST3_IID(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
};

class IEditController2 : public FUnknown
{
public:
  virtual tresult VX_VST3_API setKnobMode(int32 mode) = 0;
  virtual tresult VX_VST3_API openHelp(TBool onlyCheck) = 0;
  virtual tresult VX_VST3_API openAboutBox(TBool onlyCheck) = 0;
  VX_VST3_IID(0x7F4EFE59, 0xF3204967, 0xAC27A3AE, 0xAFB63038);
};

class IUnitInfo : public FUnknown
{
public:
  virtual int32 VX_VST3_API getUnitCount() = 0;
  virtual tresult VX_VST3_API getUnitInfo(int32 unitIndex, UnitInfo& info) = 0;
  virtual int32 VX_VST3_API getProgramListCount() = 0;
  virtual tresult VX_VST3_API getProgramListInfo(int32 listIndex, ProgramListInfo& info) = 0;
  virtual tresult VX_VST3_API getProgramName(ProgramListID listId, int32 programIndex, String128 name) = 0;
  virtual tresult VX_VST3_API getProgramInfo(ProgramListID listId, int32 programIndex, const char8* attributeId,
                                             String128 attributeValue) = 0;
  virtual tresult VX_VST3_API hasProgramPitchNames(ProgramListID listId, int32 programIndex) = 0;
  virtual tresult VX_VST3_API getProgramPitchName(ProgramListID listId, int32 programIndex, int16 midiPitch,
                                                  String128 name) = 0;
  virtual UnitID VX_VST3_API getSelectedUnit() = 0;
  virtual tresult VX_VST3_API selectUnit(UnitID unitId) = 0;
  virtual tresult VX_VST3_API getUnitByBus(MediaType type, BusDirection dir, int32 busIndex, int32 channel,
                                           UnitID& unitId) = 0;
  virtual tresult VX_VST3_API setUnitProgramData(int32 listOrUnitId, int32 programIndex, IBStream* data) = 0;
  VX_VST3_IID(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);
};

class IAttributeList : public FUnknown
{
public:
  VX_VST3_IID(0x1E5F0AEB, 0xCC7F4533, 0xA2544011, 0x38AD5EE4);
};

class IMessage : public FUnknown
{
public:
  virtual FIDString VX_VST3_API getMessageID() = 0;
  virtual void VX_VST3_API setMessageID(FIDString id) = 0;
  virtual IAttributeList* VX_VST3_API getAttributes() = 0;
  VX_VST3_IID(0x936F033B, 0xC6C047DB, 0xBB0882F8, 0x13C1E613);
};

class IConnectionPoint : public FUnknown
{
public:
  virtual tresult VX_VST3_API connect(IConnectionPoint* other) = 0;
  virtual tresult VX_VST3_API disconnect(IConnectionPoint* other) = 0;
  virtual tresult VX_VST3_API notify(IMessage* message) = 0;
  VX_VST3_IID(0x70A4156F, 0x6E6E4026, 0x989148BF, 0xAA60D8D1);
};

class IHostApplication : public FUnknown
{
public:
  virtual tresult VX_VST3_API getName(String128 name) = 0;
  virtual tresult VX_VST3_API createInstance(TUID cid, TUID iid, void** obj) = 0;
  VX_VST3_IID(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);
};

class IPlugFrame;

class IPlugView : public FUnknown
{
public:
  virtual tresult VX_VST3_API isPlatformTypeSupported(FIDString type) = 0;
  virtual tresult VX_VST3_API attached(void* parent, FIDString type) = 0;
  virtual tresult VX_VST3_API removed() = 0;
  virtual tresult VX_VST3_API onWheel(float distance) = 0;
  virtual tresult VX_VST3_API onKeyDown(char16 key, int16 keyCode, int16 modifiers) = 0;
  virtual tresult VX_VST3_API onKeyUp(char16 key, int16 keyCode, int16 modifiers) = 0;
  virtual tresult VX_VST3_API getSize(ViewRect* size) = 0;
  virtual tresult VX_VST3_API onSize(ViewRect* newSize) = 0;
  virtual tresult VX_VST3_API onFocus(TBool state) = 0;
  virtual tresult VX_VST3_API setFrame(IPlugFrame* frame) = 0;
  virtual tresult VX_VST3_API canResize() = 0;
  virtual tresult VX_VST3_API checkSizeConstraint(ViewRect* rect) = 0;
  VX_VST3_IID(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
};

class IPlugFrame : public FUnknown
{
public:
  virtual tresult VX_VST3_API resizeView(IPlugView* view, ViewRect* newSize) = 0;
  VX_VST3_IID(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);
};

// A view that can show its contents at the host's scale (HiDPI).
class IPlugViewContentScaleSupport : public FUnknown
{
public:
  using ScaleFactor = float;
  virtual tresult VX_VST3_API setContentScaleFactor(ScaleFactor factor) = 0;
  VX_VST3_IID(0x65ED9690, 0x8AC44525, 0x8AADEF7A, 0x72EA703F);
};

// Linux has no event loop of the system's: the host lends its own through the plug frame, and
// calls the plug-in's handlers on its user-interface thread.
namespace Linux {
using FileDescriptor = int;
using TimerInterval = uint64;

class IEventHandler : public FUnknown
{
public:
  virtual void VX_VST3_API onFDIsSet(FileDescriptor fd) = 0;
  VX_VST3_IID(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);
};

class ITimerHandler : public FUnknown
{
public:
  virtual void VX_VST3_API onTimer() = 0;
  VX_VST3_IID(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);
};

class IRunLoop : public FUnknown
{
public:
  virtual tresult VX_VST3_API registerEventHandler(IEventHandler* handler, FileDescriptor fd) = 0;
  virtual tresult VX_VST3_API unregisterEventHandler(IEventHandler* handler) = 0;
  virtual tresult VX_VST3_API registerTimer(ITimerHandler* handler, TimerInterval milliseconds) = 0;
  virtual tresult VX_VST3_API unregisterTimer(ITimerHandler* handler) = 0;
  VX_VST3_IID(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);
};
}  // namespace Linux

#undef VX_VST3_IID

// Module entry points a host looks up by name.
using GetFactoryProc = IPluginFactory* (VX_VST3_API*)();
using ModuleEntryProc = bool (*)(void*);
using ModuleExitProc = bool (*)();

}  // namespace vst3
