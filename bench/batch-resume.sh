#!/usr/bin/env bash
# Times "cubiform batch --skip-existing" over an up-to-date manifest of 200
# rows, each with its own front cover (1200 x 800, made from the large
# covers) and a shared 6000 x 4000 side cover: what a resume costs when
# nothing is left to draw (reading the record, hashing every cover once).
#   bench/batch-resume.sh [RUNS]       CUBIFORM=path overrides the release build
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/lib.sh
runs="${1:-5}"
bench_need_packages imagemagick time
cubiform="${CUBIFORM:-$(bench_build_cubiform)}"
covers="$PWD/build-bench/covers"
bench/make-covers.sh "$covers"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
convert="$(bench_convert)"
"$convert" "$covers/c1.jpg" -resize 1200x800 -quality 90 "$work/base.jpg"
echo "front,side,size,output" >"$work/m.csv"
for i in $(seq -w 1 200); do
  # 200 different files: the same picture with a different comment.
  "$convert" "$work/base.jpg" -set comment "cover $i" "$work/f$i.jpg"
  echo "f$i.jpg,$covers/big.jpg,160x160,out/$i.png" >>"$work/m.csv"
done
"$cubiform" batch "$work/m.csv" -j 2 >/dev/null 2>&1
for _ in $(seq "$runs"); do
  /usr/bin/time -f '%e s, %M KB' "$cubiform" batch "$work/m.csv" --skip-existing -j 2 2>&1 | tail -2
done
