#!/usr/bin/env bash
# Makes the Debian package from a build, checks what it holds and how it is
# described, and has lintian judge it: no errors allowed. The warnings that
# remain for a package made by CPack outside a Debian source tree are listed
# in docs/architecture.md ("The Debian package's checks").
set -euo pipefail
build="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/cubiform_*.deb)
contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for f in ./usr/bin/cubiform \
         ./usr/share/applications/com.example.Cubiform.desktop \
         ./usr/share/icons/hicolor/scalable/apps/com.example.Cubiform.svg \
         ./usr/share/mime/packages/com.example.Cubiform.xml \
         ./usr/share/metainfo/com.example.Cubiform.metainfo.xml \
         ./usr/share/cubiform/Help/Default.htm \
         ./usr/share/man/man1/cubiform.1.gz \
         ./usr/share/doc/cubiform/copyright \
         ./usr/share/doc/cubiform/changelog.gz; do
  grep -qx -- "$f" <<<"$contents" || { echo "missing from the package: $f"; exit 1; }
done
if grep -q '^\./usr/local' <<<"$contents"; then echo "files under /usr/local"; exit 1; fi

test "$(dpkg-deb -f "$deb" Package)" = cubiform
test "$(dpkg-deb -f "$deb" Section)" = graphics
# dpkg-shlibdeps found the libraries the program links.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6gui6 libturbojpeg0 libpng16-16 libgif7 libc6 libgl1-mesa-dri; do
  grep -q "$lib" <<<"$depends" || { echo "Depends lacks $lib: $depends"; exit 1; }
done

# The installed files are the package's: the program runs from it.
dpkg-deb -x "$deb" "$work/root"
env -u DISPLAY "$work/root/usr/bin/cubiform" --version | grep -qx 'Cubiform Classic 1.2'
zcat "$work/root/usr/share/man/man1/cubiform.1.gz" >"$work/cubiform.1"
grep -q '^\.BI \\-\\-dpi' "$work/cubiform.1"

lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1 ||
  { cat "$work/lintian.txt"; echo "lintian reports errors"; exit 1; }
cat "$work/lintian.txt"
echo "package check passed: $(basename "$deb")"
