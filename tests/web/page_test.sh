#!/usr/bin/env bash
# The service's page in Debian's headless chromium, driven by puppeteer-core
# (installed from the lockfile beside this script into the build tree; tests
# only, the program never runs it or serves anything of it).
# Usage: page_test.sh CUBIFORM BUILD_FOLDER
set -euo pipefail
cubiform=$1
modules=$2/tests/web-driver
here=$(cd "$(dirname "$0")" && pwd)

if ! command -v node >/dev/null || ! command -v npm >/dev/null || ! command -v chromium >/dev/null; then
  echo "node, npm and chromium are needed (scripts/install-deps.sh installs them)"
  exit 77
fi
if ! cmp -s "$here/package-lock.json" "$modules/package-lock.json" 2>/dev/null ||
   [ ! -d "$modules/node_modules/puppeteer-core" ]; then
  mkdir -p "$modules"
  cp "$here/package.json" "$here/package-lock.json" "$modules/"
  (cd "$modules" && npm ci --no-audit --no-fund --loglevel=error)
fi
# Beside its modules, so that node finds them.
cp "$here/page_test.mjs" "$modules/"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LP_NUM_THREADS=0
# A cover drawn by the program itself (its leak check is the command's own
# tests' business: see page_test.mjs).
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" "$cubiform" render --size 300x400 --form 3 --background '#2050a0' --samples 2 -o "$work/cover.jpg"
HOME=$work node "$modules/page_test.mjs" "$cubiform" "$work/cover.jpg"
