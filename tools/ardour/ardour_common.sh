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
# or none. The plug-in crashing inside Ardour is a death by a signal too, and must fail the
# test. So Ardour runs with a library preloaded (VX_ARDOUR_CRASH_TRACE, set by ctest:
# CrashTrace.cpp) that writes the stack of a fatal signal to the step's log, and a step that
# died is tried again only when that stack is there and none of its frames is in the plug-in's
# module: at most twice, each retry announced with a "RETRY:" line in the test's output. A
# crash without a stack (no library, or a death it cannot see) or one that passes through the
# plug-in ends the step with its status; a step that fails its own checks is never repeated.
# vx_ardour_step <log> <command that resets the step's inputs before each attempt> <lua args...>
vx_ardour_step() {
  local log=$1 reset=$2 attempt rc why
  shift 2
  for attempt in 1 2 3; do
    eval "$reset"
    rc=0
    timeout 300 env LD_PRELOAD="${VX_ARDOUR_CRASH_TRACE:-}" ardour7-lua "$VX_ARDOUR_DIR/ardour_session.lua" "$@" >"$log" 2>&1 \
      || rc=$?
    # 124: timed out; 125-127: timeout or the shell could not run Ardour; 128+n: signal n.
    [ $rc -gt 128 ] && [ $rc -lt 160 ] || return $rc
    cp "$log" "${log%.log}.attempt$attempt.log"
    if ! why=$(vx_ardour_crash_is_ardours "$log"); then
      echo "Ardour's process died by signal $((rc - 128)) in step $(basename "$log" .log), attempt $attempt: $why; not tried again"
      return $rc
    fi
    if [ $attempt = 3 ]; then
      echo "Ardour died by signal $((rc - 128)) in step $(basename "$log" .log) a third time ($why); giving up"
      return $rc
    fi
    echo "RETRY: Ardour died by signal $((rc - 128)) in step $(basename "$log" .log), attempt $attempt, in its own code ($why)"
  done
}

# vx_ardour_crash_is_ardours <log>: succeeds when the log holds a crash stack (CrashTrace.cpp)
# none of whose frames is in the plug-in (VeldramixMeter.so); prints what it found either way.
vx_ardour_crash_is_ardours() {
  local trace
  trace=$(sed -n '/^vx-crash-trace: signal/,/^vx-crash-trace: end/p' "$1" | grep -v '^vx-crash-trace:')
  if [ -z "$trace" ]; then
    [ -n "${VX_ARDOUR_CRASH_TRACE:-}" ] && echo "no stack in the log" || echo "no stack (VX_ARDOUR_CRASH_TRACE unset)"
    return 1
  fi
  if grep -q 'VeldramixMeter' <<<"$trace"; then
    echo "the stack runs through the plug-in: $(grep -m1 'VeldramixMeter' <<<"$trace")"
    return 1
  fi
  echo "top of the stack: $(grep -v -e 'CrashTrace\|vx_ardour_crash_trace' -e 'libc\.so' <<<"$trace" | head -1)"
}

vx_fail() {
  echo "FAIL: $*"
  for f in "$W"/*.log; do [ -f "$f" ] && { echo "---- $(basename "$f")"; tail -n 20 "$f"; }; done
  exit 1
}

vx_peak() { sox "$1" -n stat 2>&1 | awk '/^Maximum amplitude/{print $3}'; }
vx_frames() { soxi -s "$1" 2>/dev/null; }
