#!/usr/bin/env bash
# Remakes the stored baseline pictures from tests/baselines/cases.txt.
#
# Run it ONLY when a picture is meant to change (a new case, or a change to
# what the program draws that was decided on), never to make a failing
# comparison pass: the pictures are what the renderer is checked against.
# Look at every remade picture (git diff shows which) before committing.
#
# The cover pictures and the project in inputs/ are painted by the test's own
# code when missing and otherwise kept; delete one to have it painted again.
#
# Usage: tests/baselines/make-baselines.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
cmake --build "$build" -j2 --target cubiform gl_tests
env -u DISPLAY -u WAYLAND_DISPLAY CUBIFORM_REMAKE_BASELINES=1 \
  "$build/tests/gl_tests" --gtest_filter='Stored/BaselineTest.*:Stored/ShapeBaselines.*:Stored/BundleBaselines.*:BaselineManifest.*'
# Pictures of cases no longer in the manifest.
env -u DISPLAY -u WAYLAND_DISPLAY "$build/tests/gl_tests" --gtest_filter='BaselineManifest.*'
git status --short -- tests/baselines
