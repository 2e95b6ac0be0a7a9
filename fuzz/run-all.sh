#!/usr/bin/env bash
# Builds every libFuzzer target and runs each for the given number of seconds
# (default 30), starting from seeds written by the program's own writers.
# A second argument names a build folder that already has the targets (CI's
# sanitizer build); without it the fuzz preset builds them into build-fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
build="${2:-}"
if [ -z "$build" ]; then
  build=build-fuzz
  cmake --preset fuzz >/dev/null
  cmake --build "$build" -j2
fi

seeds=$build/seeds
rm -rf "$seeds" "$build/corpus"
mkdir -p "$seeds/ProjectReader" "$seeds/ServeRequest"
"$build/fuzz/make_seeds" "$seeds" >/dev/null
env -u DISPLAY "$build/fuzz/ProjectReader_fuzz" --write-seeds="$seeds/ProjectReader" >/dev/null
env -u DISPLAY "$build/fuzz/ServeRequest_fuzz" --write-seeds="$seeds/ServeRequest" >/dev/null

export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS=suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0
for t in "$build"/fuzz/*_fuzz; do
  name=$(basename "$t" _fuzz)
  work="$build/corpus/$name"
  mkdir -p "$work"
  echo "-- $name (${seconds}s)"
  env -u DISPLAY "$t" -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=20 \
      -artifact_prefix="$build/crash-$name-" "$work" "$seeds/$name" 2>&1 | tail -n 2
done
