# Shared by the Ardour host tests (sourced): the check that Ardour is here, a private
# workspace, Ardour steps that survive Ardour's own crashes, and small sound-file helpers.

# vx_ardour_require <scanner>: Ardour 7's Lua interpreter, the named plug-in scanner and sox.
# Without them the test is skipped (exit 77), except under CI=true, where it fails.
vx_ardour_require() {
  if command -v ardour7-lua >/dev/null && command -v sox >/dev/null && [ -x "/usr/lib/ardour7/$1" ]; then
    return 0
  fi
  if [ "${CI:-}" = true ]; then
    echo "FAIL: Ardour 7 (ardour7-lua, $1) or sox missing; scripts/setup.sh installs them"
    exit 1
  fi
  echo "SKIP: Ardour 7 or sox not installed (bash scripts/setup.sh installs them)"
  exit 77
}

# vx_ardour_workspace <tag>: W, a private folder removed on exit, with HOME inside it, so that
# Ardour's configuration and scan cache (and the meter's documents folder) stay private; the
# test player script and the float WAV export preset installed there.
vx_ardour_workspace() {
  W=$(mktemp -d "/tmp/vx-ardour-$1.XXXXXX")
  trap 'rm -rf "$W"' EXIT
  export HOME=$W/home
  mkdir -p "$HOME/.config/ardour7/scripts" "$HOME/.config/ardour7/export"
  cp "$VX_ARDOUR_DIR/ardour_player.lua" "$HOME/.config/ardour7/scripts/"
  cp "$VX_ARDOUR_DIR/ardour_float.format" "$VX_ARDOUR_DIR/ardour_float.preset" "$HOME/.config/ardour7/export/"
}

# Ardour 7.3 (Debian 12) itself dies now and then with a corrupted heap, in export or session
# save ("double free or corruption" in its export graph teardown), also with its own plug-ins
# or none. A step that died by a signal is therefore run again, up to six times; a step that
# fails its own checks is never repeated.
# vx_ardour_step <log> <command that resets the step's inputs before each attempt> <lua args...>
vx_ardour_step() {
  local log=$1 reset=$2 attempt rc
  shift 2
  for attempt in 1 2 3 4 5 6; do
    eval "$reset"
    rc=0
    timeout 300 ardour7-lua "$VX_ARDOUR_DIR/ardour_session.lua" "$@" >"$log" 2>&1 || rc=$?
    [ $rc -ge 128 ] && [ $rc != 255 ] && [ $rc != 137 ] || return $rc
    echo "note: Ardour died by signal $((rc - 128)) (attempt $attempt): $(grep -E 'free|corrupt|malloc' "$log" | head -1)"
  done
  return $rc
}

vx_fail() {
  echo "FAIL: $*"
  for f in "$W"/*.log; do [ -f "$f" ] && { echo "---- $(basename "$f")"; tail -n 20 "$f"; }; done
  exit 1
}

vx_peak() { sox "$1" -n stat 2>&1 | awk '/^Maximum amplitude/{print $3}'; }
vx_frames() { soxi -s "$1" 2>/dev/null; }
