#!/usr/bin/env bash
# Installs what is needed, builds Visomorf and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release
cmake --build --preset release
exec build/release/visomorf "$@"
