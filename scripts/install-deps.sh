#!/usr/bin/env bash
# Installs every Debian 12 package Visomorf needs to build, test and run.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev qt6-image-formats-plugins
  zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev libosd-dev
  assimp-utils xvfb xauth
  libdlib-dev libdlib-data libopencv-dev opencv-data
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
