#!/usr/bin/env bash
# Paints the large covers the timing scripts read, with ImageMagick:
#   c1.jpg c2.jpg c3.jpg   three different 6000 x 4000 covers
#   big.jpg                a fourth 6000 x 4000 (24 MP) cover, for one-cover runs
# Each is a plasma fractal (smooth colour gradients), enlarged, with Gaussian
# grain on top, stored as JPEG quality 90: about 6.5 MB, so a decoder does the
# work a photograph asks of it (flat colour would decode far too quickly).
# Painting takes a minute; the covers are kept and reused while the recipe
# below is unchanged.
#   bench/make-covers.sh FOLDER        (default build-bench/covers)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/lib.sh

folder="${1:-build-bench/covers}"
recipe="plasma:fractal 1500x1000, blur 0x1, resize 6000x4000, attenuate 0.26 gaussian noise, quality 90, seeds 11 12 13 14"

if [ -f "$folder/recipe.txt" ] && [ "$(cat "$folder/recipe.txt")" = "$recipe" ] &&
   [ -s "$folder/c1.jpg" ] && [ -s "$folder/c2.jpg" ] && [ -s "$folder/c3.jpg" ] && [ -s "$folder/big.jpg" ]; then
  exit 0
fi

bench_need_packages imagemagick
convert="$(bench_convert)"
mkdir -p "$folder"
rm -f "$folder/recipe.txt"
# ImageMagick would take every core; the machine is shared.
export MAGICK_THREAD_LIMIT=2
paint()
{
  echo "painting $2" >&2
  "$convert" -seed "$1" -size 1500x1000 plasma:fractal -blur 0x1 -resize '6000x4000!' \
    -attenuate 0.26 +noise Gaussian -quality 90 "jpg:$folder/.$2.part"
  mv "$folder/.$2.part" "$folder/$2"
}
paint 11 c1.jpg
paint 12 c2.jpg
paint 13 c3.jpg
paint 14 big.jpg
echo "$recipe" >"$folder/recipe.txt"
