#!/usr/bin/env bash
# Measures the start-up time to a usable main window: starts the program RUNS times (default 5)
# on one virtual display, each time until the window is shown and idle (the program ends there
# when VISOMORF_EXIT_WHEN_READY is set), and prints every run and the median wall time from
# launch to exit, splash included.
# Usage: scripts/measure_startup.sh [PROGRAM] [RUNS]
set -euo pipefail
self=$(realpath "$0")
root=$(dirname "$self")/..
program=$(realpath -m "${1:-$root/build/release/src/app/visomorf}")
runs=${2:-5}
if [[ ! -x $program ]]; then
    echo "no program at $program (build it first, e.g. cmake --build --preset release)" >&2
    exit 1
fi
measure() {
    local program=$1 runs=$2 times=()
    for ((i = 1; i <= runs; i++)); do
        local start end output
        start=$(date +%s%N)
        output=$(VISOMORF_EXIT_WHEN_READY=1 "$program" 2>/dev/null)
        end=$(date +%s%N)
        if [[ $output != ready* ]]; then
            echo "run $i: the window did not come up" >&2
            exit 1
        fi
        local ms=$(((end - start) / 1000000))
        echo "run $i: ${ms} ms to a usable window (program: ${output#ready })"
        times+=("$ms")
    done
    local median
    median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
    echo "median: ${median} ms over ${runs} runs"
}
if [[ -z ${DISPLAY:-} ]]; then
    # One virtual display for all runs, so that its start is not counted.
    exec env QT_QPA_PLATFORM=xcb xvfb-run -a "$self" "$program" "$runs"
fi
measure "$program" "$runs"
