// The meter's saved state.
#include "IThdMeter.h"

bool IThdMeter::SerializeState(ByteChunk* chunk)
{
  return IThdMeterBinding::SerializeState(chunk);
}

int IThdMeter::UnserializeState(ByteChunk* chunk, int startPos)
{
  return IThdMeterBinding::UnserializeState(chunk, startPos);
}

void IThdMeter::PresetsChangedByHost()
{
}
