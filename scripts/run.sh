#!/usr/bin/env bash
# Installs what is needed, builds Visomorf and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release
cmake --build --preset release
# Until the windows exist the program works from the command line; with no arguments it
# explains its options.
if [ $# -eq 0 ]; then set -- --help; fi
exec build/release/src/app/visomorf "$@"
