#!/usr/bin/env bash
# Runs a command (usually ctest over the Windows build) inside a private Xvfb display with a
# warm Wine server, e.g.
#   bash scripts/wine-run.sh ctest --test-dir build/windows --output-on-failure
#   bash scripts/wine-run.sh /usr/lib/wine/wine64 build/windows/src/util/util_tests.exe
# The Wine prefix must exist (scripts/setup.sh makes it).
set -euo pipefail
. "$(dirname "$0")/common.sh"

[ $# -gt 0 ] || { sed -n '2,6p' "$0"; exit 2; }
[ -f "$WINEPREFIX/.vx-ready" ] || vx_die "no Wine prefix at $WINEPREFIX; run 'bash scripts/setup.sh' first"

if [ -z "${VX_IN_XVFB:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" env VX_IN_XVFB=1 bash "$0" "$@"
fi

# A persistent server: each Wine process then starts in ~0.1 s instead of ~1 s. It outlives
# this script if the script is killed, so it must not hold on to our stdout: a caller reading
# that through a pipe would wait for it forever.
"$VX_WINESERVER" -p </dev/null >/dev/null 2>&1
trap '"$VX_WINESERVER" -k 2>/dev/null; exit 124' TERM INT
# Start Wine's helper processes (services, explorer, ...) with /dev/null as stdio. If the first
# Wine process were a test, the helpers would inherit ctest's output pipe and ctest would wait
# on it long after the test ended.
"$VX_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
rc=0
"$@" || rc=$?
"$VX_WINESERVER" -k 2>/dev/null || true
exit $rc
