#!/usr/bin/env bash
# CPU use of the idle window (the demo project open), in front and behind
# another application, under Xvfb with openbox, against an idle X client
# (xclock) measured in the same run.
# Another application: xcalc, which takes the focus (xclock never does).
# Reads utime+stime from /proc/PID/stat over SECONDS of wall time.
#   bench/idle-window.sh [SECONDS]          (default 10)
#   CUBIFORM=path/to/cubiform bench/idle-window.sh   (measure another build)
set -euo pipefail
cd "$(dirname "$0")/.."
secs="${1:-10}"
target=3 # per cent of one core

# Debian packages it needs, installed only when missing.
missing=()
command -v Xvfb >/dev/null || missing+=(xvfb)
command -v openbox >/dev/null || missing+=(openbox)
command -v xdotool >/dev/null || missing+=(xdotool)
{ command -v xclock && command -v xcalc; } >/dev/null || missing+=(x11-apps)
command -v xprop >/dev/null || missing+=(x11-utils)
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The window needs the UI build (the bench preset builds the core only).
[ -f build/build.ninja ] || cmake --preset dev >/dev/null
cmake --build build -j2 --target cubiform make_demo >/dev/null
exe="${CUBIFORM:-build/cubiform}"

work="$(mktemp -d)"
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display of its own, and a window manager on it (activation needs one).
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
exec 3>&-
export DISPLAY=":$(head -n1 "$work/display")"
openbox >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.1; done

# The window shows the demo project: three covers on the box.
./build/examples/make_demo "$work/demo" >/dev/null

# Settings of its own: the bench leaves the user's preferences alone.
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"

ticks=$(getconf CLK_TCK)
# Per cent of one core that PID used over SECONDS.
cpu_percent() {
  local pid=$1 t0 t1 w0 w1
  t0=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  w0=$(date +%s%N)
  sleep "$secs"
  t1=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  w1=$(date +%s%N)
  awk -v d=$((t1 - t0)) -v hz="$ticks" -v ns=$((w1 - w0)) 'BEGIN { printf "%.2f", d / hz / (ns / 1e9) * 100 }'
}
window_of() { # the first visible window that "xdotool search ARGS" finds, waiting for it
  local w=""
  for _ in $(seq 100); do
    w=$(xdotool search --onlyvisible "$@" 2>/dev/null | head -n1 || true)
    [ -n "$w" ] && break
    sleep 0.1
  done
  echo "$w"
}

"$exe" "$work/demo/demo.pcf" >"$work/cubiform.log" 2>&1 &
app=$!
pids+=($app)
appwin=$(window_of --pid "$app")
[ -n "$appwin" ] || { echo "the window did not show" >&2; cat "$work/cubiform.log" >&2; exit 1; }
xclock >/dev/null 2>&1 &
clock=$!
pids+=($clock)
[ -n "$(window_of --pid "$clock")" ] || { echo "xclock did not show" >&2; exit 1; }
xcalc >/dev/null 2>&1 &
pids+=($!)
calcwin=$(window_of --class xcalc)
[ -n "$calcwin" ] || { echo "xcalc did not show" >&2; exit 1; }

xdotool windowactivate --sync "$appwin" 2>/dev/null || xdotool windowactivate "$appwin"
sleep 3 # start-up work and the first frames are done
echo "window: $(xdotool getwindowname "$appwin"), $(xdotool getwindowgeometry "$appwin" | awk '/Geometry/ {print $2}'), active: $([ "$(xdotool getactivewindow)" = "$appwin" ] && echo yes || echo no)"
echo "measuring ${secs} s each (utime+stime from /proc/PID/stat, $ticks ticks/s)"
front=$(cpu_percent "$app")
floor=$(cpu_percent "$clock")

xdotool windowactivate --sync "$calcwin" 2>/dev/null || xdotool windowactivate "$calcwin"
sleep 1
behind_active=$([ "$(xdotool getactivewindow)" = "$calcwin" ] && echo "xcalc" || echo "NOT xcalc")
behind=$(cpu_percent "$app")

# One tick over the interval is the smallest figure that can be told from 0.
resolution=$(awk -v hz="$ticks" -v s="$secs" 'BEGIN { printf "%.2f", 100 / hz / s }')
report() { # label value
  awk -v l="$1" -v v="$2" -v f="$floor" -v r="$resolution" -v t="$target" 'BEGIN {
    base = (f > r) ? f : r
    printf "%-34s %6.2f %% of one core   %5.1fx floor   target <= %d %%: %s\n",
           l, v, v / base, t, (v <= t) ? "met" : "NOT met" }'
}
echo "floor: idle xclock                 $(printf '%6.2f' "$floor") % of one core   (resolution $resolution %)"
report "idle window, in front" "$front"
report "idle window, behind ($behind_active active)" "$behind"
