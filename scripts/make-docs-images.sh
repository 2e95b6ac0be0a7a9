#!/usr/bin/env bash
# Renders the pictures of README.md and docs/manual.md from the demo
# project: docs/demo.png and docs/looks.png (the studio looks on) headless
# with the command line,
# docs/rounded.png (rounded edges), docs/book.png (a book with its pages) and
# docs/bundle.png (three boxes in one picture) headless by GL tests,
# docs/sides.png (an own back picture, drawn here) and
# docs/fit.png (classic framing beside --fit), docs/engines.png (the raster
# beside the ray tracer, one box and a bundle) with the command line and
# ImageMagick, docs/window.png as a screenshot of the window with
# the demo opened (under a virtual display), and the service's page by its
# sibling make-page-images.sh. Run it again after a change to the drawing,
# the window, the page or the demo art.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset dev >/dev/null
cmake --build build -j2 --target cubiform demo gui_tests
./build/cubiform render build/examples/demo/demo.pcf --size 360x360 --samples 4 -o docs/demo.png
echo "wrote docs/demo.png"
./build/cubiform render build/examples/demo/demo.pcf --size 480x480 --background '#e8e8ec' --depth 45 \
  --vertical=-5 --shadow 75 --reflection 35 --light 60 --smooth-textures --samples 16 -o docs/looks.png
echo "wrote docs/looks.png"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
demo=build/examples/demo/demo.pcf
# A back cover of its own: text lines and a bar code, painted here.
bars=""
for x in 80 100 112 134 146 170 182 204 220 240 254; do bars+="rectangle $x,560 $((x + (x % 3) * 5 + 4)),700 "; done
convert -size 600x800 gradient:'#f4e3c1'-'#c9874a' -fill '#5a2e12' \
  -draw "rectangle 60,80 540,120" -draw "rectangle 60,160 480,190" -draw "rectangle 60,220 500,250" \
  -draw "rectangle 60,280 420,310" -fill white -draw "roundrectangle 60,520 300,740 18,18" \
  -fill '#222222' -draw "$bars" "$scratch/back.png"
shot=(--background '#e8e8ec' --size 360x360 --samples 4)
./build/cubiform render "$demo" "${shot[@]}" --shadow --light --fit 10 -o "$scratch/front.png"
./build/cubiform render "$demo" "${shot[@]}" --shadow --light --fit 10 --back "$scratch/back.png" \
  --side-angle 200 -o "$scratch/back-view.png"
convert "$scratch/front.png" "$scratch/back-view.png" +append docs/sides.png
echo "wrote docs/sides.png"
book=(--form "Hard cover book" --shadow --reflection --light)
./build/cubiform render "$demo" "${shot[@]}" "${book[@]}" -o "$scratch/classic.png"
./build/cubiform render "$demo" "${shot[@]}" "${book[@]}" --fit -o "$scratch/fitted.png"
convert "$scratch/classic.png" "$scratch/fitted.png" +append docs/fit.png
echo "wrote docs/fit.png"
# The same scene from both engines: the raster's looks, then the ray tracer.
scene=(--background '#e8e8ec' --size 400x400 --edge-radius 12 --shadow 75 --reflection 35 --light 60 --fit 8)
./build/cubiform render "$demo" "${scene[@]}" --smooth-textures --samples 16 -o "$scratch/raster.png"
./build/cubiform render "$demo" "${scene[@]}" --engine raytrace --gloss 40 -o "$scratch/traced.png"
# Below, a bundle from both engines: the demo, a book with its pages and a soft-cover book.
./build/cubiform render "$demo" --form "Hard cover book" --book-pages --save-project "$scratch/book.pcf"
./build/cubiform render "$demo" --form 9 --save-project "$scratch/soft.pcf"
group=(--bundle "$demo" "$scratch/book.pcf" "$scratch/soft.pcf" --background '#e8e8ec' --size 400x260
  --shadow 75 --reflection 35 --light 60 --fit 8)
./build/cubiform render "${group[@]}" --smooth-textures --samples 16 -o "$scratch/raster-group.png"
./build/cubiform render "${group[@]}" --engine raytrace --gloss 40 -o "$scratch/traced-group.png"
convert \( "$scratch/raster.png" "$scratch/traced.png" +append \) \
  \( "$scratch/raster-group.png" "$scratch/traced-group.png" +append \) -append +repage docs/engines.png
echo "wrote docs/engines.png"
cmake --build build -j2 --target gl_tests
CUBIFORM_ROUNDED_PICTURE="$PWD/docs/rounded.png" env -u DISPLAY ./build/tests/gl_tests \
  --gtest_filter=ShapePictures.RoundedDemoForTheManual >/dev/null
echo "wrote docs/rounded.png"
CUBIFORM_BOOK_PICTURE="$PWD/docs/book.png" env -u DISPLAY ./build/tests/gl_tests \
  --gtest_filter=ShapePictures.BookDemoForTheManual >/dev/null
echo "wrote docs/book.png"
CUBIFORM_BUNDLE_PICTURE="$PWD/docs/bundle.png" env -u DISPLAY ./build/tests/gl_tests \
  --gtest_filter=BundlePictures.BundleDemoForTheManual >/dev/null
echo "wrote docs/bundle.png"
CUBIFORM_SCREENSHOT="$PWD/docs/window.png" CUBIFORM_SCREENSHOT_PROJECT="$PWD/build/examples/demo/demo.pcf" \
  xvfb-run -a -s "-screen 0 1280x1024x24" ./build/tests/gui_tests \
  --gtest_filter=WindowTest.WindowCanBeGrabbed >/dev/null
echo "wrote docs/window.png"
scripts/make-page-images.sh
