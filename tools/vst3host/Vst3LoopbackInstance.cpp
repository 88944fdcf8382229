// A module's instance set up and torn down as a DAW does it, its audio on a loop-back thread.

#include "Vst3LoopbackInstance.h"

namespace vst3host {

bool LoopbackInstance::Start(const std::string& modulePath, std::string* error)
{
  if (!mModule.Load(modulePath, error)) return false;
  if (!mInst.Create(mModule.Factory(), 0))
  {
    if (error) *error = "no instance of class 0";
    return false;
  }
  if (mInst.mComponent->initialize(&mApp) != kResultOk)
  {
    if (error) *error = "component initialize failed";
    return false;
  }
  // A single-component effect is its own controller: initialised once. Hosts connect the two
  // sides through their connection points all the same.
  mInst.mComponent->queryInterface(IConnectionPoint::iid.Data(), (void**)&mComponentCP);
  mInst.mController->queryInterface(IConnectionPoint::iid.Data(), (void**)&mControllerCP);
  if (mComponentCP && mControllerCP)
  {
    mComponentCP->connect(mControllerCP);
    mControllerCP->connect(mComponentCP);
  }
  mInst.mController->setComponentHandler(&mHandler);

  ProcessSetup setup{kRealtime, kSample32, LoopbackAudio::kBlock, LoopbackAudio::kRate};
  if (mInst.mProcessor->setupProcessing(setup) != kResultOk)
  {
    if (error) *error = "setupProcessing failed";
    return false;
  }
  mInst.mComponent->activateBus(kAudio, kInput, 0, 1);
  mInst.mComponent->activateBus(kAudio, kOutput, 0, 1);
  mInst.mComponent->setActive(1);
  mInst.mProcessor->setProcessing(1);
  mAudio.Start([this](float** inputs, float** outputs, int n, long pos) {
    mBlock.SetUp32(inputs, 2, outputs, 2, n);
    mBlock.mContext.sampleRate = LoopbackAudio::kRate;
    mBlock.mContext.projectTimeSamples = pos;
    mBlock.mChanges.Clear();
    mInst.mProcessor->process(mBlock.mData);
  });
  return true;
}

bool LoopbackInstance::Unload()
{
  mAudio.Stop();
  if (!mInst.mComponent) return true;
  mInst.mProcessor->setProcessing(0);
  mInst.mComponent->setActive(0);
  if (mComponentCP && mControllerCP)
  {
    mComponentCP->disconnect(mControllerCP);
    mControllerCP->disconnect(mComponentCP);
  }
  if (mComponentCP) mComponentCP->release();
  if (mControllerCP) mControllerCP->release();
  mComponentCP = mControllerCP = nullptr;
  mInst.mController->setComponentHandler(nullptr);
  mInst.mComponent->terminate();
  mInst.Release();
  return mModule.Unload();
}

}  // namespace vst3host
