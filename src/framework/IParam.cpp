// Parameters: bounds, steps and curves, normalisation, display texts and the one parser that
// turns a host's or the editor's text back into a value.

#include "IParam.h"

#include "Util_CStr.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
// Number of decimals that show a step exactly: 0 for whole steps, up to 5, else 6.
int PrecisionForStep(double step)
{
  if (step == std::floor(step)) return 0;
  for (int precision = 1; precision <= 5; ++precision)
  {
    step *= 10.0;
    if (step == std::floor(step)) return precision;
  }
  return 6;
}

// Truncation toward zero that stays defined for NaN and values beyond int.
int TruncToInt(double v)
{
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return (-2147483647 - 1);
  return (int)v;
}
}  // namespace

IParam::IParam() = default;

void IParam::SetNames(const char* name, const char* label, const char* group)
{
  Util_StrCopy(mName, name);
  Util_StrCopy(mLabel, label);
  Util_StrCopy(mParamGroup, group);
}

void IParam::InitBool(const char* name, bool defaultVal, const char* label, const char* group)
{
  SetTypeOnce(kTypeBool);
  SetNames(name, label, group);
  mMin = 0.0;
  mMax = 1.0;
  mStep = 1.0;
  mShape = 1.0;
  mValue = mDefault = defaultVal ? 1.0 : 0.0;
  mDisplayPrecision = 0;
  SetDisplayText(0, "off");
  SetDisplayText(1, "on");
}

void IParam::InitEnum(const char* name, int defaultVal, int nEnums, const char* label, const char* group)
{
  SetTypeOnce(kTypeEnum);
  SetNames(name, label, group);
  mMin = 0.0;
  mMax = nEnums - 1 > 1 ? (double)(nEnums - 1) : 1.0;  // never a zero range
  mStep = 1.0;
  mShape = 1.0;
  mValue = mDefault = (double)defaultVal;
  mDisplayPrecision = 0;
}

void IParam::InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label, const char* group)
{
  SetTypeOnce(kTypeInt);
  SetNames(name, label, group);
  mMin = (double)minVal;
  mMax = (double)maxVal > mMin + 1.0 ? (double)maxVal : mMin + 1.0;
  mStep = 1.0;
  mShape = 1.0;
  mValue = mDefault = (double)defaultVal;
  mDisplayPrecision = 0;
}

void IParam::InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                        const char* label, const char* group, double shape)
{
  SetTypeOnce(kTypeDouble);
  SetNames(name, label, group);
  mMin = minVal;
  mMax = maxVal > minVal + step ? maxVal : minVal + step;
  mStep = step;
  mValue = mDefault = defaultVal;
  mDisplayPrecision = PrecisionForStep(step);
  SetShape(shape);
}

void IParam::SetShape(double shape)
{
  if (shape != 0.0) mShape = shape;
}

void IParam::SetDisplayText(int value, const char* text)
{
  DisplayText entry;
  std::memset(&entry, 0, sizeof entry);
  entry.mValue = value;
  Util_StrCopy(entry.mText, text);
  mDisplayTexts.Add(entry);
}

double IParam::Clamp(double value) const
{
  if (value < mMin) return mMin;
  if (value > mMax) return mMax;
  return value;
}

int IParam::Int() const
{
  return TruncToInt(mValue);
}

double IParam::DBToAmp() const
{
  return std::exp(mValue * 0.1151292546497);
}

double IParam::GetNormalized() const
{
  return GetNormalized(mValue);
}

double IParam::GetNormalized(double nonNormalizedValue) const
{
  const double clamped = Clamp(nonNormalizedValue);
  return std::pow((clamped - mMin) / (mMax - mMin), 1.0 / mShape);
}

double IParam::GetNonNormalized(double normalizedValue) const
{
  return mMin + (mMax - mMin) * std::pow(normalizedValue, mShape);
}

void IParam::SetNormalized(double normalizedValue)
{
  // Most parameters are linear; pow(x, 1) is x exactly, so skipping it changes no value and
  // keeps host automation cheap on the audio thread.
  const double shaped = mShape == 1.0 ? normalizedValue : std::pow(normalizedValue, mShape);
  double value = mMin + (mMax - mMin) * shaped;
  if (mType != kTypeDouble) value = std::floor(value / mStep + 0.5) * mStep;
  // Only the upper bound is enforced on this path; a NaN from the host stays out by
  // falling back to the lower bound rather than travelling on into integer conversions.
  if (!(value == value)) value = mMin;
  mValue = value < mMax ? value : mMax;
}

void IParam::GetDisplayForHost(double value, bool normalized, char* buf, int bufSize, bool withDisplayText) const
{
  if (!buf || bufSize <= 0) return;
  if (normalized) value = GetNonNormalized(value);

  if (withDisplayText && GetNDisplayTexts())
  {
    const char* text = GetDisplayText(TruncToInt(value));
    if (*text)
    {
      Util_StrCopy(buf, text, (size_t)bufSize);
      return;
    }
  }

  if (mNegateDisplay) value = -value;
  if (mDisplayPrecision) std::snprintf(buf, (size_t)bufSize, "%.*f", mDisplayPrecision, value);
  else std::snprintf(buf, (size_t)bufSize, "%d", TruncToInt(value));
}

const char* IParam::GetLabelForHost() const
{
  if (GetNDisplayTexts() && *GetDisplayText(Int())) return "";
  return mLabel;
}

const char* IParam::GetDisplayText(int value) const
{
  const int n = mDisplayTexts.GetSize();
  const DisplayText* entries = mDisplayTexts.Get();
  for (int i = 0; i < n; ++i)
    if (entries[i].mValue == value) return entries[i].mText;
  return "";
}

const char* IParam::GetDisplayTextAtIdx(int idx, int* value) const
{
  const DisplayText* entry = mDisplayTexts.GetAt(idx);
  if (!entry) return "";
  if (value) *value = entry->mValue;
  return entry->mText;
}

bool IParam::MapDisplayText(const char* text, int* value) const
{
  if (!text) return false;
  const int n = mDisplayTexts.GetSize();
  const DisplayText* entries = mDisplayTexts.Get();
  for (int i = 0; i < n; ++i)
  {
    if (std::strcmp(entries[i].mText, text) == 0)
    {
      if (value) *value = entries[i].mValue;
      return true;
    }
  }
  return false;
}

bool IParam::ParseDisplayText(const char* text, double* value) const
{
  if (!text || !value) return false;
  int key = 0;
  if (MapDisplayText(text, &key))
  {
    *value = Clamp((double)key);
    return true;
  }
  const bool isChoice = (mType == kTypeBool || mType == kTypeEnum) && GetNDisplayTexts() > 0;
  if (isChoice) return false;
  // "nan" and "inf" are refused on every platform: glibc reads them as non-numbers, the
  // Windows C library as 0.
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '+' || *p == '-') ++p;
  const char lower0 = (char)(p[0] | 0x20), lower1 = p[0] ? (char)(p[1] | 0x20) : 0;
  const char lower2 = p[0] && p[1] ? (char)(p[2] | 0x20) : 0;
  if ((lower0 == 'n' && lower1 == 'a' && lower2 == 'n') || (lower0 == 'i' && lower1 == 'n' && lower2 == 'f'))
    return false;
  double v = std::atof(text);
  if (!std::isfinite(v)) return false;
  if (mNegateDisplay) v = -v;
  *value = Clamp(v);
  return true;
}

void IParam::GetBounds(double* minVal, double* maxVal) const
{
  if (minVal) *minVal = mMin;
  if (maxVal) *maxVal = mMax;
}
