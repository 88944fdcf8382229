// The meter's own controls. Each forwards the user's action to the meter (from_GUI with its
// tag) on the editor thread, so the meter reacts at once instead of waiting for the host to
// echo the parameter; IDummyControl carries the engine's messages the other way.
#pragma once

#include "IControls.h"
#include "Util_String.h"

class IThdMeter;

// A two-state selector (the L/R pairs): each click or double click steps through the frames.
class IMyRadioButton : public IBitmapControl
{
public:
  IMyRadioButton(IThdMeter* meter, int x, int y, int paramIdx, IBitmap* bitmap, int tag,
                 IChannelBlend blend = IChannelBlend(IChannelBlend::kBlendNone));
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override;

protected:
  IThdMeter* mMeter;
  int mTag;
};

// The frequency display: shows its text, and a click opens a text entry whose confirmed text
// the meter parses (tag kTagFrequencyEntry).
class AlgDisplayN : public IControl
{
public:
  // Typed text beyond this is not shown.
  static constexpr int kMaxShown = 5;

  AlgDisplayN(IThdMeter* meter, IRECT rect, IText* text, const char* str);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override;
  void TextFromTextEntry(const char* text) override;
  // The meter's frequency text after an entry was parsed.
  void SetTextFromPlug(const char* str) override;
  const char* GetTextFromControl() const override { return mStr.Get(); }

protected:
  IThdMeter* mMeter;
  Util_String mStr;
};

// The volume fader: the stock fader plus a coloured bar up to the handle, wheel steps, a
// double click back to the default, and from_GUI after every change.
class IMyFaderControl : public IFaderControl
{
public:
  IMyFaderControl(IThdMeter* meter, int x, int y, int len, int paramIdx, IBitmap* bitmap, EDirection direction, int tag);
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
  void OnMouseWheel(int x, int y, IMouseMod* mod, int d) override;
  bool Draw(IGraphics* graphics) override;
  void SnapToMouse(int x, int y) override;

  // The bar's colour: the turquoise of the artwork.
  static inline const IColor kBarColor = IColor(255, 0, 184, 194);

protected:
  IThdMeter* mMeter;
  int mTag;
  int mDir, mX, mY, mLength;
};

// Start and Cancel: an image that only reports presses; its value never changes.
class IMyBitmapControl : public IControl
{
public:
  IMyBitmapControl(IThdMeter* meter, int x, int y, int paramIdx, IBitmap* bitmap, int tag);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override;

protected:
  IThdMeter* mMeter;
  int mTag;
  IBitmap mBitmap;
};

// An invisible hit area over a button painted in an image (Help, About, OK).
class IMyButton : public IControl
{
public:
  IMyButton(IThdMeter* meter, IRECT rect, int paramIdx, int tag);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics*) override { return true; }

protected:
  IThdMeter* mMeter;
  int mTag;
};

// The engine's one-slot message box to the editor thread. The audio thread posts a message
// value to it (and to the meter's own message slot); the drawing pass that reaches it hands
// the message to the meter's MyIdle on the editor thread.
class IDummyControl : public IControl
{
public:
  IDummyControl(IThdMeter* meter, IRECT rect);
  bool Draw(IGraphics* graphics) override;
  // Also dirty while a message waits or the meter has work for the editor thread (texts a
  // state restore changed), so a message posted while a pass was cleaning this control still
  // reaches the next pass.
  bool IsDirty() override;
  // The unread engine message (0 when none), taken: the drawing pass hands it to MyIdle, and
  // the meter's pump and Cancel take it from here too, so each message is handled once.
  double TakeMessage();

protected:
  IThdMeter* mMeter;
};
