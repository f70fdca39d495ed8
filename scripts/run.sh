#!/usr/bin/env bash
# Installs what is needed, builds Visomorf and starts it: with no arguments the main window opens
# with a new document; a document path opens that document; the command-line options
# (visomorf --help) work without a display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release
cmake --build --preset release
exec build/release/src/app/visomorf "$@"
