# Sourced by crash-run.sh and consign-kill.sh: the simulator with seeded shop
# orders and the real agent-client run unattended against it, killed and
# started again. The caller sets name (for messages), build, orders and seed,
# then calls harness_setup with the tools it needs besides the programs.

harness_setup() {
  simulator=$build/sim/platform-sim
  client=$build/app/agent-client
  for program in "$simulator" "$client"; do
    [ -x "$program" ] || { echo "$name: $program is not built" >&2; exit 2; }
  done
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$name: $tool is missing (scripts/install-deps.sh)" >&2; exit 2; }
  done

  export QT_QPA_PLATFORM=offscreen
  if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
  # A client killed by a signal runs no leak check anyway.
  export ASAN_OPTIONS=${ASAN_OPTIONS:-new_delete_type_mismatch=0:detect_leaks=0}
  export ASAN_OPTIONS=${ASAN_OPTIONS/detect_leaks=1/detect_leaks=0}

  work=$(mktemp -d "${TMPDIR:-/tmp}/$name.XXXXXX")
  sim_pid=""
  client_pid=""
  trap cleanup EXIT

  "$simulator" --port 0 --write-config "$work/client.ini" --seed-orders "$orders" --seed "$seed" \
    >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  port=""
  for _ in $(seq 100); do
    port=$(sed -n 's/^listening 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/sim.out")
    [ -n "$port" ] && break
    sleep 0.1
  done
  [ -n "$port" ] || { echo "$name: the simulator did not start" >&2; cat "$work/sim.err" >&2; exit 2; }
  base="http://127.0.0.1:$port"
}

stop_client() {
  local signal=$1
  if [ -n "$client_pid" ]; then
    # The client leads a process group of its own, with its browser processes.
    kill -"$signal" -- -"$client_pid" 2>/dev/null || true
    wait "$client_pid" 2>/dev/null || true
    client_pid=""
  fi
}

cleanup() {
  stop_client KILL
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  if [ "${KEEP:-0}" = 1 ]; then
    echo "$name: work folder kept: $work"
  else
    rm -rf "$work"
  fi
}

start_client() {
  # setsid: the client's own process group, so its kill takes its browser
  # processes with it and nothing else.
  setsid "$client" --unattended --workdir "$work" \
    --account demo --password demo123 --trade-password 888888 \
    --monitor taobao --monitor paipai \
    --shop-login "$base/taobao/wuliu/login TPL_username=demo_seller&TPL_password=tb123456" \
    --shop-login "$base/paipai/trade/login uin=10001&password=pp123456" \
    --shop-login "$base/paipai/trade/tradepassword tradePassword=123456" \
    --refresh-ms 1500 --delivery-ms 300 --poll-ms 500 \
    >>"$work/client.out" 2>>"$work/client.err" &
  client_pid=$!
}

sql() {
  sqlite3 -readonly -cmd ".timeout 5000" -separator ' ' "$work/data.mdb" "$1" 2>/dev/null || true
}

# Joins the simulator's summary with the store: one line an order,
#   orderNo shipId shop card fault requests recharges simStatus shipped dbStatus
# dbStatus "none" when the store does not hold it.
snapshot() {
  curl -sf "$base/__sim/summary?format=text" >"$work/summary.txt"
  sql "select 订单编号, 充值状态 from 充值订单 where 用户 = '10086'" >"$work/db.txt"
  awk 'NR == FNR { db[$1] = $2; next }
       { print $0, (($1 in db) ? db[$1] : "none") }' "$work/db.txt" "$work/summary.txt" \
    >"$work/joined.txt"
}

# Orders not finished yet: not shipped (3), not unknown (-1), not failed (2, 4).
unfinished() {
  awk '$10 != 3 && $10 != -1 && $10 != 2 && $10 != 4' "$work/joined.txt" | wc -l
}
