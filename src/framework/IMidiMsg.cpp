// MIDI short messages: building note, pitch-wheel and controller messages and reading them back.

#include "IFxStructs.h"

void IMidiMsg::MakeNoteOnMsg(int noteNumber, int velocity, int offset, int channel)
{
  mStatus = (uint8_t)(0x90 | (channel & 0x0F));
  mData1 = (uint8_t)noteNumber;
  mData2 = (uint8_t)velocity;
  mOffset = offset;
}

void IMidiMsg::MakeNoteOffMsg(int noteNumber, int offset, int channel)
{
  Clear();
  mStatus = (uint8_t)(0x80 | (channel & 0x0F));
  mData1 = (uint8_t)noteNumber;
  mOffset = offset;
}

void IMidiMsg::MakePitchWheelMsg(double value, int channel)
{
  mOffset = 0;
  mStatus = (uint8_t)(0xE0 | (channel & 0x0F));
  const double scaled = value * 8192.0;
  int i = scaled >= 8191.0 ? 8191 : scaled <= -8192.0 ? -8192 : (scaled == scaled ? (int)scaled : 0);
  i += 8192;
  mData1 = (uint8_t)(i & 0x7F);
  mData2 = (uint8_t)((i >> 7) & 0x7F);
}

void IMidiMsg::MakeControlChangeMsg(int controller, double value, int channel)
{
  mOffset = 0;
  mStatus = (uint8_t)(0xB0 | (channel & 0x0F));
  mData1 = (uint8_t)controller;
  const double scaled = value * 127.0;
  mData2 = (uint8_t)(scaled >= 127.0 ? 127 : scaled > 0.0 ? (int)scaled : 0);
}

void IMidiMsg::Clear()
{
  mOffset = 0;
  mStatus = mData1 = mData2 = 0;
}

IMidiMsg::EStatusMsg IMidiMsg::StatusMsg() const
{
  const unsigned s = mStatus;
  return (s >= 0x80 && s <= 0xEF) ? (EStatusMsg)(s >> 4) : kNone;
}

int IMidiMsg::NoteNumber() const { return (mStatus >= 0x80 && mStatus <= 0xAF) ? mData1 : -1; }
int IMidiMsg::Velocity() const { return (mStatus >= 0x80 && mStatus <= 0x9F) ? mData2 : -1; }
int IMidiMsg::PolyAfterTouch() const { return (mStatus >= 0xA0 && mStatus <= 0xAF) ? mData2 : -1; }
int IMidiMsg::ChannelAfterTouch() const { return (mStatus >= 0xD0 && mStatus <= 0xDF) ? mData1 : -1; }
int IMidiMsg::Program() const { return (mStatus >= 0xC0 && mStatus <= 0xCF) ? mData1 : -1; }

double IMidiMsg::PitchWheel() const
{
  if (mStatus < 0xE0 || mStatus > 0xEF) return 0.0;
  return (double)(mData1 + 128 * mData2 - 8192) / 8192.0;
}

double IMidiMsg::ControlChange(int controller) const
{
  if (StatusMsg() == kControlChange && mData1 == controller) return (double)mData2 / 127.0;
  return -1.0;
}
