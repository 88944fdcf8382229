#!/usr/bin/env bash
# Runs a command on a private Xvfb server with a 24-bit screen (pixel read-back in the X11 and
# GNUstep tests needs true colour; xvfb-run's default screen has 8 bits). The server chooses a
# free display number itself (-displayfd), so that runs side by side never take the same one,
# and goes when the command ends. The command's exit status is the script's.
#
#   bash scripts/xvfb-run.sh COMMAND [ARGS...]
set -uo pipefail
[ $# -gt 0 ] || { echo "usage: xvfb-run.sh COMMAND [ARGS...]" >&2; exit 2; }
command -v Xvfb >/dev/null || { echo "xvfb-run.sh: Xvfb is not installed" >&2; exit 2; }

dir=$(mktemp -d)
mkfifo "$dir/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$dir/display" 2>"$dir/xvfb.log" &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$dir"' EXIT
if ! read -r -t 30 number <"$dir/display"; then
  echo "xvfb-run.sh: Xvfb did not start:" >&2
  cat "$dir/xvfb.log" >&2
  exit 2
fi
export DISPLAY=:$number
"$@"
