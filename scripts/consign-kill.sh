#!/usr/bin/env bash
# consign-kill.sh [orders]
#
# The real agent-client, unattended against the simulator with ORDERS paid
# shop orders (Taobao and Paipai mixed), is killed with SIGKILL while its
# consigns and marks are out: the shops hold them back and take them only
# after the client has died. Started again, the client must settle them by
# the shops' order lists, which no longer offer them, and not by a second
# consign, which a shop answers with an error page. Then every order the
# platform recharged is shipped (3) and every shop counted exactly one consign
# or mark of it.
#
# Environment: BUILD_DIR (default build/debug), SEED (the orders' seed;
# default 7), HOLD_MS (how long the shops hold a consign back; default 4000),
# FINISH_TIMEOUT (seconds the second client has to finish; default 120),
# KEEP=1 keeps the work folder.
set -euo pipefail

orders=${1:-8}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/debug}
seed=${SEED:-7}
hold=${HOLD_MS:-4000}
finish_timeout=${FINISH_TIMEOUT:-120}
consign_path=/taobao/wuliu/user/consign_dummy.htm
mark_path=/paipai/wuliu/cgi-bin/wuliu/marknowuliu

name=consign-kill
# shellcheck source=scripts/run-harness.sh
source "$root/scripts/run-harness.sh"
harness_setup sqlite3 curl setsid

fault() {
  curl -sf -X POST "$base/__sim/faults" -d "{\"path\":\"$1\",\"kind\":\"$2\",\"delayMs\":$hold}" >/dev/null
}

# The ship ids of the consigns and marks the shops have received so far.
consigns_sent() {
  curl -sf "$base/__sim/requests" |
    grep -oE 'consign_dummy\.htm\?order_id=[^&"]*|biz_deal=[^%"&]*' | sed 's/^.*=//' | sort
}

shipped_total() {
  curl -sf "$base/__sim/summary?format=text" | awk '{ n += $9 } END { print n + 0 }'
}

# Until the condition holds, at most the seconds given.
wait_for() {
  local seconds=$1
  shift
  local deadline=$(($(date +%s) + seconds))
  until "$@"; do
    [ "$(date +%s)" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

echo "consign-kill: $orders orders, seed $seed, simulator on port $port"
fault "$consign_path" delay
fault "$mark_path" delay
start_client
# Killed once each shop that has orders has a consign or mark out.
shops=$(curl -sf "$base/__sim/summary?format=text" | awk '{ print $3 }' | sort -u)
all_shops_out() {
  local log
  log=$(curl -sf "$base/__sim/requests") || return 1
  for shop in $shops; do
    case $shop in
      taobao) grep -q 'consign_dummy\.htm' <<<"$log" || return 1 ;;
      paipai) grep -q 'marknowuliu' <<<"$log" || return 1 ;;
    esac
  done
}
wait_for 120 all_shops_out || { echo "consign-kill: no consign was sent in every shop" >&2; exit 1; }
stop_client KILL
out_at_kill=$(consigns_sent | uniq)
echo "consign-kill: killed with consigns out for: $(echo $out_at_kill)"

# The shops take what the dead client sent, after it died.
all_taken() { [ "$(shipped_total)" -ge "$(consigns_sent | wc -l)" ]; }
wait_for 60 all_taken || { echo "consign-kill: the shops did not take the held consigns" >&2; exit 1; }
fault "$consign_path" none
fault "$mark_path" none

start_client
finished() { snapshot && [ "$(unfinished)" -eq 0 ]; }
wait_for "$finish_timeout" finished || echo "consign-kill: $(unfinished) orders unfinished after ${finish_timeout}s" >&2
sleep 3 # a few more delivery steps and lists: nothing may be consigned again
snapshot
stop_client TERM

violations=0
report() {
  echo "VIOLATION: $*"
  violations=$((violations + 1))
}
while read -r no ship shop card fault requests recharges sim_status shipped db; do
  case $db in
    3) [ "$shipped" -eq 1 ] || report "$no ($shop) is shipped, the shop counted $shipped consigns" ;;
    -1 | 2 | 4) [ "$shipped" -eq 0 ] || report "$no ($shop) is $db, the shop counted $shipped consigns" ;;
    *) report "$no ($shop) did not finish: $db" ;;
  esac
done <"$work/joined.txt"
for ship in $out_at_kill; do
  line=$(awk -v s="$ship" '$2 == s' "$work/joined.txt")
  [ -n "$line" ] || { report "$ship was consigned but is no seeded order"; continue; }
  read -r no _ shop _ _ _ _ _ shipped db <<<"$line"
  [ "$db" = 3 ] && [ "$shipped" -eq 1 ] ||
    report "$no ($shop), out at the kill: status $db, consigns $shipped"
done

echo "consign-kill: out at the kill $(echo "$out_at_kill" | grep -c .), orders $(wc -l <"$work/joined.txt"), violations $violations"
[ "$violations" -eq 0 ]
