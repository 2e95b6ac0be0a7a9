#!/usr/bin/env bash
# The product shapes' cost per frame at 1800 x 1800 (software GL), all in one
# run: the demo project drawn as the classic block and with every shape on
# (rounded edges at the largest radius; with --book-pages, the hard-cover
# book kind in every variant, its pages as the shape),
# with the looks off and with shadow, reflection and light on. "frame" is
# the draw and read-back phases.
# Prints the ratios against the 1.5x target.
#   bench/shape-frame.sh [RUNS] [--book-pages]    (default 7)
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-7}"
shift || true
cmake --preset bench >/dev/null
cmake --build build-bench -j2 --target shape_frame make_demo >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
./build-bench/examples/make_demo "$work" >/dev/null
echo "command: bench/shape-frame.sh $runs $*  (demo.pcf, picture 1800 x 1800)"
env -u DISPLAY ./build-bench/bench/shape_frame "$work/demo.pcf" 1800x1800 "$runs" "$@"
