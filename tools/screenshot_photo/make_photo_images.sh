#!/bin/bash
# Makes the photo view pictures in docs/images (photo_front.png, photo_side.png, magnifier.png):
# the astronaut portrait that python3-skimage ships, with the box fitted by hand through the
# views (astronaut_fit.txt), under a virtual X display.
# Arguments: build directory (default build/dev). Needs xvfb-run and python3-skimage.
set -euo pipefail
build=${1:-build/dev}
root=$(cd "$(dirname "$0")/../.." && pwd)
photo=/usr/lib/python3/dist-packages/skimage/data/astronaut.png
if [ ! -f "$photo" ]; then
    echo "missing $photo: apt-get install python3-skimage" >&2
    exit 1
fi
xvfb-run -a "$build/tools/screenshot_photo" "$root/docs/images" "$photo" "$photo" \
    --fit "$root/tools/screenshot_photo/astronaut_fit.txt"
