// Values between controls, parameters and the host: pulls, pushes, clamps, prompts through
// popup menus and text entries.
#include "EditorTestSupport.h"

#include "IParam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace
{
using Log = std::vector<std::string>;

TEST(ValueFlow, FirstPullSetsTheDefaultAndLaterPullsDirtyWithoutPushing)
{
  TestPlug plug;
  ProbeControl c(&plug, IRECT(0, 0, 10, 10), "P", nullptr, kParamDouble);
  c.SetClean();
  c.SetValueFromPlug(0.3);
  EXPECT_DOUBLE_EQ(c.GetValue(), 0.3);
  EXPECT_DOUBLE_EQ(c.GetDefaultValue(), 0.3);
  EXPECT_FALSE(c.IsDirty());
  c.SetValueFromPlug(0.3);  // unchanged: nothing
  EXPECT_FALSE(c.IsDirty());
  c.SetValueFromPlug(0.7);
  EXPECT_TRUE(c.IsDirty());
  EXPECT_DOUBLE_EQ(c.GetDefaultValue(), 0.3);
  c.SetClean();
  EXPECT_TRUE(c.IsDirty());  // redraw: one more pass
  c.SetClean();
  EXPECT_FALSE(c.IsDirty());
  EXPECT_EQ(plug.mInformed.GetSize(), 0);  // pulls never reach the host
}

TEST(ValueFlow, PushWithoutParameterOnlyClampsAndDirties)
{
  TestPlug plug;
  ProbeControl c(&plug, IRECT(0, 0, 10, 10), "P", nullptr);
  c.SetValue(1.7);
  c.SetClean();
  c.SetDirty(true);
  EXPECT_DOUBLE_EQ(c.GetValue(), 1.0);
  EXPECT_TRUE(c.IsDirty());
  EXPECT_EQ(plug.mInformed.GetSize(), 0);
  EXPECT_TRUE(plug.changed.empty());
}

struct ClampCase
{
  double lo, hi, value, expected;
};

TEST(ValueFlow, ClampRangesApplyOnEveryDirtying)
{
  const ClampCase cases[] = {
    {0.0, 1.0, -0.5, 0.0}, {0.0, 1.0, 1.5, 1.0}, {0.2, 0.8, 0.1, 0.2}, {0.2, 0.8, 0.9, 0.8}, {0.2, 0.8, 0.5, 0.5},
  };
  for (const ClampCase& c : cases)
  {
    TestPlug plug;
    ProbeControl p(&plug, IRECT(0, 0, 10, 10), "P", nullptr, kParamDouble);
    p.Clamp(c.lo, c.hi);
    p.SetValue(c.value);
    p.SetDirty(true);
    EXPECT_DOUBLE_EQ(p.GetValue(), c.expected) << c.lo << ".." << c.hi << " " << c.value;
    EXPECT_DOUBLE_EQ(plug.GetParam(kParamDouble)->GetNormalized(), c.expected);
  }

  // The editor clamps by parameter, in real units when asked.
  EditorFixture f;
  IControl* c = new ProbeControl(f.plug, IRECT(0, 0, 10, 10), "P", nullptr, kParamDouble);
  f.gui->AttachControl(c);
  f.gui->ClampControl(kParamDouble, -15.0, -5.0, false);
  EXPECT_DOUBLE_EQ(c->GetClampLo(), 0.25);
  EXPECT_DOUBLE_EQ(c->GetClampHi(), 0.75);
  f.gui->ClampControl(kParamDouble, 0.1, 0.2, true);
  EXPECT_DOUBLE_EQ(c->GetClampLo(), 0.1);
  EXPECT_DOUBLE_EQ(c->GetClampHi(), 0.2);
}

TEST(ValueFlow, FaderSnapBeyondTheEndIsClampedBeforeTheParameter)
{
  EditorFixture f;
  IBitmap handle = f.gui->LoadIBitmap(kImgHandle, "handle.png");
  IFaderControl* fader = new IFaderControl(f.plug, 10, 10, 60, kParamDouble, &handle, kHorizontal);
  f.gui->AttachControl(fader);
  f.AttachAndOpen();
  // Handle 20 wide on a 60 travel: x = 10 + 10 + 48 gives 48 / 40 = 1.2.
  fader->SnapToMouse(68, 15);
  EXPECT_DOUBLE_EQ(fader->GetValue(), 1.0);
  ASSERT_GT(f.plug->mInformed.GetSize(), 0);
  EXPECT_DOUBLE_EQ(f.plug->mInformed.Get()[f.plug->mInformed.GetSize() - 1].mNormalized, 1.0);
  EXPECT_DOUBLE_EQ(f.plug->GetParam(kParamDouble)->Value(), 0.0);
}

TEST(ValueFlow, PlugToControlsByParameterAndAuxiliaryParameter)
{
  EditorFixture f;
  std::vector<std::string> log;
  ProbeControl* main = new ProbeControl(f.plug, IRECT(0, 0, 10, 10), "M", &log, kParamDouble);
  ProbeControl* follower = new ProbeControl(f.plug, IRECT(0, 0, 10, 10), "F", &log, kParamInt);
  follower->AddAuxParam(kParamDouble);
  f.gui->AttachControl(main);
  f.gui->AttachControl(follower);
  f.AttachAndOpen();
  EXPECT_DOUBLE_EQ(main->GetValue(), 0.5);  // -10 of -20..0
  f.Settle();

  f.gui->SetParameterFromPlug(kParamDouble, -5.0, false);
  EXPECT_DOUBLE_EQ(main->GetValue(), 0.75);
  EXPECT_DOUBLE_EQ(follower->GetAuxParam(0)->mValue, 0.75);
  EXPECT_TRUE(follower->IsDirty());
  EXPECT_DOUBLE_EQ(follower->GetValue(), 0.5);  // its own value is the int parameter's

  f.gui->SetControlFromPlug(1, 0.2);
  EXPECT_DOUBLE_EQ(follower->GetValue(), 0.2);
  f.gui->SetControlFromPlug(7, 0.2);  // no such control: nothing
  f.gui->SetParameterFromPlug(99, 1.0, false);  // no such parameter: nothing
}

TEST(ValueFlow, HideAndGrayOutByParameter)
{
  EditorFixture f;
  IControl* a = new ProbeControl(f.plug, IRECT(0, 0, 10, 10), "A", nullptr, kParamEnum);
  IControl* b = new ProbeControl(f.plug, IRECT(0, 0, 10, 10), "B", nullptr, kParamEnum);
  IControl* other = new ProbeControl(f.plug, IRECT(0, 0, 10, 10), "O", nullptr, kParamInt);
  f.gui->AttachControl(a);
  f.gui->AttachControl(b);
  f.gui->AttachControl(other);
  f.gui->HideControl(kParamEnum, true);
  EXPECT_TRUE(a->IsHidden() && b->IsHidden());
  EXPECT_FALSE(other->IsHidden());
  f.gui->GrayOutControl(kParamEnum, true);
  EXPECT_TRUE(a->IsGrayed());
  EXPECT_FLOAT_EQ(a->GetBlend()->mWeight, 0.25f);
  f.gui->GrayOutControl(kParamEnum, false);
  EXPECT_FLOAT_EQ(b->GetBlend()->mWeight, 1.0f);
}

TEST(ValueFlow, ValueAndNameDisplayControlsFollowPushes)
{
  EditorFixture f;
  IText style;
  ITextControl* value = new ITextControl(f.plug, IRECT(0, 20, 50, 30), &style);
  ITextControl* name = new ITextControl(f.plug, IRECT(0, 30, 50, 40), &style);
  IControl* c = new ProbeControl(f.plug, IRECT(0, 0, 10, 10), "P", nullptr, kParamDouble);
  c->SetValDisplayControl(value);
  c->SetNameDisplayControl(name);
  f.gui->AttachControl(value);
  f.gui->AttachControl(name);
  f.gui->AttachControl(c);
  f.AttachAndOpen();
  f.Settle();
  c->SetValueFromUserInput(0.25);  // -15 dB, shown negated
  EXPECT_STREQ(value->GetTextFromControl(), "15.0 dB");
  EXPECT_STREQ(name->GetTextFromControl(), "Level dB");
  EXPECT_TRUE(value->IsDirty());
}

// ---- prompts -------------------------------------------------------------------------------------

struct PromptFixture : EditorFixture
{
  explicit PromptFixture(int paramIdx)
  {
    c = new ProbeControl(plug, IRECT(10, 10, 50, 30), "P", &log, paramIdx);
    c->DisablePrompt(false);
    gui->AttachControl(c);
    AttachAndOpen();
    Settle();
  }
  void RightClick() { gui->Click(20, 20, IMouseMod(false, true)); }
  ProbeControl* c;
  Log log;
};

struct PopupCase
{
  const char* name;
  int param;
  double startValue;                   // real units
  std::vector<std::string> items;
  int checkedItem;
  int choice;                          // -1 cancels
  double expected;                     // real units afterwards
};

const PopupCase kPopupCases[] = {
  {"enumeration, choose", kParamEnum, 1.0, {"Alpha", "Beta", "Gamma"}, 1, 2, 2.0},
  {"enumeration, cancel", kParamEnum, 1.0, {"Alpha", "Beta", "Gamma"}, 1, -1, 1.0},
  {"enumeration, out of range is a cancel", kParamEnum, 0.0, {"Alpha", "Beta", "Gamma"}, 0, 7, 0.0},
  {"boolean with display texts", kParamBool, 0.0, {"off", "on"}, 0, 1, 1.0},
};

TEST(Prompt, PopupMenusForEnumerationsAndBooleans)
{
  for (const PopupCase& pc : kPopupCases)
  {
    SCOPED_TRACE(pc.name);
    TestPlug* plug = nullptr;
    PromptFixture f(pc.param);
    plug = f.plug;
    plug->GetParam(pc.param)->Set(pc.startValue);
    f.gui->SetParameterFromPlug(pc.param, pc.startValue, false);
    f.gui->SetNextPopupChoice(pc.choice);
    f.RightClick();
    ASSERT_NE(f.gui->GetLastPopup(), nullptr);
    const auto* popup = f.gui->GetLastPopup();
    ASSERT_EQ(popup->items.GetSize(), (int)pc.items.size());
    for (int i = 0; i < (int)pc.items.size(); ++i)
    {
      EXPECT_EQ(popup->items.Get(i)->Get(), pc.items[i]);
      EXPECT_EQ(popup->checked.Get()[i], i == pc.checkedItem);
    }
    EXPECT_EQ(popup->rect, IRECT(10, 10, 50, 30));  // parameters with texts prompt over the control
    EXPECT_DOUBLE_EQ(plug->GetParam(pc.param)->Value(), pc.expected);
    EXPECT_FALSE(f.gui->HasPendingTextEntry());
  }
}

struct EntryCase
{
  const char* name;
  int param;
  const char* typed;   // null cancels
  double expected;     // real units afterwards
};

const EntryCase kEntryCases[] = {
  {"double shown negated: the typed number is negated back", kParamDouble, "5", -5.0},
  {"double: clamped to the range", kParamDouble, "-30", 0.0},
  {"double: not a number changes nothing", kParamDouble, "nan", -10.0},
  {"double: infinity changes nothing", kParamDouble, "inf", -10.0},
  {"double: cancel", kParamDouble, nullptr, -10.0},
  {"int", kParamInt, "7", 7.0},
  {"int: cut to the entry length (7 characters)", kParamInt, "0000000009", 0.0},
};

TEST(Prompt, TextEntriesForOtherParameters)
{
  for (const EntryCase& ec : kEntryCases)
  {
    SCOPED_TRACE(ec.name);
    PromptFixture f(ec.param);
    f.RightClick();
    ASSERT_TRUE(f.gui->HasPendingTextEntry());
    const auto* entry = f.gui->GetPendingTextEntry();
    EXPECT_EQ(entry->param, f.plug->GetParam(ec.param));
    EXPECT_EQ(entry->rect, IRECT(10, 12, 50, 28));  // 40 x 16 at the centre (30, 20)
    if (ec.param == kParamDouble) { EXPECT_STREQ(entry->str.Get(), "10.0"); }
    const bool ended = ec.typed ? f.gui->CompleteTextEntry(ec.typed) : f.gui->CancelTextEntry();
    EXPECT_TRUE(ended);
    EXPECT_FALSE(f.gui->HasPendingTextEntry());
    // "nan" and "inf" change nothing on every platform (the Windows C library reads them as 0;
    // the parameter's parser refuses them by name).
    EXPECT_DOUBLE_EQ(f.plug->GetParam(ec.param)->Value(), ec.expected);
    EXPECT_EQ(f.gui->NPopupsShown(), 0);
  }
}

TEST(Prompt, EnumerationTextMapsToItsChoice)
{
  PromptFixture f(kParamEnum);
  f.gui->SetFromStringAfterPrompt(f.c, f.plug->GetParam(kParamEnum), "Gamma");
  EXPECT_DOUBLE_EQ(f.plug->GetParam(kParamEnum)->Value(), 2.0);
  f.gui->SetFromStringAfterPrompt(f.c, f.plug->GetParam(kParamEnum), "Delta");  // unknown: nothing
  EXPECT_DOUBLE_EQ(f.plug->GetParam(kParamEnum)->Value(), 2.0);
}

TEST(Prompt, EntryWithoutParameterGoesToTheControl)
{
  PromptFixture f(kParamInt);
  IText style;
  IRECT r(0, 0, 10, 10);
  f.gui->CreateTextEntry(f.c, &style, &r, "abc");
  f.log.clear();
  EXPECT_TRUE(f.gui->CompleteTextEntry("hello"));
  EXPECT_EQ(f.log, (Log{"P:text hello"}));
  EXPECT_FALSE(f.gui->CompleteTextEntry("again"));  // nothing pending
}

TEST(Prompt, DisabledByDefault)
{
  EditorFixture f;
  IBitmap handle = f.gui->LoadIBitmap(kImgHandle, "handle.png");
  IBitmap button = f.gui->LoadIBitmap(kImgButton, "button.png", 2);
  f.gui->AttachControl(new IFaderControl(f.plug, 0, 0, 60, kParamDouble, &handle, kHorizontal));
  f.gui->AttachControl(new IRadioButtonsControl(f.plug, IRECT(0, 20, 16, 70), kParamEnum, 3, &button));
  f.AttachAndOpen();
  const IMouseMod right(false, true);
  f.gui->Click(30, 5, right);
  f.gui->Click(5, 25, right);
  EXPECT_EQ(f.gui->NPopupsShown(), 0);
  EXPECT_FALSE(f.gui->HasPendingTextEntry());
  EXPECT_DOUBLE_EQ(f.plug->GetParam(kParamDouble)->Value(), -10.0);
  EXPECT_DOUBLE_EQ(f.plug->GetParam(kParamEnum)->Value(), 0.0);
  EXPECT_EQ(f.plug->mInformed.GetSize(), 0);
}
}  // namespace
