#!/usr/bin/env bash
# Installs every Debian package the build, the tests and CI need.
# Quiet and quick when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev libqt6opengl6-dev
  libgl-dev libglu1-mesa-dev libgl1-mesa-dri libegl-dev libegl-mesa0
  libturbojpeg0-dev libjpeg62-turbo-dev libpng-dev zlib1g-dev libisal-dev libgif-dev liblcms2-dev
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev ffmpeg libpoppler-cpp-dev
  libhwy-dev
  libembree-dev
  libcpp-httplib-dev libssl-dev
  libgtest-dev libbenchmark-dev
  xvfb xauth openbox xdotool
  parallel
  python3-yaml
  nodejs
  imagemagick
  chromium
  clang libclang-rt-14-dev
  desktop-file-utils appstream shared-mime-info
  dpkg-dev fakeroot file lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# The glTF validator's test needs npm; some nodejs builds bring their own.
command -v npm >/dev/null || missing+=(npm)

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
