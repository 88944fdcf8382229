// The meter's saved state: the test frequency, then the ten parameter values, all doubles
// in the machine's order (88 bytes). Hosts keep it in their projects; presets use it too.
#include "IThdMeter.h"

#include <cmath>
#include <cstdio>

namespace {
constexpr double kMinFrequency = 20.0;
constexpr double kMaxFrequency = 20000.0;

// A chunk can carry any double. The tone generator needs a frequency inside the audible
// band (and an integer display of it), so a stored value is pinned to the band; one that
// is not a number at all keeps the frequency the meter has.
double RestoredFrequency(double stored, double current)
{
  if (!std::isfinite(stored)) return current;
  return stored < kMinFrequency ? kMinFrequency : stored > kMaxFrequency ? kMaxFrequency : stored;
}

// The engine mirrors feed the tone level and the channel choice straight away: a stored
// volume of 50 would mean a tone at +980 dB. They are pinned to their parameter's bounds.
double RestoredMirror(const IParam* param, double stored, double current)
{
  return std::isfinite(stored) ? param->Clamp(stored) : current;
}
}  // namespace

bool IThdMeter::SerializeState(ByteChunk* chunk)
{
  Util_MutexLock lock(mMutex);
  const double frequency = mEngine.GetFrequency();
  chunk->AppendValue(&frequency);
  return SerializeParams(chunk);
}

int IThdMeter::UnserializeState(ByteChunk* chunk, int startPos)
{
  Util_MutexLock lock(mMutex);
  double stored = 0.0;
  const int paramPos = startPos >= 0 ? chunk->ReadValue(&stored, startPos) : -1;
  if (paramPos >= 0)
  {
    mEngine.SetFrequency(RestoredFrequency(stored, mEngine.GetFrequency()));

    // The mirrors come straight from the parameter block, each only while the data lasts;
    // a restore during a run changes channels and level at once.
    int pos = chunk->ReadValue(&stored, paramPos);
    if (pos >= 0)
    {
      mEngine.SetOutputChannel(RestoredMirror(GetParam(kParamOutput), stored, mEngine.GetOutputChannel()));
      pos = chunk->ReadValue(&stored, pos);
    }
    if (pos >= 0)
    {
      mEngine.SetInputChannel(RestoredMirror(GetParam(kParamInput), stored, mEngine.GetInputChannel()));
      pos = chunk->ReadValue(&stored, pos);
    }
    if (pos >= 0)
    {
      mDenoising = SnapDenoising(RestoredMirror(GetParam(kParamDenoising), stored, mDenoising));
      pos = chunk->ReadValue(&stored, pos);
    }
    if (pos >= 0) mVolume = RestoredMirror(GetParam(kParamVolume), stored, mVolume);
  }

  // The level and its label follow the volume whether or not a new one was read.
  ApplyVolumeMapping();
  ShowVolumeLabel();
  // The display shows whole hertz; the guard keeps the integer conversion defined even for
  // a frequency that reached the member some other way.
  const double frequency = GetFrequency();
  std::snprintf(mFrequencyText, sizeof mFrequencyText, "%d",
                std::isfinite(frequency) && std::fabs(frequency) < 1e9 ? (int)frequency : 0);
  ShowFrequencyText();

  return UnserializeParams(chunk, paramPos);
}

void IThdMeter::PresetsChangedByHost()
{
  Util_MutexLock lock(mMutex);
  if (GetGUI()) MarkAllControlsDirty();
}
