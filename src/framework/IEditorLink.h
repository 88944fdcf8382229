// The seam between the plug-in base and its editor. The framework must not depend on the
// editor library (the editor depends on the framework), so the base holds its editor through
// this small interface: IGraphics (src/editor) implements it, and the base owns the attached
// editor and deletes it through the virtual destructor. Code that needs the whole editor gets
// it with IGraphics::FromPlug.
#pragma once

class IEditorLink
{
public:
  virtual ~IEditorLink() = default;

  // A parameter changed on the plug-in side; update the controls bound to it.
  virtual void SetParameterFromPlug(int paramIdx, double value, bool normalized) = 0;
  // Sets control controlIdx's value without informing the host. May be called from the
  // audio thread: implementations only store the value and a dirty flag.
  virtual void SetControlFromPlug(int controlIdx, double normalizedValue) = 0;
  // Called once when the editor is attached, before its window ever opens.
  virtual void PrepDraw() = 0;

  // The editor's fixed size in pixels, which bindings report to hosts.
  virtual int Width() const { return 0; }
  virtual int Height() const { return 0; }
  // Opens the platform window inside the host's parent (an HWND, an NSView, ...) and returns
  // it, or null when this platform has no window host; closing destroys only the window.
  virtual void* OpenWindow(void* /*parent*/) { return nullptr; }
  virtual void CloseWindow() {}

  // Window hosts that the plug-in's host drives from its own loop (X11 on Linux, where there
  // is no loop of the system's): the descriptor whose readiness the host reports through
  // OnHostEvents (-1: none), and the timer tick the host runs every TimerPeriodMs milliseconds
  // while the window is open. Window hosts with timers of their own ignore them.
  virtual int HostEventFD() { return -1; }
  virtual void OnHostEvents() {}
  virtual void OnHostTimer() {}
  virtual int TimerPeriodMs() const { return 40; }
  // The host's content scale (HiDPI). True when the window host shows the editor at that
  // scale; Width() and Height() stay the editor's own size.
  virtual bool SetContentScale(double /*scale*/) { return false; }
  virtual double GetContentScale() const { return 1.0; }
};
