#!/usr/bin/env bash
# Renders the README's pictures from the demo project: docs/demo.png and
# docs/looks.png (the studio looks on) headless with the command line,
# docs/rounded.png (rounded edges) and docs/book.png (a book with its pages)
# headless by GL tests, docs/window.png as a screenshot of the window with
# the demo opened (under a virtual display). Run it again after a change to
# the drawing, the window or the demo art.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset dev >/dev/null
cmake --build build -j2 --target cubiform demo gui_tests
./build/cubiform render build/examples/demo/demo.pcf --size 360x360 --samples 4 -o docs/demo.png
echo "wrote docs/demo.png"
./build/cubiform render build/examples/demo/demo.pcf --size 480x480 --background '#e8e8ec' --depth 45 \
  --vertical=-5 --shadow 75 --reflection 35 --light 60 --smooth-textures --samples 16 -o docs/looks.png
echo "wrote docs/looks.png"
cmake --build build -j2 --target gl_tests
CUBIFORM_ROUNDED_PICTURE="$PWD/docs/rounded.png" env -u DISPLAY ./build/tests/gl_tests \
  --gtest_filter=ShapePictures.RoundedDemoForTheReadme >/dev/null
echo "wrote docs/rounded.png"
CUBIFORM_BOOK_PICTURE="$PWD/docs/book.png" env -u DISPLAY ./build/tests/gl_tests \
  --gtest_filter=ShapePictures.BookDemoForTheReadme >/dev/null
echo "wrote docs/book.png"
CUBIFORM_SCREENSHOT="$PWD/docs/window.png" CUBIFORM_SCREENSHOT_PROJECT="$PWD/build/examples/demo/demo.pcf" \
  xvfb-run -a -s "-screen 0 1280x1024x24" ./build/tests/gui_tests \
  --gtest_filter=WindowTest.WindowCanBeGrabbed >/dev/null
echo "wrote docs/window.png"
