// The editor tests' shared plug-in, generated test images (frames of known colours,
// registered with the headless host as PNG) and the probe control that logs what the editor
// does to it.

#include "EditorTestSupport.h"

#include "Raster_Bitmap.h"
#include "Raster_Fill.h"
#include "Util_ByteOrder.h"

#include "Raster_PNGWrite.h"

#include <mutex>

TestPlug::TestPlug()
    : IFxTestBinding(IFxInstanceInfo{}, kNumTestParams, "1-1 2-2", 1, "Editor Test", "", "example.com", 0x00010000,
                     Util_FourCC("EdTs"), Util_FourCC("Exmp"), 0, false, true, false)
{
  GetParam(kParamBool)->InitBool("Power", false);
  GetParam(kParamEnum)->InitEnum("Mode", 0, 3);
  GetParam(kParamEnum)->SetDisplayText(0, "Alpha");
  GetParam(kParamEnum)->SetDisplayText(1, "Beta");
  GetParam(kParamEnum)->SetDisplayText(2, "Gamma");
  GetParam(kParamDouble)->InitDouble("Level", -10.0, -20.0, 0.0, 0.1, "dB");
  GetParam(kParamDouble)->NegateDisplay();
  GetParam(kParamInt)->InitInt("Count", 5, 0, 10);
}

void TestPlug::OnParamChange(int idx)
{
  IFxBase::OnParamChange(idx);
  changed.push_back(idx);
}

uint32_t FrameColor(int k)
{
  static const uint32_t colours[] = {0xFF102030u, 0xFF40A060u, 0xFFC03010u, 0xFF2050F0u, 0xFFF0F000u, 0xFF808080u};
  return colours[k % 6];
}

Raster_IBitmap* MakeFramesBitmap(int w, int h, int n, bool horizontal)
{
  Raster_MemBitmap* bm = new Raster_MemBitmap(w, h, 4);
  for (int k = 0; k < n; ++k)
  {
    if (horizontal)
      Raster_FillRect(bm, k * w / n, 0, w / n, h, FrameColor(k), 1.0f, 0);
    else
      Raster_FillRect(bm, 0, k * h / n, w, h / n, FrameColor(k), 1.0f, 0);
  }
  return bm;
}

std::vector<unsigned char> EncodePNG(Raster_IBitmap* bitmap)
{
  std::vector<unsigned char> out;
  Raster_EncodePNG(bitmap, &out);
  return out;
}

namespace
{
void Register(int id, Raster_IBitmap* bm)
{
  std::vector<unsigned char> png = EncodePNG(bm);
  IGraphicsHeadless::RegisterImageData(id, png.data(), png.size());
  delete bm;
}
}  // namespace

void RegisterTestImages()
{
  static std::once_flag once;
  std::call_once(once, [] {
    Raster_MemBitmap* bg = new Raster_MemBitmap(251, 310, 4);
    for (int y = 0; y < 310; ++y)
      for (int x = 0; x < 251; ++x) Raster_PutPixel(bg, x, y, Raster_MakePixel(255, x, y & 0xFF, 128), 1.0f, 0);
    Register(kImgBackground, bg);
    Register(kImgButton, MakeFramesBitmap(16, 32, 2, false));
    Raster_IBitmap* handle = MakeFramesBitmap(20, 10, 1, false);
    Raster_FillRect(handle, 0, 0, 20, 10, FrameColor(2), 1.0f, 0);
    Register(kImgHandle, handle);
    Register(kImgFour, MakeFramesBitmap(10, 100, 4, false));
    Register(kImgFourAcross, MakeFramesBitmap(100, 10, 4, true));
    Register(kImgKnob, MakeFramesBitmap(48, 144, 3, false));
  });
}

// ---- ProbeControl ------------------------------------------------------------------------------

ProbeControl::ProbeControl(IFxBase* plug, IRECT rect, const char* name, std::vector<std::string>* log, int paramIdx)
    : IControl(plug, rect, paramIdx), mName(name), mLog(log)
{
}

void ProbeControl::Log(const std::string& what)
{
  if (mLog) mLog->push_back(mName + ":" + what);
}

bool ProbeControl::Draw(IGraphics* graphics)
{
  Log("draw");
  return graphics->FillIRect(&mFill, &mRECT, &mBlend);
}

void ProbeControl::OnMouseDown(int x, int y, IMouseMod* mod)
{
  Log("down " + std::to_string(x) + "," + std::to_string(y));
  IControl::OnMouseDown(x, y, mod);
}

void ProbeControl::OnMouseUp(int x, int y, IMouseMod*)
{
  Log("up " + std::to_string(x) + "," + std::to_string(y));
}

void ProbeControl::OnMouseDrag(int x, int y, int dX, int dY, IMouseMod*)
{
  Log("drag " + std::to_string(x) + "," + std::to_string(y) + " d" + std::to_string(dX) + "," + std::to_string(dY));
}

void ProbeControl::OnMouseDblClick(int, int, IMouseMod*)
{
  Log("dbl");
}

void ProbeControl::OnMouseWheel(int, int, IMouseMod*, int d)
{
  Log("wheel " + std::to_string(d));
}

bool ProbeControl::OnKeyDown(int, int, int key)
{
  Log("key " + std::to_string(key));
  return mTakesKeys;
}

void ProbeControl::OnMouseOver(int, int, IMouseMod*)
{
  Log("over");
}

void ProbeControl::OnMouseOut()
{
  Log("out");
}

void ProbeControl::TextFromTextEntry(const char* text)
{
  Log(std::string("text ") + text);
}

// ---- EditorFixture --------------------------------------------------------------------------------

EditorFixture::EditorFixture(int w, int h)
{
  RegisterTestImages();
  plug = new TestPlug;
  gui = new IGraphicsHeadless(plug, w, h);
}

EditorFixture::~EditorFixture()
{
  // The plug-in owns an attached editor; one that was never attached is the fixture's.
  if (plug->GetGUI() != gui) delete gui;
  delete plug;
}

void EditorFixture::AttachAndOpen()
{
  plug->AttachGraphics(gui);
  gui->OpenWindow(nullptr);
}

void EditorFixture::Settle()
{
  for (int i = 0; i < 4 && gui->Tick(); ++i)
  {
  }
}

uint32_t BackPixel(IGraphics* gui, int x, int y)
{
  return Raster_GetPixel(gui->GetDrawBitmap(), x, y);
}
