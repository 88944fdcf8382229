#!/usr/bin/env bash
# Runs a command on a private Xvfb display with a 24-bit screen (pixel read-back in the GNUstep
# tests needs true colour; xvfb-run's default screen has 8 bits).
#
#   bash scripts/xvfb-run.sh COMMAND [ARGS...]
set -euo pipefail
exec xvfb-run -a -s "-screen 0 1024x768x24" "$@"
