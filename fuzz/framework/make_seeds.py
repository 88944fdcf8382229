#!/usr/bin/env python3
"""Writes the seed corpora of fuzz_state and fuzz_presetfile (run from the repository root).

The plug-ins are those of FuzzPlugs.h: the generic one ('Fuzz', version 1.0.0, five
parameters, three presets) and the meter ('THDM', version 1.0.6, ten parameters, one preset).
"""
import os
import struct

HEADER = struct.pack('<ii', 0x70666674, 0x00010000)   # "tffp" and the framework version


def doubles(*v):
    return struct.pack('<%dd' % len(v), *v)


def string(s):
    b = s.encode()
    return struct.pack('<i', len(b)) + b


def name28(s):
    return s.encode()[:27].ljust(28, b'\0')


GENERIC = dict(id=b'Fuzz', version=10000, params=5)
METER = dict(id=b'THDM', version=10006, params=10)
GENERIC_STATE = doubles(-3.0, 1, 5, 2, 2.3)
METER_STATE = doubles(1000, 0, 1, 0.5, 0.5, 0, 0, 0, 0, 0, 0)


def program(plug, name, chunk=None, floats=None):
    head = lambda size, fmt: (b'CcnK' + struct.pack('>I', size) + fmt + struct.pack('>I', 1) + plug['id'] +
                              struct.pack('>II', plug['version'], plug['params']) + name28(name))
    if chunk is not None:
        return head(len(chunk) + 60, b'FPCh') + struct.pack('>I', len(chunk)) + chunk
    return head(0, b'FxCk') + struct.pack('>%df' % len(floats), *floats)


def bank(plug, count, current, chunk=None, programs=b''):
    head = lambda size, fmt: (b'CcnK' + struct.pack('>I', size) + fmt + struct.pack('>I', 2) + plug['id'] +
                              struct.pack('>III', plug['version'], count, current) + bytes(124))
    if chunk is not None:
        return head(len(chunk) + 160, b'FBCh') + struct.pack('>I', len(chunk)) + chunk
    return head(0, b'FxBk') + programs


def write(target, name, data):
    folder = os.path.join('fuzz', 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)


# fuzz_state: selector byte (bit 0 bank, bit 1 generic), then the host's chunk.
write('fuzz_state', 'meter_state_header', b'\x00' + HEADER + METER_STATE)
write('fuzz_state', 'meter_state_plain', b'\x00' + METER_STATE)
write('fuzz_state', 'meter_state_8_bytes', b'\x00' + HEADER + doubles(440))
write('fuzz_state', 'meter_bank', b'\x01' + HEADER + string('-') + b'\x01' + METER_STATE)
write('fuzz_state', 'generic_bank', b'\x03' + HEADER + string('first') + b'\x01' + GENERIC_STATE +
      string('second') + b'\x01' + doubles(12, 0, 7, 0, 0.3) + string('empty') + b'\x00')
write('fuzz_state', 'generic_state', b'\x02' + GENERIC_STATE)

# fuzz_presetfile: selector byte (bit 0 bank; bits 1-2: 0 generic with chunks, 1 generic
# with parameter files, 2 the meter), then the file.
write('fuzz_presetfile', 'generic_chunk.fxp', b'\x00' + program(GENERIC, 'Chunky', chunk=HEADER + GENERIC_STATE))
write('fuzz_presetfile', 'generic_params.fxp', b'\x02' + program(GENERIC, 'Floats', floats=[0.25, 1, 0.5, 1, 0]))
write('fuzz_presetfile', 'generic_chunk.fxb', b'\x01' + bank(GENERIC, 3, 1, chunk=HEADER + string('a') + b'\x01' +
      GENERIC_STATE + string('b') + b'\x01' + GENERIC_STATE + string('c') + b'\x00'))
write('fuzz_presetfile', 'generic_params.fxb', b'\x03' + bank(GENERIC, 2, 1, programs=
      program(GENERIC, 'one', floats=[0, 0, 0, 0, 0]) + program(GENERIC, 'two', floats=[1, 1, 1, 1, 1])))
write('fuzz_presetfile', 'meter.fxp', b'\x04' + program(METER, 'Loop', chunk=HEADER + METER_STATE))
write('fuzz_presetfile', 'meter.fxb', b'\x05' + bank(METER, 1, 0, chunk=HEADER + string('-') + b'\x01' + METER_STATE))
