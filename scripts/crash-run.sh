#!/usr/bin/env bash
# crash-run.sh [kills] [orders]
#
# The simulator with ORDERS paid shop orders (Taobao and Paipai mixed, card
# products among them, a few whose recharge answer comes late or never), and
# the real agent-client started against it unattended with both monitors on,
# killed with SIGKILL at random moments KILLS times and started again each
# time, then left to run until every order is finished. Then it checks what
# an agent relies on and prints the figures:
#   - no order recharged twice: the simulator's recharge requests per order key;
#   - no order lost: every order in data.mdb, in a status that says what it is;
#   - no failure shown as success: shipped (3) only when the shop took the
#     mark, recharged (1, 3) only when the platform recharged it, failed (2, 4)
#     never for one it recharged;
#   - no order marked shipped twice: the shops answer a repeat with an error
#     page, and count it;
#   - orders whose outcome a kill made unknown stay unknown and are not sent
#     again; PRAGMA integrity_check of data.mdb; "待反馈.txt" readable, line by line.
# Exit status 0 when every order is finished and nothing is violated.
#
# Environment: BUILD_DIR (default build/debug), SEED (the orders' and the
# kills' seed; default random, printed), KILL_MIN/KILL_MAX (seconds a client
# lives before its kill; default 2 and 12), PLATFORM_DELAY_MS (how long the
# platform takes over each recharge, so that kills find orders on the way;
# default 300), FINISH_TIMEOUT (seconds the last client has to finish;
# default 120 + orders), KEEP=1 keeps the work folder.
set -euo pipefail

kills=${1:-20}
orders=${2:-200}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/debug}
seed=${SEED:-$((RANDOM % 65536))}
kill_min=${KILL_MIN:-2}
kill_max=${KILL_MAX:-12}
platform_delay=${PLATFORM_DELAY_MS:-300}
finish_timeout=${FINISH_TIMEOUT:-$((120 + orders))}
RANDOM=$seed

name=crash-run
# shellcheck source=scripts/run-harness.sh
source "$root/scripts/run-harness.sh"
harness_setup sqlite3 curl iconv setsid

if [ "$platform_delay" -gt 0 ]; then
  curl -sf -X POST "$base/__sim/faults" \
    -d "{\"path\":\"/platform/productcz1.asp\",\"kind\":\"delay\",\"delayMs\":$platform_delay}" >/dev/null
fi

started=$(date +%s)
echo "crash-run: $orders orders, $kills kills, seed $seed, simulator on port $port"
for ((k = 1; k <= kills; k++)); do
  start_client
  life=$((kill_min + RANDOM % (kill_max - kill_min + 1)))
  sleep "$life"
  stop_client KILL
  snapshot
  echo "crash-run: kill $k after ${life}s: $(unfinished) orders unfinished"
done

start_client
deadline=$(($(date +%s) + finish_timeout))
while :; do
  sleep 2
  snapshot
  left=$(unfinished)
  [ "$left" -eq 0 ] && break
  if [ "$(date +%s)" -ge "$deadline" ]; then
    echo "crash-run: $left orders still unfinished after ${finish_timeout}s" >&2
    break
  fi
  if ! kill -0 "$client_pid" 2>/dev/null; then
    echo "crash-run: the client ended by itself" >&2
    break
  fi
done
sleep 3 # a few more delivery steps: nothing may be shipped twice
snapshot
stop_client TERM
elapsed=$(($(date +%s) - started))

# ---- the figures ----
violations=0
report() {
  echo "VIOLATION: $*"
  violations=$((violations + 1))
}
while read -r no ship shop card fault requests recharges sim_status shipped db; do
  [ "$requests" -le 1 ] || report "$no sent to the platform $requests times"
  [ "$recharges" -le 1 ] || report "$no recharged $recharges times"
  case $db in
    none) report "$no ($shop) is not in data.mdb" ;;
    3)
      [ "$shipped" -ge 1 ] || report "$no says shipped, the shop has no mark"
      [ "$recharges" -ge 1 ] || report "$no says recharged and shipped, the platform never recharged it"
      ;;
    1)
      [ "$recharges" -ge 1 ] || report "$no says recharged, the platform never recharged it"
      ;;
    2 | 4)
      [ "$sim_status" != 1 ] || report "$no says failed ($db), the platform recharged it"
      [ "$db" != 4 ] || [ "$recharges" -eq 0 ] || report "$no says not delivered, the platform took it"
      ;;
  esac
  if [ "$shipped" -ge 1 ] && [ "$recharges" -eq 0 ]; then
    report "$no marked shipped at the shop without a recharge"
  fi
  [ "$shipped" -le 1 ] || report "$no ($shop) marked shipped $shipped times"
done <"$work/joined.txt"

count() { awk "$1" "$work/joined.txt" | wc -l; }
total=$(wc -l <"$work/joined.txt")
shipped=$(count '$10 == 3')
unknown=$(count '$10 == -1')
unknown_kill=$(count '$10 == -1 && ($5 == "-" || $5 == "delay")')
unknown_fault=$(count '$10 == -1 && ($5 == "drop" || $5 == "rundrop")')
failed=$(count '$10 == 2 || $10 == 4')
left=$(count '$10 != 3 && $10 != -1 && $10 != 2 && $10 != 4')
requests=$(awk '{ n += $6 } END { print n + 0 }' "$work/joined.txt")
recharges=$(awk '{ n += $7 } END { print n + 0 }' "$work/joined.txt")
unknown_recharged=$(count '$10 == -1 && $7 >= 1')
max_requests=$(awk 'BEGIN { m = 0 } $6 > m { m = $6 } END { print m }' "$work/joined.txt")
consigns=$(awk '{ c[$9 >= 2 ? "2+" : $9]++ } END { for (k in c) printf "%s×%s ", c[k], k }' \
  "$work/joined.txt")

integrity=$(sql "PRAGMA integrity_check")
[ "$integrity" = ok ] || report "data.mdb integrity_check: ${integrity:-cannot be read}"

feedback="$work/待反馈.txt"
feedback_lines=0
if [ -f "$feedback" ]; then
  if ! text=$(iconv -f GBK -t UTF-8 "$feedback" 2>/dev/null); then
    report "待反馈.txt is not GBK text"
  else
    feedback_lines=$(printf '%s' "$text" | grep -c '' || true)
    bad=$(printf '%s\n' "$text" | tr -d '\r' | grep -cvE '^补反馈<o>[^<]*<o>1<o>[^<]*<o>[^<]*$' || true)
    [ "$bad" -eq 0 ] || report "待反馈.txt has $bad lines that are not 补反馈<o>…"
    [ ! -s "$feedback" ] || [ "$(tail -c 2 "$feedback" | od -An -tx1 | tr -d ' \n')" = 0d0a ] ||
      report "待反馈.txt does not end with CR LF"
  fi
fi

cat <<EOF
crash-run: seed $seed, $kills kills, ${elapsed}s
orders $total: shipped $shipped, unknown $unknown ($unknown_kill through a kill or a late answer, $unknown_fault through a dropped answer; $unknown_recharged of them recharged by the platform), failed $failed, unfinished $left
recharge requests $requests (at most $max_requests per order key), recharges $recharges
consigns/marks per order: $consigns
data.mdb integrity_check: $integrity; 待反馈.txt: $feedback_lines lines
violations: $violations
EOF
[ "$violations" -eq 0 ] && [ "$left" -eq 0 ]
