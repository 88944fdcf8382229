// The calibration text parser: one pass over the bytes with a mode and a token, exactly as the
// meter has always read these files, and the divisor interpolated from the table it fills.
#include "CalibrationParser.h"

#include <cmath>
#include <cstdlib>

namespace {
enum class EMode { kSkip, kFrequency, kLevel };

inline bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

class CalibrationScanner
{
public:
  CalibrationScanner(double* frequencies, double* levels, int maxPoints)
    : mFrequencies(frequencies), mLevels(levels), mMax(maxPoints)
  {
  }

  bool Full() const { return mCount >= mMax; }
  int Count() const { return mCount; }

  void LineStart(char ch)
  {
    mLen = 0;
    mMode = EMode::kFrequency;
    Frequency(ch);
  }

  void Byte(char ch)
  {
    switch (mMode)
    {
      case EMode::kSkip: break;
      case EMode::kFrequency: Frequency(ch); break;
      case EMode::kLevel: Level(ch); break;
    }
  }

private:
  void Frequency(char ch)
  {
    if (IsDigit(ch) || ch == '.' || ch == '+' || ch == 'E' || ch == 'e' || (ch == ' ' && mLen == 0))
    {
      Append(ch);
      return;
    }
    // The frequency ends here; the same character may already start the level ("20;-3").
    mFrequencies[mCount] = Convert();
    mMode = EMode::kLevel;
    Level(ch);
  }

  void Level(char ch)
  {
    if (IsDigit(ch) || ch == '.' || ch == '+' || ch == '-' || ch == 'E' || ch == 'e')
    {
      Append(ch);
    }
    else if (mLen > 0)
    {
      mLevels[mCount] = Convert();
      ++mCount;
      mMode = EMode::kSkip;
    }
  }

  void Append(char ch)
  {
    if (mLen < kCalibrationTokenSize - 1) mToken[mLen++] = ch;
  }

  double Convert()
  {
    mToken[mLen] = 0;
    mLen = 0;
    return std::atof(mToken);
  }

  double* mFrequencies;
  double* mLevels;
  int mMax;
  int mCount = 0;
  int mLen = 0;
  EMode mMode = EMode::kSkip;
  char mToken[kCalibrationTokenSize] = {};
};
}  // namespace

int ParseCalibrationText(char* data, size_t size, double* frequencies, double* levels, int maxPoints)
{
  if (!data || !frequencies || !levels || maxPoints < 1) return 0;
  CalibrationScanner scanner(frequencies, levels, maxPoints);
  for (size_t i = 0; i < size && !scanner.Full(); ++i)
  {
    if (data[i] == ',') data[i] = '.';
    const char ch = data[i];
    const bool lineStart = i == 0 || data[i - 1] == '\n';
    if (lineStart && (ch == ' ' || ch == '.' || IsDigit(ch))) scanner.LineStart(ch);
    else scanner.Byte(ch);
  }
  // A token still open when the bytes run out is dropped: a point counts only once the
  // character after its level has ended it.
  return scanner.Count();
}

double CalibrationDivisor(double x, const double* frequencies, const double* levels, int n)
{
  if (!frequencies || !levels || n < 1) return 1.0;
  double v = 0.0;
  for (int i = 0; i + 1 < n; ++i)
  {
    const double f0 = frequencies[i], f1 = frequencies[i + 1];
    if (f0 <= x && x < f1) v = (x - f0) * (levels[i + 1] - levels[i]) / (f1 - f0) + levels[i];
  }
  if (frequencies[0] > x) v = levels[0];
  if (x >= frequencies[n - 1]) v = levels[n - 1];
  return std::pow(10.0, v / 20.0);
}
