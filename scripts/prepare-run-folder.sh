#!/usr/bin/env bash
# Prepares the folder `make run` starts the program in: config.ini pointing at DataBase/Files.db
# and an empty catalogue there. Existing files are kept, so the catalogue survives rebuilds.
set -euo pipefail
rundir=$1
newcatalog=$2

mkdir -p "$rundir/DataBase"
rundir=$(cd "$rundir" && pwd)
[[ -e "$rundir/DataBase/Files.db" ]] || "$newcatalog" "$rundir/DataBase/Files.db"
if [[ ! -e "$rundir/config.ini" ]]; then
  printf 'TB Name  #= Files.db\r\nDB PATH  #= %s/DataBase/\r\n' "$rundir" > "$rundir/config.ini"
fi
