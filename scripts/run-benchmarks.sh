#!/usr/bin/env bash
# Runs every benchmark program in the given folder; each prints `BENCH <name> <value> <unit>` lines.
set -uo pipefail
dir=$1
status=0
export QT_QPA_PLATFORM=offscreen
for bench in "$dir"/bench_*; do
  [[ -x "$bench" && -f "$bench" ]] || continue
  echo "== $(basename "$bench")"
  timeout 600 "$bench" || { echo "!! $(basename "$bench") failed"; status=1; }
done
exit $status
