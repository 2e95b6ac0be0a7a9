#!/usr/bin/env bash
# Writes the option tables of docs/manual.md and the list of commands of the
# help page anew from the program's tables: builds the small writer in BUILD
# (default: build) and runs it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cmake --build "$build" --target cubiform-option-docs >/dev/null
"$build/cubiform-option-docs" manual "$root/docs/manual.md"
"$build/cubiform-option-docs" help "$root/help/Default.htm"
echo "docs/manual.md: option tables written; help/Default.htm: commands written"
