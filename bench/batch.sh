#!/usr/bin/env bash
# 200 box shots from one manifest, measured three ways in the same run:
#   j1      cubiform batch m.csv -j 1
#   j2      cubiform batch m.csv -j 2
#   loop    a shell loop of "cubiform render", one process per shot
# Each row: its own 1500 x 1500 JPEG front cover, one side cover shared by
# all rows, 900 x 900 PNG output. Prints rows per second and the two ratios
# against their targets: j2 / j1 throughput at least 1.7, loop time / j1
# time at least 3. RUNS rounds (interleaved), medians.
#   bench/batch.sh [RUNS] [ROWS]       (defaults 1 and 200)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/lib.sh
runs="${1:-1}"
rows="${2:-200}"

bench_need_packages imagemagick time
cubiform="$(bench_build_cubiform)"

# The covers: one painted plasma picture, rolled to a new place per cover so
# every one is different and decodes like a photograph. Kept between runs.
covers="$PWD/build-bench/batch-covers"
recipe="plasma 1500x1500 seed 21, gaussian noise 0.2, rolled by 37,53 per cover, quality 90, $rows covers"
if [ ! -f "$covers/recipe.txt" ] || [ "$(cat "$covers/recipe.txt")" != "$recipe" ]; then
  convert="$(bench_convert)"
  export MAGICK_THREAD_LIMIT=2
  rm -rf "$covers"
  mkdir -p "$covers"
  echo "painting $rows covers of 1500 x 1500 ..." >&2
  "$convert" -seed 21 -size 750x750 plasma:fractal -resize 1500x1500 -attenuate 0.2 +noise Gaussian \
    "$covers/base.ppm"
  "$convert" -seed 22 -size 1500x1500 plasma:fractal -quality 90 "$covers/side.jpg"
  for i in $(seq 0 $((rows - 1))); do
    "$convert" "$covers/base.ppm" -roll "+$((i * 37 % 1500))+$((i * 53 % 1500))" -quality 90 \
      "$covers/$(printf 'c%03d' "$i").jpg"
  done
  rm "$covers/base.ppm"
  echo "$recipe" >"$covers/recipe.txt"
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
{
  echo "front,side,form,size,output"
  for i in $(seq 0 $((rows - 1))); do
    printf '%s/c%03d.jpg,%s/side.jpg,0,900x900,out/%03d.png\n' "$covers" "$i" "$covers" "$i"
  done
} >"$work/m.csv"

run_batch() { rm -rf "$work/out"; env -u DISPLAY "$cubiform" batch "$work/m.csv" -j "$1" 2>"$work/batch.log" || { cat "$work/batch.log" >&2; return 1; }; }
run_loop()
{
  rm -rf "$work/out"
  mkdir -p "$work/out"
  tail -n +2 "$work/m.csv" | while IFS=, read -r front side form size output; do
    env -u DISPLAY "$cubiform" render --front "$front" --side "$side" --form "$form" --size "$size" \
      -o "$work/$output"
  done
}
# Appends "<wall seconds> <CPU seconds of it and its children>" to FILE.
seconds()
{
  local file="$1" start end
  shift
  start=$(date +%s%N)
  /usr/bin/time -f '%U %S' -o "$file.cpu" bash -c "$(declare -f run_batch run_loop); work='$work' cubiform='$cubiform'; $*"
  end=$(date +%s%N)
  awk -v ns="$((end - start))" '{ printf "%.3f %.3f\n", ns / 1e9, $1 + $2 }' "$file.cpu" >>"$file"
}

echo "rows: $rows, each a 1500 x 1500 JPEG front (+ one shared side cover), 900 x 900 PNG out"
echo "commands: cubiform batch m.csv -j 1 | -j 2 | a shell loop of cubiform render"
for _ in $(seq "$runs"); do
  seconds "$work/j1" run_batch 1
  seconds "$work/j2" run_batch 2
  seconds "$work/loop" run_loop
done
t1=$(bench_median "$work/j1" 1)
t2=$(bench_median "$work/j2" 1)
tl=$(bench_median "$work/loop" 1)
c1=$(bench_median "$work/j1" 2)
cl=$(bench_median "$work/loop" 2)
awk -v r="$rows" -v a="$t1" -v b="$t2" -v c="$tl" -v n="$runs" -v c1="$c1" -v cl="$cl" 'BEGIN {
  printf "medians of %d runs: -j 1 %.1f s (%.2f rows/s), -j 2 %.1f s (%.2f rows/s), render loop %.1f s (%.2f rows/s)\n",
    n, a, r / a, b, r / b, c, r / c
  printf "-j 2 / -j 1 throughput: %.2f (target at least 1.7) %s\n", a / b, (a / b >= 1.7) ? "met" : "NOT met"
  printf "render loop / -j 1 time: %.2f (target at least 3) %s\n", c / a, (c / a >= 3) ? "met" : "NOT met"
  # Less swayed by other work on a shared machine than the wall clock.
  printf "CPU per row: -j 1 %.0f ms, render loop %.0f ms (loop / -j 1: %.2f)\n", c1 * 1000 / r, cl * 1000 / r, cl / c1
}'
