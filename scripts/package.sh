#!/usr/bin/env bash
# Builds the Debian package from a clean build directory (preset "package": optimised, with
# debugging information stripped from the package, installed under /usr) and checks it:
# lintian must report no errors, the AppStream metadata and the desktop entry must validate.
# Prints the package's path on its last line: build/package/visomorf_VERSION_ARCH.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/install-deps.sh --packaging
export CCACHE_DIR="${CCACHE_DIR:-$root/.ccache}"
# The package preset compiles with the dev preset's flags, so with paths taken relative to the
# tree, a dev build's objects come out of the compiler cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"

rm -rf build/package
cmake --preset package >/dev/null
cmake --build --preset package
(cd build/package && cpack -G DEB >/dev/null)
debs=(build/package/visomorf_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "package.sh: expected one package in build/package, found: ${debs[*]}" >&2
  exit 1
fi
deb=${debs[0]}

depends=$(dpkg-deb -f "$deb" Depends)
if grep -Eq '(^|, )[^ ,]+-dev( |,|$)' <<<"$depends"; then
  echo "package.sh: the package depends on development packages: $depends" >&2
  exit 1
fi
appstreamcli validate --no-net build/package/packaging/*.metainfo.xml
desktop-file-validate resources/desktop/*.desktop
lintian --fail-on error --info "$deb"
echo "$deb"
