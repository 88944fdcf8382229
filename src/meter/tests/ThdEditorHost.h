// Shared by the editor tests, tool and benchmark: the meter's editor driven the way a user and
// a host drive it - clicks and typing through the headless window host, timer ticks that run
// the drawing pass, and audio blocks looped back from the tone output to an input.
#pragma once

#include "IControl.h"
#include "IGraphicsHeadless.h"
#include "IThdMeter.h"

#include <functional>
#include <string>
#include <vector>

// Centres of the controls a user clicks (editor pixels).
namespace ThdEditorPoints {
constexpr int kOutputL[2] = {126, 42}, kOutputR[2] = {158, 42};
constexpr int kInputL[2] = {126, 62}, kInputR[2] = {158, 62};
constexpr int kFrequency[2] = {140, 82};
constexpr int kDenoising[3][2] = {{126, 102}, {126, 119}, {126, 136}};
constexpr int kFaderY = 156;
constexpr int kStart[2] = {125, 182};  // Cancel lies on the same rectangle
constexpr int kHelp[2] = {84, 289}, kAbout[2] = {166, 289}, kOK[2] = {125, 190};
}  // namespace ThdEditorPoints

class ThdEditorDriver
{
public:
  ThdEditorDriver(IThdMeter& meter, double rate, int block) : mMeter(meter), mBlock(block)
  {
    mGui = static_cast<IGraphicsHeadless*>(IGraphics::FromPlug(&meter));
    for (auto* v : {&mIn0, &mIn1, &mOut0, &mOut1, &mReturn}) v->assign((size_t)block, 0.0);
    mMeter.HostPrepare(rate, block);
    if (mGui) mGui->OpenWindow(this);
  }
  ~ThdEditorDriver()
  {
    if (mGui) mGui->CloseWindow();
  }

  IGraphicsHeadless* Gui() const { return mGui; }

  // One audio block: the tone output of the last block comes back on the input the meter
  // listens to (both inputs carry it, so either choice hears it).
  void Block()
  {
    for (int i = 0; i < mBlock; ++i) mIn0[(size_t)i] = mIn1[(size_t)i] = mReturn[(size_t)i];
    double* ins[2] = {mIn0.data(), mIn1.data()};
    double* outs[2] = {mOut0.data(), mOut1.data()};
    mMeter.HostProcess(ins, outs, mBlock);
    const bool right = mMeter.GetOutputChannel() != 0.0;
    mReturn = right ? mOut1 : mOut0;
    if (mDevice)
      for (double& x : mReturn) x = mDevice(x);
    mFrames += mBlock;
  }

  // One timer tick of the editor; returns whether it drew.
  bool Tick() { return mGui && mGui->Tick(); }

  void Click(const int (&p)[2]) { mGui->Click(p[0], p[1]); }

  const char* ResultsText() const
  {
    IControl* c = mMeter.GetResultsTextControl();
    return c ? c->GetTextFromControl() : "";
  }

  // Blocks and ticks until the results text shows results (or maxBlocks passed); every new
  // text seen on the way is kept.
  bool RunToResults(int maxBlocks)
  {
    for (int b = 0; b < maxBlocks; ++b)
    {
      Block();
      Tick();
      Note();
      if (std::string(ResultsText()).rfind("THD=", 0) == 0 && !mMeter.IsMeasuring()) return true;
    }
    return false;
  }

  void Note()
  {
    const std::string text = ResultsText();
    if (mTexts.empty() || mTexts.back() != text) mTexts.push_back(text);
  }

  IThdMeter& mMeter;
  IGraphicsHeadless* mGui = nullptr;
  int mBlock;
  std::function<double(double)> mDevice;  // the chain under test; null: a plain cable
  long long mFrames = 0;
  std::vector<double> mIn0, mIn1, mOut0, mOut1, mReturn;
  std::vector<std::string> mTexts;
};
