#!/usr/bin/env bash
# How fast the console comes back (by hand, never in CI), the client
# (release) bound to the demo site on a virtual display:
#   - from the web process's death (SIGKILL) to the console's load event;
#   - from the site's return after an outage of N seconds (the console
#     reloaded meanwhile, so that it shows the unreachable page) to the
#     console's load event, for outages of 8, 25 and 60 s.
# Times are the page's own load event (reported to the demo site) against
# the moment of the kill or of the site's return.
#   bash bench/recovery_bench.sh [RUNS]     (default 5 deaths, 2 outages each)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
source bench/webview_common.sh

timing_field() { curl -s "$site/control/timing" | sed -n "s/.*\"$1\":\"\{0,1\}\([0-9]*\).*/\1/p"; }
loads_now() { timing_field loads; }
web_process() { pgrep -P "$client" -f WebKitWebProcess | head -1; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
wait_load_after() {  # loads-before: waits for a later load, up to 10 min
  for _ in $(seq 6000); do
    [ "$(loads_now 2>/dev/null || echo 0)" -gt "$1" ] 2>/dev/null && return 0
    sleep 0.1
  done
  echo "no load"; exit 1
}

start_client
client=$!
for _ in $(seq 300); do [ -n "$(loads_now)" ] && break; sleep 0.1; done
sleep 3

deaths=()
for _ in $(seq "$runs"); do
  before=$(loads_now)
  t0=$(now_ms)
  kill -9 "$(web_process)"
  wait_load_after "$before"
  deaths+=($(($(timing_field load) - t0)))
  sleep 101  # three quick reloads in five minutes at most: one every 100 s
done
echo "death -> load (ms): ${deaths[*]}; median $(printf '%s\n' "${deaths[@]}" | median)"

for outage in 8 25 60; do
  returns=()
  for _ in 1 2; do
    stopped=$(grep -c 客服站点已停止 "$work/demo.out" || true)
    back=$(grep -c 客服站点已恢复 "$work/demo.out" || true)
    before=$(loads_now)
    curl -s -o /dev/null --data "seconds=$outage" "$site/control/down"
    until [ "$(grep -c 客服站点已停止 "$work/demo.out")" -gt "$stopped" ]; do sleep 0.05; done
    kill -9 "$(web_process)"
    until [ "$(grep -c 客服站点已恢复 "$work/demo.out")" -gt "$back" ]; do sleep 0.05; done
    t_back=$(now_ms)
    wait_load_after "$before"
    returns+=($(($(timing_field load) - t_back)))
    sleep 101
  done
  echo "outage ${outage} s: return -> load (ms): ${returns[*]}"
done
