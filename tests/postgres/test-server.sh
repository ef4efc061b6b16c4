#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests: `start DIR` makes a new cluster in DIR and starts
# it listening only on a Unix socket in DIR (no TCP), with the superuser katalox and no
# password; `restart DIR` restarts it as a server's upkeep does, dropping every connection;
# `stop DIR` stops it and removes DIR. The tests connect with
#   postgresql:///postgres?host=DIR&user=katalox
# The server refuses to run as root, so under root it runs as the system user postgres, which
# Debian's postgresql package makes.
# Usage: test-server.sh start|restart|stop DIR
set -euo pipefail
action=${1:-}
dir=${2:-}
[[ ($action == start || $action == restart || $action == stop) && $dir == /* ]] ||
  { echo "usage: $0 start|restart|stop ABSOLUTE_DIR" >&2; exit 2; }
fail() { echo "test-server: $*" >&2; exit 1; }

bindir=
if command -v pg_ctl >/dev/null && command -v initdb >/dev/null; then
  bindir=$(dirname "$(command -v pg_ctl)")
else
  for candidate in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V -r); do
    [[ -x $candidate/pg_ctl && -x $candidate/initdb ]] && { bindir=$candidate; break; }
  done
fi

as_owner=()
if [[ $(id -u) -eq 0 ]]; then
  id postgres >/dev/null 2>&1 ||
    fail "running as root needs the system user postgres (scripts/install-deps.sh installs postgresql)"
  as_owner=(runuser -u postgres --)
fi

stop() {
  if [[ -n $bindir && -f $dir/data/postmaster.pid ]]; then
    "${as_owner[@]}" "$bindir/pg_ctl" -D "$dir/data" -m immediate -w -t 20 stop >/dev/null 2>&1 ||
      true
  fi
  rm -rf "$dir"
}

if [[ $action == stop ]]; then
  stop
  exit 0
fi
if [[ $action == restart ]]; then
  cd "$dir"
  "${as_owner[@]}" "$bindir/pg_ctl" -D "$dir/data" -m fast -w -t 30 restart >/dev/null 2>&1 ||
    fail "the server did not restart"
  exit 0
fi

[[ -n $bindir ]] ||
  fail "no PostgreSQL server programs (initdb, pg_ctl); scripts/install-deps.sh installs postgresql"
stop # what a run that was killed left behind
mkdir -p "$dir"
chmod 700 "$dir"
[[ ${#as_owner[@]} -eq 0 ]] || chown postgres: "$dir"
cd "$dir" # the server user may not be allowed into the caller's folder
if ! "${as_owner[@]}" "$bindir/initdb" -D "$dir/data" -U katalox --auth=trust -E UTF8 \
    --locale=C --no-sync --no-instructions >"$dir/initdb.log" 2>&1; then
  cat "$dir/initdb.log" >&2
  fail "initdb failed"
fi
# Durability is not wanted from a server that is thrown away after the run.
if ! "${as_owner[@]}" "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
    -o "-c listen_addresses='' -k '$dir' -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
    start >/dev/null 2>&1; then
  cat "$dir/server.log" >&2 2>/dev/null || true
  fail "the server did not start"
fi
echo "test-server: listening on $dir/.s.PGSQL.5432"
