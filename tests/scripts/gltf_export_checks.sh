#!/bin/bash
# Independent readers agree with our glTF export: the Khronos glTF validator finds no error and
# no warning in .glb and .gltf exports at every detail, and assimp opens each with our vertex and
# face counts (those of the OBJ export of the same head). Skips (code 77) only when node is not
# installed; a validator that was not installed (scripts/install-deps.sh) is a failure.
# Arguments: build directory, source directory.
set -euo pipefail
build=$1
source=$2
visomorf=$build/src/app/visomorf
validator=$source/tools/gltf-validator
if ! command -v node >/dev/null; then
    echo "SKIPPED: node is not installed, the glTF validator cannot run" >&2
    exit 77
fi
if [[ ! -d $validator/node_modules/gltf-validator ]]; then
    echo "the glTF validator is not installed: run scripts/install-deps.sh" >&2
    exit 1
fi
if ! command -v assimp >/dev/null; then
    echo "assimp is not installed (Debian package assimp-utils)" >&2
    exit 1
fi
if [[ ! -x $visomorf ]]; then
    echo "missing $visomorf (build all targets first)" >&2
    exit 1
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

status=0
check() { # what, expected, actual
    if [[ "$2" != "$3" ]]; then
        echo "$1: expected $2, got '$3'" >&2
        status=1
    else
        echo "$1: $2"
    fi
}

for detail in low medium high; do
    "$visomorf" --export "$scratch/$detail.obj" --detail $detail --texture-size 64 >/dev/null
    "$visomorf" --export "$scratch/$detail.glb" --detail $detail --texture-size 256 >/dev/null
    "$visomorf" --export "$scratch/$detail.gltf" --detail $detail --texture-size 64 >/dev/null
    # A name that needs percent-encoding in the .gltf's references (assimp does not decode
    # them, so only the validator reads this one).
    "$visomorf" --export "$scratch/$detail head.gltf" --detail $detail --texture-size 64 \
        --quality 100 >/dev/null
    node "$validator/validate.js" "$scratch/$detail.glb" "$scratch/$detail.gltf" \
        "$scratch/$detail head.gltf" || status=1
    obj_vertices=$(grep -c '^v ' "$scratch/$detail.obj")
    obj_faces=$(grep -c '^f ' "$scratch/$detail.obj")
    for file in "$scratch/$detail.glb" "$scratch/$detail.gltf"; do
        info=$(assimp info "$file" 2>&1 | grep -v '%') || { echo "$info" >&2; exit 1; }
        check "$(basename "$file") faces" "$obj_faces" "$(grep -m1 '^Faces:' <<<"$info" | awk '{print $2}')"
        assimp dump "$file" "$scratch/dump.xml" -xml -jiv >/dev/null 2>&1 || {
            echo "assimp dump failed on $file" >&2
            exit 1
        }
        check "$(basename "$file") vertices" "$obj_vertices" \
            "$(grep -o '<Positions num="[0-9]*"' "$scratch/dump.xml" | head -1 | tr -dc 0-9)"
    done
done
exit $status
