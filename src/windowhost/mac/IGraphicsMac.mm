// IGraphicsMac: the editor's platform operations on macOS - opening and closing the Cocoa
// view (in a host view, or in a child window of a Carbon host window), copying the back
// buffer to the screen, text entries, popup menus, message boxes, tooltips and the cursor.
#include "IGraphicsMac.h"

#include "IControl.h"
#include "IGraphicsCocoa.h"
#include "IUserNotice.h"

#include <atomic>

namespace
{
std::atomic<IGraphicsMac::AlertFunc> gAlertFunc{nullptr};
std::atomic<IGraphicsMac::ContextMenuFunc> gContextMenuFunc{nullptr};

IGraphicsCocoa* View(void* p)
{
  return (IGraphicsCocoa*)p;
}

CFStringRef ToCFString(const char* utf8)
{
  if (!utf8) return NULL;
  NSString* s = [NSString stringWithUTF8String:utf8];
  return (CFStringRef)(s ? s : @"");
}

int DefaultAlert(const char* header, const char* message, const char* defaultButton, const char* alternateButton,
                 const char* otherButton)
{
  CFOptionFlags response = 0;
  const SInt32 err = CFUserNotificationDisplayAlert(0, kCFUserNotificationPlainAlertLevel, NULL, NULL, NULL,
                                                    ToCFString(header ? header : ""), ToCFString(message ? message : ""),
                                                    ToCFString(defaultButton), ToCFString(alternateButton),
                                                    ToCFString(otherButton), &response);
  return err ? -1 : (int)(response & 0x3);
}

void DefaultContextMenu(void* nsMenu, void* nsEvent, void* nsView)
{
  [NSMenu popUpContextMenu:(NSMenu*)nsMenu withEvent:(NSEvent*)nsEvent forView:(NSView*)nsView];
}

void ModuleNotice(const char* text, const char* caption, ENoticeKind kind)
{
  IGraphicsMac_DisplayNotice(text, caption, (int)kind);
}

// The module's notices appear as user notifications from the moment it is loaded (the
// calibration notice comes before any editor exists).
struct NoticeInstaller
{
  NoticeInstaller() { SetUserNoticeFunc(&ModuleNotice); }
};
NoticeInstaller gNoticeInstaller;
}  // namespace

void IGraphicsMac_DisplayNotice(const char* text, const char* caption, int)
{
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  CFUserNotificationDisplayNotice(0, kCFUserNotificationPlainAlertLevel, NULL, NULL, NULL,
                                  ToCFString(caption ? caption : ""), ToCFString(text ? text : ""),
                                  (CFStringRef) @"OK");
  [pool release];
}

IGraphicsMac::IGraphicsMac(IFxBase* plug, int w, int h, int refreshFPS) : IGraphics(plug, w, h, refreshFPS)
{
  NSApplicationLoad();
}

IGraphicsMac::~IGraphicsMac()
{
  if (mChildWindow) RemoveSubWindow();
  CloseWindow();
  if (mColorSpace) CGColorSpaceRelease((CGColorSpaceRef)mColorSpace);
  mColorSpace = nullptr;
}

// ---- replaceable modal calls ---------------------------------------------------------------------

IGraphicsMac::AlertFunc IGraphicsMac::SetAlertFunc(AlertFunc func)
{
  return gAlertFunc.exchange(func, std::memory_order_acq_rel);
}

IGraphicsMac::ContextMenuFunc IGraphicsMac::SetContextMenuFunc(ContextMenuFunc func)
{
  return gContextMenuFunc.exchange(func, std::memory_order_acq_rel);
}

int IGraphicsMac::RunAlert(const char* header, const char* message, const char* defaultButton,
                           const char* alternateButton, const char* otherButton)
{
  AlertFunc func = gAlertFunc.load(std::memory_order_acquire);
  return (func ? func : &DefaultAlert)(header, message, defaultButton, alternateButton, otherButton);
}

void IGraphicsMac::RunContextMenu(void* nsMenu, void* nsEvent, void* nsView)
{
  ContextMenuFunc func = gContextMenuFunc.load(std::memory_order_acquire);
  (func ? func : &DefaultContextMenu)(nsMenu, nsEvent, nsView);
}

// ---- window ---------------------------------------------------------------------------------------------

void* IGraphicsMac::OpenWindow(void* parentView)
{
  CloseWindow();
  IGraphicsCocoa* view = [[IGraphicsCocoa alloc] initWithIGraphics:this];
  if (!view) return nullptr;
  mGraphicsCocoa = view;
  if (parentView) [(NSView*)parentView addSubview:view];
  UpdateTooltips();
  return view;
}

void* IGraphicsMac::OpenWindow(void* parentWnd, void*, short, short)
{
  return OpenWindow(parentWnd);
}

void IGraphicsMac::CloseWindow()
{
  if (!mGraphicsCocoa) return;
  IGraphicsCocoa* view = View(mGraphicsCocoa);
  mGraphicsCocoa = nullptr;
  [view removeAllToolTips];
  [view killTimer];
  if ([view graphics])
  {
    [view detach];
    [view removeFromSuperview];
  }
  [view release];
}

void IGraphicsMac::AttachSubWindow(void* hostWindow)
{
  if (!hostWindow || mChildWindow) return;
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  NSWindow* host = [[NSWindow alloc] initWithWindowRef:hostWindow];
  if (host)
  {
    [host setCanHide:YES];
    [host setReleasedWhenClosed:YES];  // RemoveSubWindow's close lets go of the wrapper
    AttachToHostWindow(host);
    mHostIsWrapper = true;
  }
  [pool release];
}

void IGraphicsMac::AttachToHostWindow(void* hostNSWindow)
{
  if (!hostNSWindow || mChildWindow) return;
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  NSWindow* host = (NSWindow*)hostNSWindow;
  NSRect hostFrame = [host frame];
  NSRect content = NSMakeRect(hostFrame.origin.x, hostFrame.origin.y, Width(), Height());
  if (hostFrame.size.width > Width()) content.origin.x += (CGFloat)(int)((hostFrame.size.width - Width()) / 2);
  CustomCocoaWindow* child =
      [[CustomCocoaWindow alloc] initWithContentRect:content styleMask:NSWindowStyleMaskBorderless
                                                            backing:NSBackingStoreBuffered defer:NO];
  [child setOpaque:YES];
  [child setCanHide:YES];
  [child setHasShadow:NO];
  [child setReleasedWhenClosed:YES];  // RemoveSubWindow's close lets go of it
  OpenWindow([child contentView]);
  [host addChildWindow:child ordered:NSWindowAbove];
  [host orderFront:nil];
  [host display];
  // Some hosts bring their own window forward once more after opening the editor.
  [child performSelector:@selector(orderFront:) withObject:nil afterDelay:0.05];
  mHostNSWindow = host;
  mChildWindow = child;
  mHostIsWrapper = false;
  [pool release];
}

void* IGraphicsMac::GetChildWindow()
{
  return mChildWindow;
}

void IGraphicsMac::RemoveSubWindow()
{
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  CloseWindow();
  NSWindow* child = (NSWindow*)mChildWindow;
  NSWindow* host = (NSWindow*)mHostNSWindow;
  mChildWindow = mHostNSWindow = nullptr;
  if (child)
  {
    // A pending bring-to-front must not show the window again after it closed.
    [NSObject cancelPreviousPerformRequestsWithTarget:child selector:@selector(orderFront:) object:nil];
    [child orderOut:nil];
    [host removeChildWindow:child];
    [child close];
  }
  // Only the wrapper around a Carbon window is ours to close.
  if (mHostIsWrapper) [host close];
  mHostIsWrapper = false;
  [pool release];
}

// ---- drawing --------------------------------------------------------------------------------------------------

bool IGraphicsMac::DrawScreen(IRECT*)
{
  if (!mGraphicsCocoa) return false;
  unsigned int* bits = nullptr;
  int w = 0, h = 0, span = 0;
  if (!GetBackBuffer(&bits, &w, &h, &span)) return false;

  // The current context's CoreGraphics context. (A flipped NSGraphicsContext around it would
  // hand back the same CGContext: flipping changes how AppKit draws into it, not the CGContext
  // that CGContextDrawImage draws into.)
  NSGraphicsContext* current = [NSGraphicsContext currentContext];
  if (!current) return false;
  CGContextRef context = [current CGContext];

  if (!mColorSpace)
  {
    if (GetUserOSVersion() >= 0x1070) mColorSpace = CGDisplayCopyColorSpace(CGMainDisplayID());
    if (!mColorSpace) mColorSpace = CGColorSpaceCreateDeviceRGB();
  }

  const size_t bytes = (size_t)h * (size_t)span * 4;
  CGDataProviderRef provider = CGDataProviderCreateWithData(NULL, bits, bytes, NULL);
  // Blue, green, red and an unused byte in memory: 32-bit little-endian words, alpha skipped.
  CGImageRef image = CGImageCreate((size_t)w, (size_t)h, 8, 32, (size_t)span * 4, (CGColorSpaceRef)mColorSpace,
                                   (CGBitmapInfo)0x2006, provider, NULL, false, kCGRenderingIntentDefault);
  if (image) CGContextDrawImage(context, CGRectMake(0, 0, Width(), Height()), image);
  CGImageRelease(image);
  CGDataProviderRelease(provider);
  return image != NULL;
}

bool IGraphicsMac::MeasureIText(IText* text, const char* str, IRECT* destRect)
{
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  const bool result = DrawIText(text, str, destRect, true);
  [pool release];
  return result;
}

void IGraphicsMac::ForceEndUserEdit()
{
  if (mGraphicsCocoa) [View(mGraphicsCocoa) endUserInput];
}

void IGraphicsMac::Resize(int w, int h)
{
  if (w == Width() && h == Height()) return;
  IGraphics::Resize(w, h);
  if (mGraphicsCocoa) [View(mGraphicsCocoa) setFrameSize:NSMakeSize(Width(), Height())];
}

// ---- user interaction ---------------------------------------------------------------------------------------------

int IGraphicsMac::ShowMessageBox(const char* text, const char* caption, int type)
{
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  const char* defaultButton = nullptr;  // the system's own default button text
  const char* alternateButton = nullptr;
  const char* otherButton = nullptr;
  // The low four bits hold the button set; the rest (icons) do not change the buttons.
  switch (type & 0xF)
  {
    case kMB_YESNOCANCEL:
      defaultButton = "Yes";
      alternateButton = "No";
      otherButton = "Cancel";
      break;
    case kMB_YESNO:
      defaultButton = "Yes";
      alternateButton = "No";
      break;
    case kMB_OKCANCEL:
      alternateButton = "Cancel";
      break;
    default:
      break;
  }
  const int response = RunAlert(caption ? caption : "", text ? text : "", defaultButton, alternateButton, otherButton);
  [pool release];
  switch (response)
  {
    case 0: return 1;
    case 1: return 7;
    case 2: return 2;
    default: return 0;
  }
}

IPopupMenu* IGraphicsMac::CreateIPopupMenu(IPopupMenu* menu, IRECT* areaRect)
{
  ReleaseMouseCapture();
  if (!mGraphicsCocoa || !menu || !areaRect) return nullptr;
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  IPopupMenu* result = [View(mGraphicsCocoa) createIPopupMenu:(menu) :(IGraphicsMac_ToNSRect(Height(), areaRect))];
  [pool release];
  return result;
}

void IGraphicsMac::CreateTextEntry(IControl* control, IText* text, IRECT* textRect, const char* str, IParam* param)
{
  if (!mGraphicsCocoa || !control || !text || !textRect) return;
  [View(mGraphicsCocoa) createTextEntry:(control) :(param) :(text) :(str) :(IGraphicsMac_ToNSRect(Height(), textRect))];
}

void IGraphicsMac::UpdateTooltips()
{
  if (!mGraphicsCocoa || !TooltipsEnabled()) return;
  IGraphicsCocoa* view = View(mGraphicsCocoa);
  [view removeAllToolTips];
  const int n = GetNControls();
  for (int i = 0; i < n; ++i)
  {
    IControl* control = GetControl(i);
    IRECT* r = control->GetTargetRECT();
    if (control->IsHidden() || r->Empty()) continue;
    [view registerToolTip:IGraphicsMac_ToNSRect(Height(), r)];
  }
}

void IGraphicsMac::HideMouseCursor()
{
  if (mCursorHidden) return;
  if (CGDisplayHideCursor(CGMainDisplayID()) != kCGErrorSuccess) return;
  mCursorHidden = true;
  NSPoint p = [NSEvent mouseLocation];
  mHiddenMousePointX = (int)p.x;
  mHiddenMousePointY = (int)CGDisplayPixelsHigh(CGMainDisplayID()) - (int)p.y;
}

void IGraphicsMac::ShowMouseCursor()
{
  if (!mCursorHidden) return;
  CGDisplayMoveCursorToPoint(CGMainDisplayID(), CGPointMake(mHiddenMousePointX, mHiddenMousePointY));
  if (CGDisplayShowCursor(CGMainDisplayID()) == kCGErrorSuccess) mCursorHidden = false;
}
