#!/usr/bin/env bash
# Times "cubiform render" of a project with three 4000 x 3000 JPEG covers
# (painted by make_demo) to an
# 1800 x 1800 PNG, in a release build. Prints each phase (from the hidden
# --timings option) as the median of RUNS runs, plus the wall time.
#   bench/render-timing.sh [RUNS]      (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-5}"
cmake --preset bench >/dev/null
cmake --build build-bench -j2 --target cubiform make_demo >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
./build-bench/examples/make_demo "$work" --size 4000x3000
echo "covers: $(cd "$work" && ls -l front.jpg side.jpg top.jpg | awk '{printf "%s %s bytes  ", $9, $5}')"
echo "command: cubiform render demo.pcf --size 1800x1800 -o shot.png --timings"

for i in $(seq "$runs"); do
  start=$(date +%s%N)
  env -u DISPLAY ./build-bench/cubiform render "$work/demo.pcf" --size 1800x1800 \
    -o "$work/shot.png" --timings 2>>"$work/timings.txt"
  end=$(date +%s%N)
  echo "timing: wall $(( (end - start) / 1000000 )) ms" >>"$work/timings.txt"
done

# Median per phase over the runs.
awk '/^timing:/ {
       phase = $2; for (i = 3; i < NF - 1; i++) phase = phase " " $i
       v[phase] = v[phase] " " $(NF - 1); if (!(phase in seen)) { seen[phase] = 1; order[++n] = phase }
     }
     END {
       printf "%-10s %10s   (median of '"$runs"' runs)\n", "phase", "ms"
       for (k = 1; k <= n; k++) {
         m = split(substr(v[order[k]], 2), a, " ")
         for (i = 1; i <= m; i++) for (j = i + 1; j <= m; j++) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
         printf "%-10s %10.1f\n", order[k], (m % 2) ? a[(m + 1) / 2] : (a[m / 2] + a[m / 2 + 1]) / 2
       }
     }' "$work/timings.txt"
