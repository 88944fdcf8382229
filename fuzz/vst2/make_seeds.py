#!/usr/bin/env python3
"""Writes the small seed corpora of the VST 2 fuzz targets (run from this folder)."""
import os
import struct

HEADER = struct.pack("<ii", 0x70666674, 0x00010000)


def meter_state(freq=1000.0, params=(1, 0, 0.5, 0.8, 0, 0, 0, 0, 0, 0)):
    return struct.pack("<d", freq) + struct.pack("<10d", *params)


def preset(name, state):
    return struct.pack("<i", len(name)) + name.encode() + b"\x01" + state


def write(target, name, data):
    d = os.path.join("..", "corpus", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


# fuzz_vst2_chunk: first byte bit 0 = program, bit 1 = test plug-in.
plug_state = struct.pack("<3d", 1.0, -6.0, 2.5)
write("fuzz_vst2_chunk", "meter_program", b"\x01" + HEADER + meter_state())
write("fuzz_vst2_chunk", "meter_program_plain", b"\x01" + meter_state(2500.0))
write("fuzz_vst2_chunk", "meter_bank", b"\x00" + HEADER + preset("-", meter_state()))
write("fuzz_vst2_chunk", "plug_program", b"\x03" + HEADER + plug_state)
write("fuzz_vst2_chunk", "plug_bank", b"\x02" + HEADER + preset("first", plug_state) + preset("Empty", plug_state))

# fuzz_vst2_dispatch: first byte bit 0 = test plug-in; then calls. A dispatch is
# [0, opcode, index, value, opt selector, opt byte, null selector, opcode's own bytes...].
def dispatch(op, idx=2, value=2, extra=b""):
    return bytes([0, op, idx, value, 0, 48, 200]) + extra


def process(form, frames=3, missing=0):
    return bytes([4, form, frames, missing])


def process_double(frames=3, missing=0):
    return bytes([5, frames, missing])


chunk = HEADER + meter_state()
write("fuzz_vst2_dispatch", "meter_session",
      dispatch(12, value=3) + process(0) + process_double() + dispatch(23, idx=2)
      + dispatch(24, idx=3, extra=bytes([len(chunk)]) + chunk) + process(1, missing=0x13)
      + bytes([2, 5]) + struct.pack(">f", 0.25) + bytes([3, 5]) + dispatch(12, value=2))
write("fuzz_vst2_dispatch", "plug_events",
      b"\x01" + dispatch(25, extra=bytes([19, 0x90, 60, 100, 3, 0xF0, 0x42, 0xF7, 2, 1]))
      + dispatch(13) + dispatch(14) + dispatch(15) + process(0, missing=0x3F))
write("fuzz_vst2_dispatch", "plug_text",
      b"\x01" + dispatch(27, idx=2, extra=b"\x02on") + dispatch(51, extra=b"\x12receiveVstTimeInfo")
      + dispatch(42, extra=bytes([3, 2, 1])) + dispatch(69, extra=b"\x01") + dispatch(33, idx=3)
      + dispatch(66, extra=bytes([62])) + dispatch(4, extra=b"\x05hello"))
