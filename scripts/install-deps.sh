#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the demo need.
# Runs `apt-get update` at most once and only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-webengine-dev
  qt6-multimedia-dev libqt6svg6 qt6-l10n-tools
  libgl-dev libxkbcommon-dev
  libcpp-httplib-dev libssl-dev
  libbenchmark-dev libsqlite3-dev libgumbo-dev
  postgresql libqt6sql6-psql
  libxdo-dev
  xvfb xauth trayer x11-utils
  fonts-wqy-microhei poppler-utils
  espeak-ng sox
  sqlite3 curl
  clang-format
  dpkg-dev file
  clang libclang-rt-dev ccache
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
