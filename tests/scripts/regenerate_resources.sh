#!/bin/bash
# Runs the resource generators into a scratch folder and compares every output with the file
# committed under resources/: the embedded data must be exactly what the generators make.
# Arguments: build directory, source directory.
set -euo pipefail
build=$1
source=$2
headgen=$build/tools/headgen
subdivgen=$build/tools/subdivgen
for tool in "$headgen" "$subdivgen"; do
    if [[ ! -x $tool ]]; then
        echo "missing generator $tool (build all targets first)" >&2
        exit 1
    fi
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

"$headgen" "$scratch" >/dev/null
"$subdivgen" "$scratch/head.x" "$scratch" >/dev/null

status=0
for file in head.x featureset.bin stage1.bin stage2.bin; do
    if ! cmp "$scratch/$file" "$source/resources/$file"; then
        echo "resources/$file differs from a fresh generation" >&2
        status=1
    fi
done
exit $status
