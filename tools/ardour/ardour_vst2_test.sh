#!/usr/bin/env bash
# VeldramixMeter.so in a real host: headless Ardour 7 scans it as a Linux VST (LXVST), inserts
# it on a stereo bus, plays a tone through it, exports, saves the session and reloads it.
#
# Before the reload the session file is edited the way only the plug-in's own state code can
# undo: the test frequency inside the plug-in's chunk is set to 1234.5 Hz (it is no parameter,
# so it lives nowhere else), and Ardour's own copies of the parameter values are garbled. The
# reloaded meter must report the parameters it was given and, asked for its state again, the
# new frequency. Both exports must be silent: the meter writes silence while it is not
# measuring, so a pass-through of the tone would mean the plug-in did not process.
#
#   ardour_vst2_test.sh <VeldramixMeter.so>
#
# Without Ardour (ardour7-lua) or sox the test is skipped (exit 77), except in CI (CI=true),
# where a missing host is a failure.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
[ $# -eq 1 ] || { echo "usage: $0 <VeldramixMeter.so>" >&2; exit 2; }
SO=$(realpath "$1")
NAME="Veldramix THD Meter"

VX_ARDOUR_DIR=$HERE
. "$HERE/ardour_common.sh"
vx_ardour_require ardour-vst-scanner
vx_ardour_workspace vst2
mkdir -p "$W/lxvst"
cp "$SO" "$W/lxvst/VeldramixMeter.so"
# Ardour trusts a scan cache entry only when the module is older than the cache file.
touch -d 2000-01-01 "$W/lxvst/VeldramixMeter.so"
export LXVST_PATH=$W/lxvst

# 1. Scan. The scanner exits 0 even on failure; its cache file is the verdict.
LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 120 /usr/lib/ardour7/ardour-vst-scanner -f "$W/lxvst/VeldramixMeter.so" \
  >"$W/scan.log" 2>&1 || vx_fail "scanner did not finish"
cache=$(ls "$HOME"/.cache/ardour7/vst/*.v2i 2>/dev/null | head -1)
[ -n "$cache" ] || vx_fail "no LXVST scan cache entry"
grep -q "name=\"$NAME\"" "$cache" || vx_fail "scan cache does not name the plug-in"
grep -q 'n_inputs="2" n_outputs="2"' "$cache" || vx_fail "scan cache: wrong channel counts"
echo "ok   scanned as LXVST"

sox -n -r 48000 -c 2 -b 32 -e floating-point "$W/in.wav" synth 1 sine 1000 vol 0.5

# Output 1 = right, Input 0 = left, Denoising 0.5 = 2 minutes, Volume 0.8 = -4 dB (normalised).
PARAMS=(0=1 1=0 2=0.5 3=0.8)
S=$W/session
vx_ardour_step "$W/create.log" 'rm -rf "$S"' create LXVST "$S" vst2test "$W/in.wav" "$W/out-1.wav" "${PARAMS[@]}" || vx_fail "create session"
grep -q "PLUGIN name=$NAME type=VST2" "$W/create.log" || vx_fail "plug-in not inserted as VST2"
echo "ok   inserted, parameters set, exported, saved"

[ "$(vx_peak "$W/out-1.wav")" = 0.000000 ] || vx_fail "first export not silent (peak $(vx_peak "$W/out-1.wav"))"

state=$(python3 "$HERE/vst2_session_state.py" read "$S/vst2test.ardour")
[ "$state" = "frequency=300 params=1,0,0.5,0.8,0,0,0,0,0,0" ] || vx_fail "saved state: $state"
echo "ok   saved chunk: $state"

python3 "$HERE/vst2_session_state.py" set-frequency "$S/vst2test.ardour" 1234.5
python3 "$HERE/vst2_session_state.py" garble "$S/vst2test.ardour" 0.123
grep -q 'value="0.123" parameter="3"' "$S/vst2test.ardour" || vx_fail "garbling the session's parameter copies"

cp "$S/vst2test.ardour" "$W/before-reload.ardour"
vx_ardour_step "$W/reload.log" 'cp "$W/before-reload.ardour" "$S/vst2test.ardour"' reload "$S" vst2test "$W/out-2.wav" \
  "${PARAMS[@]}" || vx_fail "reload session"
echo "ok   reloaded: parameters restored from the chunk"
[ "$(vx_peak "$W/out-2.wav")" = 0.000000 ] || vx_fail "second export not silent"

state=$(python3 "$HERE/vst2_session_state.py" read "$S/vst2test.ardour")
[ "$state" = "frequency=1234.5 params=1,0,0.5,0.8,0,0,0,0,0,0" ] || vx_fail "state after reload: $state"
echo "ok   reloaded meter gives back: $state"
echo "PASS"
