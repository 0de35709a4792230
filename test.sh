#!/usr/bin/env bash
# Installs what is missing, builds the Debug configuration with the
# sanitizers on, and runs every test. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

build=build/debug
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DAGENT_SANITIZE=ON
cmake --build "$build" -j2

if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi

# A PostgreSQL server of this run for the order store's server tests.
pglocal="$PWD/scripts/pg-local.sh"
eval "$("$pglocal" start)"
trap '"$pglocal" stop "$AGENT_PG_DIR" || true' EXIT

cd "$build"
status=0
ctest --output-on-failure --label-exclude xvfb || status=1
# Tests that need a real X server (and a tray host) run under xvfb-run.
if ctest -N --label-regex xvfb | grep -q 'Total Tests: [1-9]'; then
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    bash -c 'trayer --edge top --align right >/dev/null 2>&1 & sleep 1; ctest --output-on-failure --label-regex xvfb; rc=$?; kill %1 2>/dev/null; exit $rc' \
    || status=1
fi
cd - >/dev/null
# A few seconds of every page reader's fuzz target, in its own clang build.
./scripts/fuzz.sh 5 || status=1
exit $status
