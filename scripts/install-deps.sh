#!/usr/bin/env bash
# Installs the Debian packages the project needs and the machine lacks.
#   scripts/install-deps.sh          what building and running the demo needs
#   scripts/install-deps.sh --test   that, plus what the test suite needs
#   scripts/install-deps.sh --package   that, plus what making the Debian package needs
set -euo pipefail

packages=(
  cmake make g++ pkg-config
  libsdl2-dev libsdl2-image-dev libsdl2-mixer-dev libglew-dev
  libpng-dev libjpeg62-turbo-dev
  qtbase5-dev libboost-dev libglm-dev
  libimgui-dev libavformat-dev libavcodec-dev libavfilter-dev libswscale-dev libswresample-dev
  libfreetype-dev libharfbuzz-dev libicu-dev  # text: glyphs, shaping, bidirectional order
  libfftw3-dev libaubio-dev
  libgl1-mesa-dri libglx-mesa0 libegl-mesa0 xvfb xauth x11-utils
  xfonts-base  # SDL's X11 message box cannot open without the server's fonts
  help2man go-md2man  # the man pages are made at build time
)
# What cpack needs for the Debian package and its dependencies.
package_tools=(dpkg-dev file)
if [[ "${1:-}" == "--test" ]]; then
  packages+=(
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    xdotool imagemagick ffmpeg
    libpugixml-dev libtinyxml2-dev
    "${package_tools[@]}" man-db bash-completion  # the package test makes, unpacks and uses the package
    libsdl2-ttf-dev  # the reference text rendering the text tests compare with
    fonts-lohit-deva  # a Devanagari font for the shaping test
  )
fi
if [[ "${1:-}" == "--package" ]]; then
  packages+=("${package_tools[@]}")
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
install() {
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}
# A fresh machine has no package lists yet; an old one may have stale ones.
if ! install; then
  "${sudo[@]}" apt-get update -q
  install
fi
