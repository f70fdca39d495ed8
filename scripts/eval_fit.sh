#!/usr/bin/env bash
# Measures the automatic fit on real photos of 20 people: fits each front photo with a profile,
# renders the exported head at the front and at about 45 degrees and compares it with the real
# photos (tools/eval_fit). Prints a table; writes eval_fit_right.csv / .json (or _left) into the
# build folder. Exit status: 0 when the fit meets its targets, 1 when not, 77 when the photos are
# absent (they are kept outside the repository, in ../shared/eval-photos).
#
#   scripts/eval_fit.sh [--visomorf PATH] [--left] [--sheet DIR] [--people 001,002]
#                       [--front-only] [--build DIR] [--photos DIR] [--require fits,front]
#
# --visomorf  the program to evaluate (default: the build folder's)
# --left      fit the left-facing profile and compare with the photo turned left
# --sheet     contact sheets (photos beside renders) into DIR, which must lie outside the
#             repository: the photos and anything made from them are for evaluation only
# --people    only these people
# --front-only  fit the front photo alone (what the front fit does by itself)
# --require   the targets that decide the exit status (fits, front, angled; default all)
# --build     the build folder (default build/dev); --photos: the photos (default
#             ../shared/eval-photos beside the repository, or $VISOMORF_EVAL_PHOTOS)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/dev
photos=${VISOMORF_EVAL_PHOTOS:-$root/../shared/eval-photos}
visomorf=
args=()
while [[ $# -gt 0 ]]; do
    case $1 in
    --visomorf) visomorf=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --photos) photos=$2; shift 2 ;;
    --left) args+=(--left); shift ;;
    --front-only) args+=(--front-only); shift ;;
    --people) args+=(--people "$2"); shift 2 ;;
    --require) args+=(--require "$2"); shift 2 ;;
    --sheet)
        sheet=$(realpath -m "$2")
        case $sheet/ in
        "$root"/*)
            echo "eval_fit.sh: $2 is inside the repository; contact sheets show the evaluation" \
                "photos and must stay outside it (e.g. /tmp/eval_sheet)" >&2
            exit 2 ;;
        esac
        args+=(--sheet "$sheet"); shift 2 ;;
    -h|--help) sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "eval_fit.sh: unknown argument $1 (see --help)" >&2; exit 2 ;;
    esac
done
if [[ ! -d $photos ]]; then
    echo "eval_fit.sh: no evaluation photos at $photos; skipping" \
        "(set VISOMORF_EVAL_PHOTOS or --photos to run it)"
    exit 77
fi
visomorf=${visomorf:-$build/src/app/visomorf}
tool=$build/tools/eval_fit
for program in "$visomorf" "$tool"; do
    if [[ ! -x $program ]]; then
        echo "eval_fit.sh: missing $program (build the targets visomorf and eval_fit)" >&2
        exit 2
    fi
done
exec "$tool" --visomorf "$(realpath "$visomorf")" --photos "$photos" --out "$build/eval_fit" \
    "${args[@]}"
