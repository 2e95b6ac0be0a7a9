#!/usr/bin/env bash
# The pictures of the service's page in README.md and docs/manual.md:
# docs/page.png at a desktop's width and docs/page-phone.png at a phone's,
# screenshots of headless chromium on a service this script starts on
# loopback, with a cover it draws. Needs node, npm and chromium
# (scripts/install-deps.sh); the page tests' puppeteer-core is installed
# from tests/web's lockfile into the build tree, as the page test installs it.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset dev >/dev/null
cmake --build build -j2 --target cubiform
modules=build/tests/web-driver
if ! cmp -s tests/web/package-lock.json "$modules/package-lock.json" 2>/dev/null ||
   [ ! -d "$modules/node_modules/puppeteer-core" ]; then
  mkdir -p "$modules"
  cp tests/web/package.json tests/web/package-lock.json "$modules/"
  (cd "$modules" && npm ci --no-audit --no-fund --loglevel=error)
fi
cp scripts/page-screenshot.mjs "$modules/"

scratch=$(mktemp -d)
service=
cleanup() {
  if [ -n "$service" ]; then kill -TERM "$service" 2>/dev/null || true; wait "$service" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT
# A cover: a title band, a picture and a bar, drawn here.
convert -size 600x800 gradient:'#1d3a6e'-'#5fa8d3' -fill '#f2c14e' -draw "rectangle 0,90 600,210" \
  -fill '#1d3a6e' -draw "rectangle 60,125 540,175" -fill white -draw "circle 300,470 300,330" \
  -fill '#f2c14e' -draw "polygon 220,560 300,380 380,560" -fill '#0b1a33' -draw "rectangle 60,690 400,720" \
  -quality 92 "$scratch/cover.jpg"

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()')
./build/cubiform serve --bind 127.0.0.1 --port "$port" --workers 2 --stop-after-seconds 300 &
service=$!
for _ in $(seq 100); do
  curl -sf "http://127.0.0.1:$port/healthz" >/dev/null && break
  sleep 0.1
done
HOME=$scratch node "$modules/page-screenshot.mjs" "http://127.0.0.1:$port/" "$scratch/cover.jpg" \
  "$PWD/docs/page.png" "$PWD/docs/page-phone.png"
echo "wrote docs/page.png and docs/page-phone.png"
