#!/bin/bash
# Makes the README's automatic-fit pictures: the public-domain portrait in tests/autofit/data
# exported as the front photo without and with --auto-fit, each drawn from its OBJ and JPEG.
# Arguments: build directory (default build/dev).
set -euo pipefail
build=${1:-build/dev}
root=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
front="$root/tests/autofit/data/astronaut.jpg"
"$build/src/app/visomorf" --export "$scratch/before.obj" --detail high --front "$front"
"$build/src/app/visomorf" --export "$scratch/after.obj" --detail high --front "$front" --auto-fit
"$build/tools/render_export" "$scratch/before.obj" "$root/docs/images/autofit_before.png" 300
"$build/tools/render_export" "$scratch/after.obj" "$root/docs/images/autofit_after.png" 300
