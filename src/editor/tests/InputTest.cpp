// Input dispatch: hit search, capture across press, drag and release, hover, double clicks,
// keys and the automation queries.
#include "EditorTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
using Log = std::vector<std::string>;

// Background, A bound to the int parameter, B on top of A's right half.
struct Board : EditorFixture
{
  Board()
  {
    gui->AttachControl(new ProbeControl(plug, IRECT(0, 0, 100, 100), "bg", &log));
    gui->AttachControl(a = new ProbeControl(plug, IRECT(10, 10, 30, 30), "A", &log, kParamInt));
    gui->AttachControl(b = new ProbeControl(plug, IRECT(20, 10, 40, 30), "B", &log));
    AttachAndOpen();
    Settle();
    log.clear();
  }
  Log log;
  ProbeControl* a;
  ProbeControl* b;
};

TEST(Input, CaptureHoldsFromPressThroughDragToRelease)
{
  Board t;
  t.gui->MouseDown(12, 12);
  EXPECT_EQ(t.gui->GetMouseCapture(), 1);
  EXPECT_EQ(t.plug->mBeginEdits, 1);
  t.gui->MouseDrag(12, 12);  // same place: not delivered
  t.gui->MouseDrag(50, 60);  // far outside A: still A's
  t.gui->MouseDrag(45, 61);
  t.gui->MouseWheel(80, 80, 2);  // the captured control gets the wheel too
  t.gui->MouseUp(90, 90);
  EXPECT_EQ(t.gui->GetMouseCapture(), -1);
  EXPECT_EQ(t.plug->mEndEdits, 1);
  EXPECT_EQ(t.log, (Log{"A:down 12,12", "A:drag 50,60 d38,48", "A:drag 45,61 d-5,1", "A:wheel 2", "A:up 90,90"}));

  // Without a capture the release and the wheel go to the control under the pointer, and a
  // drag goes nowhere.
  t.log.clear();
  t.gui->MouseDrag(25, 25);
  t.gui->MouseWheel(25, 25, -1);
  t.gui->MouseUp(25, 25);
  EXPECT_EQ(t.log, (Log{"B:wheel -1", "B:up 25,25"}));
  EXPECT_EQ(t.plug->mEndEdits, 1);  // B has no parameter
}

// The host hears the end of a gesture only after its begin: a release whose press never reached
// the control, and the release after a double click, end nothing; a double click delivered as a
// press begins a gesture like one.
TEST(Input, EveryEndOfAGestureHasItsBegin)
{
  struct Case
  {
    const char* name;
    bool dblAsSingle;
    std::vector<const char*> events;  // d: press, u: release, 2: double click, all on A
    int begins, ends;
  };
  const Case kCases[] = {
    {"a release without its press", false, {"u"}, 0, 0},
    {"a click", false, {"d", "u"}, 1, 1},
    {"a double click", false, {"d", "u", "2", "u"}, 1, 1},
    {"a double click as two presses", true, {"d", "u", "2", "u"}, 2, 2},
    {"a press whose release was lost, then a click", false, {"d", "d", "u"}, 2, 2},
  };
  for (const Case& c : kCases)
  {
    SCOPED_TRACE(c.name);
    Board t;
    t.a->SetDblAsSingleClick(c.dblAsSingle);
    for (const char* e : c.events)
    {
      if (*e == 'd') t.gui->MouseDown(12, 12);
      if (*e == 'u') t.gui->MouseUp(12, 12);
      if (*e == '2') t.gui->MouseDblClick(12, 12);
      EXPECT_LE(t.plug->mEndEdits, t.plug->mBeginEdits);
    }
    EXPECT_EQ(t.plug->mBeginEdits, c.begins);
    EXPECT_EQ(t.plug->mEndEdits, c.ends);
    EXPECT_EQ(t.gui->GetGestureParam(), -1);
  }
}

TEST(Input, PressOnTheBackgroundCapturesIt)
{
  Board t;
  t.gui->MouseDown(70, 70);
  EXPECT_EQ(t.gui->GetMouseCapture(), 0);
  EXPECT_EQ(t.log, (Log{"bg:down 70,70"}));
  t.gui->MouseDown(200, 200);  // outside every control: the capture is released
  EXPECT_EQ(t.gui->GetMouseCapture(), -1);
}

struct HitCase
{
  const char* name;
  bool hidden, grayed, moWhenGrayed;
  const char* clickTarget;  // control that receives a press at (25, 20)
  const char* hoverTarget;  // control that receives hover there
};

const HitCase kHitCases[] = {
  {"shown", false, false, false, "B", "B"},
  {"hidden: neither hit nor hovered", true, false, false, "A", "A"},
  {"grayed: not hit, not hovered", false, true, false, "A", "A"},
  {"grayed with hover allowed: hovered only", false, true, true, "A", "B"},
};

TEST(Input, HiddenAndGrayedControlsAreNotHit)
{
  for (const HitCase& c : kHitCases)
  {
    SCOPED_TRACE(c.name);
    Board t;
    t.gui->HandleMouseOver(true);
    t.b->Hide(c.hidden);
    t.b->GrayOut(c.grayed);
    t.b->SetMOWhenGrayed(c.moWhenGrayed);
    t.gui->MouseDown(25, 20);
    t.gui->MouseUp(25, 20);
    ASSERT_GE(t.log.size(), 1u);
    EXPECT_EQ(t.log[0], std::string(c.clickTarget) + ":down 25,20");
    t.log.clear();
    EXPECT_TRUE(t.gui->MouseMove(25, 20));
    EXPECT_EQ(t.log, (Log{std::string(c.hoverTarget) + ":over"}));
    EXPECT_EQ(t.gui->GetMouseControlIdx(25, 20, true), std::string(c.hoverTarget) == "B" ? 2 : 1);
  }
}

TEST(Input, HoverOnlyWhenEnabled)
{
  Board t;
  EXPECT_FALSE(t.gui->MouseMove(12, 12));
  EXPECT_TRUE(t.log.empty());

  t.gui->HandleMouseOver(true);
  EXPECT_TRUE(t.gui->MouseMove(12, 12));
  EXPECT_TRUE(t.gui->MouseMove(13, 12));  // same control: no out
  EXPECT_TRUE(t.gui->MouseMove(35, 12));  // onto B: A is told it was left
  EXPECT_EQ(t.log, (Log{"A:over", "A:over", "B:over", "A:out"}));
  EXPECT_EQ(t.gui->GetMouseOver(), 2);
  t.log.clear();
  t.gui->MouseLeave();
  EXPECT_EQ(t.gui->GetMouseOver(), -1);
  EXPECT_EQ(t.log, (Log{"bg:out", "A:out", "B:out"}));
}

TEST(Input, DoubleClicks)
{
  Board t;
  // Without the flag: a double click, no capture, so the release goes to whatever is under it.
  EXPECT_FALSE(t.gui->MouseDblClick(12, 12));
  EXPECT_EQ(t.gui->GetMouseCapture(), -1);
  t.gui->MouseUp(35, 12);
  EXPECT_EQ(t.log, (Log{"A:dbl", "B:up 35,12"}));

  // With it: a press that captures.
  t.log.clear();
  t.a->SetDblAsSingleClick(true);
  EXPECT_TRUE(t.gui->MouseDblClick(12, 12));
  EXPECT_EQ(t.gui->GetMouseCapture(), 1);
  t.gui->MouseUp(35, 12);
  EXPECT_EQ(t.log, (Log{"A:down 12,12", "A:up 35,12"}));
}

TEST(Input, DoubleClickRestoresTheDefaultValue)
{
  EditorFixture f;
  IControl* c = new ProbeControl(f.plug, IRECT(0, 0, 10, 10), "P", nullptr, kParamInt);
  f.gui->AttachControl(c);
  f.AttachAndOpen();  // pulls 0.5 (5 of 0..10) as value and default
  c->SetValueFromUserInput(0.9);
  IMouseMod mod(true);
  c->IControl::OnMouseDblClick(1, 1, &mod);
  EXPECT_DOUBLE_EQ(c->GetValue(), 0.5);
  EXPECT_DOUBLE_EQ(f.plug->GetParam(kParamInt)->Value(), 5.0);
}

struct KeyCase
{
  const char* name;
  bool catcher;
  int pressX, pressY;  // press first (capture), or -1
  int keyX, keyY;
  bool expected;
  const char* receiver;  // "" for none
};

const KeyCase kKeyCases[] = {
  {"over a control", true, -1, -1, 12, 12, true, "A"},
  {"over the background only: the catcher", true, -1, -1, 70, 70, false, "K"},
  {"outside everything: the catcher", true, -1, -1, 200, 5, false, "K"},
  {"background captured: the catcher", true, 70, 70, 12, 12, false, "K"},
  {"control captured: that control wherever the key", true, 35, 12, 70, 70, true, "B"},
  {"no catcher: nobody", false, -1, -1, 70, 70, false, ""},
};

TEST(Input, KeyCatcherRouting)
{
  for (const KeyCase& c : kKeyCases)
  {
    SCOPED_TRACE(c.name);
    Board t;
    if (c.catcher)
    {
      ProbeControl* k = new ProbeControl(t.plug, IRECT(), "K", &t.log);
      k->mTakesKeys = false;
      t.gui->AttachKeyCatcher(k);
    }
    if (c.pressX >= 0) t.gui->MouseDown(c.pressX, c.pressY);
    t.log.clear();
    EXPECT_EQ(t.gui->OnKeyDown(c.keyX, c.keyY, 65), c.expected);
    const Log expected = *c.receiver ? Log{std::string(c.receiver) + ":key 65"} : Log{};
    EXPECT_EQ(t.log, expected);
  }
}

TEST(Input, AutomationQueries)
{
  Board t;
  EXPECT_EQ(t.gui->GetParamIdxForPTAutomation(12, 12), kParamInt);
  EXPECT_EQ(t.gui->GetLastClickedParamForPTAutomation(), kParamInt);
  EXPECT_EQ(t.gui->GetLastClickedParamForPTAutomation(), -1);  // read once
  EXPECT_EQ(t.gui->GetParamIdxForPTAutomation(70, 70), -1);    // background
  EXPECT_EQ(t.gui->GetParamIdxForPTAutomation(35, 12), -1);    // no parameter
  t.gui->MouseDown(12, 12);
  EXPECT_EQ(t.gui->GetParamIdxForPTAutomation(70, 70), kParamInt);  // the captured control
}
}  // namespace
