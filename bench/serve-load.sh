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
#   3. Good requests for 20 s beside each of: SLOW clients trickling a body
#      a byte every 4 s, IDLE connections held open doing nothing, and a
#      client sending 300 MB bodies in chunks (past --max-body); meanwhile
#      /healthz is asked every 100 ms on a fresh connection, as a probe
#      would: its p99 at most 1 s. Then 32 clients with keep-alive (their
#      p99 and slowest answer, printed).
#   4. Throughput against batch -j 2 on BATCH_ROWS rows: at least 80 %.
#   5. The peak resident memory against --max-memory (MAX_MEMORY, 2GB):
#      below it.
# Needs hey and ImageMagick (Debian: hey imagemagick); installs nothing.
# RUNS rounds, medians.
#   bench/serve-load.sh [RUNS] [REQUESTS] [BATCH_ROWS]   (defaults 1, 2000, 400)
#   SLOW=100 IDLE=300 (the hostile clients' counts), MAX_MEMORY=2GB
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/lib.sh
runs="${1:-1}"
requests="${2:-2000}"
rows="${3:-400}"
slow="${SLOW:-100}"
idle="${IDLE:-300}"
max_memory="${MAX_MEMORY:-2GB}"

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
env -u DISPLAY "$cubiform" serve --port 0 --workers 2 --max-memory "$max_memory" --stop-after-seconds 3600 2>"$work/serve.log" &
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

# Hostile clients and the probe, each until $work/stop-MODE exists:
#   probe: GET /healthz every 100 ms on a fresh connection; "<seconds> <ok>" lines to $work/probe
#   slow N: N connections each trickling a body a byte every 4 s, again when answered
#   idle N: N connections open and silent, opened again when closed
#   chunked: 300 MB bodies in 1 MB chunks, each until answered
# Each writes what it saw to $work/MODE-result.
cat >"$work/clients.py" <<'PY'
import os, select, socket, sys, threading, time
mode, port, work = sys.argv[1], int(sys.argv[2]), sys.argv[3]
count = int(sys.argv[4]) if len(sys.argv) > 4 else 1
stopfile = os.path.join(work, "stop-" + mode)
def stopped(): return os.path.exists(stopfile)
def connect(): return socket.create_connection(("127.0.0.1", port), timeout=30)
def status_of(data): return data[9:12].decode(errors="replace") if data.startswith(b"HTTP/1.1 ") else "none"
lock = threading.Lock()
seen = {}
def saw(what):
    with lock: seen[what] = seen.get(what, 0) + 1

def probe_once(out):
    start, ok = time.monotonic(), 0
    try:
        s = socket.create_connection(("127.0.0.1", port), timeout=10)
        s.sendall(b"GET /healthz HTTP/1.1\r\nHost: probe\r\nConnection: close\r\n\r\n")
        data = b""
        while time.monotonic() - start < 10:
            chunk = s.recv(4096)
            if not chunk: break
            data += chunk
        ok = 1 if status_of(data) == "200" else 0
        s.close()
    except OSError:
        pass
    # Unanswered within 10 s counts as 10 s, as a probe's timeout would.
    with lock:
        print("%.4f %d" % (min(10.0, time.monotonic() - start), ok), file=out, flush=True)

def probe():
    # Each probe on its own, every 100 ms, whether the last has been answered or not.
    out = open(os.path.join(work, "probe"), "a")
    while not stopped():
        threading.Thread(target=probe_once, args=(out,), daemon=True).start()
        time.sleep(0.1)
    time.sleep(10.5)

def trickler():
    head = (b"POST /render HTTP/1.1\r\nHost: slow\r\nContent-Type: application/json\r\n"
            b"Content-Length: 100000\r\n\r\n")
    while not stopped():
        try:
            s = connect()
            s.sendall(head)
            data = b""
            while not stopped():
                r, _, _ = select.select([s], [], [], 4)
                if r:
                    data = s.recv(4096)
                    break
                s.sendall(b" ")
            saw(status_of(data) if data else "closed")
            s.close()
        except OSError:
            saw("error")
            time.sleep(0.5)

def idler():
    socks = []
    while not stopped():
        while len(socks) < count:
            try:
                socks.append(connect())
            except OSError:
                saw("connect failed")
                time.sleep(0.1)
                break
        r, _, _ = select.select(socks, [], [], 0.5)
        for s in r:
            try:
                data = s.recv(4096)
            except OSError:
                data = b""
            saw(status_of(data) if data else "closed")
            s.close()
            socks.remove(s)
    for s in socks: s.close()

def chunked():
    piece = b"100000\r\n" + b" " * 0x100000 + b"\r\n"
    while not stopped():
        sent = 0
        try:
            s = connect()
            s.sendall(b"POST /render HTTP/1.1\r\nHost: big\r\nContent-Type: application/json\r\n"
                      b"Transfer-Encoding: chunked\r\n\r\n")
            data = b""
            while sent < 300 and not stopped():
                r, _, _ = select.select([s], [], [], 0)
                if r:
                    break
                s.sendall(piece)
                sent += 1
            if sent == 300:
                s.sendall(b"0\r\n\r\n")
            s.settimeout(30)
            data = s.recv(4096)
            saw("%s after %d MB" % (status_of(data), sent))
            s.close()
        except OSError:
            saw("error after %d MB" % sent)
        time.sleep(0.2)

if mode == "probe":
    probe()
else:
    work_of = {"slow": trickler, "idle": idler, "chunked": chunked}[mode]
    threads = [threading.Thread(target=work_of, daemon=True) for _ in range(count if mode == "slow" else 1)]
    for t in threads: t.start()
    while not stopped(): time.sleep(0.2)
    time.sleep(0.5)
    with lock:
        text = ", ".join("%s: %d" % (k, v) for k, v in sorted(seen.items(), key=lambda kv: -kv[1])[:6])
    print(text or "nothing answered", file=open(os.path.join(work, mode + "-result"), "w"))
PY

# Starts hostile clients of MODE (and the probe) before a load run; ends them after.
hostile_start()
{
  rm -f "$work/stop-$1" "$work/stop-probe" "$work/probe"
  python3 "$work/clients.py" "$1" "$port" "$work" "${2:-1}" &
  hostile_pid=$!
  sleep 2 # the clients take their places
  python3 "$work/clients.py" probe "$port" "$work" &
  probe_pid=$!
}
hostile_stop()
{
  touch "$work/stop-$1" "$work/stop-probe"
  wait "$hostile_pid" "$probe_pid" 2>/dev/null || true
  # /healthz: p99 and slowest of the probe's answers, and those not 200
  sort -n "$work/probe" | awk -v set="$1" '{ t[NR] = $1; if ($2 != 1) bad++ } END { i = int(NR * 0.99); if (i < 1) i = 1;
    printf "%s %.3f %.3f %d %d\n", set, t[i], t[NR], NR, bad + 0 }' >>"$work/health"
  echo "    $1 clients saw: $(cat "$work/$1-result" 2>/dev/null)" | tee -a "$work/hostile-seen"
  tail -1 "$work/health" | awk '{ printf "    /healthz beside them: p99 %s s, slowest %s s, %d asked, %d not 200\n", $2, $3, $4, $5 }'
}

# Runs hey (REQUESTS, or for SECONDS); appends "<p99 s> <requests/s> <other
# statuses>" to FILE.
#   load FILE [SECONDS]
load()
{
  local amount=(-n "$requests")
  [ -n "${2:-}" ] && amount=(-z "${2}s")
  hey "${amount[@]}" -c 8 -t 20 -m POST -T "multipart/form-data; boundary=$boundary" -D "$work/body" "$url" \
    >"$work/hey.out"
  local p99 rps other
  # No answer at all: the p99 is hey's timeout.
  p99=$(awk '/99% in/ { p = $3 } END { print (p == "") ? 20 : p }' "$work/hey.out")
  rps=$(awk '/Requests\/sec/ { print $2 }' "$work/hey.out")
  other=$(awk '/Error distribution/ { e = 1; on = 0 } /Status code distribution/ { on = 1; next }
    match($0, /\[[0-9]+\]/) { k = substr($0, RSTART + 1, RLENGTH - 2) + 0; if (e) n += k; else if (on && k != 200 && k != 429) n += $2 }
    END { print n + 0 }' "$work/hey.out")
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
echo "beside: $slow slow, $idle idle, one chunked client (each with hey -z 20s -c 8 and /healthz every 100 ms)"
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
  echo "round $round: good requests beside $slow slow clients"
  hostile_start slow "$slow"
  load "$work/slow" 20
  hostile_stop slow
  echo "round $round: good requests beside $idle idle connections"
  hostile_start idle "$idle"
  load "$work/idle" 20
  hostile_stop idle
  echo "round $round: good requests beside 300 MB chunked bodies (--max-body 20MB)"
  hostile_start chunked
  load "$work/chunked" 20
  hostile_stop chunked
  echo "round $round: 32 clients with keep-alive"
  hey -n "$requests" -c 32 -t 40 -m POST -T "multipart/form-data; boundary=$boundary" -D "$work/body" "$url" \
    >"$work/hey32.out"
  awk '/Slowest/ { s = $2 } /99% in/ { p = $3 } END { print p, s }' "$work/hey32.out" >>"$work/c32"
  grep -A4 'Status code distribution' "$work/hey32.out" | sed 's/^/    /'
  run_batch
done
hwm=$(awk '/VmHWM/ { print $2 }' "/proc/$server/status")
limit=$(curl -sf "http://127.0.0.1:$port/metrics" | awk '/^cubiform_memory_limit_bytes/ { print $2 }')
kill -TERM "$server"
wait "$server" || true
server=""

for set in plain mixed slow idle chunked; do
  p99=$(bench_median "$work/$set" 1)
  rps=$(bench_median "$work/$set" 2)
  other=$(awk '{ n += $3 } END { print n + 0 }' "$work/$set")
  echo "-- $set: p99 ${p99} s, ${rps} requests/s, answers other than 200/429 or failed: $other"
  bench_verdict "$set p99 latency" "$p99" 1.5 " s"
  [ "$other" -eq 0 ] && echo "$set: only 200 and 429: met" || echo "$set: only 200 and 429: NOT met"
done
for set in slow idle chunked; do
  p99=$(awk -v s="$set" '$1 == s { print $2 }' "$work/health" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
  slowest=$(awk -v s="$set" '$1 == s && $3 > m { m = $3 } END { print m + 0 }' "$work/health")
  bad=$(awk -v s="$set" '$1 == s { n += $5 } END { print n + 0 }' "$work/health")
  echo "-- /healthz beside the $set clients: p99 ${p99} s, slowest ${slowest} s, not 200: $bad"
  bench_verdict "/healthz p99 beside the $set clients" "$p99" 1 " s"
done
awk '{ p[NR] = $1; s[NR] = $2 } END { printf "-- 32 clients with keep-alive: p99 %s s, slowest %s s (round 1)\n", p[1], s[1] }' "$work/c32"
batch=$(bench_median "$work/batch" 1)
rps=$(bench_median "$work/plain" 2)
awk -v s="$rps" -v b="$batch" 'BEGIN { r = s / b; printf "service / batch -j 2 throughput: %.2f (%.1f / %.1f shots/s; target at least 0.80) %s\n", r, s, b, (r >= 0.8) ? "met" : "NOT met" }'
awk -v k="$hwm" 'BEGIN { printf "service peak resident memory (VmHWM): %.0f MiB (target under 600) %s\n", k / 1024, (k / 1024 < 600) ? "met" : "NOT met" }'
awk -v k="$hwm" -v l="${limit:-0}" 'BEGIN { printf "service peak resident memory against --max-memory: %.0f MiB of %.0f MiB (%.2f; target below 1) %s\n", k / 1024, l / 1048576, (l > 0) ? k * 1024 / l : 0, (l > 0 && k * 1024 < l) ? "met" : "NOT met" }'
