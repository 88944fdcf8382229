// The meter's face as a user works it: clicks and typing on the editor through the headless
// window host, timer ticks that run the drawing pass (which hands the engine's messages to the
// meter), the results read from the results text control, and pictures of the editor.
#pragma once

#include "ThdRun.h"

class IGraphicsHeadless;

class ThdEditorPanel : public ThdFrontPanel
{
public:
  explicit ThdEditorPanel(IThdMeter& meter);
  ~ThdEditorPanel() override;

  // Output and input radios, the fader (double click, then wheel notches), the Denoising
  // button, and the frequency typed into its display.
  void Apply(const ThdOptions& options) override;
  // A click on the Start button's rectangle.
  bool PressStart() override;
  std::string ResultsText() const override;

  // Timer ticks until the editor is drawn up to date; returns the engine message the
  // drawing pass took (0 when none).
  double Tick();
  // The editor as the user sees it, as PNG.
  bool Snapshot(const std::string& path);

private:
  IGraphicsHeadless* mGui = nullptr;
};
