#!/usr/bin/env bash
# The installed program: `cmake --install` into a staging folder (DESTDIR), the desktop entry,
# metainfo, manual pages and shell completion as a desktop and a packager check them, and the
# installed program started without a display and in an empty home.
# Usage: check-install.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d)
pid=
trap '[[ -n $pid ]] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
app=org.katalox.Katalox

DESTDIR=$work/stage cmake --install "$build" --prefix /usr >/dev/null
[[ $(ls "$work/stage") == usr ]] || fail "files installed outside the prefix: $(ls "$work/stage")"
usr=$work/stage/usr
for file in bin/katalox bin/katalox-newcatalog share/applications/$app.desktop \
    share/metainfo/$app.metainfo.xml share/icons/hicolor/scalable/apps/$app.svg \
    share/icons/hicolor/{48x48,128x128,256x256}/apps/$app.png \
    share/man/man1/katalox.1.gz share/man/man1/katalox-newcatalog.1.gz \
    share/man/man1/katalox-cli.1.gz share/bash-completion/completions/katalox-cli \
    share/doc/katalox/copyright; do
  [[ -s $usr/$file ]] || fail "not installed: $file"
done
# The command-line program, wherever the build puts it, once it is built.
if [[ -n $(find "$build" -maxdepth 3 -path "$build/_CPack_Packages" -prune -o \
    -type f -name katalox-cli -perm -u+x -print -quit) ]]; then
  [[ -x $usr/bin/katalox-cli ]] || fail "not installed: bin/katalox-cli"
fi

desktop-file-validate "$usr/share/applications/$app.desktop" || fail "desktop entry"
grep -qx 'Exec=katalox --user-folder' "$usr/share/applications/$app.desktop" ||
  fail "the desktop entry does not start the per-user mode"
appstreamcli validate --no-net "$usr/share/metainfo/$app.metainfo.xml" >"$work/appstream" 2>&1 ||
  { cat "$work/appstream"; fail "metainfo"; }

for page in katalox katalox-newcatalog katalox-cli; do
  MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$usr/share/man/man1/$page.1.gz" \
    >"$work/page" 2>"$work/warnings" || fail "man -l $page"
  [[ ! -s $work/warnings ]] || { cat "$work/warnings"; fail "warnings in $page.1"; }
  grep -q "^NAME" "$work/page" || fail "$page.1 renders no NAME section"
done

# The completion loads in a plain shell and offers the commands and a command's options.
completion=$usr/share/bash-completion/completions/katalox-cli
bash -n "$completion" || fail "the completion does not parse"
offered() {
  bash --norc --noprofile -c 'source "$1" && shift && COMP_WORDS=("$@") &&
    COMP_CWORD=$(($# - 1)) && _katalox_cli && echo "${COMPREPLY[*]}"' _ "$completion" "$@"
}
[[ $(offered katalox-cli "") == "find disks scan update export check init" ]] ||
  fail "the completion does not offer the commands"
[[ $(offered katalox-cli init "") == postgresql:// ]] ||
  fail "the completion does not offer init's connection URI"
[[ $(offered katalox-cli --folder /tmp find --re) == --regex ]] ||
  fail "the completion does not offer find's options"

# --help and --version answer where no display can be opened.
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb)
"${nodisplay[@]}" "$usr/bin/katalox" --help >"$work/help" || fail "--help"
grep -q -- "--user-folder" "$work/help" || fail "--help does not list --user-folder"
[[ $("${nodisplay[@]}" "$usr/bin/katalox" --version) == "katalox $version" ]] || fail "--version"
if "${nodisplay[@]}" "$usr/bin/katalox" --no-such-option 2>/dev/null; then
  fail "an unknown option was accepted"
fi

# The helper makes a catalogue once and never replaces it.
"$usr/bin/katalox-newcatalog" "$work/made.db" || fail "katalox-newcatalog"
if "$usr/bin/katalox-newcatalog" "$work/made.db" 2>/dev/null; then
  fail "katalox-newcatalog replaced a catalogue"
fi

# --user-folder with an empty home prepares the folder and the program opens its catalogue.
mkdir "$work/home"
folder=$work/home/.local/share/katalox
env -u XDG_DATA_HOME HOME="$work/home" QT_QPA_PLATFORM=offscreen \
  "$usr/bin/katalox" --user-folder >"$work/run.log" 2>&1 &
pid=$!
catalogue_open() {
  local fd
  for fd in "/proc/$pid/fd/"*; do
    [[ $(readlink "$fd" 2>/dev/null) == "$folder/DataBase/Files.db" ]] && return 0
  done
  return 1
}
for _ in $(seq 300); do
  catalogue_open && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if ! catalogue_open; then
  cat "$work/run.log"
  kill -0 "$pid" 2>/dev/null || { wait "$pid" && status=0 || status=$?; fail "the program ended with $status"; }
  fail "the program did not open $folder/DataBase/Files.db"
fi
grep -qx "DB PATH  #= $folder/DataBase/"$'\r' "$folder/config.ini" || fail "config.ini"
[[ $(sqlite3 "$folder/DataBase/Files.db" 'SELECT COUNT(*) FROM Files') == 0 ]] ||
  fail "the new catalogue is not an empty one"
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=
echo "installed program: all checks passed"
