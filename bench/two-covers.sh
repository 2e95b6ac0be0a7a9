#!/usr/bin/env bash
# The window turning its box (a new angle every 16 ms) while a second
# 24 MP cover is picked 150 ms after the first, before that one has loaded:
# once into the same slot (the first is overtaken) and once into another.
# Prints the longest gap between two frames and the longest event-loop
# stall of each run, their medians and the worst, against the 100 ms target,
# and first the same figures for turning alone (no pick): the floor the
# machine gives at its load.
#   bench/two-covers.sh [BUILD_DIR] [RUNS]   (default build, the dev preset; 5 runs)
# The 6000 x 4000 covers are painted once and kept in BUILD_DIR/bench/covers.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
runs="${2:-5}"
# shellcheck source=bench/lib.sh
. bench/lib.sh
bench_window_setup "$build" window_cover window_two_covers
covers="$build/bench/covers"
mkdir -p "$covers"
for i in 1 2; do
  if [ ! -s "$covers/c$i.jpg" ]; then
    QT_QPA_PLATFORM=offscreen "$build/bench/window_cover" --make-cover "$covers/c$i.jpg" --size 6000x4000 --seed "$i"
  fi
done
exe="$build/bench/window_two_covers"
xvfb-run -a -s "-screen 0 1280x1024x24" "$exe" "$covers/c1.jpg" "$covers/c2.jpg" >/dev/null # warm-up
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
for mode in none same other; do
  flag=""
  [ "$mode" = other ] && flag="--other-slot"
  [ "$mode" = none ] && flag="--no-picks"
  results="$(mktemp)"
  for _ in $(seq "$runs"); do
    xvfb-run -a -s "-screen 0 1280x1024x24" "$exe" "$covers/c1.jpg" "$covers/c2.jpg" $flag >>"$results"
  done
  what="$mode slot"
  [ "$mode" = none ] && what="turning alone, the floor"
  echo "command: xvfb-run -a $exe c1.jpg c2.jpg $flag   ($runs runs, $what)"
  awk "$BENCH_AWK_MEDIAN"'
    { all[$1] = all[$1] " " $2; if ($2 > worst[$1]) worst[$1] = $2 }
    END {
      printf "  %-22s median %5d ms  worst %5d ms  ratio to 100 ms %5.2f   (runs:%s)\n", "longest frame gap", median("frame_gap_ms"), worst["frame_gap_ms"], worst["frame_gap_ms"] / 100, all["frame_gap_ms"]
      printf "  %-22s median %5d ms  worst %5d ms  ratio to 100 ms %5.2f   (runs:%s)\n", "longest loop stall", median("stall_ms"), worst["stall_ms"], worst["stall_ms"] / 100, all["stall_ms"]
    }' "$results"
  rm -f "$results"
done
