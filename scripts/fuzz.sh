#!/usr/bin/env bash
# Runs every fuzz target in BUILD_DIR/fuzz for SECONDS each, seeded from fuzz/corpus/<target>.
set -euo pipefail
BUILD_DIR="$1"; SECONDS_EACH="${2:-60}"
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
status=0
# LeakSanitizer's exit scan of dynamic thread-local storage crashes on Debian 12 in programs
# that link oneTBB and load a Qt image plugin ("Tracer caught signal 11"); leaks are still found
# without following __tls_get_addr (the asan test preset sets the same).
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}intercept_tls_get_addr=0"
for target in "$BUILD_DIR"/fuzz/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name="$(basename "$target")"
  work="$BUILD_DIR/fuzz-work/$name"; mkdir -p "$work"
  seeds=()
  [ -d "$ROOT/fuzz/corpus/$name" ] && seeds+=("$ROOT/fuzz/corpus/$name")
  options=()
  [ -f "$ROOT/fuzz/$name.dict" ] && options+=("-dict=$ROOT/fuzz/$name.dict")
  echo "fuzzing $name for ${SECONDS_EACH}s"
  if ! "$target" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 "${options[@]}" "$work" "${seeds[@]}" >"$work.log" 2>&1; then
    echo "FUZZ FAILURE in $name"; tail -n 60 "$work.log"; status=1
  else
    grep -E "stat::number_of_executed_units|Done" "$work.log" | tail -n 2 || true
  fi
done
exit $status
