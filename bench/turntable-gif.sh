#!/usr/bin/env bash
# A turntable GIF's colours and time against ImageMagick's own 256-colour
# reduction of the same frames, in one run. The covers are smooth gradients
# painted by ImageMagick (a navy-to-orange sky in front, a teal-to-magenta
# diagonal with a soft light on the side) under light, shadow and reflection,
# where a weak palette shows bands and false colours.
# The turntable is drawn once as numbered PNGs (the frames' true colours) and
# timed as a GIF; every GIF frame's PSNR against its PNG is printed next to
# `convert FRAME.png -colors 256 FRAME.gif` of the same PNG.
#   bench/turntable-gif.sh [RUNS]     (median of RUNS timed runs, default 3)
#   CUBIFORM=path/to/cubiform bench/turntable-gif.sh    (another build)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/lib.sh

runs="${1:-3}"
frames=36
size=600x600
bench_need_packages imagemagick time
cubiform="${CUBIFORM:-$(bench_build_cubiform)}"
convert="$(bench_convert)"
compare="$(dirname "$convert")/compare"
export MAGICK_THREAD_LIMIT=1 # one core each, as the turntable draws on one

work="$PWD/build-bench/turntable-gif"
rm -rf "$work"
mkdir -p "$work/frames" "$work/im"
cd "$work"
"$convert" -size 1200x1600 gradient:navy-orange sky.png
"$convert" -size 800x1600 -define gradient:angle=60 gradient:'#10707a-#b03890' \
  \( -size 800x1600 radial-gradient:'#fff0d0-#00000000' -channel A -evaluate multiply 0.5 +channel \) \
  -compose over -composite -alpha off side.png
shot=(--front sky.png --side side.png --light --reflection --shadow --samples 4 --frames "$frames" --size "$size")

: >gif.times
: >png.times
for ((r = 0; r < runs; r++)); do
  bench_time gif.times "$cubiform" turntable "${shot[@]}" -o spin.gif
  bench_time png.times "$cubiform" turntable "${shot[@]}" -o "frames/f-%03d.png"
done
start=$(date +%s%N)
for ((k = 0; k < frames; k++)); do
  "$convert" "$(printf 'frames/f-%03d.png' "$k")" -colors 256 "$(printf 'im/f-%03d.gif' "$k")"
done
im_seconds=$(awk -v ns="$(($(date +%s%N) - start))" 'BEGIN { printf "%.2f", ns / 1e9 }')

psnr() { "$compare" -metric PSNR "$1" "$2" null: 2>&1 || true; }
count=$("$convert" spin.gif -format '%n\n' info: | head -n 1)
delays=$("$convert" spin.gif -format '%T ' info:)
echo "frame  ours dB  ImageMagick dB"
: >psnr.txt
for ((k = 0; k < frames; k++)); do
  png=$(printf 'frames/f-%03d.png' "$k")
  ours=$(psnr "$png" "spin.gif[$k]")
  theirs=$(psnr "$png" "$(printf 'im/f-%03d.gif' "$k")")
  printf '%5d  %7.2f  %14.2f\n' "$k" "$ours" "$theirs" | tee -a psnr.txt
done
echo
echo "$count frames, delays (1/100 s): $delays"
awk '{ o += $2; t += $3; d = $2 - $3; if (NR == 1 || d < m) { m = d; at = $1 }
       if (NR == 1 || $2 < lo) lo = $2; if (NR == 1 || $3 < tlo) tlo = $3 }
     END { printf "PSNR mean: ours %.2f dB, ImageMagick %.2f dB; worst frame: ours %.2f, ImageMagick %.2f\n", o / NR, t / NR, lo, tlo
           printf "closest frame: %d, ours minus ImageMagick %+.2f dB (%s)\n", at, m, (m >= 0) ? "met" : "NOT met" }' psnr.txt
printf 'time, median of %d: turntable to GIF %.2f s, the same to PNG frames %.2f s; ImageMagick -colors 256 on the %d PNGs %.2f s\n' \
  "$runs" "$(bench_median gif.times 1)" "$(bench_median png.times 1)" "$frames" "$im_seconds"
