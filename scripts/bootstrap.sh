#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this machine lacks.
# Cheap when everything is present: dpkg-query decides, apt-get runs only for the gap.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config python3 git file
  zlib1g-dev libpng-dev libjpeg-dev libgtest-dev googletest libbenchmark-dev libpixman-1-dev libexpat1-dev libxml2-dev
  clang
  mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix
  gcc-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 libz-mingw-w64-dev
  dpkg-dev nasm
  g++-i686-linux-gnu qemu-user
  libtomlplusplus-dev osslsigncode openssl
  wine wine64 xvfb xauth xdotool imagemagick x11-utils python3-pil
  # Two side-by-side monitors for Wine: Xorg's dummy driver with two RandR outputs.
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
  # Wine's media engine plays through GStreamer; ffmpeg makes the test videos.
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav gstreamer1.0-plugins-ugly
  gstreamer1.0-plugins-bad ffmpeg
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
