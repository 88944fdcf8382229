// Shared pieces of the editor tests: a small plug-in with one parameter of each kind, test
// images registered with the headless host, a probe control that logs what the editor does to
// it, and an editor fixture.
#pragma once

#include "IControls.h"
#include "IFxTestBinding.h"
#include "IGraphicsHeadless.h"

#include <string>
#include <vector>

class Raster_IBitmap;

enum ETestParam { kParamBool = 0, kParamEnum, kParamDouble, kParamInt, kNumTestParams };

// Image ids registered by RegisterTestImages.
enum ETestImage
{
  kImgBackground = 1,  // 251 x 310, a gradient
  kImgButton = 2,      // 16 x 32, two stacked frames: frame 1 FrameColor(0), frame 2 FrameColor(1)
  kImgHandle = 3,      // 20 x 10 fader handle, FrameColor(2)
  kImgFour = 4,        // 10 x 100, four stacked frames FrameColor(0..3)
  kImgFourAcross = 5,  // 100 x 10, four frames side by side
  kImgKnob = 6,        // 48 x 48 with 3 frames stacked (48 x 144 in all)
};

class TestPlug : public IFxTestBinding
{
public:
  TestPlug();
  void OnParamChange(int idx) override;
  std::vector<int> changed;
};

// Opaque, distinct colour of frame k.
uint32_t FrameColor(int k);
// A bitmap of n frames, each filled with FrameColor(frame), stacked or side by side.
Raster_IBitmap* MakeFramesBitmap(int w, int h, int n, bool horizontal);
// PNG bytes of a bitmap (RGBA).
std::vector<unsigned char> EncodePNG(Raster_IBitmap* bitmap);
// Registers the test images once per process.
void RegisterTestImages();

// Logs draws and input, in order, into a shared log ("A:draw", "A:down 12,14", ...).
class ProbeControl : public IControl
{
public:
  ProbeControl(IFxBase* plug, IRECT rect, const char* name, std::vector<std::string>* log, int paramIdx = -1);
  bool Draw(IGraphics* graphics) override;
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseUp(int x, int y, IMouseMod* mod) override;
  void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
  void OnMouseWheel(int x, int y, IMouseMod* mod, int d) override;
  bool OnKeyDown(int x, int y, int key) override;
  void OnMouseOver(int x, int y, IMouseMod* mod) override;
  void OnMouseOut() override;
  void TextFromTextEntry(const char* text) override;
  IColor mFill = COLOR_RED;
  bool mTakesKeys = true;

private:
  void Log(const std::string& what);
  std::string mName;
  std::vector<std::string>* mLog;
};

// A plug-in with an attached headless editor of w x h; the plug-in owns the editor.
struct EditorFixture
{
  explicit EditorFixture(int w = 100, int h = 100);
  ~EditorFixture();
  // Attaches the editor to the plug-in (pulling parameter values) and opens its window.
  void AttachAndOpen();
  // Ticks until nothing is dirty (at most a few passes).
  void Settle();

  TestPlug* plug;
  IGraphicsHeadless* gui;
};

// The pixel of the editor's back buffer at (x, y).
uint32_t BackPixel(IGraphics* gui, int x, int y);
