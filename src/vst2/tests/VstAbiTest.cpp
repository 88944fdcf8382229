// The numbers of the binary interface, pinned against the published values: an off-by-one in
// a hand-numbered table is the usual way a binding goes wrong unnoticed. (The record layouts
// are pinned by static_assert in VstAbi.h.)
#include "VstAbi.h"

#include <gtest/gtest.h>

TEST(VstAbi, OpcodeAndFlagNumbers)
{
  struct Case
  {
    long long actual, expected;
    const char* name;
  };
  const Case cases[] = {
    {effOpen, 0, "effOpen"}, {effClose, 1, "effClose"}, {effSetProgram, 2, "effSetProgram"},
    {effGetParamName, 8, "effGetParamName"}, {effSetSampleRate, 10, "effSetSampleRate"},
    {effMainsChanged, 12, "effMainsChanged"}, {effEditGetRect, 13, "effEditGetRect"},
    {effEditOpen, 14, "effEditOpen"}, {effEditIdle, 19, "effEditIdle"}, {effIdentify, 22, "effIdentify"},
    {effGetChunk, 23, "effGetChunk"}, {effProcessEvents, 25, "effProcessEvents"},
    {effString2Parameter, 27, "effString2Parameter"}, {effGetProgramNameIndexed, 29, "effGetProgramNameIndexed"},
    {effGetInputProperties, 33, "effGetInputProperties"}, {effGetPlugCategory, 35, "effGetPlugCategory"},
    {effSetSpeakerArrangement, 42, "effSetSpeakerArrangement"}, {effGetEffectName, 45, "effGetEffectName"},
    {effGetVendorString, 47, "effGetVendorString"}, {effVendorSpecific, 50, "effVendorSpecific"},
    {effCanDo, 51, "effCanDo"}, {effGetTailSize, 52, "effGetTailSize"}, {effIdle, 53, "effIdle"},
    {effGetVstVersion, 58, "effGetVstVersion"}, {effGetMidiKeyName, 66, "effGetMidiKeyName"},
    {effGetSpeakerArrangement, 69, "effGetSpeakerArrangement"}, {effStartProcess, 71, "effStartProcess"},
    {effSetProcessPrecision, 77, "effSetProcessPrecision"},
    {audioMasterAutomate, 0, "audioMasterAutomate"}, {audioMasterVersion, 1, "audioMasterVersion"},
    {audioMasterWantMidi, 6, "audioMasterWantMidi"}, {audioMasterGetTime, 7, "audioMasterGetTime"},
    {audioMasterProcessEvents, 8, "audioMasterProcessEvents"}, {audioMasterIOChanged, 13, "audioMasterIOChanged"},
    {audioMasterSizeWindow, 15, "audioMasterSizeWindow"},
    {audioMasterGetCurrentProcessLevel, 23, "audioMasterGetCurrentProcessLevel"},
    {audioMasterGetProductString, 33, "audioMasterGetProductString"},
    {audioMasterGetVendorVersion, 34, "audioMasterGetVendorVersion"},
    {audioMasterUpdateDisplay, 42, "audioMasterUpdateDisplay"}, {audioMasterBeginEdit, 43, "audioMasterBeginEdit"},
    {audioMasterEndEdit, 44, "audioMasterEndEdit"},
    {kEffectMagic, 0x56737450, "kEffectMagic"}, {effFlagsHasEditor, 1, "effFlagsHasEditor"},
    {effFlagsCanMono, 8, "effFlagsCanMono"}, {effFlagsCanReplacing, 0x10, "effFlagsCanReplacing"},
    {effFlagsProgramChunks, 0x20, "effFlagsProgramChunks"}, {effFlagsIsSynth, 0x100, "effFlagsIsSynth"},
    {effFlagsCanDoubleReplacing, 0x1000, "effFlagsCanDoubleReplacing"},
    {kVstTransportPlaying, 2, "kVstTransportPlaying"}, {kVstTransportCycleActive, 4, "kVstTransportCycleActive"},
    {kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid, 0x3E00,
     "time info request"},
    {kSpeakerArrUserDefined, -2, "kSpeakerArrUserDefined"}, {kSpeakerArrStereo, 1, "kSpeakerArrStereo"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.name;
}

TEST(VstAbi, FourCharacterCodesPackFirstCharacterHigh)
{
  EXPECT_EQ(VstFourCC('T', 'H', 'D', 'M'), 0x5448444D);
  EXPECT_EQ(VstFourCC('N', 'v', 'E', 'f'), 0x4E764566);
}
