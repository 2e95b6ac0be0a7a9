#!/usr/bin/env bash
# Writes the option tables of docs/manual.md anew from the option tables of
# the program: builds the small writer in BUILD (default: build) and runs it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cmake --build "$build" --target cubiform-option-docs >/dev/null
"$build/cubiform-option-docs" manual "$root/docs/manual.md"
echo "docs/manual.md: option tables written"
