#!/bin/bash
# Makes the README's export pictures: two test-pattern photos (a checkerboard in front, stripes
# at the side), an export at High detail, the exported head drawn from its OBJ and JPEG, and the
# same head exported as .glb and drawn by f3d.
# Arguments: build directory (default build/dev). Needs ImageMagick's convert, python3, f3d and
# xvfb-run.
set -euo pipefail
# f3d brings a large toolkit with it, so only this picture script installs it.
if ! command -v f3d >/dev/null; then
  apt-get install -y --no-install-recommends f3d || sudo apt-get install -y --no-install-recommends f3d
fi
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

# The same head as .glb, drawn by a renderer that is not ours: f3d (Debian package f3d), under
# xvfb-run, from the front, at three quarters and from the side. f3d 1.3 (VTK 9.1) shows a
# material marked KHR_materials_unlit without its texture, all white; so the copy it draws has
# the mark replaced by the fallback the unlit look asks of such viewers: the same texture as
# emitted colour. Geometry, axes, texture coordinates and texture are the file's own.
"$build/src/app/visomorf" --export "$scratch/head.glb" --detail high --texture-size 1024 \
    --front "$scratch/front.jpg" --side "$scratch/side.jpg"
python3 - "$scratch/head.glb" "$scratch/drawn.glb" <<'PY'
import json, struct, sys
data = open(sys.argv[1], 'rb').read()
length = struct.unpack('<I', data[12:16])[0]
gltf = json.loads(data[20:20 + length])
material = gltf['materials'][0]
del material['extensions']
del gltf['extensionsUsed']
material['emissiveTexture'] = {'index': 0}
material['emissiveFactor'] = [1, 1, 1]
text = json.dumps(gltf).encode()
text += b' ' * (-len(text) % 4)
rest = data[20 + length:]
out = struct.pack('<5I', 0x46546C67, 2, 20 + len(text) + len(rest), len(text), 0x4E4F534A)
open(sys.argv[2], 'wb').write(out + text + rest)
PY
views=()
for azimuth in 0 35 90; do
    xvfb-run -a f3d "$scratch/drawn.glb" --camera-azimuth-angle $azimuth --bg-color 1,1,1 \
        --fxaa --resolution 400,500 --output "$scratch/glb_$azimuth.png"
    views+=("$scratch/glb_$azimuth.png")
done
convert "${views[@]}" -trim -bordercolor white -border 16 +append \
    "$root/docs/images/export_glb.png"
