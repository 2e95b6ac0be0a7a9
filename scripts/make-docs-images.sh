#!/usr/bin/env bash
# Renders the README's example picture (docs/demo.png) from the demo project,
# headless. Run it again after a change to the drawing or the demo art.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset dev >/dev/null
cmake --build build -j2 --target cubiform demo
./build/cubiform render build/examples/demo/demo.pcf --size 360x360 --samples 4 -o docs/demo.png
echo "wrote docs/demo.png"
