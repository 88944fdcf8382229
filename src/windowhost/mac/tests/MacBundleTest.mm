// The laid-out bundle's own binary, loaded the way a Mac host loads a VST 2 bundle: opened by
// path from Contents/MacOS, its entry point called, its editor opened in a host window (GNUstep's
// AppKit under Xvfb). This program registers no bundle and links none of the view host, so the
// editor can find its images only in the bundle that holds the binary; the screen must show the
// headless host's picture of the idle editor.
//
// The program has its own main and nothing of the view host in it: Objective-C classes are
// process-wide, and a second copy of the view's classes would stand in for the module's own.
#import <AppKit/AppKit.h>

#include "MacTestPixels.h"
#include "VstAbi.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
VstIntPtr VSTCALLBACK HostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
  return opcode == audioMasterVersion ? 2400 : 0;
}

void Pump(double secs)
{
  NSDate* until = [NSDate dateWithTimeIntervalSinceNow:secs];
  while ([until timeIntervalSinceNow] > 0)
  {
    NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
    NSEvent* e = [NSApp nextEventMatchingMask:NSAnyEventMask untilDate:until inMode:NSDefaultRunLoopMode dequeue:YES];
    if (e) [NSApp sendEvent:e];
    [pool release];
  }
}

std::vector<unsigned int> ReadBack(NSView* view, int* w, int* h)
{
  NSBitmapImageRep* rep = [view bitmapImageRepForCachingDisplayInRect:[view bounds]];
  [view cacheDisplayInRect:[view bounds] toBitmapImageRep:rep];
  *w = (int)[rep pixelsWide];
  *h = (int)[rep pixelsHigh];
  std::vector<unsigned int> pixels((size_t)*w * (size_t)*h);
  for (int y = 0; y < *h; ++y)
    for (int x = 0; x < *w; ++x)
    {
      NSUInteger p[5] = {0, 0, 0, 255, 0};
      [rep getPixel:p atX:x y:y];
      pixels[(size_t)y * *w + x] =
          0xFF000000u | ((unsigned)(p[0] & 255) << 16) | ((unsigned)(p[1] & 255) << 8) | (unsigned)(p[2] & 255);
    }
  return pixels;
}

void OnWatchdog(int)
{
  const char msg[] = "WATCHDOG: the bundle test blocked; ending the run\n";
  if (write(2, msg, sizeof msg - 1) < 0) {}
  _exit(3);
}
}  // namespace

TEST(MacBundle, TheBinaryFindsItsImagesInItsOwnBundle)
{
  // A private HOME: the meter makes its documents folder there.
  char home[] = "/tmp/vx_mac_bundle_home_XXXXXX";
  ASSERT_NE(mkdtemp(home), nullptr);
  setenv("HOME", home, 1);

  // Never closed: the Objective-C runtime keeps the module's classes for the process.
  void* module = dlopen(VX_MAC_BUNDLE_BINARY, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  ASSERT_TRUE(module != nullptr) << dlerror();
  auto entry = (AEffect * (VSTCALLBACK*)(audioMasterCallback)) dlsym(module, "VSTPluginMain");
  ASSERT_TRUE(entry != nullptr);
  AEffect* effect = entry(&HostCallback);
  ASSERT_TRUE(effect != nullptr);
  ASSERT_EQ(kEffectMagic, effect->magic);
  ASSERT_TRUE(effect->flags & effFlagsHasEditor);
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);

  ERect* rect = nullptr;
  ASSERT_EQ(1, effect->dispatcher(effect, effEditGetRect, 0, 0, &rect, 0.0f));
  ASSERT_TRUE(rect != nullptr);
  NSWindow* window = [[NSWindow alloc] initWithContentRect:NSMakeRect(60, 60, rect->right, rect->bottom)
                                                 styleMask:NSTitledWindowMask
                                                   backing:NSBackingStoreBuffered
                                                     defer:NO];
  [window setReleasedWhenClosed:NO];
  [window makeKeyAndOrderFront:nil];
  NSView* hostView = [window contentView];
  ASSERT_EQ(1, effect->dispatcher(effect, effEditOpen, 0, 0, hostView, 0.0f));
  ASSERT_EQ(1u, [[hostView subviews] count]);
  NSView* view = (NSView*)[[hostView subviews] objectAtIndex:0];
  Pump(0.3);

  int w = 0, h = 0, gw = 0, gh = 0, fx = 0, fy = 0;
  std::vector<unsigned int> screen = ReadBack(view, &w, &h);
  std::vector<unsigned int> golden = MacLoadPNGPixels(std::string(VX_GOLDEN_DIR) + "/editor_idle.png", &gw, &gh);
  ASSERT_EQ(251, gw) << "missing golden picture";
  ASSERT_EQ(gw, w);
  ASSERT_EQ(gh, h);
  EXPECT_EQ(0, MacCountDifferences(screen, golden, w, &fx, &fy)) << "first difference at " << fx << "," << fy;

  effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
  EXPECT_EQ(0u, [[hostView subviews] count]);
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  [window orderOut:nil];
  [window close];
  [window release];
  Pump(0.05);
  std::error_code ec;
  std::filesystem::remove_all(home, ec);
}

int main(int argc, char** argv)
{
  signal(SIGALRM, OnWatchdog);
  alarm(120);
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  [NSApplication sharedApplication];
  [NSApp finishLaunching];
  ::testing::InitGoogleTest(&argc, argv);
  const int rc = RUN_ALL_TESTS();
  alarm(0);
  [pool release];
  return rc;
}
