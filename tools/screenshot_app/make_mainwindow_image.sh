#!/bin/bash
# Makes docs/images/mainwindow.png: the main window at 1280 x 860 in the layout All, with the
# astronaut portrait that python3-skimage ships as front and side photo and the head fitted by
# the automatic fit and by hand (astronaut_autofit.txt), under a virtual X display.
# Arguments: build directory (default build/dev). Needs xvfb-run and python3-skimage.
set -euo pipefail
build=${1:-build/dev}
root=$(cd "$(dirname "$0")/../.." && pwd)
photo=/usr/lib/python3/dist-packages/skimage/data/astronaut.png
if [ ! -f "$photo" ]; then
    echo "missing $photo: apt-get install python3-skimage" >&2
    exit 1
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
all_layout=32796
xvfb-run -a -s "-screen 0 1600x1000x24" "$build/tools/screenshot_app" "$out" "$all_layout" \
    --size 1280x860 --photos "$photo" "$photo" --fit "$root/tools/screenshot_app/astronaut_autofit.txt"
cp "$out/mainwindow.png" "$root/docs/images/mainwindow.png"
echo "wrote $root/docs/images/mainwindow.png"
