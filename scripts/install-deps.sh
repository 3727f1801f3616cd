#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the benchmarks need.
# Quick when everything is already present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6network6 libqt6widgets6
  qt6-webengine-dev qt6-webengine-dev-tools libqt6webenginecore6-bin
  qt6-svg-dev libqt6printsupport6 qt6-translations-l10n
  libxml2-dev libxslt1-dev libsqlite3-dev zlib1g-dev
  libgtest-dev googletest
  xvfb xauth x11-utils openbox wmctrl imagemagick fonts-dejavu-core
  curl openssl poppler-utils
  desktop-file-utils appstream dpkg-dev file
  # a real Tiny Tiny RSS server for the synchronisation tests
  tt-rss dbconfig-no-thanks php-pgsql php-cli php-curl postgresql-15
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# tt-rss would otherwise ask to set up a database of its own; the tests make theirs.
echo 'tt-rss tt-rss/dbconfig-install boolean false' | $sudo debconf-set-selections
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
