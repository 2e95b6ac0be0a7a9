#!/usr/bin/env bash
# The ray tracer's cost and noise on the demo project, each beside a raster
# render of the same project and size:
#   1800 x 1800 with every look on at the default passes (target <= 60 s),
#   the same for a bundle of three boxes (the demo, a book with its pages and
#   a soft-cover book in a row, fitted; the same target),
#   a 450 x 450 preview (target <= 2 s),
#   the noise: the RMS difference of two seeds' pictures relative to the
#   picture's mean, at the default passes and 450 x 450 (target <= 2 %),
#   the denoiser: 1800 x 1800 at the default passes, denoised (the default)
#   against --denoise off (the tracer as it was before the denoiser): the
#   time of each and their ratio (target <= 1), and the RMS difference of two
#   seeds over the product's pixels (those the raster's picture without the
#   looks does not leave the background colour) relative to the product's
#   mean (target <= 1 % denoised).
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

# The RMS difference of two pictures over the mask's white pixels, in % of
# the first picture's mean there.
masked_noise() { # a.png b.png mask.png
  local frac ma rmse
  frac=$(convert "$3" -format "%[fx:mean]" info:)
  convert "$1" -alpha off "$3" -compose multiply -composite "$work/ma.png"
  convert "$2" -alpha off "$3" -compose multiply -composite "$work/mb.png"
  ma=$(convert "$work/ma.png" -format "%[fx:mean]" info:)
  rmse=$(compare -metric RMSE "$work/ma.png" "$work/mb.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/' || true)
  echo "100 * $rmse / sqrt($frac) / ($ma / $frac)" | bc -l
}

"$cubiform" render "$project" --size 1800x1800 -o "$work/plain.png"
corner=$(convert "$work/plain.png" -format '%[pixel:p{0,0}]' info:)
convert "$work/plain.png" -alpha off \( +clone -fill "$corner" -colorize 100 \) -compose difference -composite \
  -separate -evaluate-sequence max -threshold 1% "$work/product.png"
on=() off=()
for ((i = 0; i < rounds; i++)); do # seeds 1, 2, 1, ...: both pictures of both seeds stay
  seed=$((i % 2 + 1))
  on+=("$(seconds "$cubiform" render "$project" "${looks[@]}" --engine raytrace --size 1800x1800 --seed "$seed" -o "$work/on-$seed.png")")
  off+=("$(seconds "$cubiform" render "$project" "${looks[@]}" --engine raytrace --size 1800x1800 --seed "$seed" --denoise off -o "$work/off-$seed.png")")
done
[ -f "$work/on-2.png" ] || "$cubiform" render "$project" "${looks[@]}" --engine raytrace --size 1800x1800 --seed 2 -o "$work/on-2.png"
[ -f "$work/off-2.png" ] || "$cubiform" render "$project" "${looks[@]}" --engine raytrace --size 1800x1800 --seed 2 --denoise off -o "$work/off-2.png"
t_on=$(printf '%s\n' "${on[@]}" | column 1 | median)
t_off=$(printf '%s\n' "${off[@]}" | column 1 | median)
c_on=$(printf '%s\n' "${on[@]}" | column 2 | median)
c_off=$(printf '%s\n' "${off[@]}" | column 2 | median)
printf '%-34s denoised %7.2f s (cpu %7.2f)   --denoise off %7.2f s (cpu %7.2f)   ratio %5.2f (cpu %5.2f)  target <= 1: %s\n' \
  "denoiser, 1800x1800, default passes" "$t_on" "$c_on" "$t_off" "$c_off" "$(echo "$t_on / $t_off" | bc -l)" \
  "$(echo "$c_on / $c_off" | bc -l)" "$(awk -v a="$c_on" -v b="$c_off" 'BEGIN { print (a <= b) ? "met" : "NOT met" }')"
n_on=$(masked_noise "$work/on-1.png" "$work/on-2.png" "$work/product.png")
n_off=$(masked_noise "$work/off-1.png" "$work/off-2.png" "$work/product.png")
printf '%-34s denoised %.2f %%   --denoise off %.2f %% of the product'"'"'s mean  target <= 1 %%: %s\n' \
  "noise on the product, 1800x1800" "$n_on" "$n_off" "$(awk -v n="$n_on" 'BEGIN { print (n <= 1) ? "met" : "NOT met" }')"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
