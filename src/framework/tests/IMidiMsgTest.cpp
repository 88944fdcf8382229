// MIDI message tests: each maker and the readers that take it apart again.

#include "IFxStructs.h"

#include <gtest/gtest.h>

TEST(IMidiMsg, MakersAndReaders)
{
  IMidiMsg m;
  m.MakeNoteOnMsg(60, 100, 12, 3);
  EXPECT_EQ(m.mStatus, 0x93);
  EXPECT_EQ(m.StatusMsg(), IMidiMsg::kNoteOn);
  EXPECT_EQ(m.Channel(), 3);
  EXPECT_EQ(m.NoteNumber(), 60);
  EXPECT_EQ(m.Velocity(), 100);
  EXPECT_EQ(m.mOffset, 12);
  EXPECT_EQ(m.Program(), -1);

  m.MakePitchWheelMsg(1.0);
  EXPECT_EQ(m.mData1 + 128 * m.mData2, 8191 + 8192) << "limited to 8191 above centre";
  m.MakePitchWheelMsg(-1.0);
  EXPECT_DOUBLE_EQ(m.PitchWheel(), -1.0);
  m.MakePitchWheelMsg(0.0);
  EXPECT_DOUBLE_EQ(m.PitchWheel(), 0.0);

  m.MakeControlChangeMsg(7, 1.0, 0);
  EXPECT_EQ(m.ControlChange(7), 1.0);
  EXPECT_EQ(m.ControlChange(8), -1.0);
  EXPECT_EQ(m.ControlChangeIdx(), 7);

  m.MakeNoteOffMsg(61, 5);
  EXPECT_EQ(m.StatusMsg(), IMidiMsg::kNoteOff);
  EXPECT_EQ(m.Velocity(), 0);
  m.mStatus = 0xF8;
  EXPECT_EQ(m.StatusMsg(), IMidiMsg::kNone);
  EXPECT_EQ(m.NoteNumber(), -1);
}
