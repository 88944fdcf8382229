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

  // What a binding's editor view needs: the editor's fixed size in pixels, and its platform
  // window opened as a child of the host's window (null when none opened) and closed again.
  // An editor without a window host reports its size and opens nothing.
  virtual int EditorWidth() const { return 0; }
  virtual int EditorHeight() const { return 0; }
  virtual void* OpenEditorWindow(void* /*parentWindow*/) { return nullptr; }
  virtual void CloseEditorWindow() {}
};
