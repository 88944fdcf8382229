// The host side of the VST 3 interface, as a small in-process host uses it: loading a module
// the way hosts do, and the host objects a plug-in talks to (application, component handler,
// memory streams, parameter queues, plug frame). Host objects are owned by their creator;
// their reference counts only record what the plug-in holds.
#pragma once

#include "Vst3Abi.h"

#include <atomic>
#include <deque>
#include <string>
#include <vector>

namespace vst3host {

using namespace vst3;

// Counts references without owning: the host object lives as long as its owner.
template <class I>
class HostObject : public I
{
public:
  tresult VX_VST3_API queryInterface(const TUID iid, void** obj) override
  {
    if (!obj) return kInvalidArgument;
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
  int Refs() const { return mRefs.load(); }

private:
  std::atomic<int> mRefs{1};
};

class HostApplication final : public HostObject<IHostApplication>
{
public:
  explicit HostApplication(const char* name = "vst3host") : mName(name) {}
  tresult VX_VST3_API getName(String128 name) override;
  tresult VX_VST3_API createInstance(TUID, TUID, void** obj) override
  {
    if (obj) *obj = nullptr;
    return kResultFalse;
  }
  std::string mName;
};

class ComponentHandler final : public HostObject<IComponentHandler>
{
public:
  struct Edit { char kind; ParamID id; ParamValue value; };
  tresult VX_VST3_API beginEdit(ParamID id) override { mEdits.push_back({'b', id, 0.0}); return kResultOk; }
  tresult VX_VST3_API performEdit(ParamID id, ParamValue v) override { mEdits.push_back({'p', id, v}); return kResultOk; }
  tresult VX_VST3_API endEdit(ParamID id) override { mEdits.push_back({'e', id, 0.0}); return kResultOk; }
  tresult VX_VST3_API restartComponent(int32 flags) override { mRestarts.push_back(flags); return kResultOk; }
  std::vector<Edit> mEdits;
  std::vector<int32> mRestarts;
};

// A growable byte stream; reads can be limited to a number of bytes to act as a short stream.
class MemoryStream : public HostObject<IBStream>
{
public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<unsigned char> bytes) : mBytes(std::move(bytes)) {}
  tresult VX_VST3_API read(void* buffer, int32 numBytes, int32* numBytesRead) override;
  tresult VX_VST3_API write(void* buffer, int32 numBytes, int32* numBytesWritten) override;
  tresult VX_VST3_API seek(int64 pos, int32 mode, int64* result) override;
  tresult VX_VST3_API tell(int64* pos) override;
  void Rewind() { mPos = 0; }
  std::vector<unsigned char> mBytes;
  size_t mPos = 0;
};

class ParamQueue final : public HostObject<IParamValueQueue>
{
public:
  ParamID VX_VST3_API getParameterId() override { return mId; }
  int32 VX_VST3_API getPointCount() override { return (int32)mPoints.size(); }
  tresult VX_VST3_API getPoint(int32 index, int32& offset, ParamValue& value) override;
  tresult VX_VST3_API addPoint(int32 offset, ParamValue value, int32& index) override;
  ParamID mId = 0;
  std::vector<std::pair<int32, ParamValue>> mPoints;
};

// Parameter changes for one block. Cleared queues are reused, so a steady set of changes
// stops allocating after the first block.
class ParamChanges final : public HostObject<IParameterChanges>
{
public:
  ParamChanges() = default;
  int32 VX_VST3_API getParameterCount() override { return (int32)mUsed; }
  IParamValueQueue* VX_VST3_API getParameterData(int32 index) override;
  IParamValueQueue* VX_VST3_API addParameterData(const ParamID& id, int32& index) override;
  // Adds one point to the queue of id (created when needed).
  void Add(ParamID id, ParamValue value, int32 offset = 0);
  void Clear() { mUsed = 0; }
  std::deque<ParamQueue> mQueues;  // stable addresses: the plug-in holds queue pointers
  size_t mUsed = 0;
};

class PlugFrame final : public HostObject<IPlugFrame>
{
public:
  tresult VX_VST3_API resizeView(IPlugView* view, ViewRect* newSize) override;
  int mResizes = 0;
};

// A loaded module: the shared library, its entry points and its factory.
class Module
{
public:
  ~Module() { Unload(); }
  // path: the bundle folder (Name.vst3) or the binary itself.
  bool Load(const std::string& path, std::string* error);
  // Releases the factory, calls the exit point and closes the library.
  bool Unload();
  IPluginFactory* Factory() const { return mFactory; }
  static std::string BinaryPath(const std::string& bundle);

private:
  void* mHandle = nullptr;
  IPluginFactory* mFactory = nullptr;
  ModuleExitProc mExit = nullptr;
};

// One instance of a class: its component, processor and controller interfaces.
struct Instance
{
  IComponent* mComponent = nullptr;
  IAudioProcessor* mProcessor = nullptr;
  IEditController* mController = nullptr;

  bool Create(IPluginFactory* factory, int classIndex);
  void Release();
};

// Fills a ProcessData for numChannels-wide stereo-style buses over caller-owned buffers.
struct Block
{
  AudioBusBuffers mIn{}, mOut{};
  ProcessData mData{};
  ParamChanges mChanges;
  ProcessContext mContext{};

  void SetUp32(float** ins, int nIns, float** outs, int nOuts, int nFrames);
  void SetUp64(double** ins, int nIns, double** outs, int nOuts, int nFrames);
};

// A readable report of what a module offers, as the vst3host tool prints it.
std::string Describe(IPluginFactory* factory, IHostApplication* host);

std::string Narrow(const char16* text, size_t max = 128);
std::string UidText(const char* cid);

}  // namespace vst3host
