// Parameter tests: bounds and normalisation, display precision and texts, curve shapes, and
// display texts parsed back into the values they show.

#include "IParam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {
std::string Display(const IParam& p, double value, bool normalized = false)
{
  char buf[64];
  p.GetDisplayForHost(value, normalized, buf, sizeof buf);
  return buf;
}
}  // namespace

TEST(IParam, InitialisersFixBoundsSoNormalisationNeverDividesByZero)
{
  struct Case { const char* what; double min, max; };
  IParam e0, e1, e5, i33, dLow, bool1;
  e0.InitEnum("e0", 0, 0);
  e1.InitEnum("e1", 0, 1);
  e5.InitEnum("e5", 2, 5);
  i33.InitInt("i", 3, 3, 3);
  dLow.InitDouble("d", 0.0, 2.0, 2.1, 0.5);
  bool1.InitBool("b", true);
  const struct { const IParam* p; double min, max, value; } cases[] = {
    {&e0, 0, 1, 0}, {&e1, 0, 1, 0}, {&e5, 0, 4, 2}, {&i33, 3, 4, 3}, {&dLow, 2.0, 2.5, 0.0}, {&bool1, 0, 1, 1},
  };
  for (const auto& c : cases)
  {
    EXPECT_EQ(c.p->GetMin(), c.min) << c.p->GetNameForHost();
    EXPECT_EQ(c.p->GetMax(), c.max) << c.p->GetNameForHost();
    EXPECT_EQ(c.p->Value(), c.value) << c.p->GetNameForHost();
    EXPECT_FALSE(std::isnan(c.p->GetNormalized(c.max)));
  }
}

TEST(IParam, DisplayPrecisionFromStep)
{
  const struct { double step; int precision; } cases[] = {
    {0.01, 2}, {0.5, 1}, {1.0, 0}, {10.0, 0}, {0.0001, 4}, {0.0000001, 6}, {0.25, 2},
  };
  for (const auto& c : cases)
  {
    IParam p;
    p.InitDouble("d", 0.0, 0.0, 100.0, c.step);
    EXPECT_EQ(p.GetPrecision(), c.precision) << c.step;
  }
}

TEST(IParam, SetNormalizedRoundsFromZeroAndCutsAtMax)
{
  IParam i;
  i.InitInt("i", 0, 0, 10);
  const struct { double n; double expect; } cases[] = {{1.0, 10}, {0.96, 10}, {0.04, 0}, {0.05, 1}, {0.55, 6}, {1.5, 10}};
  for (const auto& c : cases)
  {
    i.SetNormalized(c.n);
    EXPECT_EQ(i.Value(), c.expect) << c.n;
  }

  // Rounding counts steps from zero, not from min: min 1, step 2 gives even values.
  IParam d;
  d.InitDouble("d", 0.0, 0.0, 1.0, 0.5);
  d.SetNormalized(0.3);
  EXPECT_DOUBLE_EQ(d.Value(), 0.3) << "double parameters are not rounded";

  // The lower bound is not enforced on this path.
  i.SetNormalized(-0.5);
  EXPECT_EQ(i.Value(), -5.0);

  i.SetNormalized(std::nan(""));
  EXPECT_EQ(i.Value(), 0.0) << "a NaN from a host must not travel on into integer conversions";
  EXPECT_EQ(i.Int(), 0);
}

TEST(IParam, ShapeCurvesAreInverseOfEachOther)
{
  IParam p;
  p.InitDouble("f", 100.0, 20.0, 20000.0, 1.0, "Hz", "", 3.0);
  for (double v : {20.0, 100.0, 1000.0, 19999.0})
    EXPECT_NEAR(p.GetNonNormalized(p.GetNormalized(v)), v, 1e-9 * v);
  EXPECT_DOUBLE_EQ(p.GetNormalized(-5.0), 0.0) << "clamped before normalising";
  p.SetShape(0.0);
  EXPECT_EQ(p.GetShape(), 3.0) << "a zero shape is ignored";
}

TEST(IParam, DisplayTextsAndLabels)
{
  IParam b;
  b.InitBool("Bypass", false, "x");
  EXPECT_EQ(Display(b, 0), "off");
  EXPECT_EQ(Display(b, 1), "on");
  EXPECT_STREQ(b.GetLabelForHost(), "") << "the display text already says everything";
  int key = -7;
  EXPECT_TRUE(b.MapDisplayText("on", &key));
  EXPECT_EQ(key, 1);
  EXPECT_FALSE(b.MapDisplayText("On", &key));
  EXPECT_EQ(key, 1) << "a failed lookup leaves the out value alone";

  IParam gain;
  gain.InitDouble("Gain", 0.0, -60.0, 12.0, 0.1, "dB");
  EXPECT_EQ(Display(gain, -6.0), "-6.0");
  EXPECT_STREQ(gain.GetLabelForHost(), "dB");
  EXPECT_STREQ(gain.GetDisplayText(3), "") << "never a null pointer";

  IParam neg;
  neg.InitInt("n", 0, -10, 10);
  neg.NegateDisplay();
  neg.SetDisplayText(3, "three");
  neg.SetDisplayText(3, "again");
  EXPECT_EQ(Display(neg, 3), "three") << "display texts before negation, first match wins";
  EXPECT_EQ(Display(neg, 2), "-2");
  EXPECT_EQ(neg.GetNDisplayTexts(), 2) << "duplicates are kept";
  int v = 0;
  EXPECT_STREQ(neg.GetDisplayTextAtIdx(1, &v), "again");
  EXPECT_EQ(v, 3);

  IParam e;
  e.InitEnum("e", 0, 3);
  EXPECT_EQ(Display(e, 0.5, true), "1") << "normalised 0.5 of 0..2 is 1";
}

TEST(IParam, LongTextsAreCutNotOverrun)
{
  const std::string longText(200, 'n');
  IParam p;
  p.InitDouble(longText.c_str(), 0.0, 0.0, 1.0, 0.01, longText.c_str(), longText.c_str());
  p.SetDisplayText(0, longText.c_str());
  EXPECT_EQ(std::string(p.GetNameForHost()), longText.substr(0, 31));
  EXPECT_EQ(std::string(p.GetParamGroupForHost()), longText.substr(0, 31));
  EXPECT_EQ(std::string(p.GetDisplayText(0)), longText.substr(0, 31));

  char small[4];
  p.GetDisplayForHost(0.5, false, small, sizeof small, false);
  EXPECT_STREQ(small, "0.5");
}

TEST(IParam, FirstInitialiserFixesTheType)
{
  IParam p;
  p.InitInt("i", 2, 0, 5);
  p.InitDouble("d", 0.25, 0.0, 1.0, 0.25);
  EXPECT_EQ(p.Type(), IParam::kTypeInt);
  EXPECT_STREQ(p.GetNameForHost(), "d");
  p.SetNormalized(0.4);
  EXPECT_EQ(p.Value(), 0.5) << "still rounded as the integer type it first was";
}

TEST(IParam, DisplayTextsReadBackAsTheValueTheyShow)
{
  // Whatever the display shows for a value, parsed, gives that value back: hosts and the
  // editor feed typed or host-formatted text through this one parser.
  IParam onOff, mode, gain, count, negated, modeNoTexts, marked;
  onOff.InitBool("b", false);
  mode.InitEnum("m", 0, 3);
  mode.SetDisplayText(0, "Sine");
  mode.SetDisplayText(1, "Square");
  mode.SetDisplayText(2, "Saw");
  gain.InitDouble("g", 0.0, -60.0, 12.0, 0.1, "dB");
  count.InitInt("c", 0, 0, 10);
  negated.InitDouble("v", 0.0, 0.0, 20.0, 0.5, "dB");
  negated.NegateDisplay();
  modeNoTexts.InitEnum("n", 0, 4);
  marked.InitInt("k", 0, 0, 100);
  marked.SetDisplayText(0, "off");
  struct Case { const IParam* param; double value; };
  const Case cases[] = {
    {&onOff, 0}, {&onOff, 1}, {&mode, 0}, {&mode, 2}, {&gain, -60}, {&gain, -6.5}, {&gain, 12},
    {&count, 7}, {&negated, 0}, {&negated, 3.5}, {&negated, 20}, {&modeNoTexts, 3}, {&marked, 0},
    {&marked, 42},
  };
  for (const Case& c : cases)
  {
    const std::string shown = Display(*c.param, c.value);
    double parsed = -999.0;
    ASSERT_TRUE(c.param->ParseDisplayText(shown.c_str(), &parsed)) << c.param->GetNameForHost() << " " << shown;
    EXPECT_DOUBLE_EQ(parsed, c.value) << c.param->GetNameForHost() << " " << shown;
  }
}

TEST(IParam, ParsedTextIsClampedAndRefusalsLeaveTheValueAlone)
{
  IParam onOff, mode, gain, negated;
  onOff.InitBool("b", false);
  mode.InitEnum("m", 0, 3);
  mode.SetDisplayText(0, "Sine");
  mode.SetDisplayText(2, "Saw");
  gain.InitDouble("g", 0.0, -60.0, 12.0, 0.1, "dB");
  negated.InitDouble("v", 0.0, 0.0, 20.0, 0.5, "dB");
  negated.NegateDisplay();
  struct Case { const IParam* param; const char* text; bool ok; double value; };
  const Case cases[] = {
    {&onOff, "on", true, 1},       {&onOff, "On", false, 0},    {&onOff, "1", false, 0},  // choices by name only
    {&mode, "Saw", true, 2},       {&mode, "Square", false, 0}, {&mode, "2", false, 0},
    {&gain, "99", true, 12},       {&gain, "-1e300", true, -60}, {&gain, "garbage", true, 0},  // atof
    {&gain, "nan", false, 0},      {&gain, "inf", false, 0},    {&gain, "-inf", false, 0},
    {&gain, " NaN", false, 0},     {&gain, "+Infinity", false, 0},
    {&negated, "-3", true, 3},     {&negated, "4", true, 0},    {&negated, "-99", true, 20},
    {&gain, nullptr, false, 0},
  };
  for (const Case& c : cases)
  {
    double v = -999.0;
    EXPECT_EQ(c.param->ParseDisplayText(c.text, &v), c.ok) << (c.text ? c.text : "(null)");
    EXPECT_DOUBLE_EQ(v, c.ok ? c.value : -999.0) << (c.text ? c.text : "(null)");
  }
}
