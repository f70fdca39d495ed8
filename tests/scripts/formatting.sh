#!/bin/bash
# Every C++ file follows .clang-format (scripts/format.sh rewrites the ones that do not).
# Arguments: build directory, source directory.
set -euo pipefail
exec "$2/scripts/format.sh" --check
