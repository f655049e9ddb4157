#!/bin/bash
# Installs what a fresh Debian 12 machine lacks to build and test the runtime.
# Idempotent: when every package is present it only checks and returns.
set -euo pipefail

PACKAGES=(
  build-essential cmake g++-multilib gcc-multilib pkg-config
  googletest xvfb x11-apps x11-utils xdotool binutils-mingw-w64-i686 clang libclang-rt-14-dev
  dpkg-dev groff-base shared-mime-info python3
  libsdl2-dev:i386 libpng-dev:i386 libjpeg62-turbo-dev:i386
  libenet-dev:i386
  libfreetype-dev:i386 libfontconfig-dev:i386 fonts-liberation
  libsdl2-ttf-dev:i386
  libopenal-dev:i386 libsndfile1-dev:i386 libxmp-dev:i386 libfluidsynth-dev:i386 timgm6mb-soundfont
)

need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "$need_i386" = 0 ] && [ "${#missing[@]}" = 0 ]; then
  exit 0
fi

SUDO=""
[ "$(id -u)" = 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
if [ "$need_i386" = 1 ]; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-remove "${missing[@]}" >/dev/null
