#!/usr/bin/env bash
# Paints the picture strips of the iButton controls again into assets/buttons/.
# The committed PNGs are what the client is built with; run this only after
# changing scripts/button-strips/main.cpp. Needs Qt 6 and fonts-wqy-microhei.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(mktemp -d)"
trap 'rm -rf "$build"' EXIT

cmake -S "$root/scripts/button-strips" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 >/dev/null
QT_QPA_PLATFORM=offscreen "$build/button-strips" "$root/assets/buttons"
