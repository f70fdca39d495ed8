#!/bin/bash
# An independent reader agrees with our export and our document file: assimp opens the
# exported OBJ with our vertex and face counts, and opens the mesh block of a saved document
# (extracted to a .x file) with its counts. Fails, never skips, when assimp is missing.
# Vertex counts come from assimp's dump with only identical vertices joined (its summary
# splits vertices for the normals and tangents it generates itself).
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

status=0
check() { # what, ours, assimp's
    if [[ "$2" != "$3" ]]; then
        echo "$1: ours $2, assimp '$3'" >&2
        status=1
    else
        echo "$1: $2"
    fi
}

# assimp's face count from its summary, and its vertex count with identical vertices joined.
assimp_counts() { # file -> sets faces, vertices
    local info
    info=$(assimp info "$1" 2>&1 | grep -v '%') || { echo "$info" >&2; exit 1; }
    faces=$(grep -m1 '^Faces:' <<<"$info" | awk '{print $2}')
    assimp dump "$1" "$scratch/dump.xml" -xml -jiv >/dev/null 2>&1 || {
        echo "assimp dump failed on $1" >&2
        exit 1
    }
    vertices=$(grep -o '<Positions num="[0-9]*"' "$scratch/dump.xml" | head -1 | tr -dc 0-9)
}

for detail in low medium high; do
    obj=$scratch/$detail.obj
    "$visomorf" --export "$obj" --detail $detail --texture-size 64 >/dev/null
    ours_v=$(grep -c '^v ' "$obj")
    check "$detail: v and vt lines" "$ours_v" "$(grep -c '^vt ' "$obj")"
    assimp_counts "$obj"
    check "$detail OBJ faces" "$(grep -c '^f ' "$obj")" "$faces"
    check "$detail OBJ vertices" "$ours_v" "$vertices"
done

"$visomorf" --save "$scratch/doc.vmf" >/dev/null
read -r _ ours_faces _ ours_vertices _ ours_standard < <("$vmf_mesh" "$scratch/doc.vmf" "$scratch/mesh.x")
if [[ "$(head -c 16 "$scratch/mesh.x")" != "xof 0303bzip0032" ]]; then
    echo "the mesh block is not a compressed binary .x file" >&2
    exit 1
fi
check "document mesh: the head's vertices" 479 "$ours_vertices"
assimp_counts "$scratch/mesh.x"
check "document mesh faces" "$ours_faces" "$faces"
# assimp does not read FVFData (sideUV, modelUV): it sees the vertices distinct in the rest.
check "document mesh vertices (standard templates)" "$ours_standard" "$vertices"
exit $status
