#!/usr/bin/env bash
# The client's web view beside two references, alternating, on a virtual
# display against the demo site (by hand, never in CI):
#   - client:        quorvel, bound to the demo site
#   - bare:          a bare WebKitGTK window on the same page (bench/bare_webkit.c)
#   - bare-nocomp:   the same with WEBKIT_DISABLE_COMPOSITING_MODE=1
#   - chromium:      Debian's Chromium in app mode with a fresh profile
# For each run: start to page loaded and to first frame (reported by the
# page), PSS of the process tree 15 s after start, CPU seconds until then,
# idle CPU of the tree over the next 30 s. Then the client's notice latency
# (console message to notice window shown) over 100 messages.
#   bash bench/webview_bench.sh [RUNS]     (default 9)
#   ONLY_LATENCY=1 bash bench/webview_bench.sh   (the notice latency alone)
#   CONFIGS="client bare-nocomp" bash bench/webview_bench.sh 3   (some programs only)
#   START_ONLY=1 bash bench/webview_bench.sh 12   (start to first frame only, no
#        memory or idle figures; the first run of each program is left out)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-9}
only_latency=${ONLY_LATENCY:-}
source bench/webview_common.sh
gcc -O2 -o "$work/bare_webkit" bench/bare_webkit.c $(pkg-config --cflags --libs webkit2gtk-4.1)
chromium=$(command -v chromium || true)

tree_ticks() { tree_sum "$1" stat '{print $14 + $15}'; }
loads() { curl -s "$site/control/page-loads" | sed 's/.*"count":\([0-9]*\).*/\1/'; }

start() {  # prints the pid of what it started
  case $1 in
    client) start_client ;;
    bare) HOME="$(home_of bare)" "$work/bare_webkit" "$page" >/dev/null 2>&1 & ;;
    bare-nocomp)
      HOME="$(home_of bare-nocomp)" WEBKIT_DISABLE_COMPOSITING_MODE=1 "$work/bare_webkit" "$page" \
        >/dev/null 2>&1 &
      ;;
    chromium)
      rm -rf "$work/profile"
      "$chromium" --app="$page" --user-data-dir="$work/profile" --no-first-run --disable-gpu \
        --disable-background-networking --disable-component-update --disable-sync \
        --no-sandbox >/dev/null 2>&1 &
      ;;
  esac
  echo $!
}

measure() {  # one run: load paint pss_kb cpu_s idle_percent
  local before t0 pid timing load paint ticks15 ticks45 hz
  hz=$(getconf CLK_TCK)
  before=$(loads)
  t0=$(now_ms)
  pid=$(start "$1")
  for _ in $(seq 600); do [ "$(loads)" != "$before" ] && break; sleep 0.05; done
  for _ in $(seq 200); do
    timing=$(curl -s "$site/control/timing")
    [[ $timing == *"\"loads\":$((before + 1))"* ]] && break
    sleep 0.05
  done
  load=$(( $(echo "$timing" | sed 's/.*"load":"\([0-9]*\)".*/\1/') - t0 ))
  paint=$(( $(echo "$timing" | sed 's/.*"paint":"\([0-9]*\)".*/\1/') - t0 ))
  if [ -n "${START_ONLY:-}" ]; then
    echo "$load $paint 0 0 0"
    pkill -P "$pid" 2>/dev/null || true
    kill "$pid" 2>/dev/null || true
    sleep 1
    return
  fi
  sleep $(( 15 - ($(now_ms) - t0) / 1000 ))
  ticks15=$(tree_ticks "$pid")
  echo "$load $paint $(tree_pss_kb "$pid") $(awk "BEGIN {print $ticks15 / $hz}")" >"$work/m"
  sleep 30
  ticks45=$(tree_ticks "$pid")
  echo "$(cat "$work/m") $(awk "BEGIN {printf \"%.2f\", ($ticks45 - $ticks15) / $hz / 30 * 100}")"
  pkill -P "$pid" 2>/dev/null || true
  kill "$pid" 2>/dev/null || true
  sleep 2
}

configs=(client bare bare-nocomp)
[ -n "$chromium" ] && configs+=(chromium)
# CONFIGS="client bare-nocomp" measures some of them only.
[ -n "${CONFIGS:-}" ] && read -r -a configs <<<"$CONFIGS"
for c in "${configs[@]}"; do : >"$work/$c.txt"; done
[ -n "$only_latency" ] && runs=0
for run in $(seq "$runs"); do
  for c in "${configs[@]}"; do
    measure "$c" >>"$work/$c.txt"
    echo "run $run $c: $(tail -1 "$work/$c.txt")" >&2
  done
done
# The first start of each program pays for its caches and data folders.
if [ -n "${START_ONLY:-}" ] && [ "$runs" -gt 1 ]; then
  for c in "${configs[@]}"; do sed -i 1d "$work/$c.txt"; done
fi

stats() {  # column of a file: median [min-max]
  sort -n <(awk "{print \$$2}" "$1") | awk '{v[NR]=$1} END {m=(NR%2)?v[(NR+1)/2]:(v[NR/2]+v[NR/2+1])/2; printf "%s [%s-%s]", m, v[1], v[NR]}'
}
if [ "$runs" -gt 0 ]; then
echo
echo "| program | load ms | first frame ms | PSS MiB (kB) | CPU s to idle | idle CPU % |"
echo "|---|---|---|---|---|---|"
for c in "${configs[@]}"; do
  echo "| $c | $(stats "$work/$c.txt" 1) | $(stats "$work/$c.txt" 2) | $(stats "$work/$c.txt" 3) | $(stats "$work/$c.txt" 4) | $(stats "$work/$c.txt" 5) |"
done
fi

[ -n "${START_ONLY:-}" ] && exit 0

# Notice latency: from the page's console call with a visitor message to the
# notice window mapped, 100 times. The page reports when it made the call;
# x_probe reports the map and closes the notice again as its close box would.
pid=$(start client)
for _ in $(seq 200); do xdotool search --name '^Quorvel在线客服 - ' >/dev/null 2>&1 && break; sleep 0.1; done
sleep 3
: >"$work/latency.txt"
for i in $(seq 100); do
  coproc PROBE { "$work/x_probe" notice '来自【'; }
  # Bash unsets the coprocess's variables as soon as it ends.
  probe_pid=$PROBE_PID
  [ -n "${PROBE[0]:-}" ] && read -r _ <&"${PROBE[0]}" || continue
  curl -s -o /dev/null --data-urlencode "from=v$((i % 5))" --data-urlencode nick=测速 \
    --data-urlencode text=你好 "$site/control/visitor-message"
  shown=""
  [ -n "${PROBE[0]:-}" ] && read -r -t 12 shown <&"${PROBE[0]}" || true
  wait "$probe_pid" 2>/dev/null || true
  handed=$(curl -s "$site/control/timing" | sed -n 's/.*"console":"\([0-9]*\)".*/\1/p')
  [ -n "$shown" ] && [ -n "$handed" ] && awk "BEGIN {printf \"%.1f\\n\", $shown - $handed}" >>"$work/latency.txt"
done
sort -n "$work/latency.txt" | awk '{v[NR]=$1} END {printf "notice latency over %d messages: p50 %s ms, p95 %s ms, max %s ms\n", NR, v[int(NR*0.5)], v[int(NR*0.95)], v[NR]}'
kill "$pid" 2>/dev/null || true
