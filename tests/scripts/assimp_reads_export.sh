#!/bin/bash
# An independent reader agrees with our export and our document file: assimp opens the
# exported OBJ with our vertex and face counts, and opens the mesh block of a saved document
# (extracted to a .x file) with the head's counts. Fails, never skips, when assimp is missing.
# Arguments: build directory, source directory.
set -euo pipefail
build=$1
visomorf=$build/src/app/visomorf
vmf_mesh=$build/tools/vmf_mesh
if ! command -v assimp >/dev/null; then
    echo "assimp is not installed (Debian package assimp-utils)" >&2
    exit 1
fi
for tool in "$visomorf" "$vmf_mesh"; do
    if [[ ! -x $tool ]]; then
        echo "missing $tool (build all targets first)" >&2
        exit 1
    fi
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The number after a label in assimp's summary ("Vertices:   1234").
summary() { grep -m1 "^$2:" <<<"$1" | awk '{print $2}'; }

status=0
check() { # what, expected, actual
    if [[ "$2" != "$3" ]]; then
        echo "$1: ours $2, assimp $3" >&2
        status=1
    else
        echo "$1: $2"
    fi
}

for detail in low medium high; do
    "$visomorf" --export "$scratch/$detail.obj" --detail $detail --texture-size 64 >/dev/null
    ours_v=$(grep -c '^v ' "$scratch/$detail.obj")
    ours_vt=$(grep -c '^vt ' "$scratch/$detail.obj")
    ours_f=$(grep -c '^f ' "$scratch/$detail.obj")
    check "$detail: v and vt lines" "$ours_v" "$ours_vt"
    info=$(assimp info "$scratch/$detail.obj" 2>&1 | grep -v '%') || { echo "$info" >&2; exit 1; }
    check "$detail OBJ vertices" "$ours_v" "$(summary "$info" Vertices)"
    check "$detail OBJ faces" "$ours_f" "$(summary "$info" Faces)"
done

"$visomorf" --save "$scratch/doc.vmf" >/dev/null
"$vmf_mesh" "$scratch/doc.vmf" "$scratch/mesh.x"
if [[ "$(head -c 16 "$scratch/mesh.x")" != "xof 0303bzip0032" ]]; then
    echo "the mesh block is not a compressed binary .x file" >&2
    exit 1
fi
info=$(assimp info "$scratch/mesh.x" 2>&1 | grep -v '%') || { echo "$info" >&2; exit 1; }
check "document mesh faces" 916 "$(summary "$info" Faces)"
vertices=$(summary "$info" Vertices)
# assimp may split vertices per face corner; it never has fewer than the head's 479.
if [[ -z "$vertices" || "$vertices" -lt 479 ]]; then
    echo "document mesh vertices: assimp reports '$vertices'" >&2
    status=1
else
    echo "document mesh vertices: assimp $vertices (479 in the head)"
fi
exit $status
