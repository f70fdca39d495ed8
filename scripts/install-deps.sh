#!/usr/bin/env bash
# Installs every Debian 12 package Visomorf needs to build, test and run. With --packaging, also
# the tools that make and check the Debian package (scripts/package.sh, scripts/check-package.sh).
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev qt6-image-formats-plugins
  zlib1g-dev libturbojpeg0-dev libtbb-dev libgtest-dev libgmock-dev libbenchmark-dev libosd-dev
  assimp-utils xvfb xauth libx11-dev shared-mime-info xdotool man-db
  libdlib-dev libdlib-data libopencv-dev clang-format-16
)
if [ "${1:-}" = "--packaging" ]; then
  PACKAGES+=(dpkg-dev fakeroot file lintian appstream desktop-file-utils jq)
elif [ $# -gt 0 ]; then
  echo "usage: $0 [--packaging]" >&2
  exit 2
fi
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# node and npm run the glTF validator; a machine may have them from elsewhere than Debian.
if ! command -v npm >/dev/null; then missing+=(nodejs npm); fi
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The Khronos glTF validator that the export tests run, at the version the lock file names,
# installed inside the project (tools/gltf-validator/node_modules).
root=$(cd "$(dirname "$0")/.." && pwd)
validator="$root/tools/gltf-validator"
if [ ! -f "$validator/node_modules/.package-lock.json" ] ||
   [ "$validator/package-lock.json" -nt "$validator/node_modules/.package-lock.json" ]; then
  npm ci --prefix "$validator" --no-audit --no-fund
fi
