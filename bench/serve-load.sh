#!/usr/bin/env bash
# Load on "cubiform serve" over loopback, against "cubiform batch -j 2" on
# the same work: 600 x 600 PNG shots of one 3000 x 2000 JPEG cover (sent
# with every request, so the service keeps it cached).
#   1. REQUESTS requests at concurrency 8 with hey: only 200 and 429, p99 at
#      most 1.5 s, peak resident memory (VmHWM) under 600 MiB.
#   2. The same again while bad clients run beside it (truncated JPEGs, a
#      20000 x 20000 picture, a 1 GB Content-Length claim, headers sent one
#      byte a second, malformed multipart): the good requests hold the same
#      bounds.
#   3. Throughput against batch -j 2 on BATCH_ROWS rows: at least 80 %.
# Needs hey and ImageMagick (Debian: hey imagemagick); installs nothing.
# RUNS rounds, medians.
#   bench/serve-load.sh [RUNS] [REQUESTS] [BATCH_ROWS]   (defaults 1, 2000, 400)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/lib.sh
runs="${1:-1}"
requests="${2:-2000}"
rows="${3:-400}"

missing=()
command -v hey >/dev/null || missing+=(hey)
[ -x "$(bench_convert)" ] || missing+=(imagemagick)
command -v python3 >/dev/null || missing+=(python3)
if [ ${#missing[@]} -gt 0 ]; then
  echo "bench/serve-load.sh needs: ${missing[*]} (apt-get install ${missing[*]})" >&2
  exit 2
fi
# CUBIFORM=path measures another build (say the dev build) without building.
cubiform="${CUBIFORM:-$(bench_build_cubiform)}"

work="$(mktemp -d)"
server=""
cleanup() { [ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

MAGICK_THREAD_LIMIT=2 "$(bench_convert)" -seed 31 -size 1500x1000 plasma:fractal -resize 3000x2000 -quality 90 \
  "$work/cover.jpg"
head -c 20000 "$work/cover.jpg" >"$work/truncated.jpg"
boundary=serveloadb0undary
{
  printf -- '--%s\r\nContent-Disposition: form-data; name="front"; filename="cover.jpg"\r\nContent-Type: image/jpeg\r\n\r\n' "$boundary"
  cat "$work/cover.jpg"
  printf '\r\n--%s\r\nContent-Disposition: form-data; name="size"\r\n\r\n600x600\r\n--%s--\r\n' "$boundary" "$boundary"
} >"$work/body"

# The service on a free port, two workers as batch -j 2 has; it stops by
# itself after an hour at the latest.
env -u DISPLAY "$cubiform" serve --port 0 --workers 2 --stop-after-seconds 3600 2>"$work/serve.log" &
server=$!
for _ in $(seq 300); do
  port=$(sed -n 's|.*http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$work/serve.log")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { cat "$work/serve.log" >&2; exit 1; }
url="http://127.0.0.1:$port/render"
for _ in $(seq 300); do curl -sf "http://127.0.0.1:$port/healthz" >/dev/null && break; sleep 0.1; done

# Bad clients until $work/stop-bad exists.
bad_clients()
{
  python3 - "$port" "$work" <<'PY' &
import os, socket, sys, time
port, work = int(sys.argv[1]), sys.argv[2]
truncated = open(os.path.join(work, "truncated.jpg"), "rb").read()
def send(raw, slow=False):
    try:
        s = socket.create_connection(("127.0.0.1", port), timeout=20)
        if slow:
            for b in raw:
                s.sendall(bytes([b])); time.sleep(1)
                if os.path.exists(os.path.join(work, "stop-bad")): break
        else:
            s.sendall(raw)
        s.settimeout(20)
        while s.recv(65536): pass
    except OSError:
        pass
    finally:
        s.close()
def multipart(name, data, ctype="application/octet-stream"):
    body = (b"--b\r\nContent-Disposition: form-data; name=\"" + name + b"\"; filename=\"x\"\r\nContent-Type: " +
            ctype.encode() + b"\r\n\r\n" + data + b"\r\n--b--\r\n")
    return (b"POST /render HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: multipart/form-data; boundary=b\r\n"
            b"Content-Length: " + str(len(body)).encode() + b"\r\n\r\n" + body)
huge = b"\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR" + (20000).to_bytes(4, "big") * 2 + b"\x08\x06\0\0\0" + b"\0" * 40
bad = [multipart(b"front", truncated, "image/jpeg"), multipart(b"front", huge, "image/png"),
       b"POST /render HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\nContent-Length: 1073741824\r\n\r\n{\"wi",
       b"POST /render HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: multipart/form-data; boundary=b\r\n"
       b"Content-Length: 30\r\n\r\n--b\r\nContent-Dispo\r\n--nothing"]
import threading
threading.Thread(target=send, args=(b"GET /healthz HTTP/1.1\r\nHost: slow\r\nX-Pad: " + b"a" * 120 + b"\r\n\r\n", True),
                 daemon=True).start()
i = 0
while not os.path.exists(os.path.join(work, "stop-bad")):
    send(bad[i % len(bad)]); i += 1; time.sleep(0.05)
print(i, file=open(os.path.join(work, "bad-count"), "w"))
PY
}

# Runs hey; appends "<p99 s> <requests/s> <other statuses>" to FILE.
load()
{
  hey -n "$requests" -c 8 -t 20 -m POST -T "multipart/form-data; boundary=$boundary" -D "$work/body" "$url" \
    >"$work/hey.out"
  local p99 rps other
  p99=$(awk '/99% in/ { print $3 }' "$work/hey.out")
  rps=$(awk '/Requests\/sec/ { print $2 }' "$work/hey.out")
  other=$(awk '/Status code distribution/ { on = 1; next } on && /\[[0-9]+\]/ { gsub(/[\[\]]/, "", $1); if ($1 != 200 && $1 != 429) n += $2 } /Error distribution/ { e = 1 } e && /\[[0-9]+\]/ { n += $1 } END { print n + 0 }' "$work/hey.out")
  echo "$p99 $rps $other" >>"$1"
  grep -A4 'Status code distribution' "$work/hey.out" | sed 's/^/    /'
}

run_batch()
{
  {
    echo "front,size,output"
    for i in $(seq 0 $((rows - 1))); do printf '%s,600x600,out/%04d.png\n' "$work/cover.jpg" "$i"; done
  } >"$work/m.csv"
  rm -rf "$work/out"
  local start end
  start=$(date +%s%N)
  env -u DISPLAY "$cubiform" batch "$work/m.csv" -j 2 2>"$work/batch.log"
  end=$(date +%s%N)
  awk -v ns="$((end - start))" -v n="$rows" 'BEGIN { printf "%.3f\n", n / (ns / 1e9) }' >>"$work/batch"
}

echo "requests: $requests at concurrency 8, 600 x 600 PNG from one 3000 x 2000 JPEG cover; service with 2 workers"
echo "commands: cubiform serve --port 0 --workers 2; hey -n $requests -c 8 -m POST -D body $url; cubiform batch m.csv -j 2 ($rows rows)"
for round in $(seq "$runs"); do
  echo "round $round: good requests"
  load "$work/plain"
  echo "round $round: good requests beside bad clients"
  rm -f "$work/stop-bad"
  bad_clients
  load "$work/mixed"
  touch "$work/stop-bad"
  wait $! 2>/dev/null || true
  echo "    bad requests sent: $(cat "$work/bad-count" 2>/dev/null || echo 0)"
  run_batch
done
hwm=$(awk '/VmHWM/ { print $2 }' "/proc/$server/status")
kill -TERM "$server"
wait "$server" || true
server=""

for set in plain mixed; do
  p99=$(bench_median "$work/$set" 1)
  rps=$(bench_median "$work/$set" 2)
  other=$(awk '{ n += $3 } END { print n + 0 }' "$work/$set")
  echo "-- $set: p99 ${p99} s, ${rps} requests/s, answers other than 200/429 or failed: $other"
  bench_verdict "$set p99 latency" "$p99" 1.5 " s"
  [ "$other" -eq 0 ] && echo "$set: only 200 and 429: met" || echo "$set: only 200 and 429: NOT met"
done
batch=$(bench_median "$work/batch" 1)
rps=$(bench_median "$work/plain" 2)
awk -v s="$rps" -v b="$batch" 'BEGIN { r = s / b; printf "service / batch -j 2 throughput: %.2f (%.1f / %.1f shots/s; target at least 0.80) %s\n", r, s, b, (r >= 0.8) ? "met" : "NOT met" }'
awk -v k="$hwm" 'BEGIN { printf "service peak resident memory (VmHWM): %.0f MiB (target under 600) %s\n", k / 1024, (k / 1024 < 600) ? "met" : "NOT met" }'
