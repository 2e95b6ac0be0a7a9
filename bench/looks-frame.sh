#!/usr/bin/env bash
# The studio looks' cost per frame at 1800 x 1800 (software GL), all in one
# run: the demo project with three 4000 x 3000 covers rendered with every
# look off and with shadow, reflection, light and smooth textures on, at the
# same sample count (1 and 4), and the anti-aliasing cost of 16 samples.
# "frame" is the draw and read-back phases; "covers" includes making the
# smooth textures' levels. Prints the ratios against the 3x target.
#   bench/looks-frame.sh [RUNS]      (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-5}"
cmake --preset bench >/dev/null
cmake --build build-bench -j2 --target looks_frame make_demo >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
./build-bench/examples/make_demo "$work" --size 4000x3000 >/dev/null
echo "command: bench/looks-frame.sh $runs  (demo.pcf, covers 4000 x 3000, picture 1800 x 1800)"
env -u DISPLAY ./build-bench/bench/looks_frame "$work/demo.pcf" 1800x1800 "$runs"
