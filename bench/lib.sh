# shellcheck shell=bash
# Shared by the timing scripts in bench/ (sourced, not run).

# Installs the Debian packages a measurement needs when they are missing.
# They are tools to compare against, not build dependencies, so they stay out
# of scripts/install-deps.sh.
bench_need_packages()
{
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The release build of the program; prints its path.
bench_build_cubiform()
{
  cmake --preset bench >/dev/null
  cmake --build build-bench -j2 --target cubiform >/dev/null
  echo "$PWD/build-bench/cubiform"
}

# What both command-line scripts start with: the tools, the release build
# and the covers. Sets $cubiform and $covers.
bench_cli_setup()
{
  bench_need_packages imagemagick libjpeg-turbo-progs time
  cubiform="$(bench_build_cubiform)"
  covers="$PWD/build-bench/covers"
  bench/make-covers.sh "$covers"
}

# ImageMagick's own convert, not whatever else PATH puts first.
bench_convert()
{
  if [ -x /usr/bin/convert ]; then echo /usr/bin/convert; else command -v convert; fi
}

# Runs a command and appends "<wall seconds> <peak resident KiB>" to FILE.
#   bench_time FILE command...
bench_time()
{
  local file="$1" start end rss
  shift
  start=$(date +%s%N)
  /usr/bin/time -f '%M' -o "$file.rss" "$@" >/dev/null
  end=$(date +%s%N)
  rss=$(tail -n 1 "$file.rss")
  awk -v ns="$((end - start))" -v rss="$rss" 'BEGIN { printf "%.4f %d\n", ns / 1e9, rss }' >>"$file"
}

# Median of column COL (1-based) of FILE.
bench_median()
{
  sort -g -k "$2,$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Prints "figure: value (target at most T) met/NOT met".
#   bench_verdict FIGURE VALUE LIMIT [UNIT]
bench_verdict()
{
  awk -v f="$1" -v v="$2" -v t="$3" -v u="${4:-}" 'BEGIN {
    printf "%s: %.2f%s (target at most %s%s) %s\n", f, v, u, t, u, (v <= t) ? "met" : "NOT met"
  }'
}

# What the window benches start with: BUILD_DIR (the dev preset, configured
# when it is not yet) with TARGETS built, and a runtime folder for Qt when
# none is set (removed on exit).
#   bench_window_setup BUILD_DIR TARGET...
bench_window_setup()
{
  local build="$1"
  shift
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset dev >/dev/null
  fi
  cmake --build "$build" -j2 --target "$@" >/dev/null
  if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR="$(mktemp -d)"
    export XDG_RUNTIME_DIR
    trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
  fi
}

# An awk function for the window benches' result lines ("NAME VALUE"):
# median(NAME) of the values gathered in all[NAME] as " v1 v2 ...".
BENCH_AWK_MEDIAN='
  function median(name,   n, i, j, t, a) {
    n = split(all[name], a, " ")
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
    return (n % 2) ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
  }'
