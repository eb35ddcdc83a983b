#!/usr/bin/env bash
# A working day in a short: the client (release) bound to the demo site on
# a virtual display, a visitor message about every 5 s (notices, unread
# counts), a reply from the page every 30 s, for SOAK_MINUTES (default
# 120). Every minute the resident and proportional set sizes of the client
# and of its web and network processes go to a CSV file; at the end the
# growth after the first 10 minutes, fitted as a straight line, in MiB per
# hour (by hand, never in CI):
#   bash bench/soak.sh [CSV]        (default soak.csv)
set -euo pipefail
cd "$(dirname "$0")/.."
csv=$(realpath -m "${1:-soak.csv}")
minutes=${SOAK_MINUTES:-120}
DEMO_OPTIONS="--visitor-period 5" source bench/webview_common.sh

start_client
client=$!
for _ in $(seq 300); do pgrep -P "$client" -f WebKitWebProcess >/dev/null && break; sleep 0.1; done
kb() { awk -v key="$2" '$1 == key ":" {print $2}' "/proc/$1/$3" 2>/dev/null || echo 0; }
child() { pgrep -P "$client" -f "$1" | head -1; }

echo "minute,client_rss_kb,client_pss_kb,web_rss_kb,web_pss_kb,network_pss_kb" >"$csv"
start=$(date +%s)
for minute in $(seq 0 "$minutes"); do
  # Until the next minute: a reply every 30 s, as the agent's page sends it.
  while [ $(($(date +%s) - start)) -lt $((minute * 60)) ]; do
    curl -s -o /dev/null --data-urlencode "fromId=v$((RANDOM % 20))" \
      --data-urlencode "text=好的，马上为您处理" --data-urlencode bossId=9001 "$site/api/reply" || true
    sleep 30
  done
  kill -0 "$client" 2>/dev/null || { echo "the client ended at minute $minute"; exit 1; }
  web=$(child WebKitWebProcess) network=$(child WebKitNetworkProcess)
  echo "$minute,$(kb "$client" VmRSS status),$(kb "$client" Pss smaps_rollup),$(kb "$web" VmRSS status),$(kb "$web" Pss smaps_rollup),$(kb "$network" Pss smaps_rollup)" >>"$csv"
done
kill "$client"

# Least-squares slope over minutes >= 10, in MiB per hour.
python3 - "$csv" <<'PY'
import csv, sys
rows = list(csv.DictReader(open(sys.argv[1])))
rows = [r for r in rows if int(r["minute"]) >= 10] if len(rows) > 12 else rows
def slope(key):
    xs = [int(r["minute"]) / 60 for r in rows]
    ys = [int(r[key]) / 1024 for r in rows]
    n = len(xs); mx = sum(xs) / n; my = sum(ys) / n
    return sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / sum((x - mx) ** 2 for x in xs)
for key in ("client_rss_kb", "client_pss_kb", "web_rss_kb", "web_pss_kb", "network_pss_kb"):
    first = int(rows[0][key]) / 1024; last = int(rows[-1][key]) / 1024
    print(f"{key[:-3]:>12}: {first:7.1f} -> {last:7.1f} MiB, {slope(key):+6.2f} MiB/h")
PY
