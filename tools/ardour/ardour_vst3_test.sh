#!/bin/bash
# The VST 3 bundle in a real host: Ardour 7, headless. Scans the bundle, builds a session with
# the meter on a bus playing a 1 kHz tone, sets Volume, exports, saves; then changes the test
# frequency inside the saved plug-in state (it is state, not a parameter, so only the plug-in's
# own state calls can carry it) and garbles Ardour's own copies of the parameter values,
# reloads (Volume must come back from the state), sets a new Volume, exports and saves again,
# and checks that the re-saved state holds the frequency and the new Volume.
#   ardour_vst3_test.sh <path/VeldramixMeter.vst3>
# Without Ardour the test is skipped (exit 77), except under CI=true, where it fails.
set -u
HERE=$(cd "$(dirname "$0")" && pwd)
BUNDLE=$(realpath "$1")

VX_ARDOUR_DIR=$HERE
. "$HERE/ardour_common.sh"
vx_ardour_require ardour-vst3-scanner
vx_ardour_workspace vst3
mkdir -p "$W/vst3"
cp -r "$BUNDLE" "$W/vst3/"
# A scan cache counts only when the module is strictly older than the cache file.
find "$W/vst3" -type f -exec touch -d 2000-01-01 {} +
export VST3_PATH=$W/vst3

# The scanner exits 0 even when it fails: judge by its cache file.
LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 120 /usr/lib/ardour7/ardour-vst3-scanner -f "$W/vst3/$(basename "$BUNDLE")" \
  >"$W/scan.log" 2>&1
cache=$(ls "$HOME/.cache/ardour7/vst/"*.v3i 2>/dev/null | head -1)
[ -n "$cache" ] || vx_fail "no VST 3 scan cache written"
grep -q 'name="Veldramix THD Meter"' "$cache" || vx_fail "scan cache does not list the meter"
grep -q 'F2AEE70D00DE4F4E56656C645448444D' "$cache" || vx_fail "scan cache lacks the class id"
echo "ok   scanned: $(basename "$cache")"

sox -n -r 48000 -c 2 -b 32 -e floating-point "$W/in.wav" synth 2 sine 1000 vol 0.5

S=$W/session
vx_ardour_step "$W/create.log" 'rm -rf "$S"' create VST3 "$S" vx "$W/in.wav" "$W/out1.wav" Volume=0.25 || vx_fail "create session"
grep -q '^OK create' "$W/create.log" || vx_fail "create session did not finish"
grep '^PLUGIN\|^PARAM' "$W/create.log"
# Not measuring, the meter writes silence: a silent export shows the tone went through it.
[ "$(vx_frames "$W/out1.wav")" = "$(vx_frames "$W/in.wav")" ] || vx_fail "export length"
[ "$(vx_peak "$W/out1.wav")" = "0.000000" ] || vx_fail "export not silent: peak $(vx_peak "$W/out1.wav")"
echo "ok   session created, exported through the meter (silent while not measuring), saved"

# The saved chunk: "VST3", version, class id (32 characters), list offset, then the component
# state (88 bytes, the frequency first) and the controller state (the same plus 4 bytes).
# Before the reload the frequency in both is set to 1234 Hz (it is state, not a parameter, so it
# lives nowhere else), and Ardour's own copies of the parameter values (<Port> and
# <Controllable>) are garbled to 0.123: only the meter's state can bring Volume 0.25 back.
python3 - "$S/vx.ardour" 1234.0 0.123 <<'PY' || vx_fail "plug-in state not found in the session"
import base64, re, struct, sys
path, freq, garbled = sys.argv[1], float(sys.argv[2]), sys.argv[3]
text = open(path).read()
p = re.search(r'<Processor [^>]*name="Veldramix THD Meter"[^>]*type="vst3".*?</Processor>', text, re.S)
block = p.group(0)
m = re.search(r'(<chunk>)([^<]*)(</chunk>)', block)
data = bytearray(base64.b64decode(m.group(2)))
assert data[:4] == b"VST3" and struct.unpack_from("<d", data, 48)[0] == 300.0, "unexpected chunk"
struct.pack_into("<d", data, 48, freq)        # component state
struct.pack_into("<d", data, 48 + 88, freq)   # controller state
block = block[:m.start(2)] + base64.b64encode(bytes(data)).decode() + block[m.end(2):]
block, ports = re.subn(r'(<Port id="[0-9]+" value=")[^"]*"', r'\g<1>%s"' % garbled, block)
block, controls = re.subn(r'(<Controllable [^>]*value=")[^"]*("[^>]*parameter=")', r"\g<1>%s\2" % garbled, block)
assert ports >= 10 and controls >= 10, "Ardour's parameter copies not found (%d ports, %d controls)" % (ports, controls)
open(path, "w").write(text[:p.start()] + block + text[p.end():])
PY
echo "ok   frequency in the saved plug-in state set to 1234 Hz, Ardour's parameter copies garbled"

# Reload: Volume must read 0.25 (from the meter's state); then Volume is set to 0.75, so the
# state saved afterwards can only be the reloaded meter's own answer.
cp "$S/vx.ardour" "$W/vx.ardour.tampered"
vx_ardour_step "$W/reload.log" 'cp "$W/vx.ardour.tampered" "$S/vx.ardour"' reload "$S" vx "$W/out2.wav" Volume=0.25 \
  set Volume=0.75 || vx_fail "reload session"
grep -q '^OK reload' "$W/reload.log" || vx_fail "reload did not finish"
grep '^PARAM' "$W/reload.log"
[ "$(vx_peak "$W/out2.wav")" = "0.000000" ] || vx_fail "export after reload not silent"
echo "ok   reloaded: Volume 0.25 restored from the plug-in's state over Ardour's garbled copies"

# Saved again after the reload: the frequency came in through the state only, Volume 0.75 was set
# after the reload, and the two states agree.
python3 - "$S/vx.ardour" <<'PY' || vx_fail "the re-saved state is not the reloaded meter's"
import base64, re, struct, sys
text = open(sys.argv[1]).read()
m = re.search(r'<Processor [^>]*name="Veldramix THD Meter".*?<chunk>([^<]*)</chunk>', text, re.S)
data = base64.b64decode(m.group(1))
comp, cont = struct.unpack_from("<d", data, 48)[0], struct.unpack_from("<d", data, 136)[0]
vcomp, vcont = struct.unpack_from("<d", data, 48 + 32)[0], struct.unpack_from("<d", data, 136 + 32)[0]
print(f"     re-saved state: frequency {comp:g} Hz, Volume {vcomp:g} (component); {cont:g} Hz, Volume {vcont:g} (controller)")
sys.exit(0 if comp == cont == 1234.0 and vcomp == vcont == 0.75 else 1)
PY
echo "ok   re-saved: the 1234 Hz frequency kept through the plug-in's state, and the new Volume 0.75"
echo "PASS"
