#!/usr/bin/env bash
# The main job: sets up the machine (Linux native part only), builds the measurement tool and
# runs a 13-second THD measurement against a simulated tanh soft-clipper.
#
#   bash scripts/main.sh              the default measurement
#   bash scripts/main.sh ARGS...      the tool with your own options (see --help)
#
# Until the measurement tool (tools/thdmeasure) exists, this prints the plug-in's identity,
# parameters and channel configurations with tools/thdinfo instead.
set -euo pipefail
. "$(dirname "$0")/common.sh"
cd "$VX_ROOT"

# The default measurement: 1 kHz through a soft clipper driven at 2, 12 seconds of averaging
# (a run of 13 seconds of processed audio), and no calibration file, so that the figures do
# not depend on what happens to lie in the user's documents folder.
DEFAULT_ARGS=(--device softclip --drive 2 --freq 1000 --denoising 12 --no-calibration)

bash scripts/setup.sh --native-only
bash scripts/build.sh native --configure-only
dir=$VX_BUILD_ROOT/native
targets=$(ninja -C "$dir" -t targets all | sed 's/:.*//')

if grep -qx thdmeasure <<<"$targets"; then
  bash scripts/build.sh native --target thdmeasure
  tool=$dir/tools/thdmeasure
  if [ $# -gt 0 ]; then
    args=("$@")
  else
    # Keep to the options this build of the tool documents, so the main job still runs while
    # the tool's interface settles; anything dropped is said out loud.
    help=$("$tool" --help 2>&1 || true)
    args=()
    set -- "${DEFAULT_ARGS[@]}"
    while [ $# -gt 0 ]; do
      opt=$1; shift; val=()
      if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then val=("$1"); shift; fi
      if grep -qe "$opt\b" <<<"$help"; then args+=("$opt" "${val[@]}")
      else echo "main.sh: thdmeasure has no $opt option; running without '$opt ${val[*]}'" >&2
      fi
    done
    if grep -qe '--snapshot\b' <<<"$help"; then args+=(--snapshot "$VX_BUILD_ROOT/editor.png"); fi
  fi
  vx_stamp "running: tools/thdmeasure ${args[*]}"
  exec "$tool" "${args[@]}"
elif grep -qx thdinfo <<<"$targets"; then
  bash scripts/build.sh native --target thdinfo
  vx_stamp "running: tools/thdinfo $*"
  exec "$dir/tools/thdinfo" "$@"
else
  vx_die "main.sh: this tree builds neither tools/thdmeasure nor tools/thdinfo"
fi
