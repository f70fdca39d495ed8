#!/bin/bash
# Makes the README's export pictures: two test-pattern photos (a checkerboard in front, stripes
# at the side), an export at High detail, and the exported head drawn from its OBJ and JPEG.
# Arguments: build directory (default build/dev). Needs ImageMagick's convert.
set -euo pipefail
build=${1:-build/dev}
root=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
convert -size 600x800 gradient:'#f6d2b4-#b5653a' \
    \( -size 150x200 pattern:checkerboard -scale 400% -level 0%,100%,0.5 \) \
    -compose multiply -composite "$scratch/front.jpg"
stripes=()
for y in 0 100 200 300 400 500 600 700; do stripes+=(-draw "rectangle 0,$y 600,$((y + 20))"); done
convert -size 600x800 gradient:'#b7d7f0-#2f5f9a' \
    \( -size 600x800 xc:white -fill '#d0d0d0' "${stripes[@]}" \) \
    -compose multiply -composite "$scratch/side.jpg"
"$build/src/app/visomorf" --export "$scratch/head.obj" --detail high --texture-size 1024 \
    --front "$scratch/front.jpg" --side "$scratch/side.jpg"
"$build/tools/render_export" "$scratch/head.obj" "$root/docs/images/export_views.png" 320
convert "$scratch/head.jpg" -resize 384x384 -quality 85 "$root/docs/images/export_texture.jpg"
