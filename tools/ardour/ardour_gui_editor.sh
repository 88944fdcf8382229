#!/bin/bash
# The meter's editor in Ardour 7's GUI (ardour7), under a private Xvfb: a session with the meter
# on a track, the mixer shown, the plug-in's window opened by a double click on the meter in the
# track's strip (as a user opens it), then Start, a typed frequency and the about box clicked in
# the editor. Ardour has no scripting interface for its GUI, so the steps go through the X
# server (xdotool) at the places Ardour 7.3 puts things on a 1600 x 1000 screen. Not part of
# ctest: it takes a minute, and the places are Ardour's, not the project's.
#
#   tools/ardour/ardour_gui_editor.sh <VST3|LXVST> <VeldramixMeter.vst3 | VeldramixMeter.so> [OUT_DIR]
#
# Writes screenshots to OUT_DIR (default ./ardour-gui): ardour-mixer.png, ardour-editor.png (the
# plug-in window over Ardour's mixer), editor-open.png,
# editor-progress-1.png and -2.png (one second apart), editor-typed.png, editor-about.png,
# and exits non-zero when a step fails (no plug-in window, no progress, Ardour crashed).
set -u
HERE=$(cd "$(dirname "$0")" && pwd)
FORMAT=${1:-}
MODULE=$(realpath "${2:-/nonexistent}" 2>/dev/null || true)
OUT=$(realpath -m "${3:-ardour-gui}")
[ "$FORMAT" = VST3 ] || [ "$FORMAT" = LXVST ] || { sed -n '9,10p' "$0"; exit 2; }
[ -e "$MODULE" ] || { echo "no module $2"; exit 2; }
for tool in ardour ardour7-lua Xvfb xdotool xwininfo xwd; do
  command -v $tool >/dev/null || { echo "needs $tool (apt-get install ardour xvfb xdotool x11-utils x11-apps)"; exit 2; }
done
CONVERT=/usr/bin/convert
mkdir -p "$OUT"

W=$(mktemp -d /tmp/vx-ardour-gui.XXXXXX)
export HOME=$W/home
mkdir -p "$HOME/.config/ardour7" "$HOME/.local/share" "$W/plugins"
# No first-run wizard; the dummy audio backend (no sound card here), started without asking.
touch "$HOME/.config/ardour7/.a7"
cat >"$HOME/.config/ardour7/config" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="hide-dummy-backend" value="0"/>
    <Option name="try-autostart-engine" value="1"/>
  </Config>
  <Extra>
    <AudioMIDISetup>
      <EngineStates>
        <State backend="None (Dummy)" driver="Normal Speed" device="Silence" input-device="" output-device=""
               sample-rate="48000" buffer-size="1024" n-periods="0" input-latency="0" output-latency="0"
               lm-input="" lm-output="" active="1" use-buffered-io="0" midi-option="1 in, 1 out, Silence" lru="1"/>
      </EngineStates>
    </AudioMIDISetup>
  </Extra>
</Ardour>
EOF
cp -r "$MODULE" "$W/plugins/"
find "$W/plugins" -type f -exec touch -d 2000-01-01 {} +
if [ "$FORMAT" = VST3 ]; then
  export VST3_PATH=$W/plugins
  LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst3-scanner -f "$W/plugins/$(basename "$MODULE")" >"$W/scan.log" 2>&1
else
  export LXVST_PATH=$W/plugins
  LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst-scanner -f "$W/plugins/$(basename "$MODULE")" >"$W/scan.log" 2>&1
fi

# The plug-in window's title begins with the track's name (xdotool takes it as a pattern).
TITLE='^Meter: Veldramix THD Meter'

# The session: one stereo track with the meter (Ardour 7.3 sometimes dies at exit: try again).
cat >"$W/make.lua" <<'EOF'
local be = AudioEngine:set_backend ("None (Dummy)", "", "")
be:set_device_name ("Silence")
be:set_sample_rate (48000)
be:set_buffer_size (1024)
assert (AudioEngine:start (false) == 0)
local s = assert (create_session (arg[1], "vx", 48000))
local r = s:new_audio_track (2, 2, nil, 1, "Meter", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front ()
local fx = ARDOUR.LuaAPI.new_plugin (s, "Veldramix THD Meter", ARDOUR.PluginType[arg[2]], "")
assert (not fx:isnil (), "plug-in not found")
assert (r:add_processor_by_index (fx, 0, nil, true) == 0)
assert (s:save_state ("", false, false, false, false, false) == 0)
close_session ()
print ("OK")
EOF
for attempt in 1 2 3 4; do
  rm -rf "$W/session"
  timeout 120 ardour7-lua "$W/make.lua" "$W/session" "$FORMAT" >"$W/make.log" 2>&1
  grep -q '^OK' "$W/make.log" && break
done
grep -q '^OK' "$W/make.log" || { echo "FAIL: no session"; tail "$W/make.log"; exit 1; }

mkfifo "$W/display"
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp -noreset 3>"$W/display" 2>/dev/null &
XVFB=$!
read -r -t 30 number <"$W/display" || { echo "FAIL: no Xvfb"; exit 1; }
export DISPLAY=:$number
ardour -n "$W/session/vx.ardour" >"$W/ardour.log" 2>&1 &
ARDOUR=$!
cleanup() { kill $ARDOUR 2>/dev/null; sleep 1; kill -9 $ARDOUR 2>/dev/null; kill $XVFB 2>/dev/null; rm -rf "$W"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; xwd -root -silent | $CONVERT xwd:- "$OUT/failure.png"; tail -5 "$W/ardour.log"; exit 1; }
shot() { xwd -root -silent | $CONVERT xwd:- ${2:+-crop $2} "$OUT/$1.png"; }
visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }

# The main window; dialogs on the way (a changed engine device) are answered with Return.
for i in $(seq 90); do
  [ -n "$(visible '^vx - Ardour')" ] && break
  [ -n "$(visible 'Audio/MIDI Setup')" ] && fail "Ardour asks for an audio backend"
  xdotool key Return 2>/dev/null
  sleep 1
done
[ -n "$(visible '^vx - Ardour')" ] || fail "no Ardour main window"
sleep 3
xdotool key Return
xdotool key alt+m  # the mixer
sleep 3
shot ardour-mixer
# The meter in the track's strip: a double click opens its window.
xdotool mousemove 337 206 click --repeat 2 --delay 80 1
for i in $(seq 20); do [ -n "$(visible "$TITLE")" ] && break; sleep 0.5; done
PLUGIN=$(visible "$TITLE")
[ -n "$PLUGIN" ] || fail "no plug-in window"
sleep 2
# The editor's window: the innermost window of the plug-in window, 310 pixels high.
read -r EX EY < <(xwininfo -id "$PLUGIN" -tree | awk '/x310\+/ {split($NF, a, "+"); x = a[2]; y = a[3]} END {print x, y}')
[ -n "${EX:-}" ] || fail "no editor window in the plug-in window"
echo "ok   plug-in window $PLUGIN, editor at $EX,$EY"
area="420x360+$((EX - 10))+$((EY - 50))"
shot editor-open "$area"
shot ardour-editor "760x460+0+0"
click() { xdotool mousemove $((EX + $1)) $((EY + $2)) click 1; sleep "${3:-1}"; }
click 60 180 2.5
shot editor-progress-1 "$area"
sleep 1
shot editor-progress-2 "$area"
cmp -s "$OUT/editor-progress-1.png" "$OUT/editor-progress-2.png" && fail "no progress from one second to the next"
echo "ok   Start shows progress every second"
sleep 11
click 140 82 0.5
xdotool type --delay 80 1000
sleep 0.5
shot editor-typed "$area"
xdotool key Return
sleep 1
click 160 290
shot editor-about "$area"
click 120 190
xdotool key ctrl+q
sleep 3
xdotool key Tab Tab Return 2>/dev/null  # "Just quit"
for i in $(seq 20); do kill -0 $ARDOUR 2>/dev/null || break; sleep 0.5; done
if kill -0 $ARDOUR 2>/dev/null; then
  echo "note: Ardour still running after quit; stopped"
else
  wait $ARDOUR
  rc=$?
  [ $rc -lt 128 ] || fail "Ardour died by signal $((rc - 128)) at quit"
fi
echo "OK: screenshots in $OUT"
