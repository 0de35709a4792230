#!/usr/bin/env bash
# Installs what is missing, builds, starts the platform simulator and the
# client against it, and on a display the small messenger whose chat windows
# receive the Taobao buyers' card codes (sent lines in run/messenger.txt).
# Stops the simulator and the messenger when the client exits.
#   ./run.sh                  client against the simulator
#   ./run.sh --platform URL   client against a real platform base URL
#   ./run.sh --offscreen      without a display
#   ./run.sh --seats 2        two clients (seats) sharing one order store on a
#                             throw-away PostgreSQL server (scripts/pg-local.sh)
set -euo pipefail
cd "$(dirname "$0")"

platform=""
offscreen=0
seats=1
while [ $# -gt 0 ]; do
  case "$1" in
    --platform) platform="${2:?--platform needs a URL}"; shift 2 ;;
    --offscreen) offscreen=1; shift ;;
    --seats) seats="${2:?--seats needs a number}"; shift 2 ;;
    -h|--help) sed -n '2,11p' "$0"; exit 0 ;;
    *) echo "run.sh: unknown option $1 (see ./run.sh --help)" >&2; exit 2 ;;
  esac
done

if [ $offscreen -eq 1 ]; then
  export QT_QPA_PLATFORM=offscreen
elif [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display found (DISPLAY is not set); use ./run.sh --offscreen to run without one." >&2
  exit 1
fi

./scripts/install-deps.sh

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DAGENT_BUILD_TESTS=OFF -DAGENT_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target agent-client platform-sim messenger-sim

if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---disable-background-networking --disable-component-update --no-first-run}"

mkdir -p run
client="$PWD/$build/app/agent-client"

if [ -n "$platform" ]; then
  printf '[platform]\nbaseUrl=%s\n' "$platform" > run/client.ini
  cd run && exec "$client" --config client.ini
fi

"$PWD/$build/sim/platform-sim" --port 0 --write-config run/client.ini > run/sim.log 2>&1 &
sim=$!
messenger=""
others=""
pgdir=""
trap 'kill $sim $messenger $others 2>/dev/null || true; wait $sim $messenger $others 2>/dev/null || true; if [ -n "$pgdir" ]; then "$PWD/scripts/pg-local.sh" stop "$pgdir" || true; fi' EXIT
# A signal ends the script through exit, so the simulator stops with it.
trap 'exit 130' INT
trap 'exit 143' TERM
for _ in $(seq 1 100); do
  grep -q '^account ' run/sim.log 2>/dev/null && break
  kill -0 $sim 2>/dev/null || { cat run/sim.log >&2; echo "run.sh: the simulator did not start" >&2; exit 1; }
  sleep 0.1
done
echo "Simulator: $(grep '^listening' run/sim.log)"
echo "Demo login: $(grep '^account' run/sim.log)"
echo "Demo shops: $(grep '^taobao ' run/sim.log); $(grep '^paipai ' run/sim.log)"
if [ $offscreen -eq 0 ] && [ -n "${DISPLAY:-}" ]; then
  root="http://$(grep '^listening' run/sim.log | cut -d' ' -f2)/"
  "$PWD/$build/sim/messenger-sim" --sim "$root" --out run/messenger.txt > run/messenger.log 2>&1 &
  messenger=$!
  echo "Messenger: chats open as the client asks; sent card codes go to run/messenger.txt"
fi
if [ "$seats" -le 1 ]; then
  (cd run && "$client" --config client.ini)
  exit
fi

# Several seats: one PostgreSQL store, each seat a client in a folder of its own.
eval "$(./scripts/pg-local.sh start)"
pgdir=$AGENT_PG_DIR
echo "Order store: PostgreSQL on $(grep '^port=' "$AGENT_PG_INI" | cut -d= -f2) (127.0.0.1), seats 前台1 … 前台$seats"
for n in $(seq 1 "$seats"); do
  mkdir -p "run/seat$n"
  { sed -e '/^\[orders\]$/d' -e '/^database=data.mdb$/d' run/client.ini
    cat "$AGENT_PG_INI"
    echo "seat=前台$n"; } > "run/seat$n/client.ini"
done
for n in $(seq 2 "$seats"); do
  (cd "run/seat$n" && "$client" --config client.ini) &
  others="$others $!"
done
(cd run/seat1 && "$client" --config client.ini)
