#!/usr/bin/env bash
# Builds every libFuzzer target and runs each for the given number of seconds
# (default 30), starting from seeds written by the program's own writers.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
cmake --preset fuzz >/dev/null
cmake --build build-fuzz -j2

seeds=build-fuzz/seeds
rm -rf "$seeds" build-fuzz/corpus
mkdir -p "$seeds/ProjectReader" "$seeds/ServeRequest"
build-fuzz/fuzz/make_seeds "$seeds" >/dev/null
env -u DISPLAY build-fuzz/fuzz/ProjectReader_fuzz --write-seeds="$seeds/ProjectReader" >/dev/null
env -u DISPLAY build-fuzz/fuzz/ServeRequest_fuzz --write-seeds="$seeds/ServeRequest" >/dev/null

export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS=suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0
for t in build-fuzz/fuzz/*_fuzz; do
  name=$(basename "$t" _fuzz)
  work="build-fuzz/corpus/$name"
  mkdir -p "$work"
  echo "-- $name (${seconds}s)"
  env -u DISPLAY "$t" -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=20 \
      -artifact_prefix="build-fuzz/crash-$name-" "$work" "$seeds/$name" 2>&1 | tail -n 2
done
