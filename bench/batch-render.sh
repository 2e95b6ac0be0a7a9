#!/usr/bin/env bash
# A batch render with three large covers against its floors, measured in the
# same run (the machine is shared; only the ratios mean something):
#   ours      cubiform render --front c1.jpg --side c2.jpg --top c3.jpg --size 1800x1800 -o a.png
#   djpeg     libjpeg-turbo's djpeg decoding the same three covers, two at a time
#   magick    bench/im-boxshot.sh: a two-face perspective box shot of c1.jpg at 1800 x 1800
# The three run in turn, RUNS rounds (after one untimed warm-up round); each
# figure is the median. Prints the ratios against their targets, our peak
# resident memory, and the --timings phases of one more run.
#   bench/batch-render.sh [RUNS]        (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/lib.sh
runs="${1:-5}"

bench_cli_setup
export MAGICK_THREAD_LIMIT=2 # as many cores as the machine has

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

ours=(env -u DISPLAY "$cubiform" render --front "$covers/c1.jpg" --side "$covers/c2.jpg"
      --top "$covers/c3.jpg" --size 1800x1800 -o "$work/a.png")
floor=(xargs -P 2 -n 1 -a "$work/covers.txt" djpeg -outfile /dev/null)
printf '%s\n' "$covers/c1.jpg" "$covers/c2.jpg" "$covers/c3.jpg" >"$work/covers.txt"
magick=(bench/im-boxshot.sh "$covers/c1.jpg" "$work/im.png" 1800)

echo "covers: $(cd "$covers" && stat -c '%n %s' c1.jpg c2.jpg c3.jpg | awk '{ printf "%s %.1f MB  ", $1, $2 / 1e6 }')(6000 x 4000)"
echo "command: cubiform render --front c1.jpg --side c2.jpg --top c3.jpg --size 1800x1800 -o a.png"
"${ours[@]}"; "${floor[@]}"; "${magick[@]}" >/dev/null # warm-up: page cache
for _ in $(seq "$runs"); do
  bench_time "$work/ours" "${ours[@]}"
  bench_time "$work/floor" "${floor[@]}"
  bench_time "$work/magick" "${magick[@]}"
done

t_ours=$(bench_median "$work/ours" 1)
t_floor=$(bench_median "$work/floor" 1)
t_magick=$(bench_median "$work/magick" 1)
rss_ours=$(bench_median "$work/ours" 2)
printf 'medians of %d runs: cubiform %.2f s, djpeg x3 (2 at a time) %.2f s, ImageMagick %.2f s\n' \
  "$runs" "$t_ours" "$t_floor" "$t_magick"
bench_verdict "cubiform / djpeg" "$(awk -v a="$t_ours" -v b="$t_floor" 'BEGIN { print a / b }')" 1.5
bench_verdict "cubiform / ImageMagick" "$(awk -v a="$t_ours" -v b="$t_magick" 'BEGIN { print a / b }')" 0.30
bench_verdict "cubiform peak resident memory" "$(awk -v k="$rss_ours" 'BEGIN { print k / 1024 }')" 450 " MiB"

echo "phases of one run (--timings):"
"${ours[@]}" --timings 2>&1 | sed 's/^timing: /  /'
