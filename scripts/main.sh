#!/usr/bin/env bash
# The main job: sets up the machine (Linux native part only), builds the measurement tool and
# runs a 13-second THD measurement against a simulated tanh soft-clipper.
#
#   bash scripts/main.sh              the default measurement
#   bash scripts/main.sh ARGS...      the tool with your own options (see --help)
set -euo pipefail
. "$(dirname "$0")/common.sh"
cd "$VX_ROOT"

# The default measurement: 1 kHz through a soft clipper driven at 2, 12 seconds of averaging
# (a run of 13 seconds of processed audio), and no calibration file, so that the figures do
# not depend on what happens to lie in the user's documents folder.
DEFAULT_ARGS=(--device softclip --drive 2 --freq 1000 --denoising 12 --no-calibration)

bash scripts/setup.sh --native-only
bash scripts/build.sh native --target thdmeasure
tool=$VX_BUILD_ROOT/native/tools/thdmeasure/thdmeasure
if [ $# -gt 0 ]; then
  args=("$@")
else
  # The picture of the editor after the run, as the user sees it.
  args=("${DEFAULT_ARGS[@]}" --snapshot "$VX_BUILD_ROOT/editor.png")
fi
vx_stamp "running: tools/thdmeasure ${args[*]}"
exec "$tool" "${args[@]}"
