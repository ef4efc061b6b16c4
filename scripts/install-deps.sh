#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Katalox need, when missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-qpa-plugins
  libsqlite3-dev sqlite3 libjpeg62-turbo-dev libblkid-dev e2fsprogs libpcre2-dev libarchive-dev zip 7zip xorriso
  libxxhash-dev xxhash
  libpq-dev postgresql postgresql-contrib
  plocate
  libgtest-dev libgmock-dev
  xvfb xauth imagemagick
  desktop-file-utils appstream man-db groff-base gzip
  dpkg-dev fakeroot file lintian
  clang-format
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing missing packages: ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
  sudo=()
elif command -v sudo >/dev/null; then
  sudo=(sudo)
else
  echo "Please install as root: apt-get install ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
