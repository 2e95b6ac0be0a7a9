#!/usr/bin/env bash
# One 24 MP front cover at the project's size against one djpeg decode of the
# same file, measured in the same run, RUNS rounds (after an untimed warm-up),
# medians. Prints the ratio against its target and the --timings phases.
#   ours      cubiform render --front big.jpg -o shot.png
#   djpeg     djpeg -outfile /dev/null big.jpg
#   bench/one-cover.sh [RUNS]        (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/lib.sh
runs="${1:-5}"

bench_cli_setup

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

ours=(env -u DISPLAY "$cubiform" render --front "$covers/big.jpg" -o "$work/shot.png")
floor=(djpeg -outfile /dev/null "$covers/big.jpg")

echo "cover: big.jpg $(stat -c %s "$covers/big.jpg" | awk '{ printf "%.1f MB", $1 / 1e6 }') (6000 x 4000)"
echo "command: cubiform render --front big.jpg -o shot.png"
"${ours[@]}"; "${floor[@]}" # warm-up: page cache
for _ in $(seq "$runs"); do
  bench_time "$work/ours" "${ours[@]}"
  bench_time "$work/floor" "${floor[@]}"
done

t_ours=$(bench_median "$work/ours" 1)
t_floor=$(bench_median "$work/floor" 1)
printf 'medians of %d runs: cubiform %.2f s (peak %.0f MiB), djpeg %.2f s\n' \
  "$runs" "$t_ours" "$(awk -v k="$(bench_median "$work/ours" 2)" 'BEGIN { print k / 1024 }')" "$t_floor"
bench_verdict "cubiform / djpeg" "$(awk -v a="$t_ours" -v b="$t_floor" 'BEGIN { print a / b }')" 1.5

echo "phases of one run (--timings):"
"${ours[@]}" --timings 2>&1 | sed 's/^timing: /  /'
