#!/bin/bash
# The evaluation's contact sheets show photos that must never enter the repository: the script
# refuses a sheet folder inside the source tree (also when named through "..") and creates
# nothing there, while a folder beside it whose name merely starts the same is fine.
# Arguments: build directory, source directory.
set -euo pipefail
build=$1
src=$(cd "$2" && pwd)
script=$src/scripts/eval_fit.sh
status=0

set +e
out=$(bash "$script" --build "$build" --photos /nonexistent --sheet "$src/docs/eval_sheet" 2>&1)
code=$?
out2=$(bash "$script" --build "$build" --photos /nonexistent \
    --sheet "$src/../$(basename "$src")/x/../eval_sheet" 2>&1)
code2=$?
sibling=$src-eval-sheet-check
out3=$(bash "$script" --build "$build" --photos /nonexistent --sheet "$sibling" 2>&1)
code3=$?
set -e

if [[ $code != 2 || $out != *"outside"* ]]; then
    echo "a sheet inside the repository was not refused (exit $code): $out" >&2
    status=1
fi
if [[ $code2 != 2 ]]; then
    echo "a sheet inside the repository named through .. was not refused (exit $code2): $out2" >&2
    status=1
fi
if [[ -e $src/docs/eval_sheet || -e $src/eval_sheet ]]; then
    echo "the refused sheet folder was created" >&2
    status=1
fi
# Beside the repository: accepted, then skipped for want of photos.
if [[ $code3 != 77 ]]; then
    echo "a sheet beside the repository was refused (exit $code3): $out3" >&2
    status=1
fi
rm -rf "$sibling"
exit $status
