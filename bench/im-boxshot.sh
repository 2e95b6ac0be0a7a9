#!/usr/bin/env bash
# The box shot a user would make without Cubiform: ImageMagick warps one
# landscape cover onto the front of a box and a strip of it onto the shaded
# left side, both with -distort Perspective, over a plain background. This is
# what bench/batch-render.sh compares the program against.
#   bench/im-boxshot.sh COVER OUT.png [SIZE]      (SIZE square, default 1800)
set -euo pipefail
cover="$1"
out="$2"
size="${3:-1800}"
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert

# Corners are laid out for 1800 and scaled to SIZE.
at() { echo $(($1 * size / 1800)),$(($2 * size / 1800)); }
front_w=1200 front_h=800   # the cover, scaled to about the face's size first
side_w=200

"$convert" "$cover" -resize "${front_w}x${front_h}!" -write mpr:face +delete \
  -size "${size}x${size}" 'xc:#203040' \
  \( mpr:face -alpha set -virtual-pixel transparent \
     -define "distort:viewport=${size}x${size}+0+0" \
     -distort Perspective "0,0 $(at 640 520) $((front_w - 1)),0 $(at 1620 610) \
       $((front_w - 1)),$((front_h - 1)) $(at 1620 1210) 0,$((front_h - 1)) $(at 640 1290)" \) \
  -composite \
  \( mpr:face -crop "${side_w}x${front_h}+0+0" +repage -brightness-contrast -30x0 \
     -alpha set -virtual-pixel transparent -define "distort:viewport=${size}x${size}+0+0" \
     -distort Perspective "0,0 $(at 380 565) $((side_w - 1)),0 $(at 640 520) \
       $((side_w - 1)),$((front_h - 1)) $(at 640 1290) 0,$((front_h - 1)) $(at 380 1235)" \) \
  -composite -alpha off "png:$out"
