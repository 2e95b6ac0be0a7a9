#!/usr/bin/env bash
# The window's live frame at 450 x 450 (software GL under Xvfb) with one
# sample and with four: the demo project, the box turned before each frame,
# the frame drawn and finished by the GL. Prints the medians of each run and
# the median of the runs' ratios (4 samples / 1 sample).
#   bench/live-samples.sh [BUILD_DIR] [RUNS]   (default build, the dev preset; 5 runs)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
runs="${2:-5}"
# shellcheck source=bench/lib.sh
. bench/lib.sh
bench_window_setup "$build" window_frame demo
project="$build/examples/demo/demo.pcf"
results="$(mktemp)"
for _ in $(seq "$runs"); do
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bench/window_frame" "$project" 60 >>"$results"
done
echo "command: xvfb-run -a $build/bench/window_frame $project 60   ($runs runs)"
awk "$BENCH_AWK_MEDIAN"'
  { all[$1] = all[$1] " " $2 }
  END {
    printf "%-30s %8.2f ms\n", "frame, 1 sample (median)", median("frame_ms_1")
    printf "%-30s %8.2f ms\n", "frame, 4 samples (median)", median("frame_ms_4")
    printf "%-30s %8.2f    (runs: %s)\n", "ratio 4 / 1 (median)", median("ratio"), all["ratio"]
  }' "$results"
rm -f "$results"
