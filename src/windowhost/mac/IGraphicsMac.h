// The macOS window host: the editor as a Cocoa view (IGraphicsCocoa, its name completed by the
// plug-in's class-name suffix: IGraphicsCocoa.h) that the VST 2 binding places in the view the
// host hands over, or, for hosts that pass a Carbon window, in a borderless child window. A
// repeating timer asks for dirty areas, drawRect: runs the drawing pass and copies the back
// buffer to the screen as a CGImage, and the view's event methods feed the editor's mouse and
// keyboard entry points.
//
// This header is plain C++ so that the meter's sources can include it; the Cocoa classes are
// declared in IGraphicsCocoa.h for the Objective-C++ files only. The same sources build with
// Apple clang and, for tests, with g++ against GNUstep (GsCompat.h supplies what GNUstep lacks).
#pragma once

#include "IGraphics.h"
#include "Util_String.h"

class IGraphicsMac : public IGraphics
{
public:
  IGraphicsMac(IFxBase* plug, int w, int h, int refreshFPS = 0);
  ~IGraphicsMac() override;

  // The plug-in bundle's identifier, used to find its images and paths.
  void SetBundleID(const char* id) { mBundleID.Set(id ? id : ""); }
  const char* GetBundleID() const { return mBundleID.Get(); }

  // ---- platform operations --------------------------------------------------------------------
  bool DrawScreen(IRECT* rect) override;
  bool MeasureIText(IText* text, const char* str, IRECT* destRect) override;
  void ForceEndUserEdit() override;
  void Resize(int w, int h) override;
  bool WindowIsOpen() override { return mGraphicsCocoa != nullptr; }
  const char* GetGUIAPI() override { return "Cocoa GUI"; }
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* areaRect) override;
  void CreateTextEntry(IControl* control, IText* text, IRECT* textRect, const char* str = "",
                       IParam* param = nullptr) override;
  void HostPath(Util_String* path) override;
  void PluginPath(Util_String* path) override;
  void DesktopPath(Util_String* path) override;
  void AppSupportPath(Util_String* path, bool isSystem = false) override;
  void SandboxSafeAppSupportPath(Util_String* path) override;
  void PromptForFile(Util_String* fileName, EFileAction action = kFileOpen, Util_String* dir = nullptr,
                     const char* extensions = "") override;
  bool PromptForColor(IColor* color, const char* prompt = "") override;
  bool OpenURL(const char* url, const char* msgWindowTitle = nullptr, const char* confirmMsg = nullptr,
               const char* errMsgOnFailure = nullptr) override;
  // parentView: the host's NSView (or null: the view is made but not placed).
  void* OpenWindow(void* parentView) override;
  void* OpenWindow(void* parentWnd, void* parentControl, short leftOffset = 0, short topOffset = 0) override;
  // The Carbon path: hostWindow is the host's WindowRef.
  void AttachSubWindow(void* hostWindow) override;
  // The same child window over a host NSWindow the caller keeps (Cocoa hosts with a window but
  // no view to offer). RemoveSubWindow then leaves that window open.
  void AttachToHostWindow(void* hostNSWindow);
  // The child window of either path (CustomCocoaWindow*), or null.
  void* GetChildWindow();
  void RemoveSubWindow() override;
  void CloseWindow() override;
  void* GetWindow() override { return mGraphicsCocoa; }
  bool GetTextFromClipboard(Util_String* str) override;
  void HideMouseCursor() override;
  void ShowMouseCursor() override;
  void UpdateTooltips() override;
  Raster_IBitmap* OSLoadBitmap(int id, const char* name) override;

  void* OpenCocoaWindow(void* parentView) { return OpenWindow(parentView); }

  // The system version as a hexadecimal number (10.7.5 -> 0x1075), read once; 0 when unknown.
  static int GetUserOSVersion();
  // The conversion behind it: "10.10" -> 0x10100, "10.7.5" -> 0x1075. Anything but digits and
  // dots, more than three parts, or more hexadecimal digits than an int holds gives 0.
  static int ParseOSVersion(const char* productVersion);

  // ---- replaceable modal calls ------------------------------------------------------------------
  // Message boxes end in a modal alert and context menus in a modal menu loop; both can be
  // replaced (tests, hosts that must never block) and restored with null.
  // The alert answers 0, 1, 2 (default, alternate, other button) or another value (cancelled).
  using AlertFunc = int (*)(const char* header, const char* message, const char* defaultButton,
                            const char* alternateButton, const char* otherButton);
  static AlertFunc SetAlertFunc(AlertFunc func);
  // Shows nsMenu (an NSMenu*) for the synthetic event nsEvent (NSEvent*) over nsView (NSView*)
  // and returns when it closes; a chosen item has sent its action by then.
  using ContextMenuFunc = void (*)(void* nsMenu, void* nsEvent, void* nsView);
  static ContextMenuFunc SetContextMenuFunc(ContextMenuFunc func);

  // Used by the view.
  static int RunAlert(const char* header, const char* message, const char* defaultButton,
                      const char* alternateButton, const char* otherButton);
  static void RunContextMenu(void* nsMenu, void* nsEvent, void* nsView);

private:
  // The drawing bitmap's pixels, size and row span in pixels (C++ side: the raster headers
  // and the Objective-C headers both define BOOL).
  bool GetBackBuffer(unsigned int** bits, int* w, int* h, int* rowSpan);

  void* mGraphicsCocoa = nullptr;  // IGraphicsCocoa*, retained while open
  Util_String mBundleID;
  void* mColorSpace = nullptr;      // CGColorSpaceRef, made on the first draw
  void* mHostNSWindow = nullptr;    // NSWindow* around the Carbon host window
  void* mChildWindow = nullptr;     // CustomCocoaWindow* of the Carbon path
  bool mHostIsWrapper = false;      // mHostNSWindow wraps a Carbon window and is ours
};

// The plug-in module's notice (header, text, one "OK" button) through
// CFUserNotificationDisplayNotice; installed as the module's notice function by the window host.
void IGraphicsMac_DisplayNotice(const char* text, const char* caption, int kind);
