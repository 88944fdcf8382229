#!/usr/bin/env python3
"""Reads and edits the THD meter's state inside an Ardour session file (used by
ardour_vst2_test.sh).

Ardour keeps a VST 2 plug-in's state as the bank chunk the plug-in gave it, base64 in a
<chunk> element, and its own copy of every parameter value in <Controllable> elements.

  vst2_session_state.py read FILE              prints "frequency=F params=v0,v1,..."
  vst2_session_state.py set-frequency FILE HZ  rewrites the frequency inside the chunk
  vst2_session_state.py garble FILE VALUE      sets Ardour's own parameter copies to VALUE
                                               and drops its port values, so that only the
                                               plug-in's chunk can bring the settings back
"""
import base64
import re
import struct
import sys

PLUGIN = "Veldramix THD Meter"
MAGIC = 0x70666674


def processor_span(text):
    m = re.search(r'<Processor [^>]*name="%s"[^>]*type="lxvst".*?</Processor>' % re.escape(PLUGIN), text, re.S)
    if not m:
        sys.exit("no %s processor in the session" % PLUGIN)
    return m.start(), m.end()


def chunk_match(block):
    m = re.search(r'(<chunk[^>]*>)([A-Za-z0-9+/=\s]*)(</chunk>)', block)
    if not m:
        sys.exit("no chunk in the plug-in's state")
    return m


def state_offset(raw):
    """Offset of the current preset's 88-byte state inside a bank chunk of one preset."""
    magic, version = struct.unpack_from("<ii", raw, 0)
    if magic != MAGIC or version != 0x00010000:
        sys.exit("chunk without the framework header")
    (name_len,) = struct.unpack_from("<i", raw, 8)
    flag_at = 12 + name_len
    if raw[flag_at] != 1:
        sys.exit("the preset in the chunk is not initialised")
    off = flag_at + 1
    if len(raw) != off + 88:
        sys.exit("unexpected chunk length %d" % len(raw))
    return off


def main():
    mode, path = sys.argv[1], sys.argv[2]
    text = open(path, encoding="utf-8").read()
    start, end = processor_span(text)
    block = text[start:end]
    m = chunk_match(block)
    raw = bytearray(base64.b64decode(m.group(2)))
    off = state_offset(raw)
    if mode == "read":
        values = struct.unpack_from("<11d", raw, off)
        print("frequency=%g params=%s" % (values[0], ",".join("%g" % v for v in values[1:])))
        return
    if mode == "set-frequency":
        struct.pack_into("<d", raw, off, float(sys.argv[3]))
        block = block[:m.start(2)] + base64.b64encode(bytes(raw)).decode() + block[m.end(2):]
    elif mode == "garble":
        value = sys.argv[3]
        block = re.sub(r'(<Controllable [^>]*value=")[^"]*("[^>]*parameter=")', r"\g<1>%s\2" % value, block)
        block = re.sub(r'^\s*<Port id=.*\n', "", block, flags=re.M)
    else:
        sys.exit("unknown mode " + mode)
    open(path, "w", encoding="utf-8").write(text[:start] + block + text[end:])


if __name__ == "__main__":
    main()
