#!/usr/bin/env bash
# Runs every benchmark program in the given folder; each prints `BENCH <name> <value> <unit>` lines.
# Those of the catalogue on a server share a throwaway PostgreSQL server, started here unless
# KATALOX_BENCH_POSTGRES names one already.
set -uo pipefail
dir=$1
if [[ -z ${KATALOX_BENCH_POSTGRES+set} ]]; then
  exec "$(dirname "$0")/with-bench-server.sh" "$0" "$@"
fi
status=0
export QT_QPA_PLATFORM=offscreen
for bench in "$dir"/bench_*; do
  [[ -x "$bench" && -f "$bench" ]] || continue
  echo "== $(basename "$bench")"
  timeout 600 "$bench" || { echo "!! $(basename "$bench") failed"; status=1; }
done
exit $status
