// One automatable parameter: a value in real units, its bounds, step and curve, and
// the texts a host or the editor shows for it.
#pragma once

#include "Util_TypedBuf.h"

class IParam
{
public:
  enum EParamType { kTypeNone = 0, kTypeBool, kTypeInt, kTypeEnum, kTypeDouble };

  static constexpr int kTextLen = 32;  // name, label, group and display texts, with terminator

  struct DisplayText
  {
    int mValue;
    char mText[kTextLen];
  };

  IParam();
  ~IParam() = default;

  void InitBool(const char* name, bool defaultVal, const char* label = "", const char* group = "");
  void InitEnum(const char* name, int defaultVal, int nEnums, const char* label = "", const char* group = "");
  void InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label = "", const char* group = "");
  void InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                  const char* label = "", const char* group = "", double shape = 1.0);

  // Sets the value in real units, clamped to the bounds.
  void Set(double value) { mValue = Clamp(value); }
  void SetDisplayText(int value, const char* text);
  void SetCanAutomate(bool canAutomate) { mCanAutomate = canAutomate; }
  void SetIsMeta(bool) {}
  void NegateDisplay() { mNegateDisplay = true; }
  void SetShape(double shape);

  void SetNormalized(double normalizedValue);
  double GetNormalized() const;
  double GetNormalized(double nonNormalizedValue) const;
  double GetNonNormalized(double normalizedValue) const;

  double Value() const { return mValue; }
  bool Bool() const { return mValue >= 0.5; }
  int Int() const;
  double DBToAmp() const;
  double Clamp(double value) const;

  // Writes the display text for value (real units, or normalised with normalized set)
  // into buf, which holds bufSize bytes; the text is cut to fit.
  void GetDisplayForHost(double value, bool normalized, char* buf, int bufSize, bool withDisplayText = true) const;
  void GetDisplayForHost(char* buf, int bufSize, bool withDisplayText = true) const
  {
    GetDisplayForHost(mValue, false, buf, bufSize, withDisplayText);
  }

  const char* GetNameForHost() const { return mName; }
  const char* GetLabelForHost() const;
  const char* GetParamGroupForHost() const { return mParamGroup; }

  int GetNDisplayTexts() const { return mDisplayTexts.GetSize(); }
  const char* GetDisplayText(int value) const;
  const char* GetDisplayTextAtIdx(int idx, int* value = nullptr) const;
  bool MapDisplayText(const char* text, int* value) const;
  // Reads text the way the display shows this parameter, into real units clamped to the
  // bounds: a display text gives its key; any other text is read as a number (atof), with
  // the sign inverted when the display is negated. A choice (boolean or enumeration with
  // display texts) accepts only its texts. False, value untouched, for a text that names no
  // choice or reads as no finite number. Hosts and the editor all come in through here.
  bool ParseDisplayText(const char* text, double* value) const;

  EParamType Type() const { return mType; }
  double GetDefault() const { return mDefault; }
  double GetMin() const { return mMin; }
  double GetMax() const { return mMax; }
  void GetBounds(double* minVal, double* maxVal) const;
  double GetStep() const { return mStep; }
  double GetShape() const { return mShape; }
  int GetPrecision() const { return mDisplayPrecision; }
  bool GetNegateDisplay() const { return mNegateDisplay; }
  bool GetCanAutomate() const { return mCanAutomate; }

private:
  void SetNames(const char* name, const char* label, const char* group);
  void SetTypeOnce(EParamType type) { if (mType == kTypeNone) mType = type; }

  EParamType mType = kTypeNone;
  double mValue = 0.0;
  double mMin = 0.0;
  double mMax = 1.0;
  double mStep = 1.0;
  double mShape = 1.0;
  double mDefault = 0.0;
  int mDisplayPrecision = 0;
  char mName[kTextLen] = {};
  char mLabel[kTextLen] = {};
  char mParamGroup[kTextLen] = {};
  bool mNegateDisplay = false;
  bool mCanAutomate = true;
  Util_TypedBuf<DisplayText> mDisplayTexts;
};
