#!/usr/bin/env bash
# Every kind and shape of box as cubiform render --export-model writes it,
# with JPEG and PNG covers and own side pictures, checked by the Khronos glTF
# validator (npm's gltf-validator, installed from the lockfile beside this
# script into the build tree; tests only, the program never runs it).
# Usage: gltf_validator_test.sh CUBIFORM BUILD_FOLDER
set -euo pipefail
cubiform=$1
modules=$2/tests/gltf-validator
here=$(cd "$(dirname "$0")" && pwd)

if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "node and npm are needed (scripts/install-deps.sh installs them)"
  exit 77
fi
if ! cmp -s "$here/package-lock.json" "$modules/package-lock.json" 2>/dev/null ||
   [ ! -d "$modules/node_modules/gltf-validator" ]; then
  mkdir -p "$modules"
  cp "$here/package.json" "$here/package-lock.json" "$modules/"
  (cd "$modules" && npm ci --no-audit --no-fund --loglevel=error)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export LP_NUM_THREADS=0
# Covers drawn by the program itself: a JPEG, a PNG with transparency kept
# out (the model's PNG is opaque), and a grey JPEG.
"$cubiform" render --size 96x128 --background '#c04020' -o front.jpg
"$cubiform" render --size 32x128 --form 5 -o side.png
"$cubiform" render --size 128x32 --eye 20 -o top.jpg
models=()
export_model() {
  local name=$1; shift
  "$cubiform" render "$@" --export-model "$name.glb"
  models+=("$name.glb")
}
for form in 0 1 2 3 4 5 6 7 8 9; do
  export_model "kind-$form" --form "$form" --front front.jpg --side side.png --top top.jpg
  export_model "rounded-$form" --form "$form" --edge-radius 30 --front front.jpg
done
export_model placeholders --form 0
export_model hard-book --form 8 --book-pages --front front.jpg --side side.png --back top.jpg
export_model soft-book --form 9 --book-pages --edge-radius 50
export_model own-sides --front front.jpg --back top.jpg --right side.png --bottom front.jpg --tilt-angle 270
export_model wide --size 1600x400 --front front.jpg --shadow --reflection --light

GLTF_VALIDATOR_MODULES="$modules/node_modules" node "$here/validate.mjs" "${models[@]}"
