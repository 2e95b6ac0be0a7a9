#!/usr/bin/env bash
# The ray tracer's cost and noise on the demo project, each beside a raster
# render of the same project and size:
#   1800 x 1800 with every look on at the default passes (target <= 60 s),
#   the same for a bundle of three boxes (the demo, a book with its pages and
#   a soft-cover book in a row, fitted; the same target),
#   a 450 x 450 preview (target <= 2 s),
#   the noise: the RMS difference of two seeds' pictures relative to the
#   picture's mean, at the default passes and 450 x 450 (target <= 2 %).
# Several rounds; medians. Beside the wall time, the CPU seconds (user and
# system): on a shared machine the wall time follows the load, the CPU time
# much less (the load average is printed too).
#   bench/raytrace.sh [ROUNDS] [PREVIEW_PASSES]    (default 3, 16)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds="${1:-3}"
preview_passes="${2:-16}"
source bench/lib.sh
bench_need_packages imagemagick bc time
cmake --preset bench >/dev/null
cmake --build build-bench -j2 --target cubiform make_demo >/dev/null
cubiform="$PWD/build-bench/cubiform"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
./build-bench/examples/make_demo "$work" >/dev/null
project="$work/demo.pcf"
looks=(--shadow --reflection --light --smooth-textures)

seconds() { # "<wall seconds> <cpu seconds>" of one run of the command
  local s e cpu
  s=$(date +%s.%N)
  /usr/bin/time -f '%U %S' -o "$work/time" "$@" >/dev/null 2>&1
  e=$(date +%s.%N)
  cpu=$(tail -n 1 "$work/time" | awk '{ print $1 + $2 }')
  echo "$(echo "$e - $s" | bc) $cpu"
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
column() { awk -v c="$1" '{ print $c }'; }

subject=("$project") # what measure renders: a project, or --bundle and its projects
measure() { # label size raster-samples target-seconds ray-options...
  local label="$1" size="$2" samples="$3" target="$4"
  shift 4
  local ray=() raster=() i
  for ((i = 0; i < rounds; i++)); do
    raster+=("$(seconds "$cubiform" render "${subject[@]}" "${looks[@]}" --samples "$samples" --size "$size" -o "$work/raster.png")")
    ray+=("$(seconds "$cubiform" render "${subject[@]}" "${looks[@]}" --engine raytrace --size "$size" "$@" -o "$work/ray.png")")
  done
  local r t tc rc
  r=$(printf '%s\n' "${raster[@]}" | column 1 | median)
  t=$(printf '%s\n' "${ray[@]}" | column 1 | median)
  rc=$(printf '%s\n' "${raster[@]}" | column 2 | median)
  tc=$(printf '%s\n' "${ray[@]}" | column 2 | median)
  printf '%-34s raytrace %7.2f s (cpu %7.2f)   raster %6.2f s (cpu %6.2f)   ratio %6.1f  target <= %s s: %s\n' \
    "$label" "$t" "$tc" "$r" "$rc" "$(echo "$t / $r" | bc -l)" "$target" \
    "$(awk -v t="$t" -v l="$target" 'BEGIN { print (t <= l) ? "met" : "NOT met" }')"
}

echo "command: bench/raytrace.sh $rounds $preview_passes  (demo.pcf, every look on, $(nproc) cores)"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
measure "1800x1800, default passes" 1800x1800 16 60
measure "450x450 preview, $preview_passes passes" 450x450 4 2 --passes "$preview_passes"
"$cubiform" render "$project" --form 8 --book-pages --save-project "$work/book.pcf"
"$cubiform" render "$project" --form 9 --save-project "$work/soft.pcf"
subject=(--bundle "$project" "$work/book.pcf" "$work/soft.pcf" --fit)
measure "3 boxes, 1800x1800, default passes" 1800x1800 16 60
subject=("$project")

"$cubiform" render "$project" "${looks[@]}" --engine raytrace --size 450x450 --seed 1 -o "$work/a.png" 2>/dev/null
"$cubiform" render "$project" "${looks[@]}" --engine raytrace --size 450x450 --seed 2 -o "$work/b.png" 2>/dev/null
rmse=$(compare -metric RMSE "$work/a.png" "$work/b.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/' || true)
mean=$(convert "$work/a.png" -format "%[fx:mean]" info:)
printf '%-34s %.2f %% of the mean (target <= 2 %%)\n' "noise, two seeds, default passes" "$(echo "100 * $rmse / $mean" | bc -l)"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
