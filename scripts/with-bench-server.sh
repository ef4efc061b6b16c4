#!/usr/bin/env bash
# Runs a command beside a throwaway PostgreSQL server of its own (tests/postgres/test-server.sh,
# in a new folder under /tmp), named to it by KATALOX_BENCH_POSTGRES as
#   postgresql:///postgres?host=DIR&user=katalox
# The server is stopped and its folder removed when the command ends, however it ends. When no
# server can be started the command runs all the same, the variable set empty, and the
# benchmarks that need one say so.
# Usage: with-bench-server.sh COMMAND [ARGS...]
set -uo pipefail
server=$(cd "$(dirname "$0")/.." && pwd)/tests/postgres/test-server.sh
dir=$(mktemp -d /tmp/katalox-bench-pg-XXXXXX) || exit 1
trap '"$server" stop "$dir"' EXIT
trap 'exit 130' INT TERM HUP
export KATALOX_BENCH_POSTGRES=
if "$server" start "$dir" >/dev/null; then
  export KATALOX_BENCH_POSTGRES="postgresql:///postgres?host=$dir&user=katalox"
else
  echo "!! no PostgreSQL server for the benchmarks that need one" >&2
fi
"$@"
