#!/usr/bin/env bash
# Bad input through the real web engine (by hand, never in CI): the demo page
# logs, at the same time for about 10 s,
#   - 10,000 short console messages a second,
#   - a 1 MB message every second,
#   - "newmsg=>" payloads that are not JSON, 100 a second,
#   - "newmsg=>" payloads with 100,000 members, one a second,
#   - "newmsg=>" payloads whose enciphered fields do not decipher, 100 a second,
#   - "settitle=>" titles of 100 KB, two a second,
# while x_probe pings the main window every 10 ms: the longest answer is the
# longest time the UI thread was busy. Then the client's memory (its own
# resident set and the PSS of its process tree) before, right after and 30 s
# after the flood, and whether it still answers.
#   bash bench/webview_flood.sh            (KINDS="short wide" picks some)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/webview_common.sh

start_client
pid=$!
pids+=("$pid")
for _ in $(seq 200); do xdotool search --name '^Quorvel在线客服 - ' >/dev/null 2>&1 && break; sleep 0.1; done
sleep 5
rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }
memory() { echo "client RSS $(( $(rss_kb "$pid") / 1024 )) MiB, tree PSS $(( $(tree_pss_kb "$pid") / 1024 )) MiB"; }
echo "before:       $(memory)"
echo "idle UI:      $("$work/x_probe" ping 'Quorvel在线客服' 3)"

log() {  # text-file repeat per-second
  curl -s -o /dev/null --data-urlencode "text@$1" --data-urlencode "repeat=$2" \
    --data-urlencode "perSecond=$3" "$site/control/log"
}
python3 - "$work" <<'EOF'
import json, sys
work = sys.argv[1]
def write(name, text):
    open(f"{work}/{name}", "w", encoding="utf-8").write(text)
write("short", "flood line 普通日志")
write("mega", "m" * (1 << 20))
write("notjson", "newmsg=>{\"T\":\"msg\",\"D\":{\"FromId\":<=")
members = {f"k{i}": i for i in range(100000)}
members["T"] = "msg"
write("wide", "newmsg=>" + json.dumps(members, separators=(",", ":")) + "<=")
write("cipher", "newmsg=>" + json.dumps({"T": "msg", "D": {"FromId": "v1", "BossId": "9001",
      "BossName": "%%%不是密文", "Fnick": "zz", "Content": "@@@@"}}) + "<=")
write("title", "settitle=>Quorvel在线客服 - " + "长" * 34000)
EOF
"$work/x_probe" ping 'Quorvel在线客服' 20 >"$work/ping.txt" &
probe=$!
sleep 1
declare -A plan=([short]="100000 10000" [mega]="10 1" [notjson]="1000 100" [wide]="10 1"
                 [cipher]="1000 100" [title]="20 2")
for kind in ${KINDS:-short mega notjson wide cipher title}; do
  # shellcheck disable=SC2086
  log "$work/$kind" ${plan[$kind]} &
done
wait "$probe"
echo "flood UI:     $(cat "$work/ping.txt")"
echo "right after:  $(memory)"
sleep 30
echo "30 s after:   $(memory)"
echo "idle UI:      $("$work/x_probe" ping 'Quorvel在线客服' 3)"
kill -0 "$pid" && echo "the client is still running"
