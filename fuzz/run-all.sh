#!/usr/bin/env bash
# Builds every libFuzzer target and runs each for the given number of seconds
# (default 30) on a seed corpus made by the program's own writers.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
cmake --preset fuzz >/dev/null
cmake --build build-fuzz -j2
shopt -s nullglob
targets=(build-fuzz/fuzz/*_fuzz)
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets yet"
  exit 0
fi
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS=suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0
for t in "${targets[@]}"; do
  name=$(basename "$t")
  work="build-fuzz/corpus/$name"
  rm -rf "$work" && mkdir -p "$work"
  if [ -x "fuzz/seeds/$name.sh" ]; then "fuzz/seeds/$name.sh" "$work"; fi
  echo "-- $name (${seconds}s)"
  env -u DISPLAY "$t" -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=20 \
      -artifact_prefix="build-fuzz/" "$work" 2>&1 | tail -n 3
done
