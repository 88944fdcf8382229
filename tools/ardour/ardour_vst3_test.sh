#!/bin/bash
# The VST 3 bundle in a real host: Ardour 7, headless. Scans the bundle, builds a session with
# the meter on a bus playing a 1 kHz tone, sets Volume, exports, saves; then changes the test
# frequency inside the saved plug-in state (it is state, not a parameter, so only the plug-in's
# own state calls can carry it), reloads, exports and saves again, and checks that the
# frequency and Volume survived.
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
python3 - "$S/vx.ardour" 1234.0 <<'PY' || vx_fail "plug-in state not found in the session"
import base64, re, struct, sys
path, freq = sys.argv[1], float(sys.argv[2])
text = open(path).read()
m = re.search(r'(<Processor[^>]*name="Veldramix THD Meter".*?<chunk>)([^<]*)(</chunk>)', text, re.S)
data = bytearray(base64.b64decode(m.group(2)))
assert data[:4] == b"VST3" and struct.unpack_from("<d", data, 48)[0] == 300.0, "unexpected chunk"
struct.pack_into("<d", data, 48, freq)        # component state
struct.pack_into("<d", data, 48 + 88, freq)   # controller state
text = text[:m.start(2)] + base64.b64encode(bytes(data)).decode() + text[m.end(2):]
open(path, "w").write(text)
PY
echo "ok   frequency in the saved plug-in state set to 1234 Hz"

cp "$S/vx.ardour" "$W/vx.ardour.tampered"
vx_ardour_step "$W/reload.log" 'cp "$W/vx.ardour.tampered" "$S/vx.ardour"' reload "$S" vx "$W/out2.wav" Volume=0.25 || vx_fail "reload session"
grep -q '^OK reload' "$W/reload.log" || vx_fail "reload did not finish"
grep '^PARAM' "$W/reload.log"
[ "$(vx_peak "$W/out2.wav")" = "0.000000" ] || vx_fail "export after reload not silent"

# Saved again after the reload: the state now comes from the reloaded meter's own calls.
python3 - "$S/vx.ardour" <<'PY' || vx_fail "frequency lost across save and reload"
import base64, re, struct, sys
text = open(sys.argv[1]).read()
m = re.search(r'<Processor[^>]*name="Veldramix THD Meter".*?<chunk>([^<]*)</chunk>', text, re.S)
data = base64.b64decode(m.group(1))
comp, cont = struct.unpack_from("<d", data, 48)[0], struct.unpack_from("<d", data, 136)[0]
print(f"     re-saved state: frequency {comp:g} Hz (component), {cont:g} Hz (controller)")
vol = struct.unpack_from("<d", data, 48 + 8 + 3 * 8)[0]
print(f"     re-saved state: Volume {vol:g}")
sys.exit(0 if comp == 1234.0 and cont == 1234.0 and vol == 0.25 else 1)
PY
echo "ok   reloaded: Volume and the 1234 Hz frequency kept through the plug-in's state"
echo "PASS"
