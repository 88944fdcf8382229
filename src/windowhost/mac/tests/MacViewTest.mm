// The Cocoa view host over a small test editor, in a real AppKit (GNUstep under Xvfb):
// coordinates, clicks, the wheel, keys, the text entry and its formatter, popup menus,
// message boxes, the system version, drawing to the screen, bundle images and the release of
// every Cocoa object over many open/close cycles.
#include "IControl.h"
#include "IControls.h"
#include "IFxTestBinding.h"
#include "IGraphicsMac.h"
#include "MacTestPixels.h"
#include "MacTestSupport.h"
#include "Util_CStr.h"

#include <gtest/gtest.h>
#include <objc/runtime.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
constexpr int kW = 251, kH = 310;
enum { kParamInt = 0, kParamDouble, kParamBool, kNumParams };

class ViewTestPlug : public IFxTestBinding
{
public:
  ViewTestPlug()
      : IFxTestBinding(IFxInstanceInfo{}, kNumParams, "1-1", 0, "View Test", "", "example.com", 0x00010000, 0x56774d63,
                       0x45786d70, 0, false, false, false)
  {
    GetParam(kParamInt)->InitInt("Count", 5, 0, 500);
    GetParam(kParamDouble)->InitDouble("Gain", 1.0, 0.0, 10.0, 0.01);
    GetParam(kParamBool)->InitBool("Power", false);
  }
};

// Fills its area with one colour and logs what the editor hands it.
class RecorderControl : public IControl
{
public:
  RecorderControl(IFxBase* plug, IRECT rect, IColor color, std::vector<std::string>* log, int paramIdx = -1)
      : IControl(plug, rect, paramIdx), mColor(color), mLog(log)
  {
  }
  bool Draw(IGraphics* graphics) override
  {
    ++mDraws;
    return graphics->FillIRect(&mColor, &mRECT);
  }
  void OnMouseDown(int x, int y, IMouseMod* mod) override { Log("down", x, y, mod); }
  void OnMouseUp(int x, int y, IMouseMod* mod) override { Log("up", x, y, mod); }
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override { Log("dbl", x, y, mod); }
  void OnMouseDrag(int x, int y, int, int, IMouseMod* mod) override { Log("drag", x, y, mod); }
  void OnMouseWheel(int, int, IMouseMod*, int d) override { mLog->push_back("wheel " + std::to_string(d)); }
  bool OnKeyDown(int, int, int key) override
  {
    mLog->push_back("key " + std::to_string(key));
    return key != 40;  // 'z' is left to the next responder
  }
  void TextFromTextEntry(const char* text) override { mLog->push_back(std::string("text ") + text); }
  int mDraws = 0;
  IColor mColor;

private:
  void Log(const char* what, int x, int y, IMouseMod* mod)
  {
    char buf[96];
    snprintf(buf, sizeof buf, "%s %d,%d %s%s%s%s%s", what, x, y, mod->L ? "L" : "", mod->R ? "R" : "", mod->S ? "S" : "",
             mod->C ? "C" : "", mod->A ? "A" : "");
    mLog->push_back(buf);
  }
  std::vector<std::string>* mLog;
};
}  // namespace

// The host's view: records keys the editor passes up the responder chain.
@interface MacTestHostView : NSView
{
@public
  int mKeysPassedUp;
}
@end
@implementation MacTestHostView
- (void)keyDown:(NSEvent*)event
{
  (void)event;
  ++mKeysPassedUp;
}
@end

namespace
{
class MacViewTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    mPlug = new ViewTestPlug;
    mGui = new IGraphicsMac(mPlug, kW, kH, 0);
    mGui->SetBundleID(VX_MAC_BUNDLE_ID);
    mGui->AttachPanelBackground(&COLOR_GRAY);
    mRecorder = new RecorderControl(mPlug, IRECT(0, 0, kW, kH), IColor(255, 40, 90, 160), &mLog);
    mGui->AttachControl(mRecorder);
    mIntControl = new RecorderControl(mPlug, IRECT(10, 10, 60, 30), IColor(255, 200, 30, 30), &mLog, kParamInt);
    mGui->AttachControl(mIntControl);
    mPlug->AttachGraphics(mGui);
    mWindow = MacMakeHostWindow(kW + 40, kH + 40);
    mHostView = [[MacTestHostView alloc] initWithFrame:NSMakeRect(0, 0, kW + 40, kH + 40)];
    [[mWindow contentView] addSubview:mHostView];
    [mHostView release];
  }
  void TearDown() override
  {
    mGui->CloseWindow();
    delete mPlug;  // deletes the editor
    MacCloseWindow(mWindow);
    MacPump(0.05);
  }
  NSView* Open()
  {
    NSView* view = (NSView*)mGui->OpenWindow(mHostView);
    MacPump(0.1);
    mLog.clear();
    return view;
  }

  ViewTestPlug* mPlug = nullptr;
  IGraphicsMac* mGui = nullptr;
  RecorderControl* mRecorder = nullptr;
  RecorderControl* mIntControl = nullptr;
  std::vector<std::string> mLog;
  NSWindow* mWindow = nil;
  MacTestHostView* mHostView = nil;
};

TEST_F(MacViewTest, OpensInTheHostViewAndCloses)
{
  EXPECT_STREQ("Cocoa GUI", mGui->GetGUIAPI());
  EXPECT_FALSE(mGui->WindowIsOpen());
  NSView* view = Open();
  ASSERT_TRUE(view != nil);
  EXPECT_TRUE(mGui->WindowIsOpen());
  EXPECT_EQ(view, (NSView*)mGui->GetWindow());
  EXPECT_EQ((NSView*)mHostView, [view superview]);
  EXPECT_EQ(kW, (int)[view frame].size.width);
  EXPECT_EQ(kH, (int)[view frame].size.height);
  EXPECT_TRUE([view isOpaque]);
  EXPECT_EQ((NSResponder*)view, [mWindow firstResponder]);
  mGui->CloseWindow();
  EXPECT_FALSE(mGui->WindowIsOpen());
  EXPECT_EQ(0u, [[mHostView subviews] count]);
}

TEST_F(MacViewTest, RectanglesFlipToCocoa)
{
  const IRECT r(10, 20, 30, 40);
  const NSRect n = IGraphicsMac_ToNSRect(kH, &r);
  EXPECT_EQ(10, (int)n.origin.x);
  EXPECT_EQ(kH - 40 - 1, (int)n.origin.y);
  EXPECT_EQ(21, (int)n.size.width);
  EXPECT_EQ(21, (int)n.size.height);
}

TEST_F(MacViewTest, ClicksArriveInEditorCoordinates)
{
  NSView* view = Open();
  // The view sits at the host view's origin, which is the window's: window point = view point.
  ASSERT_TRUE(NSEqualPoints(NSMakePoint(0, 0), [view convertPoint:NSZeroPoint toView:nil]));
  [mWindow sendEvent:MacMouseEvent(NSEventTypeLeftMouseDown, mWindow, NSMakePoint(10.0, 20.0))];
  [mWindow sendEvent:MacMouseEvent(NSEventTypeLeftMouseUp, mWindow, NSMakePoint(10.0, 20.0))];
  // A double click is one press and then a double click, never a second press.
  [mWindow sendEvent:MacMouseEvent(NSEventTypeLeftMouseDown, mWindow, NSMakePoint(10.0, 20.0), 2)];
  [mWindow sendEvent:MacMouseEvent(NSEventTypeLeftMouseUp, mWindow, NSMakePoint(10.0, 20.0), 2)];
  // Command with the left button reads as the right button too; the right button alone is not left.
  [mWindow sendEvent:MacMouseEvent(NSEventTypeLeftMouseDown, mWindow, NSMakePoint(100.7, 200.2), 1,
                                   NSEventModifierFlagCommand | NSEventModifierFlagShift)];
  [mWindow sendEvent:MacMouseEvent(NSEventTypeLeftMouseUp, mWindow, NSMakePoint(100.7, 200.2))];
  [mWindow sendEvent:MacMouseEvent(NSEventTypeRightMouseDown, mWindow, NSMakePoint(50, 60), 1,
                                   NSEventModifierFlagOption | NSEventModifierFlagControl)];
  [mWindow sendEvent:MacMouseEvent(NSEventTypeRightMouseUp, mWindow, NSMakePoint(50, 60))];
  const std::vector<std::string> expected = {"down 8,287 L",  "up 8,287 L",    "dbl 8,287 L", "up 8,287 L",
                                             "down 98,107 LRS", "up 98,107 L", "down 48,247 RCA", "up 48,247 R"};
  EXPECT_EQ(expected, mLog);
}

TEST_F(MacViewTest, WheelTruncatesFractionalSteps)
{
  Open();
  const double deltas[] = {0.7, -0.7, 2.9, -1.5, 1.0};
  for (double d : deltas) [mWindow sendEvent:MacScrollEvent(mWindow, NSMakePoint(30, 40), d)];
  const std::vector<std::string> expected = {"wheel 0", "wheel 0", "wheel 2", "wheel -1", "wheel 1"};
  EXPECT_EQ(expected, mLog);
}

TEST_F(MacViewTest, KeysMapToEditorKeysAndOthersGoUp)
{
  NSView* view = Open();
  [mWindow makeFirstResponder:view];
  // The pointer's last position decides which control gets the keys.
  [mWindow sendEvent:MacMouseEvent(NSEventTypeMouseMoved, mWindow, NSMakePoint(100, 100))];
  mLog.clear();
  struct
  {
    NSString* chars;
    unsigned short code;
    const char* logged;  // null: nothing reaches the editor
  } cases[] = {
      {@" ", 49, "key 0"},   {@"x", 126, "key 1"},  {@"x", 125, "key 2"},   {@"x", 123, "key 3"},
      {@"x", 124, "key 4"},  {@"0", 29, "key 5"},   {@"9", 25, "key 14"},   {@"A", 0, "key 15"},
      {@"a", 0, "key 15"},   {@"Z", 6, "key 40"},   {@"b", 11, "key 16"},   {@"ab", 0, nullptr},
      {@"", 0, nullptr},     {@"#", 20, nullptr},
  };
  std::vector<std::string> expected;
  for (const auto& c : cases)
  {
    [mWindow sendEvent:MacKeyEvent(mWindow, c.chars, c.code)];
    if (c.logged) expected.push_back(c.logged);
  }
  EXPECT_EQ(expected, mLog);
  // Handed up: 'Z' (the control declines it) and '#' (no editor key). Multi-character
  // events are dropped, not passed on.
  EXPECT_EQ(2, mHostView->mKeysPassedUp);
}

TEST_F(MacViewTest, FormatterRefusesWhatTheFieldCannotTake)
{
  CocoaFormatter* f = [[CocoaFormatter alloc] init];
  NSString* err = nil;
  NSString* edit = nil;
  // No limits: everything passes.
  EXPECT_TRUE([f isPartialStringValid:@"abc 1.5" newEditingString:&edit errorDescription:&err]);
  [f setAcceptableCharacterSet:[NSCharacterSet characterSetWithCharactersInString:@"0123456789-+"]];
  [f setMaximumLength:4];
  [f setMaximumValue:500];
  struct
  {
    NSString* text;
    bool ok;
  } cases[] = {{@"12", true},  {@"-12", true},  {@"+500", true},  {@"12a", false}, {@"1.5", false},
               {@"12345", false}, {@"501", false}, {@"", true},    {@"1 2", false}};
  for (const auto& c : cases)
    EXPECT_EQ(c.ok, (bool)[f isPartialStringValid:c.text newEditingString:&edit errorDescription:&err])
        << [c.text UTF8String];
  [f setAcceptableCharacterSet:[NSCharacterSet characterSetWithCharactersInString:@"0123456789.-+"]];
  EXPECT_TRUE([f isPartialStringValid:@"1.5" newEditingString:&edit errorDescription:&err]);

  EXPECT_TRUE([[f stringForObjectValue:@"text"] isEqualToString:@"text"]);
  EXPECT_TRUE([f stringForObjectValue:[NSNumber numberWithInt:3]] == nil);
  id object = nil;
  EXPECT_TRUE([f getObjectValue:&object forString:@"42" errorDescription:&err]);
  EXPECT_TRUE([object isEqual:@"42"]);
  [f release];
}

TEST_F(MacViewTest, TextEntryWithoutParameterReturnsItsText)
{
  NSView* view = Open();
  IText style(14, &COLOR_BLACK, "Arial", IText::kStyleNormal, IText::kAlignCenter);
  IRECT area(20, 200, 120, 220);
  mGui->CreateTextEntry(mRecorder, &style, &area, "start");
  NSTextField* field = [(IGraphicsCocoa*)view textField];
  ASSERT_TRUE(field != nil);
  EXPECT_EQ(view, [field superview]);
  EXPECT_TRUE([field formatter] == nil);
  EXPECT_TRUE([[field stringValue] isEqualToString:@"start"]);
  EXPECT_EQ(NSTextAlignmentCenter, [field alignment]);
  const NSRect frame = [field frame];
  EXPECT_EQ(20, (int)frame.origin.x);
  EXPECT_EQ(kH - 220 - 1, (int)frame.origin.y);
  // A second entry while one is open is refused.
  mGui->CreateTextEntry(mRecorder, &style, &area, "other");
  EXPECT_EQ(field, [(IGraphicsCocoa*)view textField]);

  [[mWindow firstResponder] selectAll:nil];
  MacType(mWindow, "hello", true);
  MacPump(0.05);
  EXPECT_TRUE([(IGraphicsCocoa*)view textField] == nil);
  ASSERT_FALSE(mLog.empty());
  EXPECT_EQ("text hello", mLog.back());
  EXPECT_EQ((NSResponder*)view, [mWindow firstResponder]);
}

TEST_F(MacViewTest, TextEntryForParametersFiltersAndSetsTheParameter)
{
  NSView* view = Open();
  IText style(14, &COLOR_BLACK, "Arial", IText::kStyleNormal, IText::kAlignNear);
  IRECT area(10, 10, 60, 30);
  mGui->CreateTextEntry(mIntControl, &style, &area, "5", mPlug->GetParam(kParamInt));
  NSTextField* field = [(IGraphicsCocoa*)view textField];
  ASSERT_TRUE(field != nil);
  NSFormatter* f = [field formatter];
  ASSERT_TRUE([f isKindOfClass:[CocoaFormatter class]]);
  NSString* err = nil;
  NSString* edit = nil;
  EXPECT_FALSE([f isPartialStringValid:@"4a" newEditingString:&edit errorDescription:&err]);
  EXPECT_FALSE([f isPartialStringValid:@"4.5" newEditingString:&edit errorDescription:&err]);
  EXPECT_TRUE([f isPartialStringValid:@"-45" newEditingString:&edit errorDescription:&err]);
  // The control's text-entry length (7) bounds the text.
  EXPECT_TRUE([f isPartialStringValid:@"1234567" newEditingString:&edit errorDescription:&err]);
  EXPECT_FALSE([f isPartialStringValid:@"12345678" newEditingString:&edit errorDescription:&err]);
  EXPECT_EQ(NSTextAlignmentLeft, [field alignment]);

  [[mWindow firstResponder] selectAll:nil];
  MacType(mWindow, "42", true);
  MacPump(0.05);
  EXPECT_TRUE([(IGraphicsCocoa*)view textField] == nil);
  EXPECT_EQ(42, mPlug->GetParam(kParamInt)->Int());

  // Double parameters take a decimal point; an open entry is dropped by the wheel.
  mGui->CreateTextEntry(mIntControl, &style, &area, "1", mPlug->GetParam(kParamDouble));
  f = [[(IGraphicsCocoa*)view textField] formatter];
  EXPECT_TRUE([f isPartialStringValid:@"2.5" newEditingString:&edit errorDescription:&err]);
  [mWindow sendEvent:MacScrollEvent(mWindow, NSMakePoint(200, 100), 1.0)];
  EXPECT_TRUE([(IGraphicsCocoa*)view textField] == nil);
  EXPECT_DOUBLE_EQ(1.0, mPlug->GetParam(kParamDouble)->Value());
}

TEST_F(MacViewTest, DrawingReachesTheScreenThroughTheTimer)
{
  NSView* view = Open();
  const int before = mRecorder->mDraws;
  mRecorder->mColor = IColor(255, 10, 200, 20);
  mRecorder->SetDirty(false);
  MacPump(0.3);  // several 25 Hz ticks
  EXPECT_GT(mRecorder->mDraws, before);
  int w = 0, h = 0, bw = 0, bh = 0;
  std::vector<unsigned int> screen = MacReadBack(view, &w, &h);
  std::vector<unsigned int> back = MacBackBuffer(mGui, &bw, &bh);
  ASSERT_EQ(kW, w);
  ASSERT_EQ(kH, h);
  ASSERT_EQ(w, bw);
  ASSERT_EQ(h, bh);
  int fx, fy;
  EXPECT_EQ(0, MacCountDifferences(screen, back, w, &fx, &fy)) << "first at " << fx << "," << fy;
  EXPECT_EQ(0xFF0AC814u, screen[(size_t)150 * w + 150]);  // the recorder's new colour, upright
  EXPECT_EQ(0xFFC81E1Eu, screen[(size_t)20 * w + 30]);    // the small control near the top
}

// Another window uncovering a strip below a multi-line text's rectangle: the paint of that strip
// draws the lines that cross it again, not only the background under them.
TEST_F(MacViewTest, APaintOfAStripBelowATextsRectangleShowsTheTextThere)
{
  IText style(13, &COLOR_WHITE, "DejaVu Sans", IText::kStyleBold, IText::kAlignNear);
  mGui->AttachControl(new ITextControl(mPlug, IRECT(20, 140, 230, 156), &style, "THD=3.03 %\nH1=0.288\nH2=0.000\nH3=0.008"));
  NSView* view = Open();
  int w = 0, h = 0;
  const std::vector<unsigned int> before = MacBackBuffer(mGui, &w, &h);
  ASSERT_EQ(kW, w);
  const int kStripT = 175, kStripB = 195;  // lines 3 and 4, below the rectangle
  int textPixels = 0;
  for (int y = kStripT; y < kStripB; ++y)
    for (int x = 20; x < 230; ++x) textPixels += before[(size_t)y * w + x] != 0xFF285AA0u;
  ASSERT_GT(textPixels, 20) << "the text runs through the strip";

  [view setNeedsDisplayInRect:NSMakeRect(0, kH - kStripB, kW, kStripB - kStripT)];
  [view displayIfNeeded];
  MacPump(0.05);
  int fx, fy;
  EXPECT_EQ(0, MacCountDifferences(MacBackBuffer(mGui, &w, &h), before, w, &fx, &fy)) << "first at " << fx << "," << fy;
}

TEST_F(MacViewTest, MessageBoxButtonsAndAnswers)
{
  struct
  {
    int type;
    const char *def, *alt, *other;
  } buttons[] = {
      {kMB_OK, "(none)", "(none)", "(none)"},
      {kMB_OKCANCEL, "(none)", "Cancel", "(none)"},
      {kMB_YESNOCANCEL, "Yes", "No", "Cancel"},
      {kMB_YESNO, "Yes", "No", "(none)"},
      {kMB_YESNO | kMB_ICONINFORMATION, "Yes", "No", "(none)"},
  };
  for (const auto& b : buttons)
  {
    MacClearAlerts();
    MacRecordAlerts(0);
    EXPECT_EQ(1, mGui->ShowMessageBox("the text", "the caption", b.type));
    ASSERT_EQ(1u, MacRecordedAlerts().size());
    const MacAlertRecord& r = MacRecordedAlerts()[0];
    EXPECT_EQ("the caption", r.header);
    EXPECT_EQ("the text", r.message);
    EXPECT_EQ(b.def, r.def) << b.type;
    EXPECT_EQ(b.alt, r.alt) << b.type;
    EXPECT_EQ(b.other, r.other) << b.type;
  }
  const int answers[][2] = {{0, 1}, {1, 7}, {2, 2}, {3, 0}, {-1, 0}};
  for (const auto& a : answers)
  {
    MacRecordAlerts(a[0]);
    EXPECT_EQ(a[1], mGui->ShowMessageBox("t", "c", kMB_YESNOCANCEL)) << a[0];
  }
  MacRecordAlerts(0);
}

TEST_F(MacViewTest, PopupMenusReturnTheChosenItem)
{
  Open();
  IPopupMenu menu;
  menu.SetPrefix(2);
  menu.AddItem("One");
  menu.AddItem("Two", -1, IPopupMenuItem::kChecked);
  menu.AddSeparator();
  IPopupMenu* sub = new IPopupMenu;
  sub->SetPrefix(3);
  sub->AddItem("Deep");
  sub->AddItem("Deeper", -1, IPopupMenuItem::kDisabled);
  menu.AddItem("More", sub);
  menu.AddItem("Title", -1, IPopupMenuItem::kTitle);
  IRECT area(20, 30, 80, 50);

  MacChooseMenuPath({1});
  EXPECT_EQ(&menu, mGui->CreateIPopupMenu(&menu, &area));
  EXPECT_EQ(1, menu.GetChosenItemIdx());
  ASSERT_FALSE(MacShownMenus().empty());
  const std::vector<std::string> titles = {"01: One", "02: Two", "---", "04: More", "05: Title"};
  EXPECT_EQ(titles, MacShownMenus().back());

  MacChooseMenuPath({3, 0});
  EXPECT_EQ(sub, mGui->CreateIPopupMenu(&menu, &area));
  EXPECT_EQ(0, sub->GetChosenItemIdx());

  // Nothing chosen (the menu dismissed), and a disabled item that cannot be performed.
  MacChooseMenuPath({});
  EXPECT_TRUE(mGui->CreateIPopupMenu(&menu, &area) == nullptr);
  MacChooseMenuPath({3, 1});
  EXPECT_TRUE(mGui->CreateIPopupMenu(&menu, &area) == nullptr);
  MacChooseMenuPath({});

  // Closed: no menu at all.
  mGui->CloseWindow();
  MacChooseMenuPath({0});
  EXPECT_TRUE(mGui->CreateIPopupMenu(&menu, &area) == nullptr);
  MacChooseMenuPath({});
}

// A menu opens just below its rectangle, at the same point in the window whatever the screen's
// backing scale (event locations are in points; a Retina screen changes pixels, not points).
TEST_F(MacViewTest, PopupMenusOpenAtTheRectangleOnEveryScale)
{
  NSView* view = Open();
  [view setFrameOrigin:NSMakePoint(17, 9)];  // somewhere inside the host's view
  IPopupMenu menu;
  menu.AddItem("One");
  IRECT area(20, 30, 80, 50);
  const NSRect r = IGraphicsMac_ToNSRect(kH, &area);
  const NSPoint expected = [view convertPoint:NSMakePoint(r.origin.x, r.origin.y - 4) toView:nil];
  EXPECT_EQ(37.0, expected.x);
  EXPECT_EQ(kH - 50 - 1 - 4 + 9, expected.y);
  for (double scale : {1.0, 2.0, 3.0})
  {
    MacSetScreenScale(scale);
    ASSERT_TRUE([mWindow screen] != nil);
    ASSERT_EQ((CGFloat)scale, [[mWindow screen] backingScaleFactor]);
    MacChooseMenuPath({});
    mGui->CreateIPopupMenu(&menu, &area);
    ASSERT_FALSE(MacShownMenuLocations().empty());
    EXPECT_EQ(expected.x, MacShownMenuLocations().back().x) << "scale " << scale;
    EXPECT_EQ(expected.y, MacShownMenuLocations().back().y) << "scale " << scale;
  }
  MacSetScreenScale(1.0);
}

// The Cocoa classes carry the suffix the build gives them, here the meter's.
TEST_F(MacViewTest, CocoaClassNamesCarryThePlugInsSuffix)
{
  EXPECT_STREQ("IGraphicsCocoa_vIThdMeter_vst", [NSStringFromClass([IGraphicsCocoa class]) UTF8String]);
  EXPECT_STREQ("CocoaFormatter_vIThdMeter_vst", [NSStringFromClass([CocoaFormatter class]) UTF8String]);
  EXPECT_STREQ("IGraphicsNSMenu_vIThdMeter_vst", [NSStringFromClass([IGraphicsNSMenu class]) UTF8String]);
  EXPECT_STREQ("IGraphicsMenuRcvr_vIThdMeter_vst", [NSStringFromClass([IGraphicsMenuRcvr class]) UTF8String]);
  EXPECT_STREQ("CustomCocoaWindow_vIThdMeter_vst", [NSStringFromClass([CustomCocoaWindow class]) UTF8String]);
}

TEST_F(MacViewTest, OSVersionStringsBecomeNumbers)
{
  struct
  {
    const char* text;
    int value;
  } cases[] = {{"10.10", 0x10100}, {"10.7.5", 0x1075}, {"10.7", 0x1070},   {"10.15.7", 0x10157},
               {"11.2.3", 0x1123}, {"14", 0x140},      {"", 0},            {"10.x", 0},
               {"10..1", 0},       {"1.2.3.4", 0},     {"99999999.1", 0},  {"10.10.", 0}};
  for (const auto& c : cases) EXPECT_EQ(c.value, IGraphicsMac::ParseOSVersion(c.text)) << c.text;
  EXPECT_EQ(0, IGraphicsMac::ParseOSVersion(nullptr));
  // No SystemVersion.plist here: unknown, computed once.
  EXPECT_EQ(IGraphicsMac::GetUserOSVersion(), IGraphicsMac::GetUserOSVersion());
}

TEST_F(MacViewTest, ImagesAndPathsComeFromTheBundle)
{
  NSBundle* bundle = [NSBundle bundleWithIdentifier:@VX_MAC_BUNDLE_ID];
  ASSERT_TRUE(bundle != nil) << "the laid-out bundle is not known by its identifier";
  int w = 0, h = 0;
  EXPECT_TRUE(MacOSLoadBitmapSize(mGui, 102, "resources/img/background.png", &w, &h));
  EXPECT_EQ(kW, w);
  EXPECT_EQ(kH, h);
  EXPECT_TRUE(MacOSLoadBitmapSize(mGui, 0, "fader.PNG", &w, &h));  // the id is not used
  EXPECT_FALSE(MacOSLoadBitmapSize(mGui, 102, "resources/img/background.jpg", &w, &h));
  EXPECT_FALSE(MacOSLoadBitmapSize(mGui, 102, "resources/img/nothing.png", &w, &h));
  EXPECT_FALSE(MacOSLoadBitmapSize(mGui, 102, "background", &w, &h));
  EXPECT_FALSE(MacOSLoadBitmapSize(mGui, 102, nullptr, &w, &h));
  mGui->SetBundleID("com.example.none");
  EXPECT_FALSE(MacOSLoadBitmapSize(mGui, 102, "background.png", &w, &h));
  mGui->SetBundleID(VX_MAC_BUNDLE_ID);

  Util_String path;
  mGui->PluginPath(&path);
  EXPECT_EQ(std::string([[[bundle bundlePath] stringByDeletingLastPathComponent] UTF8String]) + "/", path.Get());
  mGui->SandboxSafeAppSupportPath(&path);
  EXPECT_EQ(std::string([NSHomeDirectory() UTF8String]) + "/Music", path.Get());
  mGui->DesktopPath(&path);
  EXPECT_GT(path.GetLength(), 0);
  EXPECT_TRUE(strchr(path.Get(), '~') == nullptr);
  // With the view closed a file prompt answers nothing, without showing a panel.
  Util_String file("old.txt");
  mGui->PromptForFile(&file, kFileOpen, nullptr, "txt");
  EXPECT_EQ(0, file.GetLength());
  EXPECT_FALSE(mGui->PromptForColor(nullptr));
}

TEST_F(MacViewTest, NamedResourcesOfTheMainBundle)
{
  // Lay out one resource below the test program's main bundle.
  NSString* dir = [[[NSBundle mainBundle] bundlePath] stringByAppendingPathComponent:@"Contents/Resources"];
  [[NSFileManager defaultManager] createDirectoryAtPath:dir withIntermediateDirectories:YES attributes:nil error:NULL];
  // The registered bundle's resources are links to the laid-out bundle; copy the file they name.
  // (GNUstep copies a link as a link and then gives the copy the link's own mode, 0777, which
  // chmod passes on to the laid-out bundle's file.)
  NSString* src = [[[[NSBundle bundleWithIdentifier:@VX_MAC_BUNDLE_ID] resourcePath]
      stringByAppendingPathComponent:@"radio1.png"] stringByResolvingSymlinksInPath];
  NSString* dst = [dir stringByAppendingPathComponent:@"radio1.png"];
  struct stat before = {};
  ASSERT_EQ(0, stat([src fileSystemRepresentation], &before));
  [[NSFileManager defaultManager] removeItemAtPath:dst error:NULL];
  ASSERT_TRUE([[NSFileManager defaultManager] copyItemAtPath:src toPath:dst error:NULL]);
  struct stat after = {};
  ASSERT_EQ(0, stat([src fileSystemRepresentation], &after));
  EXPECT_EQ(before.st_mode, after.st_mode) << "copying the resource changed the bundle's own file";
  int w = 0, h = 0;
  EXPECT_TRUE(MacNamedResourceSize("radio1.png", &w, &h));
  EXPECT_GT(w, 0);
  EXPECT_FALSE(MacNamedResourceSize("missing.png", &w, &h));
  EXPECT_FALSE(MacNamedResourceSize("../Resources/radio1.png", &w, &h));
  EXPECT_FALSE(MacNamedResourceSize("/etc/passwd", &w, &h));
  EXPECT_FALSE(MacNamedResourceSize(nullptr, &w, &h));
  [[NSFileManager defaultManager] removeItemAtPath:dst error:NULL];
}

TEST_F(MacViewTest, HostRemovingTheViewClosesTheEditor)
{
  NSView* view = Open();
  IText style(14, &COLOR_BLACK, "Arial", IText::kStyleNormal, IText::kAlignCenter);
  IRECT area(20, 200, 120, 220);
  mGui->CreateTextEntry(mRecorder, &style, &area, "x");
  [view removeFromSuperview];
  EXPECT_FALSE(mGui->WindowIsOpen());
  EXPECT_EQ(0u, [[mHostView subviews] count]);
  mGui->CloseWindow();  // nothing left to close
  MacPump(0.1);         // no timer tick may reach the closed editor
  EXPECT_EQ(nullptr, mGui->GetWindow());
}

TEST_F(MacViewTest, OpenCloseCyclesReleaseEveryCocoaObject)
{
  // The view's timer holds the view until it is invalidated, so the view's count covers it too.
  // (NSTimer itself is not counted: GNUstep's field editor leaves its caret timers behind.)
  Class classes[] = {[IGraphicsCocoa class], [CocoaFormatter class],
                     [IGraphicsNSMenu class], [IGraphicsMenuRcvr class],
                     [NSTextField class], [NSMenuItem class]};
  const int nClasses = (int)(sizeof classes / sizeof classes[0]);
  MacPump(0.05);
  int before[8];
  for (int i = 0; i < nClasses; ++i) before[i] = GSDebugAllocationCount(classes[i]);

  IText style(14, &COLOR_BLACK, "Arial", IText::kStyleNormal, IText::kAlignCenter);
  IRECT area(10, 10, 60, 30);
  IPopupMenu menu;
  menu.AddItem("One");
  IPopupMenu* sub = new IPopupMenu;
  sub->AddItem("Two");
  menu.AddItem("Sub", sub);
  for (int cycle = 0; cycle < 100; ++cycle)
  {
    NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
    NSView* view = (NSView*)mGui->OpenWindow(mHostView);
    ASSERT_TRUE(view != nil);
    if (cycle % 3 == 0) mGui->CreateTextEntry(mIntControl, &style, &area, "7", mPlug->GetParam(kParamInt));
    if (cycle % 4 == 1)
    {
      MacChooseMenuPath({1, 0});
      mGui->CreateIPopupMenu(&menu, &area);
      MacChooseMenuPath({});
    }
    if (cycle % 5 == 2) MacPump(0.05);  // a few timer ticks and draws
    if (cycle % 2)
      mGui->CloseWindow();  // effEditClose
    else
      [view removeFromSuperview];  // the host takes the view away itself
    [pool release];
  }
  MacPump(0.1);
  for (int i = 0; i < nClasses; ++i)
    EXPECT_EQ(before[i], GSDebugAllocationCount(classes[i])) << [NSStringFromClass(classes[i]) UTF8String];
}
}  // namespace

namespace
{
TEST_F(MacViewTest, ChildWindowOverAHostWindow)
{
  MacPump(0.05);
  const int before = GSDebugAllocationCount([CustomCocoaWindow class]);
  NSWindow* host = MacMakeHostWindow(400, 350);
  for (int cycle = 0; cycle < 3; ++cycle)
  {
    NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
    mGui->AttachToHostWindow(host);
    NSWindow* child = (NSWindow*)mGui->GetChildWindow();
    ASSERT_TRUE([child isKindOfClass:[CustomCocoaWindow class]]);
    EXPECT_TRUE([child canBecomeKeyWindow]);
    EXPECT_TRUE([[host childWindows] containsObject:child]);
    // Centred over the wider host, at its origin.
    const NSRect content = [child contentRectForFrameRect:[child frame]];
    EXPECT_EQ((int)[host frame].origin.x + (400 - kW) / 2, (int)content.origin.x);
    EXPECT_EQ((int)[host frame].origin.y, (int)content.origin.y);
    EXPECT_EQ(kW, (int)content.size.width);
    EXPECT_EQ(kH, (int)content.size.height);
    EXPECT_TRUE(mGui->WindowIsOpen());
    EXPECT_EQ([child contentView], [(NSView*)mGui->GetWindow() superview]);
    if (cycle == 1) MacPump(0.1);  // the delayed bring-to-front fires while attached
    mGui->RemoveSubWindow();
    EXPECT_FALSE(mGui->WindowIsOpen());
    EXPECT_TRUE(mGui->GetChildWindow() == nullptr);
    EXPECT_EQ(0u, [[host childWindows] count]);
    [pool release];
    MacPump(0.1);  // a pending bring-to-front must not bring a closed window back
  }
  EXPECT_TRUE([host isVisible]);  // the host's own window stays
  MacCloseWindow(host);
  MacPump(0.05);
  EXPECT_EQ(before, GSDebugAllocationCount([CustomCocoaWindow class]));
}
}  // namespace

namespace
{
TEST_F(MacViewTest, TooltipsNameTheControlUnderThePointer)
{
  mGui->EnableTooltips(true);
  mGui->HandleMouseOver(true);
  mIntControl->SetTooltip("Count");
  NSView* view = Open();
  // Over the small control (editor 10..60 x 10..30): its tooltip; an empty one gives "".
  [mWindow sendEvent:MacMouseEvent(NSEventTypeMouseMoved, mWindow, NSMakePoint(30, kH - 20 - 3))];
  NSString* tip = [(IGraphicsCocoa*)view view:view stringForToolTip:0 point:NSMakePoint(30, 287) userData:NULL];
  EXPECT_TRUE([tip isEqualToString:@"Count"]) << [tip UTF8String];
  mIntControl->SetTooltip("");
  tip = [(IGraphicsCocoa*)view view:view stringForToolTip:0 point:NSMakePoint(30, 287) userData:NULL];
  EXPECT_TRUE([tip isEqualToString:@""]) << [tip UTF8String];
  mGui->UpdateTooltips();  // registering again replaces, never piles up
}

#ifdef GNUSTEP
// Counts NSCursor's hide and unhide while it lives, in place of them (the X server's cursor
// stays as it is). The GNUstep build's CGDisplayHideCursor and CGDisplayShowCursor end there.
int gCursorHides = 0, gCursorUnhides = 0;
void CountCursorHide(id, SEL) { ++gCursorHides; }
void CountCursorUnhide(id, SEL) { ++gCursorUnhides; }

struct CursorCalls
{
  CursorCalls()
  {
    gCursorHides = gCursorUnhides = 0;
    mHide = class_getClassMethod([NSCursor class], @selector(hide));
    mUnhide = class_getClassMethod([NSCursor class], @selector(unhide));
    mOldHide = method_setImplementation(mHide, (IMP)(void (*)(void))&CountCursorHide);
    mOldUnhide = method_setImplementation(mUnhide, (IMP)(void (*)(void))&CountCursorUnhide);
  }
  ~CursorCalls()
  {
    method_setImplementation(mHide, mOldHide);
    method_setImplementation(mUnhide, mOldUnhide);
  }
  Method mHide, mUnhide;
  IMP mOldHide, mOldUnhide;
};
#endif

// Hiding is not counted twice (one show brings the cursor back), a show without a hide shows
// nothing, and a hide after a show hides again.
TEST_F(MacViewTest, CursorHidesAndShowsOnce)
{
#ifdef GNUSTEP
  Open();
  CursorCalls calls;
  mGui->HideMouseCursor();
  mGui->HideMouseCursor();
  EXPECT_EQ(gCursorHides, 1);
  EXPECT_EQ(gCursorUnhides, 0);
  mGui->ShowMouseCursor();
  mGui->ShowMouseCursor();
  EXPECT_EQ(gCursorHides, 1);
  EXPECT_EQ(gCursorUnhides, 1);
  mGui->HideMouseCursor();
  mGui->ShowMouseCursor();
  EXPECT_EQ(gCursorHides, 2);
  EXPECT_EQ(gCursorUnhides, 2);
#else
  GTEST_SKIP() << "the cursor calls are counted through the GNUstep build's NSCursor";
#endif
}
}  // namespace
